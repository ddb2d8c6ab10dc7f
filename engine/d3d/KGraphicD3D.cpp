// KGraphicD3D: pictures on the software Direct3D device (see KGraphicD3D.h).
// Application thread only.
#include "d3d/KGraphicD3D.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "d3d/KD3DMatrix.h"
#include "graphic/KImageCodec.h"
#include "tools/KLog.h"

IDirectDraw7 *KGraphicD3D::_directX = nullptr;
IDirect3DDevice7 *KGraphicD3D::_d3d = nullptr;
IDirectDrawSurface7 *KGraphicD3D::_backBuffer = nullptr;
IDirectDrawSurface7 *KGraphicD3D::_oldBindedText = nullptr;
long KGraphicD3D::_screenWidth = 0;
long KGraphicD3D::_screenHeight = 0;

namespace {

// Array pictures and captures larger than this are refused rather than attempted.
const long kMaxSide = 16384;

DDPIXELFORMAT makeFormat(uint32_t bits, uint32_t r, uint32_t g, uint32_t b, uint32_t a) {
  DDPIXELFORMAT pf;
  std::memset(&pf, 0, sizeof pf);
  pf.dwSize = sizeof pf;
  pf.dwFlags = DDPF_RGB | (a ? DDPF_ALPHAPIXELS : 0);
  pf.dwRGBBitCount = bits;
  pf.dwRBitMask = r;
  pf.dwGBitMask = g;
  pf.dwBBitMask = b;
  pf.dwRGBAlphaBitMask = a;
  return pf;
}
const DDPIXELFORMAT kARGB = makeFormat(32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000u);
const DDPIXELFORMAT k4444 = makeFormat(16, 0xF00, 0xF0, 0xF, 0xF000);
const DDPIXELFORMAT k555 = makeFormat(16, 0x7C00, 0x3E0, 0x1F, 0);

// A colour component from 0..1 to a byte, truncated toward zero. Values outside
// the range are held at its ends so they cannot spill into the next component.
uint32_t toByte(float f) {
  float v = f * 255.0f;
  if (!(v > 0.0f)) return 0;
  if (v >= 255.0f) return 255;
  return uint32_t(v);
}

D3DLVERTEX vertex(float x, float y, D3DCOLOR color, float u, float v) {
  D3DLVERTEX o;
  o.x = x;
  o.y = y;
  o.z = 0;
  o.dwReserved = 0;
  o.color = color;
  o.specular = 0;
  o.tu = u;
  o.tv = v;
  return o;
}

// A w by h rectangle from the origin as a strip of two triangles, its corners
// textured from (u1, v1) to (u2, v2).
void drawTexturedQuad(IDirect3DDevice7 *d3d, float w, float h, D3DCOLOR c, float u1, float v1,
                      float u2, float v2) {
  D3DLVERTEX v[4] = {vertex(0, 0, c, u1, v1), vertex(w, 0, c, u2, v1), vertex(0, h, c, u1, v2),
                     vertex(w, h, c, u2, v2)};
  d3d->DrawPrimitive(D3DPT_TRIANGLESTRIP, D3DFVF_LVERTEX, v, 4, 0);
}

// Truncation toward zero that stays defined for any float: values far outside
// the screen are held at a bound first, not a number becomes 0.
long truncLong(float v) {
  if (!(v == v)) return 0;
  if (v > 1e9f) return 1000000000L;
  if (v < -1e9f) return -1000000000L;
  return long(v);
}
short truncShort(float v) { return short(truncLong(v)); }

int textureSide(int w, int h) {
  int side = 1;
  while (side < std::max(w, h)) side <<= 1;
  return side;
}

// The world matrix of a turned and zoomed blit: the centre (mx, my) of the
// rectangle is brought to the origin, turned by angle, zoomed, then placed by
// the current world matrix.
void fxWorld(D3DMATRIX &world, const D3DMATRIX &current, float mx, float my, float angle,
             float zoom) {
  D3DMATRIX t, r, s;
  translate(t, -mx, my, 0);
  rotatez(r, angle);
  scale(s, zoom, zoom, 0);
  multiply(world, t, r);
  multiply(world, world, s);
  multiply(world, world, current);
}

D3DCOLOR flatColor(float r, float g, float b, float blend) {
  return (toByte(blend) << 24) | (toByte(r) << 16) | (toByte(g) << 8) | toByte(b);
}

// Locks a surface for the duration of a scope.
struct Locked {
  IDirectDrawSurface7 *s;
  DDSURFACEDESC2 d;
  bool ok;
  Locked(IDirectDrawSurface7 *surface, uint32_t flags) : s(surface) {
    std::memset(&d, 0, sizeof d);
    d.dwSize = sizeof d;
    ok = s && s->Lock(nullptr, &d, flags | DDLOCK_WAIT, nullptr) == DD_OK;
  }
  ~Locked() {
    if (ok) s->Unlock(nullptr);
  }
  uint8_t *row(long y) const { return static_cast<uint8_t *>(d.lpSurface) + y * d.lPitch; }
};

// One pixel of a locked back buffer as 8-bit red, green, blue. 16-bit buffers are
// 5-6-5 when the green mask says so, else 5-5-5; channels are shifted up.
void backPixel(const Locked &b, long x, long y, long &r, long &g, long &bl) {
  const uint8_t *p = b.row(y);
  if (b.d.ddpfPixelFormat.dwRGBBitCount == 32) {
    uint32_t v;
    std::memcpy(&v, p + x * 4, 4);
    r = (v >> 16) & 255;
    g = (v >> 8) & 255;
    bl = v & 255;
  } else {
    uint16_t v;
    std::memcpy(&v, p + x * 2, 2);
    if (b.d.ddpfPixelFormat.dwGBitMask == 0x7E0) {
      r = (v >> 11) << 3;
      g = ((v >> 5) & 63) << 2;
    } else {
      r = ((v >> 10) & 31) << 3;
      g = ((v >> 5) & 31) << 3;
    }
    bl = (v & 31) << 3;
  }
}

}  // namespace

// ---------------------------------------------------------------------------
KGraphicD3D::KGraphicD3D() {
  imageFileName[0] = 0;
  _currentState = false;
  _surface = nullptr;
  _blitColorChanged = false;
  _blitRed = _blitGreen = _blitBlue = _blitAlpha = 1.0f;
  _blend = 1.0f;
  _userPixelPtr = nullptr;
  _userHiDef = false;
  _oldTextureQualityD3D = 3;
  _oldTextureWrapD3D = 2;
  _oldsourceAlpha = 1;
  _olddestAlpha = 1;
  _hidef = _hasAlpha = false;
  _lineWidth = 0;
  _pixels = nullptr;
  _ftextureWIDTH = _ftextureHEIGHT = 0.0f;
  fimageHeight = fimageWidth = 0.0f;
  _ckActive = false;
  _ckr = _ckg = _ckb = 0;
  _textureQuality = false;
  _textureQualityD3D = D3DTFG_POINT;
  _sourceAlpha = D3DBLEND_SRCALPHA;
  _destAlpha = D3DBLEND_INVSRCALPHA;
  setAlphaMode(1);
  allowTextureWrap(false);
  setBlitColor(1, 1, 1, 1);
}

KGraphicD3D::~KGraphicD3D() { freePicture(); }

void KGraphicD3D::setDirectX(IDirectDraw7 *dd7, IDirect3DDevice7 *d3d,
                             IDirectDrawSurface7 *backbuffer, long width, long height) {
  _directX = dd7;
  _d3d = d3d;
  _backBuffer = backbuffer;
  _oldBindedText = nullptr;
  if (d3d) {
    d3d->SetRenderState(D3DRENDERSTATE_LIGHTING, 0);
    d3d->SetRenderState(D3DRENDERSTATE_ZENABLE, D3DZB_FALSE);
    d3d->SetRenderState(D3DRENDERSTATE_CULLMODE, D3DCULL_NONE);
    d3d->SetRenderState(D3DRENDERSTATE_COLORVERTEX, 1);
    d3d->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
    d3d->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
    d3d->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
    d3d->SetRenderState(D3DRENDERSTATE_SRCBLEND, D3DBLEND_SRCALPHA);
    d3d->SetRenderState(D3DRENDERSTATE_DESTBLEND, D3DBLEND_INVSRCALPHA);
    d3d->SetTextureStageState(0, D3DTSS_ADDRESS, D3DTADDRESS_CLAMP);
    d3d->SetTextureStageState(0, D3DTSS_ADDRESSU, D3DTADDRESS_CLAMP);
    d3d->SetTextureStageState(0, D3DTSS_ADDRESSV, D3DTADDRESS_CLAMP);
    d3d->SetTextureStageState(0, D3DTSS_MAGFILTER, D3DTFG_POINT);
    d3d->SetTextureStageState(0, D3DTSS_MINFILTER, D3DTFN_POINT);
    d3d->SetRenderState(D3DRENDERSTATE_TEXTUREPERSPECTIVE, 0);
    d3d->SetRenderState(D3DRENDERSTATE_ALPHATESTENABLE, 0);
    d3d->SetRenderState(D3DRENDERSTATE_DITHERENABLE, 0);
    d3d->SetRenderState(D3DRENDERSTATE_CLIPPING, 1);
    d3d->SetRenderState(D3DRENDERSTATE_ANTIALIAS, 0);
    d3d->SetRenderState(D3DRENDERSTATE_EDGEANTIALIAS, 0);
  }
  _screenWidth = width;
  _screenHeight = height;
}

// ---------------------------------------------------------------------------
// Loading

std::unique_ptr<KImage> KGraphicD3D::LoadGeneric(const char *filename) {
  // The same reader as the OpenGL pictures: the type from the file name's
  // extension, and one log line naming the file and the reason when it fails.
  std::unique_ptr<KImage> img(new (std::nothrow) KImage());
  if (!img || !KImageCodec::readFile(filename, *img)) return nullptr;
  return img;
}

bool KGraphicD3D::createTexture(int width, int height, const DDPIXELFORMAT &pf) {
  if (!_directX) return false;
  DDSURFACEDESC2 sd;
  std::memset(&sd, 0, sizeof sd);
  sd.dwSize = sizeof sd;
  sd.dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH | DDSD_PIXELFORMAT | DDSD_TEXTURESTAGE;
  sd.ddsCaps.dwCaps = DDSCAPS_TEXTURE;
  sd.ddsCaps.dwCaps2 = DDSCAPS2_TEXTUREMANAGE;
  sd.dwWidth = uint32_t(width);
  sd.dwHeight = uint32_t(height);
  sd.dwTextureStage = 0;
  sd.ddpfPixelFormat = pf;
  IDirectDrawSurface7 *s = nullptr;
  if (_directX->CreateSurface(&sd, &s, nullptr) != DD_OK || !s) return false;
  _surface = s;
  return true;
}

bool KGraphicD3D::loadPicture(const char *filename, bool hiDef, bool hasAlpha) {
  // Copied first: a reload passes imageFileName itself, which the loaders rewrite.
  char name[sizeof imageFileName];
  bool fits = filename && std::strlen(filename) < sizeof name;
  if (fits) std::strcpy(name, filename);
  freePicture();
  _hidef = hiDef;
  _hasAlpha = hasAlpha;
  if (!fits) {
    if (filename) logTrouble("pictures", "the picture %s could not be loaded (its name is too long)", filename);
    imageFileName[0] = 0;
    return false;
  }
  return loadTexture(name, hiDef, hasAlpha);
}

namespace {
// One 16-bit texel of a loaded picture: 4444 with alpha or 555 without (a
// colour key only counts where there is alpha).
void putTexel16(uint8_t *out, const uint8_t *p, bool alpha, bool keyed) {
  uint16_t v;
  if (alpha) {
    const uint32_t a = keyed ? 0 : p[3];
    v = uint16_t(((a >> 4) << 12) | ((p[0] >> 4) << 8) | ((p[1] >> 4) << 4) | (p[2] >> 4));
  } else {
    v = uint16_t(((p[0] >> 3) << 10) | ((p[1] >> 3) << 5) | (p[2] >> 3));
  }
  std::memcpy(out, &v, 2);
}

// A row of deep texels at once: RGBA bytes to BGRA, alpha kept or made opaque,
// keyed colours cleared. Whole words and no branches, so that the compiler turns
// it into vector code (the menu's background alone is 300 000 texels). Both
// systems are little-endian: byte 0 of a word is its low byte.
void putDeepRow(uint8_t *out, const uint8_t *in, int n, bool alpha, bool keyOn, uint32_t key) {
  const uint32_t opaque = alpha ? 0 : 0xFF000000u;
  for (int x = 0; x < n; ++x) {
    uint32_t p;
    std::memcpy(&p, in + x * 4, 4);
    uint32_t t = ((p & 0xFF) << 16) | (p & 0xFF00FF00u) | ((p >> 16) & 0xFF) | opaque;
    if (keyOn && (p & 0xFFFFFFu) == key) t &= 0xFFFFFFu;
    std::memcpy(out + x * 4, &t, 4);
  }
}
}  // namespace

bool KGraphicD3D::loadTexture(const char *filename, bool deep, bool hasAlpha) {
  imageFileName[0] = 0;
  if (!_directX || !_d3d) return false;
  std::strcpy(imageFileName, filename);
  std::unique_ptr<KImage> img = LoadGeneric(filename);
  if (!img) return false;
  // A deep texture keeps the file's alpha; a 16-bit one only when asked for.
  const bool alpha = img->hasAlpha && (deep || hasAlpha);
  const int side = textureSide(img->width, img->height);
  if (!createTexture(side, side, deep ? kARGB : (alpha ? k4444 : k555))) {
    logTrouble("pictures", "the picture %s could not be loaded (no %dx%d texture)", filename, side, side);
    return false;
  }
  {
    Locked t(_surface, 0);
    if (!t.ok) {
      logTrouble("pictures", "the picture %s could not be loaded (its texture cannot be written)", filename);
      freePicture();
      return false;
    }
    const uint32_t key = uint32_t(_ckr) | (uint32_t(_ckg) << 8) | (uint32_t(_ckb) << 16);
    for (int y = 0; y < img->height; ++y) {
      uint8_t *row = t.row(y);
      if (deep) {
        putDeepRow(row, img->pixel(0, y), img->width, alpha, _ckActive, key);
        continue;
      }
      for (int x = 0; x < img->width; ++x) {
        const uint8_t *p = img->pixel(x, y);
        const bool keyed = _ckActive && p[0] == _ckr && p[1] == _ckg && p[2] == _ckb;
        putTexel16(row + x * 2, p, alpha, keyed);
      }
    }
  }
  _d3d->PreLoad(_surface);
  _ftextureWIDTH = _ftextureHEIGHT = float(side);
  fimageWidth = float(img->width);
  fimageHeight = float(img->height);
  return true;
}

void KGraphicD3D::freePicture() {
  if (_surface) {
    // The cache must not name a surface that may be gone (its address could come back).
    if (_oldBindedText == _surface) _oldBindedText = nullptr;
    _surface->Release();
    _surface = nullptr;
  }
  fimageWidth = fimageHeight = 0.0f;
  _ftextureWIDTH = _ftextureHEIGHT = 0.0f;
}

float KGraphicD3D::getWidth() { return fimageWidth; }
float KGraphicD3D::getHeight() { return fimageHeight; }

bool KGraphicD3D::reloadIfLost() {
  if (!_surface) return false;
  if (_surface->IsLost() != DDERR_SURFACELOST) return true;
  if (imageFileName[0]) {
    loadPicture(imageFileName, _hidef, _hasAlpha);
  } else if (_userPixelPtr) {
    // An array picture comes back from the caller's array, which it keeps alive;
    // its colour key was already applied to the array.
    long w = long(fimageWidth), h = long(fimageHeight);
    bool key = _ckActive;
    _ckActive = false;
    makePictureFromArray(_userPixelPtr, w, h, _userHiDef);
    _ckActive = key;
  } else {
    freePicture();  // a capture cannot be taken again
  }
  return _surface != nullptr;
}

// ---------------------------------------------------------------------------
// State

void KGraphicD3D::setTextureQuality(bool quality) {
  _textureQuality = quality;
  _textureQualityD3D = quality ? D3DTFG_LINEAR : D3DTFG_POINT;
}

void KGraphicD3D::allowTextureWrap(bool texwRap) {
  _textureWrap = texwRap;
  _textureWrapD3D = texwRap ? D3DTADDRESS_WRAP : D3DTADDRESS_CLAMP;
}

void KGraphicD3D::setColorKey(bool active, unsigned char r, unsigned char g, unsigned char b) {
  _ckActive = active;
  _ckr = r;
  _ckg = g;
  _ckb = b;
}

void KGraphicD3D::setBlendFactors(KBlendFactor source, KBlendFactor destination) {
  static const D3DBLEND factors[] = {D3DBLEND_ZERO, D3DBLEND_ONE, D3DBLEND_SRCALPHA,
                                     D3DBLEND_INVSRCALPHA, D3DBLEND_DESTALPHA};
  _sourceAlpha = factors[source];
  _destAlpha = factors[destination];
}

void KGraphicD3D::applyTextureState() {
  _d3d->SetTextureStageState(0, D3DTSS_ADDRESS, _textureWrapD3D);
  _d3d->SetTextureStageState(0, D3DTSS_ADDRESSU, _textureWrapD3D);
  _d3d->SetTextureStageState(0, D3DTSS_ADDRESSV, _textureWrapD3D);
  _d3d->SetTextureStageState(0, D3DTSS_MAGFILTER, _textureQualityD3D);
  _d3d->SetTextureStageState(0, D3DTSS_MINFILTER, _textureQualityD3D);
  _d3d->SetRenderState(D3DRENDERSTATE_SRCBLEND, _sourceAlpha);
  _d3d->SetRenderState(D3DRENDERSTATE_DESTBLEND, _destAlpha);
}

bool KGraphicD3D::qmx_bindTexture() {
  if (_surface == _oldBindedText) return true;
  if (_d3d->SetTexture(0, _surface) != D3D_OK) return false;
  // Remembered so that the cache always names what the device holds.
  _oldBindedText = _surface;
  return true;
}

void KGraphicD3D::selectTexture() {
  if (!_d3d || _surface == _oldBindedText) return;
  _d3d->SetTexture(0, _surface);
  _oldBindedText = _surface;
}

void KGraphicD3D::pollArray() {}

D3DCOLOR KGraphicD3D::quadColor() const {
  if (!_blitColorChanged) return (toByte(_blend) << 24) | 0xFFFFFFu;
  return (toByte(_blend * _blitAlpha) << 24) | (toByte(_blitRed) << 16) |
         (toByte(_blitGreen) << 8) | toByte(_blitBlue);
}

// ---------------------------------------------------------------------------
// Blits

bool KGraphicD3D::beginQuad(float x, float y, D3DMATRIX &saved) {
  if (!_d3d || !reloadIfLost()) return false;
  applyTextureState();
  if (!qmx_bindTexture()) return false;
  D3DMATRIX world;
  _d3d->GetTransform(D3DTRANSFORMSTATE_WORLD, &saved);
  // The half-pixel shift puts texel centres on pixel centres.
  postTranslate(world, saved, x - 0.5f, -y + 0.5f, 0);
  _d3d->SetTransform(D3DTRANSFORMSTATE_WORLD, &world);
  return true;
}

void KGraphicD3D::GenericBlit(long x1, long y1, long x2, long y2, float destX, float destY,
                              bool flipx, bool flipy) {
  D3DMATRIX saved;
  if (!beginQuad(destX, destY, saved)) return;
  const D3DCOLOR c = quadColor();
  const float w = float(x2 - x1), h = float(y1 - y2);
  float u1 = float(x1) / _ftextureWIDTH, u2 = float(x2) / _ftextureWIDTH;
  float v1 = float(y1) / _ftextureHEIGHT, v2 = float(y2) / _ftextureHEIGHT;
  if (flipx) std::swap(u1, u2);
  if (flipy) std::swap(v1, v2);
  drawTexturedQuad(_d3d, w, h, c, u1, v1, u2, v2);
  _d3d->SetTransform(D3DTRANSFORMSTATE_WORLD, &saved);
}

void KGraphicD3D::blitRect(float x1, float y1, float x2, float y2, short destX, short destY,
                           bool flipx, bool flipy) {
  if (!_surface || !_d3d) return;
  _d3d->SetRenderState(D3DRENDERSTATE_ALPHABLENDENABLE, 0);
  GenericBlit(truncLong(x1), truncLong(y1), truncLong(x2), truncLong(y2), destX, destY, flipx,
              flipy);
}

void KGraphicD3D::blitAlphaRect(float x1, float y1, float x2, float y2, short destX, short destY,
                                bool flipx, bool flipy) {
  if (!_surface || !_d3d) return;
  _d3d->SetRenderState(D3DRENDERSTATE_ALPHABLENDENABLE, 1);
  GenericBlit(truncLong(x1), truncLong(y1), truncLong(x2), truncLong(y2), destX, destY, flipx,
              flipy);
}

void KGraphicD3D::blitAlphaRectFx(float x1, float y1, float x2, float y2, short destX,
                                  short destY, float angle, float zoom, float blend, bool flipx,
                                  bool flipy) {
  if (blend <= 0 || !_surface || !_d3d || zoom == 0) return;
  const float mx = (x2 - x1) / 2, my = (y2 - y1) / 2;
  D3DMATRIX saved, world;
  _d3d->GetTransform(D3DTRANSFORMSTATE_WORLD, &saved);
  fxWorld(world, saved, mx, my, angle, zoom);
  _d3d->SetTransform(D3DTRANSFORMSTATE_WORLD, &world);
  _blend = blend;
  blitAlphaRect(x1, y1, x2, y2, truncShort(destX + mx), truncShort(destY + my), flipx, flipy);
  _blend = 1.0f;
  _d3d->SetTransform(D3DTRANSFORMSTATE_WORLD, &saved);
}

void KGraphicD3D::blitRectFx(float x1, float y1, float x2, float y2, short destX, short destY,
                             float angle, float zoom, bool flipx, bool flipy) {
  if (!_surface || !_d3d || zoom == 0) return;
  const float mx = (x2 - x1) / 2, my = (y2 - y1) / 2;
  D3DMATRIX saved, world;
  _d3d->GetTransform(D3DTRANSFORMSTATE_WORLD, &saved);
  fxWorld(world, saved, mx, my, angle, zoom);
  _d3d->SetTransform(D3DTRANSFORMSTATE_WORLD, &world);
  // The centre moves with the zoom: unrotated, the top-left corner stays put.
  blitRect(x1, y1, x2, y2, truncShort(destX + mx * zoom), truncShort(destY + my * zoom), flipx,
           flipy);
  _d3d->SetTransform(D3DTRANSFORMSTATE_WORLD, &saved);
}

void KGraphicD3D::genericStretchBlit(float sx1, float sy1, float sx2, float sy2, float dx1,
                                     float dy1, float dx2, float dy2) {
  // The caller puts the world back.
  D3DMATRIX current;
  if (!beginQuad(dx1, dy1, current)) return;
  const D3DCOLOR c = quadColor();
  const float w = dx2 - dx1, h = dy1 - dy2;
  const float u1 = sx1 / _ftextureWIDTH, u2 = sx2 / _ftextureWIDTH;
  const float v1 = sy1 / _ftextureHEIGHT, v2 = sy2 / _ftextureHEIGHT;
  drawTexturedQuad(_d3d, w, h, c, u1, v1, u2, v2);
}

void KGraphicD3D::stretchAlphaRect(float sx1, float sy1, float sx2, float sy2, float dx1,
                                   float dy1, float dx2, float dy2, float blend, float angle) {
  if (!_surface || !_d3d) return;
  const float mx = (dx2 - dx1) / 2, my = (dy2 - dy1) / 2;
  D3DMATRIX saved, t, r, world;
  _d3d->GetTransform(D3DTRANSFORMSTATE_WORLD, &saved);
  translate(t, -mx, my, 0);
  rotatez(r, angle);
  multiply(world, t, r);
  multiply(world, world, saved);
  _d3d->SetTransform(D3DTRANSFORMSTATE_WORLD, &world);
  _blend = blend;
  _d3d->SetRenderState(D3DRENDERSTATE_ALPHABLENDENABLE, 1);
  genericStretchBlit(sx1, sy1, sx2, sy2, dx1 + mx, dy1 + my, dx2 + mx, dy2 + my);
  _blend = 1.0f;
  _d3d->SetTransform(D3DTRANSFORMSTATE_WORLD, &saved);
}

void KGraphicD3D::blitArbitraryQuad(float sx1, float sy1, float sx2, float sy2, float sx3,
                                    float sy3, float sx4, float sy4, float dx1, float dy1,
                                    float dx2, float dy2, float dx3, float dy3, float dx4,
                                    float dy4) {
  if (!_surface || !_d3d || !reloadIfLost()) return;
  _d3d->SetRenderState(D3DRENDERSTATE_ALPHABLENDENABLE, 1);
  applyTextureState();
  if (!qmx_bindTexture()) return;
  const D3DCOLOR c = quadColor();
  const float tw = _ftextureWIDTH, th = _ftextureHEIGHT;
  D3DLVERTEX p1 = vertex(dx1, -dy1, c, sx1 / tw, sy1 / th);
  D3DLVERTEX p2 = vertex(dx2, -dy2, c, sx2 / tw, sy2 / th);
  D3DLVERTEX p3 = vertex(dx3, -dy3, c, sx3 / tw, sy3 / th);
  D3DLVERTEX p4 = vertex(dx4, -dy4, c, sx4 / tw, sy4 / th);
  D3DLVERTEX v[6] = {p1, p2, p3, p1, p3, p4};
  _d3d->DrawPrimitive(D3DPT_TRIANGLELIST, D3DFVF_LVERTEX, v, 6, 0);
}

void KGraphicD3D::blitTiledRect(short destX, short destY, short width, short height,
                                float tileFactor, float angle) {
  if (!_surface || !_d3d || !reloadIfLost()) return;
  _d3d->SetRenderState(D3DRENDERSTATE_ALPHABLENDENABLE, 0);
  const uint32_t address = _textureWrap ? D3DTADDRESS_WRAP : D3DTADDRESS_CLAMP;
  const uint32_t filter = _textureQuality ? D3DTFG_LINEAR : D3DTFG_POINT;
  _d3d->SetTextureStageState(0, D3DTSS_ADDRESS, address);
  _d3d->SetTextureStageState(0, D3DTSS_ADDRESSU, address);
  _d3d->SetTextureStageState(0, D3DTSS_ADDRESSV, address);
  _d3d->SetTextureStageState(0, D3DTSS_MAGFILTER, filter);
  _d3d->SetTextureStageState(0, D3DTSS_MINFILTER, filter);
  const int mx = width / 2, my = height / 2;
  D3DMATRIX saved, t1, r, t2, world;
  _d3d->GetTransform(D3DTRANSFORMSTATE_WORLD, &saved);
  if (!qmx_bindTexture()) return;
  translate(t1, float(-mx), float(my), 0);
  rotatez(r, angle);
  translate(t2, float(destX + mx), float(-destY - my), 0);
  multiply(world, t1, r);
  multiply(world, world, t2);
  multiply(world, world, saved);
  _d3d->SetTransform(D3DTRANSFORMSTATE_WORLD, &world);
  const D3DCOLOR c = (toByte(_blend) << 24) | 0xFFFFFFu;
  const float w = width, h = height, tf = tileFactor;
  D3DLVERTEX v[4] = {vertex(0, 0, c, 0, 0), vertex(w, 0, c, tf, 0), vertex(0, -h, c, 0, tf),
                     vertex(w, -h, c, tf, tf)};
  _d3d->DrawPrimitive(D3DPT_TRIANGLESTRIP, D3DFVF_LVERTEX, v, 4, 0);
  _d3d->SetTransform(D3DTRANSFORMSTATE_WORLD, &saved);
}

// ---------------------------------------------------------------------------
// Flat colour

void KGraphicD3D::drawRect(float x1, float y1, float x2, float y2, float r, float g, float b,
                           float blend) {
  if (!_d3d) return;
  _d3d->SetRenderState(D3DRENDERSTATE_ALPHABLENDENABLE, 1);
  _d3d->SetTexture(0, nullptr);
  const D3DCOLOR c = flatColor(r, g, b, blend);
  D3DLVERTEX v[6] = {vertex(x1, -y1, c, 0, 0), vertex(x2, -y1, c, 0, 0), vertex(x2, -y2, c, 0, 0),
                     vertex(x2, -y2, c, 0, 0), vertex(x1, -y2, c, 0, 0), vertex(x1, -y1, c, 0, 0)};
  _d3d->DrawPrimitive(D3DPT_TRIANGLELIST, D3DFVF_LVERTEX, v, 6, 0);
  _oldBindedText = nullptr;
}

void KGraphicD3D::plotPixel(float x1, float y1, float r, float g, float b, float blend) {
  if (!_d3d) return;
  _d3d->SetRenderState(D3DRENDERSTATE_ALPHABLENDENABLE, 1);
  _d3d->SetTexture(0, nullptr);
  D3DLVERTEX v = vertex(x1, -y1, flatColor(r, g, b, blend), 0, 0);
  _d3d->DrawPrimitive(D3DPT_POINTLIST, D3DFVF_LVERTEX, &v, 1, 0);
  _oldBindedText = nullptr;
}

void KGraphicD3D::drawLine(float x1, float y1, float x2, float y2, float r, float g, float b,
                           float blend) {
  if (!_d3d) return;
  _d3d->SetRenderState(D3DRENDERSTATE_ALPHABLENDENABLE, 1);
  _d3d->SetTexture(0, nullptr);
  const D3DCOLOR c = flatColor(r, g, b, blend);
  D3DLVERTEX v[2] = {vertex(x1, -y1, c, 0, 0), vertex(x2, -y2, c, 0, 0)};
  _d3d->DrawPrimitive(D3DPT_LINELIST, D3DFVF_LVERTEX, v, 2, 0);
  _oldBindedText = nullptr;
}

// ---------------------------------------------------------------------------
// Array pictures and captures

bool KGraphicD3D::makePictureFromArray(uint32_t *userPixelPtr, long width, long height,
                                       bool hiDef) {
  if (!userPixelPtr || width <= 0 || height <= 0) return false;
  if (width > kMaxSide || height > kMaxSide || !_directX || !_d3d) return false;
  const size_t n = size_t(width) * size_t(height);
  if (_ckActive) {
    const uint32_t key = (uint32_t(_ckb) << 16) | (uint32_t(_ckg) << 8) | _ckr;
    for (size_t i = 0; i < n; ++i)
      if ((userPixelPtr[i] & 0xFFFFFFu) == key) userPixelPtr[i] = 0;
  }
  freePicture();
  imageFileName[0] = 0;
  _userPixelPtr = userPixelPtr;
  _userHiDef = hiDef;
  if (!createTexture(int(width), int(height), kARGB)) return false;
  {
    Locked t(_surface, 0);
    if (!t.ok) {
      freePicture();
      return false;
    }
    for (long y = 0; y < height; ++y) {
      uint32_t *row = reinterpret_cast<uint32_t *>(t.row(y));
      const uint32_t *src = userPixelPtr + size_t(y) * size_t(width);
      for (long x = 0; x < width; ++x) {
        uint32_t v = src[x];  // red lowest, then green, blue, alpha
        row[x] = (v & 0xFF00FF00u) | ((v & 0xFF) << 16) | ((v >> 16) & 0xFF);
      }
    }
  }
  _d3d->PreLoad(_surface);
  _ftextureWIDTH = float(width);
  _ftextureHEIGHT = float(height);
  fimageWidth = float(width);
  fimageHeight = float(height);
  return true;
}

bool KGraphicD3D::grab(KPixelTransformation transform) {
  freePicture();
  imageFileName[0] = 0;
  _userPixelPtr = nullptr;
  if (!_directX || !_d3d || !_backBuffer) return false;
  const long W = _screenWidth, H = _screenHeight;
  if (W <= 0 || H <= 0 || W > kMaxSide || H > kMaxSide) return false;
  _d3d->EndScene();
  bool ok = createTexture(int(W), int(H), kARGB);
  if (ok) {
    Locked t(_surface, 0);
    Locked b(_backBuffer, DDLOCK_READONLY);
    ok = t.ok && b.ok;
    if (ok) {
      const long bw = long(b.d.dwWidth), bh = long(b.d.dwHeight);
      for (long y = 0; y < H; ++y) {
        uint32_t *row = reinterpret_cast<uint32_t *>(t.row(y));
        for (long x = 0; x < W; ++x) {
          long r = 0, g = 0, bl = 0;
          if (x < bw && y < bh) backPixel(b, x, y, r, g, bl);
          if (transform) transform(x, y, &r, &g, &bl);
          row[x] = 0xFF000000u | (uint32_t(r & 255) << 16) | (uint32_t(g & 255) << 8) |
                   uint32_t(bl & 255);
        }
      }
    }
  }
  if (!ok) freePicture();
  _d3d->BeginScene();
  if (!ok) return false;
  _ftextureWIDTH = fimageWidth = float(W);
  _ftextureHEIGHT = fimageHeight = float(H);
  return true;
}

bool KGraphicD3D::grabBackBuffer(KPixelTransformation pixelTransformationPtr) {
  return grab(pixelTransformationPtr);
}

bool KGraphicD3D::grabFrontBuffer() { return grab(nullptr); }

void KGraphicD3D::frameSize(long &width, long &height) {
  width = _d3d && _backBuffer ? _screenWidth : 0;
  height = _d3d && _backBuffer ? _screenHeight : 0;
}

bool KGraphicD3D::readBackFrame(uint8_t *rgba, long outW, long outH, bool scaled, bool &bottomUp) {
  if (!_d3d || !_backBuffer) return false;
  const long W = _screenWidth, H = _screenHeight;
  _d3d->EndScene();
  KGraphicD3D *copy = new (std::nothrow) KGraphicD3D();
  const bool grabbed = copy && copy->grabBackBuffer(nullptr);
  if (scaled && grabbed)
    copy->stretchAlphaRect(0, 0, float(W), float(H), 0, 0, float(outW), float(outH), 1, 0);
  bool read = false;
  {
    Locked b(_backBuffer, DDLOCK_READONLY);
    read = b.ok;
    if (b.ok) {
      const long bw = long(b.d.dwWidth), bh = long(b.d.dwHeight);
      for (long y = 0; y < outH; ++y)
        for (long x = 0; x < outW; ++x) {
          long r = 0, g = 0, bl = 0;
          if (x < bw && y < bh) backPixel(b, x, y, r, g, bl);
          uint8_t *o = rgba + (size_t(y) * size_t(outW) + size_t(x)) * 4;
          o[0] = uint8_t(r);
          o[1] = uint8_t(g);
          o[2] = uint8_t(bl);
          o[3] = 255;
        }
    }
  }
  bottomUp = false;
  // The frame being drawn comes back as it was before the scaled copy.
  if (scaled && grabbed) copy->blitRect(0, 0, float(W), float(H), 0, 0, false, false);
  delete copy;
  _d3d->BeginScene();
  return read;
}
