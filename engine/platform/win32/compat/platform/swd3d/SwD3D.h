// The Direct3D backend's device interfaces on Windows: the system's own
// DirectDraw 7 and Direct3D 7 (ddraw.h, d3d.h; linked with ddraw and dxguid).
// On Linux this include path is the engine's software device, a faithful subset
// of the same interfaces; the Windows build puts this folder first on the
// backend's include path, so the backend's sources are the same on both.
// DirectDraw presents by itself (a clipped primary, or a flip chain in exclusive
// full screen): no software display stands between it and the window.
#pragma once

#include "platform/win32/KWin32.h"
#include "platform/win32/KWin32Window.h"

#define HWND Win32HWND
#include <ddraw.h>
#include <d3d.h>
#undef HWND

// The system window behind the engine's handle: what DirectDraw is told.
inline Win32HWND D3DSystemWindow(HWND window) {
  return window ? static_cast<Win32HWND>(static_cast<KWin32Window *>(window)->systemHandle())
                : nullptr;
}

// Where a width×height frame shows on the windowed primary surface, which is the
// whole desktop here: in the client area, at the place the pointer is mapped
// from (KNativeWindow::frameRect), so a client area the system made smaller
// than the frame (a desktop too small for the window) gets it scaled to fit.
inline void D3DFrameOnPrimary(HWND window, long width, long height, RECT &dst) {
  POINT p = {0, 0};
  Win32HWND h = D3DSystemWindow(window);
  if (h) ClientToScreen(h, &p);
  int x = 0, y = 0, w = (int)width, hgt = (int)height;
  if (KNativeWindow::isWindow(window)) window->frameRect(x, y, w, hgt);
  dst = RECT{p.x + x, p.y + y, p.x + x + w, p.y + y + hgt};
}

// The software device's display has no part here (KPlatform::createSwDisplay
// gives none on Windows).
class SwDisplay {
public:
  virtual ~SwDisplay() {}
};
