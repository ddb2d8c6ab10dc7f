// What reaches the window: the frame itself when unscaled, scaled smoothly with
// black bars when the window is larger, back to sharp when it shrinks again; only
// the tiles that changed, nothing (not even drawing) for an unchanged frame, but
// a redraw when a picture's pixels changed under the same calls; and the
// processor's bilinear scaler against a plain floating-point one.
#include <SDL.h>

#include <cmath>

#include "platform/swd3d/KScale.h"
#include "d3d_fixture.h"
#include "platform/sdl/KSdlWindow.h"
#include "platform/sdl/KSwPresenter.h"

namespace {

uint32_t shown(KWindowD3D *w, int x, int y) {
  SDL_Surface *s = SDL_GetWindowSurface(kSdlWindow(w->getWindowHandle()));
  uint32_t v = 0;
  std::memcpy(&v, static_cast<uint8_t *>(s->pixels) + y * s->pitch + x * 4, 4);
  return v & 0xFFFFFF;
}

void resize(KWindowD3D *w, int width, int height) {
  SDL_SetWindowSize(kSdlWindow(w->getWindowHandle()), width, height);
  KNativeWindow::pumpPlatform();
}

TEST_F(D3DTest, TheWindowShowsTheFrameUnscaledOrScaledBetweenBars) {
  clear(0, 0, 1);
  window->flipBackBuffer(false, true);
  EXPECT_EQ(0x0000FFu, shown(window, 0, 0));
  EXPECT_EQ(0x0000FFu, shown(window, 639, 479));

  resize(window, 1600, 960);  // twice the frame, 160 pixels of bar each side
  clear(1, 0, 0);
  window->flipBackBuffer(false, true);
  EXPECT_EQ(0u, shown(window, 159, 500));
  EXPECT_EQ(0u, shown(window, 1440, 10));
  EXPECT_EQ(0xFF0000u, shown(window, 160, 0));
  EXPECT_EQ(0xFF0000u, shown(window, 1439, 959));

  // Shrinking again frees the large surface; the frame drawn meanwhile survives.
  clear(0, 1, 0);
  resize(window, 640, 480);
  window->flipBackBuffer(false, true);
  EXPECT_EQ(0x00FF00u, shown(window, 639, 479));
  clear(1, 1, 0);
  window->flipBackBuffer(false, true);
  EXPECT_EQ(0xFFFF00u, shown(window, 320, 240));
}

TEST_F(D3DTest, WhatANewDeviceDrawsBeforeItsFirstFlipIsShown) {
  delete window;  // an unflipped one: the program's first frame, then the first after a switch
  window = static_cast<KWindowD3D *>(KQMX::createKWindow(K_DIRECTX, false));
  ASSERT_TRUE(window->createGameWindow(640, 480, -1, true, "Pabrix D3D test"));
  std::vector<uint32_t> art(16 * 16, 0xFF00FF00u);
  for (const bool fullscreen : {false, true}) {
    window->toggleFullScreen(fullscreen);
    KGraphicD3D *pic = picture();
    ASSERT_TRUE(pic->makePictureFromArray(art.data(), 16, 16, true));
    window->setDefaultWorldView();
    pic->blitRect(0, 0, 16, 16, 40, 40, false, false);
    EXPECT_EQ(0x00FF00u, px(45, 45)) << fullscreen;
  }
}

TEST_F(D3DTest, AnUnchangedFramePresentsNothingAndASpriteOnlyItsTiles) {
  auto *presenter = dynamic_cast<KSwPresenter *>(SwDisplayFor(window->getWindowHandle()));
  ASSERT_NE(nullptr, presenter);
  for (const bool scaled : {false, true}) {
    SCOPED_TRACE(scaled ? "scaled" : "windowed");
    resize(window, scaled ? 1600 : 640, scaled ? 960 : 480);
    clear(0, 0, 1);
    // A picture that changed everywhere is shown whole for a few frames.
    for (int i = 0; i < KSwPresenter::kBusyFrames + 2; ++i) window->flipBackBuffer(false, true);
    const long frames = presenter->framesShown();
    const long long pixels = presenter->pixelsShown(), drawn = SwPrimitivesDrawn();
    clear(0, 0, 1);  // drawn again, the same: not even drawn
    window->flipBackBuffer(false, true);
    EXPECT_EQ(frames, presenter->framesShown());
    EXPECT_EQ(pixels, presenter->pixelsShown());
    EXPECT_EQ(drawn, SwPrimitivesDrawn());

    // A 10x10 sprite inside one 32x32 tile: that tile (scaled: with the pixels
    // that blend it with its neighbours) and nothing else.
    D3DRECT sprite = {100, 70, 110, 80};
    window->_lpD3DDevice->Clear(1, &sprite, D3DCLEAR_TARGET, 0xFFFF0000u, 1, 0);
    window->flipBackBuffer(false, true);
    EXPECT_EQ(frames + 1, presenter->framesShown());
    const long long pushed = presenter->pixelsShown() - pixels;
    if (!scaled) {
      EXPECT_EQ(32 * 32, pushed);
      EXPECT_EQ(0xFF0000u, shown(window, 105, 75));
    } else {
      EXPECT_GE(pushed, 64 * 64);
      EXPECT_LE(pushed, 66 * 66) << "twice the tile, a pixel more each side";
    }
  }
  // What the partial updates built up is what a whole frame would have shown.
  SDL_Surface *s = SDL_GetWindowSurface(kSdlWindow(window->getWindowHandle()));
  std::vector<uint32_t> partial(static_cast<uint32_t *>(s->pixels),
                                static_cast<uint32_t *>(s->pixels) + s->pitch / 4 * s->h);
  resize(window, 1601, 960);  // a new surface: shown whole
  resize(window, 1600, 960);
  window->flipBackBuffer(false, true);
  s = SDL_GetWindowSurface(kSdlWindow(window->getWindowHandle()));
  for (int y = 0; y < s->h; ++y)
    for (int x = 0; x < s->w; ++x)
      ASSERT_EQ(partial[size_t(y) * (s->pitch / 4) + x] & 0xFFFFFF, shown(window, x, y))
          << x << "," << y;

  // The same calls over a picture whose pixels changed draw the new pixels.
  resize(window, 640, 480);
  KGraphicD3D *pic = picture();
  std::vector<uint32_t> art(16 * 16, 0xFF00FF00u);
  ASSERT_TRUE(pic->makePictureFromArray(art.data(), 16, 16, true));
  for (const uint32_t colour : {0xFF00FF00u, 0xFF00FF00u, 0xFFFF00FFu}) {
    DDSURFACEDESC2 d;
    std::memset(&d, 0, sizeof d);
    d.dwSize = sizeof d;
    ASSERT_EQ(DD_OK, pic->_surface->Lock(nullptr, &d, DDLOCK_WAIT, nullptr));
    for (uint32_t y = 0; y < d.dwHeight; ++y)
      std::fill_n(reinterpret_cast<uint32_t *>(static_cast<uint8_t *>(d.lpSurface) + y * d.lPitch),
                  d.dwWidth, colour);
    pic->_surface->Unlock(nullptr);
    clear(0, 0, 1);
    pic->blitRect(0, 0, 16, 16, 40, 40, false, false);
    window->flipBackBuffer(false, true);
    EXPECT_EQ(colour & 0xFFFFFF, shown(window, 45, 45));
  }
}

TEST_F(D3DTest, AChangedFrameRedrawsOnlyWhatMovedAndAsAWholeFrameWould) {
  std::vector<uint32_t> art(32 * 32);
  for (size_t i = 0; i < art.size(); ++i) art[i] = uint32_t(i * 2654435761u) | 0x40000000u;
  KGraphicD3D *pic = picture();
  ASSERT_TRUE(pic->makePictureFromArray(art.data(), 32, 32, true));
  auto draw = [&](int step) {  // a still sprite, and one that moves, turns and blends
    clear(0.2f, 0.4f, 0.6f);
    pic->blitAlphaRect(0, 0, 32, 32, 500, 400, false, false);
    pic->blitAlphaRectFx(0, 0, 32, 32, short(100 + step), 90, 7.0f * step, 1.5f, 0.8f, false, false);
  };
  for (int i = 0; i <= KSwPresenter::kBusyFrames; ++i) {  // past the first, busy frames
    draw(0);
    window->flipBackBuffer(false, true);
  }
  auto *presenter = dynamic_cast<KSwPresenter *>(SwDisplayFor(window->getWindowHandle()));
  ASSERT_NE(nullptr, presenter);
  for (int step = 1; step < 6; ++step) {
    const long long drawn = SwPrimitivesDrawn(), pixels = presenter->pixelsShown();
    draw(step);
    window->flipBackBuffer(false, true);
    EXPECT_LT(SwPrimitivesDrawn() - drawn, 3) << "the still sprite is not drawn again";
    EXPECT_LE(presenter->pixelsShown() - pixels, 16 * 32 * 32) << "the moved sprite's tiles";
  }
  // Pixels neither the device nor the window can account for (written through a
  // lock) are drawn and compared whole, and equal what was built up in parts.
  auto touch = [] {
    DDSURFACEDESC2 d;
    std::memset(&d, 0, sizeof d);
    d.dwSize = sizeof d;
    ASSERT_EQ(DD_OK, KGraphicD3D::_backBuffer->Lock(nullptr, &d, DDLOCK_WAIT, nullptr));
    KGraphicD3D::_backBuffer->Unlock(nullptr);
  };
  const std::vector<uint32_t> parts = frame();
  touch();
  draw(5);
  ASSERT_EQ(parts, frame());
  touch();
  const long long pixels = presenter->pixelsShown();
  window->flipBackBuffer(false, true);
  EXPECT_EQ(pixels, presenter->pixelsShown());
}

// Centre-aligned bilinear sampling with clamped edges, per byte.
uint32_t reference(const std::vector<uint32_t> &src, int sw, int sh, int dw, int dh, int x, int y) {
  auto at = [&](double f, int n) { return std::min(std::max(f, 0.0), double(n - 1)); };
  const double fx = at((x + 0.5) * sw / dw - 0.5, sw), fy = at((y + 0.5) * sh / dh - 0.5, sh);
  const int x0 = int(fx), y0 = int(fy);
  const int x1 = std::min(x0 + 1, sw - 1), y1 = std::min(y0 + 1, sh - 1);
  const double ax = fx - x0, ay = fy - y0;
  uint32_t out = 0;
  for (int b = 0; b < 24; b += 8) {
    auto c = [&](int i, int j) { return double((src[size_t(j) * sw + i] >> b) & 0xFF); };
    const double v = (c(x0, y0) * (1 - ax) + c(x1, y0) * ax) * (1 - ay) +
                     (c(x0, y1) * (1 - ax) + c(x1, y1) * ax) * ay;
    out |= uint32_t(std::lround(v)) << b;
  }
  return out;
}

TEST(BilinearScaler, MatchesPlainBilinearWithinTwoLevelsAtAnySize) {
  struct Size { int sw, sh, dw, dh; };
  const Size sizes[] = {{640, 480, 1440, 1080}, {640, 480, 1024, 768}, {7, 5, 23, 9},
                        {1, 1, 5, 3},           {5, 2, 2, 7},           {3, 3, 3, 3}};
  KBilinearScaler scaler;
  for (const Size &s : sizes) {
    std::vector<uint32_t> src(size_t(s.sw) * s.sh);
    for (size_t i = 0; i < src.size(); ++i) src[i] = uint32_t(i * 2654435761u) & 0xFFFFFF;
    std::vector<uint32_t> dst(size_t(s.dw + 3) * s.dh, 0xDEADBEEF);  // a wider pitch
    scaler.scale(src.data(), long(s.sw) * 4, s.sw, s.sh, dst.data(), long(s.dw + 3) * 4, s.dw, s.dh);
    int worst = 0;
    for (int y = 0; y < s.dh; ++y) {
      for (int x = 0; x < s.dw; ++x) {
        const uint32_t got = dst[size_t(y) * (s.dw + 3) + x], want = reference(src, s.sw, s.sh, s.dw, s.dh, x, y);
        for (int b = 0; b < 24; b += 8)
          worst = std::max(worst, std::abs(int((got >> b) & 0xFF) - int((want >> b) & 0xFF)));
      }
      for (int x = s.dw; x < s.dw + 3; ++x)
        ASSERT_EQ(0xDEADBEEFu, dst[size_t(y) * (s.dw + 3) + x]) << "wrote past the row";
    }
    EXPECT_LE(worst, 2) << s.sw << "x" << s.sh << " to " << s.dw << "x" << s.dh;
  }
}

}  // namespace
