// The shell's globals and the services every screen uses, for test programs that
// run screens without the rest of the program: frames go to whatever window the
// test installs as gameWindow, the pointer is not drawn and user files are named
// as given. Each program adds its own playMusic. Test thread only.
#include "app/shell.h"
#include "input/KInput.h"
#include "window/KWindow.h"

KWindow *gameWindow = nullptr;
KGraphic *surf_mouse = nullptr;
KSound *snd_music = nullptr;
KSound *snd_click = nullptr;
KSound *snd_grow = nullptr;
KSound *snd_clear = nullptr;
KSound *snd_cloud = nullptr;
sPreferences preferences;

void flipScreen() { gameWindow->flipBackBuffer(false, true); }
void drawPointer() {}
const char *userFilePath(const char *name) { return name; }

void waitForButtonRelease() {
  if (!gameWindow) return;
  do {
    gameWindow->processEvents();
  } while (KInput::getLeftButtonState() && !gameWindow->isQuit());
}
