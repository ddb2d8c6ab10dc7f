// KGraphic: the picture contract. A picture is one image held as a texture plus
// its drawing state; KGraphicGL and KGraphicD3D implement it, KQMX::createKGraphic
// makes one for the window's renderer. Application thread only.
#pragma once

#include <cstdint>

// Called for each grabbed pixel, bottom row first; may change the colour.
typedef void (*KPixelTransformation)(long x, long y, long *r, long *g, long *b);

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
  virtual void setAlphaMode(long alphamode) = 0;
  virtual void stretchAlphaRect(float sx1, float sy1, float sx2, float sy2, float dx1, float dy1,
                                float dx2, float dy2, float blend, float angle) = 0;
  virtual bool grabBackBuffer(KPixelTransformation pixelTransformationPtr) = 0;
  virtual bool grabFrontBuffer() = 0;
  virtual void setColorKey(bool active, unsigned char r, unsigned char g, unsigned char b) = 0;
  virtual void allowTextureWrap(bool texwRap) = 0;
  virtual bool saveBackBuffer(const char *cpcFileName, long imageFormat, long resizeW,
                              long resizeH) = 0;
  virtual void setBlitColor(float r, float g, float b, float a) = 0;
  // Pixels are 32-bit values, red in the lowest byte, then green, blue, alpha.
  virtual bool makePictureFromArray(uint32_t *userPixelPtr, long width, long height,
                                    bool hiDef) = 0;
  virtual void pollArray() = 0;
  virtual void selectTexture() = 0;

protected:
  uint32_t *_userPixelPtr = nullptr;  // the caller's array of an array picture; not owned
  bool _userHiDef = false;
};
