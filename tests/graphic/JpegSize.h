// The width and height a JPEG file declares in its first frame header: the
// decoder reads no JPEG, so the tests of the JPEG writer check the file this way.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

inline std::pair<int, int> jpegSize(const std::vector<uint8_t> &f) {
  if (f.size() < 4 || f[0] != 0xFF || f[1] != 0xD8) return {0, 0};
  for (size_t i = 2; i + 9 < f.size(); ) {
    if (f[i] != 0xFF) return {0, 0};
    uint8_t marker = f[i + 1];
    size_t length = (f[i + 2] << 8) | f[i + 3];
    if (marker >= 0xC0 && marker <= 0xC3) return {(f[i + 7] << 8) | f[i + 8], (f[i + 5] << 8) | f[i + 6]};
    i += 2 + length;
  }
  return {0, 0};
}
