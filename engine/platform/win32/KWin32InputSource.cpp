// KInput's answers on Windows: the system's asynchronous key and button state,
// the cursor in the game window's client area, and the cursor's display counter.
#include "input/KInput.h"
#include "platform/win32/KWin32Window.h"

#include "platform/win32/KWin32.h"

namespace {

class KWin32InputSource : public KInputSource {
public:
  void pointerPosition(int &x, int &y) override {
    // Without a game window there is no client area to be relative to.
    x = y = 0;
    if (KNativeWindow::isWindow(KInput::_hwnd)) KInput::_hwnd->pointerInFrame(x, y);
  }
  bool leftButtonDown() override { return KNativeWindow::leftButtonHeld(); }
  unsigned long leftButtonPresses() override { return KNativeWindow::leftButtonPresses(); }
  unsigned long keyPresses(uint16_t virtualKey) override {
    return KNativeWindow::keyPresses(virtualKey);
  }
  // Through the keyboard layout to the scan code and back, so a left/right code
  // (left Shift) becomes the key's generic code, which either side sets.
  bool keyDown(uint16_t virtualKey) override {
    HKL layout = GetKeyboardLayout(0);
    const UINT scan = MapVirtualKeyExA(virtualKey, MAPVK_VK_TO_VSC, layout);
    UINT code = scan ? MapVirtualKeyExA(scan, MAPVK_VSC_TO_VK, layout) : 0;
    if (code == 0) code = virtualKey;
    return (GetAsyncKeyState((int)code) & 0x8000) != 0;
  }
  void setSystemPointerVisible(bool visible) override {
    KNativeWindow::setSystemPointerVisible(visible);
  }
};

}  // namespace

KInputSource &KNativeWindow::inputSource() {
  static KWin32InputSource source;
  return source;
}
