// KWindowGL: the game window on an OpenGL compatibility context (the platform's
// window and context underneath).
// Every frame is drawn into a fixed-size off-screen buffer (a framebuffer object
// where the driver has one), so read-backs always see the requested size; the
// flip scales it into the window, letterboxed in full screen. Application thread
// only; the GL context is current on that thread.
#pragma once

#include <cstdint>

#include "window/KWindowBase.h"

struct KNativeWindowOptions;

// What is asked of the GL visual.
struct KPixelFormatDescriptor {
  int version = 1;
  bool doubleBuffer = true;
  bool rgba = true;
  int colorBits = 0;
  int depthBits = 0;
};

class KWindowGL : public KWindowBase {
public:
  KWindowGL();
  explicit KWindowGL(bool use3D);
  ~KWindowGL() override;
  KWindowGL(const KWindowGL &) = delete;
  KWindowGL &operator=(const KWindowGL &) = delete;

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

  bool AttachOpenGLToWindow(short depth);
  // Applies the descriptor to the visual and opens the window with it (a GL visual
  // is chosen when the window is made); 0 when no visual fits.
  int FillAndSelectPixelFormat(KNativeWindowOptions &options, KPixelFormatDescriptor *pfd,
                               short depth);
  bool SwitchToResolution(short width, short height, short depth);
  void RestoreResolution();
  void doGammaAdjustment();
  static long GameWindowProc(HWND hWnd, unsigned int messg, unsigned int wParam, long lParam);

  // For frame captures: makes the back buffer (the frame being drawn) or the front
  // buffer (the frame last presented) the source of glReadPixels, at the frame's
  // size. Call restoreReadBuffer() afterwards. No-ops without a current window.
  static void selectReadBuffer(bool front);
  static void restoreReadBuffer();
  // Whether frames go through the off-screen buffer (false: straight to the window).
  bool usesOffscreenBuffer() const { return _fbo != 0; }

  float _clearR = 0.0f, _clearG = 0.0f, _clearB = 0.0f, _clearA = 0.0f;
  KDisplayMode dv;
  void *_openGLContext = nullptr;
  bool _silent = false;
  bool _capsDetected = false;
  bool _isWaitVBLSupported = false;
  int16_t _sourceScreenDepth = 0, _gameScreenDepth = 0;
  int _windowID = 0;
  bool hasRectangleText = false;
  bool isAccelerated = false;
  bool _use3d = false;

private:
  bool createFramebuffers();
  void releaseFramebuffers();
  void present();
  void bindFrame();
  void makeCurrent();
  void waitForVerticalBlank(bool onTime);
  void detectCapabilities();

  bool _pixelFormatFound = false;  // the window was made with a GL visual
  bool _displayTaken = false;      // the full-screen display is ours (see dv)
  int _swapInterval = -1;          // last interval given to the driver
  unsigned int _fbo = 0, _frontFbo = 0;
  unsigned int _colorRb = 0, _frontColorRb = 0, _depthRb = 0;
};
