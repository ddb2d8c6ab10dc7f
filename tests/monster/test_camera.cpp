// The camera: PNG files named with the time in the documents folder's "Pabrix"
// folder, one picture per press of the button or of Print Screen, and a folder
// that cannot be written.
#include <stb_image.h>

#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>

#include "support/portable.h"
#include "activities/camera.h"
#include "activities/printMonster.h"
#include "support/activity_fixture.h"

namespace fs = std::filesystem;


namespace {

// Scripted input that can also hold Print Screen, which has no engine key.
class CameraInput : public KScriptedInput {
public:
  bool printScreen = false;
  bool keyDown(uint16_t virtualKey) override {
    return (virtualKey == 0x2C && printScreen) || KScriptedInput::keyDown(virtualKey);
  }
};

class Camera : public ActivityTest {
protected:
  void SetUp() override {
    ActivityTest::SetUp();
    KInput::setSource(&keys);
    kt_setenv("TZ", "UTC", 1);
    tzset();
    snapshotCalls = 0;
    initCamera();
  }
  void TearDown() override {
    freeCamera();
    ActivityTest::TearDown();
  }
  size_t files(const std::string &folder) {
    std::error_code e;
    size_t n = 0;
    for (auto it = fs::directory_iterator(folder, e); !e && it != fs::directory_iterator(); ++it) n++;
    return n;
  }
  // One frame of the button at (100, 100) with the pointer on it.
  bool frame(bool button, bool key, bool busy = false) {
    keys.setPointer(120, 120);
    keys.setLeftButton(button);
    keys.printScreen = key;
    return doCamera(100, 100, recordedPicture, busy);
  }
  CameraInput keys;
};

TEST_F(Camera, SavesAPngNamedWithTheTimeAndNeverOverwrites) {
  sSnapshot pic;
  pic.width = 3, pic.height = 2;
  pic.pixels = {0xFF0000FFu, 0xFF00FF00u, 0xFFFF0000u, 0xFFFFFFFFu, 0xFF000000u, 0xFF336699u};
  const std::string folder = dir + "/Pabrix";
  const std::time_t when = 1796640065;  // 2026-12-07 10:41:05 UTC
  const std::string first = savePicturePng(pic, folder, when);
  EXPECT_EQ(first, folder + "/Pabrix 2026-12-07 10-41-05.png");
  int w = 0, h = 0, comp = 0;
  unsigned char *back = stbi_load(first.c_str(), &w, &h, &comp, 4);
  ASSERT_NE(back, nullptr);
  EXPECT_EQ(std::vector<uint32_t>(reinterpret_cast<uint32_t *>(back),
                                  reinterpret_cast<uint32_t *>(back) + w * h),
            pic.pixels);
  stbi_image_free(back);
  // The same second again gets a name of its own; no temporary file stays; a
  // folder that cannot be made and an empty picture fail.
  EXPECT_EQ(savePicturePng(pic, folder, when), folder + "/Pabrix 2026-12-07 10-41-05 (2).png");
  std::ofstream(dir + "/blocked") << "x";
  EXPECT_EQ(savePicturePng(pic, dir + "/blocked/Pabrix", when), "");
  EXPECT_EQ(savePicturePng(sSnapshot(), folder, when), "");
  EXPECT_EQ(files(folder), 2u);
}

TEST_F(Camera, OnePicturePerPressOfTheButtonOrTheKey) {
  EXPECT_EQ(pictureFolder(), dir + "/Pabrix");
  // {button, Print Screen, part in hand, picture saved}, one frame each.
  const bool frames[][4] = {{1, 1, 0, 0},  // held since the screen opened
                            {0, 0, 0, 0}, {1, 0, 0, 1}, {1, 0, 0, 0}, {0, 0, 0, 0},
                            {0, 1, 0, 1}, {0, 1, 0, 0}, {0, 0, 1, 0},
                            {1, 0, 1, 0},   // the button is busy with a part in hand
                            {1, 1, 1, 1}};  // the key is not
  for (size_t i = 0; i < sizeof frames / sizeof frames[0]; i++)
    EXPECT_EQ(frame(frames[i][0], frames[i][1], frames[i][2]), frames[i][3]) << "frame " << i;
  EXPECT_EQ(snapshotCalls, 3);
  EXPECT_GE(files(pictureFolder()), 1u);
}

TEST_F(Camera, AFolderThatCannotBeWrittenFlashesAndKeepsPlaying) {
  std::ofstream(dir + "/Pabrix") << "a file where the folder should be";
  frame(false, false);
  testing::internal::CaptureStderr();
  EXPECT_FALSE(frame(true, false));
  EXPECT_NE(testing::internal::GetCapturedStderr().find("could not be saved"), std::string::npos);
  RecordingGraphic *button = RecordingGraphic::find("camera.tga");
  ASSERT_NE(button, nullptr);
  button->calls.clear();
  drawCameraFlash();
  EXPECT_EQ(button->countOp("drawRect"), 1u) << "the flash still answers the click";
}

}  // namespace
