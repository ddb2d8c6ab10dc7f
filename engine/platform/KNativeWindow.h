// KNativeWindow: the platform window under every game window (OpenGL and software
// Direct3D): a window whose client area is the game frame, centred or scaled full
// screen with its aspect kept; pointer positions in frame pixels; focus, minimise,
// title; and a message queue that turns the platform's events
// into the classic window-message stream (KWindowMessages.h) one message at a time.
//
// This header is the window half of the one platform interface. The queue, the
// registry of open windows are shared (KNativeWindow.cpp); everything
// marked "platform" is implemented once per platform folder (engine/platform/sdl
// today), and the build links exactly one of them. Application thread only.
//
// Note for backends: present the frame into frameRect() (drawable pixels). The
// game windows pace frames themselves (window/KFrameClock.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>

#include "platform/KWindowHandle.h"
#include "platform/KWindowMessages.h"

class KInputSource;

struct KNativeWindowOptions {
  const char *title = "";
  int width = 640;  // the frame size, which is also the windowed client size
  int height = 480;
  bool fullscreen = false;  // scaled to the whole desktop, aspect kept
  bool hidden = false;      // an invisible borderless window (capability probes)
  bool opengl = false;      // the window gets an OpenGL visual, as asked below
  int glColorBits = 0;      // 16: 5-6-5 at least; 24 or 32: 8-8-8; else the display's
  int glDepthBits = 0;
  bool glDoubleBuffer = true;
  KWindowProc proc = nullptr;
};

// The desktop's own mode (never changed by the engine).
struct KDesktopMode {
  int bitsPerPixel = 0, width = 0, height = 0, refreshHz = 0;
};

struct KNativeWindow {
public:
  // --- platform: windows and the event source --------------------------------
  // Opens the window; null on failure (the reason is logged). The video subsystem is
  // started on first use and stays up for the process.
  static KNativeWindow *create(const KNativeWindowOptions &options);
  static bool initVideo();
  // Moves every pending platform event into the queues of the windows it belongs to.
  static void pumpPlatform();
  // Blocks until the platform has an event or timeoutMs passes.
  static void waitForPlatformEvent(int timeoutMs);
  // Whether a request to close a visible window (its close button, a quit from the
  // desktop or a signal) is waiting, without taking anything from the queues: a
  // modal dialog polls this to close itself, and the request is then handled as
  // usual once the dialog is gone.
  static bool closePending();
  // The desktop mode of the display showing window (null: the first display).
  static bool desktopMode(const KNativeWindow *window, KDesktopMode &mode);
  // The default source of polled input (pointer, left button, keys).
  static KInputSource &inputSource();
  // The left button as the platform reports it at the moment of the call.
  static bool leftButtonHeld();
  // Left-button presses seen so far, including ones already released again.
  static unsigned long leftButtonPresses();
  // Presses of a key seen so far (auto-repeats not counted); left/right-specific
  // codes count either side.
  static unsigned long keyPresses(uint16_t virtualKey);
  // Remembered when no video is up yet and applied to windows made later.
  static void setSystemPointerVisible(bool visible);

  // --- shared: the registry and the message queue ----------------------------
  // Sends WM_DESTROY through the procedure, then closes the window. Null is fine.
  static void destroy(HWND hwnd);
  // Whether hwnd is a window that create() made and destroy() has not closed.
  static bool isWindow(HWND hwnd);
  // Calls the window procedure with the message; 0 when there is none.
  static long dispatchMessage(const KMessage &msg);
  // What an unhandled message gets.
  static long defaultProc(HWND hwnd, unsigned int message, unsigned int wParam, long lParam);

  // The window procedure's object ("user data"); null until the owner sets it.
  void setUserData(void *data) { _userData = data; }
  void *userData() const { return _userData; }
  KWindowProc proc() const { return _proc; }
  int frameWidth() const { return _frameW; }
  int frameHeight() const { return _frameH; }
  // An invisible window (a capability probe): never asked to close with the others.
  bool hidden() const { return _hidden; }

  // peekMessage removes one pending message (after pumping the platform);
  // waitMessage blocks up to timeoutMs (negative: forever).
  bool peekMessage(KMessage &msg);
  bool waitMessage(KMessage &msg, int timeoutMs);
  // Appends a message, as the platform would (tests, quit requests).
  void postMessage(unsigned int message, unsigned int wParam, long lParam);
  size_t pendingMessages() const { return _queue.size(); }

  // Where the frame is drawn inside the window, in drawable pixels (letterboxed in
  // full screen).
  void frameRect(int &x, int &y, int &w, int &h) const;

  // --- platform: one window ------------------------------------------------------
  virtual void setTitle(const char *title) = 0;
  // The foreground test. Drivers without focus (dummy, offscreen) are always in front.
  virtual bool isForeground() const = 0;
  virtual bool isMinimized() const = 0;
  virtual void minimize() = 0;
  virtual void restore() = 0;
  // Tries to bring the window to the front and give it the keyboard.
  virtual void raise() = 0;
  // Scaled full screen on the window's display, or the centred frame-sized window.
  virtual bool setFullScreen(bool fullscreen) = 0;
  virtual bool isFullScreen() const = 0;
  // The drawable size in pixels.
  virtual void drawableSize(int &w, int &h) const = 0;
  // Window coordinates (the platform's) to frame pixels, rounding toward minus
  // infinity so a pointer just outside the frame is negative.
  virtual void windowToFrame(int wx, int wy, int &fx, int &fy) const = 0;
  // Current pointer position in frame pixels; outside the window it is negative or
  // beyond the frame.
  virtual void pointerInFrame(int &x, int &y) const = 0;
  // Display refresh in Hz, 60 when the driver does not say.
  virtual int refreshRate() const = 0;

protected:
  explicit KNativeWindow(const KNativeWindowOptions &options);
  virtual ~KNativeWindow();
  KNativeWindow(const KNativeWindow &) = delete;
  KNativeWindow &operator=(const KNativeWindow &) = delete;
  // Adds the window to the registry; create() calls it once the window is up.
  static void registerWindow(KNativeWindow *window);
  // The open windows, oldest first.
  static const std::deque<KNativeWindow *> &windows();
  // Frame pixels from a point given in drawable pixels.
  void drawableToFrame(double px, double py, int &fx, int &fy) const;

private:
  void enqueue(const KMessage &msg);

  KWindowProc _proc = nullptr;
  void *_userData = nullptr;
  int _frameW = 640, _frameH = 480;
  bool _hidden = false;
  std::deque<KMessage> _queue;
};
