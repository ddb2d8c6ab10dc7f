// KWindowGL: the game window on an OpenGL compatibility context (SDL2 underneath).
// Every frame is drawn into a fixed-size off-screen buffer (a framebuffer object
// where the driver has one), so read-backs always see the requested size; the
// flip scales it into the window, letterboxed in full screen. Application thread
// only; the GL context is current on that thread.
#pragma once

#include <cstdint>

#include "window/KEventTranslate.h"
#include "window/KWindow.h"

struct SDL_Window;

// The desktop mode noted before the display is taken over. The desktop's own mode
// is never changed here: full screen is the frame scaled to the whole screen.
struct KDisplayMode {
  unsigned long dmFields = 0;  // which of the values below the request named
  long dmBitsPerPel = 0;
  long dmPelsWidth = 0;
  long dmPelsHeight = 0;
  long dmDisplayFrequency = 0;
};

// What is asked of the GL visual.
struct KPixelFormatDescriptor {
  int version = 1;
  bool doubleBuffer = true;
  bool rgba = true;
  int colorBits = 0;
  int depthBits = 0;
};

class KWindowGL : public KWindow {
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

  bool AttachOpenGLToWindow(short depth);
  // Applies the descriptor to the visual and opens the window with it (a GL visual
  // is chosen when the window is made); 0 when no visual fits.
  int FillAndSelectPixelFormat(SDL_Window **hdc, KPixelFormatDescriptor *pfd, short depth);
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
  float getGamma() const { return _gamma; }
  unsigned long getMaxFrameRate() const { return _maxFrameRate; }
  bool isFullScreen() const { return _fullscreen; }

  float _clearR, _clearG, _clearB, _clearA;
  KDisplayMode dv;
  void *_openGLContext;
  SDL_Window *_hDC;
  HWND _hwnd;
  KRawMessageHook _userCallback;
  KEventHook _qmxCallback;
  bool _silent;
  bool _capsDetected;
  bool _isWaitVBLSupported;
  bool _fullscreen;
  int16_t _sourceScreenDepth, _gameScreenDepth;
  int _windowID;
  int16_t _windowWidth, _windowHeight, _windowDepth;
  uint32_t _maxFrameRate;
  bool hasRectangleText;
  bool isAccelerated;
  bool _use3d;
  float _gamma;
  bool _quit;
  bool _displayQMXMouse;

private:
  void init(bool use3D);
  bool createFramebuffers();
  void releaseFramebuffers();
  void present();
  void bindFrame();
  void makeCurrent();
  void waitForVerticalBlank();

  bool _pixelFormatFound = false;  // the window was made with a GL visual
  bool _displayTaken = false;      // the full-screen display is ours (see dv)
  bool _inBackgroundWait = false;  // a paint inside the wait must not nest another
  int _swapInterval = -1;          // last interval given to the driver
  unsigned int _fbo = 0, _frontFbo = 0;
  unsigned int _colorRb = 0, _frontColorRb = 0, _depthRb = 0;
};
