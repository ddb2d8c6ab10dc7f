// An auto-reset event: set() wakes one wait(), and a set with no waiter is kept
// until the next wait. Any thread may set or wait; set() never blocks for long,
// so the audio thread may call it.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace mixer {

class Event {
public:
  Event() = default;
  Event(const Event &) = delete;
  Event &operator=(const Event &) = delete;

  void set();
  void reset();
  // Waits up to `ms` milliseconds; true when the event came (and is consumed).
  bool wait(uint32_t ms);

private:
  std::mutex mutex_;
  std::condition_variable cv_;
  bool signalled_ = false;
};

}  // namespace mixer
