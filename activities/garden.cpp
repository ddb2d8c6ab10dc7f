// The garden screen: sky, drifting clouds, seed panel and soil; seeds are dragged
// from the panel and planted or lost in smoke; the broom sweeps the plants away.
// Its tables outlive the screen, so plants and clouds carry on from where they
// were; the plants are also kept in the garden file. Application thread only.
#include "activities/garden.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "activities/cloud.h"
#include "activities/screenSound.h"
#include "activities/seeds.h"
#include "app/fileio.h"
#include "app/navigation.h"
#include "app/pictures.h"
#include "app/shell.h"
#include "graphic/KGraphic.h"
#include "input/KInput.h"
#include "sound/KSound.h"
#include "tools/KMiscTools.h"
#include "window/KQMX.h"
#include "window/KWindow.h"

sSeed menuSeeds[11] = {
    {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
    {1, 204, 147, 247, 180, 17, 104, 0, 0, 0, 0, 0, 0, 0, 0},
    {2, 196, 204, 240, 239, 81, 117, 0, 0, 0, 0, 0, 0, 0, 0},
    {3, 194, 251, 233, 278, 39, 149, 0, 0, 0, 0, 0, 0, 0, 0},
    {4, 205, 288, 244, 316, 91, 195, 0, 0, 0, 0, 0, 0, 0, 0},
    {5, 393, 159, 427, 185, 80, 275, 0, 0, 0, 0, 0, 0, 0, 0},
    {6, 277, 229, 311, 258, 101, 156, 0, 0, 0, 0, 0, 0, 0, 0},
    {7, 277, 155, 305, 192, 45, 230, 0, 0, 0, 0, 0, 0, 0, 0},
    {8, 332, 154, 364, 191, 100, 230, 0, 0, 0, 0, 0, 0, 0, 0},
    {9, 335, 212, 370, 236, 27, 280, 0, 0, 0, 0, 0, 0, 0, 0},
    {10, 256, 292, 296, 325, 22, 190, 0, 0, 0, 0, 0, 0, 0, 0},
};

long _seedInHand = 0;

// Start positions at program start; entering the garden does not reset them.
sRainCloud allRainClouds[10] = {
    {300, 70, 0.1f, 350, 241, 612, 328},
    {-150, 10, 0.2f, 429, 5, 638, 78},
    {-400, 40, 0.3f, 379, 92, 495, 156},
    {-50, 10, 0.4f, 429, 5, 638, 78},
    {-100, 40, 0.5f, 379, 92, 495, 156},
};

KGraphic *surf_garden = nullptr;
KGraphic *surf_tiges = nullptr;
static KSound *snd_thud = nullptr;  // a seed landing in the soil
static KSound *snd_sprinkle = nullptr;
static KGraphic *surf_can = nullptr;
eCanState canState = CAN_RESTING;

namespace {

// Frames a carried can still pours after a click.
constexpr int kPourAfterClick = 40;
int pourLeft = 0;
bool canButtonWas = true;  // the button in the last frame, for its edges

// One falling drop of the spray.
struct sDrop {
  float x, y, vy;
  bool alive;
};
sDrop drops[48];

void spray(float x, float y) {
  for (int n = 0; n < 3; n++) {
    for (sDrop &d : drops) {
      if (d.alive) continue;
      d = sDrop{x + float(std::rand() % 13 - 6), y + float(std::rand() % 5), 1.5f + float(std::rand() % 10) / 10, true};
      break;
    }
  }
}

void moveDrops() {
  for (sDrop &d : drops) {
    if (!d.alive) continue;
    d.y += d.vy;
    d.vy += 0.35f;
    if (d.y > 400) d.alive = false;
  }
}

void drawDrops() {
  if (!surf_can) return;
  for (const sDrop &d : drops) {
    if (d.alive) surf_can->drawRect(d.x, d.y, d.x + 2, d.y + 4, 0.55f, 0.85f, 1, 0.9f);
  }
}

// The can's body and its spout, not the empty corner under the spout (where
// the camera button is).
bool overRestingCan(long mx, long my) {
  const long x = mx - kCanX, y = my - kCanY;
  return (x >= 0 && x < 64 && y >= 0 && y < kCanH) || (x >= 60 && x < kCanW && y >= 0 && y < 57);
}

}  // namespace

// The grip of the handle is at (32, 9) of the can's picture, its spout's mouth
// at (103, 13); tilted to pour, the mouth comes down to about (81, 26) from the
// pointer.
void canSpout(long mx, long my, float &x, float &y) {
  x = float(mx) + 81;
  y = float(my) + 26;
}

void doWateringCan() {
  const long mx = KInput::getMouseX(), my = KInput::getMouseY();
  const bool bt = KInput::getLeftButtonState();
  const bool pressed = bt && !canButtonWas;
  canButtonWas = bt;

  switch (canState) {
    case CAN_RESTING:
      if (pressed && _seedInHand == 0 && overRestingCan(mx, my)) canState = CAN_DRAGGED;
      break;
    case CAN_DRAGGED:
      // Let go where it was taken: it was a click, and the can stays in the hand.
      if (!bt) canState = overRestingCan(mx, my) ? CAN_CARRIED : CAN_RESTING;
      break;
    case CAN_CARRIED:
      if (pressed) {
        if (mx < kSeedPanelWidth) {
          canState = CAN_RESTING;
        } else {
          pourLeft = kPourAfterClick;
        }
      }
      break;
  }

  bool pouring = false;
  if (canState != CAN_RESTING && mx >= kSeedPanelWidth) {
    pouring = canState == CAN_DRAGGED || bt || pourLeft > 0;
  }
  if (pourLeft > 0) pourLeft--;
  if (canState == CAN_RESTING) pourLeft = 0;

  if (pouring) {
    float sx, sy;
    canSpout(mx, my, sx, sy);
    spray(sx, sy);
    waterSeedsAt(sx, sy);
    if (snd_sprinkle && !snd_sprinkle->isPlaying()) snd_sprinkle->playSample();
  }
  moveDrops();

  if (!surf_can) return;
  if (canState == CAN_RESTING) {
    surf_can->blitAlphaRect(0, 0, kCanW, kCanH, kCanX, kCanY, false, false);
  } else {
    surf_can->blitAlphaRectFx(0, 0, kCanW, kCanH, short(mx - 32), short(my - 9),
                              pouring ? -25.0f : 0.0f, 1, 1, false, false);
  }
  drawDrops();
}
KGraphic *surf_sky = nullptr;
static KGraphic *surf_nav = nullptr;
static KGraphic *surf_buttons = nullptr;  // the broom, from the shared button sheet
static ClearUndo<sGardenPlants> gardenUndo;
static bool homePressed = false;
// The home button: the panel's top-right corner, beside the seed jar.
static const short kHomeX = 134, kHomeY = 8;

namespace {

constexpr int kDriftingClouds = 5;

short whole(float v) { return short(static_cast<int>(v)); }

}  // namespace

void moveRainClouds() {
  if (!surf_garden) return;
  if (gameWindow) gameWindow->setDefaultWorldView();
  for (int i = 0; i < kDriftingClouds; i++) {
    sRainCloud &c = allRainClouds[i];
    c.x += c.speedx;
    if (c.x > 640) {
      c.x = -100;
      c.y = float(rand() % 100);
      c.speedx = float(rand() % 30) / 100.0f + 0.1f;
    }
    surf_garden->blitAlphaRect(c.x1, c.y1, c.x2, c.y2, whole(c.x), whole(c.y), false, false);
  }
}

void displayMenuSeeds() {
  if (!surf_garden) return;
  if (gameWindow) gameWindow->setDefaultWorldView();
  long mx = KInput::getMouseX();
  long my = KInput::getMouseY();

  for (int i = 1; i <= 10; i++) {
    sSeed &s = menuSeeds[i];
    bool hovered = s.dx < mx && mx < s.dx + (s.x2 - s.x1) && s.dy < my &&
                   my < s.dy + (s.y2 - s.y1) && _seedInHand == 0 && canState == CAN_RESTING;
    if (hovered) {
      s.zoom += 0.1f;
      if (s.zoom >= 6.28f) s.zoom = 0.1f;
      if (KInput::getLeftButtonState()) _seedInHand = i;
    } else {
      s.zoom = 0;
    }
  }

  for (int i = 1; i <= 10; i++) {
    const sSeed &s = menuSeeds[i];
    if (s.zoom == 0) {
      surf_garden->setBlitColor(0, 0, 0, 0.2f);
      surf_garden->blitAlphaRect(s.x1, s.y1, s.x2, s.y2, whole(s.dx + 5), whole(s.dy + 5), false,
                                 false);
      surf_garden->setBlitColor(1, 1, 1, 1);
      surf_garden->blitAlphaRect(s.x1, s.y1, s.x2, s.y2, whole(s.dx), whole(s.dy), false, false);
    } else {
      // Breathes between 1.0 and 1.2 times its size, a cycle in about 62 frames.
      surf_garden->setTextureQuality(true);
      float scale = 1.1f + 0.1f * std::sin(s.zoom);
      surf_garden->setBlitColor(0, 0, 0, 0.2f);
      surf_garden->blitAlphaRectFx(s.x1, s.y1, s.x2, s.y2, whole(s.dx + 5), whole(s.dy + 5), 0,
                                   scale, 1, false, false);
      surf_garden->setBlitColor(1, 1, 1, 1);
      surf_garden->blitAlphaRectFx(s.x1, s.y1, s.x2, s.y2, whole(s.dx), whole(s.dy), 0, scale, 1,
                                   false, false);
      surf_garden->setTextureQuality(false);
    }
  }
}

static bool gardenEmpty() {
  for (const sSeedInGame &s : allSeeds)
    if (s.ID > 0) return false;
  return true;
}

// The broom on the panel's bottom-left corner, or the undo badge in its place for
// a while after it swept: a press sweeps every plant away, or brings them back.
static void doGardenBroom(long mx, long my, bool bt, bool handsFree) {
  static sGardenPlants swept;
  static bool buttonWas = true;  // one press, one sweep
  const bool press = bt && !buttonWas;
  buttonWas = bt;
  bool undo = gardenUndo.offered(0);
  if (undo && !gardenEmpty()) {
    gardenUndo.withdraw();  // something was planted since
    undo = false;
  }
  KGraphic *picture = undo ? surf_nav : surf_buttons;
  const float x1 = undo ? nav::kUndo[0] : 11, y1 = undo ? nav::kUndo[1] : 110;
  const float x2 = undo ? nav::kUndo[2] : 71, y2 = undo ? nav::kUndo[3] : 167;
  const bool over = handsFree && mx >= kGardenBroomX && mx < kGardenBroomX + 60 &&
                    my >= kGardenBroomY && !(mx >= kCanX && mx < kCanX + kCanW && my < kCanY + kCanH);
  if (picture) {
    picture->blitAlphaRectFx(x1, y1, x2, y2, kGardenBroomX, kGardenBroomY, 0, over ? 1.0f : 0.9f,
                             1, false, false);
  }
  const bool restore = undo && ((over && press) || undoKeysHeld());
  if (restore) {
    if (snd_click) snd_click->playSample();
    gardenUndo.restore(swept);
    std::memcpy(allSeeds, swept.plants, sizeof allSeeds);
  } else if (over && press) {
    if (snd_click) snd_click->playSample();
    if (snd_clear) snd_clear->playSample();
    if (!gardenEmpty()) {
      std::memcpy(swept.plants, allSeeds, sizeof allSeeds);
      gardenUndo.cleared(0, swept);
    }
    std::memset(allSeeds, 0, sizeof allSeeds);
  }
}

bool gardenSnapshot(sSnapshot &out) {
  sSnapshot frame;
  if (!screenSnapshot(frame)) return false;
  // The scene without the seed panel.
  out = sSnapshot();
  out.width = frame.width - kSeedPanelWidth;
  out.height = frame.height;
  out.pixels.reserve(size_t(out.width) * size_t(out.height));
  for (int y = 0; y < frame.height; y++) {
    const uint32_t *row = frame.pixels.data() + size_t(y) * size_t(frame.width);
    out.pixels.insert(out.pixels.end(), row + kSeedPanelWidth, row + frame.width);
  }
  return true;
}

void gardenFrame() {
  gameWindow->setDefaultWorldView();
  long mx = KInput::getMouseX();
  long my = KInput::getMouseY();
  bool bt = KInput::getLeftButtonState();

  if (surf_sky) surf_sky->blitRect(0, 0, 640, 480, 0, 0, false, false);
  moveRainClouds();
  if (surf_garden) {
    surf_garden->blitAlphaRect(0, 0, 181, 480, 0, 0, false, false);
    surf_garden->blitAlphaRect(181, 354, 640, 480, 181, 354, false, false);
  }
  displayMenuSeeds();
  animateCloud();
  doAllSeed();
  doWateringCan();
  doGardenBroom(mx, my, bt, _seedInHand == 0 && canState == CAN_RESTING);
  doCamera(kGardenCameraX, kGardenCameraY, gardenSnapshot, _seedInHand > 0 || canState != CAN_RESTING);

  if (_seedInHand > 0 && _seedInHand <= 10) {
    const sSeed &s = menuSeeds[_seedInHand];
    if (surf_garden)
      surf_garden->blitAlphaRect(s.x1, s.y1, s.x2, s.y2, short(mx - 23), short(my - 22), false,
                                 false);
    if (!bt) {
      long x = KInput::getMouseX();
      long y = KInput::getMouseY();
      // Over visible ground (the grass band included) the seed is planted, at the
      // nearest place a seed can go in (addSeed); elsewhere it is lost.
      if (x < 169 || y < kGroundTop) {
        doCloud(x, y);
      } else {
        if (snd_click) {
          snd_click->setVolume(20);
          snd_click->playSample();
        }
        playScreenSample(snd_thud);
        addSeed();
      }
      _seedInHand = 0;
    }
  }

  homePressed =
      homeButton(surf_nav, kHomeX, kHomeY) && _seedInHand == 0 && canState == CAN_RESTING;
  drawCameraFlash();
  drawPointer();
}

void doMyGarden() {
  if (!gameWindow) return;
  surf_garden = loadScreenPicture("data\\gfx\\flower1.tga");
  surf_tiges = loadScreenPicture("data\\gfx\\tiges.tga");
  surf_sky = loadScreenPicture("data\\gfx\\sky.bmp");
  surf_nav = loadScreenPicture("data\\gfx\\nav.tga");
  if (surf_nav) surf_nav->setTextureQuality(true);
  surf_buttons = loadScreenPicture("data\\gfx\\btns.tga");
  if (surf_buttons) surf_buttons->setTextureQuality(true);  // drawn scaled
  gardenUndo.withdraw();
  loadGardenOnce();
  setEmergencySave(kEmergencyScreen, saveGarden);
  initCloud();
  initCamera();
  snd_thud = loadScreenSample("data\\audio\\thud.ogg", 80);
  snd_sprinkle = loadScreenSample("data\\audio\\sprinkle.ogg", 60);
  surf_can = loadScreenPicture("data\\gfx\\can.tga");
  if (surf_can) surf_can->setTextureQuality(true);  // drawn tilted
  canState = CAN_RESTING;
  canButtonWas = true;
  for (sDrop &d : drops) d.alive = false;
  playMusic("data\\audio\\flower.ogg");
  if (snd_grow) snd_grow->setVolume(30);
  // The press that opened the garden must not pick up a seed.
  KInput::ignoreHeldButton();

  while (true) {
    gardenFrame();
    if (homePressed) {
      // Leaves as Escape does, without presenting this frame.
      if (snd_click) snd_click->playSample();
      break;
    }
    gameWindow->flipBackBuffer(true, true);
    if (KInput::isPressed(K_VK_ESCAPE) || gameWindow->isQuit()) break;
  }

  deletePicture(surf_garden);
  deletePicture(surf_tiges);
  deletePicture(surf_sky);
  deletePicture(surf_nav);
  deletePicture(surf_buttons);
  saveGarden();
  setEmergencySave(kEmergencyScreen, nullptr);
  freeCloud();
  freeCamera();
  deleteSample(snd_thud);
  deleteSample(snd_sprinkle);
  deletePicture(surf_can);
  canState = CAN_RESTING;
  if (snd_click) snd_click->setVolume(80);
}
