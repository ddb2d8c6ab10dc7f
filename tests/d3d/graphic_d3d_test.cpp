// KGraphicD3D on the software device: loading and texture sizes, the colour key,
// exact placement of every blit, blending and tint, flat primitives, and pictures
// surviving the surface loss of full-screen switches.
#include <cstdio>
#include <filesystem>

#include "tools/KLog.h"

#include "d3d_fixture.h"

namespace {

std::vector<std::string> gLogged;
void keepLine(const char *, const char *message) { gLogged.push_back(message); }

class Pictures : public D3DTest {
protected:
  // Pixels of the frame inside [x0, x1) x [y0, y1) that are not `background`.
  int changed(int x0, int y0, int x1, int y1, uint32_t background) {
    std::vector<uint32_t> f = frame();
    int n = 0;
    for (int y = y0; y < y1; ++y)
      for (int x = x0; x < x1; ++x) n += (f[size_t(y) * 640 + x] & 0xFFFFFF) != background;
    return n;
  }
  // The bounding box of the pixels that are not `background`.
  void bounds(uint32_t background, int &x0, int &y0, int &x1, int &y1) {
    std::vector<uint32_t> f = frame();
    x0 = y0 = 1 << 20;
    x1 = y1 = -1;
    for (int y = 0; y < 480; ++y)
      for (int x = 0; x < 640; ++x)
        if ((f[size_t(y) * 640 + x] & 0xFFFFFF) != background) {
          x0 = std::min(x0, x);
          y0 = std::min(y0, y);
          x1 = std::max(x1, x);
          y1 = std::max(y1, y);
        }
  }
};

TEST_F(Pictures, LoadingGivesPowerOfTwoTexturesAndFailuresLeaveThePictureEmpty) {
  KGraphicD3D *g = picture();
  EXPECT_EQ(0.0f, g->getWidth());
  std::string big = writePicture("big.tga", 300, 200, std::vector<uint32_t>(300 * 200, 0xFF808080u));
  ASSERT_TRUE(g->loadPicture(big.c_str(), true, true));
  EXPECT_EQ(300.0f, g->getWidth());
  EXPECT_EQ(200.0f, g->getHeight());
  EXPECT_EQ(512.0f, g->_ftextureWIDTH);
  EXPECT_EQ(512.0f, g->_ftextureHEIGHT);
  std::string one = writePicture("one.bmp", 1, 1, {0xFF102030u}, K_IMAGE_BMP);
  ASSERT_TRUE(g->loadPicture(one.c_str(), true, true));
  EXPECT_EQ(1.0f, g->_ftextureWIDTH);
  // The type is the file name's extension in any case, wherever the folder is.
  std::string upper = ::testing::TempDir() + "d3d_ONE.BMP";
  std::rename(one.c_str(), upper.c_str());
  EXPECT_TRUE(g->loadPicture(upper.c_str(), true, true));
  std::filesystem::create_directories(::testing::TempDir() + "d3d_Fotos.jpg");
  EXPECT_TRUE(g->loadPicture(writePicture("Fotos.jpg/a.tga", 2, 2, {0xFF0000FFu, 0, 0, 0}).c_str(),
                             true, true));
  // Failed loads empty the picture and log one line naming the file: no file, a
  // name without a known extension, garbage in the file.
  FILE *f = std::fopen((::testing::TempDir() + "d3d_junk.png").c_str(), "wb");
  std::fputs("not a picture at all", f);
  std::fclose(f);
  for (const char *bad : {"missing.tga", "one.tga.txt", "d3d_junk.png"}) {
    const std::string path = ::testing::TempDir() + bad;
    ASSERT_TRUE(g->loadPicture(upper.c_str(), true, true));
    gLogged.clear();
    KLogSink before = setLogSink(keepLine);
    EXPECT_FALSE(g->loadPicture(path.c_str(), true, true)) << bad;
    setLogSink(before);
    EXPECT_EQ(0.0f, g->getWidth()) << bad;
    ASSERT_EQ(1u, gLogged.size()) << bad;
    EXPECT_NE(std::string::npos, gLogged[0].find(path)) << gLogged[0];
  }
  // Blits of an empty picture do nothing.
  clear(0, 0, 0);
  g->blitRect(0, 0, 10, 10, 0, 0, false, false);
  g->blitAlphaRectFx(0, 0, 10, 10, 0, 0, 30, 2, 1, false, false);
  EXPECT_EQ(0, changed(0, 0, 640, 480, 0));
}

TEST_F(Pictures, BlitRectCoversExactlyItsPixelsMirroredOrTurned) {
  std::vector<uint32_t> pat = pattern(32, 32);
  KGraphicD3D *g = picture();
  ASSERT_TRUE(g->loadPicture(writePicture("pat.tga", 32, 32, pat).c_str(), true, true));
  clear(0, 0, 0);
  g->blitRect(0, 0, 32, 32, 100, 50, false, false);
  g->blitRect(0, 0, 32, 32, 200, 50, true, false);
  g->blitRect(0, 0, 32, 32, 300, 50, true, true);
  std::vector<uint32_t> f = frame();
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 32; ++x) {
      ASSERT_EQ(pat[y * 32 + x] & 0xFFFFFF, f[size_t(50 + y) * 640 + 100 + x] & 0xFFFFFF);
      ASSERT_EQ(pat[y * 32 + 31 - x] & 0xFFFFFF, f[size_t(50 + y) * 640 + 200 + x] & 0xFFFFFF);
      ASSERT_EQ(pat[(31 - y) * 32 + 31 - x] & 0xFFFFFF,
                f[size_t(50 + y) * 640 + 300 + x] & 0xFFFFFF);
    }
  EXPECT_EQ(3 * 32 * 32, changed(0, 0, 640, 480, 0));
  // A source rectangle with fractions is cut to whole pixels.
  clear(0, 0, 0);
  g->blitRect(0.5f, 0, 10.7f, 4, 10, 10, false, false);
  EXPECT_EQ(10 * 4, changed(0, 0, 640, 480, 0));
  EXPECT_EQ(pat[0] & 0xFFFFFF, px(10, 10));
}

TEST_F(Pictures, ColourKeyIsTransparentWhenBlendedAndOpaqueWhenNot) {
  std::vector<uint32_t> p(16 * 16, 0xFFFF00FFu);  // magenta background
  for (int i = 4; i < 12; ++i) p[i * 16 + 8] = 0xFF00FF00u;
  for (bool hiDef : {true, false}) {
    KGraphicD3D *g = picture();
    g->setColorKey(true, 255, 0, 255);
    ASSERT_TRUE(g->loadPicture(writePicture("key.tga", 16, 16, p).c_str(), hiDef, true));
    clear(0, 0, 1);
    g->blitAlphaRect(0, 0, 16, 16, 20, 20, false, false);
    EXPECT_EQ(0x0000FFu, px(20, 20)) << "key colour vanishes, hiDef " << hiDef;
    EXPECT_EQ(0x00FF00u, px(28, 26));
    g->blitRect(0, 0, 16, 16, 60, 20, false, false);
    // Without blending the keyed texel shows (its colour kept, or the 16-bit
    // loader's narrowed form of it).
    EXPECT_NE(0x0000FFu, px(60, 20)) << "hiDef " << hiDef;
  }
}

TEST_F(Pictures, FxBlitsTurnAndZoomAboutTheCentreOrKeepTheCorner) {
  std::vector<uint32_t> p(32 * 32, 0xFFFFFFFFu);
  p[0] = 0xFFFF0000u;  // marks the top-left corner
  KGraphicD3D *g = picture();
  ASSERT_TRUE(g->loadPicture(writePicture("fx.tga", 32, 32, p).c_str(), true, true));
  int x0, y0, x1, y1;
  // Angle 0, zoom 1: the same pixels as blitAlphaRect.
  clear(0, 0, 0);
  g->blitAlphaRectFx(0, 0, 32, 32, 100, 100, 0, 1, 1, false, false);
  bounds(0, x0, y0, x1, y1);
  EXPECT_EQ(100, x0);
  EXPECT_EQ(131, x1);
  EXPECT_EQ(100, y0);
  EXPECT_EQ(131, y1);
  // Zoom 2 doubles about the centre (116, 116)...
  clear(0, 0, 0);
  g->blitAlphaRectFx(0, 0, 32, 32, 100, 100, 0, 2, 1, false, false);
  bounds(0, x0, y0, x1, y1);
  EXPECT_NEAR(84, x0, 1);
  EXPECT_NEAR(147, x1, 1);
  EXPECT_NEAR(84, y0, 1);
  // ...while blitRectFx keeps the top-left corner where it was.
  clear(0, 0, 0);
  g->blitRectFx(0, 0, 32, 32, 100, 100, 0, 2, false, false);
  bounds(0, x0, y0, x1, y1);
  EXPECT_NEAR(100, x0, 1);
  EXPECT_NEAR(163, x1, 1);
  EXPECT_NEAR(100, y0, 1);
  // A quarter turn counter-clockwise puts the marked corner at the bottom-left.
  clear(0, 0, 0);
  g->blitAlphaRectFx(0, 0, 32, 32, 100, 100, 90, 1, 1, false, false);
  bounds(0, x0, y0, x1, y1);
  EXPECT_NEAR(100, x0, 1);
  EXPECT_NEAR(131, y1, 1);
  int redX = -1, redY = -1;
  std::vector<uint32_t> f = frame();
  for (int i = 0; i < 640 * 480; ++i)
    if ((f[size_t(i)] & 0xFFFFFF) == 0xFF0000u) redX = i % 640, redY = i / 640;
  EXPECT_EQ(x0, redX);
  EXPECT_EQ(y1, redY);
  // Blend 0 or zoom 0 draw nothing.
  clear(0, 0, 0);
  g->blitAlphaRectFx(0, 0, 32, 32, 100, 100, 0, 1, 0, false, false);
  g->blitAlphaRectFx(0, 0, 32, 32, 100, 100, 0, 0, 1, false, false);
  g->blitRectFx(0, 0, 32, 32, 100, 100, 0, 0, false, false);
  EXPECT_EQ(0, changed(0, 0, 640, 480, 0));
}

TEST_F(Pictures, BlendAlphaModesAndBlitColourShapeTheResult) {
  KGraphicD3D *g = picture();
  ASSERT_TRUE(g->loadPicture(writePicture("w.tga", 8, 8, std::vector<uint32_t>(64, 0xFFFFFFFFu)).c_str(),
                             true, true));
  clear(0, 0, 0);
  g->blitAlphaRectFx(0, 0, 8, 8, 10, 10, 0, 1, 0.5f, false, false);
  EXPECT_NEAR(127, int(px(12, 12) & 0xFF), 1);
  // A tint multiplies the texels; values out of range are held at the ends.
  g->setBlitColor(2, -1, 0.5f, 1);
  EXPECT_EQ(1.0f, g->_blitRed);
  EXPECT_EQ(0.0f, g->_blitGreen);
  EXPECT_EQ(0.5f, g->_blitBlue);
  g->blitAlphaRect(0, 0, 8, 8, 30, 10, false, false);
  EXPECT_NEAR(0xFF007F, int(px(32, 12)), 1);
  g->setBlitColor(1, 1, 1, 1);
  g->blitAlphaRect(0, 0, 8, 8, 50, 10, false, false);
  EXPECT_EQ(0xFFFFFFu, px(52, 12));
  // Alpha mode 3 only darkens; an unknown mode changes nothing.
  clear(1, 1, 1);
  g->setAlphaMode(3);
  g->setAlphaMode(7);
  g->blitAlphaRectFx(0, 0, 8, 8, 10, 10, 0, 1, 0.5f, false, false);
  EXPECT_NEAR(128, int(px(12, 12) & 0xFF), 1);
  EXPECT_EQ(D3DBLEND_ZERO, g->_sourceAlpha);
}

TEST_F(Pictures, FlatPrimitivesDrawInTheirColourAndOpacity) {
  KGraphicD3D *g = picture();
  clear(0, 0, 0);
  g->drawRect(10, 10, 20, 15, 1, 0, 0, 1);
  EXPECT_EQ(10 * 5, changed(0, 0, 640, 480, 0));
  EXPECT_EQ(0xFF0000u, px(10, 10));
  EXPECT_EQ(0u, px(20, 15));
  g->drawRect(30, 10, 40, 20, 1, 1, 1, 0.5f);
  EXPECT_NEAR(127, int(px(35, 15) & 0xFF), 1);
  g->plotPixel(100, 50, 0, 1, 0, 1);
  EXPECT_EQ(0x00FF00u, px(100, 50));
  g->drawLine(200, 100, 210, 100, 0, 0, 1, 1);
  EXPECT_EQ(0x0000FFu, px(200, 100));
  EXPECT_EQ(0x0000FFu, px(209, 100));
}

TEST_F(Pictures, StretchTiledAndFreeQuadsLandWhereTheirCornersSay) {
  std::vector<uint32_t> p(4 * 4, 0xFFFFFFFFu);
  p[0] = 0xFFFF0000u;
  KGraphicD3D *g = picture();
  ASSERT_TRUE(g->loadPicture(writePicture("s.tga", 4, 4, p).c_str(), true, true));
  int x0, y0, x1, y1;
  clear(0, 0, 0);
  g->stretchAlphaRect(0, 0, 4, 4, 100, 50, 140, 90, 1, 0);
  bounds(0, x0, y0, x1, y1);
  EXPECT_EQ(100, x0);
  EXPECT_EQ(50, y0) << "the source corner lands on the destination corner";
  EXPECT_EQ(139, x1);
  EXPECT_EQ(89, y1);
  EXPECT_EQ(0xFF0000u, px(100, 50));
  EXPECT_EQ(0xFFFFFFu, px(139, 89));
  // Tiled: the texture keeps its orientation (red corner at the top-left of each tile).
  clear(0, 0, 0);
  g->allowTextureWrap(true);
  g->blitTiledRect(200, 200, 32, 32, 2, 0);
  EXPECT_EQ(0xFF0000u, px(200, 200));
  EXPECT_EQ(0xFF0000u, px(216, 216));
  EXPECT_EQ(0xFFFFFFu, px(208, 208));
  // A free quad maps each source corner to its screen corner.
  clear(0, 0, 0);
  g->blitArbitraryQuad(0, 0, 4, 0, 4, 4, 0, 4, 300, 300, 340, 300, 340, 340, 300, 340);
  bounds(0, x0, y0, x1, y1);
  EXPECT_EQ(300, x0);
  EXPECT_EQ(339, x1);
  EXPECT_EQ(0xFF0000u, px(301, 301));
}

// Switching to full screen and back loses every surface of the software device;
// each picture comes back from its file at its next blit and draws as before.
TEST_F(Pictures, PicturesDrawCorrectlyAfterTogglingFullScreenTwice) {
  std::vector<uint32_t> pat = pattern(16, 16);
  KGraphicD3D *hi = picture(), *lo = picture();
  std::string file = writePicture("lost.tga", 16, 16, pat);
  ASSERT_TRUE(hi->loadPicture(file.c_str(), true, true));
  ASSERT_TRUE(lo->loadPicture(file.c_str(), false, false));
  clear(0, 0, 0);
  hi->blitRect(0, 0, 16, 16, 10, 10, false, false);
  lo->blitRect(0, 0, 16, 16, 40, 10, false, false);
  std::vector<uint32_t> before = frame();
  IDirectDrawSurface7 *old = hi->_surface;
  old->AddRef();  // kept only to look at it
  for (int round = 0; round < 2; ++round) {
    window->toggleFullScreen(round == 0);
    window->flipBackBuffer(false, true);
  }
#ifdef _WIN32
  // Direct3D keeps managed textures through a display change itself.
  EXPECT_EQ(DD_OK, old->IsLost());
#else
  EXPECT_EQ(DDERR_SURFACELOST, old->IsLost());
#endif
  old->Release();
  clear(0, 0, 0);
  hi->blitRect(0, 0, 16, 16, 10, 10, false, false);
  lo->blitRect(0, 0, 16, 16, 40, 10, false, false);
  std::vector<uint32_t> after = frame();
  for (int y = 10; y < 26; ++y)
    for (int x = 10; x < 56; ++x)
      ASSERT_EQ(before[size_t(y) * 640 + x] & 0xFFFFFF, after[size_t(y) * 640 + x] & 0xFFFFFF)
          << x << "," << y;
  EXPECT_EQ(16.0f, hi->getWidth());
  EXPECT_EQ(pat[0] & 0xFFFFFF, px(10, 10));
}

}  // namespace
