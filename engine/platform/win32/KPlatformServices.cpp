// kplatform services on Windows: console and session close events, crash-safe
// file replacement, whole writes to a C runtime file, thread priority.
#include "tools/KPlatformServices.h"

#include <io.h>

#include <algorithm>
#include <atomic>
#include <string>

#include "platform/win32/KWin32.h"

namespace {

std::atomic<int> requestCount{0};
bool installed = false;

// Ctrl+C, Ctrl+Break, the console closing, logoff and shutdown. Runs on a thread
// of the system's; only the counter is touched. Returning TRUE for the first
// request keeps the process alive until the screens have saved; a second one
// is left to the system's default, which ends the process.
BOOL WINAPI onConsoleEvent(DWORD) {
  if (requestCount.fetch_add(1) > 0) return FALSE;
  return TRUE;
}

}  // namespace

namespace kplatform {

void installCloseRequests() {
  if (installed) return;
  SetConsoleCtrlHandler(onConsoleEvent, TRUE);
  installed = true;
}

void removeCloseRequests() {
  if (!installed) return;
  SetConsoleCtrlHandler(onConsoleEvent, FALSE);
  requestCount = 0;
  installed = false;
}

bool closeRequested() { return requestCount.load() > 0; }

// A plain rename fails over an existing file here. The new content goes to a
// temporary file, is flushed, and then takes the old file's place: ReplaceFileA
// when there is one (it keeps its attributes and is a single step), else
// MoveFileExA, written through before it returns.
bool replaceFileWhole(const char *name, const void *data, size_t size) {
  if (!name || !*name) return false;
  // ReplaceFileA wants the system's separators (a slash gives ERROR_DIRECTORY).
  std::string path(name);
  std::replace(path.begin(), path.end(), '/', '\\');
  const std::string tmp = path + ".tmp" + std::to_string(GetCurrentProcessId());
  HANDLE f = CreateFileA(tmp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (f == INVALID_HANDLE_VALUE) return false;
  bool ok = true;
  const auto *p = static_cast<const unsigned char *>(data);
  while (ok && size > 0) {
    const DWORD chunk = size > 0x40000000u ? 0x40000000u : (DWORD)size;
    DWORD written = 0;
    ok = WriteFile(f, p, chunk, &written, nullptr) && written == chunk;
    p += written;
    size -= written;
  }
  // The data must be on the disk before the file takes the old one's place.
  if (ok && !FlushFileBuffers(f)) ok = false;
  if (!CloseHandle(f)) ok = false;
  if (ok) {
    const bool exists = GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
    if (exists)
      ok = ReplaceFileA(path.c_str(), tmp.c_str(), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS,
                        nullptr, nullptr) != 0;
    else
      ok = MoveFileExA(tmp.c_str(), path.c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
  }
  if (!ok) DeleteFileA(tmp.c_str());
  return ok;
}

// _write takes an unsigned count: at most a gigabyte a call.
bool writeAll(int fd, const void *data, size_t size) {
  const auto *p = static_cast<const unsigned char *>(data);
  while (size > 0) {
    const unsigned chunk = size > 0x40000000u ? 0x40000000u : (unsigned)size;
    const int n = _write(fd, p, chunk);
    if (n <= 0) return false;
    p += n;
    size -= (size_t)n;
  }
  return true;
}

FILE *openRegularFile(const char *name) {
  if (!name) return nullptr;
  const DWORD attributes = GetFileAttributesA(name);
  if (attributes == INVALID_FILE_ATTRIBUTES ||
      (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)))
    return nullptr;
  FILE *f = fopen(name, "rb");
  if (f && GetFileType((HANDLE)_get_osfhandle(_fileno(f))) != FILE_TYPE_DISK) {
    fclose(f);  // a device name such as CON or NUL
    return nullptr;
  }
  return f;
}

unsigned long currentThreadId() { return GetCurrentThreadId(); }

void raiseThreadPriority(unsigned long threadId) {
  HANDLE t = OpenThread(THREAD_SET_INFORMATION | THREAD_QUERY_INFORMATION, FALSE, threadId);
  if (!t) return;
  SetThreadPriority(t, THREAD_PRIORITY_ABOVE_NORMAL);
  CloseHandle(t);
}

}  // namespace kplatform
