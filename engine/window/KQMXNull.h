// The null renderer family: a window and pictures that do nothing, and the
// KQMX backend that makes them. Headless tools and test doubles use them (the
// doubles override only what they record). Application thread only.
#pragma once

#include <cstdint>

#include "graphic/KGraphic.h"
#include "window/KQMX.h"
#include "window/KWindow.h"

// A 640x480 window that always has focus, never quits and draws nowhere; full
// screen as asked, unless refuseFullScreen says the display has no such mode.
class KNullWindow : public KWindow {
public:
  void setDefaultWorldView() override {}
  void setWorldView(float, float, float, float, bool) override {}
  void setClearColor(float, float, float, float) override {}
  bool createGameWindow(short, short, short, bool windowed, const char *) override {
    fullScreen = !windowed && !refuseFullScreen;
    return true;
  }
  void terminate() override {}
  void toggleFullScreen(bool on) override { fullScreen = on && !refuseFullScreen; }
  bool hasFocus() override { return true; }
  void setTitle(const char *) override {}
  void flipBackBuffer(bool, bool) override {}
  void processEvents() override {}
  bool isQuit() override { return false; }
  HWND getWindowHandle() override { return nullptr; }
  void setMaxFrameRate(long) override {}
  bool getRectangleTexCap() override { return false; }
  bool getAccelerationCap() override { return false; }
  void setRectangleTexCap(bool) override {}
  void setGamma(float) override {}
  long getWindowWidth() override { return 640; }
  long getWindowHeight() override { return 480; }
  void restore() override {}
  void minimize() override {}
  void displayMouse(bool) override {}
  void setCallBack(bool (*)(HWND, unsigned int, unsigned int, long)) override {}
  void setQMXCallBack(bool (*)(KEvent *)) override {}
  bool isFullScreen() const override { return fullScreen; }

  bool fullScreen = false;
  bool refuseFullScreen = false;
};

// A picture that loads nothing, measures 0 by 0, draws nothing; every grab or
// save fails.
class KNullGraphic : public KGraphic {
public:
  bool loadPicture(const char *, bool, bool) override { return false; }
  void freePicture() override {}
  float getWidth() override { return 0; }
  float getHeight() override { return 0; }
  void setTextureQuality(bool) override {}
  void drawRect(float, float, float, float, float, float, float, float) override {}
  void drawLine(float, float, float, float, float, float, float, float) override {}
  void plotPixel(float, float, float, float, float, float) override {}
  void blitRect(float, float, float, float, short, short, bool, bool) override {}
  void blitRectFx(float, float, float, float, short, short, float, float, bool, bool) override {}
  void blitAlphaRect(float, float, float, float, short, short, bool, bool) override {}
  void blitAlphaRectFx(float, float, float, float, short, short, float, float, float, bool,
                       bool) override {}
  void blitTiledRect(short, short, short, short, float, float) override {}
  void blitArbitraryQuad(float, float, float, float, float, float, float, float, float, float,
                         float, float, float, float, float, float) override {}
  void setAlphaMode(long) override {}
  void stretchAlphaRect(float, float, float, float, float, float, float, float, float,
                        float) override {}
  bool grabBackBuffer(KPixelTransformation) override { return false; }
  bool grabFrontBuffer() override { return false; }
  void setColorKey(bool, unsigned char, unsigned char, unsigned char) override {}
  void allowTextureWrap(bool) override {}
  bool saveBackBuffer(const char *, long, long, long) override { return false; }
  void setBlitColor(float, float, float, float) override {}
  bool makePictureFromArray(uint32_t *, long, long, bool) override { return false; }
  void pollArray() override {}
  void selectTexture() override {}

protected:
  void setBlendFactors(KBlendFactor, KBlendFactor) override {}
  void frameSize(long &width, long &height) override { width = height = 0; }
  bool readBackFrame(uint8_t *, long, long, bool, bool &) override { return false; }
};

// Makes windows of class W and pictures of class G, whatever the renderer asked.
template <class W, class G>
class KQMXBackendOf : public KQMXBackend {
public:
  KWindow *createWindow(Erenderer, bool) override { return new W(); }
  KGraphic *createGraphic(Erenderer) override { return new G(); }
};
// The null family: the two above.
using KQMXNullBackend = KQMXBackendOf<KNullWindow, KNullGraphic>;
