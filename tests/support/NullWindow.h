// A game window that does nothing: a 640x480 window that always has focus, never
// quits and draws nowhere; full screen as asked, unless refuseFullScreen says
// the display has no such mode. Test doubles derive from it and override only the
// operations they record. Test thread only.
#pragma once

#include "window/KWindow.h"

class NullWindow : public KWindow {
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
