// Printing the monster on show: composed for paper from the monster's print sheet
// (its sprite sheet rendered several times larger), its body and placed parts
// exactly where the screen draws them, cut to the monster, and handed to the
// print dialog; full screen is left for the dialog and entered again after it.
// Without a print sheet the frame is drawn for printing, read back and cut the
// same way. Works on either renderer. Application thread only; the dialog is
// modal and the screen's frame loop waits for it.
#include "activities/printMonster.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

#include "activities/camera.h"
#include "activities/misterMonster.h"
#include "activities/monster.h"
#include "app/shell.h"
#include "graphic/KGraphic.h"
#include "graphic/KImageCodec.h"
#include "input/KInput.h"
#include "print/KPrinter.h"
#include "tools/KMiscTools.h"
#include "window/KQMX.h"
#include "window/KWindow.h"
#include "window/KWindowBase.h"

namespace {

constexpr uint32_t kWhite = 0xFFFFFFFFu;
constexpr size_t kPixels = size_t(kPrintWidth) * kPrintHeight;

// The next flip must show the screen, not the print picture (nor a frame a
// change of display mode has emptied).
void redrawScreen() {
  gameWindow->setDefaultWorldView();
  if (surf_back) surf_back->blitRect(0, 0, 640, 480, 0, 0, false, false);
  displayMonster(false);
}

// Straight-alpha "over" of sheet rectangle (sx, sy, w, h) onto the canvas at
// (dx, dy), every length in sheet pixels; what falls outside either is cut.
void blendOnto(sSnapshot &canvas, const KImage &sheet, long sx, long sy, long w, long h, long dx,
               long dy) {
  for (long y = std::max(0L, -dy); y < h && dy + y < canvas.height; y++) {
    if (sy + y < 0 || sy + y >= sheet.height) continue;
    uint32_t *row = canvas.pixels.data() + size_t(dy + y) * size_t(canvas.width);
    for (long x = std::max(0L, -dx); x < w && dx + x < canvas.width; x++) {
      if (sx + x < 0 || sx + x >= sheet.width) continue;
      const uint8_t *p = sheet.pixel(int(sx + x), int(sy + y));
      const uint32_t a = p[3];
      if (a == 0) continue;
      uint32_t &d = row[dx + x];
      uint32_t out = 0xFF000000u;
      for (int c = 0; c < 3; c++) {
        const uint32_t under = (d >> (8 * c)) & 0xFFu;
        out |= ((p[c] * a + under * (255 - a) + 127) / 255) << (8 * c);
      }
      d = out;
    }
  }
}

}  // namespace

bool generatePicture(uint32_t *dest) {
  if (!dest) return false;
  std::fill(dest, dest + kPixels, kWhite);
  if (!gameWindow) return false;

  displayMonster(true);
  const bool ok = grabScreen(dest);
  redrawScreen();
  return ok;
}

bool composeMonster(const KImage &sheet, int scale, sSnapshot &out) {
  out = sSnapshot();
  if (scale < 1 || sheet.width <= 0 || sheet.height <= 0) return false;
  const sMonsterBounds b = monsterBounds();
  out.width = (b.x2 - b.x1) * scale;
  out.height = (b.y2 - b.y1) * scale;
  out.pixels.assign(size_t(out.width) * size_t(out.height), kWhite);
  // As displayMonster(true) draws: the body, then the placed parts in slot order.
  auto blit = [&](long x1, long y1, long x2, long y2, long x, long y) {
    blendOnto(out, sheet, x1 * scale, y1 * scale, (x2 - x1) * scale, (y2 - y1) * scale,
              (x - b.x1) * scale, (y - b.y1) * scale);
  };
  blit(monstreX1, monstreY1, monstreX2, monstreY2, monstreX1, monstreY1);
  if (const sMonster *m = shownMonster()) {
    for (int s = 1; s < kMonsterSlots; s++) {
      const sMonsterPart &slot = m->allMonsterPart[s];
      if (!isPlacedPart(slot.partID)) continue;
      const sRealPart &p = allParts[slot.partID];
      blit(p.x1, p.y1, p.x2, p.y2, slot.x, slot.y);
    }
  }
  return true;
}

bool printPicture(sSnapshot &out) {
  const std::string name = std::string("data\\gfx\\monstre") + std::to_string(currentAlien) +
                           "-print.png";
  KImage sheet;
  const float screenWidth = surf_monster ? surf_monster->getWidth() : 0.0f;
  if (screenWidth >= 1 && KImageCodec::readFile(KMiscTools::makeFilePath(name.c_str()), sheet)) {
    const int scale = int(sheet.width / screenWidth);
    // Only a whole multiple of the screen's sheet puts every part where the screen does.
    if (scale >= 1 && sheet.width == int(screenWidth) * scale &&
        sheet.height == int(surf_monster->getHeight()) * scale)
      return composeMonster(sheet, scale, out);
    logTrouble("print", "the picture %s is %dx%d, not a whole multiple of the screen's %.0fx%.0f",
               name.c_str(), sheet.width, sheet.height, double(screenWidth),
               double(surf_monster->getHeight()));
  }
  return monsterPicture(out);
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

static bool fullScreenNow() {
  const KWindowBase *w = dynamic_cast<const KWindowBase *>(gameWindow);
  return w && w->isFullScreen();
}

namespace {
const sMonsterOutput kPrinted = {printMonster, monsterPicture};
const sMonsterOutput *gOutput = &kPrinted;
}  // namespace

void setMonsterOutput(const sMonsterOutput *output) { gOutput = output ? output : &kPrinted; }
const sMonsterOutput &monsterOutput() { return *gOutput; }

void printMonster() {
  sSnapshot picture;
  const bool ready = printPicture(picture);
  if (!ready) logTrouble("print", "the monster picture could not be made");
  // The print dialog needs a window: full screen is left for it and entered
  // again once it has closed.
  const bool leaveFullScreen = ready && gameWindow && fullScreenNow() && KPrinter::available();
  if (leaveFullScreen) gameWindow->toggleFullScreen(false);
  KInput::showPointer();  // the dialog needs the system pointer
  if (ready) {
    HWND owner = gameWindow ? gameWindow->getWindowHandle() : nullptr;
    KPrinter::setOutputFolder(KMiscTools::getUserFolder());
    KPrinter::printPicture(picture.pixels.data(), picture.width, picture.height,
                           stampedName(std::time(nullptr)).c_str(), owner);
  }
  KInput::hidePointer();
  if (leaveFullScreen) {
    gameWindow->toggleFullScreen(true);
    redrawScreen();
  }
}
