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
  return hovered && KInput::getLeftButtonState();
}

bool undoKeysHeld() {
  return KInput::isPressed(K_VK_Z) &&
         (KInput::isPressed(K_VK_L_CONTROL) || KInput::isPressed(K_VK_R_CONTROL));
}
