// The peg board's music (see pegMusic.h): notes rendered per column from the
// generated voices, summed into the loop and limited; the loop's play position
// drives the playhead. Application thread only.
#include "activities/pegMusic.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "sound/KSound.h"
#include "tools/KMiscTools.h"

namespace pegmusic {

namespace {

constexpr float kVoicePeak = 0.5f;     // a lone note peaks at -6 dBFS
constexpr float kKnee = 0.6f;          // the limiter leaves quieter sums alone
constexpr unsigned long kFadeFrames = 512;  // a cut note fades out, never clicks

// Above the knee the sum bends smoothly toward the ceiling and never reaches it.
float limit(float x) {
  const float a = std::fabs(x);
  if (a <= kKnee) return x;
  const float room = kCeiling - kKnee;
  return std::copysign(kKnee + room * std::tanh((a - kKnee) / room), x);
}

}  // namespace

double rowRatio(int row) {
  static const int kScale[5] = {0, 2, 4, 7, 9};  // C D E G A
  const int degree = (PABGLOW_ROWS - 1) - row;   // 0 on the bottom row
  const int semitones = 12 * (degree / 5) + kScale[degree % 5];
  return std::pow(2.0, double(semitones - 24) / 12.0);  // C3 is two octaves under C5
}

Score::Score() {
  for (auto &column : _cells)
    for (int32_t &cell : column) cell = PABGLOW_EMPTY;
}

// The note buffers (5.6 MB) are made when the board first plays, not with the
// program's statics: the start would zero them all before its first frame.
void Score::makeBuffers() {
  if (!_notes.empty()) return;
  _notes.assign(size_t(PABGLOW_COLUMNS) * kNoteFrames, 0.0f);
  _sum.assign(kNoteFrames, 0.0f);
}

bool Score::setVoice(int voice, const int16_t *pcm, unsigned long frames, int channels) {
  if (voice < 0 || voice >= kVoices) return false;
  std::vector<float> &v = _voices[voice];
  v.assign(frames, 0.0f);
  float peak = 0;
  for (unsigned long i = 0; i < frames && pcm && channels > 0; i++) {
    float s = 0;
    for (int c = 0; c < channels; c++) s += float(pcm[i * channels + c]);
    v[i] = s / float(channels) / 32768.0f;
    peak = std::max(peak, std::fabs(v[i]));
  }
  if (peak <= 0) {
    v.clear();
    return false;
  }
  for (float &s : v) s *= kVoicePeak / peak;
  return true;
}

bool Score::differs(int c, const sGrid &grid) const {
  for (int r = 0; r < PABGLOW_ROWS; r++)
    if (pegColour(grid.gridpabglow[c + PABGLOW_COLUMNS * r]) != pegColour(_cells[c][r])) return true;
  return false;
}

void Score::renderColumn(int c, const sGrid &grid) {
  makeBuffers();
  float *out = _notes.data() + size_t(c) * kNoteFrames;
  std::fill(out, out + kNoteFrames, 0.0f);
  int pegs = 0;
  for (int r = 0; r < PABGLOW_ROWS; r++) {
    _cells[c][r] = grid.gridpabglow[c + PABGLOW_COLUMNS * r];
    pegs += pegColour(_cells[c][r]) >= 0;
  }
  // Fuller columns play each note softer; the limiter catches what is left.
  const float gain = pegs > 0 ? 1.0f / std::sqrt(float(pegs)) : 0.0f;
  for (int r = 0; r < PABGLOW_ROWS; r++) {
    const int colour = pegColour(_cells[c][r]);
    if (colour < 0) continue;
    const std::vector<float> &v = _voices[voiceOf(colour)];
    if (v.size() < 2) continue;
    const double step = rowRatio(r);
    const unsigned long n =
        std::min<unsigned long>(kNoteFrames, (unsigned long)(double(v.size() - 1) / step));
    for (unsigned long i = 0; i < n; i++) {
      const double at = double(i) * step;
      const size_t k = size_t(at);
      const float f = float(at - double(k));
      float s = v[k] + (v[k + 1] - v[k]) * f;
      if (i + kFadeFrames > n) s *= float(n - i) / float(kFadeFrames);
      out[i] += gain * s;
    }
  }
}

void Score::mix(unsigned long first, unsigned long count, int16_t *out) {
  makeBuffers();
  count = std::min(count, kNoteFrames);
  std::fill(_sum.begin(), _sum.begin() + long(count), 0.0f);
  // Column c sounds over [c * step, c * step + kNoteFrames) of the loop, wrapping.
  for (int c = 0; c < PABGLOW_COLUMNS; c++) {
    const float *notes = _notes.data() + size_t(c) * kNoteFrames;
    const unsigned long onset = c * kStepFrames;
    // Where the range starts in this column's notes; past their end, where
    // they begin again (the next pass) from the range's start.
    const unsigned long into = (first + kLoopFrames - onset) % kLoopFrames;
    unsigned long from = 0, at = into;
    if (into >= kNoteFrames) from = kLoopFrames - into, at = 0;
    for (unsigned long i = from; i < count && at < kNoteFrames; i++, at++) _sum[i] += notes[at];
  }
  for (unsigned long i = 0; i < count; i++) {
    const auto s = int16_t(std::lround(limit(_sum[i]) * 32767.0f));
    out[2 * i] = out[2 * i + 1] = s;
  }
}

bool Player::open(int volume) {
  close();
  _pcm.assign(kNoteFrames * 2, 0);
  char name[64];
  for (int v = 0; v < kVoices; v++) {
    std::snprintf(name, sizeof name, "data\\audio\\voice%d.ogg", v);
    KSound voice;
    if (voice.loadSample(KMiscTools::makeFilePath(name), 100, false, 1) && voice._waveFormatEx &&
        voice._waveFormatEx->wBitsPerSample == 16 && voice._waveFormatEx->nChannels > 0) {
      const int channels = voice._waveFormatEx->nChannels;
      _score.setVoice(v, reinterpret_cast<const int16_t *>(voice._wavDataStart),
                      voice._wavLength / (2 * channels), channels);
    }
  }
  _loop = new KSound();
  if (!_loop->createLoop(kLoopFrames, volume)) close();
  return _loop != nullptr;
}

void Player::close() {
  delete _loop;
  _loop = nullptr;
  _playing = false;
}

void Player::start(const sGrid &grid) {
  if (!_loop) return;
  _loop->stopSample();
  for (int c = 0; c < PABGLOW_COLUMNS; c++)
    if (_score.differs(c, grid)) writeColumn(c, grid);
  _loop->playSample();
  _playing = true;
}

void Player::stop() {
  if (_loop) _loop->stopSample();
  _playing = false;
}

int Player::column() {
  if (!_playing || !_loop) return -1;
  const long at = _loop->loopPosition();
  if (at < 0) return -1;
  return int((unsigned long)(at) % kLoopFrames / kStepFrames);
}

bool Player::clearOfPlayhead(unsigned long first, unsigned long count) {
  if (!_playing) return true;
  const long at = _loop->loopPosition();
  if (at < 0) return true;
  const unsigned long pos = (unsigned long)at % kLoopFrames;
  // Inside the range, or the range starts within the guard ahead of it.
  const bool inside = (pos + kLoopFrames - first) % kLoopFrames < count;
  const bool ahead = (first + kLoopFrames - pos) % kLoopFrames < kGuardFrames;
  return !inside && !ahead;
}

bool Player::writeColumn(int c, const sGrid &grid) {
  const unsigned long first = c * kStepFrames;
  if (!clearOfPlayhead(first, kNoteFrames)) return false;
  _score.renderColumn(c, grid);
  _score.mix(first, kNoteFrames, _pcm.data());
  _loop->writeLoop(first, _pcm.data(), kNoteFrames);
  return true;
}

void Player::update(const sGrid &grid, int budget) {
  if (!_playing || !_loop) return;
  for (int c = 0; c < PABGLOW_COLUMNS && budget > 0; c++)
    if (_score.differs(c, grid) && writeColumn(c, grid)) budget--;
}

}  // namespace pegmusic
