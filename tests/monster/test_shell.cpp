// The shell's globals and services for running the activities alone: pictures
// come from the recording factory, the window is whatever the test installs.
// Test thread only.
#include "activities/printMonster.h"
#include "app/shell.h"
#include "monster/activity_fakes.h"
#include "window/KQMX.h"

KWindow *gameWindow = nullptr;
KGraphic *surf_mouse = nullptr;
KSound *snd_music = nullptr;
KSound *snd_click = nullptr;
KSound *snd_grow = nullptr;
KSound *snd_clear = nullptr;
KSound *snd_cloud = nullptr;
sPreferences preferences;

int printMonsterCalls = 0;
std::string lastMusic;

void printMonster() { printMonsterCalls++; }
void playMusic(const char *name) { lastMusic = name; }
void flipScreen() { gameWindow->flipBackBuffer(false, true); }
void drawPointer() {}
const char *userFilePath(const char *name) { return name; }

void waitForButtonRelease() {
  if (!gameWindow) return;
  do {
    gameWindow->processEvents();
  } while (KInput::getLeftButtonState() && !gameWindow->isQuit());
}

Erenderer KQMX::_renderer = K_DIRECTX;
KWindow *KQMX::createKWindow(Erenderer, bool) { return new FakeWindow(); }
KGraphic *KQMX::createKGraphic() { return new RecordingGraphic(); }
