// KGraphicGL: textures made from picture files, caller arrays and the frame
// buffer, drawn with OpenGL 1.1 immediate mode. Needs the window's GL context
// current on the calling (main) thread; device errors are not queried.
#include "gl/KGraphicGL.h"

#include <GL/gl.h>

#include <cstring>
#include <new>
#include <utility>
#include <vector>

#include "graphic/KImageCodec.h"
#include "tools/KLog.h"
#include "tools/KMiscTools.h"

#ifndef GL_CLAMP
#define GL_CLAMP 0x2900
#endif
#ifndef GL_READ_FRAMEBUFFER_BINDING
#define GL_READ_FRAMEBUFFER_BINDING 0x8CAA
#endif

short KGraphicGL::screenWidth = 0;
short KGraphicGL::screenHeight = 0;
short KGraphicGL::screenDepth = 0;
bool KGraphicGL::_graphicQuality = false;
int KGraphicGL::_oldBindedText = -1;
bool KGraphicGL::_rectangleTexCap = false;
long KGraphicGL::videoMemory = 0;

namespace {

// Float to vertex coordinate: truncation toward zero.
inline int whole(float v) { return static_cast<int>(v); }

// Screen y (down) to device y (up).
inline float deviceY(float y) { return static_cast<float>(KGraphicGL::screenHeight) - y; }

inline long bytesPerTexel() { return KGraphicGL::screenDepth / 8; }

void setFilter(bool linear) {
  GLint f = linear ? GL_LINEAR : GL_NEAREST;
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, f);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, f);
}

void setWrap(bool repeat) {
  GLint w = repeat ? GL_REPEAT : GL_CLAMP;
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, w);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, w);
}

}  // namespace

KGraphicGL::KGraphicGL() {
  if (screenWidth == 0) {
    KMiscTools::messageBox("Screen Dimensions not specified, you will not see anything",
                           "KGraphicGL::SetScreenSize Not Called!");
  }
  _pixels = nullptr;
  fimageWidth = fimageHeight = 0.0f;
  _ftextureWIDTH = _ftextureHEIGHT = 0.0f;
  _userPixelPtr = nullptr;
  _userHiDef = false;
  setAlphaMode(1);
  _glEnum = GL_TEXTURE_2D;
  _ckActive = false;
  _textureWrap = false;
  _blitColorChanged = false;
  _rectangleTexCap = false;
}

KGraphicGL::~KGraphicGL() { freePicture(); }

void KGraphicGL::setScreenSize(short swidth, short sheight, short sdepth) {
  screenWidth = swidth;
  screenHeight = sheight;
  screenDepth = sdepth;
  // The window calls this once before its context is current; GL calls then
  // would have nowhere to go.
  if (glGetString(GL_VERSION) != nullptr) {
    glEnable(GL_TEXTURE_2D);
    glShadeModel(GL_FLAT);
  }
}

void KGraphicGL::setRectangleTexSupport(bool supported) {
  (void)supported;
  _rectangleTexCap = false;
}

std::unique_ptr<KImage> KGraphicGL::LoadGeneric(const char *filename) {
  std::unique_ptr<KImage> img(new (std::nothrow) KImage());
  if (!img || !KImageCodec::readFile(filename, *img)) return nullptr;
  return img;
}

void KGraphicGL::qmx_glBindTexture() {
  if (_oldBindedText != static_cast<int>(texture)) {
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, texture);
    _oldBindedText = static_cast<int>(texture);
  } else {
    // Something outside the pictures (the window's dimming overlay) may have
    // turned texturing off without forgetting the binding; a hit must still
    // draw textured.
    glEnable(GL_TEXTURE_2D);
  }
}

void KGraphicGL::releaseTexture() {
  if (!isEmpty()) freePicture();
}

bool KGraphicGL::loadPicture(const char *filename, bool hiDef, bool hasalpha) {
  freePicture();
  // Loading makes the picture again: it no longer mirrors a caller's array.
  _userPixelPtr = nullptr;

  std::unique_ptr<KImage> img = LoadGeneric(filename);
  if (!img) return false;

  tgaBitmap bitmap;
  bitmap.width = static_cast<uint16_t>(img->width);
  bitmap.height = static_cast<uint16_t>(img->height);
  bitmap.bpp = static_cast<uint8_t>(img->hasAlpha ? 32 : img->bpp);

  glLoadIdentity();
  glFlush();
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);

  int side = KImageCodec::textureSide(bitmap.width, bitmap.height);
  std::vector<uint8_t> staging;
  if (!KImageCodec::toTexels(*img, side, bitmap.bpp == 32, _ckActive, _ckr, _ckg, _ckb,
                             staging)) {
    logTrouble("pictures", "the picture %s could not be loaded (no %dx%d texture)", filename, side, side);
    return false;
  }
  _pixels = staging.data();
  img.reset();

  fimageWidth = bitmap.width;
  fimageHeight = bitmap.height;
  _ftextureWIDTH = _ftextureHEIGHT = static_cast<float>(side);

  glLoadIdentity();
  glGenTextures(1, &texture);
  glDisable(GL_TEXTURE_2D);
  glEnable(GL_TEXTURE_2D);
  glBindTexture(GL_TEXTURE_2D, texture);
  _oldBindedText = static_cast<int>(texture);

  GLint internal = hasalpha ? (hiDef ? GL_RGBA8 : GL_RGBA) : (hiDef ? GL_RGB8 : GL_RGB);
  glTexImage2D(GL_TEXTURE_2D, 0, internal, side, side, 0, GL_RGBA, GL_UNSIGNED_BYTE, _pixels);
  setTextureQuality(_graphicQuality);
  setWrap(_textureWrap);

  _pixels = nullptr;
  _videoBytes = bytesPerTexel() * side * side;
  videoMemory += _videoBytes;
  return true;
}

bool KGraphicGL::makePictureFromArray(uint32_t *userPixelPtr, long width, long height,
                                      bool hiDef) {
  if (userPixelPtr == nullptr || width <= 0 || height <= 0) return false;
  // A texture side beyond this is refused by every device anyway, and the key
  // pass below must not run over a nonsensical count.
  if (width > 32768 || height > 32768) return false;
  releaseTexture();

  if (_ckActive) {
    uint32_t key = (static_cast<uint32_t>(_ckb) << 16) | (static_cast<uint32_t>(_ckg) << 8) | _ckr;
    size_t count = static_cast<size_t>(width) * static_cast<size_t>(height);
    for (size_t i = 0; i < count; i++) {
      if ((userPixelPtr[i] & 0xFFFFFFu) == key) userPixelPtr[i] = 0;
    }
  }
  _userPixelPtr = userPixelPtr;

  glLoadIdentity();
  glFlush();
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);

  fimageWidth = static_cast<float>(width);
  fimageHeight = static_cast<float>(height);
  _ftextureWIDTH = fimageWidth;
  _ftextureHEIGHT = fimageHeight;
  _glEnum = GL_TEXTURE_2D;

  glGenTextures(1, &texture);
  glBindTexture(GL_TEXTURE_2D, texture);
  _oldBindedText = static_cast<int>(texture);
  _userHiDef = hiDef;
  glTexImage2D(GL_TEXTURE_2D, 0, hiDef ? GL_RGBA8 : GL_RGBA, static_cast<GLsizei>(width),
               static_cast<GLsizei>(height), 0, GL_RGBA, GL_UNSIGNED_BYTE, userPixelPtr);
  setTextureQuality(_graphicQuality);
  setWrap(false);

  delete[] _pixels;
  _pixels = nullptr;
  _videoBytes = 0;
  return true;
}

void KGraphicGL::pollArray() {
  if (_userPixelPtr == nullptr || isEmpty()) return;
  glLoadIdentity();
  glDisable(GL_TEXTURE_2D);
  glEnable(GL_TEXTURE_2D);
  qmx_glBindTexture();
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, static_cast<GLsizei>(fimageWidth),
                  static_cast<GLsizei>(fimageHeight), GL_RGBA, GL_UNSIGNED_BYTE, _userPixelPtr);
}

void KGraphicGL::freePicture() {
  delete[] _pixels;
  _pixels = nullptr;
  if (fimageWidth > 0.0f) {
    videoMemory -= _videoBytes;
    _videoBytes = 0;
    glDeleteTextures(1, &texture);
    fimageWidth = 0.0f;
    fimageHeight = 0.0f;
  }
}

float KGraphicGL::getWidth() { return fimageWidth; }

float KGraphicGL::getHeight() { return fimageHeight; }

void KGraphicGL::setTextureQuality(bool quality) {
  qmx_glBindTexture();
  setFilter(quality);
}

void KGraphicGL::setColorKey(bool active, unsigned char r, unsigned char g, unsigned char b) {
  _ckActive = active;
  _ckr = r;
  _ckg = g;
  _ckb = b;
}

void KGraphicGL::allowTextureWrap(bool texwRap) {
  _textureWrap = texwRap;
  qmx_glBindTexture();
  setWrap(texwRap);
}

void KGraphicGL::selectTexture() {
  glEnable(GL_TEXTURE_2D);
  // Lands on whatever texture is bound at this moment, before the picture's own.
  setWrap(true);
  qmx_glBindTexture();
}

// ---- drawing ----

void KGraphicGL::setBlendFactors(KBlendFactor source, KBlendFactor destination) {
  static const uint16_t factors[] = {GL_ZERO, GL_ONE, GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA,
                                     GL_DST_ALPHA};
  _sourceAlpha = factors[source];
  _destAlpha = factors[destination];
}

void KGraphicGL::GenericBlit(float x1, float y1, float x2, float y2, short destX, short destY,
                             bool flipx, bool flipy) {
  emitQuad(x1, y1, x2, y2, destX, destY, flipx, flipy, nullptr);
}

void KGraphicGL::emitQuad(float x1, float y1, float x2, float y2, short destX, short destY,
                          bool flipx, bool flipy, const float *rgba) {
  int w = whole(x2 - x1);
  int h = whole(y2 - y1);
  float u1 = x1 / _ftextureWIDTH, u2 = x2 / _ftextureWIDTH;
  float v1 = y1 / _ftextureHEIGHT, v2 = y2 / _ftextureHEIGHT;
  if (flipx) std::swap(u1, u2);
  if (flipy) std::swap(v1, v2);
  int X = destX, Y = destY;
  glBegin(GL_QUADS);
  // Given inside the quad, the colour travels with the vertices: a colour
  // change outside glBegin would end the driver's batch at every sprite. The
  // current colour afterwards is the same either way.
  if (rgba != nullptr) glColor4fv(rgba);
  glTexCoord2f(u1, v1);
  glVertex2i(X, Y);
  glTexCoord2f(u1, v2);
  glVertex2i(X, Y - h);
  glTexCoord2f(u2, v2);
  glVertex2i(X + w, Y - h);
  glTexCoord2f(u2, v1);
  glVertex2i(X + w, Y);
  glEnd();
}

void KGraphicGL::genericStretchBlit(float sx1, float sy1, float sx2, float sy2, float dx1,
                                    float dy1, float dx2, float dy2) {
  float u1 = sx1 / _ftextureWIDTH, u2 = sx2 / _ftextureWIDTH;
  float v1 = sy1 / _ftextureHEIGHT, v2 = sy2 / _ftextureHEIGHT;
  glBegin(GL_QUADS);
  glTexCoord2f(u1, v1);
  glVertex2i(whole(dx1), whole(dy1));
  glTexCoord2f(u1, v2);
  glVertex2i(whole(dx1), whole(dy2));
  glTexCoord2f(u2, v2);
  glVertex2i(whole(dx2), whole(dy2));
  glTexCoord2f(u2, v1);
  glVertex2i(whole(dx2), whole(dy1));
  glEnd();
}

void KGraphicGL::genericArbitraryBlit(float sx1, float sy1, float sx2, float sy2, float sx3,
                                      float sy3, float sx4, float sy4, float dx1, float dy1,
                                      float dx2, float dy2, float dx3, float dy3, float dx4,
                                      float dy4) {
  const float sx[4] = {sx1, sx2, sx3, sx4}, sy[4] = {sy1, sy2, sy3, sy4};
  const float dx[4] = {dx1, dx2, dx3, dx4}, dy[4] = {dy1, dy2, dy3, dy4};
  glBegin(GL_QUADS);
  for (int i = 0; i < 4; i++) {
    glTexCoord2f(sx[i] / _ftextureWIDTH, sy[i] / _ftextureHEIGHT);
    glVertex2i(whole(dx[i]), whole(dy[i]));
  }
  glEnd();
}

// Textured operations on an empty picture draw nothing: its texture name is
// not a picture's, and drawing it would show a flat box in the current colour.

void KGraphicGL::blitRect(float x1, float y1, float x2, float y2, short destX, short destY,
                          bool flipx, bool flipy) {
  if (isEmpty()) return;
  qmx_glBindTexture();
  glDisable(GL_BLEND);
  short Y = static_cast<short>(screenHeight - destY);
  // No transform happens between saving and restoring the matrix, so neither
  // is done: each would end the driver's batch of quads.
  //
  // Under an opaque white colour, modulating changes nothing; replacing gives
  // the same pixels and lets software drivers copy texels outright, which
  // matters for full-screen backgrounds.
  GLfloat c[4] = {0.0f, 0.0f, 0.0f, 0.0f};
  glGetFloatv(GL_CURRENT_COLOR, c);
  bool plain = c[0] == 1.0f && c[1] == 1.0f && c[2] == 1.0f && c[3] == 1.0f;
  if (plain) glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
  GenericBlit(x1, y1, x2, y2, destX, Y, flipx, flipy);
  if (plain) glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
}

void KGraphicGL::blitRectFx(float x1, float y1, float x2, float y2, short destX, short destY,
                            float angle, float zoom, bool flipx, bool flipy) {
  if (zoom == 0.0f || isEmpty()) return;
  float mx = (x2 - x1) / 2.0f;
  float my = (y2 - y1) / 2.0f;
  glMatrixMode(GL_MODELVIEW);
  glPushMatrix();
  glTranslatef(destX + mx, (screenHeight - destY) - my, 0.0f);
  glRotatef(angle, 0.0f, 0.0f, 1.0f);
  glScalef(zoom, zoom, 0.0f);
  qmx_glBindTexture();
  glDisable(GL_BLEND);
  GenericBlit(x1, y1, x2, y2, static_cast<short>(whole(-mx)), static_cast<short>(whole(my)),
              flipx, flipy);
  glPopMatrix();
}

void KGraphicGL::blitAlphaRect(float x1, float y1, float x2, float y2, short destX, short destY,
                               bool flipx, bool flipy) {
  if (isEmpty()) return;
  qmx_glBindTexture();
  glEnable(GL_BLEND);
  glBlendFunc(_sourceAlpha, _destAlpha);
  short Y = static_cast<short>(screenHeight - destY);
  const float white[4] = {1.0f, 1.0f, 1.0f, 1.0f};
  const float tint[4] = {_blitRed, _blitGreen, _blitBlue, _blitAlpha};
  emitQuad(x1, y1, x2, y2, destX, Y, flipx, flipy, _blitColorChanged ? tint : white);
}

void KGraphicGL::blitAlphaRectFx(float x1, float y1, float x2, float y2, short destX, short destY,
                                 float angle, float zoom, float blend, bool flipx, bool flipy) {
  if (zoom == 0.0f || blend <= 0.0f || isEmpty()) return;
  float mx = (x2 - x1) / 2.0f;
  float my = (y2 - y1) / 2.0f;
  short Y = static_cast<short>(screenHeight - destY);
  bool transformed = !(angle == 0.0f && zoom == 1.0f);
  if (transformed) {
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glTranslatef(destX + mx, Y - my, 0.0f);
    if (angle != 0.0f) glRotatef(angle, 0.0f, 0.0f, 1.0f);
    if (zoom != 1.0f) glScalef(zoom, zoom, 0.0f);
  }
  if (_blitColorChanged) {
    glColor4f(_blitRed, _blitGreen, _blitBlue, _blitAlpha * blend);
  } else {
    glColor4f(1.0f, 1.0f, 1.0f, blend);
  }
  qmx_glBindTexture();
  glEnable(GL_BLEND);
  glBlendFunc(_sourceAlpha, _destAlpha);
  if (transformed) {
    GenericBlit(x1, y1, x2, y2, static_cast<short>(whole(-mx)), static_cast<short>(whole(my)),
                flipx, flipy);
    glPopMatrix();
  } else {
    GenericBlit(x1, y1, x2, y2, destX, Y, flipx, flipy);
  }
  glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
}

void KGraphicGL::stretchAlphaRect(float sx1, float sy1, float sx2, float sy2, float dx1,
                                  float dy1, float dx2, float dy2, float blend, float angle) {
  if (isEmpty()) return;
  qmx_glBindTexture();
  glEnable(GL_BLEND);
  glBlendFunc(_sourceAlpha, _destAlpha);
  float mx = (dx2 - dx1) / 2.0f;
  float my = (dy2 - dy1) / 2.0f;
  float ddy1 = deviceY(dy1), ddy2 = deviceY(dy2);
  if (_blitColorChanged) {
    glColor4f(_blitRed, _blitGreen, _blitBlue, _blitAlpha * blend);
  } else if (blend >= 0.0f && blend != 1.0f) {
    glColor4f(1.0f, 1.0f, 1.0f, blend);
  } else {
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
  }
  if (angle != 0.0f) {
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glTranslatef(dx1 + mx, ddy1 - my, 0.0f);
    glRotatef(angle, 0.0f, 0.0f, 1.0f);
    genericStretchBlit(sx1, sy1, sx2, sy2, -mx, my, mx, -my);
    glPopMatrix();
  } else {
    genericStretchBlit(sx1, sy1, sx2, sy2, dx1, ddy1, dx2, ddy2);
  }
  glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
}

void KGraphicGL::blitArbitraryQuad(float sx1, float sy1, float sx2, float sy2, float sx3,
                                   float sy3, float sx4, float sy4, float dx1, float dy1,
                                   float dx2, float dy2, float dx3, float dy3, float dx4,
                                   float dy4) {
  if (isEmpty()) return;
  qmx_glBindTexture();
  glEnable(GL_BLEND);
  glBlendFunc(_sourceAlpha, _destAlpha);
  if (_blitColorChanged) {
    glColor4f(_blitRed, _blitGreen, _blitBlue, _blitAlpha);
  } else {
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
  }
  genericArbitraryBlit(sx1, sy1, sx2, sy2, sx3, sy3, sx4, sy4, dx1, deviceY(dy1), dx2,
                       deviceY(dy2), dx3, deviceY(dy3), dx4, deviceY(dy4));
}

void KGraphicGL::blitTiledRect(short destX, short destY, short width, short height,
                               float tileFactor, float angle) {
  if (isEmpty()) return;
  int mx = width / 2;
  int my = height / 2;
  glDisable(GL_BLEND);
  int Y = screenHeight - destY;
  qmx_glBindTexture();
  glMatrixMode(GL_MODELVIEW);
  glPushMatrix();
  glTranslatef(static_cast<float>(destX + mx), static_cast<float>(Y - my), 0.0f);
  glRotatef(angle, 0.0f, 0.0f, 1.0f);
  // Texture points in whole-texture units; the tiles come out turned a half turn.
  glBegin(GL_QUADS);
  glTexCoord2f(tileFactor, tileFactor);
  glVertex2i(-mx, my);
  glTexCoord2f(tileFactor, 0.0f);
  glVertex2i(-mx, -my);
  glTexCoord2f(0.0f, 0.0f);
  glVertex2i(mx, -my);
  glTexCoord2f(0.0f, tileFactor);
  glVertex2i(mx, my);
  glEnd();
  glPopMatrix();
}

void KGraphicGL::drawRect(float x1, float y1, float x2, float y2, float r, float g, float b,
                          float blend) {
  float dy1 = deviceY(y1), dy2 = deviceY(y2);
  _oldBindedText = -1;
  glDisable(GL_TEXTURE_2D);
  if (blend != 1.0f) {
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glColor4f(r, g, b, blend);
  } else {
    glDisable(GL_BLEND);
    glColor3f(r, g, b);
  }
  glBegin(GL_QUADS);
  glVertex2i(whole(x1), whole(dy1));
  glVertex2i(whole(x2), whole(dy1));
  glVertex2i(whole(x2), whole(dy2));
  glVertex2i(whole(x1), whole(dy2));
  glEnd();
  glDisable(GL_BLEND);
  glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
}

void KGraphicGL::drawLine(float x1, float y1, float x2, float y2, float r, float g, float b,
                          float blend) {
  _oldBindedText = -1;
  float dy1 = deviceY(y1), dy2 = deviceY(y2);
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  glDisable(GL_TEXTURE_2D);
  glColor4f(r, g, b, blend);
  // A loop of two points: the segment is drawn there and back.
  glBegin(GL_LINE_LOOP);
  glVertex2f(x1, dy1);
  glVertex2f(x2, dy2);
  glEnd();
  glDisable(GL_BLEND);
  glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
}

void KGraphicGL::plotPixel(float x1, float y1, float r, float g, float b, float blend) {
  _oldBindedText = -1;
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  glDisable(GL_TEXTURE_2D);
  glColor4f(r, g, b, blend);
  glBegin(GL_POINTS);
  glVertex2d(static_cast<double>(x1), static_cast<double>(screenHeight) - y1);
  glEnd();
  glDisable(GL_BLEND);
  glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
}

// ---- frame-buffer capture ----

// The OpenGL window may draw its frames off screen, and then it alone knows
// which buffer holds the frame being drawn and which the frame presented.
namespace {
void (*gSelectReadBuffer)(bool front) = nullptr;
void (*gRestoreReadBuffer)() = nullptr;
}  // namespace

void KGraphicGL::setFrameReadHooks(void (*select)(bool front), void (*restore)()) {
  gSelectReadBuffer = select;
  gRestoreReadBuffer = restore;
}

namespace {

// Makes the frame being drawn (or the one presented) the source of
// glReadPixels for the lifetime of the object.
class ReadSource {
public:
  explicit ReadSource(bool front) {
    glGetIntegerv(GL_READ_BUFFER, &_oldBuffer);
    if (gSelectReadBuffer != nullptr && gRestoreReadBuffer != nullptr) {
      gSelectReadBuffer(front);
      _viaWindow = true;
    }
    GLint fbo = 0;
    glGetIntegerv(GL_READ_FRAMEBUFFER_BINDING, &fbo);
    if (fbo == 0) {
      GLint db = 0;
      glGetIntegerv(GL_DOUBLEBUFFER, &db);
      // A single-buffered context has only the one buffer to read.
      glReadBuffer(front || !db ? GL_FRONT : GL_BACK);
      _ownBuffer = true;
    }
  }
  ~ReadSource() {
    if (_ownBuffer) glReadBuffer(static_cast<GLenum>(_oldBuffer));
    if (_viaWindow) gRestoreReadBuffer();
  }
  ReadSource(const ReadSource &) = delete;
  ReadSource &operator=(const ReadSource &) = delete;

private:
  GLint _oldBuffer = GL_BACK;
  bool _viaWindow = false;
  bool _ownBuffer = false;
};

}  // namespace

bool KGraphicGL::grab(bool back, KPixelTransformation transform) {
  const int W = screenWidth, H = screenHeight;
  if (W <= 0 || H <= 0) return false;
  const int side = KImageCodec::textureSide(W, H);
  std::vector<uint8_t> screen, texels;
  try {
    screen.resize(static_cast<size_t>(W) * H * 4);
    texels.assign(static_cast<size_t>(side) * side * 4, 0);
  } catch (const std::bad_alloc &) {
    return false;
  }
  releaseTexture();
  _userPixelPtr = nullptr;

  {
    ReadSource source(!back);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, W, H, GL_RGBA, GL_UNSIGNED_BYTE, screen.data());
  }

  // GL rows come bottom first; the texture wants the top row in row 0, and the
  // transformation sees rows top first, as on every renderer.
  for (int y = 0; y < H; y++) {
    const uint8_t *src = screen.data() + static_cast<size_t>(H - 1 - y) * W * 4;
    uint8_t *dst = texels.data() + static_cast<size_t>(y) * side * 4;
    for (int x = 0; x < W; x++, src += 4, dst += 4) {
      long r = src[0], g = src[1], b = src[2];
      if (transform != nullptr) transform(x, y, &r, &g, &b);
      dst[0] = static_cast<uint8_t>(r & 0xFF);
      dst[1] = static_cast<uint8_t>(g & 0xFF);
      dst[2] = static_cast<uint8_t>(b & 0xFF);
      if (back) {
        bool keyed = _ckActive && dst[0] == _ckr && dst[1] == _ckg && dst[2] == _ckb;
        dst[3] = keyed ? 0 : 255;
      }
    }
  }

  _glEnum = GL_TEXTURE_2D;
  _ftextureWIDTH = _ftextureHEIGHT = static_cast<float>(side);
  glEnable(GL_TEXTURE_2D);
  glLoadIdentity();
  glGenTextures(1, &texture);
  glBindTexture(GL_TEXTURE_2D, texture);
  _oldBindedText = static_cast<int>(texture);
  if (back) {
    glEnable(GL_BLEND);
    glBlendFunc(_sourceAlpha, _destAlpha);
  }
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glTexImage2D(GL_TEXTURE_2D, 0, back ? GL_RGBA8 : GL_RGB, side, side, 0, GL_RGBA,
               GL_UNSIGNED_BYTE, texels.data());
  setFilter(false);
  setWrap(false);

  fimageWidth = static_cast<float>(W);
  fimageHeight = static_cast<float>(H);
  _videoBytes = bytesPerTexel() * side * side;
  videoMemory += _videoBytes;
  return true;
}

bool KGraphicGL::grabBackBuffer(KPixelTransformation pixelTransformationPtr) {
  return grab(true, pixelTransformationPtr);
}

bool KGraphicGL::grabFrontBuffer() { return grab(false, nullptr); }

void KGraphicGL::frameSize(long &width, long &height) {
  width = screenWidth;
  height = screenHeight;
}

bool KGraphicGL::readBackFrame(uint8_t *rgba, long outW, long outH, bool scaled, bool &bottomUp) {
  const long W = screenWidth, H = screenHeight;
  // blitRect below restores the frame with the current colour: remember the
  // colour earlier drawing left so the frame comes back untinted and the
  // caller's colour survives.
  GLfloat colour[4] = {1.0f, 1.0f, 1.0f, 1.0f};
  glGetFloatv(GL_CURRENT_COLOR, colour);

  KGraphicGL shot;
  if (!shot.grabBackBuffer(nullptr)) return false;
  if (scaled) {
    shot.stretchAlphaRect(0, 0, static_cast<float>(W), static_cast<float>(H), 0,
                          static_cast<float>(H - outH), static_cast<float>(outW),
                          static_cast<float>(H), 1, 0);
  }
  {
    ReadSource source(false);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, static_cast<GLsizei>(outW), static_cast<GLsizei>(outH), GL_RGBA,
                 GL_UNSIGNED_BYTE, rgba);
  }
  bottomUp = true;  // GL rows go upward

  glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
  shot.blitRect(0, 0, static_cast<float>(W), static_cast<float>(H), 0, 0, false, false);
  glColor4fv(colour);
  return true;
}
