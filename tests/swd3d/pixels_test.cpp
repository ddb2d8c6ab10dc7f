// What colour the software device writes: texture sampling (point, bilinear,
// wrap, clamp, mirror), modulation by the vertex colour, the blend factors, and
// the 16-bit texture and render-target formats.
#include "swd3d_fixture.h"

namespace {

class Pixels : public SwFixture {
protected:
  IDirectDrawSurface7 *tex = nullptr;
  void TearDown() override {
    if (tex) tex->Release();
    SwFixture::TearDown();
  }
  void bind(IDirectDrawSurface7 *t) {
    if (tex) tex->Release();
    tex = t;
    ASSERT_EQ(D3D_OK, dev->SetTexture(0, tex));
  }
  void blend(D3DBLEND s, D3DBLEND d) {
    dev->SetRenderState(D3DRENDERSTATE_ALPHABLENDENABLE, 1);
    dev->SetRenderState(D3DRENDERSTATE_SRCBLEND, uint32_t(s));
    dev->SetRenderState(D3DRENDERSTATE_DESTBLEND, uint32_t(d));
  }
};

uint32_t chan(uint32_t c, int shift) { return (c >> shift) & 255; }

TEST_F(Pixels, PointSamplingCopiesTexelsOneToOneMirroredOrNot) {
  std::vector<uint32_t> t(16);
  for (int i = 0; i < 16; ++i) t[i] = 0xFF000000u | uint32_t(i * 0x0F0F0F);
  bind(makeTexture(4, 4, t));
  fill(0);
  // The half-pixel shift puts texel centres on pixel centres.
  quad(9.5f, 4.5f, 13.5f, 8.5f);
  quad(19.5f, 4.5f, 23.5f, 8.5f, 0xFFFFFFFFu, 1, 0, 0, 1);  // u runs backwards: mirrored
  quad(9.5f, 14.5f, 13.5f, 18.5f, 0xFFFFFFFFu, 1, 1, 0, 0);  // both: a half turn
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) {
      EXPECT_EQ(t[y * 4 + x] & 0xFFFFFF, rgb(10 + x, 5 + y));
      EXPECT_EQ(t[y * 4 + (3 - x)] & 0xFFFFFF, rgb(20 + x, 5 + y));
      EXPECT_EQ(t[(3 - y) * 4 + (3 - x)] & 0xFFFFFF, rgb(10 + x, 15 + y));
    }
}

TEST_F(Pixels, BilinearBlendsNeighboursAndClampStopsAtTheEdge) {
  bind(makeTexture(2, 1, {0xFF000000u, 0xFFFFFFFFu}));
  dev->SetTextureStageState(0, D3DTSS_MAGFILTER, D3DTFG_LINEAR);
  dev->SetTextureStageState(0, D3DTSS_ADDRESS, D3DTADDRESS_CLAMP);
  fill(0);
  quad(-0.5f, -0.5f, 3.5f, 0.5f);  // two texels over four pixels
  EXPECT_EQ(0u, chan(rgb(0, 0), 0));
  EXPECT_NEAR(64, int(chan(rgb(1, 0), 0)), 1);
  EXPECT_NEAR(191, int(chan(rgb(2, 0), 0)), 1);
  EXPECT_EQ(255u, chan(rgb(3, 0), 0));
  // Wrapping instead blends the last texel with the first at the edges.
  dev->SetTextureStageState(0, D3DTSS_ADDRESS, D3DTADDRESS_WRAP);
  quad(-0.5f, 0.5f, 3.5f, 1.5f);
  EXPECT_NEAR(64, int(chan(rgb(0, 1), 0)), 1);
  EXPECT_NEAR(191, int(chan(rgb(3, 1), 0)), 1);
}

TEST_F(Pixels, AddressModesRepeatMirrorOrClampBeyondTheTexture) {
  bind(makeTexture(4, 1, {0xFF000010u, 0xFF000020u, 0xFF000030u, 0xFF000040u}));
  fill(0);
  // u from 0 to 2 over eight pixels: each texel is met twice.
  const uint32_t wrap[8] = {0x10, 0x20, 0x30, 0x40, 0x10, 0x20, 0x30, 0x40};
  const uint32_t mirror[8] = {0x10, 0x20, 0x30, 0x40, 0x40, 0x30, 0x20, 0x10};
  const uint32_t clamp[8] = {0x10, 0x20, 0x30, 0x40, 0x40, 0x40, 0x40, 0x40};
  const uint32_t *want[3] = {wrap, mirror, clamp};
  const D3DTEXTUREADDRESS mode[3] = {D3DTADDRESS_WRAP, D3DTADDRESS_MIRROR, D3DTADDRESS_CLAMP};
  for (int m = 0; m < 3; ++m) {
    dev->SetTextureStageState(0, D3DTSS_ADDRESSU, mode[m]);
    quad(-0.5f, m - 0.5f, 7.5f, m + 0.5f, 0xFFFFFFFFu, 0, 0, 2, 1);
    for (int x = 0; x < 8; ++x) EXPECT_EQ(want[m][x], rgb(x, m)) << "mode " << m << " x " << x;
  }
}

TEST_F(Pixels, TextureIsModulatedByTheVertexColourAndAlpha) {
  bind(makeTexture(1, 1, {0x80C86432u}));  // a 128, r 200, g 100, b 50
  fill(0);
  quad(0, 0, 4, 4, 0xFF80FF00u);  // r x 128/255, g x 1, b x 0
  EXPECT_EQ(0x646400u, rgb(1, 1));
  // Alpha: texel alpha times vertex alpha, seen through blending over black.
  blend(D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA);
  quad(4, 0, 8, 4, 0x80FFFFFFu);  // alpha 128 * 128 / 255 = 64
  EXPECT_NEAR(50, int(chan(rgb(5, 1), 16)), 1);  // 200 * 64 / 255
  EXPECT_NEAR(25, int(chan(rgb(5, 1), 8)), 1);
  // With no texture the vertex colour is drawn as is.
  dev->SetTexture(0, nullptr);
  dev->SetRenderState(D3DRENDERSTATE_ALPHABLENDENABLE, 0);
  quad(8, 0, 12, 4, 0xFF123456u);
  EXPECT_EQ(0x123456u, rgb(9, 1));
}

TEST_F(Pixels, BlendFactorsCombineSourceAndDestination) {
  // Source (200, 100, 0) at alpha 128 over destination (0, 0, 255).
  const D3DCOLOR src = 0x80C86400u, dst = 0xFF0000FFu;
  struct Case {
    D3DBLEND s, d;
    int r, g, b;
  } cases[] = {
      {D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA, 100, 50, 127},  // ordinary transparency
      {D3DBLEND_ONE, D3DBLEND_INVSRCALPHA, 200, 100, 127},       // premultiplied
      {D3DBLEND_ZERO, D3DBLEND_INVSRCALPHA, 0, 0, 127},          // darken only
      {D3DBLEND_SRCALPHA, D3DBLEND_DESTALPHA, 100, 50, 255},     // no destination alpha: 1
      {D3DBLEND_ONE, D3DBLEND_ONE, 200, 100, 255},               // saturates
      {D3DBLEND_ONE, D3DBLEND_ZERO, 200, 100, 0},
      {D3DBLEND_DESTCOLOR, D3DBLEND_ZERO, 0, 0, 0},
  };
  int x = 0;
  for (const Case &c : cases) {
    dev->SetRenderState(D3DRENDERSTATE_ALPHABLENDENABLE, 0);
    quad(float(x), 0, float(x + 2), 2, dst);
    blend(c.s, c.d);
    quad(float(x), 0, float(x + 2), 2, src);
    uint32_t p = rgb(x, 0);
    EXPECT_NEAR(c.r, int(chan(p, 16)), 1) << c.s << "/" << c.d;
    EXPECT_NEAR(c.g, int(chan(p, 8)), 1) << c.s << "/" << c.d;
    EXPECT_NEAR(c.b, int(chan(p, 0)), 1) << c.s << "/" << c.d;
    x += 2;
  }
  // On a target with alpha, destination alpha is what was written there.
  open(8, 8, fmtARGB());
  dev->Clear(0, nullptr, D3DCLEAR_TARGET, 0x000000FFu, 1, 0);  // blue, alpha 0
  blend(D3DBLEND_SRCALPHA, D3DBLEND_DESTALPHA);
  quad(0, 0, 2, 2, src);
  uint32_t p = pixels()[0];
  EXPECT_NEAR(0, int(chan(p, 0)), 1);
  EXPECT_NEAR(100, int(chan(p, 16)), 1);
}

TEST_F(Pixels, SixteenBitTexturesAndTargetsConvertFaithfully) {
  // ARGB 4444 and RGB 555 textures sample as their widened 8-bit colours.
  IDirectDrawSurface7 *t4 = makeSurface(2, 1, fmt4444(), DDSCAPS_TEXTURE);
  IDirectDrawSurface7 *t5 = makeSurface(2, 1, fmt555(), DDSCAPS_TEXTURE);
  ASSERT_TRUE(t4 && t5);
  DDSURFACEDESC2 sd;
  std::memset(&sd, 0, sizeof sd);
  sd.dwSize = sizeof sd;
  ASSERT_EQ(DD_OK, t4->Lock(nullptr, &sd, DDLOCK_WAIT, nullptr));
  EXPECT_EQ(16u, sd.ddpfPixelFormat.dwRGBBitCount);
  uint16_t *p4 = static_cast<uint16_t *>(sd.lpSurface);
  p4[0] = 0xF80F;  // opaque, r 8, g 0, b 15
  p4[1] = 0x0FFF;  // transparent white
  t4->Unlock(nullptr);
  ASSERT_EQ(DD_OK, t5->Lock(nullptr, &sd, DDLOCK_WAIT, nullptr));
  uint16_t *p5 = static_cast<uint16_t *>(sd.lpSurface);
  p5[0] = (31 << 10) | (16 << 5) | 0;
  p5[1] = 0x7FFF;
  t5->Unlock(nullptr);

  fill(0);
  bind(t4);
  blend(D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA);
  quad(-0.5f, -0.5f, 1.5f, 0.5f);
  EXPECT_EQ(0x8800FFu, rgb(0, 0));
  EXPECT_EQ(0u, rgb(1, 0)) << "alpha 0 texel leaves the target";
  bind(t5);
  quad(-0.5f, 0.5f, 1.5f, 1.5f);
  EXPECT_EQ(0xFF8400u, rgb(0, 1));
  EXPECT_EQ(0xFFFFFFu, rgb(1, 1)) << "no alpha channel: opaque";

  // A 565 render target takes the top bits of each channel.
  open(8, 8, fmt565());
  dev->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000u, 1, 0);
  quad(0, 0, 4, 4, 0xFFFF8040u);
  EXPECT_EQ((31u << 11) | (32u << 5) | 8u, pixels()[9]);
  blend(D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA);
  quad(0, 0, 4, 4, 0x80000000u);  // half black over it
  uint32_t v = pixels()[9];
  EXPECT_NEAR(15, int(v >> 11), 1);
  EXPECT_NEAR(16, int((v >> 5) & 63), 1);

  // Colour fills and converting blits between formats.
  IDirectDrawSurface7 *a = makeSurface(4, 4, fmt565(), DDSCAPS_OFFSCREENPLAIN);
  IDirectDrawSurface7 *b = makeSurface(4, 4, fmtXRGB(), DDSCAPS_OFFSCREENPLAIN);
  ASSERT_TRUE(a && b);
  DDBLTFX fx;
  fx.dwSize = sizeof fx;
  fx.dwFillColor = 0xF81F;  // magenta in 565
  ASSERT_EQ(DD_OK, a->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fx));
  ASSERT_EQ(DD_OK, b->Blt(nullptr, a, nullptr, DDBLT_WAIT, nullptr));
  EXPECT_EQ(0xFF00FFu, read(b)[5] & 0xFFFFFF);
  a->Release();
  b->Release();
}

}  // namespace
