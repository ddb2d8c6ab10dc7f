// The preferences file: exact bytes, short and damaged files, clamping, the
// volume formula, and a save that fails without touching the old file.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "support/portable.h"
#include "support/save_blocker.h"
#include "support/shell_fakes.h"
#include "app/preferences.h"
#include "sound/KSound.h"

namespace {

class Prefs : public ::testing::Test {
protected:
  TempDocuments docs;
  void SetUp() override { preferences = sPreferences(); }
  void TearDown() override { preferences = sPreferences(); }
};

const std::vector<unsigned char> kDefaults = {0x2C, 0x01, 0, 0, 0x18, 0x01, 0, 0,
                                              0x01, 0,    0, 0, 0,    0,    0, 0};

TEST_F(Prefs, NoFileKeepsDefaultsAndSavesTheirExactBytes) {
  loadPrefs();
  EXPECT_EQ(preferences.music, 300);
  EXPECT_EQ(preferences.sfx, 280);
  EXPECT_EQ(preferences.fullscreen, 1);
  EXPECT_EQ(preferences.printing, 0);
  EXPECT_EQ(sliderVolume(preferences.music), 81);
  EXPECT_EQ(sliderVolume(preferences.sfx), 72);
  ASSERT_TRUE(savePrefs());
  EXPECT_EQ(readWholeFile(docs.file("pabrix.prf")), kDefaults);
}

TEST_F(Prefs, OutOfRangeSlidersAreClampedOnLoad) {
  std::vector<unsigned char> bytes = kDefaults;
  bytes[0] = 50;  // music 50
  bytes[1] = 0;
  bytes[4] = 0xE8;  // sfx 1000
  bytes[5] = 0x03;
  writeWholeFile(docs.file("pabrix.prf"), bytes);
  loadPrefs();
  EXPECT_EQ(preferences.music, 120);
  EXPECT_EQ(preferences.sfx, 340);

  bytes[0] = bytes[1] = bytes[2] = bytes[3] = 0xFF;  // music -1
  writeWholeFile(docs.file("pabrix.prf"), bytes);
  preferences = sPreferences();
  loadPrefs();
  EXPECT_EQ(preferences.music, 120);
}

TEST_F(Prefs, ShortFileReplacesOnlyLeadingBytes) {
  // Five bytes: music = 200 and the first byte of sfx (0x2A over 0x18).
  writeWholeFile(docs.file("pabrix.prf"), {200, 0, 0, 0, 0x2A});
  loadPrefs();
  EXPECT_EQ(preferences.music, 200);
  EXPECT_EQ(preferences.sfx, 0x12A);
  EXPECT_EQ(preferences.fullscreen, 1);
  EXPECT_EQ(preferences.timer, 0u);

  preferences = sPreferences();
  writeWholeFile(docs.file("pabrix.prf"), {});
  loadPrefs();
  EXPECT_EQ(preferences.music, 300);
}

TEST_F(Prefs, UnknownBytesAreWrittenBackAsRead) {
  std::vector<unsigned char> bytes = {0x00, 0x01, 0, 0, 0x10, 0x01, 0, 0,
                                      0x00, 0x01, 0xAB, 0xCD, 0x78, 0x56, 0x34, 0x12};
  writeWholeFile(docs.file("pabrix.prf"), bytes);
  loadPrefs();
  EXPECT_EQ(preferences.fullscreen, 0);
  EXPECT_EQ(preferences.printing, 1);
  EXPECT_EQ(preferences.timer, 0x12345678u);
  ASSERT_TRUE(savePrefs());
  EXPECT_EQ(readWholeFile(docs.file("pabrix.prf")), bytes);
}

#ifndef _WIN32  // Windows' ANSI file calls stop at 260 characters
TEST_F(Prefs, LongDocumentsPathStillNamesThePreferencesFile) {
  // A folder name just short of the platform's old path limit: with the file
  // name added the whole path is longer than that limit.
  std::string deep = docs.path + "/" + std::string(120, 'd') + "/" + std::string(250 - docs.path.size() - 122, 'e');
  ASSERT_EQ(deep.size(), 250u);
  kt_setDocumentsFolder(deep.c_str());
  ASSERT_TRUE(savePrefs());
  EXPECT_EQ(readWholeFile(deep + "/pabrix.prf").size(), 16u);
  preferences.music = 1;
  loadPrefs();
  EXPECT_EQ(preferences.music, 300);
}
#endif

TEST_F(Prefs, VolumeFormulaTruncatesAndLimits) {
  EXPECT_EQ(sliderVolume(120), 0);
  EXPECT_EQ(sliderVolume(121), 0);
  EXPECT_EQ(sliderVolume(123), 1);  // 300/220 truncates
  EXPECT_EQ(sliderVolume(339), 99);
  EXPECT_EQ(sliderVolume(340), 100);
  EXPECT_EQ(sliderVolume(-2000000000), 0);
  EXPECT_EQ(sliderVolume(2000000000), 100);
}

TEST_F(Prefs, UpperSliderDrivesEffectsLowerDrivesMusic) {
  preferences.music = 300;  // upper knob
  preferences.sfx = 142;    // lower knob
  doVolume();
  EXPECT_EQ(KSound::_masterSFXvolume.load(), 81);
  EXPECT_EQ(KSound::_masterMUSICvolume.load(), 10);
  preferences.music = 400;
  doVolume();
  EXPECT_EQ(preferences.music, 340);
  EXPECT_EQ(KSound::_masterSFXvolume.load(), 100);
}

TEST_F(Prefs, FailedSaveKeepsTheOldFileWhole) {
  std::vector<unsigned char> old = kDefaults;
  old[0] = 0xC8;
  writeWholeFile(docs.file("pabrix.prf"), old);
  preferences.music = 250;
  {
    SaveBlocker blocked(docs.file("pabrix.prf"));
    EXPECT_FALSE(savePrefs());
  }
  EXPECT_EQ(readWholeFile(docs.file("pabrix.prf")), old);
  // No temporary file is left beside it.
  EXPECT_EQ(docs.entries(), 1u);

  EXPECT_TRUE(savePrefs());
  EXPECT_EQ(readWholeFile(docs.file("pabrix.prf"))[0], 250);
}

}  // namespace
