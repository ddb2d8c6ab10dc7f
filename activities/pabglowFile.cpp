// The board file image: ten boards of 672 little-endian 32-bit cells, no header.
// No engine calls, so the fuzz target links this file alone. Application thread
// (allGrids and the shared image buffer are process-wide).
#include <cstring>

#include "activities/pabglow.h"

sGrid allGrids[PABGLOW_BOARDS];

// One file image, reused for every decode so loading never allocates.
static unsigned char fileImage[PABGLOW_FILE_SIZE];

int pegColour(int32_t cell) { return cell >= 0 && cell <= 9 ? (int)cell : -1; }

void encodeBoards(unsigned char *out) {
  for (int b = 0; b < PABGLOW_BOARDS; b++) {
    for (int i = 0; i < PABGLOW_CELLS; i++) {
      uint32_t v = (uint32_t)allGrids[b].gridpabglow[i];
      out[0] = (unsigned char)(v & 0xff);
      out[1] = (unsigned char)((v >> 8) & 0xff);
      out[2] = (unsigned char)((v >> 16) & 0xff);
      out[3] = (unsigned char)((v >> 24) & 0xff);
      out += 4;
    }
  }
}

void emptyBoards() {
  for (sGrid &g : allGrids)
    for (int32_t &cell : g.gridpabglow) cell = PABGLOW_EMPTY;
}

void decodeBoards(const unsigned char *bytes, size_t size) {
  // The bytes a short file lacks keep the empty boards' image, byte for byte.
  emptyBoards();
  encodeBoards(fileImage);
  if (size > sizeof fileImage) size = sizeof fileImage;
  if (size > 0) std::memcpy(fileImage, bytes, size);
  const unsigned char *p = fileImage;
  for (int b = 0; b < PABGLOW_BOARDS; b++) {
    for (int i = 0; i < PABGLOW_CELLS; i++) {
      uint32_t v = (uint32_t)p[0] | ((uint32_t)p[1] << 8) | ((uint32_t)p[2] << 16) |
                   ((uint32_t)p[3] << 24);
      allGrids[b].gridpabglow[i] = (int32_t)v;
      p += 4;
    }
  }
}
