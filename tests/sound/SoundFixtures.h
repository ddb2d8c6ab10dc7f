// Sounds the tests make for themselves: PCM tones, WAV files, Ogg Vorbis files
// encoded with libvorbisenc, and a tiny 4-channel MOD written byte by byte.
// Also a capture of the mixer's output. Test thread only, except the capture
// tap, which the mixing thread calls.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/mixer/Mixer.h"

namespace soundtest {

// Interleaved 16-bit samples of a sine at `hz`, `frames` frames long.
std::vector<int16_t> tone(int frames, int channels, int rate, double hz, double amplitude);

// A canonical RIFF/WAVE file around `pcm`.
std::vector<uint8_t> wavFile(const std::vector<uint8_t> &pcm, int channels, int rate, int bits);

// An Ogg Vorbis file of `pcm` (fixed stream serial, so the bytes repeat).
std::vector<uint8_t> vorbisFile(const std::vector<int16_t> &pcm, int channels, int rate);

// A 4-channel MOD: one looped square-wave sample, one note on channel 0 at row
// 0, every row one tick long, and a pattern break after `rows` rows.
std::vector<uint8_t> modFile(int rows);

std::vector<uint8_t> bytesOf(const std::vector<int16_t> &pcm);

// A fresh folder for the test's files, removed with the object.
class TempDir {
public:
  TempDir();
  ~TempDir();
  std::string write(const std::string &name, const std::vector<uint8_t> &bytes) const;
  std::string path(const std::string &name) const { return dir_ + "/" + name; }

private:
  std::string dir_;
};

// Records what the mixer outputs, up to `seconds` of audio.
class Capture {
public:
  explicit Capture(double seconds);
  void attach(mixer::Device &device);
  void detach(mixer::Device &device);
  size_t frames() const { return frames_.load(std::memory_order_acquire); }
  // Waits until at least `count` frames have been captured, or about
  // `guardSeconds` have passed; returns whether they were.
  bool waitFrames(size_t count, double guardSeconds = 20.0) const;
  const int16_t *data() const { return samples_.data(); }
  // Largest absolute sample in frames [from, to).
  int peak(size_t from, size_t to) const;

private:
  static void tap(void *user, const int16_t *frames, uint32_t count);
  std::vector<int16_t> samples_;
  std::atomic<size_t> frames_{0};
};

}  // namespace soundtest
