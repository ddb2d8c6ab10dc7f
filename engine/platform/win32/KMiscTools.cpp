// KMiscTools on Windows: the program folder from GetModuleFileNameA, the
// documents folder from SHGetFolderPathA (created if missing), MessageBoxA over
// the foreground window, the performance counter with timeGetTime as the
// fallback, and ShellExecuteA on a detached thread for addresses. Application
// thread only, except the browser thread of launchURL, which touches only its
// own record.
#include "tools/KMiscTools.h"

#include "platform/KPlatform.h"
#include "tools/KLog.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <thread>

#include "platform/win32/KWin32.h"

char KMiscTools::currentFilePath[260] = {0};
char KMiscTools::builtPath[260] = {0};
char KMiscTools::szPath[260] = {0};
int KMiscTools::_HighFreq = 0;
int64_t KMiscTools::_unitsPerSecond = 0;
int64_t KMiscTools::tstart = 0;
int64_t KMiscTools::tnow = 0;
KLog KMiscTools::_kLog(kLogOpenAndCloseFiles);

namespace {

uint32_t platformTicks() { return (uint32_t)timeGetTime(); }

struct URLParms {
  char url[2048];
  bool maximised;
};

void openWithShell(const char *url, bool maximised) {
  ShellExecuteA(nullptr, "open", url, nullptr, nullptr, maximised ? SW_SHOWMAXIMIZED : SW_SHOWNORMAL);
}

}  // namespace

uint32_t (*KMiscTools::_tickSource)() = platformTicks;
void (*KMiscTools::_urlOpener)(const char *, bool) = openWithShell;

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

bool (*KMiscTools::_closeModal)() = nullptr;
void (*KMiscTools::_modalClosed)() = nullptr;

void KMiscTools::messageBox(const char *title, const char *text) {
  if (!title) title = "";
  if (!text) text = "";
  // Already asked to quit: nobody would answer the box.
  bool closedEarly = false;
  if (!(_closeModal && _closeModal()) &&
      KPlatform::messageBox(title, text, _closeModal, &closedEarly)) {
    if (_modalClosed) _modalClosed();
    if (!closedEarly) return;
  }
  logTrouble("message", "%s: %s", title, text);
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

unsigned long KMiscTools::getMilliseconds() {
  if (_HighFreq && _unitsPerSecond > 0) {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    tnow = now.QuadPart;
    // Split so the ×1000 cannot overflow on a fast counter.
    const int64_t d = tnow - tstart;
    const int64_t ms = (d / _unitsPerSecond) * 1000 + (d % _unitsPerSecond) * 1000 / _unitsPerSecond;
    return uint32_t(ms);
  }
  const uint32_t tick = _tickSource ? _tickSource() : platformTicks();
  const uint32_t start = uint32_t(tstart);
  if (tick < start) return uint32_t((0xFFFFFFFFu - start) + tick);
  return uint32_t(tick - start);
}

void KMiscTools::launchURL(char *url, bool maximised) {
  if (!url) return;
  URLParms *parms = new URLParms();
  snprintf(parms->url, 2047, "%s", url);
  parms->maximised = maximised;
  void (*opener)(const char *, bool) = _urlOpener ? _urlOpener : openWithShell;
  // The thread owns the record and frees it; it touches nothing else.
  std::thread([parms, opener] {
    opener(parms->url, parms->maximised);
    delete parms;
  }).detach();
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
}
