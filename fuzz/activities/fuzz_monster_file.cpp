// Fuzzes the monster file reader: any content decodes without fault, the image
// round-trips byte for byte, and drawing, taking and dropping parts of a damaged
// monster never reaches outside the catalogue.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "activities/misterMonster.h"
#include "activities/monster.h"
#include "builder_doubles.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  KScriptedInput &input = installBuilderDoubles().input;

  for (sMonster &m : allMonsters) m = sMonster{};
  decodeMonsters(data, size);
  static uint8_t image[kMonsterFileSize];
  encodeMonsters(image);
  size_t kept = size < kMonsterFileSize ? size : kMonsterFileSize;
  if (std::memcmp(image, data, kept) != 0) std::abort();
  for (size_t i = kept; i < kMonsterFileSize; i++)
    if (image[i] != 0) std::abort();

  // A small catalogue; most of the file's ids point at empty entries.
  for (sRealPart &p : allParts) p = sRealPart{};
  for (int i = 1; i <= 3; i++) allParts[i] = {i, 0, 0, 40 * i, 30, 20, 100 * i, 0};

  currentAlien = size ? 1 + data[0] % 19 : 1;
  inHand = -1;
  const sMonsterPart *slots = allMonsters[currentAlien].allMonsterPart;
  for (int s = 1; s <= 4; s++) {
    input.setPointer(int(int64_t(slots[s].x) + 1), int(int64_t(slots[s].y) + 1));
    pressThenReleaseAway(input);
  }
  return 0;
}
