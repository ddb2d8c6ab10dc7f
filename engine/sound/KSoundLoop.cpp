// KSound's computed loop: one looping device buffer of 16-bit stereo that the
// program writes while it plays, and whose play position is its clock.
// Application thread only (the mixer reads the buffer under its own lock).
#include <algorithm>
#include <cstring>
#include <new>

#include "sound/KSound.h"

bool KSound::createLoop(unsigned long frames, int volume) {
  _type = 0;
  _currentBeingPlayed = 0;
  killThread();
  killModule();
  freeAllocatedData();
  _loopState = 1;
  _channelVolume = volume;
  _soundBufferCount = 1;
  if (!directSoundPtr || frames == 0 || frames > mixer::kMaxBufferBytes / 4) return false;
  _oggFormatEx = BRELLINWAVEFORMATEX{1, 2, directSoundPtr->rate(), directSoundPtr->rate() * 4, 4, 16, 0};
  _waveFormatEx = &_oggFormatEx;
  _wavLength = frames * 4;
  // Kept beside the device buffer, so a buffer the device loses is written again.
  _wavData = new (std::nothrow) unsigned char[_wavLength]();
  _wavDataStart = _wavData;
  if (!_wavData || !uploadSample()) {
    freeAllocatedData();
    _ready = false;
    return false;
  }
  _ready = true;
  setPan(0);
  return true;
}

bool KSound::writeLoop(unsigned long first, const int16_t *frames, unsigned long count) {
  const unsigned long total = _wavLength / 4;
  const std::shared_ptr<mixer::Buffer> &buffer = _directSoundBuffer[0];
  if (!buffer || !_wavData || !frames || total == 0 || first >= total || count > total)
    return false;
  const unsigned long head = std::min(count, total - first);
  std::memcpy(_wavData + first * 4, frames, head * 4);
  std::memcpy(_wavData, frames + head * 2, (count - head) * 4);
  void *r1 = nullptr, *r2 = nullptr;
  uint32_t b1 = 0, b2 = 0;
  if (buffer->lock(uint32_t(first * 4), uint32_t(count * 4), &r1, &b1, &r2, &b2, 0) != mixer::kOk)
    return false;
  std::memcpy(r1, _wavData + first * 4, b1);
  if (r2 && b2) std::memcpy(r2, _wavData, b2);
  return buffer->unlock(r1, b1, r2, b2) == mixer::kOk;
}

long KSound::loopPosition() {
  const std::shared_ptr<mixer::Buffer> &buffer = _directSoundBuffer[0];
  uint32_t status = 0, offset = 0;
  if (!buffer || buffer->getStatus(&status) != mixer::kOk || !(status & mixer::kStatusPlaying))
    return -1;
  if (buffer->getCurrentPosition(&offset) != mixer::kOk) return -1;
  return long(offset / 4);
}

void KSound::stopSample() {
  for (const std::shared_ptr<mixer::Buffer> &buffer : _directSoundBuffer)
    if (buffer) buffer->stop();
}
