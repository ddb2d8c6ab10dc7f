// The fast span and rectangle paths against the per-pixel reference path: random
// quads (unscaled, flipped, stretched, rotated), triangles and states drawn both
// ways over the same background must give identical pixels.
#include <algorithm>
#include <cmath>
#include <random>

#include "swd3d_fixture.h"

namespace {

class FastPath : public SwFixture {
protected:
  std::mt19937 rng{1234};
  int irand(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); }
  float frand(float lo, float hi) { return std::uniform_real_distribution<float>(lo, hi)(rng); }

  IDirectDrawSurface7 *randomTexture(int w, int h, DDPIXELFORMAT pf) {
    IDirectDrawSurface7 *t = makeSurface(w, h, pf, DDSCAPS_TEXTURE);
    DDSURFACEDESC2 sd;
    std::memset(&sd, 0, sizeof sd);
    sd.dwSize = sizeof sd;
    if (!t || t->Lock(nullptr, &sd, DDLOCK_WAIT, nullptr) != DD_OK) return t;
    int bpp = int(pf.dwRGBBitCount / 8);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        uint32_t c = uint32_t(rng());
        int k = irand(0, 3);  // plenty of fully transparent and fully opaque texels
        if (k == 0) c &= 0x00FFFFFFu;
        if (k == 1) c |= 0xFF000000u;
        std::memcpy(static_cast<uint8_t *>(sd.lpSurface) + y * sd.lPitch + x * bpp, &c,
                    size_t(bpp));
      }
    t->Unlock(nullptr);
    return t;
  }

  void randomBackground(IDirectDrawSurface7 *a, IDirectDrawSurface7 *b, uint32_t seed) {
    for (IDirectDrawSurface7 *s : {a, b}) {
      std::mt19937 r(seed);
      DDSURFACEDESC2 sd;
      std::memset(&sd, 0, sizeof sd);
      sd.dwSize = sizeof sd;
      ASSERT_EQ(DD_OK, s->Lock(nullptr, &sd, DDLOCK_WAIT, nullptr));
      for (uint32_t y = 0; y < sd.dwHeight; ++y)
        for (uint32_t x = 0; x < sd.dwWidth; ++x) {
          uint32_t c = uint32_t(r());
          std::memcpy(static_cast<uint8_t *>(sd.lpSurface) + y * sd.lPitch + x * 4, &c, 4);
        }
      s->Unlock(nullptr);
    }
  }

  // A random primitive of one of six kinds, with random states, for a target
  // of w x h pixels.
  struct Prim {
    D3DPRIMITIVETYPE type = D3DPT_TRIANGLESTRIP;
    std::vector<D3DLVERTEX> v;
    IDirectDrawSurface7 *tex = nullptr;
    bool textured = true, blend = false;
    int kind = 0, bi = 0;
    uint32_t filter = D3DTFG_POINT, address = D3DTADDRESS_WRAP;
  };
  Prim randomPrim(int w, int h, IDirectDrawSurface7 *const *textures) {
    Prim p;
    const int kind = p.kind = irand(0, 5);
    IDirectDrawSurface7 *tex = p.tex = textures[irand(0, 3)];
    DDSURFACEDESC2 td;
    std::memset(&td, 0, sizeof td);
    td.dwSize = sizeof td;
    tex->GetSurfaceDesc(&td);
    float tw = float(td.dwWidth), th = float(td.dwHeight);

    p.blend = irand(0, 3) != 0;
    p.bi = irand(0, 4);
    D3DCOLOR color = irand(0, 1) ? 0xFFFFFFFFu : uint32_t(rng());
    p.filter = irand(0, 2) == 0 ? D3DTFG_LINEAR : D3DTFG_POINT;
    p.address = uint32_t(irand(1, 3));
    p.textured = kind != 5;

    std::vector<D3DLVERTEX> &v = p.v;
    if (kind <= 1) {  // unscaled, half-pixel shifted, maybe flipped, maybe past an edge
      int sw = irand(1, int(tw)), sh = irand(1, int(th));
      int sx = irand(0, int(tw) - sw), sy = irand(0, int(th) - sh);
      float dx = float(irand(-8, w - 4)) - 0.5f, dy = float(irand(-8, h - 4)) - 0.5f;
      float u0 = sx / tw, u1 = (sx + sw) / tw, v0 = sy / th, v1 = (sy + sh) / th;
      if (irand(0, 1)) std::swap(u0, u1);
      if (irand(0, 1)) std::swap(v0, v1);
      if (kind == 1) {  // beyond the texture: addressing decides
        u1 += float(irand(0, 2));
        v1 += float(irand(0, 2));
      }
      float ex = dx + std::fabs(u1 - u0) * tw, ey = dy + std::fabs(v1 - v0) * th;
      v = {lv(dx, dy, color, u0, v0), lv(ex, dy, color, u1, v0), lv(dx, ey, color, u0, v1),
           lv(ex, ey, color, u1, v1)};
    } else if (kind == 2) {  // stretched
      float x0 = frand(-5, 40), y0 = frand(-5, 30);
      v = {lv(x0, y0, color, 0, 0), lv(x0 + frand(1, 30), y0, color, 1, 0)};
      v.push_back(lv(x0, y0 + frand(1, 30), color, 0, 1));
      v.push_back(lv(v[1].x, v[2].y, color, 1, 1));
    } else if (kind == 3) {  // rotated and zoomed about a centre
      float cx = frand(0, w), cy = frand(0, h), a = frand(0, 6.3f), z = frand(0.3f, 3);
      float hw = frand(2, 20), hh = frand(2, 20);
      float c = std::cos(a) * z, s = std::sin(a) * z;
      auto at = [&](float x, float y, float u, float vv) {
        return lv(cx + x * c - y * s, cy + x * s + y * c, color, u, vv);
      };
      v = {at(-hw, -hh, 0, 0), at(hw, -hh, 1, 0), at(-hw, hh, 0, 1), at(hw, hh, 1, 1)};
    } else {  // loose triangles with interpolated colours
      p.type = D3DPT_TRIANGLELIST;
      for (int k = 0; k < 3; ++k)
        v.push_back(lv(frand(-10, w + 10), frand(-10, h + 10), uint32_t(rng()), frand(-1, 2),
                       frand(-1, 2)));
    }
    return p;
  }

  static constexpr D3DBLEND blends[][2] = {{D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA},
                                           {D3DBLEND_ONE, D3DBLEND_INVSRCALPHA},
                                           {D3DBLEND_ZERO, D3DBLEND_INVSRCALPHA},
                                           {D3DBLEND_SRCALPHA, D3DBLEND_DESTALPHA},
                                           {D3DBLEND_ONE, D3DBLEND_ZERO}};

  void submit(const Prim &p) {
    dev->SetTexture(0, p.textured ? p.tex : nullptr);
    dev->SetRenderState(D3DRENDERSTATE_ALPHABLENDENABLE, p.blend);
    dev->SetRenderState(D3DRENDERSTATE_SRCBLEND, blends[p.bi][0]);
    dev->SetRenderState(D3DRENDERSTATE_DESTBLEND, blends[p.bi][1]);
    dev->SetTextureStageState(0, D3DTSS_MAGFILTER, p.filter);
    dev->SetTextureStageState(0, D3DTSS_MINFILTER, p.filter);
    dev->SetTextureStageState(0, D3DTSS_ADDRESS, p.address);
    std::vector<D3DLVERTEX> v = p.v;
    ASSERT_EQ(D3D_OK, dev->DrawPrimitive(p.type, D3DFVF_LVERTEX, v.data(), uint32_t(v.size()), 0));
  }
};

class FastPathWidth : public FastPath, public ::testing::WithParamInterface<bool> {};

// One primitive a frame, and frames of many overlapping primitives on a target
// tall enough to be drawn in several bands of rows.
TEST_P(FastPathWidth, EveryPathMatchesTheReferencePixelForPixel) {
  SwSetWideSimd(GetParam());
  IDirectDrawSurface7 *textures[4] = {randomTexture(16, 16, fmtARGB()),
                                      randomTexture(32, 8, fmtARGB()),
                                      randomTexture(12, 10, fmtARGB()),  // not a power of two
                                      randomTexture(16, 16, fmt4444())};
  struct Frames {
    int h, prims, frames;
  };
  for (const Frames &f : {Frames{48, 1, 600}, Frames{150, 60, 30}}) {
    const int w = 64, h = f.h;
    IDirectDrawSurface7 *targets[2] = {makeSurface(w, h, fmtXRGB(), DDSCAPS_3DDEVICE),
                                       makeSurface(w, h, fmtARGB(), DDSCAPS_3DDEVICE)};
    IDirectDrawSurface7 *refs[2] = {makeSurface(w, h, fmtXRGB(), DDSCAPS_3DDEVICE),
                                    makeSurface(w, h, fmtARGB(), DDSCAPS_3DDEVICE)};
    D3DMATRIX proj;
    dev->GetTransform(D3DTRANSFORMSTATE_PROJECTION, &proj);
    proj._11 = 2.0f / w;
    proj._22 = -2.0f / h;
    int mismatches = 0;
    for (int iter = 0; iter < f.frames && mismatches < 5; ++iter) {
      int ti = irand(0, 1);
      std::vector<Prim> prims;
      for (int k = 0; k < f.prims; ++k) prims.push_back(randomPrim(w, h, textures));
      uint32_t seed = uint32_t(rng());
      randomBackground(targets[ti], refs[ti], seed);
      for (int pass = 0; pass < 2; ++pass) {
        SwSetReferenceRasterizer(pass == 1);
        ASSERT_EQ(D3D_OK, dev->SetRenderTarget(pass == 0 ? targets[ti] : refs[ti], 0));
        dev->SetTransform(D3DTRANSFORMSTATE_PROJECTION, &proj);
        for (const Prim &p : prims) submit(p);
      }
      SwSetReferenceRasterizer(false);
      std::vector<uint32_t> a = read(targets[ti]), b = read(refs[ti]);
      uint32_t mask = ti == 0 ? 0x00FFFFFFu : 0xFFFFFFFFu;  // no alpha channel: the byte is free
      for (size_t i = 0; i < a.size(); ++i) {
        if ((a[i] & mask) != (b[i] & mask)) {
          ADD_FAILURE() << "frame " << iter << " of " << f.prims << " (first kind "
                        << prims[0].kind << ") pixel " << i % w << "," << i / w << " fast "
                        << std::hex << a[i] << " reference " << b[i];
          ++mismatches;
          break;
        }
      }
    }
    for (IDirectDrawSurface7 *s : targets) s->Release();
    for (IDirectDrawSurface7 *s : refs) s->Release();
  }
  dev->SetTexture(0, nullptr);
  for (IDirectDrawSurface7 *s : textures) s->Release();
  SwSetWideSimd(true);
}

// A whole frame drawn again with its sprites in place but other textures (of
// the same size, one stored in another format; of another size) against the
// reference.
TEST_F(FastPath, AFrameRepeatedWithOtherTexturesMatchesTheReference) {
  const int w = 64, h = 100;
  IDirectDrawSurface7 *fast = makeSurface(w, h, fmtXRGB(), DDSCAPS_3DDEVICE);
  IDirectDrawSurface7 *ref = makeSurface(w, h, fmtXRGB(), DDSCAPS_3DDEVICE);
  IDirectDrawSurface7 *textures[4] = {randomTexture(16, 16, fmtARGB()),
                                      randomTexture(16, 16, fmt4444()),
                                      randomTexture(32, 8, fmtARGB()),
                                      randomTexture(12, 10, fmtARGB())};
  D3DMATRIX proj;
  dev->GetTransform(D3DTRANSFORMSTATE_PROJECTION, &proj);
  proj._11 = 2.0f / w;
  proj._22 = -2.0f / h;
  for (int iter = 0; iter < 20 && !HasFailure(); ++iter) {
    Prim back;  // covers the target: the frames are whole frames
    back.tex = textures[0];
    back.v = {lv(-0.5f, -0.5f, ~0u, 0, 0), lv(w - 0.5f, -0.5f, ~0u, 1, 0),
              lv(-0.5f, h - 0.5f, ~0u, 0, 1), lv(w - 0.5f, h - 0.5f, ~0u, 1, 1)};
    std::vector<Prim> prims = {back};
    for (int k = 0; k < 40; ++k) prims.push_back(randomPrim(w, h, textures));
    for (int frame = 0; frame < 3; ++frame) {  // the second again on the reference
      for (Prim &p : prims)  // 0 and 1 trade places (same size), 2 and 3 (not)
        if (frame == 1) p.tex = textures[(std::find(textures, textures + 4, p.tex) - textures) ^ 1];
      SwSetReferenceRasterizer(frame == 2);
      ASSERT_EQ(D3D_OK, dev->SetRenderTarget(frame < 2 ? fast : ref, 0));
      dev->SetTransform(D3DTRANSFORMSTATE_PROJECTION, &proj);
      for (const Prim &p : prims) submit(p);
      read(frame < 2 ? fast : ref);  // drawn now
    }
    SwSetReferenceRasterizer(false);
    std::vector<uint32_t> a = read(fast), b = read(ref);
    for (size_t i = 0; i < a.size() && !HasFailure(); ++i)
      EXPECT_EQ(a[i] & 0xFFFFFFu, b[i] & 0xFFFFFFu) << "frame " << iter << " pixel " << i % w
                                                    << "," << i / w;
  }
  dev->SetTexture(0, nullptr);
  for (IDirectDrawSurface7 *s : {fast, ref}) s->Release();
  for (IDirectDrawSurface7 *s : textures) s->Release();
}

// With and without the eight-pixel spans (where the processor has them).
INSTANTIATE_TEST_SUITE_P(SimdWidths, FastPathWidth, ::testing::Values(true, false));

}  // namespace
