// Levels, fades and the Ogg Vorbis writer of the asset generator.
// Build-time tool code; single-threaded.
#include "audio.h"

#include <vorbis/vorbisenc.h>

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
