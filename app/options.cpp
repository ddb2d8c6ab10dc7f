// The options screen: two volume sliders, the full-screen and printing boxes and
// the back area. Each box acts once per press because the screen waits for the
// button's release; a knob once grabbed follows the pointer until the release.
// Application thread only.
#include <algorithm>

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

static KGraphic *surf_options = nullptr;
static KGraphic *surf_cross = nullptr;
static KGraphic *surf_volume = nullptr;
static KGraphic *surf_nav = nullptr;
// The home button sits in the top-left corner, which the options art leaves empty.
static const short kHomeX = 8, kHomeY = 8;

static bool inArea(short x, short y, short x1, short y1, short x2, short y2) {
  return x >= x1 && x <= x2 && y >= y1 && y <= y2;
}

// Pumps messages until the button is up; a closing window ends the wait too, so
// a release that can no longer arrive does not hang the program.
static void waitRelease() {
  do {
    gameWindow->processEvents();
  } while (KInput::getLeftButtonState() && !gameWindow->isQuit());
}

// Which knob the held button has grabbed: a quick flick skips most of the track
// between two frames, so a held knob follows the pointer wherever it goes, and
// stops at the track's end when the pointer goes past it.
enum HeldKnob { kNoKnob, kMusicKnob, kSfxKnob };

static HeldKnob knobUnder(int mx, int my) {
  const int x = mx - 16;
  if (x <= SLIDER_MIN || x >= SLIDER_MAX) return kNoKnob;
  if (my > 127 && my < 167) return kMusicKnob;
  if (my > 203 && my < 243) return kSfxKnob;
  return kNoKnob;
}

// True while a knob is held: the boxes and the back area then wait for the release.
static bool dragKnob(HeldKnob &held, int mx, int my) {
  if (held == kNoKnob) held = knobUnder(mx, my);
  const int x = std::min<int>(SLIDER_MAX, std::max<int>(SLIDER_MIN, mx - 16));
  if (held == kMusicKnob) preferences.music = x;
  if (held == kSfxKnob) preferences.sfx = x;
  return held != kNoKnob;
}

static void click() {
  if (snd_click) snd_click->playSample();
}

long doOptions() {
  surf_options = loadScreenPicture("data\\gfx\\options.bmp");
  surf_cross = loadScreenPicture("data\\gfx\\cross.bmp");
  surf_volume = loadScreenPicture("data\\gfx\\note.tga");
  surf_nav = loadScreenPicture("data\\gfx\\nav.tga");
  if (surf_nav) surf_nav->setTextureQuality(true);
  // The press that opened the screen must not move a slider or tick a box.
  KInput::ignoreHeldButton();
  HeldKnob held = kNoKnob;

  do {
    gameWindow->setDefaultWorldView();
    doVolume();
    short mx = KInput::getMouseX();
    short my = KInput::getMouseY();

    if (surf_options) surf_options->blitRect(0, 0, 640, 480, 0, 0, false, false);
    if (surf_volume) {
      float w = surf_volume->getWidth(), h = surf_volume->getHeight();
      surf_volume->blitAlphaRect(0, 0, w, h, (short)preferences.music, 127, false, false);
      surf_volume->blitAlphaRect(0, 0, w, h, (short)preferences.sfx, 203, false, false);
    }
    if (surf_cross) {
      float w = surf_cross->getWidth(), h = surf_cross->getHeight();
      if (preferences.fullscreen == 1) surf_cross->blitRect(0, 0, w, 60, 300, 247, false, false);
      if (preferences.printing == 1) surf_cross->blitRect(0, 60, w, h, 300, 307, false, false);
    }
    const bool home = homeButton(surf_nav, kHomeX, kHomeY);
    drawPointer();
    // Escape and the home button leave as the back area does, as on every other screen.
    if (home || KInput::isPressed(K_VK_ESCAPE)) break;

    if (!KInput::getLeftButtonState()) held = kNoKnob;
    if (KInput::getLeftButtonState() && !dragKnob(held, mx, my)) {
      if (inArea(mx, my, 559, 422, 639, 479)) break;
      if (inArea(mx, my, 302, 247, 357, 298)) {
        setFullScreenPreference(preferences.fullscreen != 1);
        gameWindow->processEvents();
        click();
        waitRelease();
      }
      if (inArea(mx, my, 302, 316, 357, 365)) {
        preferences.printing = preferences.printing == 1 ? 0 : 1;
        click();
        waitRelease();
      }
    }
    gameWindow->flipBackBuffer(true, true);
  } while (!gameWindow->isQuit());

  click();
  deletePicture(surf_options);
  deletePicture(surf_cross);
  deletePicture(surf_volume);
  deletePicture(surf_nav);
  waitRelease();
  return 0;
}
