// KInput: polled mouse and keyboard input for the game window, and the engine's
// key codes. Answers come from a replaceable KInputSource: the platform's source by
// default, a scripted one in tests. Application thread only; all state is static.
#pragma once

#include <cstdint>

#include "platform/KWindowHandle.h"

class KGraphic;

enum EKeyboardLayout {
  K_VK_LEFT = 0, K_VK_UP, K_VK_DOWN, K_VK_RIGHT, K_VK_SPACE, K_VK_L_SHIFT, K_VK_R_SHIFT,
  K_VK_RETURN, K_VK_R_CONTROL, K_VK_L_CONTROL,
  K_VK_F1, K_VK_F2, K_VK_F3, K_VK_F4, K_VK_F5, K_VK_F6, K_VK_F7, K_VK_F8, K_VK_F9, K_VK_F10,
  K_VK_F11, K_VK_F12,
  K_VK_BACK, K_VK_TAB, K_VK_ESCAPE,
  K_VK_A, K_VK_B, K_VK_C, K_VK_D, K_VK_E, K_VK_F, K_VK_G, K_VK_H, K_VK_I, K_VK_J, K_VK_K,
  K_VK_L, K_VK_M, K_VK_N, K_VK_O, K_VK_P, K_VK_Q, K_VK_R, K_VK_S, K_VK_T, K_VK_U, K_VK_V,
  K_VK_W, K_VK_X, K_VK_Y, K_VK_Z,
  K_VK_0, K_VK_1, K_VK_2, K_VK_3, K_VK_4, K_VK_5, K_VK_6, K_VK_7, K_VK_8, K_VK_9,
  K_VK_NUM0, K_VK_NUM1, K_VK_NUM2, K_VK_NUM3, K_VK_NUM4, K_VK_NUM5, K_VK_NUM6, K_VK_NUM7,
  K_VK_NUM8, K_VK_NUM9,
  K_VK_MULTIPLY, K_VK_ADD, K_VK_SUBTRACT, K_VK_DECIMAL, K_VK_DIVIDE, K_VK_CLEAR, K_VK_MENU,
  K_VK_LWIN, K_VK_RWIN, K_VK_NUMLOCK, K_VK_SCROLL,
  K_VK_OEM_1, K_VK_OEM_PLUS, K_VK_OEM_COMMA, K_VK_OEM_MINUS, K_VK_OEM_PERIOD, K_VK_OEM_2,
  K_VK_OEM_3, K_VK_OEM_4, K_VK_OEM_5, K_VK_OEM_6, K_VK_OEM_7,
  K_VK_ERROR
};
static_assert(K_VK_F1 == 10 && K_VK_ESCAPE == 24 && K_VK_A == 25 && K_VK_0 == 51 &&
                  K_VK_NUM0 == 61 && K_VK_OEM_1 == 82 && K_VK_ERROR == 93,
              "engine key codes are fixed values");

// One entry of the key table: engine key and its virtual-key code. The codes are
// the classic virtual-key numbers (A is 0x41); the platform glue translates them.
struct KeyStroke {
  EKeyboardLayout toucheID;
  uint16_t KeyCode;
};
extern KeyStroke KeyboardLayout[K_VK_ERROR + 1];

// The generic code of a left/right-specific modifier code (left Shift is Shift),
// any other code unchanged: what key messages carry, and what either side sets.
inline uint16_t kGenericVirtualKey(uint16_t vk) {
  if (vk == 0xA0 || vk == 0xA1) return 0x10;
  if (vk == 0xA2 || vk == 0xA3) return 0x11;
  if (vk == 0xA4 || vk == 0xA5) return 0x12;
  return vk;
}

// The 16×16 software pointer: width, height, then 256 pixels, alpha in the top byte.
extern uint32_t mousePattern[2 + 16 * 16];

// Where KInput's answers come from. Positions are in the 640×480 frame's pixels
// (negative or beyond the frame when the pointer is outside); key codes are
// virtual-key codes from KeyboardLayout.
class KInputSource {
public:
  virtual ~KInputSource() {}
  virtual void pointerPosition(int &x, int &y) = 0;
  // The left button held at the moment of the call.
  virtual bool leftButtonDown() = 0;
  // Left-button presses the platform has delivered so far, counting ones already
  // released again; a source that only knows the held state answers 0.
  virtual unsigned long leftButtonPresses() { return 0; }
  virtual bool keyDown(uint16_t virtualKey) = 0;
  // Presses of the key the platform has delivered so far (auto-repeats not
  // counted), like leftButtonPresses; left/right codes count either side.
  virtual unsigned long keyPresses(uint16_t virtualKey) {
    (void)virtualKey;
    return 0;
  }
  virtual void setSystemPointerVisible(bool visible) = 0;
  // Called once per presented frame (from flipBackBuffer); scripts advance here.
  virtual void frameFlipped() {}
};

class KInput {
public:
  static KGraphic *surf_mouse;
  static HWND _hwnd;
  static short _lastWheelValue;
  static uint32_t *_mousePointerBuffer;

  static void initInput(HWND hwnd);
  static bool isPressed(EKeyboardLayout key);
  static EKeyboardLayout getQMXKey(long wparam);
  static short getMouseX();
  static short getMouseY();
  static bool getLeftButtonState();
  static void setLastWheelValue(short value);
  static void showPointer();
  static void hidePointer();
  static void freeMouse();
  static void displayMouse();

  // How the software pointer's picture is made: each window backend names its own
  // picture class when it starts, so the pointer draws on the renderer in use.
  static void setPictureMaker(KGraphic *(*maker)());
  // Replaces the source of answers (null restores the default); not owned.
  static void setSource(KInputSource *source);
  static KInputSource *source();
  // Every window's flipBackBuffer calls this once per presented frame.
  static void frameFlipped();
  // Every window's processEvents calls this: it ends the frame's input, so the
  // next question reads the source afresh (a loop waiting for a release sees it).
  static void eventsPumped();

  // One input state per frame: the first question after a pump reads the
  // pointer (x and y together), the button and the keys' press counts once;
  // the frame's other questions get the same answers.
  // A press shorter than a frame (a touchpad tap, a quick key) reads as down for
  // the whole frame that first sees it, so no click or key is lost.
  //
  // ignoreHeldButton: when the left button is down now, getLeftButtonState
  // answers false until it has been released once; key presses not yet seen by
  // a frame are dropped. For screens that open, and dialogs that close, under a
  // button (or after a key) still held: the press that brought them up must not
  // act on them too.
  static void ignoreHeldButton();
  static bool ignoringHeldButton();
};
