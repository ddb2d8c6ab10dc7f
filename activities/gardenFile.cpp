// The garden file image (see gardenFile.h): field by field, little-endian, with
// a checksum, so a torn or foreign file is recognised before anything is drawn
// from it. No engine calls. Application thread only.
#include "activities/gardenFile.h"

#include <cmath>
#include <cstring>

namespace {

const unsigned char kMagic[4] = {'P', 'B', 'G', 'D'};
constexpr uint16_t kVersion = 1;

struct Writer {
  unsigned char *p;
  void u16(uint16_t v) {
    p[0] = uint8_t(v), p[1] = uint8_t(v >> 8);
    p += 2;
  }
  void u32(uint32_t v) {
    for (int i = 0; i < 4; i++) p[i] = uint8_t(v >> (8 * i));
    p += 4;
  }
  void i16(int16_t v) { u16(uint16_t(v)); }
  void f32(float v) {
    uint32_t bits;
    std::memcpy(&bits, &v, 4);
    u32(bits);
  }
};

struct Reader {
  const unsigned char *p;
  uint16_t u16() {
    uint16_t v = uint16_t(p[0] | (p[1] << 8));
    p += 2;
    return v;
  }
  uint32_t u32() {
    uint32_t v = 0;
    for (int i = 0; i < 4; i++) v |= uint32_t(p[i]) << (8 * i);
    p += 4;
    return v;
  }
  int16_t i16() { return int16_t(u16()); }
  float f32() {
    const uint32_t bits = u32();
    float v;
    std::memcpy(&v, &bits, 4);
    return v;
  }
};

void writePlant(Writer &w, const sSeedInGame &s) {
  w.i16(s.ID), w.i16(s.x1), w.i16(s.y1), w.i16(s.x2), w.i16(s.y2);
  w.f32(s.dx), w.f32(s.dy), w.f32(s.progress), w.f32(s.zoom);
  w.i16(s.tige), w.i16(s.flower);
  w.f32(s.flowerProgress), w.f32(s.growSpeed), w.f32(s.lifeTime), w.f32(s.rotation);
  w.f32(s.leaveProgress);
  for (const sPetalPosition &l : s.leaves) w.i16(l.decalx), w.i16(l.decaly), w.f32(l.progress);
}

void readPlant(Reader &r, sSeedInGame &s) {
  s.ID = r.i16(), s.x1 = r.i16(), s.y1 = r.i16(), s.x2 = r.i16(), s.y2 = r.i16();
  s.dx = r.f32(), s.dy = r.f32(), s.progress = r.f32(), s.zoom = r.f32();
  s.tige = r.i16(), s.flower = r.i16();
  s.flowerProgress = r.f32(), s.growSpeed = r.f32(), s.lifeTime = r.f32(), s.rotation = r.f32();
  s.leaveProgress = r.f32();
  for (sPetalPosition &l : s.leaves) l.decalx = r.i16(), l.decaly = r.i16(), l.progress = r.f32();
}

bool within(float v, float lo, float hi) { return std::isfinite(v) && v >= lo && v <= hi; }

// A plant the screen can draw and grow: indices inside the tables, a seed
// picture inside the garden picture, a place on the screen, finite numbers.
bool drawable(const sSeedInGame &s) {
  if (s.ID == 0) return true;  // a free slot; nothing reads the rest
  if (s.ID < 1 || s.ID > 10 || s.tige < 1 || s.tige > 9 || s.flower < 1 || s.flower > 9)
    return false;
  if (s.x1 < 0 || s.y1 < 0 || s.x2 > 640 || s.y2 > 480 || s.x1 >= s.x2 || s.y1 >= s.y2)
    return false;
  if (!within(s.dx, -640, 1280) || !within(s.dy, -480, 960)) return false;
  const float numbers[] = {s.progress, s.zoom, s.flowerProgress, s.growSpeed,
                           s.lifeTime, s.rotation, s.leaveProgress};
  for (float v : numbers)
    if (!within(v, -1e7f, 1e7f)) return false;
  for (const sPetalPosition &l : s.leaves)
    if (!within(l.progress, -1, 1)) return false;
  return true;
}

}  // namespace

uint32_t gardenChecksum(const unsigned char *bytes, size_t size) {
  uint32_t crc = 0xFFFFFFFFu;
  for (size_t i = 0; i < size; i++) {
    crc ^= bytes[i];
    for (int k = 0; k < 8; k++) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

void encodeGarden(const sSeedInGame *plants, unsigned char *out) {
  Writer w{out};
  std::memcpy(w.p, kMagic, 4);
  w.p += 4;
  w.u16(kVersion);
  w.u16(kMaxSeeds);
  for (int i = 0; i < kMaxSeeds; i++) writePlant(w, plants[i]);
  w.u32(gardenChecksum(out, kGardenFileSize - 4));
}

bool decodeGarden(const unsigned char *bytes, size_t size, sSeedInGame *plants) {
  std::memset(plants, 0, sizeof(sSeedInGame) * kMaxSeeds);
  if (!bytes || size != kGardenFileSize || std::memcmp(bytes, kMagic, 4) != 0) return false;
  Reader r{bytes + 4};
  if (r.u16() != kVersion || r.u16() != kMaxSeeds) return false;
  Reader sum{bytes + kGardenFileSize - 4};
  if (sum.u32() != gardenChecksum(bytes, kGardenFileSize - 4)) return false;
  static sSeedInGame read[kMaxSeeds];  // the screen's table stays empty until all are good
  for (sSeedInGame &s : read) {
    readPlant(r, s);
    if (!drawable(s)) return false;
  }
  std::memcpy(plants, read, sizeof read);
  return true;
}
