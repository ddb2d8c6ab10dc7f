// Close requests from signals (see closeRequest.h). The signal handler touches
// only sig_atomic_t values, the monotonic clock, a pipe and the previous
// handler; everything else runs on the application thread, inside input polls
// and frame flips, except the emergency save, which has a thread of its own
// waiting on the pipe because the application thread is then stuck.
#include "app/closeRequest.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <atomic>
#include <csignal>
#include <ctime>
#include <thread>

#include "app/closeAwareSource.h"
#include "app/fileio.h"
#include "app/shell.h"
#include "tools/KLog.h"
#include "tools/KMiscTools.h"
#include "window/KWindow.h"

static volatile std::sig_atomic_t requestCount = 0;
// When the first request came, in monotonic milliseconds (lock-free, so the
// handler may use it).
static std::atomic<long> firstRequestMs{0};
static_assert(std::atomic<long>::is_always_lock_free, "the signal handler needs a lock-free clock");
static struct sigaction previousTerm, previousInt;
static bool installed = false;
static int emergencyPipe[2] = {-1, -1};
static std::thread emergencyThread;

// How long the orderly quit has before a second signal forces the exit.
constexpr long kPatienceMs = 3000;

static long monotonicMs() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);  // async-signal-safe
  return long(ts.tv_sec) * 1000 + long(ts.tv_nsec / 1000000);
}

static void chain(int sig, const struct sigaction &prev, siginfo_t *info, void *ctx) {
  if (prev.sa_flags & SA_SIGINFO) {
    if (prev.sa_sigaction) prev.sa_sigaction(sig, info, ctx);
  } else if (prev.sa_handler != SIG_DFL && prev.sa_handler != SIG_IGN && prev.sa_handler) {
    prev.sa_handler(sig);
  }
}

static void onSignal(int sig, siginfo_t *info, void *ctx) {
  if (requestCount == 0) {
    firstRequestMs = monotonicMs();
    requestCount = 1;
    chain(sig, sig == SIGTERM ? previousTerm : previousInt, info, ctx);
    return;
  }
  // A repeat while the orderly quit still has time is the same request.
  if (monotonicMs() - firstRequestMs.load() < kPatienceMs) return;
  const char force = 'f';
  if (emergencyPipe[1] >= 0 && write(emergencyPipe[1], &force, 1) == 1) return;
  // No saving thread: leave as the signal would have made us.
  std::signal(sig, SIG_DFL);
  std::raise(sig);
}

// Waits for the handler's word: 'f' saves what it can and ends the process,
// 'q' ends the thread (the handlers are being removed).
static void emergencyLoop(int fd) {
  char word = 0;
  for (;;) {
    ssize_t n = read(fd, &word, 1);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0 || word == 'q') return;
    if (word == 'f') {
      logTrouble("quit", "asked again to quit and still running after %ld s: saving and leaving now",
                 kPatienceMs / 1000);
      const bool saved = runEmergencySaves();
      _exit(saved ? 0 : 1);
    }
  }
}

static CloseAwareSource closeAware;

void installCloseRequestHandlers() {
  if (installed) return;
  if (pipe2(emergencyPipe, O_CLOEXEC) == 0) {
    emergencyThread = std::thread(emergencyLoop, emergencyPipe[0]);
  } else {
    emergencyPipe[0] = emergencyPipe[1] = -1;
  }
  struct sigaction sa {};
  sa.sa_sigaction = onSignal;
  sa.sa_flags = SA_SIGINFO | SA_RESTART;
  sigemptyset(&sa.sa_mask);
  sigaction(SIGTERM, &sa, &previousTerm);
  sigaction(SIGINT, &sa, &previousInt);
  closeAware.route();
  KMiscTools::_closeModal = closeRequested;
  installed = true;
}

void removeCloseRequestHandlers() {
  if (!installed) return;
  sigaction(SIGTERM, &previousTerm, nullptr);
  sigaction(SIGINT, &previousInt, nullptr);
  closeAware.unroute();
  KMiscTools::_closeModal = nullptr;
  if (emergencyThread.joinable()) {
    const char quit = 'q';
    if (write(emergencyPipe[1], &quit, 1) == 1) emergencyThread.join();
    else emergencyThread.detach();
  }
  for (int &fd : emergencyPipe) {
    if (fd >= 0) close(fd);
    fd = -1;
  }
  requestCount = 0;
  installed = false;
}

bool closeRequested() { return requestCount > 0; }

void pollCloseRequest() {
  if (closeRequested() && gameWindow && !gameWindow->isQuit()) gameWindow->terminate();
}
