// The two message hooks of a game window and the KEvent record built for the engine
// hook. Shared by every window procedure so all backends report events alike.
// Application thread only (reads KInput).
#pragma once

#include "input/KInput.h"
#include "window/KEvent.h"
#include "platform/KWindowMessages.h"

typedef bool (*KRawMessageHook)(HWND, unsigned int, unsigned int, long);
typedef bool (*KEventHook)(KEvent *);

// Fills ev for one message: kind and the fields that kind carries; every other
// field keeps its neutral value. Wheel turns also become the last wheel value.
inline void kFillEvent(KEvent &ev, unsigned int message, unsigned int wParam, long lParam) {
  ev = KEvent();
  ev.nativeMessage = (long)message;
  ev.nativeData = lParam;
  ev.mouseX = KInput::getMouseX();
  ev.mouseY = KInput::getMouseY();
  switch (message) {
    case WM_MOUSEMOVE:
      ev.type = K_EVENT_MOUSEMOVE;
      break;
    case WM_LBUTTONUP: case WM_RBUTTONUP: case WM_MBUTTONUP:
      ev.type = K_EVENT_MOUSEUP;
      ev.buttonIndex = message == WM_LBUTTONUP ? 1 : message == WM_RBUTTONUP ? 2 : 3;
      break;
    case WM_LBUTTONDOWN: case WM_RBUTTONDOWN: case WM_MBUTTONDOWN:
      ev.type = K_EVENT_MOUSEDOWN;
      ev.buttonIndex = message == WM_LBUTTONDOWN ? 1 : message == WM_RBUTTONDOWN ? 2 : 3;
      break;
    case WM_CHAR:
      ev.type = K_EVENT_CHAR;
      ev.character = (char)wParam;
      break;
    case WM_KEYDOWN:
      ev.type = K_EVENT_KEYDOWN;
      ev.character = (char)((lParam >> 16) & 0xFF);  // the scan code
      ev.virtualKey = (long)wParam;
      ev.qmxKey = KInput::getQMXKey((long)wParam);
      break;
    case WM_KEYUP:
      ev.type = K_EVENT_KEYUP;
      ev.character = (char)(wParam & 0xFF);
      ev.virtualKey = (long)wParam;
      ev.qmxKey = KInput::getQMXKey((long)wParam);
      break;
    case WM_MOUSEWHEEL:
      ev.type = K_EVENT_WHEEL;
      ev.wheel = wheelDeltaFromWParam(wParam);
      KInput::setLastWheelValue(ev.wheel);
      break;
    default:
      break;
  }
}

// Offers a message to the raw hook, then as a KEvent to the engine hook. False when
// a hook consumed it: the window procedure must then return 0 at once.
inline bool kRunHooks(KRawMessageHook raw, KEventHook engine, HWND hwnd, unsigned int message,
                      unsigned int wParam, long lParam) {
  if (raw && !raw(hwnd, message, wParam, lParam)) return false;
  if (engine) {
    KEvent ev;
    kFillEvent(ev, message, wParam, lParam);
    if (!engine(&ev)) return false;
  }
  return true;
}
