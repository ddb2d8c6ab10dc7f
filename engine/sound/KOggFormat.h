// The wave format a decoded Ogg Vorbis file is played in, shared by the sample
// and stream parts of KSound.
#pragma once

#include <algorithm>
#include <cstdint>

#include "sound/KSound.h"

// 16-bit PCM at the file's rate and channel count; a count or rate too large for
// its field is held at the field's largest value.
inline BRELLINWAVEFORMATEX oggPcmFormat(const vorbis_info &info) {
  const uint64_t channels = static_cast<uint64_t>(info.channels);
  const uint64_t rate = static_cast<uint64_t>(info.rate);
  BRELLINWAVEFORMATEX format;
  format.wFormatTag = 1;
  format.nChannels = static_cast<uint16_t>(std::min<uint64_t>(channels, 0xFFFF));
  format.nSamplesPerSec = static_cast<uint32_t>(std::min<uint64_t>(rate, 0xFFFFFFFF));
  format.nAvgBytesPerSec = static_cast<uint32_t>(channels * rate * 2);
  format.nBlockAlign = static_cast<uint16_t>(channels * 2);
  format.wBitsPerSample = 16;
  format.cbSize = 0;
  return format;
}
