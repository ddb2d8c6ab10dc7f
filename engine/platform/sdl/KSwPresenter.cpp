// Presentation of the software device's frames through SDL2 (see KSwPresenter.h).
// Application thread only.
#include "platform/sdl/KSwPresenter.h"

#include <SDL.h>

#include <cstdio>
#include <cstring>

#include "platform/swd3d/KScale.h"
#include "platform/KPlatform.h"
#include "platform/sdl/KSdlWindow.h"

namespace {

// One scaler for every presenter: its tables only change with the sizes.
KBilinearScaler &scaler() {
  static KBilinearScaler s;
  return s;
}

void fillRect(SDL_Surface *s, int x, int y, int w, int h) {
  if (w <= 0 || h <= 0) return;
  SDL_Rect r = {x, y, w, h};
  SDL_FillRect(s, &r, 0);
}

}  // namespace

SwDisplay *KPlatform::createSwDisplay(HWND window) { return new KSwPresenter(window); }

KSdlWindow *KSwPresenter::sdl() const { return static_cast<KSdlWindow *>(_hwnd); }

KSwPresenter::KSwPresenter(HWND hwnd) : _hwnd(hwnd) { SwRegisterDisplay(hwnd, this); }

KSwPresenter::~KSwPresenter() {
  if (SwDisplayFor(_hwnd) == this) SwRegisterDisplay(_hwnd, nullptr);
  releaseRenderer();
}

void KSwPresenter::choosePath() {
  if (_path != Path::Undecided || !KNativeWindow::isWindow(_hwnd)) return;
  // A GPU renderer only where the kernel has a GPU driver: asking OpenGL itself
  // would load and start a software OpenGL on every machine without one.
  if (KSdlWindow::gpuDriverPresent() && tryGpuRenderer()) {
    _path = Path::Renderer;
    return;
  }
  _path = Path::Surface;
}

bool KSwPresenter::tryGpuRenderer() {
  _renderer = SDL_CreateRenderer(kSdlWindow(_hwnd), -1, SDL_RENDERER_ACCELERATED);
  if (!_renderer) return false;
  sdl()->rendererAttached();
  SDL_RendererInfo info;
  bool hardware = SDL_GetRendererInfo(_renderer, &info) == 0 &&
                  (info.flags & SDL_RENDERER_ACCELERATED) && strcmp(info.name, "software") != 0;
  if (hardware && strncmp(info.name, "opengl", 6) == 0) {
    // The OpenGL renderers say "accelerated" even when Mesa draws on the processor.
    typedef const unsigned char *(*GetString)(unsigned int);
    GetString getString = reinterpret_cast<GetString>(SDL_GL_GetProcAddress("glGetString"));
    const char *name = getString ? reinterpret_cast<const char *>(getString(0x1F01)) : nullptr;
    hardware = name && !strstr(name, "llvmpipe") && !strstr(name, "softpipe") &&
               !strstr(name, "swrast") && !strstr(name, "Software");
  }
  if (!hardware) releaseRenderer();
  return hardware;
}

// ---------------------------------------------------------------------------
// Window surface

SDL_Surface *KSwPresenter::windowSurface() {
  int w = 0, h = 0;
  _hwnd->drawableSize(w, h);
  if (_surface && (w != _surfW || h != _surfH)) {
    // SDL frees the old pixels when it makes the new surface: surfaces living
    // there copy themselves out first.
    if (_handedOut) SwScreenMemoryRevoked(_hwnd);
    _handedOut = false;
    _surface = nullptr;
  }
  SDL_Surface *s = SDL_GetWindowSurface(kSdlWindow(_hwnd));
  if (s != _surface || !s) {
    if (_handedOut) SwScreenMemoryRevoked(_hwnd);
    _handedOut = false;
    _wholeStale = true;
  }
  _surface = s;
  _surfW = s ? s->w : 0;
  _surfH = s ? s->h : 0;
  return s;
}

void KSwPresenter::presentToSurface(const void *pixels, long pitch, int width, int height,
                                    int bits) {
  _diffCurrent = false;  // until this frame reaches the comparison
  if (_handedOut && _surface && pixels == _surface->pixels) {
    int dw = 0, dh = 0;
    _hwnd->drawableSize(dw, dh);
    if (dw != _surfW || dh != _surfH) {
      // The frame lives in the surface that the resize is about to free.
      _resized.resize(size_t(width) * size_t(height));
      for (int row = 0; row < height; ++row)
        std::memcpy(&_resized[size_t(row) * size_t(width)],
                    static_cast<const uint8_t *>(pixels) + long(row) * pitch, size_t(width) * 4);
      pixels = _resized.data();
      pitch = long(width) * 4;
    }
  }
  SDL_Surface *s = windowSurface();
  if (!s) return;
  int x = 0, y = 0, w = width, h = height;
  _hwnd->frameRect(x, y, w, h);
  // The frame rectangle always fits the surface, but a window being resized may
  // briefly report sizes that disagree: such a frame is skipped.
  if (w <= 0 || h <= 0 || x < 0 || y < 0 || x + w > s->w || y + h > s->h) return;
  if (x != _lastX || y != _lastY || w != _lastW || h != _lastH) _wholeStale = true;
  _lastX = x, _lastY = y, _lastW = w, _lastH = h;
  if (sdl()->exposures() != _exposures) _wholeStale = true;

  // Frames are handled as 32-bit XRGB; a 16-bit one is widened first.
  const void *src = pixels;
  long srcPitch = pitch;
  if (bits != 32) {
    _converted.resize(size_t(width) * size_t(height));
    if (SDL_ConvertPixels(width, height, SDL_PIXELFORMAT_RGB565, pixels, int(pitch),
                          SDL_PIXELFORMAT_RGB888, _converted.data(), width * 4) != 0)
      return;
    src = _converted.data();
    srcPitch = long(width) * 4;
  }
  _frameW = width, _frameH = height;
  _diffCurrent = true;
  if (!findChanges(static_cast<const uint32_t *>(src), srcPitch, width, height)) return;
  const bool pushWhole = _wholeStale;
  // The comparison already counts this frame as shown: until it is, the next one
  // would have to be shown whole.
  _wholeStale = true;
  if (SDL_MUSTLOCK(s) && SDL_LockSurface(s) != 0) return;
  if (pushWhole) {  // the bars
    fillRect(s, 0, 0, s->w, y);
    fillRect(s, 0, y + h, s->w, s->h - y - h);
    fillRect(s, 0, y, x, h);
    fillRect(s, x + w, y, s->w - x - w, h);
  }
  _updates.clear();
  for (const KTileRect &r : _areas) {
    const KTileRect d = showArea(s, src, srcPitch, width, height, x, y, w, h, r);
    if (d.w > 0 && d.h > 0) _updates.push_back(SDL_Rect{x + d.x, y + d.y, d.w, d.h});
  }
  if (SDL_MUSTLOCK(s)) SDL_UnlockSurface(s);
  push(s, pushWhole);
}

bool KSwPresenter::showsLastFrame(int width, int height) {
  // It does while nothing since its push asked for a whole one.
  int x = 0, y = 0, w = 0, h = 0, dw = 0, dh = 0;
  if (_path != Path::Surface || !KNativeWindow::isWindow(_hwnd)) return false;
  _hwnd->frameRect(x, y, w, h);
  _hwnd->drawableSize(dw, dh);
  return _diffCurrent && !_wholeStale && sdl()->exposures() == _exposures && width == _frameW &&
         height == _frameH && x == _lastX && y == _lastY && w == _lastW && h == _lastH &&
         dw == _surfW && dh == _surfH;
}

void KSwPresenter::presentSame(const void *pixels, long pitch, int width, int height,
                               int bitsPerPixel) {
  if (showsLastFrame(width, height)) {
    if (_busyFrames > 0) --_busyFrames;  // busy frames are counted in frames
    return;
  }
  present(pixels, pitch, width, height, bitsPerPixel);
}

void KSwPresenter::presentChanged(const void *pixels, long pitch, int width, int height,
                                  int bitsPerPixel, const std::vector<RECT> &areas) {
  _hinted = showsLastFrame(width, height) && _diff.keeps(width, height);
  _hint.clear();
  for (const RECT &r : areas)
    _hint.push_back(KTileRect{int(r.left), int(r.top), int(r.right - r.left), int(r.bottom - r.top)});
  present(pixels, pitch, width, height, bitsPerPixel);
  _hinted = false;
}

void KSwPresenter::push(SDL_Surface *s, bool whole) {
  if (whole) {
    if (SDL_UpdateWindowSurface(kSdlWindow(_hwnd)) != 0) return;
    _exposures = sdl()->exposures();
    _pixelsShown += long(s->w) * s->h;
  } else {
    if (SDL_UpdateWindowSurfaceRects(kSdlWindow(_hwnd), _updates.data(), int(_updates.size())) != 0)
      return;
    for (const SDL_Rect &u : _updates) _pixelsShown += long(u.w) * u.h;
  }
  _wholeStale = false;
  ++_frames;
}

bool KSwPresenter::findChanges(const uint32_t *src, long srcPitch, int width, int height) {
  const KTileRect whole = {0, 0, width, height};
  if (_busyFrames > 0) {
    // Frames that change over much of the picture are shown whole for a while,
    // without the comparison, which would only add to their cost.
    --_busyFrames;
    _diff.forget();
    _areas.assign(1, whole);
    return true;
  }
  // Only what changed since the last frame goes to the window: at rest, nothing.
  const bool compared = _diff.keeps(width, height);
  const std::vector<KTileRect> &changed = _hinted
                                              ? _diff.update(src, srcPitch, width, height, _hint)
                                              : _diff.update(src, srcPitch, width, height);
  long long area = 0;
  for (const KTileRect &r : changed) area += (long long)r.w * r.h;
  if (compared && area * 2 > (long long)width * height) _busyFrames = kBusyFrames;
  if (_wholeStale)
    _areas.assign(1, whole);
  else
    _areas.assign(changed.begin(), changed.end());
  return !_areas.empty();
}

KTileRect KSwPresenter::showArea(SDL_Surface *s, const void *src, long srcPitch, int width,
                                 int height, int x, int y, int w, int h, const KTileRect &r) {
  uint8_t *at = static_cast<uint8_t *>(s->pixels) + long(y) * s->pitch +
                long(x) * s->format->BytesPerPixel;
  // A window whose pixels are not XRGB (other visuals) gets the frame converted
  // from a staging copy.
  const bool xrgb = s->format->format == SDL_PIXELFORMAT_RGB888;
  if (!xrgb) _staging.resize(size_t(w) * size_t(h));
  uint8_t *to = xrgb ? at : reinterpret_cast<uint8_t *>(_staging.data());
  const long toPitch = xrgb ? long(s->pitch) : long(w) * 4;
  KTileRect d = r;  // the area in the frame rectangle
  if (w == width && h == height) {
    if (src != to) {
      for (int row = r.y; row < r.y + r.h; ++row)
        std::memcpy(to + long(row) * toPitch + long(r.x) * 4,
                    static_cast<const uint8_t *>(src) + long(row) * srcPitch + long(r.x) * 4,
                    size_t(r.w) * 4);
    }
  } else {
    scaler().affectedArea(width, height, w, h, r.x, r.y, r.w, r.h, d.x, d.y, d.w, d.h);
    scaler().scaleArea(static_cast<const uint32_t *>(src), srcPitch, width, height,
                       reinterpret_cast<uint32_t *>(to), toPitch, w, h, d.x, d.y, d.w, d.h);
  }
  if (!xrgb && d.w > 0 && d.h > 0)
    SDL_ConvertPixels(d.w, d.h, SDL_PIXELFORMAT_RGB888, to + long(d.y) * toPitch + long(d.x) * 4,
                      int(toPitch), s->format->format,
                      at + long(d.y) * s->pitch + long(d.x) * s->format->BytesPerPixel, s->pitch);
  return d;
}

// ---------------------------------------------------------------------------
// GPU renderer

void KSwPresenter::unlock() {
  if (!_locked) return;
  SwScreenMemoryRevoked(_hwnd);  // surfaces living there copy themselves out first
  SDL_UnlockTexture(_texture);
  _locked = nullptr;
}

void KSwPresenter::releaseRenderer() {
  unlock();
  if (_handedOut) SwScreenMemoryRevoked(_hwnd);
  _handedOut = false;
  if (_texture) SDL_DestroyTexture(_texture);
  if (_renderer) SDL_DestroyRenderer(_renderer);
  _texture = nullptr;
  _renderer = nullptr;
  _texW = _texH = _texBits = 0;
}

bool KSwPresenter::ensureTexture(int width, int height, int bitsPerPixel) {
  if (!_renderer) return false;
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

void KSwPresenter::showTexture() {
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

// ---------------------------------------------------------------------------

void *KSwPresenter::screenMemory(int width, int height, int bitsPerPixel, long &pitch) {
  if (!KNativeWindow::isWindow(_hwnd)) return nullptr;
  choosePath();
  if (_path == Path::Renderer) {
    if (!ensureTexture(width, height, bitsPerPixel)) return nullptr;
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
  if (_path != Path::Surface || bitsPerPixel != 32) return nullptr;
  SDL_Surface *s = windowSurface();
  // Only a frame shown unscaled over the whole surface, in its format, can live
  // there; surfaces that need locking move their pixels and cannot.
  if (!s || SDL_MUSTLOCK(s) || s->format->format != SDL_PIXELFORMAT_RGB888 || s->w != width ||
      s->h != height)
    return nullptr;
  int x = 0, y = 0, w = 0, h = 0;
  _hwnd->frameRect(x, y, w, h);
  if (x != 0 || y != 0 || w != width || h != height) return nullptr;
  _handedOut = true;
  pitch = s->pitch;
  return s->pixels;
}

void KSwPresenter::present(const void *pixels, long pitch, int width, int height,
                           int bitsPerPixel) {
  if (!pixels || width <= 0 || height <= 0 || !KNativeWindow::isWindow(_hwnd)) return;
  choosePath();
  if (_path == Path::Surface) {
    presentToSurface(pixels, pitch, width, height, bitsPerPixel);
    return;
  }
  if (_path != Path::Renderer || !ensureTexture(width, height, bitsPerPixel)) return;
  if (_locked && pixels == _locked) {
    // The frame is already in the texture: showing it is all that is left. The
    // texture is locked again at the next request for its memory.
    SDL_UnlockTexture(_texture);
    _locked = nullptr;
  } else {
    unlock();
    if (SDL_UpdateTexture(_texture, nullptr, pixels, int(pitch)) != 0) return;
  }
  showTexture();
}

// The window surface and X11 know no vertical blank: nothing to wait for (the
// game window's frame clock paces the frames).
void KSwPresenter::waitForVerticalBlank() {}

void KSwPresenter::clientSize(int &width, int &height) {
  width = height = 0;
  if (!KNativeWindow::isWindow(_hwnd)) return;
  width = _hwnd->frameWidth();
  height = _hwnd->frameHeight();
}
