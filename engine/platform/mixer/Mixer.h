// The sound device behind KSound: PCM buffers (8 or 16 bits, mono or stereo,
// 100..200000 Hz) that play, loop, take volume and pan, and notify positions.
// On Linux it is a software mixer: buffers mixed, resampled and scaled into one
// output of 44100 Hz stereo 16-bit. Where the platform has a sound device of its
// own (DirectSound on Windows), open() makes the device on it and every buffer
// call is handed to the platform's buffer; headless devices always mix here.
// Buffer calls may come from any thread; the audio thread only mixes, under the
// device mutex, and never allocates.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/mixer/MixEvent.h"

namespace mixer {

enum Result : int {
  kOk = 0,
  kInvalidParam,  // bad format, size, offset or value
  kInvalidCall,   // not allowed in the buffer's current state
  kBufferLost,    // the buffer's memory was lost; restore() it, then write it again
  kOutOfMemory,
  kNoControl,     // the buffer was not created with the control asked for
};

// The sound format, field for field as a WAV "fmt " chunk describes it.
struct WaveFormat {
  uint16_t formatTag = 0;  // 1 = PCM, the only one accepted
  uint16_t channels = 0;
  uint32_t samplesPerSec = 0;
  uint32_t avgBytesPerSec = 0;
  uint16_t blockAlign = 0;
  uint16_t bitsPerSample = 0;
};

// Buffer capabilities. The values match the platform's so callers can hand
// their own flags through unchanged.
constexpr uint32_t kCapsLocSoftware = 0x8;
constexpr uint32_t kCapsCtrlFrequency = 0x20;
constexpr uint32_t kCapsCtrlPan = 0x40;
constexpr uint32_t kCapsCtrlVolume = 0x80;
constexpr uint32_t kCapsCtrlPositionNotify = 0x100;
constexpr uint32_t kCapsGlobalFocus = 0x8000;

constexpr uint32_t kPlayLooping = 0x1;
constexpr uint32_t kLockEntireBuffer = 0x2;

constexpr uint32_t kStatusPlaying = 0x1;
constexpr uint32_t kStatusBufferLost = 0x2;
constexpr uint32_t kStatusLooping = 0x4;
constexpr uint32_t kStatusLocHardware = 0x8;  // never set: everything is mixed in software
constexpr uint32_t kStatusLocSoftware = 0x10;  // never set: only reported for deferred placement

// Volume and pan are attenuations in hundredths of a decibel.
constexpr long kVolumeSilent = -10000;
constexpr long kVolumeFull = 0;
constexpr long kPanLeft = -10000;
constexpr long kPanRight = 10000;

constexpr uint32_t kMinFrequency = 100;
constexpr uint32_t kMaxFrequency = 200000;
constexpr uint32_t kMinBufferBytes = 4;
constexpr uint32_t kMaxBufferBytes = 0x0FFFFFFF;
// Notification offset meaning "when the buffer stops".
constexpr uint32_t kNotifyOnStop = 0xFFFFFFFF;

constexpr uint32_t kOutputRate = 44100;

class Device;
class Notify;

struct NotifyPosition {
  uint32_t offset = 0;  // byte offset in the buffer, or kNotifyOnStop
  std::shared_ptr<Event> event;
};

// A buffer of the platform's own sound device; the calls mean what Buffer's do.
class NativeBuffer {
public:
  virtual ~NativeBuffer() {}
  virtual Result lock(uint32_t offset, uint32_t bytes, void **region1, uint32_t *bytes1,
                      void **region2, uint32_t *bytes2, uint32_t flags) = 0;
  virtual Result unlock(void *region1, uint32_t bytes1, void *region2, uint32_t bytes2) = 0;
  virtual Result play(uint32_t flags) = 0;
  virtual Result stop() = 0;
  virtual Result setCurrentPosition(uint32_t offset) = 0;
  virtual Result getCurrentPosition(uint32_t *offset) = 0;
  virtual Result getStatus(uint32_t *status) = 0;
  virtual Result setVolume(long volume) = 0;
  virtual Result getVolume(long *volume) = 0;
  virtual Result setPan(long pan) = 0;
  virtual Result getPan(long *pan) = 0;
  virtual Result setFrequency(uint32_t hz) = 0;
  virtual Result getFrequency(uint32_t *hz) = 0;
  virtual Result restore() = 0;
  virtual Result setNotificationPositions(const NotifyPosition *positions, size_t count) = 0;
};

// The platform's own sound device.
class NativeDevice {
public:
  virtual ~NativeDevice() {}
  virtual Result createBuffer(uint32_t caps, uint32_t bytes, const WaveFormat &format,
                              std::unique_ptr<NativeBuffer> *out) = 0;
  virtual bool emulated() const = 0;
};

class Buffer : public std::enable_shared_from_this<Buffer> {
public:
  ~Buffer();
  Buffer(const Buffer &) = delete;
  Buffer &operator=(const Buffer &) = delete;

  // Write access to `bytes` bytes from `offset`, wrapping past the end into a
  // second region. The regions hold the current content; what is written there
  // reaches the buffer at unlock(). One lock at a time per buffer.
  Result lock(uint32_t offset, uint32_t bytes, void **region1, uint32_t *bytes1, void **region2,
              uint32_t *bytes2, uint32_t flags);
  Result unlock(void *region1, uint32_t bytes1, void *region2, uint32_t bytes2);

  // Starts from the current position; kPlayLooping repeats the buffer endlessly.
  Result play(uint32_t flags);
  Result stop();
  // Byte offset, rounded down to a whole frame.
  Result setCurrentPosition(uint32_t offset);
  Result getCurrentPosition(uint32_t *offset) const;
  Result getStatus(uint32_t *status) const;
  Result setVolume(long volume);
  Result getVolume(long *volume) const;
  Result setPan(long pan);
  Result getPan(long *pan) const;
  // 0 restores the format's own rate.
  Result setFrequency(uint32_t hz);
  Result getFrequency(uint32_t *hz) const;
  // Re-acquires the memory of a lost buffer; its content is then silence.
  Result restore();
  // The position-notification interface; null unless created with
  // kCapsCtrlPositionNotify. It keeps the buffer alive while held.
  std::shared_ptr<Notify> queryNotify();

  // Simulates the device taking the buffer's memory away (as a display-mode
  // change can on the platform); lets tests reach the lost-buffer paths.
  void markLost();

  uint32_t size() const { return bytes_; }
  const WaveFormat &format() const { return format_; }

private:
  friend class Device;
  friend class Notify;
  Buffer(std::shared_ptr<Device> device, uint32_t caps, uint32_t bytes, const WaveFormat &format,
         std::unique_ptr<NativeBuffer> native);
  void updateGains();
  void mixInto(float *acc, uint32_t frames);
  void advanceSilently(uint32_t frames);
  void fire(uint32_t fromByte, uint32_t toByte);
  void fireStop();
  void endReached();
  template <int Bits, int Channels, bool Resample>
  void kernel(float *acc, uint32_t frames);

  std::shared_ptr<Device> device_;
  const uint32_t caps_;
  const uint32_t bytes_;
  const WaveFormat format_;
  const uint32_t frames_;
  const std::unique_ptr<NativeBuffer> native_;  // the platform's buffer, if any
  std::unique_ptr<uint8_t[]> data_;             // the mixed PCM otherwise

  // Everything below is guarded by the device mutex.
  bool playing_ = false;
  bool looping_ = false;
  bool lost_ = false;
  uint64_t pos_ = 0;   // play position in frames, 32.32 fixed point
  uint64_t step_ = 0;  // source frames per output frame, 32.32 fixed point
  uint32_t frequency_ = 0;
  long volume_ = kVolumeFull;
  long pan_ = 0;
  float gainLeft_ = 1.0f;
  float gainRight_ = 1.0f;
  std::vector<NotifyPosition> notify_;
  bool locked_ = false;
  uint32_t lockOffset_ = 0;
  uint32_t lockBytes1_ = 0;
  uint32_t lockBytes2_ = 0;
  std::vector<uint8_t> scratch_;  // what a lock hands out; owned by the locker while locked_
  bool awaitingWrite_ = false;    // a position notification fired and no unlock since
};

class Notify {
public:
  explicit Notify(std::shared_ptr<Buffer> buffer) : buffer_(std::move(buffer)) {}
  // Replaces the buffer's notification list; not allowed while it plays.
  // Each event is set once each time the play position passes its offset.
  Result setNotificationPositions(const NotifyPosition *positions, size_t count);

private:
  std::shared_ptr<Buffer> buffer_;
};

class Device : public std::enable_shared_from_this<Device> {
public:
  // The platform's sound output, already running; null when no device can be
  // opened. On Linux the default SDL audio output (44100 Hz, stereo, 16-bit,
  // about 12 ms per callback) mixed here; on Windows DirectSound itself.
  static std::shared_ptr<Device> open();
  // A device with no output: nothing plays until mix() is called. For tests
  // and benchmarks.
  static std::shared_ptr<Device> openHeadless();
  ~Device();
  Device(const Device &) = delete;
  Device &operator=(const Device &) = delete;

  Result createBuffer(uint32_t caps, uint32_t bytes, const WaveFormat &format,
                      std::shared_ptr<Buffer> *out);

  // Mixes `frames` stereo frames of every playing buffer into `out`
  // (interleaved, silence when nothing plays) and advances them. This is the
  // audio callback's whole work.
  void mix(int16_t *out, uint32_t frames);

  // Headless only: plays `frames` frames on the caller's thread, as the audio
  // thread would, and after each block gives whoever a notification woke up to
  // a second to write the buffer (or stop it) before the next block, as a real
  // device gives it the rest of the half. Tests run streams on this clock.
  void advance(uint32_t frames);

  // Headless only: every position notification reaches its event `frames`
  // frames of play after the position passed it, as when the system wakes the
  // buffer's writer that late (a loaded machine); the clock then waits for the
  // writer as advance() says. 0, the default, delivers at once.
  void setNotifyDelay(uint32_t frames);

  // Called with every block of mixed output, on the mixing thread, under the
  // device mutex: it must be quick and must not call back into the mixer.
  using Tap = void (*)(void *user, const int16_t *frames, uint32_t count);
  void setTap(Tap tap, void *user);

  uint32_t rate() const { return kOutputRate; }
  // The platform device could be an emulated one; this mixer never is.
  bool emulated() const { return native_ && native_->emulated(); }
  bool headless() const { return sdlDevice_ == 0 && !native_; }
  size_t liveBuffers() const;

private:
  friend class Buffer;
  friend class Notify;
  Device();
  static void sdlCallback(void *user, uint8_t *stream, int len);
  bool writersDone() const;

  static constexpr uint32_t kChunkFrames = 1024;
  mutable std::mutex mutex_;
  std::vector<Buffer *> buffers_;  // guarded by mutex_
  std::vector<float> acc_;         // mixing accumulator, used under mutex_
  std::vector<int16_t> advanceOut_;  // advance()'s output, for the tap only
  // Delayed notifications (setNotifyDelay), under mutex_.
  struct LateNotice {
    uint64_t due;
    Buffer *buffer;
    std::shared_ptr<Event> event;
  };
  void deliverLateNotices();
  uint32_t notifyDelay_ = 0;
  uint64_t clock_ = 0;  // frames mixed so far
  std::vector<LateNotice> late_;
  Tap tap_ = nullptr;
  void *tapUser_ = nullptr;
  uint32_t sdlDevice_ = 0;
  std::unique_ptr<NativeDevice> native_;  // the platform's device, when open() made one
};

// Gain factor for an attenuation in hundredths of a decibel; 0 at or below
// kVolumeSilent.
float attenuationToGain(long hundredthsDb);

}  // namespace mixer
