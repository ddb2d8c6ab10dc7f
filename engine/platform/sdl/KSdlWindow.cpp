// SDL2 glue for the game windows: creation and placement, scaled full screen,
// frame-pixel pointer mapping, pacing, and the translation of SDL events into the
// per-window message queues. Application thread only (SDL video is not thread-safe).
#include "platform/KNativeWindow.h"

#include <SDL.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <thread>
#include <vector>

#ifdef __linux__
#include <dirent.h>
#include <unistd.h>
#endif

#include "platform/sdl/KSdlKeys.h"
#include "platform/sdl/KSdlX11.h"

namespace {

std::vector<KNativeWindow *> &registry() {
  static std::vector<KNativeWindow *> windows;
  return windows;
}

std::atomic<bool> gPacingEnabled{true};
// Left-button presses as SDL takes them from the platform, counted when they are
// queued, so a press and release between two polls is still known.
std::atomic<unsigned long> gLeftPresses{0};

int countLeftPresses(void *, SDL_Event *e) {
  if (e->type == SDL_MOUSEBUTTONDOWN && e->button.button == SDL_BUTTON_LEFT) gLeftPresses++;
  return 1;
}
bool gPointerVisible = true;  // the wanted system pointer state, also for later windows

// A flood of input (a stuck key repeating while the game is paused) must not grow
// the queue without bound; the oldest ordinary messages give way first.
constexpr size_t kMaxQueued = 4096;

bool driverHasFocus() {
  const char *driver = SDL_GetCurrentVideoDriver();
  if (!driver) return false;
  return strcmp(driver, "dummy") != 0 && strcmp(driver, "offscreen") != 0;
}

unsigned int modifierFlags(Uint32 buttons) {
  unsigned int flags = 0;
  if (buttons & SDL_BUTTON_LMASK) flags |= MK_LBUTTON;
  if (buttons & SDL_BUTTON_RMASK) flags |= MK_RBUTTON;
  if (buttons & SDL_BUTTON_MMASK) flags |= MK_MBUTTON;
  const SDL_Keymod mods = SDL_GetModState();
  if (mods & KMOD_SHIFT) flags |= MK_SHIFT;
  if (mods & KMOD_CTRL) flags |= MK_CONTROL;
  return flags;
}

// Decodes one UTF-8 sequence; returns its length (at least 1) and the code point,
// or U+FFFD for a malformed sequence.
int decodeUtf8(const unsigned char *s, unsigned int &cp) {
  const unsigned char c = s[0];
  int len = 1;
  if (c < 0x80) {
    cp = c;
    return 1;
  } else if ((c & 0xE0) == 0xC0) {
    cp = c & 0x1F, len = 2;
  } else if ((c & 0xF0) == 0xE0) {
    cp = c & 0x0F, len = 3;
  } else if ((c & 0xF8) == 0xF0) {
    cp = c & 0x07, len = 4;
  } else {
    cp = 0xFFFD;
    return 1;
  }
  for (int i = 1; i < len; i++) {
    if ((s[i] & 0xC0) != 0x80) {
      cp = 0xFFFD;
      return i;
    }
    cp = (cp << 6) | (s[i] & 0x3F);
  }
  return len;
}

}  // namespace

// ---------------------------------------------------------------------------
// Pacing

void KFramePacer::setEnabled(bool enabled) { gPacingEnabled = enabled; }
bool KFramePacer::enabled() { return gPacingEnabled; }

void KFramePacer::wait(int refreshHz, bool hardwareSync) {
  if (refreshHz <= 0) refreshHz = 60;
  const Clock::duration period = std::chrono::duration_cast<Clock::duration>(
      std::chrono::duration<double>((hardwareSync ? 0.9 : 1.0) / refreshHz));
  Clock::time_point now = Clock::now();
  if (!_started || !gPacingEnabled) {
    _started = true;
    _last = now;
    return;
  }
  const Clock::time_point deadline = _last + period;
  if (now < deadline) {
    std::this_thread::sleep_until(deadline);
    _last = deadline;  // keep the cadence even when the sleep overshoots a little
  } else if (now - deadline < period) {
    _last = deadline;
  } else {
    _last = now;  // a long frame: start again from here rather than rush to catch up
  }
}

// ---------------------------------------------------------------------------
// Creation and destruction

static void watchLeftPresses() {
  static bool watching = false;
  if (watching) return;
  SDL_AddEventWatch(countLeftPresses, nullptr);
  watching = true;
}

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
  if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
    fprintf(stderr, "video start-up failed: %s\n", SDL_GetError());
    return false;
  }
  watchLeftPresses();
  return true;
}

bool KNativeWindow::gpuDriverPresent() {
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
  if (o.opengl) flags |= SDL_WINDOW_OPENGL;
  int x = 0, y = 0;
  SDL_Rect bounds{0, 0, 0, 0};
  if (SDL_GetDisplayBounds(0, &bounds) != 0) bounds = SDL_Rect{0, 0, o.width, o.height};
  if (o.hidden) {
    flags |= SDL_WINDOW_HIDDEN | SDL_WINDOW_BORDERLESS;
    x = y = 30;
  } else {
    // Full screen is entered after creation, through setFullScreen, so that a
    // display without a window manager is covered the same way as on a toggle.
    flags |= SDL_WINDOW_SHOWN;
    // Centred with halves truncated toward zero, also when the frame is larger.
    x = bounds.x + (bounds.w - o.width) / 2;
    y = bounds.y + (bounds.h - o.height) / 2;
  }
  SDL_Window *w = SDL_CreateWindow(o.title ? o.title : "", x, y, o.width, o.height, flags);
  if (!w) {
    fprintf(stderr, "window creation failed: %s\n", SDL_GetError());
    return nullptr;
  }
  KNativeWindow *nw = new KNativeWindow();
  nw->_window = w;
  nw->_id = SDL_GetWindowID(w);
  nw->_proc = o.proc;
  nw->_frameW = o.width;
  nw->_frameH = o.height;
  nw->_hidden = o.hidden;
  registry().push_back(nw);
  if (!gPointerVisible) SDL_ShowCursor(SDL_DISABLE);
  if (o.fullscreen && !o.hidden) nw->setFullScreen(true);
  return nw;
}

void KNativeWindow::destroy(HWND hwnd) {
  if (!isWindow(hwnd)) return;
  if (hwnd->_proc) hwnd->_proc(hwnd, WM_DESTROY, 0, 0);
  auto &reg = registry();
  reg.erase(std::remove(reg.begin(), reg.end(), hwnd), reg.end());
  SDL_DestroyWindow(hwnd->_window);
  delete hwnd;
}

bool KNativeWindow::isWindow(HWND hwnd) {
  if (!hwnd) return false;
  const auto &reg = registry();
  return std::find(reg.begin(), reg.end(), hwnd) != reg.end();
}

KNativeWindow *KNativeWindow::fromId(uint32_t id) {
  for (KNativeWindow *w : registry())
    if (w->_id == id) return w;
  return nullptr;
}

// ---------------------------------------------------------------------------
// Window state

void KNativeWindow::setTitle(const char *title) { SDL_SetWindowTitle(_window, title ? title : ""); }

bool KNativeWindow::isForeground() const {
  if (!driverHasFocus()) return !_hidden;
  return (SDL_GetWindowFlags(_window) & SDL_WINDOW_INPUT_FOCUS) != 0;
}

bool KNativeWindow::isMinimized() const {
  return (SDL_GetWindowFlags(_window) & SDL_WINDOW_MINIMIZED) != 0;
}

void KNativeWindow::minimize() { SDL_MinimizeWindow(_window); }

void KNativeWindow::restore() {
  SDL_RestoreWindow(_window);
  SDL_ShowWindow(_window);
}

void KNativeWindow::raise() {
  SDL_RaiseWindow(_window);
  SDL_SetWindowInputFocus(_window);
}

bool KNativeWindow::isFullScreen() const {
  return _placedFullScreen || (SDL_GetWindowFlags(_window) & SDL_WINDOW_FULLSCREEN_DESKTOP) != 0;
}

void KNativeWindow::applyWindowedGeometry() {
  const int display = std::max(0, SDL_GetWindowDisplayIndex(_window));
  SDL_Rect bounds{0, 0, _frameW, _frameH};
  SDL_GetDisplayBounds(display, &bounds);
  SDL_SetWindowBordered(_window, SDL_TRUE);
  SDL_SetWindowSize(_window, _frameW, _frameH);
  SDL_SetWindowPosition(_window, bounds.x + (bounds.w - _frameW) / 2,
                        bounds.y + (bounds.h - _frameH) / 2);
}

void KNativeWindow::coverDisplay() {
  const int display = std::max(0, SDL_GetWindowDisplayIndex(_window));
  SDL_Rect bounds{0, 0, _frameW, _frameH};
  SDL_GetDisplayBounds(display, &bounds);
  SDL_SetWindowBordered(_window, SDL_FALSE);
  SDL_SetWindowPosition(_window, bounds.x, bounds.y);
  SDL_SetWindowSize(_window, bounds.w, bounds.h);
}

void KNativeWindow::rendererAttached() {
  if (_placedFullScreen) coverDisplay();
}

bool KNativeWindow::setFullScreen(bool fullscreen) {
  if (_hidden) return false;
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

void KNativeWindow::drawableSize(int &w, int &h) const {
  w = h = 0;
  SDL_GetWindowSizeInPixels(_window, &w, &h);
  if (w <= 0 || h <= 0) w = _frameW, h = _frameH;
}

void KNativeWindow::frameRect(int &x, int &y, int &w, int &h) const {
  int dw = 0, dh = 0;
  drawableSize(dw, dh);
  if (dw == _frameW && dh == _frameH) {
    x = y = 0, w = dw, h = dh;
    return;
  }
  const double scale = std::min((double)dw / _frameW, (double)dh / _frameH);
  w = std::max(1, (int)std::lround(_frameW * scale));
  h = std::max(1, (int)std::lround(_frameH * scale));
  x = (dw - w) / 2;
  y = (dh - h) / 2;
}

void KNativeWindow::windowToFrame(int wx, int wy, int &fx, int &fy) const {
  int ww = 0, wh = 0, dw = 0, dh = 0;
  SDL_GetWindowSize(_window, &ww, &wh);
  drawableSize(dw, dh);
  // Window coordinates are points; the frame rectangle is in drawable pixels.
  const double px = ww > 0 ? (double)wx * dw / ww : wx;
  const double py = wh > 0 ? (double)wy * dh / wh : wy;
  int rx, ry, rw, rh;
  frameRect(rx, ry, rw, rh);
  fx = (int)std::floor((px - rx) * _frameW / rw);
  fy = (int)std::floor((py - ry) * _frameH / rh);
}

void KNativeWindow::pointerInFrame(int &x, int &y) const {
  int wx = 0, wy = 0;
  if (kX11PointerInWindow(_window, wx, wy)) {
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

bool KNativeWindow::leftButtonHeld() {
  // Fetch what the platform has now: a screen that has just opened must not see
  // the button as it was at the last frame of the screen before.
  SDL_PumpEvents();
  return (SDL_GetMouseState(nullptr, nullptr) & SDL_BUTTON_LMASK) != 0;
}

unsigned long KNativeWindow::leftButtonPresses() { return gLeftPresses.load(); }

void KNativeWindow::setSystemPointerVisible(bool visible) {
  gPointerVisible = visible;
  if (SDL_WasInit(SDL_INIT_VIDEO)) SDL_ShowCursor(visible ? SDL_ENABLE : SDL_DISABLE);
}

int KNativeWindow::refreshRate() const {
  SDL_DisplayMode mode;
  const int display = std::max(0, SDL_GetWindowDisplayIndex(_window));
  if (SDL_GetCurrentDisplayMode(display, &mode) == 0 && mode.refresh_rate > 0)
    return mode.refresh_rate;
  return 60;
}

// ---------------------------------------------------------------------------
// Messages

void KNativeWindow::enqueue(const KMessage &msg) {
  switch (msg.message) {
    case WM_MOUSEMOVE:
      // Only the newest position matters; a motion flood collapses into one message.
      if (!_queue.empty() && _queue.back().message == WM_MOUSEMOVE) {
        _queue.back() = msg;
        return;
      }
      break;
    case WM_CLOSE:
      // A close request goes ahead of everything already waiting.
      for (const KMessage &m : _queue)
        if (m.message == WM_CLOSE) return;
      _queue.push_front(msg);
      return;
    case WM_PAINT:
      for (const KMessage &m : _queue)
        if (m.message == WM_PAINT) return;
      break;
    default:
      break;
  }
  if (_queue.size() >= kMaxQueued) {
    auto it = std::find_if(_queue.begin(), _queue.end(), [](const KMessage &m) {
      return m.message != WM_CLOSE && m.message != WM_QUIT;
    });
    if (it != _queue.end()) _queue.erase(it);
  }
  _queue.push_back(msg);
}

void KNativeWindow::postMessage(unsigned int message, unsigned int wParam, long lParam) {
  KMessage m;
  m.hwnd = message == WM_QUIT ? nullptr : this;
  m.message = message;
  m.wParam = wParam;
  m.lParam = lParam;
  enqueue(m);
}

void KNativeWindow::translate(const void *p) {
  const SDL_Event &e = *static_cast<const SDL_Event *>(p);
  auto post = [](KNativeWindow *w, unsigned int msg, unsigned int wp, long lp) {
    if (w) w->postMessage(msg, wp, lp);
  };
  // Pointer coordinates of an event, in frame pixels. A renderer with a logical
  // size has already rescaled them to that size.
  auto eventToFrame = [](KNativeWindow *w, int ex, int ey, int &fx, int &fy) {
    SDL_Renderer *r = SDL_GetRenderer(w->_window);
    int lw = 0, lh = 0;
    if (r) SDL_RenderGetLogicalSize(r, &lw, &lh);
    if (lw > 0 && lh > 0) {
      fx = ex * w->_frameW / lw, fy = ey * w->_frameH / lh;
    } else {
      w->windowToFrame(ex, ey, fx, fy);
    }
  };

  switch (e.type) {
    case SDL_QUIT:
      for (KNativeWindow *w : registry())
        if (!w->_hidden) post(w, WM_CLOSE, 0, 0);
      break;
    case SDL_WINDOWEVENT: {
      KNativeWindow *w = fromId(e.window.windowID);
      if (!w) break;
      switch (e.window.event) {
        case SDL_WINDOWEVENT_CLOSE: post(w, WM_CLOSE, 0, 0); break;
        case SDL_WINDOWEVENT_EXPOSED:
          ++w->_exposures;
          post(w, WM_PAINT, 0, 0);
          break;
        case SDL_WINDOWEVENT_SHOWN: post(w, WM_SHOWWINDOW, 1, 0); break;
        case SDL_WINDOWEVENT_HIDDEN: post(w, WM_SHOWWINDOW, 0, 0); break;
        case SDL_WINDOWEVENT_MOVED:
          post(w, WM_MOVE, 0, makePointerLParam(e.window.data1, e.window.data2));
          break;
        case SDL_WINDOWEVENT_SIZE_CHANGED:
          post(w, WM_SIZE, SIZE_RESTORED, makePointerLParam(e.window.data1, e.window.data2));
          break;
        case SDL_WINDOWEVENT_MINIMIZED: post(w, WM_SIZE, SIZE_MINIMIZED, 0); break;
        case SDL_WINDOWEVENT_MAXIMIZED: post(w, WM_SIZE, SIZE_MAXIMIZED, 0); break;
        case SDL_WINDOWEVENT_RESTORED: post(w, WM_SIZE, SIZE_RESTORED, 0); break;
        case SDL_WINDOWEVENT_LEAVE: post(w, WM_MOUSELEAVE, 0, 0); break;
        case SDL_WINDOWEVENT_FOCUS_GAINED: post(w, WM_ACTIVATEAPP, 1, 0); break;
        case SDL_WINDOWEVENT_FOCUS_LOST: post(w, WM_ACTIVATEAPP, 0, 0); break;
        default: break;
      }
      break;
    }
    case SDL_KEYDOWN:
    case SDL_KEYUP: {
      KNativeWindow *w = fromId(e.key.windowID);
      if (!w) break;
      const unsigned int vk = kVirtualKeyFromSdl(e.key.keysym.sym, e.key.keysym.scancode);
      long lp = 1 | ((long)(e.key.keysym.scancode & 0xFF) << 16);
      if (e.type == SDL_KEYUP) {
        lp |= (1L << 30) | (long)(1UL << 31);
        post(w, WM_KEYUP, vk, (long)(int32_t)lp);
        break;
      }
      if (e.key.repeat) lp |= 1L << 30;
      post(w, WM_KEYDOWN, vk, (long)(int32_t)lp);
      // Keys that type a control character, which SDL's text input does not report.
      unsigned int ch = 0;
      if (vk == 0x0D) ch = 13;
      else if (vk == 0x08) ch = 8;
      else if (vk == 0x09) ch = 9;
      else if (vk == 0x1B) ch = 27;
      if (ch) post(w, WM_CHAR, ch, (long)(int32_t)lp);
      break;
    }
    case SDL_TEXTINPUT: {
      KNativeWindow *w = fromId(e.text.windowID);
      if (!w) break;
      const unsigned char *s = (const unsigned char *)e.text.text;
      size_t i = 0;
      const size_t n = strnlen(e.text.text, sizeof(e.text.text));
      while (i < n) {
        unsigned int cp = 0;
        i += (size_t)decodeUtf8(s + i, cp);
        post(w, WM_CHAR, cp, 1);
      }
      break;
    }
    case SDL_MOUSEMOTION: {
      KNativeWindow *w = fromId(e.motion.windowID);
      if (!w) break;
      int fx, fy;
      eventToFrame(w, e.motion.x, e.motion.y, fx, fy);
      post(w, WM_MOUSEMOVE, modifierFlags(e.motion.state), makePointerLParam(fx, fy));
      break;
    }
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP: {
      KNativeWindow *w = fromId(e.button.windowID);
      if (!w) break;
      const bool down = e.type == SDL_MOUSEBUTTONDOWN;
      unsigned int msg = 0;
      switch (e.button.button) {
        case SDL_BUTTON_LEFT: msg = down ? WM_LBUTTONDOWN : WM_LBUTTONUP; break;
        case SDL_BUTTON_RIGHT: msg = down ? WM_RBUTTONDOWN : WM_RBUTTONUP; break;
        case SDL_BUTTON_MIDDLE: msg = down ? WM_MBUTTONDOWN : WM_MBUTTONUP; break;
        default: msg = down ? WM_XBUTTONDOWN : WM_XBUTTONUP; break;
      }
      int fx, fy;
      eventToFrame(w, e.button.x, e.button.y, fx, fy);
      post(w, msg, modifierFlags(SDL_GetMouseState(nullptr, nullptr)), makePointerLParam(fx, fy));
      break;
    }
    case SDL_MOUSEWHEEL: {
      KNativeWindow *w = fromId(e.wheel.windowID);
      if (!w) break;
      const float sign = e.wheel.direction == SDL_MOUSEWHEEL_FLIPPED ? -1.0f : 1.0f;
      int dy = (int)std::lround(e.wheel.preciseY * sign * WHEEL_DELTA);
      int dx = (int)std::lround(e.wheel.preciseX * sign * WHEEL_DELTA);
      if (dy == 0 && e.wheel.y != 0) dy = (int)(e.wheel.y * sign) * WHEEL_DELTA;
      if (dx == 0 && e.wheel.x != 0) dx = (int)(e.wheel.x * sign) * WHEEL_DELTA;
      dy = std::clamp(dy, -32768, 32767);
      dx = std::clamp(dx, -32768, 32767);
      int px, py;
      w->pointerInFrame(px, py);
      const unsigned int flags = modifierFlags(SDL_GetMouseState(nullptr, nullptr));
      if (dy != 0)
        post(w, WM_MOUSEWHEEL, ((unsigned int)(uint16_t)(int16_t)dy << 16) | flags,
             makePointerLParam(px, py));
      if (dx != 0)
        post(w, WM_MOUSEHWHEEL, ((unsigned int)(uint16_t)(int16_t)dx << 16) | flags,
             makePointerLParam(px, py));
      break;
    }
    default:
      break;
  }
}

void KNativeWindow::pumpPlatform() {
  if (!SDL_WasInit(SDL_INIT_VIDEO)) return;
  SDL_PumpEvents();
  SDL_Event events[64];
  int n = 0;
  while ((n = SDL_PeepEvents(events, 64, SDL_GETEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT)) > 0)
    for (int i = 0; i < n; i++) translate(&events[i]);
}

bool KNativeWindow::peekMessage(KMessage &msg) {
  pumpPlatform();
  if (_queue.empty()) return false;
  msg = _queue.front();
  _queue.pop_front();
  return true;
}

bool KNativeWindow::waitMessage(KMessage &msg, int timeoutMs) {
  const Uint64 start = SDL_GetTicks64();
  for (;;) {
    if (peekMessage(msg)) return true;
    int wait = -1;
    if (timeoutMs >= 0) {
      const Uint64 elapsed = SDL_GetTicks64() - start;
      if (elapsed >= (Uint64)timeoutMs) return false;
      wait = (int)((Uint64)timeoutMs - elapsed);
    }
    // Wake at least every 100 ms: another window may have taken our events.
    SDL_WaitEventTimeout(nullptr, wait < 0 ? 100 : std::min(wait, 100));
  }
}

long KNativeWindow::dispatchMessage(const KMessage &msg) {
  if (!isWindow(msg.hwnd) || !msg.hwnd->_proc) return 0;
  return msg.hwnd->_proc(msg.hwnd, msg.message, msg.wParam, msg.lParam);
}

long KNativeWindow::defaultProc(HWND, unsigned int, unsigned int, long) { return 0; }
