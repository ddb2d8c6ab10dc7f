// KPlatform on Windows: MessageBoxA over the foreground window, ShellExecuteA
// for addresses, and WGL contexts on the game window's device context. There is
// no software Direct3D device here. Application thread only.
#include "platform/KPlatform.h"
#include "platform/win32/KWin32Window.h"

#include "platform/win32/KWin32.h"
#include "platform/win32/KWin32Session.h"

#include <cstring>

namespace {

// The modal closer's state: one modal window at a time on the application thread.
bool (*gCloseEarly)() = nullptr;
bool gClosedEarly = false;

// A modal window of this thread: a dialog-class window that is shown and enabled
// (its owner is disabled while it runs).
BOOL CALLBACK closeModal(Win32HWND window, LPARAM) {
  char name[16] = {0};
  if (IsWindowVisible(window) && IsWindowEnabled(window) && GetClassNameA(window, name, sizeof name) &&
      strcmp(name, "#32770") == 0) {
    PostMessageA(window, WM_CLOSE, 0, 0);
    gClosedEarly = true;
  }
  return TRUE;
}

VOID CALLBACK pollCloseEarly(Win32HWND, UINT, UINT_PTR, DWORD) {
  if (!gCloseEarly || gClosedEarly || !gCloseEarly()) return;
  EnumThreadWindows(GetCurrentThreadId(), closeModal, 0);
}

HDC dcOf(HWND window) {
  KWin32Window *w = kWin32Window(window);
  return w ? static_cast<HDC>(w->deviceContext()) : nullptr;
}
}  // namespace

bool KPlatform::hasDisplay() { return true; }

void KPlatform::sleepMicros(int64_t micros) {
  if (micros <= 0) return;
  // Sleep's default granularity is the 15.6 ms system tick, which would turn a
  // 16.7 ms frame into two ticks: ask for 1 ms once, for the rest of the run.
  static const bool fine = timeBeginPeriod(1) == TIMERR_NOERROR;
  (void)fine;
  Sleep(DWORD((micros + 999) / 1000));
}

bool KPlatform::messageBox(const char *title, const char *text, bool (*closeEarly)(),
                           bool *closedEarly) {
  kwin32::ModalCloser closer(closeEarly);
  MessageBoxA(GetForegroundWindow(), text ? text : "", title ? title : "", MB_OK);
  if (closedEarly) *closedEarly = closer.closed();
  return true;
}

kwin32::ModalCloser::ModalCloser(bool (*closeEarly)()) {
  gCloseEarly = closeEarly;
  gClosedEarly = false;
  if (closeEarly) _timer = SetTimer(nullptr, 0, 200, pollCloseEarly);
}

kwin32::ModalCloser::~ModalCloser() {
  if (_timer) KillTimer(nullptr, UINT_PTR(_timer));
  gCloseEarly = nullptr;
}

bool kwin32::ModalCloser::closed() const { return gClosedEarly; }

void KPlatform::openURL(const char *url) {
  ShellExecuteA(nullptr, "open", url, nullptr, nullptr, SW_SHOWNORMAL);
}

void *KPlatform::glCreateContext(HWND window) {
  HDC dc = dcOf(window);
  return dc ? static_cast<void *>(wglCreateContext(dc)) : nullptr;
}

void KPlatform::glDeleteContext(HWND window, void *context) {
  if (!context) return;
  if (wglGetCurrentContext() == static_cast<HGLRC>(context)) wglMakeCurrent(nullptr, nullptr);
  (void)window;
  wglDeleteContext(static_cast<HGLRC>(context));
}

bool KPlatform::glMakeCurrent(HWND window, void *context) {
  HDC dc = dcOf(window);
  if (!dc || !context) return false;
  if (wglGetCurrentContext() == static_cast<HGLRC>(context) && wglGetCurrentDC() == dc) return true;
  return wglMakeCurrent(dc, static_cast<HGLRC>(context)) != 0;
}

KPlatform::GLCurrent KPlatform::glCurrent() {
  GLCurrent c;
  c.window = wglGetCurrentDC();
  c.context = wglGetCurrentContext();
  return c;
}

void KPlatform::glRestoreCurrent(const GLCurrent &c) {
  if (c.window && c.context) wglMakeCurrent(static_cast<HDC>(c.window), static_cast<HGLRC>(c.context));
}

void KPlatform::glSwapBuffers(HWND window) {
  if (HDC dc = dcOf(window)) SwapBuffers(dc);
}

bool KPlatform::glSetSwapInterval(int interval) {
  typedef BOOL(WINAPI * SwapIntervalProc)(int);
  auto fn = reinterpret_cast<SwapIntervalProc>(glProcAddress("wglSwapIntervalEXT"));
  return fn && fn(interval);
}

void *KPlatform::glProcAddress(const char *name) {
  PROC p = wglGetProcAddress(name);
  // Some drivers answer 1, 2, 3 or -1 for "not here"; OpenGL 1.1 entry points
  // come only from the library itself.
  const intptr_t v = reinterpret_cast<intptr_t>(p);
  if (v == 0 || v == 1 || v == 2 || v == 3 || v == -1)
    p = GetProcAddress(GetModuleHandleA("opengl32.dll"), name);
  return reinterpret_cast<void *>(p);
}

SwDisplay *KPlatform::createSwDisplay(HWND) { return nullptr; }
