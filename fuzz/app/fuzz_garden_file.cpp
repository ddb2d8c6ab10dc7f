// Fuzzes the garden file reader: any content decodes without fault; what it
// takes re-encodes to the same bytes and only holds plants the screen can draw;
// what it refuses leaves the garden empty.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "activities/gardenFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  static sSeedInGame plants[kMaxSeeds];
  const bool taken = decodeGarden(data, size, plants);
  for (const sSeedInGame &s : plants) {
    if (!taken && s.ID != 0) std::abort();
    if (s.ID != 0 && (s.tige < 1 || s.tige > 9 || s.flower < 1 || s.flower > 9)) std::abort();
  }
  if (taken) {
    static unsigned char image[kGardenFileSize];
    encodeGarden(plants, image);
    if (size != kGardenFileSize || std::memcmp(image, data, size) != 0) std::abort();
  }
  return 0;
}
