// X11-only helpers of the SDL glue; each returns false where X11 is not in use.
#pragma once

struct SDL_Window;

// The pointer relative to the window's top-left corner, in window coordinates,
// negative or beyond the window when it is outside.
bool kX11PointerInWindow(SDL_Window *window, int &x, int &y);

// True on an X display that no window manager runs (a bare server such as Xvfb):
// nobody would act on a full-screen request there, so the glue places the window
// itself.
bool kX11WithoutWindowManager(SDL_Window *window);

// Waits until the X server has carried out every request sent so far, so that the
// events they cause are ready for the next SDL_PumpEvents.
bool kX11Sync(SDL_Window *window);

// From now on a lost X connection (the server killed, the display gone) runs the
// emergency save and ends the process, instead of Xlib's exit().
void kX11WatchDisplayLoss();

// True when the window manager asked to close `window` and the request waits in
// the queue (it stays there for SDL). Only while the application thread is
// blocked outside Xlib (in a message box's wait), since the X connection is not
// shared between threads.
bool kX11CloseWaiting(SDL_Window *window);
