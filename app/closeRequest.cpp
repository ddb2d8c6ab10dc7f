// Close requests from signals (see closeRequest.h). The signal handler touches
// only a sig_atomic_t and the previous handler; everything else runs on the
// application thread, inside input polls and frame flips.
#include "app/closeRequest.h"

#include <csignal>

#include "app/shell.h"
#include "input/KInput.h"
#include "window/KWindow.h"

static volatile std::sig_atomic_t requestCount = 0;
static struct sigaction previousTerm, previousInt;
static bool installed = false;

static void chain(int sig, const struct sigaction &prev, siginfo_t *info, void *ctx) {
  if (prev.sa_flags & SA_SIGINFO) {
    if (prev.sa_sigaction) prev.sa_sigaction(sig, info, ctx);
  } else if (prev.sa_handler != SIG_DFL && prev.sa_handler != SIG_IGN && prev.sa_handler) {
    prev.sa_handler(sig);
  }
}

static void onSignal(int sig, siginfo_t *info, void *ctx) {
  if (requestCount > 0) {
    // Asked twice: the user wants out even if a screen does not respond.
    std::signal(sig, SIG_DFL);
    std::raise(sig);
    return;
  }
  requestCount = requestCount + 1;
  chain(sig, sig == SIGTERM ? previousTerm : previousInt, info, ctx);
}

// Every screen polls input and flips frames, so routing the input source
// through the check reaches every frame loop and every wait for a release.
namespace {
class CloseAwareSource : public KInputSource {
public:
  KInputSource *inner = nullptr;
  void pointerPosition(int &x, int &y) override { inner->pointerPosition(x, y); }
  bool leftButtonDown() override {
    pollCloseRequest();
    // A window that is closing has no button held: waits for a release end.
    return !closeRequested() && inner->leftButtonDown();
  }
  unsigned long leftButtonPresses() override { return inner->leftButtonPresses(); }
  bool keyDown(uint16_t virtualKey) override { return inner->keyDown(virtualKey); }
  void setSystemPointerVisible(bool visible) override { inner->setSystemPointerVisible(visible); }
  void frameFlipped() override {
    inner->frameFlipped();
    pollCloseRequest();
  }
};
CloseAwareSource closeAware;
}  // namespace

void installCloseRequestHandlers() {
  if (installed) return;
  struct sigaction sa {};
  sa.sa_sigaction = onSignal;
  sa.sa_flags = SA_SIGINFO | SA_RESTART;
  sigemptyset(&sa.sa_mask);
  sigaction(SIGTERM, &sa, &previousTerm);
  sigaction(SIGINT, &sa, &previousInt);
  KInputSource *current = KInput::source();
  if (current && current != &closeAware) {
    closeAware.inner = current;
    KInput::setSource(&closeAware);
  }
  installed = true;
}

void removeCloseRequestHandlers() {
  if (!installed) return;
  sigaction(SIGTERM, &previousTerm, nullptr);
  sigaction(SIGINT, &previousInt, nullptr);
  if (KInput::source() == &closeAware) KInput::setSource(closeAware.inner);
  closeAware.inner = nullptr;
  requestCount = 0;
  installed = false;
}

bool closeRequested() { return requestCount > 0; }

void pollCloseRequest() {
  if (closeRequested() && gameWindow && !gameWindow->isQuit()) gameWindow->terminate();
}
