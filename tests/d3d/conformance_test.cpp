// The picture contract across backends: the same drawing sequences on the
// Direct3D window and on the OpenGL window give the same frames within a small
// tolerance, and where the backends are meant to differ (blitRectFx placement,
// the tiled rectangle's orientation, the missing half-pixel shift of free quads)
// each shows its own documented result. On Linux the Direct3D window is the
// software device and the OpenGL one runs on SDL's offscreen driver (no X); on
// Windows they are the system's DirectDraw/Direct3D and WGL (under Wine, both
// on llvmpipe).
#ifndef _WIN32
#include <SDL.h>
#endif
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "d3d/KGraphicD3D.h"
#include "d3d/KWindowD3D.h"
#include "gl/KGraphicGL.h"
#include "graphic/KImageCodec.h"
#include "input/KInput.h"
#include "platform/KNativeWindow.h"
#include "gl/KWindowGL.h"

namespace {

const int W = 640, H = 480;

struct Backend {
  KWindow *window = nullptr;
  bool gl = false;

  KGraphic *make() const {
    if (gl) return new KGraphicGL();
    return new KGraphicD3D();
  }
  void begin() {
    // The GL window makes its context current again here.
    window->setDefaultWorldView();
  }
  void clear(float r, float g, float b) {
    window->setClearColor(r, g, b, 1);
    window->setWorldView(0, 0, 0, 1, true);
  }
  // The frame being drawn, 0xRRGGBB, top row first.
  std::vector<uint32_t> frame() const {
    std::vector<uint32_t> out(size_t(W) * H, 0);
    if (gl) {
      std::vector<uint8_t> rgba(size_t(W) * H * 4);
      KWindowGL::selectReadBuffer(false);
      glPixelStorei(GL_PACK_ALIGNMENT, 1);
      glReadPixels(0, 0, W, H, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
      KWindowGL::restoreReadBuffer();
      for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
          const uint8_t *p = &rgba[(size_t(H - 1 - y) * W + x) * 4];
          out[size_t(y) * W + x] = uint32_t(p[0]) << 16 | uint32_t(p[1]) << 8 | p[2];
        }
    } else {
      DDSURFACEDESC2 d;
      std::memset(&d, 0, sizeof d);
      d.dwSize = sizeof d;
      IDirectDrawSurface7 *b = KGraphicD3D::_backBuffer;
      if (b && b->Lock(nullptr, &d, DDLOCK_WAIT | DDLOCK_READONLY, nullptr) == DD_OK) {
        for (int y = 0; y < H; ++y)
          for (int x = 0; x < W; ++x) {
            uint32_t v;
            std::memcpy(&v, static_cast<uint8_t *>(d.lpSurface) + y * d.lPitch + x * 4, 4);
            out[size_t(y) * W + x] = v & 0xFFFFFF;
          }
        b->Unlock(nullptr);
      }
    }
    return out;
  }
};

Backend gD3D, gGL;
std::string gDir;

// Pictures as 0xAARRGGBB rows, written once as TGA files.
std::string picture(const std::string &name, int w, int h,
                    const std::function<uint32_t(int, int)> &at) {
  std::vector<uint8_t> rgba;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      uint32_t c = at(x, y);
      rgba.insert(rgba.end(), {uint8_t(c >> 16), uint8_t(c >> 8), uint8_t(c), uint8_t(c >> 24)});
    }
  std::string path = gDir + name;
  EXPECT_TRUE(KImageCodec::encodeToFile(path.c_str(), K_IMAGE_TGA, w, h, 4, rgba.data(),
                                        size_t(w) * 4, false));
  return path;
}

std::string backgroundFile() {
  return picture("conf_back.tga", 640, 480, [](int x, int y) {
    return 0xFF000000u | uint32_t(x * 255 / 639) << 16 | uint32_t(y * 255 / 479) << 8 |
           uint32_t((x ^ y) & 255);
  });
}
std::string patternFile() {
  return picture("conf_pattern.tga", 32, 32, [](int x, int y) {
    return 0xFF000000u | uint32_t(x * 8) << 16 | uint32_t(y * 8) << 8 | uint32_t(100 + (x + y) % 50);
  });
}
std::string pegFile() {  // opaque core, translucent rim, transparent corners
  return picture("conf_peg.tga", 16, 16, [](int x, int y) {
    int d2 = (2 * x - 15) * (2 * x - 15) + (2 * y - 15) * (2 * y - 15);
    uint32_t a = d2 < 100 ? 255 : (d2 < 200 ? 128 : 0);
    return a << 24 | 0x30C0F0u;
  });
}

// Largest channel difference between two frames inside a rectangle, and how many
// pixels differ by more than `tol`.
struct Diff {
  int worst = 0;
  long over = 0;
};
Diff compare(const std::vector<uint32_t> &a, const std::vector<uint32_t> &b, int tol, int x0 = 0,
             int y0 = 0, int x1 = W, int y1 = H) {
  Diff d;
  for (int y = y0; y < y1; ++y)
    for (int x = x0; x < x1; ++x) {
      uint32_t p = a[size_t(y) * W + x], q = b[size_t(y) * W + x];
      int m = 0;
      for (int s = 0; s < 24; s += 8) m = std::max(m, std::abs(int((p >> s) & 255) - int((q >> s) & 255)));
      d.worst = std::max(d.worst, m);
      d.over += m > tol;
    }
  return d;
}

// Draws the same sequence on both backends and returns their frames.
void both(const std::function<void(Backend &, std::vector<KGraphic *> &)> &draw,
          std::vector<uint32_t> &d3d, std::vector<uint32_t> &gl) {
  for (Backend *b : {&gD3D, &gGL}) {
    std::vector<KGraphic *> pics;
    b->begin();
    draw(*b, pics);
    (b->gl ? gl : d3d) = b->frame();
    for (KGraphic *p : pics) delete p;
  }
}

KGraphic *load(Backend &b, std::vector<KGraphic *> &pics, const std::string &file) {
  KGraphic *g = b.make();
  pics.push_back(g);
  EXPECT_TRUE(g->loadPicture(file.c_str(), true, true));
  return g;
}

class Conformance : public ::testing::Test {
protected:
  static void SetUpTestSuite() {
#ifndef _WIN32
    // The software window presents into its window surface; should it ever pick
    // a renderer here, SDL's software one keeps off the OpenGL window's context.
    SDL_SetHint(SDL_HINT_RENDER_DRIVER, "software");
#endif
    KFrameClock::setEnabled(false);
    KInput::setSource(nullptr);
    gDir = ::testing::TempDir();
    gD3D.window = new KWindowD3D(false);
    gD3D.gl = false;
    ASSERT_TRUE(gD3D.window->createGameWindow(W, H, -1, true, "Pabrix conformance D3D"));
    gD3D.window->flipBackBuffer(false, true);  // a first frame, as the program has flipped
    gGL.window = new KWindowGL(false);
    gGL.gl = true;
    ASSERT_TRUE(gGL.window->createGameWindow(W, H, -1, true, "Pabrix conformance GL"));
  }
  static void TearDownTestSuite() {
    delete gGL.window;
    delete gD3D.window;
    gGL.window = gD3D.window = nullptr;
  }
};

TEST_F(Conformance, AFullScreenFrameOfTheBoardMatches) {
  std::string back = backgroundFile(), peg = pegFile(), pat = patternFile();
  std::vector<uint32_t> d3d, gl;
  both(
      [&](Backend &b, std::vector<KGraphic *> &pics) {
        b.clear(0, 0, 0);
        load(b, pics, back)->blitRect(0, 0, 640, 480, 0, 0, false, false);
        KGraphic *p = load(b, pics, peg);
        for (int r = 0; r < 21; ++r)
          for (int c = 0; c < 32; c += 1 + (r % 3))
            p->blitAlphaRect(0, 0, 16, 16, short(70 + 16 * c), short(37 + 16 * r), false, false);
        KGraphic *s = load(b, pics, pat);
        s->blitAlphaRect(0, 0, 32, 32, 300, 200, false, false);
        s->setBlitColor(1, 0.5f, 0.25f, 0.75f);
        s->blitAlphaRect(0, 0, 32, 32, 340, 200, true, false);
        s->setBlitColor(1, 1, 1, 1);
        s->blitAlphaRectFx(0, 0, 32, 32, 380, 200, 0, 1, 0.5f, false, true);
      },
      d3d, gl);
  Diff d = compare(d3d, gl, 2);
  EXPECT_EQ(0, d.over) << "worst channel difference " << d.worst;
}

TEST_F(Conformance, TheBlitExamplesCoverTheSamePixels) {
  std::string pat = patternFile();
  std::vector<uint32_t> d3d, gl;
  both(
      [&](Backend &b, std::vector<KGraphic *> &pics) {
        b.clear(0.1f, 0.2f, 0.3f);
        KGraphic *s = load(b, pics, pat);
        s->blitRect(0, 0, 32, 32, 100, 50, false, false);
        s->blitRect(0, 0, 32, 32, 150, 50, true, false);
        s->blitRect(0, 0, 32, 32, 200, 50, true, true);
        s->blitAlphaRectFx(0, 0, 32, 32, 300, 50, 0, 2, 1, false, false);  // zoom about the centre
        s->blitAlphaRectFx(0, 0, 32, 32, 400, 50, 90, 1, 1, false, false);  // a quarter turn
        s->stretchAlphaRect(0, 0, 32, 32, 100, 150, 164, 182, 1, 0);
        s->drawRect(300, 150, 340, 190, 1, 0, 0, 1);
        s->drawRect(320, 170, 380, 230, 0, 1, 0, 0.5f);
      },
      d3d, gl);
  // Unscaled and axis-aligned: exact within rounding.
  Diff flat = compare(d3d, gl, 2, 0, 0, W, 140);
  EXPECT_EQ(0, compare(d3d, gl, 2, 0, 0, 280, 140).over) << "rectangle blits";
  EXPECT_EQ(0, compare(d3d, gl, 2, 0, 140, W, H).over) << "stretch and flat rectangles";
  // The zoomed and turned copies may differ only along their edges.
  EXPECT_LT(flat.over, 4 * 64 + 4 * 32) << "worst " << flat.worst;
}

TEST_F(Conformance, BackendsDifferWhereTheirDocumentedRulesDo) {
  std::string pat = patternFile();
  auto bounds = [](const std::vector<uint32_t> &f, int &x0, int &x1) {
    x0 = W;
    x1 = -1;
    for (int y = 0; y < H; ++y)
      for (int x = 0; x < W; ++x)
        if (f[size_t(y) * W + x] != 0) x0 = std::min(x0, x), x1 = std::max(x1, x);
  };
  std::vector<uint32_t> d3d, gl;
  int d0, d1, g0, g1;
  // blitRectFx zoom 2: this backend keeps the top-left corner, OpenGL the centre.
  both(
      [&](Backend &b, std::vector<KGraphic *> &pics) {
        b.clear(0, 0, 0);
        load(b, pics, pat)->blitRectFx(0, 0, 32, 32, 100, 100, 0, 2, false, false);
      },
      d3d, gl);
  bounds(d3d, d0, d1);
  bounds(gl, g0, g1);
  EXPECT_NEAR(100, d0, 1);
  EXPECT_NEAR(163, d1, 1);
  EXPECT_NEAR(84, g0, 1);
  EXPECT_NEAR(147, g1, 1);

  // blitTiledRect: upright here, turned by a half turn on OpenGL.
  both(
      [&](Backend &b, std::vector<KGraphic *> &pics) {
        b.clear(0, 0, 0);
        KGraphic *s = load(b, pics, pat);
        s->blitTiledRect(100, 100, 32, 32, 1, 0);
      },
      d3d, gl);
  const uint32_t topLeftTexel = 0x000064u, bottomRightTexel = 0xF8F870u;  // pattern (0,0) and (31,31)
  EXPECT_EQ(topLeftTexel, d3d[size_t(100) * W + 100]);
  EXPECT_EQ(bottomRightTexel, gl[size_t(100) * W + 100]);

  // A source rectangle with fractions: cut to whole texels here, stretched over
  // the truncated width from its exact edges on OpenGL.
  both(
      [&](Backend &b, std::vector<KGraphic *> &pics) {
        b.clear(0, 0, 0);
        load(b, pics, pat)->blitRect(0.5f, 0, 10.7f, 32, 250, 50, false, false);
      },
      d3d, gl);
  bounds(d3d, d0, d1);
  bounds(gl, g0, g1);
  EXPECT_EQ(250, d0);
  EXPECT_EQ(259, d1);
  EXPECT_EQ(250, g0);
  EXPECT_EQ(259, g1);
  EXPECT_EQ(0x000064u, d3d[size_t(50) * W + 250]) << "texel column 0";
  EXPECT_EQ(0x080065u, gl[size_t(50) * W + 250]) << "texel column 1";

  // A free quad has no half-pixel shift here: with bilinear filtering each pixel
  // centre falls between texels and mixes them; OpenGL samples texel centres.
  both(
      [&](Backend &b, std::vector<KGraphic *> &pics) {
        b.clear(0, 0, 0);
        KGraphic *s = load(b, pics, pat);
        s->setTextureQuality(true);
        s->blitArbitraryQuad(0, 0, 32, 0, 32, 32, 0, 32, 100, 100, 132, 100, 132, 132, 100, 132);
      },
      d3d, gl);
  uint32_t g = gl[size_t(110) * W + 110], d = d3d[size_t(110) * W + 110];
  EXPECT_EQ(uint32_t(10 * 8) << 16, g & 0xFF0000u) << "texel centre: red of column 10";
  EXPECT_NEAR(10 * 8 - 4, int((d >> 16) & 255), 1) << "half of columns 9 and 10";
}

TEST_F(Conformance, ScaledSavesWriteTheSameImageAndLeaveTheFrameAsItWas) {
  std::string back = backgroundFile();
  std::vector<uint32_t> d3d, gl, d3dAfter, glAfter;
  for (Backend *b : {&gD3D, &gGL}) {
    b->begin();
    KGraphic *g = b->make();
    ASSERT_TRUE(g->loadPicture(back.c_str(), true, true));
    b->clear(0, 0, 0);
    g->blitRect(0, 0, 640, 480, 0, 0, false, false);
    (b->gl ? gl : d3d) = b->frame();
    std::string file = gDir + (b->gl ? "conf_gl.png" : "conf_d3d.png");
    EXPECT_TRUE(g->saveBackBuffer(file.c_str(), K_IMAGE_PNG, 160, 120));
    (b->gl ? glAfter : d3dAfter) = b->frame();
    delete g;
  }
  EXPECT_EQ(0, compare(d3d, d3dAfter, 0).over);
  EXPECT_EQ(0, compare(gl, glAfter, 0).over);
  KImage a, b;
  ASSERT_TRUE(KImageCodec::readFile((gDir + "conf_d3d.png").c_str(), a));
  ASSERT_TRUE(KImageCodec::readFile((gDir + "conf_gl.png").c_str(), b));
  ASSERT_EQ(a.width, b.width);
  ASSERT_EQ(a.height, b.height);
  int worst = 0;
  for (size_t i = 0; i < a.rgba.size(); ++i) worst = std::max(worst, std::abs(int(a.rgba[i]) - int(b.rgba[i])));
  EXPECT_LE(worst, 8) << "nearest sampling of the same frame";
}

}  // namespace
