// Close requests of the session on the platform's own services, for a build
// without POSIX signals (Windows): the platform counts them; everything else runs
// on the application thread, inside input polls and frame flips.
#include "app/closeRequest.h"

#include "app/closeAwareSource.h"
#include "app/shell.h"
#include "tools/KPlatformServices.h"
#include "window/KWindow.h"

static bool installed = false;

static CloseAwareSource closeAware;

void installCloseRequestHandlers() {
  if (installed) return;
  kplatform::installCloseRequests();
  closeAware.route();
  installed = true;
}

void removeCloseRequestHandlers() {
  if (!installed) return;
  kplatform::removeCloseRequests();
  closeAware.unroute();
  installed = false;
}

bool closeRequested() { return kplatform::closeRequested(); }

void pollCloseRequest() {
  if (closeRequested() && gameWindow && !gameWindow->isQuit()) gameWindow->terminate();
}
