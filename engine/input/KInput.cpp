// KInput: polled input through the current source, the key table, the software
// pointer picture. All state is static; application thread only.
#include "input/KInput.h"

#include "graphic/KGraphic.h"
#include "platform/KNativeWindow.h"

// Entry k describes key k; the codes are the classic virtual-key numbers.
KeyStroke KeyboardLayout[K_VK_ERROR + 1] = {
    {K_VK_LEFT, 0x25},      {K_VK_UP, 0x26},        {K_VK_DOWN, 0x28},
    {K_VK_RIGHT, 0x27},     {K_VK_SPACE, 0x20},     {K_VK_L_SHIFT, 0xA0},
    {K_VK_R_SHIFT, 0xA1},   {K_VK_RETURN, 0x0D},    {K_VK_R_CONTROL, 0xA3},
    {K_VK_L_CONTROL, 0xA2}, {K_VK_F1, 0x70},        {K_VK_F2, 0x71},
    {K_VK_F3, 0x72},        {K_VK_F4, 0x73},        {K_VK_F5, 0x74},
    {K_VK_F6, 0x75},        {K_VK_F7, 0x76},        {K_VK_F8, 0x77},
    {K_VK_F9, 0x78},        {K_VK_F10, 0x79},       {K_VK_F11, 0x7A},
    {K_VK_F12, 0x7B},       {K_VK_BACK, 0x08},      {K_VK_TAB, 0x09},
    {K_VK_ESCAPE, 0x1B},    {K_VK_A, 0x41},         {K_VK_B, 0x42},
    {K_VK_C, 0x43},         {K_VK_D, 0x44},         {K_VK_E, 0x45},
    {K_VK_F, 0x46},         {K_VK_G, 0x47},         {K_VK_H, 0x48},
    {K_VK_I, 0x49},         {K_VK_J, 0x4A},         {K_VK_K, 0x4B},
    {K_VK_L, 0x4C},         {K_VK_M, 0x4D},         {K_VK_N, 0x4E},
    {K_VK_O, 0x4F},         {K_VK_P, 0x50},         {K_VK_Q, 0x51},
    {K_VK_R, 0x52},         {K_VK_S, 0x53},         {K_VK_T, 0x54},
    {K_VK_U, 0x55},         {K_VK_V, 0x56},         {K_VK_W, 0x57},
    {K_VK_X, 0x58},         {K_VK_Y, 0x59},         {K_VK_Z, 0x5A},
    {K_VK_0, 0x30},         {K_VK_1, 0x31},         {K_VK_2, 0x32},
    {K_VK_3, 0x33},         {K_VK_4, 0x34},         {K_VK_5, 0x35},
    {K_VK_6, 0x36},         {K_VK_7, 0x37},         {K_VK_8, 0x38},
    {K_VK_9, 0x39},         {K_VK_NUM0, 0x60},      {K_VK_NUM1, 0x61},
    {K_VK_NUM2, 0x62},      {K_VK_NUM3, 0x63},      {K_VK_NUM4, 0x64},
    {K_VK_NUM5, 0x65},      {K_VK_NUM6, 0x66},      {K_VK_NUM7, 0x67},
    {K_VK_NUM8, 0x68},      {K_VK_NUM9, 0x69},      {K_VK_MULTIPLY, 0x6A},
    {K_VK_ADD, 0x6B},       {K_VK_SUBTRACT, 0x6D},  {K_VK_DECIMAL, 0x6E},
    {K_VK_DIVIDE, 0x6F},    {K_VK_CLEAR, 0x0C},     {K_VK_MENU, 0x12},
    {K_VK_LWIN, 0x5B},      {K_VK_RWIN, 0x5C},      {K_VK_NUMLOCK, 0x90},
    {K_VK_SCROLL, 0x91},    {K_VK_OEM_1, 0xBA},     {K_VK_OEM_PLUS, 0xBB},
    {K_VK_OEM_COMMA, 0xBC}, {K_VK_OEM_MINUS, 0xBD}, {K_VK_OEM_PERIOD, 0xBE},
    {K_VK_OEM_2, 0xBF},     {K_VK_OEM_3, 0xC0},     {K_VK_OEM_4, 0xDB},
    {K_VK_OEM_5, 0xDC},     {K_VK_OEM_6, 0xDD},     {K_VK_OEM_7, 0xDE},
    {K_VK_ERROR, 9999},
};

#define O 0xFFFFFFFFu
#define B 0xFF000000u
#define _ 0x00000000u
uint32_t mousePattern[2 + 16 * 16] = {
    16, 16,
    O, O, _, _, _, _, _, _, _, _, _, _, _, _, _, _,
    O, B, O, _, _, _, _, _, _, _, _, _, _, _, _, _,
    O, B, B, O, _, _, _, _, _, _, _, _, _, _, _, _,
    O, B, B, B, O, _, _, _, _, _, _, _, _, _, _, _,
    O, B, B, B, B, O, _, _, _, _, _, _, _, _, _, _,
    O, B, B, B, B, B, O, _, _, _, _, _, _, _, _, _,
    O, B, B, B, B, B, B, O, _, _, _, _, _, _, _, _,
    O, B, B, B, B, B, B, B, O, _, _, _, _, _, _, _,
    O, B, B, B, B, B, B, B, B, O, _, _, _, _, _, _,
    O, B, B, B, B, B, B, B, O, _, _, _, _, _, _, _,
    O, B, B, B, B, B, O, O, _, _, _, _, _, _, _, _,
    O, B, B, B, B, B, O, _, _, _, _, _, _, _, _, _,
    O, B, B, O, B, O, _, _, _, _, _, _, _, _, _, _,
    O, B, O, _, O, _, _, _, _, _, _, _, _, _, _, _,
    O, O, _, _, _, _, _, _, _, _, _, _, _, _, _, _,
    _, _, _, _, _, _, _, _, _, _, _, _, _, _, _, _,
};
#undef O
#undef B
#undef _

KGraphic *KInput::surf_mouse = nullptr;
HWND KInput::_hwnd = nullptr;
short KInput::_lastWheelValue = 0;
uint32_t *KInput::_mousePointerBuffer = mousePattern;

namespace {

KInputSource *gSource = nullptr;
KGraphic *(*gMakePicture)() = nullptr;

// One frame's input. The first question after a pump reads the source once
// (pointer x and y together, the button, every key's press count); every other
// question of that frame gets the same answers, so no screen sees a press or a
// pointer move half-way through a frame. A key's held state is read the first
// time it is asked in the frame.
//
// Short presses: a press the source counted since the previous read reads as
// down for the whole frame that first sees it, even when it was released again
// before the frame began (a touchpad tap, a quick Ctrl+Z). Counts seen at a read
// are remembered across frames, so each press is latched once.
struct FrameInput {
  bool taken = false;  // read since the last pump
  int x = 0, y = 0;
  bool button = false;  // held, or pressed since the last read
  unsigned long buttonPresses = 0;
  bool ignoring = false;  // a held button is ignored until released
  bool keyAsked[K_VK_ERROR] = {};
  bool keyDown[K_VK_ERROR] = {};
  bool keyTapped[K_VK_ERROR] = {};
  unsigned long keyPresses[K_VK_ERROR] = {};
};
FrameInput gFrame;

void countPresses(KInputSource *src, bool latch) {
  const unsigned long presses = src->leftButtonPresses();
  gFrame.button = latch && presses != gFrame.buttonPresses;
  gFrame.buttonPresses = presses;
  for (int k = 0; k < K_VK_ERROR; k++) {
    const unsigned long n = src->keyPresses(KeyboardLayout[k].KeyCode);
    gFrame.keyTapped[k] = latch && n != gFrame.keyPresses[k];
    gFrame.keyPresses[k] = n;
    gFrame.keyAsked[k] = false;
  }
}

const FrameInput &frameInput() {
  if (gFrame.taken) return gFrame;
  KInputSource *src = KInput::source();
  gFrame.taken = true;
  // The held state first: a source that fetches events for it then counts the
  // presses they bring in this same read, not one frame later.
  const bool held = src->leftButtonDown();
  gFrame.x = gFrame.y = 0;
  src->pointerPosition(gFrame.x, gFrame.y);
  countPresses(src, true);
  gFrame.button = held || gFrame.button;
  return gFrame;
}

}  // namespace

void KInput::setSource(KInputSource *source) {
  gSource = source;
  // Presses counted by another source mean nothing to this one.
  gFrame = FrameInput();
  countPresses(KInput::source(), false);
}

KInputSource *KInput::source() { return gSource ? gSource : &KNativeWindow::inputSource(); }

void KInput::setPictureMaker(KGraphic *(*maker)()) { gMakePicture = maker; }

void KInput::eventsPumped() {
  // A pump before anyone asked keeps what it brought for the frame's read.
  gFrame.taken = false;
}

void KInput::frameFlipped() {
  source()->frameFlipped();
  eventsPumped();
}

void KInput::ignoreHeldButton() {
  gFrame.ignoring = false;
  gFrame.ignoring = getLeftButtonState();
  // Key presses not latched yet are taken as seen: the Escape or Return that
  // closed a dialog is not a key pressed on what comes next, though its
  // auto-repeats may reach the game window once it has the keyboard back. The
  // button read fetches what the platform holds, so those are counted first.
  KInputSource *src = source();
  src->leftButtonDown();
  for (int k = 0; k < K_VK_ERROR; k++) gFrame.keyPresses[k] = src->keyPresses(KeyboardLayout[k].KeyCode);
}

bool KInput::ignoringHeldButton() { return gFrame.ignoring; }

void KInput::initInput(HWND hwnd) {
  // Key state and layout live in the platform; only the window matters here.
  _hwnd = hwnd;
}

bool KInput::isPressed(EKeyboardLayout key) {
  if (key < 0 || key >= K_VK_ERROR) return false;
  frameInput();
  if (!gFrame.keyAsked[key]) {
    gFrame.keyAsked[key] = true;
    gFrame.keyDown[key] = source()->keyDown(KeyboardLayout[key].KeyCode) || gFrame.keyTapped[key];
  }
  return gFrame.keyDown[key];
}

EKeyboardLayout KInput::getQMXKey(long wparam) {
  for (int i = 0; i <= K_VK_ERROR; i++)
    if ((long)KeyboardLayout[i].KeyCode == wparam) return KeyboardLayout[i].toucheID;
  return K_VK_ERROR;
}

short KInput::getMouseX() { return (short)frameInput().x; }

short KInput::getMouseY() { return (short)frameInput().y; }

bool KInput::getLeftButtonState() {
  const bool down = frameInput().button;
  if (!gFrame.ignoring) return down;
  if (!down) gFrame.ignoring = false;
  return false;
}

void KInput::setLastWheelValue(short value) { _lastWheelValue = value; }

void KInput::showPointer() { source()->setSystemPointerVisible(true); }

void KInput::hidePointer() { source()->setSystemPointerVisible(false); }

void KInput::freeMouse() {
  delete surf_mouse;
  surf_mouse = nullptr;
}

void KInput::displayMouse() {
  if (!surf_mouse) {
    surf_mouse = gMakePicture ? gMakePicture() : nullptr;
    if (!surf_mouse) return;
    const uint32_t *buf = _mousePointerBuffer;
    surf_mouse->makePictureFromArray(_mousePointerBuffer + 2, (long)buf[0], (long)buf[1], false);
  }
  const short y = getMouseY();
  const short x = getMouseX();
  surf_mouse->blitAlphaRect(0, 0, 16, 16, x, y, false, false);
}
