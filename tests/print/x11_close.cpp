// What a window manager sends when a window's close button is pressed, kept
// apart from the tests because the X headers define names gtest uses.
#include <SDL.h>
#include <SDL_syswm.h>

void sendCloseButton(SDL_Window *window) {
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (!SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11) return;
  // A connection of its own: the application thread's is busy in the box's wait.
  Display *dpy = XOpenDisplay(nullptr);
  if (!dpy) return;
  XEvent e{};
  e.xclient.type = ClientMessage;
  e.xclient.window = info.info.x11.window;
  e.xclient.message_type = XInternAtom(dpy, "WM_PROTOCOLS", False);
  e.xclient.format = 32;
  e.xclient.data.l[0] = long(XInternAtom(dpy, "WM_DELETE_WINDOW", False));
  XSendEvent(dpy, info.info.x11.window, False, NoEventMask, &e);
  XCloseDisplay(dpy);
}
