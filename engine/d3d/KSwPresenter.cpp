// Presentation of the software device's frames through SDL2 (see KSwPresenter.h).
// Application thread only.
#include "d3d/KSwPresenter.h"

#include <SDL.h>

#include <cstdio>

#include "platform/sdl/KSdlWindow.h"

KSwPresenter::KSwPresenter(HWND hwnd) : _hwnd(hwnd) { SwRegisterDisplay(hwnd, this); }

KSwPresenter::~KSwPresenter() {
  if (SwDisplayFor(_hwnd) == this) SwRegisterDisplay(_hwnd, nullptr);
  releaseRenderer();
}

void KSwPresenter::unlock() {
  if (!_locked) return;
  SwScreenMemoryRevoked(_hwnd);  // surfaces living there copy themselves out first
  SDL_UnlockTexture(_texture);
  _locked = nullptr;
}

void KSwPresenter::releaseRenderer() {
  unlock();
  if (_texture) SDL_DestroyTexture(_texture);
  if (_renderer) SDL_DestroyRenderer(_renderer);
  _texture = nullptr;
  _renderer = nullptr;
  _texW = _texH = _texBits = 0;
}

bool KSwPresenter::ensure(int width, int height, int bitsPerPixel) {
  if (_failed || !KNativeWindow::isWindow(_hwnd)) return false;
  if (!_renderer) {
    // Whatever the driver offers first (a GPU where there is one); the software
    // renderer otherwise, which is also what a display-less run gets.
    _renderer = SDL_CreateRenderer(_hwnd->sdlWindow(), -1, 0);
    if (!_renderer) _renderer = SDL_CreateRenderer(_hwnd->sdlWindow(), -1, SDL_RENDERER_SOFTWARE);
    if (!_renderer) {
      std::fprintf(stderr, "Pabrix: no renderer for the window: %s\n", SDL_GetError());
      _failed = true;
      return false;
    }
    _hwnd->rendererAttached();
  }
  if (_texture && (_texW != width || _texH != height || _texBits != bitsPerPixel)) {
    unlock();
    SDL_DestroyTexture(_texture);
    _texture = nullptr;
  }
  if (!_texture) {
    Uint32 fmt = bitsPerPixel == 16 ? SDL_PIXELFORMAT_RGB565 : SDL_PIXELFORMAT_RGB888;
    _texture = SDL_CreateTexture(_renderer, fmt, SDL_TEXTUREACCESS_STREAMING, width, height);
    if (!_texture) return false;
    SDL_SetTextureBlendMode(_texture, SDL_BLENDMODE_NONE);
    _texW = width;
    _texH = height;
    _texBits = bitsPerPixel;
  }
  return true;
}

void *KSwPresenter::screenMemory(int width, int height, int bitsPerPixel, long &pitch) {
  if (!ensure(width, height, bitsPerPixel)) return nullptr;
  if (!_locked) {
    int p = 0;
    if (SDL_LockTexture(_texture, nullptr, &_locked, &p) != 0) {
      _locked = nullptr;
      return nullptr;
    }
    _lockedPitch = p;
  }
  pitch = _lockedPitch;
  return _locked;
}

void KSwPresenter::present(const void *pixels, long pitch, int width, int height,
                           int bitsPerPixel) {
  if (!pixels || width <= 0 || height <= 0 || !ensure(width, height, bitsPerPixel)) return;
  if (_locked && pixels == _locked) {
    // The frame is already in the texture: showing it is all that is left. The
    // texture is locked again at the next request for its memory.
    SDL_UnlockTexture(_texture);
    _locked = nullptr;
  } else {
    unlock();
    if (SDL_UpdateTexture(_texture, nullptr, pixels, int(pitch)) != 0) return;
  }
  show();
}

void KSwPresenter::show() {
  const int width = _texW, height = _texH;
  int x = 0, y = 0, w = width, h = height;
  _hwnd->frameRect(x, y, w, h);
  int dw = 0, dh = 0;
  _hwnd->drawableSize(dw, dh);
  if (w != dw || h != dh) {  // the bars around a letterboxed frame
    SDL_SetRenderDrawColor(_renderer, 0, 0, 0, 255);
    SDL_RenderClear(_renderer);
  }
  // Unscaled frames stay sharp; scaled ones are smoothed.
  SDL_SetTextureScaleMode(_texture, (w == width && h == height) ? SDL_ScaleModeNearest
                                                                 : SDL_ScaleModeLinear);
  SDL_Rect dst = {x, y, w, h};
  SDL_RenderCopy(_renderer, _texture, nullptr, &dst);
  SDL_RenderPresent(_renderer);
  ++_frames;
}

void KSwPresenter::waitForVerticalBlank() {
  if (KNativeWindow::isWindow(_hwnd)) _hwnd->pace(false);
}

void KSwPresenter::clientSize(int &width, int &height) {
  width = height = 0;
  if (!KNativeWindow::isWindow(_hwnd)) return;
  width = _hwnd->frameWidth();
  height = _hwnd->frameHeight();
}
