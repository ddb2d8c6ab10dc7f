// What the shared half of KMiscTools (tools/KMiscTools.cpp) takes from the
// system's half (engine/platform/<system>/KMiscTools.cpp), which also defines
// the members that depend on the system: the program and documents folders,
// the year and the clock's setup (initMillisecond).
#pragma once

#include <cstddef>
#include <cstdint>

namespace kmisc {

// The 32-bit millisecond tick count, which wraps; the clock when there is no
// high-frequency counter.
uint32_t systemTicks();
// The high-frequency counter, in the units per second initMillisecond found.
int64_t highFrequencyCount();
// Hands an address to the desktop; the default KMiscTools::_urlOpener.
void systemOpenURL(const char *url, bool maximised);
// Keeps a copy of one trouble report line (no line end) where the system's users
// can find it: on Windows, whose programs have no console, a size-capped log file
// in the local application data folder; nothing where standard error is seen.
// Any thread.
void systemLogLine(const char *line, size_t length);
// That file's path, or "" where there is none.
const char *systemLogPath();

}  // namespace kmisc
