// Printing the monster on show: the frame is drawn for printing (the monster alone
// on white), read back through a grabbed picture, cut to the monster, and handed to
// the print dialog.
// Works on either renderer. Application thread only; the dialog is modal and the
// screen's frame loop waits for it.
#include "activities/printMonster.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "activities/camera.h"
#include "activities/misterMonster.h"
#include "activities/monster.h"
#include "app/shell.h"
#include "graphic/KGraphic.h"
#include "input/KInput.h"
#include "print/KPrinter.h"
#include "tools/KMiscTools.h"
#include "window/KQMX.h"
#include "window/KWindow.h"

namespace {

constexpr uint32_t kWhite = 0xFFFFFFFFu;
constexpr size_t kPixels = size_t(kPrintWidth) * kPrintHeight;

// The grab hands pixels to a plain function, so the destination is process-wide
// for the length of one grab.
uint32_t *gGrabInto = nullptr;

void recordPixel(long x, long y, long *r, long *g, long *b) {
  if (!gGrabInto || x < 0 || y < 0 || x >= kPrintWidth || y >= kPrintHeight) return;
  gGrabInto[size_t(y) * kPrintWidth + size_t(x)] =
      (uint32_t(*r) & 0xFFu) | ((uint32_t(*g) & 0xFFu) << 8) | ((uint32_t(*b) & 0xFFu) << 16) |
      0xFF000000u;
}

// Reads the back buffer into rows, top row first. False when the renderer cannot
// grab or its frame is not the print size.
bool grabFrame(std::vector<uint32_t> &rows) {
  rows.assign(kPixels, kWhite);
  KGraphic *shot = KQMX::createKGraphic();
  if (!shot) return false;
  gGrabInto = rows.data();
  bool ok = shot->grabBackBuffer(recordPixel);
  gGrabInto = nullptr;
  if (ok && (long(shot->getWidth()) != kPrintWidth || long(shot->getHeight()) != kPrintHeight)) {
    logTrouble("print", "the frame is %ldx%ld, not %dx%d", long(shot->getWidth()),
               long(shot->getHeight()), kPrintWidth, kPrintHeight);
    ok = false;
  }
  delete shot;
  return ok;
}

// The frame drawn so far into dest, top row first.
bool grabTopFirst(uint32_t *dest) {
  std::vector<uint32_t> rows;
  if (!grabFrame(rows)) return false;
  std::copy(rows.begin(), rows.end(), dest);
  return true;
}

}  // namespace

bool screenSnapshot(sSnapshot &out) {
  out.pixels.assign(kPixels, kWhite);
  out.width = kPrintWidth;
  out.height = kPrintHeight;
  if (gameWindow && grabTopFirst(out.pixels.data())) return true;
  out = sSnapshot();
  return false;
}

bool generatePicture(uint32_t *dest) {
  if (!dest) return false;
  std::fill(dest, dest + kPixels, kWhite);
  if (!gameWindow) return false;

  displayMonster(true);
  const bool ok = grabTopFirst(dest);

  // The next flip must show the screen, not the print picture.
  gameWindow->setDefaultWorldView();
  if (surf_back) surf_back->blitRect(0, 0, 640, 480, 0, 0, false, false);
  displayMonster(false);
  return ok;
}

sMonsterBounds monsterBounds() {
  // Room around the outline, so the page does not cut it at the paper's edge.
  constexpr int kMargin = 8;
  long x1 = kPrintWidth, y1 = kPrintHeight, x2 = 0, y2 = 0;
  auto add = [&](long ax, long ay, long w, long h) {
    if (w <= 0 || h <= 0) return;
    x1 = std::min(x1, ax);
    y1 = std::min(y1, ay);
    x2 = std::max(x2, ax + w);
    y2 = std::max(y2, ay + h);
  };
  add(monstreX1, monstreY1, monstreX2 - monstreX1, monstreY2 - monstreY1);
  if (const sMonster *m = shownMonster()) {
    for (int s = 1; s < kMonsterSlots; s++) {
      const sMonsterPart &slot = m->allMonsterPart[s];
      if (!isPlacedPart(slot.partID)) continue;
      const sRealPart &p = allParts[slot.partID];
      add(slot.x, slot.y, p.x2 - p.x1, p.y2 - p.y1);
    }
  }
  sMonsterBounds b{int(std::max(0L, x1 - kMargin)), int(std::max(0L, y1 - kMargin)),
                   int(std::min(long(kPrintWidth), x2 + kMargin)),
                   int(std::min(long(kPrintHeight), y2 + kMargin))};
  if (b.x2 <= b.x1 || b.y2 <= b.y1) b = {0, 0, kPrintWidth, kPrintHeight};
  return b;
}

bool monsterPicture(sSnapshot &out) {
  out = sSnapshot();
  std::vector<uint32_t> frame(kPixels);
  if (!generatePicture(frame.data())) return false;
  const sMonsterBounds b = monsterBounds();
  out.width = b.x2 - b.x1;
  out.height = b.y2 - b.y1;
  out.pixels.reserve(size_t(out.width) * size_t(out.height));
  for (int y = b.y1; y < b.y2; y++) {
    const uint32_t *row = frame.data() + size_t(y) * kPrintWidth;
    out.pixels.insert(out.pixels.end(), row + b.x1, row + b.x2);
  }
  return true;
}

void printMonster() {
  KInput::showPointer();  // the dialog needs the system pointer
  HWND owner = gameWindow ? gameWindow->getWindowHandle() : nullptr;
  sSnapshot picture;
  if (monsterPicture(picture)) {
    KPrinter::setOutputFolder(KMiscTools::getUserFolder());
    KPrinter::printPicture(picture.pixels.data(), picture.width, picture.height, "Pabrix", owner);
  } else {
    logTrouble("print", "the monster picture could not be read back");
  }
  KInput::hidePointer();
}
