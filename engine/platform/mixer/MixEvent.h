// An auto-reset event: set() wakes one wait(), and a set with no waiter is kept
// until the next wait. Any thread may set or wait; set() never blocks for long,
// so the audio thread may call it. On Windows it is a Win32 event, which the
// system's sound device can signal itself.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace mixer {

class Event {
public:
  Event();
  ~Event();
  Event(const Event &) = delete;
  Event &operator=(const Event &) = delete;

  void set();
  void reset();
  // Waits up to `ms` milliseconds; true when the event came (and is consumed).
  bool wait(uint32_t ms);

  // The platform's event object behind this one, or null where there is none.
  void *nativeHandle() const { return native_; }

private:
  std::mutex mutex_;
  std::condition_variable cv_;
  bool signalled_ = false;
  void *native_ = nullptr;
};

}  // namespace mixer
