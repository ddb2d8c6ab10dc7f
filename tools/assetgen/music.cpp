// Score rendering through FluidSynth: events are sent at their exact sample,
// the synthesiser is run between them. Build-time tool code; single-threaded.
#include "music.h"

#include <fluidsynth.h>

#include <algorithm>
#include <cmath>

namespace assetgen {

namespace {

const double kTailSeconds = 4.0;  // long enough for the reverb of the last chord

struct Event {
  int64_t frame;
  int order;  // note-offs before note-ons at the same frame, so repeated notes retrigger
  int channel, key, velocity;
};

void quiet(int, const char *, void *) {}

}  // namespace

void foldTail(Stereo &s, size_t loopFrames) {
  if (loopFrames == 0 || s.frames() <= loopFrames) {
    s.left.resize(loopFrames, 0.0f);
    s.right.resize(loopFrames, 0.0f);
    return;
  }
  for (size_t i = loopFrames; i < s.frames(); ++i) {
    s.left[(i - loopFrames) % loopFrames] += s.left[i];
    s.right[(i - loopFrames) % loopFrames] += s.right[i];
  }
  s.left.resize(loopFrames);
  s.right.resize(loopFrames);
}

bool renderScore(const Score &score, const std::string &soundfont, Stereo &out, std::string &error,
                 bool normalised) {
  fluid_set_log_function(FLUID_INFO, quiet, nullptr);
  fluid_set_log_function(FLUID_DBG, quiet, nullptr);
  fluid_set_log_function(FLUID_WARN, quiet, nullptr);

  fluid_settings_t *settings = new_fluid_settings();
  fluid_settings_setnum(settings, "synth.sample-rate", kSampleRate);
  fluid_settings_setint(settings, "synth.cpu-cores", 1);
  fluid_settings_setint(settings, "synth.polyphony", 256);
  fluid_settings_setnum(settings, "synth.gain", 0.3);
  fluid_settings_setint(settings, "synth.reverb.active", 1);
  fluid_settings_setint(settings, "synth.chorus.active", 1);
  fluid_settings_setnum(settings, "synth.reverb.room-size", score.reverbRoom);
  fluid_settings_setnum(settings, "synth.reverb.damp", score.reverbDamp);
  fluid_settings_setnum(settings, "synth.reverb.width", score.reverbWidth);
  fluid_settings_setnum(settings, "synth.reverb.level", score.reverbLevel);
  fluid_synth_t *synth = new_fluid_synth(settings);
  if (!synth) {
    delete_fluid_settings(settings);
    error = "cannot start FluidSynth";
    return false;
  }
  if (fluid_synth_sfload(synth, soundfont.c_str(), 1) == FLUID_FAILED) {
    delete_fluid_synth(synth);
    delete_fluid_settings(settings);
    error = "cannot load soundfont " + soundfont;
    return false;
  }

  for (const ScoreTrack &t : score.tracks) {
    if (t.drums) {
      fluid_synth_bank_select(synth, t.channel, 128);
    } else {
      fluid_synth_bank_select(synth, t.channel, 0);
    }
    fluid_synth_program_change(synth, t.channel, t.program);
    fluid_synth_cc(synth, t.channel, 7, t.volume);
    fluid_synth_cc(synth, t.channel, 10, t.pan);
    fluid_synth_cc(synth, t.channel, 91, t.reverb);
    fluid_synth_cc(synth, t.channel, 93, t.chorus);
  }

  const double framesPerTick = score.secondsPerTick() * kSampleRate;
  std::vector<Event> events;
  events.reserve(score.notes.size() * 2);
  for (const ScoreNote &n : score.notes) {
    events.push_back({std::llround(n.on * framesPerTick), 1, n.channel, n.key, n.velocity});
    events.push_back({std::llround(n.off * framesPerTick), 0, n.channel, n.key, 0});
  }
  std::stable_sort(events.begin(), events.end(), [](const Event &a, const Event &b) {
    return a.frame != b.frame ? a.frame < b.frame : a.order < b.order;
  });

  const size_t loopFrames = static_cast<size_t>(std::llround(score.lengthTicks() * framesPerTick));
  int64_t lastOff = 0;
  for (const Event &e : events) lastOff = std::max(lastOff, e.frame);
  const size_t total = std::max<size_t>(loopFrames, static_cast<size_t>(lastOff)) +
                       static_cast<size_t>(kTailSeconds * kSampleRate);
  out.resize(total);

  size_t pos = 0, next = 0;
  while (pos < total) {
    while (next < events.size() && static_cast<size_t>(events[next].frame) <= pos) {
      const Event &e = events[next++];
      if (e.order == 1) {
        fluid_synth_noteon(synth, e.channel, e.key, e.velocity);
      } else {
        fluid_synth_noteoff(synth, e.channel, e.key);
      }
    }
    size_t until = next < events.size() ? static_cast<size_t>(events[next].frame) : total;
    until = std::min(until, total);
    size_t n = std::min<size_t>(until - pos, 4096);
    if (n == 0) n = 1;
    fluid_synth_write_float(synth, static_cast<int>(n), out.left.data() + pos, 0, 1, out.right.data() + pos, 0, 1);
    pos += n;
  }
  delete_fluid_synth(synth);
  delete_fluid_settings(settings);

  foldTail(out, loopFrames);
  if (normalised) normaliseLoudness(out, score.loudness, score.peakDb);
  return true;
}

}  // namespace assetgen
