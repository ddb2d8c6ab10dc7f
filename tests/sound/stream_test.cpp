// KSound streams on the mixer's headless device, whose clock the test advances
// (each block waits for the stream's worker to refill, as the audio thread
// gives it the rest of a half), heard through a capture of the mixer's output:
// non-Ogg files, playing to the end and again, looping without a gap, the music
// master reaching a playing stream, stop and replay, modules; and replacing the
// music many times on SDL's dummy audio thread, where the mixing really runs
// beside the application (the ThreadSanitizer build runs these too). Waits are
// bounded by generous guards, never timed.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <iostream>
#include <random>
#include <thread>

#include "KSoundTestAccess.h"
#include "SoundFixtures.h"
#include "sound/KSound.h"

using namespace soundtest;

namespace {

constexpr size_t kHalfFrames = 4096;  // 16384 bytes of 16-bit stereo

bool loud(const int16_t *f) { return f[0] != 0 || f[1] != 0; }

// First frame at or after `from` with sound in it; SIZE_MAX if none so far.
size_t firstLoud(const Capture &c, size_t from) {
  for (size_t i = from; i < c.frames(); ++i) {
    if (loud(c.data() + 2 * i)) return i;
  }
  return SIZE_MAX;
}

struct Burst {
  size_t start;
  size_t length;
};

// Stretches of sound separated by at least `gap` silent frames.
std::vector<Burst> bursts(const Capture &c, size_t from, size_t to, size_t gap) {
  std::vector<Burst> out;
  size_t silent = gap;
  for (size_t i = from; i < to; ++i) {
    if (loud(c.data() + 2 * i)) {
      if (silent >= gap) out.push_back({i, 0});
      out.back().length = i + 1 - out.back().start;
      silent = 0;
    } else {
      ++silent;
    }
  }
  return out;
}

bool bufferSilent(KSound &s) {
  void *p = nullptr;
  uint32_t n = 0;
  if (s._directSoundBuffer[0]->lock(0, 0, &p, &n, nullptr, nullptr, mixer::kLockEntireBuffer) !=
      mixer::kOk) {
    return false;
  }
  bool silent = true;
  for (uint32_t i = 0; i < n; ++i) silent = silent && static_cast<uint8_t *>(p)[i] == 0;
  s._directSoundBuffer[0]->unlock(p, n, nullptr, 0);
  return silent;
}

class StreamTest : public ::testing::Test {
protected:
  void SetUp() override {
    setenv("SDL_VIDEODRIVER", "dummy", 1);  // message boxes go to standard error
    KSound::openDevice = onTheAudioThread() ? &mixer::Device::open : &mixer::Device::openHeadless;
    keeper = std::make_unique<KSound>();   // holds the device, as the shell's samples do
    ASSERT_NE(KSound::directSoundPtr, nullptr);
    capture.attach(*KSound::directSoundPtr);
  }
  void TearDown() override {
    if (KSound::directSoundPtr) capture.detach(*KSound::directSoundPtr);
    keeper.reset();
    KSound::openDevice = &mixer::Device::open;
    KSound::setGlobalVolumes(100, 100);
  }
  virtual bool onTheAudioThread() const { return false; }

  // Plays on, a block at a time, until `done`; false after about `guardSeconds`.
  bool waitUntil(const std::function<bool()> &done, double guardSeconds = 20.0) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(guardSeconds);
    while (!done()) {
      if (std::chrono::steady_clock::now() > deadline) return false;
      if (KSound::directSoundPtr) KSound::directSoundPtr->advance(512);
      // Room for the worker's steps that no notification waits for.
      std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    return true;
  }
  // Plays until the capture holds `count` frames.
  bool waitFrames(size_t count) {
    if (KSound::directSoundPtr && count > capture.frames())
      KSound::directSoundPtr->advance(uint32_t(count - capture.frames()));
    return waitUntil([&] { return capture.frames() >= count; });
  }

  // Loads and plays `path` looping until `halves` halves have been heard from
  // its first sound; the frame of that first sound.
  size_t playLooping(KSound &music, const std::string &path, size_t halves) {
    EXPECT_TRUE(music.loadStream(path.c_str()));
    const size_t start = capture.frames();
    music.playStream(true);
    EXPECT_TRUE(waitUntil([&] { return firstLoud(capture, start) != SIZE_MAX; }));
    const size_t onset = firstLoud(capture, start);
    EXPECT_TRUE(waitFrames(onset + halves * kHalfFrames));
    return onset;
  }

  std::string oggTone(const std::string &name, int frames, double amplitude = 12000) {
    return dir.write(name, vorbisFile(tone(frames, 2, 44100, 441.0, amplitude), 2, 44100));
  }

  TempDir dir;
  Capture capture{40.0};
  std::unique_ptr<KSound> keeper;
};

TEST_F(StreamTest, AFileThatIsNotOggVorbisIsReportedAndPlaysNothing) {
  KSound music;
  std::string text = dir.write("notes.txt", {'j', 'u', 's', 't', ' ', 't', 'e', 'x', 't'});
  testing::internal::CaptureStderr();
  EXPECT_FALSE(music.loadStream(text.c_str()));
  std::string said = testing::internal::GetCapturedStderr();
  EXPECT_NE(said.find("error: error could not detect ogg file"), std::string::npos) << said;
  music.playStream(true);
  EXPECT_FALSE(music.isPlaying());
  EXPECT_EQ(music._directSoundBuffer[0], nullptr);
  EXPECT_EQ(music._type, 1);

  // An empty file is reported the same way; a missing one silently.
  testing::internal::CaptureStderr();
  EXPECT_FALSE(music.loadStream(dir.write("empty.ogg", {}).c_str()));
  said = testing::internal::GetCapturedStderr();
  EXPECT_NE(said.find("could not detect ogg file"), std::string::npos);
  testing::internal::CaptureStderr();
  EXPECT_FALSE(music.loadStream(dir.path("missing.ogg").c_str()));
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

TEST_F(StreamTest, LoadingPreparesASilentStreamBufferWithoutPlaying) {
  KSound music;
  std::string path = oggTone("m.ogg", 20000);
  ASSERT_TRUE(music.loadStream(path.c_str()));
  ASSERT_NE(music._directSoundBuffer[0], nullptr);
  EXPECT_EQ(music._directSoundBuffer[0]->size(), 32768u);
  EXPECT_EQ(music._oggFormatEx.nChannels, 2);
  EXPECT_EQ(music._oggFormatEx.nSamplesPerSec, 44100u);
  EXPECT_EQ(music._oggFormatEx.nAvgBytesPerSec, 176400u);
  EXPECT_TRUE(music._oggFile);
  EXPECT_NE(music._directSoundBuffer[0]->queryNotify(), nullptr);
  EXPECT_TRUE(bufferSilent(music));
  EXPECT_FALSE(music.isPlaying());
}

TEST_F(StreamTest, ANonLoopingStreamPlaysWholeOnceThenAgainFromTheStart) {
  KSound music;
  const int frames = 13230;  // 0.3 s: three halves and a bit
  std::string path = oggTone("once.ogg", frames);
  ASSERT_TRUE(music.loadStream(path.c_str()));

  const size_t start1 = capture.frames();
  music.playStream(false);
  EXPECT_TRUE(music.isPlaying());
  ASSERT_TRUE(waitUntil([&] { return !music.isPlaying(); }));
  EXPECT_TRUE(music._oggCompleted);
  // The worker silences the buffer just after stopping it.
  EXPECT_TRUE(waitUntil([&] { return bufferSilent(music); }));
  const size_t end1 = capture.frames();

  // All of it was heard, the last half included.
  size_t heard = 0;
  for (size_t i = start1; i < end1; ++i) heard += loud(capture.data() + 2 * i);
  EXPECT_GE(heard, size_t(frames) - 200);
  const size_t onset1 = firstLoud(capture, start1);
  ASSERT_NE(onset1, SIZE_MAX);

  const size_t start2 = capture.frames();
  music.playStream(false);
  EXPECT_TRUE(music.isPlaying());
  ASSERT_TRUE(waitFrames(start2 + 3 * kHalfFrames + 2000));
  const size_t onset2 = firstLoud(capture, start2);
  ASSERT_NE(onset2, SIZE_MAX);
  int differ = 0;
  for (size_t i = 0; i < 2000; ++i) {
    differ += capture.data()[2 * (onset1 + i)] != capture.data()[2 * (onset2 + i)];
  }
  EXPECT_EQ(differ, 0) << "the second play does not start where the first did";
  ASSERT_TRUE(waitUntil([&] { return !music.isPlaying(); }));
}

TEST_F(StreamTest, ALoopingStreamRepeatsWithoutAGap) {
  // Shorter than a half, so several loop points fall inside every refill.
  KSound music;
  const size_t onset = playLooping(music, oggTone("short.ogg", 2000), 8);
  EXPECT_TRUE(music.isPlaying());
  // More than 1 ms (44 frames) of silence anywhere is heard as a tick.
  auto found = bursts(capture, onset, onset + 8 * kHalfFrames, 45);
  ASSERT_EQ(found.size(), 1u) << "silence after frame " << found[0].start + found[0].length;
  EXPECT_GE(found[0].length, 8 * kHalfFrames - 45);
}

// The worker woken late, as on a loaded machine: the device plays on for that
// long after each notification before the refill comes. The half to refill is
// the one the device is not playing when the worker runs, so even a worker
// later than a whole half keeps the music seamless (refilling the half a late
// notification named would write over the half being played).
TEST_F(StreamTest, ALateWorkerStillRefillsTheHalfTheDeviceIsNotPlaying) {
  const uint32_t lateness[] = {0, kHalfFrames / 2, kHalfFrames + 600, 2 * kHalfFrames - 600};
  std::string path = oggTone("late.ogg", 44100);
  for (const uint32_t late : lateness) {
    KSound::directSoundPtr->setNotifyDelay(late);
    KSound music;
    const size_t onset = playLooping(music, path, 8);
    // The tone repeats every 100 frames: a gap, a repeat or a skip breaks that.
    size_t breaks = 0;
    for (size_t i = onset + 100; i < onset + 8 * kHalfFrames; ++i)
      breaks += std::abs(capture.data()[2 * i] - capture.data()[2 * (i - 100)]) > 2000;
    EXPECT_EQ(breaks, 0u) << late << " frames late";
    music.stopStream();
  }
  KSound::directSoundPtr->setNotifyDelay(0);
}

TEST_F(StreamTest, TheMusicMasterReachesAPlayingStream) {
  KSound music;
  std::string path = oggTone("long.ogg", 3 * 44100, 16000);
  ASSERT_TRUE(music.loadStream(path.c_str()));
  const size_t start = capture.frames();
  music.playStream(true);
  ASSERT_TRUE(waitUntil([&] { return firstLoud(capture, start) != SIZE_MAX; }));
  const size_t onset = firstLoud(capture, start);
  ASSERT_TRUE(waitFrames(onset + 3 * kHalfFrames));
  const int before = capture.peak(onset + kHalfFrames, onset + 3 * kHalfFrames);
  ASSERT_GT(before, 5000);

  // Only the master changes; the worker applies it.
  const size_t changed = capture.frames();
  KSound::setGlobalVolumes(20, -1);
  const size_t window = 1024;
  ASSERT_TRUE(waitFrames(changed + 44100));
  size_t quietAt = SIZE_MAX;
  for (size_t at = changed; at + window <= changed + 44100; at += window) {
    const int p = capture.peak(at, at + window);
    if (p < before * 0.2 && p > before * 0.05) {
      quietAt = at;
      break;
    }
  }
  ASSERT_NE(quietAt, SIZE_MAX) << "the master change was not heard";
  // The new level is the table's: fechnerTable[16] against fechnerTable[80].
  const double expected = mixer::attenuationToGain(fechnerTable[16]) / mixer::attenuationToGain(fechnerTable[80]);
  const int after = capture.peak(quietAt + window, quietAt + 5 * window);
  EXPECT_NEAR(double(after) / before, expected, 0.03);
  const double latencyMs = 1000.0 * double(quietAt + window - changed) / 44100.0;
  RecordProperty("master_latency_ms", int(latencyMs));
  std::cout << "music master heard within " << latencyMs << " ms of audio\n";
}

TEST_F(StreamTest, AVolumeSetWhileTheWorkerReappliesTheMasterIsKept) {
  KSound music;
  std::string path = oggTone("vol.ogg", 44100);
  ASSERT_TRUE(music.loadStream(path.c_str()));
  music.playStream(true);
  auto deviceVolume = [&] {
    long v = 1;
    music._directSoundBuffer[0]->getVolume(&v);
    return v;
  };
  ASSERT_EQ(deviceVolume(), fechnerTable[80]);
  {
    // The application's setVolume(30), done here while the worker is already
    // on its way to re-apply a new music master.
    std::lock_guard<std::mutex> hold(KSoundTestAccess::volumeLock(music));
    KSound::setGlobalVolumes(60, -1);
    // Long enough for the worker to reach the volume (only how surely a
    // fault shows depends on it).
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    music._channelVolume = 30;
  }
  ASSERT_TRUE(waitUntil([&] { return deviceVolume() != fechnerTable[80]; }));
  EXPECT_EQ(music._channelVolume, 30);
  EXPECT_EQ(deviceVolume(), fechnerTable[60 * 30 / 100]);
}

TEST_F(StreamTest, StopSilencesAndRewindsAndPlayStartsAgain) {
  KSound music;
  std::string path = oggTone("stop.ogg", 44100);
  ASSERT_TRUE(music.loadStream(path.c_str()));
  music.stopStream();  // before any play: harmless
  music.playStream(true);
  const size_t start = capture.frames();
  ASSERT_TRUE(waitUntil([&] { return firstLoud(capture, start) != SIZE_MAX; }));
  music.stopStream();
  EXPECT_FALSE(music.isPlaying());
  EXPECT_TRUE(bufferSilent(music));
  uint32_t pos = 0;
  music._directSoundBuffer[0]->getCurrentPosition(&pos);
  EXPECT_EQ(pos, 0u);  // byte 1 rounds to the first frame
  // Nothing more is heard once the device has played out what it had.
  const size_t stopped = capture.frames() + 2048;
  ASSERT_TRUE(waitFrames(stopped + 2 * kHalfFrames));
  EXPECT_EQ(capture.peak(stopped, stopped + 2 * kHalfFrames), 0);

  music.playStream(true);
  EXPECT_TRUE(music.isPlaying());
  const size_t again = capture.frames();
  EXPECT_TRUE(waitUntil([&] { return firstLoud(capture, again) != SIZE_MAX; }));
}

TEST_F(StreamTest, ModulesPlayThroughTheStreamBuffer) {
  KSound music;
  std::string path = dir.write("tune.mod", modFile(8));
  ASSERT_TRUE(music.loadStream(path.c_str()));
  ASSERT_NE(music._moduleStorage._moduleData, nullptr);
  ASSERT_NE(music._moduleStorage._moduleRenderer, nullptr);
  EXPECT_EQ(music._directSoundBuffer[0]->format().channels, 2);

  size_t start = capture.frames();
  music.playStream(true);
  ASSERT_TRUE(waitFrames(start + 12 * kHalfFrames));
  EXPECT_GT(capture.peak(start, start + 12 * kHalfFrames), 1000);
  EXPECT_TRUE(music.isPlaying());  // the 160 ms song loops on and on

  music.setModulePosition(0);
  music.setModulePosition(99);  // no such order: from the start
  music.setModulePosition(-4);
  music.stopModule();
  EXPECT_FALSE(music.isPlaying());
  EXPECT_TRUE(music._oggCompleted);
  EXPECT_TRUE(bufferSilent(music));

  // Played once, it ends by itself.
  start = capture.frames();
  music.playStream(false);
  EXPECT_TRUE(music.isPlaying());
  ASSERT_TRUE(waitUntil([&] { return !music.isPlaying(); }));
  EXPECT_GT(capture.peak(start, capture.frames()), 1000);
  EXPECT_TRUE(waitUntil([&] { return bufferSilent(music); }));

  // And plays again.
  music.playStream(true);
  EXPECT_TRUE(music.isPlaying());

  KSound bad;
  EXPECT_FALSE(bad.loadStream(dir.write("bad.xm", {'n', 'o', 'p', 'e'}).c_str()));
  EXPECT_EQ(bad._moduleStorage._moduleData, nullptr);
}

// Here the mixing runs on its own thread, in real time, beside every change.
class StreamOnTheAudioThreadTest : public StreamTest {
protected:
  bool onTheAudioThread() const override { return true; }
};

TEST_F(StreamOnTheAudioThreadTest, ReplacingAndDestroyingPlayingMusicIsSafe) {
  std::string a = oggTone("a.ogg", 30000);
  std::string b = oggTone("b.ogg", 3000);
  std::string mod = dir.write("c.mod", modFile(4));
  std::mt19937 rng(7);
  KSound *music = nullptr;
  for (int round = 0; round < 24; ++round) {
    // The shell's way: destroy the old music, make and start the new.
    delete music;
    music = new KSound;
    const std::string &file = round % 3 == 0 ? a : (round % 3 == 1 ? b : mod);
    ASSERT_TRUE(music->loadStream(file.c_str())) << round;
    music->playStream(round % 2 == 0);
    EXPECT_TRUE(music->isPlaying());
    std::this_thread::sleep_for(std::chrono::milliseconds(rng() % 120));
    if (round % 4 == 1) KSound::setGlobalVolumes(int(rng() % 101), -1);
    if (round % 5 == 2) {
      music->stopStream();
      music->playStream(true);
    }
    if (round % 6 == 3) {
      ASSERT_TRUE(music->loadStream(a.c_str()));  // reload in place
    }
    if (round % 7 == 4) music->setVolume(int(rng() % 101));
  }
  delete music;

  // Without the keeper, the last music's end closes the device too.
  capture.detach(*KSound::directSoundPtr);
  keeper.reset();
  auto *last = new KSound;
  ASSERT_TRUE(last->loadStream(a.c_str()));
  last->playStream(true);
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  delete last;
  EXPECT_EQ(KSound::_instanceCount, 0);
  EXPECT_EQ(KSound::directSoundPtr, nullptr);
}

}  // namespace
