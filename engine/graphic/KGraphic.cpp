// The picture operations every renderer shares (see KGraphic.h).
#include "graphic/KGraphic.h"

#include <new>
#include <vector>

#include "graphic/KImageCodec.h"

void KGraphic::setAlphaMode(long alphamode) {
  static const KBlendFactor modes[4][2] = {
      {K_BLEND_SRC_ALPHA, K_BLEND_DST_ALPHA},
      {K_BLEND_SRC_ALPHA, K_BLEND_INV_SRC_ALPHA},
      {K_BLEND_ONE, K_BLEND_INV_SRC_ALPHA},
      {K_BLEND_ZERO, K_BLEND_INV_SRC_ALPHA},
  };
  if (alphamode < 0 || alphamode > 3) return;
  setBlendFactors(modes[alphamode][0], modes[alphamode][1]);
}

void KGraphic::setBlitColor(float r, float g, float b, float a) {
  if (r == 1.0f && g == 1.0f && b == 1.0f && a == 1.0f) {
    _blitColorChanged = false;
    return;
  }
  auto clamp01 = [](float v) { return v > 1.0f ? 1.0f : (v < 0.0f ? 0.0f : v); };
  _blitRed = clamp01(r);
  _blitGreen = clamp01(g);
  _blitBlue = clamp01(b);
  _blitAlpha = clamp01(a);
  _blitColorChanged = true;
}

bool KGraphic::saveBackBuffer(const char *cpcFileName, long imageFormat, long resizeW,
                              long resizeH) {
  if (!cpcFileName || imageFormat < K_IMAGE_BMP || imageFormat > K_IMAGE_PNG) return false;
  long W = 0, H = 0;
  frameSize(W, H);
  const bool scaled = resizeW > 0 && resizeH > 0;
  const long outW = scaled ? resizeW : W, outH = scaled ? resizeH : H;
  // Only the frame can be read back: a larger image would hold pixels nobody drew.
  if (outW <= 0 || outH <= 0 || outW > W || outH > H) return false;
  std::vector<uint8_t> rgba;
  try {
    rgba.resize(size_t(outW) * size_t(outH) * 4);
  } catch (const std::bad_alloc &) {
    return false;
  }
  bool bottomUp = false;
  if (!readBackFrame(rgba.data(), outW, outH, scaled, bottomUp)) return false;

  const KImageFormat format = KImageFormat(imageFormat);
  const int comp = (format == K_IMAGE_PNG || format == K_IMAGE_TGA) ? 4 : 3;
  // The frame has no alpha channel: what it shows is opaque.
  size_t j = 0;
  for (size_t i = 0; i < rgba.size(); i += 4) {
    rgba[j] = rgba[i], rgba[j + 1] = rgba[i + 1], rgba[j + 2] = rgba[i + 2];
    if (comp == 4) rgba[j + 3] = 255;
    j += size_t(comp);
  }
  return KImageCodec::encodeToFile(cpcFileName, format, int(outW), int(outH), comp, rgba.data(),
                                   size_t(outW) * size_t(comp), bottomUp);
}
