// The main menu: background, three bobbing activity buttons, the gallery's
// button (or G), and the options and quit areas, drawn one frame per doMenu call. Application thread only.
#pragma once

#include <vector>

class KGraphic;

struct sGameButton {
  KGraphic *surf_gamebt;    // normal picture; its size is the hit rectangle
  KGraphic *surf_gamebton;  // shown while the pointer is over the button
  long posx, posy;          // resting top-left position
  float speedx, speedy;     // unused by the menu
};

extern KGraphic *surf_menu;
extern sGameButton gamebuttons[3];
extern float sine;  // bobbing phase in radians, kept across frames and reloads

// The data names of the pictures initMenu loads, in the order it loads them.
std::vector<const char *> menuPictureFiles();
// initMenu also withdraws the quit area's question.
void initMenu();
void freeMenu();
// One frame; the code of what was chosen (MENU_...). The quit area answers
// MENU_QUIT only to a second press within three seconds of the first.
long doMenu();
