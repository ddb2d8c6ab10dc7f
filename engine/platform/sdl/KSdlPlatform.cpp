// KPlatform on SDL2: message boxes, web addresses, the display test and OpenGL
// contexts. Application thread only, except the watcher thread of an open
// message box, which only reads its flags and ends the box's process.
#include "platform/KPlatform.h"

#include <SDL.h>
#include <pthread.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "platform/sdl/KSdlWindow.h"
#include "platform/sdl/KSdlX11.h"

bool KPlatform::hasDisplay() {
  const char *driver = nullptr;
  if (SDL_WasInit(SDL_INIT_VIDEO)) driver = SDL_GetCurrentVideoDriver();
  if (!driver) driver = getenv("SDL_VIDEODRIVER");
  if (driver && (strcmp(driver, "dummy") == 0 || strcmp(driver, "offscreen") == 0 ||
                 strcmp(driver, "evdev") == 0))
    return false;
  const char *x = getenv("DISPLAY");
  const char *w = getenv("WAYLAND_DISPLAY");
  return (x && *x) || (w && *w);
}

void KPlatform::sleepMicros(int64_t micros) {
  if (micros > 0) std::this_thread::sleep_for(std::chrono::microseconds(micros));
}

namespace {

// True while SDL may fork the process that shows a box (see BoxCloser).
std::atomic<bool> showingBox{false};

// The box's process must not outlive the program, even one killed outright: it
// asks the system to end it with the thread that forked it.
void onFork() {
  if (!showingBox) return;
  const pid_t parent = getppid();
  prctl(PR_SET_PDEATHSIG, SIGKILL);
  if (getppid() != parent) _exit(1);  // the program ended before the request took
}

// SDL shows its box in a child process forked by the calling thread and waits
// for it, so the caller cannot answer anything meanwhile. This watcher ends
// that child (only a child of the waiting thread: nothing else we started) as
// soon as closeEarly asks for it.
class BoxCloser {
public:
  BoxCloser(bool (*closeEarly)(), SDL_Window *owner)
      : _closeEarly(closeEarly), _owner(owner), _waiter(pid_t(syscall(SYS_gettid))) {
    static const bool forkWatched = pthread_atfork(nullptr, nullptr, onFork) == 0;
    (void)forkWatched;
    showingBox = true;
    _thread = std::thread([this] { watch(); });
  }
  ~BoxCloser() { stop(); }
  void stop() {
    _done = true;
    if (_thread.joinable()) _thread.join();
    showingBox = false;
  }
  bool closed() const { return _closed; }

private:
  void watch() {
    while (!_done) {
      // The game window's close button, as well as a close request, closes the box.
      if ((_closeEarly && _closeEarly()) || kX11CloseWaiting(_owner)) {
        char name[64];
        snprintf(name, sizeof name, "/proc/self/task/%ld/children", long(_waiter));
        if (FILE *f = fopen(name, "r")) {
          long pid = 0;
          while (fscanf(f, "%ld", &pid) == 1)
            if (pid > 0 && kill(pid_t(pid), SIGKILL) == 0) _closed = true;
          fclose(f);
        }
        if (_closed) return;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
  }
  bool (*_closeEarly)();
  SDL_Window *_owner;
  pid_t _waiter;
  std::atomic<bool> _done{false}, _closed{false};
  std::thread _thread;
};

}  // namespace

bool KPlatform::messageBox(const char *title, const char *text, bool (*closeEarly)(),
                           bool *closedEarly) {
  if (closedEarly) *closedEarly = false;
  if (!hasDisplay()) return false;
  SDL_Window *owner = SDL_WasInit(SDL_INIT_VIDEO) ? SDL_GetKeyboardFocus() : nullptr;
  BoxCloser closer(closeEarly, owner ? owner : KSdlWindow::firstSdlWindow());
  const bool answered =
      SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_INFORMATION, title, text, owner) == 0;
  closer.stop();
  if (closedEarly) *closedEarly = closer.closed();
  return answered || closer.closed();
}

void KPlatform::openURL(const char *url) { SDL_OpenURL(url); }

void *KPlatform::glCreateContext(HWND window) {
  SDL_Window *w = kSdlWindow(window);
  return w ? SDL_GL_CreateContext(w) : nullptr;
}

void KPlatform::glDeleteContext(HWND window, void *context) {
  if (!context) return;
  if (SDL_Window *w = kSdlWindow(window)) SDL_GL_MakeCurrent(w, nullptr);
  SDL_GL_DeleteContext((SDL_GLContext)context);
}

bool KPlatform::glMakeCurrent(HWND window, void *context) {
  SDL_Window *w = kSdlWindow(window);
  if (!w || !context) return false;
  if (SDL_GL_GetCurrentContext() == (SDL_GLContext)context && SDL_GL_GetCurrentWindow() == w)
    return true;
  return SDL_GL_MakeCurrent(w, (SDL_GLContext)context) == 0;
}

KPlatform::GLCurrent KPlatform::glCurrent() {
  GLCurrent c;
  if (!SDL_WasInit(SDL_INIT_VIDEO)) return c;
  c.window = SDL_GL_GetCurrentWindow();
  c.context = SDL_GL_GetCurrentContext();
  return c;
}

void KPlatform::glRestoreCurrent(const GLCurrent &c) {
  if (c.window && c.context) SDL_GL_MakeCurrent((SDL_Window *)c.window, (SDL_GLContext)c.context);
}

void KPlatform::glSwapBuffers(HWND window) {
  if (SDL_Window *w = kSdlWindow(window)) SDL_GL_SwapWindow(w);
}

bool KPlatform::glSetSwapInterval(int interval) { return SDL_GL_SetSwapInterval(interval) == 0; }

void *KPlatform::glProcAddress(const char *name) { return SDL_GL_GetProcAddress(name); }
