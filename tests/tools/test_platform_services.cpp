// The platform's file services of the save-and-quit route, one suite for every
// system: what reads refuse, what a replacement leaves behind, which links a save
// may follow, leftovers' names and processes, the user's data folder.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#ifdef _WIN32
#include <fcntl.h>
#include <share.h>
#endif

#include "tools/KPlatformServices.h"
#include "tools/ToolsTestUtil.h"

namespace {

namespace fs = std::filesystem;

std::string readBack(const std::string &path) {
  std::string bytes(200000, '\0');
  std::string why;
  const long n = kplatform::readRegularFile(path.c_str(), &bytes[0], bytes.size(), why);
  bytes.resize(n > 0 ? size_t(n) : 0);
  return bytes;
}

bool save(const std::string &path, const std::string &bytes, const std::vector<std::string> &safe,
          std::string &why) {
  return kplatform::replaceFileWhole(path.c_str(), bytes.data(), bytes.size(), safe, why);
}

#ifdef _WIN32
const char *const kDevice = "NUL";
#else
const char *const kDevice = "/dev/null";
#endif

TEST(PlatformServices, ReadsTellMissingFromUnreadableAndNeverOpenADevice) {
  ScratchDir dir;
  writeFile(dir / "five", "12345");
  fs::create_directory(dir / "folder");
  const struct {
    std::string path;
    long result;
  } cases[] = {{dir / "five", 5},
               {dir / "none", kplatform::kNoFile},
               {dir / "no-folder/five", kplatform::kNoFile},
               {dir / "folder", kplatform::kNotReadable},
               {kDevice, kplatform::kNotReadable}};
  for (const auto &c : cases) {
    char buffer[8] = {0};
    std::string why;
    EXPECT_EQ(kplatform::readRegularFile(c.path.c_str(), buffer, sizeof buffer, why), c.result) << c.path;
    if (c.result == kplatform::kNotReadable) {
      EXPECT_FALSE(why.empty()) << c.path;
    }
    FILE *f = kplatform::openRegularFile(c.path.c_str());
    EXPECT_EQ(f != nullptr, c.result >= 0) << c.path;
    if (f) fclose(f);
  }
}

// A first save, a replacement, and a refusal that leaves the old file: never a
// temporary file left in the folder.
TEST(PlatformServices, AReplacementIsWholeAndLeavesNothingBeside) {
  ScratchDir dir;
  const std::string path = dir / "pabglow.dat", big(150000, 'b');
  std::string why;
  EXPECT_TRUE(save(path, "first", {}, why)) << why;
  EXPECT_TRUE(save(path, big, {}, why)) << why;
  EXPECT_EQ(readBack(path), big);
  fs::create_directory(dir / "folder");
  for (const std::string &refused : {dir / "folder", dir / "gone/pabrix.prf"}) {
    EXPECT_FALSE(save(refused, "x", {}, why)) << refused;
    EXPECT_FALSE(why.empty()) << refused;
  }
  std::vector<std::string> names = kplatform::listFolder(dir.path().c_str());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"folder", "pabglow.dat"}));
  EXPECT_FALSE(kplatform::removeRegularFile((dir / "folder").c_str()));
  EXPECT_TRUE(kplatform::removeRegularFile(path.c_str()));
  EXPECT_EQ(kplatform::modifiedTime(path.c_str()), -1);
}

// Links planted in a save's place: followed only to this user's file of the very
// size, or to a file not there yet inside a folder meant for saves.
TEST(PlatformServices, ASaveFollowsALinkOnlyWhereThatIsSafe) {
  ScratchDir dir, elsewhere;
  const std::string docs = dir / "docs", bytes(16, 's');
  fs::create_directory(docs);
  writeFile(docs + "/same-size", std::string(16, 'o'));
  writeFile(elsewhere / "notes.txt", std::string(100, 'n'));
  const struct {
    const char *link;
    std::string to;
    bool written;
  } cases[] = {{"own", docs + "/same-size", true},
               {"other-size", elsewhere / "notes.txt", false},
               {"new-inside", docs + "/new", true},
               {"new-outside", elsewhere / "new", false}};
  for (const auto &c : cases) {
    const std::string link = docs + "/" + c.link;
    std::error_code ec;
    fs::create_symlink(c.to, link, ec);
    if (ec) GTEST_SKIP() << "no links here: " << ec.message();
    EXPECT_TRUE(fs::equivalent(kplatform::finalTarget(link.c_str()), c.to, ec) || !fs::exists(c.to))
        << c.link;
    std::string why;
    EXPECT_EQ(save(link, bytes, {docs}, why), c.written) << c.link << ": " << why;
    EXPECT_TRUE(fs::is_symlink(link)) << c.link;
    EXPECT_EQ(readBack(c.to) == bytes, c.written) << c.link;
  }
  EXPECT_EQ(readBack(elsewhere / "notes.txt"), std::string(100, 'n'));
  EXPECT_FALSE(fs::exists(elsewhere / "new"));
}

// A leftover's process, the file system's own case rules, the data folder.
TEST(PlatformServices, ProcessesNamesAndTheDataFolder) {
  EXPECT_FALSE(kplatform::processRunning(0));
  EXPECT_FALSE(kplatform::processRunning(999999999));
  ScratchDir dir;
  writeFile(dir / "Pabrix.PRF", "p");
  const std::string found = kplatform::existingPathIgnoringCase(dir / "pabrix.prf");
  EXPECT_EQ(readBack(found), "p");
  EXPECT_TRUE(kplatform::existingPathIgnoringCase(dir / "none.prf").empty());
  EXPECT_GT(kplatform::modifiedTime(found.c_str()), 0);

  // The data folder of this test's own (the Windows run has a home of its own).
  ScratchDir home;
  EnvOverride dataHome("XDG_DATA_HOME", home.path().c_str());
  const std::string data = kplatform::userDataFolder();
  ASSERT_FALSE(data.empty());
  EXPECT_TRUE(isDirectory(data)) << data;
  std::string leaf = fs::path(data).filename().string();
  for (char &c : leaf) c = char(tolower((unsigned char)c));
  EXPECT_EQ(leaf, "pabrix") << data;
}

#ifdef _WIN32
// Another program holding the file open (a synchroniser, a virus scanner): a
// moment's hold is waited out, a long one fails with the old file whole.
TEST(PlatformServices, AFileHeldOpenElsewhereIsWaitedForBriefly) {
  ScratchDir dir;
  const std::string path = dir / "pabrix.prf";
  for (int holdMs : {100, 3000}) {  // well inside and well past the second it waits
    writeFile(path, "old");
    int fd = -1;
    ASSERT_EQ(_sopen_s(&fd, path.c_str(), _O_RDONLY, _SH_DENYRW, 0), 0);
    std::thread release([fd, holdMs] {
      std::this_thread::sleep_for(std::chrono::milliseconds(holdMs));
      _close(fd);
    });
    std::string why;
    EXPECT_EQ(save(path, "new", {}, why), holdMs < 1000) << holdMs << " ms: " << why;
    release.join();
    EXPECT_EQ(readBack(path), holdMs < 1000 ? "new" : "old") << holdMs;
    EXPECT_EQ(kplatform::listFolder(dir.path().c_str()), std::vector<std::string>{"pabrix.prf"}) << holdMs;
  }
}
#endif

// A forced quit saves on a thread of its own and ends the process with the save's
// outcome as its status, whatever the application thread is doing.
void quitStuck(bool (*save)()) {
  kplatform::CloseHooks hooks;
  hooks.save = save;
  kplatform::installCloseRequests(hooks);
  kplatform::forceQuit();
  for (;;) std::this_thread::sleep_for(std::chrono::seconds(1));
}

TEST(PlatformServicesDeathTest, AForcedQuitSavesAndEndsWithTheSavesOutcome) {
  EXPECT_EXIT(quitStuck([] { return true; }), testing::ExitedWithCode(0), "");
  EXPECT_EXIT(quitStuck([] { return false; }), testing::ExitedWithCode(1), "");
}

}  // namespace
