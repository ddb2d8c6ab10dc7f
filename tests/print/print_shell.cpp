// The shell's globals and services for running the monster builder and its printing
// without the rest of the program; the window and pictures come from the real
// factory. Test thread only.
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

void playMusic(const char *) {}
void flipScreen() { gameWindow->flipBackBuffer(false, true); }
void drawPointer() {}
const char *userFilePath(const char *name) { return name; }

void waitForButtonRelease() {
  if (!gameWindow) return;
  do {
    gameWindow->processEvents();
  } while (KInput::getLeftButtonState() && !gameWindow->isQuit());
}
