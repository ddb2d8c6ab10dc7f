// The preferences record and its file: defaults, load, atomic save, and the
// master volumes derived from the two slider positions. Application thread only.
#include "app/preferences.h"

#include "app/fileio.h"
#include "app/shell.h"
#include "sound/KSound.h"

sPreferences preferences;

const char *prefsFileName() { return userFilePath("pabrix.prf"); }

static int32_t clampSlider(int32_t v) {
  if (v < SLIDER_MIN) v = SLIDER_MIN;
  if (v > SLIDER_MAX) v = SLIDER_MAX;
  return v;
}

void doVolume() {
  preferences.music = clampSlider(preferences.music);
  preferences.sfx = clampSlider(preferences.sfx);
  // The upper knob (`music`) sets the effects master and the lower knob (`sfx`)
  // the music master; the options picture labels the sliders to match.
  KSound::setGlobalVolumes(sliderVolume(preferences.sfx), sliderVolume(preferences.music));
}

void loadPrefs() {
  unsigned char bytes[16];
  long got = readFilePrefix(prefsFileName(), bytes, sizeof bytes);
  if (got > 0) decodePrefs(bytes, (size_t)got, preferences);
  doVolume();
}

bool savePrefs() {
  unsigned char bytes[16];
  encodePrefs(preferences, bytes);
  return writeFileAtomically(prefsFileName(), bytes, sizeof bytes);
}
