// The data-file helpers every screen saves through: a file that exists but
// cannot be read is never replaced by the defaults a screen started from.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "app/fakes.h"
#include "app/fileio.h"

namespace {

const std::vector<unsigned char> kSaved = {1, 2, 3, 4, 5, 6, 7, 8};

TEST(FileIo, AbsentShortAndWholeFilesAreTold) {
  TempDocuments docs;
  unsigned char buf[8] = {};
  EXPECT_EQ(readFilePrefix(docs.file("none.dat").c_str(), buf, sizeof buf), kFileAbsent);
  writeWholeFile(docs.file("short.dat"), {9, 9, 9});
  EXPECT_EQ(readFilePrefix(docs.file("short.dat").c_str(), buf, sizeof buf), 3);
  // Absent and short files may be written: that is how the first save happens.
  EXPECT_TRUE(writeFileAtomically(docs.file("none.dat").c_str(), kSaved.data(), kSaved.size()));
  EXPECT_EQ(readWholeFile(docs.file("none.dat")), kSaved);
}

TEST(FileIo, AFileThatCannotBeReadIsNeverWrittenOver) {
  TempDocuments docs;
  const std::string path = docs.file("boards.dat");
  writeWholeFile(path, kSaved);
  ASSERT_EQ(chmod(path.c_str(), 0), 0);
  // Root reads anything: the check runs as an unprivileged user in a child,
  // in a folder that user may write to (so only the guard can stop the save).
  ASSERT_EQ(chmod(docs.path.c_str(), 0777), 0);
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (setgid(65534) != 0 || setuid(65534) != 0) _exit(10);
    unsigned char buf[8] = {};
    if (readFilePrefix(path.c_str(), buf, sizeof buf) != kFileUnreadable) _exit(11);
    const unsigned char empty[8] = {};
    if (writeFileAtomically(path.c_str(), empty, sizeof empty)) _exit(12);
    _exit(0);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  ASSERT_EQ(chmod(path.c_str(), 0600), 0);
  EXPECT_EQ(readWholeFile(path), kSaved) << "the saved work is still there";

  // Once it reads again, saving works as before.
  unsigned char buf[8] = {};
  EXPECT_EQ(readFilePrefix(path.c_str(), buf, sizeof buf), 8);
  const unsigned char next[8] = {8, 7, 6, 5, 4, 3, 2, 1};
  EXPECT_TRUE(writeFileAtomically(path.c_str(), next, sizeof next));
}

TEST(FileIo, AReadErrorPartWayKeepsTheFile) {
  TempDocuments docs;
  // A directory opens for reading but every read fails.
  const std::string path = docs.file("folder.dat");
  ASSERT_EQ(mkdir(path.c_str(), 0700), 0);
  unsigned char buf[8] = {};
  EXPECT_EQ(readFilePrefix(path.c_str(), buf, sizeof buf), kFileUnreadable);
  EXPECT_FALSE(writeFileAtomically(path.c_str(), kSaved.data(), kSaved.size()));
  struct stat st {};
  ASSERT_EQ(stat(path.c_str(), &st), 0);
  EXPECT_TRUE(S_ISDIR(st.st_mode));
  rmdir(path.c_str());
}

}  // namespace
