// The sound device on Windows: DirectSound, here Wine's. Run plainly there is no
// sound server, so there is no device and sounds stay silent; run through
// with_pulse.sh (PABRIX_SOUND_SERVER set) Wine plays into a private PulseAudio
// null sink, whose recording the script checks for sound.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "platform/mixer/Mixer.h"
#include "sound/KSound.h"

namespace {

bool serverRunning() { return std::getenv("PABRIX_SOUND_SERVER") != nullptr; }

const mixer::WaveFormat kStereo16 = {1, 2, 44100, 44100 * 4, 4, 16};

// A one-second 441 Hz stereo tone as a WAV file.
std::string toneWav() {
  std::vector<int16_t> pcm;
  for (int i = 0; i < 44100; ++i) {
    int16_t v = int16_t(12000 * std::sin(6.283185307 * 441.0 * i / 44100));
    pcm.push_back(v);
    pcm.push_back(v);
  }
  const uint32_t data = uint32_t(pcm.size() * 2);
  std::string path = ::testing::TempDir() + "dsound_tone.wav";
  FILE *f = std::fopen(path.c_str(), "wb");
  if (!f) return path;
  auto u32 = [&](uint32_t v) { std::fwrite(&v, 4, 1, f); };
  auto u16 = [&](uint16_t v) { std::fwrite(&v, 2, 1, f); };
  std::fwrite("RIFF", 1, 4, f), u32(36 + data), std::fwrite("WAVEfmt ", 1, 8, f);
  u32(16), u16(1), u16(2), u32(44100), u32(44100 * 4), u16(4), u16(16);
  std::fwrite("data", 1, 4, f), u32(data), std::fwrite(pcm.data(), 1, data, f);
  std::fclose(f);
  return path;
}

TEST(DirectSound, WithoutASoundServerThereIsNoDeviceAndSoundsStaySilent) {
  if (serverRunning()) GTEST_SKIP() << "a sound server is running";
  EXPECT_EQ(nullptr, mixer::Device::open());
  KSound sound;
  EXPECT_FALSE(sound.loadSample(toneWav().c_str(), 100, false, 1));
  sound.playSample();
  EXPECT_FALSE(sound.isPlaying());
}

// The stream's way of using a buffer: two halves, each announced by its own
// event as the play position passes it, at the pace of the sound.
TEST(DirectSound, BuffersPlayTakeVolumeAndPanAndNotifyEachHalfInTime) {
  if (!serverRunning()) GTEST_SKIP() << "no sound server";
  std::shared_ptr<mixer::Device> device = mixer::Device::open();
  ASSERT_NE(nullptr, device);
  std::shared_ptr<mixer::Buffer> buffer;
  const uint32_t caps = mixer::kCapsGlobalFocus | mixer::kCapsCtrlPan | mixer::kCapsCtrlVolume |
                        mixer::kCapsCtrlPositionNotify;
  ASSERT_EQ(mixer::kOk, device->createBuffer(caps, 32768, kStereo16, &buffer));
  void *region = nullptr;
  uint32_t bytes = 0;
  ASSERT_EQ(mixer::kOk, buffer->lock(0, 0, &region, &bytes, nullptr, nullptr, mixer::kLockEntireBuffer));
  ASSERT_EQ(32768u, bytes);
  auto *pcm = static_cast<int16_t *>(region);
  for (uint32_t i = 0; i < bytes / 2; ++i) pcm[i] = int16_t(8000 * std::sin(i * 0.03));
  ASSERT_EQ(mixer::kOk, buffer->unlock(region, bytes, nullptr, 0));

  EXPECT_EQ(mixer::kOk, buffer->setVolume(-831));
  EXPECT_EQ(mixer::kOk, buffer->setPan(-1505));
  long volume = 0, pan = 0;
  buffer->getVolume(&volume);
  buffer->getPan(&pan);
  EXPECT_EQ(-831, volume);
  EXPECT_EQ(-1505, pan);

  std::shared_ptr<mixer::Notify> notify = buffer->queryNotify();
  ASSERT_NE(nullptr, notify);
  auto first = std::make_shared<mixer::Event>(), second = std::make_shared<mixer::Event>();
  const mixer::NotifyPosition positions[2] = {{0, first}, {16384, second}};
  ASSERT_EQ(mixer::kOk, notify->setNotificationPositions(positions, 2));
  ASSERT_EQ(mixer::kOk, buffer->setCurrentPosition(0));
  ASSERT_EQ(mixer::kOk, buffer->play(mixer::kPlayLooping));
  uint32_t status = 0;
  buffer->getStatus(&status);
  EXPECT_EQ(mixer::kStatusPlaying | mixer::kStatusLooping,
            status & (mixer::kStatusPlaying | mixer::kStatusLooping));

  // A half lasts 93 ms: in 1.5 s about 16 announcements, half of them each.
  int halves[2] = {0, 0};
  const auto start = std::chrono::steady_clock::now();
  while (std::chrono::steady_clock::now() - start < std::chrono::milliseconds(1500)) {
    if (first->wait(20)) ++halves[0];
    if (second->wait(20)) ++halves[1];
  }
  EXPECT_GE(halves[0] + halves[1], 10) << "half announcements in 1.5 s";
  EXPECT_LE(halves[0] + halves[1], 24);
  EXPECT_GE(halves[0], 4);
  EXPECT_GE(halves[1], 4);
  EXPECT_EQ(mixer::kOk, buffer->stop());
  buffer->getStatus(&status);
  EXPECT_EQ(0u, status & mixer::kStatusPlaying);
}

// KSound on DirectSound: an effect and the looping intro music, which the
// recording of the sink must then carry.
TEST(DirectSound, KSoundPlaysASampleAndTheMusicStream) {
  if (!serverRunning()) GTEST_SKIP() << "no sound server";
  KSound effect;
  ASSERT_TRUE(effect.loadSample(toneWav().c_str(), 100, false, 2));
  effect.playSample();
  EXPECT_TRUE(effect.isPlaying());
  KSound music;
  ASSERT_TRUE(music.loadStream("data/audio/musicintro.ogg"));
  music.playStream(true);
  std::this_thread::sleep_for(std::chrono::milliseconds(2500));
  EXPECT_TRUE(music.isPlaying());
  music.stopStream();
  EXPECT_FALSE(music.isPlaying());
}

}  // namespace
