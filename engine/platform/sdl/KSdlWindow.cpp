// SDL2 glue for the game windows: creation and placement, scaled full screen,
// frame-pixel pointer mapping, and the platform half of KNativeWindow's statics.
// The event translation lives in KSdlEvents.cpp. Application thread only (SDL video
// is not thread-safe).
#include "platform/sdl/KSdlWindow.h"

#include <SDL.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#ifdef __linux__
#include <dirent.h>
#include <unistd.h>
#endif

#include "input/KInput.h"
#include "platform/sdl/KSdlKeys.h"
#include "platform/sdl/KSdlX11.h"
#include "tools/KLog.h"

namespace {

bool gPointerVisible = true;  // the wanted system pointer state, also for later windows
bool gPointerOutsideFrame = false;  // last seen over the bars of a scaled frame
// Left-button presses as SDL takes them from the platform, counted when they are
// queued, so a press and release between two polls is still known.
std::atomic<unsigned long> gLeftPresses{0};
// Key presses likewise, by generic virtual-key code (auto-repeats not counted).
std::atomic<unsigned long> gKeyPresses[256];

int countLeftPresses(void *, SDL_Event *e) {
  if (e->type == SDL_MOUSEBUTTONDOWN && e->button.button == SDL_BUTTON_LEFT) gLeftPresses++;
  if (e->type == SDL_KEYDOWN && !e->key.repeat) {
    const unsigned int vk = kVirtualKeyFromSdl(e->key.keysym.sym, e->key.keysym.scancode);
    if (vk > 0 && vk < 256) gKeyPresses[vk]++;
  }
  return 1;
}

void watchLeftPresses() {
  static bool watching = false;
  if (watching) return;
  SDL_AddEventWatch(countLeftPresses, nullptr);
  watching = true;
}

// Sets an environment variable for a while (replacing a value already there
// only when asked), and puts back what was there.
class ScopedEnv {
public:
  ScopedEnv(const char *name, const char *value, bool replace) : _name(name) {
    const char *old = getenv(name);
    _had = old != nullptr;
    if (_had) _old = old;
    _set = replace || !_had;
    if (_set) setenv(name, value, 1);
  }
  ~ScopedEnv() { restore(); }
  void restore() {
    if (!_set) return;
    _set = false;
    if (_had)
      setenv(_name, _old.c_str(), 1);
    else
      unsetenv(_name);
  }

private:
  const char *_name;
  std::string _old;
  bool _had = false, _set = false;
};

bool driverHasFocus() {
  const char *driver = SDL_GetCurrentVideoDriver();
  if (!driver) return false;
  return strcmp(driver, "dummy") != 0 && strcmp(driver, "offscreen") != 0;
}

// The visual an OpenGL window asks for; SDL chooses it when the window is made.
void requestGLVisual(const KNativeWindowOptions &o) {
  SDL_GL_ResetAttributes();
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
  SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, o.glDoubleBuffer ? 1 : 0);
  // The closest visual: 16 bits asks for 5-6-5 at least, 24 or 32 for 8-8-8;
  // anything else takes what the display offers.
  const int bits = o.glColorBits;
  const int r = bits == 16 ? 5 : bits >= 24 && bits <= 32 ? 8 : 0;
  SDL_GL_SetAttribute(SDL_GL_RED_SIZE, r);
  SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, bits == 16 ? 6 : r);
  SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, r);
  SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, 0);
  SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, o.glDepthBits);
  SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 0);
}

}  // namespace

// ---------------------------------------------------------------------------
// Creation and destruction

bool KNativeWindow::initVideo() {
  if (SDL_WasInit(SDL_INIT_VIDEO)) {
    watchLeftPresses();
    return true;
  }
  // Loss of focus is handled by the window procedures themselves.
  SDL_SetHint(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS, "0");
  // The click that brings the window to the front also counts as a click.
  SDL_SetHint(SDL_HINT_MOUSE_FOCUS_CLICKTHROUGH, "1");
  // Window surfaces are the platform's own framebuffer (X11 shared memory): left
  // unset, SDL probes OpenGL with a hidden window to decide, which loads and starts
  // a software OpenGL on every machine without a GPU.
  SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
  // SDL's own SIGTERM/SIGINT handlers would replace the program's (see the
  // platform services), and a second request would then be lost.
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  // Two things SDL starts with video that the first frame does not need. The
  // program takes no text, but SDL opens an input method, and libX11 then parses
  // the locale's whole compose table (about 7 ms): an empty one instead. Without a
  // session bus, SDL's input-method and screen-saver helpers would fork a
  // dbus-launch to start a bus of their own, on which nothing listens: no bus.
  ScopedEnv compose("XCOMPOSEFILE", "/dev/null", true);
  ScopedEnv bus("DBUS_SESSION_BUS_ADDRESS", "disabled:", false);
  const int started = SDL_InitSubSystem(SDL_INIT_VIDEO);
  compose.restore();
  bus.restore();
  if (started != 0) {
    logTrouble("video", "start-up failed: %s", SDL_GetError());
    return false;
  }
  kX11WatchDisplayLoss();
  watchLeftPresses();
  return true;
}

bool KSdlWindow::gpuDriverPresent() {
  const char *driver = SDL_GetCurrentVideoDriver();
  if (!driver || !strcmp(driver, "dummy") || !strcmp(driver, "offscreen")) return false;
#ifdef __linux__
  // Render nodes are the GPUs; their kernel driver names them. The virtual ones
  // only stand in for a GPU (OpenGL on them is Mesa on the processor).
  DIR *dir = opendir("/sys/class/drm");
  if (!dir) return false;
  bool found = false;
  while (dirent *e = readdir(dir)) {
    if (strncmp(e->d_name, "renderD", 7) != 0) continue;
    char path[512], target[512];
    snprintf(path, sizeof path, "/sys/class/drm/%s/device/driver", e->d_name);
    const ssize_t n = readlink(path, target, sizeof target - 1);
    if (n <= 0) continue;
    target[n] = 0;
    const char *name = strrchr(target, '/');
    name = name ? name + 1 : target;
    if (strcmp(name, "vgem") != 0 && strcmp(name, "vkms") != 0) found = true;
  }
  closedir(dir);
  return found;
#else
  return true;  // the renderer's own report decides
#endif
}

KNativeWindow *KNativeWindow::create(const KNativeWindowOptions &o) {
  if (!initVideo()) return nullptr;
  if (o.width <= 0 || o.height <= 0) return nullptr;
  Uint32 flags = 0;
  if (o.opengl) {
    flags |= SDL_WINDOW_OPENGL;
    requestGLVisual(o);
  }
  int x = 0, y = 0, width = o.width, height = o.height;
  SDL_Rect bounds{0, 0, 0, 0};
  if (SDL_GetDisplayBounds(0, &bounds) != 0) bounds = SDL_Rect{0, 0, o.width, o.height};
  if (o.hidden) {
    flags |= SDL_WINDOW_HIDDEN | SDL_WINDOW_BORDERLESS;
    x = y = 30;
  } else if (o.fullscreen) {
    // Full screen is entered after creation, through setFullScreen, so that a
    // display without a window manager is covered the same way as on a toggle;
    // made over the display already, the window is not resized a moment later.
    flags |= SDL_WINDOW_SHOWN | SDL_WINDOW_BORDERLESS;
    x = bounds.x, y = bounds.y, width = bounds.w, height = bounds.h;
  } else {
    flags |= SDL_WINDOW_SHOWN;
    // Centred with halves truncated toward zero, also when the frame is larger.
    x = bounds.x + (bounds.w - o.width) / 2;
    y = bounds.y + (bounds.h - o.height) / 2;
  }
  SDL_Window *w = SDL_CreateWindow(o.title ? o.title : "", x, y, width, height, flags);
  if (!w) {
    logTrouble("video", "window creation failed: %s", SDL_GetError());
    return nullptr;
  }
  KSdlWindow *nw = new KSdlWindow(o, w);
  registerWindow(nw);
  if (!gPointerVisible) SDL_ShowCursor(SDL_DISABLE);
  // Refused, it leaves the display-sized window as the centred frame-sized one.
  if (o.fullscreen && !o.hidden && !nw->setFullScreen(true)) nw->setFullScreen(false);
  return nw;
}

KSdlWindow::KSdlWindow(const KNativeWindowOptions &o, SDL_Window *window)
    : KNativeWindow(o), _window(window), _id(SDL_GetWindowID(window)) {}

KSdlWindow::~KSdlWindow() { SDL_DestroyWindow(_window); }

KSdlWindow *KSdlWindow::fromId(uint32_t id) {
  for (KNativeWindow *w : windows()) {
    KSdlWindow *s = static_cast<KSdlWindow *>(w);
    if (s->_id == id) return s;
  }
  return nullptr;
}

// ---------------------------------------------------------------------------
// Window state

void KSdlWindow::setTitle(const char *title) { SDL_SetWindowTitle(_window, title ? title : ""); }

bool KSdlWindow::isForeground() const {
  if (!driverHasFocus()) return !hidden();
  return (SDL_GetWindowFlags(_window) & SDL_WINDOW_INPUT_FOCUS) != 0;
}

bool KSdlWindow::isMinimized() const {
  return (SDL_GetWindowFlags(_window) & SDL_WINDOW_MINIMIZED) != 0;
}

void KSdlWindow::minimize() { SDL_MinimizeWindow(_window); }

void KSdlWindow::restore() {
  SDL_RestoreWindow(_window);
  SDL_ShowWindow(_window);
}

void KSdlWindow::raise() {
  SDL_RaiseWindow(_window);
  SDL_SetWindowInputFocus(_window);
}

bool KSdlWindow::isFullScreen() const {
  return _placedFullScreen || (SDL_GetWindowFlags(_window) & SDL_WINDOW_FULLSCREEN_DESKTOP) != 0;
}

void KSdlWindow::applyWindowedGeometry() {
  const int display = std::max(0, SDL_GetWindowDisplayIndex(_window));
  SDL_Rect bounds{0, 0, frameWidth(), frameHeight()};
  SDL_GetDisplayBounds(display, &bounds);
  SDL_SetWindowBordered(_window, SDL_TRUE);
  SDL_SetWindowSize(_window, frameWidth(), frameHeight());
  SDL_SetWindowPosition(_window, bounds.x + (bounds.w - frameWidth()) / 2,
                        bounds.y + (bounds.h - frameHeight()) / 2);
}

void KSdlWindow::coverDisplay() {
  const int display = std::max(0, SDL_GetWindowDisplayIndex(_window));
  SDL_Rect bounds{0, 0, frameWidth(), frameHeight()};
  SDL_GetDisplayBounds(display, &bounds);
  SDL_SetWindowBordered(_window, SDL_FALSE);
  SDL_SetWindowPosition(_window, bounds.x, bounds.y);
  SDL_SetWindowSize(_window, bounds.w, bounds.h);
  // SDL drops its window surface when the server's resize notice arrives. Taking
  // that notice now, before the first frame asks for a surface, spares making the
  // full-screen surface (8 MB of shared memory at 1920x1080) twice.
  if (kX11Sync(_window)) SDL_PumpEvents();
}

void KSdlWindow::rendererAttached() {
  if (_placedFullScreen) coverDisplay();
}

bool KSdlWindow::setFullScreen(bool fullscreen) {
  if (hidden()) return false;
  if (fullscreen) {
    if (isFullScreen()) return true;
    if (kX11WithoutWindowManager(_window)) {
      // No window manager to honour the request: cover the display ourselves.
      coverDisplay();
      _placedFullScreen = true;
      return true;
    }
    return SDL_SetWindowFullscreen(_window, SDL_WINDOW_FULLSCREEN_DESKTOP) == 0;
  }
  bool ok = true;
  if (_placedFullScreen)
    _placedFullScreen = false;
  else
    ok = SDL_SetWindowFullscreen(_window, 0) == 0;
  // Leaving full screen keeps the desktop size on some drivers: put the frame-sized
  // client area back in the centre.
  applyWindowedGeometry();
  return ok;
}

void KSdlWindow::drawableSize(int &w, int &h) const {
  w = h = 0;
  SDL_GetWindowSizeInPixels(_window, &w, &h);
  if (w <= 0 || h <= 0) w = frameWidth(), h = frameHeight();
}

void KSdlWindow::windowToFrame(int wx, int wy, int &fx, int &fy) const {
  int ww = 0, wh = 0, dw = 0, dh = 0;
  SDL_GetWindowSize(_window, &ww, &wh);
  drawableSize(dw, dh);
  // Window coordinates are points; the frame rectangle is in drawable pixels.
  const double px = ww > 0 ? (double)wx * dw / ww : wx;
  const double py = wh > 0 ? (double)wy * dh / wh : wy;
  drawableToFrame(px, py, fx, fy);
}

bool KSdlWindow::pointerFromEvents(int &wx, int &wy) const {
  // Inside the window every move reaches SDL as an event, and the frame's input
  // read has just taken them in: its position is as fresh as the button's. On
  // the window's edge it may be clamped (a drag carried outside), so there the
  // X server is asked. Asking every frame cost a menu at rest a round trip to
  // the server, a tenth of its processor time on an idle machine.
  if (SDL_GetMouseFocus() != _window) return false;
  int ww = 0, wh = 0;
  SDL_GetWindowSize(_window, &ww, &wh);
  SDL_GetMouseState(&wx, &wy);
  return wx > 0 && wy > 0 && wx < ww - 1 && wy < wh - 1;
}

void KSdlWindow::pointerInFrame(int &x, int &y) const {
  int wx = 0, wy = 0;
  if (pointerFromEvents(wx, wy)) {
    // Taken from the events.
  } else if (kX11PointerInWindow(_window, wx, wy)) {
    // The X server's answer is current even when the pointer is outside.
  } else if (SDL_GetMouseFocus() == _window) {
    SDL_GetMouseState(&wx, &wy);
  } else {
    // Outside the window only the desktop position is known.
    int gx = 0, gy = 0, px = 0, py = 0;
    SDL_GetGlobalMouseState(&gx, &gy);
    SDL_GetWindowPosition(_window, &px, &py);
    wx = gx - px;
    wy = gy - py;
  }
  windowToFrame(wx, wy, x, y);
}

int KSdlWindow::refreshRate() const {
  SDL_DisplayMode mode;
  const int display = std::max(0, SDL_GetWindowDisplayIndex(_window));
  if (SDL_GetCurrentDisplayMode(display, &mode) == 0 && mode.refresh_rate > 0)
    return mode.refresh_rate;
  return 60;
}

// ---------------------------------------------------------------------------
// Process-wide state

bool KNativeWindow::closePending() {
  for (KNativeWindow *w : windows())
    for (const KMessage &m : w->_queue)
      if (m.message == WM_CLOSE && !w->_hidden) return true;
  if (!SDL_WasInit(SDL_INIT_VIDEO)) return false;
  SDL_PumpEvents();
  if (SDL_PeepEvents(nullptr, 0, SDL_PEEKEVENT, SDL_QUIT, SDL_QUIT) > 0) return true;
  SDL_Event events[64];
  const int n = SDL_PeepEvents(events, 64, SDL_PEEKEVENT, SDL_WINDOWEVENT, SDL_WINDOWEVENT);
  for (int i = 0; i < n; i++) {
    if (events[i].window.event != SDL_WINDOWEVENT_CLOSE) continue;
    KSdlWindow *w = KSdlWindow::fromId(events[i].window.windowID);
    if (w && !w->hidden()) return true;
  }
  return false;
}

bool KNativeWindow::leftButtonHeld() {
  // Fetch what the platform has now: a screen that has just opened must not see
  // the button as it was at the last frame of the screen before.
  SDL_PumpEvents();
  return (SDL_GetMouseState(nullptr, nullptr) & SDL_BUTTON_LMASK) != 0;
}

unsigned long KNativeWindow::leftButtonPresses() { return gLeftPresses.load(); }

unsigned long KNativeWindow::keyPresses(uint16_t virtualKey) {
  const uint16_t vk = kGenericVirtualKey(virtualKey);
  return vk < 256 ? gKeyPresses[vk].load() : 0;
}

void KNativeWindow::setSystemPointerVisible(bool visible) {
  gPointerVisible = visible;
  const bool shown = visible || gPointerOutsideFrame;
  if (SDL_WasInit(SDL_INIT_VIDEO)) SDL_ShowCursor(shown ? SDL_ENABLE : SDL_DISABLE);
}

void KSdlWindow::pointerOutsideFrame(bool outside) {
  if (outside == gPointerOutsideFrame) return;
  gPointerOutsideFrame = outside;
  if (!gPointerVisible && SDL_WasInit(SDL_INIT_VIDEO))
    SDL_ShowCursor(outside ? SDL_ENABLE : SDL_DISABLE);
}

bool KNativeWindow::desktopMode(const KNativeWindow *window, KDesktopMode &out) {
  out = KDesktopMode();
  if (!initVideo()) return false;
  SDL_Window *w = window ? static_cast<const KSdlWindow *>(window)->sdlWindow() : nullptr;
  const int display = w ? std::max(0, SDL_GetWindowDisplayIndex(w)) : 0;
  SDL_DisplayMode mode{};
  if (SDL_GetDesktopDisplayMode(display, &mode) != 0) return false;
  out.bitsPerPixel = (int)SDL_BITSPERPIXEL(mode.format);
  out.width = mode.w;
  out.height = mode.h;
  out.refreshHz = mode.refresh_rate;
  return true;
}

void KNativeWindow::waitForPlatformEvent(int timeoutMs) {
  if (!SDL_WasInit(SDL_INIT_VIDEO)) {
    SDL_Delay((Uint32)std::max(0, timeoutMs));
    return;
  }
  SDL_WaitEventTimeout(nullptr, timeoutMs);
}
