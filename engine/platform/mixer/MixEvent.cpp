// Auto-reset event on a mutex and a condition variable.
#include "platform/mixer/MixEvent.h"

#include <chrono>

namespace mixer {

Event::Event() = default;
Event::~Event() = default;

void Event::set() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    signalled_ = true;
  }
  cv_.notify_one();
}

void Event::reset() {
  std::lock_guard<std::mutex> lock(mutex_);
  signalled_ = false;
}

bool Event::wait(uint32_t ms) {
  std::unique_lock<std::mutex> lock(mutex_);
  // A poll answers at once: a timed wait of zero costs a scheduler tick on
  // some systems (Windows), which a worker polling every pass cannot afford.
  if (ms == 0 && !signalled_) return false;
  if (!cv_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return signalled_; })) return false;
  signalled_ = false;
  return true;
}

}  // namespace mixer
