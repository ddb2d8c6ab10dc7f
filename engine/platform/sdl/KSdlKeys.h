// Translation between SDL keys and the virtual-key codes of the engine's key table.
// Messages get the generic Shift/Control/Alt codes (0x10-0x12), as key messages do on
// the desktop; polling a left/right-specific code reports either side. Any thread.
#pragma once

#include <cstdint>

// Virtual-key code for an SDL key (SDL_Keycode, SDL_Scancode); 0 when none fits.
// The layout-aware key code decides first (so a letter follows the keyboard
// layout); keys whose symbol has no code (non-Latin letters) fall back to their
// position on a US keyboard.
unsigned int kVirtualKeyFromSdl(int32_t sdlKeycode, int sdlScancode);

// Up to max SDL scancodes whose held state answers "is this virtual key down".
// Returns how many were written; 0 for a code no key produces (such as 9999).
int kScancodesForVirtualKey(unsigned int virtualKey, int *scancodes, int max);

// Whether a virtual key is held now, from SDL's keyboard state (updated as events
// are pumped).
bool kVirtualKeyHeld(unsigned int virtualKey);
