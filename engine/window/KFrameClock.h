// KFrameClock: the one pacing clock of the game windows. Animations are counted in
// frames, so the game advances 60 frames a second whatever the display does (no
// vertical blank at all, 50 Hz, 144 Hz). Each frame the window asks it before
// presenting: it sleeps until the frame is due (never spins), lets a late frame go
// at once, and when it is a whole frame or more behind (a display slower than the
// clock) says so, so that frame is shown without waiting for the display. A stall
// of more than a few frames is not caught up: counting starts again from then.
// Time comes from a source tests replace. Application thread only.
#pragma once

#include <cstdint>

class KFrameClock {
public:
  static constexpr int kFramesPerSecond = 60;
  // Frames a late game may run back to back to catch up; beyond that it restarts.
  static constexpr int kMaxCatchUp = 3;

  // Where the clock's time comes from: microseconds on a steady clock.
  class Source {
  public:
    virtual ~Source() {}
    virtual int64_t nowMicros() = 0;
    // Returns no earlier than t.
    virtual void sleepUntilMicros(int64_t t) = 0;
  };
  // The system's steady clock, sleeping through the platform.
  static Source &systemSource();

  // Null: the system source. The source must outlive the clock.
  explicit KFrameClock(Source *source = nullptr);

  // Called once per frame right before presenting: returns when the frame is due.
  // True when the frame is on time (the present may wait for the vertical blank);
  // false when it is a frame or more behind (present without waiting).
  bool waitForFrame();
  // Frames per second, at most kFramesPerSecond (a cap below it slows the clock);
  // 0 or less means kFramesPerSecond.
  void setRate(int framesPerSecond);
  int rate() const { return _rate; }
  // The next frame starts a new count (after a pause, when nothing was shown).
  void restart() { _started = false; }

  // Off for tests and benchmarks that run headless as fast as they can.
  static void setEnabled(bool enabled);
  static bool enabled();

private:
  int64_t due(int64_t frame) const { return _start + frame * 1000000 / _rate; }

  Source *_source;
  int _rate = kFramesPerSecond;
  bool _started = false;
  int64_t _start = 0;  // when frame 0 was due
  int64_t _frame = 0;  // frames since then
};
