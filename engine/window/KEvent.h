// KEvent: the record handed to the engine-event hook for one window message.
// Built on the stack by the window's event translator; the hook must not keep it.
#pragma once

#include "input/KInput.h"

enum {
  K_EVENT_OTHER = 0,
  K_EVENT_MOUSEMOVE = 1,
  K_EVENT_MOUSEUP = 2,
  K_EVENT_MOUSEDOWN = 3,
  K_EVENT_CHAR = 5,
  K_EVENT_KEYDOWN = 6,
  K_EVENT_KEYUP = 7,
  K_EVENT_WHEEL = 11,
};

struct KEvent {
  long type = K_EVENT_OTHER;
  long mouseX = 0, mouseY = 0;
  long buttonIndex = 0;  // 1 left, 2 right, 3 middle
  short wheel = 0;       // multiples of 120, positive away from the user
  char character = 0;
  long virtualKey = 0;
  long nativeMessage = 0;
  EKeyboardLayout qmxKey = K_VK_ERROR;
  long nativeData = 0;
};
