// Fuzz target over the Ogg Vorbis loaders: the whole-file sample decode and the
// stream path (the file held in memory, the decoder over the in-memory
// callbacks, and a few refills of each half, looping or not). The first byte
// picks the path and the loop flag.
#include <cstdint>

#include "FuzzSoundCommon.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size < 1) return 0;
  KSound &s = fuzzsound::sound();
  const uint8_t mode = data[0];
  std::string path = fuzzsound::writeInput(".ogg", data + 1, size - 1);

  if (mode & 1) {
    if (s.loadSample(path.c_str(), 100, false, 1)) {
      if (s._wavLength == 0 || !s._directSoundBuffer[0]) __builtin_trap();
      s.playSample();
    }
    return 0;
  }
  if (!s.loadStream(path.c_str())) {
    if (s._directSoundBuffer[0] || s._oggFile) __builtin_trap();
    return 0;
  }
  // Refill by hand rather than through the worker, so each input is quick.
  s._loopState = (mode & 2) ? 1 : 0;
  s._oggCompleted = false;
  s._terminate = false;  // as playStream leaves it
  s._directSoundBuffer[0]->play(mixer::kPlayLooping);
  for (int i = 0; i < 6 && s._directSoundBuffer[0]; ++i) {
    s.fillOggBuffer(1);
    s.fillOggBuffer(0);
  }
  s.stopStream();
  return 0;
}
