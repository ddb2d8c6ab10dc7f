// Planted seeds and their growth: traits drawn from rand() at planting (never
// seeded, so every run plants the same sequence), then one step per frame.
// Application thread only.
#include "activities/seeds.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "activities/garden.h"
#include "app/shell.h"
#include "graphic/KGraphic.h"
#include "input/KInput.h"
#include "sound/KSound.h"

// Stems: rectangle, top (where the flower sits), root. Entries 0 and 10 are empty.
sTige tiges[11] = {
    {0, 0, 0, 0, 0, 0, 0, 0, 0},
    {6, 288, 61, 430, 54, 298, 33, 415, 0},
    {78, 242, 122, 446, 97, 248, 105, 430, 0},
    {143, 233, 200, 455, 160, 238, 168, 437, 0},
    {221, 308, 265, 450, 240, 314, 246, 438, 0},
    {222, 115, 273, 253, 267, 122, 245, 238, 0},
    {293, 315, 345, 455, 340, 321, 319, 438, 0},
    {442, 251, 483, 453, 459, 258, 466, 440, 0},
    {493, 257, 533, 400, 512, 266, 519, 387, 0},
    {557, 236, 611, 457, 597, 242, 588, 442, 0},
    {0, 0, 0, 0, 0, 0, 0, 0, 0},
};

// Flowers: rectangle and the point put on the stem's top (copied as seed point).
sTige flowers[11] = {
    {0, 0, 0, 0, 0, 0, 0, 0, 0},
    {13, 23, 95, 97, 55, 55, 55, 55, 0},
    {110, 23, 196, 97, 155, 55, 155, 55, 0},
    {206, 24, 282, 97, 240, 59, 240, 59, 0},
    {295, 24, 366, 94, 334, 55, 334, 55, 0},
    {371, 26, 441, 89, 409, 56, 409, 56, 0},
    {455, 27, 535, 82, 494, 47, 494, 47, 0},
    {544, 30, 624, 83, 584, 54, 584, 54, 0},
    {19, 114, 81, 183, 51, 147, 51, 147, 0},
    {101, 107, 201, 195, 146, 148, 146, 148, 0},
    {566, 96, 608, 229, 585, 110, 585, 110, 0},
};

// Leaves; leaf slot k uses entry k - 1.
sPetal petals[5] = {
    {294, 128, 334, 166, 329, 141},
    {403, 134, 455, 169, 451, 150},
    {328, 195, 379, 232, 332, 209},
    {398, 204, 430, 231, 426, 214},
    {484, 128, 522, 165, 0, 0},
};

// Leaf offsets from the stem's top-left, one table per stem.
sPetalPosition petalPosition1[6] = {{0, 0, 0}, {-4, 55, 0}, {-23, 92, 0}, {24, 85, 0}, {5, 35, 0}, {26, 65, 0}};
sPetalPosition petalPosition2[6] = {{0, 0, 0}, {-11, 105, 0}, {-23, 142, 0}, {24, 155, 0}, {-5, 40, 0}, {23, 65, 0}};
sPetalPosition petalPosition3[6] = {{0, 0, 0}, {-7, 78, 0}, {-10, 152, 0}, {32, 170, 0}, {-15, 35, 0}, {40, 115, 0}};
sPetalPosition petalPosition4[6] = {{0, 0, 0}, {-11, 58, 0}, {-23, 105, 0}, {22, 102, 0}, {-6, 38, 0}, {23, 78, 0}};
sPetalPosition petalPosition5[6] = {{0, 0, 0}, {-11, 58, 0}, {-23, 89, 0}, {22, 102, 0}, {0, 38, 0}, {23, 78, 0}};
sPetalPosition petalPosition6[6] = {{0, 0, 0}, {-11, 58, 0}, {-23, 89, 0}, {26, 72, 0}, {0, 38, 0}, {23, 78, 0}};
sPetalPosition petalPosition7[6] = {{0, 0, 0}, {-14, 95, 0}, {-23, 149, 0}, {22, 122, 0}, {-8, 50, 0}, {23, 78, 0}};
sPetalPosition petalPosition8[6] = {{0, 0, 0}, {-11, 60, 0}, {-23, 87, 0}, {22, 102, 0}, {-5, 40, 0}, {23, 78, 0}};
sPetalPosition petalPosition9[6] = {{0, 0, 0}, {-18, 90, 0}, {-37, 137, 0}, {18, 162, 0}, {15, 40, 0}, {23, 78, 0}};

sSeedInGame allSeeds[kMaxSeeds];

namespace {

const sPetalPosition *const kLeafTables[10] = {
    nullptr,        petalPosition1, petalPosition2, petalPosition3, petalPosition4,
    petalPosition5, petalPosition6, petalPosition7, petalPosition8, petalPosition9,
};

int whole(float v) { return static_cast<int>(v); }

void endPlant(sSeedInGame *s) {
  s->flower = 0;
  s->ID = 0;
}

}  // namespace

// The left edge of the soil strip in the garden picture, and the highest point a
// seed goes in (a seed let go over the grass above it is planted there).
static const long kSoilLeft = 181;
static const long kPlantTop = 390;

// How far right of its seed's x a grown plant's left edge lies (negative: left
// of it): the stem, the leaves it grows and its flower turned by its tilt
// (about the flower's centre, as the flower is drawn).
static float plantLeftReach(const sSeedInGame &s) {
  const sTige &T = tiges[s.tige];
  const float stem = -(T.x2 - T.seedX) + 20;
  float left = stem;
  for (int k = 1; k <= 5; k++)
    if (s.leaves[k].progress != -1) left = std::min(left, stem + float(s.leaves[k].decalx));
  const sTige &F = flowers[s.flower];
  const float w = F.x2 - F.x1, h = F.y2 - F.y1;
  const float centre = stem + (T.hotX - T.x1) - (F.x2 - F.hotX) + w / 2;
  const float a = s.rotation * 3.14159265f / 180;
  return std::min(left, centre - (w / 2 * std::fabs(std::cos(a)) + h / 2 * std::fabs(std::sin(a))));
}

void addSeed() {
  long n = _seedInHand;
  if (n <= 0 || n > 10) return;
  sSeedInGame *s = nullptr;
  for (sSeedInGame &slot : allSeeds) {
    if (slot.ID == 0) {
      s = &slot;
      break;
    }
  }
  if (!s) return;

  long mx = KInput::getMouseX();
  long my = KInput::getMouseY();
  const sSeed &menu = menuSeeds[n];
  s->ID = int16_t(n);
  // A seed let go over the panel's edge goes into the soil beside it, not onto
  // the panel, where its plant would grow over the seeds.
  s->dx = float(mx - 23 < kSoilLeft ? kSoilLeft : mx - 23);
  s->dy = float((my < kPlantTop ? kPlantTop : my) - 22);
  s->x1 = menu.x1;
  s->y1 = menu.y1;
  s->x2 = menu.x2;
  s->y2 = menu.y2;

  // The draws below keep this order: runs must plant the same gardens.
  s->progress = -(1.5f * float(n) + 1);
  s->lifeTime = 30.0f * float(n) + 30;
  s->zoom = 0;
  s->rotation = float(30 - rand() % 60);
  s->tige = int16_t(rand() % 9 + 1);
  s->leaveProgress = 0;

  std::memcpy(s->leaves, kLeafTables[s->tige], sizeof s->leaves);
  for (sPetalPosition &leaf : s->leaves) leaf.progress = (rand() % 3 == 0) ? 0.0f : -1.0f;

  // The mystery seed picks one of flowers 1..9 and waits as that flower's seed
  // would, but blooms as long as seed 10. Flower 10 of the table stays unused: it
  // is a whole plant in one picture, not a head to put on a stem.
  s->flower = int16_t(n);
  if (n == 10) {
    s->flower = int16_t(rand() % 9 + 1);
    s->progress = -(1.5f * float(s->flower) + 1);
  }

  s->flowerProgress = 0;
  s->growSpeed = float(rand() % 25) / 100.0f;
  if (s->flower <= 4) s->rotation = 0;  // flowers 1..4 stand upright
  // Nor may the grown plant reach over the panel: one planted at the soil's left
  // edge moves right until its leaves and flower stay clear of the seeds.
  s->dx = std::max(s->dx, std::ceil(float(kSoilLeft) - plantLeftReach(*s)));
}

void growSeed(sSeedInGame *s) {
  if (s->tige < 1 || s->tige > 9 || s->flower < 1 || s->flower > 10) {
    endPlant(s);  // only a corrupted slot gets here; never index past the tables
    return;
  }
  const sTige &T = tiges[s->tige];

  float tigeProgress = s->progress;
  if (tigeProgress < 100) {
    if (snd_grow && !snd_grow->isPlaying()) snd_grow->playSample();
  } else {
    tigeProgress = 100;
    s->flowerProgress += 0.05f;
    if (s->flowerProgress > 1) s->flowerProgress = 1;
  }

  int X1 = whole(T.x1), Y1 = whole(T.y1), X2 = whole(T.x2), Y2 = whole(T.y2);
  int destx = whole(s->dx - (float(X2) - T.seedX) + 20);
  int desty = whole((float(Y2) - T.seedY) + s->dy + 20);

  // The stem is revealed from its foot upward; its foot stays where it is.
  float g = (100 - tigeProgress) / 100;
  if (g < 0) g = 0;
  if (g > 1) g = 1;
  int top = whole(float(Y1) + (T.y2 - T.y1) * g);
  desty -= Y2 - top;

  int hotx = whole(float(destx) + (T.hotX - T.x1));
  int hoty = whole(float(desty) + (T.hotY - T.y1));

  float flowerAlpha = 1;
  if (s->flowerProgress >= 1) {
    s->lifeTime -= 0.05f;
    if (s->lifeTime < 0) {
      flowerAlpha = s->lifeTime + 1;
      if (flowerAlpha <= 0) {
        endPlant(s);
        return;
      }
    }
  }

  if (surf_tiges) {
    surf_tiges->blitAlphaRectFx(float(X1), float(top), float(X2), float(Y2), short(destx),
                                short(desty), 0, 1, flowerAlpha, false, false);
  }
  if (s->flowerProgress <= 0) return;

  for (sPetalPosition &leaf : s->leaves) {
    if (leaf.progress == -1) continue;
    leaf.progress += 0.025f;
    if (leaf.progress > 1) leaf.progress = 1;
  }
  if (!surf_tiges) return;

  const sTige &F = flowers[s->flower];
  int FX2 = whole(F.x2), FY2 = whole(F.y2);
  surf_tiges->blitAlphaRectFx(F.x1, F.y1, float(FX2), float(FY2),
                              short(whole(float(hotx) - (float(FX2) - F.hotX))),
                              short(whole(float(hoty) - (float(FY2) - F.hotY))), s->rotation,
                              s->flowerProgress, flowerAlpha, false, false);

  // Leaves lie over the flower. Slots 3 and 5 grow to the right from their left
  // edge, the others to the left with their right edge fixed.
  for (int k = 1; k <= 5; k++) {
    float q = s->leaves[k].progress;
    if (q == -1) continue;
    const sPetal &P = petals[k - 1];
    float W = P.x2 - P.x1;
    int lx = s->leaves[k].decalx + destx;
    int ly = s->leaves[k].decaly + desty;
    if (k == 3 || k == 5) {
      surf_tiges->blitAlphaRectFx(P.x1, P.y1, P.x1 + W * q, P.y2, short(lx), short(ly), 0, 1,
                                  flowerAlpha, false, false);
    } else {
      int d = whole(100 * q * W) / 100;
      surf_tiges->blitAlphaRectFx(P.x1 + W - float(d), P.y1, P.x2, P.y2,
                                  short(whole(float(lx) + W - float(d))), short(ly), 0, 1,
                                  flowerAlpha, false, false);
    }
  }
}

int waterSeedsAt(float x, float y) {
  constexpr float kReach = 10;  // the spray is wider than the spout
  int started = 0;
  for (sSeedInGame &s : allSeeds) {
    if (s.ID <= 0 || s.progress >= 0) continue;
    const float w = float(s.x2 - s.x1);
    if (x < s.dx - kReach || x > s.dx + w + kReach || s.dy + float(s.y2 - s.y1) < y) continue;
    s.progress = 0;  // the next frame starts the stem
    started++;
  }
  return started;
}

void doAllSeed() {
  // Smooth sampling: flowers are tilted and zoomed, and leaves drawn at fractions.
  if (surf_garden) surf_garden->setTextureQuality(true);
  if (surf_tiges) surf_tiges->setTextureQuality(true);
  for (sSeedInGame &s : allSeeds) {
    if (s.ID <= 0) continue;
    s.zoom += 0.1f;
    if (s.zoom > 6.28f) s.zoom = 0;
    s.progress += 0.01f;
    if (s.progress <= 0) {
      if (surf_garden) {
        surf_garden->blitAlphaRectFx(s.x1, s.y1, s.x2, s.y2, short(whole(s.dx)),
                                     short(whole(s.dy)), 0, 1.1f + 0.1f * std::cos(s.zoom), 1,
                                     false, false);
      }
    } else {
      s.progress += s.growSpeed + 0.99f;
      growSeed(&s);
    }
  }
  if (surf_garden) surf_garden->setTextureQuality(false);
  if (surf_tiges) surf_tiges->setTextureQuality(false);
}
