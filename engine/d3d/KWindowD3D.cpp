// KWindowD3D: the game window on DirectDraw 7 and Direct3D 7 (see KWindowD3D.h).
// Application thread only; the window procedure runs inside processEvents and
// flipBackBuffer.
#include "d3d/KWindowD3D.h"

#include <cstdio>
#include <cstring>

#include "d3d/KD3DMatrix.h"
#include "d3d/KGraphicD3D.h"
#include "input/KInput.h"
#include "platform/KNativeWindow.h"
#include "platform/KPlatform.h"
#include "tools/KLog.h"
#include "tools/KMiscTools.h"

namespace {

KGraphic *makePicture() { return new KGraphicD3D(); }

// Message boxes of this window carry the platform's default caption.
void errorBox(const char *text) { KMiscTools::messageBox("Error", text); }

template <typename T>
void release(T *&p) {
  if (p) p->Release();
  p = nullptr;
}

}  // namespace

KWindowD3D::KWindowD3D(bool use3d) : _use3d(use3d) {
  _windowDepth = -1;
  KMiscTools::initMillisecond();
}

KWindowD3D::~KWindowD3D() {
  KInput::freeMouse();
  releaseDirectContexts();
  _userCallback = nullptr;
  _qmxCallback = nullptr;
  if (KInput::_hwnd == _hwnd) KInput::_hwnd = nullptr;
  _presenter.reset();  // before the window it draws into
  if (hasWindow()) {
    _hwnd->setUserData(nullptr);
    KNativeWindow::destroy(_hwnd);
  }
  _hwnd = nullptr;
  _quit = true;
}

// ---------------------------------------------------------------------------
// Creation

bool KWindowD3D::createGameWindow(short width, short height, short depth, bool windowed,
                                  const char *windowTitle) {
  if (hasWindow()) return false;  // one window per object
  if (width <= 0 || height <= 0) return false;
  _windowWidth = width;
  _windowHeight = height;
  _windowDepth = depth;
  _fullscreen = !windowed;
  return createRealWindow(width, height, depth, windowTitle ? windowTitle : "");
}

bool KWindowD3D::SwitchToResolution(short width, short height, short depth) {
  if (depth <= 0) depth = 16;
  // The desktop is noted but never changed: the frame keeps its own format and is
  // scaled onto the screen, so there is no mode to switch to.
  dv = KDisplayMode();
  dv.dmBitsPerPel = depth;
  dv.dmFields = (width > 0 && height > 0) ? 0x1 | 0x2 | 0x4 | 0x8 : 0x1 | 0x8;
  if (width > 0 && height > 0) {
    dv.dmPelsWidth = width;
    dv.dmPelsHeight = height;
    dv.dmDisplayFrequency = 75;
  }
  return true;
}

bool KWindowD3D::createRealWindow(short width, short height, short depth,
                                  const char *windowTitle) {
  if (depth != -1) SwitchToResolution(-1, -1, depth);
  if (!KNativeWindow::initVideo()) return false;
  KNativeWindowOptions options;
  options.title = windowTitle;
  options.width = width;
  options.height = height;
  options.fullscreen = _fullscreen;
  options.proc = GameWindowProc;
  _hwnd = KNativeWindow::create(options);
  if (!_hwnd) return false;
  _hwnd->setUserData(this);
  KInput::initInput(_hwnd);
  KInput::setPictureMaker(makePicture);
  _presenter.reset(KPlatform::createSwDisplay(_hwnd));
  return attachD3DToWindow();
}

bool KWindowD3D::setViewport() {
  if (!_lpD3DDevice) return false;
  D3DVIEWPORT7 vp = {0, 0, uint32_t(_windowWidth), uint32_t(_windowHeight), 0.0f, 1.0f};
  return _lpD3DDevice->SetViewport(&vp) == D3D_OK;
}

bool KWindowD3D::attachD3DToWindow() {
  if (_fullscreen) enterFullScreen();
  if (!_fullscreen && !createDirectContextsWindow()) {
    errorBox("can't create directX context, please reinstall direct X");
    return false;
  }
  regenerateD3DDevice();
  // Without a device there is nothing to set a viewport on: that is a failure too.
  if (!setViewport()) return false;
  KGraphicD3D::setDirectX(_lpDD, _lpD3DDevice, _lpDDSBack, _windowWidth, _windowHeight);
  return true;
}

bool KWindowD3D::createDirectDraw() {
  if (_lpDD) return true;
  if (DirectDrawCreateEx(nullptr, reinterpret_cast<void **>(&_lpDD), IID_IDirectDraw7, nullptr) !=
      DD_OK) {
    _lpDD = nullptr;
    return false;
  }
  if (_lpDD->QueryInterface(IID_IDirect3D7, reinterpret_cast<void **>(&_lpD3D)) != S_OK) {
    _lpD3D = nullptr;
    release(_lpDD);
    return false;
  }
  return true;
}

void KWindowD3D::ClearSurface(IDirectDrawSurface7 *surface) {
  if (!surface) return;
  DDBLTFX fx;
  std::memset(&fx, 0, sizeof fx);
  fx.dwSize = sizeof fx;
  fx.dwFillColor = 0;
  surface->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fx);
}

bool KWindowD3D::createDirectContextsWindow() {
  if (!createDirectDraw()) return false;
  // The windowed back buffer is a surface of its own, released with the primary.
  release(_lpDDSBack);
  release(_lpDDSPrimary);
  if (_lpDD->SetCooperativeLevel(D3DSystemWindow(_hwnd), DDSCL_NORMAL) != DD_OK) {
    errorBox("could not change cooperative level");
    return false;
  }
  DDSURFACEDESC2 sd;
  std::memset(&sd, 0, sizeof sd);
  sd.dwSize = sizeof sd;
  sd.dwFlags = DDSD_CAPS;
  sd.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE | DDSCAPS_VIDEOMEMORY;
  if (_lpDD->CreateSurface(&sd, &_lpDDSPrimary, nullptr) != DD_OK) {
    _lpDDSPrimary = nullptr;
    errorBox("can't create primary surface for window mode");
    return false;
  }
  std::memset(&sd, 0, sizeof sd);
  sd.dwSize = sizeof sd;
  sd.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
  sd.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_3DDEVICE | DDSCAPS_VIDEOMEMORY;
  sd.dwWidth = uint32_t(_windowWidth);
  sd.dwHeight = uint32_t(_windowHeight);
  if (_lpDD->CreateSurface(&sd, &_lpDDSBack, nullptr) != DD_OK) {
    _lpDDSBack = nullptr;
    errorBox("can't create backbuffer");
    return false;
  }
  IDirectDrawClipper *clipper = nullptr;
  if (_lpDD->CreateClipper(0, &clipper, nullptr) != DD_OK) return false;
  clipper->SetHWnd(0, D3DSystemWindow(_hwnd));
  _lpDDSPrimary->SetClipper(clipper);
  clipper->Release();
  ClearSurface(_lpDDSPrimary);
  ClearSurface(_lpDDSBack);
  return true;
}

bool KWindowD3D::enterFullScreen() {
  if ((_hwnd->isFullScreen() || _hwnd->setFullScreen(true)) && createDirectContextsFullScreen())
    return true;
  // No full screen at the frame's size (the display lacks the mode, or the
  // device refused it): the centred window instead, with nothing to click away.
  fullScreenRefused();
  release(_lpDDSBack);
  release(_lpDDSPrimary);
  if (_lpDD) _lpDD->RestoreDisplayMode();
  _hwnd->setFullScreen(false);
  return false;
}

bool KWindowD3D::createDirectContextsFullScreen() {
  if (!createDirectDraw()) return false;
  release(_lpDDSBack);
  release(_lpDDSPrimary);
  // Failures here are logged, not shown: the caller falls back to a window.
  if (_lpDD->SetCooperativeLevel(D3DSystemWindow(_hwnd), DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN |
                                               DDSCL_ALLOWREBOOT | DDSCL_FPUSETUP) != DD_OK) {
    logTrouble("video", "could not take the display for full screen");
    return false;
  }
  // The frame stays 32 bits unless a depth was asked for.
  int depth = _windowDepth > 0 ? _windowDepth : 32;
  if (_lpDD->SetDisplayMode(uint32_t(_windowWidth), uint32_t(_windowHeight), uint32_t(depth), 0,
                            0) != DD_OK) {
    logTrouble("video", "could not switch the screen to %dx%d %d bits", int(_windowWidth),
               int(_windowHeight), depth);
    return false;
  }
  DDSURFACEDESC2 sd;
  std::memset(&sd, 0, sizeof sd);
  sd.dwSize = sizeof sd;
  sd.dwFlags = DDSD_CAPS | DDSD_BACKBUFFERCOUNT;
  sd.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX |
                      DDSCAPS_VIDEOMEMORY | DDSCAPS_3DDEVICE;
  sd.dwBackBufferCount = 1;
  if (_lpDD->CreateSurface(&sd, &_lpDDSPrimary, nullptr) != DD_OK) {
    _lpDDSPrimary = nullptr;
    return false;
  }
  DDSCAPS2 caps = {DDSCAPS_BACKBUFFER, 0, 0, 0};
  if (_lpDDSPrimary->GetAttachedSurface(&caps, &_lpDDSBack) != DD_OK) {
    _lpDDSBack = nullptr;
    return false;
  }
  _lpDDSPrimary->SetClipper(nullptr);
  _lpDDSBack->SetClipper(nullptr);
  ClearSurface(_lpDDSPrimary);
  ClearSurface(_lpDDSBack);
  return true;
}

void KWindowD3D::releaseDevice() {
  if (!_lpD3DDevice) return;
  _lpD3DDevice->EndScene();
  release(_lpD3DDevice);
  // Pictures must not draw through a device that is gone.
  KGraphicD3D::setDirectX(_lpDD, nullptr, nullptr, _windowWidth, _windowHeight);
}

bool KWindowD3D::regenerateD3DDevice() {
  releaseDevice();
  if (!_lpD3D || !_lpDDSBack) return false;
  const IID *kinds[3] = {&IID_IDirect3DTnLHalDevice, &IID_IDirect3DHALDevice,
                         &IID_IDirect3DRGBDevice};
  for (const IID *kind : kinds) {
    if (_lpD3D->CreateDevice(*kind, _lpDDSBack, &_lpD3DDevice) == D3D_OK) break;
    _lpD3DDevice = nullptr;
  }
  if (!_lpD3DDevice) return false;
  if (!setViewport()) return false;
  // The scene opens with the device, so what is drawn before the first flip (the
  // program's first frame, or the one after a full-screen switch) is shown by it
  // instead of being refused and shown black.
  _lpD3DDevice->BeginScene();
  KGraphicD3D::setDirectX(_lpDD, _lpD3DDevice, _lpDDSBack, _windowWidth, _windowHeight);
  return true;
}

bool KWindowD3D::releaseDirectContexts() {
  releaseDevice();
  release(_lpD3D);
  // Our reference to the back buffer goes in both modes; in full screen the flip
  // chain keeps the buffer itself until the primary goes.
  release(_lpDDSBack);
  release(_lpDDSPrimary);
  release(_lpDD);
  KGraphicD3D::setDirectX(nullptr, nullptr, nullptr, _windowWidth, _windowHeight);
  return true;
}

// ---------------------------------------------------------------------------
// Frames

void KWindowD3D::setDefaultWorldView() { setWorldView(0, 0, 0, 1, false); }

void KWindowD3D::setWorldView(float translateX, float translateY, float rotation, float zoom,
                              bool clearworld) {
  if (!_lpD3DDevice) return;
  const int w = _windowWidth, h = _windowHeight;
  _lpD3DDevice->SetRenderTarget(_lpDDSBack, 0);
  setViewport();
  _lpD3DDevice->SetRenderState(D3DRENDERSTATE_LIGHTING, 0);
  _lpD3DDevice->SetRenderState(D3DRENDERSTATE_ZENABLE, D3DZB_FALSE);
  _lpD3DDevice->SetRenderState(D3DRENDERSTATE_CULLMODE, D3DCULL_NONE);
  _lpD3DDevice->SetRenderState(D3DRENDERSTATE_COLORVERTEX, 1);
  if (clearworld) {
    D3DRECT r = {0, 0, w, h};
    _lpD3DDevice->Clear(1, &r, D3DCLEAR_TARGET, D3DCOLOR(_clearColor), 1.0f, 0);
  }
  D3DMATRIX proj;
  ortho(&proj, float(w), float(h), -100.0f, 100.0f);
  _lpD3DDevice->SetTransform(D3DTRANSFORMSTATE_PROJECTION, &proj);
  D3DMATRIX view, m;
  translate(view, float(-(w / 2)), float(h / 2), 0);
  rotatez(m, rotation);
  multiply(view, view, m);
  scale(m, zoom, zoom, 0);
  multiply(view, view, m);
  translate(m, translateX, translateY, 0);
  multiply(view, view, m);
  _lpD3DDevice->SetTransform(D3DTRANSFORMSTATE_VIEW, &view);
}

void KWindowD3D::setClearColor(float r, float g, float b, float a) {
  // Not clamped; the arithmetic wraps the way the components were always packed.
  auto part = [](float v, int shift) {
    float f = v * 255.0f;
    int64_t t = (f == f && f < 4e9f && f > -4e9f) ? int64_t(f) : 0;  // defined for any input
    return uint32_t(t) << shift;
  };
  _clearColor = part(a, 24) | part(r, 16) | part(g, 8) | part(b, 0);
}

void KWindowD3D::doGammaAdjustment() {
  if (!_lpD3DDevice) return;
  setDefaultWorldView();
  float a = 1.0f - _gamma;
  if (a < 0) a = 0;
  uint32_t alpha = a >= 1.0f ? 255u : uint32_t(a * 255.0f);
  const D3DCOLOR c = alpha << 24;
  const float w = _windowWidth, h = _windowHeight;
  D3DLVERTEX v[6];
  const float pts[6][2] = {{0, 0}, {w, 0}, {w, -h}, {w, -h}, {0, -h}, {0, 0}};
  for (int i = 0; i < 6; ++i) {
    std::memset(&v[i], 0, sizeof v[i]);
    v[i].x = pts[i][0];
    v[i].y = pts[i][1];
    v[i].color = c;
  }
  // Ordinary transparency whatever the last picture left: the overlay only darkens.
  _lpD3DDevice->SetRenderState(D3DRENDERSTATE_ALPHABLENDENABLE, 1);
  _lpD3DDevice->SetRenderState(D3DRENDERSTATE_SRCBLEND, D3DBLEND_SRCALPHA);
  _lpD3DDevice->SetRenderState(D3DRENDERSTATE_DESTBLEND, D3DBLEND_INVSRCALPHA);
  _lpD3DDevice->SetTexture(0, nullptr);
  KGraphicD3D::_oldBindedText = nullptr;
  D3DMATRIX world, saved;
  _lpD3DDevice->GetTransform(D3DTRANSFORMSTATE_WORLD, &saved);
  identity(world);
  _lpD3DDevice->SetTransform(D3DTRANSFORMSTATE_WORLD, &world);
  _lpD3DDevice->BeginScene();
  _lpD3DDevice->DrawPrimitive(D3DPT_TRIANGLELIST, D3DFVF_LVERTEX, v, 6, 0);
  _lpD3DDevice->EndScene();
  _lpD3DDevice->SetTransform(D3DTRANSFORMSTATE_WORLD, &saved);
}

void KWindowD3D::flipBackBuffer(bool waitForBackWindow, bool restoreView) {
  if (!hasWindow()) return;
  if (!_lpD3DDevice) {
    // Nothing to show, but the messages still flow and the loop keeps its pace,
    // so the program can still be closed.
    paceFrame();
    KInput::frameFlipped();
    processEvents();
    return;
  }
  if (_displayQMXMouse) {
    setDefaultWorldView();
    KInput::displayMouse();
  }
  _lpD3DDevice->EndScene();

  if (_lpDDSPrimary && _lpDDSPrimary->IsLost() == DDERR_SURFACELOST) {
    _lpDDSPrimary->Restore();
    if (!_fullscreen && _lpDDSBack && _lpDDSBack->IsLost() == DDERR_SURFACELOST)
      _lpDDSBack->Restore();
  }
  if (_gamma < 1.0f) doGammaAdjustment();

  present(paceFrame());
  KInput::frameFlipped();

  if (restoreView) setDefaultWorldView();
  processEvents();
  if (_lpD3DDevice) _lpD3DDevice->BeginScene();
  if (waitForBackWindow) waitWhileInBackground();
}

void KWindowD3D::present(bool onTime) {
  if (!_lpDDSPrimary || !_lpDDSBack) return;
  // A frame behind the clock goes out at once instead of waiting for the display.
  if (!_fullscreen) {
    if (onTime) _lpDD->WaitForVerticalBlank(DDWAITVB_BLOCKBEGIN, nullptr);
    // The windowed primary is the desktop (on the software device, the client
    // area): the frame goes where the platform says the client area shows it.
    RECT src = {0, 0, _windowWidth, _windowHeight};
    RECT dst = src;
    D3DFrameOnPrimary(_hwnd, _windowWidth, _windowHeight, dst);
    if (_lpDDSPrimary->Blt(&dst, _lpDDSBack, &src, DDBLT_WAIT, nullptr) == DD_OK) ++_framesShown;
  } else if (_lpDDSPrimary->Flip(nullptr, onTime ? DDFLIP_WAIT : DDFLIP_WAIT | DDFLIP_NOVSYNC) ==
             DD_OK) {
    ++_framesShown;
  }
}

long KWindowD3D::framesShown() const { return _framesShown; }

// ---------------------------------------------------------------------------
// Display modes

void KWindowD3D::toggleFullScreen(bool fullscreen) {
  if (fullscreen == _fullscreen) return;
  _fullscreen = fullscreen;
  releaseDevice();
  if (!fullscreen) {
    if (!hasWindow() || !_lpDD) return;
    _lpDD->RestoreDisplayMode();
    _hwnd->setFullScreen(false);
    if (createDirectContextsWindow()) regenerateD3DDevice();
  } else {
    if (!hasWindow()) return;
    if (enterFullScreen() || createDirectContextsWindow()) regenerateD3DDevice();
  }
}

// ---------------------------------------------------------------------------
// Small operations

void KWindowD3D::terminate() { _quit = true; }

void KWindowD3D::setMaxFrameRate(long desiredFrameRate) { setFrameCap(desiredFrameRate); }

bool KWindowD3D::getRectangleTexCap() { return true; }
bool KWindowD3D::getAccelerationCap() { return true; }
void KWindowD3D::setRectangleTexCap(bool) {}

void KWindowD3D::setGamma(float gammai) { _gamma = gammai < 0 ? 0 : gammai; }

// ---------------------------------------------------------------------------
// Window procedure: the hooks, then only close, destroy and the wheel; this
// window neither repaints on paint requests nor reacts to activation.

long KWindowD3D::GameWindowProc(HWND hWnd, unsigned int messg, unsigned int wParam, long lParam) {
  bool consumed = false;
  KWindowD3D *kw = windowFor<KWindowD3D>(hWnd, messg, wParam, lParam, consumed);
  if (consumed) return 0;
  switch (messg) {
    case WM_CLOSE:
    case WM_DESTROY:
      if (kw) kw->_quit = true;
      if (KNativeWindow::isWindow(hWnd)) hWnd->postMessage(WM_QUIT, 0, 0);
      return 0;
    default:
      return defaultMessage(hWnd, messg, wParam, lParam);
  }
}
