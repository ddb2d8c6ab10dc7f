// KLog: up to four log files, opened only in the keep-files-open mode.
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
