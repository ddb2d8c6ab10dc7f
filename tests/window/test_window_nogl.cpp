// The OpenGL window where no GL exists (SDL's dummy driver): creation reports the
// failure with its messages and returns false, and the window stays usable as far
// as it goes: nothing crashes, quit still works.
#include <gtest/gtest.h>

#include "window/KQMX.h"
#include "gl/KWindowGL.h"
#include "platform/KWindowMessages.h"
#include "platform/KNativeWindow.h"

namespace {

TEST(GLWindowWithoutGL, CreationFailsWithTheMessagesAndLaterCallsAreHarmless) {
  KWindow *w = KQMX::createKWindow(K_OPENGL, false);
  ASSERT_NE(w, nullptr);
  testing::internal::CaptureStderr();
  EXPECT_FALSE(w->createGameWindow(640, 480, -1, true, "Pabrix"));
  const std::string err = testing::internal::GetCapturedStderr();
  const size_t first = err.find("Could not initialize openGL: Please install your video drivers");
  const size_t second =
      err.find("Could not select fixel format: OpenGl error : video drivers probably missing.");
  EXPECT_NE(first, std::string::npos) << err;
  EXPECT_NE(second, std::string::npos) << err;
  EXPECT_LT(first, second);

  HWND hwnd = w->getWindowHandle();
  ASSERT_TRUE(KNativeWindow::isWindow(hwnd)) << "the window itself stays open";
  w->setClearColor(1, 1, 1, 1);
  w->setDefaultWorldView();
  w->setWorldView(1, 2, 3, 4, true);
  w->setGamma(0.5f);
  w->displayMouse(true);
  w->flipBackBuffer(true, true);
  w->toggleFullScreen(true);
  w->toggleFullScreen(false);
  w->setMaxFrameRate(-1);
  w->minimize();
  w->restore();
  w->setTitle(nullptr);
  EXPECT_FALSE(w->isQuit());
  hwnd->postMessage(WM_CLOSE, 0, 0);
  w->processEvents();
  EXPECT_TRUE(w->isQuit());
  delete w;
  EXPECT_FALSE(KNativeWindow::isWindow(hwnd));
}

TEST(GLWindowWithoutGL, BadSizesAndCallsBeforeCreationDoNothing) {
  KWindowGL w;
  EXPECT_FALSE(w.createGameWindow(0, 480, -1, true, "x"));
  EXPECT_FALSE(w.createGameWindow(640, -2, -1, true, "x"));
  EXPECT_EQ(w.getWindowHandle(), nullptr);
  w.flipBackBuffer(true, true);
  w.processEvents();
  w.toggleFullScreen(true);
  EXPECT_FALSE(w.isFullScreen());
  EXPECT_FALSE(w.hasFocus());
  w.terminate();
  EXPECT_TRUE(w.isQuit());
}

}  // namespace
