// The OpenGL window under X: creation and quit, the world view and gamma read back
// from the fixed-size frame, full screen both ways with pointer mapping, the frame
// cap and pacing, the window procedure's hooks and engine handling, the background
// wait, and real keyboard and pointer input from xdotool.
#include <stb_image.h>
#include <unistd.h>

#include <chrono>
#include <vector>

#include "input/KScriptedInput.h"
#include "platform/KWindowMessages.h"
#include "support/TestHome.h"
#include "window_fixture.h"

namespace {

using Clock = std::chrono::steady_clock;

// The whole X screen as RGBA, through ImageMagick's screen grab.
bool screenshot(std::vector<uint8_t> &pixels, int &w, int &h) {
  const std::string path = testhome::root() + "/window-shot.png";
  const std::string cmd = "import -display \"$DISPLAY\" -window root " + path + " 2>/dev/null";
  if (std::system(cmd.c_str()) != 0) return false;
  int n = 0;
  unsigned char *data = stbi_load(path.c_str(), &w, &h, &n, 4);
  std::remove(path.c_str());
  if (!data) return false;
  pixels.assign(data, data + (size_t)w * h * 4);
  stbi_image_free(data);
  return true;
}

TEST_F(GLWindowTest, OpensCentredWithTheRequestedSizeAndCloseOnlySetsQuit) {
  EXPECT_EQ(KQMX::_renderer, K_OPENGL);
  EXPECT_EQ(window->getWindowWidth(), 640);
  EXPECT_EQ(window->getWindowHeight(), 480);
  int x = 0, y = 0, w = 0, h = 0;
  SDL_GetWindowPosition(kSdlWindow(hwnd), &x, &y);
  SDL_GetWindowSize(kSdlWindow(hwnd), &w, &h);
  SDL_DisplayMode mode;
  ASSERT_EQ(SDL_GetDesktopDisplayMode(0, &mode), 0);
  EXPECT_EQ(w, 640);
  EXPECT_EQ(h, 480);
  EXPECT_EQ(x, (mode.w - 640) / 2);
  EXPECT_EQ(y, (mode.h - 480) / 2);
  EXPECT_TRUE(window->usesOffscreenBuffer()) << "Mesa has framebuffer objects";
  EXPECT_TRUE(window->hasFocus());
  EXPECT_FALSE(window->isQuit());

  for (int i = 0; i < 300; i++) {
    SDL_Event e{};
    e.type = SDL_MOUSEMOTION;
    e.motion.windowID = sdlId();
    e.motion.x = i % 640;
    SDL_PushEvent(&e);
  }
  pushWindowEvent(SDL_WINDOWEVENT_CLOSE);
  window->processEvents();
  EXPECT_TRUE(window->isQuit()) << "one processEvents reaches the close request";
  EXPECT_TRUE(KNativeWindow::isWindow(hwnd)) << "closing does not destroy the window";
  window->setTitle("still here");
  EXPECT_STREQ(SDL_GetWindowTitle(kSdlWindow(hwnd)), "still here");
}

TEST_F(GLWindowTest, TerminateSetsQuitAndDestructionClosesTheWindow) {
  window->terminate();
  EXPECT_TRUE(window->isQuit());
  delete window;
  window = nullptr;
  EXPECT_FALSE(KNativeWindow::isWindow(hwnd));
  EXPECT_EQ(KInput::_hwnd, nullptr);
}

TEST_F(GLWindowTest, WorldViewClearsAndTransformsAboutTheCentre) {
  window->setClearColor(1, 0, 0, 1);
  window->setWorldView(0, 0, 0, 1, true);
  Rgba p = readFramePixel(false, 320, 240);
  EXPECT_EQ(p.r, 255);
  EXPECT_EQ(p.g, 0);
  window->setClearColor(0, 0, 0, 1);

  // One point, drawn in view space, found where each transform puts it (GL rows up).
  auto pointLandsAt = [&](float tx, float ty, float rot, float zoom, float px, float py) {
    window->setWorldView(tx, ty, rot, zoom, true);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_BLEND);
    glColor4f(0, 1, 0, 1);
    glPointSize(3);
    glBegin(GL_POINTS);
    glVertex2f(px, py);
    glEnd();
    glColor4f(1, 1, 1, 1);
  };
  auto greenAtGl = [&](int x, int yUp) { return readFramePixel(false, x, 479 - yUp).g == 255; };

  pointLandsAt(10, 20, 0, 1, 100.5f, 100.5f);
  EXPECT_TRUE(greenAtGl(110, 120)) << "translation";
  pointLandsAt(0, 0, 90, 1, 420.5f, 240.5f);
  EXPECT_TRUE(greenAtGl(319, 340)) << "a quarter turn counter-clockwise about the centre";
  pointLandsAt(0, 0, 0, 2, 370.5f, 240.5f);
  EXPECT_TRUE(greenAtGl(421, 241)) << "zoom about the centre";
  EXPECT_FALSE(greenAtGl(370, 240));
  pointLandsAt(50, 0, 0, 2, 320.5f, 240.5f);
  EXPECT_TRUE(greenAtGl(421, 241)) << "translation applies before the zoom";
  window->setDefaultWorldView();
}

TEST_F(GLWindowTest, GammaDimsThePresentedFrameOnly) {
  struct Case {
    float gamma;
    int low, high;
  } cases[] = {{0.25f, 62, 65}, {1.0f, 255, 255}, {1.5f, 255, 255}, {-1.0f, 0, 0}};
  for (const Case &c : cases) {
    window->setGamma(c.gamma);
    window->setClearColor(1, 1, 1, 1);
    window->setWorldView(0, 0, 0, 1, true);
    window->flipBackBuffer(false, true);
    Rgba p = readFramePixel(true, 5, 5);
    EXPECT_GE(p.r, c.low) << c.gamma;
    EXPECT_LE(p.r, c.high) << c.gamma;
    EXPECT_EQ(p.r, p.b) << "black overlay, no tint";
    EXPECT_EQ(readFramePixel(true, 639, 479).r, p.r) << "covers the whole frame";
  }
}

TEST_F(GLWindowTest, FullScreenBothWaysKeepsTheFrameAndMapsThePointer) {
  window->toggleFullScreen(false);  // already windowed: nothing
  EXPECT_FALSE(window->isFullScreen());

  window->toggleFullScreen(true);
  pump();
  SDL_DisplayMode mode;
  ASSERT_EQ(SDL_GetDesktopDisplayMode(0, &mode), 0);
  int w = 0, h = 0;
  SDL_GetWindowSize(kSdlWindow(hwnd), &w, &h);
  EXPECT_TRUE(window->isFullScreen());
  EXPECT_EQ(w, mode.w);
  EXPECT_EQ(h, mode.h);
  window->toggleFullScreen(true);  // nothing
  EXPECT_TRUE(hwnd->isFullScreen());

  // The frame keeps its size for drawing and reading back.
  window->setClearColor(0, 0, 1, 1);
  window->setWorldView(0, 0, 0, 1, true);
  EXPECT_EQ(readFramePixel(false, 639, 479).b, 255);
  window->flipBackBuffer(false, true);
  EXPECT_EQ(readFramePixel(true, 0, 0).b, 255);

  // Letterboxed: the frame is scaled by the smaller ratio and centred.
  int rx, ry, rw, rh;
  hwnd->frameRect(rx, ry, rw, rh);
  const double scale = std::min(mode.w / 640.0, mode.h / 480.0);
  EXPECT_NEAR(rw, 640 * scale, 1);
  EXPECT_NEAR(rh, 480 * scale, 1);
  int fx, fy;
  hwnd->windowToFrame(rx + rw / 2, ry + rh / 2, fx, fy);
  EXPECT_EQ(fx, 320);
  EXPECT_EQ(fy, 240);
  hwnd->windowToFrame(rx - 1, ry - 1, fx, fy);
  EXPECT_LT(fx, 0) << "in the bars the pointer is outside the frame";
  EXPECT_LT(fy, 0);

  // What reached the screen: the frame scaled into the centre, black bars around.
  {
    std::vector<uint8_t> shot;
    int sw = 0, sh = 0;
    ASSERT_TRUE(screenshot(shot, sw, sh));
    ASSERT_EQ(sw, mode.w);
    auto blue = [&](int x, int y) { return shot[((size_t)y * sw + x) * 4 + 2]; };
    EXPECT_EQ(blue(sw / 2, sh / 2), 255);
    EXPECT_EQ(blue(rx + 1, ry + 1), 255) << "the frame reaches the letterbox corner";
    EXPECT_EQ(blue(rx + rw - 2, ry + rh - 2), 255);
    if (ry > 2) EXPECT_EQ(blue(sw / 2, ry / 2), 0) << "bars stay black";
    if (rx > 2) EXPECT_EQ(blue(rx / 2, sh / 2), 0) << "bars stay black";
  }

  // A real pointer on the screen, reported in frame pixels.
  ASSERT_TRUE(xdo("mousemove " + std::to_string(rx + (int)(100 * scale)) + " " +
                  std::to_string(ry + (int)(50 * scale))));
  EXPECT_TRUE(pumpUntil([] { return KInput::getMouseX() == 100 && KInput::getMouseY() == 50; }))
      << KInput::getMouseX() << "," << KInput::getMouseY();

  // Over the bars the game cannot draw its pointer: the system's shows there while
  // the game hides it, and goes again back over the frame.
  if (rx > 2 || ry > 2) {
    KNativeWindow::setSystemPointerVisible(false);
    const int bx = rx > 2 ? rx / 2 : rx + rw / 2, by = rx > 2 ? ry + rh / 2 : ry / 2;
    ASSERT_TRUE(xdo("mousemove " + std::to_string(bx) + " " + std::to_string(by)));
    EXPECT_TRUE(pumpUntil([] { return SDL_ShowCursor(SDL_QUERY) == SDL_ENABLE; }));
    ASSERT_TRUE(xdo("mousemove " + std::to_string(rx + rw / 2) + " " + std::to_string(ry + rh / 2)));
    EXPECT_TRUE(pumpUntil([] { return SDL_ShowCursor(SDL_QUERY) == SDL_DISABLE; }));
    KNativeWindow::setSystemPointerVisible(true);
  }

  window->toggleFullScreen(false);
  pump();
  SDL_GetWindowSize(kSdlWindow(hwnd), &w, &h);
  int x, y;
  SDL_GetWindowPosition(kSdlWindow(hwnd), &x, &y);
  EXPECT_FALSE(window->isFullScreen());
  EXPECT_FALSE(hwnd->isFullScreen());
  EXPECT_EQ(w, 640);
  EXPECT_EQ(h, 480);
  EXPECT_EQ(x, (mode.w - 640) / 2);
  EXPECT_EQ(y, (mode.h - 480) / 2);
  hwnd->windowToFrame(10, 20, fx, fy);
  EXPECT_EQ(fx, 10);
  EXPECT_EQ(fy, 20);
}

TEST_F(GLWindowTest, LosingTheForegroundInFullScreenGivesTheDisplayBack) {
  window->toggleFullScreen(true);
  pump();
  ASSERT_TRUE(hwnd->isFullScreen());
  hwnd->postMessage(WM_ACTIVATEAPP, 0, 0);
  window->processEvents();
  EXPECT_FALSE(hwnd->isFullScreen()) << "the desktop gets the display";
  EXPECT_TRUE(window->isFullScreen()) << "the game still wants full screen";
  hwnd->postMessage(WM_ACTIVATEAPP, 1, 0);
  window->processEvents();
  EXPECT_TRUE(hwnd->isFullScreen()) << "coming back retakes it";
}

TEST_F(GLWindowTest, FrameCapAndPacingNeverRunFasterThanAsked) {
  window->setMaxFrameRate(30);
  EXPECT_EQ(window->getMaxFrameRate(), 33u);
  window->setMaxFrameRate(7);
  EXPECT_EQ(window->getMaxFrameRate(), 142u);
  window->setMaxFrameRate(0);
  EXPECT_EQ(window->getMaxFrameRate(), 0u);
  window->setMaxFrameRate(-5);
  EXPECT_EQ(window->getMaxFrameRate(), 0u);

  // Lower bounds only: waits never end early, however busy the machine is.
  window->setMaxFrameRate(20);
  window->flipBackBuffer(false, true);
  Clock::time_point start = Clock::now();
  for (int i = 0; i < 6; i++) window->flipBackBuffer(false, true);
  // The flip that starts the count spends part of the first period after it reads
  // the clock, so one period is not counted.
  EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(5 * 50));

  window->setMaxFrameRate(0);
  window->flipBackBuffer(false, true);
  start = Clock::now();
  for (int i = 0; i < 30; i++) window->flipBackBuffer(false, true);
  const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
  EXPECT_GE(ms, (30 - KFrameClock::kMaxCatchUp - 1) * 1000.0 / KFrameClock::kFramesPerSecond)
      << "60 frames a second, whatever the display";
  RecordProperty("paced_30_frames_ms", (int)ms);
}

// Hooks record what they saw, in order.
std::vector<std::string> gSeen;
std::vector<KEvent> gEvents;
bool gRawAnswer = true, gEngineAnswer = true;
bool rawHook(HWND, unsigned int msg, unsigned int, long) {
  gSeen.push_back("raw" + std::to_string(msg));
  return gRawAnswer;
}
bool engineHook(KEvent *ev) {
  gSeen.push_back("qmx" + std::to_string(ev->nativeMessage));
  gEvents.push_back(*ev);
  return gEngineAnswer;
}

class HookTest : public GLWindowTest {
protected:
  void SetUp() override {
    GLWindowTest::SetUp();
    gSeen.clear();
    gEvents.clear();
    gRawAnswer = gEngineAnswer = true;
    window->setCallBack(rawHook);
    window->setQMXCallBack(engineHook);
    KInput::setSource(&script);
    script.setPointer(33, 44);
    pump();
    gSeen.clear();
    gEvents.clear();
  }
  KScriptedInput script;
};

TEST_F(HookTest, EveryKindBecomesAnEventAfterTheRawHook) {
  hwnd->postMessage(WM_KEYDOWN, 0x41, 1 | (0x1E << 16));
  hwnd->postMessage(WM_KEYUP, 0x2E, (long)0xC0000001);
  hwnd->postMessage(WM_CHAR, 'x', 1);
  hwnd->postMessage(WM_RBUTTONDOWN, 0, makePointerLParam(5, 6));
  hwnd->postMessage(WM_MBUTTONUP, 0, 0);
  hwnd->postMessage(WM_MOUSEMOVE, 0, makePointerLParam(7, 8));
  hwnd->postMessage(WM_MOUSEWHEEL, (unsigned)(uint16_t)(int16_t)-120 << 16, 0);
  hwnd->postMessage(WM_SIZE, 0, 0);
  KInput::setLastWheelValue(0);
  for (int i = 0; i < 8; i++) window->processEvents();

  ASSERT_EQ(gEvents.size(), 8u);
  ASSERT_EQ(gSeen.size(), 16u);
  for (size_t i = 0; i < 8; i++) {
    EXPECT_EQ(gSeen[2 * i].substr(0, 3), "raw");
    EXPECT_EQ(gSeen[2 * i + 1].substr(0, 3), "qmx");
    EXPECT_EQ(gEvents[i].mouseX, 33) << "every event carries the polled pointer";
    EXPECT_EQ(gEvents[i].mouseY, 44);
  }
  const KEvent &down = gEvents[0];
  EXPECT_EQ(down.type, K_EVENT_KEYDOWN);
  EXPECT_EQ(down.virtualKey, 65);
  EXPECT_EQ(down.qmxKey, K_VK_A);
  EXPECT_EQ(down.character, 0x1E) << "key down carries the scan code";
  EXPECT_EQ(gEvents[1].type, K_EVENT_KEYUP);
  EXPECT_EQ(gEvents[1].qmxKey, K_VK_ERROR) << "Delete is not in the key table";
  EXPECT_EQ(gEvents[1].character, 0x2E) << "key up carries the key code's low byte";
  EXPECT_EQ(gEvents[2].type, K_EVENT_CHAR);
  EXPECT_EQ(gEvents[2].character, 'x');
  EXPECT_EQ(gEvents[2].qmxKey, K_VK_ERROR);
  EXPECT_EQ(gEvents[3].type, K_EVENT_MOUSEDOWN);
  EXPECT_EQ(gEvents[3].buttonIndex, 2);
  EXPECT_EQ(gEvents[3].nativeData, makePointerLParam(5, 6));
  EXPECT_EQ(gEvents[4].type, K_EVENT_MOUSEUP);
  EXPECT_EQ(gEvents[4].buttonIndex, 3);
  EXPECT_EQ(gEvents[5].type, K_EVENT_MOUSEMOVE);
  EXPECT_EQ(gEvents[5].buttonIndex, 0);
  EXPECT_EQ(gEvents[6].type, K_EVENT_WHEEL);
  EXPECT_EQ(gEvents[6].wheel, -120);
  EXPECT_EQ(KInput::_lastWheelValue, -120);
  EXPECT_EQ(gEvents[7].type, K_EVENT_OTHER);
  EXPECT_EQ(gEvents[7].nativeMessage, (long)WM_SIZE);
}

TEST_F(HookTest, AHookThatSaysNoSuppressesEngineHandling) {
  gRawAnswer = false;
  hwnd->postMessage(WM_CLOSE, 0, 0);
  window->processEvents();
  EXPECT_FALSE(window->isQuit());
  EXPECT_TRUE(gEvents.empty()) << "the engine hook is not asked either";

  gRawAnswer = true;
  gEngineAnswer = false;
  hwnd->postMessage(WM_CLOSE, 0, 0);
  window->processEvents();
  EXPECT_FALSE(window->isQuit());
  EXPECT_EQ(gEvents.size(), 1u);

  gEngineAnswer = true;
  hwnd->postMessage(WM_CLOSE, 0, 0);
  window->processEvents();
  EXPECT_TRUE(window->isQuit());
}

TEST_F(HookTest, FlipAdvancesTheScriptAndDrawsTheSoftwarePointer) {
  script.clear();
  script.push(100, 100, false);
  script.push(200, 150, false);
  window->displayMouse(true);
  window->setClearColor(0, 0.5f, 0, 1);
  window->setWorldView(0, 0, 0, 1, true);
  window->flipBackBuffer(false, true);
  EXPECT_EQ(script.frameIndex(), 1u);
  Rgba tip = readFramePixel(true, 100, 100);
  Rgba inside = readFramePixel(true, 101, 105);
  Rgba beside = readFramePixel(true, 110, 100);
  EXPECT_EQ(tip.r, 255) << "white outline at the hot spot";
  EXPECT_EQ(inside.r, 0);
  EXPECT_EQ(inside.g, 0) << "black body";
  EXPECT_EQ(beside.g, 128) << "transparent pixels show the frame";
  EXPECT_EQ(beside.r, 0);
  window->displayMouse(false);
}

TEST_F(GLWindowTest, PaintInTheBackgroundPresentsAndWaitsForTheForeground) {
  SDL_Window *other = SDL_CreateWindow("other", 0, 0, 100, 100, SDL_WINDOW_SHOWN);
  ASSERT_NE(other, nullptr);
  SDL_RaiseWindow(other);
  SDL_SetWindowInputFocus(other);
  // Only collect messages here: a paint dispatched now would already wait.
  for (int i = 0; i < 2000 && window->hasFocus(); i++) {
    KNativeWindow::pumpPlatform();
    SDL_Delay(10);
  }
  ASSERT_FALSE(window->hasFocus());
  KMessage drop;
  while (hwnd->peekMessage(drop)) {
  }

  window->flipBackBuffer(false, true);  // never blocks in the background

  window->setClearColor(1, 1, 0, 1);
  window->setWorldView(0, 0, 0, 1, true);
  // While waiting, a later paint (pushed from a timer) brings the window back.
  static HWND target;
  target = hwnd;
  window->setQMXCallBack([](KEvent *ev) {
    if (ev->nativeMessage == (long)WM_PAINT) target->raise();
    return true;
  });
  SDL_TimerID timer = SDL_AddTimer(
      150,
      [](Uint32, void *p) -> Uint32 {
        SDL_Event e{};
        e.type = SDL_WINDOWEVENT;
        e.window.windowID = (Uint32)(uintptr_t)p;
        e.window.event = SDL_WINDOWEVENT_EXPOSED;
        SDL_PushEvent(&e);
        return 100;
      },
      (void *)(uintptr_t)sdlId());
  hwnd->postMessage(WM_PAINT, 0, 0);
  window->processEvents();  // returns only once the window is in front again
  SDL_RemoveTimer(timer);
  EXPECT_TRUE(window->hasFocus());
  Rgba p = readFramePixel(true, 320, 240);
  EXPECT_EQ(p.r, 255) << "the paint presented the frame";
  EXPECT_EQ(p.g, 255);
  window->setQMXCallBack(nullptr);
  SDL_DestroyWindow(other);
}

TEST_F(GLWindowTest, RealKeysPointerAndButtonFromOutside) {
  ASSERT_TRUE(pumpUntil([&] { return window->hasFocus(); }));
  int wx, wy;
  SDL_GetWindowPosition(kSdlWindow(hwnd), &wx, &wy);

  ASSERT_TRUE(xdo("mousemove " + std::to_string(wx + 50) + " " + std::to_string(wy + 60)));
  EXPECT_TRUE(pumpUntil([] { return KInput::getMouseX() == 50 && KInput::getMouseY() == 60; }));
  ASSERT_TRUE(xdo("mousemove " + std::to_string(wx - 10) + " " + std::to_string(wy + 60)));
  EXPECT_TRUE(pumpUntil([] { return KInput::getMouseX() == -10; }))
      << "outside the window the position is negative: " << KInput::getMouseX();
  ASSERT_TRUE(xdo("mousemove " + std::to_string(wx + 600) + " " + std::to_string(wy + 400)));
  EXPECT_TRUE(pumpUntil([] { return KInput::getMouseX() == 600; }));

  ASSERT_TRUE(xdo("mousedown 1"));
  EXPECT_TRUE(pumpUntil([] { return KInput::getLeftButtonState(); }));
  ASSERT_TRUE(xdo("mouseup 1"));
  EXPECT_TRUE(pumpUntil([] { return !KInput::getLeftButtonState(); }));

  ASSERT_TRUE(xdo("keydown Shift_R"));
  EXPECT_TRUE(pumpUntil([] { return KInput::isPressed(K_VK_L_SHIFT); }))
      << "either Shift answers for the left one";
  EXPECT_TRUE(KInput::isPressed(K_VK_R_SHIFT));
  ASSERT_TRUE(xdo("keyup Shift_R"));
  ASSERT_TRUE(xdo("keydown a"));
  EXPECT_TRUE(pumpUntil([] { return KInput::isPressed(K_VK_A); }));
  EXPECT_FALSE(KInput::isPressed(K_VK_L_SHIFT));
  ASSERT_TRUE(xdo("keyup a"));
  EXPECT_TRUE(pumpUntil([] { return !KInput::isPressed(K_VK_A); }));
}

TEST_F(GLWindowTest, CapabilityProbeLeavesTheWindowAlone) {
  KWindowGL fresh;
  const bool accelerated = fresh.getAccelerationCap();
  EXPECT_FALSE(accelerated) << "llvmpipe is a software renderer";
  EXPECT_FALSE(fresh.isQuit());
  // The open window keeps drawing and reading back at its own size.
  window->setClearColor(0, 1, 0, 1);
  window->setWorldView(0, 0, 0, 1, true);
  EXPECT_EQ(readFramePixel(false, 639, 479).g, 255);
  EXPECT_EQ(KInput::_hwnd, hwnd);
  EXPECT_FALSE(window->getAccelerationCap()) << "known after creation without a probe";
}

}  // namespace
