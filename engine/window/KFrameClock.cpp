// The frame clock (see KFrameClock.h). Frame n is due at start + n / rate, computed
// from the start each time so that rounding never accumulates.
#include "window/KFrameClock.h"

#include <atomic>
#include <chrono>

#include "platform/KPlatform.h"

namespace {

std::atomic<bool> gEnabled{true};

class SystemSource : public KFrameClock::Source {
public:
  int64_t nowMicros() override {
    return std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
  }
  void sleepUntilMicros(int64_t t) override {
    // A sleep may end early (a signal); each pass sleeps what is left.
    for (int64_t now = nowMicros(); now < t; now = nowMicros()) KPlatform::sleepMicros(t - now);
  }
};

}  // namespace

KFrameClock::Source &KFrameClock::systemSource() {
  static SystemSource source;
  return source;
}

KFrameClock::KFrameClock(Source *source) : _source(source ? source : &systemSource()) {}

void KFrameClock::setEnabled(bool enabled) { gEnabled = enabled; }
bool KFrameClock::enabled() { return gEnabled; }

void KFrameClock::setRate(int framesPerSecond) {
  const int rate = framesPerSecond > 0 && framesPerSecond < kFramesPerSecond
                       ? framesPerSecond
                       : kFramesPerSecond;
  if (rate != _rate) _started = false;
  _rate = rate;
}

bool KFrameClock::waitForFrame() {
  const int64_t now = _source->nowMicros();
  if (!_started || !gEnabled) {
    _started = true;
    _start = now;
    _frame = 0;
    return true;
  }
  const int64_t next = due(++_frame);
  if (now < next) {
    _source->sleepUntilMicros(next);
    return true;
  }
  const int64_t period = due(1) - _start;
  if (now - next >= kMaxCatchUp * period) {
    // A stall: rushing through the missed frames would look like fast motion.
    _start = now;
    _frame = 0;
    return false;
  }
  return now - next < period;
}
