// Music scores: a small text notation of tracks, patterns and notes (see
// assets/README.md for the notation) parsed into timed note events.
// Build-time tool code; single-threaded; deterministic (humanising uses a fixed seed).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace assetgen {

const int kTicksPerQuarter = 480;

struct ScoreNote {
  int64_t on = 0, off = 0;  // ticks; off > on
  int channel = 0;
  int key = 60;             // MIDI key, 60 = c4
  int velocity = 90;        // 1..127
};

struct ScoreTrack {
  std::string name;
  int channel = 0;
  bool drums = false;
  int program = 0;  // General MIDI program 0..127 (for drums: the kit)
  int volume = 100, pan = 64, reverb = 40, chorus = 0;  // MIDI controller values 0..127
};

struct Score {
  std::string title;
  double tempo = 120;  // quarter notes a minute
  int meterNum = 4, meterDen = 4;
  int bars = 0;
  double swing = 0.5;  // share of a beat the first of two eighths takes
  int humanizeVelocity = 0;
  double humanizeSeconds = 0;
  double reverbRoom = 0.5, reverbDamp = 0.3, reverbWidth = 0.8, reverbLevel = 0.6;
  double loudness = -20, peakDb = -3;  // integrated LUFS and the peak ceiling in dBFS
  std::vector<ScoreTrack> tracks;
  std::vector<ScoreNote> notes;

  int64_t barTicks() const { return static_cast<int64_t>(meterNum) * 4 * kTicksPerQuarter / meterDen; }
  int64_t lengthTicks() const { return barTicks() * bars; }
  double secondsPerTick() const { return 60.0 / (tempo * kTicksPerQuarter); }
};

// Parses a score. On error `error` reads "line N: what". Checks bar lines,
// that every track lasts exactly as long as the piece, and every value's range.
bool parseScore(const std::string &text, Score &out, std::string &error);

}  // namespace assetgen
