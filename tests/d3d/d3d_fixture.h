// Shared set-up for the Direct3D window and picture tests: a 640x480 KWindowD3D
// made through the factory with SDL's dummy video driver, unpaced, with helpers to
// read the frame being drawn and to write small picture files.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "d3d/KGraphicD3D.h"
#include "d3d/KWindowD3D.h"
#include "graphic/KImageCodec.h"
#include "input/KInput.h"
#include "platform/KNativeWindow.h"
#include "window/KQMX.h"

// Pixels as 0xRRGGBB, row by row from the top.
inline std::vector<uint32_t> readSurface(IDirectDrawSurface7 *s, int *w = nullptr,
                                         int *h = nullptr) {
  std::vector<uint32_t> out;
  DDSURFACEDESC2 d;
  std::memset(&d, 0, sizeof d);
  d.dwSize = sizeof d;
  if (!s || s->Lock(nullptr, &d, DDLOCK_WAIT | DDLOCK_READONLY, nullptr) != DD_OK) return out;
  for (uint32_t y = 0; y < d.dwHeight; ++y)
    for (uint32_t x = 0; x < d.dwWidth; ++x) {
      uint32_t v = 0;
      std::memcpy(&v, static_cast<uint8_t *>(d.lpSurface) + y * d.lPitch + x * 4, 4);
      out.push_back(v);
    }
  s->Unlock(nullptr);
  if (w) *w = int(d.dwWidth);
  if (h) *h = int(d.dwHeight);
  return out;
}

class D3DTest : public ::testing::Test {
protected:
  KWindowD3D *window = nullptr;
  std::vector<KGraphic *> pictures;

  void SetUp() override {
    KFrameClock::setEnabled(false);
    KInput::setSource(nullptr);
    window = static_cast<KWindowD3D *>(KQMX::createKWindow(K_DIRECTX, false));
    ASSERT_NE(nullptr, window);
    ASSERT_TRUE(window->createGameWindow(640, 480, -1, true, "Pabrix D3D test"));
    // One frame flipped, as a program has when its tests begin.
    window->flipBackBuffer(false, true);
  }
  void TearDown() override {
    for (KGraphic *p : pictures) delete p;
    pictures.clear();
    delete window;
    window = nullptr;
  }

  KGraphicD3D *picture() {
    KGraphic *g = KQMX::createKGraphic();
    pictures.push_back(g);
    return static_cast<KGraphicD3D *>(g);
  }

  // The frame being drawn.
  std::vector<uint32_t> frame() { return readSurface(KGraphicD3D::_backBuffer); }
  uint32_t px(int x, int y) { return frame()[size_t(y) * 640 + x] & 0xFFFFFF; }

  void clear(float r, float g, float b) {
    window->setClearColor(r, g, b, 1);
    window->setWorldView(0, 0, 0, 1, true);
  }

  // Writes a picture file; pixels are 0xAARRGGBB, row by row from the top.
  std::string writePicture(const std::string &name, int w, int h,
                           const std::vector<uint32_t> &argb, KImageFormat fmt = K_IMAGE_TGA) {
    std::vector<uint8_t> rgba;
    for (uint32_t c : argb) {
      rgba.push_back(uint8_t(c >> 16));
      rgba.push_back(uint8_t(c >> 8));
      rgba.push_back(uint8_t(c));
      rgba.push_back(uint8_t(c >> 24));
    }
    std::string path = ::testing::TempDir() + "d3d_" + name;
    EXPECT_TRUE(KImageCodec::encodeToFile(path.c_str(), fmt, w, h, 4,
                                          rgba.data(), size_t(w) * 4, false));
    return path;
  }

  // A w x h opaque picture whose every pixel differs from its neighbours.
  static std::vector<uint32_t> pattern(int w, int h) {
    std::vector<uint32_t> p;
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) p.push_back(0xFF000000u | uint32_t(x * 7) << 16 | uint32_t(y * 7) << 8 | 0x40);
    return p;
  }
};
