// Levels, fades and the Ogg Vorbis writer of the asset generator.
// Build-time tool code; single-threaded.
#include "audio.h"

#include <vorbis/vorbisenc.h>
#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "fileutil.h"

namespace assetgen {

namespace {

// Any fixed value will do; a random serial would change the file on every build.
const int kStreamSerial = 0x50424158;

double toDb(double v) { return v > 0 ? 20.0 * std::log10(v) : -200.0; }

void appendPage(std::string &out, const ogg_page &page) {
  out.append(reinterpret_cast<const char *>(page.header), page.header_len);
  out.append(reinterpret_cast<const char *>(page.body), page.body_len);
}

}  // namespace

Levels measure(const Stereo &s) {
  double peak = 0, sum = 0;
  for (size_t i = 0; i < s.frames(); ++i) {
    const double l = s.left[i], r = s.right[i];
    peak = std::max(peak, std::max(std::fabs(l), std::fabs(r)));
    sum += l * l + r * r;
  }
  Levels lv;
  lv.peakDb = toDb(peak);
  if (s.frames() > 0) lv.rmsDb = toDb(std::sqrt(sum / (2.0 * s.frames())));
  return lv;
}

void normalise(Stereo &s, double rmsDb, double peakDb) {
  const Levels lv = measure(s);
  if (lv.peakDb <= -199.0) return;
  double gainDb = rmsDb - lv.rmsDb;
  if (lv.peakDb + gainDb > peakDb) gainDb = peakDb - lv.peakDb;
  const float g = static_cast<float>(std::pow(10.0, gainDb / 20.0));
  for (size_t i = 0; i < s.frames(); ++i) {
    s.left[i] *= g;
    s.right[i] *= g;
  }
}

namespace {

// One second-order filter section, direct form I.
struct Biquad {
  double b0, b1, b2, a1, a2;
  double x1 = 0, x2 = 0, y1 = 0, y2 = 0;
  double run(double x) {
    const double y = b0 * x + b1 * x1 + b2 * x2 - a1 * y1 - a2 * y2;
    x2 = x1, x1 = x, y2 = y1, y1 = y;
    return y;
  }
};

// The two stages of the K weighting at our sample rate: a high shelf of about
// +4 dB above 1.5 kHz (the head) and a high pass at 38 Hz.
void kWeighting(Biquad &shelf, Biquad &highPass) {
  const double pi = 3.14159265358979323846;
  {
    const double f0 = 1681.974450955533, gainDb = 3.999843853973347, q = 0.7071752369554196;
    const double k = std::tan(pi * f0 / kSampleRate);
    const double vh = std::pow(10.0, gainDb / 20.0), vb = std::pow(vh, 0.4996667741545416);
    const double a0 = 1.0 + k / q + k * k;
    shelf = Biquad{(vh + vb * k / q + k * k) / a0, 2.0 * (k * k - vh) / a0,
                   (vh - vb * k / q + k * k) / a0, 2.0 * (k * k - 1.0) / a0,
                   (1.0 - k / q + k * k) / a0};
  }
  {
    const double f0 = 38.13547087602444, q = 0.5003270373238773;
    const double k = std::tan(pi * f0 / kSampleRate);
    const double a0 = 1.0 + k / q + k * k;
    highPass = Biquad{1.0, -2.0, 1.0, 2.0 * (k * k - 1.0) / a0, (1.0 - k / q + k * k) / a0};
  }
}


// K-weighted energy per frame, both channels summed.
std::vector<double> weightedEnergy(const Stereo &s) {
  std::vector<double> energy(s.frames());
  Biquad shelf[2], highPass[2];
  kWeighting(shelf[0], highPass[0]);
  kWeighting(shelf[1], highPass[1]);
  for (size_t i = 0; i < s.frames(); ++i) {
    const double l = highPass[0].run(shelf[0].run(s.left[i]));
    const double r = highPass[1].run(shelf[1].run(s.right[i]));
    energy[i] = l * l + r * r;
  }
  return energy;
}

double lufsOf(double meanSquare) {
  return meanSquare > 0 ? -0.691 + 10.0 * std::log10(meanSquare) : -200.0;
}

// Scales by gainDb, but never beyond a peak of peakDb; silence is left alone.
void applyGain(Stereo &s, double gainDb, double peakDb) {
  const Levels lv = measure(s);
  if (lv.peakDb <= -199.0) return;
  if (lv.peakDb + gainDb > peakDb) gainDb = peakDb - lv.peakDb;
  const float g = static_cast<float>(std::pow(10.0, gainDb / 20.0));
  for (size_t i = 0; i < s.frames(); ++i) {
    s.left[i] *= g;
    s.right[i] *= g;
  }
}

}  // namespace

double momentaryLoudness(const Stereo &s) {
  const size_t block = kSampleRate * 4 / 10;
  const std::vector<double> energy = weightedEnergy(s);
  double sum = 0, loudest = 0;
  for (size_t i = 0; i < energy.size(); ++i) {
    sum += energy[i];
    if (i >= block) sum -= energy[i - block];
    loudest = std::max(loudest, sum);
  }
  return lufsOf(loudest / block);
}

void normaliseMomentary(Stereo &s, double lufs, double peakDb) {
  const double now = momentaryLoudness(s);
  if (now > -199.0) applyGain(s, lufs - now, peakDb);
}

double integratedLoudness(const Stereo &s) {
  const size_t block = kSampleRate * 4 / 10, step = block / 4;
  if (s.frames() < block) return -200.0;
  const std::vector<double> energy = weightedEnergy(s);
  std::vector<double> blocks;
  double sum = 0;
  for (size_t i = 0; i < block; ++i) sum += energy[i];
  for (size_t start = 0;; start += step) {
    blocks.push_back(sum / block);
    if (start + step + block > s.frames()) break;
    for (size_t i = 0; i < step; ++i) sum += energy[start + block + i] - energy[start + i];
  }
  auto lufs = lufsOf;
  auto gatedMean = [&](double gate) {
    double total = 0;
    size_t n = 0;
    for (double b : blocks) {
      if (lufs(b) > gate) total += b, ++n;
    }
    return n ? total / n : 0.0;
  };
  const double ungated = gatedMean(-70.0);
  if (ungated <= 0) return -200.0;
  return lufs(gatedMean(lufs(ungated) - 10.0));
}

void normaliseLoudness(Stereo &s, double lufs, double peakDb) {
  const double now = integratedLoudness(s);
  if (now > -199.0) applyGain(s, lufs - now, peakDb);
}

void fadeEdges(Stereo &s, double fadeInSeconds, double fadeOutSeconds) {
  const size_t n = s.frames();
  const size_t fin = std::min(n, static_cast<size_t>(fadeInSeconds * kSampleRate));
  const size_t fout = std::min(n, static_cast<size_t>(fadeOutSeconds * kSampleRate));
  for (size_t i = 0; i < fin; ++i) {
    const float g = static_cast<float>(i) / fin;
    s.left[i] *= g;
    s.right[i] *= g;
  }
  for (size_t i = 0; i < fout; ++i) {
    const float g = static_cast<float>(i) / fout;
    s.left[n - 1 - i] *= g;
    s.right[n - 1 - i] *= g;
  }
}

bool readOgg(const std::string &path, Stereo &out, std::string &error) {
  OggVorbis_File vf;
  if (ov_fopen(path.c_str(), &vf) != 0) {
    error = "not an Ogg Vorbis file";
    return false;
  }
  const int channels = ov_info(&vf, -1)->channels;
  out.left.clear();
  out.right.clear();
  for (;;) {
    float **pcm = nullptr;
    int section = 0;
    const long n = ov_read_float(&vf, &pcm, 4096, &section);
    if (n < 0) {
      ov_clear(&vf);
      error = "damaged Ogg Vorbis data";
      return false;
    }
    if (n == 0) break;
    out.left.insert(out.left.end(), pcm[0], pcm[0] + n);
    out.right.insert(out.right.end(), pcm[channels > 1 ? 1 : 0], pcm[channels > 1 ? 1 : 0] + n);
  }
  ov_clear(&vf);
  return true;
}

bool writeOgg(const Stereo &s, const std::string &path, float quality, const std::string &title,
              std::string &error) {
  vorbis_info vi;
  vorbis_info_init(&vi);
  if (vorbis_encode_init_vbr(&vi, 2, kSampleRate, quality) != 0) {
    vorbis_info_clear(&vi);
    error = "vorbis encoder refused its settings";
    return false;
  }
  vorbis_comment vc;
  vorbis_comment_init(&vc);
  vorbis_comment_add_tag(&vc, "ENCODER", "pabrix assetgen");
  if (!title.empty()) vorbis_comment_add_tag(&vc, "TITLE", title.c_str());

  vorbis_dsp_state vd;
  vorbis_block vb;
  vorbis_analysis_init(&vd, &vi);
  vorbis_block_init(&vd, &vb);
  ogg_stream_state os;
  ogg_stream_init(&os, kStreamSerial);

  std::string bytes;
  ogg_packet header, comments, codebooks;
  vorbis_analysis_headerout(&vd, &vc, &header, &comments, &codebooks);
  ogg_stream_packetin(&os, &header);
  ogg_stream_packetin(&os, &comments);
  ogg_stream_packetin(&os, &codebooks);
  ogg_page page;
  // The headers must end a page of their own before audio starts.
  while (ogg_stream_flush(&os, &page) != 0) appendPage(bytes, page);

  const size_t chunk = 4096;
  size_t pos = 0;
  bool ended = false;
  while (!ended) {
    const size_t n = std::min(chunk, s.frames() - pos);
    if (n == 0) {
      vorbis_analysis_wrote(&vd, 0);
      ended = true;
    } else {
      float **buf = vorbis_analysis_buffer(&vd, static_cast<int>(n));
      std::memcpy(buf[0], s.left.data() + pos, n * sizeof(float));
      std::memcpy(buf[1], s.right.data() + pos, n * sizeof(float));
      vorbis_analysis_wrote(&vd, static_cast<int>(n));
      pos += n;
    }
    while (vorbis_analysis_blockout(&vd, &vb) == 1) {
      vorbis_analysis(&vb, nullptr);
      vorbis_bitrate_addblock(&vb);
      ogg_packet packet;
      while (vorbis_bitrate_flushpacket(&vd, &packet)) {
        ogg_stream_packetin(&os, &packet);
        while (ogg_stream_pageout(&os, &page) != 0) appendPage(bytes, page);
      }
    }
  }
  while (ogg_stream_flush(&os, &page) != 0) appendPage(bytes, page);
  ogg_stream_clear(&os);
  vorbis_block_clear(&vb);
  vorbis_dsp_clear(&vd);
  vorbis_comment_clear(&vc);
  vorbis_info_clear(&vi);
  return writeFileAtomic(path, bytes.data(), bytes.size(), error);
}

}  // namespace assetgen
