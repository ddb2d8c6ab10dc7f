// Data-file paths, the program folder and the documents folder.
#include <climits>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>
#include <sys/stat.h>

#include "support/portable.h"
#include "tools/KMiscTools.h"
#include "tools/ToolsTestUtil.h"

namespace {

class PathsTest : public ::testing::Test {
protected:
  void SetUp() override {
    memcpy(savedProgram_, KMiscTools::currentFilePath, sizeof savedProgram_);
    memcpy(savedDocs_, KMiscTools::szPath, sizeof savedDocs_);
    program_ = scratch_ / "Games/App";
    ASSERT_EQ(system(("mkdir -p '" + program_ + "/data/gfx'").c_str()), 0);
    snprintf(KMiscTools::currentFilePath, sizeof KMiscTools::currentFilePath, "%s", program_.c_str());
    KMiscTools::szPath[0] = 0;
  }
  void TearDown() override {
    memcpy(KMiscTools::currentFilePath, savedProgram_, sizeof savedProgram_);
    memcpy(KMiscTools::szPath, savedDocs_, sizeof savedDocs_);
  }
  std::string path(const char *name) { return KMiscTools::makeFilePath(name); }

  ScratchDir scratch_;
  std::string program_;
  char savedProgram_[260];
  char savedDocs_[260];
};

TEST_F(PathsTest, DataNamesResolveAgainstTheProgramFolderWithSlashes) {
  EXPECT_EQ(path("data\\gfx\\menu.bmp"), program_ + "/data/gfx/menu.bmp");
  EXPECT_EQ(path("data/gfx/menu.bmp"), program_ + "/data/gfx/menu.bmp");
  // One leading separator or colon is skipped: these are still data names.
  EXPECT_EQ(path("/data/x.tga"), program_ + "/data/x.tga");
  EXPECT_EQ(path("\\data\\x.tga"), program_ + "/data/x.tga");
  EXPECT_EQ(path(":data\\x.tga"), program_ + "/data/x.tga");
  // A name that does not exist still yields a path (that later fails to open).
  EXPECT_EQ(path("data\\missing.ini"), program_ + "/data/missing.ini");
  EXPECT_EQ(path(""), program_ + "/");
  EXPECT_EQ(path(nullptr), program_ + "/");
}

TEST_F(PathsTest, DriveLetterNamesAreCopiedUnchanged) {
  EXPECT_EQ(path("D:\\x.prf"), "D:/x.prf");
  EXPECT_EQ(path("\\D:\\x.prf"), "D:/x.prf");
}

TEST_F(PathsTest, AbsolutePosixPathsReachTheOpenerUnchanged) {
  // The documents folder and anything under $HOME, with the backslash the
  // data-file formats put before the file name.
  std::string docs = scratch_ / "home/Documents";
  ASSERT_EQ(system(("mkdir -p '" + docs + "'").c_str()), 0);
  {
    EnvOverride home("HOME", (scratch_ / "home").c_str());
    EnvOverride xdg("XDG_DOCUMENTS_DIR", docs.c_str());
    ASSERT_EQ(std::string(KMiscTools::getUserFolder()), docs);
    EXPECT_EQ(path((docs + "\\pabrix.prf").c_str()), docs + "/pabrix.prf");
    EXPECT_EQ(path((scratch_ / "home\\other.dat").c_str()), scratch_ / "home/other.dat");
  }
  // Paths under the program folder, and any path whose first component is at
  // the filesystem root.
  EXPECT_EQ(path((program_ + "/data/x.tga").c_str()), program_ + "/data/x.tga");
  EXPECT_EQ(path("/usr/share/x.tga"), "/usr/share/x.tga");
  EXPECT_EQ(path("/tmp\\a\\b.dat"), "/tmp/a/b.dat");
}

TEST_F(PathsTest, AProgramFolderEntryWinsOverARootEntryOfTheSameName) {
  // "tmp" exists at the root; once the program folder has one too, "/tmp/..."
  // is a data name, as on every other platform.
  ASSERT_EQ(kt_mkdir((program_ + "/tmp").c_str(), 0755), 0);
  EnvOverride home("HOME", (scratch_ / "home").c_str());
  EXPECT_EQ(path("/tmp/x.tga"), program_ + "/tmp/x.tga");
  // Names that are not at the root stay data names.
  EXPECT_EQ(path("/no-such-root-entry-xyz/x.tga"), program_ + "/no-such-root-entry-xyz/x.tga");
  EXPECT_EQ(path("/../etc/passwd"), program_ + "/../etc/passwd");
}

TEST_F(PathsTest, LongNamesAreCutTo259Characters) {
  std::string longName(600, 'a');
  std::string got = path(longName.c_str());
  EXPECT_EQ(got.size(), 259u);
  EXPECT_EQ(got.compare(0, program_.size() + 1, program_ + "/"), 0);

  std::string longAbsolute = "/tmp/" + std::string(600, 'b');
  got = path(longAbsolute.c_str());
  EXPECT_EQ(got.size(), 259u);
  EXPECT_EQ(got.compare(0, 5, "/tmp/"), 0);

  std::string longDrive = "C:\\" + std::string(600, 'c');
  EXPECT_EQ(path(longDrive.c_str()).size(), 259u);
}

TEST_F(PathsTest, ProgramFolderIsTheExecutablesFolderAndInitialisesOnFirstUse) {
  const char *bin = getenv("PABRIX_BINARY_DIR");
  ASSERT_NE(bin, nullptr);
  char expected[PATH_MAX];
  ASSERT_NE(realpath((std::string(bin) + "/bin").c_str(), expected), nullptr);

  KMiscTools::currentFilePath[0] = 0;
  std::string got = path("data\\gfx\\mouse.tga");
  EXPECT_STREQ(KMiscTools::currentFilePath, expected);
  EXPECT_EQ(got, std::string(expected) + "/data/gfx/mouse.tga");
  EXPECT_NE(KMiscTools::_HighFreq, 0);  // the clock was started too

  KMiscTools::currentFilePath[0] = 0;
  KMiscTools::initMiscTools();
  EXPECT_STREQ(KMiscTools::currentFilePath, expected);
}

// Where data names go for each layout the program ships in; the first folder
// that exists wins, and the looked-in list names both places in that order.
TEST_F(PathsTest, DataFolderIsBesideTheProgramElseUnderShareOfItsPrefix) {
  std::string prefix = scratch_ / "prefix";
  std::string bin = prefix + "/bin", share = prefix + "/share/pabrix";
  std::string looked = bin + "/data\n" + share + "/data";
  struct Case {
    const char *layout;
    std::vector<std::string> folders;
    bool found;
    std::string base;  // where data\gfx\menu.bmp lands
  } cases[] = {
      {"installed", {bin, share + "/data"}, true, share},
      {"both: beside wins", {bin + "/data", share + "/data"}, true, bin},
      {"only beside", {bin + "/data"}, true, bin},
      {"none: the program folder", {bin}, false, bin},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.layout);
    testhome::removeTree(prefix);
    for (const std::string &f : c.folders) ASSERT_TRUE(std::filesystem::create_directories(f)) << f;
    snprintf(KMiscTools::currentFilePath, sizeof KMiscTools::currentFilePath, "%s", bin.c_str());
    char where[600];
    EXPECT_EQ(KMiscTools::findDataFolder(where, sizeof where), c.found);
    EXPECT_EQ(std::string(where), looked);
    EXPECT_EQ(path("data\\gfx\\menu.bmp"), c.base + "/data/gfx/menu.bmp");
    EXPECT_EQ(path("/data/x.tga"), c.base + "/data/x.tga");
    // Only names under data move; others stay with the program.
    EXPECT_EQ(path("database.ini"), bin + "/database.ini");
  }
}

class UserFolderTest : public PathsTest {
protected:
  void SetUp() override {
    PathsTest::SetUp();
    home_ = scratch_ / "home";
    ASSERT_EQ(kt_mkdir(home_.c_str(), 0755), 0);
  }
  // Resolves a preferences file the way the program does and writes to it.
  std::string writePreferences() {
    char name[600];
    snprintf(name, sizeof name, "%s\\pabrix.prf", KMiscTools::getUserFolder());
    std::string resolved = KMiscTools::makeFilePath(name);
    FILE *f = fopen(resolved.c_str(), "wb");
    EXPECT_NE(f, nullptr) << resolved;
    if (f) {
      fputs("0123456789abcdef", f);
      fclose(f);
    }
    return resolved;
  }
  std::string home_;
};

TEST_F(UserFolderTest, EnvironmentVariableWinsAndIsCreated) {
  EnvOverride home("HOME", home_.c_str());
  std::string wanted = scratch_ / "deep/er/docs";
  EnvOverride xdg("XDG_DOCUMENTS_DIR", (wanted + "/").c_str());
  EXPECT_EQ(std::string(KMiscTools::getUserFolder()), wanted);
  EXPECT_TRUE(isDirectory(wanted));
  EXPECT_EQ(writePreferences(), wanted + "/pabrix.prf");
}

TEST_F(UserFolderTest, UserDirsFileIsReadWithHomeExpanded) {
  EnvOverride home("HOME", home_.c_str());
  EnvOverride xdg("XDG_DOCUMENTS_DIR", nullptr);
  EnvOverride config("XDG_CONFIG_HOME", nullptr);
  ASSERT_EQ(kt_mkdir((home_ + "/.config").c_str(), 0755), 0);
  writeFile(home_ + "/.config/user-dirs.dirs",
            "# written by the desktop\n"
            "XDG_DESKTOP_DIR=\"$HOME/Desktop\"\n"
            "XDG_DOCUMENTS_DIR=\"$HOME/Mes Documents\"\n");
  EXPECT_EQ(std::string(KMiscTools::getUserFolder()), home_ + "/Mes Documents");
  EXPECT_TRUE(isDirectory(home_ + "/Mes Documents"));

  // XDG_CONFIG_HOME moves the file; an absolute value is taken as it is.
  std::string config2 = scratch_ / "cfg";
  ASSERT_EQ(kt_mkdir(config2.c_str(), 0755), 0);
  writeFile(config2 + "/user-dirs.dirs", "XDG_DOCUMENTS_DIR=\"" + scratch_.path() + "/abs\"\n");
  EnvOverride config3("XDG_CONFIG_HOME", config2.c_str());
  EXPECT_EQ(std::string(KMiscTools::getUserFolder()), scratch_ / "abs");
}

TEST_F(UserFolderTest, DefaultsToDocumentsUnderHome) {
  EnvOverride home("HOME", home_.c_str());
  EnvOverride xdg("XDG_DOCUMENTS_DIR", nullptr);
  EnvOverride config("XDG_CONFIG_HOME", (scratch_ / "no-config").c_str());
  EXPECT_EQ(std::string(KMiscTools::getUserFolder()), home_ + "/Documents");
  EXPECT_TRUE(isDirectory(home_ + "/Documents"));
  // Relative values are not folders the desktop could mean: ignored.
  EnvOverride xdg2("XDG_DOCUMENTS_DIR", "relative/docs");
  EXPECT_EQ(std::string(KMiscTools::getUserFolder()), home_ + "/Documents");
}

TEST_F(UserFolderTest, ADocumentsFolderThatCannotBeUsedFallsBackToTheDataFolder) {
  EnvOverride home("HOME", home_.c_str());
  EnvOverride config("XDG_CONFIG_HOME", (scratch_ / "no-config").c_str());
  std::string blocked = home_ + "/Documents";
  writeFile(blocked, "a file, not a folder");
  EnvOverride xdg("XDG_DOCUMENTS_DIR", nullptr);
  EnvOverride data("XDG_DATA_HOME", nullptr);
  EXPECT_EQ(std::string(KMiscTools::getUserFolder()), home_ + "/.local/share/pabrix");
  EXPECT_TRUE(isDirectory(home_ + "/.local/share/pabrix"));
  EnvOverride data2("XDG_DATA_HOME", (scratch_ / "xdgdata").c_str());
  EXPECT_EQ(std::string(KMiscTools::getUserFolder()), scratch_ / "xdgdata/pabrix");
  EXPECT_EQ(writePreferences(), scratch_ / "xdgdata/pabrix/pabrix.prf");
}

TEST_F(UserFolderTest, FallsBackToTheProgramFolderWhenTheFolderCannotBeMade) {
  // A regular file where the home folder should be: nothing can be created.
  std::string notADir = scratch_ / "plainfile";
  writeFile(notADir, "x");
  EnvOverride home("HOME", notADir.c_str());
  EnvOverride xdg("XDG_DOCUMENTS_DIR", nullptr);
  EnvOverride config("XDG_CONFIG_HOME", nullptr);
  EnvOverride data("XDG_DATA_HOME", nullptr);
  EXPECT_EQ(std::string(KMiscTools::getUserFolder()), program_ + "/");
  // The fallback is stable across later makeFilePath calls and still usable.
  KMiscTools::makeFilePath("data\\other.tga");
  EXPECT_EQ(std::string(KMiscTools::szPath), program_ + "/");
  std::string prefs = writePreferences();
  struct stat st{};
  ASSERT_EQ(stat(prefs.c_str(), &st), 0) << prefs;
  EXPECT_EQ(st.st_size, 16);
  EXPECT_EQ(stat((program_ + "/pabrix.prf").c_str(), &st), 0);

  // A folder name longer than the buffer falls back too.
  EnvOverride xdg2("XDG_DOCUMENTS_DIR", ("/tmp/" + std::string(300, 'd')).c_str());
  EXPECT_EQ(std::string(KMiscTools::getUserFolder()), program_ + "/");
}

}  // namespace
