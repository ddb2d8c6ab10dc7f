// The half of the game windows both backends share (see KWindowBase.h).
#include "window/KWindowBase.h"

#include <cstdio>
#include <cstdlib>

#include "input/KInput.h"
#include "tools/KLog.h"

namespace {
// Off unless PABRIX_PUMP_FILE names a file: how many times the events have been
// pumped (once a frame, and on and on while a press is held to its release),
// rewritten each time, so scripts driving the program can wait until it has
// taken in their input instead of sleeping a fixed time.
void reportPump() {
  static std::FILE *file = [] {
    const char *path = std::getenv("PABRIX_PUMP_FILE");
    return path && *path ? std::fopen(path, "w") : nullptr;
  }();
  static unsigned long pumps = 0;
  if (!file) return;
  // The count only grows, so writing over it from the start leaves no old digits.
  std::rewind(file);
  std::fprintf(file, "%lu\n", ++pumps);
  std::fflush(file);
}
}  // namespace

void KWindowBase::processEvents() {
  if (!hasWindow()) return;
  KMessage msg;
  if (_hwnd->peekMessage(msg)) KNativeWindow::dispatchMessage(msg);
  KInput::eventsPumped();
  reportPump();
}

bool KWindowBase::hasFocus() { return hasWindow() && _hwnd->isForeground(); }

void KWindowBase::setTitle(const char *title) {
  if (hasWindow()) _hwnd->setTitle(title ? title : "");
}

bool KWindowBase::isQuit() { return _quit; }

HWND KWindowBase::getWindowHandle() { return _hwnd; }

long KWindowBase::getWindowWidth() { return _windowWidth; }

long KWindowBase::getWindowHeight() { return _windowHeight; }

void KWindowBase::restore() {
  if (hasWindow()) _hwnd->restore();
}

void KWindowBase::minimize() {
  if (hasWindow()) _hwnd->minimize();
}

void KWindowBase::displayMouse(bool mousestate) { _displayQMXMouse = mousestate; }

void KWindowBase::setCallBack(bool (*userProc)(HWND, unsigned int, unsigned int, long)) {
  _userCallback = userProc;
}

void KWindowBase::setQMXCallBack(bool (*userProc)(KEvent *)) { _qmxCallback = userProc; }

long KWindowBase::defaultMessage(HWND hwnd, unsigned int message, unsigned int wParam,
                                 long lParam) {
  if (message == WM_MOUSEWHEEL) {
    KInput::setLastWheelValue(wheelDeltaFromWParam(wParam));
    return 0;
  }
  return KNativeWindow::defaultProc(hwnd, message, wParam, lParam);
}

void KWindowBase::setFrameCap(long desiredFrameRate) {
  _maxFrameRate = desiredFrameRate > 0 ? (unsigned long)(1000 / desiredFrameRate) : 0;
  _clock.setRate(desiredFrameRate > 0 && desiredFrameRate <= 1000 ? int(desiredFrameRate) : 0);
}

void KWindowBase::fullScreenRefused() {
  logTrouble("video", "full screen at %dx%d is not available; playing in a window",
             int(_windowWidth), int(_windowHeight));
  _fullscreen = false;
}

void KWindowBase::waitWhileInBackground() {
  if (_inBackgroundWait) return;
  _inBackgroundWait = true;
  bool paused = false;
  KMessage msg;
  while (!_quit && hasWindow() && !_hwnd->isForeground()) {
    if (_hwnd->waitMessage(msg, 100)) KNativeWindow::dispatchMessage(msg);
    paused = true;
  }
  // The time away is not made up for.
  if (paused) _clock.restart();
  _inBackgroundWait = false;
}
