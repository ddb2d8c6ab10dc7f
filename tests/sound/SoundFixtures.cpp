// Test sounds made in place; see SoundFixtures.h.
#include "SoundFixtures.h"

#include <vorbis/vorbisenc.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <thread>

namespace soundtest {

namespace {

void put16(std::vector<uint8_t> &v, uint32_t x) {
  v.push_back(uint8_t(x));
  v.push_back(uint8_t(x >> 8));
}

void put32(std::vector<uint8_t> &v, uint32_t x) {
  put16(v, x & 0xFFFF);
  put16(v, x >> 16);
}

void putTag(std::vector<uint8_t> &v, const char *tag) { v.insert(v.end(), tag, tag + 4); }

}  // namespace

std::vector<int16_t> tone(int frames, int channels, int rate, double hz, double amplitude) {
  std::vector<int16_t> pcm(size_t(frames) * channels);
  for (int i = 0; i < frames; ++i) {
    double v = amplitude * std::sin(2.0 * M_PI * hz * i / rate);
    for (int c = 0; c < channels; ++c) pcm[size_t(i) * channels + c] = int16_t(std::lround(v));
  }
  return pcm;
}

std::vector<uint8_t> bytesOf(const std::vector<int16_t> &pcm) {
  std::vector<uint8_t> out(pcm.size() * 2);
  memcpy(out.data(), pcm.data(), out.size());
  return out;
}

std::vector<uint8_t> wavFile(const std::vector<uint8_t> &pcm, int channels, int rate, int bits) {
  std::vector<uint8_t> v;
  putTag(v, "RIFF");
  put32(v, uint32_t(36 + pcm.size()));
  putTag(v, "WAVE");
  putTag(v, "fmt ");
  put32(v, 16);
  put16(v, 1);
  put16(v, uint32_t(channels));
  put32(v, uint32_t(rate));
  put32(v, uint32_t(rate * channels * bits / 8));
  put16(v, uint32_t(channels * bits / 8));
  put16(v, uint32_t(bits));
  putTag(v, "data");
  put32(v, uint32_t(pcm.size()));
  v.insert(v.end(), pcm.begin(), pcm.end());
  return v;
}

std::vector<uint8_t> vorbisFile(const std::vector<int16_t> &pcm, int channels, int rate) {
  std::vector<uint8_t> out;
  vorbis_info vi;
  vorbis_info_init(&vi);
  if (vorbis_encode_init_vbr(&vi, channels, rate, 0.4f) != 0) {
    vorbis_info_clear(&vi);
    return out;
  }
  vorbis_comment vc;
  vorbis_comment_init(&vc);
  vorbis_dsp_state vd;
  vorbis_analysis_init(&vd, &vi);
  vorbis_block vb;
  vorbis_block_init(&vd, &vb);
  ogg_stream_state os;
  ogg_stream_init(&os, 1234);

  ogg_page og;
  auto append = [&out](const ogg_page &page) {
    out.insert(out.end(), page.header, page.header + page.header_len);
    out.insert(out.end(), page.body, page.body + page.body_len);
  };
  ogg_packet header, comments, codebooks;
  vorbis_analysis_headerout(&vd, &vc, &header, &comments, &codebooks);
  ogg_stream_packetin(&os, &header);
  ogg_stream_packetin(&os, &comments);
  ogg_stream_packetin(&os, &codebooks);
  while (ogg_stream_flush(&os, &og)) append(og);

  auto drain = [&]() {
    ogg_packet op;
    while (vorbis_analysis_blockout(&vd, &vb) == 1) {
      vorbis_analysis(&vb, nullptr);
      vorbis_bitrate_addblock(&vb);
      while (vorbis_bitrate_flushpacket(&vd, &op)) {
        ogg_stream_packetin(&os, &op);
        while (ogg_stream_pageout(&os, &og)) append(og);
      }
    }
  };
  const size_t frames = pcm.size() / size_t(channels);
  for (size_t at = 0; at < frames;) {
    const int n = int(std::min<size_t>(1024, frames - at));
    float **buf = vorbis_analysis_buffer(&vd, n);
    for (int i = 0; i < n; ++i) {
      for (int c = 0; c < channels; ++c) buf[c][i] = pcm[(at + i) * channels + c] / 32768.0f;
    }
    vorbis_analysis_wrote(&vd, n);
    drain();
    at += size_t(n);
  }
  vorbis_analysis_wrote(&vd, 0);
  drain();
  while (ogg_stream_flush(&os, &og)) append(og);

  ogg_stream_clear(&os);
  vorbis_block_clear(&vb);
  vorbis_dsp_clear(&vd);
  vorbis_comment_clear(&vc);
  vorbis_info_clear(&vi);
  return out;
}

std::vector<uint8_t> modFile(int rows) {
  std::vector<uint8_t> v(20, 0);
  memcpy(v.data(), "pabrix test", 11);
  // Sample 1: 64 bytes, volume 64, looped whole; samples 2..31 empty.
  for (int s = 0; s < 31; ++s) {
    std::vector<uint8_t> h(30, 0);
    if (s == 0) {
      memcpy(h.data(), "square", 6);
      h[22] = 0;
      h[23] = 32;  // length in words, big-endian
      h[25] = 64;  // volume
      h[26] = 0;
      h[27] = 0;   // loop start
      h[28] = 0;
      h[29] = 32;  // loop length in words
    } else {
      h[29] = 1;  // "no loop"
    }
    v.insert(v.end(), h.begin(), h.end());
  }
  v.push_back(1);    // song length: one order
  v.push_back(127);
  std::vector<uint8_t> orders(128, 0);
  v.insert(v.end(), orders.begin(), orders.end());
  putTag(v, "M.K.");

  std::vector<uint8_t> pattern(64 * 4 * 4, 0);
  auto cell = [&pattern](int row, int channel) { return &pattern[size_t(row * 4 + channel) * 4]; };
  const int period = 428;
  uint8_t *c = cell(0, 0);
  c[0] = uint8_t((1 & 0xF0) | ((period >> 8) & 0x0F));
  c[1] = uint8_t(period & 0xFF);
  c[2] = uint8_t((1 & 0x0F) << 4 | 0xF);  // effect F: speed
  c[3] = 1;                               // one tick per row
  if (rows > 0 && rows < 64) {
    uint8_t *b = cell(rows - 1, 1);
    b[2] = 0xD;  // pattern break: the song ends (and loops) here
    b[3] = 0;
  }
  v.insert(v.end(), pattern.begin(), pattern.end());
  for (int i = 0; i < 64; ++i) v.push_back(uint8_t(i < 32 ? 100 : -100));
  return v;
}

TempDir::TempDir() {
  char tmpl[] = "/tmp/pabrix-sound-XXXXXX";
  // No folder, no test: files must never land in a shared folder.
  if (!mkdtemp(tmpl)) throw std::runtime_error("could not make a scratch folder under /tmp");
  dir_ = tmpl;
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::remove_all(dir_, ec);
}

std::string TempDir::write(const std::string &name, const std::vector<uint8_t> &bytes) const {
  std::string p = path(name);
  FILE *f = fopen(p.c_str(), "wb");
  if (f) {
    if (!bytes.empty()) fwrite(bytes.data(), 1, bytes.size(), f);
    fclose(f);
  }
  return p;
}

Capture::Capture(double seconds) : samples_(size_t(seconds * mixer::kOutputRate) * 2) {}

void Capture::attach(mixer::Device &device) { device.setTap(&Capture::tap, this); }

void Capture::detach(mixer::Device &device) { device.setTap(nullptr, nullptr); }

void Capture::tap(void *user, const int16_t *frames, uint32_t count) {
  auto *self = static_cast<Capture *>(user);
  const size_t have = self->frames_.load(std::memory_order_relaxed);
  const size_t room = self->samples_.size() / 2 - have;
  const size_t n = std::min<size_t>(room, count);
  memcpy(self->samples_.data() + have * 2, frames, n * 4);
  self->frames_.store(have + n, std::memory_order_release);
}

bool Capture::waitFrames(size_t count, double guardSeconds) const {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(guardSeconds);
  while (frames() < count) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

int Capture::peak(size_t from, size_t to) const {
  to = std::min(to, frames());
  int p = 0;
  for (size_t i = from * 2; i < to * 2; ++i) p = std::max(p, std::abs(int(samples_[i])));
  return p;
}

}  // namespace soundtest
