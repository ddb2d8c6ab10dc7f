// Monster catalogue and storage: INI catalogues, sprite sheets, the monster file.
// The file is little-endian whatever the host; saving never leaves a half-written
// file behind. Application thread only.
#include "activities/monster.h"

#include <cstdio>
#include <cstring>
#include <string>


#include "app/fileio.h"
#include "graphic/KGraphic.h"
#include "tools/KIniReader.h"
#include "tools/KMiscTools.h"
#include "window/KQMX.h"

sRealPart allParts[kCatalogueSize];
sMonster allMonsters[kMonsterRecords];
long maxMonsters = 3;
long currentAlien = 1;
KGraphic *surf_monster = nullptr;
long monstreX1 = 0, monstreY1 = 0, monstreX2 = 0, monstreY2 = 0;

namespace {

// Catalogue numbers come from editable text: keep them small enough that
// position + width sums can never overflow, far beyond any real sprite sheet.
constexpr long kCoordLimit = 1000000;

long readCoord(KIniReader &ini, const char *section, const char *key) {
  long v = ini.getValue(section, key, 0);
  if (v > kCoordLimit) return kCoordLimit;
  if (v < -kCoordLimit) return -kCoordLimit;
  return v;
}

// makeFilePath returns a shared buffer; every caller here keeps its own copy.
std::string dataPath(const char *format, long n) {
  char name[64];
  std::snprintf(name, sizeof name, format, n);
  return KMiscTools::makeFilePath(name);
}

void putLE32(uint8_t *p, int32_t v) {
  uint32_t u = static_cast<uint32_t>(v);
  p[0] = uint8_t(u);
  p[1] = uint8_t(u >> 8);
  p[2] = uint8_t(u >> 16);
  p[3] = uint8_t(u >> 24);
}

int32_t getLE32(const uint8_t *p) {
  uint32_t u = uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
  return static_cast<int32_t>(u);
}

}  // namespace

sMonster *shownMonster() {
  if (currentAlien < 0 || currentAlien >= kMonsterRecords) return nullptr;
  return &allMonsters[currentAlien];
}

long readMonsterCount(const char *countIni) {
  KIniReader *ini = new KIniReader();
  ini->setIni(countIni);
  long count = ini->getValue("DATA", "MAXMONSTER", 0);
  delete ini;
  if (count <= 0) count = 3;
  // Higher numbers would address records the monster file does not have.
  if (count > kMaxMonsterNumber) count = kMaxMonsterNumber;
  return count;
}

void loadCatalogue(const char *monsterIni) {
  // dx and dy stay: with a zero rectangle they can never be hit or drawn.
  for (sRealPart &p : allParts) {
    p.id = 0;
    p.x1 = p.y1 = p.x2 = p.y2 = 0;
    p.zoom = 0;
  }

  KIniReader *ini = new KIniReader();
  ini->setIni(monsterIni);
  char key[32];
  for (long i = 1; i < kCatalogueSize; i++) {
    std::snprintf(key, sizeof key, "e%ldid", i);
    long id = ini->getValue("DATA", key, 0);
    if (id == 0) break;
    sRealPart &p = allParts[i];
    p.id = id;
    std::snprintf(key, sizeof key, "e%ldx1", i);
    p.x1 = readCoord(*ini, "DATA", key);
    std::snprintf(key, sizeof key, "e%ldy1", i);
    p.y1 = readCoord(*ini, "DATA", key);
    std::snprintf(key, sizeof key, "e%ldx2", i);
    p.x2 = readCoord(*ini, "DATA", key);
    std::snprintf(key, sizeof key, "e%ldy2", i);
    p.y2 = readCoord(*ini, "DATA", key);
    std::snprintf(key, sizeof key, "e%lddx", i);
    p.dx = readCoord(*ini, "DATA", key);
    std::snprintf(key, sizeof key, "e%lddy", i);
    p.dy = readCoord(*ini, "DATA", key);
    std::snprintf(key, sizeof key, "active%ld", i);
    if (ini->getValue("DATA", key, 0) <= 0) p.id = -1;
  }
  monstreX1 = readCoord(*ini, "MONSTER", "x1");
  monstreX2 = readCoord(*ini, "MONSTER", "x2");
  monstreY1 = readCoord(*ini, "MONSTER", "y1");
  monstreY2 = readCoord(*ini, "MONSTER", "y2");
  delete ini;
}

void loadMonsterFrom(const char *countIni, const char *monsterIni, const char *sheet) {
  maxMonsters = readMonsterCount(countIni);

  if (surf_monster) {
    delete surf_monster;
    surf_monster = nullptr;
  }
  surf_monster = KQMX::createKGraphic();
  if (surf_monster) {
    surf_monster->loadPicture(sheet, true, true);
    surf_monster->setTextureQuality(true);
  }

  loadCatalogue(monsterIni);
}

void loadMonster(long n) {
  std::string count = KMiscTools::makeFilePath("data\\monstercount.ini");
  std::string sheet = dataPath("data\\gfx\\monstre%ld.tga", n);
  std::string ini = dataPath("data\\monstre%ld.ini", n);
  loadMonsterFrom(count.c_str(), ini.c_str(), sheet.c_str());
}

const char *monsterFilePath() {
  static char path[1024];
  const char *folder = KMiscTools::getUserFolder();
  if (!folder) folder = "";
  if (folder[0] == '/') {
    // An absolute folder is used as it is: the data-path builder would cut a long
    // one short, or turn a backslash in a folder name into a separator, and so
    // name another file.
    size_t len = std::strlen(folder);
    const char *sep = len > 0 && folder[len - 1] == '/' ? "" : "/";
    std::snprintf(path, sizeof path, "%s%smistermon.dat", folder, sep);
    return path;
  }
  char name[1024];
  std::snprintf(name, sizeof name, "%s\\mistermon.dat", folder);
  std::snprintf(path, sizeof path, "%s", KMiscTools::makeFilePath(name));
  return path;
}

void encodeMonsters(uint8_t *out) {
  for (const sMonster &m : allMonsters) {
    for (const sMonsterPart &s : m.allMonsterPart) {
      putLE32(out, s.partID);
      putLE32(out + 4, s.x);
      putLE32(out + 8, s.y);
      out += 12;
    }
  }
}

void decodeMonsters(const uint8_t *in, size_t len) {
  if (len > kMonsterFileSize) len = kMonsterFileSize;
  // Overlay the given bytes on the current image so a partial field keeps the
  // bytes it did not receive, as a raw block read would.
  static uint8_t image[kMonsterFileSize];
  encodeMonsters(image);
  std::memcpy(image, in, len);
  const uint8_t *p = image;
  for (sMonster &m : allMonsters) {
    for (sMonsterPart &s : m.allMonsterPart) {
      s.partID = getLE32(p);
      s.x = getLE32(p + 4);
      s.y = getLE32(p + 8);
      p += 12;
    }
  }
}

bool saveMonstersTo(const char *path) {
  static uint8_t image[kMonsterFileSize];
  encodeMonsters(image);
  return writeFileAtomically(path, image, kMonsterFileSize);
}

bool loadMonstersFrom(const char *path) {
  static uint8_t image[kMonsterFileSize];
  const long got = readFilePrefix(path, image, kMonsterFileSize);
  if (got < 0) return false;
  decodeMonsters(image, size_t(got));
  return true;
}

void saveMonsters() { saveMonstersTo(monsterFilePath()); }

void loadMonsters() { loadMonstersFrom(monsterFilePath()); }
