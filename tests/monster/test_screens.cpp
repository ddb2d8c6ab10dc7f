// The monster builder and the garden on the real program pieces: the software
// renderer headless, the generated data files, real samples on the dummy audio
// device, and scripted input.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "activities/cloud.h"
#include "activities/garden.h"
#include "activities/misterMonster.h"
#include "activities/monster.h"
#include "activities/seeds.h"
#include "app/shell.h"
#include "support/TestHome.h"
#include "input/KScriptedInput.h"
#include "sound/KSound.h"
#include "tools/KMiscTools.h"
#include "window/KQMX.h"
#include "window/KWindow.h"

namespace {

KSound *sample(const char *name) {
  KSound *s = new KSound();
  s->loadSample(KMiscTools::makeFilePath(name), 100, false, 1);
  return s;
}

class Screens : public ::testing::Test {
protected:
  void SetUp() override {
    dir = testhome::makeDir("screens");
    setenv("XDG_DOCUMENTS_DIR", dir.c_str(), 1);
    gameWindow = KQMX::createKWindow(K_DIRECTX, false);
    ASSERT_NE(gameWindow, nullptr);
    ASSERT_TRUE(gameWindow->createGameWindow(640, 480, -1, true, "Pabrix"));
    snd_click = sample("data\\audio\\click.ogg");
    snd_cloud = sample("data\\audio\\cloud.ogg");
    snd_grow = sample("data\\audio\\grow.ogg");
    snd_clear = sample("data\\audio\\clear.ogg");
    KInput::setSource(&input);
    input.onFinished([] { gameWindow->terminate(); });
  }
  void TearDown() override {
    KInput::setSource(nullptr);
    for (KSound **s : {&snd_click, &snd_cloud, &snd_grow, &snd_clear, &snd_music}) {
      delete *s;
      *s = nullptr;
    }
    delete gameWindow;
    gameWindow = nullptr;
    if (!dir.empty()) testhome::removeTree(dir);
  }

  std::string dir;
  KScriptedInput input;
};

}  // namespace

TEST_F(Screens, APartDraggedOntoTheBodyIsInTheFileAfterEscape) {
  // Learn the generated catalogue of monster 1 the way the screen will load it.
  currentAlien = 1;
  loadMonster(1);
  int part = 1;
  while (part < kCatalogueSize && allParts[part].id != 0 && allParts[part].id < 0) part++;
  ASSERT_GT(allParts[part].id, 0) << "monster 1 offers a part";
  const sRealPart p = allParts[part];
  int gx = int(p.x2 - p.x1) / 2, gy = int(p.y2 - p.y1) / 2;
  const int bodyX = 440, bodyY = 290;  // where every monster stands, clear of both drop zones

  input.push(320, 240, false, {}, 2);
  input.push(int(p.dx) + gx, int(p.dy) + gy, true, {}, 2);
  input.push(bodyX, bodyY, true, {}, 2);
  input.push(bodyX, bodyY, false, {}, 2);
  input.push(bodyX, bodyY, false, {K_VK_ESCAPE});
  doMisterMonster();

  std::ifstream f(dir + "/mistermon.dat", std::ios::binary);
  std::stringstream s;
  s << f.rdbuf();
  std::string bytes = s.str();
  ASSERT_EQ(bytes.size(), 120000u);
  int32_t slot[3];
  std::memcpy(slot, bytes.data() + (500 * 1 + 1) * 12, 12);
  EXPECT_EQ(slot[0], part);
  EXPECT_EQ(slot[1], bodyX - gx);
  EXPECT_EQ(slot[2], bodyY - gy);
  EXPECT_FALSE(gameWindow->isQuit()) << "Escape left the screen, not the program";
  EXPECT_EQ(surf_monster, nullptr);
}

TEST_F(Screens, PlantingInTheGardenClicksAtVolumeTwentyAndLeavesItAtEighty) {
  long volumeAfterPlanting = -1;
  input.push(22, 109, false);
  input.push(22, 109, true);     // seed 1 in the panel
  input.push(300, 420, true);
  input.push(300, 420, false);   // let go on the soil
  input.onFinished([&] {
    volumeAfterPlanting = snd_click->_channelVolume;
    gameWindow->terminate();
  });
  doMyGarden();
  EXPECT_EQ(allSeeds[0].ID, 1);
  EXPECT_EQ(volumeAfterPlanting, 20);
  EXPECT_EQ(snd_click->_channelVolume, 80);
  EXPECT_EQ(snd_grow->_channelVolume, 30);
  EXPECT_NE(snd_music, nullptr) << "the garden plays its own music";
  EXPECT_EQ(surf_garden, nullptr);
}
