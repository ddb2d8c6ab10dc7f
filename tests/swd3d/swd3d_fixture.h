// Shared set-up for the software device tests: a DirectDraw object, an off-screen
// render target and a device whose transforms map vertex (x, y) to that screen pixel
// position, plus helpers to make textures and read pixels back.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "platform/swd3d/SwD3D.h"

inline DDPIXELFORMAT pixelFormat(uint32_t bits, uint32_t r, uint32_t g, uint32_t b, uint32_t a) {
  DDPIXELFORMAT pf;
  std::memset(&pf, 0, sizeof pf);
  pf.dwSize = sizeof pf;
  pf.dwFlags = DDPF_RGB | (a ? DDPF_ALPHAPIXELS : 0);
  pf.dwRGBBitCount = bits;
  pf.dwRBitMask = r;
  pf.dwGBitMask = g;
  pf.dwBBitMask = b;
  pf.dwRGBAlphaBitMask = a;
  return pf;
}
inline DDPIXELFORMAT fmtARGB() { return pixelFormat(32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000u); }
inline DDPIXELFORMAT fmtXRGB() { return pixelFormat(32, 0xFF0000, 0xFF00, 0xFF, 0); }
inline DDPIXELFORMAT fmt4444() { return pixelFormat(16, 0xF00, 0xF0, 0xF, 0xF000); }
inline DDPIXELFORMAT fmt555() { return pixelFormat(16, 0x7C00, 0x3E0, 0x1F, 0); }
inline DDPIXELFORMAT fmt565() { return pixelFormat(16, 0xF800, 0x7E0, 0x1F, 0); }

inline D3DLVERTEX lv(float x, float y, D3DCOLOR c = 0xFFFFFFFFu, float u = 0, float v = 0) {
  D3DLVERTEX o;
  o.x = x;
  o.y = y;
  o.z = 0;
  o.dwReserved = 0;
  o.color = c;
  o.specular = 0;
  o.tu = u;
  o.tv = v;
  return o;
}

class SwFixture : public ::testing::Test {
protected:
  IDirectDraw7 *dd = nullptr;
  IDirect3D7 *d3d = nullptr;
  IDirectDrawSurface7 *target = nullptr;
  IDirect3DDevice7 *dev = nullptr;
  int W = 0, H = 0;

  void SetUp() override { open(32, 24, fmtXRGB()); }
  void TearDown() override { close(); }

  void open(int w, int h, DDPIXELFORMAT pf) {
    close();
    W = w;
    H = h;
    ASSERT_EQ(DD_OK, DirectDrawCreateEx(nullptr, reinterpret_cast<void **>(&dd), IID_IDirectDraw7,
                                        nullptr));
    ASSERT_EQ(DD_OK, dd->SetCooperativeLevel(nullptr, DDSCL_NORMAL));
    ASSERT_EQ(S_OK, dd->QueryInterface(IID_IDirect3D7, reinterpret_cast<void **>(&d3d)));
    target = makeSurface(w, h, pf, DDSCAPS_OFFSCREENPLAIN | DDSCAPS_3DDEVICE);
    ASSERT_NE(nullptr, target);
    ASSERT_EQ(D3D_OK, d3d->CreateDevice(IID_IDirect3DRGBDevice, target, &dev));
    D3DMATRIX proj;
    std::memset(&proj, 0, sizeof proj);
    proj._11 = 2.0f / w;
    proj._22 = -2.0f / h;
    proj._33 = 1;
    proj._41 = -1;
    proj._42 = 1;
    proj._44 = 1;
    dev->SetTransform(D3DTRANSFORMSTATE_PROJECTION, &proj);
    dev->SetRenderState(D3DRENDERSTATE_CULLMODE, D3DCULL_NONE);
    dev->SetRenderState(D3DRENDERSTATE_LIGHTING, 0);
    dev->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
    dev->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
    dev->BeginScene();
  }

  void close() {
    if (dev) dev->Release();
    if (target) target->Release();
    if (d3d) d3d->Release();
    if (dd) dd->Release();
    dev = nullptr;
    target = nullptr;
    d3d = nullptr;
    dd = nullptr;
  }

  IDirectDrawSurface7 *makeSurface(int w, int h, DDPIXELFORMAT pf, uint32_t caps) {
    DDSURFACEDESC2 sd;
    std::memset(&sd, 0, sizeof sd);
    sd.dwSize = sizeof sd;
    sd.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
    sd.dwWidth = uint32_t(w);
    sd.dwHeight = uint32_t(h);
    sd.ddpfPixelFormat = pf;
    sd.ddsCaps.dwCaps = caps;
    IDirectDrawSurface7 *s = nullptr;
    if (dd->CreateSurface(&sd, &s, nullptr) != DD_OK) return nullptr;
    return s;
  }

  // A 32-bit ARGB texture from pixels given row by row.
  IDirectDrawSurface7 *makeTexture(int w, int h, const std::vector<uint32_t> &argb) {
    IDirectDrawSurface7 *t = makeSurface(w, h, fmtARGB(), DDSCAPS_TEXTURE);
    if (!t) return nullptr;
    DDSURFACEDESC2 sd;
    std::memset(&sd, 0, sizeof sd);
    sd.dwSize = sizeof sd;
    if (t->Lock(nullptr, &sd, DDLOCK_WAIT, nullptr) != DD_OK) return t;
    for (int y = 0; y < h; ++y)
      std::memcpy(static_cast<uint8_t *>(sd.lpSurface) + y * sd.lPitch, &argb[size_t(y) * w],
                  size_t(w) * 4);
    t->Unlock(nullptr);
    return t;
  }

  // Every pixel of a surface as read through a lock; 16-bit surfaces give their raw values.
  std::vector<uint32_t> read(IDirectDrawSurface7 *s) {
    DDSURFACEDESC2 sd;
    std::memset(&sd, 0, sizeof sd);
    sd.dwSize = sizeof sd;
    std::vector<uint32_t> out;
    if (s->Lock(nullptr, &sd, DDLOCK_WAIT | DDLOCK_READONLY, nullptr) != DD_OK) return out;
    int bpp = int(sd.ddpfPixelFormat.dwRGBBitCount / 8);
    for (uint32_t y = 0; y < sd.dwHeight; ++y)
      for (uint32_t x = 0; x < sd.dwWidth; ++x) {
        uint32_t v = 0;
        std::memcpy(&v, static_cast<uint8_t *>(sd.lpSurface) + y * sd.lPitch + x * bpp, size_t(bpp));
        out.push_back(v);
      }
    s->Unlock(nullptr);
    return out;
  }
  std::vector<uint32_t> pixels() { return read(target); }
  uint32_t rgb(int x, int y) { return pixels()[size_t(y) * W + x] & 0xFFFFFF; }

  void fill(uint32_t color) {
    D3DRECT r = {0, 0, W, H};
    dev->Clear(1, &r, D3DCLEAR_TARGET, color, 1, 0);
  }

  void quad(float x0, float y0, float x1, float y1, D3DCOLOR c = 0xFFFFFFFFu, float u0 = 0,
            float v0 = 0, float u1 = 1, float v1 = 1) {
    D3DLVERTEX v[4] = {lv(x0, y0, c, u0, v0), lv(x1, y0, c, u1, v0), lv(x0, y1, c, u0, v1),
                       lv(x1, y1, c, u1, v1)};
    ASSERT_EQ(D3D_OK, dev->DrawPrimitive(D3DPT_TRIANGLESTRIP, D3DFVF_LVERTEX, v, 4, 0));
  }

  // Number of pixels whose colour (alpha ignored) equals c.
  int count(uint32_t c) {
    int n = 0;
    for (uint32_t p : pixels()) n += (p & 0xFFFFFF) == (c & 0xFFFFFF);
    return n;
  }
};
