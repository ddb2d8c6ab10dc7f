// Pixel formats of the software device: recognition from channel masks and the
// conversions to and from 0xAARRGGBB. Pure functions; any thread.
#include <cstring>

#include "platform/swd3d/SwInternal.h"

namespace {

struct FormatInfo {
  SwFmt fmt;
  uint32_t bits, r, g, b, a;
};

const FormatInfo kFormats[] = {
    {SwFmt::ARGB8888, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000u},
    {SwFmt::XRGB8888, 32, 0xFF0000, 0xFF00, 0xFF, 0},
    {SwFmt::ARGB4444, 16, 0xF00, 0xF0, 0xF, 0xF000},
    {SwFmt::XRGB1555, 16, 0x7C00, 0x3E0, 0x1F, 0},
    {SwFmt::ARGB1555, 16, 0x7C00, 0x3E0, 0x1F, 0x8000},
    {SwFmt::RGB565, 16, 0xF800, 0x7E0, 0x1F, 0},
};

inline uint32_t widen5(uint32_t c) { return (c << 3) | (c >> 2); }
inline uint32_t widen6(uint32_t c) { return (c << 2) | (c >> 4); }
inline uint32_t widen4(uint32_t c) { return c * 17; }

inline uint16_t load16(const uint8_t *p) {
  uint16_t v;
  std::memcpy(&v, p, 2);
  return v;
}
inline uint32_t load32(const uint8_t *p) {
  uint32_t v;
  std::memcpy(&v, p, 4);
  return v;
}

}  // namespace

int swBytesPerPixel(SwFmt f) {
  switch (f) {
    case SwFmt::ARGB8888:
    case SwFmt::XRGB8888:
      return 4;
    case SwFmt::ARGB4444:
    case SwFmt::XRGB1555:
    case SwFmt::ARGB1555:
    case SwFmt::RGB565:
      return 2;
    case SwFmt::Unknown:
      break;
  }
  return 0;
}

bool swHasAlpha(SwFmt f) {
  return f == SwFmt::ARGB8888 || f == SwFmt::ARGB4444 || f == SwFmt::ARGB1555;
}

SwFmt swFormatFromPixelFormat(const DDPIXELFORMAT &pf) {
  if (!(pf.dwFlags & DDPF_RGB)) return SwFmt::Unknown;
  uint32_t a = (pf.dwFlags & DDPF_ALPHAPIXELS) ? pf.dwRGBAlphaBitMask : 0;
  for (const FormatInfo &fi : kFormats) {
    if (fi.bits == pf.dwRGBBitCount && fi.r == pf.dwRBitMask && fi.g == pf.dwGBitMask &&
        fi.b == pf.dwBBitMask && fi.a == a)
      return fi.fmt;
  }
  return SwFmt::Unknown;
}

void swPixelFormatOf(SwFmt f, DDPIXELFORMAT &pf) {
  std::memset(&pf, 0, sizeof pf);
  pf.dwSize = sizeof pf;
  for (const FormatInfo &fi : kFormats) {
    if (fi.fmt != f) continue;
    pf.dwFlags = DDPF_RGB | (fi.a ? DDPF_ALPHAPIXELS : 0);
    pf.dwRGBBitCount = fi.bits;
    pf.dwRBitMask = fi.r;
    pf.dwGBitMask = fi.g;
    pf.dwBBitMask = fi.b;
    pf.dwRGBAlphaBitMask = fi.a;
  }
}

uint32_t swReadArgb(SwFmt f, const uint8_t *p) {
  switch (f) {
    case SwFmt::ARGB8888:
      return load32(p);
    case SwFmt::XRGB8888:
      return load32(p) | 0xFF000000u;
    case SwFmt::ARGB4444: {
      uint32_t v = load16(p);
      return (widen4(v >> 12) << 24) | (widen4((v >> 8) & 15) << 16) |
             (widen4((v >> 4) & 15) << 8) | widen4(v & 15);
    }
    case SwFmt::XRGB1555:
    case SwFmt::ARGB1555: {
      uint32_t v = load16(p);
      uint32_t a = (f == SwFmt::XRGB1555 || (v & 0x8000)) ? 255u : 0u;
      return (a << 24) | (widen5((v >> 10) & 31) << 16) | (widen5((v >> 5) & 31) << 8) |
             widen5(v & 31);
    }
    case SwFmt::RGB565: {
      uint32_t v = load16(p);
      return 0xFF000000u | (widen5(v >> 11) << 16) | (widen6((v >> 5) & 63) << 8) |
             widen5(v & 31);
    }
    case SwFmt::Unknown:
      break;
  }
  return 0;
}

uint32_t swNativeFromArgb(SwFmt f, uint32_t c) {
  uint32_t a = c >> 24, r = (c >> 16) & 255, g = (c >> 8) & 255, b = c & 255;
  switch (f) {
    case SwFmt::ARGB8888:
    case SwFmt::XRGB8888:
      return c;
    case SwFmt::ARGB4444:
      return ((a >> 4) << 12) | ((r >> 4) << 8) | ((g >> 4) << 4) | (b >> 4);
    case SwFmt::XRGB1555:
      return ((r >> 3) << 10) | ((g >> 3) << 5) | (b >> 3);
    case SwFmt::ARGB1555:
      return ((a >> 7) << 15) | ((r >> 3) << 10) | ((g >> 3) << 5) | (b >> 3);
    case SwFmt::RGB565:
      return ((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3);
    case SwFmt::Unknown:
      break;
  }
  return 0;
}

void swWriteArgb(SwFmt f, uint8_t *p, uint32_t argb) {
  uint32_t v = swNativeFromArgb(f, argb);
  if (swBytesPerPixel(f) == 4) {
    std::memcpy(p, &v, 4);
  } else if (swBytesPerPixel(f) == 2) {
    uint16_t s = static_cast<uint16_t>(v);
    std::memcpy(p, &s, 2);
  }
}
