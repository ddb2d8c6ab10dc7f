// KSound: the engine's one sound class. An object holds a sample (decoded whole,
// played from up to nine identical device buffers in rotation) or a stream (Ogg
// Vorbis or a tracker module, refilled half a buffer at a time by a worker
// thread). Application thread only, except for the stream worker of the object.
#pragma once

#ifndef OV_EXCLUDE_STATIC_CALLBACKS
#define OV_EXCLUDE_STATIC_CALLBACKS
#endif
#include <vorbis/vorbisfile.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>

#include "platform/mixer/Mixer.h"

// The engine's copy of the wave-format record, laid out byte for byte as the
// body of a WAV "fmt " chunk (it may point straight into a loaded file, hence
// packed: no alignment is assumed).
#pragma pack(push, 1)
struct BRELLINWAVEFORMATEX {
  uint16_t wFormatTag;
  uint16_t nChannels;
  uint32_t nSamplesPerSec;
  uint32_t nAvgBytesPerSec;
  uint16_t nBlockAlign;
  uint16_t wBitsPerSample;
  uint16_t cbSize;
};
#pragma pack(pop)
static_assert(sizeof(BRELLINWAVEFORMATEX) == 18, "fmt chunk layout");

struct DUH;
struct DUH_SIGRENDERER;

struct sModuleInfo {
  DUH *_moduleData = nullptr;
  DUH_SIGRENDERER *_moduleRenderer = nullptr;
  bool allowLooping = false;
};

// Process-wide sound state (set up by the first sound, read by every sound).
extern long fechnerTable[101];     // device volume per percentage, hundredths of a dB
extern long panningtable[201];     // device pan per pan value -100..100, indexed by pan + 100
extern float gFREQUENCY;           // mixing rate of the device
extern bool _acceleratedDSound;    // the device is not an emulated one
extern ov_callbacks ogg_CallBacks; // decoder access to a file held in a KSound

class KSound {
public:
  static constexpr int kMaxBuffers = 9;
  static constexpr unsigned long kStreamBytes = 32768;
  static constexpr unsigned long kHalfBytes = 16384;

  KSound();
  ~KSound();
  KSound(const KSound &) = delete;
  KSound &operator=(const KSound &) = delete;

  bool loadSample(const char *filename, int volume, bool loop, short bufferCount);
  void playSample();
  bool isPlaying();
  void setVolume(int volume);
  void setPan(long pan);
  static void setGlobalVolumes(int musicVolume, int sfxVolume);

  // A looping sample the program computes itself: `frames` frames of 16-bit
  // stereo at the device's rate, silent until written. playSample starts it
  // from its first frame; writeLoop may rewrite any part while it plays.
  bool createLoop(unsigned long frames, int volume);
  // Copies `count` frames (interleaved left, right) into the loop from frame
  // `first` on, wrapping past its end. False without a loop or for a bad range.
  bool writeLoop(unsigned long first, const int16_t *frames, unsigned long count);
  // The frame the device has mixed the loop up to: the loop's own audio clock.
  // -1 when it is not playing.
  long loopPosition();
  // Stops a playing sample (every copy).
  void stopSample();

  bool loadStream(const char *filename);
  void playStream(bool loop);
  void stopStream();
  void stopModule();
  void setModulePosition(int order);
  void fillOggBuffer(unsigned long half);
  void fillModBuffer(unsigned long half);

  // Process-wide state.
  static std::shared_ptr<mixer::Device> directSoundPtr;
  // How the first KSound opens the device: the platform's output unless a test
  // puts the headless device here, whose clock it then advances itself.
  static std::shared_ptr<mixer::Device> (*openDevice)();
  static int _instanceCount;
  static std::atomic<long> _masterSFXvolume;
  static std::atomic<long> _masterMUSICvolume;

  // Fields, in the order the engine has always had them. Those the stream
  // worker shares with the application thread are atomics.
  short _soundBufferCount = 1;
  std::atomic<long> _channelVolume{80};
  std::atomic<long> _loopState{0};
  char _type = 0;
  long _whatPartIsPlaying = 1;
  long _currentBeingPlayed = 0;
  sModuleInfo _moduleStorage;
  BRELLINWAVEFORMATEX *_waveFormatEx = nullptr;
  unsigned char *_wavDataStart = nullptr;
  unsigned long _wavLength = 0;
  BRELLINWAVEFORMATEX _oggFormatEx{};
  OggVorbis_File _vorbisFile{};
  bool _oggFile = false;
  std::shared_ptr<mixer::Buffer> _directSoundBuffer[kMaxBuffers];
  std::shared_ptr<mixer::Notify> _dsNotify;
  std::shared_ptr<mixer::Event> hEvents[2];
  std::thread hThread;
  std::atomic<unsigned long> threadID{0};
  std::atomic<bool> _terminate{false};
  std::atomic<bool> _terminated{false};
  std::atomic<bool> _ready{false};
  std::atomic<bool> _oggCompleted{false};
  unsigned long _oggPosition = 0;
  unsigned long _oggFileLen = 0;
  unsigned char *_wavData = nullptr;

private:
  friend struct KSoundTestAccess;

  bool init();
  static void precalcTable();
  bool loadOggSample(const char *filename);
  unsigned long loadFileToRam(const char *filename);
  long ParseWavHeader(unsigned char *data, unsigned long size);
  long flipLong(long value);
  std::shared_ptr<mixer::Buffer> createDSoundBuffer(short index, unsigned long size, bool stream);
  void clearSoundBuffer(short index, long size);
  void restoreSample();
  void freeAllocatedData();
  // Makes the sample's device buffers and copies the whole sample into each;
  // false when one cannot be made or filled.
  bool uploadSample();
  bool copySampleInto(mixer::Buffer &buffer);
  void killThread();
  void killModule();
  bool startNotifiers();
  static void doubleBufferThread(void *object);
  // The stream worker's loop (see KSoundStream.cpp) and the half the device
  // plays now (-1 when it is stopped). The poll only backs up a late or lost
  // notification, which comes every half (93 ms); waking every 10 ms cost the
  // menu at rest a tenth of its processor time for nothing.
  static constexpr uint32_t kRefillPollMs = 50;
  void refillLoop(mixer::Event &wake);
  int playingHalf() const;

  bool loadModule(const char *filename);
  void applyVolume();
  void applyVolumeLocked(int volume);  // _volumeLock held
  void stopStreamLocked();
  void resetRendererLocked(int order);
  bool onWorkerThread() const;

  // Sounds made while no device could be opened are not counted, so their
  // destruction cannot close the device under a counted one.
  bool _counted = false;
  // Serialises the decoder, the module renderer and refills between the
  // worker and the application thread (stopStream, setModulePosition).
  std::mutex _streamLock;
  // Makes store-and-apply of the channel volume atomic against the worker's
  // re-application after a master change.
  std::mutex _volumeLock;
  // Which half holds the last decoded audio of a stream that does not loop:
  // the stream stops when that half has played (-1: not ended).
  std::atomic<int> _tailHalf{-1};
  // Set by the worker itself, so it can recognise its own thread without
  // reading hThread while the application thread assigns it.
  std::atomic<std::thread::id> _workerThread{};
};
