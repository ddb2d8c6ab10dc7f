// The auto-reset event on a Win32 event object, so that DirectSound's position
// notifications can signal it directly.
#include "platform/mixer/MixEvent.h"

#include "platform/win32/KWin32.h"

namespace mixer {

Event::Event() { native_ = CreateEventA(nullptr, FALSE, FALSE, nullptr); }

Event::~Event() {
  if (native_) CloseHandle(static_cast<HANDLE>(native_));
}

void Event::set() {
  if (native_) SetEvent(static_cast<HANDLE>(native_));
}

void Event::reset() {
  if (native_) ResetEvent(static_cast<HANDLE>(native_));
}

bool Event::wait(uint32_t ms) {
  return native_ && WaitForSingleObject(static_cast<HANDLE>(native_), ms) == WAIT_OBJECT_0;
}

}  // namespace mixer
