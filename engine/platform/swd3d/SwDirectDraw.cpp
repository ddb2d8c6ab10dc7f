// The DirectDraw side of the software device: the DirectDraw object (display mode,
// cooperative level, surface creation), surfaces (lock, blit, flip, loss and
// restore) and clippers. Surfaces live in system memory. One thread.
#include <algorithm>
#include <cstring>
#include <map>
#include <new>

#include "platform/swd3d/SwInternal.h"

const IID IID_IDirectDraw7 = {1};
const IID IID_IDirect3D7 = {2};
const IID IID_IDirect3DTnLHalDevice = {3};
const IID IID_IDirect3DHALDevice = {4};
const IID IID_IDirect3DRGBDevice = {5};

HRESULT swCreateDevice(SwSurface *target, IDirect3DDevice7 **out);  // SwDevice.cpp

namespace {

// Surfaces beyond this side or size are refused: they could only come from a
// corrupt request, and a refusal is better than exhausting memory.
const int kMaxSide = 16384;
const size_t kMaxBytes = size_t(512) << 20;

std::map<HWND, SwDisplay *> &displays() {
  static std::map<HWND, SwDisplay *> m;
  return m;
}

std::vector<SwSurface *> &onScreen() {  // surfaces living in screen memory
  static std::vector<SwSurface *> v;
  return v;
}

// The content stamp of the frame each display showed last: an equal stamp is
// the same frame again.
std::map<SwDisplay *, uint64_t> &shownStamps() {
  static std::map<SwDisplay *, uint64_t> m;
  return m;
}

bool gReference = false;

class SwClipper final : public IDirectDrawClipper {
public:
  unsigned long AddRef() override { return ++_refs; }
  unsigned long Release() override { return swRelease(this, _refs); }
  HRESULT QueryInterface(REFIID, void **out) override { return swNoInterface(out); }
  HRESULT SetHWnd(uint32_t, HWND hwnd) override {
    _hwnd = hwnd;
    return DD_OK;
  }

private:
  std::atomic<unsigned long> _refs{1};
  HWND _hwnd = nullptr;
};

class SwDirectDraw;

class SwDirect3D final : public IDirect3D7 {
public:
  explicit SwDirect3D(IDirectDraw7 *dd) : _dd(dd) { _dd->AddRef(); }
  ~SwDirect3D() override { _dd->Release(); }
  unsigned long AddRef() override { return ++_refs; }
  unsigned long Release() override { return swRelease(this, _refs); }
  HRESULT QueryInterface(REFIID riid, void **out) override {
    return swQuerySelf<IDirect3D7>(this, riid, IID_IDirect3D7, out);
  }
  HRESULT CreateDevice(REFCLSID kind, IDirectDrawSurface7 *target,
                       IDirect3DDevice7 **out) override {
    if (!out || !target) return DDERR_INVALIDPARAMS;
    *out = nullptr;
    // Only the software kind exists; the hardware kinds are asked for first by
    // callers written for real hardware and must fail cleanly.
    if (kind != IID_IDirect3DRGBDevice) return D3DERR_NOHARDWAREDEVICE;
    return swCreateDevice(static_cast<SwSurface *>(target), out);
  }

private:
  std::atomic<unsigned long> _refs{1};
  IDirectDraw7 *_dd;
};

class SwDirectDraw final : public IDirectDraw7 {
public:
  SwDirectDraw() : _core(std::make_shared<SwDDCore>()) {}
  ~SwDirectDraw() override {
    // Surfaces may outlive this object; they become lost for good.
    _core->alive = false;
    _core->loseAll();
  }
  unsigned long AddRef() override { return ++_refs; }
  unsigned long Release() override { return swRelease(this, _refs); }
  HRESULT QueryInterface(REFIID riid, void **out) override {
    if (out && riid == IID_IDirect3D7) {
      *out = static_cast<IDirect3D7 *>(new (std::nothrow) SwDirect3D(this));
      return *out ? S_OK : DDERR_OUTOFMEMORY;
    }
    return swQuerySelf<IDirectDraw7>(this, riid, IID_IDirectDraw7, out);
  }

  HRESULT SetCooperativeLevel(HWND hwnd, uint32_t flags) override {
    bool exclusive = (flags & DDSCL_EXCLUSIVE) != 0;
    if (exclusive != ((flags & DDSCL_FULLSCREEN) != 0)) return DDERR_INVALIDPARAMS;
    if (!exclusive && !(flags & DDSCL_NORMAL)) return DDERR_INVALIDPARAMS;
    if (exclusive && !hwnd) return DDERR_INVALIDPARAMS;
    // Entering or leaving exclusive mode invalidates every surface, as a
    // change of display ownership does on real hardware.
    if (_core->coopSet && exclusive != _core->exclusive) _core->loseAll();
    _core->coopSet = true;
    _core->exclusive = exclusive;
    _core->hwnd = hwnd;
    return DD_OK;
  }

  HRESULT SetDisplayMode(uint32_t width, uint32_t height, uint32_t bpp, uint32_t,
                         uint32_t) override {
    if (!_core->exclusive) return DDERR_NOEXCLUSIVEMODE;
    if (width == 0 || height == 0 || width > 8192 || height > 8192) return DDERR_INVALIDMODE;
    if (bpp != 16 && bpp != 32) return DDERR_INVALIDMODE;
    bool same = _core->modeSet && _core->modeWidth == int(width) &&
                _core->modeHeight == int(height) && _core->modeBpp == int(bpp);
    if (!same) _core->loseAll();
    _core->modeSet = true;
    _core->modeWidth = int(width);
    _core->modeHeight = int(height);
    _core->modeBpp = int(bpp);
    return DD_OK;
  }

  HRESULT RestoreDisplayMode() override {
    if (_core->modeSet) {
      _core->modeSet = false;
      _core->loseAll();
    }
    return DD_OK;
  }

  HRESULT CreateSurface(DDSURFACEDESC2 *desc, IDirectDrawSurface7 **out, IUnknown *) override {
    if (!desc || !out) return DDERR_INVALIDPARAMS;
    *out = nullptr;
    uint32_t caps = (desc->dwFlags & DDSD_CAPS) ? desc->ddsCaps.dwCaps : 0;
    uint32_t caps2 = (desc->dwFlags & DDSD_CAPS) ? desc->ddsCaps.dwCaps2 : 0;
    int sw = 0, sh = 0, sbpp = 32;
    _core->screenMode(sw, sh, sbpp);
    SwFmt screenFmt = sbpp == 16 ? SwFmt::RGB565 : SwFmt::XRGB8888;

    if (caps & DDSCAPS_PRIMARYSURFACE) {
      if (!_core->coopSet) return DDERR_NOCOOPERATIVELEVELSET;
      bool chain = (caps & DDSCAPS_FLIP) != 0;
      if (chain) {
        if (!_core->exclusive) return DDERR_NOEXCLUSIVEMODE;
        if (!(caps & DDSCAPS_COMPLEX) || !(desc->dwFlags & DDSD_BACKBUFFERCOUNT) ||
            desc->dwBackBufferCount != 1)
          return DDERR_INVALIDCAPS;
      }
      SwSurface *primary = make(sw, sh, screenFmt, caps | DDSCAPS_FRONTBUFFER, caps2);
      if (!primary) return DDERR_OUTOFMEMORY;
      if (chain) {
        uint32_t backCaps = DDSCAPS_BACKBUFFER | DDSCAPS_FLIP | DDSCAPS_COMPLEX |
                            (caps & (DDSCAPS_3DDEVICE | DDSCAPS_VIDEOMEMORY));
        SwSurface *back = make(sw, sh, screenFmt, backCaps, 0);
        if (!back) {
          primary->Release();
          return DDERR_OUTOFMEMORY;
        }
        primary->attachBack(back);
      } else {
        primary->useScreenMemory();
      }
      *out = primary;
      return DD_OK;
    }

    if (!(desc->dwFlags & DDSD_WIDTH) || !(desc->dwFlags & DDSD_HEIGHT))
      return DDERR_INVALIDPARAMS;
    if (desc->dwWidth == 0 || desc->dwHeight == 0 || desc->dwWidth > uint32_t(kMaxSide) ||
        desc->dwHeight > uint32_t(kMaxSide))
      return DDERR_INVALIDPARAMS;
    SwFmt fmt = screenFmt;
    if (desc->dwFlags & DDSD_PIXELFORMAT) {
      fmt = swFormatFromPixelFormat(desc->ddpfPixelFormat);
      if (fmt == SwFmt::Unknown) return DDERR_INVALIDPIXELFORMAT;
    }
    SwSurface *s = make(int(desc->dwWidth), int(desc->dwHeight), fmt, caps, caps2);
    if (!s) return DDERR_OUTOFMEMORY;
    *out = s;
    return DD_OK;
  }

  HRESULT CreateClipper(uint32_t, IDirectDrawClipper **out, IUnknown *) override {
    if (!out) return DDERR_INVALIDPARAMS;
    *out = new (std::nothrow) SwClipper();
    return *out ? DD_OK : DDERR_OUTOFMEMORY;
  }

  HRESULT WaitForVerticalBlank(uint32_t, void *) override {
    if (SwDisplay *d = _core->display()) d->waitForVerticalBlank();
    return DD_OK;
  }

private:
  SwSurface *make(int w, int h, SwFmt fmt, uint32_t caps, uint32_t caps2) {
    size_t bytes = size_t(w) * size_t(h) * size_t(swBytesPerPixel(fmt));
    if (bytes > kMaxBytes) return nullptr;
    try {
      return new SwSurface(_core, w, h, fmt, caps, caps2);
    } catch (const std::bad_alloc &) {
      return nullptr;
    }
  }

  std::atomic<unsigned long> _refs{1};
  std::shared_ptr<SwDDCore> _core;
};

bool validRect(const RECT &r, int w, int h) {
  return r.left >= 0 && r.top >= 0 && r.left < r.right && r.top < r.bottom && r.right <= w &&
         r.bottom <= h;
}

}  // namespace

// ---------------------------------------------------------------------------
HRESULT DirectDrawCreateEx(void *driver, void **out, REFIID iid, IUnknown *) {
  if (!out) return DDERR_INVALIDPARAMS;
  *out = nullptr;
  if (driver) return DDERR_INVALIDPARAMS;
  if (iid != IID_IDirectDraw7) return E_NOINTERFACE;
  IDirectDraw7 *dd = new (std::nothrow) SwDirectDraw();
  if (!dd) return DDERR_OUTOFMEMORY;
  *out = dd;
  return DD_OK;
}

void SwScreenMemoryRevoked(HWND hwnd) {
  std::vector<SwSurface *> moving;
  for (SwSurface *s : onScreen())
    if (s->screenWindow() == hwnd) moving.push_back(s);
  for (SwSurface *s : moving) s->leaveScreenMemory();
}

void SwRegisterDisplay(HWND hwnd, SwDisplay *display) {
  SwScreenMemoryRevoked(hwnd);  // a replaced or removed display takes its memory along
  if (SwDisplay *old = SwDisplayFor(hwnd)) shownStamps().erase(old);
  if (display) shownStamps().erase(display);
  if (display)
    displays()[hwnd] = display;
  else
    displays().erase(hwnd);
}

SwDisplay *SwDisplayFor(HWND hwnd) {
  if (!hwnd) return nullptr;
  auto it = displays().find(hwnd);
  return it == displays().end() ? nullptr : it->second;
}

void SwSetReferenceRasterizer(bool on) {
  swFlushDrawing();  // what was asked before is drawn the way it was asked
  gReference = on;
}
bool SwReferenceRasterizer() { return gReference; }

// ---------------------------------------------------------------------------
void SwDDCore::loseAll() {
  for (SwSurface *s : surfaces) s->markLost();
}

void SwDDCore::screenMode(int &w, int &h, int &bpp) const {
  if (modeSet) {
    w = modeWidth;
    h = modeHeight;
    bpp = modeBpp;
    return;
  }
  w = 640;
  h = 480;
  bpp = 32;
  if (SwDisplay *d = display()) {
    int cw = 0, ch = 0;
    d->clientSize(cw, ch);
    if (cw > 0 && ch > 0 && cw <= kMaxSide && ch <= kMaxSide) {
      w = cw;
      h = ch;
    }
  }
}

// ---------------------------------------------------------------------------
SwSurface::SwSurface(std::shared_ptr<SwDDCore> core, int width, int height, SwFmt fmt,
                     uint32_t caps, uint32_t caps2)
    : _core(std::move(core)), _width(width), _height(height), _fmt(fmt), _caps(caps),
      _caps2(caps2) {
  _pitch = (long(width) * swBytesPerPixel(fmt) + 3) & ~3L;
  _mem = SwPixels(size_t(_pitch) * size_t(height));
  _bits = _mem.data();
  _core->surfaces.push_back(this);
}

void SwSurface::useScreenMemory() {
  swFlushDrawing();
  SwDisplay *d = _core->display();
  if (!d || _onScreen) return;
  long pitch = 0;
  void *p = d->screenMemory(_width, _height, swBytesPerPixel(_fmt) * 8, pitch);
  if (!p || pitch < long(_width) * swBytesPerPixel(_fmt)) return;
  for (int y = 0; y < _height; ++y)
    std::memcpy(static_cast<uint8_t *>(p) + y * pitch, _bits + y * _pitch,
                size_t(_width) * swBytesPerPixel(_fmt));
  _bits = static_cast<uint8_t *>(p);
  _pitch = pitch;
  _onScreen = true;
  _screenHwnd = _core->hwnd;
  onScreen().push_back(this);
  _mem.reset();
}

void SwSurface::leaveScreenMemory() {
  swFlushDrawing();
  unshare();
  if (_sharedPrimary) {
    _sharedPrimary->_sharer = nullptr;
    _sharedPrimary = nullptr;
  }
  if (!_onScreen) return;
  long pitch = (long(_width) * swBytesPerPixel(_fmt) + 3) & ~3L;
  SwPixels own(size_t(pitch) * size_t(_height));
  for (int y = 0; y < _height; ++y)
    std::memcpy(own.data() + y * pitch, _bits + y * _pitch, size_t(_width) * swBytesPerPixel(_fmt));
  _mem.swap(own);
  _bits = _mem.data();
  _pitch = pitch;
  _onScreen = false;
  _screenHwnd = nullptr;
  auto &v = onScreen();
  v.erase(std::remove(v.begin(), v.end(), this), v.end());
}

void SwSurface::unshare() {
  if (_sharer) _sharer->leaveScreenMemory();  // which unlinks the two
}

bool SwSurface::canShare(const SwSurface *src, const RECT &d, const RECT &s) const {
  auto whole = [this](const RECT &r) {
    return r.left == 0 && r.top == 0 && r.right == _width && r.bottom == _height;
  };
  // Our own memory keeps its pixels; screen memory only where the display says so.
  SwDisplay *display = _core->display();
  const bool kept = !_onScreen || (display && display->screenMemoryKept());
  return (_caps & DDSCAPS_PRIMARYSURFACE) && kept && !_back && !_sharer && src != this &&
         !src->_onScreen && !src->_back && !src->_front && !src->_sharedPrimary &&
         !(src->_caps & (DDSCAPS_TEXTURE | DDSCAPS_PRIMARYSURFACE)) && src->_fmt == _fmt &&
         src->_width == _width && src->_height == _height && whole(d) && whole(s);
}

void SwSurface::share(SwSurface *src) {
  src->_mem.reset();
  src->_bits = _bits;
  src->_pitch = _pitch;
  src->_onScreen = true;  // its pixels are not its own
  src->_screenHwnd = _onScreen ? _screenHwnd : nullptr;
  if (_onScreen) onScreen().push_back(src);
  _sharer = src;
  src->_sharedPrimary = this;
}

SwSurface::~SwSurface() {
  unshare();
  if (_sharedPrimary) _sharedPrimary->_sharer = nullptr;
  auto &os = onScreen();
  os.erase(std::remove(os.begin(), os.end(), this), os.end());
  auto &v = _core->surfaces;
  v.erase(std::remove(v.begin(), v.end(), this), v.end());
  if (_back) {
    _back->_front = nullptr;
    _back->Release();
  }
  if (_front) _front->_back = nullptr;  // cannot happen while the front holds us
  if (_clipper) _clipper->Release();
}

unsigned long SwSurface::AddRef() { return ++_refs; }

unsigned long SwSurface::Release() { return swRelease(this, _refs); }

HRESULT SwSurface::QueryInterface(REFIID, void **out) { return swNoInterface(out); }

void SwSurface::attachBack(SwSurface *back) {
  _back = back;
  back->_front = this;
}

void SwSurface::markLost() {
  swFlushDrawing();
  _lost = true;
  for (int y = 0; y < _height; ++y)
    std::memset(_bits + y * _pitch, 0, size_t(_width) * swBytesPerPixel(_fmt));
  touched();
}

void SwSurface::presentIfPrimary() {
  if (!(_caps & DDSCAPS_PRIMARYSURFACE) || _lost) return;
  SwDisplay *d = _core->display();
  if (!d) return;
  // The frame the display showed last, again: it need not even be compared.
  uint64_t &shown = shownStamps()[d];
  const uint64_t before = shown;
  shown = _version;
  const int bits = swBytesPerPixel(_fmt) * 8;
  if (before == _version)
    d->presentSame(_bits, _pitch, _width, _height, bits);
  else if (before != 0 && before == _changedFrom)
    d->presentChanged(_bits, _pitch, _width, _height, bits, _changedAreas);
  else
    d->present(_bits, _pitch, _width, _height, bits);
  if (_onScreen) {
    // Showing may move the screen memory; follow it, or fall back to our own.
    long pitch = 0;
    void *p = d->screenMemory(_width, _height, swBytesPerPixel(_fmt) * 8, pitch);
    if (p != _bits || pitch != _pitch) unshare();  // the sharer keeps its pixels
    if (p != _bits) touched();  // other memory, other pixels
    if (p && pitch == _pitch) {
      _bits = static_cast<uint8_t *>(p);
    } else {
      SwPixels own(size_t(_pitch) * size_t(_height));
      _mem.swap(own);
      _bits = _mem.data();
      _onScreen = false;
      auto &v = onScreen();
      v.erase(std::remove(v.begin(), v.end(), this), v.end());
    }
  }
}

const uint32_t *SwSurface::texels() {
  swFlushDrawing();
  if (_fmt == SwFmt::ARGB8888 && _pitch == long(_width) * 4)
    return reinterpret_cast<const uint32_t *>(_bits);
  if (!_shadowValid) {
    _shadow.resize(size_t(_width) * size_t(_height));
    int bpp = swBytesPerPixel(_fmt);
    for (int y = 0; y < _height; ++y) {
      const uint8_t *row = _bits + size_t(y) * size_t(_pitch);
      uint32_t *out = _shadow.data() + size_t(y) * size_t(_width);
      for (int x = 0; x < _width; ++x) out[x] = swReadArgb(_fmt, row + x * bpp);
    }
    _shadowValid = true;
  }
  return _shadow.data();
}

HRESULT SwSurface::Blt(RECT *destRect, IDirectDrawSurface7 *srcIface, RECT *srcRect,
                       uint32_t flags, DDBLTFX *fx) {
  swFlushDrawing();
  if (_lost || !_core->alive) return DDERR_SURFACELOST;
  if (_locked) return DDERR_SURFACEBUSY;
  RECT d = destRect ? *destRect : RECT{0, 0, _width, _height};
  int bpp = swBytesPerPixel(_fmt);

  if (flags & DDBLT_COLORFILL) {
    if (!fx) return DDERR_INVALIDPARAMS;
    unshare();
    long x0 = std::max(0L, d.left), y0 = std::max(0L, d.top);
    long x1 = std::min(long(_width), d.right), y1 = std::min(long(_height), d.bottom);
    for (long y = y0; y < y1; ++y) {
      uint8_t *row = _bits + y * _pitch;
      if (bpp == 4) {
        uint32_t *p = reinterpret_cast<uint32_t *>(row);
        std::fill(p + x0, p + x1, fx->dwFillColor);
      } else {
        uint16_t *p = reinterpret_cast<uint16_t *>(row);
        std::fill(p + x0, p + x1, uint16_t(fx->dwFillColor));
      }
    }
    touched();
    // A flip chain's front reaches the screen by the next flip: its fill (made with
    // the chain, before the first frame) is not scaled and pushed on its own.
    if (!_back) presentIfPrimary();
    return DD_OK;
  }

  SwSurface *src = static_cast<SwSurface *>(srcIface);
  if (!src) return DDERR_INVALIDPARAMS;
  if (src->_lost || !src->_core->alive) return DDERR_SURFACELOST;
  if (src->_locked) return DDERR_SURFACEBUSY;
  RECT s = srcRect ? *srcRect : RECT{0, 0, src->_width, src->_height};
  if (!validRect(s, src->_width, src->_height)) return DDERR_INVALIDRECT;
  if (d.left >= d.right || d.top >= d.bottom) return DDERR_INVALIDRECT;
  if (_sharer && src == _sharer && s.left == d.left && s.top == d.top && s.right == d.right &&
      s.bottom == d.bottom) {
    // The sharing surface's pixels are already where this one's are.
    copiedFrom(*src);
    presentIfPrimary();
    return DD_OK;
  }
  unshare();       // anything else written here must not reach the sharing surface
  src->unshare();  // nor read what is being drawn there
  long dw = d.right - d.left, dh = d.bottom - d.top;
  long sw = s.right - s.left, sh = s.bottom - s.top;

  // A blit within one surface reads from a copy so overlapping areas come out right.
  std::vector<uint8_t> copy;
  const uint8_t *sbits = src->_bits;
  if (src == this) {
    copy.assign(_bits, _bits + size_t(_pitch) * size_t(_height));
    sbits = copy.data();
  }
  int sbpp = swBytesPerPixel(src->_fmt);
  long x0 = std::max(0L, d.left), y0 = std::max(0L, d.top);
  long x1 = std::min(long(_width), d.right), y1 = std::min(long(_height), d.bottom);
  bool direct = sw == dw && sh == dh && src->_fmt == _fmt;
  for (long y = y0; y < y1; ++y) {
    long sy = s.top + (y - d.top) * sh / dh;
    const uint8_t *srow = sbits + sy * src->_pitch;
    uint8_t *drow = _bits + y * _pitch;
    if (direct) {
      std::memcpy(drow + x0 * bpp, srow + (s.left + x0 - d.left) * bpp, size_t(x1 - x0) * bpp);
      continue;
    }
    for (long x = x0; x < x1; ++x) {
      long sx = s.left + (x - d.left) * sw / dw;
      swWriteArgb(_fmt, drow + x * bpp, swReadArgb(src->_fmt, srow + sx * sbpp));
    }
  }
  touched();
  const bool whole = direct && d.left == 0 && d.top == 0 && d.right == _width &&
                     d.bottom == _height && s.left == 0 && s.top == 0 && s.right == src->_width &&
                     s.bottom == src->_height;
  if (whole && src != this) copiedFrom(*src);  // a copy of the whole surface
  if (canShare(src, d, s)) share(src);
  presentIfPrimary();
  return DD_OK;
}

HRESULT SwSurface::Flip(IDirectDrawSurface7 *target, uint32_t flags) {
  if (!(_caps & DDSCAPS_PRIMARYSURFACE) || !_back) return DDERR_NOTFLIPPABLE;
  if (target && target != _back) return DDERR_INVALIDPARAMS;
  if (_lost || _back->_lost || !_core->alive) return DDERR_SURFACELOST;
  if (_locked || _back->_locked) return DDERR_SURFACEBUSY;
  swFlushDrawing();
  // Chains live in exclusive mode, where nothing uses screen memory. The pixels
  // change places, and their stamps with them.
  std::swap(_mem, _back->_mem);
  std::swap(_pitch, _back->_pitch);
  std::swap(_version, _back->_version);
  std::swap(_changedFrom, _back->_changedFrom);
  _changedAreas.swap(_back->_changedAreas);
  _bits = _mem.data();
  _back->_bits = _back->_mem.data();
  _shadowValid = _back->_shadowValid = false;
  SwDisplay *d = _core->display();
  if (d && !(flags & DDFLIP_NOVSYNC)) d->waitForVerticalBlank();
  presentIfPrimary();
  return DD_OK;
}

HRESULT SwSurface::GetAttachedSurface(DDSCAPS2 *caps, IDirectDrawSurface7 **out) {
  if (!caps || !out) return DDERR_INVALIDPARAMS;
  *out = nullptr;
  if ((caps->dwCaps & DDSCAPS_BACKBUFFER) && _back) {
    _back->AddRef();
    *out = _back;
    return DD_OK;
  }
  return DDERR_NOTFOUND;
}

HRESULT SwSurface::SetClipper(IDirectDrawClipper *clipper) {
  if (clipper) clipper->AddRef();
  if (_clipper) _clipper->Release();
  _clipper = clipper;
  return DD_OK;
}

HRESULT SwSurface::IsLost() { return (_lost || !_core->alive) ? DDERR_SURFACELOST : DD_OK; }

HRESULT SwSurface::Restore() {
  if (!_core->alive) return DDERR_GENERIC;
  // The memory comes back but not what it held: the owner must redraw or reload.
  _lost = false;
  if (_back) _back->_lost = false;
  return DD_OK;
}

HRESULT SwSurface::Lock(RECT *rect, DDSURFACEDESC2 *desc, uint32_t flags, void *) {
  if (!desc) return DDERR_INVALIDPARAMS;
  if (_lost || !_core->alive) return DDERR_SURFACELOST;
  if (_locked) return DDERR_SURFACEBUSY;
  RECT r = rect ? *rect : RECT{0, 0, _width, _height};
  if (!validRect(r, _width, _height)) return DDERR_INVALIDRECT;
  swFlushDrawing();
  unshare();
  GetSurfaceDesc(desc);
  desc->dwFlags |= DDSD_LPSURFACE;
  desc->lpSurface = _bits + r.top * _pitch + r.left * swBytesPerPixel(_fmt);
  _locked = true;
  _lockReadOnly = (flags & DDLOCK_READONLY) != 0;
  return DD_OK;
}

HRESULT SwSurface::Unlock(RECT *) {
  if (!_locked) return DDERR_NOTLOCKED;
  _locked = false;
  if (!_lockReadOnly) {
    touched();
    presentIfPrimary();
  }
  return DD_OK;
}

HRESULT SwSurface::GetSurfaceDesc(DDSURFACEDESC2 *desc) {
  if (!desc) return DDERR_INVALIDPARAMS;
  std::memset(desc, 0, sizeof *desc);
  desc->dwSize = sizeof *desc;
  desc->dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PITCH | DDSD_PIXELFORMAT;
  desc->dwWidth = uint32_t(_width);
  desc->dwHeight = uint32_t(_height);
  desc->lPitch = _pitch;
  swPixelFormatOf(_fmt, desc->ddpfPixelFormat);
  desc->ddsCaps.dwCaps = _caps;
  desc->ddsCaps.dwCaps2 = _caps2;
  if (_back) {
    desc->dwFlags |= DDSD_BACKBUFFERCOUNT;
    desc->dwBackBufferCount = 1;
  }
  return DD_OK;
}
