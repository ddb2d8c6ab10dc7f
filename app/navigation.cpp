// The home button, the undo keys and the screens' clock. Application thread only.
#include "app/navigation.h"

#include "graphic/KGraphic.h"
#include "input/KInput.h"
#include "tools/KMiscTools.h"

unsigned long (*screenClock)() = &KMiscTools::getMilliseconds;

bool homeButton(KGraphic *navPicture, short x, short y) {
  const short mx = KInput::getMouseX(), my = KInput::getMouseY();
  const float w = nav::kHome[2] - nav::kHome[0], h = nav::kHome[3] - nav::kHome[1];
  const bool hovered = mx >= x && mx <= x + w && my >= y && my <= y + h;
  if (navPicture) {
    if (hovered)
      navPicture->blitAlphaRectFx(nav::kHome[0], nav::kHome[1], nav::kHome[2], nav::kHome[3], x,
                                  y, 0, 1.1f, 1, false, false);
    else
      navPicture->blitAlphaRect(nav::kHome[0], nav::kHome[1], nav::kHome[2], nav::kHome[3], x, y,
                                false, false);
  }
  // Only a press that starts on the button counts: a stroke or a drag that
  // wanders over it must not end the game.
  static bool pressedElsewhere = false;
  const bool down = KInput::getLeftButtonState();
  if (!down) pressedElsewhere = false;
  else if (!hovered) pressedElsewhere = true;
  return hovered && down && !pressedElsewhere;
}

bool undoKeysHeld() {
  return KInput::isPressed(K_VK_Z) &&
         (KInput::isPressed(K_VK_L_CONTROL) || KInput::isPressed(K_VK_R_CONTROL));
}
