// KWindow: the game window contract. The application holds exactly one, made by
// KQMX::createKWindow; KWindowGL and KWindowD3D implement it. Application thread only.
#pragma once

#include "window/KEvent.h"
#include "platform/KWindowHandle.h"

class KWindow {
public:
  // Operations keep their contract order, which is also their virtual slot order.
  virtual void setDefaultWorldView() = 0;
  virtual void setWorldView(float translateX, float translateY, float rotation, float zoom,
                            bool clearworld) = 0;
  virtual void setClearColor(float r, float g, float b, float a) = 0;
  virtual ~KWindow() {}
  virtual bool createGameWindow(short width, short height, short depth, bool windowed,
                                const char *windowTitle) = 0;
  virtual void terminate() = 0;
  virtual void toggleFullScreen(bool fullscreen) = 0;
  virtual bool hasFocus() = 0;
  virtual void setTitle(const char *title) = 0;
  virtual void flipBackBuffer(bool waitForBackWindow, bool restoreView) = 0;
  virtual void processEvents() = 0;
  virtual bool isQuit() = 0;
  virtual HWND getWindowHandle() = 0;
  virtual void setMaxFrameRate(long desiredFrameRate) = 0;
  virtual bool getRectangleTexCap() = 0;
  virtual bool getAccelerationCap() = 0;
  virtual void setRectangleTexCap(bool forceRectangleCap) = 0;
  virtual void setGamma(float gammai) = 0;
  virtual long getWindowWidth() = 0;
  virtual long getWindowHeight() = 0;
  virtual void restore() = 0;
  virtual void minimize() = 0;
  virtual void displayMouse(bool mousestate) = 0;
  virtual void setCallBack(bool (*userProc)(HWND, unsigned int, unsigned int, long)) = 0;
  virtual void setQMXCallBack(bool (*userProc)(KEvent *)) = 0;
  // Whether the window shows full screen now: false also after full screen was
  // asked for and the display could not give it (the window is then windowed).
  virtual bool isFullScreen() const = 0;
};
