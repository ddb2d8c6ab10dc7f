// Fuzz target over the WAV sample path: the header scan on a block laid out as
// a file read into memory (with its spare bytes), checked for staying inside
// the file, then the whole loadSample path from a file, buffers included.
#include <cstdint>
#include <cstring>
#include <vector>

#include "FuzzSoundCommon.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  KSound &s = fuzzsound::sound();

  // The exact block loadFileToRam would build: the file, then 1024 zero bytes.
  std::vector<unsigned char> block(size + 1024, 0);
  if (size) memcpy(block.data(), data, size);
  long r = KSoundTestAccess::parseWav(s, block.data(), size);
  if (r > 0) {
    const unsigned char *end = block.data() + size;
    if (!s._wavDataStart || s._wavDataStart + s._wavLength > end ||
        static_cast<unsigned long>(r) != s._wavLength) {
      __builtin_trap();  // the data would reach past the file
    }
    unsigned sum = 0;
    for (unsigned long i = 0; i < s._wavLength; ++i) sum += s._wavDataStart[i];
    if (s._waveFormatEx) sum += s._waveFormatEx->nChannels + s._waveFormatEx->cbSize;
    (void)sum;
  }
  s._waveFormatEx = nullptr;  // it pointed into this block
  s._wavDataStart = nullptr;

  std::string path = fuzzsound::writeInput(".wav", data, size);
  if (s.loadSample(path.c_str(), 100, (size & 1) != 0, short(size % 4))) {
    s.playSample();
    s.setPan(long(size % 201) - 100);
    if (!s._directSoundBuffer[0]) __builtin_trap();
  } else if (s._directSoundBuffer[0] || s._wavData) {
    __builtin_trap();  // a failed load must leave the sound empty
  }
  return 0;
}
