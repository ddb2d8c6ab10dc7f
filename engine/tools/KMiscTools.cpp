// KMiscTools, the half every system shares: the message box and its early close,
// the millisecond clock's arithmetic, and opening an address on a thread of its
// own. The system's half (the program and documents folders, the year, the
// clock's source, the desktop's address opener) is
// engine/platform/<system>/KMiscTools.cpp. Application thread only, except the
// detached browser thread of launchURL, which touches only its own record.
#include "tools/KMiscTools.h"

#include <chrono>
#include <cstdio>
#include <thread>

#include "platform/KPlatform.h"
#include "tools/KMiscToolsSystem.h"

char KMiscTools::currentFilePath[260] = {0};
char KMiscTools::builtPath[260] = {0};
char KMiscTools::szPath[260] = {0};
int KMiscTools::_HighFreq = 0;
int64_t KMiscTools::_unitsPerSecond = 0;
int64_t KMiscTools::tstart = 0;
int64_t KMiscTools::tnow = 0;
KLog KMiscTools::_kLog(kLogOpenAndCloseFiles);
uint32_t (*KMiscTools::_tickSource)() = kmisc::systemTicks;
void (*KMiscTools::_urlOpener)(const char *, bool) = kmisc::systemOpenURL;
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

unsigned long KMiscTools::getMilliseconds() {
  if (_HighFreq && _unitsPerSecond > 0) {
    tnow = kmisc::highFrequencyCount();
    // Split so the ×1000 cannot overflow on a fast counter.
    const int64_t d = tnow - tstart;
    const int64_t ms = (d / _unitsPerSecond) * 1000 + (d % _unitsPerSecond) * 1000 / _unitsPerSecond;
    return uint32_t(ms);
  }
  const uint32_t tick = _tickSource ? _tickSource() : kmisc::systemTicks();
  const uint32_t start = uint32_t(tstart);
  if (tick < start) return uint32_t((0xFFFFFFFFu - start) + tick);
  return uint32_t(tick - start);
}

namespace {
struct URLParms {
  char url[2048];
  bool maximised;
};
}  // namespace

void KMiscTools::launchURL(char *url, bool maximised) {
  if (!url) return;
  URLParms *parms = new URLParms();
  snprintf(parms->url, 2047, "%s", url);
  parms->maximised = maximised;
  void (*opener)(const char *, bool) = _urlOpener ? _urlOpener : kmisc::systemOpenURL;
  // The thread owns the record and frees it; it touches nothing else.
  std::thread([parms, opener] {
    opener(parms->url, parms->maximised);
    delete parms;
  }).detach();
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
}
