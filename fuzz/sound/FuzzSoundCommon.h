// Shared by the sound fuzz targets: one sound object for the whole run (the
// device stays open), and a private file to hand inputs to the loaders, which
// read from files. Single-threaded.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <unistd.h>

#include "sound/KSound.h"
#include "tools/KLog.h"
#include "tools/KMiscTools.h"

struct KSoundTestAccess {
  static long parseWav(KSound &s, unsigned char *data, unsigned long size) {
    return s.ParseWavHeader(data, size);
  }
};

namespace fuzzsound {

inline KSound &sound() {
  static KSound *s = [] {
    // Thousands of inputs are no sound at all: no message box for them (as in a
    // program asked to quit) and no line of trouble each.
    KMiscTools::_closeModal = [] { return true; };
    setLogSink([](const char *, const char *) {});
    return new KSound;  // kept for the whole run
  }();
  return *s;
}

inline std::string writeInput(const char *suffix, const uint8_t *data, size_t size) {
  std::string path = "/tmp/pabrix-fuzz-" + std::to_string(getpid()) + suffix;
  if (FILE *f = fopen(path.c_str(), "wb")) {
    if (size) fwrite(data, 1, size, f);
    fclose(f);
  }
  return path;
}

}  // namespace fuzzsound
