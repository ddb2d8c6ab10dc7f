// The Windows build's path rules: data names against the program folder with
// backslashes, drive-letter names as they are, the program folder from the
// executable, and the documents folder from the shell.
#include <gtest/gtest.h>

#include <string>

#include "support/portable.h"
#include "tools/KMiscTools.h"
#include "tools/ToolsTestUtil.h"

namespace {

std::string path(const char *name) { return KMiscTools::makeFilePath(name); }

TEST(PathsWin32, DataNamesResolveAgainstTheProgramFolderWithBackslashes) {
  KMiscTools::initMiscTools();
  const std::string program = KMiscTools::currentFilePath;
  ASSERT_EQ(program.compare(1, 2, ":\\"), 0) << program;  // a drive path, cut before the file
  EXPECT_EQ(program.find(".exe"), std::string::npos);
  for (const char *name : {"data\\gfx\\menu.bmp", "data/gfx/menu.bmp", "/data\\gfx/menu.bmp",
                           ":data\\gfx\\menu.bmp"})
    EXPECT_EQ(path(name), program + "\\data\\gfx\\menu.bmp") << name;
  EXPECT_EQ(path("D:\\x.prf"), "D:\\x.prf");
  EXPECT_EQ(path("\\D:/x.prf"), "D:\\x.prf");
  EXPECT_EQ(path(""), program + "\\");
  EXPECT_EQ(path(std::string(400, 'n').c_str()).size(), 259u);
}

TEST(PathsWin32, TheDocumentsFolderIsTheShellsPersonalFolder) {
  ScratchDir scratch;
  const std::string wanted = scratch / "Mes Documents";
  kt_setDocumentsFolder(wanted.c_str());
  const std::string got = KMiscTools::getUserFolder();
  kt_setDocumentsFolder(nullptr);
  EXPECT_EQ(got, wanted);
  EXPECT_NE(std::string(KMiscTools::getUserFolder()), wanted) << "follows the shell's answer";
}

}  // namespace
