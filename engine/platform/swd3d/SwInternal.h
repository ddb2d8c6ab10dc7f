// Private pieces of the software device shared by its source files: pixel formats,
// the surface and DirectDraw objects, and the rasteriser's entry points.
// Same thread rules as SwD3D.h: one thread owns a device and its surfaces.
#pragma once

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <new>
#include <vector>

#include "platform/swd3d/SwD3D.h"

// ---------------------------------------------------------------------------
// Pixel formats
enum class SwFmt : uint8_t { Unknown, ARGB8888, XRGB8888, ARGB4444, XRGB1555, ARGB1555, RGB565 };

int swBytesPerPixel(SwFmt f);
bool swHasAlpha(SwFmt f);
SwFmt swFormatFromPixelFormat(const DDPIXELFORMAT &pf);
void swPixelFormatOf(SwFmt f, DDPIXELFORMAT &pf);
// One pixel as 0xAARRGGBB; formats without alpha read as opaque. Narrow channels
// are widened by repeating their top bits, so full intensity stays 255.
uint32_t swReadArgb(SwFmt f, const uint8_t *p);
// One pixel from 0xAARRGGBB, narrowing by truncation.
void swWriteArgb(SwFmt f, uint8_t *p, uint32_t argb);
uint32_t swNativeFromArgb(SwFmt f, uint32_t argb);

// ---------------------------------------------------------------------------
// Reference counting and interface queries, the same for every object

// One reference fewer; the object deletes itself with the last one.
template <class T>
unsigned long swRelease(T *object, std::atomic<unsigned long> &refs) {
  unsigned long n = --refs;
  if (n == 0) delete object;
  return n;
}

// QueryInterface of an object that offers nothing beyond what it is held as.
inline HRESULT swNoInterface(void **out) {
  if (out) *out = nullptr;
  return E_NOINTERFACE;
}

// QueryInterface of an object known by one interface id: that id gives the object
// itself, with a reference added; any other id gives nothing.
template <class I>
HRESULT swQuerySelf(I *object, REFIID riid, REFIID own, void **out) {
  if (!out) return DDERR_INVALIDPARAMS;
  *out = nullptr;
  if (riid != own) return E_NOINTERFACE;
  object->AddRef();
  *out = object;
  return S_OK;
}

// A surface's own pixels, zeroed. They come from calloc, which takes large blocks
// straight from the system already zeroed: the parts never drawn (the unused
// rows of a square texture) then take no memory and no time to clear.
class SwPixels {
public:
  SwPixels() = default;
  explicit SwPixels(size_t bytes) : _p(static_cast<uint8_t *>(std::calloc(bytes ? bytes : 1, 1))) {
    if (!_p) throw std::bad_alloc();
  }
  uint8_t *data() const { return _p.get(); }
  void swap(SwPixels &other) noexcept { _p.swap(other._p); }
  void reset() { _p.reset(); }

private:
  struct Free {
    void operator()(uint8_t *p) const { std::free(p); }
  };
  std::unique_ptr<uint8_t, Free> _p;
};

// ---------------------------------------------------------------------------
// Deferred drawing. A device records its primitives and draws them only when
// something needs the pixels (see SwDevice.cpp); every surface call that reads
// or writes pixels other than the device's own drawing calls this first.
void swFlushDrawing();
// A content stamp never handed out before.
uint64_t swNewStamp();

// ---------------------------------------------------------------------------
// DirectDraw objects
class SwSurface;

// What every surface of one DirectDraw object shares: the display mode and the
// cooperative level, and the list of surfaces to mark lost when either changes.
// Kept alive by the DirectDraw object and by each of its surfaces.
struct SwDDCore {
  std::vector<SwSurface *> surfaces;  // not owned; each unregisters itself
  bool alive = true;                  // the DirectDraw object still exists
  HWND hwnd = nullptr;
  bool coopSet = false;
  bool exclusive = false;
  bool modeSet = false;
  int modeWidth = 0, modeHeight = 0, modeBpp = 32;

  void loseAll();
  // Size and depth of the screen as the surfaces see it: the set mode, else
  // the window's client area (640x480 without a display), 32 bits.
  void screenMode(int &w, int &h, int &bpp) const;
  SwDisplay *display() const { return SwDisplayFor(hwnd); }
};

class SwSurface final : public IDirectDrawSurface7 {
public:
  SwSurface(std::shared_ptr<SwDDCore> core, int width, int height, SwFmt fmt, uint32_t caps,
            uint32_t caps2);
  ~SwSurface() override;

  unsigned long AddRef() override;
  unsigned long Release() override;
  HRESULT QueryInterface(REFIID riid, void **out) override;

  HRESULT Blt(RECT *destRect, IDirectDrawSurface7 *src, RECT *srcRect, uint32_t flags,
              DDBLTFX *fx) override;
  HRESULT Flip(IDirectDrawSurface7 *target, uint32_t flags) override;
  HRESULT GetAttachedSurface(DDSCAPS2 *caps, IDirectDrawSurface7 **out) override;
  HRESULT SetClipper(IDirectDrawClipper *clipper) override;
  HRESULT IsLost() override;
  HRESULT Restore() override;
  HRESULT Lock(RECT *rect, DDSURFACEDESC2 *desc, uint32_t flags, void *event) override;
  HRESULT Unlock(RECT *rect) override;
  HRESULT GetSurfaceDesc(DDSURFACEDESC2 *desc) override;

  // The device's view of the surface.
  int width() const { return _width; }
  int height() const { return _height; }
  SwFmt format() const { return _fmt; }
  long pitch() const { return _pitch; }
  uint8_t *bits() { return _bits; }
  uint32_t caps() const { return _caps; }
  bool lost() const { return _lost; }
  bool locked() const { return _locked; }
  // The texels as 0xAARRGGBB, width x height, row after row. Surfaces in another
  // format keep a converted copy, rebuilt after every change.
  const uint32_t *texels();
  // Marks the contents changed (a draw or blit into it): they get a new stamp.
  void touched() {
    _shadowValid = false;
    _version = swNewStamp();
    _changedFrom = 0;
  }
  // What the pixels hold, as a stamp: two surfaces with the same stamp hold the
  // same pixels (one was copied from the other, or both were drawn by the same
  // calls over the whole surface).
  uint64_t version() const { return _version; }
  void sameAs(uint64_t version) { _version = version; }
  // The pixels differ from those stamped `from` only inside `areas` (0: unknown).
  void changedOnly(uint64_t from, const std::vector<RECT> &areas) {
    _changedFrom = from;
    _changedAreas = areas;
  }
  // Takes the content of `src`: its stamp and what it knows of its changes.
  void copiedFrom(const SwSurface &src) {
    touched();
    _version = src._version;
    _changedFrom = src._changedFrom;
    _changedAreas = src._changedAreas;
  }
  // Which recording of a device holds a reference to this texture (a stamp), so
  // that a recording takes one reference per texture, not one per state.
  uint64_t heldFor() const { return _heldFor; }
  void setHeldFor(uint64_t stamp) { _heldFor = stamp; }
  // A device holds drawing for this surface that it has not done yet.
  bool drawsPending() const { return _drawsPending; }
  void setDrawsPending(bool pending) { _drawsPending = pending; }
  void markLost();
  void attachBack(SwSurface *back);  // a flip chain of two
  void presentIfPrimary();
  // A windowed primary moves into the display's own memory when it offers some.
  void useScreenMemory();
  // Back to memory of its own, keeping the pixels (the screen memory is going).
  void leaveScreenMemory();
  // Called before anything but the sharing surface's whole blit writes or reads
  // a windowed primary: the surface sharing its memory takes its own again.
  void unshare();
  HWND screenWindow() const { return _onScreen ? _screenHwnd : nullptr; }

private:
  std::atomic<unsigned long> _refs{1};
  std::shared_ptr<SwDDCore> _core;
  int _width, _height;
  SwFmt _fmt;
  long _pitch;
  uint32_t _caps, _caps2;
  SwPixels _mem;              // own pixels, unless they live in screen memory
  uint8_t *_bits = nullptr;   // where the pixels are: _mem or screen memory
  bool _onScreen = false;
  HWND _screenHwnd = nullptr;
  std::vector<uint32_t> _shadow;
  bool _shadowValid = false;
  uint64_t _version = swNewStamp();
  uint64_t _changedFrom = 0;
  std::vector<RECT> _changedAreas;
  bool _drawsPending = false;
  uint64_t _heldFor = 0;
  bool _lost = false;
  bool _locked = false;
  bool _lockReadOnly = false;
  SwSurface *_back = nullptr;   // owned reference: the flip chain's back buffer
  SwSurface *_front = nullptr;  // not owned: the primary this back buffer belongs to
  // A windowed primary and the same-sized surface blitted whole into it each
  // frame may share the primary's memory (its own, or screen memory the display
  // keeps): the surface is then drawn there directly and the blit only presents.
  // While shared, the primary holds what is being drawn; the screen changes only
  // when presented. Neither pointer is owned.
  SwSurface *_sharer = nullptr;         // on the primary: the surface sharing its memory
  SwSurface *_sharedPrimary = nullptr;  // on that surface: the primary
  bool canShare(const SwSurface *src, const RECT &d, const RECT &s) const;
  void share(SwSurface *src);
  IDirectDrawClipper *_clipper = nullptr;
};

// ---------------------------------------------------------------------------
// Rasteriser
struct SwTarget {
  uint8_t *bits = nullptr;
  long pitch = 0;
  int width = 0, height = 0;
  SwFmt fmt = SwFmt::Unknown;
};

struct SwTexture {
  const uint32_t *texels = nullptr;  // ARGB, width * height
  int width = 0, height = 0;
};

// Everything a primitive's pixels depend on, gathered once per draw call.
struct SwRasterState {
  bool blend = false;
  int srcBlend = D3DBLEND_ONE, dstBlend = D3DBLEND_ZERO;
  bool hasTexture = false;
  SwTexture tex;
  int addressU = D3DTADDRESS_WRAP, addressV = D3DTADDRESS_WRAP;
  int magFilter = D3DTFG_POINT, minFilter = D3DTFN_POINT;
  // Stage 0 reduced to which inputs feed the colour and the alpha; an input
  // that is absent reads as full intensity, and two inputs are multiplied.
  bool colorUsesTex = true, colorUsesDiffuse = true;
  bool alphaUsesTex = true, alphaUsesDiffuse = false;
  bool flatShade = false;
  // Pixels outside [clipX0, clipX1) x [clipY0, clipY1) are never written.
  int clipX0 = 0, clipY0 = 0, clipX1 = 0, clipY1 = 0;
};

// A vertex in screen space after the viewport mapping: pixel centres sit on
// whole coordinates; u and v are in texture units (1.0 = the whole texture).
struct SwVertex {
  float x, y;
  D3DCOLOR color;
  float u, v;
};

// Positions are snapped to 1/256 pixel before any coverage decision.
constexpr int kSubBits = 8;

void swDrawTriangle(const SwTarget &t, const SwRasterState &st, const SwVertex &a,
                    const SwVertex &b, const SwVertex &c, D3DCOLOR flatColor);
// Two triangles (a, b, c) and (c, b, d) of a strip. Takes the whole-rectangle
// path when they form an axis-aligned rectangle with one affine mapping; else
// draws them as two triangles.
void swDrawQuadStrip(const SwTarget &t, const SwRasterState &st, const SwVertex &a,
                     const SwVertex &b, const SwVertex &c, const SwVertex &d);
// An unscaled, unmirrored textured rectangle, set up once and then drawn a band
// of rows at a time: texel rows combined straight into pixel rows.
struct SwRectJob {
  void (*fn)(const uint32_t *src, long srcStride, uint8_t *dst, long dstPitch, int n, int rows,
             uint32_t texOr, uint32_t flat, uint32_t dstAlphaOr) = nullptr;
  const uint32_t *src = nullptr;  // the texel of pixel (x0, y0)
  long offset = 0;                // ... as an index into the texture's texels
  long srcStride = 0;             // texels from one row to the next
  int x0 = 0, x1 = 0, y0 = 0, y1 = 0;  // pixels [x0, x1) x [y0, y1); none when empty
  uint32_t texOr = 0, flat = 0, dstAlphaOr = 0;
};
// Whether swDrawQuadStrip would draw the quad as such a rectangle (or draw
// nothing); then `job` is its set-up.
bool swQuadAsRect(const SwTarget &t, const SwRasterState &st, const SwVertex &a,
                  const SwVertex &b, const SwVertex &c, const SwVertex &d, SwRectJob &job);
// Draws the job's rows inside [y0, y1).
void swRunRect(const SwTarget &t, const SwRectJob &job, int y0, int y1);
void swDrawPoint(const SwTarget &t, const SwRasterState &st, const SwVertex &a);
void swDrawLine(const SwTarget &t, const SwRasterState &st, const SwVertex &a, const SwVertex &b);

// Rounded a * b / 255 for bytes: the one multiplication every path uses.
inline uint32_t swMul8(uint32_t a, uint32_t b) {
  uint32_t t = a * b + 128;
  return (t + (t >> 8)) >> 8;
}
