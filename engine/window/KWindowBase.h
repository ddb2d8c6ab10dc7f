// KWindowBase: what the two game windows (OpenGL and software Direct3D) do alike:
// the window handle and its state, the message hooks and the front half of the
// window procedure, message processing, focus, minimise and restore, the frame
// clock (which also keeps the frame-rate cap) and the pause while another program
// is in front. Backends add creation,
// drawing and presentation. Application thread only.
#pragma once

#include <cstdint>

#include "platform/KNativeWindow.h"
#include "window/KFrameClock.h"
#include "window/KEventTranslate.h"
#include "window/KWindow.h"

// The display settings a window notes when it takes the display or is asked for a
// colour depth. The desktop's own mode is never changed: full screen is the frame
// scaled to the whole screen.
struct KDisplayMode {
  unsigned long dmFields = 0;  // which of the values below the request named
  long dmBitsPerPel = 0;
  long dmPelsWidth = 0;
  long dmPelsHeight = 0;
  long dmDisplayFrequency = 0;
};

class KWindowBase : public KWindow {
public:
  void processEvents() override;
  bool hasFocus() override;
  void setTitle(const char *title) override;
  bool isQuit() override;
  HWND getWindowHandle() override;
  long getWindowWidth() override;
  long getWindowHeight() override;
  void restore() override;
  void minimize() override;
  void displayMouse(bool mousestate) override;
  void setCallBack(bool (*userProc)(HWND, unsigned int, unsigned int, long)) override;
  void setQMXCallBack(bool (*userProc)(KEvent *)) override;

  // Read-only views for tests and tools.
  float getGamma() const { return _gamma; }
  unsigned long getMaxFrameRate() const { return _maxFrameRate; }
  bool isFullScreen() const override { return _fullscreen; }

protected:
  KWindowBase() = default;
  // The front half of every window procedure: the window object behind hwnd (null
  // for a handle without one), after offering the message to the hooks. consumed
  // is set when a hook took the message: the procedure then returns 0 at once.
  template <typename W>
  static W *windowFor(HWND hwnd, unsigned int message, unsigned int wParam, long lParam,
                      bool &consumed) {
    W *kw = KNativeWindow::isWindow(hwnd) ? static_cast<W *>(hwnd->userData()) : nullptr;
    consumed = kw && !kRunHooks(kw->_userCallback, kw->_qmxCallback, hwnd, message, wParam, lParam);
    return kw;
  }
  // The back half for messages a backend does not handle itself.
  static long defaultMessage(HWND hwnd, unsigned int message, unsigned int wParam, long lParam);
  bool hasWindow() const { return KNativeWindow::isWindow(_hwnd); }
  // Called right before presenting: sleeps until the frame is due on the frame
  // clock. True when it is on time, so the present may wait for the vertical
  // blank; false when it is a frame or more behind (present at once).
  bool paceFrame() { return _clock.waitForFrame(); }
  // The cap: a positive rate below the clock's slows it; anything else leaves 60.
  void setFrameCap(long desiredFrameRate);
  // Full screen could not be had: the game plays in its window, says so once in
  // the log, and reports itself windowed (so a failed full screen is never kept).
  void fullScreenRefused();
  // Paused while another program is in front. A message handled inside the wait
  // does not start a wait of its own, and a close request ends it.
  void waitWhileInBackground();

  HWND _hwnd = nullptr;
  KRawMessageHook _userCallback = nullptr;
  KEventHook _qmxCallback = nullptr;
  bool _quit = false;
  bool _fullscreen = false;
  bool _displayQMXMouse = false;
  int16_t _windowWidth = 0, _windowHeight = 0, _windowDepth = 0;
  unsigned long _maxFrameRate = 0;  // milliseconds per frame, 0 for no cap
  float _gamma = 1.0f;
  KFrameClock _clock;

private:
  bool _inBackgroundWait = false;
};
