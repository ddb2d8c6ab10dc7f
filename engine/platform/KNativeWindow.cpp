// The platform-independent half of KNativeWindow: the registry of open windows, the
// per-window message queue, and frame geometry. Application
// thread only.
#include "platform/KNativeWindow.h"

#include <algorithm>
#include <chrono>
#include <cmath>

namespace {

std::deque<KNativeWindow *> &registry() {
  static std::deque<KNativeWindow *> windows;
  return windows;
}

// A flood of input (a stuck key repeating while the game is paused) must not grow
// the queue without bound; the oldest ordinary messages give way first.
constexpr size_t kMaxQueued = 4096;

}  // namespace

// ---------------------------------------------------------------------------
// Registry

KNativeWindow::KNativeWindow(const KNativeWindowOptions &o)
    : _proc(o.proc), _frameW(o.width), _frameH(o.height), _hidden(o.hidden) {}

KNativeWindow::~KNativeWindow() = default;

void KNativeWindow::registerWindow(KNativeWindow *window) { registry().push_back(window); }

const std::deque<KNativeWindow *> &KNativeWindow::windows() { return registry(); }

void KNativeWindow::destroy(HWND hwnd) {
  if (!isWindow(hwnd)) return;
  if (hwnd->_proc) hwnd->_proc(hwnd, WM_DESTROY, 0, 0);
  auto &reg = registry();
  reg.erase(std::remove(reg.begin(), reg.end(), hwnd), reg.end());
  delete hwnd;
}

bool KNativeWindow::isWindow(HWND hwnd) {
  if (!hwnd) return false;
  const auto &reg = registry();
  return std::find(reg.begin(), reg.end(), hwnd) != reg.end();
}

// ---------------------------------------------------------------------------
// Geometry

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

void KNativeWindow::drawableToFrame(double px, double py, int &fx, int &fy) const {
  int rx, ry, rw, rh;
  frameRect(rx, ry, rw, rh);
  fx = (int)std::floor((px - rx) * _frameW / rw);
  fy = (int)std::floor((py - ry) * _frameH / rh);
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

bool KNativeWindow::peekMessage(KMessage &msg) {
  pumpPlatform();
  if (_queue.empty()) return false;
  msg = _queue.front();
  _queue.pop_front();
  return true;
}

bool KNativeWindow::waitMessage(KMessage &msg, int timeoutMs) {
  const auto start = std::chrono::steady_clock::now();
  for (;;) {
    if (peekMessage(msg)) return true;
    int wait = -1;
    if (timeoutMs >= 0) {
      const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
                               std::chrono::steady_clock::now() - start)
                               .count();
      if (elapsed >= timeoutMs) return false;
      wait = (int)(timeoutMs - elapsed);
    }
    // Wake at least every 100 ms: another window may have taken our events.
    waitForPlatformEvent(wait < 0 ? 100 : std::min(wait, 100));
  }
}

long KNativeWindow::dispatchMessage(const KMessage &msg) {
  if (!isWindow(msg.hwnd) || !msg.hwnd->_proc) return 0;
  return msg.hwnd->_proc(msg.hwnd, msg.message, msg.wParam, msg.lParam);
}

long KNativeWindow::defaultProc(HWND, unsigned int, unsigned int, long) { return 0; }
