// The SDL2 glue under every game window (OpenGL and software Direct3D): a window
// whose client area is the game frame, centred or scaled full screen with its aspect
// kept; pointer positions in frame pixels; focus, minimise, title; presentation
// pacing; and a message queue that turns SDL events into the classic window-message
// stream (KWindowMessages.h) one message at a time. No SDL types in this interface
// except the forward-declared SDL_Window. Application thread only.
//
// Notes for backends:
// - Present the frame into frameRect() (drawable pixels). Do not use
//   SDL_RenderSetLogicalSize: the glue already maps pointer positions to the frame.
// - Call pace() right before presenting, unless the driver really waits for the
//   vertical blank; it sleeps so a frame loop never outruns the display.
#pragma once

#include <chrono>
#include <cstdint>
#include <deque>

#include "platform/KWindowHandle.h"
#include "platform/KWindowMessages.h"

struct SDL_Window;

struct KNativeWindowOptions {
  const char *title = "";
  int width = 640;  // the frame size, which is also the windowed client size
  int height = 480;
  bool fullscreen = false;  // scaled to the whole desktop, aspect kept
  bool hidden = false;      // an invisible borderless window (capability probes)
  bool opengl = false;      // set SDL's GL attributes before create()
  KWindowProc proc = nullptr;
};

// Sleeps so that calls to wait() are at least one refresh period apart, without
// drifting: a late frame restarts the cadence instead of being followed by a burst.
class KFramePacer {
public:
  typedef std::chrono::steady_clock Clock;
  // hardwareSync: the swap itself waits for the vertical blank; the pacer then only
  // stops a driver that claims it but does not, so it allows 10% slack.
  void wait(int refreshHz, bool hardwareSync);
  void reset() { _started = false; }
  // Off for whole-screen tests that run headless as fast as they can.
  static void setEnabled(bool enabled);
  static bool enabled();

private:
  Clock::time_point _last{};
  bool _started = false;
};

struct KNativeWindow {
public:
  // Opens the window; null on failure (SDL's reason goes to standard error). The
  // video subsystem is started on first use and stays up for the process.
  static KNativeWindow *create(const KNativeWindowOptions &options);
  // Sends WM_DESTROY through the procedure, then closes the window. Null is fine.
  static void destroy(HWND hwnd);
  // Whether hwnd is a window that create() made and destroy() has not closed.
  static bool isWindow(HWND hwnd);
  static bool initVideo();
  // Whether the system has a GPU driver that a renderer could use (a kernel
  // display driver that is not a virtual one), found without starting OpenGL.
  static bool gpuDriverPresent();

  // The window procedure's object ("user data"); null until the owner sets it.
  void setUserData(void *data) { _userData = data; }
  void *userData() const { return _userData; }
  KWindowProc proc() const { return _proc; }
  SDL_Window *sdlWindow() const { return _window; }
  int frameWidth() const { return _frameW; }
  int frameHeight() const { return _frameH; }

  void setTitle(const char *title);
  // The foreground test. Drivers without focus (dummy, offscreen) are always in front.
  bool isForeground() const;
  bool isMinimized() const;
  void minimize();
  void restore();
  // Tries to bring the window to the front and give it the keyboard.
  void raise();

  // Scaled full screen on the window's display, or the centred frame-sized window.
  bool setFullScreen(bool fullscreen);
  // SDL may recreate the window when a renderer is attached to it, and the new
  // window comes back at its first place: call this after attaching one.
  void rendererAttached();
  bool isFullScreen() const;

  // Where the frame is drawn inside the window, in drawable pixels (letterboxed in
  // full screen), and the drawable size.
  void frameRect(int &x, int &y, int &w, int &h) const;
  void drawableSize(int &w, int &h) const;
  // How many times the platform asked for the window to be redrawn (exposed).
  unsigned long exposures() const { return _exposures; }
  // Window coordinates (SDL's) to frame pixels, rounding toward minus infinity so a
  // pointer just outside the frame is negative.
  void windowToFrame(int wx, int wy, int &fx, int &fy) const;
  // Current pointer position in frame pixels; outside the window it is negative or
  // beyond the frame.
  void pointerInFrame(int &x, int &y) const;
  // The left button as the platform reports it at the moment of the call.
  static bool leftButtonHeld();
  // Left-button presses seen so far, including ones already released again.
  static unsigned long leftButtonPresses();
  // Remembered when no video is up yet and applied to windows made later.
  static void setSystemPointerVisible(bool visible);

  // Display refresh in Hz, 60 when the driver does not say.
  int refreshRate() const;
  // Paces presentation to the refresh rate (see KFramePacer).
  void pace(bool hardwareSync) { _pacer.wait(refreshRate(), hardwareSync); }

  // Message queue. peekMessage removes one pending message (after moving what SDL
  // has into the queues); waitMessage blocks up to timeoutMs (negative: forever).
  bool peekMessage(KMessage &msg);
  bool waitMessage(KMessage &msg, int timeoutMs);
  // Appends a message, as the platform would (tests, quit requests).
  void postMessage(unsigned int message, unsigned int wParam, long lParam);
  // Calls the window procedure with the message; 0 when there is none.
  static long dispatchMessage(const KMessage &msg);
  // What an unhandled message gets.
  static long defaultProc(HWND hwnd, unsigned int message, unsigned int wParam, long lParam);
  size_t pendingMessages() const { return _queue.size(); }

  // Moves every SDL event into the queues of the windows it belongs to.
  static void pumpPlatform();

private:
  KNativeWindow() = default;
  ~KNativeWindow() = default;
  void enqueue(const KMessage &msg);
  void applyWindowedGeometry();
  void coverDisplay();
  static void translate(const void *sdlEvent);
  static KNativeWindow *fromId(uint32_t id);

  SDL_Window *_window = nullptr;
  uint32_t _id = 0;
  KWindowProc _proc = nullptr;
  void *_userData = nullptr;
  int _frameW = 640, _frameH = 480;
  bool _hidden = false;
  std::deque<KMessage> _queue;
  KFramePacer _pacer;
  bool _placedFullScreen = false;  // full screen by covering the display ourselves
  unsigned long _exposures = 0;
};
