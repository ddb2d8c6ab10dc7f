// The peg board run in-process on the recording window: first visit, painting,
// the hovered cell's truncating division, the colour strip, the clear button,
// board keys, and the board file (short, damaged, failed saves).
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <new>

#include "support/CountingNew.h"
#include "support/portable.h"
#include "support/save_blocker.h"
#include "activities/pabglow.h"
#include "support/shell_fakes.h"
#include "app/navigation.h"
#include "app/shell.h"
#include "platform/mixer/Mixer.h"
#include "sound/KSound.h"
#include "tools/KMiscTools.h"

namespace {

const InputFrame kEscape{0, 0, false, {K_VK_ESCAPE}};

int cellIndex(int c, int r) { return c + 32 * r; }

class Pabglow : public ::testing::Test {
protected:
  TempDocuments docs;
  ScriptInput input;
  ScopedInput scoped{input};
  RecordingWindow window;

  void SetUp() override {
    rec.reset();
    rec.pictureSizes = {{"btns.tga", {256, 256}}, {"pabglowback.tga", {640, 640}},
                        {"mouse.tga", {32, 32}}, {"nav.tga", {256, 160}}};
    for (int i = 0; i <= 10; i++) rec.pictureSizes["pen" + std::to_string(i) + ".tga"] = {16, 16};
    gameWindow = &window;
    input.releaseAfterEvents = 3;
    // Nothing here listens: a device nobody plays spares opening the system's
    // sound output for every run of the board.
    KSound::openDevice = &mixer::Device::openHeadless;
  }
  void TearDown() override {
    gameWindow = nullptr;
    KSound::openDevice = &mixer::Device::open;
  }

  void run(std::vector<InputFrame> frames) {
    input.play(withReleasedStart(std::move(frames)));
    doPabglow();
  }
  std::vector<unsigned char> file() { return readWholeFile(docs.file("pabglow.dat")); }
  static std::vector<unsigned char> boardsImage() {
    std::vector<unsigned char> out(PABGLOW_FILE_SIZE);
    encodeBoards(out.data());
    return out;
  }
  // Pegs (not the hovered or current-pen ones) drawn on `frame`.
  int pegsDrawn(int frame) {
    int n = 0;
    for (const DrawCall &c : rec.calls)
      if (c.frame == frame && c.op == "blitAlphaRect" && c.picture.rfind("pen", 0) == 0 &&
          !(c.args[4] == 502 && c.args[5] == 416))
        n++;
    return n;
  }
};

TEST_F(Pabglow, FirstVisitShowsEmptyBoardZeroAndPenFour) {
  currentGrid = 6;
  currentPen = 9;
  run({{0, 0, false, {}}, kEscape});
  EXPECT_EQ(currentGrid, 0);
  EXPECT_EQ(currentPen, 4);
  EXPECT_EQ(pegsDrawn(0), 0);
  EXPECT_TRUE(rec.drewAt("pen4.tga", "blitAlphaRect", 502, 416, 0));
  // Texture quality is set on the button picture before it loads.
  ASSERT_FALSE(rec.calls.empty());
  EXPECT_EQ(rec.calls[0].op, "setTextureQuality");
  EXPECT_EQ(rec.calls[0].args, std::vector<float>{1});
  // Leaving writes all ten empty boards, and Escape presents no frame.
  EXPECT_EQ(rec.frames, 1);
  auto bytes = file();
  ASSERT_EQ(bytes.size(), (size_t)PABGLOW_FILE_SIZE);
  for (size_t i = 0; i < bytes.size(); i += 4) ASSERT_EQ(bytes[i], 10) << i;
  EXPECT_EQ(rec.livePictures, 0);
}

TEST_F(Pabglow, AStrokePaintsEveryHoleBetweenFrames) {
  // Three frames across row 2 (x 70..85 is column 0, 86..101 column 1, ...) to
  // column 19, then down and left to (17, 5); released over column 25.
  run({{75, 70, true, {}}, {235, 70, true, {}}, {379, 70, true, {}}, {350, 120, true, {}},
       {475, 70, false, {}}, {75, 85, true, {}}, {40, 100, true, {}}, {90, 400, true, {}},
       {200, 120, true, {}}, {210, 120, false, {}}, kEscape});
  const int32_t *g = allGrids[0].gridpabglow;
  for (int c = 0; c < 20; c++) EXPECT_EQ(g[cellIndex(c, 2)], 4) << c;
  EXPECT_EQ(g[cellIndex(20, 2)], 10);
  EXPECT_EQ(g[cellIndex(18, 4)], 4);  // the diagonal step between (19, 2) and (17, 5)
  EXPECT_EQ(g[cellIndex(17, 5)], 4);
  EXPECT_EQ(g[cellIndex(25, 2)], 10);  // hovered with the button up
  // Leaving the board ends the stroke: (0, 3) does not join (8, 5).
  EXPECT_EQ(g[cellIndex(0, 3)], 4);
  EXPECT_EQ(g[cellIndex(8, 5)], 4);
  EXPECT_EQ(g[cellIndex(4, 4)], 10);
  // The hovered peg is half transparent, at the cell's place.
  auto hover = rec.find("pen4.tga", "blitAlphaRectFx", 4);
  ASSERT_EQ(hover.size(), 1u);
  EXPECT_EQ(hover[0].args, (std::vector<float>{0, 0, 16, 16, 470, 69, 0, 1, 0.5f}));
  // Pegs are drawn from the next frame on, columns outermost.
  auto pegs = rec.find("pen4.tga", "blitAlphaRect", 2);
  ASSERT_GE(pegs.size(), 11u);
  EXPECT_EQ(pegs[0].args[4], 70);
  EXPECT_EQ(pegs[10].args[4], 230);
}

TEST_F(Pabglow, AClickShorterThanAFramePaintsItsHole) {
  InputFrame tap(300, 300, false);
  tap.taps = 1;  // pressed and released between two frames (a touchpad tap)
  run({{300, 300, false, {}}, tap, {300, 300, false, {}}, kEscape});
  EXPECT_EQ(allGrids[0].gridpabglow[cellIndex(14, 16)], 4);
}

TEST_F(Pabglow, PointerJustOutsideTheGridTruncatesToTheFirstCell) {
  // (55 - 70) / 16 is 0 when truncated toward zero; 54 gives -1.
  run({{55, 22, true, {}}, {54, 60, true, {}}, {80, 21, true, {}},
       {70 + 16 * 32, 60, true, {}}, {75, 37 + 16 * 21, true, {}}, kEscape});
  const int32_t *g = allGrids[0].gridpabglow;
  EXPECT_EQ(g[cellIndex(0, 0)], 4);
  EXPECT_EQ(g[cellIndex(0, 1)], 10);
  EXPECT_EQ(g[cellIndex(31, 1)], 10);
  EXPECT_EQ(g[cellIndex(0, 20)], 10);
  EXPECT_TRUE(rec.drewAt("pen4.tga", "blitAlphaRectFx", 70, 37, 0));
  EXPECT_TRUE(rec.find("pen4.tga", "blitAlphaRectFx", 1).empty());
}

TEST_F(Pabglow, ColourStripBands) {
  struct Probe {
    int x, y;
    long pen;
  } probes[] = {{90, 406, 0},   {117, 445, 0},  {118, 420, 1}, {141, 420, 1}, {142, 420, 2},
                {166, 420, 2},  {167, 420, 3},  {187, 420, 3}, {188, 420, 4}, {211, 420, 4},
                {212, 420, 5},  {234, 420, 5},  {235, 420, 6}, {259, 420, 6}, {260, 420, 7},
                {282, 420, 7},  {283, 420, 8},  {306, 420, 8}, {307, 420, 9}, {331, 420, 9},
                {332, 420, 10}, {370, 420, 10}};
  for (const Probe &p : probes) {
    run({{p.x, p.y, true, {}}, {p.x, p.y, false, {K_VK_ESCAPE}}});
    EXPECT_EQ(currentPen, p.pen) << p.x << "," << p.y;
    // From the next frame the chosen band is framed: its left edge, and its right
    // edge where the next band starts (the eraser's at the strip's end).
    const float left = probes[2 * p.pen].x;
    const float right = p.pen == 10 ? 370 : probes[2 * p.pen + 2].x - 1;
    bool leftEdge = false, rightEdge = false;
    for (const DrawCall &c : rec.find("pabglowback.tga", "drawRect", rec.frames)) {
      leftEdge |= c.args[0] == left && c.args[2] == left + 2;
      rightEdge |= c.args[0] == right - 2 && c.args[2] == right;
    }
    EXPECT_TRUE(leftEdge && rightEdge) << p.pen;
  }
  // Outside the strip the pen stays.
  for (auto xy : {std::pair<int, int>{89, 420}, {371, 420}, {200, 405}, {200, 446}}) {
    run({{332, 420, true, {}}, {xy.first, xy.second, true, {}}, kEscape});
    EXPECT_EQ(currentPen, 10) << xy.first << "," << xy.second;
  }
}

TEST_F(Pabglow, EraserEmptiesCellsAndShowsItsLook) {
  run({{100, 100, true, {}}, {340, 420, true, {}}, {100, 100, true, {}}, {0, 0, false, {}},
       kEscape});
  EXPECT_EQ(allGrids[0].gridpabglow[cellIndex(1, 3)], 10);
  EXPECT_TRUE(rec.drewAt("pen10.tga", "blitAlphaRect", 502, 416, 2));
  EXPECT_TRUE(rec.drewAt("pen10.tga", "blitAlphaRectFx", 86, 85, 2));
  EXPECT_EQ(pegsDrawn(3), 0);
}

TEST_F(Pabglow, ClearButtonEmptiesOnlyTheShownBoardAndWaitsForRelease) {
  std::vector<unsigned char> start(PABGLOW_FILE_SIZE);
  for (size_t i = 0; i < start.size(); i += 4) start[i] = (unsigned char)((i / 4) % 10);
  writeWholeFile(docs.file("pabglow.dat"), start);
  // Board 2 (F3), then the clear button held.
  run({{200, 200, false, {K_VK_F3}}, {30, 450, true, {}}, {30, 450, false, {}}, kEscape});
  for (int b = 0; b < PABGLOW_BOARDS; b++) {
    for (int i = 0; i < PABGLOW_CELLS; i++) {
      int32_t expected = b == 2 ? 10 : (b * PABGLOW_CELLS + i) % 10;
      ASSERT_EQ(allGrids[b].gridpabglow[i], expected) << b << "/" << i;
    }
  }
  EXPECT_EQ(rec.events, 3);  // pumped until released, before that frame went on
  EXPECT_EQ(pegsDrawn(1), 0);  // the frame that cleared draws no pegs
  // The hovered button casts a shadow and is zoomed.
  auto fx = rec.find("btns.tga", "blitAlphaRectFx", 1);
  ASSERT_EQ(fx.size(), 2u);
  EXPECT_EQ(fx[0].args, (std::vector<float>{11, 110, 71, 167, 5, 423, 0, 1.1f, 1}));
  EXPECT_EQ(fx[1].args, (std::vector<float>{11, 110, 71, 167, 2, 420, 0, 1.1f, 1}));
  auto colours = rec.find("btns.tga", "setBlitColor", 1);
  ASSERT_EQ(colours.size(), 2u);
  EXPECT_EQ(colours[0].args, (std::vector<float>{0, 0, 0, 0.5f}));
  EXPECT_EQ(colours[1].args, (std::vector<float>{1, 1, 1, 1}));
  EXPECT_TRUE(rec.drewAt("btns.tga", "blitAlphaRect", 2, 420, 0));
}

// A light chooses board 4; the broom clears it and offers it back, Ctrl+Z takes
// the offer; a second clear is not offered back after ten seconds; the home
// button leaves and saves what is shown.
TEST_F(Pabglow, BoardLightsBroomUndoAndHome) {
  static unsigned long now = 1000;
  screenClock = [] { return now; };
  std::vector<unsigned char> start(PABGLOW_FILE_SIZE, 0);
  for (size_t i = 0; i < start.size(); i += 4) start[i] = 7;
  writeWholeFile(docs.file("pabglow.dat"), start);
  int32_t emptiedCell = -1, backCell = -1;
  const std::vector<EKeyboardLayout> ctrlZ{K_VK_L_CONTROL, K_VK_Z};
  run({{0, 0, false, {}},
       {610, 154, true, {}},  // light 4
       {30, 450, true, {}},   // the broom
       {30, 450, false, {}, [&] { emptiedCell = allGrids[3].gridpabglow[5]; }},
       {0, 0, false, ctrlZ},
       {30, 450, true, {}, [&] { backCell = allGrids[3].gridpabglow[5]; }},
       {30, 450, false, {}, [] { now += ClearUndo<sGrid>::kOfferMs; }},
       {0, 0, false, ctrlZ},
       {616, 20, true, {}}});  // home
  screenClock = &KMiscTools::getMilliseconds;
  EXPECT_EQ(currentGrid, 3);
  EXPECT_EQ(emptiedCell, PABGLOW_EMPTY);
  EXPECT_EQ(backCell, 7);
  // Light 1 was lit on the first frame, light 4 from the second.
  EXPECT_TRUE(rec.drewAt("nav.tga", "blitAlphaRect", 606, 56, 0));
  auto lit = rec.find("nav.tga", "blitAlphaRect", 2);
  EXPECT_TRUE(std::any_of(lit.begin(), lit.end(), [](const DrawCall &c) {
    return c.args == std::vector<float>{75, 26, 99, 50, 606, 149};
  }));
  // The broom's place shows the undo arrow while offered, the broom after.
  auto undo = rec.find("nav.tga", "blitAlphaRectFx", 3);
  ASSERT_EQ(undo.size(), 2u);
  EXPECT_EQ(undo[1].args, (std::vector<float>{52, 54, 112, 111, 2, 420, 0, 1.1f, 1}));
  EXPECT_EQ(rec.find("btns.tga", "blitAlphaRectFx", 6).size(), 2u);
  EXPECT_EQ(rec.frames, 8) << "the home button leaves at once, like Escape";
  auto saved = file();
  ASSERT_EQ(saved.size(), (size_t)PABGLOW_FILE_SIZE);
  EXPECT_EQ(saved[3 * PABGLOW_CELLS * 4], PABGLOW_EMPTY) << "the second clear stays";
  EXPECT_EQ(saved[2 * PABGLOW_CELLS * 4], 7);
}

TEST_F(Pabglow, FunctionKeysChooseBoardsLastOneWins) {
  run({{0, 0, false, {K_VK_F1, K_VK_F5}}, {0, 0, false, {}}, kEscape});
  EXPECT_EQ(currentGrid, 4);
  run({{0, 0, false, {K_VK_F8}}, {0, 0, false, {K_VK_F9}}, kEscape});
  EXPECT_EQ(currentGrid, 8);
  run({{0, 0, false, {K_VK_F10}}, {0, 0, false, {K_VK_F11}}, kEscape});
  EXPECT_EQ(currentGrid, 9);
}

TEST_F(Pabglow, ShortFileFillsFromTheStartAndIsWrittenBackWhole) {
  // Board 0 wholly and 3 bytes of board 1's first cell.
  std::vector<unsigned char> bytes(PABGLOW_CELLS * 4 + 3, 0);
  for (int i = 0; i < PABGLOW_CELLS; i++) bytes[i * 4] = 7;
  bytes[PABGLOW_CELLS * 4] = 2;
  writeWholeFile(docs.file("pabglow.dat"), bytes);
  run({kEscape});
  EXPECT_EQ(allGrids[0].gridpabglow[100], 7);
  // The missing fourth byte keeps the empty cell's top byte (zero).
  EXPECT_EQ(allGrids[1].gridpabglow[0], 2);
  EXPECT_EQ(allGrids[1].gridpabglow[1], 10);
  EXPECT_EQ(allGrids[9].gridpabglow[671], 10);
  auto saved = file();
  ASSERT_EQ(saved.size(), (size_t)PABGLOW_FILE_SIZE);
  EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), saved.begin()));
}

TEST_F(Pabglow, UnreachableBoardsAndDamagedCellsSurviveUntouched) {
  std::vector<unsigned char> bytes(PABGLOW_FILE_SIZE);
  for (size_t i = 0; i < bytes.size(); i++) bytes[i] = (unsigned char)(i * 7 + 3);
  // Board 0: cell 0 holds -5, cell 1 holds 1000, cell 2 a peg of colour 3.
  const int32_t cells[3] = {-5, 1000, 3};
  for (int c = 0; c < 3; c++)
    for (int k = 0; k < 4; k++) bytes[c * 4 + k] = (unsigned char)((uint32_t)cells[c] >> (8 * k));
  writeWholeFile(docs.file("pabglow.dat"), bytes);
  run({{600, 20, false, {}}, kEscape});
  EXPECT_EQ(allGrids[0].gridpabglow[0], -5);
  EXPECT_EQ(allGrids[0].gridpabglow[1], 1000);
  // Only real colours are drawn: nothing at columns 0 and 1 of row 0.
  EXPECT_FALSE(rec.drewAt("", "blitAlphaRect", 70, 37, 0));
  EXPECT_FALSE(rec.drewAt("", "blitAlphaRect", 86, 37, 0));
  EXPECT_TRUE(rec.drewAt("pen3.tga", "blitAlphaRect", 102, 37, 0));
  for (const DrawCall &c : rec.calls)
    if (c.op.rfind("blit", 0) == 0) EXPECT_FALSE(c.picture.empty());
  EXPECT_EQ(file(), bytes);  // every board, damaged cells included, written back as read
}

TEST_F(Pabglow, FailedSaveKeepsTheOldFile) {
  std::vector<unsigned char> old(PABGLOW_FILE_SIZE, 0);
  writeWholeFile(docs.file("pabglow.dat"), old);
  {
    SaveBlocker blocked(docs.file("pabglow.dat"));
    run({{100, 100, true, {}}, kEscape});
  }
  EXPECT_EQ(file(), old);
  run({kEscape});
  EXPECT_EQ(file(), old);  // the board reloads from the file, not from memory
}

TEST_F(Pabglow, LogoAndCatSlide) {
  std::vector<InputFrame> frames(60, InputFrame{300, 300, false, {}});
  frames[58] = {100, 40, false, {}};  // over the logo
  frames[59] = {600, 350, false, {}};  // near the cat
  frames.push_back(kEscape);
  run(frames);
  auto logo = [&](int f) {
    for (const DrawCall &c : rec.find("pabglowback.tga", "blitAlphaRect", f))
      if (c.args[1] == 493) return c.args[5];
    return -1000.0f;
  };
  auto cat = [&](int f) {
    for (const DrawCall &c : rec.find("pabglowback.tga", "blitAlphaRect", f))
      if (c.args[1] == 487) return c.args[4];
    return -1000.0f;
  };
  EXPECT_EQ(logo(0), -98);
  EXPECT_EQ(logo(51), 4);
  EXPECT_EQ(logo(52), 5);
  EXPECT_EQ(logo(57), 5);
  EXPECT_EQ(logo(58), 3);
  EXPECT_EQ(cat(0), 516);
  EXPECT_EQ(cat(59), 518);
}

TEST_F(Pabglow, FullBoardFramesAllocateNothing) {
  std::vector<unsigned char> full(PABGLOW_FILE_SIZE, 0);
  for (size_t i = 0; i < full.size(); i += 4) full[i] = (unsigned char)(i / 4 % 10);
  writeWholeFile(docs.file("pabglow.dat"), full);
  long before = 0, after = 0;
  std::vector<InputFrame> frames;
  // Frames 2..41 are counted: pointer over the board painting, over the strip,
  // over the clear button, with function keys.
  for (int i = 0; i < 44; i++) frames.push_back({100 + i * 10, 40 + i * 9, true, {K_VK_F2}});
  frames[2].action = [&] { before = allocationCount(); };
  frames[42].action = [&] { after = allocationCount(); };
  frames.push_back(kEscape);
  rec.quiet = true;
  input.releaseAfterEvents = -1;
  run(frames);
  EXPECT_GT(rec.frames, 42);
  EXPECT_EQ(after - before, 0);
}

TEST_F(Pabglow, ClosedWindowLeavesAfterTheFrameAndSaves) {
  input.play({{100, 100, false}, {100, 100, true}, {100, 100, true, {}, [] { rec.quit = true; }}});
  doPabglow();
  EXPECT_EQ(rec.frames, 2);
  EXPECT_EQ(file()[cellIndex(1, 3) * 4], 4);
}

}  // namespace
