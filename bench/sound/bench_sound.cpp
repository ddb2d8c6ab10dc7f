// Sound cost per second of output with the program's real load: the music
// stream plus four effect samples mixed, and the music's Ogg Vorbis decoding
// that the stream worker does. Time per iteration is CPU time per second of
// audio, so 10000 us is 1% of one core; "audio_x_realtime" is how many seconds
// of audio one core would produce per second.
//   SDL_AUDIODRIVER=dummy build/bin/bench_sound
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "SoundFixtures.h"
#include "platform/mixer/Mixer.h"
#include "sound/KSound.h"

namespace {

using namespace mixer;

WaveFormat pcmFormat(int channels, int rate) {
  WaveFormat f;
  f.formatTag = 1;
  f.channels = uint16_t(channels);
  f.samplesPerSec = uint32_t(rate);
  f.bitsPerSample = 16;
  f.blockAlign = uint16_t(channels * 2);
  f.avgBytesPerSec = f.samplesPerSec * f.blockAlign;
  return f;
}

std::shared_ptr<Buffer> loopingBuffer(Device &device, int channels, int rate, int frames,
                                      long volume, long pan) {
  std::shared_ptr<Buffer> b;
  const uint32_t caps = kCapsGlobalFocus | kCapsLocSoftware | kCapsCtrlFrequency | kCapsCtrlPan |
                        kCapsCtrlVolume | kCapsCtrlPositionNotify;
  device.createBuffer(caps, uint32_t(frames * channels * 2), pcmFormat(channels, rate), &b);
  auto pcm = soundtest::tone(frames, channels, rate, 523.25, 9000);
  void *p = nullptr;
  uint32_t n = 0;
  b->lock(0, 0, &p, &n, nullptr, nullptr, kLockEntireBuffer);
  memcpy(p, pcm.data(), n);
  b->unlock(p, n, nullptr, 0);
  b->setVolume(volume);
  b->setPan(pan);
  b->play(kPlayLooping);
  return b;
}

void reportShare(benchmark::State &state, double audioSecondsPerIteration) {
  state.counters["audio_x_realtime"] =
      benchmark::Counter(audioSecondsPerIteration, benchmark::Counter::kIsIterationInvariantRate);
}

// One second of output, in the 512-frame blocks the audio callback asks for.
void BM_MixMusicAndFourSamples(benchmark::State &state) {
  auto device = Device::openHeadless();
  auto music = loopingBuffer(*device, 2, 44100, 8192, -267, 0);  // the 32768-byte stream buffer
  auto click = loopingBuffer(*device, 1, 22050, 4000, -100, -1505);
  auto grow = loopingBuffer(*device, 1, 44100, 30000, -267, 0);
  auto clear = loopingBuffer(*device, 2, 22050, 20000, -831, 1505);
  auto cloud = loopingBuffer(*device, 2, 44100, 40000, -267, 0);
  auto notify = music->queryNotify();
  auto e0 = std::make_shared<Event>();
  auto e1 = std::make_shared<Event>();
  music->stop();
  NotifyPosition positions[] = {{0, e0}, {16384, e1}};
  notify->setNotificationPositions(positions, 2);
  music->play(kPlayLooping);

  std::vector<int16_t> out(512 * 2);
  for (auto _ : state) {
    for (uint32_t done = 0; done < 44100; done += 512) {
      device->mix(out.data(), std::min<uint32_t>(512, 44100 - done));
    }
    benchmark::DoNotOptimize(out.data());
  }
  reportShare(state, 1.0);
}

// The worker's share: decoding one second of 44100 Hz stereo music into the
// stream buffer (about eleven half refills).
void BM_DecodeMusicSecond(benchmark::State &state) {
  soundtest::TempDir dir;
  // Ten seconds of a two-tone signal, enough not to loop inside a run.
  auto a = soundtest::tone(441000, 2, 44100, 261.6, 7000);
  auto b = soundtest::tone(441000, 2, 44100, 392.0, 7000);
  for (size_t i = 0; i < a.size(); ++i) a[i] = int16_t(a[i] + b[i]);
  std::string path = dir.write("music.ogg", soundtest::vorbisFile(a, 2, 44100));

  KSound music;
  if (!music.loadStream(path.c_str())) {
    state.SkipWithError("no audio device (set SDL_AUDIODRIVER=dummy)");
    return;
  }
  music._loopState = 1;
  music._terminate = false;  // as playStream leaves it, without starting the worker
  music._directSoundBuffer[0]->play(kPlayLooping);
  unsigned long half = 1;
  for (auto _ : state) {
    for (int i = 0; i < 11; ++i) {
      music.fillOggBuffer(half);
      half ^= 1;
    }
  }
  reportShare(state, 11 * 16384.0 / 176400.0);
}

}  // namespace

BENCHMARK(BM_MixMusicAndFourSamples)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DecodeMusicSecond)->Unit(benchmark::kMicrosecond);
BENCHMARK_MAIN();
