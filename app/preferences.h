// The preferences record, its 16-byte file in the documents folder and the
// options screen that edits it. Application thread only.
#pragma once

#include <cstddef>
#include <cstdint>

// The file is this record's exact little-endian image; field order and sizes
// are fixed because earlier runs wrote them.
struct sPreferences {
  int32_t music = 300;      // x of the upper slider knob, 120..340
  int32_t sfx = 280;        // x of the lower slider knob, 120..340
  uint8_t fullscreen = 1;   // 0 or 1 (kept as a byte: a damaged file may hold anything)
  uint8_t printing = 0;     // 0 or 1; printing is only offered in a window
  uint8_t align[2] = {0, 0};  // kept as read
  uint32_t timer = 0;       // kept as read
};
static_assert(sizeof(sPreferences) == 16, "preferences file is 16 bytes");
static_assert(offsetof(sPreferences, music) == 0 && offsetof(sPreferences, sfx) == 4 &&
                  offsetof(sPreferences, fullscreen) == 8 &&
                  offsetof(sPreferences, printing) == 9 && offsetof(sPreferences, align) == 10 &&
                  offsetof(sPreferences, timer) == 12,
              "preferences record layout is the file layout");

extern sPreferences preferences;

// Slider limits and the master volume (0..100) a knob position gives.
enum { SLIDER_MIN = 120, SLIDER_MAX = 340 };
int sliderVolume(int32_t position);

// Full path of the preferences file ("<documents>/pabrix.prf"); shared buffer.
const char *prefsFileName();

// The 16-byte file image of a record, and a record from leading file bytes:
// `size` bytes (at most 16) replace the start of `into`.
void encodePrefs(const sPreferences &prefs, unsigned char out[16]);
void decodePrefs(const unsigned char *bytes, size_t size, sPreferences &into);

void loadPrefs();
bool savePrefs();  // false when the file could not be written (the old one is kept)
void doVolume();   // clamps both sliders and applies the master volumes
long doOptions();
