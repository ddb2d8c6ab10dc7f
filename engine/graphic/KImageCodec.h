// KImageCodec: the picture file codec shared by both renderers. Decodes TGA, BMP,
// JPEG and PNG held in memory into straight RGBA8 (top row first) and encodes
// RGBA8 frames to the same four formats. No device state; any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// Values match the image formats of KGraphic::saveBackBuffer.
enum KImageFormat {
  K_IMAGE_NONE = -1,
  K_IMAGE_BMP = 0,
  K_IMAGE_JPEG = 1,
  K_IMAGE_TGA = 2,
  K_IMAGE_PNG = 3,
};

struct KImage {
  int width = 0;
  int height = 0;
  int bpp = 0;            // bits per pixel of the file's pixels (8 grey/palette ... 32)
  bool hasAlpha = false;  // the file carries an alpha channel (or palette transparency)
  std::vector<uint8_t> rgba;  // width * height * 4 bytes: red, green, blue, alpha; top row first

  // Pixel (x, y), y counted from the top; the caller keeps x and y in range.
  const uint8_t *pixel(int x, int y) const {
    return rgba.data() + (static_cast<size_t>(y) * width + x) * 4;
  }
};

class KImageCodec {
public:
  // Pictures larger than this on either side are refused before any pixel memory
  // is allocated: a forged header must not cost gigabytes (a texture of side
  // 4096 already needs 64 MB of staging).
  static const int kMaxSide = 4096;
  // Files larger than this are not read into memory.
  static const size_t kMaxFileBytes = 128u * 1024u * 1024u;

  // Decoder for a path: the file name's extension, in any case (".png", ".bmp",
  // ".jpg", ".tga"); K_IMAGE_NONE for any other or none.
  static KImageFormat formatFromPath(const char *path);

  // Decodes a whole file held in memory as the given format. The data must
  // really be in that format (a PNG named .tga is refused). False, with `out`
  // empty, for corrupt, truncated, absurdly large or unsupported data.
  static bool decode(const uint8_t *data, size_t size, KImageFormat format, KImage &out);

  // Reads a file through KResource and decodes it by the format its path names.
  // The path is tried as given, then with slashes for backslashes, then with
  // each component matched ignoring ASCII case, so that data names written in
  // any case still open.
  // A picture decoded ahead for this path (KPictureAhead) is taken instead.
  static bool readFile(const char *path, KImage &out);
  // The same, always from the file (the worker that decodes ahead reads this way).
  static bool readFileNow(const char *path, KImage &out);

  // Reads a whole file through KResource; false when it cannot be opened, is
  // empty, larger than kMaxFileBytes, or cannot be read in full.
  static bool readWholeFile(const char *path, std::vector<uint8_t> &out);

  // Encodes width x height pixels of `comp` bytes each (3: RGB, 4: RGBA), rows
  // `stride` bytes apart, top row first unless `bottomUp`. JPEG ignores alpha.
  static bool encode(KImageFormat format, int width, int height, int comp, const uint8_t *pixels,
                     size_t stride, bool bottomUp, std::vector<uint8_t> &out);
  // As encode, then writes the bytes to `path` (no case change).
  static bool encodeToFile(const char *path, KImageFormat format, int width, int height, int comp,
                           const uint8_t *pixels, size_t stride, bool bottomUp);

  // Side of the square texture that holds a w x h picture: the smallest power
  // of two that is at least the larger side and at least 4.
  static int textureSide(int width, int height);

  // Lays a decoded picture into the top-left of a zeroed side x side RGBA8
  // texel block (row 0 = top row). Alpha is the picture's own when `useAlpha`,
  // else 255; with `keyOn`, pixels whose RGB equal the key exactly get alpha 0
  // and keep their colour. False when `side` cannot hold the picture.
  static bool toTexels(const KImage &img, int side, bool useAlpha, bool keyOn, uint8_t keyR,
                       uint8_t keyG, uint8_t keyB, std::vector<uint8_t> &texels);

  // Quality of the JPEG encoder (1..100).
  static const int kJpegQuality = 90;
};
