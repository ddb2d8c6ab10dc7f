// The system's half of the trouble log for fuzz targets that compile the log
// itself: nothing beyond standard error (the Linux program's sink is empty too).
#include "tools/KMiscToolsSystem.h"

namespace kmisc {
void systemLogLine(const char *, size_t) {}
}  // namespace kmisc
