// The INI reader: look-up rules, buffer limits, reloading, and files of any
// content (binary, no line ends, huge lines, directories, unreadable files).
#include <climits>
#include <cstring>
#include <string>
#include <sys/stat.h>
#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>
#endif

#include "tools/KIniReader.h"
#include "tools/ToolsTestUtil.h"

namespace {

class IniTest : public ::testing::Test {
protected:
  // Loads `bytes` as a file and returns whether setIni accepted it.
  bool load(const std::string &bytes) {
    std::string path = scratch_ / "test.ini";
    writeFile(path, bytes);
    return ini_.setIni(path.c_str());
  }
  std::string str(const char *section, const char *name, long len = 256) {
    std::string buf(size_t(len), '#');
    found_ = ini_.getString(section, name, &buf[0], len);
    return std::string(buf.c_str());
  }
  ScratchDir scratch_;
  KIniReader ini_;
  bool found_ = false;
};

TEST_F(IniTest, ValuesAreReadByExactSectionAndName) {
  ASSERT_TRUE(load("[DATA]\r\nMAXMONSTER=12\r\nspaced= 12\r\nneg=-40\r\nplus=+7\r\nword=abc\r\n"
                   "mixed=42abc\r\nbig=99999999999999999999999\r\n"));
  EXPECT_EQ(ini_.getValue("DATA", "MAXMONSTER", 3), 12);
  EXPECT_EQ(ini_.getValue("DATA", "spaced", 3), 12);
  EXPECT_EQ(ini_.getValue("DATA", "neg", 3), -40);
  EXPECT_EQ(ini_.getValue("DATA", "plus", 3), 7);
  EXPECT_EQ(ini_.getValue("DATA", "word", 3), 0);
  EXPECT_EQ(ini_.getValue("DATA", "mixed", 3), 42);
  EXPECT_EQ(ini_.getValue("DATA", "big", 3), LONG_MAX);
  EXPECT_EQ(str("DATA", "MAXMONSTER"), "12");
  EXPECT_TRUE(found_);
  // Missing name or section: the default, and getString says false.
  EXPECT_EQ(ini_.getValue("DATA", "absent", 3), 3);
  EXPECT_EQ(ini_.getValue("OTHER", "MAXMONSTER", 3), 3);
  EXPECT_EQ(str("OTHER", "MAXMONSTER"), "");
  EXPECT_FALSE(found_);
  // Matching is case-sensitive and allows no blanks around the name.
  EXPECT_EQ(ini_.getValue("data", "MAXMONSTER", -1), -1);
  EXPECT_EQ(ini_.getValue("DATA", "maxmonster", -1), -1);
  EXPECT_EQ(ini_.getValue("DATA", "MAXMONSTER ", -1), -1);
}

TEST_F(IniTest, MatchingFollowsTheReadersLiteralRules) {
  ASSERT_TRUE(load("count=1\r\n"                       // before the header: never seen
                   "; [A] mentioned in a comment\r\n"  // the first "[A]" anywhere counts
                   "othername=5\r\n"
                   "name=6\r\n"
                   "[B]\r\n"
                   "count=2\r\n"
                   "[A]\r\n"
                   "only=9\r\n"));
  // The search starts at the first "[A]", even inside a comment line.
  EXPECT_EQ(ini_.getValue("A", "count", -1), 2);  // found beyond the section's end
  EXPECT_EQ(ini_.getValue("A", "name", -1), 5);   // matches the tail of othername=
  EXPECT_EQ(ini_.getValue("A", "only", -1), 9);
  EXPECT_EQ(ini_.getValue("B", "name", -1), -1);  // nothing after [B] ends in name=
  EXPECT_EQ(ini_.getValue("B", "count", -1), 2);
}

TEST_F(IniTest, ValuesEndAtCarriageReturnOrEndOfData) {
  ASSERT_TRUE(load("[S]\r\nempty=\r\ntext=hello world \r\nunix=1\nnext=2\n[T]\r\nlast=tail"));
  EXPECT_EQ(str("S", "empty"), "");
  EXPECT_TRUE(found_);
  EXPECT_EQ(ini_.getValue("S", "empty", 7), 0);
  EXPECT_EQ(str("S", "text"), "hello world ");
  // Without carriage returns a value runs on to the next one (or the end).
  EXPECT_EQ(str("S", "unix"), "1\nnext=2\n[T]");
  EXPECT_EQ(ini_.getValue("S", "unix", 7), 1);
  EXPECT_EQ(str("T", "last"), "tail");
}

TEST_F(IniTest, BufferLengthLimitsTheCopy) {
  std::string value(300, 'v');
  value[254] = 'X';
  value[255] = 'Y';
  ASSERT_TRUE(load("[S]\r\nlong=" + value + "\r\nshort=ab\r\n"));
  std::string got = str("S", "long", 256);
  EXPECT_EQ(got.size(), 255u);
  EXPECT_EQ(got.back(), 'X');
  EXPECT_EQ(str("S", "short", 2), "a");
  EXPECT_EQ(ini_.getValue("S", "long", 1), 0);

  // A buffer of one byte or less is never touched.
  char tiny[2] = {'#', '#'};
  EXPECT_FALSE(ini_.getString("S", "short", tiny, 1));
  EXPECT_FALSE(ini_.getString("S", "short", tiny, 0));
  EXPECT_FALSE(ini_.getString("S", "short", tiny, -5));
  EXPECT_EQ(tiny[0], '#');
  EXPECT_EQ(tiny[1], '#');

  // Otherwise the whole buffer is cleared, also when nothing is found.
  char buf[16];
  memset(buf, '#', sizeof buf);
  EXPECT_FALSE(ini_.getString("S", "missing", buf, sizeof buf));
  for (char c : buf) EXPECT_EQ(c, 0);
  memset(buf, '#', sizeof buf);
  EXPECT_TRUE(ini_.getString("S", "short", buf, sizeof buf));
  EXPECT_STREQ(buf, "ab");
  for (size_t i = 2; i < sizeof buf; ++i) EXPECT_EQ(buf[i], 0);
}

TEST_F(IniTest, NothingLoadedGivesZeroNotTheDefault) {
  EXPECT_EQ(ini_.getValue("DATA", "MAXMONSTER", 77), 0);
  EXPECT_EQ(str("DATA", "MAXMONSTER"), "");
  EXPECT_FALSE(found_);

  ASSERT_TRUE(load("[DATA]\r\nMAXMONSTER=12\r\n"));
  EXPECT_EQ(ini_.getValue("DATA", "MAXMONSTER", 77), 12);
  // A later load replaces the first; a failed one leaves the reader empty.
  ASSERT_TRUE(load("[DATA]\r\nMAXMONSTER=4\r\n"));
  EXPECT_EQ(ini_.getValue("DATA", "MAXMONSTER", 77), 4);
  std::string missing = scratch_ / "missing.ini";
  EXPECT_FALSE(ini_.setIni(missing.c_str()));
  EXPECT_STREQ(ini_.iniFilename, missing.c_str());
  EXPECT_EQ(ini_.memIni, nullptr);
  EXPECT_EQ(ini_.memIniLen, 0);
  EXPECT_EQ(ini_.getValue("DATA", "MAXMONSTER", 77), 0);
}

TEST_F(IniTest, LoadedBufferHoldsTheFileAndATerminator) {
  std::string text = "[X]\r\na=1\r\n";
  ASSERT_TRUE(load(text));
  ASSERT_EQ(ini_.memIniLen, long(text.size()));
  EXPECT_EQ(std::string(ini_.memIni, size_t(ini_.memIniLen)), text);
  EXPECT_EQ(ini_.memIni[ini_.memIniLen], 0);
}

TEST_F(IniTest, UnusableFilesAreRefused) {
  EXPECT_FALSE(load(""));  // empty
  EXPECT_FALSE(ini_.setIni(scratch_.path().c_str()));  // a directory
  EXPECT_FALSE(ini_.setIni(nullptr));
#ifndef _WIN32
  std::string fifo = scratch_ / "pipe.ini";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);
  EXPECT_FALSE(ini_.setIni(fifo.c_str()));  // must not wait for a writer
#endif
  EXPECT_EQ(ini_.getValue("A", "b", 5), 0);

  // A name longer than the record is cut, not overflowed.
  std::string longName = scratch_ / std::string(400, 'n');
  EXPECT_FALSE(ini_.setIni(longName.c_str()));
  EXPECT_EQ(strlen(ini_.iniFilename), 260u);
}

#ifndef _WIN32  // POSIX permissions, pipes and processes
TEST_F(IniTest, UnreadableFileIsRefused) {
  std::string path = scratch_ / "secret.ini";
  writeFile(path, "[A]\r\nb=1\r\n");
  ASSERT_EQ(chmod(path.c_str(), 0), 0);
  if (geteuid() != 0) {
    EXPECT_FALSE(ini_.setIni(path.c_str()));
    return;
  }
  // Root reads anything: check as an unprivileged user in a child process.
  EXPECT_EXIT(
      {
        if (setgid(65534) != 0 || setuid(65534) != 0) _exit(2);
        KIniReader reader;
        _exit(reader.setIni(path.c_str()) ? 1 : 0);
      },
      ::testing::ExitedWithCode(0), "");
}
#endif

TEST_F(IniTest, ArbitraryBytesNeverReadOutOfBounds) {
  // Every byte value, NULs included, with sections and names strewn through.
  std::string binary;
  for (int i = 0; i < 256; ++i) binary += char(i);
  binary += std::string("[B]\0name=5\r\n", 12);
  binary += std::string("\0\0[C]x=", 7);
  for (int i = 255; i >= 0; --i) binary += char(i);
  ASSERT_TRUE(load(binary));
  EXPECT_EQ(ini_.memIniLen, long(binary.size()));
  EXPECT_EQ(ini_.getValue("B", "name", -1), 5);  // found past the NUL bytes
  EXPECT_EQ(str("C", "x").size(), 242u);  // bytes 255 down to 14, then the carriage return
  EXPECT_TRUE(found_);
  EXPECT_EQ(ini_.getValue("Z", "name", -1), -1);

  // Section at the very end of the data, name at the very end, a lone "[".
  ASSERT_TRUE(load("a=1\r\n[END]"));
  EXPECT_EQ(ini_.getValue("END", "a", -1), -1);
  ASSERT_TRUE(load("[END]\r\nname="));
  EXPECT_EQ(str("END", "name"), "");
  EXPECT_TRUE(found_);
  ASSERT_TRUE(load("["));
  EXPECT_EQ(ini_.getValue("", "", -1), -1);
  EXPECT_EQ(ini_.getValue("[", "x", -1), -1);

  // Lines without "=": the name is never found.
  ASSERT_TRUE(load("[S]\r\nname\r\nname 4\r\n"));
  EXPECT_EQ(ini_.getValue("S", "name", -1), -1);

  // No line ends at all, and a one-megabyte line.
  ASSERT_TRUE(load("[S]a=1b=2c=3"));
  EXPECT_EQ(str("S", "b"), "2c=3");
  std::string huge = "[S]\r\nbig=" + std::string(1 << 20, '7') + "\r\nafter=3\r\n";
  ASSERT_TRUE(load(huge));
  EXPECT_EQ(str("S", "big"), std::string(255, '7'));
  EXPECT_EQ(ini_.getValue("S", "big", -1), LONG_MAX);
  EXPECT_EQ(ini_.getValue("S", "after", -1), 3);

  // Overlong section and variable names are handled without overflow.
  std::string longSection(1000, 's');
  std::string longName(5000, 'n');
  ASSERT_TRUE(load("[" + longSection + "]\r\n" + longName + "=8\r\n"));
  EXPECT_EQ(ini_.getValue(longSection.c_str(), "x", -1), -1);  // header form is cut to 255
  ASSERT_TRUE(load("[S]\r\n" + longName + "=8\r\n"));
  EXPECT_EQ(ini_.getValue("S", longName.c_str(), -1), 8);
  EXPECT_EQ(ini_.getValue(nullptr, "x", -1), -1);
  EXPECT_EQ(ini_.getValue("S", nullptr, -1), -1);
}

}  // namespace
