// Music score parser: header settings, tracks, patterns, and the note notation.
// Build-time tool code; single-threaded. Every size is bounded so that a broken
// score fails with a line number instead of eating the machine.
#include "score.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <deque>
#include <map>

#include "textscan.h"

namespace assetgen {

namespace {

const int kMaxBars = 1000;
const size_t kMaxNotes = 200000;
const int kMaxRepeat = 64;
const int kMaxDepth = 8;
// Pattern plays and tokens read, all told: empty patterns nested and repeated
// would otherwise loop for ages without adding a note.
const long kMaxWork = 4000000;

struct DrumName {
  const char *name;
  int key;
};

// General MIDI percussion keys under names that read well in a score.
const DrumName kDrums[] = {
    {"kick", 36},     {"kick2", 35},     {"rim", 37},       {"snare", 38},    {"clap", 39},
    {"snare2", 40},   {"tomlo", 41},     {"hat", 42},       {"tommid", 45},   {"pedalhat", 44},
    {"openhat", 46},  {"tomhi", 48},     {"crash", 49},     {"ride", 51},     {"chinese", 52},
    {"bell", 53},     {"tamb", 54},      {"splash", 55},    {"cowbell", 56},  {"vibraslap", 58},
    {"bongohi", 60},  {"bongolo", 61},   {"congahi", 62},   {"congalo", 64},  {"timbhi", 65},
    {"timblo", 66},   {"agogohi", 67},   {"agogolo", 68},   {"cabasa", 69},   {"maracas", 70},
    {"whistle", 72},  {"guiro", 73},     {"claves", 75},    {"woodhi", 76},   {"woodlo", 77},
    {"cuicahi", 78},  {"triangle", 80},  {"opentriangle", 81}, {"shaker", 82}, {"jingle", 83},
    {"chimes", 84},   {"castanets", 85},
};

struct Pattern {
  std::vector<std::pair<size_t, std::string>> lines;  // source line number, text
};

struct TrackState {
  size_t index = 0;
  size_t line = 0;  // where the track starts
  int64_t cursor = 0;
  int baseRef = 60;  // reference pitch at the start of each pattern
  int ref = 60;      // pitch the next note is placed nearest to
  int64_t dur = kTicksPerQuarter;
  int velocity = 90;
  double gate = 0.9;
  int transpose = 0;
  std::map<int, size_t> ties;  // key -> note index waiting to be continued
  std::map<std::string, Pattern> patterns;
};

class Parser {
public:
  Parser(Score &s, std::string &error) : s_(s), error_(error) {}

  bool run(const std::string &text) {
    const std::vector<std::string> lines = cleanLines(text);
    TrackState *track = nullptr;
    Pattern *pattern = nullptr;
    std::string patternName;
    int nextChannel = 0;
    for (size_t ln = 0; ln < lines.size(); ++ln) {
      line_ = ln + 1;
      const std::vector<std::string> w = words(lines[ln]);
      if (w.empty()) continue;
      if (pattern) {
        if (w[0] == "end" && w.size() == 1) {
          pattern = nullptr;
        } else if (w[0] == "pattern" || w[0] == "track") {
          return fail("'" + w[0] + "' inside pattern " + patternName + " (missing end?)");
        } else {
          pattern->lines.emplace_back(line_, lines[ln]);
        }
        continue;
      }
      if (w[0] == "track") {
        if (w.size() != 2) return fail("track takes one name");
        if (!s_.bars) return fail("bars must be given before the first track");
        if (states_.size() >= 32) return fail("too many tracks");
        ScoreTrack t;
        t.name = w[1];
        s_.tracks.push_back(t);
        states_.emplace_back();
        track = &states_.back();
        track->index = s_.tracks.size() - 1;
        track->line = line_;
        if (nextChannel == 9) ++nextChannel;
        if (nextChannel > 15) return fail("too many melodic tracks");
        s_.tracks.back().channel = nextChannel++;
        continue;
      }
      if (!track) {
        if (!header(w, lines[ln])) return false;
        continue;
      }
      ScoreTrack &t = s_.tracks[track->index];
      if (w[0] == "pattern") {
        if (w.size() != 2) return fail("pattern takes one name");
        patternName = w[1];
        if (track->patterns.count(patternName)) return fail("pattern " + patternName + " defined twice");
        pattern = &track->patterns[patternName];
      } else if (w[0] == "play") {
        for (size_t i = 1; i < w.size(); ++i) {
          if (!play(*track, w[i], 0, 0)) return false;
        }
      } else if (w[0] == "drums") {
        int kit = 0;
        if (w.size() > 2 || (w.size() == 2 && (!toInt(w[1], kit) || kit < 0 || kit > 127)))
          return fail("drums takes an optional kit number 0..127");
        if (track->cursor != 0) return fail("drums must come before the notes");
        t.drums = true;
        t.program = kit;
        t.channel = 9;
        --nextChannel;
      } else if (w[0] == "program" || w[0] == "volume" || w[0] == "pan" || w[0] == "reverb" ||
                 w[0] == "chorus" || w[0] == "velocity" || w[0] == "transpose" || w[0] == "octave") {
        int v = 0;
        if (w.size() != 2 || !toInt(w[1], v)) return fail(w[0] + " takes one whole number");
        const bool signedValue = w[0] == "transpose";
        if (w[0] == "octave" ? (v < 0 || v > 9) : signedValue ? (v < -48 || v > 48) : (v < 0 || v > 127))
          return fail(w[0] + " value out of range");
        if (w[0] == "program") t.program = v;
        else if (w[0] == "volume") t.volume = v;
        else if (w[0] == "pan") t.pan = v;
        else if (w[0] == "reverb") t.reverb = v;
        else if (w[0] == "chorus") t.chorus = v;
        else if (w[0] == "velocity") track->velocity = std::max(1, v);
        else if (w[0] == "transpose") track->transpose = v;
        else track->baseRef = track->ref = 12 * (v + 1);
      } else if (w[0] == "gate") {
        double g = 0;
        if (w.size() != 2 || !toDouble(w[1], g) || g < 0.05 || g > 1) return fail("gate takes 0.05..1");
        track->gate = g;
      } else {
        if (!notes(*track, lines[ln], 0)) return false;
      }
    }
    if (pattern) return fail("pattern " + patternName + " has no end");
    if (!s_.bars) return fail("no bars given");
    if (s_.tracks.empty()) return fail("no track given");
    // A track that stops early is nearly always a part that slipped against
    // the others; silence at the end is written as rests.
    for (const TrackState &t : states_) {
      if (t.cursor != s_.lengthTicks()) {
        line_ = t.line;
        return fail("track " + s_.tracks[t.index].name + " ends " + std::to_string(t.cursor / s_.barTicks()) +
                    " bars and " + std::to_string(t.cursor % s_.barTicks()) + " ticks in, not after " +
                    std::to_string(s_.bars) + " bars");
      }
    }
    finish();
    return true;
  }

private:
  bool fail(const std::string &what) {
    error_ = "line " + std::to_string(line_) + ": " + what;
    return false;
  }

  bool header(const std::vector<std::string> &w, const std::string &raw) {
    std::vector<double> v;
    if (w[0] == "title") {
      s_.title = raw.size() > 6 ? raw.substr(6) : std::string();
      return true;
    }
    if (w[0] == "meter") {
      int n = 0, d = 0;
      char tail = 0;
      if (w.size() != 2 || std::sscanf(w[1].c_str(), "%d/%d%c", &n, &d, &tail) != 2 || n < 1 || n > 16 ||
          (d != 2 && d != 4 && d != 8))
        return fail("meter takes N/2, N/4 or N/8");
      s_.meterNum = n;
      s_.meterDen = d;
      return true;
    }
    for (size_t i = 1; i < w.size(); ++i) {
      double d = 0;
      if (!toDouble(w[i], d)) return fail("'" + w[i] + "' is not a number");
      v.push_back(d);
    }
    auto want = [&](size_t n, std::initializer_list<std::pair<double, double>> ranges) {
      if (v.size() != n) return false;
      size_t i = 0;
      for (const auto &r : ranges) {
        if (v[i] < r.first || v[i] > r.second) return false;
        ++i;
      }
      return true;
    };
    if (w[0] == "tempo") {
      if (!want(1, {{20, 400}})) return fail("tempo takes 20..400");
      s_.tempo = v[0];
    } else if (w[0] == "bars") {
      if (!want(1, {{1, kMaxBars}}) || v[0] != std::floor(v[0])) return fail("bars takes 1..1000");
      s_.bars = static_cast<int>(v[0]);
    } else if (w[0] == "swing") {
      if (!want(1, {{0.5, 0.75}})) return fail("swing takes 0.5..0.75");
      s_.swing = v[0];
    } else if (w[0] == "humanize") {
      if (!want(2, {{0, 30}, {0, 0.03}})) return fail("humanize takes velocity 0..30 and seconds 0..0.03");
      s_.humanizeVelocity = static_cast<int>(v[0]);
      s_.humanizeSeconds = v[1];
    } else if (w[0] == "reverb") {
      if (!want(4, {{0, 1}, {0, 1}, {0, 100}, {0, 1}})) return fail("reverb takes room, damp, width, level");
      s_.reverbRoom = v[0];
      s_.reverbDamp = v[1];
      s_.reverbWidth = v[2];
      s_.reverbLevel = v[3];
    } else if (w[0] == "level") {
      if (!want(2, {{-60, 0}, {-60, 0}})) return fail("level takes a loudness in LUFS and a peak in dBFS");
      s_.loudness = v[0];
      s_.peakDb = v[1];
    } else {
      return fail("unknown setting '" + w[0] + "'");
    }
    return true;
  }

  // Plays pattern `item` (NAME, NAME*3, NAME+5, NAME-2*4) transposed by `outer`
  // more; patterns may play other patterns, a few levels deep.
  bool play(TrackState &t, const std::string &item, int outer, int depth) {
    if (depth > kMaxDepth) return fail("patterns play each other too deeply");
    // NAME, NAME*3, NAME+5, NAME-2*4
    std::string name = item;
    int times = 1, shift = 0;
    const size_t star = name.find('*');
    if (star != std::string::npos) {
      if (!toInt(name.substr(star + 1), times) || times < 1 || times > kMaxRepeat)
        return fail("bad repeat in '" + item + "'");
      name.erase(star);
    }
    const size_t sign = name.find_first_of("+-");
    if (sign != std::string::npos) {
      if (!toInt(name.substr(sign), shift) || shift < -36 || shift > 36)
        return fail("bad transposition in '" + item + "'");
      name.erase(sign);
    }
    const auto it = t.patterns.find(name);
    if (it == t.patterns.end()) return fail("no pattern " + name + " in this track");
    const size_t here = line_;
    for (int k = 0; k < times; ++k) {
      if (++work_ > kMaxWork) return fail("score too large");
      t.ref = t.baseRef;
      for (const auto &pl : it->second.lines) {
        line_ = pl.first;
        const std::vector<std::string> w = words(pl.second);
        if (w[0] == "play") {
          for (size_t i = 1; i < w.size(); ++i) {
            if (!play(t, w[i], outer + shift, depth + 1)) return false;
          }
          continue;
        }
        if (!notes(t, pl.second, outer + shift)) {
          error_ += " (played from line " + std::to_string(here) + ")";
          return false;
        }
      }
      line_ = here;
    }
    return true;
  }

  // Splits a note line into tokens; a chord <...> is one token even with blanks inside.
  bool tokens(const std::string &text, std::vector<std::string> &out) {
    const std::vector<std::string> w = words(text);
    for (size_t i = 0; i < w.size(); ++i) {
      if (w[i][0] != '<' || w[i].find('>') != std::string::npos) {
        out.push_back(w[i]);
        continue;
      }
      std::string chord = w[i];
      while (++i < w.size()) {
        chord += " " + w[i];
        if (w[i].find('>') != std::string::npos) break;
      }
      if (chord.find('>') == std::string::npos) return fail("chord without >");
      out.push_back(chord);
    }
    return true;
  }

  bool duration(const std::string &s, int64_t &ticks) {
    ticks = 0;
    size_t pos = 0;
    while (true) {
      size_t end = pos;
      while (end < s.size() && std::isdigit(static_cast<unsigned char>(s[end]))) ++end;
      int n = 0;
      if (end == pos || !toInt(s.substr(pos, end - pos), n) ||
          (n != 1 && n != 2 && n != 4 && n != 8 && n != 16 && n != 32 && n != 64))
        return fail("bad duration ':" + s + "'");
      int64_t base = 4 * kTicksPerQuarter / n, add = base;
      pos = end;
      while (pos < s.size() && s[pos] == '.') {
        base /= 2;
        add += base;
        ++pos;
      }
      if (pos < s.size() && s[pos] == 't') {
        add = add * 2 / 3;
        ++pos;
      }
      ticks += add;
      if (pos == s.size()) break;
      if (s[pos] != '+') return fail("bad duration ':" + s + "'");
      ++pos;
    }
    return ticks > 0;
  }

  // Pitch at the start of `s` (letter, accidentals, octave digit or marks);
  // `pos` ends past it. Without a digit the pitch lands nearest to `ref`.
  bool pitch(const std::string &s, size_t &pos, int ref, int &key) {
    static const int kPc[] = {9, 11, 0, 2, 4, 5, 7};  // a b c d e f g
    const char c = s[pos];
    if (c < 'a' || c > 'g') return fail("'" + s + "' is not a note");
    int pc = kPc[c - 'a'];
    ++pos;
    int acc = 0;
    while (pos < s.size() && (s[pos] == '#' || s[pos] == 'b') && std::abs(acc) < 2) {
      acc += s[pos] == '#' ? 1 : -1;
      ++pos;
    }
    if (pos < s.size() && std::isdigit(static_cast<unsigned char>(s[pos]))) {
      const int octave = s[pos] - '0';
      ++pos;
      key = 12 * (octave + 1) + pc + acc;
    } else {
      // Nearest to the reference; a tritone goes up.
      int k = ref - ((ref - pc - acc) % 12 + 12) % 12;  // at or below ref, same pitch class
      if (ref - k >= 6) k += 12;
      key = k;
    }
    while (pos < s.size() && (s[pos] == '\'' || s[pos] == ',')) {
      key += s[pos] == '\'' ? 12 : -12;
      ++pos;
    }
    if (key < 0 || key > 127) return fail("note '" + s + "' out of range");
    return true;
  }

  // Reads ":dur", "~", "^" and "_" after a note, in any order.
  bool suffixes(const std::string &s, size_t pos, TrackState &t, bool &tie, bool &accent, bool &staccato) {
    tie = accent = staccato = false;
    while (pos < s.size()) {
      const char c = s[pos];
      if (c == ':') {
        size_t end = pos + 1;
        while (end < s.size() && s[end] != '~' && s[end] != '^' && s[end] != '_') ++end;
        int64_t d = 0;
        if (!duration(s.substr(pos + 1, end - pos - 1), d)) return false;
        t.dur = d;
        pos = end;
      } else if (c == '~') {
        tie = true;
        ++pos;
      } else if (c == '^') {
        accent = true;
        ++pos;
      } else if (c == '_') {
        staccato = true;
        ++pos;
      } else {
        return fail("unexpected '" + std::string(1, c) + "' in '" + s + "'");
      }
    }
    return true;
  }

  bool emit(TrackState &t, int key, bool tie, bool accent, bool staccato) {
    const int64_t on = t.cursor;
    const int64_t full = on + t.dur;
    int64_t off = tie ? full : on + std::max<int64_t>(1, std::llround(t.dur * t.gate * (staccato ? 0.5 : 1.0)));
    const ScoreTrack &tr = s_.tracks[t.index];
    auto it = t.ties.find(key);
    if (it != t.ties.end()) {
      s_.notes[it->second].off = off;
      if (!tie) t.ties.erase(it);
      return true;
    }
    if (s_.notes.size() >= kMaxNotes) return fail("too many notes");
    ScoreNote n;
    n.on = on;
    n.off = off;
    n.channel = tr.channel;
    n.key = key;
    n.velocity = std::min(127, std::max(1, t.velocity + (accent ? 15 : 0)));
    s_.notes.push_back(n);
    if (tie) t.ties[key] = s_.notes.size() - 1;
    return true;
  }

  bool advance(TrackState &t) {
    t.cursor += t.dur;
    if (t.cursor > s_.lengthTicks())
      return fail("track " + s_.tracks[t.index].name + " runs past the end of bar " + std::to_string(s_.bars));
    return true;
  }

  bool notes(TrackState &t, const std::string &text, int shift) {
    std::vector<std::string> toks;
    if (!tokens(text, toks)) return false;
    const bool drums = s_.tracks[t.index].drums;
    work_ += static_cast<long>(toks.size());
    if (work_ > kMaxWork) return fail("score too large");
    for (const std::string &tok : toks) {
      bool tie = false, accent = false, staccato = false;
      if (tok == "|") {
        if (t.cursor % s_.barTicks() != 0)
          return fail("bar line at " + std::to_string(t.cursor % s_.barTicks()) + " ticks into a bar");
        continue;
      }
      if (tok[0] == '!') {
        static const std::pair<const char *, int> kDyn[] = {
            {"ppp", 25}, {"pp", 40}, {"p", 55}, {"mp", 70}, {"mf", 85}, {"f", 100}, {"ff", 112}, {"fff", 124}};
        const std::string v = tok.substr(1);
        int vel = -1;
        for (const auto &d : kDyn) {
          if (v == d.first) vel = d.second;
        }
        if (vel < 0 && (!toInt(v, vel) || vel < 1 || vel > 127)) return fail("bad velocity '" + tok + "'");
        t.velocity = vel;
        continue;
      }
      if (tok[0] == '@') {
        double g = 0;
        if (!toDouble(tok.substr(1), g) || g < 0.05 || g > 1) return fail("bad gate '" + tok + "'");
        t.gate = g;
        continue;
      }
      if (tok[0] == 'o' && tok.size() == 2 && std::isdigit(static_cast<unsigned char>(tok[1]))) {
        t.ref = 12 * (tok[1] - '0' + 1);
        continue;
      }
      if (tok[0] == 'r' && (tok.size() == 1 || tok[1] == ':')) {
        if (!suffixes(tok, 1, t, tie, accent, staccato)) return false;
        if (!advance(t)) return false;
        continue;
      }
      if (tok[0] == '<') {
        const size_t close = tok.find('>');
        const std::vector<std::string> inner = words(tok.substr(1, close - 1));
        if (inner.empty()) return fail("empty chord");
        if (!suffixes(tok, close + 1, t, tie, accent, staccato)) return false;
        int ref = t.ref;
        for (size_t i = 0; i < inner.size(); ++i) {
          size_t pos = 0;
          int key = 0;
          if (!pitch(inner[i], pos, ref, key)) return false;
          if (pos != inner[i].size()) return fail("unexpected text in chord note '" + inner[i] + "'");
          if (i == 0) t.ref = key;
          ref = key;
          const int sounding = key + t.transpose + shift;
          if (sounding < 0 || sounding > 127) return fail("chord note out of range");
          if (!emit(t, sounding, tie, accent, staccato)) return false;
        }
        if (!advance(t)) return false;
        continue;
      }
      int key = 0;
      size_t pos = 0;
      if (drums) {
        const size_t end = std::min(tok.find_first_of(":~^_"), tok.size());
        const std::string name = tok.substr(0, end);
        key = -1;
        for (const DrumName &d : kDrums) {
          if (name == d.name) key = d.key;
        }
        if (key < 0 && name.size() > 1 && name[0] == 'n' && (!toInt(name.substr(1), key) || key < 0 || key > 127))
          return fail("bad drum '" + name + "'");
        if (key < 0) return fail("unknown drum '" + name + "'");
        pos = end;
      } else {
        if (!pitch(tok, pos, t.ref, key)) return false;
        t.ref = key;
        key += t.transpose + shift;
        if (key < 0 || key > 127) return fail("note '" + tok + "' out of range after transposing");
      }
      if (!suffixes(tok, pos, t, tie, accent, staccato)) return false;
      if (!emit(t, key, tie, accent, staccato)) return false;
      if (!advance(t)) return false;
    }
    return true;
  }

  // Swing and humanising, applied once every note is known.
  void finish() {
    const int64_t beat = kTicksPerQuarter;
    const int64_t half = beat / 2;
    const int64_t shift = std::llround((s_.swing - 0.5) * beat);
    const int64_t jitter = std::llround(s_.humanizeSeconds / s_.secondsPerTick());
    uint32_t rng = 0x2545F491u;
    auto next = [&rng](int64_t span) -> int64_t {
      rng = rng * 1664525u + 1013904223u;
      if (span <= 0) return 0;
      return static_cast<int64_t>((rng >> 8) % static_cast<uint32_t>(2 * span + 1)) - span;
    };
    for (ScoreNote &n : s_.notes) {
      if (shift) {
        if (n.on % beat == half) n.on += shift;
        if (n.off % beat == half) n.off += shift;
      }
      const int64_t j = next(jitter);
      n.on = std::max<int64_t>(0, n.on + j);
      n.off = std::max(n.on + 1, n.off + j);
      n.velocity = static_cast<int>(std::min<int64_t>(127, std::max<int64_t>(1, n.velocity + next(s_.humanizeVelocity))));
    }
  }

  Score &s_;
  std::string &error_;
  std::deque<TrackState> states_;  // deque: the open track's address stays put
  size_t line_ = 0;
  long work_ = 0;
};

}  // namespace

bool parseScore(const std::string &text, Score &out, std::string &error) {
  out = Score();
  Parser p(out, error);
  return p.run(text);
}

}  // namespace assetgen
