// KGraphicGL: the OpenGL picture. One image held as a texture, drawn in
// immediate mode with the window's projection (y up, one unit per pixel).
// Main thread only, with the window's GL context current; class-wide members
// are shared by every picture without locking.
#pragma once

#include <cstdint>
#include <memory>

#include "graphic/KGraphic.h"

struct KImage;

// Width, height and bit depth of a decoded picture during a load; shaped like
// a TGA header but never read from or written to a file.
struct tgaBitmap {
  uint8_t idField = 0;
  uint8_t colorMapType = 0;
  uint8_t imageType = 0;
  uint16_t colorMapSpec1 = 0;
  uint8_t colr = 0;
  uint16_t xstart = 0;
  uint16_t ystart = 0;
  uint16_t width = 0;
  uint16_t height = 0;
  uint8_t bpp = 0;
  uint8_t imageDescriptor = 0;
};

class KGraphicGL : public KGraphic {
public:
  KGraphicGL();
  ~KGraphicGL() override;
  KGraphicGL(const KGraphicGL &) = delete;
  KGraphicGL &operator=(const KGraphicGL &) = delete;

  bool loadPicture(const char *filename, bool hiDef, bool hasalpha) override;
  void freePicture() override;
  float getWidth() override;
  float getHeight() override;
  void setTextureQuality(bool quality) override;
  void drawRect(float x1, float y1, float x2, float y2, float r, float g, float b,
                float blend) override;
  void drawLine(float x1, float y1, float x2, float y2, float r, float g, float b,
                float blend) override;
  void plotPixel(float x1, float y1, float r, float g, float b, float blend) override;
  void blitRect(float x1, float y1, float x2, float y2, short destX, short destY, bool flipx,
                bool flipy) override;
  void blitRectFx(float x1, float y1, float x2, float y2, short destX, short destY, float angle,
                  float zoom, bool flipx, bool flipy) override;
  void blitAlphaRect(float x1, float y1, float x2, float y2, short destX, short destY, bool flipx,
                     bool flipy) override;
  void blitAlphaRectFx(float x1, float y1, float x2, float y2, short destX, short destY,
                       float angle, float zoom, float blend, bool flipx, bool flipy) override;
  void blitTiledRect(short destX, short destY, short width, short height, float tileFactor,
                     float angle) override;
  void blitArbitraryQuad(float sx1, float sy1, float sx2, float sy2, float sx3, float sy3,
                         float sx4, float sy4, float dx1, float dy1, float dx2, float dy2,
                         float dx3, float dy3, float dx4, float dy4) override;
  void stretchAlphaRect(float sx1, float sy1, float sx2, float sy2, float dx1, float dy1,
                        float dx2, float dy2, float blend, float angle) override;
  bool grabBackBuffer(KPixelTransformation pixelTransformationPtr) override;
  bool grabFrontBuffer() override;
  void setColorKey(bool active, unsigned char r, unsigned char g, unsigned char b) override;
  void allowTextureWrap(bool texwRap) override;
  bool makePictureFromArray(uint32_t *userPixelPtr, long width, long height,
                            bool hiDef) override;
  void pollArray() override;
  void selectTexture() override;

  // Called by the window with its size; enables texturing and flat shading
  // when a GL context is current.
  static void setScreenSize(short swidth, short sheight, short sdepth);
  // The window's rectangle-texture capability; pictures never use it.
  static void setRectangleTexSupport(bool supported);
  // A window that draws its frames off screen installs these so that grabs and
  // saves read the frame being drawn (front = false) or the one presented
  // (front = true); restore undoes the selection. Null: plain GL buffers.
  static void setFrameReadHooks(void (*select)(bool front), void (*restore)());

  // Reads and decodes a picture file; null when it cannot be read or decoded.
  std::unique_ptr<KImage> LoadGeneric(const char *filename);
  // Binds the picture's texture unless it is the one bound last.
  void qmx_glBindTexture();

  // Quad emitters; their y arguments are already in device space (y up).
  void GenericBlit(float x1, float y1, float x2, float y2, short destX, short destY, bool flipx,
                   bool flipy);
  void genericStretchBlit(float sx1, float sy1, float sx2, float sy2, float dx1, float dy1,
                          float dx2, float dy2);
  void genericArbitraryBlit(float sx1, float sy1, float sx2, float sy2, float sx3, float sy3,
                            float sx4, float sy4, float dx1, float dy1, float dx2, float dy2,
                            float dx3, float dy3, float dx4, float dy4);

  unsigned int texture = 0;
  uint8_t *_pixels = nullptr;
  uint16_t _sourceAlpha = 0, _destAlpha = 0;
  float _ftextureWIDTH = 0.0f, _ftextureHEIGHT = 0.0f;
  unsigned int _glEnum = 0;
  bool _textureWrap = false;
  bool _ckActive = false;
  unsigned char _ckr = 0, _ckg = 0, _ckb = 0;
  float fimageWidth = 0.0f, fimageHeight = 0.0f;
  uint32_t *_userPixelPtr = nullptr;
  bool _userHiDef = false;

  static short screenWidth, screenHeight;
  static short screenDepth;
  static bool _graphicQuality;
  static int _oldBindedText;
  static bool _rectangleTexCap;
  static long videoMemory;

protected:
  void setBlendFactors(KBlendFactor source, KBlendFactor destination) override;
  void frameSize(long &width, long &height) override;
  bool readBackFrame(uint8_t *rgba, long width, long height, bool scaled, bool &bottomUp) override;

private:
  // Bytes this picture added to videoMemory, so that freeing takes back
  // exactly that (array pictures add nothing).
  long _videoBytes = 0;

  bool isEmpty() const { return fimageWidth <= 0.0f; }
  // The rectangle quad, with the colour given inside it when `rgba` is set.
  void emitQuad(float x1, float y1, float x2, float y2, short destX, short destY, bool flipx,
                bool flipy, const float *rgba);
  // Releases a texture still held before a picture is made again.
  void releaseTexture();
  bool grab(bool back, KPixelTransformation transform);
};
