// The garden file: plants survive leaving and a new run byte for byte; anything
// but a whole garden file gives an empty garden and is kept aside, never written
// over; the broom sweeps the plants away and brings them back.
#include <cstring>
#include <filesystem>

#include "activities/garden.h"
#include "activities/gardenFile.h"
#include "activities/seeds.h"
#include "support/activity_fixture.h"

namespace {

class GardenFile : public ActivityTest {
protected:
  // Plants seed 1 at (x, y) and leaves with Escape.
  void plantAt(int x, int y) {
    input.push(22, 109, false);
    input.push(22, 109, true);
    input.push(x, y, false);
    input.push(x, y, false, {K_VK_ESCAPE});
    doMyGarden();
    input.clear();
    window->quit = false;
  }
  int planted() {
    int n = 0;
    for (const sSeedInGame &s : allSeeds) n += s.ID != 0;
    return n;
  }
  std::string gardenImage() {
    std::string out(kGardenFileSize, '\0');
    encodeGarden(allSeeds, reinterpret_cast<unsigned char *>(&out[0]));
    return out;
  }
  // A new run: the plants in memory are gone, the file is read again.
  void restart() {
    for (sSeedInGame &s : allSeeds) s = sSeedInGame{};
    loadGarden();
  }
};

}  // namespace

TEST_F(GardenFile, PlantsAreThereAgainInTheNextRunGrowingOnFromWhereTheyWere) {
  plantAt(300, 420);
  plantAt(450, 430);
  ASSERT_EQ(planted(), 2);
  const std::string left = gardenImage();
  EXPECT_EQ(readFile(gardenFileName()), left) << "saved when the garden closed";

  restart();
  EXPECT_EQ(planted(), 2);
  EXPECT_EQ(gardenImage(), left) << "every field back as it was";
  const float progress = allSeeds[1].progress;
  input.push(300, 300, false);
  input.push(300, 300, false, {K_VK_ESCAPE});
  doMyGarden();
  EXPECT_FLOAT_EQ(allSeeds[1].progress, progress + 0.01f) << "and it grows on";
}

TEST_F(GardenFile, AnythingButAWholeGardenFileGivesAnEmptyGardenAndIsKeptAside) {
  plantAt(300, 420);
  const std::string good = readFile(gardenFileName());
  ASSERT_EQ(good.size(), kGardenFileSize);
  std::string badPlant = good;  // a stem beyond the table, with a matching checksum
  badPlant[8 + 26] = 42;  // the first plant's stem
  const uint32_t sum = gardenChecksum(reinterpret_cast<const unsigned char *>(badPlant.data()),
                                      kGardenFileSize - 4);
  for (int i = 0; i < 4; i++) badPlant[kGardenFileSize - 4 + i] = char(sum >> (8 * i));
  std::string flipped = good;
  flipped[500] ^= 0x10;
  const std::pair<const char *, std::string> cases[] = {
      {"empty", ""},
      {"truncated", good.substr(0, 5000)},
      {"longer", good + "x"},
      {"foreign", "\x89PNG\r\n\x1a\n" + good.substr(8)},
      {"another version", good.substr(0, 4) + "\x02" + good.substr(5)},
      {"one bit flipped", flipped},
      {"a plant that cannot be drawn", badPlant},
  };
  for (const auto &[what, bytes] : cases) {
    SCOPED_TRACE(what);
    std::filesystem::remove(dir + "/garden.dat.damaged");
    writeFile("garden.dat", bytes);
    restart();
    EXPECT_EQ(planted(), 0);
    EXPECT_EQ(readFile(dir + "/garden.dat.damaged"), bytes) << "kept aside as it was";
    EXPECT_FALSE(std::filesystem::exists(gardenFileName()));
    EXPECT_TRUE(saveGarden());
  }

  // No room to keep it aside: the file stays and is never written over.
  for (const char *n : {"", "2", "3", "4", "5", "6", "7", "8", "9"})
    writeFile(std::string("garden.dat.damaged") + n, "old");
  writeFile("garden.dat", "junk");
  restart();
  EXPECT_FALSE(saveGarden());
  EXPECT_EQ(readFile(gardenFileName()), "junk");
}

TEST_F(GardenFile, TheBroomSweepsThePlantsAwayAndItsBadgeBringsThemBack) {
  plantAt(300, 420);
  plantAt(400, 420);
  const int bx = kGardenBroomX + 20, by = kGardenBroomY + 30;
  input.push(bx, by, false);
  input.push(bx, by, true);
  input.push(bx, by, false, {K_VK_ESCAPE});
  doMyGarden();
  EXPECT_EQ(planted(), 0);
  restart();
  EXPECT_EQ(planted(), 0) << "the swept garden is what was saved";

  // The offer ends with the visit: a press on the broom's place sweeps again.
  input.clear();
  window->quit = false;
  input.push(bx, by, false);
  input.push(bx, by, true);
  input.push(bx, by, false, {K_VK_ESCAPE});
  doMyGarden();
  EXPECT_EQ(planted(), 0) << "the offer does not outlive the visit";

  plantAt(300, 420);
  input.push(bx, by, false);
  input.push(bx, by, true);
  input.push(bx, by, false);
  input.push(bx, by, false, {K_VK_L_CONTROL, K_VK_Z});
  input.push(bx, by, false, {K_VK_ESCAPE});
  doMyGarden();
  EXPECT_EQ(planted(), 1) << "Ctrl+Z brings the swept plant back";
}
