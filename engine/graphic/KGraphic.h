// KGraphic: the picture contract. A picture is one image held as a texture plus
// its drawing state; KGraphicGL and KGraphicD3D implement it, KQMX::createKGraphic
// makes one for the window's renderer. What is the same on every renderer (the
// blit colour, the alpha modes, saving the frame to a file) is done here once.
// Application thread only.
#pragma once

#include <cstdint>

// Called for each grabbed pixel; may change the colour. y counts from the frame's
// top row on every renderer.
typedef void (*KPixelTransformation)(long x, long y, long *r, long *g, long *b);

// Blend factors of the alpha modes, named apart from any renderer.
enum KBlendFactor { K_BLEND_ZERO, K_BLEND_ONE, K_BLEND_SRC_ALPHA, K_BLEND_INV_SRC_ALPHA, K_BLEND_DST_ALPHA };

class KGraphic {
public:
  // Operations keep their contract order, which is also their virtual slot order.
  virtual ~KGraphic() {}
  virtual bool loadPicture(const char *filename, bool hiDef, bool hasalpha) = 0;
  virtual void freePicture() = 0;
  virtual float getWidth() = 0;
  virtual float getHeight() = 0;
  virtual void setTextureQuality(bool quality) = 0;
  virtual void drawRect(float x1, float y1, float x2, float y2, float r, float g, float b,
                        float blend) = 0;
  virtual void drawLine(float x1, float y1, float x2, float y2, float r, float g, float b,
                        float blend) = 0;
  virtual void plotPixel(float x1, float y1, float r, float g, float b, float blend) = 0;
  virtual void blitRect(float x1, float y1, float x2, float y2, short destX, short destY,
                        bool flipx, bool flipy) = 0;
  virtual void blitRectFx(float x1, float y1, float x2, float y2, short destX, short destY,
                          float angle, float zoom, bool flipx, bool flipy) = 0;
  virtual void blitAlphaRect(float x1, float y1, float x2, float y2, short destX, short destY,
                             bool flipx, bool flipy) = 0;
  virtual void blitAlphaRectFx(float x1, float y1, float x2, float y2, short destX, short destY,
                               float angle, float zoom, float blend, bool flipx,
                               bool flipy) = 0;
  virtual void blitTiledRect(short destX, short destY, short width, short height,
                             float tileFactor, float angle) = 0;
  virtual void blitArbitraryQuad(float sx1, float sy1, float sx2, float sy2, float sx3,
                                 float sy3, float sx4, float sy4, float dx1, float dy1,
                                 float dx2, float dy2, float dx3, float dy3, float dx4,
                                 float dy4) = 0;
  // 0: source alpha over destination alpha, 1: ordinary transparency, 2: additive
  // premultiplied, 3: erase by alpha; other values leave the mode as it is.
  virtual void setAlphaMode(long alphamode);
  virtual void stretchAlphaRect(float sx1, float sy1, float sx2, float sy2, float dx1, float dy1,
                                float dx2, float dy2, float blend, float angle) = 0;
  virtual bool grabBackBuffer(KPixelTransformation pixelTransformationPtr) = 0;
  virtual bool grabFrontBuffer() = 0;
  virtual void setColorKey(bool active, unsigned char r, unsigned char g, unsigned char b) = 0;
  virtual void allowTextureWrap(bool texwRap) = 0;
  // Writes the frame being drawn to a file (K_IMAGE_BMP..K_IMAGE_PNG), scaled to
  // resizeW x resizeH when both are positive. False when nothing was written: no
  // such format, a size beyond the frame, a frame that cannot be read, a file that
  // cannot be written. BMP and JPEG get RGB, TGA and PNG opaque RGBA. The frame
  // is left as it was.
  virtual bool saveBackBuffer(const char *cpcFileName, long imageFormat, long resizeW,
                              long resizeH);
  // Tints later blits (clamped to 0..1); white and opaque is no tint.
  virtual void setBlitColor(float r, float g, float b, float a);
  // Pixels are 32-bit values, red in the lowest byte, then green, blue, alpha.
  virtual bool makePictureFromArray(uint32_t *userPixelPtr, long width, long height,
                                    bool hiDef) = 0;
  virtual void pollArray() = 0;
  virtual void selectTexture() = 0;

  bool _blitColorChanged = false;
  float _blitRed = 1.0f, _blitGreen = 1.0f, _blitBlue = 1.0f, _blitAlpha = 1.0f;

protected:
  // The renderer's half of setAlphaMode: store the factors in its own terms.
  virtual void setBlendFactors(KBlendFactor source, KBlendFactor destination) = 0;
  // The renderer's half of saveBackBuffer: the frame's size, and its pixels as
  // RGBA rows (width x height, scaled to that size when `scaled`), top row first
  // unless bottomUp is set. Leaves the frame as it was.
  virtual void frameSize(long &width, long &height) = 0;
  virtual bool readBackFrame(uint8_t *rgba, long width, long height, bool scaled,
                             bool &bottomUp) = 0;

  uint32_t *_userPixelPtr = nullptr;  // the caller's array of an array picture; not owned
  bool _userHiDef = false;
};
