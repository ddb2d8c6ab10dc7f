// KMiscTools on Windows, the system's half (tools/KMiscTools.cpp has the rest):
// the program folder from GetModuleFileNameA, the documents folder from
// SHGetFolderPathA (created if missing), the year, the performance counter with
// timeGetTime as the fallback, and ShellExecuteA for addresses. Application
// thread only.
#include "tools/KMiscTools.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "platform/win32/KWin32.h"
#include "tools/KMiscToolsSystem.h"

namespace kmisc {

uint32_t systemTicks() { return (uint32_t)timeGetTime(); }

int64_t highFrequencyCount() {
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return now.QuadPart;
}

void systemOpenURL(const char *url, bool maximised) {
  ShellExecuteA(nullptr, "open", url, nullptr, nullptr, maximised ? SW_SHOWMAXIMIZED : SW_SHOWNORMAL);
}

}  // namespace kmisc

void KMiscTools::initMiscTools() {
  char exe[MAX_PATH] = {0};
  const DWORD n = GetModuleFileNameA(nullptr, exe, sizeof exe);
  if (n == 0 || n >= sizeof exe) exe[0] = 0;
  snprintf(currentFilePath, sizeof currentFilePath, "%s", exe);
  // Cut at the last backslash, searching down to the second character: a path
  // whose only backslash is its first character stays whole.
  for (int i = int(strlen(currentFilePath)) - 1; i >= 1; --i) {
    if (currentFilePath[i] == '\\') {
      currentFilePath[i] = 0;
      break;
    }
  }
  initMillisecond();
  getYear();
}

char *KMiscTools::makeFilePath(const char *filename) {
  builtPath[0] = 0;
  if (currentFilePath[0] == 0) initMiscTools();
  if (!filename) filename = "";
  if (filename[0] == '\\' || filename[0] == ':' || filename[0] == '/') ++filename;
  if (filename[0] != 0 && filename[1] == ':')
    snprintf(builtPath, sizeof builtPath, "%s", filename);
  else
    snprintf(builtPath, sizeof builtPath, "%s\\%s", currentFilePath, filename);
  for (char *p = builtPath; *p; ++p)
    if (*p == '/') *p = '\\';
  return builtPath;
}

// On Windows the data folder is always beside the program.
bool KMiscTools::findDataFolder(char *lookedIn, size_t lookedInSize) {
  if (currentFilePath[0] == 0) initMiscTools();
  char folder[MAX_PATH + 8];
  snprintf(folder, sizeof folder, "%s\\data", currentFilePath);
  if (lookedIn && lookedInSize > 0) snprintf(lookedIn, lookedInSize, "%s", folder);
  const DWORD attributes = GetFileAttributesA(folder);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

char *KMiscTools::getUserFolder() {
  if (SUCCEEDED(SHGetFolderPathA(nullptr, CSIDL_PERSONAL | CSIDL_FLAG_CREATE, nullptr,
                                 SHGFP_TYPE_CURRENT, szPath)))
    return szPath;
  snprintf(szPath, sizeof szPath, "%s", makeFilePath(""));
  return szPath;
}

long KMiscTools::getYear() {
  time_t now = time(nullptr);
  const char *text = ctime(&now);  // "Www Mmm dd hh:mm:ss yyyy\n"
  if (!text) return 0;
  const size_t len = strlen(text);
  return len >= 5 ? atol(text + len - 5) : 0;
}

void KMiscTools::initMillisecond() {
  LARGE_INTEGER frequency;
  _HighFreq = QueryPerformanceFrequency(&frequency) && frequency.QuadPart > 0 ? 1 : 0;
  _unitsPerSecond = _HighFreq ? frequency.QuadPart : 0;
}
