// KSound samples on SDL's dummy audio device: the tables, the device lifetime,
// volume and pan as the device sees them, buffer rotation, WAV and Ogg loading,
// isPlaying and restoring lost buffers.
#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <chrono>
#include <cstring>
#include <thread>

#include "KSoundTestAccess.h"
#include "SoundFixtures.h"
#include "sound/KSound.h"

using namespace soundtest;

namespace {

class SampleTest : public ::testing::Test {
protected:
  void TearDown() override { KSound::setGlobalVolumes(100, 100); }

  std::vector<uint8_t> stereoPcm(int frames) { return bytesOf(tone(frames, 2, 44100, 441.0, 12000)); }

  // The bytes a device buffer holds now.
  static std::vector<uint8_t> contentOf(mixer::Buffer &b) {
    void *p = nullptr;
    uint32_t n = 0;
    std::vector<uint8_t> out;
    if (b.lock(0, 0, &p, &n, nullptr, nullptr, mixer::kLockEntireBuffer) != mixer::kOk) return out;
    out.assign(static_cast<uint8_t *>(p), static_cast<uint8_t *>(p) + n);
    b.unlock(p, n, nullptr, 0);
    return out;
  }

  static long deviceVolume(KSound &s, int slot = 0) {
    long v = 1;
    s._directSoundBuffer[slot]->getVolume(&v);
    return v;
  }

  static long devicePan(KSound &s, int slot = 0) {
    long v = 1;
    s._directSoundBuffer[slot]->getPan(&v);
    return v;
  }

  static int slotsInUse(KSound &s) {
    int n = 0;
    for (auto &b : s._directSoundBuffer) n += b != nullptr;
    return n;
  }

  TempDir dir;
};

TEST_F(SampleTest, TablesMatchTheirCheckValues) {
  KSound s;
  EXPECT_EQ(fechnerTable[0], -10000);
  EXPECT_EQ(fechnerTable[1], -5523);
  EXPECT_EQ(fechnerTable[50], -831);
  EXPECT_EQ(fechnerTable[92], -100);
  EXPECT_EQ(fechnerTable[99], -12);
  EXPECT_EQ(fechnerTable[100], 0);
  EXPECT_EQ(panningtable[0], -10000);
  EXPECT_EQ(panningtable[1], -10000);
  EXPECT_EQ(panningtable[2], -8496);
  EXPECT_EQ(panningtable[50], -1505);
  EXPECT_EQ(panningtable[100], 0);
  EXPECT_EQ(panningtable[150], 1505);
  EXPECT_EQ(panningtable[198], 8496);
  EXPECT_EQ(panningtable[200], 10000);
  for (int i = 1; i <= 100; ++i) {
    EXPECT_LE(fechnerTable[i - 1], fechnerTable[i]) << i;
    EXPECT_EQ(panningtable[100 + i], -panningtable[100 - i]) << i;
  }
  EXPECT_EQ(gFREQUENCY, 44100.0f);
  EXPECT_TRUE(_acceleratedDSound);
}

TEST_F(SampleTest, TheDeviceLivesAsLongAsTheSoundsCountedAgainstIt) {
  ASSERT_EQ(KSound::_instanceCount, 0);
  auto *a = new KSound;
  ASSERT_NE(KSound::directSoundPtr, nullptr);
  EXPECT_EQ(KSound::_instanceCount, 1);
  auto *b = new KSound;
  EXPECT_EQ(KSound::_instanceCount, 2);
  std::string path = dir.write("t.wav", wavFile(stereoPcm(100), 2, 44100, 16));
  ASSERT_TRUE(b->loadSample(path.c_str(), 100, false, 1));
  delete a;
  EXPECT_EQ(KSound::_instanceCount, 1);
  EXPECT_NE(KSound::directSoundPtr, nullptr);
  b->playSample();
  EXPECT_TRUE(b->isPlaying());
  delete b;
  EXPECT_EQ(KSound::_instanceCount, 0);
  EXPECT_EQ(KSound::directSoundPtr, nullptr);
  KSound again;  // the next sound opens the device anew
  EXPECT_NE(KSound::directSoundPtr, nullptr);
  EXPECT_EQ(KSound::_instanceCount, 1);
}

TEST_F(SampleTest, ConstructionDefaults) {
  KSound s;
  EXPECT_EQ(s._soundBufferCount, 1);
  EXPECT_EQ(s._channelVolume, 80);
  EXPECT_EQ(s._whatPartIsPlaying, 1);
  EXPECT_EQ(s._type, 0);
  EXPECT_EQ(s._loopState, 0);
  EXPECT_EQ(slotsInUse(s), 0);
  EXPECT_FALSE(s.isPlaying());
  s.playSample();  // nothing loaded: nothing happens
  s.setVolume(50);
  s.setPan(20);
  EXPECT_FALSE(s.isPlaying());
}

TEST_F(SampleTest, VolumeCombinesMasterAndChannelThroughTheFechnerTable) {
  KSound s;
  std::string path = dir.write("v.wav", wavFile(stereoPcm(64), 2, 44100, 16));
  ASSERT_TRUE(s.loadSample(path.c_str(), 100, false, 2));

  s.setVolume(150);
  EXPECT_EQ(s._channelVolume, 100);
  EXPECT_EQ(deviceVolume(s, 0), -12);  // the loudest setting is entry 99
  EXPECT_EQ(deviceVolume(s, 1), -12);
  s.setVolume(-5);
  EXPECT_EQ(s._channelVolume, 0);
  EXPECT_EQ(deviceVolume(s, 1), -10000);
  s.setVolume(50);
  EXPECT_EQ(deviceVolume(s, 0), -831);

  // Masters are picked up when applied, not when set.
  s.setVolume(100);
  KSound::setGlobalVolumes(-1, 50);
  EXPECT_EQ(KSound::_masterSFXvolume, 50);
  EXPECT_EQ(KSound::_masterMUSICvolume, 100);
  EXPECT_EQ(deviceVolume(s, 0), -12);
  s.playSample();
  EXPECT_EQ(deviceVolume(s, 0), -831);
  EXPECT_EQ(deviceVolume(s, 1), -831);

  KSound::setGlobalVolumes(30, -1);
  EXPECT_EQ(KSound::_masterSFXvolume, 50);
  EXPECT_EQ(KSound::_masterMUSICvolume, 30);
  // A music-kind sound follows the music master (index 30 * 80 / 100 = 24).
  s._type = 1;
  s.setVolume(80);
  EXPECT_EQ(deviceVolume(s, 0), fechnerTable[24]);
  s._type = 0;
  KSound::setGlobalVolumes(1000, 1000);  // an oversized master still ends at entry 99
  s.setVolume(100);
  EXPECT_EQ(deviceVolume(s, 0), -12);
}

TEST_F(SampleTest, PanIsClampedAndEveryLoadStartsCentred) {
  KSound s;
  std::string path = dir.write("p.wav", wavFile(stereoPcm(64), 2, 44100, 16));
  ASSERT_TRUE(s.loadSample(path.c_str(), 100, false, 3));
  s.setPan(-250);
  EXPECT_EQ(devicePan(s, 0), -10000);
  EXPECT_EQ(devicePan(s, 2), -10000);
  s.setPan(99);
  EXPECT_EQ(devicePan(s, 1), 10000);
  s.setPan(-50);
  EXPECT_EQ(devicePan(s, 0), -1505);
  ASSERT_TRUE(s.loadSample(path.c_str(), 100, false, 3));
  EXPECT_EQ(devicePan(s, 0), 0);
}

TEST_F(SampleTest, BuffersAreClampedToOneToNineAndTakenInRotation) {
  KSound s;
  std::string path = dir.write("r.wav", wavFile(stereoPcm(4410), 2, 44100, 16));
  ASSERT_TRUE(s.loadSample(path.c_str(), 100, false, 0));
  EXPECT_EQ(s._soundBufferCount, 1);
  EXPECT_EQ(slotsInUse(s), 1);
  ASSERT_TRUE(s.loadSample(path.c_str(), 100, false, -3));
  EXPECT_EQ(slotsInUse(s), 1);
  ASSERT_TRUE(s.loadSample(path.c_str(), 100, false, 12));
  EXPECT_EQ(s._soundBufferCount, 9);
  EXPECT_EQ(slotsInUse(s), 9);

  ASSERT_TRUE(s.loadSample(path.c_str(), 100, true, 3));
  EXPECT_EQ(s._loopState, 1);
  std::vector<long> order;
  for (int i = 0; i < 5; ++i) {
    s.playSample();
    order.push_back(s._currentBeingPlayed);
    uint32_t status = 0;
    s._directSoundBuffer[s._currentBeingPlayed]->getStatus(&status);
    EXPECT_EQ(status, mixer::kStatusPlaying | mixer::kStatusLooping);
  }
  EXPECT_EQ(order, (std::vector<long>{1, 2, 0, 1, 2}));
}

TEST_F(SampleTest, WavFilesLoadTheirPcmIntoEveryBuffer) {
  KSound s;
  auto pcm16 = stereoPcm(1000);
  std::string path = dir.write("s16.wav", wavFile(pcm16, 2, 44100, 16));
  ASSERT_TRUE(s.loadSample(path.c_str(), 70, false, 2));
  EXPECT_EQ(s._wavLength, pcm16.size());
  EXPECT_EQ(s._channelVolume, 70);
  EXPECT_EQ(contentOf(*s._directSoundBuffer[0]), pcm16);
  EXPECT_EQ(contentOf(*s._directSoundBuffer[1]), pcm16);

  // Any rate, 8 bits, mono.
  std::vector<uint8_t> pcm8(3000);
  for (size_t i = 0; i < pcm8.size(); ++i) pcm8[i] = uint8_t(128 + (i % 50));
  path = dir.write("u8.wav", wavFile(pcm8, 1, 11025, 8));
  ASSERT_TRUE(s.loadSample(path.c_str(), 100, false, 1));
  EXPECT_EQ(s._directSoundBuffer[0]->format().samplesPerSec, 11025u);
  EXPECT_EQ(s._directSoundBuffer[0]->format().bitsPerSample, 8);
  EXPECT_EQ(contentOf(*s._directSoundBuffer[0]), pcm8);

  // Upper-case OGG is not the Ogg path: a WAV under that name loads as WAV.
  path = dir.write("wave.OGG", wavFile(pcm16, 2, 44100, 16));
  EXPECT_TRUE(s.loadSample(path.c_str(), 100, false, 1));
}

TEST_F(SampleTest, BrokenWavFilesFailAndLeaveTheSoundEmpty) {
  KSound s;
  auto good = wavFile(stereoPcm(100), 2, 44100, 16);
  std::string goodPath = dir.write("good.wav", good);

  auto expectEmptyAfter = [&](const std::string &path, const char *what) {
    ASSERT_TRUE(s.loadSample(goodPath.c_str(), 100, false, 2)) << what;
    EXPECT_FALSE(s.loadSample(path.c_str(), 100, false, 2)) << what;
    EXPECT_EQ(slotsInUse(s), 0) << what;
    EXPECT_EQ(s._wavData, nullptr) << what;
    EXPECT_FALSE(s.isPlaying()) << what;
    s.playSample();
    EXPECT_FALSE(s.isPlaying()) << what;
  };

  expectEmptyAfter(dir.path("missing.wav"), "missing");
  expectEmptyAfter(dir.write("empty.wav", {}), "empty");
  expectEmptyAfter(dir.write("short.wav", {'R', 'I', 'F', 'F', 0}), "five bytes");
  expectEmptyAfter(dir.write("text.wav", {'h', 'e', 'l', 'l', 'o', ' ', 'w', 'a', 'v', 'e'}), "no data");

  // "data" before "fmt ": no format when the buffers are made.
  std::vector<uint8_t> swapped(good.begin(), good.begin() + 12);
  swapped.insert(swapped.end(), good.begin() + 36, good.end());
  swapped.insert(swapped.end(), good.begin() + 12, good.begin() + 36);
  expectEmptyAfter(dir.write("swapped.wav", swapped), "data before fmt");

  // Float samples are not a format the device plays.
  auto floats = good;
  floats[20] = 3;
  expectEmptyAfter(dir.write("float.wav", floats), "float format");

  // A "data" tag at the very end has nothing after it.
  std::vector<uint8_t> tail(good.begin(), good.begin() + 36);
  tail.insert(tail.end(), {'d', 'a', 't', 'a', 0x10, 0, 0, 0});
  expectEmptyAfter(dir.write("tail.wav", tail), "empty data");

  // Ogg bytes under an upper-case name are scanned as a WAV and fail.
  auto ogg = vorbisFile(tone(2000, 1, 22050, 440, 8000), 1, 22050);
  expectEmptyAfter(dir.write("music.OGG", ogg), "Ogg named .OGG");

#ifndef _WIN32
  // A pipe in a sound file's place fails at once: opening it must never wait
  // for a writer (the test would hang here).
  for (const char *name : {"pipe.wav", "pipe.ogg"}) {
    ASSERT_EQ(mkfifo(dir.path(name).c_str(), 0600), 0);
    expectEmptyAfter(dir.path(name), name);
  }
#endif
}

TEST_F(SampleTest, WavDataLengthIsLimitedToTheBytesInTheFile) {
  KSound s;
  auto wav = wavFile(stereoPcm(100), 2, 44100, 16);
  wav[40] = 0xFF;  // claims far more than follows
  wav[41] = 0xFF;
  wav[42] = 0xFF;
  wav[43] = 0x7F;
  wav.resize(wav.size() - 150);
  std::string path = dir.write("long.wav", wav);
  ASSERT_TRUE(s.loadSample(path.c_str(), 100, false, 1));
  EXPECT_EQ(s._wavLength, 400u - 150u);
  EXPECT_EQ(s._directSoundBuffer[0]->size(), 250u);
}

TEST_F(SampleTest, TheScanTakesTheFirstFormatAndStopsAtTheFirstData) {
  KSound s;
  std::vector<uint8_t> block(1024 + 64, 0);
  const char text[] = "xxfmt \x10\0\0\0ABCDEFGHIJKLMNOPfmt data\x04\0\0\0wxyzdata";
  memcpy(block.data(), text, sizeof text - 1);
  const unsigned long size = sizeof text - 1;
  long r = KSoundTestAccess::parseWav(s, block.data(), size);
  EXPECT_EQ(r, 4);
  ASSERT_NE(s._waveFormatEx, nullptr);
  EXPECT_EQ(reinterpret_cast<unsigned char *>(s._waveFormatEx), block.data() + 10);
  EXPECT_EQ(s._wavDataStart, block.data() + 38);
  EXPECT_EQ(s._wavLength, 4u);
  EXPECT_EQ(KSoundTestAccess::parseWav(s, block.data(), 5), -1);
  EXPECT_EQ(s._waveFormatEx, nullptr);
}

TEST_F(SampleTest, OggSamplesDecodeToTheirExactLength) {
  KSound s;
  std::string mono = dir.write("mono.ogg", vorbisFile(tone(10000, 1, 22050, 440, 8000), 1, 22050));
  ASSERT_TRUE(s.loadSample(mono.c_str(), 100, false, 2));
  EXPECT_EQ(s._wavLength, 20000u);
  EXPECT_EQ(s._waveFormatEx, &s._oggFormatEx);
  EXPECT_EQ(s._oggFormatEx.nChannels, 1);
  EXPECT_EQ(s._oggFormatEx.nSamplesPerSec, 22050u);
  EXPECT_EQ(s._oggFormatEx.nBlockAlign, 2);
  EXPECT_EQ(s._oggFormatEx.nAvgBytesPerSec, 44100u);
  EXPECT_EQ(s._directSoundBuffer[1]->size(), 20000u);

  auto pcm = tone(7000, 2, 44100, 300, 10000);
  std::string stereo = dir.write("stereo.ogg", vorbisFile(pcm, 2, 44100));
  ASSERT_TRUE(s.loadSample(stereo.c_str(), 100, false, 1));
  EXPECT_EQ(s._wavLength, 28000u);
  // Lossy, but the decoded tone follows the original closely.
  auto decoded = contentOf(*s._directSoundBuffer[0]);
  ASSERT_EQ(decoded.size(), 28000u);
  double err = 0;
  for (size_t i = 2000; i < 12000; ++i) {
    int16_t v;
    memcpy(&v, &decoded[i * 2], 2);
    err += std::abs(v - pcm[i]);
  }
  EXPECT_LT(err / 10000, 300.0);

  std::string text = dir.write("text.ogg", {'n', 'o', 't', ' ', 'o', 'g', 'g'});
  EXPECT_FALSE(s.loadSample(text.c_str(), 100, false, 1));
  EXPECT_EQ(slotsInUse(s), 0);
  EXPECT_FALSE(s.loadSample(dir.path("none.ogg").c_str(), 100, false, 1));
}

TEST_F(SampleTest, IsPlayingFollowsTheBuffersUntilTheSoundEnds) {
  KSound s;
  std::string path = dir.write("short.wav", wavFile(stereoPcm(2205), 2, 44100, 16));  // 50 ms
  EXPECT_FALSE(s.isPlaying());
  ASSERT_TRUE(s.loadSample(path.c_str(), 100, false, 2));
  EXPECT_FALSE(s.isPlaying());  // loaded, not started
  s.playSample();
  EXPECT_TRUE(s.isPlaying());
  // It ends by itself (the guard only keeps a broken mixer from hanging the test).
  const auto guard = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (s.isPlaying() && std::chrono::steady_clock::now() < guard) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  EXPECT_FALSE(s.isPlaying());
}

TEST_F(SampleTest, LostBuffersAreRestoredAndRefilledFromMemory) {
  KSound s;
  auto pcm = stereoPcm(500);
  std::string path = dir.write("lost.wav", wavFile(pcm, 2, 44100, 16));
  ASSERT_TRUE(s.loadSample(path.c_str(), 100, false, 3));
  for (int i = 0; i < 3; ++i) s._directSoundBuffer[i]->markLost();
  s.playSample();  // answered "lost": everything is restored, nothing started
  EXPECT_FALSE(s.isPlaying());
  for (int i = 0; i < 3; ++i) EXPECT_EQ(contentOf(*s._directSoundBuffer[i]), pcm) << i;
  s.playSample();
  EXPECT_TRUE(s.isPlaying());

  // A refill that cannot lock its buffer empties the sound.
  s._directSoundBuffer[1]->markLost();
  auto held = s._directSoundBuffer[2];
  void *p = nullptr;
  uint32_t n = 0;
  ASSERT_EQ(held->lock(0, 4, &p, &n, nullptr, nullptr, 0), mixer::kOk);
  KSoundTestAccess::restore(s);
  EXPECT_EQ(slotsInUse(s), 0);
  EXPECT_EQ(s._wavData, nullptr);
  held->unlock(p, n, nullptr, 0);
}

}  // namespace
