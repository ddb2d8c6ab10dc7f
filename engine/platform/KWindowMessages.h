// Window message numbers and parameter layouts shared by the SDL glue, the window
// procedures and raw message hooks. The numbers are the classic desktop ones so
// hooks and KEvent::nativeMessage read the same on every backend. No platform types here.
#pragma once

#include <cstdint>

#include "platform/KWindowHandle.h"

// Message numbers.
constexpr unsigned int WM_NULL = 0x0000;
constexpr unsigned int WM_DESTROY = 0x0002;
constexpr unsigned int WM_MOVE = 0x0003;
constexpr unsigned int WM_SIZE = 0x0005;
constexpr unsigned int WM_PAINT = 0x000F;
constexpr unsigned int WM_CLOSE = 0x0010;
constexpr unsigned int WM_QUIT = 0x0012;
constexpr unsigned int WM_SHOWWINDOW = 0x0018;
constexpr unsigned int WM_ACTIVATEAPP = 0x001C;
constexpr unsigned int WM_KEYDOWN = 0x0100;
constexpr unsigned int WM_KEYUP = 0x0101;
constexpr unsigned int WM_CHAR = 0x0102;
constexpr unsigned int WM_MOUSEMOVE = 0x0200;
constexpr unsigned int WM_LBUTTONDOWN = 0x0201;
constexpr unsigned int WM_LBUTTONUP = 0x0202;
constexpr unsigned int WM_RBUTTONDOWN = 0x0204;
constexpr unsigned int WM_RBUTTONUP = 0x0205;
constexpr unsigned int WM_MBUTTONDOWN = 0x0207;
constexpr unsigned int WM_MBUTTONUP = 0x0208;
constexpr unsigned int WM_MOUSEWHEEL = 0x020A;
constexpr unsigned int WM_XBUTTONDOWN = 0x020B;
constexpr unsigned int WM_XBUTTONUP = 0x020C;
constexpr unsigned int WM_MOUSEHWHEEL = 0x020E;
constexpr unsigned int WM_MOUSELEAVE = 0x02A3;

// WM_SIZE wParam values.
constexpr unsigned int SIZE_RESTORED = 0;
constexpr unsigned int SIZE_MINIMIZED = 1;
constexpr unsigned int SIZE_MAXIMIZED = 2;

// Button and modifier flags carried in the low word of wParam by pointer messages.
constexpr unsigned int MK_LBUTTON = 0x0001;
constexpr unsigned int MK_RBUTTON = 0x0002;
constexpr unsigned int MK_SHIFT = 0x0004;
constexpr unsigned int MK_CONTROL = 0x0008;
constexpr unsigned int MK_MBUTTON = 0x0010;

// One unit of WM_MOUSEWHEEL delta per notch.
constexpr int WHEEL_DELTA = 120;

// Virtual-key codes the translator produces beyond those in KeyboardLayout, and the
// keys that also type a control character.
constexpr unsigned int VK_BACK = 0x08;
constexpr unsigned int VK_TAB = 0x09;
constexpr unsigned int VK_RETURN = 0x0D;
constexpr unsigned int VK_ESCAPE = 0x1B;
constexpr unsigned int VK_SHIFT = 0x10;
constexpr unsigned int VK_CONTROL = 0x11;
constexpr unsigned int VK_MENU = 0x12;

// Pointer messages: lParam holds the frame position, x in the low 16 bits and y in
// the high 16 bits, each signed. Key messages: lParam holds the repeat count in
// bits 0-15, the scan code in bits 16-23, the previous key state in bit 30 and the
// transition state (1 on release) in bit 31. WM_MOUSEWHEEL: the signed delta is in
// the high 16 bits of wParam, the MK_ flags in the low 16 bits.
inline long makePointerLParam(int x, int y) {
  return (long)(int32_t)(((uint32_t)(uint16_t)(int16_t)y << 16) | (uint16_t)(int16_t)x);
}
inline short pointerXFromLParam(long lParam) { return (short)(int16_t)(lParam & 0xFFFF); }
inline short pointerYFromLParam(long lParam) { return (short)(int16_t)((lParam >> 16) & 0xFFFF); }
inline short wheelDeltaFromWParam(unsigned int wParam) { return (short)(int16_t)(wParam >> 16); }

// One queued message, as the window procedures receive it.
struct KMessage {
  HWND hwnd = nullptr;
  unsigned int message = WM_NULL;
  unsigned int wParam = 0;
  long lParam = 0;
};

// The signature of every window procedure.
typedef long (*KWindowProc)(HWND hwnd, unsigned int message, unsigned int wParam, long lParam);
