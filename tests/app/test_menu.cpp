// The main menu: bobbing positions (exact for hits, truncated for drawing), the
// inclusive hit rectangles and hot areas, hover pictures and the phase wrap.
#include <gtest/gtest.h>

#include <cmath>

#include "support/shell_fakes.h"
#include "app/menu.h"
#include "app/navigation.h"
#include "app/shell.h"
#include "tools/KMiscTools.h"

namespace {

class Menu : public ::testing::Test {
protected:
  ScriptInput input;
  ScopedInput scoped{input};
  RecordingWindow window;

  void SetUp() override {
    rec.reset();
    rec.pictureSizes = {{"pabrix.bmp", {640, 480}}, {"pgoff.tga", {150, 140}},
                        {"pgon.tga", {160, 150}},   {"mgoff.tga", {170, 140}},
                        {"mgon.tga", {170, 140}},   {"mmoff.tga", {140, 150}},
                        {"mmon.tga", {140, 150}}};
    gameWindow = &window;
    initMenu();
  }
  void TearDown() override {
    freeMenu();
    gameWindow = nullptr;
    sine = 0;
  }

  // Runs one menu frame with the phase landing on `phase` after its step.
  long frameAt(float phase, int x, int y, bool button) {
    sine = phase - 0.021f;
    input.play({InputFrame{x, y, button}});
    rec.calls.clear();
    return doMenu();
  }
};

TEST_F(Menu, ButtonsBobInOppositePhaseAndDrawTruncated) {
  EXPECT_EQ(frameAt(0, 0, 0, false), MENU_NOTHING);
  EXPECT_FLOAT_EQ(sine, 0);
  EXPECT_TRUE(rec.drewAt("pabrix.bmp", "blitRect", 0, 0));
  EXPECT_TRUE(rec.drewAt("pgoff.tga", "blitAlphaRect", 65, 160));
  EXPECT_TRUE(rec.drewAt("mgoff.tga", "blitAlphaRect", 235, 160));  // 160.03
  EXPECT_TRUE(rec.drewAt("mmoff.tga", "blitAlphaRect", 430, 159));  // 159.95

  // Near a quarter turn the first button is 16 px lower, the second 16 higher.
  frameAt(1.5f, 0, 0, false);
  EXPECT_TRUE(rec.drewAt("pgoff.tga", "blitAlphaRect", 65, 175));  // 175.96
  EXPECT_TRUE(rec.drewAt("mgoff.tga", "blitAlphaRect", 235, 144));  // 144.05
}

TEST_F(Menu, HitRectanglesUseExactBobbingPositionInclusive) {
  // Button 2 rests at 159.95: y 159 misses, 160 hits; its right edge 430+140 hits.
  EXPECT_EQ(frameAt(0, 500, 159, true), MENU_NOTHING);
  EXPECT_EQ(frameAt(0, 500, 160, true), MENU_MONSTER);
  EXPECT_EQ(frameAt(0, 570, 300, true), MENU_MONSTER);
  EXPECT_EQ(frameAt(0, 571, 300, true), MENU_NOTHING);
  // Button 1 rests at 160.03: 160 misses, its bottom 300.03 still takes 300.
  EXPECT_EQ(frameAt(0, 300, 160, true), MENU_NOTHING);
  EXPECT_EQ(frameAt(0, 300, 161, true), MENU_GARDEN);
  EXPECT_EQ(frameAt(0, 300, 300, true), MENU_GARDEN);
  EXPECT_EQ(frameAt(0, 405, 250, true), MENU_GARDEN);
  // Button 0 on its exact corners.
  EXPECT_EQ(frameAt(0, 65, 160, true), MENU_PABGLOW);
  EXPECT_EQ(frameAt(0, 215, 300, true), MENU_PABGLOW);
  EXPECT_EQ(frameAt(0, 64, 200, true), MENU_NOTHING);
  // The hit follows the bobbing: near a quarter turn button 0 starts at 175.96.
  EXPECT_EQ(frameAt(1.5f, 100, 175, true), MENU_NOTHING);
  EXPECT_EQ(frameAt(1.5f, 100, 176, true), MENU_PABGLOW);
}

TEST_F(Menu, ClickReturnsBeforeDrawingTheRemainingButtons) {
  EXPECT_EQ(frameAt(0, 100, 200, true), MENU_PABGLOW);
  EXPECT_TRUE(rec.find("mgoff.tga", "").empty());
  EXPECT_TRUE(rec.find("mmoff.tga", "").empty());
}

TEST_F(Menu, HoverShowsOtherPictureAtBobbingPosition) {
  EXPECT_EQ(frameAt(0, 480, 200, false), MENU_NOTHING);
  auto on = rec.find("mmon.tga", "blitAlphaRect");
  ASSERT_EQ(on.size(), 1u);
  EXPECT_EQ(on[0].args, (std::vector<float>{0, 0, 140, 150, 430, 159}));
  EXPECT_TRUE(rec.find("mmoff.tga", "").empty());
  // Hover uses its own size at the normal picture's position.
  frameAt(0, 100, 200, false);
  auto pg = rec.find("pgon.tga", "blitAlphaRect");
  ASSERT_EQ(pg.size(), 1u);
  EXPECT_EQ(pg[0].args, (std::vector<float>{0, 0, 160, 150, 65, 160}));
}

TEST_F(Menu, QuitAndOptionsAreasIncludeBothEnds) {
  struct Probe {
    int x, y;
    long code;
  } probes[] = {
      {559, 422, MENU_QUIT}, {639, 479, MENU_QUIT}, {600, 450, MENU_QUIT},
      {558, 450, MENU_NOTHING}, {640, 450, MENU_NOTHING}, {600, 421, MENU_NOTHING},
      {600, 480, MENU_NOTHING},
      {200, 403, MENU_OPTIONS}, {429, 479, MENU_OPTIONS}, {199, 450, MENU_NOTHING},
      {430, 450, MENU_NOTHING}, {300, 402, MENU_NOTHING},
  };
  for (const Probe &p : probes) {
    initMenu();  // no question pending
    // The quit area asks first: only a second press quits.
    if (p.code == MENU_QUIT) EXPECT_EQ(frameAt(3.14f, p.x, p.y, true), MENU_NOTHING);
    EXPECT_EQ(frameAt(3.14f, p.x, p.y, false), MENU_NOTHING) << "no click at " << p.x;
    const bool quit = p.code == MENU_QUIT;
    EXPECT_EQ(frameAt(3.14f, p.x, p.y, true), quit ? MENU_NOTHING : p.code) << p.x << "," << p.y;
    // Quitting waits for the press to be complete.
    if (quit) EXPECT_EQ(frameAt(3.14f, p.x, p.y, false), MENU_QUIT) << p.x << "," << p.y;
  }
}

TEST_F(Menu, TheWayOutAsksOnceForThreeSeconds) {
  static unsigned long now = 100;
  screenClock = [] { return now; };
  EXPECT_EQ(frameAt(0, 600, 450, true), MENU_NOTHING);
  EXPECT_EQ(frameAt(0, 600, 450, true), MENU_NOTHING) << "the press that asked is no answer";
  auto glow = rec.find("nav.tga", "blitAlphaRectFx");
  ASSERT_EQ(glow.size(), 1u);
  EXPECT_EQ(glow[0].args[4], 549);
  frameAt(0, 300, 300, false);
  now += 2999;
  EXPECT_EQ(frameAt(0, 600, 450, true), MENU_NOTHING) << "the answer acts on its release";
  now += 5000;
  EXPECT_EQ(frameAt(0, 600, 450, true), MENU_NOTHING) << "however long it is held";
  EXPECT_EQ(frameAt(0, 600, 450, false), MENU_QUIT);
  // An answer slid off the way out before its release does not quit.
  initMenu();
  frameAt(0, 600, 450, true);
  frameAt(0, 300, 300, false);
  frameAt(0, 600, 450, true);
  EXPECT_EQ(frameAt(0, 540, 450, false), MENU_NOTHING);
  // Three seconds without an answer: the question is withdrawn and asked anew.
  initMenu();
  frameAt(0, 600, 450, true);
  frameAt(0, 300, 300, false);
  now += 3000;
  EXPECT_EQ(frameAt(0, 600, 450, true), MENU_NOTHING);
  frameAt(0, 300, 300, false);
  EXPECT_FALSE(rec.find("nav.tga", "blitAlphaRectFx").empty()) << "asking again";
  screenClock = &KMiscTools::getMilliseconds;
}

TEST_F(Menu, PhaseWrapsToZeroOnThe300thFrame) {
  sine = 0;
  input.play({InputFrame{0, 0, false}});
  for (int i = 0; i < 299; i++) doMenu();
  EXPECT_GT(sine, 6.27f);
  EXPECT_LE(sine, 6.28f);
  doMenu();
  EXPECT_EQ(sine, 0.0f);
  doMenu();
  EXPECT_FLOAT_EQ(sine, 0.021f);
}

TEST_F(Menu, FreeReleasesEveryPictureAndIsSafeTwice) {
  int live = rec.livePictures;
  freeMenu();
  EXPECT_EQ(rec.livePictures, live - 10);  // with the gallery button's two
  EXPECT_EQ(surf_menu, nullptr);
  freeMenu();
  EXPECT_EQ(rec.livePictures, live - 10);
  // Re-initialising twice does not leak the first set.
  initMenu();
  initMenu();
  EXPECT_EQ(rec.livePictures, live);
}

TEST_F(Menu, MissingPicturesLeaveAPointHotspot) {
  freeMenu();
  rec.pictureSizes.clear();
  initMenu();
  EXPECT_EQ(frameAt(0, 65, 160, true), MENU_PABGLOW);
  EXPECT_EQ(frameAt(0, 66, 160, true), MENU_NOTHING);
}

}  // namespace
