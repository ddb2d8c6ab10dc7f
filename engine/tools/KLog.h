// KLog: up to four log files, opened only in the keep-files-open mode; and
// logTrouble, the one way every module reports trouble.
#pragma once

#include <cstdio>

enum KLogFileType { kLogKeepFilesOpen = 1, kLogOpenAndCloseFiles = 2 };

class KLog {
public:
  explicit KLog(KLogFileType kLogFileType);
  ~KLog();
  KLog(const KLog &) = delete;
  KLog &operator=(const KLog &) = delete;

  bool _logInfo = false;
  FILE *_info = nullptr;
  bool _logError = true;
  FILE *_error = nullptr;
  bool _logFatal = true;
  FILE *_fatal = nullptr;
  bool _logDebug = true;
  FILE *_debug = nullptr;
  KLogFileType _logFileType;
};

// Reports one piece of trouble nobody would otherwise see (a window that could not
// be made, a print job refused, a file kept because it could not be read). The
// subsystem is a short lower-case word ("video", "print", "files"). Goes to the
// sink: by default one line "Pabrix [subsystem]: message" on standard error, also
// written to the error log file when one is open, and on Windows appended to
// %LOCALAPPDATA%\Pabrix\pabrix.log (kmisc::systemLogLine). Any thread (the line is written
// in one piece).
void logTrouble(const char *subsystem, const char *format, ...) __attribute__((format(printf, 2, 3)));

// Where reports go instead of standard error; null restores the default. Returns
// the previous sink. Tests capture reports with it.
typedef void (*KLogSink)(const char *subsystem, const char *message);
KLogSink setLogSink(KLogSink sink);
