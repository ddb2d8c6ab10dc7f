// The garden screen: a sky with drifting clouds, the soil strip and the panel of
// ten seeds that the child drags into the soil. The plants are kept in the garden
// file (gardenFile.h); clouds and the seed in hand live for the process.
// Application thread only.
#pragma once

#include <cstdint>

#include "activities/camera.h"
#include "activities/seeds.h"

class KGraphic;

constexpr int kSeedPanelWidth = 181;
// The first row of visible ground (the grass above the soil): a seed let go on or
// below it is planted.
constexpr long kGroundTop = 355;
// The camera button, low on the seed panel.
constexpr short kGardenCameraX = 116, kGardenCameraY = 418;

// A seed of the panel. Its fields have the layout of a planted seed's first ones;
// the panel uses the id, the rectangle, the position and zoom (the hover pulse's
// phase in radians), the rest stays 0.
struct sSeed {
  int16_t ID;
  int16_t x1, y1, x2, y2;  // source rectangle in surf_garden
  float dx, dy;  // position in the panel
  float progress, zoom;
  int16_t tige, flower;
  float flowerProgress, growSpeed, lifeTime, rotation;
};

// A drifting cloud of the sky.
struct sRainCloud {
  float x, y;  // top-left on the screen
  float speedx;  // pixels per frame to the right
  int16_t x1, y1, x2, y2;  // source rectangle in surf_garden
};

extern sSeed menuSeeds[11];  // entry 0 empty, 1..10 the seeds
extern long _seedInHand;  // seed being dragged 1..10, 0 when none
extern sRainCloud allRainClouds[10];  // the first five drift
extern KGraphic *surf_garden;
extern KGraphic *surf_tiges;
extern KGraphic *surf_sky;

void doMyGarden();

// The garden file, "<documents>/garden.dat" (shared buffer).
const char *gardenFileName();
// Reads the plants from the garden file; a missing file gives an empty garden,
// a file that is not a whole garden an empty garden and the file moved aside
// (to "garden.dat.damaged", one log line), so it is never written over.
void loadGarden();
// loadGarden the first time only: later visits go on with the plants in memory.
void loadGardenOnce();
// Writes the plants to the garden file, replacing it whole; false when it failed
// or when a damaged file could not be moved aside.
bool saveGarden();

// The broom: its place on the seed panel, and what it swept away, offered back
// for a while (a click on its place or Ctrl+Z).
constexpr short kGardenBroomX = 2, kGardenBroomY = 424;
struct sGardenPlants {
  sSeedInGame plants[kMaxSeeds];
};
// One frame of the garden up to its presentation: sky, clouds, panel and soil,
// the seed menu, the smoke, the plants, the camera, the seed in hand (planted or
// lost when let go), the home button, the camera's flash and the pointer. The
// screen's pictures must exist.
void gardenFrame();
// The garden scene as shown, without the seed panel.
bool gardenSnapshot(sSnapshot &out);

// The watering can: resting on the panel; dragged (the button held since it was
// taken); or carried (taken with a click, it follows the pointer until a click
// on the panel puts it back). Over the garden it pours, dragged or while the
// button is held, and for a moment after each click when carried.
enum eCanState { CAN_RESTING, CAN_DRAGGED, CAN_CARRIED };
extern eCanState canState;
// Where the can rests and is taken from, in the screen's pixels.
constexpr short kCanX = 40, kCanY = 335, kCanW = 116, kCanH = 92;
// One frame of the can: taking, pouring (spray, sound, watering), drawing.
void doWateringCan();
// The point on the soil line the can pours onto, for the pointer at (mx, my).
void canSpout(long mx, long my, float &x, float &y);
void displayMenuSeeds();
// One frame of the five drifting clouds: move, wrap past the right edge, draw.
void moveRainClouds();
