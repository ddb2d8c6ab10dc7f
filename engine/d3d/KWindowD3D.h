// KWindowD3D: the game window on DirectDraw 7 and Direct3D 7, the window the
// program runs on. DirectDraw surfaces and a Direct3D device render the frame; the
// platform gives the window and its messages. On Windows these are the system's
// interfaces, and exclusive full screen switches the display mode; on Linux they
// are the engine's software device, whose frames reach the screen through the
// platform's display and whose full screen is the frame scaled to the desktop.
// The frame is 32 bits unless a depth is asked for. Application thread only.
#pragma once

#include <cstdint>
#include <memory>

#include "platform/swd3d/SwD3D.h"
#include "window/KWindowBase.h"


class KWindowD3D : public KWindowBase {
public:
  explicit KWindowD3D(bool use3d);
  ~KWindowD3D() override;
  KWindowD3D(const KWindowD3D &) = delete;
  KWindowD3D &operator=(const KWindowD3D &) = delete;

  void setDefaultWorldView() override;
  void setWorldView(float translateX, float translateY, float rotation, float zoom,
                    bool clearworld) override;
  void setClearColor(float r, float g, float b, float a) override;
  bool createGameWindow(short width, short height, short depth, bool windowed,
                        const char *windowTitle) override;
  void terminate() override;
  void toggleFullScreen(bool fullscreen) override;
  void flipBackBuffer(bool waitForBackWindow, bool restoreView) override;
  void setMaxFrameRate(long desiredFrameRate) override;
  bool getRectangleTexCap() override;
  bool getAccelerationCap() override;
  void setRectangleTexCap(bool forceRectangleCap) override;
  void setGamma(float gammai) override;

  static long GameWindowProc(HWND hWnd, unsigned int messg, unsigned int wParam, long lParam);

  // Read-only views for tests and tools.
  unsigned long getClearColor() const { return _clearColor; }
  long framesShown() const;

  KDisplayMode dv;
  IDirectDraw7 *_lpDD = nullptr;
  IDirectDrawSurface7 *_lpDDSPrimary = nullptr;
  IDirectDrawSurface7 *_lpDDSBack = nullptr;
  IDirect3D7 *_lpD3D = nullptr;
  IDirect3DDevice7 *_lpD3DDevice = nullptr;
  unsigned long _clearColor = 0;
  bool hasRectangleText = false, isAccelerated = false;
  bool _use3d;  // kept; this backend has no depth buffer
  bool _isWaitVBLSupported = false;
  int16_t _sourceScreenDepth = 0, _gameScreenDepth = 0;
  int _windowID = 0;

private:
  bool createRealWindow(short width, short height, short depth, const char *windowTitle);
  bool attachD3DToWindow();
  bool createDirectContextsWindow();
  bool createDirectContextsFullScreen();
  // Full screen, or, when the display cannot give it, the centred window (one log
  // line, no message box); false when it ended windowed.
  bool enterFullScreen();
  bool regenerateD3DDevice();
  bool releaseDirectContexts();
  bool createDirectDraw();
  void releaseDevice();
  void ClearSurface(IDirectDrawSurface7 *surface);
  void doGammaAdjustment();
  // Shows the back buffer: a blit to the windowed primary, or a flip.
  void present(bool onTime);
  bool SwitchToResolution(short width, short height, short depth);
  bool setViewport();

  std::unique_ptr<SwDisplay> _presenter;
  long _framesShown = 0;  // frames DirectDraw accepted for the screen
};
