// Fuzz target: the sound-effect recipe parser of the asset generator.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>

#include "synth.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  assetgen::Recipe recipe;
  std::string error;
  if (assetgen::parseRecipe(std::string(reinterpret_cast<const char *>(data), size), recipe, error)) {
    if (recipe.length <= 0 || recipe.length > 10 || recipe.layers.empty() || recipe.layers.size() > 64)
      __builtin_trap();
    for (const assetgen::Layer &l : recipe.layers) {
      if (l.repeats < 1 || l.repeats > 64 || !std::isfinite(l.freq0)) __builtin_trap();
    }
  } else if (error.empty()) {
    __builtin_trap();
  }
  return 0;
}
