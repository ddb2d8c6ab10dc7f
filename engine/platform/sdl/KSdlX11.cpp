// Direct X11 queries of the SDL glue. SDL's own desktop pointer position is
// refreshed only by device motion, so after a warp (or between events) it can be
// stale; the X server's answer is always current. Kept apart because the X headers
// define macros that collide with ordinary names. Application thread only.
#include <SDL.h>
#include <SDL_syswm.h>
#if defined(SDL_VIDEO_DRIVER_X11)
#include <X11/Xatom.h>
#endif

#include <cstring>

#include "platform/sdl/KPosixServices.h"
#include "platform/sdl/KSdlX11.h"

#if defined(SDL_VIDEO_DRIVER_X11)
namespace {
// The window's X connection and id, when it is an X11 window.
bool x11Info(SDL_Window *window, SDL_SysWMinfo &info) {
  SDL_VERSION(&info.version);
  return window && SDL_GetWindowWMInfo(window, &info) && info.subsystem == SDL_SYSWM_X11;
}
}  // namespace
#endif

bool kX11PointerInWindow(SDL_Window *window, int &x, int &y) {
#if defined(SDL_VIDEO_DRIVER_X11)
  SDL_SysWMinfo info;
  if (!x11Info(window, info)) return false;
  ::Window root = 0, child = 0;
  int rootX = 0, rootY = 0, winX = 0, winY = 0;
  unsigned int mask = 0;
  if (!XQueryPointer(info.info.x11.display, info.info.x11.window, &root, &child, &rootX, &rootY,
                     &winX, &winY, &mask))
    return false;  // the pointer is on another screen
  x = winX;
  y = winY;
  return true;
#else
  (void)window, (void)x, (void)y;
  return false;
#endif
}

bool kX11WithoutWindowManager(SDL_Window *window) {
#if defined(SDL_VIDEO_DRIVER_X11)
  SDL_SysWMinfo info;
  if (!x11Info(window, info)) return false;
  Display *dpy = info.info.x11.display;
  const Atom check = XInternAtom(dpy, "_NET_SUPPORTING_WM_CHECK", True);
  if (check == None) return true;
  Atom type = None;
  int format = 0;
  unsigned long items = 0, after = 0;
  unsigned char *data = nullptr;
  const int rc = XGetWindowProperty(dpy, DefaultRootWindow(dpy), check, 0, 1, False, XA_WINDOW,
                                    &type, &format, &items, &after, &data);
  const bool found = rc == Success && type == XA_WINDOW && items == 1 && data != nullptr;
  if (data) XFree(data);
  return !found;
#else
  (void)window;
  return false;
#endif
}

bool kX11Sync(SDL_Window *window) {
#if defined(SDL_VIDEO_DRIVER_X11)
  SDL_SysWMinfo info;
  if (!x11Info(window, info)) return false;
  XSync(info.info.x11.display, False);
  return true;
#else
  (void)window;
  return false;
#endif
}

#if defined(SDL_VIDEO_DRIVER_X11)
namespace {
// Xlib's default ends the process with exit(), which saves nothing and runs
// destructors under threads that may still be busy: save first, then leave.
int onDisplayLost(Display *) { kposix::saveAndExit("the display went away: saving and leaving now"); }
}  // namespace
#endif

void kX11WatchDisplayLoss() {
#if defined(SDL_VIDEO_DRIVER_X11)
  if (SDL_GetCurrentVideoDriver() && strcmp(SDL_GetCurrentVideoDriver(), "x11") == 0)
    XSetIOErrorHandler(onDisplayLost);
#endif
}

bool kX11CloseWaiting(SDL_Window *window) {
#if defined(SDL_VIDEO_DRIVER_X11)
  SDL_SysWMinfo info;
  if (!x11Info(window, info)) return false;
  Display *dpy = info.info.x11.display;
  const Atom deleteWindow = XInternAtom(dpy, "WM_DELETE_WINDOW", True);
  XEvent e;
  if (deleteWindow == None || !XCheckTypedWindowEvent(dpy, info.info.x11.window, ClientMessage, &e))
    return false;
  const bool close = e.xclient.format == 32 && Atom(e.xclient.data.l[0]) == deleteWindow;
  XPutBackEvent(dpy, &e);  // SDL sees it as usual once the box is gone
  return close;
#else
  (void)window;
  return false;
#endif
}
