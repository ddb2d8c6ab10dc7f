// Monster printing in-process on a real game window made by the factory (Direct3D,
// or OpenGL when PRINT_TEST_RENDERER is "opengl"), with a monster built
// of plain coloured blocks, scripted input and a private documents folder.
// Test thread only.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "input/KScriptedInput.h"

class KGraphic;
class KWindow;

namespace printtest {

constexpr uint32_t rgb(int r, int g, int b) {
  return 0xFF000000u | uint32_t(r) | (uint32_t(g) << 8) | (uint32_t(b) << 16);
}
inline int red(uint32_t c) { return int(c & 0xFF); }
inline int green(uint32_t c) { return int((c >> 8) & 0xFF); }
inline int blue(uint32_t c) { return int((c >> 16) & 0xFF); }
// Each channel within tol.
bool near(uint32_t a, uint32_t b, int tol);
std::string describe(uint32_t c);

// The scene's colours; no mix of two of the monster's colours comes near the
// background or the buttons, so filtered page edges never pass for them.
constexpr uint32_t kWhite = rgb(255, 255, 255);
constexpr uint32_t kBody = rgb(0, 200, 0);
constexpr uint32_t kPart1 = rgb(220, 0, 0);
constexpr uint32_t kPart2 = rgb(0, 0, 220);
constexpr uint32_t kPart3 = rgb(220, 220, 0);
constexpr uint32_t kBackground = rgb(150, 60, 230);
constexpr uint32_t kButtons = rgb(20, 20, 20);

constexpr int W = 640, H = 480;

// Where the monster's pieces are on the screen (top-left x, y, width, height).
struct Block {
  int x, y, w, h;
  uint32_t colour;
  int cx() const { return x + w / 2; }
  int cy() const { return y + h / 2; }
};
extern const Block kBodyBlock;
extern const Block kHole;             // transparent inside the body
extern const std::vector<Block> kPlaced;  // placed parts of monster 1, in slot order
extern const std::vector<Block> kPalette;  // where the palette shows parts 1..3

// What the printed picture must be: white, the body, then the placed parts in slot
// order, clipped to the frame. Top row first.
std::vector<uint32_t> expectedPicture();

// Records every change of the system pointer's visibility.
class PointerLog : public KScriptedInput {
public:
  std::vector<bool> changes;
  void setSystemPointerVisible(bool visible) override {
    changes.push_back(visible);
    KScriptedInput::setSystemPointerVisible(visible);
  }
};

class PrintTest : public ::testing::Test {
protected:
  void SetUp() override;
  void TearDown() override;

  // One frame of the builder screen up to the print button: background, buttons,
  // palette and monster, the pointer resting over palette part 1.
  void drawScreenFrame();
  // The frame being drawn, top row first, through the renderer's own file writer.
  std::vector<uint32_t> savedFrame();

  KWindow *window = nullptr;
  std::string dir;  // private folder, also the documents folder
  PointerLog input;
  // The monster's sprite sheet, 512 pixels square, as the renderer has it.
  const std::vector<uint32_t> &sheet() const { return _sheet; }

private:
  std::vector<uint32_t> _sheet, _background, _buttons;
  KGraphic *_surfButtons = nullptr;
};

}  // namespace printtest
