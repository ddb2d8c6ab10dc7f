// Test doubles for running the shell and the peg board in-process: a window
// and pictures that record every call, made by the factory once rec.reset() has
// run, and a scripted input source whose frames advance on each presented frame.
// Single-threaded, like the screens they stand in for.
#pragma once

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <map>
#include <string>
#include <vector>

#include "input/KInput.h"
#include "window/KQMXNull.h"

// One drawing call on a picture: the picture's file name (base name only), the
// operation and its arguments in order.
struct DrawCall {
  std::string picture;
  std::string op;
  std::vector<float> args;
  int frame = 0;  // the number of frames presented before this call
};

class ShellGraphic;

// Everything the doubles saw, shared by all of them; reset() between tests.
struct Recorder {
  std::vector<DrawCall> calls;
  std::vector<std::string> windowCalls;
  std::vector<std::string> screens;  // "garden", "monster": the doubles of those screens ran  // "create 640 480 -1 windowed Pabrix", "fullscreen 1", ...
  std::map<std::string, std::pair<float, float>> pictureSizes;  // base name -> size; missing = fails
  int frames = 0;          // flipBackBuffer calls
  int events = 0;          // processEvents calls
  int livePictures = 0;    // created minus deleted
  bool quit = false;
  bool quiet = false;      // drawing calls are not recorded (no allocation either)
  std::function<void()> onEvents;  // run inside each processEvents

  // Forgets everything seen, and has KQMX make the recording window and pictures.
  void reset();
  // Calls of `op` on `picture` (both exact; empty matches any).
  std::vector<DrawCall> find(const std::string &picture, const std::string &op,
                             int frame = -1) const;
  bool drewAt(const std::string &picture, const std::string &op, float destX, float destY,
              int frame = -1) const;
};
extern Recorder rec;

// One frame of scripted input.
struct InputFrame {
  InputFrame() = default;
  InputFrame(int x_, int y_, bool button_, std::vector<EKeyboardLayout> keys_ = {},
             std::function<void()> action_ = nullptr)
      : x(x_), y(y_), button(button_), keys(std::move(keys_)), action(std::move(action_)) {}
  int x = 0, y = 0;
  bool button = false;
  std::vector<EKeyboardLayout> keys;
  std::function<void()> action;  // run when this frame becomes current (not for frame 0)
  int taps = 0;  // clicks begun and ended since the frame before (never seen held)
};

// Scripted input: frame i of the script answers until the i-th presented frame;
// the last frame repeats. `releaseAfterEvents` releases the button once that
// many processEvents calls have happened since the frame began (a wait for a
// release sees it without any frame being presented).
class ScriptInput : public KInputSource {
public:
  std::vector<InputFrame> frames;
  size_t index = 0;
  int releaseAfterEvents = -1;
  int eventsAtFrameStart = 0;
  bool systemPointerVisible = true;
  unsigned long presses = 0;  // presses so far, as a platform would count them

  // Starts a new script from its first frame.
  void play(std::vector<InputFrame> script);
  const InputFrame &now() const;
  void pointerPosition(int &x, int &y) override;
  bool leftButtonDown() override;
  unsigned long leftButtonPresses() override { return presses; }
  bool keyDown(uint16_t virtualKey) override;
  void setSystemPointerVisible(bool visible) override { systemPointerVisible = visible; }
  void frameFlipped() override;

private:
  void countPresses(bool wasDown);
};

// Screens ignore a button already held when they open. A script that starts
// held gets a first frame with the button up, whose drawing is then forgotten,
// so frame numbers still count from the script's own first frame.
std::vector<InputFrame> withReleasedStart(std::vector<InputFrame> frames);

// Installs `script` as KInput's source for the life of the object.
class ScopedInput {
public:
  explicit ScopedInput(ScriptInput &script);
  ~ScopedInput();
};

// A window that records its creation, display-mode changes and frames, and
// quits on terminate.
class RecordingWindow : public KNullWindow {
public:
  bool createGameWindow(short width, short height, short depth, bool windowed,
                        const char *title) override;
  void terminate() override { rec.quit = true; }
  void toggleFullScreen(bool fullscreen) override;
  void flipBackBuffer(bool waitForBackWindow, bool restoreView) override;
  void processEvents() override;
  bool isQuit() override { return rec.quit; }
};

// A picture sized from rec.pictureSizes that records its blits, blit colour
// and texture quality.
class ShellGraphic : public KNullGraphic {
public:
  std::string name;
  float width = 0, height = 0;

  ShellGraphic() { rec.livePictures++; }
  ~ShellGraphic() override { rec.livePictures--; }
  bool loadPicture(const char *filename, bool, bool) override;
  void freePicture() override { width = height = 0; }
  float getWidth() override { return width; }
  float getHeight() override { return height; }
  void setTextureQuality(bool quality) override { log("setTextureQuality", {(float)quality}); }
  void blitRect(float x1, float y1, float x2, float y2, short dx, short dy, bool, bool) override {
    log("blitRect", {x1, y1, x2, y2, (float)dx, (float)dy});
  }
  void blitAlphaRect(float x1, float y1, float x2, float y2, short dx, short dy, bool,
                     bool) override {
    log("blitAlphaRect", {x1, y1, x2, y2, (float)dx, (float)dy});
  }
  void blitAlphaRectFx(float x1, float y1, float x2, float y2, short dx, short dy, float angle,
                       float zoom, float blend, bool, bool) override {
    log("blitAlphaRectFx", {x1, y1, x2, y2, (float)dx, (float)dy, angle, zoom, blend});
  }
  void setBlitColor(float r, float g, float b, float a) override {
    log("setBlitColor", {r, g, b, a});
  }
  void drawRect(float x1, float y1, float x2, float y2, float r, float g, float b,
                float a) override {
    log("drawRect", {x1, y1, x2, y2, r, g, b, a});
  }

private:
  void log(const char *op, std::initializer_list<float> args);
};

// A fresh documents folder for one test: the program's documents folder points at it.
class TempDocuments {
public:
  TempDocuments();
  ~TempDocuments();
  std::string path;
  std::string dataHome;  // XDG_DATA_HOME while it lives (Linux; empty on Windows)
  std::string file(const std::string &name) const { return path + "/" + name; }
  // How many files and folders it holds.
  size_t entries() const;
};

std::vector<unsigned char> readWholeFile(const std::string &path);
void writeWholeFile(const std::string &path, const std::vector<unsigned char> &bytes);

// The garden and the monster builder have suites of their own; in the shell's
// screen table they are these, which note their name and return at once.
void fakeGardenScreen();
void fakeMonsterScreen();
