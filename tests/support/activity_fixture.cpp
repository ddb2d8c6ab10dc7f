// The activity fixture: private folder, fake window, scripted input, clean tables.
#include "support/portable.h"
#include "support/activity_fixture.h"

#include <cstdlib>
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

void ActivityTest::SetUp() {
  installActivityDoubles();
  dir = testhome::makeDir("activities");
  kt_setDocumentsFolder(dir.c_str());
  window = new FakeWindow();
  gameWindow = window;
  KInput::setSource(&input);
  // A screen whose script has run out is closed, so a broken test ends.
  input.onFinished([this] { window->quit = true; });

  for (sMonster &m : allMonsters) m = sMonster{};
  for (sRealPart &p : allParts) p = sRealPart{};
  maxMonsters = 3;
  currentAlien = 1;
  inHand = -1;
  decalX = decalY = 0;
  cleary = 420;
  trashy = 480;
  cloud1 = sCloud{false, 0, 0, 0, 0};
  for (sSeedInGame &s : allSeeds) s = sSeedInGame{};
  loadGarden();  // from the empty folder: every test starts with the file read
  _seedInHand = 0;
  preferences = sPreferences{};
  printMonsterCalls = 0;
  lastMusic.clear();
}

void ActivityTest::TearDown() {
  KInput::setSource(nullptr);
  gameWindow = nullptr;
  delete window;
  if (!dir.empty()) testhome::removeTree(dir);
  kt_setDocumentsFolder(nullptr);
  removeActivityDoubles();
}

std::string ActivityTest::writeFile(const std::string &name, const std::string &text) {
  std::string path = dir + "/" + name;
  std::ofstream(path, std::ios::binary) << text;
  return path;
}

std::string ActivityTest::writeIni(const std::string &name,
                                   std::initializer_list<const char *> lines) {
  std::string text;
  for (const char *l : lines) text += std::string(l) + "\r\n";
  return writeFile(name, text);
}

std::string ActivityTest::readFile(const std::string &path) {
  std::ifstream f(path, std::ios::binary);
  std::stringstream s;
  s << f.rdbuf();
  return s.str();
}
