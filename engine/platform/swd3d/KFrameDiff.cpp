// Tile comparison of successive frames (see KFrameDiff.h). A band of tile rows is
// compared a whole row at a time first: at rest almost every row is unchanged,
// and one memcmp per row is then all a frame costs.
#include "platform/swd3d/KFrameDiff.h"

#include <algorithm>
#include <cstring>

const std::vector<KTileRect> &KFrameDiff::update(const uint32_t *pixels, long pitch, int w,
                                                  int h) {
  return compare(pixels, pitch, w, h, nullptr);
}

const std::vector<KTileRect> &KFrameDiff::update(const uint32_t *pixels, long pitch, int w, int h,
                                                  const std::vector<KTileRect> &within) {
  return compare(pixels, pitch, w, h, &within);
}

const std::vector<KTileRect> &KFrameDiff::compare(const uint32_t *pixels, long pitch, int w,
                                                   int h, const std::vector<KTileRect> *within) {
  _rects.clear();
  if (!pixels || w <= 0 || h <= 0) return _rects;
  const uint8_t *bytes = reinterpret_cast<const uint8_t *>(pixels);
  const bool fresh = !_valid || w != _w || h != _h;
  if (w != _w || h != _h) {
    _w = w, _h = h;
    _kept.reset(new uint32_t[size_t(w) * size_t(h)]);
  }
  _valid = true;
  _dirty.assign(size_t((w + kTile - 1) / kTile), 0);
  for (int y0 = 0; y0 < h; y0 += kTile) {
    const int y1 = std::min(h, y0 + kTile);
    if (fresh)
      std::fill(_dirty.begin(), _dirty.end(), 1);
    else
      compareBand(bytes, pitch, y0, y1, within);
    takeBand(bytes, pitch, y0, y1);
  }
  return _rects;
}

void KFrameDiff::compareBand(const uint8_t *pixels, long pitch, int y0, int y1,
                             const std::vector<KTileRect> *within) {
  std::fill(_dirty.begin(), _dirty.end(), 0);
  const size_t tiles = _dirty.size();
  _look.assign(tiles, within ? 0 : 1);
  int from = within ? y1 : y0, to = within ? y0 : y1;  // the rows to compare
  if (within) {
    for (const KTileRect &r : *within) {
      if (r.w <= 0 || r.h <= 0 || r.y >= y1 || r.y + r.h <= y0) continue;
      from = std::min(from, std::max(y0, r.y));
      to = std::max(to, std::min(y1, r.y + r.h));
      const size_t t1 = std::min(tiles, size_t(std::max(0, r.x + r.w - 1)) / kTile + 1);
      for (size_t t = size_t(std::max(0, r.x)) / kTile; t < t1; ++t) _look[t] = 1;
    }
  }
  for (int y = from; y < to; ++y) {
    const uint32_t *row = reinterpret_cast<const uint32_t *>(pixels + long(y) * pitch);
    const uint32_t *kept = &_kept[size_t(y) * size_t(_w)];
    if (!within && std::memcmp(row, kept, size_t(_w) * 4) == 0) continue;
    for (size_t t = 0; t < tiles; ++t) {
      if (_dirty[t] || !_look[t]) continue;
      const size_t x = t * kTile, n = std::min(size_t(kTile), size_t(_w) - x);
      if (std::memcmp(row + x, kept + x, n * 4) != 0) _dirty[t] = 1;
    }
  }
}

void KFrameDiff::takeBand(const uint8_t *pixels, long pitch, int y0, int y1) {
  const size_t tiles = _dirty.size();
  const size_t above = _rects.size();
  for (size_t t = 0; t < tiles;) {
    if (!_dirty[t]) {
      ++t;
      continue;
    }
    size_t end = t;
    while (end < tiles && _dirty[end]) ++end;
    const int x = int(t) * kTile, w = std::min(int(end) * kTile, _w) - x;
    for (int y = y0; y < y1; ++y)
      std::memcpy(&_kept[size_t(y) * size_t(_w) + size_t(x)],
                  reinterpret_cast<const uint32_t *>(pixels + long(y) * pitch) + x, size_t(w) * 4);
    addRect(KTileRect{x, y0, w, y1 - y0}, above);
    t = end;
  }
}

void KFrameDiff::addRect(const KTileRect &run, size_t above) {
  // The same run in the band above grows down instead of adding a rectangle.
  for (size_t i = 0; i < above; ++i) {
    KTileRect &r = _rects[i];
    if (r.x == run.x && r.w == run.w && r.y + r.h == run.y) {
      r.h += run.h;
      return;
    }
  }
  _rects.push_back(run);
}
