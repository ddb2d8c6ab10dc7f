// Fuzzes the peg-board file reader: any content decodes without fault, the file
// image round-trips byte for byte, and no cell maps to a pen picture outside 0..9.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "activities/pabglow.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  decodeBoards(data, size);
  static unsigned char image[PABGLOW_FILE_SIZE];
  encodeBoards(image);
  size_t kept = size < sizeof image ? size : sizeof image;
  if (std::memcmp(image, data, kept) != 0) std::abort();
  for (const sGrid &g : allGrids) {
    for (int32_t cell : g.gridpabglow) {
      int peg = pegColour(cell);
      if (peg < -1 || peg > 9) std::abort();
      if (peg == -1 && cell >= 0 && cell <= 9) std::abort();
    }
  }
  // Past the file's end every cell is an empty hole.
  for (size_t i = (kept + 3) / 4; i < (size_t)PABGLOW_BOARDS * PABGLOW_CELLS; i++)
    if (allGrids[i / PABGLOW_CELLS].gridpabglow[i % PABGLOW_CELLS] != PABGLOW_EMPTY) std::abort();
  return 0;
}
