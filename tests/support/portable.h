// The few POSIX calls the shared tests use, in a form both builds have: on
// Windows (MinGW, under Wine) they map to the C runtime's own.
#pragma once

#include <cstdlib>
#include <ctime>
#include <sys/stat.h>

#ifdef _WIN32
#include <direct.h>
#include <process.h>
#include <io.h>
#include <string>
#else
#include <unistd.h>
#endif

// Makes the folder named by a "...XXXXXX" template, in place, as mkdtemp does.
// Windows: the same path on the current drive (under Wine, the Unix /tmp).
inline char *kt_mkdtemp(char *tmpl) {
#ifdef _WIN32
  std::string parent(tmpl);
  parent.resize(parent.find_last_of('/') + 1);
  _mkdir(parent.c_str());  // the temp root itself; already there is fine
  if (!_mktemp(tmpl) || _mkdir(tmpl) != 0) return nullptr;
  return tmpl;
#else
  return mkdtemp(tmpl);
#endif
}

inline int kt_setenv(const char *name, const char *value, int) {
#ifdef _WIN32
  return _putenv_s(name, value);
#else
  return setenv(name, value, 1);
#endif
}

inline int kt_unsetenv(const char *name) {
#ifdef _WIN32
  return _putenv_s(name, "");
#else
  return unsetenv(name);
#endif
}

inline long kt_getpid() {
#ifdef _WIN32
  return _getpid();
#else
  return getpid();
#endif
}

inline int kt_mkdir(const char *path, int mode) {
#ifdef _WIN32
  (void)mode;
  return _mkdir(path);
#else
  return mkdir(path, (mode_t)mode);
#endif
}

// Points the program's documents folder at `path` for one test (empty: back to
// the user's own). Linux: XDG_DOCUMENTS_DIR. Windows: the "Personal" user shell
// folder that SHGetFolderPathA reads (documents_win32.cpp).
#ifdef _WIN32
void kt_setDocumentsFolder(const char *path);
#else
inline void kt_setDocumentsFolder(const char *path) {
  if (path && *path)
    setenv("XDG_DOCUMENTS_DIR", path, 1);
  else
    unsetenv("XDG_DOCUMENTS_DIR");
}
#endif

inline struct tm *kt_localtime_r(const time_t *t, struct tm *out) {
#ifdef _WIN32
  return localtime_s(out, t) == 0 ? out : nullptr;
#else
  return localtime_r(t, out);
#endif
}
