// Monster catalogue and storage: the current monster's parts, the placed parts of
// every monster, and the monster file in the documents folder.
// Application thread only; all state is process-wide.
#pragma once

#include <cstddef>
#include <cstdint>

class KGraphic;

// One kind of part the current monster offers.
struct sRealPart {
  long id;  // > 0 offered, -1 loaded but not offered, 0 no entry
  long x1, y1, x2, y2;  // source rectangle in the sprite sheet (x2, y2 exclusive)
  long dx, dy;  // palette position
  long zoom;  // 1 while hovered in the palette
};

// One placed part. 32-bit fields: the monster file is the raw image of these.
struct sMonsterPart {
  int32_t partID;  // catalogue index 1..499; anything else is a free slot
  int32_t x, y;
};
static_assert(sizeof(sMonsterPart) == 12, "monster file slots are 12 bytes");

constexpr int kMonsterSlots = 500;
constexpr int kMonsterRecords = 20;
constexpr int kCatalogueSize = 500;
// Record 0 is stored but never shown, so the file holds monsters 1..19.
constexpr long kMaxMonsterNumber = kMonsterRecords - 1;
constexpr size_t kMonsterFileSize = size_t(kMonsterRecords) * kMonsterSlots * 12;

struct sMonster {
  sMonsterPart allMonsterPart[kMonsterSlots];
};

extern sRealPart allParts[kCatalogueSize];
extern sMonster allMonsters[kMonsterRecords];
extern long maxMonsters;
extern long currentAlien;
extern KGraphic *surf_monster;
extern long monstreX1, monstreY1, monstreX2, monstreY2;

// Whether a slot holds a part that may index allParts. Damaged files can hold any
// value; everything outside 1..499 is a free slot.
inline bool isPlacedPart(long partID) { return partID >= 1 && partID < kCatalogueSize; }

// The record of the monster on show, or null when currentAlien is out of range.
sMonster *shownMonster();

void loadMonster(long n);
void saveMonsters();
void loadMonsters();

// The same steps with explicit files, so tools and tests can point them elsewhere.
// loadMonster(n) is loadMonsterFrom(<count ini>, <monstre n ini>, <monstre n tga>).
void loadMonsterFrom(const char *countIni, const char *monsterIni, const char *sheet);
// Resets the catalogue and reads entries and the body rectangle from an INI file.
void loadCatalogue(const char *monsterIni);
// Reads "MAXMONSTER" from the count file: 3 when missing or <= 0, at most 19.
long readMonsterCount(const char *countIni);
// Full path of the monster file in the documents folder.
const char *monsterFilePath();
// Writes allMonsters to path through a temporary file renamed over it; false on
// failure, in which case the old file is left as it was.
bool saveMonstersTo(const char *path);
// Reads up to 120000 bytes from path over allMonsters; false when it cannot be opened.
bool loadMonstersFrom(const char *path);
// Byte image of allMonsters and its inverse. Decoding a short image overwrites
// only the bytes it has, exactly as reading the file in one block would.
void encodeMonsters(uint8_t *out);
void decodeMonsters(const uint8_t *in, size_t len);
