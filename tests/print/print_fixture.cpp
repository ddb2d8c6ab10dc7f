// The printing fixture: a real window and renderer, the monster builder's state
// filled by hand, and the frame read back through the renderer's file writer.
// Test thread only.
#include "print/print_fixture.h"
#include "support/TestHome.h"

#include <stb_image.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "activities/misterMonster.h"
#include "activities/monster.h"
#include "app/shell.h"
#include "graphic/KGraphic.h"
#include "input/KInput.h"
#include "platform/KNativeWindow.h"
#include "window/KFrameClock.h"
#include "window/KQMX.h"
#include "window/KWindow.h"

namespace printtest {

bool near(uint32_t a, uint32_t b, int tol) {
  return std::abs(red(a) - red(b)) <= tol && std::abs(green(a) - green(b)) <= tol &&
         std::abs(blue(a) - blue(b)) <= tol;
}

std::string describe(uint32_t c) {
  char s[40];
  snprintf(s, sizeof s, "(%d, %d, %d)", red(c), green(c), blue(c));
  return s;
}

const Block kBodyBlock{300, 150, 120, 180, kBody};
const Block kHole{350, 230, 20, 20, kWhite};
const std::vector<Block> kPlaced{
    {310, 160, 40, 40, kPart1},  // over the body
    {500, 400, 40, 30, kPart2},  // low on the right: shows which way up the page is
    {100, 400, 20, 20, kPart3},  // an inactive catalogue entry still prints
    {620, 460, 40, 40, kPart1},  // cut by the right and bottom edges
    {-10, -5, 40, 30, kPart2},   // cut by the left and top edges
};
const std::vector<Block> kPalette{{20, 100, 40, 40, kPart1}, {20, 200, 40, 30, kPart2}};

namespace {

// Sheet rectangles of parts 1..3; the body lies where it is drawn on the screen.
const Block kSheetParts[] = {
    {0, 0, 40, 40, kPart1}, {40, 0, 40, 30, kPart2}, {80, 0, 20, 20, kPart3}};
constexpr int kSheetSide = 512;

void fill(std::vector<uint32_t> &pixels, int stride, const Block &b, uint32_t colour) {
  const int rows = int(pixels.size()) / stride;
  for (int y = std::max(0, b.y); y < std::min(rows, b.y + b.h); y++)
    for (int x = std::max(0, b.x); x < std::min(stride, b.x + b.w); x++)
      pixels[size_t(y) * stride + x] = colour;
}

KGraphic *arrayPicture(std::vector<uint32_t> &pixels, int w, int h) {
  KGraphic *g = KQMX::createKGraphic();
  if (g && !g->makePictureFromArray(pixels.data(), w, h, true)) ADD_FAILURE() << "array picture";
  return g;
}

void deletePicture(KGraphic *&g) {
  delete g;
  g = nullptr;
}

}  // namespace

std::vector<uint32_t> expectedPicture() {
  std::vector<uint32_t> out(size_t(W) * H, kWhite);
  fill(out, W, kBodyBlock, kBody);
  fill(out, W, kHole, kWhite);
  for (const Block &b : kPlaced) fill(out, W, b, b.colour);
  return out;
}

void PrintTest::SetUp() {
  dir = testhome::makeDir("print");
  setenv("XDG_DOCUMENTS_DIR", dir.c_str(), 1);

  KFrameClock::setEnabled(false);
  KInput::setSource(nullptr);
  setMusicPlayer([](const char *) {});  // the screens' music is not what is tested
  const char *pick = getenv("PRINT_TEST_RENDERER");
  const bool gl = pick && std::strcmp(pick, "opengl") == 0;
  window = KQMX::createKWindow(gl ? K_OPENGL : K_DIRECTX, false);
  if (!window || KQMX::_renderer != (gl ? K_OPENGL : K_DIRECTX)) {
    delete window;
    window = nullptr;
    GTEST_SKIP() << "this build has no " << (gl ? "OpenGL" : "Direct3D") << " renderer";
  }
  ASSERT_TRUE(window->createGameWindow(W, H, 32, true, "Pabrix"));
  gameWindow = window;
  window->flipBackBuffer(false, true);  // opens the first scene
  KInput::setSource(&input);
  input.setPointer(30, 110);  // over palette part 1: hover must not reach the page

  _sheet.assign(size_t(kSheetSide) * kSheetSide, 0);  // transparent
  fill(_sheet, kSheetSide, kBodyBlock, kBody);
  fill(_sheet, kSheetSide, kHole, 0);
  for (const Block &p : kSheetParts) fill(_sheet, kSheetSide, p, p.colour);
  _background.assign(size_t(W) * H, kBackground);
  _buttons.assign(256 * 256, kButtons);
  surf_monster = arrayPicture(_sheet, kSheetSide, kSheetSide);
  surf_back = arrayPicture(_background, W, H);
  _surfButtons = arrayPicture(_buttons, 256, 256);

  std::memset(allParts, 0, sizeof allParts);
  std::memset(allMonsters, 0, sizeof allMonsters);
  for (int i = 0; i < 3; i++) {
    const Block &s = kSheetParts[i];
    sRealPart &p = allParts[i + 1];
    p.id = i == 2 ? -1 : 1;
    p.x1 = s.x, p.y1 = s.y, p.x2 = s.x + s.w, p.y2 = s.y + s.h;
    p.dx = 20, p.dy = 100 * (i + 1);
  }
  const int partOf[] = {1, 2, 3, 1, 2};
  for (size_t i = 0; i < kPlaced.size(); i++)
    allMonsters[1].allMonsterPart[i + 1] = sMonsterPart{partOf[i], kPlaced[i].x, kPlaced[i].y};
  allMonsters[2].allMonsterPart[1] = sMonsterPart{1, 200, 200};  // another monster's part
  monstreX1 = kBodyBlock.x, monstreY1 = kBodyBlock.y;
  monstreX2 = kBodyBlock.x + kBodyBlock.w, monstreY2 = kBodyBlock.y + kBodyBlock.h;
  currentAlien = 1;
  maxMonsters = 3;
  inHand = -1;
  cleary = 420;
  trashy = 480;
  preferences.printing = true;
}

void PrintTest::TearDown() {
  deletePicture(surf_monster);
  deletePicture(surf_back);
  deletePicture(_surfButtons);
  delete window;
  window = nullptr;
  gameWindow = nullptr;
  KInput::setSource(nullptr);
  if (!dir.empty()) testhome::removeTree(dir);
}

void PrintTest::drawScreenFrame() {
  window->setDefaultWorldView();
  surf_back->blitRect(0, 0, W, H, 0, 0, false, false);
  doButtons(_surfButtons);
  displayMonster(false);
}

std::vector<uint32_t> PrintTest::savedFrame() {
  const std::string path = dir + "/frame.bmp";
  KGraphic *g = KQMX::createKGraphic();
  std::vector<uint32_t> out;
  if (!g) return out;
  g->saveBackBuffer(path.c_str(), 0, 0, 0);
  delete g;
  int w = 0, h = 0, n = 0;
  unsigned char *rgba = stbi_load(path.c_str(), &w, &h, &n, 4);
  if (rgba && w == W && h == H) {
    out.resize(size_t(W) * H);
    for (size_t i = 0; i < out.size(); i++)
      out[i] = rgb(rgba[i * 4], rgba[i * 4 + 1], rgba[i * 4 + 2]);
  }
  stbi_image_free(rgba);
  std::remove(path.c_str());
  return out;
}

}  // namespace printtest
