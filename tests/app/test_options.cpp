// The options screen run in-process: slider dragging and its limits, the two
// boxes acting once per press (printing in a window and in full screen alike),
// and the release wait on leaving.
#include <gtest/gtest.h>

#include "support/shell_fakes.h"
#include "app/preferences.h"
#include "app/shell.h"

namespace {

const InputFrame kBack{600, 450, true, {}};

class Options : public ::testing::Test {
protected:
  ScriptInput input;
  ScopedInput scoped{input};
  RecordingWindow window;

  void SetUp() override {
    rec.reset();
    rec.pictureSizes = {{"options.bmp", {640, 480}}, {"cross.bmp", {60, 120}},
                        {"note.tga", {32, 32}}, {"mouse.tga", {32, 32}},
                        {"nav.tga", {256, 160}}};
    gameWindow = &window;
    preferences = sPreferences();
    input.releaseAfterEvents = 2;
  }
  void TearDown() override {
    gameWindow = nullptr;
    preferences = sPreferences();
  }
  void run(std::vector<InputFrame> frames) {
    input.play(withReleasedStart(std::move(frames)));
    EXPECT_EQ(doOptions(), 0);
  }
  // Frames on which the lower (printing) or upper (full-screen) mark was drawn.
  std::vector<int> markFrames(bool lower) {
    std::vector<int> out;
    for (const DrawCall &c : rec.find("cross.bmp", "blitRect"))
      if (c.args[1] == (lower ? 60 : 0)) out.push_back(c.frame);
    return out;
  }
};

TEST_F(Options, AHeldKnobFollowsThePointerAndStopsAtTheTrackEnds) {
  // A flick past either end in one frame reaches that end; leaving the band
  // vertically while held keeps the knob following; the back area and the
  // other knob wait for the release.
  run({{300, 140, true, {}}, {600, 140, true, {}}, {200, 400, true, {}}, {0, 220, true, {}},
       {600, 450, true, {}}, {600, 450, false, {}},
       {250, 220, true, {}}, {-40, 60, true, {}}, {100, 140, false, {}}, kBack});
  EXPECT_EQ(preferences.music, 340);
  EXPECT_EQ(preferences.sfx, 120);
  EXPECT_EQ(rec.frames, 9) << "the back area was passed while a knob was held";
  // The knobs are drawn where the values are, every frame.
  EXPECT_TRUE(rec.drewAt("note.tga", "blitAlphaRect", 300, 127, 0));
  EXPECT_TRUE(rec.drewAt("note.tga", "blitAlphaRect", 284, 127, 1));
  EXPECT_TRUE(rec.drewAt("note.tga", "blitAlphaRect", 340, 127, 2));
  EXPECT_TRUE(rec.drewAt("note.tga", "blitAlphaRect", 184, 127, 3));
  EXPECT_TRUE(rec.drewAt("note.tga", "blitAlphaRect", 120, 127, 4));
  EXPECT_TRUE(rec.drewAt("note.tga", "blitAlphaRect", 234, 203, 7));
  EXPECT_TRUE(rec.drewAt("note.tga", "blitAlphaRect", 120, 203, 8));
}

TEST_F(Options, GrabBandsExcludeTheirEdges) {
  run({{200, 127, true, {}}, {200, 167, true, {}}, {200, 203, true, {}}, {200, 243, true, {}},
       kBack});
  EXPECT_EQ(preferences.music, 300);
  EXPECT_EQ(preferences.sfx, 280);
  run({{200, 128, true, {}}, {200, 128, false, {}}, {250, 242, true, {}}, {250, 242, false, {}},
       kBack});
  EXPECT_EQ(preferences.music, 184);
  EXPECT_EQ(preferences.sfx, 234);
}

TEST_F(Options, OutOfRangeSlidersAreClampedWhileShown) {
  preferences.music = 20;
  preferences.sfx = 9000;
  run({kBack});
  EXPECT_EQ(preferences.music, 120);
  EXPECT_EQ(preferences.sfx, 340);
}

TEST_F(Options, FullScreenBoxActsOncePerPressAndKeepsPrinting) {
  preferences.fullscreen = 0;
  preferences.printing = 1;
  input.releaseAfterEvents = 5;  // the button stays down through several message pumps
  run({{330, 270, true, {}}, {330, 270, false, {}}, kBack});
  EXPECT_EQ(rec.windowCalls, (std::vector<std::string>{"fullscreen 1"}));
  EXPECT_EQ(preferences.fullscreen, 1);
  EXPECT_EQ(preferences.printing, 1) << "printing leaves full screen for its dialog";
  EXPECT_EQ(markFrames(false), (std::vector<int>{1, 2}));

  // And back to a window on the next press, on the box's far corner.
  rec.reset();
  run({{357, 298, true, {}}, kBack});
  EXPECT_EQ(rec.windowCalls, (std::vector<std::string>{"fullscreen 0"}));
  EXPECT_EQ(preferences.fullscreen, 0);
}

TEST_F(Options, PrintingBoxTogglesOncePerPressWindowedOrFullScreen) {
  for (char full : {0, 1}) {
    preferences = sPreferences();
    preferences.fullscreen = full;
    rec.reset();
    run({{302, 316, true, {}}, {330, 340, false, {}}, kBack});
    EXPECT_EQ(preferences.printing, 1);
    EXPECT_EQ(markFrames(true), (std::vector<int>{1, 2}));
    auto marks = rec.find("cross.bmp", "blitRect", 1);
    ASSERT_EQ(marks.size(), size_t(1 + full));
    EXPECT_EQ(marks.back().args, (std::vector<float>{0, 60, 60, 120, 300, 307}));
    EXPECT_TRUE(rec.windowCalls.empty());

    rec.reset();
    run({{357, 365, true, {}}, kBack});
    EXPECT_EQ(preferences.printing, 0);
  }
  // A damaged value counts as off: one press turns it on.
  preferences.printing = 2;
  run({{330, 340, true, {}}, kBack});
  EXPECT_EQ(preferences.printing, 1);
}

TEST_F(Options, BackAreaLeavesAfterTheReleaseAndFreesPictures) {
  int live = rec.livePictures;
  run({{500, 450, true, {}}, {558, 450, true, {}}, {559, 422, true, {}}, {0, 0, false, {}}});
  // Left on the third frame, without presenting it, and only once released.
  EXPECT_EQ(rec.frames, 2);
  EXPECT_GE(rec.events, 2);
  EXPECT_FALSE(KInput::getLeftButtonState());
  EXPECT_EQ(rec.livePictures, live);
  rec.reset();
  run({{300, 300, false, {}}, {300, 300, false, {K_VK_ESCAPE}}});
  EXPECT_EQ(rec.frames, 1) << "Escape leaves too";
  rec.reset();
  run({{300, 300, false, {}}, {20, 20, true, {}}, {0, 0, false, {}}});
  EXPECT_EQ(rec.frames, 1) << "so does the home button";
  EXPECT_EQ(rec.livePictures, live);
}

TEST_F(Options, ClosedWindowEndsTheScreenAfterOneFrame) {
  rec.quit = true;
  run({{330, 270, false, {}}});
  EXPECT_EQ(rec.frames, 1);
}

}  // namespace
