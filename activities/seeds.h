// Planted seeds: random traits at planting, waiting, a stem growing out of the
// soil, the flower and leaves opening, blooming and fading. Up to 100 plants,
// kept in memory for the process. Application thread only.
#pragma once

#include <cstdint>

// A leaf slot of a plant: offset from the stem's top-left, and growth 0..1
// (-1: the plant has no leaf here).
struct sPetalPosition {
  int16_t decalx, decaly;
  float progress;
};

struct sSeedInGame {
  int16_t ID;  // seed 1..10; 0 is a free slot
  int16_t x1, y1, x2, y2;  // the seed's picture in surf_garden
  float dx, dy;  // top-left of the seed as planted
  float progress;  // < 0 waiting, 0..100 stem growing, > 100 grown
  float zoom;  // phase of the waiting pulse
  int16_t tige;  // stem 1..9
  int16_t flower;  // flower 1..9; 0 once the plant has ended
  float flowerProgress;  // opening 0..1, also the flower's zoom
  float growSpeed;  // extra growth per frame
  float lifeTime;  // bloom time left
  float rotation;  // tilt of the flower, degrees
  float leaveProgress;  // kept for its layout; nothing reads it
  sPetalPosition leaves[6];  // slot 0 is never drawn
};

// A stem or flower picture in surf_tiges. For a stem the hot point is its top
// (where the flower sits) and the seed point its root.
struct sTige {
  float x1, y1, x2, y2;
  float hotX, hotY;
  float seedX, seedY;
  int16_t leaf;
};

struct sPetal {
  float x1, y1, x2, y2;
  float hotX, hotY;
};

constexpr int kMaxSeeds = 100;

extern sTige tiges[11];
extern sTige flowers[11];
extern sPetal petals[5];
extern sPetalPosition petalPosition1[6], petalPosition2[6], petalPosition3[6],
    petalPosition4[6], petalPosition5[6], petalPosition6[6], petalPosition7[6],
    petalPosition8[6], petalPosition9[6];
extern sSeedInGame allSeeds[kMaxSeeds];

// Plants _seedInHand at the pointer in the first free slot; nothing when the
// hand is empty or all 100 slots are taken.
void addSeed();
// Advances and draws every plant, one frame.
void doAllSeed();
// Advances and draws one plant past its waiting time.
void growSeed(sSeedInGame *s);
// Water falling at x onto the soil: every plant still waiting in the soil whose
// seed lies under x (within a few pixels) and below y starts growing at once.
// Returns how many did.
int waterSeedsAt(float x, float y);
