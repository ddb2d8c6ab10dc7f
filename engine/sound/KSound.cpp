// KSound, the shared part and samples: the process-wide device and its lifetime,
// the volume and pan tables, master volumes, loading WAV and Ogg Vorbis samples,
// playing them in rotation, restoring lost buffers. Application thread only;
// setVolume is also used by the stream worker of the same object.
#include "sound/KSound.h"
#include "tools/KPlatformServices.h"

#include <dumb.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

#include "sound/KOggFormat.h"

std::shared_ptr<mixer::Device> KSound::directSoundPtr;
std::shared_ptr<mixer::Device> (*KSound::openDevice)() = &mixer::Device::open;
int KSound::_instanceCount = 0;
std::atomic<long> KSound::_masterSFXvolume{100};
std::atomic<long> KSound::_masterMUSICvolume{100};

long fechnerTable[101];
long panningtable[201];
float gFREQUENCY = 44100.0f;
bool _acceleratedDSound = false;

namespace {

// Files larger than this are not sounds this engine can hold; they count as
// unreadable rather than being read whole into memory.
constexpr unsigned long kMaxFileBytes = 1ul << 30;
constexpr unsigned long kLoadFailed = ~0ul;
// The spare bytes after a file read into memory keep the byte scan of a WAV
// header (which looks a few bytes past each position) inside the block.
constexpr unsigned long kFileSpare = 1024;

mixer::WaveFormat toMixerFormat(const BRELLINWAVEFORMATEX &f) {
  mixer::WaveFormat m;
  m.formatTag = f.wFormatTag;
  m.channels = f.nChannels;
  m.samplesPerSec = f.nSamplesPerSec;
  m.avgBytesPerSec = f.nAvgBytesPerSec;
  m.blockAlign = f.nBlockAlign;
  m.bitsPerSample = f.wBitsPerSample;
  return m;
}

uint32_t readLE32(const unsigned char *p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

}  // namespace

KSound::KSound() {
  if (_instanceCount == 0) {
    _counted = init();
  } else {
    ++_instanceCount;
    _counted = true;
  }
}

KSound::~KSound() {
  if (_counted) --_instanceCount;
  killThread();
  killModule();
  for (auto &slot : _directSoundBuffer) {
    if (slot) slot->stop();
    slot.reset();
  }
  freeAllocatedData();
  if (_counted && _instanceCount <= 0) {
    _instanceCount = 0;
    dumb_exit();
    directSoundPtr.reset();
  }
}

// The platform device wants a window for its cooperative level; the mixer
// plays for the whole process, so there is none to choose here.
bool KSound::init() {
  precalcTable();
  directSoundPtr = openDevice();
  if (!directSoundPtr) return false;
  if (directSoundPtr->emulated()) {
    gFREQUENCY = 22050.0f;
    _acceleratedDSound = false;
  } else {
    gFREQUENCY = 44100.0f;
    _acceleratedDSound = true;
  }
  dumb_register_stdfiles();
  dumb_it_max_to_mix = 64;
  ++_instanceCount;
  return true;
}

void KSound::precalcTable() {
  fechnerTable[0] = -10000;
  for (int i = 1; i <= 100; ++i) {
    long v = static_cast<long>(-100.0 * std::log(i / 100.0) / std::log(0.92));
    fechnerTable[i] = std::max(v, -10000l);
  }
  // 0.954999, not 0.955: the rounder constant moves several entries by one.
  panningtable[0] = -10000;
  panningtable[200] = 10000;
  for (int i = 1; i <= 100; ++i) {
    long v = static_cast<long>(-100.0 * std::log(i / 100.0) / std::log(0.954999));
    v = std::min(std::max(v, -10000l), 10000l);
    panningtable[i] = v;
    panningtable[200 - i] = -v;
  }
}

void KSound::setGlobalVolumes(int musicVolume, int sfxVolume) {
  if (sfxVolume >= 0) _masterSFXvolume = sfxVolume;
  if (musicVolume >= 0) _masterMUSICvolume = musicVolume;
}

void KSound::setVolume(int volume) {
  std::lock_guard<std::mutex> lock(_volumeLock);
  applyVolumeLocked(volume);
}

// The worker reads the channel volume under the lock too: read before it, a
// setVolume in between would be undone by the older value.
void KSound::applyVolume() {
  std::lock_guard<std::mutex> lock(_volumeLock);
  applyVolumeLocked(static_cast<int>(_channelVolume.load()));
}

void KSound::applyVolumeLocked(int volume) {
  _channelVolume = std::min(std::max(volume, 0), 100);
  long master = _type == 0 ? _masterSFXvolume.load() : _masterMUSICvolume.load();
  long index = master * _channelVolume.load() / 100;
  // 99, not 100: the loudest setting is fechnerTable[99].
  index = std::min(std::max(index, 0l), 99l);
  for (int i = 0; i < _soundBufferCount && i < kMaxBuffers; ++i) {
    if (!_directSoundBuffer[i]) break;
    _directSoundBuffer[i]->setVolume(fechnerTable[index]);
  }
}

void KSound::setPan(long pan) {
  pan = std::min(std::max(pan, -100l), 100l);
  for (int i = 0; i < _soundBufferCount && i < kMaxBuffers; ++i) {
    if (!_directSoundBuffer[i]) break;
    _directSoundBuffer[i]->setPan(panningtable[pan + 100]);
  }
}

bool KSound::loadSample(const char *filename, int volume, bool loop, short bufferCount) {
  _type = 0;
  _currentBeingPlayed = 0;
  killThread();
  killModule();
  freeAllocatedData();

  _loopState = loop ? 1 : 0;
  _channelVolume = volume;  // clamped when next applied
  _soundBufferCount = std::min<short>(std::max<short>(bufferCount, 1), kMaxBuffers);
  for (auto &slot : _directSoundBuffer) {
    if (slot) slot->stop();
    slot.reset();
  }
  _ready = true;

  bool ok = false;
  if (filename && strstr(filename, ".ogg")) {
    ok = loadOggSample(filename);
  } else if (filename) {
    unsigned long size = loadFileToRam(filename);
    if (size != 0 && size != kLoadFailed && ParseWavHeader(_wavData, size) > 0) {
      ok = uploadSample();
    }
    if (ok) setPan(0);
  }
  if (!ok) {
    freeAllocatedData();
    _ready = false;
  }
  return ok;
}

namespace {

// An open Ogg Vorbis decoder; closed, with its file, when it goes.
struct OggDecoder {
  OggVorbis_File vf{};
  bool open = false;
  explicit OggDecoder(const char *path) {
    FILE *file = kplatform::openRegularFile(path);
    if (!file) return;
    if (ov_open(file, &vf, nullptr, 0) != 0) {
      fclose(file);
      return;
    }
    open = true;
  }
  ~OggDecoder() {
    if (open) ov_clear(&vf);
  }
  OggDecoder(const OggDecoder &) = delete;
  OggDecoder &operator=(const OggDecoder &) = delete;
};

}  // namespace

bool KSound::loadOggSample(const char *filename) {
  freeAllocatedData();
  OggDecoder ogg(filename);
  if (!ogg.open) return false;
  vorbis_info *info = ov_info(&ogg.vf, -1);
  if (!info || info->channels <= 0 || info->rate <= 0) return false;

  // Decoded once, 16-bit little-endian; no device buffer can hold more than
  // kMaxBufferBytes, so a longer sample stops decoding there and is refused.
  std::vector<unsigned char> pcm;
  try {
    char chunk[16384];
    int section = 0;
    long got;
    while ((got = ov_read(&ogg.vf, chunk, sizeof chunk, 0, 2, 1, &section)) > 0) {
      if (pcm.size() + static_cast<size_t>(got) > mixer::kMaxBufferBytes) return false;
      pcm.insert(pcm.end(), chunk, chunk + got);
    }
  } catch (const std::bad_alloc &) {
    return false;
  }
  if (pcm.empty()) return false;

  _oggFormatEx = oggPcmFormat(*info);
  _waveFormatEx = &_oggFormatEx;
  _wavLength = pcm.size();
  _wavData = new (std::nothrow) unsigned char[_wavLength];
  if (!_wavData) {
    freeAllocatedData();
    return false;
  }
  memcpy(_wavData, pcm.data(), _wavLength);
  _wavDataStart = _wavData;
  if (!uploadSample()) {
    freeAllocatedData();
    return false;
  }
  _ready = true;
  setPan(0);
  return true;
}

bool KSound::uploadSample() {
  for (short i = 0; i < _soundBufferCount; ++i) {
    std::shared_ptr<mixer::Buffer> buffer = createDSoundBuffer(i, _wavLength, false);
    if (!buffer || !copySampleInto(*buffer)) return false;
  }
  return true;
}

bool KSound::copySampleInto(mixer::Buffer &buffer) {
  void *region = nullptr;
  uint32_t bytes = 0;
  if (buffer.lock(0, 0, &region, &bytes, nullptr, nullptr, mixer::kLockEntireBuffer) != mixer::kOk)
    return false;
  if (_wavDataStart && _wavLength)
    memcpy(region, _wavDataStart, std::min<unsigned long>(bytes, _wavLength));
  buffer.unlock(region, bytes, nullptr, 0);
  return true;
}

unsigned long KSound::loadFileToRam(const char *filename) {
  if (!filename) return 0;
  // A pipe or device in a sound file's place must not block the program.
  FILE *file = kplatform::openRegularFile(filename);
  if (!file) return 0;
  long end = -1;
  if (fseek(file, 0, SEEK_END) == 0) end = ftell(file);
  if (end < 0 || static_cast<unsigned long>(end) > kMaxFileBytes || fseek(file, 0, SEEK_SET) != 0) {
    fclose(file);
    return 0;
  }
  if (end == 0) {
    fclose(file);
    return kLoadFailed;
  }
  const unsigned long size = static_cast<unsigned long>(end);
  // Pointers into the old block go with it.
  if (_waveFormatEx != &_oggFormatEx) _waveFormatEx = nullptr;
  _wavDataStart = nullptr;
  delete[] _wavData;
  _wavData = new (std::nothrow) unsigned char[size + kFileSpare];
  if (!_wavData) {
    fclose(file);
    return 0;
  }
  const size_t got = fread(_wavData, 1, size, file);
  fclose(file);
  if (got == 0) {
    delete[] _wavData;
    _wavData = nullptr;
    return 0;
  }
  // A file that shrank while being read: what was read is the file.
  memset(_wavData + got, 0, size + kFileSpare - got);
  _oggPosition = 0;
  _oggFileLen = got;
  return got;
}

// A byte scan for the "fmt " and "data" tags rather than a chunk walk, so files
// with odd chunk sizes still play. The caller's block must extend at least
// 26 bytes past `size` (loadFileToRam leaves 1024 zero bytes there): the format
// record is taken in place and may reach past a truncated file.
long KSound::ParseWavHeader(unsigned char *data, unsigned long size) {
  _waveFormatEx = nullptr;
  _wavDataStart = nullptr;
  if (!data || size <= 5) return -1;
  bool formatFound = false;
  for (unsigned long i = 0; i < size - 5; ++i) {
    if (!formatFound && memcmp(data + i, "fmt ", 4) == 0) {
      _waveFormatEx = reinterpret_cast<BRELLINWAVEFORMATEX *>(data + i + 8);
      formatFound = true;
    }
    if (memcmp(data + i, "data", 4) == 0) {
      const unsigned long length = static_cast<uint32_t>(flipLong(static_cast<long>(readLE32(data + i + 4))));
      const unsigned long start = i + 8;
      const unsigned long present = start <= size ? size - start : 0;
      _wavDataStart = data + std::min(start, size);
      _wavLength = std::min(length, present);
      return static_cast<long>(_wavLength);
    }
  }
  return -1;
}

// The files are little-endian, as is every platform this builds for.
long KSound::flipLong(long value) { return value; }

std::shared_ptr<mixer::Buffer> KSound::createDSoundBuffer(short index, unsigned long size,
                                                          bool stream) {
  if (!directSoundPtr || index < 0 || index >= kMaxBuffers) return nullptr;
  uint32_t caps = mixer::kCapsGlobalFocus | mixer::kCapsLocSoftware | mixer::kCapsCtrlFrequency |
                  mixer::kCapsCtrlPan | mixer::kCapsCtrlVolume;
  if (stream) caps |= mixer::kCapsCtrlPositionNotify;
  std::shared_ptr<mixer::Buffer> &slot = _directSoundBuffer[index];
  if (slot) slot->stop();
  slot.reset();
  if (!_waveFormatEx || size > mixer::kMaxBufferBytes) return nullptr;
  if (directSoundPtr->createBuffer(caps, static_cast<uint32_t>(size), toMixerFormat(*_waveFormatEx),
                                   &slot) != mixer::kOk) {
    slot.reset();
    return nullptr;
  }
  slot->setCurrentPosition(1);
  clearSoundBuffer(index, static_cast<long>(size));
  return slot;
}

void KSound::clearSoundBuffer(short index, long size) {
  if (index < 0 || index >= kMaxBuffers || size <= 0) return;
  const std::shared_ptr<mixer::Buffer> &slot = _directSoundBuffer[index];
  if (!slot) return;
  void *region = nullptr;
  uint32_t bytes = 0;
  if (slot->lock(0, static_cast<uint32_t>(std::min<long>(size, 0xFFFFFFFFl)), &region, &bytes,
                 nullptr, nullptr, 0) != mixer::kOk) {
    return;
  }
  memset(region, 0, bytes);
  slot->unlock(region, bytes, nullptr, 0);
  slot->setCurrentPosition(1);
}

void KSound::playSample() {
  if (!_directSoundBuffer[0]) return;
  // Rotation, whether or not the chosen copy still sounds: the oldest start is
  // cut off, and with several copies the first play uses slot 1.
  _currentBeingPlayed += 1;
  if (_currentBeingPlayed >= _soundBufferCount) _currentBeingPlayed = 0;
  const std::shared_ptr<mixer::Buffer> &buffer = _directSoundBuffer[_currentBeingPlayed];
  if (!buffer) return;
  buffer->setCurrentPosition(0);
  setVolume(static_cast<int>(_channelVolume.load()));
  if (buffer->play((_loopState & 1) ? mixer::kPlayLooping : 0) == mixer::kBufferLost) {
    restoreSample();
  }
}

bool KSound::isPlaying() {
  if (!_ready || !_directSoundBuffer[0]) return false;
  const uint32_t sounding = mixer::kStatusPlaying | mixer::kStatusLooping |
                            mixer::kStatusLocHardware | mixer::kStatusLocSoftware;
  for (int i = 0; i < _soundBufferCount && i < kMaxBuffers; ++i) {
    uint32_t status = 0;
    if (_directSoundBuffer[i] && _directSoundBuffer[i]->getStatus(&status) == mixer::kOk &&
        (status & sounding)) {
      return true;
    }
  }
  return false;
}

void KSound::restoreSample() {
  const int count = std::min<int>(_soundBufferCount, kMaxBuffers);
  for (int i = 0; i < count; ++i) {
    if (!_directSoundBuffer[i] || _directSoundBuffer[i]->restore() != mixer::kOk) return;
  }
  for (int i = 0; i < count; ++i) {
    if (!copySampleInto(*_directSoundBuffer[i])) {
      freeAllocatedData();  // releases this slot and every other
      return;
    }
  }
}

void KSound::freeAllocatedData() {
  // Nothing may be freed under a running refill.
  if (hThread.joinable() && !onWorkerThread()) killThread();
  _dsNotify.reset();
  for (auto &slot : _directSoundBuffer) {
    if (slot) slot->stop();
    slot.reset();
  }
  if (_oggFile) {
    ov_clear(&_vorbisFile);
    _oggFile = false;
  }
  delete[] _wavData;
  _wavData = nullptr;
  _wavDataStart = nullptr;
  _wavLength = 0;
  if (_waveFormatEx != &_oggFormatEx) _waveFormatEx = nullptr;
  _oggPosition = 0;
  _oggFileLen = 0;
}
