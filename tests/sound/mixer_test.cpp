// The software mixer on plain buffers, with no audio device: formats, locking,
// playback, conversion, resampling, volume and pan, notifications, lost
// buffers.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "platform/mixer/Mixer.h"

using namespace mixer;

namespace {

constexpr uint32_t kAllCaps = kCapsGlobalFocus | kCapsLocSoftware | kCapsCtrlFrequency |
                              kCapsCtrlPan | kCapsCtrlVolume | kCapsCtrlPositionNotify;

WaveFormat pcm(int channels, int rate, int bits) {
  WaveFormat f;
  f.formatTag = 1;
  f.channels = uint16_t(channels);
  f.samplesPerSec = uint32_t(rate);
  f.bitsPerSample = uint16_t(bits);
  f.blockAlign = uint16_t(channels * bits / 8);
  f.avgBytesPerSec = uint32_t(rate) * f.blockAlign;
  return f;
}

class MixerTest : public ::testing::Test {
protected:
  std::shared_ptr<Device> device = Device::openHeadless();

  std::shared_ptr<Buffer> make(const WaveFormat &f, uint32_t bytes, uint32_t caps = kAllCaps) {
    std::shared_ptr<Buffer> b;
    EXPECT_EQ(device->createBuffer(caps, bytes, f, &b), kOk);
    return b;
  }

  void fill(Buffer &b, const void *src, uint32_t bytes, uint32_t offset = 0) {
    void *p1 = nullptr, *p2 = nullptr;
    uint32_t n1 = 0, n2 = 0;
    ASSERT_EQ(b.lock(offset, bytes, &p1, &n1, &p2, &n2, 0), kOk);
    memcpy(p1, src, n1);
    if (n2) memcpy(p2, static_cast<const uint8_t *>(src) + n1, n2);
    ASSERT_EQ(b.unlock(p1, n1, p2, n2), kOk);
  }

  std::vector<int16_t> mix(uint32_t frames) {
    std::vector<int16_t> out(frames * 2, 12345);
    device->mix(out.data(), frames);
    return out;
  }
};

TEST_F(MixerTest, CreateRejectsFormatsAndSizesTheDeviceCannotPlay) {
  std::shared_ptr<Buffer> b;
  WaveFormat f = pcm(2, 44100, 16);
  f.formatTag = 3;
  EXPECT_EQ(device->createBuffer(kAllCaps, 1024, f, &b), kInvalidParam);
  EXPECT_EQ(device->createBuffer(kAllCaps, 1024, pcm(3, 44100, 16), &b), kInvalidParam);
  EXPECT_EQ(device->createBuffer(kAllCaps, 1024, pcm(0, 44100, 16), &b), kInvalidParam);
  EXPECT_EQ(device->createBuffer(kAllCaps, 1024, pcm(2, 44100, 24), &b), kInvalidParam);
  EXPECT_EQ(device->createBuffer(kAllCaps, 1024, pcm(2, 99, 16), &b), kInvalidParam);
  EXPECT_EQ(device->createBuffer(kAllCaps, 1024, pcm(2, 200001, 16), &b), kInvalidParam);
  f = pcm(2, 44100, 16);
  f.blockAlign = 2;
  EXPECT_EQ(device->createBuffer(kAllCaps, 1024, f, &b), kInvalidParam);
  EXPECT_EQ(device->createBuffer(kAllCaps, 3, pcm(1, 8000, 8), &b), kInvalidParam);
  EXPECT_EQ(device->createBuffer(kAllCaps, kMaxBufferBytes + 1, pcm(1, 8000, 8), &b), kInvalidParam);
  EXPECT_EQ(b, nullptr);
  EXPECT_EQ(device->liveBuffers(), 0u);

  EXPECT_EQ(device->createBuffer(kAllCaps, 4, pcm(1, 100, 8), &b), kOk);
  EXPECT_EQ(device->createBuffer(kAllCaps, 4, pcm(2, 200000, 16), &b), kOk);
  EXPECT_EQ(device->liveBuffers(), 1u);  // the first one went when b was replaced
  b.reset();
  EXPECT_EQ(device->liveBuffers(), 0u);
}

TEST_F(MixerTest, LockHandsOutContentWrapsAndChecksRanges) {
  auto b = make(pcm(1, 8000, 8), 16);
  std::vector<uint8_t> bytes(16);
  for (int i = 0; i < 16; ++i) bytes[i] = uint8_t(i);
  fill(*b, bytes.data(), 16);

  void *p1 = nullptr, *p2 = nullptr;
  uint32_t n1 = 0, n2 = 0;
  ASSERT_EQ(b->lock(12, 8, &p1, &n1, &p2, &n2, 0), kOk);
  ASSERT_EQ(n1, 4u);
  ASSERT_EQ(n2, 4u);
  EXPECT_EQ(static_cast<uint8_t *>(p1)[0], 12);
  EXPECT_EQ(static_cast<uint8_t *>(p2)[3], 3);
  // A second lock before the unlock is refused.
  void *q = nullptr;
  uint32_t qn = 0;
  EXPECT_EQ(b->lock(0, 4, &q, &qn, nullptr, nullptr, 0), kInvalidCall);
  static_cast<uint8_t *>(p1)[0] = 200;
  static_cast<uint8_t *>(p2)[0] = 201;
  ASSERT_EQ(b->unlock(p1, n1, p2, n2), kOk);
  EXPECT_EQ(b->unlock(p1, n1, p2, n2), kInvalidCall);

  ASSERT_EQ(b->lock(0, 0, &p1, &n1, nullptr, nullptr, kLockEntireBuffer), kOk);
  EXPECT_EQ(n1, 16u);
  EXPECT_EQ(static_cast<uint8_t *>(p1)[12], 200);
  EXPECT_EQ(static_cast<uint8_t *>(p1)[0], 201);
  EXPECT_EQ(static_cast<uint8_t *>(p1)[5], 5);
  // Claiming more than was locked writes back only what was locked.
  EXPECT_EQ(b->unlock(p1, 1000, nullptr, 0), kOk);

  EXPECT_EQ(b->lock(16, 1, &p1, &n1, &p2, &n2, 0), kInvalidParam);
  EXPECT_EQ(b->lock(0, 17, &p1, &n1, &p2, &n2, 0), kInvalidParam);
  EXPECT_EQ(b->lock(0, 0, &p1, &n1, &p2, &n2, 0), kInvalidParam);
  EXPECT_EQ(b->lock(8, 16, &p1, &n1, nullptr, nullptr, 0), kInvalidParam);  // wraps, no 2nd region
}

TEST_F(MixerTest, PlaysOnceExactlyThenStopsAndOutputsSilence) {
  std::vector<int16_t> src = {100, -100, 2000, -2000, 32767, -32768, 7, 8};
  auto b = make(pcm(2, 44100, 16), 16);
  fill(*b, src.data(), 16);

  auto idle = mix(4);
  for (int16_t s : idle) EXPECT_EQ(s, 0);  // nothing plays: silence

  ASSERT_EQ(b->play(0), kOk);
  uint32_t status = 0;
  b->getStatus(&status);
  EXPECT_EQ(status, kStatusPlaying);
  auto out = mix(6);
  for (int i = 0; i < 8; ++i) EXPECT_EQ(out[i], src[i]) << i;
  for (int i = 8; i < 12; ++i) EXPECT_EQ(out[i], 0) << i;
  b->getStatus(&status);
  EXPECT_EQ(status, 0u);

  // Played again from a set position.
  ASSERT_EQ(b->setCurrentPosition(8), kOk);
  b->play(0);
  out = mix(3);
  EXPECT_EQ(out[0], 32767);
  EXPECT_EQ(out[2], 7);
  EXPECT_EQ(out[4], 0);
}

TEST_F(MixerTest, LoopingWrapsAndPositionRoundsToFrames) {
  std::vector<int16_t> src = {1, 1, 2, 2, 3, 3};
  auto b = make(pcm(2, 44100, 16), 12);
  fill(*b, src.data(), 12);
  ASSERT_EQ(b->setCurrentPosition(5), kOk);  // byte 5 is inside frame 1
  uint32_t pos = 0;
  b->getCurrentPosition(&pos);
  EXPECT_EQ(pos, 4u);
  b->play(kPlayLooping);
  uint32_t status = 0;
  b->getStatus(&status);
  EXPECT_EQ(status, kStatusPlaying | kStatusLooping);
  auto out = mix(7);
  const int16_t expect[] = {2, 3, 1, 2, 3, 1, 2};
  for (int i = 0; i < 7; ++i) EXPECT_EQ(out[2 * i], expect[i]) << i;
  b->getCurrentPosition(&pos);
  EXPECT_EQ(pos, 8u);
  b->stop();
  b->getStatus(&status);
  EXPECT_EQ(status, 0u);
  EXPECT_EQ(b->setCurrentPosition(12), kInvalidParam);
}

TEST_F(MixerTest, ConvertsEightBitAndMonoAndClampsTheSum) {
  const uint8_t u8[] = {128, 255, 0, 192};
  auto b8 = make(pcm(1, 44100, 8), 4);
  fill(*b8, u8, 4);
  b8->play(0);
  auto out = mix(4);
  const int16_t expect[] = {0, 127 * 256, -128 * 256, 64 * 256};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(out[2 * i], expect[i]);
    EXPECT_EQ(out[2 * i + 1], expect[i]);  // mono reaches both sides
  }

  std::vector<int16_t> loud = {30000, -30000, 30000, -30000};
  auto a = make(pcm(2, 44100, 16), 8);
  auto c = make(pcm(2, 44100, 16), 8);
  fill(*a, loud.data(), 8);
  fill(*c, loud.data(), 8);
  a->play(0);
  c->play(0);
  out = mix(2);
  EXPECT_EQ(out[0], 32767);
  EXPECT_EQ(out[1], -32768);
}

TEST_F(MixerTest, ResamplesByInterpolationAndFollowsFrequencyChanges) {
  // 22050 Hz: every source frame lasts two output frames, the second halfway
  // to the next.
  std::vector<int16_t> src = {0, 1000, 2000, 3000};
  auto b = make(pcm(1, 22050, 16), 8);
  fill(*b, src.data(), 8);
  b->play(0);
  auto out = mix(10);
  const int16_t expect[] = {0, 500, 1000, 1500, 2000, 2500, 3000, 3000, 0, 0};
  for (int i = 0; i < 10; ++i) EXPECT_EQ(out[2 * i], expect[i]) << i;

  // The same buffer at 88200 Hz skips every other frame.
  ASSERT_EQ(b->setFrequency(88200), kOk);
  b->setCurrentPosition(0);
  b->play(0);
  out = mix(3);
  EXPECT_EQ(out[0], 0);
  EXPECT_EQ(out[2], 2000);
  EXPECT_EQ(out[4], 0);
  uint32_t hz = 0;
  b->setFrequency(0);
  b->getFrequency(&hz);
  EXPECT_EQ(hz, 22050u);
  EXPECT_EQ(b->setFrequency(50), kInvalidParam);
}

TEST_F(MixerTest, VolumeAndPanAreAttenuationsInHundredthsOfADecibel) {
  EXPECT_FLOAT_EQ(attenuationToGain(0), 1.0f);
  EXPECT_NEAR(attenuationToGain(-600), 0.501187, 1e-5);
  EXPECT_NEAR(attenuationToGain(-2000), 0.1, 1e-6);
  EXPECT_EQ(attenuationToGain(-10000), 0.0f);

  std::vector<int16_t> src(64, 20000);
  auto b = make(pcm(2, 44100, 16), 128);
  fill(*b, src.data(), 128);
  auto level = [&](long volume, long pan) {
    EXPECT_EQ(b->setVolume(volume), kOk);
    EXPECT_EQ(b->setPan(pan), kOk);
    b->setCurrentPosition(0);
    b->play(0);
    auto out = mix(1);
    b->stop();
    return std::pair<int, int>(out[0], out[1]);
  };
  EXPECT_EQ(level(0, 0), std::make_pair(20000, 20000));
  EXPECT_EQ(level(-2000, 0), std::make_pair(2000, 2000));
  EXPECT_EQ(level(-10000, 0), std::make_pair(0, 0));
  EXPECT_EQ(level(0, -10000), std::make_pair(20000, 0));
  EXPECT_EQ(level(0, 10000), std::make_pair(0, 20000));
  auto half = level(0, -600);
  EXPECT_EQ(half.first, 20000);
  EXPECT_NEAR(half.second, 10024, 1);
  auto both = level(-2000, 2000);
  EXPECT_NEAR(both.first, 200, 1);
  EXPECT_NEAR(both.second, 2000, 1);

  long v = 0;
  EXPECT_EQ(b->setVolume(1), kInvalidParam);
  EXPECT_EQ(b->setVolume(-10001), kInvalidParam);
  EXPECT_EQ(b->setPan(10001), kInvalidParam);
  b->getVolume(&v);
  EXPECT_EQ(v, -2000);

  auto plain = make(pcm(2, 44100, 16), 128, kCapsLocSoftware);
  EXPECT_EQ(plain->setVolume(-100), kNoControl);
  EXPECT_EQ(plain->setPan(100), kNoControl);
  EXPECT_EQ(plain->queryNotify(), nullptr);
}

TEST_F(MixerTest, NotificationsFireOncePerPassAndOnStop) {
  // 8 frames of 16-bit stereo: offsets 0 and 16 are the two halves.
  auto b = make(pcm(2, 44100, 16), 32);
  auto notify = b->queryNotify();
  ASSERT_NE(notify, nullptr);
  auto first = std::make_shared<Event>();
  auto second = std::make_shared<Event>();
  auto stopped = std::make_shared<Event>();
  NotifyPosition positions[] = {{0, first}, {16, second}, {kNotifyOnStop, stopped}};
  ASSERT_EQ(notify->setNotificationPositions(positions, 3), kOk);

  b->setCurrentPosition(0);
  b->play(kPlayLooping);
  // Changing positions while playing is refused.
  EXPECT_EQ(notify->setNotificationPositions(positions, 1), kInvalidCall);
  mix(1);
  EXPECT_TRUE(first->wait(0));
  EXPECT_FALSE(first->wait(0));  // auto-reset, signalled once
  EXPECT_FALSE(second->wait(0));
  mix(3);
  EXPECT_FALSE(second->wait(0));  // position 4 not yet passed
  mix(1);
  EXPECT_TRUE(second->wait(0));
  mix(3);
  EXPECT_FALSE(first->wait(0));
  mix(1);  // wraps to frame 0
  EXPECT_TRUE(first->wait(0));
  // Many passes in one mix still signal (the event holds one signal).
  mix(64);
  EXPECT_TRUE(first->wait(0));
  EXPECT_TRUE(second->wait(0));
  EXPECT_FALSE(stopped->wait(0));
  b->stop();
  EXPECT_TRUE(stopped->wait(0));

  NotifyPosition outside[] = {{32, first}};
  EXPECT_EQ(notify->setNotificationPositions(outside, 1), kInvalidParam);
  NotifyPosition noEvent[] = {{0, nullptr}};
  EXPECT_EQ(notify->setNotificationPositions(noEvent, 1), kInvalidParam);

  // The notification interface keeps its buffer alive.
  b.reset();
  EXPECT_EQ(device->liveBuffers(), 1u);
  notify.reset();
  EXPECT_EQ(device->liveBuffers(), 0u);
}

TEST_F(MixerTest, ResampledLoopsSignalEveryOffsetOncePerPass) {
  // Above the output rate a pass can wrap past frame 0 without starting a
  // run there; the offset-0 signal must still come once per pass, or the
  // stream worker skips a refill and a stale half is heard again.
  for (int rate : {11025, 22050, 48000, 96000, 200000}) {
    auto b = make(pcm(2, rate, 16), 64);  // 16 frames; offsets 0 and 32 are the halves
    auto first = std::make_shared<Event>();
    auto second = std::make_shared<Event>();
    NotifyPosition positions[] = {{0, first}, {32, second}};
    ASSERT_EQ(b->queryNotify()->setNotificationPositions(positions, 2), kOk);
    b->setCurrentPosition(0);
    b->play(kPlayLooping);
    int firsts = 0, seconds = 0;
    // One output frame at a time: at most one pass per mix, so no signal
    // can be merged with the next one in the event.
    for (int i = 0; i < 16 * 200; ++i) {
      mix(1);
      firsts += first->wait(0);
      seconds += second->wait(0);
    }
    const int passes = static_cast<int>(int64_t(16 * 200) * rate / 44100 / 16);
    EXPECT_NEAR(firsts, passes, 1) << rate;
    EXPECT_NEAR(seconds, passes, 1) << rate;
  }
}

TEST_F(MixerTest, ALostBufferRefusesPlayAndLockUntilRestored) {
  std::vector<int16_t> src = {500, 500, 600, 600};
  auto b = make(pcm(2, 44100, 16), 8);
  fill(*b, src.data(), 8);
  b->play(kPlayLooping);
  b->markLost();
  uint32_t status = 0;
  b->getStatus(&status);
  EXPECT_EQ(status, kStatusBufferLost);
  auto out = mix(2);
  EXPECT_EQ(out[0], 0);
  EXPECT_EQ(b->play(0), kBufferLost);
  void *p = nullptr;
  uint32_t n = 0;
  EXPECT_EQ(b->lock(0, 8, &p, &n, nullptr, nullptr, 0), kBufferLost);

  ASSERT_EQ(b->restore(), kOk);
  ASSERT_EQ(b->lock(0, 8, &p, &n, nullptr, nullptr, 0), kOk);
  EXPECT_EQ(static_cast<int16_t *>(p)[0], 0);  // content is gone: write it again
  b->unlock(p, n, nullptr, 0);
  EXPECT_EQ(b->play(0), kOk);
}

TEST(MixEventTest, AutoResetEventKeepsOneSignalAndTimesOut) {
  Event e;
  EXPECT_FALSE(e.wait(1));
  e.set();
  e.set();
  EXPECT_TRUE(e.wait(1));
  EXPECT_FALSE(e.wait(0));
  e.set();
  e.reset();
  EXPECT_FALSE(e.wait(0));
}

}  // namespace
