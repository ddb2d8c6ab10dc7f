// The camera button, the Print Screen key, the saved PNG files and the flash
// (see camera.h). Application thread only.
#include "activities/camera.h"

#include <algorithm>
#include <filesystem>
#include <system_error>
#include <vector>

#include <stb_image_write.h>

#include "activities/screenSound.h"
#include "app/fileio.h"
#include "app/pictures.h"
#include "app/shell.h"
#include "graphic/KGraphic.h"
#include "input/KInput.h"
#include "sound/KSound.h"
#include "tools/KLog.h"
#include "tools/KMiscTools.h"
#include "window/KQMX.h"

namespace {

constexpr int kFrameWidth = 640;
constexpr int kFrameHeight = 480;
constexpr uint32_t kWhite = 0xFFFFFFFFu;
constexpr size_t kPixels = size_t(kFrameWidth) * kFrameHeight;

// The grab hands pixels to a plain function, so the destination is process-wide
// for the length of one grab.
uint32_t *gGrabInto = nullptr;

void recordPixel(long x, long y, long *r, long *g, long *b) {
  if (!gGrabInto || x < 0 || y < 0 || x >= kFrameWidth || y >= kFrameHeight) return;
  gGrabInto[size_t(y) * kFrameWidth + size_t(x)] =
      (uint32_t(*r) & 0xFFu) | ((uint32_t(*g) & 0xFFu) << 8) | ((uint32_t(*b) & 0xFFu) << 16) |
      0xFF000000u;
}

// Reads the back buffer into rows, top row first. False when the renderer cannot
// grab or its frame is not the game's size.
bool grabFrame(std::vector<uint32_t> &rows) {
  rows.assign(kPixels, kWhite);
  KGraphic *shot = KQMX::createKGraphic();
  if (!shot) return false;
  gGrabInto = rows.data();
  bool ok = shot->grabBackBuffer(recordPixel);
  gGrabInto = nullptr;
  if (ok && (long(shot->getWidth()) != kFrameWidth || long(shot->getHeight()) != kFrameHeight)) {
    logTrouble("print", "the frame is %ldx%ld, not %dx%d", long(shot->getWidth()),
               long(shot->getHeight()), kFrameWidth, kFrameHeight);
    ok = false;
  }
  delete shot;
  return ok;
}

}  // namespace

bool grabScreen(uint32_t *dest) {
  std::vector<uint32_t> rows;
  if (!grabFrame(rows)) return false;
  std::copy(rows.begin(), rows.end(), dest);
  return true;
}

bool screenSnapshot(sSnapshot &out) {
  out.pixels.assign(kPixels, kWhite);
  out.width = kFrameWidth;
  out.height = kFrameHeight;
  if (gameWindow && grabScreen(out.pixels.data())) return true;
  out = sSnapshot();
  return false;
}

namespace {

constexpr uint16_t kPrintScreenKey = 0x2C;  // its virtual-key code
constexpr unsigned long kFlashMs = 1000;

KGraphic *surf_camera = nullptr;
KSound *snd_shutter = nullptr;
bool flashing = false;
unsigned long flashStart = 0;
// Last frame's button and key, so that one press takes one picture.
bool buttonWasDown = true;
bool keyWasDown = true;

bool printScreenDown() {
  KInputSource *source = KInput::source();
  return source && source->keyDown(kPrintScreenKey);
}

void startFlash() {
  flashing = true;
  flashStart = KMiscTools::getMilliseconds();
}

}  // namespace

std::string pictureFolder() {
  const char *documents = KMiscTools::getUserFolder();
  return std::string(documents ? documents : ".") + "/Pabrix";
}

std::string stampedName(std::time_t when) {
  std::tm local{};
  if (const std::tm *t = std::localtime(&when)) local = *t;  // application thread only
  char stamp[64];
  std::strftime(stamp, sizeof stamp, "Pabrix %Y-%m-%d %H-%M-%S", &local);
  return stamp;
}

std::string savePicturePng(const sSnapshot &picture, const std::string &folder,
                           std::time_t when) {
  if (picture.width <= 0 || picture.height <= 0 ||
      picture.pixels.size() != size_t(picture.width) * size_t(picture.height)) {
    return "";
  }
  // The picture is opaque: red, green and blue bytes are enough.
  std::vector<uint8_t> rgb;
  rgb.reserve(picture.pixels.size() * 3);
  for (uint32_t p : picture.pixels) {
    rgb.push_back(uint8_t(p));
    rgb.push_back(uint8_t(p >> 8));
    rgb.push_back(uint8_t(p >> 16));
  }
  std::vector<uint8_t> png;
  auto append = [](void *context, void *data, int size) {
    const uint8_t *bytes = static_cast<const uint8_t *>(data);
    static_cast<std::vector<uint8_t> *>(context)->insert(
        static_cast<std::vector<uint8_t> *>(context)->end(), bytes, bytes + size);
  };
  if (!stbi_write_png_to_func(append, &png, picture.width, picture.height, 3, rgb.data(),
                              picture.width * 3) ||
      png.empty()) {
    return "";
  }
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  if (error) return "";

  const std::string stamp = stampedName(when);
  std::string path;
  for (int n = 1; n < 100; n++) {
    path = folder + "/" + stamp + (n > 1 ? " (" + std::to_string(n) + ")" : "") + ".png";
    if (!std::filesystem::exists(path, error)) break;
  }
  if (std::filesystem::exists(path, error)) return "";
  return writeFileAtomically(path.c_str(), png.data(), png.size()) ? path : "";
}

void initCamera() {
  freeCamera();
  surf_camera = loadScreenPicture("data\\gfx\\camera.tga");
  if (surf_camera) surf_camera->setTextureQuality(true);  // drawn zoomed under the pointer
  snd_shutter = loadScreenSample("data\\audio\\shutter.ogg", 100);
  flashing = false;
  // A button or key still held from the screen before takes no picture.
  buttonWasDown = keyWasDown = true;
}

void freeCamera() {
  deletePicture(surf_camera);
  deleteSample(snd_shutter);
  flashing = false;
}

bool doCamera(short x, short y, TakeSnapshot take, bool handsBusy) {
  const short mx = KInput::getMouseX(), my = KInput::getMouseY();
  const bool over = !handsBusy && mx >= x && mx < x + kCameraButtonSide && my >= y &&
                    my < y + kCameraButtonSide;
  const bool button = KInput::getLeftButtonState();
  const bool key = printScreenDown();
  const bool asked = (over && button && !buttonWasDown) || (key && !keyWasDown);
  buttonWasDown = button;
  keyWasDown = key;

  bool saved = false;
  if (asked && take) {
    sSnapshot picture;
    std::string path;
    if (take(picture)) path = savePicturePng(picture, pictureFolder(), std::time(nullptr));
    if (!path.empty()) {
      saved = true;
      playScreenSample(snd_shutter);
    } else {
      logTrouble("camera", "the picture could not be saved in %s", pictureFolder().c_str());
    }
    // The flash says the button worked even when the folder refused the file.
    startFlash();
  }

  if (surf_camera) {
    const float side = float(kCameraButtonSide);
    if (over) {
      surf_camera->blitAlphaRectFx(0, 0, side, side, x, y, 0, 1.1f, 1, false, false);
    } else {
      surf_camera->blitAlphaRect(0, 0, side, side, x, y, false, false);
    }
  }
  return saved;
}

void drawCameraFlash() {
  if (!flashing || !surf_camera) return;
  const unsigned long age = KMiscTools::getMilliseconds() - flashStart;
  if (age >= kFlashMs) {
    flashing = false;
    return;
  }
  const float left = 1.0f - float(age) / float(kFlashMs);
  surf_camera->drawRect(0, 0, 640, 480, 1, 1, 1, 0.9f * left);
}
