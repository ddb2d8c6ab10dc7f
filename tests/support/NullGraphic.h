// A picture that does nothing: it loads nothing, measures 0 by 0, draws nothing
// and every grab or save fails. Test doubles derive from it and override only
// the operations they record. Test thread only.
#pragma once

#include <cstdint>

#include "graphic/KGraphic.h"

class NullGraphic : public KGraphic {
public:
  bool loadPicture(const char *, bool, bool) override { return false; }
  void freePicture() override {}
  float getWidth() override { return 0; }
  float getHeight() override { return 0; }
  void setTextureQuality(bool) override {}
  void drawRect(float, float, float, float, float, float, float, float) override {}
  void drawLine(float, float, float, float, float, float, float, float) override {}
  void plotPixel(float, float, float, float, float, float) override {}
  void blitRect(float, float, float, float, short, short, bool, bool) override {}
  void blitRectFx(float, float, float, float, short, short, float, float, bool, bool) override {}
  void blitAlphaRect(float, float, float, float, short, short, bool, bool) override {}
  void blitAlphaRectFx(float, float, float, float, short, short, float, float, float, bool,
                       bool) override {}
  void blitTiledRect(short, short, short, short, float, float) override {}
  void blitArbitraryQuad(float, float, float, float, float, float, float, float, float, float,
                         float, float, float, float, float, float) override {}
  void setAlphaMode(long) override {}
  void stretchAlphaRect(float, float, float, float, float, float, float, float, float,
                        float) override {}
  bool grabBackBuffer(KPixelTransformation) override { return false; }
  bool grabFrontBuffer() override { return false; }
  void setColorKey(bool, unsigned char, unsigned char, unsigned char) override {}
  void allowTextureWrap(bool) override {}
  bool saveBackBuffer(const char *, long, long, long) override { return false; }
  void setBlitColor(float, float, float, float) override {}
  bool makePictureFromArray(uint32_t *, long, long, bool) override { return false; }
  void pollArray() override {}
  void selectTexture() override {}

protected:
  void setBlendFactors(KBlendFactor, KBlendFactor) override {}
  void frameSize(long &width, long &height) override { width = height = 0; }
  bool readBackFrame(uint8_t *, long, long, bool, bool &) override { return false; }
};
