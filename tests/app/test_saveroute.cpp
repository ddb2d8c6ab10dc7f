// The save route as both systems run it (Linux, and Windows under Wine): a save
// its folder refuses lands in the user's data folder and is what the next start
// reads; a later save in place wins again; killed saves' leftovers go.
#include <gtest/gtest.h>

#include "support/shell_fakes.h"
#include "app/fileio.h"
#include "support/portable.h"
#include "tools/KPlatformServices.h"

namespace {

const std::vector<unsigned char> kFirst = {1, 2, 3, 4}, kSecond = {5, 6, 7, 8};

TEST(SaveRoute, ARefusedSaveIsKeptInTheDataFolderUntilTheNextSaveInPlace) {
  TempDocuments docs;
  const std::string data = kplatform::userDataFolder();
  ASSERT_FALSE(data.empty());
  const std::string path = docs.file("gone/pabrix.prf"), copy = data + "/pabrix.prf";
  testing::internal::CaptureStderr();
  EXPECT_TRUE(writeFileAtomically(path.c_str(), kFirst.data(), kFirst.size()));
  const std::string log = testing::internal::GetCapturedStderr();
  EXPECT_NE(log.find(path + " could not be saved ("), std::string::npos) << log;
  EXPECT_NE(log.find("it was saved as " + copy + " instead"), std::string::npos) << log;
  unsigned char buf[4] = {};
  EXPECT_EQ(readFilePrefix(path.c_str(), buf, sizeof buf), 4);
  EXPECT_EQ(std::vector<unsigned char>(buf, buf + 4), kFirst);

  // The folder is back: the save goes in place and the copy is gone.
  ASSERT_EQ(kt_mkdir(docs.file("gone").c_str(), 0700), 0);
  EXPECT_TRUE(writeFileAtomically(path.c_str(), kSecond.data(), kSecond.size()));
  EXPECT_EQ(readWholeFile(path), kSecond);
  EXPECT_EQ(kplatform::modifiedTime(copy.c_str()), -1);
  EXPECT_EQ(readFilePrefix(path.c_str(), buf, sizeof buf), 4);
  EXPECT_EQ(std::vector<unsigned char>(buf, buf + 4), kSecond);
  EXPECT_EQ(docs.entries(), 1u) << "a save left its temporary file";
}

TEST(SaveRoute, OnlyLeftoversOfSavesWhoseProgramIsGoneAreRemoved) {
  TempDocuments docs;
  // No process ever has this id on either system.
  const std::string dead = "999999999", alive = std::to_string(kt_getpid());
  const std::vector<std::string> stale = {"pabrix.prf.tmp" + dead, "pabrix.prf.tmp" + dead + "-9f0c"};
  const std::vector<std::string> kept = {"pabrix.prf.tmp" + alive + "-9f0c", "pabrix.prf.tmp" + dead + "-XY",
                                         "pabrix.prf.tmp", "other.dat.tmp" + dead, "pabrix.prf"};
  for (const auto &names : {stale, kept})
    for (const std::string &n : names) writeWholeFile(docs.file(n), {1});
  EXPECT_EQ(removeStaleTemporaries(docs.file("pabrix.prf").c_str()), 2);
  for (const std::string &n : stale) EXPECT_EQ(kplatform::modifiedTime(docs.file(n).c_str()), -1) << n;
  for (const std::string &n : kept) EXPECT_GE(kplatform::modifiedTime(docs.file(n).c_str()), 0) << n;
}

}  // namespace
