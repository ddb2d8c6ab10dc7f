// The SDL input source. The button is fetched from the platform when asked; keys
// follow the events as they are pumped, so they are as fresh as the last
// processEvents or flip.
// Application thread only.
#include "platform/sdl/KSdlInputSource.h"

#include <SDL.h>

#include "platform/KNativeWindow.h"
#include "platform/sdl/KSdlKeys.h"

void KSdlInputSource::pointerPosition(int &x, int &y) {
  x = y = 0;
  if (!SDL_WasInit(SDL_INIT_VIDEO)) return;
  if (KNativeWindow::isWindow(KInput::_hwnd)) {
    KInput::_hwnd->pointerInFrame(x, y);
    return;
  }
  SDL_GetMouseState(&x, &y);
}

bool KSdlInputSource::leftButtonDown() {
  if (!SDL_WasInit(SDL_INIT_VIDEO)) return false;
  return KNativeWindow::leftButtonHeld();
}

unsigned long KSdlInputSource::leftButtonPresses() {
  return KNativeWindow::leftButtonPresses();
}

bool KSdlInputSource::keyDown(uint16_t virtualKey) {
  if (!SDL_WasInit(SDL_INIT_VIDEO)) return false;
  return kVirtualKeyHeld(virtualKey);
}

unsigned long KSdlInputSource::keyPresses(uint16_t virtualKey) {
  return KNativeWindow::keyPresses(virtualKey);
}

void KSdlInputSource::setSystemPointerVisible(bool visible) {
  KNativeWindow::setSystemPointerVisible(visible);
}

KInputSource &KNativeWindow::inputSource() {
  static KSdlInputSource source;
  return source;
}
