// Fuzz target: the music score parser of the asset generator.
#include <cstddef>
#include <cstdint>
#include <string>

#include "score.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  assetgen::Score score;
  std::string error;
  if (assetgen::parseScore(std::string(reinterpret_cast<const char *>(data), size), score, error)) {
    // Whatever parses must be playable: notes end after they start, inside the MIDI ranges.
    for (const assetgen::ScoreNote &n : score.notes) {
      if (n.off <= n.on || n.key < 0 || n.key > 127 || n.velocity < 1 || n.velocity > 127 ||
          n.channel < 0 || n.channel > 15)
        __builtin_trap();
    }
  } else if (error.empty()) {
    __builtin_trap();
  }
  return 0;
}
