// The gallery screen (see gallery.h). The page's thumbnails come from the
// loader's worker; each frame turns at most two of them into textures, so a
// folder of hundreds of pictures opens at once and pages turn smoothly.
// Application thread only.
#include "activities/gallery.h"

#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include "activities/camera.h"
#include "activities/galleryFiles.h"
#include "activities/screenSound.h"
#include "app/navigation.h"
#include "app/pictures.h"
#include "app/preferences.h"
#include "app/shell.h"
#include "graphic/KGraphic.h"
#include "input/KInput.h"
#include "print/KPrinter.h"
#include "sound/KSound.h"
#include "tools/KMiscTools.h"
#include "window/KQMX.h"
#include "window/KWindow.h"

namespace {

constexpr int kThumbW = 160, kThumbH = 120;
constexpr short kSlotX[3] = {50, 240, 430}, kSlotY[2] = {95, 275};
constexpr int kViewX = 20, kViewY = 40, kViewW = 520, kViewH = 390;
constexpr short kHomeX = 588, kHomeY = 8;
constexpr short kPrevX = 12, kNextX = 604, kArrowY = 200;
constexpr short kPrintX = 556, kPrintY = 130, kBinX = 562, kBinY = 300;
constexpr unsigned long kBinAskMs = 3000;
constexpr int kWholeKey = -1;  // the loader's key of the picture shown whole

// A picture on the screen and the pixels its texture was made from (a renderer
// may read them again when its surfaces are lost).
struct sShown {
  KGraphic *picture = nullptr;
  sFittedPicture pixels;
  bool arrived = false;  // loaded, or found unreadable
  void clear() {
    deletePicture(picture);
    pixels = sFittedPicture();
    arrived = false;
  }
};

struct sGallery {
  std::string folder;
  std::vector<std::string> names;
  int page = 0;
  int whole = -1;  // index of the picture shown whole; -1: the pages
  sShown thumbs[kGalleryPerPage];
  sShown big;
  bool binAsked = false;
  unsigned long binAskedAt = 0;
  bool pressWas = true, escapeWas = true;
};

KGraphic *surf_pages = nullptr, *surf_one = nullptr, *surf_buttons = nullptr;
KGraphic *surf_nav = nullptr, *surf_camera = nullptr;
PictureLoader *loader = nullptr;

std::string pathOf(const sGallery &g, int index) { return g.folder + "/" + g.names[size_t(index)]; }

void showPage(sGallery &g, int page) {
  loader->cancel();
  for (sShown &t : g.thumbs) t.clear();
  g.page = std::max(0, std::min(page, galleryPages(g.names.size()) - 1));
  for (int i = 0; i < kGalleryPerPage; i++) {
    const int index = g.page * kGalleryPerPage + i;
    if (index < int(g.names.size())) loader->request(index, pathOf(g, index), kThumbW, kThumbH);
  }
}

void showWhole(sGallery &g, int index) {
  loader->cancel();
  g.big.clear();
  g.whole = index;
  g.binAsked = false;
  if (index >= 0) loader->request(kWholeKey, pathOf(g, index), kViewW, kViewH);
}

void backToPages(sGallery &g) {
  showWhole(g, -1);
  showPage(g, g.page);
}

// Textures for at most two finished pictures a frame; stale ones are dropped.
void takeLoaded(sGallery &g) {
  sFittedPicture done;
  for (int n = 0; n < 2 && loader->take(done); n++) {
    sShown *into = nullptr;
    if (done.key == kWholeKey && g.whole >= 0) into = &g.big;
    const int slot = done.key - g.page * kGalleryPerPage;
    if (done.key >= 0 && g.whole < 0 && slot >= 0 && slot < kGalleryPerPage) into = &g.thumbs[slot];
    if (!into) continue;
    into->clear();
    into->pixels = std::move(done);
    into->arrived = true;
    if (into->pixels.width <= 0) continue;  // unreadable: an empty frame
    into->picture = KQMX::createKGraphic();
    if (into->picture &&
        !into->picture->makePictureFromArray(into->pixels.pixels.data(), into->pixels.width,
                                             into->pixels.height, true))
      deletePicture(into->picture);
  }
}

bool inside(long mx, long my, long x, long y, long w, long h) {
  return mx >= x && mx < x + w && my >= y && my < y + h;
}

// Draws a picture centred in the box, with a soft shadow.
void drawCentred(const sShown &s, int x, int y, int w, int h) {
  if (!s.picture) return;
  const int pw = s.pixels.width, ph = s.pixels.height;
  const short dx = short(x + (w - pw) / 2), dy = short(y + (h - ph) / 2);
  s.picture->blitRect(0, 0, float(pw), float(ph), dx, dy, false, false);
}

// A button from the shared sheet, bigger under the pointer; true on a new press.
bool sheetButton(KGraphic *sheet, const float r[4], short x, short y, long mx, long my,
                 bool pressed) {
  const bool over = inside(mx, my, x, y, long(r[2] - r[0]), long(r[3] - r[1]));
  if (sheet) sheet->blitAlphaRectFx(r[0], r[1], r[2], r[3], x, y, 0, over ? 1.15f : 1.0f, 1, false, false);
  return over && pressed;
}

void pagesFrame(sGallery &g, long mx, long my, bool pressed) {
  if (surf_pages) surf_pages->blitRect(0, 0, 640, 480, 0, 0, false, false);
  if (g.names.empty() && surf_camera) {
    // Nothing yet: the camera in the first frame says where pictures come from.
    surf_camera->blitAlphaRectFx(0, 0, 60, 60, kSlotX[0] + 50, kSlotY[0] + 30, 0, 1.3f, 0.8f, false, false);
  }
  for (int i = 0; i < kGalleryPerPage; i++) {
    const short x = kSlotX[i % 3], y = kSlotY[i / 3];
    const int index = g.page * kGalleryPerPage + i;
    if (index >= int(g.names.size())) continue;
    drawCentred(g.thumbs[i], x, y, kThumbW, kThumbH);
    if (inside(mx, my, x, y, kThumbW, kThumbH)) {
      if (surf_pages) surf_pages->drawRect(x - 4, y - 4, x + kThumbW + 4, y + kThumbH + 4, 1, 1, 0.6f, 0.25f);
      if (pressed) {
        if (snd_click) snd_click->playSample();
        showWhole(g, index);
        return;
      }
    }
  }
  static const float kPrev[4] = {107, 105, 133, 174}, kNext[4] = {205, 105, 228, 174};
  const int pages = galleryPages(g.names.size());
  int turn = 0;
  if (g.page > 0 && sheetButton(surf_buttons, kPrev, kPrevX, kArrowY, mx, my, pressed)) turn = -1;
  if (g.page + 1 < pages && sheetButton(surf_buttons, kNext, kNextX, kArrowY, mx, my, pressed)) turn = 1;
  if (turn != 0) {
    if (snd_click) snd_click->playSample();
    showPage(g, g.page + turn);
  }
}

void printWhole(const sGallery &g) {
  sFittedPicture full;
  if (!loadFittedPicture(pathOf(g, g.whole), KPrinter::kMaxSide, KPrinter::kMaxSide, full)) {
    logTrouble("print", "the picture %s could not be read", g.names[size_t(g.whole)].c_str());
    return;
  }
  KInput::showPointer();  // the dialog needs the system pointer
  KPrinter::setOutputFolder(KMiscTools::getUserFolder());
  KPrinter::printPicture(full.pixels.data(), full.width, full.height, "Pabrix",
                         gameWindow ? gameWindow->getWindowHandle() : nullptr);
  KInput::hidePointer();
}

// The bin: a first press makes it wobble for three seconds; a second press
// meanwhile removes the picture.
void binButton(sGallery &g, long mx, long my, bool pressed) {
  static const float kBin[4] = {177, 12, 244, 89};
  if (g.binAsked && screenClock() - g.binAskedAt >= kBinAskMs) g.binAsked = false;
  const bool over = inside(mx, my, kBinX, kBinY, 67, 77);
  const float t = g.binAsked ? float(screenClock() - g.binAskedAt) / 1000.0f : 0;
  const float angle = g.binAsked ? 10.0f * std::sin(t * 6.28f * 3) : 0;
  if (surf_buttons) {
    if (g.binAsked) surf_buttons->setBlitColor(1, 0.75f, 0.75f, 1);
    surf_buttons->blitAlphaRectFx(kBin[0], kBin[1], kBin[2], kBin[3], kBinX, kBinY, angle,
                                  over || g.binAsked ? 1.15f : 1.0f, 1, false, false);
    surf_buttons->setBlitColor(1, 1, 1, 1);
  }
  if (!over || !pressed) return;
  if (!g.binAsked) {
    g.binAsked = true;
    g.binAskedAt = screenClock();
    if (snd_click) snd_click->playSample();
    return;
  }
  if (!removeCameraPicture(g.folder, g.names[size_t(g.whole)]))
    logTrouble("gallery", "%s could not be removed", g.names[size_t(g.whole)].c_str());
  if (snd_clear) snd_clear->playSample();
  g.names = listCameraPictures(g.folder);
  g.page = std::min(g.page, galleryPages(g.names.size()) - 1);
  backToPages(g);
}

void wholeFrame(sGallery &g, long mx, long my, bool pressed) {
  if (surf_one) surf_one->blitRect(0, 0, 640, 480, 0, 0, false, false);
  drawCentred(g.big, kViewX, kViewY, kViewW, kViewH);
  static const float kPrint[4] = {88, 10, 167, 89};
  if (preferences.printing && sheetButton(surf_buttons, kPrint, kPrintX, kPrintY, mx, my, pressed)) {
    if (snd_click) snd_click->playSample();
    waitForButtonRelease();
    printWhole(g);
    return;
  }
  binButton(g, mx, my, pressed);
}

void enterGallery(sGallery &g) {
  surf_pages = loadScreenPicture("data\\gfx\\gallery.bmp");
  surf_one = loadScreenPicture("data\\gfx\\galleryone.bmp");
  surf_buttons = loadScreenPicture("data\\gfx\\btns.tga");
  if (surf_buttons) surf_buttons->setTextureQuality(true);  // drawn zoomed and tilted
  surf_nav = loadScreenPicture("data\\gfx\\nav.tga");
  if (surf_nav) surf_nav->setTextureQuality(true);
  surf_camera = loadScreenPicture("data\\gfx\\camera.tga");
  if (surf_camera) surf_camera->setTextureQuality(true);
  loader = new PictureLoader();
  g.folder = pictureFolder();
  g.names = listCameraPictures(g.folder);
  showPage(g, 0);
  // The press that opened the gallery must not open a picture.
  KInput::ignoreHeldButton();
}

void leaveGallery(sGallery &g) {
  delete loader;  // joins the worker before the pictures go
  loader = nullptr;
  for (sShown &t : g.thumbs) t.clear();
  g.big.clear();
  deletePicture(surf_pages);
  deletePicture(surf_one);
  deletePicture(surf_buttons);
  deletePicture(surf_nav);
  deletePicture(surf_camera);
}

}  // namespace

void doGallery() {
  if (!gameWindow) return;
  sGallery g;
  enterGallery(g);
  while (true) {
    gameWindow->setDefaultWorldView();
    const long mx = KInput::getMouseX(), my = KInput::getMouseY();
    const bool bt = KInput::getLeftButtonState();
    const bool pressed = bt && !g.pressWas;
    g.pressWas = bt;
    takeLoaded(g);
    if (g.whole < 0) {
      pagesFrame(g, mx, my, pressed);
    } else {
      wholeFrame(g, mx, my, pressed);
    }
    const bool home = homeButton(surf_nav, kHomeX, kHomeY) && pressed;
    const bool escape = KInput::isPressed(K_VK_ESCAPE);
    const bool back = home || (escape && !g.escapeWas);
    g.escapeWas = escape;
    drawPointer();
    if (back && snd_click) snd_click->playSample();
    if (back && g.whole < 0) break;
    if (back) backToPages(g);
    flipScreen();
    if (gameWindow->isQuit()) break;
  }
  leaveGallery(g);
}
