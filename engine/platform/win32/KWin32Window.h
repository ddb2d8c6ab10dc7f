// The Win32 implementation of KNativeWindow (see platform/KNativeWindow.h): a
// registered window class per title, the captioned fixed-size window centred on
// the desktop, full screen as a WS_POPUP window at (0, 0) over a display switched
// with ChangeDisplaySettings (and switched back), and the class procedure that
// hands the engine's messages to the window's queue and everything else to
// DefWindowProcA at full width. No windows.h here. Application thread only.
#pragma once

#include "platform/KNativeWindow.h"

class KWin32Window : public KNativeWindow {
public:
  // The system's window handle and the device context GL draws on (CS_OWNDC: one
  // for the window's lifetime); void * so this header needs no windows.h.
  void *systemHandle() const { return _system; }
  void *deviceContext() const { return _dc; }

  void setTitle(const char *title) override;
  bool isForeground() const override;
  bool isMinimized() const override;
  void minimize() override;
  void restore() override;
  void raise() override;
  // Full screen: the display at the frame size (75 Hz, else its own rate; a depth
  // it lacks keeps the desktop's), the window a pop-up at (0, 0); a display without
  // that size stays as it is, the window too, and the answer is false.
  // Windowed: the saved desktop mode back, the captioned window centred.
  bool setFullScreen(bool fullscreen) override;
  bool isFullScreen() const override { return _fullScreen; }
  void drawableSize(int &w, int &h) const override;
  void windowToFrame(int wx, int wy, int &fx, int &fy) const override;
  void pointerInFrame(int &x, int &y) const override;
  int refreshRate() const override;

  // The engine window of a system handle; null for anything else.
  static KWin32Window *fromSystem(void *handle);
  // Called by the class procedure as the window is being created.
  void adoptSystemHandle(void *handle) { _system = handle; }

private:
  friend struct KNativeWindow;
  explicit KWin32Window(const KNativeWindowOptions &options);
  ~KWin32Window() override;
  void placeWindowed();
  void placeFullScreen();

  void *_system = nullptr;  // Win32HWND
  void *_dc = nullptr;      // HDC
  bool _fullScreen = false;
};

// The Win32 window under a game window handle; null for anything else.
inline KWin32Window *kWin32Window(HWND hwnd) {
  return KNativeWindow::isWindow(hwnd) ? static_cast<KWin32Window *>(hwnd) : nullptr;
}
