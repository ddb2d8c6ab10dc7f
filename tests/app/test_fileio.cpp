// The data-file helpers every screen saves through: a file that exists but
// cannot be read is never replaced by the defaults a screen started from; pipes,
// folders and links in a save file's place; planted links; a full documents
// folder; leftovers of killed saves.
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "support/shell_fakes.h"
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

TEST(FileIo, AnythingButARegularFileIsKeptAsItIsAndLogged) {
  TempDocuments docs;
  // A pipe would block a plain open for good; a folder opens but never reads.
  const struct {
    const char *name;
    int (*make)(const char *);
    bool (*stillThere)(mode_t);
  } cases[] = {
      {"pabglow.dat", [](const char *p) { return mkfifo(p, 0600); },
       [](mode_t m) { return S_ISFIFO(m); }},
      {"pabrix.prf", [](const char *p) { return mkdir(p, 0700); },
       [](mode_t m) { return S_ISDIR(m); }},
  };
  for (const auto &c : cases) {
    const std::string path = docs.file(c.name);
    ASSERT_EQ(c.make(path.c_str()), 0);
    unsigned char buf[8] = {};
    testing::internal::CaptureStderr();
    EXPECT_EQ(readFilePrefix(path.c_str(), buf, sizeof buf), kFileUnreadable) << c.name;
    // The save goes to the data folder instead, and is what the next start reads.
    EXPECT_TRUE(writeFileAtomically(path.c_str(), kSaved.data(), kSaved.size())) << c.name;
    const std::string log = testing::internal::GetCapturedStderr();
    EXPECT_NE(log.find(path + " cannot be read"), std::string::npos) << log;
    EXPECT_EQ(readWholeFile(docs.dataHome + "/pabrix/" + c.name), kSaved) << c.name;
    EXPECT_EQ(readFilePrefix(path.c_str(), buf, sizeof buf), 8) << c.name;
    struct stat st {};
    ASSERT_EQ(lstat(path.c_str(), &st), 0);
    EXPECT_TRUE(c.stillThere(st.st_mode)) << c.name;
  }
}

TEST(FileIo, ASaveThroughALinkUpdatesItsTargetAndKeepsTheLink) {
  TempDocuments docs;
  // A link into a synchronised folder (relative), and a dangling one.
  ASSERT_EQ(mkdir(docs.file("synced").c_str(), 0700), 0);
  writeWholeFile(docs.file("synced/boards"), std::vector<unsigned char>(kSaved.size(), 9));
  ASSERT_EQ(symlink("synced/boards", docs.file("pabglow.dat").c_str()), 0);
  ASSERT_EQ(symlink(docs.file("synced/new-prefs").c_str(), docs.file("pabrix.prf").c_str()), 0);
  for (const char *name : {"pabglow.dat", "pabrix.prf"}) {
    const std::string link = docs.file(name);
    ASSERT_TRUE(writeFileAtomically(link.c_str(), kSaved.data(), kSaved.size())) << name;
    struct stat st {};
    ASSERT_EQ(lstat(link.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode)) << name << " is no longer a link";
    EXPECT_EQ(readWholeFile(link), kSaved) << name;
  }
  EXPECT_EQ(readWholeFile(docs.file("synced/new-prefs")), kSaved);
}

TEST(FileIo, LeftoversOfKilledSavesGoAndNothingElse) {
  TempDocuments docs;
  auto deadPid = [] {
    pid_t child = fork();
    if (child == 0) _exit(0);
    waitpid(child, nullptr, 0);
    return std::to_string(child);
  };
  const std::string d = deadPid(), alive = std::to_string(getppid());
  // The boards are saved through a link: their leftovers lie beside the target.
  ASSERT_EQ(mkdir(docs.file("real").c_str(), 0700), 0);
  ASSERT_EQ(symlink("real/b.dat", docs.file("pabglow.dat").c_str()), 0);
  const std::vector<std::string> stale = {"pabrix.prf.tmp" + d, "real/b.dat.tmp" + d};
  const std::vector<std::string> kept = {"pabrix.prf.tmp" + alive, "pabrix.prf.tmpx" + d,
                                         "pabrix.prf.tmp", "other.dat.tmp" + d, "pabrix.prf"};
  for (const auto &names : {stale, kept})
    for (const std::string &n : names) writeWholeFile(docs.file(n), {1});
  const std::string folder = docs.file("pabrix.prf.tmp" + deadPid());
  ASSERT_EQ(mkdir(folder.c_str(), 0700), 0);  // not a file a save makes: kept
  EXPECT_EQ(removeStaleTemporaries(docs.file("pabrix.prf").c_str()) +
                removeStaleTemporaries(docs.file("pabglow.dat").c_str()),
            2);
  for (const std::string &n : stale) EXPECT_NE(access(docs.file(n).c_str(), F_OK), 0) << n;
  for (const std::string &n : kept) EXPECT_EQ(access(docs.file(n).c_str(), F_OK), 0) << n;
  EXPECT_EQ(access(folder.c_str(), F_OK), 0);

  // The camera's pictures: only its own names, only killed saves.
  ASSERT_EQ(mkdir(docs.file("Pabrix").c_str(), 0700), 0);
  const std::string picture = "Pabrix/Pabrix 2026-12-07 10-00-00.png";
  const std::vector<std::string> pictureKept = {picture + ".tmp" + alive + "-0a1b",
                                                "Pabrix/notes.png.tmp" + d, picture};
  writeWholeFile(docs.file(picture + ".tmp" + d + "-0a1b"), {1});
  for (const std::string &n : pictureKept) writeWholeFile(docs.file(n), {1});
  EXPECT_EQ(removeStalePictureTemporaries(docs.file("Pabrix").c_str()), 1);
  for (const std::string &n : pictureKept) EXPECT_EQ(access(docs.file(n).c_str(), F_OK), 0) << n;
}

// Someone who can write into the documents folder plants links to other files:
// none of them is written, the link stays, the save lands in the data folder.
TEST(FileIo, PlantedLinksNeverReachAnotherFile) {
  TempDocuments docs;
  const std::string victim = docs.dataHome + "/notes.txt";  // another folder of the user's
  const std::vector<unsigned char> notes(100, 'n');
  writeWholeFile(victim, notes);
  writeWholeFile(docs.file("thesis.txt"), {7, 7, 7});  // inside, but not a file of this size
  const struct {
    const char *name;
    std::string to;
  } links[] = {{"pabrix.prf", victim},
               {"pabglow.dat", "thesis.txt"},
               {"mistermon.dat", docs.dataHome + "/../elsewhere-" + std::to_string(getpid())}};
  for (const auto &l : links) {
    const std::string link = docs.file(l.name);
    ASSERT_EQ(symlink(l.to.c_str(), link.c_str()), 0);
    testing::internal::CaptureStderr();
    EXPECT_TRUE(writeFileAtomically(link.c_str(), kSaved.data(), kSaved.size())) << l.name;
    const std::string log = testing::internal::GetCapturedStderr();
    EXPECT_NE(log.find(link + " could not be saved (it is a link to"), std::string::npos) << log;
    struct stat st {};
    ASSERT_EQ(lstat(link.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode)) << l.name;
    EXPECT_EQ(readWholeFile(docs.dataHome + "/pabrix/" + l.name), kSaved) << l.name;
  }
  EXPECT_EQ(readWholeFile(victim), notes);
  EXPECT_EQ(readWholeFile(docs.file("thesis.txt")), (std::vector<unsigned char>{7, 7, 7}));
  EXPECT_NE(access(links[2].to.c_str(), F_OK), 0) << "a dangling link made a file elsewhere";
}

// A full documents folder (a tiny file system of its own: permissions do not
// stop root): the old file stays whole, the new one goes to the data folder and
// is the one read back.
TEST(FileIo, AFullDocumentsFolderLosesNothing) {
  TempDocuments docs;
  if (geteuid() != 0) GTEST_SKIP() << "mounting a small file system needs root";
  ASSERT_EQ(mount("tmpfs", docs.path.c_str(), "tmpfs", 0, "size=4k"), 0);
  struct Unmount {
    const std::string &at;
    ~Unmount() { umount(at.c_str()); }
  } unmount{docs.path};
  const std::string path = docs.file("pabglow.dat");
  const std::vector<unsigned char> old(3000, 1), next(3000, 2);
  writeWholeFile(path, old);
  EXPECT_TRUE(writeFileAtomically(path.c_str(), next.data(), next.size()));
  std::vector<unsigned char> read(3000);
  EXPECT_EQ(readFilePrefix(path.c_str(), read.data(), read.size()), 3000);
  EXPECT_EQ(read, next);
  EXPECT_EQ(readWholeFile(path), old);
  EXPECT_EQ(docs.entries(), 1u) << "the failed temporary file was left behind";
}

}  // namespace
