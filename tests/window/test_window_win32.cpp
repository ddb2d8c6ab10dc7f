// The Win32 glue and the OpenGL window in a real window under Wine: the class
// and its procedure, styles and placement, 64-bit-safe user data and the
// messages that carry pointers, close and quit, full screen with the display switch and its
// undoing on focus loss, WGL capabilities and a frame read back, and KInput on
// the system's cursor.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "input/KInput.h"
#include "window/KQMX.h"
#include "gl/KWindowGL.h"
#include "platform/KPlatform.h"
#include "platform/win32/KWin32Window.h"
#include "tools/KPlatformServices.h"
#include "platform/win32/KWin32.h"
// After windows.h, which the OpenGL header needs.
#include <GL/gl.h>

namespace {

Win32HWND sys(HWND h) { return static_cast<Win32HWND>(kWin32Window(h)->systemHandle()); }

std::vector<KEvent> gEvents;
std::vector<KMessage> gRaw;
bool recordEvent(KEvent *ev) {
  gEvents.push_back(*ev);
  return true;
}
bool recordRaw(HWND hwnd, unsigned int message, unsigned int wParam, long lParam) {
  gRaw.push_back(KMessage{hwnd, message, wParam, lParam});
  return true;
}

DEVMODEA currentMode() {
  DEVMODEA dm{};
  dm.dmSize = sizeof dm;
  EnumDisplaySettingsA(nullptr, ENUM_CURRENT_SETTINGS, &dm);
  return dm;
}

class Win32WindowTest : public ::testing::Test {
protected:
  // The test display is 640x480, the game's own full-screen size; a captioned
  // window that large would not fit on it, so windowed tests use a smaller frame.
  void open(bool windowed, short width = 640, short height = 480) {
    KInput::setSource(nullptr);
    window = static_cast<KWindowGL *>(KQMX::createKWindow(K_OPENGL, false));
    ASSERT_TRUE(window->createGameWindow(width, height, -1, windowed, "Pabrix test"));
    hwnd = window->getWindowHandle();
    ASSERT_TRUE(KNativeWindow::isWindow(hwnd));
  }
  void TearDown() override {
    delete window;
    gEvents.clear();
    gRaw.clear();
  }
  void pump() {
    for (int i = 0; i < 100; i++) window->processEvents();
  }
  RECT windowRect() {
    RECT r{};
    GetWindowRect(sys(hwnd), &r);
    return r;
  }
  LONG_PTR style() { return GetWindowLongPtrA(sys(hwnd), GWL_STYLE); }

  KWindowGL *window = nullptr;
  HWND hwnd = nullptr;
};

TEST_F(Win32WindowTest, ACaptionedWindowCentredOnTheDesktopWithAFrameSizedClientArea) {
  open(true, 320, 240);
  WNDCLASSA wc{};
  ASSERT_TRUE(GetClassInfoA(GetModuleHandleA(nullptr), "Pabrix test", &wc));
  EXPECT_EQ(wc.hCursor, LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW)));
  char caption[64] = {};
  GetWindowTextA(sys(hwnd), caption, sizeof caption);
  EXPECT_STREQ(caption, "Pabrix test");

  const LONG_PTR s = style();
  EXPECT_EQ(s & (WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_VISIBLE),
            WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_VISIBLE);
  EXPECT_EQ(s & (WS_THICKFRAME | WS_MAXIMIZEBOX | WS_POPUP), 0) << "not resizable";
  RECT client{};
  GetClientRect(sys(hwnd), &client);
  EXPECT_EQ(client.right, 320);
  EXPECT_EQ(client.bottom, 240);
  const RECT r = windowRect();
  const int w = r.right - r.left, h = r.bottom - r.top;
  EXPECT_EQ(r.left, (GetSystemMetrics(SM_CXSCREEN) - w) / 2);
  EXPECT_EQ(r.top, (GetSystemMetrics(SM_CYSCREEN) - h) / 2);
  EXPECT_TRUE(window->hasFocus());
}

TEST_F(Win32WindowTest, TheWindowsMessagesReachTheHooksAndPointersStayWhole) {
  open(true);
  // The object sits in the pointer-sized user data slot.
  EXPECT_EQ(GetWindowLongPtrA(sys(hwnd), GWLP_USERDATA), reinterpret_cast<LONG_PTR>(hwnd));
  EXPECT_EQ(hwnd->userData(), window);
  // Messages carrying pointers (a caption set and read back) never pass through
  // the engine's 32-bit message parameters.
  const std::string longTitle(200, 't');
  SetWindowTextA(sys(hwnd), longTitle.c_str());
  char caption[256] = {};
  GetWindowTextA(sys(hwnd), caption, sizeof caption);
  EXPECT_EQ(std::string(caption), longTitle);

  // A key press reaches the raw hook, then the engine hook as a key event with
  // its virtual and engine key, through the queue like every platform's.
  window->setCallBack(recordRaw);
  window->setQMXCallBack(recordEvent);
  SendMessageA(sys(hwnd), WM_KEYDOWN, 'A', 0x001E0001);
  pump();
  ASSERT_FALSE(gRaw.empty());
  EXPECT_EQ(gRaw.back().message, (unsigned)WM_KEYDOWN);
  EXPECT_EQ(gRaw.back().lParam, 0x001E0001);
  ASSERT_FALSE(gEvents.empty());
  EXPECT_EQ(gEvents.back().type, K_EVENT_KEYDOWN);
  EXPECT_EQ(gEvents.back().virtualKey, 0x41);
  EXPECT_EQ(gEvents.back().qmxKey, K_VK_A);
  EXPECT_EQ(gEvents.back().character, 0x1E);
  // A wheel notch toward the user.
  SendMessageA(sys(hwnd), WM_MOUSEWHEEL, (WPARAM)(uint16_t)(int16_t)-120 << 16, 0);
  pump();
  EXPECT_EQ(gEvents.back().wheel, -120);
  EXPECT_EQ(KInput::_lastWheelValue, -120);
}

TEST_F(Win32WindowTest, CloseSetsTheQuitStateAndLeavesTheWindow) {
  open(true);
  PostMessageA(sys(hwnd), WM_CLOSE, 0, 0);
  pump();
  EXPECT_TRUE(window->isQuit());
  EXPECT_TRUE(IsWindow(sys(hwnd)));
  window->setTitle("still here");
  char caption[64] = {};
  GetWindowTextA(sys(hwnd), caption, sizeof caption);
  EXPECT_STREQ(caption, "still here");
  // A hook that says no keeps the engine from seeing the close.
  delete window;
  window = nullptr;
  open(true);
  window->setCallBack([](HWND, unsigned int, unsigned int, long) { return false; });
  SendMessageA(sys(hwnd), WM_CLOSE, 0, 0);
  pump();
  EXPECT_FALSE(window->isQuit());
}

// The close hooks hear WM_CLOSE at once, also while a message box holds the
// queue (which then closes), and the session's end saves before it returns.
std::atomic<int> gRequests{0}, gSaves{0};
TEST_F(Win32WindowTest, CloseAndTheSessionsEndReachTheCloseHooksAlsoUnderAMessageBox) {
  open(true);
  kplatform::CloseHooks hooks;
  hooks.request = [] { gRequests++; };
  hooks.save = [] { return ++gSaves > 0; };
  kplatform::installCloseRequests(hooks);
  const Win32HWND h = sys(hwnd);
  EXPECT_NE(SendMessageA(h, WM_QUERYENDSESSION, 0, 0), 0);
  SendMessageA(h, WM_ENDSESSION, FALSE, 0);
  EXPECT_EQ(gRequests + gSaves, 0) << "a session end that was called off";
  SendMessageA(h, WM_ENDSESSION, TRUE, 0);
  EXPECT_EQ(gSaves, 1) << "saved before the procedure returned";
  std::thread closer([h] {
    Sleep(300);
    PostMessageA(h, WM_CLOSE, 0, 0);
  });
  bool closedEarly = false;
  KPlatform::messageBox("Pabrix test", "closes on WM_CLOSE", [] { return gRequests > 1; }, &closedEarly);
  closer.join();
  kplatform::removeCloseRequests();
  EXPECT_TRUE(closedEarly);
  EXPECT_EQ(gRequests, 2);
  pump();
  EXPECT_TRUE(window->isQuit()) << "the close is still the window's";
}

TEST_F(Win32WindowTest, FullScreenIsAPopUpOverTheSwitchedDisplayAndFocusLossGivesItBack) {
  const DEVMODEA desktop = currentMode();
  open(false);
  EXPECT_EQ(style() & (WS_POPUP | WS_CAPTION), WS_POPUP);
  RECT r = windowRect();
  EXPECT_EQ(r.left, 0);
  EXPECT_EQ(r.top, 0);
  EXPECT_EQ(r.right, 640);
  EXPECT_EQ(r.bottom, 480);
  EXPECT_EQ(currentMode().dmPelsWidth, 640u);
  EXPECT_EQ(currentMode().dmPelsHeight, 480u);

  // Another program in front: the desktop's mode is back and the game iconic.
  SendMessageA(sys(hwnd), WM_ACTIVATEAPP, FALSE, 0);
  pump();
  EXPECT_TRUE(IsIconic(sys(hwnd)));
  EXPECT_EQ(currentMode().dmPelsWidth, desktop.dmPelsWidth);
  // Back in front: full screen again.
  ShowWindow(sys(hwnd), SW_RESTORE);
  SendMessageA(sys(hwnd), WM_ACTIVATEAPP, TRUE, 0);
  pump();
  EXPECT_EQ(style() & (WS_POPUP | WS_CAPTION), WS_POPUP);
  EXPECT_EQ(currentMode().dmPelsWidth, 640u);

  window->toggleFullScreen(false);
  EXPECT_EQ(style() & (WS_POPUP | WS_CAPTION), WS_CAPTION);
  window->toggleFullScreen(true);
  EXPECT_EQ(style() & (WS_POPUP | WS_CAPTION), WS_POPUP);
  delete window;
  window = nullptr;
  EXPECT_EQ(currentMode().dmPelsWidth, desktop.dmPelsWidth) << "closing restores the display";
}

TEST_F(Win32WindowTest, WglContextDrawsTheFrameAndASoftwareRendererIsNotAccelerated) {
  open(true);
  const char *renderer = (const char *)glGetString(GL_RENDERER);
  ASSERT_NE(renderer, nullptr);
  EXPECT_FALSE(window->getAccelerationCap()) << renderer;
  EXPECT_TRUE(window->usesOffscreenBuffer());
  window->setClearColor(1, 0, 0, 1);
  window->setWorldView(0, 0, 0, 1, true);
  uint8_t p[4] = {};
  KWindowGL::selectReadBuffer(false);
  glReadPixels(10, 10, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, p);
  KWindowGL::restoreReadBuffer();
  EXPECT_EQ(p[0], 255);
  EXPECT_EQ(p[1], 0);
  window->flipBackBuffer(false, true);
  EXPECT_FALSE(window->isQuit()) << "the probe window left the real one alone";
}

TEST_F(Win32WindowTest, InputReadsTheCursorInClientPixelsAndCountsThePointerDisplay) {
  open(true, 320, 240);
  RECT r = windowRect();
  POINT origin{0, 0};
  ClientToScreen(sys(hwnd), &origin);
  SetCursorPos(origin.x + 25, origin.y + 40);
  EXPECT_EQ(KInput::getMouseX(), 25);
  EXPECT_EQ(KInput::getMouseY(), 40);
  SetCursorPos(r.left > 10 ? origin.x - 10 : origin.x + 5, origin.y + 5);
  EXPECT_EQ(KInput::getMouseX(), 25) << "one frame, one position";
  KInput::eventsPumped();  // the next frame reads the pointer afresh
  EXPECT_EQ(KInput::getMouseX(), r.left > 10 ? -10 : 5);

  // Keys come from outside, in the end-to-end run (tests/e2e/windows.sh).
  KInput::hidePointer();
  KInput::hidePointer();
  EXPECT_LT(ShowCursor(TRUE), 0) << "two hides leave it hidden";
  ShowCursor(FALSE);
  KInput::showPointer();
  EXPECT_GE(ShowCursor(FALSE), -1) << "one show brings it back";
  ShowCursor(TRUE);
}

}  // namespace
