// Fuzz target over the picture load path: bytes in, texel block out, exactly as
// a picture load lays them out. The first byte picks the format (low two bits,
// as the save formats number them) and whether a colour key is on; the rest is
// the file.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "graphic/KImageCodec.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size < 1) return 0;
  KImageFormat format = static_cast<KImageFormat>(data[0] & 3);
  bool keyOn = (data[0] & 4) != 0;
  KImage img;
  if (!KImageCodec::decode(data + 1, size - 1, format, img)) return 0;
  if (img.width <= 0 || img.height <= 0 || img.width > KImageCodec::kMaxSide ||
      img.height > KImageCodec::kMaxSide ||
      img.rgba.size() != static_cast<size_t>(img.width) * img.height * 4) {
    __builtin_trap();  // decode claimed success with an inconsistent picture
  }
  std::vector<uint8_t> texels;
  int side = KImageCodec::textureSide(img.width, img.height);
  if (!KImageCodec::toTexels(img, side, img.hasAlpha, keyOn, 0, 0, 0, texels)) __builtin_trap();
  return 0;
}
