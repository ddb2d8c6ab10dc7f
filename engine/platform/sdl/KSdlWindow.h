// The SDL2 implementation of KNativeWindow (see platform/KNativeWindow.h): window
// creation and placement, scaled full screen, frame-pixel pointer mapping, and the
// translation of SDL events into the per-window message queues. Only SDL code (the
// rest of this folder, and tests of the glue) sees this header. Application thread
// only (SDL video is not thread-safe).
#pragma once

#include <cstdint>

#include "platform/KNativeWindow.h"

struct SDL_Window;

class KSdlWindow : public KNativeWindow {
public:
  SDL_Window *sdlWindow() const { return _window; }
  // The oldest open window (the game's), or null.
  static SDL_Window *firstSdlWindow() {
    return windows().empty() ? nullptr : static_cast<KSdlWindow *>(windows().front())->_window;
  }
  // SDL may recreate the window when a renderer is attached to it, and the new
  // window comes back at its first place: call this after attaching one.
  void rendererAttached();

  void setTitle(const char *title) override;
  bool isForeground() const override;
  bool isMinimized() const override;
  void minimize() override;
  void restore() override;
  void raise() override;
  bool setFullScreen(bool fullscreen) override;
  bool isFullScreen() const override;
  void drawableSize(int &w, int &h) const override;
  void windowToFrame(int wx, int wy, int &fx, int &fy) const override;
  void pointerInFrame(int &x, int &y) const override;
  int refreshRate() const override;

  // How many times the window's picture had to be shown whole again (exposed,
  // resized, restored).
  unsigned long exposures() const { return _exposures; }
  void countExposure() { ++_exposures; }
  // Whether the system has a GPU driver that a renderer could use (a kernel
  // display driver that is not a virtual one), found without starting OpenGL.
  static bool gpuDriverPresent();

  // The window SDL knows by id; null when it is not one of ours.
  static KSdlWindow *fromId(uint32_t id);
  // Moves every SDL event into the queues of the windows it belongs to.
  static void pumpEvents();
  // Where the pointer is, from its last move: outside the frame (over the bars
  // beside a scaled full-screen frame) the game cannot draw its own pointer, so
  // the system's is shown there even while the game hides it.
  static void pointerOutsideFrame(bool outside);

private:
  friend struct KNativeWindow;
  KSdlWindow(const KNativeWindowOptions &options, SDL_Window *window);
  ~KSdlWindow() override;
  void applyWindowedGeometry();
  void coverDisplay();
  // SDL's pointer position in window points, when it is known to be exact.
  bool pointerFromEvents(int &wx, int &wy) const;

  SDL_Window *_window = nullptr;
  uint32_t _id = 0;
  bool _placedFullScreen = false;  // full screen by covering the display ourselves
  unsigned long _exposures = 0;
};

// The SDL window under a game window handle; null for anything else.
inline SDL_Window *kSdlWindow(HWND hwnd) {
  return KNativeWindow::isWindow(hwnd) ? static_cast<KSdlWindow *>(hwnd)->sdlWindow() : nullptr;
}
