// Test doubles for running the activities in-process without a renderer: a
// picture that records its blits and a window that counts frames and runs a
// hook on every message pump. Test thread only.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "graphic/KGraphic.h"
#include "input/KInput.h"
#include "window/KWindow.h"

struct Blit {
  std::string op;  // "blitRect", "blitAlphaRect", "blitAlphaRectFx", "setBlitColor", ...
  float x1 = 0, y1 = 0, x2 = 0, y2 = 0;
  int destX = 0, destY = 0;
  float angle = 0, zoom = 1, blend = 1;
  bool sameSource(float a, float b, float c, float d) const {
    return x1 == a && y1 == b && x2 == c && y2 == d;
  }
};

class RecordingGraphic : public KGraphic {
public:
  RecordingGraphic();
  ~RecordingGraphic() override;

  std::string file;  // last name given to loadPicture
  std::vector<Blit> calls;
  bool quality = false;

  // Blits (of any kind) with this source rectangle.
  std::vector<Blit> blitsOf(float x1, float y1, float x2, float y2) const;
  size_t countOp(const std::string &op) const;

  // Every live recording picture, oldest first; find one by the tail of its file.
  static std::vector<RecordingGraphic *> &live();
  static RecordingGraphic *find(const std::string &fileTail);
  static int created;

  bool loadPicture(const char *filename, bool, bool) override;
  void freePicture() override {}
  float getWidth() override { return 16; }
  float getHeight() override { return 16; }
  void setTextureQuality(bool q) override { quality = q; }
  void drawRect(float, float, float, float, float, float, float, float) override {}
  void drawLine(float, float, float, float, float, float, float, float) override {}
  void plotPixel(float, float, float, float, float, float) override {}
  void blitRect(float x1, float y1, float x2, float y2, short dx, short dy, bool, bool) override;
  void blitRectFx(float, float, float, float, short, short, float, float, bool, bool) override {}
  void blitAlphaRect(float x1, float y1, float x2, float y2, short dx, short dy, bool,
                     bool) override;
  void blitAlphaRectFx(float x1, float y1, float x2, float y2, short dx, short dy, float angle,
                       float zoom, float blend, bool, bool) override;
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
  void setBlitColor(float r, float g, float b, float a) override;
  bool makePictureFromArray(uint32_t *, long, long, bool) override { return false; }
  void pollArray() override {}
  void selectTexture() override {}
};

class FakeWindow : public KWindow {
public:
  int flips = 0;
  int pumps = 0;
  int clears = 0;
  bool quit = false;
  float clearColor[4] = {0, 0, 0, 0};
  std::function<void()> onPump;  // runs inside processEvents
  std::function<void(int)> onFlip;  // runs after each presented frame, with the count

  void setDefaultWorldView() override {}
  void setWorldView(float, float, float, float, bool clearworld) override {
    if (clearworld) clears++;
  }
  void setClearColor(float r, float g, float b, float a) override {
    clearColor[0] = r, clearColor[1] = g, clearColor[2] = b, clearColor[3] = a;
  }
  bool createGameWindow(short, short, short, bool, const char *) override { return true; }
  void terminate() override { quit = true; }
  void toggleFullScreen(bool) override {}
  bool hasFocus() override { return true; }
  void setTitle(const char *) override {}
  void flipBackBuffer(bool, bool) override {
    flips++;
    KInput::frameFlipped();
    if (onFlip) onFlip(flips);
  }
  void processEvents() override {
    pumps++;
    if (onPump) onPump();
  }
  bool isQuit() override { return quit; }
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
};


// Stand-ins for the shell when the activities run alone (test_shell.cpp).
extern int printMonsterCalls;     // times printMonster() ran
extern std::string lastMusic;     // the last name given to playMusic
