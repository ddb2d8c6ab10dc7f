// The trouble log on Windows: a program without a console shows nothing on
// standard error, so each report line is also appended, with the local time, to
// %LOCALAPPDATA%\Pabrix\pabrix.log. The file stays under kLogCap bytes: a line
// that would pass it moves the file to pabrix.old.log (replacing the older one)
// and starts a new one. Any thread (one lock).
#include <cstdio>
#include <cstring>
#include <mutex>

#include "tools/KMiscToolsSystem.h"

#include "platform/win32/KWin32.h"

namespace {

constexpr LONGLONG kLogCap = 256 * 1024;
std::mutex gLogLock;

// The folder made when missing; "" when the system names none.
void findLogPath(char *path, char *old, size_t size) {
  path[0] = old[0] = 0;
  char base[MAX_PATH] = {0};
  if (FAILED(SHGetFolderPathA(nullptr, CSIDL_LOCAL_APPDATA | CSIDL_FLAG_CREATE, nullptr, 0, base)))
    return;
  char folder[MAX_PATH + 16];
  std::snprintf(folder, sizeof folder, "%s\\Pabrix", base);
  CreateDirectoryA(folder, nullptr);
  std::snprintf(path, size, "%s\\pabrix.log", folder);
  std::snprintf(old, size, "%s\\pabrix.old.log", folder);
}

const char *logPath(bool old) {
  static char path[MAX_PATH + 32], oldPath[MAX_PATH + 32];
  static bool found = false;
  if (!found) findLogPath(path, oldPath, sizeof path);
  found = true;
  return old ? oldPath : path;
}

HANDLE openForAppend(const char *path) {
  return CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                     nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
}

// The file ready for `length` more bytes within the cap.
HANDLE openWithRoom(size_t length) {
  HANDLE f = openForAppend(logPath(false));
  LARGE_INTEGER size{};
  if (f == INVALID_HANDLE_VALUE || !GetFileSizeEx(f, &size) ||
      size.QuadPart + (LONGLONG)length <= kLogCap)
    return f;
  CloseHandle(f);
  MoveFileExA(logPath(false), logPath(true), MOVEFILE_REPLACE_EXISTING);
  return openForAppend(logPath(false));
}

}  // namespace

namespace kmisc {

const char *systemLogPath() {
  std::lock_guard<std::mutex> lock(gLogLock);
  return logPath(false);
}

void systemLogLine(const char *line, size_t length) {
  std::lock_guard<std::mutex> lock(gLogLock);
  if (!logPath(false)[0]) return;
  SYSTEMTIME t;
  GetLocalTime(&t);
  char text[1400];
  int n = std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u %.*s\r\n", t.wYear,
                        t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond, (int)length, line);
  if (n <= 0) return;
  if ((size_t)n >= sizeof text) n = (int)sizeof text - 1;
  HANDLE f = openWithRoom((size_t)n);
  if (f == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  WriteFile(f, text, (DWORD)n, &written, nullptr);
  CloseHandle(f);
}

}  // namespace kmisc
