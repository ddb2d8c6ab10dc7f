// Frame capture on the Direct3D backend: grabs of 32-bit and both 16-bit back
// buffers, the pixel transformation, and saving the frame (scaled or not).
#include <cstdio>

#include "d3d_fixture.h"

namespace {

class Capture : public D3DTest {};

long gCalls = 0, gFirstX = -1, gFirstY = -1;
void countAndBrighten(long x, long y, long *r, long *g, long *b) {
  if (gCalls++ == 0) {
    gFirstX = x;
    gFirstY = y;
  }
  *r = 300;  // only its low byte is kept
  long mean = (*g + *b) / 2;
  *g = *b = mean;
}

TEST_F(Capture, BackBufferGrabReproducesTheFrameAndPassesPixelsThroughTheTransformation) {
  KGraphicD3D *art = picture();
  ASSERT_TRUE(art->loadPicture(writePicture("art.tga", 32, 32, pattern(32, 32)).c_str(), true, true));
  clear(0.2f, 0.4f, 0.6f);
  art->blitRect(0, 0, 32, 32, 10, 400, false, false);
  art->drawRect(500, 20, 600, 60, 1, 1, 0, 1);
  std::vector<uint32_t> before = frame();

  KGraphicD3D *g = picture();
  g->setColorKey(true, 255, 255, 0);  // this backend's grab applies no key
  ASSERT_TRUE(g->grabBackBuffer(nullptr));
  EXPECT_EQ(640.0f, g->getWidth());
  EXPECT_EQ(480.0f, g->getHeight());
  EXPECT_EQ(640.0f, g->_ftextureWIDTH) << "a grab's texture is exactly the screen";
  std::vector<uint32_t> texels = readSurface(g->_surface);
  ASSERT_EQ(size_t(640 * 480), texels.size());
  EXPECT_EQ(0xFFu, texels[size_t(30) * 640 + 550] >> 24) << "opaque even where the key matched";
  clear(0, 0, 0);
  g->blitRect(0, 0, 640, 480, 0, 0, false, false);
  std::vector<uint32_t> after = frame();
  for (size_t i = 0; i < after.size(); ++i)
    ASSERT_EQ(before[i] & 0xFFFFFF, after[i] & 0xFFFFFF) << "pixel " << i % 640 << "," << i / 640;

  KGraphicD3D *t = picture();
  gCalls = 0;
  ASSERT_TRUE(t->grabBackBuffer(countAndBrighten));
  EXPECT_EQ(640L * 480L, gCalls);
  EXPECT_EQ(0, gFirstX);
  EXPECT_EQ(0, gFirstY) << "rows are counted from the top on this backend";
  uint32_t texel = readSurface(t->_surface)[size_t(30) * 640 + 550];  // was yellow
  EXPECT_EQ(44u, (texel >> 16) & 255);
  EXPECT_EQ((texel >> 8) & 255, texel & 255);
  EXPECT_TRUE(t->grabFrontBuffer());
}

TEST_F(Capture, SixteenBitBackBuffersAreReadInTheirOwnLayout) {
  struct Layout {
    uint32_t g;  // green mask
    uint16_t value;
    uint32_t rgb;  // expected: channels shifted up, not widened
  } layouts[] = {{0x7E0, uint16_t((31 << 11) | (63 << 5) | 1), 0xF8FC08},
                 {0x3E0, uint16_t((31 << 10) | (1 << 5) | 31), 0xF808F8}};
  for (const Layout &l : layouts) {
    IDirectDraw7 *dd = nullptr;
    ASSERT_EQ(DD_OK, DirectDrawCreateEx(nullptr, reinterpret_cast<void **>(&dd), IID_IDirectDraw7,
                                        nullptr));
    dd->SetCooperativeLevel(nullptr, DDSCL_NORMAL);
    IDirect3D7 *d3d = nullptr;
    dd->QueryInterface(IID_IDirect3D7, reinterpret_cast<void **>(&d3d));
    DDSURFACEDESC2 sd;
    std::memset(&sd, 0, sizeof sd);
    sd.dwSize = sizeof sd;
    sd.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
    sd.dwWidth = 64;
    sd.dwHeight = 32;
    sd.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_3DDEVICE;
    sd.ddpfPixelFormat.dwSize = sizeof sd.ddpfPixelFormat;
    sd.ddpfPixelFormat.dwFlags = DDPF_RGB;
    sd.ddpfPixelFormat.dwRGBBitCount = 16;
    sd.ddpfPixelFormat.dwRBitMask = l.g == 0x7E0 ? 0xF800 : 0x7C00;
    sd.ddpfPixelFormat.dwGBitMask = l.g;
    sd.ddpfPixelFormat.dwBBitMask = 0x1F;
    IDirectDrawSurface7 *back = nullptr;
    ASSERT_EQ(DD_OK, dd->CreateSurface(&sd, &back, nullptr));
    IDirect3DDevice7 *dev = nullptr;
    ASSERT_EQ(D3D_OK, d3d->CreateDevice(IID_IDirect3DRGBDevice, back, &dev));
    DDBLTFX fx;
    fx.dwSize = sizeof fx;
    fx.dwFillColor = l.value;
    back->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL, &fx);
    KGraphicD3D::setDirectX(dd, dev, back, 64, 32);
    {
      KGraphicD3D g;
      ASSERT_TRUE(g.grabBackBuffer(nullptr));
      std::vector<uint32_t> t = readSurface(g._surface);
      ASSERT_EQ(size_t(64 * 32), t.size());
      EXPECT_EQ(l.rgb, t[100] & 0xFFFFFF) << std::hex << l.g;
    }
    dev->Release();
    back->Release();
    d3d->Release();
    dd->Release();
  }
  KGraphicD3D::setDirectX(window->_lpDD, window->_lpD3DDevice, window->_lpDDSBack, 640, 480);
}

TEST_F(Capture, SavingWritesTheFrameScaledOrWholeAndLeavesTheFrameAsItWas) {
  KGraphicD3D *g = picture();
  clear(0, 0, 1);
  g->drawRect(0, 0, 320, 480, 1, 0, 0, 1);  // left half red, right half blue
  std::vector<uint32_t> before = frame();
  std::string png = ::testing::TempDir() + "d3d_save.png";
  std::remove(png.c_str());
  ASSERT_TRUE(g->saveBackBuffer(png.c_str(), K_IMAGE_PNG, 160, 120));
  KImage img;
  ASSERT_TRUE(KImageCodec::readFile(png.c_str(), img));
  EXPECT_EQ(160, img.width);
  EXPECT_EQ(120, img.height);
  const uint8_t *left = img.pixel(10, 10), *right = img.pixel(150, 110);
  EXPECT_EQ(255, left[0]);
  EXPECT_EQ(0, left[2]);
  EXPECT_EQ(0, right[0]);
  EXPECT_EQ(255, right[2]);
  EXPECT_EQ(255, right[3]);
  std::vector<uint32_t> after = frame();
  for (size_t i = 0; i < after.size(); ++i)
    ASSERT_EQ(before[i] & 0xFFFFFF, after[i] & 0xFFFFFF) << "pixel " << i % 640 << "," << i / 640;

  std::string bmp = ::testing::TempDir() + "d3d_save.bmp";
  ASSERT_TRUE(g->saveBackBuffer(bmp.c_str(), K_IMAGE_BMP, 0, 50));
  ASSERT_TRUE(KImageCodec::readFile(bmp.c_str(), img));
  EXPECT_EQ(640, img.width) << "a size of 0 means the screen's";
  EXPECT_EQ(480, img.height);

  std::string none = ::testing::TempDir() + "d3d_save_none.tga";
  std::remove(none.c_str());
  EXPECT_FALSE(g->saveBackBuffer(none.c_str(), 4, 0, 0)) << "no such format: nothing written";
  EXPECT_EQ(nullptr, std::fopen(none.c_str(), "rb"));
  // A size no frame could have is refused, not attempted.
  EXPECT_FALSE(g->saveBackBuffer(none.c_str(), K_IMAGE_TGA, 1 << 20, 1 << 20));
  // A file that cannot be written is a failure, scaled or not, and the frame is
  // still given back as it was.
  EXPECT_FALSE(g->saveBackBuffer("/nonexistent-dir/d3d_save.png", K_IMAGE_PNG, 0, 0));
  EXPECT_FALSE(g->saveBackBuffer("/nonexistent-dir/d3d_save.png", K_IMAGE_PNG, 160, 120));
  after = frame();
  for (size_t i = 0; i < after.size(); ++i)
    ASSERT_EQ(before[i] & 0xFFFFFF, after[i] & 0xFFFFFF) << "pixel " << i % 640 << "," << i / 640;
}

#ifdef _WIN32
// Printing reads the frame back through the back buffer's device context, as
// the system lets one read any surface: it must see what a lock sees.
TEST_F(Capture, TheBackBuffersDeviceContextSeesTheFrameALockSees) {
  KGraphicD3D *art = picture();
  ASSERT_TRUE(art->loadPicture(writePicture("dc.tga", 32, 32, pattern(32, 32)).c_str(), true, true));
  clear(0.2f, 0.4f, 0.6f);
  art->blitRect(0, 0, 32, 32, 100, 200, false, false);
  KGraphicD3D::_d3d->EndScene();  // as a print does before reading
  std::vector<uint32_t> locked = frame();
  HDC dc = nullptr;
  ASSERT_EQ(DD_OK, KGraphicD3D::_backBuffer->GetDC(&dc));
  long differ = 0;
  for (int y = 0; y < 480; y += 7)
    for (int x = 0; x < 640; x += 5) {
      const COLORREF c = GetPixel(dc, x, y);  // 0x00BBGGRR
      const uint32_t rgb = (c & 0xFF) << 16 | (c & 0xFF00) | (c >> 16 & 0xFF);
      differ += rgb != (locked[size_t(y) * 640 + x] & 0xFFFFFF);
    }
  KGraphicD3D::_backBuffer->ReleaseDC(dc);
  KGraphicD3D::_d3d->BeginScene();
  EXPECT_EQ(0, differ);
  EXPECT_EQ(pattern(32, 32)[0] & 0xFFFFFF, px(100, 200));
}
#endif

}  // namespace
