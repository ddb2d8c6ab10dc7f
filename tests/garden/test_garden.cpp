// The garden screen run in-process with scripted input on recording pictures:
// planting and smoke at the soil's edges, one seed in hand, plants kept (and
// still) while the garden is closed, the drifting clouds' wrap, the watering can.
#include "activities/cloud.h"
#include "activities/garden.h"
#include "activities/seeds.h"
#include "support/activity_fixture.h"

namespace {

class Garden : public ActivityTest {
protected:
  // Takes seed 1 from the panel, lets it go at (x, y), then leaves with Escape.
  void dropSeedAt(int x, int y) {
    input.push(22, 109, false);  // a button held on entry would be ignored
    input.push(22, 109, true);
    input.push(x, y, false);
    input.push(x, y, false, {K_VK_ESCAPE});
    doMyGarden();
  }
  int planted() {
    int n = 0;
    for (const sSeedInGame &s : allSeeds) n += s.ID != 0;
    return n;
  }
};

}  // namespace

TEST_F(Garden, ASeedLetGoOnTheSoilIsPlantedElsewhereItGoesUpInSmoke) {
  dropSeedAt(169, 390);
  EXPECT_EQ(planted(), 1);
  EXPECT_EQ(allSeeds[0].ID, 1);
  EXPECT_GE(allSeeds[0].dx, 181) << "over the panel's edge: planted on the soil";
  EXPECT_EQ(allSeeds[0].dy, 368);
  EXPECT_FALSE(cloud1.alive);
  EXPECT_EQ(_seedInHand, 0);
  EXPECT_EQ(lastMusic, "data\\audio\\flower.ogg");
  EXPECT_EQ(surf_garden, nullptr) << "the screen's pictures go with it";
  EXPECT_EQ(surf_cloud, nullptr);

  // Over the grass and the top of the soil: planted at the highest place a seed
  // goes in, below the pointer.
  for (int y : {355, 389}) {
    allSeeds[0] = sSeedInGame{};
    input.clear();
    dropSeedAt(639, y);
    EXPECT_EQ(planted(), 1) << y;
    EXPECT_EQ(allSeeds[0].dx, 616) << y;
    EXPECT_EQ(allSeeds[0].dy, 368) << y;
    EXPECT_FALSE(cloud1.alive) << y;
  }
  for (auto [x, y] : {std::pair{168, 479}, std::pair{639, 354}}) {
    input.clear();
    cloud1.alive = false;
    dropSeedAt(x, y);
    EXPECT_EQ(planted(), 1) << x << "," << y;
    EXPECT_TRUE(cloud1.alive) << x << "," << y;
    EXPECT_EQ(cloud1.x, x - 62);
    EXPECT_EQ(_seedInHand, 0);
  }
}

TEST_F(Garden, OnlyOneSeedIsHeldAndNoOtherPulsesMeanwhile) {
  input.push(22, 109, false);
  input.push(22, 109, true);                     // take seed 1
  input.push(86, 122, true, {}, 3);               // over seed 2, button still down
  input.push(86, 122, true, {K_VK_ESCAPE});
  doMyGarden();
  EXPECT_EQ(_seedInHand, 1);
  EXPECT_EQ(menuSeeds[2].zoom, 0);
  _seedInHand = 0;

  // Hovering without a seed in hand makes the seed pulse.
  input.clear();
  input.push(86, 122, false, {}, 3);
  input.push(86, 122, false, {K_VK_ESCAPE});
  doMyGarden();
  EXPECT_NEAR(menuSeeds[2].zoom, 0.3f, 1e-5) << "three frames shown; Escape is read after a flip";
  EXPECT_EQ(_seedInHand, 0);
}

TEST_F(Garden, TheHomeButtonLeavesButNotWithASeedInHand) {
  input.push(22, 109, false);
  input.push(22, 109, true);     // take seed 1 and carry it over the home button
  input.push(155, 30, true, {}, 3);
  input.push(155, 30, false);    // lost in smoke there
  input.push(155, 30, true);     // a new press on the home button leaves
  input.push(300, 300, false, {}, 5);
  doMyGarden();
  EXPECT_EQ(window->flips, 6) << "left on the new press, not while carrying the seed";
  EXPECT_TRUE(cloud1.alive);
  EXPECT_EQ(planted(), 0);
}

TEST_F(Garden, PlantsAreKeptAndStillWhileTheGardenIsClosed) {
  dropSeedAt(300, 420);
  ASSERT_EQ(planted(), 1);
  float progress = allSeeds[0].progress;
  float zoom = allSeeds[0].zoom;
  float cloudX = allRainClouds[0].x;

  // Time passes elsewhere (the menu presents frames); nothing here moves.
  for (int i = 0; i < 50; i++) window->flipBackBuffer(true, true);
  EXPECT_EQ(allSeeds[0].progress, progress);

  input.clear();
  window->quit = false;
  input.push(300, 420, false);
  input.push(300, 420, false, {K_VK_ESCAPE});
  doMyGarden();
  EXPECT_FLOAT_EQ(allSeeds[0].progress, progress + 0.01f) << "one frame of growth";
  EXPECT_FLOAT_EQ(allSeeds[0].zoom, zoom + 0.1f);
  EXPECT_FLOAT_EQ(allRainClouds[0].x, cloudX + allRainClouds[0].speedx)
      << "clouds go on from where they were";
}

TEST_F(Garden, ACloudPastTheRightEdgeComesBackFromTheLeft) {
  RecordingGraphic panel;
  surf_garden = &panel;
  allRainClouds[1].x = 640;  // not past yet: above 640 is
  allRainClouds[1].speedx = 0;
  allRainClouds[3].x = 639.8f;
  allRainClouds[3].speedx = 0.4f;
  float y0 = allRainClouds[0].y;
  moveRainClouds();
  surf_garden = nullptr;
  EXPECT_EQ(allRainClouds[1].x, 640);
  const sRainCloud &c = allRainClouds[3];
  EXPECT_EQ(c.x, -100);
  EXPECT_GE(c.y, 0);
  EXPECT_LE(c.y, 99);
  EXPECT_EQ(c.y, float(int(c.y))) << "a whole-pixel height";
  EXPECT_GE(c.speedx, 0.1f);
  EXPECT_LE(c.speedx, 0.39f + 1e-6f);
  EXPECT_EQ(allRainClouds[0].y, y0);
  ASSERT_EQ(panel.countOp("blitAlphaRect"), 5u);
  EXPECT_EQ(panel.calls[3].destX, -100);
  EXPECT_EQ(panel.calls[3].destY, int(c.y));
}

TEST_F(Garden, TheWateringCanStartsTheSeedsItPoursOnAndNothingElse) {
  // Seed 9 waits about 24 s; seed 1 lies far to the right of it.
  dropSeedAt(300, 430);
  input.clear();
  _seedInHand = 1;
  input.setPointer(560, 430);
  addSeed();
  _seedInHand = 0;
  allSeeds[0].progress = -14.5f;  // seed 9's wait, whatever seed the panel gave

  // Dragged: taken at its body, carried with the button held until the spout is
  // over the first seed, then let go far from where it rests.
  float sx, sy;
  canSpout(213, 300, sx, sy);
  ASSERT_GT(sx, allSeeds[0].dx);
  ASSERT_LT(sx, allSeeds[0].dx + float(allSeeds[0].x2 - allSeeds[0].x1));
  input.push(60, 380, false);
  input.push(60, 380, true);
  input.push(213, 300, true, {}, 3);
  input.push(213, 300, false);
  input.push(213, 300, false, {K_VK_ESCAPE});
  doMyGarden();
  EXPECT_GT(allSeeds[0].progress, 0) << "the watered seed grows at once";
  EXPECT_LT(allSeeds[1].progress, 0) << "the other still waits";
  EXPECT_EQ(canState, CAN_RESTING);

  // Carried: a click on the can, a click over the second seed, a click on the panel.
  input.clear();
  input.push(60, 380, false);
  input.push(60, 380, true);
  input.push(60, 380, false);
  input.push(560 - 23 + 15 - 81, 300, true);
  input.push(560 - 23 + 15 - 81, 300, false, {}, 2);
  input.push(40, 200, true);  // over seed 10
  input.push(40, 200, false, {K_VK_ESCAPE});
  doMyGarden();
  EXPECT_GT(allSeeds[1].progress, 0);
  EXPECT_EQ(canState, CAN_RESTING);
  EXPECT_EQ(_seedInHand, 0) << "the click that put the can back took no seed";
}
