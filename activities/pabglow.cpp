// The glow-peg board screen and its file. The board file is the raw image of
// allGrids; a damaged file may hold any cell value, and only 0..9 draw a peg.
// Application thread only; nothing here allocates once the screen is running.
#include "activities/pabglow.h"

#include <cstdio>

#include "activities/camera.h"
#include "activities/pegMusic.h"
#include "activities/screenSound.h"
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

long currentGrid = 0;
long currentPen = 4;

static KGraphic *surf_buttons = nullptr;
static KGraphic *surf_colors[PABGLOW_PENS] = {};
static KGraphic *surf_pabglow = nullptr;
// A note per colour (a pentatonic scale, rising with the pen) and a pop for the
// eraser; soft, with copies enough to overlap when the child draws quickly.
static KSound *snd_pegs[PABGLOW_PENS] = {};
static KGraphic *surf_nav = nullptr;
static ClearUndo<sGrid> boardUndo;

// The board's music, its play button (left of the board) and the edges of the
// presses that toggle it.
static pegmusic::Player music;
static KGraphic *surf_music = nullptr;
static const short kPlayX = 2, kPlayY = 186, kPlaySide = 52;
static bool playPressWas = true, spaceWas = true;
static long musicBoard = -1;  // the board the music plays

// Where the ways around the board sit: the right margin, clear of every hole.
static const short kHomeX = 594, kHomeY = 1;
static const short kLightX = 606, kLightY = 56, kLightPitch = 31;

const char *pabglowFileName() { return userFilePath("pabglow.dat"); }

void loadBoards() {
  static unsigned char bytes[PABGLOW_FILE_SIZE];
  long got = readFilePrefix(pabglowFileName(), bytes, sizeof bytes);
  decodeBoards(bytes, got > 0 ? (size_t)got : 0);
}

bool saveBoards() {
  static unsigned char image[PABGLOW_FILE_SIZE];
  encodeBoards(image);
  return writeFileAtomically(pabglowFileName(), image, sizeof image);
}

// First x of each pen's band in the colour strip; the eraser runs to 370.
static const short bandStart[PABGLOW_PENS] = {90, 118, 142, 167, 188, 212,
                                              235, 260, 283, 307, 332};

void pickAcolor() {
  short x = KInput::getMouseX();
  short y = KInput::getMouseY();
  if (x < 90 || x > 370 || y < 406 || y > 445) return;
  long pen = 0;
  for (int i = 0; i < PABGLOW_PENS; i++)
    if (x >= bandStart[i]) pen = i;
  currentPen = pen;
}

// The chosen colour's band is framed in the strip, in the yellow of the ring
// that shows the current peg.
static void markChosenColour() {
  if (!surf_pabglow || currentPen < 0 || currentPen >= PABGLOW_PENS) return;
  const float x1 = bandStart[currentPen];
  const float x2 = currentPen + 1 < PABGLOW_PENS ? bandStart[currentPen + 1] - 1 : 370;
  const float y1 = 404, y2 = 447, t = 2, r = 1, g = 0.89f, b = 0.36f;
  surf_pabglow->drawRect(x1, y1, x2, y1 + t, r, g, b, 1);
  surf_pabglow->drawRect(x1, y2 - t, x2, y2, r, g, b, 1);
  surf_pabglow->drawRect(x1, y1, x1 + t, y2, r, g, b, 1);
  surf_pabglow->drawRect(x2 - t, y1, x2, y2, r, g, b, 1);
}

static void playSample(KSound *s) {
  if (s) s->playSample();
}

// The peg picture of a pen or cell value, or null for anything outside 0..10.
static KGraphic *penPicture(long value) {
  if (value < 0 || value >= PABGLOW_PENS) return nullptr;
  return surf_colors[value];
}

// Paints every hole on the straight line from (c0, r0) to (c1, r1), both ends
// included, so a fast stroke leaves no gaps between the frames' holes. True
// when a hole visibly changed: a new peg, or a peg erased.
static bool paintLine(sGrid &grid, int c0, int r0, int c1, int r1, int32_t pen) {
  bool changed = false;
  const int dc = c1 > c0 ? c1 - c0 : c0 - c1, sc = c0 < c1 ? 1 : -1;
  const int dr = r1 > r0 ? r0 - r1 : r1 - r0, sr = r0 < r1 ? 1 : -1;  // dr <= 0
  int err = dc + dr;
  for (;;) {
    int32_t &cell = grid.gridpabglow[c0 + PABGLOW_COLUMNS * r0];
    if (cell != pen && (pen != PABGLOW_EMPTY || pegColour(cell) >= 0)) changed = true;
    cell = pen;
    if (c0 == c1 && r0 == r1) return changed;
    const int e2 = 2 * err;
    if (e2 >= dr) err += dr, c0 += sc;
    if (e2 <= dc) err += dc, r0 += sr;
  }
}

static bool boardEmpty(const sGrid &grid) {
  for (int32_t cell : grid.gridpabglow)
    if (pegColour(cell) >= 0) return false;
  return true;
}

// The board lights down the right margin; a press on one shows that board.
static void boardPicker(short mx, short my, bool bt) {
  for (int i = 0; i < PABGLOW_BOARDS; i++) {
    const short y = short(kLightY + kLightPitch * i);
    if (bt && mx >= kLightX && mx < kLightX + nav::kLightSize && my >= y &&
        my < y + nav::kLightSize && currentGrid != i) {
      currentGrid = i;
      playSample(snd_click);
    }
    float r[4];
    nav::light(i, currentGrid == i, r);
    if (surf_nav) surf_nav->blitAlphaRect(r[0], r[1], r[2], r[3], kLightX, y, false, false);
  }
}

static void startMusic() {
  music.start(allGrids[currentGrid]);
  musicBoard = currentGrid;
  // The child's tune plays alone; the board's music comes back when it stops.
  if (snd_music) snd_music->stopStream();
}

static void stopMusic() {
  if (!music.playing()) return;
  music.stop();
  if (snd_music) snd_music->playStream(true);
}

// The play button (a stop button while it plays) and the Space key toggle the
// music; showing another board stops it. Without a sound device there is no button.
static void musicButton(short mx, short my, bool bt) {
  if (music.playing() && musicBoard != currentGrid) stopMusic();
  if (!music.available()) return;
  const bool over = mx >= kPlayX && mx < kPlayX + kPlaySide && my >= kPlayY && my < kPlayY + kPlaySide;
  const bool space = KInput::isPressed(K_VK_SPACE);
  if ((over && bt && !playPressWas) || (space && !spaceWas)) {
    if (music.playing()) {
      stopMusic();
    } else {
      startMusic();
    }
    // After the tune's notes are written, so the click and the first note sound together.
    playSample(snd_click);
  }
  playPressWas = bt;
  spaceWas = space;
  if (music.playing()) music.update(allGrids[currentGrid]);
  if (!surf_music) return;
  const float x1 = music.playing() ? 58 : 2;  // play (2,2)-(54,54), stop (58,2)-(110,54)
  surf_music->blitAlphaRectFx(x1, 2, x1 + kPlaySide, 2 + kPlaySide, kPlayX, kPlayY, 0,
                              over ? 1.1f : 1.0f, 1, false, false);
}

// The playing column: a band of light behind it and its pegs drawn bigger.
static void drawPlayhead(const sGrid &grid) {
  const int c = music.column();
  if (c < 0) return;
  const short x = short(70 + 16 * c);
  if (surf_music) surf_music->drawRect(x - 1, 35, x + 17, 375, 1, 0.95f, 0.6f, 0.35f);
  for (int r = 0; r < PABGLOW_ROWS; r++) {
    const int v = pegColour(grid.gridpabglow[c + PABGLOW_COLUMNS * r]);
    if (v < 0 || !surf_colors[v]) continue;
    surf_colors[v]->blitAlphaRectFx(0, 0, 16, 16, x, short(37 + 16 * r), 0, 1.35f, 1, false, false);
  }
}

static void enterPabglow() {
  surf_buttons = KQMX::createKGraphic();
  if (surf_buttons) {
    surf_buttons->setTextureQuality(true);  // the clear button is drawn zoomed
    surf_buttons->loadPicture(KMiscTools::makeFilePath("data\\gfx\\btns.tga"), true, true);
  }

  emptyBoards();
  currentGrid = 0;

  char name[64];
  for (int i = 0; i < PABGLOW_PENS; i++) {
    std::snprintf(name, sizeof name, "data\\gfx\\pen%d.tga", i);
    surf_colors[i] = loadScreenPicture(name);
  }
  currentPen = 4;
  loadBoards();
  setEmergencySave(kEmergencyScreen, saveBoards);
  surf_pabglow = loadScreenPicture("data\\gfx\\pabglowback.tga");
  for (int i = 0; i < PABGLOW_PENS; i++) {
    if (i == PABGLOW_EMPTY) {
      snd_pegs[i] = loadScreenSample("data\\audio\\pegerase.ogg", 60, 3);
    } else {
      std::snprintf(name, sizeof name, "data\\audio\\peg%d.ogg", i);
      snd_pegs[i] = loadScreenSample(name, 60, 3);
    }
  }
  initCamera();
  surf_nav = loadScreenPicture("data\\gfx\\nav.tga");
  boardUndo.withdraw();
  surf_music = loadScreenPicture("data\\gfx\\music.tga");
  if (surf_music) surf_music->setTextureQuality(true);  // drawn zoomed
  music.open(60);
  playPressWas = spaceWas = true;
  // The press that chose the board from the menu must not paint on it.
  KInput::ignoreHeldButton();
}

static void leavePabglow() {
  playSample(snd_click);
  stopMusic();
  music.close();
  deletePicture(surf_music);
  saveBoards();
  setEmergencySave(kEmergencyScreen, nullptr);
  for (KGraphic *&g : surf_colors) deletePicture(g);
  deletePicture(surf_buttons);
  deletePicture(surf_pabglow);
  for (KSound *&s : snd_pegs) deleteSample(s);
  freeCamera();
  deletePicture(surf_nav);
}

void doPabglow() {
  enterPabglow();
  float logoX = -100;
  float catX = 516;
  // The hole painted on the previous frame while the button stayed down over
  // the board; a stroke continues from there.
  int strokeC = -1, strokeR = -1;

  for (;;) {
    gameWindow->setDefaultWorldView();
    short mx = KInput::getMouseX();
    short my = KInput::getMouseY();
    bool bt = KInput::getLeftButtonState();

    // The logo hides upwards while the pointer is over it.
    if (mx > 0 && mx < 170 && my > 0 && my < 75) {
      logoX -= 2;
      if (logoX <= -25) logoX = -25;
    } else {
      logoX += 2;
      if (logoX > 5) logoX = 5;
    }
    // The cat steps aside to the right while the pointer is near it.
    if (mx > 547 && mx < 640 && my > 329 && my < 395) {
      catX += 2;
      if (catX >= 565) catX = 565;
    } else {
      catX -= 2;
      if (catX <= 516) catX = 516;
    }

    if (surf_pabglow) surf_pabglow->blitRect(0, 0, 640, 480, 0, 0, false, false);

    sGrid &grid = allGrids[currentGrid];
    // After a clear the broom's place offers the board back for a while, until
    // something is painted on the emptied board.
    bool undo = boardUndo.offered(currentGrid);
    if (undo && !boardEmpty(grid)) {
      boardUndo.withdraw();
      undo = false;
    }
    KGraphic *broomPicture = undo ? surf_nav : surf_buttons;
    const float sx1 = undo ? nav::kUndo[0] : 11, sy1 = undo ? nav::kUndo[1] : 110;
    const float sx2 = undo ? nav::kUndo[2] : 71, sy2 = undo ? nav::kUndo[3] : 167;
    if (mx >= 2 && mx <= 68 && my >= 420 && my <= 480) {
      if (broomPicture) {
        broomPicture->setBlitColor(0, 0, 0, 0.5f);
        broomPicture->blitAlphaRectFx(sx1, sy1, sx2, sy2, 5, 423, 0, 1.1f, 1, false, false);
        broomPicture->setBlitColor(1, 1, 1, 1);
        broomPicture->blitAlphaRectFx(sx1, sy1, sx2, sy2, 2, 420, 0, 1.1f, 1, false, false);
      }
      if (bt) {
        playSample(snd_click);
        if (undo) {
          boardUndo.restore(grid);
        } else {
          playSample(snd_clear);
          if (!boardEmpty(grid)) boardUndo.cleared(currentGrid, grid);
          for (int32_t &cell : grid.gridpabglow) cell = PABGLOW_EMPTY;
        }
        waitForButtonRelease();
      }
    } else if (broomPicture) {
      broomPicture->blitAlphaRect(sx1, sy1, sx2, sy2, 2, 420, false, false);
    }
    if (undo && undoKeysHeld()) {
      playSample(snd_click);
      boardUndo.restore(grid);
    }

    for (int c = 0; c < PABGLOW_COLUMNS; c++) {
      for (int r = 0; r < PABGLOW_ROWS; r++) {
        int v = pegColour(grid.gridpabglow[c + PABGLOW_COLUMNS * r]);
        if (v < 0) continue;
        if (KGraphic *peg = surf_colors[v])
          peg->blitAlphaRect(0, 0, 16, 16, (short)(70 + 16 * c), (short)(37 + 16 * r), false,
                             false);
      }
    }

    // Integer division truncates toward zero, so the 15 pixels left of and
    // above the grid still count as column 0 and row 0.
    int c = (mx - 70) / 16;
    int r = (my - 37) / 16;
    if (c >= 0 && c < PABGLOW_COLUMNS && r >= 0 && r < PABGLOW_ROWS) {
      if (KGraphic *peg = penPicture(currentPen))
        peg->blitAlphaRectFx(0, 0, 16, 16, (short)(70 + 16 * c), (short)(37 + 16 * r), 0, 1, 0.5f,
                             false, false);
      if (KInput::getLeftButtonState() && currentPen >= 0 && currentPen < PABGLOW_PENS) {
        if (strokeC < 0) strokeC = c, strokeR = r;
        // A sound only when a hole changes: holding still, or erasing empty
        // holes, stays quiet.
        if (paintLine(grid, strokeC, strokeR, c, r, (int32_t)currentPen))
          playScreenSample(snd_pegs[currentPen]);
        strokeC = c, strokeR = r;
      } else {
        strokeC = strokeR = -1;
      }
    } else {
      strokeC = strokeR = -1;
    }

    drawPlayhead(grid);
    if (surf_pabglow) {
      surf_pabglow->blitAlphaRect(0, 493, 186, 574, 0, (short)logoX, false, false);
      surf_pabglow->blitAlphaRect(521, 487, 639, 639, (short)catX, 330, false, false);
    }
    if (KGraphic *peg = penPicture(currentPen))
      peg->blitAlphaRect(0, 0, 16, 16, 502, 416, false, false);
    markChosenColour();
    // Between the colour strip and the current peg.
    doCamera(386, 410, screenSnapshot);
    boardPicker(mx, my, bt);
    musicButton(mx, my, bt);
    const bool home = homeButton(surf_nav, kHomeX, kHomeY);
    drawCameraFlash();
    drawPointer();

    if (home || KInput::isPressed(K_VK_ESCAPE)) break;
    if (KInput::getLeftButtonState()) pickAcolor();
    static const EKeyboardLayout boardKeys[PABGLOW_BOARDS] = {
        K_VK_F1, K_VK_F2, K_VK_F3, K_VK_F4, K_VK_F5, K_VK_F6, K_VK_F7, K_VK_F8, K_VK_F9, K_VK_F10};
    for (int i = 0; i < PABGLOW_BOARDS; i++)
      if (KInput::isPressed(boardKeys[i])) currentGrid = i;

    flipScreen();
    if (gameWindow->isQuit()) break;
  }

  leavePabglow();
}
