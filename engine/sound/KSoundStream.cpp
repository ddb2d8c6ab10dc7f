// KSound, the stream part: Ogg Vorbis music held compressed in memory, or a
// tracker module, decoded half a 32768-byte buffer at a time by a worker thread
// woken by two position events. The application thread loads, plays, stops and
// destroys; the worker refills and re-applies the music master. Flags between
// them are atomics; the decoder and renderer are used under _streamLock.
#include <dumb.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "sound/KOggFormat.h"
#include "sound/KSound.h"
#include "tools/KMiscTools.h"
#include "tools/KPlatformServices.h"

namespace {

// The decoder reads the file held in the KSound through these.
size_t oggRead(void *destination, size_t size, size_t count, void *object) {
  auto *sound = static_cast<KSound *>(object);
  if (!sound || !destination) {
    errno = EINVAL;
    return 0;
  }
  // The decoder tells an error from the end by errno when nothing is read.
  errno = 0;
  if (sound->_oggPosition >= sound->_oggFileLen || !sound->_wavData) return 0;
  size_t wanted = (size != 0 && count > SIZE_MAX / size) ? SIZE_MAX : size * count;
  size_t n = std::min<size_t>(wanted, sound->_oggFileLen - sound->_oggPosition);
  memcpy(destination, sound->_wavData + sound->_oggPosition, n);
  sound->_oggPosition += n;
  return n;
}

int oggSeek(void *object, ogg_int64_t offset, int whence) {
  auto *sound = static_cast<KSound *>(object);
  if (!sound) return -1;
  const ogg_int64_t length = static_cast<ogg_int64_t>(sound->_oggFileLen);
  ogg_int64_t target;
  switch (whence) {
    case SEEK_SET: target = offset; break;
    case SEEK_CUR: target = static_cast<ogg_int64_t>(sound->_oggPosition) + offset; break;
    case SEEK_END: target = length + offset; break;
    default: target = length; break;
  }
  // Before the start is an error, as for a file; past the end stops at the end.
  if (target < 0) return -1;
  sound->_oggPosition = static_cast<unsigned long>(std::min(target, length));
  return 0;
}

int oggClose(void *) { return 0; }  // the memory belongs to the sound

long oggTell(void *object) {
  auto *sound = static_cast<KSound *>(object);
  if (!sound) return -1;
  return static_cast<long>(sound->_oggPosition);
}

bool equalsIgnoringCase(const char *a, const char *b) {
  for (; *a && *b; ++a, ++b)
    if (tolower((unsigned char)*a) != tolower((unsigned char)*b)) return false;
  return *a == *b;
}

bool isModuleName(const char *name, DUH *(**reader)(DUMBFILE *)) {
  const char *dot = strrchr(name, '.');
  if (!dot) return false;
  if (equalsIgnoringCase(dot, ".mod")) *reader = dumb_read_mod;
  else if (equalsIgnoringCase(dot, ".s3m")) *reader = dumb_read_s3m;
  else if (equalsIgnoringCase(dot, ".xm")) *reader = dumb_read_xm;
  else if (equalsIgnoringCase(dot, ".it")) *reader = dumb_read_it;
  else return false;
  return true;
}

void yieldThread() { std::this_thread::yield(); }

// Locks one half of a stream buffer for refilling. False, with nothing locked,
// for an event left over from before a stop (refilling then would put music into
// a buffer that should stay silent), for a half past the second, and for a lock
// that fails, after which the buffer is restored.
bool lockHalfForRefill(mixer::Buffer &buffer, unsigned long half, void **region,
                       uint32_t *bytes) {
  uint32_t status = 0;
  if (buffer.getStatus(&status) != mixer::kOk || !(status & mixer::kStatusPlaying)) return false;
  if (half > 1) return false;
  if (buffer.lock(static_cast<uint32_t>(half * KSound::kHalfBytes), KSound::kHalfBytes, region,
                  bytes, nullptr, nullptr, 0) != mixer::kOk) {
    buffer.restore();
    return false;
  }
  return true;
}

}  // namespace

ov_callbacks ogg_CallBacks = {oggRead, oggSeek, oggClose, oggTell};

bool KSound::onWorkerThread() const {
  return _workerThread.load() == std::this_thread::get_id();
}

bool KSound::loadStream(const char *filename) {
  _type = 1;
  killThread();
  killModule();
  freeAllocatedData();
  _tailHalf = -1;
  if (!filename) return false;

  DUH *(*reader)(DUMBFILE *) = nullptr;
  if (isModuleName(filename, &reader)) return loadModule(filename);

  // An empty file goes on: the decoder then finds nothing and says so.
  if (loadFileToRam(filename) == 0) return false;

  vorbis_info *info = nullptr;
  if (ov_open_callbacks(this, &_vorbisFile, nullptr, 0, ogg_CallBacks) == 0) {
    _oggFile = true;
    info = ov_info(&_vorbisFile, -1);
  }
  if (!info || info->channels <= 0 || info->rate <= 0) {
    KMiscTools::messageBox("error", "error could not detect ogg file");
    freeAllocatedData();
    return false;
  }
  _oggFormatEx = oggPcmFormat(*info);
  _oggPosition = 0;
  _waveFormatEx = &_oggFormatEx;

  if (!createDSoundBuffer(0, kStreamBytes, true)) {
    freeAllocatedData();
    return false;
  }
  _oggCompleted = false;
  ov_time_seek(&_vorbisFile, 0.0);
  _directSoundBuffer[0]->setCurrentPosition(1);
  setPan(0);
  return true;
}

bool KSound::loadModule(const char *filename) {
  DUH *(*reader)(DUMBFILE *) = nullptr;
  if (!directSoundPtr || !isModuleName(filename, &reader)) return false;
  const unsigned long size = loadFileToRam(filename);
  if (size == 0 || size == ~0ul) {
    freeAllocatedData();
    return false;
  }
  // Read from memory: the module reader needs no file access of its own.
  DUMBFILE *file = dumbfile_open_memory(reinterpret_cast<const char *>(_wavData), static_cast<long>(size));
  DUH *duh = file ? reader(file) : nullptr;
  if (file) dumbfile_close(file);
  freeAllocatedData();  // the module keeps its own copy
  if (!duh) return false;

  _moduleStorage._moduleData = duh;
  _moduleStorage._moduleRenderer = dumb_it_start_at_order(duh, 2, 0);
  if (!_moduleStorage._moduleRenderer) {
    killModule();
    return false;
  }
  _oggFormatEx.wFormatTag = 1;
  _oggFormatEx.nChannels = 2;
  _oggFormatEx.nSamplesPerSec = static_cast<uint32_t>(gFREQUENCY);
  _oggFormatEx.nAvgBytesPerSec = static_cast<uint32_t>(gFREQUENCY) * 4;
  _oggFormatEx.nBlockAlign = 4;
  _oggFormatEx.wBitsPerSample = 16;
  _oggFormatEx.cbSize = 0;
  _waveFormatEx = &_oggFormatEx;
  if (!createDSoundBuffer(0, kStreamBytes, true)) {
    killModule();
    freeAllocatedData();
    return false;
  }
  _oggCompleted = false;
  _directSoundBuffer[0]->setCurrentPosition(1);
  setPan(0);
  return true;
}

void KSound::playStream(bool loop) {
  killThread();
  const std::shared_ptr<mixer::Buffer> buffer = _directSoundBuffer[0];
  if (!buffer) return;
  _loopState = loop ? 1 : 0;
  _oggCompleted = false;
  _terminate = false;
  _tailHalf = -1;

  {
    std::lock_guard<std::mutex> lock(_streamLock);
    if (_moduleStorage._moduleData) {
      resetRendererLocked(0);
      // A module that should play once ends at its loop point; otherwise the
      // renderer loops it by itself.
      if (_moduleStorage._moduleRenderer) {
        dumb_it_set_loop_callback(duh_get_it_sigrenderer(_moduleStorage._moduleRenderer),
                                  loop ? nullptr : dumb_it_callback_terminate, nullptr);
      }
    } else if (_oggFile) {
      ov_time_seek(&_vorbisFile, 0.0);
    }
  }
  buffer->stop();
  // A restart must not replay what an earlier run left in the buffer.
  clearSoundBuffer(0, kStreamBytes);
  buffer->setCurrentPosition(0);
  yieldThread();

  startNotifiers();
  yieldThread();

  // The device buffer always loops; `loop` only decides what the end of the
  // music does.
  if (buffer->play(mixer::kPlayLooping) == mixer::kBufferLost) restoreSample();
  setVolume(static_cast<int>(_channelVolume.load()));
}

void KSound::stopStream() {
  std::lock_guard<std::mutex> lock(_streamLock);
  stopStreamLocked();
}

void KSound::stopStreamLocked() {
  const std::shared_ptr<mixer::Buffer> &buffer = _directSoundBuffer[0];
  if (!buffer) return;
  buffer->stop();
  clearSoundBuffer(0, kStreamBytes);
  if (_oggFile) ov_time_seek(&_vorbisFile, 0.0);
  buffer->setCurrentPosition(1);
}

bool KSound::startNotifiers() {
  _ready = false;
  const std::shared_ptr<mixer::Buffer> buffer = _directSoundBuffer[0];
  if (!buffer) return false;
  buffer->stop();
  if (hThread.joinable()) hThread.join();  // a worker that ended on its own
  try {
    hThread = std::thread(&KSound::doubleBufferThread, this);
  } catch (const std::system_error &) {
    return false;
  }
  while (!_ready) yieldThread();
  // One step above normal, where the system allows it; refills are short but
  // must not wait behind the frame loop.
  kplatform::raiseThreadPriority(threadID.load());
  return true;
}

void KSound::doubleBufferThread(void *object) {
  auto *sound = static_cast<KSound *>(object);
  if (!sound) return;
  sound->_workerThread = std::this_thread::get_id();
  sound->threadID = kplatform::currentThreadId();

  // The application thread waits for _ready and touches none of this meanwhile.
  const std::shared_ptr<mixer::Buffer> buffer = sound->_directSoundBuffer[0];
  sound->_dsNotify = buffer ? buffer->queryNotify() : nullptr;
  // Both positions wake the one event: the worker never sleeps on one half's
  // event while the other half waits to be refilled.
  const std::shared_ptr<mixer::Event> wake = std::make_shared<mixer::Event>();
  sound->hEvents[0] = sound->hEvents[1] = wake;
  const mixer::NotifyPosition positions[2] = {{0, wake}, {static_cast<uint32_t>(kHalfBytes), wake}};
  if (!sound->_dsNotify || sound->_dsNotify->setNotificationPositions(positions, 2) != mixer::kOk) {
    // The stream then plays what its buffer holds, without refills.
    sound->_ready = true;
    return;
  }
  sound->_terminate = false;
  sound->_terminated = false;
  sound->_ready = true;
  sound->refillLoop(*wake);
}

int KSound::playingHalf() const {
  const std::shared_ptr<mixer::Buffer> buffer = _directSoundBuffer[0];
  uint32_t status = 0, position = 0;
  if (!buffer || buffer->getStatus(&status) != mixer::kOk || !(status & mixer::kStatusPlaying) ||
      buffer->getCurrentPosition(&position) != mixer::kOk)
    return -1;
  return position < kHalfBytes ? 0 : 1;
}

// The refill policy: whenever the play position has entered a half since the
// last refill, the other half (just played) gets the next music. The position,
// not which notification came, decides, and a short poll backs the event up: a
// worker woken late, or a notification lost, still refills the right half as
// soon as it runs, with the most time left before the device reaches it.
void KSound::refillLoop(mixer::Event &wake) {
  const bool module = _moduleStorage._moduleData != nullptr;
  long appliedMaster = -1;
  int answered = -1;  // the half whose entry was last answered with a refill
  for (;;) {
    // A master change from the options screen reaches the music within a pass.
    const long master = _masterMUSICvolume.load();
    if (master != appliedMaster) {
      applyVolume();
      appliedMaster = master;
    }
    wake.wait(kRefillPollMs);
    const int playing = playingHalf();
    if (playing >= 0 && playing != answered) {
      answered = playing;
      module ? fillModBuffer(1 - playing) : fillOggBuffer(1 - playing);
    }
    if (!_directSoundBuffer[0] || _terminate) break;
  }
}

void KSound::fillOggBuffer(unsigned long half) {
  std::unique_lock<std::mutex> lock(_streamLock);
  const std::shared_ptr<mixer::Buffer> buffer = _directSoundBuffer[0];
  if (!buffer) return;
  // The end of a stream that does not loop: its last half has now played.
  if (_oggCompleted && _tailHalf.load() == static_cast<int>(half)) {
    _tailHalf = -1;
    stopStreamLocked();
    return;
  }

  void *region = nullptr;
  uint32_t bytes = 0;
  if (!lockHalfForRefill(*buffer, half, &region, &bytes)) return;
  char *out = static_cast<char *>(region);
  memset(out, 0, bytes);
  bool failed = false;
  if (!_oggCompleted && _oggFile) {
    uint32_t filled = 0;
    uint32_t filledAtRewind = UINT32_MAX;
    int section = 0;
    while (!_terminate) {
      long got = ov_read(&_vorbisFile, out + filled, static_cast<int>(bytes - filled), 0, 2, 1, &section);
      if (got > 0) {
        filled += static_cast<uint32_t>(got);
        if (filled >= bytes) break;
        continue;
      }
      failed = got < 0;
      if (_loopState) {
        ov_time_seek(&_vorbisFile, 0.0);
        // A clean end goes straight on with the start, in this same half, so the
        // loop has no gap; a stream that yields nothing after a rewind leaves
        // the rest silent rather than spinning.
        if (!failed && filled != filledAtRewind) {
          filledAtRewind = filled;
          continue;
        }
      } else {
        _oggCompleted = true;
        _tailHalf = static_cast<int>(half);
      }
      break;
    }
    // A decoder error gives a silent half; a clean end keeps the decoded tail.
    if (failed) memset(out, 0, bytes);
  }
  buffer->unlock(region, bytes, nullptr, 0);
}

void KSound::fillModBuffer(unsigned long half) {
  std::unique_lock<std::mutex> lock(_streamLock);
  const std::shared_ptr<mixer::Buffer> buffer = _directSoundBuffer[0];
  if (!buffer) return;
  if (_oggCompleted && _tailHalf.load() == static_cast<int>(half)) {
    _tailHalf = -1;
    lock.unlock();
    stopModule();
    return;
  }

  void *region = nullptr;
  uint32_t bytes = 0;
  if (!lockHalfForRefill(*buffer, half, &region, &bytes)) return;
  memset(region, 0, bytes);
  if (!_oggCompleted && _moduleStorage._moduleRenderer && bytes == kHalfBytes) {
    // 4096 frames x 2 channels x 2 bytes fill the half exactly.
    long frames = duh_render(_moduleStorage._moduleRenderer, 16, 0, 1.0f, 65536.0f / gFREQUENCY,
                             4096, region);
    if (frames < 4096) {
      _oggCompleted = true;
      _tailHalf = static_cast<int>(half);
    }
  }
  buffer->unlock(region, bytes, nullptr, 0);
}

void KSound::setModulePosition(int order) {
  std::lock_guard<std::mutex> lock(_streamLock);
  resetRendererLocked(order);
}

void KSound::resetRendererLocked(int order) {
  DUH *duh = _moduleStorage._moduleData;
  if (!duh || !_moduleStorage._moduleRenderer) return;
  // Orders outside the module would make the renderer index past its tables.
  const int orders = dumb_it_sd_get_n_orders(duh_get_it_sigdata(duh));
  if (order < 0 || order >= orders) order = 0;
  duh_end_sigrenderer(_moduleStorage._moduleRenderer);
  _moduleStorage._moduleRenderer = dumb_it_start_at_order(duh, 2, order);
}

void KSound::stopModule() {
  const std::shared_ptr<mixer::Buffer> buffer = _directSoundBuffer[0];
  if (!buffer) return;
  buffer->stop();
  killThread();  // on the worker's own thread this only asks it to end
  std::lock_guard<std::mutex> lock(_streamLock);
  clearSoundBuffer(0, kStreamBytes);
  resetRendererLocked(0);
  if (_moduleStorage._moduleRenderer) {
    dumb_it_set_loop_callback(duh_get_it_sigrenderer(_moduleStorage._moduleRenderer), nullptr,
                              nullptr);
  }
  _oggCompleted = true;
}

void KSound::killThread() {
  _ready = false;
  _terminate = true;
  if (const std::shared_ptr<mixer::Buffer> &buffer = _directSoundBuffer[0]) {
    buffer->stop();
    buffer->setCurrentPosition(1);
  }
  if (hThread.joinable()) {
    // The worker itself (ending a module) cannot wait for itself: it ends when
    // it next tests _terminate, and the application thread joins it later.
    if (onWorkerThread()) return;
    hThread.join();
    _workerThread = std::thread::id();
    _dsNotify.reset();
    hEvents[0].reset();
    hEvents[1].reset();
  }
  yieldThread();
}

void KSound::killModule() {
  std::lock_guard<std::mutex> lock(_streamLock);
  if (_moduleStorage._moduleRenderer) duh_end_sigrenderer(_moduleStorage._moduleRenderer);
  if (_moduleStorage._moduleData) unload_duh(_moduleStorage._moduleData);
  _moduleStorage._moduleRenderer = nullptr;
  _moduleStorage._moduleData = nullptr;
}
