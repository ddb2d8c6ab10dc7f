// Close requests of the session on the platform's own services, for a build
// without POSIX signals (Windows): the platform counts them; everything else runs
// on the application thread, inside input polls and frame flips.
#include "app/closeRequest.h"

#include "app/shell.h"
#include "input/KInput.h"
#include "tools/KPlatformServices.h"
#include "window/KWindow.h"

static bool installed = false;

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
  kplatform::installCloseRequests();
  KInputSource *current = KInput::source();
  if (current && current != &closeAware) {
    closeAware.inner = current;
    KInput::setSource(&closeAware);
  }
  installed = true;
}

void removeCloseRequestHandlers() {
  if (!installed) return;
  kplatform::removeCloseRequests();
  if (KInput::source() == &closeAware) KInput::setSource(closeAware.inner);
  closeAware.inner = nullptr;
  installed = false;
}

bool closeRequested() { return kplatform::closeRequested(); }

void pollCloseRequest() {
  if (closeRequested() && gameWindow && !gameWindow->isQuit()) gameWindow->terminate();
}
