// Fuzzes the monster catalogue reader: any INI text loads without fault, the
// catalogue ends at its first gap, and hovering, taking and dropping the loaded
// parts never indexes past the catalogue or overflows a position.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "activities/misterMonster.h"
#include "activities/monster.h"
#include "builder_doubles.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  static const std::string path = "/tmp/pabrix-fuzz-catalogue-" + std::to_string(getpid()) + ".ini";
  FILE *f = std::fopen(path.c_str(), "wb");
  if (!f) return 0;
  std::fwrite(data, 1, size, f);
  std::fclose(f);

  KScriptedInput &input = installBuilderDoubles().input;

  long count = readMonsterCount(path.c_str());
  if (count < 1 || count > 19) std::abort();
  loadCatalogue(path.c_str());
  bool ended = false;
  for (int i = 1; i < kCatalogueSize; i++) {
    if (allParts[i].id == 0) ended = true;
    else if (ended) std::abort();  // nothing past the first gap
  }

  for (sMonster &m : allMonsters) m = sMonster{};
  currentAlien = 1;
  inHand = -1;
  // Take the first few parts from the palette, drop them on the body, pick them up again.
  for (int i = 1; i <= 6 && allParts[i].id != 0; i++) {
    input.setPointer(int(allParts[i].dx + 1), int(allParts[i].dy + 1));
    pressThenReleaseAway(input);
    input.setLeftButton(true);
    displayMonster(false);
    if (inHand > 0 && !isPlacedPart(inHand)) std::abort();
    input.setLeftButton(false);
    displayMonster(false);
  }
  std::remove(path.c_str());
  return 0;
}
