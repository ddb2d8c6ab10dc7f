// Printing the monster on show: the frame is drawn for printing (the monster alone
// on white), read back through a grabbed picture, and handed to the print dialog.
// Works on either renderer. Application thread only; the dialog is modal and the
// screen's frame loop waits for it.
#include "activities/printMonster.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "activities/misterMonster.h"
#include "app/shell.h"
#include "graphic/KGraphic.h"
#include "input/KInput.h"
#include "platform/print/KPrinter.h"
#include "platform/sdl/KSdlWindow.h"
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

// Reads the back buffer into rows, row 0 being whichever end the renderer reports
// first. False when the renderer cannot grab or its frame is not the print size.
bool grabFrame(std::vector<uint32_t> &rows) {
  rows.assign(kPixels, kWhite);
  KGraphic *shot = KQMX::createKGraphic();
  if (!shot) return false;
  gGrabInto = rows.data();
  bool ok = shot->grabBackBuffer(recordPixel);
  gGrabInto = nullptr;
  if (ok && (long(shot->getWidth()) != kPrintWidth || long(shot->getHeight()) != kPrintHeight)) {
    fprintf(stderr, "print: the frame is %ldx%ld, not %dx%d\n", long(shot->getWidth()),
            long(shot->getHeight()), kPrintWidth, kPrintHeight);
    ok = false;
  }
  delete shot;
  return ok;
}

// The renderers report grabbed rows from opposite ends: the Direct3D picture
// top row first, the OpenGL one bottom row first.
bool grabStartsAtTop() { return KQMX::_renderer == K_DIRECTX; }

void bringForward(HWND window) {
  if (KNativeWindow::isWindow(window)) window->raise();
}

}  // namespace

bool generatePicture(uint32_t *dest) {
  if (!dest) return false;
  std::fill(dest, dest + kPixels, kWhite);
  if (!gameWindow) return false;

  displayMonster(true);
  std::vector<uint32_t> rows;
  bool ok = grabFrame(rows);
  if (ok) {
    const bool topFirst = grabStartsAtTop();
    for (int y = 0; y < kPrintHeight; y++) {
      const int from = topFirst ? y : kPrintHeight - 1 - y;
      std::copy(rows.begin() + ptrdiff_t(from) * kPrintWidth,
                rows.begin() + ptrdiff_t(from + 1) * kPrintWidth,
                dest + size_t(y) * kPrintWidth);
    }
  }

  // The next flip must show the screen, not the print picture.
  gameWindow->setDefaultWorldView();
  if (surf_back) surf_back->blitRect(0, 0, 640, 480, 0, 0, false, false);
  displayMonster(false);
  return ok;
}

void printMonster() {
  KInput::showPointer();  // the dialog needs the system pointer
  HWND owner = gameWindow ? gameWindow->getWindowHandle() : nullptr;
  std::vector<uint32_t> picture(kPixels);
  if (generatePicture(picture.data())) {
    KPrinter::setOutputFolder(KMiscTools::getUserFolder());
    KPrinter::printPicture(picture.data(), kPrintWidth, kPrintHeight, "Pabrix", owner);
  } else {
    fprintf(stderr, "print: the monster picture could not be read back\n");
  }
  KInput::hidePointer();
  bringForward(owner);
}
