// KSound with no audio device: loads fail, plays do nothing, nothing crashes,
// and a sound made without a device does not disturb the count of a device
// opened later.
#include <gtest/gtest.h>

#include <cstdlib>

#include "KSoundTestAccess.h"
#include "SoundFixtures.h"
#include "sound/KSound.h"

using namespace soundtest;

namespace {

TEST(NoDeviceTest, SoundsWithoutADeviceAreSilentButUsable) {
  setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
  setenv("SDL_VIDEODRIVER", "dummy", 1);
  TempDir dir;
  std::string wav = dir.write("t.wav", wavFile(bytesOf(tone(500, 2, 44100, 440, 8000)), 2, 44100, 16));
  std::string ogg = dir.write("t.ogg", vorbisFile(tone(5000, 2, 44100, 440, 8000), 2, 44100));

  auto *deviceLess = new KSound;
  KSound &s = *deviceLess;
  EXPECT_EQ(KSound::directSoundPtr, nullptr);
  EXPECT_EQ(KSound::_instanceCount, 0);
  EXPECT_FALSE(KSoundTestAccess::counted(s));
  // The tables are there even so.
  EXPECT_EQ(fechnerTable[50], -831);

  EXPECT_FALSE(s.loadSample(wav.c_str(), 100, false, 3));
  EXPECT_FALSE(s.loadSample(ogg.c_str(), 100, false, 3));
  s.playSample();
  s.setVolume(40);
  EXPECT_EQ(s._channelVolume, 40);
  s.setPan(-30);
  EXPECT_FALSE(s.isPlaying());
  EXPECT_FALSE(s.loadStream(ogg.c_str()));
  s.playStream(true);
  s.stopStream();
  EXPECT_FALSE(s.isPlaying());
  EXPECT_FALSE(s.loadStream(dir.write("m.mod", modFile(4)).c_str()));

  {
    KSound t;
    EXPECT_EQ(KSound::_instanceCount, 0);
  }
  EXPECT_EQ(KSound::_instanceCount, 0);

  // A device that appears later is opened by the next sound, and the
  // destruction of the old device-less sound leaves it alone.
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  auto *later = new KSound;
  ASSERT_NE(KSound::directSoundPtr, nullptr);
  EXPECT_EQ(KSound::_instanceCount, 1);
  ASSERT_TRUE(later->loadSample(wav.c_str(), 100, true, 1));
  {
    KSound early;  // made while the device exists: counted
    EXPECT_EQ(KSound::_instanceCount, 2);
  }
  EXPECT_EQ(KSound::_instanceCount, 1);
  delete deviceLess;  // was never counted: the device stays with `later`
  EXPECT_EQ(KSound::_instanceCount, 1);
  ASSERT_NE(KSound::directSoundPtr, nullptr);
  later->playSample();
  EXPECT_TRUE(later->isPlaying());
  delete later;
  EXPECT_EQ(KSound::_instanceCount, 0);
  EXPECT_EQ(KSound::directSoundPtr, nullptr);
}

}  // namespace
