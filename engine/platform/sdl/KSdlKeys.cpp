// Key translation tables between SDL and the virtual-key codes used by the key
// table and the window messages. Read-only tables; any thread.
#include "platform/sdl/KSdlKeys.h"

#include <SDL.h>

namespace {

struct KeyMap {
  unsigned int vk;
  SDL_Keycode key;        // layout-aware symbol; SDLK_UNKNOWN when only the position counts
  SDL_Scancode scancode;  // position on a US keyboard
};

// Left/right pairs and generic modifiers are handled in code, not here.
const KeyMap kKeys[] = {
    {0x08, SDLK_BACKSPACE, SDL_SCANCODE_BACKSPACE},
    {0x09, SDLK_TAB, SDL_SCANCODE_TAB},
    {0x0C, SDLK_CLEAR, SDL_SCANCODE_CLEAR},
    {0x0D, SDLK_RETURN, SDL_SCANCODE_RETURN},
    {0x0D, SDLK_KP_ENTER, SDL_SCANCODE_KP_ENTER},
    {0x13, SDLK_PAUSE, SDL_SCANCODE_PAUSE},
    {0x14, SDLK_CAPSLOCK, SDL_SCANCODE_CAPSLOCK},
    {0x1B, SDLK_ESCAPE, SDL_SCANCODE_ESCAPE},
    {0x20, SDLK_SPACE, SDL_SCANCODE_SPACE},
    {0x21, SDLK_PAGEUP, SDL_SCANCODE_PAGEUP},
    {0x22, SDLK_PAGEDOWN, SDL_SCANCODE_PAGEDOWN},
    {0x23, SDLK_END, SDL_SCANCODE_END},
    {0x24, SDLK_HOME, SDL_SCANCODE_HOME},
    {0x25, SDLK_LEFT, SDL_SCANCODE_LEFT},
    {0x26, SDLK_UP, SDL_SCANCODE_UP},
    {0x27, SDLK_RIGHT, SDL_SCANCODE_RIGHT},
    {0x28, SDLK_DOWN, SDL_SCANCODE_DOWN},
    {0x2C, SDLK_PRINTSCREEN, SDL_SCANCODE_PRINTSCREEN},
    {0x2D, SDLK_INSERT, SDL_SCANCODE_INSERT},
    {0x2E, SDLK_DELETE, SDL_SCANCODE_DELETE},
    {0x30, SDLK_0, SDL_SCANCODE_0},
    {0x31, SDLK_1, SDL_SCANCODE_1},
    {0x32, SDLK_2, SDL_SCANCODE_2},
    {0x33, SDLK_3, SDL_SCANCODE_3},
    {0x34, SDLK_4, SDL_SCANCODE_4},
    {0x35, SDLK_5, SDL_SCANCODE_5},
    {0x36, SDLK_6, SDL_SCANCODE_6},
    {0x37, SDLK_7, SDL_SCANCODE_7},
    {0x38, SDLK_8, SDL_SCANCODE_8},
    {0x39, SDLK_9, SDL_SCANCODE_9},
    {0x5B, SDLK_LGUI, SDL_SCANCODE_LGUI},
    {0x5C, SDLK_RGUI, SDL_SCANCODE_RGUI},
    {0x5D, SDLK_APPLICATION, SDL_SCANCODE_APPLICATION},
    {0x60, SDLK_KP_0, SDL_SCANCODE_KP_0},
    {0x61, SDLK_KP_1, SDL_SCANCODE_KP_1},
    {0x62, SDLK_KP_2, SDL_SCANCODE_KP_2},
    {0x63, SDLK_KP_3, SDL_SCANCODE_KP_3},
    {0x64, SDLK_KP_4, SDL_SCANCODE_KP_4},
    {0x65, SDLK_KP_5, SDL_SCANCODE_KP_5},
    {0x66, SDLK_KP_6, SDL_SCANCODE_KP_6},
    {0x67, SDLK_KP_7, SDL_SCANCODE_KP_7},
    {0x68, SDLK_KP_8, SDL_SCANCODE_KP_8},
    {0x69, SDLK_KP_9, SDL_SCANCODE_KP_9},
    {0x6A, SDLK_KP_MULTIPLY, SDL_SCANCODE_KP_MULTIPLY},
    {0x6B, SDLK_KP_PLUS, SDL_SCANCODE_KP_PLUS},
    {0x6D, SDLK_KP_MINUS, SDL_SCANCODE_KP_MINUS},
    {0x6E, SDLK_KP_PERIOD, SDL_SCANCODE_KP_PERIOD},
    {0x6F, SDLK_KP_DIVIDE, SDL_SCANCODE_KP_DIVIDE},
    {0x70, SDLK_F1, SDL_SCANCODE_F1},
    {0x71, SDLK_F2, SDL_SCANCODE_F2},
    {0x72, SDLK_F3, SDL_SCANCODE_F3},
    {0x73, SDLK_F4, SDL_SCANCODE_F4},
    {0x74, SDLK_F5, SDL_SCANCODE_F5},
    {0x75, SDLK_F6, SDL_SCANCODE_F6},
    {0x76, SDLK_F7, SDL_SCANCODE_F7},
    {0x77, SDLK_F8, SDL_SCANCODE_F8},
    {0x78, SDLK_F9, SDL_SCANCODE_F9},
    {0x79, SDLK_F10, SDL_SCANCODE_F10},
    {0x7A, SDLK_F11, SDL_SCANCODE_F11},
    {0x7B, SDLK_F12, SDL_SCANCODE_F12},
    {0x7C, SDLK_F13, SDL_SCANCODE_F13},
    {0x7D, SDLK_F14, SDL_SCANCODE_F14},
    {0x7E, SDLK_F15, SDL_SCANCODE_F15},
    {0x7F, SDLK_F16, SDL_SCANCODE_F16},
    {0x80, SDLK_F17, SDL_SCANCODE_F17},
    {0x81, SDLK_F18, SDL_SCANCODE_F18},
    {0x82, SDLK_F19, SDL_SCANCODE_F19},
    {0x83, SDLK_F20, SDL_SCANCODE_F20},
    {0x84, SDLK_F21, SDL_SCANCODE_F21},
    {0x85, SDLK_F22, SDL_SCANCODE_F22},
    {0x86, SDLK_F23, SDL_SCANCODE_F23},
    {0x87, SDLK_F24, SDL_SCANCODE_F24},
    {0x90, SDLK_NUMLOCKCLEAR, SDL_SCANCODE_NUMLOCKCLEAR},
    {0x91, SDLK_SCROLLLOCK, SDL_SCANCODE_SCROLLLOCK},
    {0xBA, SDLK_SEMICOLON, SDL_SCANCODE_SEMICOLON},
    {0xBB, SDLK_EQUALS, SDL_SCANCODE_EQUALS},
    {0xBC, SDLK_COMMA, SDL_SCANCODE_COMMA},
    {0xBD, SDLK_MINUS, SDL_SCANCODE_MINUS},
    {0xBE, SDLK_PERIOD, SDL_SCANCODE_PERIOD},
    {0xBF, SDLK_SLASH, SDL_SCANCODE_SLASH},
    {0xC0, SDLK_BACKQUOTE, SDL_SCANCODE_GRAVE},
    {0xDB, SDLK_LEFTBRACKET, SDL_SCANCODE_LEFTBRACKET},
    {0xDC, SDLK_BACKSLASH, SDL_SCANCODE_BACKSLASH},
    {0xDD, SDLK_RIGHTBRACKET, SDL_SCANCODE_RIGHTBRACKET},
    {0xDE, SDLK_QUOTE, SDL_SCANCODE_APOSTROPHE},
    {0xE2, SDLK_UNKNOWN, SDL_SCANCODE_NONUSBACKSLASH},
};

bool isModifierScancode(SDL_Scancode sc) {
  return sc >= SDL_SCANCODE_LCTRL && sc <= SDL_SCANCODE_RALT && sc != SDL_SCANCODE_LGUI;
}

}  // namespace

unsigned int kVirtualKeyFromSdl(int32_t sdlKeycode, int sdlScancode) {
  const SDL_Keycode key = (SDL_Keycode)sdlKeycode;
  const SDL_Scancode sc = (SDL_Scancode)sdlScancode;
  // Messages carry the generic modifier codes, whichever side was pressed.
  if (isModifierScancode(sc) || key == SDLK_LSHIFT || key == SDLK_RSHIFT || key == SDLK_LCTRL ||
      key == SDLK_RCTRL || key == SDLK_LALT || key == SDLK_RALT) {
    if (sc == SDL_SCANCODE_LSHIFT || sc == SDL_SCANCODE_RSHIFT || key == SDLK_LSHIFT ||
        key == SDLK_RSHIFT)
      return 0x10;
    if (sc == SDL_SCANCODE_LCTRL || sc == SDL_SCANCODE_RCTRL || key == SDLK_LCTRL ||
        key == SDLK_RCTRL)
      return 0x11;
    return 0x12;
  }
  if (key >= SDLK_a && key <= SDLK_z) return 0x41 + (unsigned int)(key - SDLK_a);
  if (key != SDLK_UNKNOWN) {
    for (const KeyMap &m : kKeys)
      if (m.key == key) return m.vk;
  }
  // No usable symbol: the key's position decides.
  if (sc >= SDL_SCANCODE_A && sc <= SDL_SCANCODE_Z) return 0x41 + (unsigned int)(sc - SDL_SCANCODE_A);
  for (const KeyMap &m : kKeys)
    if (m.scancode == sc) return m.vk;
  return 0;
}

int kScancodesForVirtualKey(unsigned int vk, int *out, int max) {
  int n = 0;
  auto add = [&](SDL_Scancode sc) {
    if (n < max && sc != SDL_SCANCODE_UNKNOWN) out[n++] = (int)sc;
  };
  switch (vk) {
    // A left/right-specific code reports either side of that key.
    case 0x10: case 0xA0: case 0xA1:
      add(SDL_SCANCODE_LSHIFT), add(SDL_SCANCODE_RSHIFT);
      return n;
    case 0x11: case 0xA2: case 0xA3:
      add(SDL_SCANCODE_LCTRL), add(SDL_SCANCODE_RCTRL);
      return n;
    case 0x12: case 0xA4: case 0xA5:
      add(SDL_SCANCODE_LALT), add(SDL_SCANCODE_RALT);
      return n;
    default:
      break;
  }
  if (vk >= 0x41 && vk <= 0x5A) {
    SDL_Scancode sc = SDL_GetScancodeFromKey((SDL_Keycode)(SDLK_a + (int)(vk - 0x41)));
    if (sc == SDL_SCANCODE_UNKNOWN) sc = (SDL_Scancode)(SDL_SCANCODE_A + (int)(vk - 0x41));
    add(sc);
    return n;
  }
  for (const KeyMap &m : kKeys) {
    if (m.vk != vk) continue;
    SDL_Scancode sc = SDL_SCANCODE_UNKNOWN;
    if (m.key != SDLK_UNKNOWN) sc = SDL_GetScancodeFromKey(m.key);
    if (sc == SDL_SCANCODE_UNKNOWN) sc = m.scancode;
    add(sc);
  }
  return n;
}

bool kVirtualKeyHeld(unsigned int vk) {
  int codes[4];
  const int n = kScancodesForVirtualKey(vk, codes, 4);
  int numKeys = 0;
  const Uint8 *state = SDL_GetKeyboardState(&numKeys);
  if (!state) return false;
  for (int i = 0; i < n; i++)
    if (codes[i] < numKeys && state[codes[i]]) return true;
  return false;
}
