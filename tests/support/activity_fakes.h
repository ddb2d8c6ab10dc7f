// Test doubles for running the activities in-process without a renderer: a
// picture that records its blits, a window that counts frames and runs a hook on
// every message pump, and recorders of music, printing and pictures taken.
// Test thread only.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "input/KInput.h"
#include "window/KQMXNull.h"

struct Blit {
  std::string op;  // "blitRect", "blitAlphaRect", "blitAlphaRectFx", "setBlitColor", ...
  float x1 = 0, y1 = 0, x2 = 0, y2 = 0;
  int destX = 0, destY = 0;
  float angle = 0, zoom = 1, blend = 1;
  bool smooth = false;  // the picture's texture quality when it was drawn
  long order = 0;       // when it was drawn, counted over every recording picture
  bool sameSource(float a, float b, float c, float d) const {
    return x1 == a && y1 == b && x2 == c && y2 == d;
  }
};

class RecordingGraphic : public KNullGraphic {
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
  // Keeps a call with its place in the order of all drawing.
  void record(Blit b) {
    static long drawn = 0;
    b.order = ++drawn;
    calls.push_back(b);
  }

  bool loadPicture(const char *filename, bool, bool) override;
  float getWidth() override { return 16; }
  float getHeight() override { return 16; }
  void setTextureQuality(bool q) override { quality = q; }
  void drawRect(float x1, float y1, float x2, float y2, float, float, float, float a) override {
    record({"drawRect", x1, y1, x2, y2, 0, 0, 0, 1, a});
  }
  void blitRect(float x1, float y1, float x2, float y2, short dx, short dy, bool, bool) override;
  void blitAlphaRect(float x1, float y1, float x2, float y2, short dx, short dy, bool,
                     bool) override;
  void blitAlphaRectFx(float x1, float y1, float x2, float y2, short dx, short dy, float angle,
                       float zoom, float blend, bool, bool) override;
  void setBlitColor(float r, float g, float b, float a) override;
};

class FakeWindow : public KNullWindow {
public:
  int flips = 0;
  int pumps = 0;
  int clears = 0;
  bool quit = false;
  float clearColor[4] = {0, 0, 0, 0};
  std::function<void()> onPump;  // runs inside processEvents
  std::function<void(int)> onFlip;  // runs after each presented frame, with the count

  void setWorldView(float, float, float, float, bool clearworld) override {
    if (clearworld) clears++;
  }
  void setClearColor(float r, float g, float b, float a) override {
    clearColor[0] = r, clearColor[1] = g, clearColor[2] = b, clearColor[3] = a;
  }
  void terminate() override { quit = true; }
  void flipBackBuffer(bool, bool) override {
    flips++;
    KInput::frameFlipped();
    if (onFlip) onFlip(flips);
  }
  void processEvents() override {
    pumps++;
    if (onPump) onPump();
    KInput::eventsPumped();
  }
  bool isQuit() override { return quit; }
};


// What the activities asked of the world outside while the doubles were in.
extern int printMonsterCalls;     // times the monster screen printed
extern int snapshotCalls;         // pictures asked of recordedPicture
extern std::string lastMusic;     // the last name given to playMusic

struct sSnapshot;
// A 2 x 1 picture that stands for the monster or the screen; counts snapshotCalls.
bool recordedPicture(sSnapshot &out);

// Has KQMX make FakeWindow and RecordingGraphic, and music, printing and the
// monster's picture go to the recorders above; removeActivityDoubles undoes it.
void installActivityDoubles();
void removeActivityDoubles();
