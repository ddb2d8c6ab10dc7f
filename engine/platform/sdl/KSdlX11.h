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
