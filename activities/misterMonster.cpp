// The monster builder screen: palette, body, placed parts, buttons, arrows and
// the drag of one part at a time. Parts are saved when the screen closes.
// Application thread only.
#include "activities/misterMonster.h"

#include "activities/camera.h"
#include "activities/cloud.h"
#include "activities/monster.h"
#include "activities/printMonster.h"
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

long inHand = -1;
long decalX = 0, decalY = 0;
long cleary = 420;
long trashy = 480;
KGraphic *surf_back = nullptr;

namespace {

KSound *snd_pick = nullptr;   // a part picked up
KSound *snd_place = nullptr;  // a part put on the monster
KGraphic *surf_nav = nullptr;
ClearUndo<sMonster> monsterUndo;
// The home button: the floor's bottom-left corner, under the palette and left
// of the clear button.
const short kHomeX = 4, kHomeY = 428;

bool monsterEmpty(const sMonster &m) {
  for (int s = 1; s < kMonsterSlots; s++)
    if (isPlacedPart(m.allMonsterPart[s].partID)) return false;
  return true;
}

void play(KSound *s) {
  if (s) s->playSample();
}

// Pumps messages while a key or the button is held. A closing window ends the
// wait too, so a release lost with the window can never hang the program.
void waitWhile(bool (*held)()) {
  if (!gameWindow) return;
  do {
    gameWindow->processEvents();
  } while (held() && !gameWindow->isQuit());
}

bool leftHeld() { return KInput::getLeftButtonState(); }
bool leftKeyHeld() { return KInput::isPressed(K_VK_LEFT); }
bool rightKeyHeld() { return KInput::isPressed(K_VK_RIGHT); }

// Source rectangle of a catalogue entry; callers have checked the index.
void blitPart(const sRealPart &p, long x, long y) {
  if (!surf_monster) return;
  surf_monster->blitAlphaRect(float(p.x1), float(p.y1), float(p.x2), float(p.y2), short(x),
                              short(y), false, false);
}

void blitZoomed(KGraphic *g, float x1, float y1, float x2, float y2, long x, long y, float zoom) {
  g->blitAlphaRectFx(x1, y1, x2, y2, short(x), short(y), 0, zoom, 1, false, false);
}

// Exactly where the trash is drawn and highlighted, and only once it has begun
// to rise: the floor beside it is where shoes and feet go.
bool inDiscardZone(long x, long y) {
  if (x < 250) return true;  // the palette side
  return trashy < 480 && x > 571 && x < 640 && y > 403 && y < 480;
}

}  // namespace

// Shows monster n; one press, one monster: a click lasts several frames.
void showMonster(long n) {
  play(snd_click);
  currentAlien = n;
  loadMonster(currentAlien);
  waitWhile(leftHeld);
}

void previousMonster() {
  if (inHand > 0) return;
  showMonster(currentAlien <= 1 ? maxMonsters : currentAlien - 1);
  waitWhile(leftKeyHeld);
}

void nextMonster() {
  if (inHand > 0) return;
  showMonster(currentAlien >= maxMonsters ? 1 : currentAlien + 1);
  waitWhile(rightKeyHeld);
}

// Which monster is on show: a numbered light per monster under the arrows (five
// to a row), the one on show lit, as the peg board shows its boards. A press on
// another light shows that monster.
void monsterLights(long mx, long my, bool bt) {
  constexpr long kPitch = nav::kLightSize + 1, kPerRow = 5, kRight = 636, kTop = 72;
  const long count = maxMonsters < 10 ? maxMonsters : 10;
  for (long i = 0; i < count; i++) {
    const long x = kRight - (kPerRow - i % kPerRow) * kPitch, y = kTop + (i / kPerRow) * kPitch;
    const bool on = currentAlien == i + 1;
    if (bt && !on && inHand <= 0 && mx >= x && mx < x + nav::kLightSize && my >= y &&
        my < y + nav::kLightSize) {
      showMonster(i + 1);
      return;  // drawn lit from the next frame
    }
    float r[4];
    nav::light(int(i), on, r);
    if (surf_nav) surf_nav->blitAlphaRect(r[0], r[1], r[2], r[3], short(x), short(y), false, false);
  }
}

void doButtons(KGraphic *surf_btns) {
  if (!surf_btns) return;
  long mx = KInput::getMouseX();
  long my = KInput::getMouseY();
  bool bt = KInput::getLeftButtonState();

  cleary += inHand > 0 ? 4 : -4;
  if (cleary < 420) cleary = 420;
  if (cleary > 499) cleary = 499;

  // Clear. After a clear its place offers the monster back for a while, until
  // a part is placed on the emptied monster.
  sMonster *shown = shownMonster();
  bool undo = shown && monsterUndo.offered(currentAlien);
  if (undo && !monsterEmpty(*shown)) {
    monsterUndo.withdraw();
    undo = false;
  }
  KGraphic *clearPicture = undo && surf_nav ? surf_nav : surf_btns;
  const float sx1 = undo ? nav::kUndo[0] : 11, sy1 = undo ? nav::kUndo[1] : 110;
  const float sx2 = undo ? nav::kUndo[2] : 71, sy2 = undo ? nav::kUndo[3] : 167;
  if (mx >= 202 && mx <= 268 && my >= 420 && my <= 480 && inHand <= 0) {
    clearPicture->setBlitColor(0, 0, 0, 0.5f);
    blitZoomed(clearPicture, sx1, sy1, sx2, sy2, 205, cleary + 3, 1.1f);
    clearPicture->setBlitColor(1, 1, 1, 1);
    blitZoomed(clearPicture, sx1, sy1, sx2, sy2, 202, cleary, 1.1f);
    if (bt) {
      play(snd_click);
      if (undo) {
        monsterUndo.restore(*shown);
      } else {
        play(snd_clear);
        if (shown) {
          if (!monsterEmpty(*shown)) monsterUndo.cleared(currentAlien, *shown);
          for (sMonsterPart &s : shown->allMonsterPart) s.partID = 0;
        }
      }
      waitForButtonRelease();
    }
  } else {
    clearPicture->blitAlphaRect(sx1, sy1, sx2, sy2, 202, short(cleary), false, false);
  }
  if (undo && inHand <= 0 && undoKeysHeld()) {
    play(snd_click);
    monsterUndo.restore(*shown);
  }

  // Print, only offered when the options allow it. The 79-pixel picture rests on
  // the bottom edge, and its hit area is the picture.
  if (preferences.printing) {
    if (mx >= 286 && mx < 365 && my >= 401 && my < 480 && inHand <= 0) {
      blitZoomed(surf_btns, 88, 10, 167, 89, 286, cleary - 19, 1.1f);
      if (bt) {
        play(snd_click);
        waitForButtonRelease();
        monsterOutput().print();
      }
    } else {
      surf_btns->blitAlphaRect(88, 10, 167, 89, 286, short(cleary - 19), false, false);
    }
  }

  // Trash: rises from below the screen while a part is held.
  if (inHand > 0) {
    trashy -= 4;
    if (trashy < 403) trashy = 403;
  } else {
    trashy += 4;
    if (trashy > 480) trashy = 480;
  }
  if (mx > 571 && mx < 640 && my > 403 && my < 480 && inHand > 0)
    blitZoomed(surf_btns, 177, 12, 244, 89, 571, trashy, 1.1f);
  else
    surf_btns->blitAlphaRect(177, 12, 244, 89, 571, short(trashy), false, false);

  if (KInput::isPressed(K_VK_RIGHT)) nextMonster();
  if (KInput::isPressed(K_VK_LEFT)) previousMonster();

  // Arrows: they zoom under the pointer even while a part is held, but stepping
  // itself refuses then.
  if (mx > 510 && mx < 550 && my > 0 && my < 70) {
    blitZoomed(surf_btns, 107, 105, 133, 174, 510, 0, 1.2f);
    if (bt) previousMonster();
  } else {
    surf_btns->blitAlphaRect(107, 105, 133, 174, 510, 0, false, false);
  }
  surf_btns->blitAlphaRect(133, 105, 205, 174, 540, 0, false, false);
  if (mx > 600 && mx < 635 && my > 0 && my < 70) {
    blitZoomed(surf_btns, 205, 105, 228, 174, 615, 0, 1.2f);
    if (bt) nextMonster();
  } else {
    surf_btns->blitAlphaRect(205, 105, 228, 174, 615, 0, false, false);
  }
  monsterLights(mx, my, bt);
}

void dropPiece(long pieceID) {
  long mx = KInput::getMouseX();
  long my = KInput::getMouseY();
  if (inDiscardZone(mx, my)) {
    if (pieceID != -1) doCloud(mx, my);
    return;
  }
  sMonster *m = shownMonster();
  if (!m) return;
  for (int s = 1; s < kMonsterSlots; s++) {
    sMonsterPart &slot = m->allMonsterPart[s];
    if (isPlacedPart(slot.partID)) continue;
    slot.partID = int32_t(pieceID);
    slot.x = int32_t(mx + decalX);
    slot.y = int32_t(my + decalY);
    inHand = -1;
    if (isPlacedPart(pieceID)) playScreenSample(snd_place);
    return;
  }
  // Every slot in use: the part is lost.
}

void drawPieces() {
  sMonster *m = shownMonster();
  if (!m) return;
  for (int s = 1; s < kMonsterSlots; s++) {
    const sMonsterPart &slot = m->allMonsterPart[s];
    if (isPlacedPart(slot.partID)) blitPart(allParts[slot.partID], slot.x, slot.y);
  }

  if (!KInput::getLeftButtonState() || inHand > 0) return;
  long mx = KInput::getMouseX();
  long my = KInput::getMouseY();
  const int s = placedPartAt(mx, my);
  if (s == 0) return;
  sMonsterPart &slot = m->allMonsterPart[s];
  inHand = slot.partID;
  playScreenSample(snd_pick);
  decalX = slot.x - mx;
  decalY = slot.y - my;
  slot.partID = -1;
}

int placedPartAt(long mx, long my) {
  const sMonster *m = shownMonster();
  if (!m) return 0;
  // From slot 1 up: where parts overlap, the one placed earliest (underneath) wins.
  for (int s = 1; s < kMonsterSlots; s++) {
    const sMonsterPart &slot = m->allMonsterPart[s];
    if (!isPlacedPart(slot.partID)) continue;
    const sRealPart &p = allParts[slot.partID];
    long w = p.x2 - p.x1, h = p.y2 - p.y1;
    if (slot.x < mx && mx < slot.x + w && slot.y < my && my < slot.y + h) return s;
  }
  return 0;
}

void displayMonster(bool forprinting) {
  long mx = KInput::getMouseX();
  long my = KInput::getMouseY();
  bool bt = KInput::getLeftButtonState();
  if (!bt) {
    dropPiece(inHand);
    inHand = -1;
  }
  if (forprinting) bt = false;

  for (sRealPart &p : allParts) p.zoom = 0;
  for (long i = 1; i < kCatalogueSize && inHand <= 0; i++) {
    sRealPart &p = allParts[i];
    if (p.dx < mx && mx < p.dx + (p.x2 - p.x1) && p.dy < my && my < p.dy + (p.y2 - p.y1)) {
      p.zoom = 1;
      if (bt && p.id > 0) {
        inHand = i;
        playScreenSample(snd_pick);
        decalX = p.dx - mx;
        decalY = p.dy - my;
      }
      break;
    }
  }

  if (forprinting && gameWindow) {
    gameWindow->setClearColor(1, 1, 1, 1);
    gameWindow->setWorldView(0, 0, 0, 0, true);
    gameWindow->setDefaultWorldView();
  }

  if (surf_monster) {
    surf_monster->blitAlphaRect(float(monstreX1), float(monstreY1), float(monstreX2),
                                float(monstreY2), short(monstreX1), short(monstreY1), false,
                                false);
  }

  if (!forprinting && surf_monster) {
    for (long i = 1; i < kCatalogueSize; i++) {
      const sRealPart &p = allParts[i];
      if (p.id <= 0) continue;
      if (p.zoom)
        blitZoomed(surf_monster, float(p.x1), float(p.y1), float(p.x2), float(p.y2), p.dx, p.dy,
                   1.2f);
      else
        blitPart(p, p.dx, p.dy);
    }
  }

  drawPieces();

  if (bt && isPlacedPart(inHand)) blitPart(allParts[inHand], mx + decalX, my + decalY);
}

void doMisterMonster() {
  inHand = -1;
  for (sMonster &m : allMonsters) {
    for (sMonsterPart &s : m.allMonsterPart) s.partID = 0;
  }

  initCloud();
  initCamera();
  snd_pick = loadScreenSample("data\\audio\\pick.ogg", 70, 2);
  snd_place = loadScreenSample("data\\audio\\place.ogg", 70, 2);
  surf_back = loadScreenPicture("data\\gfx\\misterback.bmp");
  KGraphic *surf_buttons = loadScreenPicture("data\\gfx\\btns.tga");
  if (surf_buttons) surf_buttons->setTextureQuality(true);
  surf_nav = loadScreenPicture("data\\gfx\\nav.tga");
  if (surf_nav) surf_nav->setTextureQuality(true);
  monsterUndo.withdraw();

  loadMonsters();
  setEmergencySave(kEmergencyScreen, [] { return saveMonstersTo(monsterFilePath()); });
  loadMonster(currentAlien);
  // The press that opened the screen must not pick up a part or press a button.
  KInput::ignoreHeldButton();

  while (gameWindow) {
    gameWindow->setDefaultWorldView();
    if (surf_back) surf_back->blitRect(0, 0, 640, 480, 0, 0, false, false);
    doButtons(surf_buttons);
    // The camera lies under the monster, like the other buttons: a part dropped
    // on it stays in sight and a press on that part picks it up.
    const bool onPart = placedPartAt(KInput::getMouseX(), KInput::getMouseY()) != 0;
    // Beside the print button, or in its place when printing is off.
    doCamera(preferences.printing ? 372 : 286, 418, monsterOutput().picture, inHand > 0 || onPart);
    displayMonster(false);
    animateCloud();
    const bool home = homeButton(surf_nav, kHomeX, kHomeY) && inHand <= 0;
    drawCameraFlash();
    drawPointer();
    if (home) play(snd_click);
    if (home || KInput::isPressed(K_VK_ESCAPE)) break;
    flipScreen();
    if (gameWindow->isQuit()) break;
  }

  freeCloud();
  freeCamera();
  deleteSample(snd_pick);
  deleteSample(snd_place);
  saveMonsters();
  setEmergencySave(kEmergencyScreen, nullptr);
  deletePicture(surf_back);
  deletePicture(surf_buttons);
  deletePicture(surf_nav);
  deletePicture(surf_monster);
}
