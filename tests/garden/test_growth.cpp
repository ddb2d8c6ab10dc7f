// Seed growth measured through addSeed and doAllSeed on recording pictures: the
// phase lengths, the stem's fixed foot, tilts, the mystery seed, leafless plants
// and the hundred-plant limit.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "activities/garden.h"
#include "activities/seeds.h"
#include "support/activity_fixture.h"

namespace {

struct Phases {
  int waiting = 0, growing = 0, opening = 0, blooming = 0, fading = 0;
  bool footFixed = true;
  int foot = 0;
  float flowerAngle = 0;
  int leafBlits = 0;
  int rough = 0;  // stems, flowers and leaves drawn with nearest-neighbour sampling
};

class Growth : public ActivityTest {
protected:
  void SetUp() override {
    ActivityTest::SetUp();
    surf_garden = &garden;
    surf_tiges = &stems;
  }
  void TearDown() override {
    surf_garden = surf_tiges = nullptr;
    ActivityTest::TearDown();
  }

  // Plants seed n as if let go at (x, y) and returns its slot.
  sSeedInGame &plant(long n, int x = 300, int y = 420) {
    input.setPointer(x, y);
    _seedInHand = n;
    addSeed();
    _seedInHand = 0;
    for (sSeedInGame &s : allSeeds) {
      if (s.ID == n && s.dx == float(x - 23)) return s;
    }
    return allSeeds[kMaxSeeds - 1];
  }

  void clearGarden() {
    for (sSeedInGame &s : allSeeds) s = sSeedInGame{};
  }

  // Runs the plant in slot 0 until its slot is free again, classifying each
  // frame by what was drawn: the pulsing seed, the stem alone, then the stem
  // with its flower (and leaves).
  Phases grow() {
    Phases p;
    const sSeedInGame &s = allSeeds[0];
    int16_t x1 = s.x1, y1 = s.y1, x2 = s.x2, y2 = s.y2;
    bool first = true;
    for (int frame = 0; s.ID != 0 && frame < 20000; frame++) {
      garden.calls.clear();
      stems.calls.clear();
      doAllSeed();
      if (s.ID == 0) break;
      if (!garden.blitsOf(x1, y1, x2, y2).empty()) {
        p.waiting++;
        continue;
      }
      if (stems.calls.empty()) {
        ADD_FAILURE() << "a growing plant draws its stem";
        break;
      }
      const Blit &stem = stems.calls[0];
      int foot = stem.destY + int(stem.y2 - stem.y1);
      if (first) p.foot = foot, first = false;
      if (foot != p.foot) p.footFixed = false;
      if (stems.calls.size() == 1) {
        p.growing++;
        continue;
      }
      const Blit &flower = stems.calls[1];
      p.flowerAngle = flower.angle;
      for (const Blit &b : stems.calls) p.rough += !b.smooth;
      p.leafBlits += int(stems.calls.size()) - 2;
      if (flower.blend < 1)
        p.fading++;
      else if (flower.zoom < 1)
        p.opening++;
      else
        p.blooming++;
    }
    return p;
  }

  RecordingGraphic garden, stems;
};

}  // namespace

TEST_F(Growth, PhaseLengthsFollowTheSeedNumberAndTheFootStaysPut) {
  for (long n : {1L, 9L}) {
    clearGarden();
    sSeedInGame &s = plant(n);
    float speed = s.growSpeed, rotation = s.rotation;
    Phases p = grow();
    EXPECT_NEAR(p.waiting, 150 * n + 100, 1) << n;
    EXPECT_NEAR(p.growing, 100 / (1 + speed), 1.5) << n;
    EXPECT_NEAR(p.opening, 20, 1) << n;
    EXPECT_NEAR(p.blooming, 600 * n + 600, 2) << n;
    EXPECT_NEAR(p.fading, 20, 1) << n;
    EXPECT_TRUE(p.footFixed) << n;
    EXPECT_GT(p.foot, 400) << "the foot sits in the soil, below where the seed was";
    EXPECT_EQ(p.flowerAngle, rotation) << n;
    EXPECT_EQ(p.rough, 0) << "jagged edges on tilted flowers and growing leaves";
    EXPECT_FALSE(stems.quality) << "the sampling mode is put back after the frame";
    EXPECT_EQ(allSeeds[0].flower, 0);
  }
}

TEST_F(Growth, MysterySeedTakesARealFlowerAndBloomsAsLongAsSeedTen) {
  sSeedInGame &s = plant(10);
  ASSERT_GE(s.flower, 1);
  ASSERT_LE(s.flower, 9);
  EXPECT_FLOAT_EQ(s.progress, -(1.5f * s.flower + 1));
  int flower = s.flower;
  Phases p = grow();
  EXPECT_NEAR(p.waiting, 150 * flower + 100, 1);
  EXPECT_NEAR(p.blooming, 6600, 2);
}

TEST_F(Growth, OnlyFlowersFiveToNineAreTilted) {
  bool tilted = false;
  for (int round = 0; round < 30; round++) {
    for (long n = 1; n <= 10; n++) {
      clearGarden();
      const sSeedInGame &s = plant(n);
      ASSERT_GE(s.tige, 1);
      ASSERT_LE(s.tige, 9);
      ASSERT_GE(s.growSpeed, 0.0f);
      ASSERT_LE(s.growSpeed, 0.24f + 1e-6f);
      if (s.flower <= 4) {
        EXPECT_EQ(s.rotation, 0) << n;
      } else {
        EXPECT_GE(s.rotation, -29) << n;
        EXPECT_LE(s.rotation, 30) << n;
        tilted = tilted || s.rotation != 0;
      }
    }
  }
  EXPECT_TRUE(tilted);
}

TEST_F(Growth, LeavesGrowOnlyWhereTheyWereDrawn) {
  // rand() is never seeded, so the search below finds the same plants every run.
  bool leafless = false, leafy = false;
  for (int i = 0; i < 500 && !(leafless && leafy); i++) {
    clearGarden();
    const sSeedInGame &s = plant(1);
    int present = 0;
    for (int k = 1; k <= 5; k++) present += s.leaves[k].progress != -1;
    if (present == 0 && !leafless) {
      leafless = true;
      EXPECT_EQ(grow().leafBlits, 0) << "a plant without leaves shows none";
    } else if (present >= 2 && !leafy) {
      leafy = true;
      Phases p = grow();
      EXPECT_EQ(p.leafBlits, present * (p.opening + p.blooming + p.fading));
    }
  }
  EXPECT_TRUE(leafless);
  EXPECT_TRUE(leafy);
}

TEST_F(Growth, LeavesThreeAndFiveGrowRightTheOthersLeft) {
  sSeedInGame &s = plant(1);
  for (sPetalPosition &leaf : s.leaves) leaf.progress = 0;
  s.progress = 99.5f;  // one frame from the grown stem
  std::vector<Blit> early, late;
  for (int f = 0; f < 30; f++) {
    stems.calls.clear();
    doAllSeed();
    ASSERT_EQ(stems.calls.size(), 7u) << "stem, flower, five leaves";
    if (f == 5) early.assign(stems.calls.begin() + 2, stems.calls.end());
    if (f == 25) late.assign(stems.calls.begin() + 2, stems.calls.end());
  }
  for (int k = 1; k <= 5; k++) {
    const Blit &a = early[k - 1], &b = late[k - 1];
    float wa = a.x2 - a.x1, wb = b.x2 - b.x1;
    EXPECT_LT(wa, wb) << k;
    if (k == 3 || k == 5) {
      EXPECT_EQ(a.destX, b.destX) << k;
      EXPECT_EQ(a.x1, b.x1) << k;
    } else {
      EXPECT_GT(a.destX, b.destX) << k;
      EXPECT_EQ(a.x2, b.x2) << k;
      EXPECT_NEAR(a.destX + wa, b.destX + wb, 1) << "right edge stays, leaf " << k;
    }
  }
}

TEST_F(Growth, TheHundredAndFirstSeedIsNotPlanted) {
  for (int i = 0; i < kMaxSeeds; i++) plant(1 + i % 10, 200 + i, 400);
  for (const sSeedInGame &s : allSeeds) ASSERT_NE(s.ID, 0);
  static sSeedInGame before[kMaxSeeds];
  std::memcpy(before, allSeeds, sizeof before);
  input.setPointer(500, 450);
  _seedInHand = 3;
  addSeed();
  EXPECT_EQ(std::memcmp(before, allSeeds, sizeof before), 0);

  // An ended plant frees its slot for the next seed.
  allSeeds[41].ID = 0;
  addSeed();
  EXPECT_EQ(allSeeds[41].ID, 3);
  EXPECT_EQ(allSeeds[41].dx, 477);
}

TEST_F(Growth, PlantsAtTheSoilsLeftEdgeGrowClearOfTheSeedPanel) {
  // Every plant let go at the panel's edge, grown with all the leaves it drew:
  // nothing it draws (flowers turned about their centre) reaches left of the soil.
  float leftmost = 640;
  for (int round = 0; round < 20; round++) {
    for (long n = 1; n <= 10; n++) {
      clearGarden();
      plant(n, 169 + round, 420);
      allSeeds[0].progress = 99.5f;
      for (int f = 0; f < 60; f++) {
        stems.calls.clear();
        doAllSeed();
        for (const Blit &b : stems.calls) {
          const float w = b.x2 - b.x1, h = b.y2 - b.y1, a = b.angle * 3.14159265f / 180;
          const float left = b.destX + w / 2 -
                             b.zoom * (w / 2 * std::fabs(std::cos(a)) + h / 2 * std::fabs(std::sin(a)));
          leftmost = std::min(leftmost, left);
          ASSERT_GE(left, 181 - 0.5f) << "seed " << n << " round " << round;
        }
      }
    }
  }
  EXPECT_LT(leftmost, 200) << "the plants still come close to the edge";
}
