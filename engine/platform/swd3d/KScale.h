// Bilinear scaling of 32-bit XRGB pictures on the processor, for frames shown
// scaled in full screen on a machine without a GPU. Portable code (SSE2 where the
// compiler targets it).
#pragma once

#include <cstdint>
#include <vector>

class KBilinearScaler {
public:
  // Scales the whole source (sw x sh, rows srcPitch bytes apart) onto dw x dh
  // destination pixels (rows dstPitch bytes apart). Pixel centres line up, edges
  // are clamped. All four bytes are blended alike.
  void scale(const uint32_t *src, long srcPitch, int sw, int sh, uint32_t *dst, long dstPitch,
             int dw, int dh);
  // Only the destination area a (inside dw x dh; dst still points at the whole
  // destination's top-left pixel): the same pixels the whole scale gives there.
  void scaleArea(const uint32_t *src, long srcPitch, int sw, int sh, uint32_t *dst,
                 long dstPitch, int dw, int dh, int ax, int ay, int aw, int ah);
  // The destination area whose pixels read any of the source rectangle's pixels.
  void affectedArea(int sw, int sh, int dw, int dh, int sx, int sy, int sWidth, int sHeight,
                    int &ax, int &ay, int &aw, int &ah);

private:
  void horizontal(const uint32_t *srcRow, uint32_t *out, int i0, int i1) const;
  void prepare(int sw, int sh, int dw, int dh);

  int _sw = 0, _sh = 0, _dw = 0, _dh = 0;
  std::vector<int> _x0, _y0;            // left/top source sample of each output column/row
  std::vector<uint8_t> _xw, _yw;        // weight of the right/bottom sample, 0..128
  std::vector<int16_t> _xw16;           // _xw, each repeated for the four bytes of a pixel
  std::vector<uint32_t> _rows[2];       // two horizontally scaled source rows
  int _rowOf[2] = {-1, -1};             // which source row each holds
};
