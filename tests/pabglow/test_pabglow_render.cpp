// The peg board drawn by the real software renderer with the generated pictures,
// headless: pegs appear where the board file has colours 0..9 and nothing at all
// where it has an empty hole or a damaged value.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <climits>
#include <cstring>
#include <filesystem>
#include <vector>

#include "activities/pabglow.h"
#include "app/shell.h"
#include "d3d/KGraphicD3D.h"
#include "d3d/d3d_fixture.h"
#include "input/KScriptedInput.h"
#include "support/TestHome.h"
#include "platform/KNativeWindow.h"
#include "window/KQMX.h"
#include "window/KWindow.h"

namespace {

// The frame last drawn, 0xRRGGBB row by row from the top.
std::vector<uint32_t> backBuffer() {
  std::vector<uint32_t> out = readSurface(KGraphicD3D::_backBuffer);
  for (uint32_t &v : out) v &= 0xFFFFFF;
  return out;
}

class PabglowRender : public ::testing::Test {
protected:
  std::string docs;
  KScriptedInput script;

  void SetUp() override {
    docs = testhome::makeDir("render");
    setenv("XDG_DOCUMENTS_DIR", docs.c_str(), 1);
    KFrameClock::setEnabled(false);
    KInput::setSource(&script);
    gameWindow = KQMX::createKWindow(K_DIRECTX, false);
    ASSERT_NE(gameWindow, nullptr);
    ASSERT_TRUE(gameWindow->createGameWindow(640, 480, -1, true, "Pabrix"));
  }
  void TearDown() override {
    KInput::setSource(nullptr);
    delete gameWindow;
    gameWindow = nullptr;
    if (!docs.empty()) testhome::removeTree(docs);
    unsetenv("XDG_DOCUMENTS_DIR");
  }

  // Runs the board on `cells` (board 0; the rest empty) for a few frames with the
  // pointer off the grid and returns the last frame, drawn but not presented
  // because Escape leaves before the flip.
  std::vector<uint32_t> draw(const std::vector<int32_t> &cells) {
    std::vector<unsigned char> bytes(PABGLOW_FILE_SIZE);
    for (int i = 0; i < PABGLOW_BOARDS * PABGLOW_CELLS; i++) {
      uint32_t v = i < PABGLOW_CELLS ? (uint32_t)cells[i] : PABGLOW_EMPTY;
      for (int k = 0; k < 4; k++) bytes[i * 4 + k] = (unsigned char)(v >> (8 * k));
    }
    FILE *f = std::fopen((docs + "/pabglow.dat").c_str(), "wb");
    EXPECT_NE(f, nullptr);
    if (f) {
      std::fwrite(bytes.data(), 1, bytes.size(), f);
      std::fclose(f);
    }
    script.clear();
    script.push(600, 20, false, {}, 60);  // long enough for the logo to settle
    script.push(600, 20, false, {K_VK_ESCAPE});
    doPabglow();
    return backBuffer();
  }
};

uint32_t at(const std::vector<uint32_t> &frame, int c, int r) {
  return frame[size_t(45 + 16 * r) * 640 + size_t(78 + 16 * c)];
}

// Where colour v lies in row 6, whose columns 5..14 hold (c + 6) % 10.
int columnInRow6(int v) {
  int c = (v + 4) % 10;
  return c < 5 ? c + 10 : c;
}

TEST_F(PabglowRender, PegsOnlyForColoursZeroToNine) {
  std::vector<int32_t> empty(PABGLOW_CELLS, PABGLOW_EMPTY);
  std::vector<uint32_t> reference = draw(empty);
  ASSERT_EQ(reference.size(), 640u * 480u);

  std::vector<int32_t> cells(PABGLOW_CELLS, PABGLOW_EMPTY);
  // Rows 6..14 (clear of the logo, the cat and the colour strip) hold every
  // colour in turn; a few holes in them hold damaged values.
  for (int r = 6; r <= 14; r++)
    for (int c = 5; c <= 27; c++) cells[c + 32 * r] = (c + r) % 10;
  const int damaged[][3] = {{10, 8, -5}, {11, 8, 1000}, {12, 8, PABGLOW_EMPTY},
                            {13, 8, INT32_MIN}, {14, 8, 11}};
  for (const auto &d : damaged) cells[d[0] + 32 * d[1]] = d[2];
  std::vector<uint32_t> frame = draw(cells);
  ASSERT_EQ(frame.size(), 640u * 480u);

  for (const auto &d : damaged)
    EXPECT_EQ(at(frame, d[0], d[1]), at(reference, d[0], d[1])) << "value " << d[2];
  int pegs = 0;
  for (int r = 6; r <= 14; r++)
    for (int c = 5; c <= 27; c++) {
      int v = cells[c + 32 * r];
      if (v < 0 || v > 9) continue;
      EXPECT_NE(at(frame, c, r), at(reference, c, r)) << c << "," << r;
      // The same colour looks the same wherever it is.
      EXPECT_EQ(at(frame, c, r), at(frame, columnInRow6(v), 6)) << c << "," << r;
      pegs++;
    }
  EXPECT_EQ(pegs, 9 * 23 - 5);
  // Outside the painted rows the frame is untouched.
  EXPECT_EQ(at(frame, 20, 17), at(reference, 20, 17));
}

}  // namespace
