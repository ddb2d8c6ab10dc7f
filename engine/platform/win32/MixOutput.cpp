// The sound device on Windows: DirectSound. Device::open makes the default
// DirectSound device at priority level on the foreground window (the desktop
// when there is none); its buffers are DirectSound secondary buffers, and
// position notifications go through IDirectSoundNotify to the events' own
// Win32 event objects. With no sound device open() gives null, and the program
// runs silently. Headless devices (tests) still mix in software.
#include <new>
#include <vector>

#include "platform/mixer/Mixer.h"
#include "platform/win32/KWin32.h"

#define HWND Win32HWND
#include <mmreg.h>
#include <dsound.h>
#undef HWND

namespace mixer {

namespace {

Result fromHr(HRESULT hr) {
  if (SUCCEEDED(hr)) return kOk;
  switch (hr) {
    case DSERR_BUFFERLOST: return kBufferLost;
    case DSERR_INVALIDPARAM: return kInvalidParam;
    case DSERR_OUTOFMEMORY: return kOutOfMemory;
    case DSERR_CONTROLUNAVAIL: return kNoControl;
    default: return kInvalidCall;
  }
}

// The buffer flags and status bits the mixer names have DirectSound's values.
static_assert(kCapsLocSoftware == DSBCAPS_LOCSOFTWARE && kCapsCtrlFrequency == DSBCAPS_CTRLFREQUENCY &&
                  kCapsCtrlPan == DSBCAPS_CTRLPAN && kCapsCtrlVolume == DSBCAPS_CTRLVOLUME &&
                  kCapsCtrlPositionNotify == DSBCAPS_CTRLPOSITIONNOTIFY &&
                  kCapsGlobalFocus == DSBCAPS_GLOBALFOCUS,
              "buffer capabilities");
static_assert(kStatusPlaying == DSBSTATUS_PLAYING && kStatusBufferLost == DSBSTATUS_BUFFERLOST &&
                  kStatusLooping == DSBSTATUS_LOOPING && kStatusLocHardware == DSBSTATUS_LOCHARDWARE &&
                  kStatusLocSoftware == DSBSTATUS_LOCSOFTWARE,
              "buffer status");
static_assert(kLockEntireBuffer == DSBLOCK_ENTIREBUFFER && kPlayLooping == DSBPLAY_LOOPING &&
                  kNotifyOnStop == DWORD(DSBPN_OFFSETSTOP),
              "buffer flags");

class DsBuffer : public NativeBuffer {
public:
  explicit DsBuffer(IDirectSoundBuffer *b) : b_(b) {}
  ~DsBuffer() override {
    b_->Stop();
    if (notify_) notify_->Release();
    b_->Release();
  }

  Result lock(uint32_t offset, uint32_t bytes, void **region1, uint32_t *bytes1, void **region2,
              uint32_t *bytes2, uint32_t flags) override {
    if (!region1 || !bytes1) return kInvalidParam;
    DWORD n1 = 0, n2 = 0;
    void *r2 = nullptr;
    HRESULT hr = b_->Lock(offset, bytes, region1, &n1, &r2, &n2, flags & kLockEntireBuffer);
    *bytes1 = n1;
    if (region2) *region2 = r2;
    if (bytes2) *bytes2 = n2;
    return fromHr(hr);
  }
  Result unlock(void *region1, uint32_t bytes1, void *region2, uint32_t bytes2) override {
    return fromHr(b_->Unlock(region1, bytes1, region2, bytes2));
  }
  Result play(uint32_t flags) override { return fromHr(b_->Play(0, 0, flags & kPlayLooping)); }
  Result stop() override { return fromHr(b_->Stop()); }
  Result setCurrentPosition(uint32_t offset) override {
    return fromHr(b_->SetCurrentPosition(offset));
  }
  Result getCurrentPosition(uint32_t *offset) override {
    if (!offset) return kInvalidParam;
    DWORD play = 0;
    HRESULT hr = b_->GetCurrentPosition(&play, nullptr);
    *offset = play;
    return fromHr(hr);
  }
  Result getStatus(uint32_t *status) override {
    if (!status) return kInvalidParam;
    DWORD s = 0;
    HRESULT hr = b_->GetStatus(&s);
    *status = s;
    return fromHr(hr);
  }
  Result setVolume(long volume) override { return fromHr(b_->SetVolume(volume)); }
  Result getVolume(long *volume) override { return volume ? fromHr(b_->GetVolume(volume)) : kInvalidParam; }
  Result setPan(long pan) override { return fromHr(b_->SetPan(pan)); }
  Result getPan(long *pan) override { return pan ? fromHr(b_->GetPan(pan)) : kInvalidParam; }
  Result setFrequency(uint32_t hz) override { return fromHr(b_->SetFrequency(hz)); }
  Result getFrequency(uint32_t *hz) override {
    if (!hz) return kInvalidParam;
    DWORD f = 0;
    HRESULT hr = b_->GetFrequency(&f);
    *hz = f;
    return fromHr(hr);
  }
  Result restore() override { return fromHr(b_->Restore()); }

  Result setNotificationPositions(const NotifyPosition *positions, size_t count) override {
    if (!notify_ &&
        FAILED(b_->QueryInterface(IID_IDirectSoundNotify, reinterpret_cast<void **>(&notify_)))) {
      notify_ = nullptr;
      return kNoControl;
    }
    std::vector<DSBPOSITIONNOTIFY> list;
    std::vector<std::shared_ptr<Event>> events;
    for (size_t i = 0; i < count; ++i) {
      if (!positions[i].event->nativeHandle()) return kInvalidParam;
      list.push_back({positions[i].offset, static_cast<HANDLE>(positions[i].event->nativeHandle())});
      events.push_back(positions[i].event);
    }
    Result r = fromHr(notify_->SetNotificationPositions(DWORD(list.size()), list.data()));
    // DirectSound keeps only the handles: the events live as long as they are registered.
    if (r == kOk) events_.swap(events);
    return r;
  }

private:
  IDirectSoundBuffer *b_;
  IDirectSoundNotify *notify_ = nullptr;
  std::vector<std::shared_ptr<Event>> events_;
};

class DsDevice : public NativeDevice {
public:
  DsDevice(IDirectSound *ds, bool emulated) : ds_(ds), emulated_(emulated) {}
  ~DsDevice() override { ds_->Release(); }

  Result createBuffer(uint32_t caps, uint32_t bytes, const WaveFormat &format,
                      std::unique_ptr<NativeBuffer> *out) override {
    WAVEFORMATEX wf = {};
    wf.wFormatTag = WAVE_FORMAT_PCM;
    wf.nChannels = format.channels;
    wf.nSamplesPerSec = format.samplesPerSec;
    wf.nBlockAlign = format.blockAlign;
    wf.nAvgBytesPerSec = format.samplesPerSec * format.blockAlign;
    wf.wBitsPerSample = format.bitsPerSample;
    DSBUFFERDESC desc = {};
    desc.dwSize = sizeof desc;
    // The play position is reported exactly (not the older, earlier estimate).
    desc.dwFlags = caps | DSBCAPS_GETCURRENTPOSITION2;
    desc.dwBufferBytes = bytes;
    desc.lpwfxFormat = &wf;
    IDirectSoundBuffer *b = nullptr;
    HRESULT hr = ds_->CreateSoundBuffer(&desc, &b, nullptr);
    if (FAILED(hr) || !b) return FAILED(hr) ? fromHr(hr) : kInvalidCall;
    out->reset(new (std::nothrow) DsBuffer(b));
    if (!*out) {
      b->Release();
      return kOutOfMemory;
    }
    return kOk;
  }
  bool emulated() const override { return emulated_; }

private:
  IDirectSound *ds_;
  bool emulated_;
};

}  // namespace

std::shared_ptr<Device> Device::open() {
  IDirectSound *ds = nullptr;
  if (FAILED(DirectSoundCreate(nullptr, &ds, nullptr)) || !ds) return nullptr;
  Win32HWND owner = GetForegroundWindow();
  if (!owner) owner = GetDesktopWindow();
  if (FAILED(ds->SetCooperativeLevel(owner, DSSCL_PRIORITY))) {
    ds->Release();
    return nullptr;
  }
  ds->SetSpeakerConfig(DSSPEAKER_STEREO);  // a preference: refusal changes nothing
  DSCAPS caps = {};
  caps.dwSize = sizeof caps;
  const bool emulated = SUCCEEDED(ds->GetCaps(&caps)) && (caps.dwFlags & DSCAPS_EMULDRIVER);
  std::shared_ptr<Device> device(new (std::nothrow) Device());
  std::unique_ptr<NativeDevice> native(new (std::nothrow) DsDevice(ds, emulated));
  if (!device || !native) {
    if (!native) ds->Release();
    return nullptr;
  }
  device->native_ = std::move(native);
  return device;
}

Device::~Device() {}

void Device::sdlCallback(void *, uint8_t *, int) {}

}  // namespace mixer
