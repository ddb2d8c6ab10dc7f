// KImageCodec: decoding and encoding through the system's stb library. Every
// size is checked against kMaxSide before stb allocates pixel memory; the file
// reading half lives in KImageFile.cpp so that this half needs no engine tools.
#include "graphic/KImageCodec.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include <stb_image.h>
#include <stb_image_write.h>

namespace {

std::string lowerAscii(const char *s) {
  std::string r(s ? s : "");
  for (char &c : r) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return r;
}

// stb picks its decoder from the content; the format named by the file must
// match, so check each format's own signature first.
bool hasSignature(const uint8_t *d, size_t n, KImageFormat format) {
  switch (format) {
    case K_IMAGE_PNG: {
      static const uint8_t sig[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
      return n >= 8 && std::memcmp(d, sig, 8) == 0;
    }
    case K_IMAGE_BMP:
      return n >= 2 && d[0] == 'B' && d[1] == 'M';
    case K_IMAGE_JPEG:
      return n >= 2 && d[0] == 0xFF && d[1] == 0xD8;
    case K_IMAGE_TGA: {
      // TGA has no magic; its colour-map type and image type are the only
      // fixed header fields, and they exclude every other format's magic.
      if (n < 18) return false;
      uint8_t mapType = d[1];
      uint8_t type = d[2];
      bool typeOk = type == 1 || type == 2 || type == 3 || type == 9 || type == 10 || type == 11;
      return (mapType == 0 || mapType == 1) && typeOk;
    }
    default:
      return false;
  }
}

// The program's own pictures are uncompressed true-colour TGA and BMP, which stb
// reads a byte at a time; these read them a row at a time, with exactly stb's
// result. Anything else (compressed, paletted) is left to stb. Such a file
// shorter than its pixels is refused: stb would fill the rest with zeros or,
// for TGA, leave it as whatever the memory held.
enum Plain { kNotPlain, kPlainRead, kPlainTruncated };
uint32_t le16(const uint8_t *p) { return uint32_t(p[0]) | (uint32_t(p[1]) << 8); }
uint32_t le32(const uint8_t *p) { return le16(p) | (le16(p + 2) << 16); }

// Rows of BGR or BGRA pixels (COMP bytes each, `stride` bytes a row) to RGBA,
// top row first; 3-byte pixels become opaque.
template <int COMP>
void bgrRows(const uint8_t *src, size_t stride, bool bottomUp, int w, int h, uint8_t *out) {
  for (int y = 0; y < h; ++y) {
    const uint8_t *s = src + size_t(bottomUp ? h - 1 - y : y) * stride;
    uint8_t *d = out + size_t(y) * size_t(w) * 4;
    for (int x = 0; x < w; ++x, s += COMP, d += 4) {
      d[0] = s[2];
      d[1] = s[1];
      d[2] = s[0];
      d[3] = COMP == 4 ? s[3] : 255;
    }
  }
}

Plain plainPixels(const uint8_t *pixels, size_t stride, bool bottomUp, int w, int h, int comp,
                  KImage &out) {
  out.width = w;
  out.height = h;
  out.rgba.resize(size_t(w) * size_t(h) * 4);
  (comp == 4 ? bgrRows<4> : bgrRows<3>)(pixels, stride, bottomUp, w, h, out.rgba.data());
  return kPlainRead;
}

// Type 2 (true colour, no colour map) at 24 or 32 bits; bit 5 of the
// descriptor set means top row first.
Plain plainTga(const uint8_t *d, size_t n, KImage &out, int &comp) {
  if (n < 18 || d[1] != 0 || d[2] != 2 || (d[16] != 24 && d[16] != 32)) return kNotPlain;
  const int w = int(le16(d + 12)), h = int(le16(d + 14));
  comp = d[16] / 8;
  const size_t at = 18 + size_t(d[0]), stride = size_t(w) * size_t(comp);
  if (w <= 0 || h <= 0) return kNotPlain;
  if (n < at || (n - at) / stride < size_t(h)) return kPlainTruncated;
  return plainPixels(d + at, stride, (d[17] & 0x20) == 0, w, h, comp, out);
}

// 24 bits with the 40-byte header, uncompressed, pixels right after the header
// (stb refuses any other offset at this depth); a negative height is top row first.
Plain plainBmp(const uint8_t *d, size_t n, KImage &out, int &comp) {
  if (n < 54 || le32(d + 10) != 54 || le32(d + 14) != 40 || le16(d + 26) != 1 ||
      le16(d + 28) != 24 || le32(d + 30) != 0)
    return kNotPlain;
  const int w = int(le32(d + 18)), rawH = int(le32(d + 22));
  if (w <= 0 || rawH == 0 || rawH == INT32_MIN) return kNotPlain;
  const int h = rawH < 0 ? -rawH : rawH;
  comp = 3;
  const size_t stride = (size_t(w) * 3 + 3) & ~size_t(3);
  if ((n - 54) / stride < size_t(h)) return kPlainTruncated;
  return plainPixels(d + 54, stride, rawH > 0, w, h, comp, out);
}

// Any picture stb reads, as RGBA; false when its size is not the one its header gave.
bool decodeWithStb(const uint8_t *data, int len, int w, int h, KImage &out, int &channels) {
  int lw = 0, lh = 0;
  stbi_uc *px = stbi_load_from_memory(data, len, &lw, &lh, &channels, 4);
  if (px == nullptr) return false;
  if (lw != w || lh != h) {
    stbi_image_free(px);
    return false;
  }
  out.width = w;
  out.height = h;
  out.rgba.assign(px, px + static_cast<size_t>(w) * h * 4);
  stbi_image_free(px);
  return true;
}

void appendBytes(void *context, void *data, int size) {
  auto *out = static_cast<std::vector<uint8_t> *>(context);
  const auto *p = static_cast<const uint8_t *>(data);
  if (size > 0) out->insert(out->end(), p, p + size);
}

}  // namespace

KImageFormat KImageCodec::formatFromPath(const char *path) {
  // Only the file name's own extension counts: a folder named "Fotos.jpg" says
  // nothing about the pictures inside it.
  const std::string p = lowerAscii(path);
  const size_t name = p.find_last_of("/\\");
  const size_t dot = p.rfind('.');
  if (dot == std::string::npos || (name != std::string::npos && dot < name)) return K_IMAGE_NONE;
  const std::string ext = p.substr(dot + 1);
  if (ext == "png") return K_IMAGE_PNG;
  if (ext == "bmp") return K_IMAGE_BMP;
  if (ext == "jpg") return K_IMAGE_JPEG;
  if (ext == "tga") return K_IMAGE_TGA;
  return K_IMAGE_NONE;
}

bool KImageCodec::decode(const uint8_t *data, size_t size, KImageFormat format, KImage &out) {
  out = KImage();
  if (data == nullptr || size == 0 || size > kMaxFileBytes) return false;
  if (!hasSignature(data, size, format)) return false;

  // The header alone tells the size; refuse before stb allocates anything.
  int w = 0, h = 0, comp = 0;
  int len = static_cast<int>(size);
  if (!stbi_info_from_memory(data, len, &w, &h, &comp)) return false;
  if (w <= 0 || h <= 0 || w > kMaxSide || h > kMaxSide) return false;

  int channels = 0;
  const Plain plain = format == K_IMAGE_TGA   ? plainTga(data, size, out, channels)
                      : format == K_IMAGE_BMP ? plainBmp(data, size, out, channels)
                                              : kNotPlain;
  if (plain == kPlainTruncated || (plain == kPlainRead && (out.width != w || out.height != h))) {
    out = KImage();
    return false;
  }
  if (plain == kNotPlain && !decodeWithStb(data, len, w, h, out, channels)) {
    out = KImage();
    return false;
  }
  const size_t bytes = static_cast<size_t>(w) * h * 4;

  // A colour key chunk (PNG tRNS on a true-colour image) gives transparency
  // without an alpha channel; the pixels tell.
  bool alpha = channels == 2 || channels == 4;
  if (!alpha) {
    // All alphas ANDed as whole words: one vectorised pass, no early exit.
    uint32_t all = 0xFFFFFFFFu;
    for (size_t i = 0; i < bytes; i += 4) {
      uint32_t p;
      std::memcpy(&p, out.rgba.data() + i, 4);
      all &= p;
    }
    alpha = (all >> 24) != 255;  // byte 3, alpha, is the high byte (little-endian)
  }
  out.hasAlpha = alpha;
  out.bpp = alpha ? 32 : channels * 8;
  return true;
}

int KImageCodec::textureSide(int width, int height) {
  int larger = width > height ? width : height;
  int side = 2;
  do {
    side *= 2;
  } while (side < larger && side < (1 << 30));
  return side;
}

bool KImageCodec::toTexels(const KImage &img, int side, bool useAlpha, bool keyOn, uint8_t keyR,
                           uint8_t keyG, uint8_t keyB, std::vector<uint8_t> &texels) {
  texels.clear();
  if (img.width < 0 || img.height < 0 || side < img.width || side < img.height || side <= 0 ||
      side > 2 * kMaxSide || img.rgba.size() < static_cast<size_t>(img.width) * img.height * 4) {
    return false;
  }
  texels.assign(static_cast<size_t>(side) * side * 4, 0);
  for (int y = 0; y < img.height; y++) {
    const uint8_t *src = img.pixel(0, y);
    uint8_t *dst = texels.data() + static_cast<size_t>(y) * side * 4;
    for (int x = 0; x < img.width; x++, src += 4, dst += 4) {
      dst[0] = src[0];
      dst[1] = src[1];
      dst[2] = src[2];
      dst[3] = useAlpha ? src[3] : 255;
      if (keyOn && src[0] == keyR && src[1] == keyG && src[2] == keyB) dst[3] = 0;
    }
  }
  return true;
}

bool KImageCodec::encode(KImageFormat format, int width, int height, int comp,
                         const uint8_t *pixels, size_t stride, bool bottomUp,
                         std::vector<uint8_t> &out) {
  out.clear();
  if (pixels == nullptr || width <= 0 || height <= 0 || (comp != 3 && comp != 4)) return false;
  if (width > 65535 || height > 65535) return false;
  size_t row = static_cast<size_t>(width) * comp;
  if (stride < row) return false;

  // stb writes top row first from a packed array; repack once.
  std::vector<uint8_t> packed(row * height);
  for (int y = 0; y < height; y++) {
    int src = bottomUp ? height - 1 - y : y;
    std::memcpy(packed.data() + row * y, pixels + stride * src, row);
  }
  int ok = 0;
  switch (format) {
    case K_IMAGE_BMP:
      ok = stbi_write_bmp_to_func(appendBytes, &out, width, height, comp, packed.data());
      break;
    case K_IMAGE_JPEG:
      ok = stbi_write_jpg_to_func(appendBytes, &out, width, height, comp, packed.data(),
                                  kJpegQuality);
      break;
    case K_IMAGE_TGA:
      ok = stbi_write_tga_to_func(appendBytes, &out, width, height, comp, packed.data());
      break;
    case K_IMAGE_PNG:
      ok = stbi_write_png_to_func(appendBytes, &out, width, height, comp, packed.data(),
                                  static_cast<int>(row));
      break;
    default:
      ok = 0;
      break;
  }
  if (!ok) out.clear();
  return ok != 0 && !out.empty();
}

bool KImageCodec::encodeToFile(const char *path, KImageFormat format, int width, int height,
                               int comp, const uint8_t *pixels, size_t stride, bool bottomUp) {
  if (path == nullptr) return false;
  std::vector<uint8_t> bytes;
  if (!encode(format, width, height, comp, pixels, stride, bottomUp, bytes)) return false;
  FILE *f = std::fopen(path, "wb");
  if (f == nullptr) return false;
  bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  ok = (std::fclose(f) == 0) && ok;
  return ok;
}
