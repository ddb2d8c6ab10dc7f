// Sound-effect recipes: parser and synthesiser.
// Build-time tool code; single-threaded; every random value comes from a fixed seed.
#include "synth.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "textscan.h"

namespace assetgen {

namespace {

const double kPi = 3.14159265358979323846;
const size_t kMaxLayers = 64;
const int kMaxRepeats = 64;

struct ParamSpec {
  const char *name;
  size_t minArgs, maxArgs;
  double lo, hi;
};

const ParamSpec kLayerParams[] = {
    {"at", 1, 1, 0, 10},          {"dur", 1, 1, 0.001, 10},  {"freq", 1, 2, 1, 20000},
    {"env", 2, 2, 0, 10},         {"gain", 1, 1, 0, 8},      {"pan", 1, 1, -1, 1},
    {"fm", 2, 3, 0, 50},          {"vibrato", 2, 2, 0, 50},  {"lowpass", 1, 2, 10, 20000},
    {"highpass", 1, 2, 10, 20000}, {"repeat", 3, 4, 0, 64},
};

const ParamSpec *findParam(const std::string &name) {
  for (const ParamSpec &p : kLayerParams) {
    if (name == p.name) return &p;
  }
  return nullptr;
}

bool fail(std::string &error, size_t line, const std::string &what) {
  error = "line " + std::to_string(line) + ": " + what;
  return false;
}

// RBJ biquad; coefficients recomputed in blocks while a cutoff glides.
struct Biquad {
  double b0 = 1, b1 = 0, b2 = 0, a1 = 0, a2 = 0;
  double x1 = 0, x2 = 0, y1 = 0, y2 = 0;
  void set(bool high, double hz) {
    hz = std::min(hz, kSampleRate * 0.45);
    const double w = 2 * kPi * hz / kSampleRate;
    const double alpha = std::sin(w) / (2 * 0.7071);
    const double c = std::cos(w);
    const double a0 = 1 + alpha;
    if (high) {
      b0 = (1 + c) / 2 / a0;
      b1 = -(1 + c) / a0;
    } else {
      b0 = (1 - c) / 2 / a0;
      b1 = (1 - c) / a0;
    }
    b2 = b0;
    a1 = -2 * c / a0;
    a2 = (1 - alpha) / a0;
  }
  double run(double x) {
    const double y = b0 * x + b1 * x1 + b2 * x2 - a1 * y1 - a2 * y2;
    x2 = x1;
    x1 = x;
    y2 = y1;
    y1 = y;
    return y;
  }
};

// Band-limiting correction for the jumps of square and saw waves.
double polyBlep(double t, double dt) {
  if (t < dt) {
    t /= dt;
    return t + t - t * t - 1;
  }
  if (t > 1 - dt) {
    t = (t - 1) / dt;
    return t * t + t + t + 1;
  }
  return 0;
}

double glide(double a, double b, double frac) {
  if (b < 0 || b == a) return a;
  if (a > 0 && b > 0) return a * std::pow(b / a, frac);
  return a + (b - a) * frac;
}

void renderLayer(const Layer &L, double start, double freqScale, double gainScale, uint32_t seed,
                 Stereo &out) {
  const double dur = L.dur > 0 ? L.dur : L.attack + L.decay;
  const long first = std::lround(start * kSampleRate);
  const long count = std::lround(dur * kSampleRate);
  const long total = static_cast<long>(out.frames());
  if (first >= total || count <= 0) return;
  const double gl = gainScale * L.gain * std::cos((L.pan + 1) * kPi / 4);
  const double gr = gainScale * L.gain * std::sin((L.pan + 1) * kPi / 4);
  const long fadeOut = std::min<long>(count, kSampleRate * 4 / 1000);
  Biquad lp, hp;
  double phase = 0, modPhase = 0;
  uint32_t rng = seed * 2654435761u + 12345u;
  for (long i = 0; i < count && first + i < total; ++i) {
    const double t = static_cast<double>(i) / kSampleRate;
    const double frac = static_cast<double>(i) / count;
    if ((i & 15) == 0) {
      if (L.lowpass0 > 0) lp.set(false, glide(L.lowpass0, L.lowpass1, frac));
      if (L.highpass0 > 0) hp.set(true, glide(L.highpass0, L.highpass1, frac));
    }
    double f = glide(L.freq0, L.freq1, frac) * freqScale;
    if (L.vibratoHz > 0) f *= std::pow(2.0, L.vibratoSemis / 12 * std::sin(2 * kPi * L.vibratoHz * t));
    const double dt = std::min(f / kSampleRate, 0.5);
    double v = 0;
    switch (L.wave) {
      case Wave::Sine: {
        double pm = 0;
        if (L.fmRatio > 0) {
          pm = glide(L.fmIndex0, L.fmIndex1, frac) * std::sin(2 * kPi * modPhase);
          modPhase += dt * L.fmRatio;
          modPhase -= std::floor(modPhase);
        }
        v = std::sin(2 * kPi * phase + pm);
        break;
      }
      case Wave::Triangle:
        v = phase < 0.5 ? 4 * phase - 1 : 3 - 4 * phase;
        break;
      case Wave::Square:
        v = (phase < 0.5 ? 1.0 : -1.0) + polyBlep(phase, dt) -
            polyBlep(std::fmod(phase + 0.5, 1.0), dt);
        break;
      case Wave::Saw:
        v = 2 * phase - 1 - polyBlep(phase, dt);
        break;
      case Wave::Noise:
        rng = rng * 1664525u + 1013904223u;
        v = static_cast<double>(rng >> 8) / 8388608.0 - 1.0;
        break;
    }
    phase += dt;
    phase -= std::floor(phase);
    if (L.lowpass0 > 0) v = lp.run(v);
    if (L.highpass0 > 0) v = hp.run(v);
    double env;
    if (t < L.attack) {
      env = t / L.attack;
    } else {
      env = L.decay > 0 ? std::exp(-6.9077553 * (t - L.attack) / L.decay) : 1.0;
    }
    if (i >= count - fadeOut) env *= static_cast<double>(count - i) / fadeOut;
    out.left[first + i] += static_cast<float>(v * env * gl);
    out.right[first + i] += static_cast<float>(v * env * gr);
  }
}

}  // namespace

bool parseRecipe(const std::string &text, Recipe &out, std::string &error) {
  out = Recipe();
  const std::vector<std::string> lines = cleanLines(text);
  Layer *cur = nullptr;
  for (size_t ln = 0; ln < lines.size(); ++ln) {
    const std::vector<std::string> w = words(lines[ln]);
    if (w.empty()) continue;
    const size_t line = ln + 1;
    std::vector<double> v;
    for (size_t i = 1; i < w.size(); ++i) {
      double d = 0;
      if (w[0] == "layer") break;
      if (!toDouble(w[i], d)) return fail(error, line, "'" + w[i] + "' is not a number");
      v.push_back(d);
    }
    if (w[0] == "layer") {
      if (w.size() != 2) return fail(error, line, "layer takes one wave name");
      if (out.layers.size() >= kMaxLayers) return fail(error, line, "too many layers");
      Layer L;
      if (w[1] == "sine") L.wave = Wave::Sine;
      else if (w[1] == "triangle") L.wave = Wave::Triangle;
      else if (w[1] == "square") L.wave = Wave::Square;
      else if (w[1] == "saw") L.wave = Wave::Saw;
      else if (w[1] == "noise") L.wave = Wave::Noise;
      else return fail(error, line, "unknown wave '" + w[1] + "'");
      out.layers.push_back(L);
      cur = &out.layers.back();
    } else if (w[0] == "length") {
      if (v.size() != 1 || v[0] < 0.01 || v[0] > 10) return fail(error, line, "length wants 0.01..10 seconds");
      out.length = v[0];
    } else if (w[0] == "echo") {
      if (v.size() != 3 || v[0] < 0.001 || v[0] > 2 || v[1] < 0 || v[1] > 0.9 || v[2] < 0 || v[2] > 1)
        return fail(error, line, "echo wants delay (0.001..2 s), feedback (0..0.9), mix (0..1)");
      out.echoDelay = v[0];
      out.echoFeedback = v[1];
      out.echoMix = v[2];
    } else if (const ParamSpec *p = findParam(w[0])) {
      if (!cur) return fail(error, line, w[0] + " before any layer");
      if (v.size() < p->minArgs || v.size() > p->maxArgs)
        return fail(error, line, w[0] + " takes " + std::to_string(p->minArgs) + ".." +
                                     std::to_string(p->maxArgs) + " values");
      for (double d : v) {
        if (d < p->lo || d > p->hi) return fail(error, line, w[0] + " value out of range");
      }
      Layer &L = *cur;
      const std::string &n = w[0];
      if (n == "at") L.at = v[0];
      else if (n == "dur") L.dur = v[0];
      else if (n == "freq") { L.freq0 = v[0]; L.freq1 = v.size() > 1 ? v[1] : -1; }
      else if (n == "env") { L.attack = v[0]; L.decay = v[1]; }
      else if (n == "gain") L.gain = v[0];
      else if (n == "pan") L.pan = v[0];
      else if (n == "fm") { L.fmRatio = v[0]; L.fmIndex0 = v[1]; L.fmIndex1 = v.size() > 2 ? v[2] : -1; }
      else if (n == "vibrato") { L.vibratoHz = v[0]; L.vibratoSemis = v[1]; }
      else if (n == "lowpass") { L.lowpass0 = v[0]; L.lowpass1 = v.size() > 1 ? v[1] : -1; }
      else if (n == "highpass") { L.highpass0 = v[0]; L.highpass1 = v.size() > 1 ? v[1] : -1; }
      else if (n == "repeat") {
        if (v[0] < 1 || v[0] != std::floor(v[0]) || v[0] > kMaxRepeats || v[1] > 2 || v[2] <= 0 || v[2] > 8 ||
            (v.size() > 3 && v[3] > 2))
          return fail(error, line, "repeat wants count 1..64, interval 0..2 s, ratios 0..8 and 0..2");
        L.repeats = static_cast<int>(v[0]);
        L.repeatEvery = v[1];
        L.repeatFreqRatio = v[2];
        L.repeatGainRatio = v.size() > 3 ? v[3] : 1;
      }
    } else {
      return fail(error, line, "unknown word '" + w[0] + "'");
    }
  }
  if (out.length <= 0) return fail(error, lines.size(), "no length given");
  if (out.layers.empty()) return fail(error, lines.size(), "no layer given");
  return true;
}

void renderRecipe(const Recipe &r, Stereo &out) {
  out.resize(static_cast<size_t>(std::lround(r.length * kSampleRate)));
  uint32_t seed = 1;
  for (const Layer &L : r.layers) {
    double fs = 1, gs = 1;
    for (int k = 0; k < L.repeats; ++k) {
      renderLayer(L, L.at + k * L.repeatEvery, fs, gs, seed++, out);
      fs *= L.repeatFreqRatio;
      gs *= L.repeatGainRatio;
    }
  }
  if (r.echoMix > 0) {
    // Ping-pong echo: the first repeat comes from the left, the next from the right.
    const size_t d = static_cast<size_t>(std::lround(r.echoDelay * kSampleRate));
    const size_t n = out.frames();
    std::vector<float> a(n, 0.0f), b(n, 0.0f);
    for (size_t i = d; i < n; ++i) {
      const float dry = 0.5f * (out.left[i - d] + out.right[i - d]);
      a[i] = dry + static_cast<float>(r.echoFeedback) * b[i - d];
      b[i] = static_cast<float>(r.echoFeedback) * a[i - d];
    }
    for (size_t i = 0; i < n; ++i) {
      out.left[i] += static_cast<float>(r.echoMix) * a[i];
      out.right[i] += static_cast<float>(r.echoMix) * b[i];
    }
  }
  normaliseMomentary(out, kEffectLoudness, kEffectPeakDb);
  fadeEdges(out, 0.0005, 0.005);
}

}  // namespace assetgen
