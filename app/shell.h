// The shell's globals and services that every screen uses: the one game window,
// the pointer picture, the shared samples, music changes and frame presentation.
// Application thread only (the music stream's worker stays inside KSound).
#pragma once

#include "app/preferences.h"

class KWindow;
class KGraphic;
class KSound;

// Owned by the shell for the whole run; null before start-up and after shutdown.
extern KWindow *gameWindow;
extern KGraphic *surf_mouse;  // the pointer picture each screen draws last
extern KSound *snd_music;     // current background stream, replaced whole on each change
extern KSound *snd_click;     // "data\audio\click.ogg"
extern KSound *snd_grow;      // "data\audio\grow.ogg"
extern KSound *snd_clear;     // "data\audio\clear.ogg", channel volume 50
extern KSound *snd_cloud;     // "data\audio\cloud.ogg"

// Replaces the background music by the Ogg stream `name` (relative to the
// program folder, backslashes allowed) and plays it looping.
void playMusic(const char *name);
// Replaces what playMusic does with the name (null: the stream is played). A run
// without sound (tests, fuzzing) records the changes here.
void setMusicPlayer(void (*player)(const char *name));

// Switches the game window to full screen or back and keeps the preference to
// what the display gave: a full screen that could not be entered is never stored.
void setFullScreenPreference(bool fullscreen);

// Presents the frame without waiting for the window to come back to the front.
void flipScreen();

// Draws surf_mouse at the current pointer position, if it exists.
void drawPointer();

// Full path of a file in the user's documents folder ("pabrix.prf",
// "pabglow.dat", ...). The result lives in a shared buffer until the next call.
const char *userFilePath(const char *fileName);

// Main-menu result codes (doMenu) that the main loop acts on.
enum {
  MENU_NOTHING = 0,
  MENU_PABGLOW = 1,
  MENU_GARDEN = 2,
  MENU_MONSTER = 3,
  MENU_QUIT = 4,
  MENU_OPTIONS = 5,
  MENU_GALLERY = 6,
};

// Pumps window messages until the left button reads as released (or the window
// is closing), so one press never acts twice. Nothing is drawn meanwhile.
void waitForButtonRelease();

// The screens the main loop runs; each returns when its own exit is chosen or
// the window's quit state is set. The program names them (main.cpp), so the shell
// depends on no activity.
struct PabrixScreens {
  void (*pabglow)();
  void (*garden)();
  void (*monster)();
  void (*gallery)();  // may be null: the menu's gallery then does nothing
};

// Start-up, main loop and shutdown; returns the process exit code.
int runPabrix(const PabrixScreens &screens);
