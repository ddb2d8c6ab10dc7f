// KPlatform on SDL2: message boxes, web addresses, the display test and OpenGL
// contexts. Application thread only.
#include "platform/KPlatform.h"

#include <SDL.h>

#include <cstdlib>
#include <cstring>

#include "platform/sdl/KSdlWindow.h"

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

bool KPlatform::messageBox(const char *title, const char *text) {
  if (!hasDisplay()) return false;
  SDL_Window *owner = SDL_WasInit(SDL_INIT_VIDEO) ? SDL_GetKeyboardFocus() : nullptr;
  return SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_INFORMATION, title, text, owner) == 0;
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
