// The shell: shared globals, music changes, frame presentation, and the start-up,
// main loop and shutdown sequence. Application thread only; the current music
// stream's worker is owned by its KSound and stopped when that is destroyed.
#include "app/shell.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "app/closeRequest.h"
#include "app/fileio.h"
#include "app/menu.h"
#include "app/preferences.h"
#include "graphic/KGraphic.h"
#include "graphic/KPictureAhead.h"
#include "input/KInput.h"
#include "sound/KSound.h"
#include "tools/KMiscTools.h"
#include "tools/KPlatformServices.h"
#include "window/KQMX.h"
#include "window/KWindow.h"

KWindow *gameWindow = nullptr;
KGraphic *surf_mouse = nullptr;
KSound *snd_music = nullptr;
KSound *snd_click = nullptr;
KSound *snd_grow = nullptr;
KSound *snd_clear = nullptr;
KSound *snd_cloud = nullptr;

static void (*gMusicPlayer)(const char *) = nullptr;

void setMusicPlayer(void (*player)(const char *name)) { gMusicPlayer = player; }

void playMusic(const char *name) {
  if (gMusicPlayer) {
    gMusicPlayer(name);
    return;
  }
  // The old stream goes first: its destructor stops the worker that refills it.
  if (snd_music) {
    delete snd_music;
    snd_music = nullptr;
  }
  snd_music = new KSound();
  snd_music->loadStream(KMiscTools::makeFilePath(name));
  snd_music->playStream(true);
}

void setFullScreenPreference(bool fullscreen) {
  if (!gameWindow) return;
  gameWindow->toggleFullScreen(fullscreen);
  preferences.fullscreen = gameWindow->isFullScreen() ? 1 : 0;
}

void flipScreen() {
  if (gameWindow) gameWindow->flipBackBuffer(false, true);
}

void drawPointer() {
  if (!surf_mouse) return;
  surf_mouse->blitAlphaRect(0, 0, surf_mouse->getWidth(), surf_mouse->getHeight(),
                            KInput::getMouseX(), KInput::getMouseY(), false, false);
}

const char *userFilePath(const char *fileName) {
  static char path[1024];
  const char *folder = KMiscTools::getUserFolder();
  if (!folder) folder = "";
  size_t len = std::strlen(folder);
  bool hasSeparator = len > 0 && (folder[len - 1] == '/' || folder[len - 1] == '\\');
  std::snprintf(path, sizeof path, "%s%s%s", folder, hasSeparator || len == 0 ? "" : "/",
                fileName);
  // An absolute path (from the root, or from a drive) is used as it is:
  // makeFilePath would cut a long one short and so name another file. Anything
  // else is resolved against the program folder.
  const bool absolute = path[0] == '/' || path[0] == '\\' ||
                        (std::isalpha((unsigned char)path[0]) && path[1] == ':');
  if (!absolute) std::snprintf(path, sizeof path, "%s", KMiscTools::makeFilePath(path));
  return path;
}

static KSound *loadSharedSample(const char *name) {
  KSound *s = new KSound();
  s->loadSample(KMiscTools::makeFilePath(name), 100, false, 1);
  return s;
}

template <class T>
static void destroy(T *&p) {
  if (p) {
    delete p;
    p = nullptr;
  }
}

// Without its data the program would open a blank window with no sound: say
// once where it looked instead, so whoever installed it knows what to fix.
static bool dataFolderFound() {
  char lookedIn[600];
  if (KMiscTools::findDataFolder(lookedIn, sizeof lookedIn)) return true;
  char text[900];
  std::snprintf(text, sizeof text,
                "Pabrix cannot find its pictures and sounds.\n\n"
                "It looked for its data folder here:\n%s\n\n"
                "Installing Pabrix again puts the data folder back.",
                lookedIn);
  KMiscTools::messageBox("Pabrix", text);
  return false;
}

static const char *const kPointerFile = "data\\gfx\\mouse.tga";

// The files of the pictures loaded before the first frame, as they will be read.
static std::vector<std::string> firstScreenPictures() {
  std::vector<std::string> paths = {KMiscTools::makeFilePath(kPointerFile)};
  for (const char *name : menuPictureFiles()) paths.push_back(KMiscTools::makeFilePath(name));
  return paths;
}

static bool startUp() {
  KMiscTools::initMiscTools();
  if (!dataFolderFound()) return false;
  // A save killed half-way leaves its temporary file beside the real one (the
  // camera's pictures go to the "Pabrix" folder in the documents folder).
  for (const char *name : {"pabrix.prf", "pabglow.dat", "mistermon.dat"})
    removeStaleTemporaries(userFilePath(name));
  removeStalePictureTemporaries(userFilePath("Pabrix"));
  loadPrefs();
  // The first screen's pictures are decoded while the window opens; what the
  // worker has not reached when they are loaded is read there as usual.
  KPictureAhead ahead(firstScreenPictures());
  setEmergencySave(kEmergencyPreferences, savePrefs);
  // The click that closed a message box or the print dialog is not a click in the game.
  KMiscTools::_modalClosed = KInput::ignoreHeldButton;
  gameWindow = KQMX::createKWindow(K_DIRECTX, false);
  if (!gameWindow) {
    // Only a build without any renderer gets here; there is nothing to show.
    logTrouble("video", "no renderer is available");
    return false;
  }
  gameWindow->createGameWindow(640, 480, -1, preferences.fullscreen == 0, "Pabrix");
  // A display without the full-screen mode gave a window: start there next time too.
  if (!gameWindow->isFullScreen()) preferences.fullscreen = 0;
  installCloseRequestHandlers();
  // A button held since before the start (a press still going on, or one whose
  // release went elsewhere) is not a click on the first screen. After the input
  // is routed through the close check: a new source starts a new input state.
  KInput::ignoreHeldButton();
  KInput::hidePointer();
  surf_mouse = KQMX::createKGraphic();
  if (surf_mouse) surf_mouse->loadPicture(KMiscTools::makeFilePath(kPointerFile), true, true);
  KInput::hidePointer();
  initMenu();
  return true;
}

// The shared effects and the menu's music. Decoding them takes longer than
// drawing a frame, so the main loop loads them once the first menu frame is on
// the screen; the music then starts with the next frame.
static void startSounds() {
  if (snd_click) return;
  snd_grow = loadSharedSample("data\\audio\\grow.ogg");
  snd_click = loadSharedSample("data\\audio\\click.ogg");
  snd_clear = loadSharedSample("data\\audio\\clear.ogg");
  snd_clear->setVolume(50);
  snd_cloud = loadSharedSample("data\\audio\\cloud.ogg");
  playMusic("data\\audio\\musicintro.ogg");
}

// Leaves the menu for a screen and comes back to it: the menu's pictures are
// freed while the screen runs so only one screen's pictures are loaded.
static void runScreen(void (*screen)(), const char *music) {
  snd_click->playSample();
  freeMenu();
  if (music) playMusic(music);
  screen();
  // The press that left the screen must not choose again on the menu.
  KInput::ignoreHeldButton();
  initMenu();
  playMusic("data\\audio\\musicintro.ogg");
}

static void runOptions() { doOptions(); }

static void mainLoop(const PabrixScreens &screens) {
  while (!gameWindow->isQuit()) {
    gameWindow->setDefaultWorldView();
    long code = doMenu();
    // A choice on the very first frame comes before the sounds are there.
    if (code != MENU_NOTHING) startSounds();
    switch (code) {
      case MENU_PABGLOW:
        runScreen(screens.pabglow, "data\\audio\\game2.ogg");
        break;
      case MENU_GARDEN:
        runScreen(screens.garden, nullptr);  // the garden starts its own music
        break;
      case MENU_MONSTER:
        runScreen(screens.monster, "data\\audio\\game3.ogg");
        break;
      case MENU_GALLERY:
        if (screens.gallery) runScreen(screens.gallery, nullptr);  // the menu's music goes on
        break;
      case MENU_QUIT:
        gameWindow->terminate();
        break;
      case MENU_OPTIONS:
        snd_click->playSample();
        freeMenu();
        runOptions();
        KInput::ignoreHeldButton();
        initMenu();
        break;
      default:
        break;
    }
    drawPointer();
    // Display-mode hot keys; they leave the stored preference alone.
    if (KInput::isPressed(K_VK_W) && KInput::isPressed(K_VK_L_SHIFT))
      gameWindow->toggleFullScreen(false);
    if (KInput::isPressed(K_VK_F) && KInput::isPressed(K_VK_L_SHIFT))
      gameWindow->toggleFullScreen(true);
    gameWindow->flipBackBuffer(true, true);
    startSounds();
  }
}

static void shutDown() {
  KInput::showPointer();
  savePrefs();
  destroy(snd_click);
  destroy(snd_music);
  destroy(surf_mouse);
  destroy(snd_cloud);
  destroy(snd_clear);
  destroy(snd_grow);
  freeMenu();
  removeCloseRequestHandlers();
  setEmergencySave(kEmergencyPreferences, nullptr);
  KMiscTools::_modalClosed = nullptr;
  destroy(gameWindow);
}

void waitForButtonRelease() {
  if (!gameWindow) return;
  // A closing window ends the wait too: its release may never be reported.
  do {
    gameWindow->processEvents();
  } while (KInput::getLeftButtonState() && !gameWindow->isQuit());
}

int runPabrix(const PabrixScreens &screens) {
  // A second start (a double-clicked icon) brings the running program to the
  // front and leaves before it touches a file the first one is saving.
  if (!kplatform::claimSingleInstance()) return 0;
  if (!startUp()) return 1;
  mainLoop(screens);
  shutDown();
  return 0;
}
