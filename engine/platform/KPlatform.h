// KPlatform: the rest of the one platform interface (the window half is
// KNativeWindow.h): message boxes, web addresses, whether a display is there, the
// OpenGL context of a game window, and the display of the software device. Each platform folder implements it once
// (engine/platform/sdl today) and the build links exactly one. Application thread
// only.
#pragma once

#include <cstdint>

#include "platform/KWindowHandle.h"

class SwDisplay;

class KPlatform {
public:
  // A modal message box over the focused game window; false when none can be shown
  // here (no display), so the caller reports the text another way. While it is
  // open, closeEarly (when given) is polled from another thread several times a
  // second; once it returns true the box is closed unanswered and *closedEarly
  // is set, so a request to quit never waits for someone to answer it.
  static bool messageBox(const char *title, const char *text, bool (*closeEarly)() = nullptr,
                         bool *closedEarly = nullptr);
  // Hands a web address to the desktop.
  static void openURL(const char *url);
  // Whether a desktop display is there to show windows and boxes on (false for the
  // headless video drivers tests use).
  static bool hasDisplay();
  // Sleeps about `micros` microseconds (the frame clock's wait). Never returns at
  // once for a positive time: rounding goes up, so a caller waiting for a
  // deadline sleeps rather than spins.
  static void sleepMicros(int64_t micros);

  // OpenGL, for windows made with an OpenGL visual. A context is current on the
  // application thread only.
  struct GLCurrent {
    void *window = nullptr, *context = nullptr;
  };
  // Makes a context for the window and makes it current; null on failure.
  static void *glCreateContext(HWND window);
  static void glDeleteContext(HWND window, void *context);
  static bool glMakeCurrent(HWND window, void *context);
  // What is current now, to put back after a probe.
  static GLCurrent glCurrent();
  static void glRestoreCurrent(const GLCurrent &current);
  static void glSwapBuffers(HWND window);
  // 1: the swap waits for the vertical blank, 0: it does not. False when the driver
  // refuses.
  static bool glSetSwapInterval(int interval);
  static void *glProcAddress(const char *name);

  // The display that shows the software Direct3D device's frames in window,
  // registered as that window's display; the caller owns it. Null where the
  // platform's own DirectDraw presents (no software device there).
  static SwDisplay *createSwDisplay(HWND window);
};
