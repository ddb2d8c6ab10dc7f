// Sound-effect recipes: a small text format of layered oscillators with glides,
// envelopes, filters and repeats, and the synthesiser that renders them.
// Build-time tool code; single-threaded; output is the same on every run.
#pragma once

#include <string>
#include <vector>

#include "audio.h"

namespace assetgen {

enum class Wave { Sine, Triangle, Square, Saw, Noise };

struct Layer {
  Wave wave = Wave::Sine;
  double at = 0;          // start, seconds
  double dur = -1;        // seconds; negative: attack + decay
  double freq0 = 440, freq1 = -1;  // glide from freq0 to freq1 (exponential); -1: none
  double attack = 0.002, decay = 0.2;  // decay: time to fall by 60 dB after the attack
  double gain = 1;
  double pan = 0;         // -1 left .. 1 right
  double fmRatio = 0, fmIndex0 = 0, fmIndex1 = -1;
  double vibratoHz = 0, vibratoSemis = 0;
  double lowpass0 = 0, lowpass1 = -1;    // 0: off
  double highpass0 = 0, highpass1 = -1;  // 0: off
  int repeats = 1;
  double repeatEvery = 0, repeatFreqRatio = 1, repeatGainRatio = 1;
};

struct Recipe {
  double length = 0;  // seconds of output
  double echoDelay = 0, echoFeedback = 0, echoMix = 0;
  std::vector<Layer> layers;
};

// Parses a recipe. On error `error` reads "line N: what".
bool parseRecipe(const std::string &text, Recipe &out, std::string &error);

// Every effect is made to one momentary loudness, with a peak ceiling that a
// sharp, short sound may reach first: no effect is louder than another, and all
// carry over the music (-18 LUFS) at the volumes the program plays them.
constexpr double kEffectLoudness = -10.0, kEffectPeakDb = -1.0;

// Renders the recipe at 44.1 kHz stereo, normalised and with click-free ends.
void renderRecipe(const Recipe &r, Stereo &out);

}  // namespace assetgen
