// Separable bilinear scaling (see KScale.h): each needed source row is scaled
// across once into a cache of two rows, then every output row blends the two rows
// around it. Weights have 7 bits so that the blend fits 16-bit lanes.
#include "platform/swd3d/KScale.h"

#include <algorithm>
#include <cstring>

#if defined(__SSE2__)
#include <immintrin.h>
#endif

namespace {

// Source sample positions for n outputs over a source of m pixels, centres aligned:
// output i blends sample first[i] and the one after it with weight[i]/128 of the
// latter. The pair always lies inside the source when it has two pixels or more.
void samples(int m, int n, std::vector<int> &first, std::vector<uint8_t> &weight) {
  first.resize(size_t(n));
  weight.resize(size_t(n));
  for (int i = 0; i < n; ++i) {
    // Fixed point 16.16 of (i + 0.5) * m / n - 0.5, clamped to the picture.
    long long f = ((2LL * i + 1) * m * 65536LL) / (2LL * n) - 32768;
    if (f < 0) f = 0;
    int x = int(f >> 16);
    int w = int(((f & 0xFFFF) + 256) >> 9);  // 0..128
    if (x >= m - 1) x = m - 1, w = 0;
    if (x == m - 1 && m >= 2) x = m - 2, w = 128;
    first[size_t(i)] = x;
    weight[size_t(i)] = uint8_t(w);
  }
}

#if defined(__x86_64__) || defined(__i386__)
// Eight pixels at a time where the processor has AVX2; returns how many were done.
// `out` is 32-byte aligned.
__attribute__((target("avx2"))) int blendRows256(const uint32_t *a, const uint32_t *b, int w,
                                                  uint32_t *out, int n) {
  const __m256i zero = _mm256_setzero_si256();
  const __m256i wv = _mm256_set1_epi16(short(w));
  const __m256i half = _mm256_set1_epi16(64);
  int i = 0;
  for (; i + 8 <= n; i += 8) {
    __m256i pa = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(a + i));
    __m256i pb = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(b + i));
    __m256i alo = _mm256_unpacklo_epi8(pa, zero), ahi = _mm256_unpackhi_epi8(pa, zero);
    __m256i blo = _mm256_unpacklo_epi8(pb, zero), bhi = _mm256_unpackhi_epi8(pb, zero);
    __m256i lo = _mm256_add_epi16(
        alo, _mm256_srai_epi16(_mm256_add_epi16(_mm256_mullo_epi16(_mm256_sub_epi16(blo, alo), wv), half), 7));
    __m256i hi = _mm256_add_epi16(
        ahi, _mm256_srai_epi16(_mm256_add_epi16(_mm256_mullo_epi16(_mm256_sub_epi16(bhi, ahi), wv), half), 7));
    // Unpacking and packing both work within 128-bit halves, so the order is kept.
    // The rows go to the screen, not to be read again soon: past the caches.
    _mm256_stream_si256(reinterpret_cast<__m256i *>(out + i), _mm256_packus_epi16(lo, hi));
  }
  return i;
}
const bool gAvx2 = __builtin_cpu_supports("avx2");
#endif

// out = a + (b - a) * w / 128, rounded, for n pixels, all four bytes.
void blendRows128(const uint32_t *a, const uint32_t *b, int w, uint32_t *out, int n) {
  int i = 0;
#if defined(__SSE2__)
  const __m128i zero = _mm_setzero_si128();
  const __m128i wv = _mm_set1_epi16(short(w));
  const __m128i half = _mm_set1_epi16(64);  // rounds to nearest
  for (; i + 4 <= n; i += 4) {
    __m128i pa = _mm_loadu_si128(reinterpret_cast<const __m128i *>(a + i));
    __m128i pb = _mm_loadu_si128(reinterpret_cast<const __m128i *>(b + i));
    __m128i alo = _mm_unpacklo_epi8(pa, zero), ahi = _mm_unpackhi_epi8(pa, zero);
    __m128i blo = _mm_unpacklo_epi8(pb, zero), bhi = _mm_unpackhi_epi8(pb, zero);
    __m128i lo = _mm_add_epi16(alo, _mm_srai_epi16(_mm_add_epi16(_mm_mullo_epi16(_mm_sub_epi16(blo, alo), wv), half), 7));
    __m128i hi = _mm_add_epi16(ahi, _mm_srai_epi16(_mm_add_epi16(_mm_mullo_epi16(_mm_sub_epi16(bhi, ahi), wv), half), 7));
    _mm_storeu_si128(reinterpret_cast<__m128i *>(out + i), _mm_packus_epi16(lo, hi));
  }
#endif
  for (; i < n; ++i) {
    const uint32_t pa = a[i], pb = b[i];
    const uint32_t rb = ((pa & 0xFF00FF) * uint32_t(128 - w) + (pb & 0xFF00FF) * uint32_t(w) + 0x400040) >> 7;
    const uint32_t g = ((pa & 0xFF00) * uint32_t(128 - w) + (pb & 0xFF00) * uint32_t(w) + 0x4000) >> 7;
    out[i] = (rb & 0xFF00FF) | (g & 0xFF00);
  }
}

void blendRows(const uint32_t *a, const uint32_t *b, int w, uint32_t *out, int n) {
  if (w == 0 || w == 128) {
    std::memcpy(out, w ? b : a, size_t(n) * 4);
    return;
  }
  int i = 0;
#if defined(__x86_64__) || defined(__i386__)
  if (gAvx2 && (reinterpret_cast<uintptr_t>(out) & 3) == 0) {
    const int head = std::min(n, int((32 - (reinterpret_cast<uintptr_t>(out) & 31)) & 31) / 4);
    blendRows128(a, b, w, out, head);  // up to the first aligned pixel
    i = head + blendRows256(a + head, b + head, w, out + head, n - head);
    _mm_sfence();
  }
#endif
  blendRows128(a + i, b + i, w, out + i, n - i);
}

}  // namespace

void KBilinearScaler::prepare(int sw, int sh, int dw, int dh) {
  if (sw == _sw && sh == _sh && dw == _dw && dh == _dh) return;
  _sw = sw, _sh = sh, _dw = dw, _dh = dh;
  samples(sw, dw, _x0, _xw);
  samples(sh, dh, _y0, _yw);
  _xw16.resize(size_t(dw) * 4);
  for (size_t i = 0; i < _xw16.size(); ++i) _xw16[i] = int16_t(_xw[i / 4]);
  for (auto &r : _rows) r.assign(size_t(dw), 0);
  _rowOf[0] = _rowOf[1] = -1;
}

void KBilinearScaler::horizontal(const uint32_t *s, uint32_t *out, int i0, int i1) const {
  int i = i0;
#if defined(__SSE2__)
  if (_sw >= 2) {
    // Four outputs at a time: each loads its two neighbouring source pixels as one
    // 64-bit pair, and the pairs are blended in 16-bit lanes.
    const __m128i zero = _mm_setzero_si128();
    const __m128i half = _mm_set1_epi16(64);
    const int16_t *wt = _xw16.data();
    for (; i + 4 <= i1; i += 4) {
      __m128i p0 = _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i *>(s + _x0[size_t(i)])), zero);
      __m128i p1 = _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i *>(s + _x0[size_t(i) + 1])), zero);
      __m128i p2 = _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i *>(s + _x0[size_t(i) + 2])), zero);
      __m128i p3 = _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i *>(s + _x0[size_t(i) + 3])), zero);
      __m128i a01 = _mm_unpacklo_epi64(p0, p1), b01 = _mm_unpackhi_epi64(p0, p1);
      __m128i a23 = _mm_unpacklo_epi64(p2, p3), b23 = _mm_unpackhi_epi64(p2, p3);
      __m128i w01 = _mm_loadu_si128(reinterpret_cast<const __m128i *>(wt + size_t(i) * 4));
      __m128i w23 = _mm_loadu_si128(reinterpret_cast<const __m128i *>(wt + size_t(i) * 4 + 8));
      __m128i lo = _mm_add_epi16(a01, _mm_srai_epi16(_mm_add_epi16(_mm_mullo_epi16(_mm_sub_epi16(b01, a01), w01), half), 7));
      __m128i hi = _mm_add_epi16(a23, _mm_srai_epi16(_mm_add_epi16(_mm_mullo_epi16(_mm_sub_epi16(b23, a23), w23), half), 7));
      _mm_storeu_si128(reinterpret_cast<__m128i *>(out + i), _mm_packus_epi16(lo, hi));
    }
  }
#endif
  const int last = _sw - 1;
  for (; i < i1; ++i) {
    const int x = _x0[size_t(i)];
    const uint32_t w = _xw[size_t(i)];
    const uint32_t pa = s[x], pb = s[std::min(x + 1, last)];
    const uint32_t rb = ((pa & 0xFF00FF) * (128 - w) + (pb & 0xFF00FF) * w + 0x400040) >> 7;
    const uint32_t g = ((pa & 0xFF00) * (128 - w) + (pb & 0xFF00) * w + 0x4000) >> 7;
    out[i] = (rb & 0xFF00FF) | (g & 0xFF00);
  }
}

void KBilinearScaler::scale(const uint32_t *src, long srcPitch, int sw, int sh, uint32_t *dst,
                            long dstPitch, int dw, int dh) {
  scaleArea(src, srcPitch, sw, sh, dst, dstPitch, dw, dh, 0, 0, dw, dh);
}

void KBilinearScaler::scaleArea(const uint32_t *src, long srcPitch, int sw, int sh,
                                uint32_t *dst, long dstPitch, int dw, int dh, int ax, int ay,
                                int aw, int ah) {
  if (!src || !dst || sw <= 0 || sh <= 0 || dw <= 0 || dh <= 0) return;
  ax = std::max(ax, 0), ay = std::max(ay, 0);
  aw = std::min(aw, dw - ax), ah = std::min(ah, dh - ay);
  if (aw <= 0 || ah <= 0) return;
  prepare(sw, sh, dw, dh);
  _rowOf[0] = _rowOf[1] = -1;  // the source changes between frames, the area between calls
  const auto row = [&](int y) -> const uint32_t * {
    for (int k = 0; k < 2; ++k)
      if (_rowOf[k] == y) return _rows[k].data();
    // Keep the row above: it is the other sample when y is the lower one.
    const int k = (_rowOf[0] == y - 1) ? 1 : 0;
    horizontal(reinterpret_cast<const uint32_t *>(reinterpret_cast<const uint8_t *>(src) +
                                                  long(y) * srcPitch),
               _rows[k].data(), ax, ax + aw);
    _rowOf[k] = y;
    return _rows[k].data();
  };
  for (int j = ay; j < ay + ah; ++j) {
    const int y = _y0[size_t(j)];
    const int w = _yw[size_t(j)];
    uint32_t *out = reinterpret_cast<uint32_t *>(reinterpret_cast<uint8_t *>(dst) + long(j) * dstPitch);
    const uint32_t *a = row(y);
    const uint32_t *b = w ? row(std::min(y + 1, sh - 1)) : a;
    blendRows(a + ax, b + ax, w, out + ax, aw);
  }
}

namespace {
// Outputs [first, end) whose sample pair (s, s + 1) touches source pixels [s0, s1).
void affectedSpan(const std::vector<int> &first, int s0, int s1, int &d0, int &n) {
  const auto lo = std::lower_bound(first.begin(), first.end(), s0 - 1);
  const auto hi = std::upper_bound(first.begin(), first.end(), s1 - 1);
  d0 = int(lo - first.begin());
  n = std::max(0, int(hi - lo));
}
}  // namespace

void KBilinearScaler::affectedArea(int sw, int sh, int dw, int dh, int sx, int sy, int sWidth,
                                   int sHeight, int &ax, int &ay, int &aw, int &ah) {
  ax = ay = aw = ah = 0;
  if (sw <= 0 || sh <= 0 || dw <= 0 || dh <= 0) return;
  prepare(sw, sh, dw, dh);
  affectedSpan(_x0, sx, sx + sWidth, ax, aw);
  affectedSpan(_y0, sy, sy + sHeight, ay, ah);
}
