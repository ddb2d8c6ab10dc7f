// The print picture read back from a real renderer, the screen after it, and a
// print attempted where no print dialog can open. Runs without a display (the
// binary hides any it inherits before the toolkit could see it).
#include <cstdlib>
#include <cstring>

#include "activities/misterMonster.h"
#include "activities/monster.h"
#include "activities/printMonster.h"
#include "app/shell.h"
#include "graphic/KImageCodec.h"
#include "input/KInput.h"
#include "print/KPrinter.h"
#include "print/print_fixture.h"
#include "window/KWindow.h"

using namespace printtest;

namespace {

// Counts pixels that differ from the expected picture and names the first one.
::testing::AssertionResult samePicture(const std::vector<uint32_t> &got,
                                       const std::vector<uint32_t> &want) {
  if (got.size() != want.size()) return ::testing::AssertionFailure() << "size " << got.size();
  size_t wrong = 0, first = 0;
  for (size_t i = 0; i < got.size(); i++) {
    if (got[i] == want[i]) continue;
    if (wrong++ == 0) first = i;
  }
  if (wrong == 0) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure()
         << wrong << " pixels differ; first at (" << first % W << ", " << first / W << "): "
         << describe(got[first]) << " instead of " << describe(want[first]);
}

class PrintPicture : public PrintTest {
protected:
  void SetUp() override {
    // No print dialog may ever open from this binary.
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    PrintTest::SetUp();
  }
};

TEST_F(PrintPicture, HoldsOnlyTheMonsterOnWhiteTheRightWayUp) {
  drawScreenFrame();
  std::vector<uint32_t> picture(size_t(W) * H, 0);
  ASSERT_TRUE(generatePicture(picture.data()));
  // Pixel for pixel: white paper, the body with its hole, the placed parts in slot
  // order, cut at the frame's edges; nothing of the background, buttons, palette
  // or the monster not on show.
  EXPECT_TRUE(samePicture(picture, expectedPicture()));
  size_t background = 0, buttons = 0;
  for (uint32_t p : picture) {
    background += p == kBackground;
    buttons += p == kButtons;
  }
  EXPECT_EQ(background, 0u);
  EXPECT_EQ(buttons, 0u);
}

TEST_F(PrintPicture, LeavesTheNormalViewForTheNextFlip) {
  drawScreenFrame();
  std::vector<uint32_t> picture(size_t(W) * H);
  ASSERT_TRUE(generatePicture(picture.data()));
  const std::vector<uint32_t> frame = savedFrame();
  ASSERT_EQ(frame.size(), size_t(W) * H);
  auto at = [&](int x, int y) { return frame[size_t(y) * W + x]; };
  EXPECT_EQ(describe(at(5, 470)), describe(kBackground));
  EXPECT_EQ(describe(at(kHole.cx(), kHole.cy())), describe(kBackground));
  for (const Block &p : kPalette) EXPECT_EQ(describe(at(p.cx(), p.cy())), describe(p.colour));
  EXPECT_EQ(describe(at(kBodyBlock.x + 2, kBodyBlock.y + 2)), describe(kBody));
  EXPECT_EQ(describe(at(kPlaced[1].cx(), kPlaced[1].cy())), describe(kPart2));
  // The builder's state is as it was: nothing picked up, moved or dropped.
  EXPECT_LE(inHand, 0);
  for (size_t i = 0; i < kPlaced.size(); i++) {
    EXPECT_EQ(allMonsters[1].allMonsterPart[i + 1].x, kPlaced[i].x);
    EXPECT_EQ(allMonsters[1].allMonsterPart[i + 1].y, kPlaced[i].y);
  }
  EXPECT_EQ(allMonsters[1].allMonsterPart[kPlaced.size() + 1].partID, 0);
}

TEST_F(PrintPicture, RepeatedPrintsGiveTheSamePicture) {
  // Each print makes and frees its read-back pictures; a second one must not see
  // anything of the first (the probe bands included).
  drawScreenFrame();
  std::vector<uint32_t> first(size_t(W) * H), second(size_t(W) * H);
  ASSERT_TRUE(generatePicture(first.data()));
  window->flipBackBuffer(false, true);
  drawScreenFrame();
  ASSERT_TRUE(generatePicture(second.data()));
  EXPECT_TRUE(samePicture(second, first));
}

TEST_F(PrintPicture, IsCutToTheMonsterWithAMargin) {
  // Without the parts at the frame's corners the monster is the body with parts 1
  // and 2 (300, 150)-(540, 430); 8 pixels of paper around it.
  for (int s = 3; s <= 5; s++) allMonsters[1].allMonsterPart[s].partID = 0;
  drawScreenFrame();
  sSnapshot shot;
  ASSERT_TRUE(monsterPicture(shot));
  const std::vector<uint32_t> &cut = shot.pixels;
  const int w = shot.width, h = shot.height;
  ASSERT_EQ(w, 240 + 16);
  ASSERT_EQ(h, 280 + 16);
  ASSERT_EQ(cut.size(), size_t(w) * h);
  std::vector<uint32_t> want(size_t(W) * H, kWhite);
  ASSERT_TRUE(generatePicture(want.data()));
  size_t wrong = 0;
  for (int y = 0; y < h; y++)
    for (int x = 0; x < w; x++) wrong += cut[size_t(y) * w + x] != want[size_t(y + 142) * W + x + 292];
  EXPECT_EQ(wrong, 0u);
  for (int x = 0; x < w; x++) ASSERT_EQ(cut[x], kWhite) << "the margin is paper";

  // Nothing to bound: the whole frame.
  const long saved[4] = {monstreX1, monstreY1, monstreX2, monstreY2};
  monstreX1 = monstreY1 = monstreX2 = monstreY2 = 0;
  for (int s = 1; s <= 5; s++) allMonsters[1].allMonsterPart[s].partID = 0;
  const sMonsterBounds all = monsterBounds();
  EXPECT_EQ(all.x2 - all.x1, W);
  EXPECT_EQ(all.y2 - all.y1, H);
  monstreX1 = saved[0], monstreY1 = saved[1], monstreX2 = saved[2], monstreY2 = saved[3];
}

// The fixture's sprite sheet as a decoded picture, every pixel repeated scale
// times across and down: the sheet as rendered for paper.
KImage sheetAt(const std::vector<uint32_t> &sheet, int side, int scale) {
  KImage out;
  out.width = out.height = side * scale;
  out.rgba.resize(size_t(out.width) * out.height * 4);
  for (int y = 0; y < out.height; y++)
    for (int x = 0; x < out.width; x++)
      std::memcpy(&out.rgba[(size_t(y) * out.width + x) * 4], &sheet[size_t(y / scale) * side + x / scale], 4);
  return out;
}

TEST_F(PrintPicture, ThePrintSheetComposesTheMonsterExactlyAsTheScreenDrawsIt) {
  drawScreenFrame();
  sSnapshot screen;
  ASSERT_TRUE(monsterPicture(screen));
  // At the screen's own size the composed picture is the renderer's, pixel for
  // pixel; from a sheet three times larger, each of its pixels three times over.
  for (int scale : {1, 3}) {
    SCOPED_TRACE(scale);
    sSnapshot paper;
    ASSERT_TRUE(composeMonster(sheetAt(sheet(), 512, scale), scale, paper));
    ASSERT_EQ(paper.width, screen.width * scale);
    ASSERT_EQ(paper.height, screen.height * scale);
    size_t wrong = 0;
    for (int y = 0; y < paper.height; y++)
      for (int x = 0; x < paper.width; x++)
        wrong += paper.pixels[size_t(y) * paper.width + x] !=
                 screen.pixels[size_t(y / scale) * screen.width + x / scale];
    EXPECT_EQ(wrong, 0u);
  }
  // Without a print sheet of a whole multiple of the screen's, the screen's picture.
  sSnapshot printed;
  ASSERT_TRUE(printPicture(printed));
  EXPECT_EQ(printed.width, screen.width);
  EXPECT_EQ(printed.pixels, screen.pixels);
}

TEST_F(PrintPicture, NullDestinationOrNoWindowIsRefused) {
  EXPECT_FALSE(generatePicture(nullptr));
  KWindow *saved = gameWindow;
  gameWindow = nullptr;
  std::vector<uint32_t> picture(size_t(W) * H, 0);
  EXPECT_FALSE(generatePicture(picture.data()));
  gameWindow = saved;
  for (uint32_t p : picture) ASSERT_EQ(p, kWhite);  // a refused picture is blank, not stale
}

TEST_F(PrintPicture, WithoutADisplayPrintingFailsQuietlyAndTheScreenCarriesOn) {
  KInput::hidePointer();
  input.changes.clear();
  drawScreenFrame();
  printMonster();
  EXPECT_FALSE(KPrinter::available());
  EXPECT_EQ(KPrinter::lastOutcome(), K_PRINT_FAILED);
  // Shown for the dialog, hidden again afterwards.
  ASSERT_EQ(input.changes.size(), 2u);
  EXPECT_TRUE(input.changes[0]);
  EXPECT_FALSE(input.changes[1]);
  EXPECT_FALSE(input.systemPointerVisible());
  // The next flip shows the screen, and the screen keeps running.
  const std::vector<uint32_t> frame = savedFrame();
  ASSERT_EQ(frame.size(), size_t(W) * H);
  EXPECT_EQ(describe(frame[size_t(470) * W + 5]), describe(kBackground));
  EXPECT_FALSE(window->isQuit());
  window->flipBackBuffer(false, true);
  drawScreenFrame();
  EXPECT_FALSE(window->isQuit());
}

}  // namespace
