// The garden file: every planted seed's kind, place, growth and flower, kept
// from one run to the next in "<documents>/garden.dat". The codec here is pure
// (no engine calls), so the fuzz target links it alone. Application thread only.
#pragma once

#include <cstddef>
#include <cstdint>

#include "activities/seeds.h"

// Layout, all little-endian: "PBGD", version (u16, 1), plant count (u16, 100),
// 100 plant records of 98 bytes, then the CRC-32 of every byte before it.
// A plant record holds sSeedInGame's fields in order: ID, x1, y1, x2, y2 (i16),
// dx, dy, progress, zoom (f32), tige, flower (i16), flowerProgress, growSpeed,
// lifeTime, rotation, leaveProgress (f32), then 6 leaves of decalx, decaly
// (i16) and progress (f32). Floats are their IEEE 754 bits.
constexpr size_t kGardenRecordSize = 98;
constexpr size_t kGardenFileSize = 8 + kMaxSeeds * kGardenRecordSize + 4;  // 9812

// The whole file image of `plants` (kMaxSeeds of them) into `out`.
void encodeGarden(const sSeedInGame *plants, unsigned char *out);

// Fills `plants` from a file image. Only a whole image of this version with a
// matching checksum and plants the screen can draw is taken: anything else
// (short, long, foreign, damaged) leaves every slot free and returns false.
bool decodeGarden(const unsigned char *bytes, size_t size, sSeedInGame *plants);

// CRC-32 (the common reflected polynomial 0xEDB88320).
uint32_t gardenChecksum(const unsigned char *bytes, size_t size);
