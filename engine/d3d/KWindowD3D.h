// KWindowD3D: the game window on the software Direct3D device, the window the
// program runs on. DirectDraw surfaces and a Direct3D device render the frame; the
// SDL glue gives the window and its messages; frames reach the screen through
// KSwPresenter. The desktop mode is never changed: full screen is the frame scaled
// to the screen, 32 bits in both modes. Application thread only.
#pragma once

#include <cstdint>
#include <memory>

#include "platform/swd3d/SwD3D.h"
#include "window/KEventTranslate.h"
#include "window/KWindow.h"

class KSwPresenter;

// The desktop settings noted when a colour depth is asked for.
struct KD3DDisplayMode {
  unsigned long dmFields = 0;
  long dmBitsPerPel = 0;
  long dmPelsWidth = 0;
  long dmPelsHeight = 0;
  long dmDisplayFrequency = 0;
};

class KWindowD3D : public KWindow {
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
  bool hasFocus() override;
  void setTitle(const char *title) override;
  void flipBackBuffer(bool waitForBackWindow, bool restoreView) override;
  void processEvents() override;
  bool isQuit() override;
  HWND getWindowHandle() override;
  void setMaxFrameRate(long desiredFrameRate) override;
  bool getRectangleTexCap() override;
  bool getAccelerationCap() override;
  void setRectangleTexCap(bool forceRectangleCap) override;
  void setGamma(float gammai) override;
  long getWindowWidth() override;
  long getWindowHeight() override;
  void restore() override;
  void minimize() override;
  void displayMouse(bool mousestate) override;
  void setCallBack(bool (*userProc)(HWND, unsigned int, unsigned int, long)) override;
  void setQMXCallBack(bool (*userProc)(KEvent *)) override;

  static long GameWindowProc(HWND hWnd, unsigned int messg, unsigned int wParam, long lParam);

  // Read-only views for tests and tools.
  float getGamma() const { return _gamma; }
  unsigned long getMaxFrameRate() const { return _maxFrameRate; }
  unsigned long getClearColor() const { return _clearColor; }
  bool isFullScreen() const { return _fullscreen; }
  long framesShown() const;

  KD3DDisplayMode dv;
  bool _displayQMXMouse;
  HWND _hWndQMX;
  IDirectDraw7 *_lpDD;
  IDirectDrawSurface7 *_lpDDSPrimary;
  IDirectDrawSurface7 *_lpDDSBack;
  IDirect3D7 *_lpD3D;
  IDirect3DDevice7 *_lpD3DDevice;
  unsigned long _clearColor;
  KRawMessageHook _userCallback;
  KEventHook _qmxCallback;
  unsigned long _maxFrameRate;
  bool hasRectangleText, isAccelerated, _use3d;
  float _gamma;
  bool _isWaitVBLSupported;
  bool _fullscreen;
  int16_t _sourceScreenDepth, _gameScreenDepth;
  int _windowID;
  int16_t _windowWidth, _windowHeight, _windowDepth;
  bool _quit;

private:
  bool createRealWindow(short width, short height, short depth, const char *windowTitle);
  bool attachD3DToWindow();
  bool createDirectContextsWindow();
  bool createDirectContextsFullScreen();
  bool regenerateD3DDevice();
  bool releaseDirectContexts();
  bool createDirectDraw();
  void releaseDevice();
  void ClearSurface(IDirectDrawSurface7 *surface);
  void doGammaAdjustment();
  bool SwitchToResolution(short width, short height, short depth);
  bool setViewport();

  std::unique_ptr<KSwPresenter> _presenter;
  bool _inBackgroundWait = false;  // a message inside the wait must not nest another
};
