// Writes the seed corpus of one fuzz target from the files the build generates,
// so every target starts from whole, valid inputs, and the -max_len argument that
// lets the fuzzer reach the end of the largest of them. A build-time tool: never
// instrumented. Single-threaded.
//
//   fuzzseeds SEEDDIR ARGSFILE MINLEN ITEM...
//     ITEM  "board"       a whole peg-board file: ten boards of 672 cells, every pen used
//           "monsters"    a whole monster file: 20 monsters of 500 slots, parts placed
//           "prefs"       a preferences file of the usual values
//           "garden"      a whole garden file: plants of every kind at every stage
//           "XX:PATH"     the file PATH led by the byte XX (hex; the fuzz target's
//                         selector byte), or "-:PATH" for the file alone
//   ARGSFILE gets "-max_len=N", N being the largest seed or MINLEN if larger.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "activities/gardenFile.h"

namespace {

void putLE32(std::vector<uint8_t> &out, uint32_t v) {
  for (int i = 0; i < 4; i++) out.push_back(uint8_t(v >> (8 * i)));
}

std::vector<uint8_t> boardFile() {
  std::vector<uint8_t> out;
  for (int board = 0; board < 10; board++)
    for (int cell = 0; cell < 672; cell++) putLE32(out, uint32_t((cell * 7 + board) % 11));
  return out;
}

std::vector<uint8_t> monsterFile() {
  std::vector<uint8_t> out;
  for (int monster = 0; monster < 20; monster++)
    for (int slot = 0; slot < 500; slot++) {
      const bool placed = slot < 12;
      putLE32(out, placed ? uint32_t(1 + (slot + monster) % 30) : 0);
      putLE32(out, placed ? uint32_t(260 + slot * 25) : 0);
      putLE32(out, placed ? uint32_t(40 + slot * 30) : 0);
    }
  return out;
}

std::vector<uint8_t> prefsFile() {
  std::vector<uint8_t> out;
  putLE32(out, 300);
  putLE32(out, 280);
  for (uint8_t b : {1, 0, 0, 0}) out.push_back(b);
  putLE32(out, 0);
  return out;
}

// Written by the program's own encoder, so the seed always has the checksum
// and layout of the version the reader takes.
std::vector<uint8_t> gardenFile() {
  static sSeedInGame plants[kMaxSeeds];
  for (int i = 0; i < 30; i++) {
    sSeedInGame &s = plants[i];
    s.ID = int16_t(1 + i % 10);
    s.x1 = int16_t(200 + i), s.y1 = 150, s.x2 = int16_t(240 + i), s.y2 = 180;
    s.dx = float(190 + 14 * i), s.dy = float(395 + i % 5);
    s.progress = float(i * 9 - 40), s.zoom = 0.1f * float(i % 60);
    s.tige = int16_t(1 + i % 9), s.flower = int16_t(1 + (i * 4) % 9);
    s.flowerProgress = float(i % 3) / 2, s.growSpeed = 0.01f * float(i % 25);
    s.lifeTime = float(30 * (i % 10) + 30), s.rotation = float(i % 60 - 30);
    for (int k = 0; k < 6; k++) s.leaves[k] = {int16_t(-10 + k), int16_t(40 + 10 * k), (i + k) % 3 ? -1.0f : 0.5f};
  }
  std::vector<uint8_t> out(kGardenFileSize);
  encodeGarden(plants, out.data());
  return out;
}

bool readFile(const std::string &path, std::vector<uint8_t> &out) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  out.insert(out.end(), std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return true;
}

bool writeFile(const std::string &path, const std::vector<uint8_t> &bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char *>(bytes.data()), std::streamsize(bytes.size()));
  return bool(out);
}

}  // namespace

int main(int argc, char **argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: fuzzseeds SEEDDIR ARGSFILE MINLEN ITEM...\n");
    return 2;
  }
  const std::string dir = argv[1];
  size_t maxLen = std::strtoul(argv[3], nullptr, 10);
  for (int i = 4; i < argc; i++) {
    const std::string item = argv[i];
    std::vector<uint8_t> seed;
    std::string name = item;
    if (item == "board") {
      seed = boardFile();
    } else if (item == "monsters") {
      seed = monsterFile();
    } else if (item == "garden") {
      seed = gardenFile();
    } else if (item == "prefs") {
      seed = prefsFile();
    } else {
      const size_t colon = item.find(':');
      if (colon == std::string::npos) {
        std::fprintf(stderr, "fuzzseeds: %s is not an item\n", item.c_str());
        return 2;
      }
      const std::string prefix = item.substr(0, colon), path = item.substr(colon + 1);
      if (prefix != "-") seed.push_back(uint8_t(std::strtoul(prefix.c_str(), nullptr, 16)));
      if (!readFile(path, seed)) {
        std::fprintf(stderr, "fuzzseeds: cannot read %s\n", path.c_str());
        return 1;
      }
      name = path.substr(path.rfind('/') + 1) + (prefix == "-" ? "" : "." + prefix);
    }
    if (!writeFile(dir + "/" + name, seed)) {
      std::fprintf(stderr, "fuzzseeds: cannot write %s/%s\n", dir.c_str(), name.c_str());
      return 1;
    }
    if (seed.size() > maxLen) maxLen = seed.size();
  }
  std::ofstream args(argv[2], std::ios::trunc);
  args << "-max_len=" << maxLen << "\n";
  return args ? 0 : 1;
}
