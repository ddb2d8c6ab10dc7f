// The preferences file image: the 16-byte little-endian record, read over the
// current values so a short file replaces only leading bytes. No engine calls,
// so the fuzz target links this file alone. Any thread (pure functions).
#include <cstring>

#include "app/preferences.h"

static void putLE32(unsigned char *p, uint32_t v) {
  p[0] = (unsigned char)(v & 0xff);
  p[1] = (unsigned char)((v >> 8) & 0xff);
  p[2] = (unsigned char)((v >> 16) & 0xff);
  p[3] = (unsigned char)((v >> 24) & 0xff);
}

static uint32_t getLE32(const unsigned char *p) {
  return (uint32_t)p[0] | ((uint32_t)p[1] << 8) | ((uint32_t)p[2] << 16) |
         ((uint32_t)p[3] << 24);
}

void encodePrefs(const sPreferences &prefs, unsigned char out[16]) {
  putLE32(out + 0, (uint32_t)prefs.music);
  putLE32(out + 4, (uint32_t)prefs.sfx);
  out[8] = prefs.fullscreen;
  out[9] = prefs.printing;
  out[10] = prefs.align[0];
  out[11] = prefs.align[1];
  putLE32(out + 12, prefs.timer);
}

void decodePrefs(const unsigned char *bytes, size_t size, sPreferences &into) {
  // A short file replaces only the leading bytes of what is already there.
  unsigned char image[16];
  encodePrefs(into, image);
  if (size > sizeof image) size = sizeof image;
  if (size > 0) std::memcpy(image, bytes, size);
  into.music = (int32_t)getLE32(image + 0);
  into.sfx = (int32_t)getLE32(image + 4);
  into.fullscreen = image[8];
  into.printing = image[9];
  into.align[0] = image[10];
  into.align[1] = image[11];
  into.timer = getLE32(image + 12);
}

int sliderVolume(int32_t position) {
  int64_t v = ((int64_t)position - SLIDER_MIN) * 100 / (SLIDER_MAX - SLIDER_MIN);
  if (v < 0) v = 0;
  if (v > 100) v = 100;
  return (int)v;
}
