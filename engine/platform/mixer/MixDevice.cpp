// The mixer device: the list of live buffers and the mix that the output's
// audio callback runs (the output itself is the platform's MixOutput file; a
// headless device has none), or the platform's own device. Buffers are added and removed from any thread; the audio
// thread mixes under the same mutex.
#include <algorithm>
#include <chrono>
#include <cstring>
#include <new>
#include <thread>

#include "platform/mixer/Mixer.h"

namespace mixer {

Device::Device() : acc_(2 * kChunkFrames, 0.0f) {
  // Room for every buffer the program makes, so registering one rarely
  // allocates while the audio thread waits for the mutex.
  buffers_.reserve(64);
}

std::shared_ptr<Device> Device::openHeadless() {
  return std::shared_ptr<Device>(new (std::nothrow) Device());
}

Result Device::createBuffer(uint32_t caps, uint32_t bytes, const WaveFormat &format,
                            std::shared_ptr<Buffer> *out) {
  if (!out) return kInvalidParam;
  out->reset();
  if (format.formatTag != 1) return kInvalidParam;
  if (format.channels != 1 && format.channels != 2) return kInvalidParam;
  if (format.bitsPerSample != 8 && format.bitsPerSample != 16) return kInvalidParam;
  if (format.blockAlign != format.channels * format.bitsPerSample / 8) return kInvalidParam;
  if (format.samplesPerSec < kMinFrequency || format.samplesPerSec > kMaxFrequency) {
    return kInvalidParam;
  }
  if (bytes < kMinBufferBytes || bytes > kMaxBufferBytes) return kInvalidParam;

  if (native_) {
    // The platform mixes its own buffers: nothing joins the list below.
    std::unique_ptr<NativeBuffer> nb;
    Result r = native_->createBuffer(caps, bytes, format, &nb);
    if (r != kOk) return r;
    out->reset(new (std::nothrow) Buffer(shared_from_this(), caps, bytes, format, std::move(nb)));
    return *out ? kOk : kOutOfMemory;
  }
  std::shared_ptr<Buffer> buffer(new (std::nothrow)
                                     Buffer(shared_from_this(), caps, bytes, format, nullptr));
  if (!buffer || !buffer->data_) return kOutOfMemory;
  buffer->updateGains();
  {
    std::lock_guard<std::mutex> lock(mutex_);
    buffers_.push_back(buffer.get());
  }
  *out = std::move(buffer);
  return kOk;
}

void Device::mix(int16_t *out, uint32_t frames) {
  std::lock_guard<std::mutex> lock(mutex_);
  while (frames > 0) {
    const uint32_t n = std::min(frames, kChunkFrames);
    // Mixing is an accumulation: start each block from silence.
    std::fill(acc_.begin(), acc_.begin() + 2 * n, 0.0f);
    for (Buffer *b : buffers_) {
      if (b->playing_ && !b->lost_) b->mixInto(acc_.data(), n);
    }
    for (uint32_t i = 0; i < 2 * n; ++i) {
      float v = acc_[i];
      v = v > 32767.0f ? 32767.0f : (v < -32768.0f ? -32768.0f : v);
      out[i] = static_cast<int16_t>(v);
    }
    if (tap_) tap_(tapUser_, out, n);
    out += 2 * n;
    frames -= n;
    clock_ += n;
    if (!late_.empty()) deliverLateNotices();
  }
}

void Device::deliverLateNotices() {
  auto due = [this](const LateNotice &n) { return n.due <= clock_; };
  for (const LateNotice &n : late_) {
    if (!due(n)) continue;
    n.event->set();
    n.buffer->awaitingWrite_ = true;
  }
  late_.erase(std::remove_if(late_.begin(), late_.end(), due), late_.end());
}

void Device::setNotifyDelay(uint32_t frames) {
  if (!headless()) return;
  std::lock_guard<std::mutex> lock(mutex_);
  late_.reserve(64);  // so the mixing rarely allocates
  notifyDelay_ = frames;
}

void Device::advance(uint32_t frames) {
  if (!headless()) return;
  // Blocks as small as the audio callback's, so a writer is woken as often.
  constexpr uint32_t kBlock = 512;
  advanceOut_.resize(2 * kBlock);
  while (frames > 0) {
    const uint32_t n = std::min(frames, kBlock);
    mix(advanceOut_.data(), n);
    frames -= n;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(1);
    while (!writersDone() && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::microseconds(100));
    }
  }
}

bool Device::writersDone() const {
  std::lock_guard<std::mutex> lock(mutex_);
  for (const Buffer *b : buffers_) {
    if (b->awaitingWrite_ && b->playing_) return false;
  }
  return true;
}

void Device::setTap(Tap tap, void *user) {
  std::lock_guard<std::mutex> lock(mutex_);
  tap_ = tap;
  tapUser_ = user;
}

size_t Device::liveBuffers() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return buffers_.size();
}

}  // namespace mixer
