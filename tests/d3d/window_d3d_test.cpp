// KWindowD3D headless: packed settings, clearing and presenting, the gamma
// overlay, full-screen switches, the window procedure, and the matrix helpers.
#include <chrono>
#include <cmath>
#include <cstdio>

#include "d3d/KD3DMatrix.h"
#include "d3d_fixture.h"

namespace {

TEST_F(D3DTest, SettingsArePackedAndStoredAsTheWindowContractSays) {
  window->setClearColor(1, 0, 0, 1);
  EXPECT_EQ(0xFFFF0000ul, window->getClearColor());
  window->setClearColor(0.5f, 0.25f, 1, 0);
  EXPECT_EQ(0x007F3FFFul, window->getClearColor());  // components truncate
  window->setMaxFrameRate(30);
  EXPECT_EQ(33ul, window->getMaxFrameRate());
  window->setMaxFrameRate(7);
  EXPECT_EQ(142ul, window->getMaxFrameRate());
  window->setMaxFrameRate(-5);
  EXPECT_EQ(0ul, window->getMaxFrameRate());
  window->setGamma(-1);
  EXPECT_EQ(0.0f, window->getGamma());
  window->setGamma(1.5f);
  EXPECT_EQ(1.5f, window->getGamma());
  EXPECT_TRUE(window->getRectangleTexCap());
  EXPECT_TRUE(window->getAccelerationCap());
  EXPECT_EQ(640, window->getWindowWidth());
  EXPECT_EQ(480, window->getWindowHeight());
  EXPECT_FALSE(window->isQuit());
}

TEST_F(D3DTest, ClearingFillsTheFrameAndFlippingPresentsIt) {
  clear(0, 0, 1);
  EXPECT_EQ(0x0000FFu, px(0, 0));
  EXPECT_EQ(0x0000FFu, px(639, 479));
  long before = window->framesShown();
  window->flipBackBuffer(false, true);
  window->flipBackBuffer(true, false);  // dummy video is always in front: never blocks
  EXPECT_EQ(before + 2, window->framesShown());
  // The default view does not clear: the frame keeps its pixels.
  window->setDefaultWorldView();
  EXPECT_EQ(0x0000FFu, px(320, 240));
}

TEST_F(D3DTest, GammaBelowOneDarkensEachPresentedFrame) {
  clear(1, 1, 1);
  window->setGamma(0.25f);  // black at alpha 191 over white
  window->flipBackBuffer(false, false);
  EXPECT_NEAR(64, int(px(10, 10) & 0xFF), 1);
  clear(1, 1, 1);
  window->setGamma(1.0f);
  window->flipBackBuffer(false, false);
  EXPECT_EQ(0xFFFFFFu, px(10, 10));
  window->setGamma(0);
  window->flipBackBuffer(false, false);
  EXPECT_EQ(0u, px(10, 10)) << "gamma 0 blacks the screen out";
}

// On Windows this runs on the system's DirectDraw (under Wine a display that
// presents well over 60 frames a second): the game still advances 60 a second.
TEST_F(D3DTest, FramesAdvanceSixtyTimesASecondHoweverFastTheDisplayPresents) {
  using Clock = std::chrono::steady_clock;
  const auto secondsFor = [&](int frames) {
    const Clock::time_point start = Clock::now();
    for (int i = 0; i < frames; ++i) window->flipBackBuffer(false, true);
    return std::chrono::duration<double>(Clock::now() - start).count();
  };
  secondsFor(10);  // the display's own start-up is not its rate
  const double unpaced = 60 / secondsFor(60);
  KFrameClock::setEnabled(true);
  window->flipBackBuffer(false, true);  // the clock counts from here
  const double paced = secondsFor(60);
  KFrameClock::setEnabled(false);
  std::printf("the display presents %.0f frames a second; paced: %.1f\n", unpaced, 60 / paced);
  RecordProperty("unpaced_per_second", int(unpaced));
  RecordProperty("paced_per_second_x10", int(600 / paced));
  // A lower bound on time only: a busy machine can slow frames, never hurry them
  // beyond the few a late frame may catch up (and the starting flip's own period).
  EXPECT_GE(paced, double(60 - KFrameClock::kMaxCatchUp - 1) / KFrameClock::kFramesPerSecond);
}

TEST_F(D3DTest, FullScreenSwitchesAreIdempotentAndKeepTheDeviceWorking) {
  window->toggleFullScreen(false);  // already windowed
  EXPECT_FALSE(window->isFullScreen());
  window->toggleFullScreen(true);
  EXPECT_TRUE(window->isFullScreen());
  IDirectDrawSurface7 *back = KGraphicD3D::_backBuffer;
  window->toggleFullScreen(true);
  EXPECT_EQ(back, KGraphicD3D::_backBuffer) << "no second switch";
  window->flipBackBuffer(false, true);
  clear(0, 1, 0);
  EXPECT_EQ(0x00FF00u, px(5, 5));
  long before = window->framesShown();
  window->flipBackBuffer(false, true);
  EXPECT_EQ(before + 1, window->framesShown());
  window->toggleFullScreen(false);
  window->flipBackBuffer(false, true);
  clear(1, 0, 0);
  EXPECT_EQ(0xFF0000u, px(639, 0));
}

bool gSwallow = false;
int gEvents = 0, gWheel = 0;
bool rawHook(HWND, unsigned int, unsigned int, long) { return !gSwallow; }
bool eventHook(KEvent *ev) {
  ++gEvents;
  if (ev->type == K_EVENT_WHEEL) gWheel = ev->wheel;
  return true;
}
// One message per call, as the frame loop does; other window messages may be queued.
void drain(KWindow *w) {
  for (int i = 0; i < 64; ++i) w->processEvents();
}

TEST_F(D3DTest, WindowProcedureRunsHooksThenQuitsOnCloseAndRecordsTheWheel) {
  HWND hwnd = window->getWindowHandle();
  window->setCallBack(rawHook);
  window->setQMXCallBack(eventHook);
  gSwallow = true;  // the raw hook consumes everything, even a close request
  hwnd->postMessage(WM_CLOSE, 0, 0);
  drain(window);
  EXPECT_FALSE(window->isQuit());
  EXPECT_EQ(0, gEvents);
  gSwallow = false;
  hwnd->postMessage(WM_MOUSEWHEEL, uint32_t(uint16_t(-120)) << 16, 0);
  drain(window);
  EXPECT_EQ(-120, gWheel);
  EXPECT_EQ(-120, KInput::_lastWheelValue);
  hwnd->postMessage(WM_CLOSE, 0, 0);
  drain(window);
  EXPECT_TRUE(window->isQuit());
  EXPECT_TRUE(KNativeWindow::isWindow(hwnd)) << "closing does not destroy the window";
  window->setCallBack(nullptr);
  window->setQMXCallBack(nullptr);
}

TEST(D3DMatrix, HelpersBuildTheRowVectorTransforms) {
  D3DMATRIX m;
  ortho(&m, 640, 480, -100, 100);
  EXPECT_FLOAT_EQ(2.0f / 640, m._11);
  EXPECT_FLOAT_EQ(2.0f / 480, m._22);
  EXPECT_FLOAT_EQ(1.0f / 200, m._33);
  EXPECT_FLOAT_EQ(0.5f, m._43);
  EXPECT_FLOAT_EQ(1.0f, m._44);
  rotatez(m, 90);
  EXPECT_NEAR(0, m._11, 1e-6);
  EXPECT_NEAR(1, m._12, 1e-6);
  EXPECT_NEAR(-1, m._21, 1e-6);
  // translate and scale replace what was there; a point (1, 0) turned by 90
  // degrees then moved by (10, 20) ends at (10, 21).
  D3DMATRIX t, both;
  translate(t, 10, 20, 0);
  multiply(both, m, t);
  float x = 1 * both._11 + 0 * both._21 + both._41, y = 1 * both._12 + 0 * both._22 + both._42;
  EXPECT_NEAR(10, x, 1e-5);
  EXPECT_NEAR(21, y, 1e-5);
  scale(t, 2, 3, 0);
  EXPECT_EQ(0.0f, t._41);
  EXPECT_EQ(3.0f, t._22);
}

}  // namespace
