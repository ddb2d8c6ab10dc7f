// The main menu (see menu.h). Hit rectangles use the exact bobbing position,
// drawing uses it truncated toward zero. Application thread only.
#include "app/menu.h"

#include <cmath>
#include <vector>

#include "app/navigation.h"
#include "app/pictures.h"
#include "app/preferences.h"
#include "app/shell.h"
#include "graphic/KGraphic.h"
#include "input/KInput.h"
#include "sound/KSound.h"
#include "tools/KMiscTools.h"
#include "window/KQMX.h"
#include "window/KWindow.h"

KGraphic *surf_menu = nullptr;
sGameButton gamebuttons[3] = {
    {nullptr, nullptr, 65, 160, 0, 0},
    {nullptr, nullptr, 235, 160, 0, 0},
    {nullptr, nullptr, 430, 160, 0, 0},
};
float sine = 0;

// The way out asks once: a first press makes it wobble and glow, and only a
// second press within that time quits, so a stray click does not end the game.
static KGraphic *surf_nav = nullptr;
static const unsigned long kExitAskMs = 3000;
static bool exitAsked = false;
static unsigned long exitAskedAt = 0;
static bool exitPressHeld = false;  // the press that asked is not the answer
// The answering press quits when it is released over the way out: a program
// that ended on the press would leave its release to nobody (on some systems the
// button then stays down into the next run).
static bool quitArmed = false;

// The gallery's button, bottom left, beside the options sign.
static KGraphic *surf_gallery[2] = {nullptr, nullptr};  // off, under the pointer
static const short kGalleryX = 48, kGalleryY = 392, kGalleryW = 120, kGalleryH = 84;

static const char *const kBackgroundFile = "data\\gfx\\pabrix.bmp";
static const char *const kNavFile = "data\\gfx\\nav.tga";
static const char *const kGalleryFiles[2] = {"data\\gfx\\galoff.tga", "data\\gfx\\galon.tga"};
static const char *const kButtonFiles[3][2] = {
    {"data\\gfx\\pgoff.tga", "data\\gfx\\pgon.tga"},
    {"data\\gfx\\mgoff.tga", "data\\gfx\\mgon.tga"},
    {"data\\gfx\\mmoff.tga", "data\\gfx\\mmon.tga"},
};

std::vector<const char *> menuPictureFiles() {
  std::vector<const char *> files = {kBackgroundFile, kNavFile, kGalleryFiles[0], kGalleryFiles[1]};
  for (const auto &pair : kButtonFiles) files.insert(files.end(), {pair[0], pair[1]});
  return files;
}

void initMenu() {
  doVolume();
  freeMenu();  // a second init must not leak the first set
  surf_menu = loadScreenPicture(kBackgroundFile);
  surf_nav = loadScreenPicture(kNavFile);
  if (surf_nav) surf_nav->setTextureQuality(true);
  exitAsked = exitPressHeld = quitArmed = false;
  surf_gallery[0] = loadScreenPicture(kGalleryFiles[0]);
  surf_gallery[1] = loadScreenPicture(kGalleryFiles[1]);
  for (int i = 0; i < 3; i++) {
    gamebuttons[i].surf_gamebt = loadScreenPicture(kButtonFiles[i][0]);
    gamebuttons[i].surf_gamebton = loadScreenPicture(kButtonFiles[i][1]);
  }
}

void freeMenu() {
  deletePicture(surf_menu);
  deletePicture(surf_nav);
  for (KGraphic *&g : surf_gallery) deletePicture(g);
  for (sGameButton &b : gamebuttons) {
    deletePicture(b.surf_gamebt);
    deletePicture(b.surf_gamebton);
  }
}

static float pictureWidth(KGraphic *g) { return g ? g->getWidth() : 0.0f; }
static float pictureHeight(KGraphic *g) { return g ? g->getHeight() : 0.0f; }

static bool inArea(short x, short y, short x1, short y1, short x2, short y2) {
  return x >= x1 && x <= x2 && y >= y1 && y <= y2;
}

long doMenu() {
  bool bt = KInput::getLeftButtonState();
  short mx = KInput::getMouseX();
  short my = KInput::getMouseY();

  if (surf_menu) surf_menu->blitRect(0, 0, 640, 480, 0, 0, false, false);

  // Wrapping to 0 rather than subtracting 2*pi gives a tiny jump once per cycle;
  // the buttons are drawn where they always were.
  sine += 0.021f;
  if (sine > 6.28f) sine = 0;

  for (int i = 0; i < 3; i++) {
    sGameButton &b = gamebuttons[i];
    float btx1 = (float)b.posx;
    float bty1 = (float)(b.posy + 16 * std::sin(i * 3.14 + sine));
    float btx2 = btx1 + pictureWidth(b.surf_gamebt);
    float bty2 = bty1 + pictureHeight(b.surf_gamebt);
    KGraphic *pic = b.surf_gamebt;
    if (btx1 <= mx && mx <= btx2 && bty1 <= my && my <= bty2) {
      if (bt) return i + 1;
      pic = b.surf_gamebton;
    }
    if (pic)
      pic->blitAlphaRect(0, 0, pic->getWidth(), pic->getHeight(), (short)btx1, (short)bty1, false,
                         false);
  }

  const bool overGallery = inArea(mx, my, kGalleryX, kGalleryY, kGalleryX + kGalleryW - 1,
                                  kGalleryY + kGalleryH - 1);
  if (KGraphic *g = surf_gallery[overGallery ? 1 : 0])
    g->blitAlphaRect(0, 0, g->getWidth(), g->getHeight(), kGalleryX, kGalleryY, false, false);
  if ((bt && overGallery) || KInput::isPressed(K_VK_G)) return MENU_GALLERY;

  const bool overExit = inArea(mx, my, 559, 422, 639, 479);
  if (!bt && quitArmed) {
    quitArmed = false;
    if (overExit) return MENU_QUIT;
  }
  if (exitAsked && !quitArmed && screenClock() - exitAskedAt >= kExitAskMs) exitAsked = false;
  if (!bt) exitPressHeld = false;
  if (exitAsked && surf_nav) {
    // Wobbles about the sign's middle, (599, 450), a little bigger than it.
    const float t = float(screenClock() - exitAskedAt) / 1000.0f;
    const float angle = 8.0f * std::sin(t * 6.28f * 3);
    surf_nav->blitAlphaRectFx(nav::kExitGlow[0], nav::kExitGlow[1], nav::kExitGlow[2],
                              nav::kExitGlow[3], 549, 410, angle, 1.1f, 1, false, false);
  }
  if (bt) {
    if (overExit) {
      if (exitAsked && !exitPressHeld) quitArmed = true;
      if (!exitAsked) {
        exitAsked = exitPressHeld = true;
        exitAskedAt = screenClock();
        if (snd_click) snd_click->playSample();
      }
    } else if (inArea(mx, my, 200, 403, 429, 479)) {
      return MENU_OPTIONS;
    }
  }
  if (gameWindow) gameWindow->setDefaultWorldView();
  return MENU_NOTHING;
}
