// The frame clock on simulated time: a game loop that draws for 2 ms, asks the
// clock, then presents on a display of a given rate (a present that waits for the
// vertical blank ends at the display's next one). The clock must give 60 frames a
// second whatever the display, sleep rather than poll, and catch up after a stall
// by no more than a few frames.
#include <gtest/gtest.h>

#include <cstdint>

#include "window/KFrameClock.h"

namespace {

class FakeTime : public KFrameClock::Source {
public:
  int64_t now = 1000;  // microseconds
  int reads = 0, sleeps = 0;
  int64_t nowMicros() override {
    ++reads;
    return now;
  }
  void sleepUntilMicros(int64_t t) override {
    ++sleeps;
    if (t > now) now = t;
  }
};

struct ClockRun {
  int frames = 0, lateFrames = 0;  // in the simulated second; late: shown at once
  int backToBack = 0;              // longest run of frames that did not sleep
  int reads = 0, sleeps = 0;
};

// displayHz 0: presents never wait. stallAt/stallMicros: one frame's drawing
// takes that long (a hiccup).
ClockRun simulate(int displayHz, int stallAt = -1, int64_t stallMicros = 0) {
  FakeTime time;
  KFrameClock clock(&time);
  ClockRun r;
  const int64_t end = time.now + 1000000;
  int streak = 0;
  for (int frame = 0; time.now < end; ++frame) {
    time.now += frame == stallAt ? stallMicros : 2000;  // drawing
    const int sleepsBefore = time.sleeps;
    const bool onTime = clock.waitForFrame();
    if (time.now >= end) break;
    ++r.frames;
    streak = time.sleeps == sleepsBefore ? streak + 1 : 0;
    if (frame > 0 && streak > r.backToBack) r.backToBack = streak;
    if (!onTime) ++r.lateFrames;
    if (onTime && displayHz > 0) {  // the present waits for the next blank
      const int64_t period = 1000000 / displayHz;
      time.now = (time.now + period - 1) / period * period;
    }
  }
  r.reads = time.reads;
  r.sleeps = time.sleeps;
  return r;
}

TEST(FrameClock, SixtyFramesASecondOnAnyDisplayBySleeping) {
  struct Case {
    int hz;
    int late;  // frames shown without waiting: those a slow display cannot keep up with
  } cases[] = {{0, 0}, {50, 10}, {60, 0}, {144, 0}};
  for (const Case &c : cases) {
    const ClockRun r = simulate(c.hz);
    EXPECT_NEAR(r.frames, 60, 1) << c.hz << " Hz";
    EXPECT_NEAR(r.lateFrames, c.late, 1) << c.hz << " Hz";
    // Sleeping, not spinning: one look at the clock per frame; where the display
    // does not hold the loop back, a sleep for every frame.
    EXPECT_LE(r.reads, r.frames + 2) << c.hz << " Hz";
    if (c.hz != 50) {
      EXPECT_GE(r.sleeps, r.frames - 1) << c.hz << " Hz";
    }
  }
}

TEST(FrameClock, ALateGameCatchesUpAFewFramesAtMostAndNeverRushesAfterAStall) {
  // 40 ms late (under three frames): the missed frames run back to back and the
  // second still has its 60.
  ClockRun r = simulate(0, 10, 42000);
  EXPECT_NEAR(r.frames, 60, 1);
  EXPECT_LE(r.backToBack, KFrameClock::kMaxCatchUp);
  EXPECT_GE(r.backToBack, 2);
  // Half a second lost: not made up by a burst; the clock starts again from then
  // (10 frames before, the late one, and 60 a second for the 0.35 s left).
  r = simulate(0, 10, 500000);
  EXPECT_LE(r.backToBack, 1);
  EXPECT_NEAR(r.frames, 11 + 21, 2);
}

TEST(FrameClock, ACapBelowSixtySlowsItAndAnythingElseLeavesSixty) {
  FakeTime time;
  KFrameClock clock(&time);
  clock.setRate(30);
  clock.waitForFrame();
  const int64_t start = time.now;
  for (int i = 0; i < 30; ++i) clock.waitForFrame();
  EXPECT_EQ(1000000, time.now - start);
  for (int asked : {0, -5, 144}) {
    clock.setRate(asked);
    EXPECT_EQ(60, clock.rate()) << asked;
  }
}

}  // namespace
