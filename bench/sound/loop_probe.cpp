// A sound that needs no writer: two seconds of a chord in one looping buffer of
// the sound device, played for the given seconds. Any gap in its output under
// load comes from the output path (the mixer's device, or the system's sound
// stack under it), never from a late refill. Used by music_under_load.sh:
//   loop_probe SECONDS
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <thread>

#include "platform/mixer/Mixer.h"

int main(int argc, char **argv) {
  const int seconds = argc > 1 ? std::atoi(argv[1]) : 30;
  std::shared_ptr<mixer::Device> device = mixer::Device::open();
  if (!device) return 1;
  mixer::WaveFormat format;
  format.formatTag = 1;
  format.channels = 2;
  format.samplesPerSec = 44100;
  format.bitsPerSample = 16;
  format.blockAlign = 4;
  format.avgBytesPerSec = 44100 * 4;
  const uint32_t frames = 2 * 44100;
  std::shared_ptr<mixer::Buffer> buffer;
  if (device->createBuffer(mixer::kCapsGlobalFocus | mixer::kCapsCtrlVolume, frames * 4, format,
                           &buffer) != mixer::kOk)
    return 1;
  void *region = nullptr;
  uint32_t bytes = 0;
  if (buffer->lock(0, 0, &region, &bytes, nullptr, nullptr, mixer::kLockEntireBuffer) != mixer::kOk)
    return 1;
  auto *pcm = static_cast<int16_t *>(region);
  // Three notes, so no two frames in a row are both exactly zero.
  const double pi = 3.14159265358979;
  for (uint32_t i = 0; i < bytes / 4; ++i) {
    const double t = double(i) / 44100;
    const double v = 3000 * (std::sin(2 * pi * 261 * t) + std::sin(2 * pi * 329 * t) +
                             std::sin(2 * pi * 392 * t));
    pcm[2 * i] = pcm[2 * i + 1] = int16_t(v);
  }
  buffer->unlock(region, bytes, nullptr, 0);
  buffer->play(mixer::kPlayLooping);
  std::this_thread::sleep_for(std::chrono::seconds(seconds));
  return 0;
}
