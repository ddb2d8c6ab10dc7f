// KLog: in the keep-files-open mode the four log files are created (truncated)
// in the current folder and held until destruction; the other mode opens
// nothing. The objects have no writing operation of their own; logTrouble is the
// program's one report line. One thread per object.
#include "tools/KLog.h"

#include <algorithm>
#include <atomic>
#include <cstdarg>
#include <initializer_list>
#include <mutex>

#include "tools/KMiscToolsSystem.h"

namespace {

std::atomic<KLogSink> gSink{nullptr};
std::mutex gFileLock;
FILE *gErrorFile = nullptr;  // the error file of the open keep-files-open log, if any

void defaultSink(const char *subsystem, const char *message) {
  char line[1200];
  int n = std::snprintf(line, sizeof line, "Pabrix [%s]: %s", subsystem, message);
  size_t len = n < 0 ? 0 : std::min(sizeof line - 2, size_t(n));
  line[len] = '\n';
  // One write: the line arrives whole even when two threads report at once.
  std::fwrite(line, 1, len + 1, stderr);
  std::fflush(stderr);
  kmisc::systemLogLine(line, len);
  std::lock_guard<std::mutex> lock(gFileLock);
  if (gErrorFile) {
    std::fwrite(line, 1, len + 1, gErrorFile);
    std::fflush(gErrorFile);
  }
}

}  // namespace

KLog::KLog(KLogFileType kLogFileType) : _logFileType(kLogFileType) {
  _logInfo = false;
  _logError = _logFatal = _logDebug = true;
  if (_logFileType == kLogKeepFilesOpen) {
    _info = fopen("infos.log", "w");
    _error = fopen("errors.log", "w");
    _fatal = fopen("fatals.log", "w");
    _debug = fopen("debug.log", "w");
    std::lock_guard<std::mutex> lock(gFileLock);
    gErrorFile = _error;
  }
}

KLog::~KLog() {
  {
    std::lock_guard<std::mutex> lock(gFileLock);
    if (gErrorFile == _error) gErrorFile = nullptr;
  }
  // A file that failed to open is null; close only what exists.
  for (FILE **f : {&_info, &_error, &_fatal, &_debug}) {
    if (*f) fclose(*f);
    *f = nullptr;
  }
}

void logTrouble(const char *subsystem, const char *format, ...) {
  char message[1024];
  va_list args;
  va_start(args, format);
  if (std::vsnprintf(message, sizeof message, format ? format : "", args) < 0) message[0] = '\0';
  va_end(args);
  KLogSink sink = gSink.load();
  (sink ? sink : defaultSink)(subsystem ? subsystem : "engine", message);
}

KLogSink setLogSink(KLogSink sink) { return gSink.exchange(sink); }
