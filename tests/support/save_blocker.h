// Makes every save of one file fail for as long as it lives, with a fault each
// system really has, in its place and in the data folder the saves fall back to:
// on POSIX a file-size limit (a full disk; permissions do not stop root), on
// Windows the file held open without sharing (an antivirus or synchronising
// program). The file's old content stays readable.
#pragma once

#include <string>

#include "tools/KPlatformServices.h"

#ifdef _WIN32
// The engine has a window handle type of its own named HWND.
#define HWND Win32HWND
#include <windows.h>
#undef HWND

class SaveBlocker {
public:
  explicit SaveBlocker(const std::string &path) {
    const std::string name = path.substr(path.find_last_of("/\\") + 1);
    _held[0] = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_ALWAYS, 0, nullptr);
    _held[1] = CreateFileA((kplatform::userDataFolder() + "\\" + name).c_str(), GENERIC_READ, 0,
                           nullptr, CREATE_NEW, FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  }
  ~SaveBlocker() {
    for (HANDLE h : _held)
      if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
  }

private:
  HANDLE _held[2];
};
#else
#include <signal.h>
#include <sys/resource.h>

class SaveBlocker {
public:
  explicit SaveBlocker(const std::string &) {
    getrlimit(RLIMIT_FSIZE, &_old);
    _oldSignal = signal(SIGXFSZ, SIG_IGN);  // a write past the limit fails instead
    rlimit tiny = _old;
    tiny.rlim_cur = 1;
    setrlimit(RLIMIT_FSIZE, &tiny);
  }
  ~SaveBlocker() {
    setrlimit(RLIMIT_FSIZE, &_old);
    signal(SIGXFSZ, _oldSignal);
  }

private:
  rlimit _old{};
  void (*_oldSignal)(int) = nullptr;
};
#endif
