// The peg board's music: notes start on their column's exact frame, a full
// column stays below -1 dBFS, and the playhead follows the device's clock, not
// the screen's frames.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <vector>

#include "activities/pegMusic.h"
#include "platform/mixer/Mixer.h"
#include "sound/KSound.h"

using namespace pegmusic;

namespace {

// A full-scale sine voice: the loudest a generated voice could be.
std::vector<int16_t> loudVoice() {
  std::vector<int16_t> v(30000);
  for (size_t i = 0; i < v.size(); i++)
    v[i] = int16_t(32767 * std::sin(2 * 3.14159265358979 * 523.25 * double(i) / kRate) * std::exp(-double(i) / 15000));
  return v;
}

sGrid emptyGrid() {
  sGrid g;
  for (int32_t &c : g.gridpabglow) c = PABGLOW_EMPTY;
  return g;
}

}  // namespace

TEST(PegMusic, NotesStartOnTheirColumnAndAFullColumnStaysBelowMinusOneDb) {
  static Score score;  // large: kept off the stack
  const std::vector<int16_t> voice = loudVoice();
  for (int v = 0; v < kVoices; v++) ASSERT_TRUE(score.setVoice(v, voice.data(), voice.size(), 1));
  for (int colour : {0, 3, 9}) {
    SCOPED_TRACE(colour);
    sGrid grid = emptyGrid();
    const int full = 5, lone = 20;
    for (int r = 0; r < PABGLOW_ROWS; r++) grid.gridpabglow[full + PABGLOW_COLUMNS * r] = colour;
    grid.gridpabglow[lone + PABGLOW_COLUMNS * 20] = colour;
    for (int c = 0; c < PABGLOW_COLUMNS; c++) score.renderColumn(c, grid);
    std::vector<int16_t> out(kNoteFrames * 2);
    for (int c : {full, lone}) {
      score.mix(c * kStepFrames - 100, kNoteFrames, out.data());
      int first = -1, peak = 0;
      for (int i = 0; i < int(kNoteFrames); i++) {
        if (first < 0 && out[2 * i] != 0) first = i;
        peak = std::max(peak, std::abs(int(out[2 * i])));
      }
      EXPECT_EQ(first, 101) << "column " << c << ": silence, then the note from its own frame";
      EXPECT_LT(20 * std::log10(peak / 32768.0), -1.0) << "column " << c;
      EXPECT_GT(20 * std::log10(peak / 32768.0), -12.0) << "column " << c << " is heard";
    }
  }
}

TEST(PegMusic, RowsRiseOnAPentatonicScaleFromC3ToC7) {
  EXPECT_NEAR(rowRatio(PABGLOW_ROWS - 1), 0.25, 1e-9);
  EXPECT_NEAR(rowRatio(0), 4.0, 1e-9);
  EXPECT_NEAR(rowRatio(PABGLOW_ROWS - 3), std::pow(2.0, -20.0 / 12), 1e-9) << "E3";
  for (int r = 1; r < PABGLOW_ROWS; r++) EXPECT_GT(rowRatio(r - 1), rowRatio(r));
}

TEST(PegMusic, ThePlayheadFollowsTheDevicesClock) {
  KSound::openDevice = &mixer::Device::openHeadless;
  {
    Player player;
    ASSERT_TRUE(player.open(100));
    sGrid grid = emptyGrid();
    grid.gridpabglow[0 + PABGLOW_COLUMNS * 10] = 4;  // column 0
    EXPECT_EQ(player.column(), -1);
    player.start(grid);
    mixer::Device &device = *KSound::directSoundPtr;
    static int heard = 0;
    device.setTap([](void *, const int16_t *frames, uint32_t count) {
      for (uint32_t i = 0; i < count * 2; i++) heard = std::max(heard, std::abs(int(frames[i])));
    }, nullptr);
    EXPECT_EQ(player.column(), 0);
    // No frames drawn in between: only the device's play position moves it.
    device.advance(kStepFrames - 1024);
    EXPECT_EQ(player.column(), 0);
    EXPECT_GT(heard, 3000) << "the peg of column 0 sounds";
    device.advance(2048);
    EXPECT_EQ(player.column(), 1);
    device.advance(30 * kStepFrames);
    EXPECT_EQ(player.column(), 31);
    device.advance(2 * kStepFrames);
    EXPECT_EQ(player.column(), 1) << "it loops";
    device.setTap(nullptr, nullptr);
    player.stop();
    EXPECT_EQ(player.column(), -1);
  }
  KSound::openDevice = &mixer::Device::open;
}
