// What a new frame changes on the screen: keeps a copy of the last frame shown and
// compares each new one with it in 32x32 tiles, so a display pushes (and scales)
// only the tiles that changed and nothing at all for a frame that did not. 32-bit
// pixels only. Portable code; one thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

struct KTileRect {
  int x, y, w, h;
};

class KFrameDiff {
public:
  static constexpr int kTile = 32;

  // Compares the frame (w x h pixels, rows pitch bytes apart) with the one kept,
  // keeps it, and returns the changed area as tile-aligned rectangles clipped to
  // the frame (neighbouring tiles merged). The whole frame when nothing of that
  // size is kept yet.
  const std::vector<KTileRect> &update(const uint32_t *pixels, long pitch, int w, int h);
  // The same for a frame known to differ from the one kept only inside `within`
  // (frame rectangles): nothing else is compared.
  const std::vector<KTileRect> &update(const uint32_t *pixels, long pitch, int w, int h,
                                       const std::vector<KTileRect> &within);
  // The next update reports the whole frame (frames were shown without it).
  void forget() { _valid = false; }
  // Whether a frame of this size is kept, so the next update really compares.
  bool keeps(int w, int h) const { return _valid && w == _w && h == _h; }

private:
  // Marks the band's tiles that changed; with `within`, looks only there.
  void compareBand(const uint8_t *pixels, long pitch, int y0, int y1,
                   const std::vector<KTileRect> *within);
  const std::vector<KTileRect> &compare(const uint32_t *pixels, long pitch, int w, int h,
                                        const std::vector<KTileRect> *within);
  // Keeps the band's changed tiles and adds them to the rectangles.
  void takeBand(const uint8_t *pixels, long pitch, int y0, int y1);
  // Adds a run of the band, or grows one of the first `above` rectangles into it.
  void addRect(const KTileRect &run, size_t above);

  std::unique_ptr<uint32_t[]> _kept;  // not cleared when made: a new size keeps the whole frame
  int _w = 0, _h = 0;
  bool _valid = false;  // _kept holds the last frame shown
  std::vector<uint8_t> _dirty;  // per tile of the current band
  std::vector<uint8_t> _look;   // per tile of the current band: may have changed
  std::vector<KTileRect> _rects;
};
