// Monster catalogue rules (INI files written by the tests) and the monster file:
// its bytes, short and damaged files, and the safe replace on save.
#include <sys/stat.h>

#include <filesystem>
#include <unistd.h>

#include "support/portable.h"
#include "support/save_blocker.h"
#include "activities/misterMonster.h"
#include "activities/monster.h"
#include "support/activity_fixture.h"

namespace {

// Where a save writes before renaming over the file.


using Catalogue = ActivityTest;
using MonsterFile = ActivityTest;

// An INI of `count` entries, entry i at palette (10 i, 20 i), rectangle i..i+10.
std::string catalogueText(int count, int inactive = 0) {
  std::string t = "[DATA]\r\n";
  for (int i = 1; i <= count; i++) {
    char line[200];
    std::snprintf(line, sizeof line,
                  "e%did=%d\r\ne%dx1=%d\r\ne%dy1=%d\r\ne%dx2=%d\r\ne%dy2=%d\r\ne%ddx=%d\r\n"
                  "e%ddy=%d\r\nactive%d=%d\r\n",
                  i, i, i, i, i, i, i, i + 10, i, i + 10, i, 10 * i, i, 20 * i, i,
                  i == inactive ? 0 : 1);
    t += line;
  }
  return t + "[MONSTER]\r\nx1=300\r\ny1=40\r\nx2=560\r\ny2=400\r\n";
}

}  // namespace

TEST_F(Catalogue, AGapEndsItAndInactiveEntriesAreLoadedButNotOffered) {
  std::string ini = writeIni("m.ini", {"[DATA]", "e1id=1", "e1x1=5", "e1x2=25", "e1dy=7",
                                       "active1=1", "e2id=2", "e2x1=40", "e2x2=60", "e3x1=99",
                                       "e4id=4", "active4=1", "[MONSTER]", "x1=300", "y2=400"});
  loadCatalogue(ini.c_str());
  EXPECT_EQ(allParts[1].id, 1);
  EXPECT_EQ(allParts[1].x2, 25);
  EXPECT_EQ(allParts[1].dy, 7);
  EXPECT_EQ(allParts[2].id, -1) << "no active key: loaded, not offered";
  EXPECT_EQ(allParts[2].x1, 40);
  EXPECT_EQ(allParts[3].id, 0);
  EXPECT_EQ(allParts[3].x1, 0) << "entry 3 has no id: the catalogue ends before it";
  EXPECT_EQ(allParts[4].id, 0) << "entry 4 lies beyond the gap";
  EXPECT_EQ(monstreX1, 300);
  EXPECT_EQ(monstreY2, 400);
  EXPECT_EQ(monstreY1, 0);

  // An explicit id of 0 is a gap too.
  loadCatalogue(writeIni("z.ini", {"[DATA]", "e1id=0", "e2id=2", "active2=1"}).c_str());
  EXPECT_EQ(allParts[2].id, 0);
}

TEST_F(Catalogue, ASmallerCatalogueLeavesNoTraceOfALargerOne) {
  loadCatalogue(writeFile("big.ini", catalogueText(12)).c_str());
  ASSERT_EQ(allParts[12].id, 12);
  loadCatalogue(writeFile("small.ini", catalogueText(5, 3)).c_str());
  EXPECT_EQ(allParts[3].id, -1);
  EXPECT_EQ(allParts[5].id, 5);
  for (int i = 6; i <= 12; i++) {
    EXPECT_EQ(allParts[i].id, 0) << i;
    EXPECT_EQ(allParts[i].x2 - allParts[i].x1, 0) << i;
  }

  // Nothing of the old entries can be hovered or taken from the palette.
  input.setPointer(allParts[9].dx + 1, allParts[9].dy + 1);
  input.setLeftButton(true);
  displayMonster(false);
  EXPECT_EQ(inHand, -1);
  EXPECT_EQ(allParts[9].zoom, 0);
}

TEST_F(Catalogue, MonsterCountIsThreeWhenMissingOrNotPositiveAndAtMostNineteen) {
  EXPECT_EQ(readMonsterCount((dir + "/missing.ini").c_str()), 3);
  EXPECT_EQ(readMonsterCount(writeIni("a.ini", {"[DATA]", "MAXMONSTER=0"}).c_str()), 3);
  EXPECT_EQ(readMonsterCount(writeIni("b.ini", {"[DATA]", "MAXMONSTER=-4"}).c_str()), 3);
  EXPECT_EQ(readMonsterCount(writeIni("c.ini", {"[DATA]", "MAXMONSTER=7"}).c_str()), 7);
  EXPECT_EQ(readMonsterCount(writeIni("d.ini", {"[DATA]", "MAXMONSTER=19"}).c_str()), 19);
  EXPECT_EQ(readMonsterCount(writeIni("e.ini", {"[DATA]", "MAXMONSTER=25"}).c_str()), 19);

  // The count is read again on every load, and stepping wraps within it.
  std::string sheet = dir + "/none.tga", ini = dir + "/none.ini";
  loadMonsterFrom(writeIni("f.ini", {"[DATA]", "MAXMONSTER=400"}).c_str(), ini.c_str(),
                  sheet.c_str());
  EXPECT_EQ(maxMonsters, 19);
  currentAlien = 19;
  nextMonster();
  EXPECT_EQ(currentAlien, 1);
}

TEST_F(Catalogue, HugeNumbersAreHeldWithinReach) {
  // Sums of position and width must never overflow, whatever the text says.
  loadCatalogue(writeIni("h.ini", {"[DATA]", "e1id=1", "e1x1=-9223372036854775807",
                                   "e1x2=9223372036854775807", "e1dx=9223372036854775807",
                                   "e1y2=5", "active1=1"})
                    .c_str());
  EXPECT_GT(allParts[1].x2, 1000);
  EXPECT_LT(int64_t(allParts[1].x2) - allParts[1].x1, int64_t(1) << 32);
  input.setPointer(320, 2);
  displayMonster(false);  // hover test over the part: no overflow (checked under UBSan)
}

TEST_F(MonsterFile, IsTheLittleEndianImageOfEveryMonster) {
  allMonsters[0].allMonsterPart[0] = {7, 8, 9};
  allMonsters[2].allMonsterPart[3] = {-1, 300, -2};
  allMonsters[19].allMonsterPart[499] = {499, 0x12345678, 0};
  std::string path = dir + "/mon.dat";
  ASSERT_TRUE(saveMonstersTo(path.c_str()));
  std::string bytes = readFile(path);
  ASSERT_EQ(bytes.size(), 120000u);
  EXPECT_EQ(bytes.substr(0, 12), std::string("\x07\0\0\0\x08\0\0\0\x09\0\0\0", 12));
  size_t at = (2 * 500 + 3) * 12;
  EXPECT_EQ(bytes.substr(at, 12), std::string("\xff\xff\xff\xff\x2c\x01\0\0\xfe\xff\xff\xff", 12));
  EXPECT_EQ(bytes.substr(119988, 12), std::string("\xf3\x01\0\0\x78\x56\x34\x12\0\0\0\0", 12));
  for (const auto &e : std::filesystem::directory_iterator(dir))
    EXPECT_EQ(e.path().filename().string().find(".tmp"), std::string::npos) << "a temporary file left behind";

  for (sMonster &m : allMonsters) m = sMonster{};
  ASSERT_TRUE(loadMonstersFrom(path.c_str()));
  EXPECT_EQ(allMonsters[2].allMonsterPart[3].y, -2);
  EXPECT_EQ(allMonsters[19].allMonsterPart[499].x, 0x12345678);
}

TEST_F(MonsterFile, AShortFileFillsFromTheStartAndAMissingOneChangesNothing) {
  allMonsters[0].allMonsterPart[2] = {5, 5, 5};
  allMonsters[1].allMonsterPart[1] = {6, 6, 6};
  // Two whole slots and the first two bytes of the third's partID.
  std::string path = writeFile("short.dat", std::string("\x01\0\0\0\x02\0\0\0\x03\0\0\0"
                                                        "\x04\0\0\0\x05\0\0\0\x06\0\0\0\x09\x01", 26));
  ASSERT_TRUE(loadMonstersFrom(path.c_str()));
  EXPECT_EQ(allMonsters[0].allMonsterPart[1].partID, 4);
  EXPECT_EQ(allMonsters[0].allMonsterPart[1].y, 6);
  EXPECT_EQ(allMonsters[0].allMonsterPart[2].partID, 0x109) << "bytes beyond the end stay";
  EXPECT_EQ(allMonsters[0].allMonsterPart[2].x, 5);
  EXPECT_EQ(allMonsters[1].allMonsterPart[1].partID, 6);

  ASSERT_TRUE(saveMonstersTo(path.c_str()));
  EXPECT_EQ(readFile(path).size(), 120000u) << "the whole image is written back";

  EXPECT_FALSE(loadMonstersFrom((dir + "/missing.dat").c_str()));
  EXPECT_EQ(allMonsters[1].allMonsterPart[1].partID, 6);
}

#ifndef _WIN32  // Windows' ANSI file calls stop at 260 characters
TEST_F(MonsterFile, ALongDocumentsFolderStillNamesTheMonsterFile) {
  // Folder and file name together are longer than the data-path buffer; a cut
  // path would name another file (or one in another folder).
  std::string deep = dir + "/" + std::string(120, 'd') + "/" + std::string(250 - dir.size() - 122, 'e');
  ASSERT_EQ(deep.size(), 250u);
  kt_setDocumentsFolder(deep.c_str());
  EXPECT_EQ(std::string(monsterFilePath()), deep + "/mistermon.dat");
  allMonsters[3].allMonsterPart[7] = {4, 50, 60};
  saveMonsters();
  EXPECT_EQ(readFile(deep + "/mistermon.dat").size(), 120000u);
  allMonsters[3].allMonsterPart[7] = {};
  loadMonsters();
  EXPECT_EQ(allMonsters[3].allMonsterPart[7].partID, 4);

  // A backslash is an ordinary character in a folder name here.
  std::string odd = dir + "/a\\b";
  kt_setDocumentsFolder(odd.c_str());
  saveMonsters();
  EXPECT_EQ(readFile(odd + "/mistermon.dat").size(), 120000u);
}
#endif

TEST_F(MonsterFile, AFailedSaveKeepsTheOldFile) {
  std::string path = writeFile("mon.dat", "old monsters");
  {
    SaveBlocker blocked(path);
    EXPECT_FALSE(saveMonstersTo(path.c_str()));
  }
  EXPECT_EQ(readFile(path), "old monsters");
  EXPECT_TRUE(saveMonstersTo(path.c_str()));
  EXPECT_EQ(readFile(path).size(), 120000u);
}

TEST_F(MonsterFile, DamagedPartIdsCountAsFreeAndNeverReachTheCatalogue) {
  loadCatalogue(writeFile("m.ini", catalogueText(6)).c_str());
  RecordingGraphic sheet;
  surf_monster = &sheet;
  sMonsterPart *slots = allMonsters[1].allMonsterPart;
  slots[1] = {-5, 300, 100};
  slots[2] = {500, 300, 100};
  slots[3] = {0x7fffffff, 300, 100};
  slots[4] = {-2147483647 - 1, 300, 100};
  slots[5] = {200, 300, 100};  // inside the catalogue's range, but an empty entry
  slots[6] = {3, 300, 100};    // the one real part
  for (int s = 7; s < 500; s++) slots[s] = {2, 10, 10};

  input.setPointer(305, 105);
  input.setLeftButton(true);
  drawPieces();
  // Only entries 3 (once), 2 (many times) and the empty 200 were drawn; 3 was taken.
  for (const Blit &b : sheet.calls) {
    EXPECT_TRUE(b.sameSource(3, 3, 13, 13) || b.sameSource(2, 2, 12, 12) ||
                b.sameSource(0, 0, 0, 0))
        << b.x1;
  }
  EXPECT_EQ(sheet.blitsOf(3, 3, 13, 13).size(), 1u);
  EXPECT_EQ(inHand, 3);
  EXPECT_EQ(slots[6].partID, -1);

  // The part goes back to the first slot that counts as free: the damaged one.
  input.setPointer(400, 200);
  input.setLeftButton(false);
  displayMonster(false);
  EXPECT_EQ(slots[1].partID, 3);
  EXPECT_EQ(slots[2].partID, 500);
  surf_monster = nullptr;
}
