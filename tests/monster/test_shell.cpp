// The rest of the shell for running the activities alone (the shared globals
// and services are in support/shell_standin.cpp): printing and music are
// recorded, pictures come from the recording factory and the window is whatever
// the test installs. Test thread only.
#include "activities/printMonster.h"
#include "app/shell.h"
#include "monster/activity_fakes.h"
#include "window/KQMX.h"

int printMonsterCalls = 0;
std::string lastMusic;

int snapshotCalls = 0;

void printMonster() { printMonsterCalls++; }
// A 2 x 1 picture stands for the monster and for the screen.
bool monsterPicture(sSnapshot &out) {
  snapshotCalls++;
  out.pixels = {0xFF0000FFu, 0xFFFFFFFFu};
  out.width = 2, out.height = 1;
  return true;
}
bool screenSnapshot(sSnapshot &out) { return monsterPicture(out); }
void playMusic(const char *name) { lastMusic = name; }

Erenderer KQMX::_renderer = K_DIRECTX;
KWindow *KQMX::createKWindow(Erenderer, bool) { return new FakeWindow(); }
KGraphic *KQMX::createKGraphic() { return new RecordingGraphic(); }
