// The software device's rasteriser: triangles with the top-left fill rule and
// pixel centres on whole coordinates, points, lines, texture sampling (point or
// bilinear, wrap/mirror/clamp), modulation by the vertex colour and blending.
// Fast span functions are picked once per primitive; the per-pixel reference path
// below is the yardstick the fast paths are tested against. One thread.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/swd3d/SwInternal.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

namespace {

// Attributes (texel coordinates, colour channels) are planes in 40.24 fixed point
// evaluated at pixel centres. Integer stepping equals direct evaluation exactly,
// which is what lets the fast spans match the reference bit for bit.
constexpr int kAttrBits = 24;
constexpr int64_t kAttrOne = int64_t(1) << kAttrBits;
constexpr int64_t kAttrHalf = kAttrOne >> 1;
constexpr int kSubOne = 1 << kSubBits;
// Vertices further out than this are refused; the device clips to a guard band
// well inside it, so only direct callers with absurd input get here.
constexpr double kMaxCoord = 1 << 20;

enum { ADDR_NONE = 0 };  // texel indices known to be in range

struct Plane {
  int64_t a = 0, b = 0, c = 0;
  int64_t at(int64_t px, int64_t py) const { return c + a * px + b * py; }
  bool operator==(const Plane &o) const { return a == o.a && b == o.b && c == o.c; }
};

struct Edge {
  int64_t x0, y0, dx, dy, bias;
  int64_t at(int64_t X, int64_t Y) const { return dx * (Y - y0) - dy * (X - x0) + bias; }
};

struct Tri {
  Edge e[3];
  int px0, px1, py0, py1;  // pixel-centre bounding box, inclusive, clipped
  Plane u, v, col[4];      // col: a, r, g, b
  bool flat;
  uint32_t flatColor;
  int filter;  // the filter that applies: D3DTFG_POINT or D3DTFG_LINEAR
};

inline int64_t floorDiv(int64_t a, int64_t b) {  // b > 0
  int64_t q = a / b;
  if ((a % b) != 0 && a < 0) --q;
  return q;
}
inline int64_t ceilDiv(int64_t a, int64_t b) { return -floorDiv(-a, b); }

inline bool finite(float f) { return std::isfinite(f) && std::fabs(f) < kMaxCoord; }

// Round half away from zero, as llround does, without a library call; callers
// keep |v| far below 2^52.
inline int64_t roundHalfAway(double v) {
  return v >= 0 ? int64_t(v + 0.5) : -int64_t(-v + 0.5);
}
inline int64_t snap(float v) { return roundHalfAway(double(v) * (1 << kSubBits)); }

int64_t toFixed(double v, double limit) {
  if (!(v == v)) return 0;
  v = std::max(-limit, std::min(limit, v));
  return roundHalfAway(v * double(kAttrOne));
}

// The pixel pipeline's inputs, identical for every pixel of a primitive.
struct PixelCtx {
  const uint32_t *tex = nullptr;
  int tw = 0, th = 0;
  bool pow2w = false, pow2h = false;
  int addrU = D3DTADDRESS_CLAMP, addrV = D3DTADDRESS_CLAMP;
  bool useTex = false, useDiff = false;
  uint32_t texOr = 0, diffOr = 0;  // channels an input does not feed read as 255
  bool blend = false;
  int srcBlend = D3DBLEND_ONE, dstBlend = D3DBLEND_ZERO;
  uint32_t dstAlphaOr = 0;  // targets without alpha read as opaque
  const Tri *tri = nullptr;
};

inline int address(int64_t i, int n, int mode, bool pow2) {
  switch (mode) {
    case ADDR_NONE:
      return int(i);
    case D3DTADDRESS_WRAP:
      if (pow2) return int(i & (n - 1));
      return int(((i % n) + n) % n);
    case D3DTADDRESS_MIRROR: {
      int64_t p = 2 * int64_t(n);
      int64_t m = ((i % p) + p) % p;
      return int(m < n ? m : p - 1 - m);
    }
    default:  // clamp, border
      return i < 0 ? 0 : (i >= n ? n - 1 : int(i));
  }
}

__attribute__((always_inline)) inline uint32_t samplePoint(const PixelCtx &c, int64_t u, int64_t v) {
  int x = address(u >> kAttrBits, c.tw, c.addrU, c.pow2w);
  int y = address(v >> kAttrBits, c.th, c.addrV, c.pow2h);
  return c.tex[size_t(y) * size_t(c.tw) + size_t(x)];
}

// Bilinear weights are 8-bit; each of the two passes rounds back to 8 bits, so
// the SIMD and scalar forms give identical results.
inline uint32_t bilerp(uint32_t t00, uint32_t t10, uint32_t t01, uint32_t t11, uint32_t fx,
                       uint32_t fy) {
#if defined(__SSE2__)
  const __m128i z = _mm_setzero_si128(), k128 = _mm_set1_epi16(128);
  const short ix = short(256 - fx), x = short(fx), iy = short(256 - fy), y = short(fy);
  const __m128i wx = _mm_set_epi16(x, x, x, x, ix, ix, ix, ix);
  const __m128i wy = _mm_set_epi16(y, y, y, y, iy, iy, iy, iy);
  __m128i top = _mm_unpacklo_epi8(
      _mm_unpacklo_epi32(_mm_cvtsi32_si128(int(t00)), _mm_cvtsi32_si128(int(t10))), z);
  __m128i bot = _mm_unpacklo_epi8(
      _mm_unpacklo_epi32(_mm_cvtsi32_si128(int(t01)), _mm_cvtsi32_si128(int(t11))), z);
  top = _mm_mullo_epi16(top, wx);
  bot = _mm_mullo_epi16(bot, wx);
  top = _mm_srli_epi16(_mm_add_epi16(_mm_add_epi16(top, _mm_srli_si128(top, 8)), k128), 8);
  bot = _mm_srli_epi16(_mm_add_epi16(_mm_add_epi16(bot, _mm_srli_si128(bot, 8)), k128), 8);
  __m128i tb = _mm_mullo_epi16(_mm_unpacklo_epi64(top, bot), wy);
  tb = _mm_srli_epi16(_mm_add_epi16(_mm_add_epi16(tb, _mm_srli_si128(tb, 8)), k128), 8);
  return uint32_t(_mm_cvtsi128_si32(_mm_packus_epi16(tb, z)));
#else
  uint32_t out = 0;
  for (int s = 0; s < 32; s += 8) {
    uint32_t top = (((t00 >> s) & 255) * (256 - fx) + ((t10 >> s) & 255) * fx + 128) >> 8;
    uint32_t bot = (((t01 >> s) & 255) * (256 - fx) + ((t11 >> s) & 255) * fx + 128) >> 8;
    out |= ((top * (256 - fy) + bot * fy + 128) >> 8) << s;
  }
  return out;
#endif
}

__attribute__((always_inline)) inline uint32_t sampleLinear(const PixelCtx &c, int64_t u, int64_t v) {
  int64_t su = u - kAttrHalf, sv = v - kAttrHalf;
  int64_t i0 = su >> kAttrBits, j0 = sv >> kAttrBits;
  uint32_t fx = uint32_t(su >> (kAttrBits - 8)) & 255, fy = uint32_t(sv >> (kAttrBits - 8)) & 255;
  int x0, x1, y0, y1;
  if (c.addrU == ADDR_NONE && c.addrV == ADDR_NONE) {
    x0 = int(i0), x1 = x0 + 1, y0 = int(j0), y1 = y0 + 1;
  } else {
    x0 = address(i0, c.tw, c.addrU, c.pow2w), x1 = address(i0 + 1, c.tw, c.addrU, c.pow2w);
    y0 = address(j0, c.th, c.addrV, c.pow2h), y1 = address(j0 + 1, c.th, c.addrV, c.pow2h);
  }
  const uint32_t *r0 = c.tex + size_t(y0) * size_t(c.tw);
  const uint32_t *r1 = c.tex + size_t(y1) * size_t(c.tw);
  return bilerp(r0[x0], r0[x1], r1[x0], r1[x1], fx, fy);
}

inline uint32_t mulArgb(uint32_t a, uint32_t b) {
  return (swMul8(a >> 24, b >> 24) << 24) | (swMul8((a >> 16) & 255, (b >> 16) & 255) << 16) |
         (swMul8((a >> 8) & 255, (b >> 8) & 255) << 8) | swMul8(a & 255, b & 255);
}

inline uint32_t factor(int f, uint32_t s, uint32_t d, int shift) {
  switch (f) {
    case D3DBLEND_ZERO:
      return 0;
    case D3DBLEND_ONE:
      return 255;
    case D3DBLEND_SRCCOLOR:
      return (s >> shift) & 255;
    case D3DBLEND_INVSRCCOLOR:
      return 255 - ((s >> shift) & 255);
    case D3DBLEND_SRCALPHA:
      return s >> 24;
    case D3DBLEND_INVSRCALPHA:
      return 255 - (s >> 24);
    case D3DBLEND_DESTALPHA:
      return d >> 24;
    case D3DBLEND_INVDESTALPHA:
      return 255 - (d >> 24);
    case D3DBLEND_DESTCOLOR:
      return (d >> shift) & 255;
    case D3DBLEND_INVDESTCOLOR:
      return 255 - ((d >> shift) & 255);
  }
  return 0;
}

// source × source factor + destination × destination factor, per channel, saturated.
inline uint32_t blendOver(uint32_t s, uint32_t d);

inline uint32_t blendGeneric(uint32_t s, uint32_t d, int sf, int df) {
  if (sf == D3DBLEND_SRCALPHA && df == D3DBLEND_INVSRCALPHA) return blendOver(s, d);
  uint32_t out = 0;
  for (int sh = 0; sh < 32; sh += 8) {
    uint32_t v =
        swMul8((s >> sh) & 255, factor(sf, s, d, sh)) + swMul8((d >> sh) & 255, factor(df, s, d, sh));
    out |= std::min(v, 255u) << sh;
  }
  return out;
}

// Source alpha over inverse source alpha, the everyday blend, rounded once:
// (s * a + d * (255 - a)) / 255 to nearest. Every path uses this form.
inline uint32_t blendOver(uint32_t s, uint32_t d) {
  uint32_t a = s >> 24, ia = 255 - a, out = 0;
  for (int sh = 0; sh < 32; sh += 8) {
    uint32_t t = ((s >> sh) & 255) * a + ((d >> sh) & 255) * ia + 128;
    out |= ((t + (t >> 8)) >> 8) << sh;
  }
  return out;
}

inline uint32_t diffuseAt(const Tri &t, int64_t px, int64_t py) {
  uint32_t out = 0;
  for (int i = 0; i < 4; ++i) {
    int64_t v = (t.col[i].at(px, py) + kAttrHalf) >> kAttrBits;
    out |= uint32_t(std::max<int64_t>(0, std::min<int64_t>(255, v))) << (24 - 8 * i);
  }
  return out;
}

// ---------------------------------------------------------------------------
// Triangle set-up, shared by every path.
// A triangle's vertices snapped to the sub-pixel grid and ordered so that its
// interior is on the positive side of every edge, with what its planes need.
struct Snapped {
  const SwVertex *v[3];
  int64_t X[3], Y[3];
  int64_t area;
  double x0, y0, dx1, dy1, dx2, dy2, inv;
};

// Orders snapped vertices so the interior is on the positive side of every
// edge and finds what the planes need; false when there is no area.
bool orderSnapped(Snapped &s) {
  s.area = (s.X[1] - s.X[0]) * (s.Y[2] - s.Y[0]) - (s.X[2] - s.X[0]) * (s.Y[1] - s.Y[0]);
  if (s.area == 0) return false;
  if (s.area < 0) {
    std::swap(s.v[1], s.v[2]);
    std::swap(s.X[1], s.X[2]);
    std::swap(s.Y[1], s.Y[2]);
    s.area = -s.area;
  }
  s.x0 = double(s.X[0]) / kSubOne;
  s.y0 = double(s.Y[0]) / kSubOne;
  s.dx1 = double(s.X[1] - s.X[0]) / kSubOne;
  s.dy1 = double(s.Y[1] - s.Y[0]) / kSubOne;
  s.dx2 = double(s.X[2] - s.X[0]) / kSubOne;
  s.dy2 = double(s.Y[2] - s.Y[0]) / kSubOne;
  // One division per triangle; every gradient multiplies by its reciprocal.
  s.inv = (double(kSubOne) * kSubOne) / double(s.area);
  return true;
}

bool snapTriangle(const SwVertex &va, const SwVertex &vb, const SwVertex &vc, Snapped &s) {
  s.v[0] = &va, s.v[1] = &vb, s.v[2] = &vc;
  for (const SwVertex *p : s.v)
    if (!finite(p->x) || !finite(p->y) || !std::isfinite(p->u) || !std::isfinite(p->v))
      return false;
  for (int i = 0; i < 3; ++i) {
    s.X[i] = snap(s.v[i]->x);
    s.Y[i] = snap(s.v[i]->y);
  }
  return orderSnapped(s);
}


// Inlined, like the two below, so that the planes reach their users in registers:
// stored field by field and loaded back whole they stalled every sprite.
__attribute__((always_inline)) inline void planeOf(const Snapped &s, double a0, double a1,
                                                   double a2, Plane &p) {
  double ddx = ((a1 - a0) * s.dy2 - (a2 - a0) * s.dy1) * s.inv;
  double ddy = ((a2 - a0) * s.dx1 - (a1 - a0) * s.dx2) * s.inv;
  // Limits keep c + a*x + b*y inside 64 bits for any on-screen pixel.
  p.a = toFixed(ddx, 1 << 20);
  p.b = toFixed(ddy, 1 << 20);
  p.c = toFixed(a0 - ddx * s.x0 - ddy * s.y0, double(int64_t(1) << 36));
}

// Texel coordinates as planes, in texels.
__attribute__((always_inline)) inline void texturePlanes(const SwRasterState &st,
                                                         const Snapped &s, Plane &u, Plane &v) {
  double tw = st.hasTexture ? st.tex.width : 1, th = st.hasTexture ? st.tex.height : 1;
  planeOf(s, double(s.v[0]->u) * tw, double(s.v[1]->u) * tw, double(s.v[2]->u) * tw, u);
  planeOf(s, double(s.v[0]->v) * th, double(s.v[1]->v) * th, double(s.v[2]->v) * th, v);
}

// Magnification or minification: more than one texel per pixel along either axis.
__attribute__((always_inline)) inline int filterFor(const SwRasterState &st, const Plane &u,
                                                   const Plane &v) {
  const double one2 = double(kAttrOne) * double(kAttrOne);
  double gx2 = double(u.a) * double(u.a) + double(v.a) * double(v.a);
  double gy2 = double(u.b) * double(u.b) + double(v.b) * double(v.b);
  int f = (gx2 > one2 || gy2 > one2) ? st.minFilter : st.magFilter;
  return f >= D3DTFG_LINEAR ? D3DTFG_LINEAR : D3DTFG_POINT;
}

bool setupTriangle(const SwRasterState &st, const SwVertex &va, const SwVertex &vb,
                   const SwVertex &vc, D3DCOLOR flatColor, Tri &t) {
  Snapped s;
  if (!snapTriangle(va, vb, vc, s)) return false;
  for (int i = 0; i < 3; ++i) {
    int j = (i + 1) % 3;
    Edge &e = t.e[i];
    e.x0 = s.X[i];
    e.y0 = s.Y[i];
    e.dx = s.X[j] - s.X[i];
    e.dy = s.Y[j] - s.Y[i];
    bool topLeft = e.dy < 0 || (e.dy == 0 && e.dx > 0);
    e.bias = topLeft ? 0 : -1;
  }
  int64_t minX = std::min({s.X[0], s.X[1], s.X[2]}), maxX = std::max({s.X[0], s.X[1], s.X[2]});
  int64_t minY = std::min({s.Y[0], s.Y[1], s.Y[2]}), maxY = std::max({s.Y[0], s.Y[1], s.Y[2]});
  t.px0 = int(std::max<int64_t>(st.clipX0, ceilDiv(minX, kSubOne)));
  t.px1 = int(std::min<int64_t>(st.clipX1 - 1, floorDiv(maxX, kSubOne)));
  t.py0 = int(std::max<int64_t>(st.clipY0, ceilDiv(minY, kSubOne)));
  t.py1 = int(std::min<int64_t>(st.clipY1 - 1, floorDiv(maxY, kSubOne)));
  if (t.px0 > t.px1 || t.py0 > t.py1) return false;

  texturePlanes(st, s, t.u, t.v);
  const SwVertex *const *v = s.v;
  t.flat = st.flatShade || (v[0]->color == v[1]->color && v[1]->color == v[2]->color);
  t.flatColor = st.flatShade ? flatColor : v[0]->color;
  if (!t.flat) {
    for (int i = 0; i < 4; ++i) {
      int sh = 24 - 8 * i;
      planeOf(s, double((v[0]->color >> sh) & 255), double((v[1]->color >> sh) & 255),
              double((v[2]->color >> sh) & 255), t.col[i]);
    }
  }
  t.filter = filterFor(st, t.u, t.v);
  return true;
}

PixelCtx makeContext(const SwTarget &tg, const SwRasterState &st, const Tri *tri) {
  PixelCtx c;
  c.tri = tri;
  bool texOk = st.hasTexture && st.tex.texels && st.tex.width > 0 && st.tex.height > 0;
  c.tex = st.tex.texels;
  c.tw = st.tex.width;
  c.th = st.tex.height;
  c.pow2w = c.tw > 0 && (c.tw & (c.tw - 1)) == 0;
  c.pow2h = c.th > 0 && (c.th & (c.th - 1)) == 0;
  c.addrU = st.addressU;
  c.addrV = st.addressV;
  bool texC = texOk && st.colorUsesTex, texA = texOk && st.alphaUsesTex;
  c.useTex = texC || texA;
  c.texOr = (texC ? 0 : 0x00FFFFFFu) | (texA ? 0 : 0xFF000000u);
  c.useDiff = st.colorUsesDiffuse || st.alphaUsesDiffuse;
  c.diffOr = (st.colorUsesDiffuse ? 0 : 0x00FFFFFFu) | (st.alphaUsesDiffuse ? 0 : 0xFF000000u);
  c.blend = st.blend;
  c.srcBlend = st.srcBlend;
  c.dstBlend = st.dstBlend;
  c.dstAlphaOr = swHasAlpha(tg.fmt) ? 0 : 0xFF000000u;
  return c;
}

// The colour a pixel would get from texture and vertex colour, before blending.
inline uint32_t sourceColor(const PixelCtx &c, int filter, int64_t u, int64_t v, uint32_t diffuse) {
  uint32_t texel = 0xFFFFFFFFu;
  if (c.useTex)
    texel = (filter == D3DTFG_LINEAR ? sampleLinear(c, u, v) : samplePoint(c, u, v)) | c.texOr;
  if (!c.useDiff) return texel;
  return mulArgb(texel, diffuse | c.diffOr);
}

// The reference pixel: any target format, every state decided per pixel.
void referencePixel(const SwTarget &t, const PixelCtx &c, int filter, int px, int py, int64_t u,
                    int64_t v, uint32_t diffuse) {
  uint32_t s = sourceColor(c, filter, u, v, diffuse);
  int bpp = swBytesPerPixel(t.fmt);
  uint8_t *p = t.bits + size_t(py) * size_t(t.pitch) + size_t(px) * size_t(bpp);
  uint32_t out = s;
  if (c.blend) out = blendGeneric(s, swReadArgb(t.fmt, p), c.srcBlend, c.dstBlend);
  swWriteArgb(t.fmt, p, out);
}

void referenceTriangle(const SwTarget &tg, const SwRasterState &st, const Tri &t) {
  PixelCtx c = makeContext(tg, st, &t);
  for (int py = t.py0; py <= t.py1; ++py) {
    for (int px = t.px0; px <= t.px1; ++px) {
      int64_t X = int64_t(px) * kSubOne, Y = int64_t(py) * kSubOne;
      if (t.e[0].at(X, Y) < 0 || t.e[1].at(X, Y) < 0 || t.e[2].at(X, Y) < 0) continue;
      uint32_t d = t.flat ? t.flatColor : diffuseAt(t, px, py);
      referencePixel(tg, c, t.filter, px, py, t.u.at(px, py), t.v.at(px, py), d);
    }
  }
}

// ---------------------------------------------------------------------------
// Fast spans, for 32-bit targets. A span covers pixels [x0, x1) of row py.
typedef void (*SpanFn)(const PixelCtx &c, uint32_t *row, int x0, int x1, int py);

#if defined(__SSE2__)
// Eight 16-bit lanes up to 65025, rounded t/255: (u + (u >> 8)) >> 8 with
// u = t + 128, which for these u equals the high half of u * 257.
inline __m128i div255x8(__m128i t) {
  return _mm_mulhi_epu16(_mm_add_epi16(t, _mm_set1_epi16(128)), _mm_set1_epi16(257));
}
inline __m128i mul8x8(__m128i x, __m128i y) {  // rounded x*y/255
  return div255x8(_mm_mullo_epi16(x, y));
}
inline __m128i modulate4(__m128i s, __m128i d16) {
  __m128i z = _mm_setzero_si128();
  __m128i lo = mul8x8(_mm_unpacklo_epi8(s, z), d16);
  __m128i hi = mul8x8(_mm_unpackhi_epi8(s, z), d16);
  return _mm_packus_epi16(lo, hi);
}
inline __m128i over4(__m128i s, __m128i d) {
  __m128i z = _mm_setzero_si128(), k255 = _mm_set1_epi16(255);
  __m128i slo = _mm_unpacklo_epi8(s, z), shi = _mm_unpackhi_epi8(s, z);
  __m128i alo = _mm_shufflehi_epi16(_mm_shufflelo_epi16(slo, 0xFF), 0xFF);
  __m128i ahi = _mm_shufflehi_epi16(_mm_shufflelo_epi16(shi, 0xFF), 0xFF);
  __m128i lo = div255x8(_mm_add_epi16(
      _mm_mullo_epi16(slo, alo), _mm_mullo_epi16(_mm_unpacklo_epi8(d, z), _mm_sub_epi16(k255, alo))));
  __m128i hi = div255x8(_mm_add_epi16(
      _mm_mullo_epi16(shi, ahi), _mm_mullo_epi16(_mm_unpackhi_epi8(d, z), _mm_sub_epi16(k255, ahi))));
  return _mm_packus_epi16(lo, hi);
}
#endif

#if defined(__x86_64__) || defined(__i386__)
bool gWide = __builtin_cpu_supports("avx2");

// A plain copy of n pixels in 32-byte moves. The library's copy of rows this long
// takes the string-move instruction, which measured about twice as slow on the
// virtual machines this runs on, and a frame's background is such a copy.
__attribute__((target("avx2"))) void copy256(const uint32_t *src, uint32_t *dst, int n) {
  int i = 0;
  for (; i + 16 <= n; i += 16) {
    __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(src + i));
    __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(src + i + 8));
    _mm256_storeu_si256(reinterpret_cast<__m256i *>(dst + i), a);
    _mm256_storeu_si256(reinterpret_cast<__m256i *>(dst + i + 8), b);
  }
  for (; i < n; ++i) dst[i] = src[i];
}
#endif

inline void copyPixels(const uint32_t *src, uint32_t *dst, int n) {
#if defined(__x86_64__) || defined(__i386__)
  if (gWide) {
    copy256(src, dst, n);
    return;
  }
#endif
  std::memcpy(dst, src, size_t(n) * 4);
}

// Writes a run of fetched texels: channels the texture does not feed raised to
// full (texOr), multiplied by a flat vertex colour (M 1), then copied (B 0) or
// laid over the target by source alpha (B 1), skipping transparent texels and
// copying opaque ones. Four pixels at a time where SSE2 exists.
template <int M, int B>
inline void combineRow128(const uint32_t *src, uint32_t *dst, int n, uint32_t texOr, uint32_t flat,
                          uint32_t dOr) {
  if (M == 0 && B == 0 && texOr == 0) {
    copyPixels(src, dst, n);
    return;
  }
  int i = 0;
#if defined(__SSE2__)
  const __m128i vOr = _mm_set1_epi32(int(texOr)), vdOr = _mm_set1_epi32(int(dOr));
  const __m128i d16 = _mm_unpacklo_epi8(_mm_set1_epi32(int(flat)), _mm_setzero_si128());
  const __m128i zero = _mm_setzero_si128(), full = _mm_set1_epi32(255);
  for (; i + 4 <= n; i += 4) {
    __m128i s = _mm_or_si128(_mm_loadu_si128(reinterpret_cast<const __m128i *>(src + i)), vOr);
    if (M == 1) s = modulate4(s, d16);
    __m128i *out = reinterpret_cast<__m128i *>(dst + i);
    if (B == 0) {
      _mm_storeu_si128(out, s);
      continue;
    }
    __m128i a = _mm_srli_epi32(s, 24);
    if (_mm_movemask_epi8(_mm_cmpeq_epi32(a, zero)) == 0xFFFF) continue;  // all transparent
    if (_mm_movemask_epi8(_mm_cmpeq_epi32(a, full)) == 0xFFFF) {
      _mm_storeu_si128(out, s);
      continue;
    }
    _mm_storeu_si128(out, over4(s, _mm_or_si128(_mm_loadu_si128(out), vdOr)));
  }
#endif
  for (; i < n; ++i) {
    uint32_t s = src[i] | texOr;
    if (M == 1) s = mulArgb(s, flat);
    if (B == 0) {
      dst[i] = s;
      continue;
    }
    uint32_t a = s >> 24;
    if (a == 0) continue;
    dst[i] = a == 255 ? s : blendOver(s, dst[i] | dOr);
  }
}

#if defined(__x86_64__) || defined(__i386__)
// The same arithmetic eight pixels at a time, for processors that have AVX2;
// chosen at run time so the program still runs on plain SSE2 machines.
__attribute__((target("avx2"))) inline __m256i div255x16(__m256i t) {
  return _mm256_mulhi_epu16(_mm256_add_epi16(t, _mm256_set1_epi16(128)),
                            _mm256_set1_epi16(257));
}
__attribute__((target("avx2"))) inline __m256i mul8x16(__m256i x, __m256i y) {
  return div255x16(_mm256_mullo_epi16(x, y));
}
// Source over destination for eight pixels: the single rounding of blendOver.
__attribute__((target("avx2"))) inline __m256i over8(__m256i s, __m256i d) {
  const __m256i z = _mm256_setzero_si256(), k255 = _mm256_set1_epi16(255);
  __m256i slo = _mm256_unpacklo_epi8(s, z), shi = _mm256_unpackhi_epi8(s, z);
  __m256i alo = _mm256_shufflehi_epi16(_mm256_shufflelo_epi16(slo, 0xFF), 0xFF);
  __m256i ahi = _mm256_shufflehi_epi16(_mm256_shufflelo_epi16(shi, 0xFF), 0xFF);
  __m256i lo = div255x16(_mm256_add_epi16(
      _mm256_mullo_epi16(slo, alo),
      _mm256_mullo_epi16(_mm256_unpacklo_epi8(d, z), _mm256_sub_epi16(k255, alo))));
  __m256i hi = div255x16(_mm256_add_epi16(
      _mm256_mullo_epi16(shi, ahi),
      _mm256_mullo_epi16(_mm256_unpackhi_epi8(d, z), _mm256_sub_epi16(k255, ahi))));
  return _mm256_packus_epi16(lo, hi);
}

template <int M, int B>
__attribute__((target("avx2"))) void combineRow256(const uint32_t *src, uint32_t *dst, int n,
                                                   uint32_t texOr, uint32_t flat, uint32_t dOr) {
  const __m256i vOr = _mm256_set1_epi32(int(texOr)), vdOr = _mm256_set1_epi32(int(dOr));
  const __m256i z = _mm256_setzero_si256();
  const __m256i d16 = _mm256_unpacklo_epi8(_mm256_set1_epi32(int(flat)), z);
  int i = 0;
  for (; i + 8 <= n; i += 8) {
    __m256i s = _mm256_or_si256(_mm256_loadu_si256(reinterpret_cast<const __m256i *>(src + i)), vOr);
    if (M == 1)
      s = _mm256_packus_epi16(mul8x16(_mm256_unpacklo_epi8(s, z), d16),
                              mul8x16(_mm256_unpackhi_epi8(s, z), d16));
    __m256i *out = reinterpret_cast<__m256i *>(dst + i);
    if (B == 0) {
      _mm256_storeu_si256(out, s);
      continue;
    }
    // No test for all transparent or all opaque (over8 gives the destination or
    // the source exactly then): on sprites with soft edges the branches were
    // mispredicted often enough to cost more than they saved.
    _mm256_storeu_si256(out, over8(s, _mm256_or_si256(_mm256_loadu_si256(out), vdOr)));
  }
  combineRow128<M, B>(src + i, dst + i, n - i, texOr, flat, dOr);
}
#endif

template <int M, int B>
inline void combineRow(const uint32_t *src, uint32_t *dst, int n, uint32_t texOr, uint32_t flat,
                       uint32_t dOr) {
#if defined(__x86_64__) || defined(__i386__)
  if (gWide && n >= 8 && !(M == 0 && B == 0 && texOr == 0)) {
    combineRow256<M, B>(src, dst, n, texOr, flat, dOr);
    return;
  }
#endif
  combineRow128<M, B>(src, dst, n, texOr, flat, dOr);
}

// A whole rectangle of unscaled texels: `rows` rows of n pixels, the source
// stepping srcStride texels per row (negative when flipped vertically). The
// constants are set up once for all rows.
template <int M, int B>
void combineRect128(const uint32_t *src, long srcStride, uint8_t *dst, long dstPitch, int n,
                    int rows, uint32_t texOr, uint32_t flat, uint32_t dOr) {
  for (int r = 0; r < rows; ++r, src += srcStride, dst += dstPitch)
    combineRow128<M, B>(src, reinterpret_cast<uint32_t *>(dst), n, texOr, flat, dOr);
}

#if defined(__x86_64__) || defined(__i386__)
template <int M, int B>
__attribute__((target("avx2"))) void combineRect256(const uint32_t *src, long srcStride,
                                                    uint8_t *dst, long dstPitch, int n, int rows,
                                                    uint32_t texOr, uint32_t flat, uint32_t dOr) {
  const __m256i vOr = _mm256_set1_epi32(int(texOr)), vdOr = _mm256_set1_epi32(int(dOr));
  const __m256i z = _mm256_setzero_si256();
  const __m256i d16 = _mm256_unpacklo_epi8(_mm256_set1_epi32(int(flat)), z);
  for (int r = 0; r < rows; ++r, src += srcStride, dst += dstPitch) {
    uint32_t *d32 = reinterpret_cast<uint32_t *>(dst);
    int i = 0;
    for (; i + 8 <= n; i += 8) {
      __m256i s =
          _mm256_or_si256(_mm256_loadu_si256(reinterpret_cast<const __m256i *>(src + i)), vOr);
      if (M == 1)
        s = _mm256_packus_epi16(mul8x16(_mm256_unpacklo_epi8(s, z), d16),
                                mul8x16(_mm256_unpackhi_epi8(s, z), d16));
      __m256i *out = reinterpret_cast<__m256i *>(d32 + i);
      if (B == 0) {
        _mm256_storeu_si256(out, s);
        continue;
      }
      _mm256_storeu_si256(out, over8(s, _mm256_or_si256(_mm256_loadu_si256(out), vdOr)));
    }
    if (i < n) combineRow128<M, B>(src + i, d32 + i, n - i, texOr, flat, dOr);
  }
}
#endif

template <int M, int B>
void combineRect(const uint32_t *src, long srcStride, uint8_t *dst, long dstPitch, int n,
                 int rows, uint32_t texOr, uint32_t flat, uint32_t dOr) {
  if (M == 0 && B == 0 && texOr == 0) {
    for (int r = 0; r < rows; ++r, src += srcStride, dst += dstPitch)
      copyPixels(src, reinterpret_cast<uint32_t *>(dst), n);
    return;
  }
#if defined(__x86_64__) || defined(__i386__)
  if (gWide && n >= 8) {
    combineRect256<M, B>(src, srcStride, dst, dstPitch, n, rows, texOr, flat, dOr);
    return;
  }
#endif
  combineRect128<M, B>(src, srcStride, dst, dstPitch, n, rows, texOr, flat, dOr);
}

const int kChunk = 64;

// Bilinear samples of n pixels whose texels are all inside the texture,
// stepping (u, v) by (du, dv) from pixel to pixel; u and v are left past the run.
// The same two roundings as bilerp, so every width gives the same texels.
inline void bilinearScalar(const uint32_t *tex, size_t tw, int64_t &u, int64_t &v, int64_t du,
                           int64_t dv, uint32_t *out, int n) {
  for (int i = 0; i < n; ++i, u += du, v += dv) {
    const int64_t su = u - kAttrHalf, sv = v - kAttrHalf;
    const uint32_t *r0 = tex + size_t(sv >> kAttrBits) * tw + size_t(su >> kAttrBits);
    out[i] = bilerp(r0[0], r0[1], r0[tw], r0[tw + 1], uint32_t(su >> (kAttrBits - 8)) & 255,
                    uint32_t(sv >> (kAttrBits - 8)) & 255);
  }
}

#if defined(__x86_64__) || defined(__i386__)
__attribute__((target("avx2"))) inline __m256i widen16(const uint32_t *p) {
  return _mm256_cvtepu8_epi16(_mm_load_si128(reinterpret_cast<const __m128i *>(p)));
}
// (p * ip + q * wq + 128) >> 8 per lane; the sums stay below 65536 for bytes
// weighed by w and 256 - w, so the lanes are read as unsigned.
__attribute__((target("avx2"))) inline __m256i mix16(__m256i p, __m256i q, __m256i ip,
                                                     __m256i wq) {
  const __m256i sum = _mm256_add_epi16(_mm256_mullo_epi16(p, ip), _mm256_mullo_epi16(q, wq));
  return _mm256_srli_epi16(_mm256_add_epi16(sum, _mm256_set1_epi16(128)), 8);
}

// Four pixels at a time: their sixteen texels fetched one by one (gathers are
// slow on the processors this runs on), then weighed in 16-bit lanes at once.
__attribute__((target("avx2"))) void bilinear256(const uint32_t *tex, size_t tw, int64_t &u,
                                                 int64_t &v, int64_t du, int64_t dv,
                                                 uint32_t *out, int n) {
  const __m256i k256 = _mm256_set1_epi16(256);
  // Each pixel's weight byte to the four channel positions of that pixel.
  const __m128i spread = _mm_setr_epi8(0, 0, 0, 0, 4, 4, 4, 4, 8, 8, 8, 8, 12, 12, 12, 12);
  int i = 0;
  for (; i + 4 <= n; i += 4) {
    alignas(16) uint32_t t00[4], t10[4], t01[4], t11[4], fx[4], fy[4];
    for (int k = 0; k < 4; ++k, u += du, v += dv) {
      const int64_t su = u - kAttrHalf, sv = v - kAttrHalf;
      const uint32_t *r0 = tex + size_t(sv >> kAttrBits) * tw + size_t(su >> kAttrBits);
      t00[k] = r0[0], t10[k] = r0[1], t01[k] = r0[tw], t11[k] = r0[tw + 1];
      fx[k] = uint32_t(su >> (kAttrBits - 8)) & 255;
      fy[k] = uint32_t(sv >> (kAttrBits - 8)) & 255;
    }
    const __m256i wx = _mm256_cvtepu8_epi16(
        _mm_shuffle_epi8(_mm_load_si128(reinterpret_cast<const __m128i *>(fx)), spread));
    const __m256i wy = _mm256_cvtepu8_epi16(
        _mm_shuffle_epi8(_mm_load_si128(reinterpret_cast<const __m128i *>(fy)), spread));
    const __m256i ix = _mm256_sub_epi16(k256, wx), iy = _mm256_sub_epi16(k256, wy);
    const __m256i top = mix16(widen16(t00), widen16(t10), ix, wx);
    const __m256i bot = mix16(widen16(t01), widen16(t11), ix, wx);
    const __m256i r = mix16(top, bot, iy, wy);
    _mm_storeu_si128(reinterpret_cast<__m128i *>(out + i),
                     _mm_packus_epi16(_mm256_castsi256_si128(r), _mm256_extracti128_si256(r, 1)));
  }
  bilinearScalar(tex, tw, u, v, du, dv, out + i, n - i);
}
#endif

inline void bilinearRun(const uint32_t *tex, size_t tw, int64_t &u, int64_t &v, int64_t du,
                        int64_t dv, uint32_t *out, int n) {
#if defined(__x86_64__) || defined(__i386__)
  if (gWide) {
    bilinear256(tex, tw, u, v, du, dv, out, n);
    return;
  }
#endif
  bilinearScalar(tex, tw, u, v, du, dv, out, n);
}

// F: 0 no texture, 1 point, 2 bilinear. M: 0 no modulation (or by white),
// 1 flat vertex colour, 2 interpolated vertex colour. B: 0 no blending,
// 1 source alpha over inverse source alpha, 2 any factors.
template <int F, int M, int B>
void spanGeneral(const PixelCtx &c, uint32_t *row, int x0, int x1, int py) {
  const Tri &t = *c.tri;
  int64_t u = t.u.at(x0, py), v = t.v.at(x0, py);
  const int64_t du = t.u.a, dv = t.v.a;
  const uint32_t flat = t.flatColor | c.diffOr;
  if (M <= 1 && B <= 1) {
    // Common states: fetch a chunk of texels, then combine it in SIMD.
    uint32_t tmp[kChunk];
    if (F == 0) {
      const uint32_t s = M == 1 ? flat : 0xFFFFFFFFu;
      if (B == 0) {
        std::fill(row + x0, row + x1, s);
        return;
      }
      std::fill(tmp, tmp + kChunk, s);
    }
    // Texels known to be inside the texture are read without addressing.
    const bool direct = c.addrU == ADDR_NONE && c.addrV == ADDR_NONE;
    const uint32_t *tex = c.tex;
    const size_t tw = size_t(c.tw);
    for (int x = x0; x < x1; x += kChunk) {
      const int n = std::min(kChunk, x1 - x);
      if (F == 2 && direct) {
        bilinearRun(tex, tw, u, v, du, dv, tmp, n);
      } else if (F == 1 && direct) {
        for (int i = 0; i < n; ++i, u += du, v += dv)
          tmp[i] = tex[size_t(v >> kAttrBits) * tw + size_t(u >> kAttrBits)];
      } else if (F != 0) {
        for (int i = 0; i < n; ++i, u += du, v += dv)
          tmp[i] = F == 2 ? sampleLinear(c, u, v) : samplePoint(c, u, v);
      }
      combineRow<(F == 0 ? 0 : M), B>(tmp, row + x, n, F == 0 ? 0 : c.texOr, flat, c.dstAlphaOr);
    }
    return;
  }
  int64_t col[4] = {0, 0, 0, 0};
  if (M == 2)
    for (int i = 0; i < 4; ++i) col[i] = t.col[i].at(x0, py);
  for (int x = x0; x < x1; ++x) {
    uint32_t s;
    if (F == 0) {
      s = M == 2 ? 0 : (M == 1 ? flat : 0xFFFFFFFFu);
    } else {
      s = (F == 2 ? sampleLinear(c, u, v) : samplePoint(c, u, v)) | c.texOr;
      u += du;
      v += dv;
    }
    if (M == 1 && F != 0) s = mulArgb(s, flat);
    if (M == 2) {
      uint32_t d = 0;
      for (int i = 0; i < 4; ++i) {
        int64_t q = (col[i] + kAttrHalf) >> kAttrBits;
        d |= uint32_t(q < 0 ? 0 : (q > 255 ? 255 : q)) << (24 - 8 * i);
        col[i] += t.col[i].a;
      }
      d |= c.diffOr;
      s = F == 0 ? d : mulArgb(s, d);
    }
    if (B == 0) {
      row[x] = s;
    } else if (B == 1) {
      uint32_t a = s >> 24;
      if (a == 0) continue;
      row[x] = a == 255 ? s : blendOver(s, row[x] | c.dstAlphaOr);
    } else {
      row[x] = blendGeneric(s, row[x] | c.dstAlphaOr, c.srcBlend, c.dstBlend);
    }
  }
}

// Unscaled copies: one texel per pixel, a whole texel step per pixel along x
// (either direction) and none along y, every texel of the primitive inside the
// texture, and sampling that lands on texel centres. The texture row is fixed
// per span, so rows are copied, skipped or blended straight from the texture.
template <int M, int B>
void spanUnit(const PixelCtx &c, uint32_t *row, int x0, int x1, int py) {
  const Tri &t = *c.tri;
  const int n = x1 - x0;
  const int tx = int(t.u.at(x0, py) >> kAttrBits), ty = int(t.v.at(x0, py) >> kAttrBits);
  const uint32_t *src = c.tex + size_t(ty) * size_t(c.tw) + tx;
  const uint32_t flat = t.flatColor | c.diffOr;
  if (t.u.a > 0) {
    combineRow<M, B>(src, row + x0, n, c.texOr, flat, c.dstAlphaOr);
    return;
  }
  uint32_t tmp[kChunk];  // mirrored: read backwards into a forward run
  for (int x = 0; x < n; x += kChunk) {
    const int k = std::min(kChunk, n - x);
    for (int i = 0; i < k; ++i) tmp[i] = src[-(x + i)];
    combineRow<M, B>(tmp, row + x0 + x, k, c.texOr, flat, c.dstAlphaOr);
  }
}

template <int F, int M>
SpanFn pickB(int b) {
  return b == 0 ? spanGeneral<F, M, 0> : (b == 1 ? spanGeneral<F, M, 1> : spanGeneral<F, M, 2>);
}
template <int F>
SpanFn pickM(int m, int b) {
  return m == 0 ? pickB<F, 0>(b) : (m == 1 ? pickB<F, 1>(b) : pickB<F, 2>(b));
}

// Chooses the span function for a primitive once; may narrow the context's
// addressing to "in range" when every sampled texel is known to lie inside.
// unitMode, when given, receives M * 2 + B if an unscaled span was chosen, else -1.
SpanFn chooseSpan(PixelCtx &c, const Tri &t, int *unitMode = nullptr) {
  if (unitMode) *unitMode = -1;
  int b = !c.blend ? 0
          : (c.srcBlend == D3DBLEND_ONE && c.dstBlend == D3DBLEND_ZERO) ? 0
          : (c.srcBlend == D3DBLEND_SRCALPHA && c.dstBlend == D3DBLEND_INVSRCALPHA) ? 1
                                                                                     : 2;
  int m = !c.useDiff ? 0 : (t.flat ? (((t.flatColor | c.diffOr) == 0xFFFFFFFFu) ? 0 : 1) : 2);
  if (!c.useTex) return pickM<0>(m, b);

  // Texel range over the pixel-centre bounding box (the planes are affine).
  int64_t u0 = INT64_MAX, u1 = INT64_MIN, v0 = INT64_MAX, v1 = INT64_MIN;
  for (int cy : {t.py0, t.py1})
    for (int cx : {t.px0, t.px1}) {
      u0 = std::min(u0, t.u.at(cx, cy));
      u1 = std::max(u1, t.u.at(cx, cy));
      v0 = std::min(v0, t.v.at(cx, cy));
      v1 = std::max(v1, t.v.at(cx, cy));
    }
  bool linear = t.filter == D3DTFG_LINEAR;
  bool unit = (t.u.a == kAttrOne || t.u.a == -kAttrOne) && t.u.b == 0 && t.v.a == 0 &&
              (t.v.b == kAttrOne || t.v.b == -kAttrOne);
  bool centred = ((t.u.c - kAttrHalf) & (kAttrOne - 1)) == 0 &&
                 ((t.v.c - kAttrHalf) & (kAttrOne - 1)) == 0;
  if (linear && unit && centred) linear = false;  // every sample falls on a texel centre
  int64_t lo = linear ? kAttrHalf : 0, hi = linear ? kAttrHalf : 0;
  bool inU = ((u0 - lo) >> kAttrBits) >= 0 && ((u1 - hi) >> kAttrBits) + (linear ? 1 : 0) < c.tw;
  bool inV = ((v0 - lo) >> kAttrBits) >= 0 && ((v1 - hi) >> kAttrBits) + (linear ? 1 : 0) < c.th;
  if (inU) c.addrU = ADDR_NONE;
  if (inV) c.addrV = ADDR_NONE;
  if (unit && !linear && inU && inV && m < 2 && b < 2) {
    if (unitMode) *unitMode = m * 2 + b;
    if (m == 0) return b == 0 ? spanUnit<0, 0> : spanUnit<0, 1>;
    return b == 0 ? spanUnit<1, 0> : spanUnit<1, 1>;
  }
  return linear ? pickM<2>(m, b) : pickM<1>(m, b);
}

}  // namespace

void SwSetWideSimd(bool on) {
  swFlushDrawing();  // what was asked before is drawn the way it was asked
#if defined(__x86_64__) || defined(__i386__)
  gWide = on && __builtin_cpu_supports("avx2");
#else
  (void)on;
#endif
}

namespace {

bool fastTarget(const SwTarget &t) {
  return !SwReferenceRasterizer() && (t.fmt == SwFmt::ARGB8888 || t.fmt == SwFmt::XRGB8888);
}

void fastTriangle(const SwTarget &tg, const SwRasterState &st, const Tri &t) {
  PixelCtx c = makeContext(tg, st, &t);
  SpanFn span = chooseSpan(c, t);
  for (int py = t.py0; py <= t.py1; ++py) {
    int64_t Y = int64_t(py) * kSubOne;
    int64_t xl = t.px0, xr = t.px1;
    bool empty = false;
    for (const Edge &e : t.e) {
      // e(X) = K - dy * X with X = px * 256; inside when e >= 0.
      int64_t K = e.dx * (Y - e.y0) + e.dy * e.x0 + e.bias;
      if (e.dy == 0) {
        if (K < 0) empty = true;
      } else if (e.dy > 0) {
        xr = std::min(xr, floorDiv(K, e.dy * kSubOne));
      } else {
        xl = std::max(xl, ceilDiv(-K, -e.dy * kSubOne));
      }
    }
    if (empty || xl > xr) continue;
    uint32_t *row = reinterpret_cast<uint32_t *>(tg.bits + size_t(py) * size_t(tg.pitch));
    span(c, row, int(xl), int(xr) + 1, py);
  }
}

}  // namespace

// ---------------------------------------------------------------------------
void swDrawTriangle(const SwTarget &tg, const SwRasterState &st, const SwVertex &a,
                    const SwVertex &b, const SwVertex &c, D3DCOLOR flatColor) {
  Tri t;
  if (!setupTriangle(st, a, b, c, flatColor, t)) return;
  if (fastTarget(tg))
    fastTriangle(tg, st, t);
  else
    referenceTriangle(tg, st, t);
}

// A quad whose fourth vertex continues the first three as a parallelogram in
// texture space is one affine mapping: both triangles take the planes of the
// first, so nothing can differ along the shared edge.
bool affineQuad(const SwVertex &a, const SwVertex &b, const SwVertex &c, const SwVertex &d) {
  return double(b.u) + double(c.u) - double(a.u) == double(d.u) &&
         double(b.v) + double(c.v) - double(a.v) == double(d.v);
}

namespace {

// An axis-aligned rectangle of one colour with one affine texture mapping (the
// everyday sprite) is filled whole, straight from its corners: no edges, no
// per-row coverage. Its texture planes are those of the first triangle, which
// is what the two triangles drawn one by one use as well.
struct RectSetup {
  Tri t;
  PixelCtx ctx;
  SpanFn span = nullptr;
  int unitMode = -1;
  int px0 = 0, px1 = 0, py0 = 0, py1 = 0;  // pixels [px0, px1) x [py0, py1)
};
enum RectKind { kNotRect, kRectEmpty, kRect };

RectKind setupRectangle(const SwTarget &tg, const SwRasterState &st, const SwVertex &a,
                        const SwVertex &b, const SwVertex &c, const SwVertex &d, RectSetup &r) {
  if (st.flatShade || a.color != b.color || b.color != c.color || c.color != d.color ||
      !finite(d.x) || !finite(d.y))
    return kNotRect;
  const SwVertex *v[4] = {&a, &b, &c, &d};
  int64_t X[4], Y[4];
  for (int i = 0; i < 4; ++i) {
    if (!finite(v[i]->x) || !finite(v[i]->y)) return kNotRect;
    X[i] = snap(v[i]->x);
    Y[i] = snap(v[i]->y);
  }
  const bool rowsFirst = Y[0] == Y[1] && Y[2] == Y[3] && X[0] == X[2] && X[1] == X[3];
  const bool colsFirst = X[0] == X[1] && X[2] == X[3] && Y[0] == Y[2] && Y[1] == Y[3];
  if (!rowsFirst && !colsFirst) return kNotRect;
  // Two triangles of an axis-aligned rectangle under the top-left rule cover
  // exactly the pixel centres in [left, right) x [top, bottom).
  const int64_t xl = std::min(X[0], X[3]), xr = std::max(X[0], X[3]);
  const int64_t yt = std::min(Y[0], Y[3]), yb = std::max(Y[0], Y[3]);
  r.px0 = int(std::max<int64_t>(st.clipX0, ceilDiv(xl, kSubOne)));
  r.px1 = int(std::min<int64_t>(st.clipX1, ceilDiv(xr, kSubOne)));
  r.py0 = int(std::max<int64_t>(st.clipY0, ceilDiv(yt, kSubOne)));
  r.py1 = int(std::min<int64_t>(st.clipY1, ceilDiv(yb, kSubOne)));
  if (r.px0 >= r.px1 || r.py0 >= r.py1) return kRectEmpty;  // nothing of it is inside
  // The first triangle, from the snapped corners: no area, or texture
  // coordinates that are not numbers, and nothing is drawn.
  Snapped s;
  s.v[0] = &a, s.v[1] = &b, s.v[2] = &c;
  for (int i = 0; i < 3; ++i) {
    if (!std::isfinite(s.v[i]->u) || !std::isfinite(s.v[i]->v)) return kRectEmpty;
    s.X[i] = X[i], s.Y[i] = Y[i];
  }
  if (!orderSnapped(s)) return kRectEmpty;
  Tri &t = r.t;
  texturePlanes(st, s, t.u, t.v);
  t.flat = true;
  t.flatColor = a.color;
  t.filter = filterFor(st, t.u, t.v);
  t.px0 = r.px0;
  t.px1 = r.px1 - 1;
  t.py0 = r.py0;
  t.py1 = r.py1 - 1;
  r.ctx = makeContext(tg, st, &t);
  r.span = chooseSpan(r.ctx, t, &r.unitMode);
  return kRect;
}

// Unscaled and not mirrored: whole rows straight from the texture.
bool rectJob(const RectSetup &r, SwRectJob &job) {
  const Tri &t = r.t;
  if (r.unitMode < 0 || t.u.a <= 0) return false;
  job.src = r.ctx.tex + size_t(t.v.at(r.px0, r.py0) >> kAttrBits) * size_t(r.ctx.tw) +
            size_t(t.u.at(r.px0, r.py0) >> kAttrBits);
  job.offset = long(job.src - r.ctx.tex);
  job.srcStride = t.v.b > 0 ? r.ctx.tw : -long(r.ctx.tw);
  job.x0 = r.px0, job.x1 = r.px1, job.y0 = r.py0, job.y1 = r.py1;
  job.texOr = r.ctx.texOr;
  job.flat = t.flatColor | r.ctx.diffOr;
  job.dstAlphaOr = r.ctx.dstAlphaOr;
  job.fn = r.unitMode == 0   ? combineRect<0, 0>
           : r.unitMode == 1 ? combineRect<0, 1>
           : r.unitMode == 2 ? combineRect<1, 0>
                             : combineRect<1, 1>;
  return true;
}

// Returns false when the quad is not such a rectangle; the caller then draws
// two triangles.
bool fastRectangle(const SwTarget &tg, const SwRasterState &st, const SwVertex &a,
                   const SwVertex &b, const SwVertex &c, const SwVertex &d) {
  RectSetup r;
  const RectKind kind = setupRectangle(tg, st, a, b, c, d, r);
  if (kind != kRect) return kind == kRectEmpty;
  SwRectJob job;
  if (rectJob(r, job)) {
    swRunRect(tg, job, job.y0, job.y1);
    return true;
  }
  for (int py = r.py0; py < r.py1; ++py)
    r.span(r.ctx, reinterpret_cast<uint32_t *>(tg.bits + size_t(py) * size_t(tg.pitch)), r.px0,
           r.px1, py);
  return true;
}

}  // namespace

void swDrawQuadStrip(const SwTarget &tg, const SwRasterState &st, const SwVertex &a,
                     const SwVertex &b, const SwVertex &c, const SwVertex &d) {
  const bool fast = fastTarget(tg);
  const bool affine = affineQuad(a, b, c, d);
  if (fast && affine && fastRectangle(tg, st, a, b, c, d)) return;
  Tri t1, t2;
  const bool ok1 = setupTriangle(st, a, b, c, a.color, t1);
  const bool ok2 = setupTriangle(st, c, b, d, b.color, t2);
  if (ok2 && affine) {
    if (!ok1) {
      // The first triangle lies outside the clip rectangle (a band or area of
      // the frame drawn on its own): its planes still rule the second.
      Snapped s;
      if (snapTriangle(a, b, c, s)) {
        texturePlanes(st, s, t1.u, t1.v);
        t1.filter = filterFor(st, t1.u, t1.v);
      } else {
        t1 = t2;
      }
    }
    t2.u = t1.u;
    t2.v = t1.v;
    t2.filter = t1.filter;
  }
  if (ok1) (fast ? fastTriangle : referenceTriangle)(tg, st, t1);
  if (ok2) (fast ? fastTriangle : referenceTriangle)(tg, st, t2);
}

bool swQuadAsRect(const SwTarget &tg, const SwRasterState &st, const SwVertex &a,
                  const SwVertex &b, const SwVertex &c, const SwVertex &d, SwRectJob &job) {
  if (!fastTarget(tg) || !affineQuad(a, b, c, d)) return false;
  RectSetup r;
  switch (setupRectangle(tg, st, a, b, c, d, r)) {
    case kNotRect: return false;
    case kRectEmpty: job = SwRectJob(); return true;
    case kRect: break;
  }
  return rectJob(r, job);
}

void swRunRect(const SwTarget &tg, const SwRectJob &job, int y0, int y1) {
  y0 = std::max(y0, job.y0);
  y1 = std::min(y1, job.y1);
  if (y0 >= y1) return;
  const uint32_t *src = job.src + long(y0 - job.y0) * job.srcStride;
  uint8_t *dst = tg.bits + size_t(y0) * size_t(tg.pitch) + size_t(job.x0) * 4;
  job.fn(src, job.srcStride, dst, tg.pitch, job.x1 - job.x0, y1 - y0, job.texOr, job.flat,
         job.dstAlphaOr);
}

void swDrawPoint(const SwTarget &tg, const SwRasterState &st, const SwVertex &a) {
  if (!finite(a.x) || !finite(a.y) || !std::isfinite(a.u) || !std::isfinite(a.v)) return;
  // The pixel whose centre is nearest; halves go right and down.
  int64_t px = floorDiv(snap(a.x) + kSubOne / 2, kSubOne);
  int64_t py = floorDiv(snap(a.y) + kSubOne / 2, kSubOne);
  if (px < st.clipX0 || px >= st.clipX1 || py < st.clipY0 || py >= st.clipY1) return;
  Tri t{};
  t.filter = st.magFilter >= D3DTFG_LINEAR ? D3DTFG_LINEAR : D3DTFG_POINT;
  PixelCtx c = makeContext(tg, st, &t);
  double tw = st.hasTexture ? st.tex.width : 1, th = st.hasTexture ? st.tex.height : 1;
  referencePixel(tg, c, t.filter, int(px), int(py), toFixed(double(a.u) * tw, 1e9),
                 toFixed(double(a.v) * th, 1e9), a.color);
}

void swDrawLine(const SwTarget &tg, const SwRasterState &st, const SwVertex &a,
                const SwVertex &b) {
  const SwVertex *v[2] = {&a, &b};
  for (const SwVertex *p : v)
    if (!finite(p->x) || !finite(p->y) || !std::isfinite(p->u) || !std::isfinite(p->v)) return;
  int64_t X0 = snap(a.x), Y0 = snap(a.y), X1 = snap(b.x), Y1 = snap(b.y);
  int64_t dx = X1 - X0, dy = Y1 - Y0;
  bool xMajor = std::llabs(dx) >= std::llabs(dy);
  int64_t m0 = xMajor ? X0 : Y0, m1 = xMajor ? X1 : Y1, n0 = xMajor ? Y0 : X0;
  int64_t dm = m1 - m0, dn = xMajor ? dy : dx;
  if (dm == 0) return;
  Tri t{};
  t.filter = st.magFilter >= D3DTFG_LINEAR ? D3DTFG_LINEAR : D3DTFG_POINT;
  PixelCtx c = makeContext(tg, st, &t);
  double tw = st.hasTexture ? st.tex.width : 1, th = st.hasTexture ? st.tex.height : 1;
  // Pixels along the major axis from the one holding the start to the one
  // before the end: the end pixel is left for the next segment.
  int64_t s = floorDiv(m0 + kSubOne / 2, kSubOne), e = floorDiv(m1 + kSubOne / 2, kSubOne);
  int64_t step = dm > 0 ? 1 : -1;
  for (int64_t i = s; i != e; i += step) {
    double f = double(i * kSubOne - m0) / double(dm);
    f = std::max(0.0, std::min(1.0, f));
    int64_t n = floorDiv(n0 + std::llround(f * double(dn)) + kSubOne / 2, kSubOne);
    int64_t px = xMajor ? i : n, py = xMajor ? n : i;
    if (px < st.clipX0 || px >= st.clipX1 || py < st.clipY0 || py >= st.clipY1) continue;
    uint32_t col = 0;
    for (int sh = 0; sh < 32; sh += 8) {
      double ca = double((a.color >> sh) & 255), cb = double((b.color >> sh) & 255);
      col |= uint32_t(std::lround(ca + (cb - ca) * f)) << sh;
    }
    if (st.flatShade) col = a.color;
    double u = (double(a.u) + (double(b.u) - double(a.u)) * f) * tw;
    double vv = (double(a.v) + (double(b.v) - double(a.v)) * f) * th;
    referencePixel(tg, c, t.filter, int(px), int(py), toFixed(u, 1e9), toFixed(vv, 1e9), col);
  }
}
