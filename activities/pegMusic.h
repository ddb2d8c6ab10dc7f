// The peg board's music: a playhead sweeps the board column by column and every
// peg under it sounds, its row giving the pitch on a pentatonic scale and its
// colour the voice. A whole pass is computed into one looping sound whose play
// position is the clock, so every note starts on its exact frame however late
// the screen's frames are. Application thread only; the mixer reads the loop
// on its own thread, under its own lock.
#pragma once

#include <cstdint>
#include <vector>

#include "activities/pabglow.h"

class KSound;

namespace pegmusic {

constexpr unsigned long kRate = 44100;
constexpr unsigned long kStepFrames = kRate / 4;  // a column every quarter second
constexpr unsigned long kLoopFrames = kStepFrames * PABGLOW_COLUMNS;  // 8 s a pass
constexpr unsigned long kNoteFrames = kRate;  // a note rings a second at most
constexpr int kVoices = 5;
// A part of the loop is rewritten only while the play position is at least this
// far before it (the device mixes ahead of what is heard) or past it.
constexpr unsigned long kGuardFrames = 4096;
// No sum of notes comes out louder than this (-1.1 dBFS).
constexpr float kCeiling = 0.88f;

// The voice of a peg colour 0..9: neighbouring colours share one.
inline int voiceOf(int colour) { return colour / 2; }
// Playback speed, against the voice's own C5, of a row (0 the top): the rows
// climb a major pentatonic scale from C3 on the bottom row to C7 on the top.
double rowRatio(int row);

// The notes of every column and the loop they mix into. No engine calls.
class Score {
public:
  Score();
  // A voice from 16-bit PCM (mono or stereo, interleaved) at kRate, scaled to
  // a common peak. False (the voice stays silent) when it holds no sound.
  bool setVoice(int voice, const int16_t *pcm, unsigned long frames, int channels);
  // Renders the notes of column c of the grid and remembers its cells.
  void renderColumn(int c, const sGrid &grid);
  // Whether column c of the grid differs from its rendered notes.
  bool differs(int c, const sGrid &grid) const;
  // Frames [first, first + count) of the loop, wrapping at its end, as 16-bit
  // stereo: every column's notes summed and softly limited below kCeiling.
  // count is at most kNoteFrames.
  void mix(unsigned long first, unsigned long count, int16_t *out);

private:
  void makeBuffers();
  std::vector<float> _voices[kVoices];
  std::vector<float> _notes;  // PABGLOW_COLUMNS runs of kNoteFrames
  std::vector<float> _sum;    // kNoteFrames, mix's accumulator
  int32_t _cells[PABGLOW_COLUMNS][PABGLOW_ROWS];
};

// The loop on the sound device, the playhead, and the rewrite of columns
// painted while it plays.
class Player {
public:
  ~Player() { close(); }
  // Loads the voices (data\audio\voice0..4.ogg) and makes the silent loop at
  // `volume` percent of the effects volume. False without a sound device.
  bool open(int volume);
  void close();
  bool available() const { return _loop != nullptr; }
  // Renders every column painted since the last pass and plays from column 0.
  void start(const sGrid &grid);
  void stop();
  bool playing() const { return _playing; }
  // The column under the playhead, from the loop's play position; -1 stopped.
  int column();
  // Rewrites up to `budget` columns whose pegs changed since they were
  // rendered, each only once the playhead is clear of where it sounds: a note
  // is never cut or started half-way, and a peg painted behind the playhead
  // is heard on the next pass.
  void update(const sGrid &grid, int budget = 4);

  Score &score() { return _score; }

private:
  bool clearOfPlayhead(unsigned long first, unsigned long count);
  bool writeColumn(int c, const sGrid &grid);

  Score _score;
  KSound *_loop = nullptr;
  bool _playing = false;
  std::vector<int16_t> _pcm;  // kNoteFrames stereo frames, one column's region
};

}  // namespace pegmusic
