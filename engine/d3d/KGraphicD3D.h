// KGraphicD3D: the picture of the Direct3D backend. One picture is one texture
// surface of the software device; every blit draws lit-vertex quads through the
// window's device. Textures lost on a display change are reloaded from their file
// at the next blit. Application thread only; the class-wide members are shared.
#pragma once

#include <cstdint>
#include <memory>

#include "graphic/KGraphic.h"
#include "platform/swd3d/SwD3D.h"

struct KImage;

class KGraphicD3D : public KGraphic {
public:
  KGraphicD3D();
  ~KGraphicD3D() override;
  KGraphicD3D(const KGraphicD3D &) = delete;
  KGraphicD3D &operator=(const KGraphicD3D &) = delete;

  bool loadPicture(const char *filename, bool hiDef, bool hasAlpha) override;
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

  // Called by the window whenever its device is made or remade (null objects when
  // it lets them go): stores them and puts the device into the pictures' defaults.
  static void setDirectX(IDirectDraw7 *dd7, IDirect3DDevice7 *d3d, IDirectDrawSurface7 *backbuffer,
                         long width, long height);

  static IDirectDraw7 *_directX;
  static IDirect3DDevice7 *_d3d;
  static IDirectDrawSurface7 *_backBuffer;
  static IDirectDrawSurface7 *_oldBindedText;
  static long _screenWidth, _screenHeight;

  char imageFileName[260];
  bool _currentState;
  D3DBLEND _sourceAlpha, _destAlpha;
  IDirectDrawSurface7 *_surface;
  float _blend;
  D3DTEXTUREMAGFILTER _textureQualityD3D;
  D3DTEXTUREADDRESS _textureWrapD3D;
  int _oldTextureQualityD3D, _oldTextureWrapD3D, _oldsourceAlpha, _olddestAlpha;
  bool _hidef, _hasAlpha;
  int16_t _lineWidth;
  char *_pixels;
  float _ftextureWIDTH, _ftextureHEIGHT;
  float fimageHeight, fimageWidth;
  bool _ckActive;
  bool _textureWrap;
  bool _textureQuality;
  unsigned char _ckr, _ckg, _ckb;

protected:
  void setBlendFactors(KBlendFactor source, KBlendFactor destination) override;
  void frameSize(long &width, long &height) override;
  bool readBackFrame(uint8_t *rgba, long width, long height, bool scaled, bool &bottomUp) override;

private:
  // The file in a square texture: 32-bit when `deep`, else 16-bit.
  bool loadTexture(const char *filename, bool deep, bool hasAlpha);
  std::unique_ptr<KImage> LoadGeneric(const char *filename);
  bool qmx_bindTexture();
  // Binds the picture and moves the world so a quad's corner at the origin
  // lands on (x, y); `saved` gets the world as it was. False: nothing to draw.
  bool beginQuad(float x, float y, D3DMATRIX &saved);
  void GenericBlit(long x1, long y1, long x2, long y2, float destX, float destY, bool flipx,
                   bool flipy);
  void genericStretchBlit(float sx1, float sy1, float sx2, float sy2, float dx1, float dy1,
                          float dx2, float dy2);
  // A lost texture comes back from its file; false when it cannot.
  bool reloadIfLost();
  void applyTextureState();
  D3DCOLOR quadColor() const;
  bool createTexture(int width, int height, const DDPIXELFORMAT &pf);
  bool grab(KPixelTransformation transform);
};
