// The glow-peg board: ten boards of 32 x 21 holes kept in one file in the
// documents folder, and the screen that paints them. Application thread only.
#pragma once

#include <cstddef>
#include <cstdint>


enum {
  PABGLOW_COLUMNS = 32,
  PABGLOW_ROWS = 21,
  PABGLOW_CELLS = PABGLOW_COLUMNS * PABGLOW_ROWS,  // 672, row-major
  PABGLOW_BOARDS = 10,
  PABGLOW_PENS = 11,     // colours 0..9 and the eraser
  PABGLOW_EMPTY = 10,    // an empty hole; also the eraser pen
  PABGLOW_FILE_SIZE = PABGLOW_BOARDS * PABGLOW_CELLS * 4,  // 26880
};

struct sGrid {
  int32_t gridpabglow[PABGLOW_CELLS];  // 0..9 a peg; anything else shows nothing
};

extern sGrid allGrids[PABGLOW_BOARDS];
extern long currentGrid;  // board shown, 0..7 selectable with F1..F8
extern long currentPen;   // 0..9 colours, 10 the eraser

// Full path of the board file ("<documents>/pabglow.dat"); shared buffer.
const char *pabglowFileName();

// Sets every cell of every board to empty.
void emptyBoards();
// The peg colour a cell shows (0..9), or -1 for an empty hole or a damaged
// value: only these ten pictures may ever be indexed by a cell.
int pegColour(int32_t cell);

// Empties all boards and then fills them from leading file bytes: `size` bytes
// (at most the file size) replace the start of the boards' file image.
void decodeBoards(const unsigned char *bytes, size_t size);
// The file image of all ten boards, PABGLOW_FILE_SIZE bytes.
void encodeBoards(unsigned char *out);

// Reads the board file (missing or short files leave empty cells) and writes it
// back whole; the write replaces the file atomically.
void loadBoards();
bool saveBoards();

void doPabglow();
void pickAcolor();
