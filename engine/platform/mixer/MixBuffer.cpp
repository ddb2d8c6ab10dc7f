// Sound buffers of the software mixer: state changes from any thread, and the
// per-buffer mixing kernels run by the audio thread. All mutable state is
// guarded by the owning device's mutex.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

#include "platform/mixer/Mixer.h"

namespace mixer {

float attenuationToGain(long hundredthsDb) {
  if (hundredthsDb <= kVolumeSilent) return 0.0f;
  if (hundredthsDb >= 0) return 1.0f;
  return static_cast<float>(std::pow(10.0, static_cast<double>(hundredthsDb) / 2000.0));
}

namespace {

uint64_t stepFor(uint32_t sourceRate) {
  return (static_cast<uint64_t>(sourceRate) << 32) / kOutputRate;
}

}  // namespace

Buffer::Buffer(std::shared_ptr<Device> device, uint32_t caps, uint32_t bytes,
               const WaveFormat &format, std::unique_ptr<NativeBuffer> native)
    : device_(std::move(device)),
      caps_(caps),
      bytes_(bytes),
      format_(format),
      frames_(bytes / format.blockAlign),
      native_(std::move(native)),
      data_(native_ ? nullptr : new (std::nothrow) uint8_t[bytes]()),
      step_(stepFor(format.samplesPerSec)),
      frequency_(format.samplesPerSec) {}

Buffer::~Buffer() {
  std::lock_guard<std::mutex> lock(device_->mutex_);
  auto &list = device_->buffers_;
  list.erase(std::remove(list.begin(), list.end(), this), list.end());
  auto &late = device_->late_;
  late.erase(std::remove_if(late.begin(), late.end(),
                            [this](const Device::LateNotice &n) { return n.buffer == this; }),
             late.end());
}

Result Buffer::lock(uint32_t offset, uint32_t bytes, void **region1, uint32_t *bytes1,
                    void **region2, uint32_t *bytes2, uint32_t flags) {
  if (native_) return native_->lock(offset, bytes, region1, bytes1, region2, bytes2, flags);
  if (!region1 || !bytes1) return kInvalidParam;
  *region1 = nullptr;
  *bytes1 = 0;
  if (region2) *region2 = nullptr;
  if (bytes2) *bytes2 = 0;
  if (flags & kLockEntireBuffer) {
    offset = 0;
    bytes = bytes_;
  }
  if (offset >= bytes_ || bytes == 0 || bytes > bytes_) return kInvalidParam;
  uint32_t first = std::min(bytes, bytes_ - offset);
  uint32_t second = bytes - first;
  if (second && (!region2 || !bytes2)) return kInvalidParam;

  {
    std::lock_guard<std::mutex> lock(device_->mutex_);
    if (lost_) return kBufferLost;
    if (locked_) return kInvalidCall;
    locked_ = true;
    lockOffset_ = offset;
    lockBytes1_ = first;
    lockBytes2_ = second;
  }
  // The scratch block now belongs to this caller alone, so it may grow here,
  // outside the mutex the audio thread needs.
  try {
    if (scratch_.size() < bytes) scratch_.resize(bytes);
  } catch (const std::bad_alloc &) {
    std::lock_guard<std::mutex> lock(device_->mutex_);
    locked_ = false;
    return kOutOfMemory;
  }
  {
    std::lock_guard<std::mutex> lock(device_->mutex_);
    memcpy(scratch_.data(), data_.get() + offset, first);
    if (second) memcpy(scratch_.data() + first, data_.get(), second);
  }
  *region1 = scratch_.data();
  *bytes1 = first;
  if (second) {
    *region2 = scratch_.data() + first;
    *bytes2 = second;
  }
  return kOk;
}

Result Buffer::unlock(void *region1, uint32_t bytes1, void *region2, uint32_t bytes2) {
  if (native_) return native_->unlock(region1, bytes1, region2, bytes2);
  std::vector<uint8_t> spare;
  {
    std::lock_guard<std::mutex> lock(device_->mutex_);
    if (!locked_) return kInvalidCall;
    if (region1 != scratch_.data()) return kInvalidParam;
    (void)region2;
    // Only what was locked is written back, however much the caller claims.
    memcpy(data_.get() + lockOffset_, scratch_.data(), std::min(bytes1, lockBytes1_));
    if (lockBytes2_) memcpy(data_.get(), scratch_.data() + lockBytes1_, std::min(bytes2, lockBytes2_));
    locked_ = false;
    awaitingWrite_ = false;
    // Keep a small scratch for the next refill; give a large one back, freed
    // outside the mutex.
    if (scratch_.size() > 65536) spare.swap(scratch_);
  }
  return kOk;
}

Result Buffer::play(uint32_t flags) {
  if (native_) return native_->play(flags);
  std::lock_guard<std::mutex> lock(device_->mutex_);
  if (lost_) return kBufferLost;
  playing_ = true;
  looping_ = (flags & kPlayLooping) != 0;
  awaitingWrite_ = false;
  return kOk;
}

Result Buffer::stop() {
  if (native_) return native_->stop();
  std::lock_guard<std::mutex> lock(device_->mutex_);
  if (playing_) {
    playing_ = false;
    fireStop();
  }
  return kOk;
}

Result Buffer::setCurrentPosition(uint32_t offset) {
  if (native_) return native_->setCurrentPosition(offset);
  if (offset >= bytes_) return kInvalidParam;
  std::lock_guard<std::mutex> lock(device_->mutex_);
  pos_ = static_cast<uint64_t>(offset / format_.blockAlign) << 32;
  return kOk;
}

Result Buffer::getCurrentPosition(uint32_t *offset) const {
  if (native_) return native_->getCurrentPosition(offset);
  if (!offset) return kInvalidParam;
  std::lock_guard<std::mutex> lock(device_->mutex_);
  *offset = static_cast<uint32_t>(pos_ >> 32) * format_.blockAlign;
  return kOk;
}

Result Buffer::getStatus(uint32_t *status) const {
  if (native_) return native_->getStatus(status);
  if (!status) return kInvalidParam;
  std::lock_guard<std::mutex> lock(device_->mutex_);
  uint32_t s = 0;
  if (playing_) s |= kStatusPlaying;
  if (playing_ && looping_) s |= kStatusLooping;
  if (lost_) s |= kStatusBufferLost;
  *status = s;
  return kOk;
}

Result Buffer::setVolume(long volume) {
  if (native_) return native_->setVolume(volume);
  if (!(caps_ & kCapsCtrlVolume)) return kNoControl;
  if (volume < kVolumeSilent || volume > kVolumeFull) return kInvalidParam;
  std::lock_guard<std::mutex> lock(device_->mutex_);
  volume_ = volume;
  updateGains();
  return kOk;
}

Result Buffer::getVolume(long *volume) const {
  if (native_) return native_->getVolume(volume);
  if (!volume) return kInvalidParam;
  std::lock_guard<std::mutex> lock(device_->mutex_);
  *volume = volume_;
  return kOk;
}

Result Buffer::setPan(long pan) {
  if (native_) return native_->setPan(pan);
  if (!(caps_ & kCapsCtrlPan)) return kNoControl;
  if (pan < kPanLeft || pan > kPanRight) return kInvalidParam;
  std::lock_guard<std::mutex> lock(device_->mutex_);
  pan_ = pan;
  updateGains();
  return kOk;
}

Result Buffer::getPan(long *pan) const {
  if (native_) return native_->getPan(pan);
  if (!pan) return kInvalidParam;
  std::lock_guard<std::mutex> lock(device_->mutex_);
  *pan = pan_;
  return kOk;
}

Result Buffer::setFrequency(uint32_t hz) {
  if (native_) return native_->setFrequency(hz);
  if (!(caps_ & kCapsCtrlFrequency)) return kNoControl;
  if (hz == 0) hz = format_.samplesPerSec;
  if (hz < kMinFrequency || hz > kMaxFrequency) return kInvalidParam;
  std::lock_guard<std::mutex> lock(device_->mutex_);
  frequency_ = hz;
  step_ = stepFor(hz);
  return kOk;
}

Result Buffer::getFrequency(uint32_t *hz) const {
  if (native_) return native_->getFrequency(hz);
  if (!hz) return kInvalidParam;
  std::lock_guard<std::mutex> lock(device_->mutex_);
  *hz = frequency_;
  return kOk;
}

Result Buffer::restore() {
  if (native_) return native_->restore();
  std::lock_guard<std::mutex> lock(device_->mutex_);
  if (lost_) {
    lost_ = false;
    memset(data_.get(), 0, bytes_);
    pos_ = 0;
  }
  return kOk;
}

void Buffer::markLost() {
  // The platform's own buffers are lost only when the platform takes them.
  if (native_) return;
  std::lock_guard<std::mutex> lock(device_->mutex_);
  lost_ = true;
  playing_ = false;
}

std::shared_ptr<Notify> Buffer::queryNotify() {
  if (!(caps_ & kCapsCtrlPositionNotify)) return nullptr;
  return std::make_shared<Notify>(shared_from_this());
}

Result Notify::setNotificationPositions(const NotifyPosition *positions, size_t count) {
  if (count && !positions) return kInvalidParam;
  std::vector<NotifyPosition> list;
  for (size_t i = 0; i < count; ++i) {
    const NotifyPosition &p = positions[i];
    if (!p.event) return kInvalidParam;
    if (p.offset != kNotifyOnStop && p.offset >= buffer_->bytes_) return kInvalidParam;
    list.push_back(p);
  }
  if (buffer_->native_) return buffer_->native_->setNotificationPositions(positions, count);
  std::vector<NotifyPosition> old;
  {
    std::lock_guard<std::mutex> lock(buffer_->device_->mutex_);
    if (buffer_->playing_) return kInvalidCall;
    old.swap(buffer_->notify_);
    buffer_->notify_.swap(list);
  }
  return kOk;
}

// --- mixing (audio thread, device mutex held) ---

void Buffer::updateGains() {
  float gain = attenuationToGain(volume_);
  gainLeft_ = gain * (pan_ > 0 ? attenuationToGain(-pan_) : 1.0f);
  gainRight_ = gain * (pan_ < 0 ? attenuationToGain(pan_) : 1.0f);
}

void Buffer::fire(uint32_t fromByte, uint32_t toByte) {
  for (const NotifyPosition &p : notify_) {
    if (p.offset == kNotifyOnStop || p.offset < fromByte || p.offset >= toByte) continue;
    if (device_->notifyDelay_ > 0) {
      device_->late_.push_back({device_->clock_ + device_->notifyDelay_, this, p.event});
      continue;
    }
    p.event->set();
    awaitingWrite_ = true;
  }
}

void Buffer::fireStop() {
  for (const NotifyPosition &p : notify_) {
    if (p.offset == kNotifyOnStop) p.event->set();
  }
}

void Buffer::endReached() {
  const uint64_t end = static_cast<uint64_t>(frames_) << 32;
  if (looping_) {
    pos_ %= end;
    // Above the output rate the wrap can land past frame 0; the offsets it
    // stepped over are passed all the same, and the next run starts after them.
    fire(0, static_cast<uint32_t>(pos_ >> 32) * format_.blockAlign);
  } else {
    playing_ = false;
    pos_ = 0;
    fireStop();
  }
}

namespace {

template <int Bits>
inline float sampleAt(const uint8_t *data, uint32_t index) {
  if constexpr (Bits == 8) {
    return static_cast<float>((static_cast<int>(data[index]) - 128) * 256);
  } else {
    int16_t v;
    memcpy(&v, data + index * 2u, 2);
    return static_cast<float>(v);
  }
}

}  // namespace

// Precondition: the run does not pass the end of the buffer (the caller cuts
// runs at the end), so every frame index read is below frames_, except the
// interpolation partner, which wraps or holds explicitly.
template <int Bits, int Channels, bool Resample>
void Buffer::kernel(float *acc, uint32_t frames) {
  const uint8_t *data = data_.get();
  const float gl = gainLeft_;
  const float gr = gainRight_;
  const uint32_t last = frames_ - 1;
  uint64_t pos = pos_;
  const uint64_t step = step_;
  for (uint32_t i = 0; i < frames; ++i) {
    const uint32_t idx = static_cast<uint32_t>(pos >> 32);
    float left = sampleAt<Bits>(data, idx * Channels);
    float right = Channels == 2 ? sampleAt<Bits>(data, idx * Channels + 1) : left;
    if constexpr (Resample) {
      const float frac = static_cast<float>(static_cast<uint32_t>(pos)) * (1.0f / 4294967296.0f);
      const uint32_t next = idx < last ? idx + 1 : (looping_ ? 0 : idx);
      const float nl = sampleAt<Bits>(data, next * Channels);
      const float nr = Channels == 2 ? sampleAt<Bits>(data, next * Channels + 1) : nl;
      left += (nl - left) * frac;
      right += (nr - right) * frac;
    }
    acc[2 * i] += left * gl;
    acc[2 * i + 1] += right * gr;
    pos += step;
  }
  pos_ = pos;
}

void Buffer::advanceSilently(uint32_t frames) { pos_ += step_ * frames; }

void Buffer::mixInto(float *acc, uint32_t frames) {
  using Kernel = void (Buffer::*)(float *, uint32_t);
  static constexpr Kernel kernels[2][2][2] = {
      {{&Buffer::kernel<8, 1, false>, &Buffer::kernel<8, 1, true>},
       {&Buffer::kernel<8, 2, false>, &Buffer::kernel<8, 2, true>}},
      {{&Buffer::kernel<16, 1, false>, &Buffer::kernel<16, 1, true>},
       {&Buffer::kernel<16, 2, false>, &Buffer::kernel<16, 2, true>}},
  };
  const bool silent = gainLeft_ == 0.0f && gainRight_ == 0.0f;
  const bool resample = (step_ & 0xFFFFFFFFu) != 0;
  const Kernel k = kernels[format_.bitsPerSample == 16][format_.channels == 2][resample];
  const uint64_t end = static_cast<uint64_t>(frames_) << 32;

  uint32_t done = 0;
  while (done < frames && playing_ && !lost_) {
    if (pos_ >= end) {
      endReached();
      continue;
    }
    const uint64_t untilEnd = (end - pos_ + step_ - 1) / step_;
    const uint32_t run = static_cast<uint32_t>(std::min<uint64_t>(frames - done, untilEnd));
    const uint32_t fromFrame = static_cast<uint32_t>(pos_ >> 32);
    if (silent) {
      advanceSilently(run);
    } else {
      (this->*k)(acc + 2 * done, run);
    }
    const uint32_t toFrame = static_cast<uint32_t>(std::min<uint64_t>(pos_ >> 32, frames_));
    // A run that reaches the end covers the partial frame bytes past the last
    // whole frame too.
    const uint32_t toByte = pos_ >= end ? bytes_ : toFrame * format_.blockAlign;
    fire(fromFrame * format_.blockAlign, toByte);
    done += run;
    if (pos_ >= end) endReached();
  }
}

}  // namespace mixer
