// Sound output of the asset generator: a stereo float buffer, level measurement
// and normalisation, and the Ogg Vorbis writer (44.1 kHz stereo, fixed stream
// serial so the bytes are the same on every build). Build-time; single-threaded.
#pragma once

#include <string>
#include <vector>

namespace assetgen {

const int kSampleRate = 44100;

struct Stereo {
  std::vector<float> left, right;
  size_t frames() const { return left.size(); }
  void resize(size_t n) {
    left.assign(n, 0.0f);
    right.assign(n, 0.0f);
  }
};

struct Levels {
  double peakDb = -200.0;  // dBFS of the largest sample
  double rmsDb = -200.0;   // dBFS of the root mean square over both channels
};

Levels measure(const Stereo &s);

// Scales so the RMS reaches `rmsDb`, but never beyond a peak of `peakDb`.
// A silent buffer is left alone.
void normalise(Stereo &s, double rmsDb, double peakDb);

// Integrated loudness in LUFS as broadcast meters measure it: K-weighted, in
// 400 ms blocks overlapping by three quarters, gated at -70 LUFS and 10 LU below
// the ungated level. -200 for silence or less than one block.
double integratedLoudness(const Stereo &s);

// The loudness of the sound's loudest 400 ms (a loudness meter's momentary
// reading at its highest), silence counted past the end of a shorter sound, so a
// brief click reads quieter than a held note of the same level, as it sounds.
double momentaryLoudness(const Stereo &s);

// Scales so the momentary loudness reaches `lufs`, but never beyond a peak of
// `peakDb`. A silent buffer is left alone.
void normaliseMomentary(Stereo &s, double lufs, double peakDb);

// Scales so the integrated loudness reaches `lufs`, but never beyond a peak of
// `peakDb`. A silent buffer is left alone.
void normaliseLoudness(Stereo &s, double lufs, double peakDb);

// Short linear fades at both ends, so the start and the end are click-free.
void fadeEdges(Stereo &s, double fadeInSeconds, double fadeOutSeconds);

// Decodes a whole Ogg Vorbis file (mono is copied to both sides); false with
// `error` set when it cannot be read or is not Vorbis.
bool readOgg(const std::string &path, Stereo &out, std::string &error);

// Encodes with libvorbisenc at the given VBR quality (-0.1 .. 1.0).
bool writeOgg(const Stereo &s, const std::string &path, float quality, const std::string &title,
              std::string &error);

}  // namespace assetgen
