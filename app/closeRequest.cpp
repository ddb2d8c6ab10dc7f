// Close requests (see closeRequest.h), written once for every system on the
// platform services. The request hook may run inside a signal handler or on a
// thread of the system's, so it touches only lock-free atomics, the platform's
// monotonic clock and forceQuit; everything else runs on the application thread,
// inside input polls and frame flips, except the emergency save, which the
// platform runs on a thread of its own because the application thread is stuck.
#include "app/closeRequest.h"

#include <atomic>
#include <cstdlib>
#include <exception>

#include "app/closeAwareSource.h"
#include "app/fileio.h"
#include "app/shell.h"
#include "tools/KMiscTools.h"
#include "tools/KPlatformServices.h"
#include "window/KWindow.h"

namespace {

std::atomic<int> requestCount{0};
// When the first request came, in the platform's monotonic milliseconds.
std::atomic<long> firstRequestMs{0};
static_assert(std::atomic<int>::is_always_lock_free && std::atomic<long>::is_always_lock_free,
              "the close request hook may run in a signal handler");
bool installed = false;
CloseAwareSource closeAware;
std::terminate_handler previousTerminate = nullptr;

// How long the orderly quit has before a second request forces the exit.
constexpr long kPatienceMs = 3000;
std::atomic<long (*)()> requestClock{kplatform::monotonicMs};

void onRequest() {
  const long now = requestClock.load()();
  if (requestCount.fetch_add(1) == 0) {
    firstRequestMs = now;
    return;
  }
  // A repeat while the orderly quit still has time is the same request.
  if (now - firstRequestMs.load() >= kPatienceMs) kplatform::forceQuit();
}

// A fault that ends the program (an exception nothing caught) saves first.
[[noreturn]] void onTerminate() {
  runEmergencySaves();
  std::abort();
}

}  // namespace

void setCloseRequestClock(long (*nowMs)()) { requestClock = nowMs ? nowMs : kplatform::monotonicMs; }

void installCloseRequestHandlers() {
  if (installed) return;
  kplatform::CloseHooks hooks;
  hooks.request = onRequest;
  hooks.save = runEmergencySaves;
  kplatform::installCloseRequests(hooks);
  previousTerminate = std::set_terminate(onTerminate);
  closeAware.route();
  KMiscTools::_closeModal = closeRequested;
  installed = true;
}

void removeCloseRequestHandlers() {
  if (!installed) return;
  kplatform::removeCloseRequests();
  std::set_terminate(previousTerminate);
  closeAware.unroute();
  KMiscTools::_closeModal = nullptr;
  requestCount = 0;
  installed = false;
}

bool closeRequested() { return requestCount.load() > 0; }

void pollCloseRequest() {
  if (closeRequested() && gameWindow && !gameWindow->isQuit()) gameWindow->terminate();
}
