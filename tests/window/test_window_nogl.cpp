// The OpenGL window where no GL exists (SDL's dummy driver): creation reports the
// failure with its messages and returns false, and the window stays usable as far
// as it goes: nothing crashes, quit still works.
#include <gtest/gtest.h>

#include "window/KQMX.h"
#include "window/KQMXNull.h"
#include "d3d/KGraphicD3D.h"
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

// While a backend is set the factory makes its family, with the renderer asked
// still recorded; removing it brings the real renderers back.
TEST(Factory, ABackendMakesItsFamilyUntilItIsRemoved) {
  KQMXNullBackend null;
  KQMX::setBackend(&null);
  KWindow *w = KQMX::createKWindow(K_OPENGL, false);
  KGraphic *g = KQMX::createKGraphic();
  EXPECT_NE(dynamic_cast<KNullWindow *>(w), nullptr);
  EXPECT_NE(dynamic_cast<KNullGraphic *>(g), nullptr);
  EXPECT_EQ(KQMX::_renderer, K_OPENGL);
  delete g;
  delete w;
  KQMX::setBackend(nullptr);
  KQMX::_renderer = K_DIRECTX;
  g = KQMX::createKGraphic();
  EXPECT_NE(dynamic_cast<KGraphicD3D *>(g), nullptr);
  delete g;
}

}  // namespace
