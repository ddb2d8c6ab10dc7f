// OpenGL picture tests, read back from a headless context: texture rules of a
// load, array pictures, what each blit covers on screen, the device state each
// leaves behind, and frame capture with its saves.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>

#include "GLTestContext.h"
#include "JpegSize.h"
#include "graphic/KImageCodec.h"

namespace {

GLTestContext gl;

class GL : public ::testing::Test {
protected:
  static void SetUpTestSuite() { ASSERT_TRUE(gl.open()); }
  static void TearDownTestSuite() { gl.close(); }
  void SetUp() override { gl.resetView(); }
};

// A w x h picture whose every pixel of a 32 x 32 corner is distinct.
std::vector<uint8_t> pattern(int w, int h, uint8_t alpha = 255) {
  std::vector<uint8_t> p(static_cast<size_t>(w) * h * 4);
  for (int y = 0; y < h; y++) {
    for (int x = 0; x < w; x++) {
      uint8_t *q = &p[(static_cast<size_t>(y) * w + x) * 4];
      q[0] = static_cast<uint8_t>(x * 8);
      q[1] = static_cast<uint8_t>(y * 8);
      q[2] = static_cast<uint8_t>(100 + (x + y) % 50);
      q[3] = alpha;
    }
  }
  return p;
}
uint32_t patternAt(int x, int y) {
  return static_cast<uint32_t>(x * 8 & 0xFF) | (static_cast<uint32_t>(y * 8 & 0xFF) << 8) |
         (static_cast<uint32_t>(100 + (x + y) % 50) << 16) | 0xFF000000u;
}

std::string writePicture(TempFolder &dir, const std::string &name, KImageFormat f, int w, int h,
                         const std::vector<uint8_t> &rgba) {
  std::string path = dir.file(name);
  std::vector<uint8_t> bytes;
  EXPECT_TRUE(KImageCodec::encode(f, w, h, 4, rgba.data(), w * 4, false, bytes));
  EXPECT_TRUE(dir.write(path, bytes));
  return path;
}

bool near(uint32_t a, uint32_t b, int tol) {
  for (int s = 0; s < 24; s += 8) {
    if (std::abs(static_cast<int>((a >> s) & 0xFF) - static_cast<int>((b >> s) & 0xFF)) > tol) {
      return false;
    }
  }
  return true;
}

// Loads a 32 x 32 pattern picture (texture 32 x 32).
void loadPattern(KGraphicGL &pic, TempFolder &dir, uint8_t alpha = 255) {
  std::string p = writePicture(dir, "pattern.tga", K_IMAGE_TGA, 32, 32, pattern(32, 32, alpha));
  ASSERT_TRUE(pic.loadPicture(p.c_str(), true, true));
}

}  // namespace

TEST_F(GL, NewPictureIsEmptyAndWarnsWithoutScreenSize) {
  KGraphicGL::setScreenSize(0, 0, 32);
  ::testing::internal::CaptureStderr();  // no display here: the box goes to stderr
  KGraphicGL *pic = new KGraphicGL();
  std::string said = ::testing::internal::GetCapturedStderr();
  KGraphicGL::setScreenSize(GLTestContext::W, GLTestContext::H, 32);
  EXPECT_NE(said.find("Screen Dimensions not specified, you will not see anything"),
            std::string::npos);
  EXPECT_NE(said.find("KGraphicGL::SetScreenSize Not Called!"), std::string::npos);
  EXPECT_EQ(pic->getWidth(), 0);
  EXPECT_EQ(pic->getHeight(), 0);
  EXPECT_EQ(pic->_sourceAlpha, GL_SRC_ALPHA);
  EXPECT_EQ(pic->_destAlpha, GL_ONE_MINUS_SRC_ALPHA);
  EXPECT_FALSE(pic->_blitColorChanged);
  delete pic;

  ::testing::internal::CaptureStderr();
  KGraphicGL quiet;
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
}

TEST_F(GL, TextureSidesFormatsAndVideoMemory) {
  TempFolder dir;
  struct Case { int w, h, side; } cases[] = {{640, 480, 1024}, {16, 16, 16}, {1, 1, 4},
                                              {2, 2, 4},       {100, 300, 512}};
  for (const Case &c : cases) {
    std::string p = writePicture(dir, "s.png", K_IMAGE_PNG, c.w, c.h, pattern(c.w, c.h));
    long before = KGraphicGL::videoMemory;
    KGraphicGL pic;
    ASSERT_TRUE(pic.loadPicture(p.c_str(), true, true));
    EXPECT_EQ(pic.getWidth(), c.w);
    EXPECT_EQ(pic.getHeight(), c.h);
    EXPECT_EQ(pic._ftextureWIDTH, c.side);
    EXPECT_EQ(GLTestContext::boundLevelParam(GL_TEXTURE_WIDTH), c.side);
    EXPECT_EQ(GLTestContext::boundLevelParam(GL_TEXTURE_HEIGHT), c.side);
    EXPECT_EQ(KGraphicGL::videoMemory - before, 4L * c.side * c.side);
    pic.freePicture();
    EXPECT_EQ(KGraphicGL::videoMemory, before);
    EXPECT_EQ(pic.getWidth(), 0);
  }
  // The two flags choose the internal format.
  std::string p = writePicture(dir, "f.tga", K_IMAGE_TGA, 8, 8, pattern(8, 8));
  struct Fmt { bool hiDef, alpha; int format; } fmts[] = {
      {true, true, GL_RGBA8}, {false, true, GL_RGBA}, {true, false, GL_RGB8}, {false, false, GL_RGB}};
  for (const Fmt &f : fmts) {
    KGraphicGL pic;
    ASSERT_TRUE(pic.loadPicture(p.c_str(), f.hiDef, f.alpha));
    EXPECT_EQ(GLTestContext::boundLevelParam(GL_TEXTURE_INTERNAL_FORMAT), f.format);
  }
}

TEST_F(GL, EveryFormatLoadsTopRowFirstWithTransparentPadding) {
  TempFolder dir;
  std::vector<uint8_t> rgba = pattern(20, 12);
  const char *names[4] = {"p.bmp", "p.jpg", "p.tga", "p.png"};
  for (int f = 0; f < 4; f++) {
    std::string path = writePicture(dir, names[f], static_cast<KImageFormat>(f), 20, 12, rgba);
    KGraphicGL pic;
    if (f == K_IMAGE_JPEG) {  // the program loads no JPEG: refused, nothing drawn
      EXPECT_FALSE(pic.loadPicture(path.c_str(), true, true));
      EXPECT_EQ(pic.getWidth(), 0);
      continue;
    }
    ASSERT_TRUE(pic.loadPicture(path.c_str(), true, true)) << names[f];
    std::vector<uint32_t> t = GLTestContext::boundTexels(32, 32);
    int tol = 0;
    for (int y = 0; y < 12; y++) {
      for (int x = 0; x < 20; x++) {
        ASSERT_TRUE(near(t[y * 32 + x], patternAt(x, y), tol)) << names[f] << " " << x << "," << y;
      }
    }
    EXPECT_EQ(t[0] >> 24, 255u);
    EXPECT_EQ(t[5 * 32 + 20], 0u);  // right of the picture
    EXPECT_EQ(t[12 * 32 + 3], 0u);  // below it
  }
}

TEST_F(GL, PathsAndFailedLoadsLeaveThePictureEmpty) {
  TempFolder dir;
  std::string path = writePicture(dir, "mouse.tga", K_IMAGE_TGA, 4, 4, pattern(4, 4));
  std::string upper = path.substr(0, path.size() - 9) + "Mouse.TGA";
  KGraphicGL pic;
  EXPECT_TRUE(pic.loadPicture(upper.c_str(), true, true));  // opened in lower case
  EXPECT_EQ(pic.getWidth(), 4);

  std::string jpeg = dir.file("photo.jpeg");
  std::vector<uint8_t> bytes;
  ASSERT_TRUE(KImageCodec::encode(K_IMAGE_JPEG, 4, 4, 4, pattern(4, 4).data(), 16, false, bytes));
  ASSERT_TRUE(dir.write(jpeg, bytes));
  EXPECT_FALSE(pic.loadPicture(jpeg.c_str(), true, true));
  EXPECT_EQ(pic.getWidth(), 0);
  EXPECT_EQ(pic.getHeight(), 0);

  // Recognised extension, undecodable content: refused, and nothing drawn.
  ASSERT_TRUE(pic.loadPicture(path.c_str(), true, true));
  std::string junk = dir.file("junk.png");
  ASSERT_TRUE(dir.write(junk, std::vector<uint8_t>(100, 0x5A)));
  EXPECT_FALSE(pic.loadPicture(junk.c_str(), true, true));
  EXPECT_EQ(pic.getWidth(), 0);
  std::string empty = dir.file("empty.png");
  ASSERT_TRUE(dir.write(empty, {}));
  EXPECT_FALSE(pic.loadPicture(empty.c_str(), true, true));
  EXPECT_FALSE(pic.loadPicture((path + ".missing.tga").c_str(), true, true));
  pic.blitRect(0, 0, 4, 4, 0, 0, false, false);
  pic.blitAlphaRect(0, 0, 4, 4, 10, 0, false, false);
  EXPECT_EQ(GLTestContext::pixel(1, 1), 0xFF000000u);
  EXPECT_EQ(GLTestContext::pixel(11, 1), 0xFF000000u);
}

TEST_F(GL, ColourKeyFilteringAndWrapping) {
  TempFolder dir;
  std::vector<uint8_t> rgba = pattern(8, 8, 200);
  // Pixel (2, 1) becomes the key colour (10, 20, 30).
  uint8_t *k = &rgba[(1 * 8 + 2) * 4];
  k[0] = 10, k[1] = 20, k[2] = 30;
  std::string path = writePicture(dir, "k.tga", K_IMAGE_TGA, 8, 8, rgba);

  KGraphicGL pic;
  pic.setColorKey(true, 10, 20, 30);
  pic.setTextureQuality(true);  // no lasting effect: every load filters nearest
  pic.allowTextureWrap(true);   // stored, so it carries into the load
  ASSERT_TRUE(pic.loadPicture(path.c_str(), true, true));
  std::vector<uint32_t> t = GLTestContext::boundTexels(8, 8);
  EXPECT_EQ(t[1 * 8 + 2], 0x001E140Au);        // keyed: colour kept, alpha 0
  EXPECT_EQ(t[0] >> 24, 200u);                 // the file's own alpha elsewhere
  EXPECT_EQ(GLTestContext::boundParam(GL_TEXTURE_MAG_FILTER), GL_NEAREST);
  EXPECT_EQ(GLTestContext::boundParam(GL_TEXTURE_WRAP_S), GL_REPEAT);

  pic.setColorKey(false, 0, 0, 0);  // acts only at the next load
  pic.setTextureQuality(true);
  EXPECT_EQ(GLTestContext::boundParam(GL_TEXTURE_MIN_FILTER), GL_LINEAR);
  pic.allowTextureWrap(false);
  EXPECT_EQ(GLTestContext::boundParam(GL_TEXTURE_WRAP_T), GL_CLAMP);
  EXPECT_EQ(GLTestContext::boundTexels(8, 8)[1 * 8 + 2], 0x001E140Au);

  // Without alpha in the texture the key has no visible effect.
  pic.setColorKey(true, 10, 20, 30);
  ASSERT_TRUE(pic.loadPicture(path.c_str(), true, false));
  pic.blitAlphaRect(0, 0, 8, 8, 0, 0, false, false);
  EXPECT_EQ(GLTestContext::pixel(2, 1), 0xFF1E140Au);
}

TEST_F(GL, ArrayPictures) {
  KGraphicGL pic;
  uint32_t one = 0;
  EXPECT_FALSE(pic.makePictureFromArray(nullptr, 4, 4, true));
  EXPECT_FALSE(pic.makePictureFromArray(&one, 0, 4, true));
  EXPECT_FALSE(pic.makePictureFromArray(&one, 4, -1, true));
  EXPECT_EQ(pic.getWidth(), 0);

  const int w = 640, h = 480;
  std::vector<uint32_t> px(w * h, 0xFF0000FFu);  // opaque red
  px[5] = 0x80FF00FFu;                           // key colour (255, 0, 255), half alpha
  px[6] = 0xFFFE00FFu;                           // one off the key
  long before = KGraphicGL::videoMemory;
  pic.setColorKey(true, 255, 0, 255);
  ASSERT_TRUE(pic.makePictureFromArray(px.data(), w, h, true));
  EXPECT_EQ(px[5], 0u);  // keyed in the caller's own array
  EXPECT_EQ(px[6], 0xFFFE00FFu);
  EXPECT_EQ(GLTestContext::boundLevelParam(GL_TEXTURE_WIDTH), w);
  EXPECT_EQ(GLTestContext::boundLevelParam(GL_TEXTURE_HEIGHT), h);
  EXPECT_EQ(KGraphicGL::videoMemory, before);

  pic.blitRect(0, 0, w, h, 0, 0, false, false);
  EXPECT_EQ(GLTestContext::pixel(0, 0), 0xFF0000FFu);
  px[1 * w + 3] = 0xFF00FF00u;  // green, shown only after polling
  pic.blitRect(0, 0, w, h, 0, 0, false, false);
  EXPECT_EQ(GLTestContext::pixel(3, 1), 0xFF0000FFu);
  pic.pollArray();
  pic.blitRect(0, 0, w, h, 0, 0, false, false);
  EXPECT_EQ(GLTestContext::pixel(3, 1), 0xFF00FF00u);
  pic.freePicture();
  EXPECT_EQ(KGraphicGL::videoMemory, before);
}

TEST_F(GL, BlitRectCoversExactPixelsAndFlips) {
  TempFolder dir;
  KGraphicGL pic;
  loadPattern(pic, dir);
  for (int flips = 0; flips < 4; flips++) {
    bool fx = flips & 1, fy = flips & 2;
    gl.resetView();
    pic.blitRect(0, 0, 32, 32, 100, 50, fx, fy);
    std::vector<uint32_t> s = GLTestContext::screen();
    for (int y = 48; y < 84; y++) {
      for (int x = 98; x < 134; x++) {
        bool inside = x >= 100 && x < 132 && y >= 50 && y < 82;
        int sx = x - 100, sy = y - 50;
        if (fx) sx = 31 - sx;
        if (fy) sy = 31 - sy;
        uint32_t want = inside ? patternAt(sx, sy) : 0xFF000000u;
        ASSERT_EQ(s[y * 640 + x], want) << "flips " << flips << " at " << x << "," << y;
      }
    }
  }
  // Fractional source edges: 10.2 wide draws 10 pixels, stretched slightly.
  gl.resetView();
  pic.blitRect(0.5f, 0, 10.7f, 1, 0, 0, false, false);
  EXPECT_NE(GLTestContext::pixel(9, 0), 0xFF000000u);
  EXPECT_EQ(GLTestContext::pixel(10, 0), 0xFF000000u);
  EXPECT_EQ(GLTestContext::pixel(0, 0), patternAt(1, 0));  // 0.5 + 0.5 * 1.02 = 1.01
  EXPECT_EQ(GLTestContext::pixel(9, 0), patternAt(10, 0));
}

TEST_F(GL, BlitRectFxTurnsAndZoomsAboutTheCentre) {
  TempFolder dir;
  KGraphicGL pic;
  loadPattern(pic, dir);
  pic.blitRectFx(0, 0, 32, 32, 100, 50, 90, 1, false, false);
  // A quarter turn counter-clockwise: source (sx, sy) lands on (100 + sy, 81 - sx).
  for (int sy = 0; sy < 32; sy += 5) {
    for (int sx = 0; sx < 32; sx += 3) {
      ASSERT_EQ(GLTestContext::pixel(100 + sy, 81 - sx), patternAt(sx, sy)) << sx << "," << sy;
    }
  }
  EXPECT_EQ(GLTestContext::pixel(99, 60), 0xFF000000u);
  EXPECT_EQ(GLTestContext::pixel(132, 60), 0xFF000000u);

  gl.resetView();
  pic.blitRectFx(0, 0, 32, 32, 100, 50, 0, 2, false, false);  // 64 x 64 about (116, 66)
  EXPECT_EQ(GLTestContext::pixel(84, 34), patternAt(0, 0));
  EXPECT_EQ(GLTestContext::pixel(85, 35), patternAt(0, 0));
  EXPECT_EQ(GLTestContext::pixel(147, 97), patternAt(31, 31));
  EXPECT_EQ(GLTestContext::pixel(83, 60), 0xFF000000u);
  EXPECT_EQ(GLTestContext::pixel(148, 60), 0xFF000000u);
  EXPECT_EQ(GLTestContext::pixel(100, 33), 0xFF000000u);
  EXPECT_EQ(GLTestContext::pixel(100, 98), 0xFF000000u);

  gl.resetView();
  pic.blitRectFx(0, 0, 32, 32, 100, 50, 45, 0, false, false);  // zoom 0 draws nothing
  EXPECT_EQ(GLTestContext::pixel(116, 66), 0xFF000000u);
  float m[16];
  glGetFloatv(GL_MODELVIEW_MATRIX, m);
  EXPECT_EQ(m[12], 0.0f);  // the transformation is left as found
}

TEST_F(GL, AlphaBlendModesAndTheBlitColour) {
  TempFolder dir;
  KGraphicGL pic;
  loadPattern(pic, dir, 128);  // half-transparent pattern
  const float a = 128 / 255.0f;
  auto mix = [](int src, int dst, float sf, float df) {
    return static_cast<int>(std::lround(std::min(255.0f, src * sf + dst * df)));
  };
  gl.resetView(0, 0, 1);  // blue background
  pic.blitAlphaRect(0, 0, 32, 32, 0, 0, false, false);
  uint32_t c = GLTestContext::pixel(10, 3);
  EXPECT_NEAR(GLTestContext::red(c), mix(80, 0, a, 1 - a), 2);
  EXPECT_NEAR(GLTestContext::blue(c), mix(113, 255, a, 1 - a), 2);
  EXPECT_EQ(GLTestContext::pixel(32, 3), 0xFFFF0000u);  // outside

  // Fx at angle 0 and zoom 1 covers the same pixels, alpha times blend.
  gl.resetView(0, 0, 1);
  pic.blitAlphaRectFx(0, 0, 32, 32, 0, 0, 0, 1, 0.5f, false, false);
  c = GLTestContext::pixel(10, 3);
  EXPECT_NEAR(GLTestContext::blue(c), mix(113, 255, a * 0.5f, 1 - a * 0.5f), 2);
  EXPECT_EQ(GLTestContext::pixel(32, 3), 0xFFFF0000u);

  // Blend 0: nothing drawn and no state touched, the colour included.
  gl.resetView(0, 0, 1);
  glColor4f(0.25f, 0.5f, 0.75f, 1.0f);
  glDisable(GL_BLEND);
  pic.blitAlphaRectFx(0, 0, 32, 32, 0, 0, 0, 1, 0, false, false);
  float col[4];
  glGetFloatv(GL_CURRENT_COLOR, col);
  EXPECT_EQ(col[1], 0.5f);
  EXPECT_FALSE(glIsEnabled(GL_BLEND));
  EXPECT_EQ(GLTestContext::pixel(10, 3), 0xFFFF0000u);

  // Modes 0 to 3 over the blue background (the frame buffer's alpha reads 1).
  struct Mode { long mode; float sf; bool srcAlpha; float df; } modes[] = {
      {0, a, true, 1}, {1, a, true, 1 - a}, {2, 1, false, 1 - a}, {3, 0, false, 1 - a}};
  for (const Mode &m : modes) {
    gl.resetView(0, 0, 1);
    pic.setAlphaMode(m.mode);
    pic.setAlphaMode(7);  // ignored
    pic.blitAlphaRect(0, 0, 32, 32, 0, 0, false, false);
    c = GLTestContext::pixel(10, 3);
    EXPECT_NEAR(GLTestContext::red(c), mix(80, 0, m.sf, m.df), 2) << m.mode;
    EXPECT_NEAR(GLTestContext::blue(c), mix(113, 255, m.sf, m.df), 2) << m.mode;
  }
  pic.setAlphaMode(1);

  // The blit colour: clamped when stored, all ones turns it off, and the
  // device colour it leaves behind tints a following blitRect too.
  pic.setBlitColor(2, 0.5f, -1, 1);
  EXPECT_TRUE(pic._blitColorChanged);
  EXPECT_EQ(pic._blitRed, 1.0f);
  EXPECT_EQ(pic._blitGreen, 0.5f);
  EXPECT_EQ(pic._blitBlue, 0.0f);
  pic.setBlitColor(1, 1, 1, 1);
  EXPECT_FALSE(pic._blitColorChanged);
  EXPECT_EQ(pic._blitGreen, 0.5f);  // stored values kept

  KGraphicGL solid;
  loadPattern(solid, dir);
  solid.setBlitColor(1, 0, 0, 1);
  gl.resetView();
  solid.blitAlphaRect(0, 0, 32, 32, 0, 0, false, false);
  solid.blitRect(0, 0, 32, 32, 100, 0, false, false);
  EXPECT_EQ(GLTestContext::pixel(110, 3), 0xFF000000u | (80 & 0xFF));  // red only
  EXPECT_FALSE(glIsEnabled(GL_BLEND));
}

TEST_F(GL, StretchQuadAndTiles) {
  TempFolder dir;
  KGraphicGL pic;
  loadPattern(pic, dir);
  // Exchanging dx1 and dx2 mirrors; a 2x stretch doubles every texel.
  pic.stretchAlphaRect(0, 0, 32, 32, 64, 0, 0, 64, 1, 0);
  EXPECT_EQ(GLTestContext::pixel(63, 0), patternAt(0, 0));
  EXPECT_EQ(GLTestContext::pixel(0, 63), patternAt(31, 31));
  EXPECT_EQ(GLTestContext::pixel(64, 0), 0xFF000000u);
  // Blend 0 draws with alpha 0 (no change); a negative blend draws opaque.
  gl.resetView();
  pic.stretchAlphaRect(0, 0, 32, 32, 0, 0, 32, 32, 0, 0);
  EXPECT_EQ(GLTestContext::pixel(5, 5), 0xFF000000u);
  pic.stretchAlphaRect(0, 0, 32, 32, 0, 0, 32, 32, -1, 0);
  EXPECT_EQ(GLTestContext::pixel(5, 5), patternAt(5, 5));
  float col[4];
  glGetFloatv(GL_CURRENT_COLOR, col);
  EXPECT_EQ(col[3], 1.0f);
  // A half turn about the destination's centre.
  gl.resetView();
  pic.stretchAlphaRect(0, 0, 32, 32, 200, 100, 232, 132, 1, 180);
  EXPECT_EQ(GLTestContext::pixel(231, 131), patternAt(0, 0));
  EXPECT_EQ(GLTestContext::pixel(200, 100), patternAt(31, 31));

  // The arbitrary quad, given axis-aligned, is an ordinary blended copy.
  gl.resetView();
  pic.blitArbitraryQuad(0, 0, 32, 0, 32, 32, 0, 32, 10, 10, 42, 10, 42, 42, 10, 42);
  EXPECT_EQ(GLTestContext::pixel(10, 10), patternAt(0, 0));
  EXPECT_EQ(GLTestContext::pixel(41, 41), patternAt(31, 31));
  EXPECT_EQ(GLTestContext::pixel(42, 20), 0xFF000000u);

  // Tiles: the whole texture twice each way, each tile turned a half turn.
  gl.resetView();
  pic.allowTextureWrap(true);
  pic.blitTiledRect(0, 0, 64, 64, 2, 0);
  for (int y = 0; y < 64; y += 7) {
    for (int x = 0; x < 64; x += 5) {
      ASSERT_EQ(GLTestContext::pixel(x, y), patternAt(31 - x % 32, 31 - y % 32)) << x << "," << y;
    }
  }
  EXPECT_FALSE(glIsEnabled(GL_BLEND));
}

TEST_F(GL, FlatPrimitivesAndTheBindingCache) {
  TempFolder dir;
  KGraphicGL pic;
  loadPattern(pic, dir);
  EXPECT_EQ(KGraphicGL::_oldBindedText, static_cast<int>(pic.texture));
  pic.setAlphaMode(3);  // flat primitives ignore the picture's mode
  gl.resetView(0, 0, 1);
  pic.drawRect(10, 10, 20, 30, 1, 0, 0, 1);
  EXPECT_EQ(GLTestContext::pixel(10, 10), 0xFF0000FFu);
  EXPECT_EQ(GLTestContext::pixel(19, 29), 0xFF0000FFu);
  EXPECT_EQ(GLTestContext::pixel(20, 15), 0xFFFF0000u);
  EXPECT_EQ(GLTestContext::pixel(15, 30), 0xFFFF0000u);
  pic.drawRect(30, 10, 40, 20, 1, 0, 0, 0.5f);
  uint32_t c = GLTestContext::pixel(35, 15);
  EXPECT_NEAR(GLTestContext::red(c), 128, 2);
  EXPECT_NEAR(GLTestContext::blue(c), 128, 2);
  EXPECT_EQ(KGraphicGL::_oldBindedText, -1);
  EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
  EXPECT_FALSE(glIsEnabled(GL_BLEND));
  float col[4];
  glGetFloatv(GL_CURRENT_COLOR, col);
  EXPECT_EQ(col[0] + col[1] + col[2] + col[3], 4.0f);

  // A translucent line is blended twice (drawn there and back).
  gl.resetView();
  pic.drawLine(100.5f, 200.5f, 150.5f, 200.5f, 1, 0, 0, 0.5f);
  EXPECT_NEAR(GLTestContext::red(GLTestContext::pixel(120, 200)), 191, 2);
  pic.plotPixel(300.5f, 10.5f, 0, 1, 0, 1);
  EXPECT_EQ(GLTestContext::pixel(300, 10), 0xFF00FF00u);
  EXPECT_EQ(GLTestContext::pixel(301, 10), 0xFF000000u);

  // The next blit turns texturing on again and draws textured.
  pic.blitRect(0, 0, 32, 32, 0, 0, false, false);
  EXPECT_EQ(GLTestContext::pixel(7, 9), patternAt(7, 9));
  EXPECT_EQ(KGraphicGL::_oldBindedText, static_cast<int>(pic.texture));
  GLint env = 0;
  glGetTexEnviv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, &env);
  EXPECT_EQ(env, GL_MODULATE);  // later tinted blits still modulate
  // Texturing turned off elsewhere without forgetting the binding still draws textured.
  glDisable(GL_TEXTURE_2D);
  pic.blitRect(0, 0, 32, 32, 40, 0, false, false);
  EXPECT_EQ(GLTestContext::pixel(47, 9), patternAt(7, 9));

  // Loading resets the current matrix.
  glTranslatef(5, 5, 0);
  loadPattern(pic, dir);
  float m[16];
  glGetFloatv(GL_MODELVIEW_MATRIX, m);
  EXPECT_EQ(m[12], 0.0f);
}

namespace {
std::vector<std::pair<long, long>> calls;
void record(long x, long y, long *r, long *g, long *b) {
  calls.emplace_back(x, y);
  long mean = (*r + *g + *b) / 3;
  *r = *g = *b = mean;
}
void overflow(long, long, long *r, long *, long *) { *r = 300; }
}  // namespace

TEST_F(GL, GrabsReproduceTheScreen) {
  TempFolder dir;
  KGraphicGL pic;
  loadPattern(pic, dir);
  for (int i = 0; i < 20; i++) pic.blitRect(0, 0, 32, 32, i * 31, i * 23, i & 1, false);
  pic.drawRect(0, 470, 640, 480, 0.2f, 0.4f, 0.6f, 1);
  std::vector<uint32_t> before = GLTestContext::screen();

  KGraphicGL grab;
  long mem = KGraphicGL::videoMemory;
  ASSERT_TRUE(grab.grabBackBuffer(nullptr));
  EXPECT_EQ(grab.getWidth(), 640);
  EXPECT_EQ(grab.getHeight(), 480);
  EXPECT_EQ(GLTestContext::boundLevelParam(GL_TEXTURE_WIDTH), 1024);
  EXPECT_EQ(GLTestContext::boundLevelParam(GL_TEXTURE_INTERNAL_FORMAT), GL_RGBA8);
  EXPECT_EQ(KGraphicGL::videoMemory - mem, 4L * 1024 * 1024);
  EXPECT_TRUE(glIsEnabled(GL_BLEND));  // left on with the picture's mode
  gl.resetView(1, 1, 1);
  glColor4f(1, 1, 1, 1);
  grab.blitRect(0, 0, 640, 480, 0, 0, false, false);
  EXPECT_TRUE(GLTestContext::screen() == before);

  KGraphicGL front;
  ASSERT_TRUE(front.grabFrontBuffer());
  EXPECT_EQ(GLTestContext::boundLevelParam(GL_TEXTURE_INTERNAL_FORMAT), GL_RGB);
  std::vector<uint32_t> t = GLTestContext::boundTexels(1024, 1024);
  EXPECT_EQ(t[0] >> 24, 255u);
  EXPECT_EQ(t[479 * 1024 + 639] >> 24, 255u);
}

TEST_F(GL, GrabTransformationOrderLowBytesAndColourKey) {
  TempFolder dir;
  KGraphicGL pic;
  loadPattern(pic, dir);
  pic.blitRect(0, 0, 32, 32, 0, 448, false, false);  // bottom-left corner
  calls.clear();
  KGraphicGL grey;
  ASSERT_TRUE(grey.grabBackBuffer(record));
  ASSERT_EQ(calls.size(), 640u * 480u);
  EXPECT_EQ(calls[0], std::make_pair(0L, 0L));  // bottom-left first
  EXPECT_EQ(calls[1], std::make_pair(1L, 0L));
  EXPECT_EQ(calls[640], std::make_pair(0L, 1L));
  EXPECT_EQ(calls.back(), std::make_pair(639L, 479L));
  std::vector<uint32_t> t = GLTestContext::boundTexels(1024, 1024);
  uint32_t src = patternAt(3, 31);  // screen (3, 479): bottom row of the screen
  uint32_t mean = ((src & 0xFF) + ((src >> 8) & 0xFF) + ((src >> 16) & 0xFF)) / 3;
  EXPECT_EQ(t[479 * 1024 + 3], 0xFF000000u | mean | (mean << 8) | (mean << 16));

  KGraphicGL low;
  ASSERT_TRUE(low.grabBackBuffer(overflow));
  EXPECT_EQ(GLTestContext::boundTexels(1024, 1024)[0] & 0xFF, 44u);

  // Key on black: the untouched screen becomes transparent, the drawing not.
  KGraphicGL keyed;
  keyed.setColorKey(true, 0, 0, 0);
  ASSERT_TRUE(keyed.grabBackBuffer(nullptr));
  t = GLTestContext::boundTexels(1024, 1024);
  EXPECT_EQ(t[0], 0u);
  EXPECT_EQ(t[479 * 1024 + 3], patternAt(3, 31));
}

TEST_F(GL, SaveBackBufferWritesEveryFormatAndRestoresTheFrame) {
  TempFolder dir;
  KGraphicGL pic;
  loadPattern(pic, dir);
  pic.blitRectFx(0, 0, 32, 32, 0, 0, 0, 20, false, false);  // 640 x 640 blow-up
  pic.setBlitColor(0, 1, 0, 1);
  pic.blitAlphaRect(0, 0, 32, 32, 600, 440, false, false);  // leaves a green colour
  std::vector<uint32_t> before = GLTestContext::screen();

  const char *names[4] = {"s.bmp", "s.jpg", "s.tga", "s.png"};
  for (int f = 0; f < 4; f++) {
    std::string path = dir.file(names[f]);
    EXPECT_TRUE(pic.saveBackBuffer(path.c_str(), f, 160, 120));
    EXPECT_TRUE(GLTestContext::screen() == before) << names[f];
    if (f == K_IMAGE_JPEG) {  // written, never read back: its header tells the size
      std::ifstream in(path, std::ios::binary);
      std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
      EXPECT_EQ(jpegSize(bytes), std::make_pair(160, 120));
      continue;
    }
    KImage img;
    ASSERT_TRUE(KImageCodec::readFile(path.c_str(), img)) << names[f];
    ASSERT_EQ(img.width, 160);
    ASSERT_EQ(img.height, 120);
    bool opaque = true;
    for (size_t i = 3; i < img.rgba.size(); i += 4) opaque &= img.rgba[i] == 255;
    EXPECT_TRUE(opaque) << names[f];
    // Nearest 4:1 sampling of the whole screen, top row first.
    int tol = 0;
    int samples = 0, misses = 0;
    for (int y = 0; y < 120; y += 13) {
      for (int x = 0; x < 160; x += 11) {
        const uint8_t *p = img.pixel(x, y);
        uint32_t got = p[0] | (p[1] << 8) | (p[2] << 16) | 0xFF000000u;
        // Each output pixel's centre falls on the edge between texels 4x+1 and 4x+2.
        bool match = false;
        for (int sy = y * 4 + 1; sy <= y * 4 + 2; sy++) {
          for (int sx = x * 4 + 1; sx <= x * 4 + 2; sx++) match |= near(got, before[sy * 640 + sx], tol);
        }
        samples++;
        misses += match ? 0 : 1;
      }
    }
    EXPECT_EQ(misses, 0) << names[f] << " of " << samples;
  }
  // Full size, and the colour left by earlier drawing survives the save.
  std::string full = dir.file("full.png");
  EXPECT_TRUE(pic.saveBackBuffer(full.c_str(), 3, 0, 120));
  float col[4];
  glGetFloatv(GL_CURRENT_COLOR, col);
  EXPECT_EQ(col[0], 0.0f);
  EXPECT_EQ(col[1], 1.0f);
  KImage img;
  ASSERT_TRUE(KImageCodec::readFile(full.c_str(), img));
  EXPECT_EQ(img.width, 640);
  for (int i = 0; i < 640 * 480; i += 997) {
    const uint8_t *p = img.rgba.data() + i * 4;
    ASSERT_EQ(p[0] | (p[1] << 8) | (p[2] << 16) | (p[3] << 24), before[i]) << i;
  }
  // No such format: nothing written, reported as such; the frame is intact.
  std::string none = dir.file("none.png");
  EXPECT_FALSE(pic.saveBackBuffer(none.c_str(), 4, 0, 0));
  EXPECT_EQ(std::fopen(none.c_str(), "rb"), nullptr);
  EXPECT_FALSE(pic.saveBackBuffer("/nonexistent-dir/x.png", 3, 0, 0));
  EXPECT_TRUE(GLTestContext::screen() == before);
}
