// The shell's globals and the services every screen uses, for test programs that
// run screens without the rest of the program: frames go to whatever window the
// test installs as gameWindow, the pointer is not drawn and user files are in the
// documents folder the test set. Each program adds its own playMusic. Test thread only.
#include "app/shell.h"
#include <string>

#include "input/KInput.h"
#include "tools/KMiscTools.h"
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
const char *userFilePath(const char *name) {
  static std::string path;
  const char *folder = KMiscTools::getUserFolder();
  path = std::string(folder ? folder : ".") + "/" + name;
  return path.c_str();
}

void waitForButtonRelease() {
  if (!gameWindow) return;
  do {
    gameWindow->processEvents();
  } while (KInput::getLeftButtonState() && !gameWindow->isQuit());
}
