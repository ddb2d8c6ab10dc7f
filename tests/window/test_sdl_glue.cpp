// The SDL glue on its own, headless: SDL events pushed into the queue must come out
// as the window messages the procedures expect, one at a time, with close requests
// first, motion floods collapsed, and pointer positions in frame pixels.
#include <SDL.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <vector>

#include "platform/sdl/KSdlKeys.h"
#include "platform/sdl/KSdlWindow.h"

namespace {

class GlueTest : public ::testing::Test {
protected:
  void SetUp() override {
    KNativeWindowOptions o;
    o.title = "glue";
    w = KNativeWindow::create(o);
    ASSERT_NE(w, nullptr);
    drain();
  }
  void TearDown() override { KNativeWindow::destroy(w); }

  void drain() {
    KMessage m;
    while (w->peekMessage(m)) {
    }
  }
  std::vector<KMessage> all() {
    std::vector<KMessage> out;
    KMessage m;
    while (w->peekMessage(m)) out.push_back(m);
    return out;
  }
  void pushKey(Uint32 type, SDL_Keycode sym, SDL_Scancode sc, Uint8 repeat = 0) {
    SDL_Event e{};
    e.type = type;
    e.key.windowID = SDL_GetWindowID(kSdlWindow(w));
    e.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
    e.key.repeat = repeat;
    e.key.keysym.sym = sym;
    e.key.keysym.scancode = sc;
    SDL_PushEvent(&e);
  }
  void pushMotion(int x, int y) {
    SDL_Event e{};
    e.type = SDL_MOUSEMOTION;
    e.motion.windowID = SDL_GetWindowID(kSdlWindow(w));
    e.motion.x = x;
    e.motion.y = y;
    SDL_PushEvent(&e);
  }
  void pushButton(Uint32 type, Uint8 button, int x, int y) {
    SDL_Event e{};
    e.type = type;
    e.button.windowID = SDL_GetWindowID(kSdlWindow(w));
    e.button.button = button;
    e.button.x = x;
    e.button.y = y;
    SDL_PushEvent(&e);
  }
  void pushWindowEvent(Uint8 event) {
    SDL_Event e{};
    e.type = SDL_WINDOWEVENT;
    e.window.windowID = SDL_GetWindowID(kSdlWindow(w));
    e.window.event = event;
    SDL_PushEvent(&e);
  }

  KNativeWindow *w = nullptr;
};

TEST_F(GlueTest, KeysBecomeKeyMessagesWithTableCodesAndControlCharacters) {
  pushKey(SDL_KEYDOWN, SDLK_a, SDL_SCANCODE_A);
  pushKey(SDL_KEYDOWN, SDLK_a, SDL_SCANCODE_A, 1);
  pushKey(SDL_KEYUP, SDLK_a, SDL_SCANCODE_A);
  pushKey(SDL_KEYDOWN, SDLK_RETURN, SDL_SCANCODE_RETURN);
  pushKey(SDL_KEYDOWN, SDLK_RSHIFT, SDL_SCANCODE_RSHIFT);
  pushKey(SDL_KEYDOWN, SDLK_F8, SDL_SCANCODE_F8);
  std::vector<KMessage> m = all();
  ASSERT_EQ(m.size(), 7u);
  EXPECT_EQ(m[0].message, WM_KEYDOWN);
  EXPECT_EQ(m[0].wParam, 0x41u);
  EXPECT_EQ((m[0].lParam >> 16) & 0xFF, (long)SDL_SCANCODE_A);
  EXPECT_EQ(m[0].lParam & 0xFFFF, 1);
  EXPECT_EQ(m[0].lParam & (1L << 30), 0);
  EXPECT_NE(m[1].lParam & (1L << 30), 0) << "auto-repeat marks the key as already down";
  EXPECT_EQ(m[2].message, WM_KEYUP);
  EXPECT_EQ(m[2].wParam, 0x41u);
  EXPECT_NE((uint32_t)m[2].lParam & 0x80000000u, 0u);
  EXPECT_EQ(m[3].message, WM_KEYDOWN);
  EXPECT_EQ(m[3].wParam, 0x0Du);
  EXPECT_EQ(m[4].message, WM_CHAR);
  EXPECT_EQ(m[4].wParam, 13u);
  EXPECT_EQ(m[5].wParam, VK_SHIFT) << "messages carry the generic Shift code";
  EXPECT_EQ(m[6].wParam, 0x77u);
  for (const KMessage &x : m) EXPECT_EQ(x.hwnd, w);
}

TEST_F(GlueTest, TextInputGivesOneCharacterMessagePerCodePoint) {
  SDL_Event e{};
  e.type = SDL_TEXTINPUT;
  e.text.windowID = SDL_GetWindowID(kSdlWindow(w));
  strcpy(e.text.text, "a\xC3\xA9\xFF");  // 'a', U+00E9, then a stray byte
  SDL_PushEvent(&e);
  std::vector<KMessage> m = all();
  ASSERT_EQ(m.size(), 3u);
  EXPECT_EQ(m[0].wParam, (unsigned)'a');
  EXPECT_EQ(m[1].wParam, 0xE9u);
  EXPECT_EQ(m[2].wParam, 0xFFFDu);
  for (const KMessage &x : m) EXPECT_EQ(x.message, WM_CHAR);
}

TEST_F(GlueTest, ButtonsAndWheel) {
  pushButton(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT, 10, 20);
  pushButton(SDL_MOUSEBUTTONUP, SDL_BUTTON_LEFT, 11, 21);
  pushButton(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_RIGHT, 0, 0);
  pushButton(SDL_MOUSEBUTTONUP, SDL_BUTTON_MIDDLE, 0, 0);
  SDL_Event e{};
  e.type = SDL_MOUSEWHEEL;
  e.wheel.windowID = SDL_GetWindowID(kSdlWindow(w));
  e.wheel.y = -1;
  e.wheel.preciseY = -1.0f;
  SDL_PushEvent(&e);
  e.wheel.y = 2;
  e.wheel.preciseY = 2.0f;
  e.wheel.direction = SDL_MOUSEWHEEL_FLIPPED;
  SDL_PushEvent(&e);
  std::vector<KMessage> m = all();
  ASSERT_EQ(m.size(), 6u);
  EXPECT_EQ(m[0].message, WM_LBUTTONDOWN);
  EXPECT_EQ(pointerXFromLParam(m[0].lParam), 10);
  EXPECT_EQ(pointerYFromLParam(m[0].lParam), 20);
  EXPECT_EQ(m[1].message, WM_LBUTTONUP);
  EXPECT_EQ(pointerXFromLParam(m[1].lParam), 11);
  EXPECT_EQ(m[2].message, WM_RBUTTONDOWN);
  EXPECT_EQ(m[3].message, WM_MBUTTONUP);
  EXPECT_EQ(m[4].message, WM_MOUSEWHEEL);
  EXPECT_EQ(wheelDeltaFromWParam(m[4].wParam), -120) << "a notch toward the user";
  EXPECT_EQ(wheelDeltaFromWParam(m[5].wParam), -240) << "flipped direction is undone";
}

TEST_F(GlueTest, CloseRequestOvertakesQueuedMotionAndMotionCollapses) {
  for (int i = 0; i < 2000; i++) pushMotion(i % 640, i % 480);
  pushWindowEvent(SDL_WINDOWEVENT_CLOSE);
  KMessage m;
  ASSERT_TRUE(w->peekMessage(m));
  EXPECT_EQ(m.message, WM_CLOSE);
  ASSERT_TRUE(w->peekMessage(m));
  EXPECT_EQ(m.message, WM_MOUSEMOVE);
  EXPECT_EQ(pointerXFromLParam(m.lParam), 1999 % 640);
  EXPECT_EQ(pointerYFromLParam(m.lParam), 1999 % 480);
  EXPECT_FALSE(w->peekMessage(m));
}

TEST_F(GlueTest, MotionBetweenClicksKeepsItsOrder) {
  pushMotion(1, 1);
  pushButton(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT, 1, 1);
  pushMotion(5, 5);
  pushMotion(6, 6);
  pushButton(SDL_MOUSEBUTTONUP, SDL_BUTTON_LEFT, 6, 6);
  std::vector<KMessage> m = all();
  ASSERT_EQ(m.size(), 4u);
  EXPECT_EQ(m[0].message, WM_MOUSEMOVE);
  EXPECT_EQ(m[1].message, WM_LBUTTONDOWN);
  EXPECT_EQ(m[2].message, WM_MOUSEMOVE);
  EXPECT_EQ(pointerXFromLParam(m[2].lParam), 6);
  EXPECT_EQ(m[3].message, WM_LBUTTONUP);
}

TEST_F(GlueTest, WindowEventsAndQuit) {
  pushWindowEvent(SDL_WINDOWEVENT_EXPOSED);
  pushWindowEvent(SDL_WINDOWEVENT_EXPOSED);
  pushWindowEvent(SDL_WINDOWEVENT_FOCUS_LOST);
  pushWindowEvent(SDL_WINDOWEVENT_FOCUS_GAINED);
  SDL_Event q{};
  q.type = SDL_QUIT;
  SDL_PushEvent(&q);
  std::vector<KMessage> m = all();
  ASSERT_EQ(m.size(), 4u);
  EXPECT_EQ(m[0].message, WM_CLOSE) << "quitting the program is a close request";
  EXPECT_EQ(m[1].message, WM_PAINT) << "paints coalesce";
  EXPECT_EQ(m[2].message, WM_ACTIVATEAPP);
  EXPECT_EQ(m[2].wParam, 0u);
  EXPECT_EQ(m[3].wParam, 1u);
}

TEST_F(GlueTest, EventsForOtherWindowsStayWithThem) {
  KNativeWindowOptions o;
  o.hidden = true;
  o.width = o.height = 256;
  KNativeWindow *other = KNativeWindow::create(o);
  ASSERT_NE(other, nullptr);
  SDL_Event e{};
  e.type = SDL_WINDOWEVENT;
  e.window.event = SDL_WINDOWEVENT_CLOSE;
  e.window.windowID = SDL_GetWindowID(kSdlWindow(other));
  SDL_PushEvent(&e);
  KMessage m;
  EXPECT_FALSE(w->peekMessage(m));
  ASSERT_TRUE(other->peekMessage(m));
  EXPECT_EQ(m.message, WM_CLOSE);
  EXPECT_EQ(m.hwnd, other);
  KNativeWindow::destroy(other);
  EXPECT_FALSE(KNativeWindow::isWindow(other));
  EXPECT_TRUE(KNativeWindow::isWindow(w));
}

long gLastMessage = -1;
long recordingProc(HWND, unsigned int msg, unsigned int, long) {
  gLastMessage = msg;
  return 7;
}

TEST(GlueLifecycle, DestroySendsDestroyAndDispatchIgnoresDeadWindows) {
  KNativeWindowOptions o;
  o.proc = recordingProc;
  KNativeWindow *w = KNativeWindow::create(o);
  ASSERT_NE(w, nullptr);
  w->postMessage(WM_PAINT, 0, 0);
  KMessage m;
  ASSERT_TRUE(w->peekMessage(m));
  EXPECT_EQ(KNativeWindow::dispatchMessage(m), 7);
  EXPECT_EQ(gLastMessage, (long)WM_PAINT);
  KNativeWindow::destroy(w);
  EXPECT_EQ(gLastMessage, (long)WM_DESTROY);
  gLastMessage = -1;
  EXPECT_EQ(KNativeWindow::dispatchMessage(m), 0) << "the window is gone";
  EXPECT_EQ(gLastMessage, -1);
  KNativeWindow::destroy(nullptr);
}

TEST(GlueLifecycle, WaitMessageTimesOutAndReturnsPostedMessages) {
  KNativeWindowOptions o;
  KNativeWindow *w = KNativeWindow::create(o);
  ASSERT_NE(w, nullptr);
  KMessage m;
  while (w->peekMessage(m)) {
  }
  EXPECT_FALSE(w->waitMessage(m, 30));
  w->postMessage(WM_QUIT, 0, 0);
  ASSERT_TRUE(w->waitMessage(m, -1));
  EXPECT_EQ(m.message, WM_QUIT);
  EXPECT_EQ(m.hwnd, nullptr) << "the quit message belongs to no window";
  KNativeWindow::destroy(w);
}

TEST(GlueGeometry, FramePixelsFromWindowCoordinates) {
  KNativeWindowOptions o;
  KNativeWindow *w = KNativeWindow::create(o);
  ASSERT_NE(w, nullptr);
  int fx, fy;
  w->windowToFrame(-10, 5, fx, fy);
  EXPECT_EQ(fx, -10);
  EXPECT_EQ(fy, 5);
  w->windowToFrame(650, 479, fx, fy);
  EXPECT_EQ(fx, 650);
  EXPECT_EQ(fy, 479);
  int x, y, rw, rh;
  w->frameRect(x, y, rw, rh);
  EXPECT_EQ(x, 0);
  EXPECT_EQ(rw, 640);
  EXPECT_EQ(rh, 480);
  EXPECT_TRUE(w->isForeground()) << "drivers without focus count as in front";
  EXPECT_EQ(w->refreshRate() > 0, true);
  KNativeWindow::destroy(w);
}

TEST(KeyTranslation, SymbolsPositionsAndPolledCodes) {
  EXPECT_EQ(kVirtualKeyFromSdl(SDLK_z, SDL_SCANCODE_Z), 0x5Au);
  EXPECT_EQ(kVirtualKeyFromSdl(SDLK_ESCAPE, SDL_SCANCODE_ESCAPE), 0x1Bu);
  EXPECT_EQ(kVirtualKeyFromSdl(SDLK_KP_7, SDL_SCANCODE_KP_7), 0x67u);
  EXPECT_EQ(kVirtualKeyFromSdl(SDLK_LCTRL, SDL_SCANCODE_LCTRL), VK_CONTROL);
  EXPECT_EQ(kVirtualKeyFromSdl(SDLK_RALT, SDL_SCANCODE_RALT), VK_MENU);
  EXPECT_EQ(kVirtualKeyFromSdl(SDLK_QUOTE, SDL_SCANCODE_APOSTROPHE), 0xDEu);
  // A letter with no Latin symbol (a Cyrillic layout) falls back to its position.
  EXPECT_EQ(kVirtualKeyFromSdl(0x444, SDL_SCANCODE_A), 0x41u);
  EXPECT_EQ(kVirtualKeyFromSdl(SDLK_UNKNOWN, SDL_SCANCODE_UNKNOWN), 0u);

  int sc[4];
  ASSERT_EQ(kScancodesForVirtualKey(0xA0, sc, 4), 2) << "left Shift polls either side";
  EXPECT_EQ(sc[0], SDL_SCANCODE_LSHIFT);
  EXPECT_EQ(sc[1], SDL_SCANCODE_RSHIFT);
  ASSERT_EQ(kScancodesForVirtualKey(0xA3, sc, 4), 2);
  ASSERT_EQ(kScancodesForVirtualKey(0x0D, sc, 4), 2) << "both Enter keys";
  ASSERT_EQ(kScancodesForVirtualKey(0x41, sc, 4), 1);
  EXPECT_EQ(sc[0], SDL_SCANCODE_A);
  EXPECT_EQ(kScancodesForVirtualKey(9999, sc, 4), 0);
  EXPECT_EQ(kScancodesForVirtualKey(0, sc, 4), 0);
  EXPECT_FALSE(kVirtualKeyHeld(9999));
}

}  // namespace

namespace {

TEST(GluePointer, HidingBeforeAnyWindowStillHidesItsPointer) {
  KNativeWindow::setSystemPointerVisible(false);
  KNativeWindowOptions o;
  KNativeWindow *w = KNativeWindow::create(o);
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(SDL_ShowCursor(SDL_QUERY), SDL_DISABLE);
  KNativeWindow::setSystemPointerVisible(true);
  EXPECT_EQ(SDL_ShowCursor(SDL_QUERY), SDL_ENABLE);
  KNativeWindow::destroy(w);
}

}  // namespace
