// Reaches the private steps of KSound that the tests and fuzz targets drive
// directly (the WAV scan, restoring lost buffers).
#pragma once

#include "sound/KSound.h"

struct KSoundTestAccess {
  static long parseWav(KSound &s, unsigned char *data, unsigned long size) {
    return s.ParseWavHeader(data, size);
  }
  static void restore(KSound &s) { s.restoreSample(); }
  static void clear(KSound &s, short index, long size) { s.clearSoundBuffer(index, size); }
  static bool counted(const KSound &s) { return s._counted; }
  static std::mutex &volumeLock(KSound &s) { return s._volumeLock; }
};
