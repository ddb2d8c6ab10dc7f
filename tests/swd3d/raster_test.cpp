// Which pixels the software device lights: pixel centres on whole coordinates, the
// top-left rule, seamless meshes, clipping at every viewport edge, points and lines.
#include <random>

#include "swd3d_fixture.h"

namespace {

const uint32_t kRed = 0xFFFF0000u, kBlack = 0xFF000000u;

class Raster : public SwFixture {};

// Pixels covered by [x0, x1) x [y0, y1), as a mask the tests compare against.
std::vector<bool> box(int W, int H, int x0, int y0, int x1, int y1) {
  std::vector<bool> m(size_t(W) * H, false);
  for (int y = y0; y < y1; ++y)
    for (int x = x0; x < x1; ++x) m[size_t(y) * W + x] = true;
  return m;
}

std::vector<bool> lit(const std::vector<uint32_t> &px, uint32_t color) {
  std::vector<bool> m;
  for (uint32_t p : px) m.push_back((p & 0xFFFFFF) == (color & 0xFFFFFF));
  return m;
}

TEST_F(Raster, QuadsCoverPixelsWhoseCentresLieInsideLeftAndTopInclusive) {
  struct Case {
    float x0, y0, x1, y1;
    int px0, py0, px1, py1;  // expected half-open pixel box
  } cases[] = {
      {4, 4, 8, 8, 4, 4, 8, 8},                  // whole coordinates: centres on the left/top edge count
      {3.5f, 3.5f, 7.5f, 7.5f, 4, 4, 8, 8},      // the half-pixel shifted quad covers the same pixels
      {4.5f, 2.5f, 6.5f, 3.5f, 5, 3, 7, 4},      // one row
      {4.25f, 4.75f, 4.75f, 9.25f, 0, 0, 0, 0},  // narrower than a pixel, no centre inside
      {4.2f, 4.2f, 7.9f, 5.1f, 5, 5, 8, 6},
  };
  for (const Case &c : cases) {
    fill(kBlack);
    quad(c.x0, c.y0, c.x1, c.y1, kRed);
    EXPECT_EQ(box(W, H, c.px0, c.py0, c.px1, c.py1), lit(pixels(), kRed))
        << c.x0 << "," << c.y0 << " " << c.x1 << "," << c.y1;
  }
}

TEST_F(Raster, TriangleEdgesThroughPixelCentresFollowTheTopLeftRule) {
  fill(kBlack);
  // Right angle at the top-left: its top and left edges pass through centres and
  // count; the hypotenuse (x + y = 8) is a right edge and does not.
  D3DLVERTEX v[3] = {lv(0, 0, kRed), lv(8, 0, kRed), lv(0, 8, kRed)};
  ASSERT_EQ(D3D_OK, dev->DrawPrimitive(D3DPT_TRIANGLELIST, D3DFVF_LVERTEX, v, 3, 0));
  std::vector<uint32_t> px = pixels();
  for (int y = 0; y < H; ++y)
    for (int x = 0; x < W; ++x)
      EXPECT_EQ(x + y < 8, (px[size_t(y) * W + x] & 0xFFFFFF) == 0xFF0000) << x << "," << y;

  // The same shape mirrored: now the vertical edge is a right edge and is left out.
  fill(kBlack);
  D3DLVERTEX m[3] = {lv(20, 0, kRed), lv(20, 8, kRed), lv(12, 0, kRed)};
  ASSERT_EQ(D3D_OK, dev->DrawPrimitive(D3DPT_TRIANGLELIST, D3DFVF_LVERTEX, m, 3, 0));
  EXPECT_EQ(0, int(pixels()[2 * W + 20] & 0xFFFFFF));
  EXPECT_EQ(0xFF0000u, pixels()[2 * W + 19] & 0xFFFFFF);
  // Winding does not matter with culling off, and is honoured with it on.
  dev->SetRenderState(D3DRENDERSTATE_CULLMODE, D3DCULL_CW);
  fill(kBlack);
  ASSERT_EQ(D3D_OK, dev->DrawPrimitive(D3DPT_TRIANGLELIST, D3DFVF_LVERTEX, v, 3, 0));
  EXPECT_EQ(W * H, count(kBlack));  // (0,0),(8,0),(0,8) is clockwise on screen
  dev->SetRenderState(D3DRENDERSTATE_CULLMODE, D3DCULL_CCW);
  ASSERT_EQ(D3D_OK, dev->DrawPrimitive(D3DPT_TRIANGLELIST, D3DFVF_LVERTEX, v, 3, 0));
  EXPECT_EQ(36, count(kRed));
}

// A mesh of triangles with shared, irregular edges, drawn additively: a pixel
// drawn twice (a seam blended twice) or never (a gap) shows at once.
TEST_F(Raster, MeshesHaveNoGapsAndNoDoubleBlendedSeams) {
  open(64, 48, fmtXRGB());
  std::mt19937 rng(7);
  std::uniform_real_distribution<float> jitter(-0.15f, 0.15f);  // keeps every cell convex
  const int nx = 9, ny = 7;
  float gx[nx][ny], gy[nx][ny];
  for (int i = 0; i < nx; ++i)
    for (int j = 0; j < ny; ++j) {
      bool edge = i == 0 || j == 0 || i == nx - 1 || j == ny - 1;
      gx[i][j] = 2.5f + i * 7.0f + (edge ? 0 : jitter(rng) * 7);
      gy[i][j] = 1.25f + j * 7.0f + (edge ? 0 : jitter(rng) * 7);
    }
  for (int rep = 0; rep < 2; ++rep) {
    SwSetReferenceRasterizer(rep == 1);
    fill(0);
    dev->SetRenderState(D3DRENDERSTATE_ALPHABLENDENABLE, 1);
    dev->SetRenderState(D3DRENDERSTATE_SRCBLEND, D3DBLEND_ONE);
    dev->SetRenderState(D3DRENDERSTATE_DESTBLEND, D3DBLEND_ONE);
    const D3DCOLOR one = 0xFF010101u;
    for (int j = 0; j + 1 < ny; ++j) {  // one strip per row of cells
      std::vector<D3DLVERTEX> strip;
      for (int i = 0; i < nx; ++i) {
        strip.push_back(lv(gx[i][j], gy[i][j], one));
        strip.push_back(lv(gx[i][j + 1], gy[i][j + 1], one));
      }
      ASSERT_EQ(D3D_OK, dev->DrawPrimitive(D3DPT_TRIANGLESTRIP, D3DFVF_LVERTEX, strip.data(),
                                           uint32_t(strip.size()), 0));
    }
    SwSetReferenceRasterizer(false);
    dev->SetRenderState(D3DRENDERSTATE_ALPHABLENDENABLE, 0);
    // Inside the mesh's outline, x in [2.5, 58.5), y in [1.25, 43.25): exactly once.
    std::vector<uint32_t> px = pixels();
    for (int y = 0; y < 48; ++y)
      for (int x = 0; x < 64; ++x) {
        bool in = x >= 3 && x <= 58 && y >= 2 && y <= 43;
        EXPECT_EQ(in ? 0x010101u : 0u, px[size_t(y) * 64 + x] & 0xFFFFFF)
            << "pixel " << x << "," << y << " pass " << rep;
      }
  }
}

TEST_F(Raster, PrimitivesAreClippedAtEveryViewportEdge) {
  open(40, 30, fmtXRGB());
  D3DVIEWPORT7 vp = {5, 4, 20, 15, 0, 1};  // pixels 5..24 by 4..18
  fill(0xFF0000FFu);
  ASSERT_EQ(D3D_OK, dev->SetViewport(&vp));
  D3DMATRIX proj;
  std::memset(&proj, 0, sizeof proj);
  proj._11 = 2.0f / 20;
  proj._22 = -2.0f / 15;
  proj._33 = 1;
  proj._41 = -1;
  proj._42 = 1;
  proj._44 = 1;
  dev->SetTransform(D3DTRANSFORMSTATE_PROJECTION, &proj);
  // Vertices in viewport pixels, so viewport (0,0) is target (5,4).
  struct Case {
    float x0, y0, x1, y1;
    int px0, py0, px1, py1;  // expected, in target pixels
  } cases[] = {
      {-6, 2, 4, 6, 5, 6, 9, 10},          // past the left edge
      {15, 2, 30, 6, 20, 6, 25, 10},       // past the right edge
      {3, -9, 8, 3, 8, 4, 13, 7},          // past the top
      {3, 10, 8, 99, 8, 14, 13, 19},       // past the bottom
      {-5e4f, -5e4f, 5e4f, 5e4f, 5, 4, 25, 19},  // far past all four: fills the viewport
  };
  for (const Case &c : cases) {
    for (int ref = 0; ref < 2; ++ref) {
      SwSetReferenceRasterizer(ref == 1);
      dev->Clear(0, nullptr, D3DCLEAR_TARGET, kBlack, 1, 0);
      quad(c.x0, c.y0, c.x1, c.y1, kRed);
      D3DLVERTEX tri[3] = {lv(c.x0, c.y0, kRed), lv(c.x1, c.y0, kRed), lv(c.x0, c.y1, kRed)};
      ASSERT_EQ(D3D_OK, dev->DrawPrimitive(D3DPT_TRIANGLELIST, D3DFVF_LVERTEX, tri, 3, 0));
      EXPECT_EQ(box(40, 30, c.px0, c.py0, c.px1, c.py1), lit(pixels(), kRed))
          << c.x0 << "," << c.y0 << " ref " << ref;
    }
  }
  SwSetReferenceRasterizer(false);
  // Depth outside [0, 1] is clipped away; the viewport's Clear never leaves it.
  D3DLVERTEX deep[3] = {lv(0, 0, kRed), lv(10, 0, kRed), lv(0, 10, kRed)};
  for (D3DLVERTEX &v : deep) v.z = 1.5f;
  dev->Clear(0, nullptr, D3DCLEAR_TARGET, kBlack, 1, 0);
  ASSERT_EQ(D3D_OK, dev->DrawPrimitive(D3DPT_TRIANGLELIST, D3DFVF_LVERTEX, deep, 3, 0));
  EXPECT_EQ(0, count(kRed));
  std::vector<uint32_t> px = pixels();
  EXPECT_EQ(0x0000FFu, px[0] & 0xFFFFFF) << "Clear stayed inside the viewport";
  EXPECT_EQ(0x0000FFu, px[size_t(19) * 40 + 25] & 0xFFFFFF);
}

TEST_F(Raster, PointsLightTheNearestPixelAndLinesLeaveTheirEndPixel) {
  fill(kBlack);
  D3DLVERTEX pts[3] = {lv(5, 5, kRed), lv(7.4f, 2.6f, kRed), lv(-3, 1, kRed)};
  ASSERT_EQ(D3D_OK, dev->DrawPrimitive(D3DPT_POINTLIST, D3DFVF_LVERTEX, pts, 3, 0));
  EXPECT_EQ(2, count(kRed));
  EXPECT_EQ(0xFF0000u, rgb(5, 5));
  EXPECT_EQ(0xFF0000u, rgb(7, 3));

  fill(kBlack);
  D3DLVERTEX h[2] = {lv(2, 10, kRed), lv(12, 10, kRed)};
  ASSERT_EQ(D3D_OK, dev->DrawPrimitive(D3DPT_LINELIST, D3DFVF_LVERTEX, h, 2, 0));
  EXPECT_EQ(box(W, H, 2, 10, 12, 11), lit(pixels(), kRed));

  fill(kBlack);
  D3DLVERTEX d[3] = {lv(1, 1, kRed), lv(9, 5, kRed), lv(9, 15, kRed)};
  ASSERT_EQ(D3D_OK, dev->DrawPrimitive(D3DPT_LINESTRIP, D3DFVF_LVERTEX, d, 3, 0));
  // x-major segment: one pixel per column 1..8; then y-major: rows 5..14.
  EXPECT_EQ(8 + 10, count(kRed));
  EXPECT_EQ(0xFF0000u, rgb(1, 1));
  EXPECT_EQ(0xFF0000u, rgb(9, 14));
  EXPECT_EQ(0u, rgb(9, 15));
}

}  // namespace
