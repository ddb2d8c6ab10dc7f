// The Win32 window glue (see KWin32Window.h) and the platform half of
// KNativeWindow on Windows. Application thread only.
#include "platform/win32/KWin32Window.h"

#include <cstring>

#include "input/KInput.h"
#include "platform/win32/KWin32.h"
#include "platform/win32/KWin32Session.h"

namespace {

constexpr DWORD kWindowedStyle = WS_VISIBLE | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
constexpr DWORD kFullScreenStyle = WS_POPUP | WS_VISIBLE;
constexpr int kIconResource = 160;

// The desktop's mode before the first switch; the display is one for the process.
DEVMODEA gSavedMode;
bool gModeSwitched = false;

// Presses as the window's messages deliver them, so a press released again
// before the next frame (a touchpad tap, a quick key) is still known; the key and
// button states alone would miss it. Keys by generic virtual-key code.
unsigned long gLeftPresses = 0;
unsigned long gKeyPresses[256] = {};

void countPress(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_LBUTTONDOWN) gLeftPresses++;
  const bool repeat = (lParam & (1L << 30)) != 0;
  if ((message == WM_KEYDOWN || message == WM_SYSKEYDOWN) && !repeat && wParam < 256)
    gKeyPresses[kGenericVirtualKey((uint16_t)wParam)]++;
}

Win32HWND sys(const KWin32Window *w) { return static_cast<Win32HWND>(w->systemHandle()); }

bool currentMode(DEVMODEA &mode) {
  memset(&mode, 0, sizeof mode);
  mode.dmSize = sizeof mode;
  return EnumDisplaySettingsA(nullptr, ENUM_CURRENT_SETTINGS, &mode) != 0;
}

bool tryMode(DEVMODEA mode, DWORD fields) {
  mode.dmFields = fields;
  return ChangeDisplaySettingsA(&mode, CDS_FULLSCREEN) == DISP_CHANGE_SUCCESSFUL;
}

void restoreDesktop() {
  if (!gModeSwitched) return;
  gModeSwitched = false;
  DEVMODEA saved = gSavedMode;
  ChangeDisplaySettingsA(&saved, CDS_FULLSCREEN);
}

// Outer rectangle of a width×height client area in the given style.
RECT outerRect(int width, int height, DWORD style) {
  RECT r{0, 0, width, height};
  AdjustWindowRect(&r, style, FALSE);
  return r;
}

// The messages the engine's window procedures know go to the window's queue,
// where processEvents hands them on one at a time, as on every platform; their
// parameters are small numbers (positions, key codes, flags), never pointers.
// Everything else is the system's, at full width. A close request is queued and
// the window kept: the application decides when it goes. It reaches the close
// request hook at once too, since it may come inside a modal loop that holds the
// queue back (a message box, the print dialog); so does the session's end, which
// saves before the procedure returns.
LRESULT CALLBACK classProc(Win32HWND h, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto *created = static_cast<KWin32Window *>(
        reinterpret_cast<const CREATESTRUCTA *>(lParam)->lpCreateParams);
    SetWindowLongPtrA(h, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(created));
    if (created) created->adoptSystemHandle(h);
  }
  auto *w = reinterpret_cast<KWin32Window *>(GetWindowLongPtrA(h, GWLP_USERDATA));
  if (!w || !KNativeWindow::isWindow(w)) return DefWindowProcA(h, message, wParam, lParam);
  countPress(message, wParam, lParam);
  switch (message) {
    case WM_PAINT:
      // Validated here, as BeginPaint/EndPaint would, so it is not sent again.
      ValidateRect(h, nullptr);
      w->postMessage(message, 0, 0);
      return 0;
    case WM_QUERYENDSESSION:
      return TRUE;
    case WM_ENDSESSION:
      if (wParam && !w->hidden()) kwin32::sessionEnding();
      return 0;
    case WM_CLOSE:
      if (!w->hidden()) kwin32::windowCloseRequest();
      w->postMessage(message, 0, 0);
      return 0;
    case WM_ACTIVATEAPP:
    case WM_KEYDOWN:
    case WM_KEYUP:
    case WM_CHAR:
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP:
    case WM_MOUSEWHEEL:
      w->postMessage(message, (unsigned int)wParam, (long)lParam);
      return 0;
    default:
      return DefWindowProcA(h, message, wParam, lParam);
  }
}

void registerClass(const char *name, bool hidden) {
  WNDCLASSA wc{};
  wc.style = CS_OWNDC;  // one device context for the GL context's lifetime
  wc.lpfnWndProc = classProc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.hIcon = LoadIconA(wc.hInstance, MAKEINTRESOURCEA(kIconResource));
  wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
  wc.hbrBackground = hidden ? nullptr : static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
  wc.lpszClassName = name;
  RegisterClassA(&wc);  // a second window of the same title finds the class there
}

bool selectPixelFormat(HDC dc, const KNativeWindowOptions &o) {
  PIXELFORMATDESCRIPTOR pfd{};
  pfd.nSize = sizeof pfd;
  pfd.nVersion = 1;
  pfd.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | (o.glDoubleBuffer ? PFD_DOUBLEBUFFER : 0);
  pfd.iPixelType = PFD_TYPE_RGBA;
  pfd.cColorBits = (BYTE)(o.glColorBits & 0xFF);
  pfd.cDepthBits = (BYTE)o.glDepthBits;
  pfd.iLayerType = PFD_MAIN_PLANE;
  const int format = ChoosePixelFormat(dc, &pfd);
  return format != 0 && SetPixelFormat(dc, format, &pfd);
}

}  // namespace

// ---------------------------------------------------------------------------
// Creation and destruction

KWin32Window::KWin32Window(const KNativeWindowOptions &options) : KNativeWindow(options) {}

KWin32Window::~KWin32Window() {
  if (_fullScreen) restoreDesktop();
  if (Win32HWND h = sys(this)) {
    SetWindowLongPtrA(h, GWLP_USERDATA, 0);
    DestroyWindow(h);
  }
}

bool KNativeWindow::initVideo() { return true; }

KNativeWindow *KNativeWindow::create(const KNativeWindowOptions &o) {
  if (o.width <= 0 || o.height <= 0) return nullptr;
  const char *title = o.title ? o.title : "";
  registerClass(title, o.hidden);

  auto *nw = new KWin32Window(o);
  registerWindow(nw);
  if (o.fullscreen && !o.hidden) nw->setFullScreen(true);

  DWORD style;
  int x, y, w, h;
  if (o.hidden) {
    style = WS_POPUP;
    x = y = 30;
    w = o.width, h = o.height;
  } else if (nw->_fullScreen) {
    style = kFullScreenStyle;
    x = y = 0;
    w = o.width, h = o.height;
  } else {
    style = kWindowedStyle;
    const RECT r = outerRect(o.width, o.height, style);
    w = r.right - r.left, h = r.bottom - r.top;
    // Centred on the desktop, halves truncated toward zero.
    x = (GetSystemMetrics(SM_CXSCREEN) - w) / 2;
    y = (GetSystemMetrics(SM_CYSCREEN) - h) / 2;
  }
  Win32HWND hw = CreateWindowExA(0, title, title, style, x, y, w, h, nullptr, nullptr,
                                 GetModuleHandleA(nullptr), nw);
  if (!hw) {
    destroy(nw);
    return nullptr;
  }
  nw->_dc = GetDC(hw);
  if (o.opengl && !selectPixelFormat(static_cast<HDC>(nw->_dc), o)) {
    destroy(nw);
    return nullptr;
  }
  if (!o.hidden) {
    ShowWindow(hw, SW_SHOW);
    UpdateWindow(hw);
  }
  return nw;
}

KWin32Window *KWin32Window::fromSystem(void *handle) {
  for (KNativeWindow *w : windows())
    if (static_cast<KWin32Window *>(w)->_system == handle) return static_cast<KWin32Window *>(w);
  return nullptr;
}

// ---------------------------------------------------------------------------
// Window state

void KWin32Window::setTitle(const char *title) { SetWindowTextA(sys(this), title ? title : ""); }

bool KWin32Window::isForeground() const { return _system && GetForegroundWindow() == sys(this); }

bool KWin32Window::isMinimized() const { return IsIconic(sys(this)) != 0; }

void KWin32Window::minimize() { ShowWindow(sys(this), SW_MINIMIZE); }

void KWin32Window::restore() { ShowWindow(sys(this), SW_RESTORE); }

void KWin32Window::raise() {
  ShowWindow(sys(this), SW_RESTORE);
  SetForegroundWindow(sys(this));
  SetFocus(sys(this));
}

bool KNativeWindow::desktopMode(const KNativeWindow *, KDesktopMode &mode) {
  DEVMODEA dm;
  if (!currentMode(dm)) return false;
  mode.bitsPerPixel = (int)dm.dmBitsPerPel;
  mode.width = (int)dm.dmPelsWidth;
  mode.height = (int)dm.dmPelsHeight;
  mode.refreshHz = (int)dm.dmDisplayFrequency;
  return true;
}

bool KWin32Window::setFullScreen(bool fullscreen) {
  if (hidden()) return false;
  if (fullscreen) {
    DEVMODEA dm;
    bool ok = false;
    if (currentMode(dm)) {
      if (!gModeSwitched) gSavedMode = dm;
      // The frame size at 75 Hz, else at the display's own rate; a colour depth
      // the display lacks keeps the desktop's.
      dm.dmPelsWidth = (DWORD)frameWidth();
      dm.dmPelsHeight = (DWORD)frameHeight();
      dm.dmDisplayFrequency = 75;
      const DWORD sized = DM_PELSWIDTH | DM_PELSHEIGHT;
      ok = tryMode(dm, sized | DM_BITSPERPEL | DM_DISPLAYFREQUENCY) ||
           tryMode(dm, sized | DM_BITSPERPEL) || tryMode(dm, sized);
      if (ok) gModeSwitched = true;
    }
    // A display without the frame's mode keeps the window (the caller says so):
    // a frame-sized pop-up in a corner of a larger desktop is no full screen.
    if (!ok) return false;
    _fullScreen = true;
    if (_system) placeFullScreen();
    return true;
  }
  restoreDesktop();
  _fullScreen = false;
  if (_system) placeWindowed();
  return true;
}

void KWin32Window::placeFullScreen() {
  Win32HWND h = sys(this);
  SetWindowLongPtrA(h, GWL_STYLE, (LONG_PTR)kFullScreenStyle);
  SetWindowPos(h, (Win32HWND) nullptr, 0, 0, frameWidth(), frameHeight(),
               SWP_FRAMECHANGED | SWP_SHOWWINDOW);
  UpdateWindow(h);
}

void KWin32Window::placeWindowed() {
  Win32HWND h = sys(this);
  const RECT r = outerRect(frameWidth(), frameHeight(), kWindowedStyle);
  const int w = r.right - r.left, hgt = r.bottom - r.top;
  const int x = (GetSystemMetrics(SM_CXSCREEN) - w) / 2;
  const int y = (GetSystemMetrics(SM_CYSCREEN) - hgt) / 2;
  SetWindowLongPtrA(h, GWL_STYLE, (LONG_PTR)kWindowedStyle);
  SetWindowPos(h, (Win32HWND) nullptr, x, y, w, hgt, SWP_FRAMECHANGED | SWP_SHOWWINDOW);
  UpdateWindow(h);
}

void KWin32Window::drawableSize(int &w, int &h) const {
  RECT r{0, 0, 0, 0};
  GetClientRect(sys(this), &r);
  w = r.right - r.left, h = r.bottom - r.top;
  if (w <= 0 || h <= 0) w = frameWidth(), h = frameHeight();
}

// The client area is the frame (full screen makes the window exactly frame-sized),
// unless the desktop is too small for it.
void KWin32Window::windowToFrame(int wx, int wy, int &fx, int &fy) const {
  drawableToFrame(wx, wy, fx, fy);
}

void KWin32Window::pointerInFrame(int &x, int &y) const {
  POINT p{0, 0};
  GetCursorPos(&p);
  ScreenToClient(sys(this), &p);
  windowToFrame(p.x, p.y, x, y);
}

int KWin32Window::refreshRate() const {
  DEVMODEA dm;
  if (currentMode(dm) && dm.dmDisplayFrequency > 1) return (int)dm.dmDisplayFrequency;
  return 60;
}

bool KNativeWindow::leftButtonHeld() { return (GetAsyncKeyState(VK_LBUTTON) & 0x8000) != 0; }

unsigned long KNativeWindow::leftButtonPresses() { return gLeftPresses; }

unsigned long KNativeWindow::keyPresses(uint16_t virtualKey) {
  const uint16_t vk = kGenericVirtualKey(virtualKey);
  return vk < 256 ? gKeyPresses[vk] : 0;
}

// The display counter moves one step per call: step until it is on the wanted side.
void KNativeWindow::setSystemPointerVisible(bool visible) {
  if (visible)
    while (ShowCursor(TRUE) < 0) {
    }
  else
    while (ShowCursor(FALSE) >= 0) {
    }
}

// ---------------------------------------------------------------------------
// The event source: the thread's message queue

void KNativeWindow::pumpPlatform() {
  MSG m;
  while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
    if (m.message == WM_QUIT) continue;  // the engine's own quit state rules
    TranslateMessage(&m);
    DispatchMessageA(&m);
  }
}

void KNativeWindow::waitForPlatformEvent(int timeoutMs) {
  MsgWaitForMultipleObjects(0, nullptr, FALSE, timeoutMs < 0 ? INFINITE : (DWORD)timeoutMs,
                            QS_ALLINPUT);
}
