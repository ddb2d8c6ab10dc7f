// Pictures drawn in the OpenGL window made by the factory: the window's world
// view carries the blits, grabs read the frame being drawn and the frame last
// presented, and a save leaves the frame as it was.
#include <gtest/gtest.h>

#include <SDL.h>
#include <GL/gl.h>

#include <cstdio>
#include <string>
#include <vector>

#include "GLTestContext.h"
#include "gl/KGraphicGL.h"
#include "graphic/KImageCodec.h"
#include "window/KQMX.h"
#include "gl/KWindowGL.h"

namespace {

// The frame being drawn (or the one presented), top row first.
std::vector<uint32_t> frame(bool front) {
  std::vector<uint32_t> rows(640 * 480), out(640 * 480);
  KWindowGL::selectReadBuffer(front);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(0, 0, 640, 480, GL_RGBA, GL_UNSIGNED_BYTE, rows.data());
  KWindowGL::restoreReadBuffer();
  for (int y = 0; y < 480; y++) {
    for (int x = 0; x < 640; x++) out[y * 640 + x] = rows[(479 - y) * 640 + x] | 0xFF000000u;
  }
  return out;
}

class PicturesInWindow : public ::testing::Test {
protected:
  void SetUp() override {
    window = KQMX::createKWindow(K_OPENGL, false);
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(window->createGameWindow(640, 480, -1, true, "Pabrix pictures"));
    ASSERT_EQ(KGraphicGL::screenWidth, 640);
    // Square tiles of four colours, 16 x 16.
    std::vector<uint8_t> rgba(16 * 16 * 4);
    for (int i = 0; i < 256; i++) {
      int x = i % 16, y = i / 16;
      rgba[i * 4] = x < 8 ? 255 : 0;
      rgba[i * 4 + 1] = y < 8 ? 255 : 0;
      rgba[i * 4 + 2] = 60;
      rgba[i * 4 + 3] = 255;
    }
    path = dir.file("tiles.tga");
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(KImageCodec::encode(K_IMAGE_TGA, 16, 16, 4, rgba.data(), 64, false, bytes));
    ASSERT_TRUE(dir.write(path, bytes));
    pic = KQMX::createKGraphic();
    ASSERT_NE(pic, nullptr);
    ASSERT_TRUE(pic->loadPicture(path.c_str(), true, true));
  }
  void TearDown() override {
    delete pic;
    delete window;
  }

  TempFolder dir;
  std::string path;
  KWindow *window = nullptr;
  KGraphic *pic = nullptr;
};

const uint32_t kYellow = 0xFF3CFFFFu, kGreen = 0xFF3CFF00u, kBlack = 0xFF000000u;

TEST_F(PicturesInWindow, BlitsFollowTheWorldViewAndGrabsReadTheRightFrame) {
  window->setClearColor(0, 0, 0, 1);
  window->setWorldView(10, -20, 0, 1, true);  // 10 right, 20 down the screen
  pic->blitRect(0, 0, 16, 16, 100, 50, false, false);
  std::vector<uint32_t> drawn = frame(false);
  EXPECT_EQ(drawn[70 * 640 + 110], kYellow);
  EXPECT_EQ(drawn[70 * 640 + 125], kGreen);
  EXPECT_EQ(drawn[69 * 640 + 110], kBlack);

  KGraphic *grab = KQMX::createKGraphic();
  ASSERT_TRUE(grab->grabBackBuffer(nullptr));
  window->flipBackBuffer(false, true);
  // A new frame: the grab drawn back reproduces the old one exactly.
  window->setWorldView(0, 0, 0, 1, true);
  glColor4f(1, 1, 1, 1);
  grab->blitRect(0, 0, 640, 480, 0, 0, false, false);
  EXPECT_TRUE(frame(false) == drawn);

  // The front buffer is the frame presented, not the one being drawn.
  window->setWorldView(0, 0, 0, 1, true);
  KGraphic *front = KQMX::createKGraphic();
  ASSERT_TRUE(front->grabFrontBuffer());
  front->blitRect(0, 0, 640, 480, 0, 0, false, false);
  EXPECT_TRUE(frame(false) == drawn);
  delete front;
  delete grab;
}

TEST_F(PicturesInWindow, SaveWritesTheFrameAndLeavesItUnchanged) {
  window->setClearColor(0, 0, 0.5f, 1);
  window->setDefaultWorldView();
  window->setWorldView(0, 0, 0, 1, true);
  for (int i = 0; i < 8; i++) pic->blitRect(0, 0, 16, 16, i * 70, i * 50, false, i & 1);
  std::vector<uint32_t> before = frame(false);
  std::string out = dir.file("shot.bmp");
  EXPECT_TRUE(pic->saveBackBuffer(out.c_str(), 0, 0, 0));
  EXPECT_TRUE(frame(false) == before);
  KImage img;
  ASSERT_TRUE(KImageCodec::readFile(out.c_str(), img));
  ASSERT_EQ(img.width, 640);
  ASSERT_EQ(img.height, 480);
  for (int i = 0; i < 640 * 480; i += 331) {
    const uint8_t *p = img.rgba.data() + i * 4;
    ASSERT_EQ(p[0] | (p[1] << 8) | (p[2] << 16) | (p[3] << 24), before[i]) << i;
  }
}

}  // namespace
