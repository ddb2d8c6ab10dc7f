// KLog: in the keep-files-open mode the four log files are created (truncated)
// in the current folder and held until destruction; the other mode opens
// nothing. There is no writing operation. One thread per object.
#include "tools/KLog.h"

#include <initializer_list>

KLog::KLog(KLogFileType kLogFileType) : _logFileType(kLogFileType) {
  _logInfo = false;
  _logError = _logFatal = _logDebug = true;
  if (_logFileType == kLogKeepFilesOpen) {
    _info = fopen("infos.log", "w");
    _error = fopen("errors.log", "w");
    _fatal = fopen("fatals.log", "w");
    _debug = fopen("debug.log", "w");
  }
}

KLog::~KLog() {
  // A file that failed to open is null; close only what exists.
  for (FILE **f : {&_info, &_error, &_fatal, &_debug}) {
    if (*f) fclose(*f);
    *f = nullptr;
  }
}
