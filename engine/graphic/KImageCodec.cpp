// KImageCodec: decoding and encoding through the system's stb library. Every
// size is checked against kMaxSide before stb allocates pixel memory; the file
// reading half lives in KImageFile.cpp so that this half needs no engine tools.
#include "graphic/KImageCodec.h"

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

  int lw = 0, lh = 0, channels = 0;
  stbi_uc *px = stbi_load_from_memory(data, len, &lw, &lh, &channels, 4);
  if (px == nullptr) return false;
  if (lw != w || lh != h) {
    stbi_image_free(px);
    return false;
  }
  size_t bytes = static_cast<size_t>(w) * h * 4;
  out.width = w;
  out.height = h;
  out.rgba.assign(px, px + bytes);
  stbi_image_free(px);

  // A colour key chunk (PNG tRNS on a true-colour image) gives transparency
  // without an alpha channel; the pixels tell.
  bool alpha = channels == 2 || channels == 4;
  for (size_t i = 3; !alpha && i < bytes; i += 4) {
    if (out.rgba[i] != 255) alpha = true;
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
