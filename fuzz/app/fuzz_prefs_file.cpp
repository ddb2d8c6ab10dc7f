// Fuzzes the preferences reader: any file content decodes without fault, the
// leading bytes round-trip exactly and clamped sliders give volumes 0..100.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "app/preferences.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  sPreferences prefs;
  decodePrefs(data, size, prefs);
  unsigned char image[16];
  encodePrefs(prefs, image);
  size_t kept = size < 16 ? size : 16;
  if (std::memcmp(image, data, kept) != 0) std::abort();
  // The defaults survive in whatever the file did not cover.
  unsigned char defaults[16];
  encodePrefs(sPreferences(), defaults);
  if (std::memcmp(image + kept, defaults + kept, 16 - kept) != 0) std::abort();
  for (int32_t v : {prefs.music, prefs.sfx}) {
    int vol = sliderVolume(v);
    if (vol < 0 || vol > 100) std::abort();
  }
  return 0;
}
