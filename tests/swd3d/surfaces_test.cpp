// The DirectDraw side of the software device: creation rules, locking, losing
// and restoring surfaces on display changes, windowed and full-screen
// presentation through a registered display, and the device's call rules.
#include <cmath>
#include <limits>

#include "swd3d_fixture.h"

namespace {

// Stands in for the window: records what was presented and how often the
// vertical blank was awaited.
struct FakeDisplay : SwDisplay {
  int presents = 0, waits = 0, w = 0, h = 0, bpp = 0;
  std::vector<uint32_t> frame;
  void present(const void *pixels, long pitch, int width, int height, int bits) override {
    ++presents;
    w = width;
    h = height;
    bpp = bits;
    frame.assign(size_t(width) * height, 0);
    for (int y = 0; y < height; ++y)
      if (bits == 32)
        std::memcpy(&frame[size_t(y) * width], static_cast<const uint8_t *>(pixels) + y * pitch,
                    size_t(width) * 4);
  }
  void waitForVerticalBlank() override { ++waits; }
  void clientSize(int &width, int &height) override {
    width = 64;
    height = 48;
  }
};

// A display that lends its own memory to the windowed primary surface.
struct ScreenDisplay : FakeDisplay {
  std::vector<uint32_t> screen = std::vector<uint32_t>(size_t(64) * 48 + 16, 0xDEADBEEFu);
  int lends = 0;
  const void *shown = nullptr;
  void *screenMemory(int width, int height, int bits, long &pitch) override {
    if (width != 64 || height != 48 || bits != 32) return nullptr;
    ++lends;
    pitch = 64 * 4;
    return screen.data();
  }
  void present(const void *pixels, long pitch, int width, int height, int bits) override {
    shown = pixels;
    FakeDisplay::present(pixels, pitch, width, height, bits);
  }
};

HWND fakeWindow() { return reinterpret_cast<HWND>(uintptr_t(0x1000)); }

class Surfaces : public SwFixture {
protected:
  FakeDisplay display;
  void SetUp() override {
    SwRegisterDisplay(fakeWindow(), &display);
    SwFixture::SetUp();
  }
  void TearDown() override {
    SwFixture::TearDown();
    SwRegisterDisplay(fakeWindow(), nullptr);
  }
  IDirectDrawSurface7 *primary(bool chain) {
    DDSURFACEDESC2 sd;
    std::memset(&sd, 0, sizeof sd);
    sd.dwSize = sizeof sd;
    sd.dwFlags = DDSD_CAPS | (chain ? DDSD_BACKBUFFERCOUNT : 0);
    sd.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE |
                        (chain ? DDSCAPS_FLIP | DDSCAPS_COMPLEX | DDSCAPS_3DDEVICE : 0);
    sd.dwBackBufferCount = chain ? 1 : 0;
    IDirectDrawSurface7 *s = nullptr;
    dd->CreateSurface(&sd, &s, nullptr);
    return s;
  }
};

TEST_F(Surfaces, LockingGivesThePixelsOnceAndRefusesMisuse) {
  IDirectDrawSurface7 *s = makeSurface(5, 3, fmt565(), DDSCAPS_OFFSCREENPLAIN);
  ASSERT_NE(nullptr, s);
  DDSURFACEDESC2 sd;
  std::memset(&sd, 0, sizeof sd);
  sd.dwSize = sizeof sd;
  RECT r = {1, 1, 3, 2};
  ASSERT_EQ(DD_OK, s->Lock(&r, &sd, DDLOCK_WAIT, nullptr));
  EXPECT_GE(sd.lPitch, 10);
  EXPECT_EQ(5u, sd.dwWidth);
  *static_cast<uint16_t *>(sd.lpSurface) = 0x1234;  // pixel (1, 1)
  DDSURFACEDESC2 again = sd;
  EXPECT_EQ(DDERR_SURFACEBUSY, s->Lock(nullptr, &again, DDLOCK_WAIT, nullptr));
  EXPECT_EQ(DDERR_SURFACEBUSY, s->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL, nullptr));
  EXPECT_EQ(DD_OK, s->Unlock(nullptr));
  EXPECT_EQ(DDERR_NOTLOCKED, s->Unlock(nullptr));
  EXPECT_EQ(0x1234u, read(s)[6]);
  RECT outside = {3, 0, 6, 1};
  EXPECT_EQ(DDERR_INVALIDRECT, s->Lock(&outside, &sd, DDLOCK_WAIT, nullptr));
  s->Release();

  // Sizes and formats that cannot be served are refused, not attempted.
  EXPECT_EQ(nullptr, makeSurface(0, 4, fmtARGB(), DDSCAPS_TEXTURE));
  EXPECT_EQ(nullptr, makeSurface(1 << 20, 1 << 20, fmtARGB(), DDSCAPS_TEXTURE));
  EXPECT_EQ(nullptr, makeSurface(4, 4, pixelFormat(24, 0xFF0000, 0xFF00, 0xFF, 0), DDSCAPS_TEXTURE));
}

TEST_F(Surfaces, DisplayChangesLoseEverySurfaceUntilRestored) {
  std::vector<uint32_t> texels(16, 0xFF112233u);
  IDirectDrawSurface7 *tex = makeTexture(4, 4, texels);
  ASSERT_EQ(DD_OK, tex->IsLost());
  // Windowed to exclusive full screen: everything made before is lost.
  ASSERT_EQ(DD_OK, dd->SetCooperativeLevel(fakeWindow(), DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN));
  EXPECT_EQ(DDERR_SURFACELOST, tex->IsLost());
  EXPECT_EQ(DDERR_SURFACELOST, target->IsLost());
  DDSURFACEDESC2 sd;
  std::memset(&sd, 0, sizeof sd);
  sd.dwSize = sizeof sd;
  EXPECT_EQ(DDERR_SURFACELOST, tex->Lock(nullptr, &sd, DDLOCK_WAIT, nullptr));
  D3DLVERTEX v[3] = {lv(0, 0), lv(4, 0), lv(0, 4)};
  EXPECT_EQ(DDERR_SURFACELOST, dev->DrawPrimitive(D3DPT_TRIANGLELIST, D3DFVF_LVERTEX, v, 3, 0));
  // Restoring gives the memory back, not the picture: the owner reloads it.
  EXPECT_EQ(DD_OK, tex->Restore());
  EXPECT_EQ(DD_OK, tex->IsLost());
  EXPECT_EQ(0u, read(tex)[0]);
  // A surface made after the change is fine; a mode change loses it again.
  IDirectDrawSurface7 *later = makeTexture(4, 4, texels);
  ASSERT_EQ(DD_OK, dd->SetDisplayMode(64, 48, 32, 0, 0));
  EXPECT_EQ(DDERR_SURFACELOST, later->IsLost());
  later->Restore();
  ASSERT_EQ(DD_OK, dd->SetDisplayMode(64, 48, 32, 0, 0));
  EXPECT_EQ(DD_OK, later->IsLost()) << "the same mode again changes nothing";
  EXPECT_EQ(DDERR_INVALIDMODE, dd->SetDisplayMode(64, 48, 24, 0, 0));
  // Releasing the DirectDraw object loses the rest for good.
  later->Restore();
  close();
  EXPECT_EQ(DDERR_SURFACELOST, later->IsLost());
  EXPECT_NE(DD_OK, later->Restore());
  later->Release();
  tex->Release();
}

TEST_F(Surfaces, FullScreenFlipSwapsBuffersAndPresentsOnTheVerticalBlank) {
  ASSERT_EQ(DD_OK, dd->SetCooperativeLevel(fakeWindow(), DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN));
  ASSERT_EQ(DD_OK, dd->SetDisplayMode(32, 24, 32, 0, 0));
  IDirectDrawSurface7 *front = primary(true);
  ASSERT_NE(nullptr, front);
  DDSCAPS2 caps = {DDSCAPS_BACKBUFFER, 0, 0, 0};
  IDirectDrawSurface7 *back = nullptr;
  ASSERT_EQ(DD_OK, front->GetAttachedSurface(&caps, &back));
  IDirect3DDevice7 *d = nullptr;
  ASSERT_EQ(D3D_OK, d3d->CreateDevice(IID_IDirect3DRGBDevice, back, &d));
  DDBLTFX fx{};  // the front's fill shows with the first flip, not before it
  fx.dwSize = sizeof fx;
  ASSERT_EQ(DD_OK, front->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL, &fx));
  EXPECT_EQ(0, display.presents);
  d->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF00FF00u, 1, 0);
  ASSERT_EQ(DD_OK, front->Flip(nullptr, DDFLIP_WAIT));
  EXPECT_EQ(1, display.presents);
  EXPECT_EQ(1, display.waits);
  EXPECT_EQ(32, display.w);
  EXPECT_EQ(0x00FF00u, display.frame[0] & 0xFFFFFF);
  // The device keeps drawing into the back buffer, which now holds the old front.
  d->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFFFF0000u, 1, 0);
  EXPECT_EQ(0x00FF00u, read(front)[0] & 0xFFFFFF);
  front->Flip(nullptr, DDFLIP_WAIT | DDFLIP_NOVSYNC);
  EXPECT_EQ(0xFF0000u, display.frame[0] & 0xFFFFFF);
  EXPECT_EQ(1, display.waits);
  d->Release();
  back->Release();
  front->Release();

  // A flip chain needs exclusive mode.
  ASSERT_EQ(DD_OK, dd->SetCooperativeLevel(fakeWindow(), DDSCL_NORMAL));
  EXPECT_EQ(nullptr, primary(true));
}

TEST_F(Surfaces, WindowedPrimaryIsTheClientAreaAndShowsWhatIsBlittedThere) {
  ASSERT_EQ(DD_OK, dd->SetCooperativeLevel(fakeWindow(), DDSCL_NORMAL));
  IDirectDrawSurface7 *front = primary(false);
  ASSERT_NE(nullptr, front);
  DDSURFACEDESC2 sd;
  std::memset(&sd, 0, sizeof sd);
  sd.dwSize = sizeof sd;
  front->GetSurfaceDesc(&sd);
  EXPECT_EQ(64u, sd.dwWidth);
  EXPECT_EQ(48u, sd.dwHeight);
  dev->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF0000FFu, 1, 0);  // the 32x24 target
  ASSERT_EQ(DD_OK, dd->WaitForVerticalBlank(DDWAITVB_BLOCKBEGIN, nullptr));
  RECT src = {0, 0, 32, 24}, dst = {0, 0, 32, 24};
  ASSERT_EQ(DD_OK, front->Blt(&dst, target, &src, DDBLT_WAIT, nullptr));
  EXPECT_EQ(1, display.waits);
  EXPECT_EQ(1, display.presents);
  EXPECT_EQ(0x0000FFu, display.frame[0] & 0xFFFFFF);
  EXPECT_EQ(0u, display.frame[size_t(30) * 64 + 40] & 0xFFFFFF);
  // A stretched blit scales by nearest pixel.
  RECT big = {0, 0, 64, 48};
  ASSERT_EQ(DD_OK, front->Blt(&big, target, &src, DDBLT_WAIT, nullptr));
  EXPECT_EQ(0x0000FFu, display.frame[size_t(47) * 64 + 63] & 0xFFFFFF);
  front->Release();
}

TEST_F(Surfaces, WindowedPrimaryLivesInScreenMemoryUntilTheDisplayTakesItBack) {
  ScreenDisplay screen;
  SwRegisterDisplay(fakeWindow(), &screen);
  ASSERT_EQ(DD_OK, dd->SetCooperativeLevel(fakeWindow(), DDSCL_NORMAL));
  IDirectDrawSurface7 *front = primary(false);
  ASSERT_NE(nullptr, front);
  EXPECT_EQ(0u, screen.screen[0]) << "a new primary starts black, in the display's memory";
  dev->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF00FF00u, 1, 0);
  RECT r = {0, 0, 32, 24};
  ASSERT_EQ(DD_OK, front->Blt(&r, target, &r, DDBLT_WAIT, nullptr));
  EXPECT_EQ(static_cast<const void *>(screen.screen.data()), screen.shown)
      << "shown straight from screen memory";
  EXPECT_EQ(0x00FF00u, screen.screen[0] & 0xFFFFFF);
  EXPECT_EQ(0xDEADBEEFu, screen.screen[size_t(64) * 48]) << "nothing written past the frame";
  // Taking the memory back moves the surface out with its pixels.
  SwScreenMemoryRevoked(fakeWindow());
  std::fill(screen.screen.begin(), screen.screen.end(), 0u);
  EXPECT_EQ(0x00FF00u, read(front)[0] & 0xFFFFFF);
  EXPECT_EQ(DD_OK, front->Blt(&r, target, &r, DDBLT_WAIT, nullptr));
  EXPECT_EQ(0u, screen.screen[0]) << "no longer written there";
  front->Release();
  SwRegisterDisplay(fakeWindow(), &display);
}

// The surface drawn in and blitted whole into the primary each frame moves into
// the screen memory too, so that blit only presents; whatever else writes the
// primary, or a display that hands its memory away, ends the sharing with the
// surface's pixels kept.
TEST_F(Surfaces, WholeFrameBlitsShareTheScreenMemoryWhereTheDisplayKeepsIt) {
  struct KeptScreen : ScreenDisplay {
    bool kept = true;
    bool screenMemoryKept() override { return kept; }
  } screen;
  SwRegisterDisplay(fakeWindow(), &screen);
  ASSERT_EQ(DD_OK, dd->SetCooperativeLevel(fakeWindow(), DDSCL_NORMAL));
  IDirectDrawSurface7 *front = primary(false);
  IDirectDrawSurface7 *back = makeSurface(64, 48, fmtXRGB(), DDSCAPS_3DDEVICE);
  ASSERT_TRUE(front && back);
  ASSERT_EQ(D3D_OK, dev->SetRenderTarget(back, 0));
  auto pixelsOf = [](IDirectDrawSurface7 *s) {
    DDSURFACEDESC2 sd;
    std::memset(&sd, 0, sizeof sd);
    sd.dwSize = sizeof sd;
    s->Lock(nullptr, &sd, DDLOCK_WAIT | DDLOCK_READONLY, nullptr);
    s->Unlock(nullptr);
    return static_cast<const void *>(sd.lpSurface);
  };
  const void *screenMem = screen.screen.data();
  for (int kept = 1; kept >= 0; --kept) {
    screen.kept = kept != 0;
    dev->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF00FF00u, 1, 0);
    ASSERT_EQ(DD_OK, front->Blt(nullptr, back, nullptr, DDBLT_WAIT, nullptr));
    EXPECT_EQ(kept != 0, pixelsOf(back) == screenMem) << kept;
    dev->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFFFF0000u, 1, 0);
    ASSERT_EQ(DD_OK, front->Blt(nullptr, back, nullptr, DDBLT_WAIT, nullptr));
    EXPECT_EQ(screenMem, screen.shown);
    EXPECT_EQ(0xFF0000u, screen.frame[size_t(47) * 64 + 63] & 0xFFFFFF) << kept;
    // A fill of the primary is not the back buffer's business.
    DDBLTFX fx;
    std::memset(&fx, 0, sizeof fx);
    fx.dwSize = sizeof fx;
    ASSERT_EQ(DD_OK, front->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL, &fx));
    EXPECT_NE(screenMem, pixelsOf(back));
    EXPECT_EQ(0xFF0000u, read(back)[0] & 0xFFFFFF) << kept;
    EXPECT_EQ(0u, screen.screen[0] & 0xFFFFFF);
  }
  // Taken back by the display while shared: both keep their pixels.
  screen.kept = true;
  ASSERT_EQ(DD_OK, front->Blt(nullptr, back, nullptr, DDBLT_WAIT, nullptr));
  ASSERT_EQ(screenMem, pixelsOf(back));
  SwScreenMemoryRevoked(fakeWindow());
  std::fill(screen.screen.begin(), screen.screen.end(), 0u);
  EXPECT_EQ(0xFF0000u, read(back)[0] & 0xFFFFFF);
  EXPECT_EQ(0xFF0000u, read(front)[0] & 0xFFFFFF);
  // Now in its own memory, the primary shares that: what is drawn is there unblitted.
  ASSERT_EQ(DD_OK, front->Blt(nullptr, back, nullptr, DDBLT_WAIT, nullptr));
  dev->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF0000FFu, 1, 0);
  EXPECT_EQ(0x0000FFu, read(front)[0] & 0xFFFFFF);
  ASSERT_EQ(DD_OK, front->Blt(nullptr, back, nullptr, DDBLT_WAIT, nullptr));
  front->Release();
  EXPECT_EQ(0x0000FFu, read(back)[0] & 0xFFFFFF) << "kept when the primary goes";
  dev->SetRenderTarget(target, 0);
  back->Release();
  SwRegisterDisplay(fakeWindow(), &display);
}

TEST_F(Surfaces, DeviceRefusesHardwareKindsAndDrawingOutsideAScene) {
  IDirect3DDevice7 *d = nullptr;
  EXPECT_NE(D3D_OK, d3d->CreateDevice(IID_IDirect3DTnLHalDevice, target, &d));
  EXPECT_NE(D3D_OK, d3d->CreateDevice(IID_IDirect3DHALDevice, target, &d));
  EXPECT_EQ(nullptr, d);
  IDirectDrawSurface7 *plain = makeSurface(8, 8, fmtXRGB(), DDSCAPS_OFFSCREENPLAIN);
  EXPECT_NE(D3D_OK, d3d->CreateDevice(IID_IDirect3DRGBDevice, plain, &d)) << "no 3D caps";
  plain->Release();

  D3DLVERTEX v[3] = {lv(0, 0, 0xFFFF0000u), lv(9, 0, 0xFFFF0000u), lv(0, 9, 0xFFFF0000u)};
  EXPECT_EQ(D3DERR_SCENE_IN_SCENE, dev->BeginScene());
  ASSERT_EQ(D3D_OK, dev->EndScene());
  fill(0);
  EXPECT_EQ(D3DERR_SCENE_NOT_IN_SCENE,
            dev->DrawPrimitive(D3DPT_TRIANGLELIST, D3DFVF_LVERTEX, v, 3, 0));
  EXPECT_EQ(0, count(0xFF0000u));
  EXPECT_EQ(D3DERR_SCENE_NOT_IN_SCENE, dev->EndScene());
  dev->BeginScene();
  EXPECT_EQ(D3DERR_INVALIDVERTEXFORMAT, dev->DrawPrimitive(D3DPT_TRIANGLELIST, D3DFVF_XYZ, v, 3, 0));
  EXPECT_EQ(DDERR_INVALIDPARAMS, dev->DrawPrimitive(D3DPT_TRIANGLELIST, D3DFVF_LVERTEX, nullptr, 3, 0));
  D3DVIEWPORT7 tooBig = {0, 0, uint32_t(W) + 1, uint32_t(H), 0, 1};
  EXPECT_NE(D3D_OK, dev->SetViewport(&tooBig));
  // Non-finite vertices draw nothing rather than anything undefined.
  D3DLVERTEX bad[3] = {lv(0, 0), lv(std::numeric_limits<float>::infinity(), 0), lv(0, 9)};
  bad[2].x = std::nanf("");
  EXPECT_EQ(D3D_OK, dev->DrawPrimitive(D3DPT_TRIANGLELIST, D3DFVF_LVERTEX, bad, 3, 0));
  EXPECT_EQ(W * H, count(0));
}

}  // namespace
