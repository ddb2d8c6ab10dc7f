// The mixer's output: one SDL audio device that pulls the mix from its callback.
#include <SDL.h>

#include <new>

#include "platform/mixer/Mixer.h"

namespace mixer {

std::shared_ptr<Device> Device::open() {
  // The program owns its termination signals (see the platform services).
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return nullptr;
  std::shared_ptr<Device> device(new (std::nothrow) Device());
  if (!device) {
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    return nullptr;
  }
  SDL_AudioSpec want{};
  SDL_AudioSpec have{};
  want.freq = static_cast<int>(kOutputRate);
  want.format = AUDIO_S16SYS;
  want.channels = 2;
  want.samples = 512;  // about 12 ms: short enough for prompt effects
  want.callback = &Device::sdlCallback;
  want.userdata = device.get();
  // No changes allowed: SDL converts to whatever the hardware wants, so the
  // mix is always 44100 Hz stereo 16-bit.
  SDL_AudioDeviceID id = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
  if (id == 0) {
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    return nullptr;
  }
  device->sdlDevice_ = id;
  SDL_PauseAudioDevice(id, 0);
  return device;
}

Device::~Device() {
  if (sdlDevice_ != 0) {
    // Closing waits for the audio thread, so no callback outlives the device.
    SDL_CloseAudioDevice(sdlDevice_);
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
  }
}

void Device::sdlCallback(void *user, uint8_t *stream, int len) {
  auto *device = static_cast<Device *>(user);
  device->mix(reinterpret_cast<int16_t *>(stream), static_cast<uint32_t>(len) / 4u);
}

}  // namespace mixer
