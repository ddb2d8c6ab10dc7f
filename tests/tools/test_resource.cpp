// Resource files: result codes, seek/tell/read on plain files, archive members
// served through the archive hook, and the intrusive list under it; the
// platform's whole-buffer write that saves use.
#include <cerrno>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "tools/KList.h"
#include "tools/KPlatformServices.h"
#include "tools/KResource.h"
#include "tools/ToolsTestUtil.h"

#ifdef _WIN32
#include <io.h>
static bool descriptorIsOpen(int fd) { return _get_osfhandle(fd) != -1; }
#else
#include <fcntl.h>
static bool descriptorIsOpen(int fd) { return fcntl(fd, F_GETFD) != -1 || errno != EBADF; }
#endif

namespace {

std::string patternBytes(size_t n) {
  std::string s(n, 0);
  for (size_t i = 0; i < n; ++i) s[i] = char((i * 7 + i / 251) & 0xFF);
  return s;
}

class ResourceTest : public ::testing::Test {
protected:
  void SetUp() override {
    file_ = scratch_ / "thousand.bin";
    bytes_ = patternBytes(1000);
    writeFile(file_, bytes_);
  }
  ScratchDir scratch_;
  std::string file_;
  std::string bytes_;
};

TEST_F(ResourceTest, OpenReportsEveryFailureAndLeavesTheHandleClosed) {
  KResource r;
  EXPECT_EQ(r._nMode, K_RES_CLOSED);
  EXPECT_EQ(r._lpFile, nullptr);

  EXPECT_EQ(r.open((scratch_ / "missing.bin").c_str(), K_RES_READ), K_RES_NOTFOUND);
  EXPECT_EQ(r.open(scratch_.path().c_str(), K_RES_READ), K_RES_NOTFOUND);  // a directory
#ifdef _WIN32
  EXPECT_EQ(r.open("NUL", K_RES_READ), K_RES_NOTFOUND);  // a device
#else
  std::string fifo = scratch_ / "pipe";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);
  EXPECT_EQ(r.open(fifo.c_str(), K_RES_READ), K_RES_NOTFOUND);  // no wait for a writer
#endif
  EXPECT_EQ(r.open(file_.c_str(), K_RES_CLOSED), K_RES_PARAM);
  EXPECT_EQ(r.open(file_.c_str(), KResourceMode(1001)), K_RES_PARAM);
  EXPECT_EQ(r.open(nullptr, K_RES_READ), K_RES_PARAM);
  EXPECT_EQ(r._nMode, K_RES_CLOSED);
  EXPECT_EQ(r._lpFile, nullptr);

  int pos = -7;
  char buf[4];
  EXPECT_EQ(r.seek(K_RES_BEGIN, 0), K_RES_STATE);
  EXPECT_EQ(r.tell(pos), K_RES_STATE);
  EXPECT_EQ(pos, -7);
  EXPECT_EQ(r.read(buf, 4), K_RES_STATE);
  r.close();  // closing a closed handle does nothing

  ASSERT_EQ(r.open(file_.c_str(), K_RES_READ), K_RES_OK);
  EXPECT_EQ(r._nMode, K_RES_READ);
  EXPECT_FALSE(r._bFileInArchive);
  EXPECT_EQ(r._nBeginPos, 0u);
  EXPECT_EQ(r._nSize, 0u);
  FILE *first = r._lpFile;
  EXPECT_EQ(r.open(file_.c_str(), K_RES_READ), K_RES_STATE);
  EXPECT_EQ(r._lpFile, first);
}

TEST_F(ResourceTest, SeekTellAndReadOnAPlainFile) {
  KResource r;
  ASSERT_EQ(r.open(file_.c_str(), K_RES_READ), K_RES_OK);
  int pos = -1;
  EXPECT_EQ(r.seek(K_RES_END, 0), K_RES_OK);
  EXPECT_EQ(r.tell(pos), K_RES_OK);
  EXPECT_EQ(pos, 1000);
  EXPECT_EQ(r.seek(K_RES_BEGIN, 10), K_RES_OK);
  EXPECT_EQ(r.tell(pos), K_RES_OK);
  EXPECT_EQ(pos, 10);
  EXPECT_EQ(r.seek(K_RES_CURRENT, 15), K_RES_OK);
  r.tell(pos);
  EXPECT_EQ(pos, 25);
  EXPECT_EQ(r.seek(K_RES_END, -100), K_RES_OK);  // plain file: negative is before the end
  r.tell(pos);
  EXPECT_EQ(pos, 900);

  char buf[64];
  ASSERT_EQ(r.read(buf, 50), K_RES_OK);
  EXPECT_EQ(memcmp(buf, bytes_.data() + 900, 50), 0);

  // A bad origin changes nothing.
  EXPECT_EQ(r.seek(KResourceWhence(3), 0), K_RES_PARAM);
  r.tell(pos);
  EXPECT_EQ(pos, 950);

  // Fewer bytes than asked: an error, with the bytes that were there kept.
  r.seek(K_RES_END, -5);
  memset(buf, 0, sizeof buf);
  EXPECT_EQ(r.read(buf, 20), K_RES_IOERR);
  EXPECT_EQ(memcmp(buf, bytes_.data() + 995, 5), 0);
  EXPECT_EQ(r.read(nullptr, 4), K_RES_IOERR);
  EXPECT_EQ(r.read(buf, 0), K_RES_OK);

  // A handle in a mode other than reading refuses to read.
  r._nMode = KResourceMode(5);
  EXPECT_EQ(r.read(buf, 1), K_RES_MODE);
  r._nMode = K_RES_READ;

  r.close();
  EXPECT_EQ(r._nMode, K_RES_CLOSED);
  EXPECT_EQ(r._lpFile, nullptr);
  EXPECT_EQ(r.read(buf, 1), K_RES_STATE);
  // Reopening after close works.
  ASSERT_EQ(r.open(file_.c_str(), K_RES_READ), K_RES_OK);
  ASSERT_EQ(r.read(buf, 8), K_RES_OK);
  EXPECT_EQ(memcmp(buf, bytes_.data(), 8), 0);
}

TEST_F(ResourceTest, DestroyingAnOpenHandleClosesItsFile) {
  int fd = -1;
  {
    KResource r;
    ASSERT_EQ(r.open(file_.c_str(), K_RES_READ), K_RES_OK);
    fd = fileno(r._lpFile);
    ASSERT_GE(fd, 0);
    EXPECT_TRUE(descriptorIsOpen(fd));
  }
  EXPECT_FALSE(descriptorIsOpen(fd));
}

// Every byte lands, in order, however the system splits the write; a
// descriptor open only for reading reports the failure.
TEST_F(ResourceTest, WriteAllPutsTheWholeBufferInTheFileOrFails) {
  const std::string bytes = patternBytes(300000), out = scratch_ / "written.bin";
  FILE *f = fopen(out.c_str(), "wb");
  ASSERT_NE(f, nullptr);
  EXPECT_TRUE(kplatform::writeAll(fileno(f), bytes.data(), bytes.size()));
  fclose(f);
  std::string back(bytes.size() + 1, '\0');
  FILE *in = fopen(out.c_str(), "rb");
  ASSERT_NE(in, nullptr);
  back.resize(fread(&back[0], 1, back.size(), in));
  fclose(in);
  EXPECT_TRUE(back == bytes) << back.size() << " bytes read back";
  FILE *readOnly = fopen(file_.c_str(), "rb");
  ASSERT_NE(readOnly, nullptr);
  EXPECT_FALSE(kplatform::writeAll(fileno(readOnly), "x", 1));
  fclose(readOnly);
}

// An archive of one file holding named members at offsets.
class TestArchive : public KResource {
public:
  struct Member {
    std::string name;
    uint32_t begin, size;
  };
  TestArchive(const std::string &path, std::vector<Member> members) : members_(std::move(members)) {
    stream_ = fopen(path.c_str(), "rb");
  }
  ~TestArchive() override {
    if (stream_) fclose(stream_);
  }
  KResourceResult openResource(const char *name, KResource *target) override {
    ++asked_;
    for (const Member &m : members_) {
      if (m.name == name) {
        target->_lpFile = stream_;
        target->_bFileInArchive = true;
        target->_nBeginPos = m.begin;
        target->_nSize = m.size;
        return K_RES_OK;
      }
    }
    return K_RES_STATE;
  }
  FILE *stream_ = nullptr;
  int asked_ = 0;

private:
  std::vector<Member> members_;
};

class ArchiveTest : public ResourceTest {
protected:
  void SetUp() override {
    ResourceTest::SetUp();
    archivePath_ = scratch_ / "pack.dat";
    archiveBytes_ = patternBytes(6000);
    writeFile(archivePath_, archiveBytes_);
    archive_ = new TestArchive(archivePath_, {{"inner.bin", 5000, 200}, {"head.bin", 0, 64}});
    ASSERT_NE(archive_->stream_, nullptr);
    KResource::_lArchives.addToTail(archive_);
  }
  void TearDown() override {
    delete archive_;  // unlinks itself from the archive list
    EXPECT_EQ(KResource::_lArchives.getCount(), 0);
  }
  std::string archivePath_;
  std::string archiveBytes_;
  TestArchive *archive_ = nullptr;
};

TEST_F(ArchiveTest, MemberPositionsAreRelativeToItsSlice) {
  KResource r;
  ASSERT_EQ(r.open("inner.bin", K_RES_READ), K_RES_OK);
  EXPECT_EQ(r._nMode, K_RES_READ);
  EXPECT_TRUE(r._bFileInArchive);
  EXPECT_EQ(r._lpFile, archive_->stream_);

  int pos = -1;
  char buf[256];
  // Reading right after open starts at the member's first byte.
  ASSERT_EQ(r.read(buf, 4), K_RES_OK);
  EXPECT_EQ(memcmp(buf, archiveBytes_.data() + 5000, 4), 0);

  EXPECT_EQ(r.seek(K_RES_BEGIN, 0), K_RES_OK);
  EXPECT_EQ(r.tell(pos), K_RES_OK);
  EXPECT_EQ(pos, 0);
  EXPECT_EQ(r.seek(K_RES_END, 0), K_RES_OK);
  EXPECT_EQ(ftell(archive_->stream_), 5200);
  r.tell(pos);
  EXPECT_EQ(pos, 200);
  // With a known size a positive offset counts back from the end.
  r.seek(K_RES_END, 10);
  r.tell(pos);
  EXPECT_EQ(pos, 190);
  r.seek(K_RES_CURRENT, -40);
  r.tell(pos);
  EXPECT_EQ(pos, 150);

  // The INI reader's pattern: size, back to the start, read it all.
  r.seek(K_RES_END, 0);
  r.tell(pos);
  r.seek(K_RES_BEGIN, 0);
  ASSERT_EQ(r.read(buf, unsigned(pos)), K_RES_OK);
  EXPECT_EQ(memcmp(buf, archiveBytes_.data() + 5000, 200), 0);

  // Reading past the member's end stops at it: the archive's next bytes are
  // not part of this member.
  r.seek(K_RES_BEGIN, 190);
  memset(buf, 0, sizeof buf);
  EXPECT_EQ(r.read(buf, 20), K_RES_IOERR);
  EXPECT_EQ(memcmp(buf, archiveBytes_.data() + 5190, 10), 0);
  EXPECT_EQ(buf[10], 0);
  EXPECT_EQ(r.read(buf, 1), K_RES_IOERR);

  // Closing a member leaves the archive's stream open.
  r.close();
  EXPECT_EQ(r._nMode, K_RES_CLOSED);
  EXPECT_EQ(r._lpFile, nullptr);
  EXPECT_FALSE(r._bFileInArchive);
  EXPECT_EQ(fseek(archive_->stream_, 0, SEEK_SET), 0);
  EXPECT_EQ(fgetc(archive_->stream_), (unsigned char)archiveBytes_[0]);
}

TEST_F(ArchiveTest, OtherNamesFallThroughToPlainFiles) {
  KResource r;
  ASSERT_EQ(r.open(file_.c_str(), K_RES_READ), K_RES_OK);
  EXPECT_EQ(archive_->asked_, 1);
  EXPECT_FALSE(r._bFileInArchive);
  EXPECT_NE(r._lpFile, archive_->stream_);
  r.close();
  EXPECT_EQ(r.open("not-in-archive-or-on-disk", K_RES_READ), K_RES_NOTFOUND);
  // A handle that is open is refused before any archive is asked.
  KResource other;
  ASSERT_EQ(other.open("head.bin", K_RES_READ), K_RES_OK);
  int asked = archive_->asked_;
  EXPECT_EQ(other.open("head.bin", K_RES_READ), K_RES_STATE);
  EXPECT_EQ(archive_->asked_, asked);
  // The base hook holds nothing.
  KResource plain;
  EXPECT_EQ(plain.openResource("inner.bin", &r), K_RES_STATE);
}

TEST_F(ArchiveTest, ArchivesAreAskedInListOrder) {
  // A second archive that also holds inner.bin, at another offset: the first
  // listed answers.
  TestArchive second(archivePath_, {{"inner.bin", 100, 10}});
  KResource::_lArchives.addToTail(&second);
  EXPECT_EQ(KResource::_lArchives.getCount(), 2);
  {
    KResource r;
    ASSERT_EQ(r.open("inner.bin", K_RES_READ), K_RES_OK);
    EXPECT_EQ(r._nBeginPos, 5000u);
  }
  KResource::_lArchives.remove(&second);
  KResource::_lArchives.addToHead(&second);
  {
    KResource r;
    ASSERT_EQ(r.open("inner.bin", K_RES_READ), K_RES_OK);
    EXPECT_EQ(r._nBeginPos, 100u);
  }
  // `second` goes out of scope while listed: its destructor unlinks it.
}

struct Node : KObjectListable {
  explicit Node(int v) : value(v) {}
  int value;
};

std::vector<int> values(const KList<Node> &list) {
  std::vector<int> out;
  for (Node *n = list.getHead(); n; n = list.getNext(n)) out.push_back(n->value);
  return out;
}

TEST(KListTest, LinksCountsAndUnlinksWithoutOwning) {
  Node a(1), b(2), c(3);
  EXPECT_EQ(a._lpListNext, nullptr);
  EXPECT_EQ(a._lpListPred, nullptr);
  {
    KList<Node> list;
    EXPECT_EQ(list._lpListNext, &list);
    EXPECT_EQ(list._lpListPred, &list);
    EXPECT_EQ(list.getCount(), 0);
    EXPECT_EQ(list.getHead(), nullptr);
    EXPECT_EQ(list.getTail(), nullptr);

    list.addToTail(&b);
    list.addToTail(&c);
    list.addToHead(&a);
    EXPECT_EQ(values(list), (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(list.getTail(), &c);
    EXPECT_EQ(list.getCount(), 3);
    // Circular: the ends link back to the list itself.
    EXPECT_EQ(c._lpListNext, &list);
    EXPECT_EQ(a._lpListPred, &list);

    // Adding a member twice would tie the links in a knot: ignored.
    list.addToTail(&a);
    EXPECT_EQ(values(list), (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(list.getCount(), 3);

    list.remove(&b);
    EXPECT_EQ(b._lpListNext, nullptr);
    EXPECT_EQ(values(list), (std::vector<int>{1, 3}));
    list.remove(&b);  // not linked: nothing happens
    EXPECT_EQ(list.getCount(), 2);
    list.addToTail(&b);
    EXPECT_EQ(values(list), (std::vector<int>{1, 3, 2}));
  }
  // The list is gone; its members are alive and unlinked.
  for (Node *n : {&a, &b, &c}) {
    EXPECT_EQ(n->_lpListNext, nullptr);
    EXPECT_EQ(n->_lpListPred, nullptr);
  }
  EXPECT_EQ(a.value + b.value + c.value, 6);
}

}  // namespace
