// The millisecond clock, the year, message boxes without a display and the log.
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <cstring>
#include <ctime>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <vector>

#include "support/portable.h"
#include "tools/KLog.h"
#include "tools/KMiscTools.h"
#include "tools/KMiscToolsSystem.h"
#include "tools/ToolsTestUtil.h"

namespace {

std::vector<uint32_t> g_ticks;
size_t g_tickIndex = 0;
uint32_t scriptedTicks() { return g_ticks[g_tickIndex < g_ticks.size() ? g_tickIndex++ : g_ticks.size() - 1]; }

class ClockTest : public ::testing::Test {
protected:
  void SetUp() override {
    KMiscTools::initMillisecond();
    savedTick_ = KMiscTools::_tickSource;
  }
  void TearDown() override {
    KMiscTools::_tickSource = savedTick_;
    KMiscTools::tstart = 0;
    KMiscTools::initMillisecond();
  }
  // Reads the fallback clock once per scripted tick.
  std::vector<unsigned long> readFallback(int64_t start, std::vector<uint32_t> ticks) {
    KMiscTools::_HighFreq = 0;
    KMiscTools::tstart = start;
    g_ticks = std::move(ticks);
    g_tickIndex = 0;
    KMiscTools::_tickSource = scriptedTicks;
    std::vector<unsigned long> out;
    for (size_t i = 0; i < g_ticks.size(); ++i) out.push_back(KMiscTools::getMilliseconds());
    return out;
  }
  uint32_t (*savedTick_)() = nullptr;
};

TEST_F(ClockTest, HighResolutionClockCountsMillisecondsInThirtyTwoBits) {
  ASSERT_NE(KMiscTools::_HighFreq, 0);
  unsigned long a = KMiscTools::getMilliseconds();
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  unsigned long b = KMiscTools::getMilliseconds();
  EXPECT_LE(a, 0xFFFFFFFFul);
  EXPECT_GE(b - a, 30ul);  // milliseconds, not seconds or microseconds

  // A clock origin further back than 2^32 ms still gives a 32-bit reading.
  KMiscTools::getMilliseconds();
  const int64_t now = KMiscTools::tnow, perMs = KMiscTools::_unitsPerSecond / 1000;
  KMiscTools::tstart = now - ((int64_t(1) << 32) + 5000) * perMs;
  unsigned long wrapped = KMiscTools::getMilliseconds();
  EXPECT_LE(wrapped, 0xFFFFFFFFul);
  EXPECT_GE(wrapped, 5000ul);
}

TEST_F(ClockTest, FallbackTickCountStaysMonotonicAcrossTheWrap) {
  // From origin 0 the reading is the tick itself and wraps with it.
  auto zero = readFallback(0, {0xFFFFFFFEu, 0xFFFFFFFFu, 0u, 1u});
  EXPECT_EQ(zero, (std::vector<unsigned long>{0xFFFFFFFEul, 0xFFFFFFFFul, 0ul, 1ul}));

  // From a later origin, ticks below it have wrapped: the reading keeps growing.
  auto later = readFallback(100, {0xFFFFFFF0u, 0xFFFFFFFFu, 0u, 5u, 99u, 100u, 150u});
  for (size_t i = 1; i < later.size(); ++i) {
    if (i == 5) continue;  // 99 → 100: the elapsed count itself passes 2^32
    EXPECT_GE(later[i], later[i - 1]) << "reading " << i;
  }
  EXPECT_EQ(later[0], 0xFFFFFFF0ul - 100);
  EXPECT_EQ(later[1], 0xFFFFFFFFul - 100);
  EXPECT_EQ(later[2], 0xFFFFFFFFul - 100);  // the wrap costs one millisecond
  EXPECT_EQ(later[3], 0xFFFFFFFFul - 95);
  EXPECT_EQ(later[5], 0ul);
  EXPECT_EQ(later[6], 50ul);
}

TEST(MiscTools, YearIsTheLocalCalendarYear) {
  time_t now = time(nullptr);
  tm local{};
  kt_localtime_r(&now, &local);
  long year = KMiscTools::getYear();
  EXPECT_GE(year, 2024);
  // Around midnight on New Year's Eve the two readings may differ by one.
  EXPECT_LE(std::abs(year - (local.tm_year + 1900L)), 1L);
}

#ifndef _WIN32  // SDL's dummy video driver
TEST(MiscTools, MessageBoxWithoutADisplayGoesToStandardError) {
  // The suite runs with SDL's dummy video driver: a dialog must never block.
  ASSERT_STREQ(getenv("SDL_VIDEODRIVER"), "dummy");
  testing::internal::CaptureStderr();
  KMiscTools::messageBox("Screen Dimensions not specified", "KGraphicGL::SetScreenSize Not Called!");
  KMiscTools::messageBox(nullptr, nullptr);
  std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("Screen Dimensions not specified"), std::string::npos) << err;
  EXPECT_NE(err.find("KGraphicGL::SetScreenSize Not Called!"), std::string::npos) << err;
}
#endif

std::mutex g_urlMutex;
std::condition_variable g_urlCv;
std::vector<std::pair<std::string, bool>> g_opened;
void recordURL(const char *url, bool maximised) {
  std::lock_guard<std::mutex> lock(g_urlMutex);
  g_opened.emplace_back(url, maximised);
  g_urlCv.notify_all();
}

TEST(MiscTools, LaunchURLHandsACopyToTheBrowserThread) {
  auto saved = KMiscTools::_urlOpener;
  KMiscTools::_urlOpener = recordURL;
  KMiscTools::launchURL(nullptr, false);  // nothing to open
  std::string shortUrl = "https://example.org/pabrix";
  KMiscTools::launchURL(&shortUrl[0], false);
  std::string longUrl = "https://example.org/" + std::string(5000, 'u');
  KMiscTools::launchURL(&longUrl[0], true);
  longUrl.assign(longUrl.size(), 'X');  // the caller's text may change at once
  {
    std::unique_lock<std::mutex> lock(g_urlMutex);
    g_urlCv.wait_for(lock, std::chrono::seconds(30), [] { return g_opened.size() >= 2; });
    ASSERT_EQ(g_opened.size(), 2u);
    std::sort(g_opened.begin(), g_opened.end(),
              [](const auto &a, const auto &b) { return a.first.size() < b.first.size(); });
    EXPECT_EQ(g_opened[0].first, shortUrl);
    EXPECT_FALSE(g_opened[0].second);
    EXPECT_EQ(g_opened[1].first.size(), 2046u);  // cut, never overflowing the record
    EXPECT_EQ(g_opened[1].first.compare(0, 20, "https://example.org/"), 0);
    EXPECT_TRUE(g_opened[1].second);
  }
  KMiscTools::_urlOpener = saved;
}

class LogTest : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_NE(getcwd(oldCwd_, sizeof oldCwd_), nullptr);
    ASSERT_EQ(chdir(scratch_.path().c_str()), 0);
  }
  void TearDown() override { EXPECT_EQ(chdir(oldCwd_), 0); }
  bool exists(const char *name) {
    struct stat st{};
    return stat((scratch_ / name).c_str(), &st) == 0;
  }
  long sizeOf(const char *name) {
    struct stat st{};
    return stat((scratch_ / name).c_str(), &st) == 0 ? long(st.st_size) : -1;
  }
  ScratchDir scratch_;
  char oldCwd_[4096];
};

TEST_F(LogTest, KeepOpenModeCreatesTheFourFilesTruncated) {
  writeFile(scratch_ / "errors.log", "left over from the last run");
  {
    KLog log(kLogKeepFilesOpen);
    EXPECT_EQ(log._logFileType, kLogKeepFilesOpen);
    EXPECT_FALSE(log._logInfo);
    EXPECT_TRUE(log._logError && log._logFatal && log._logDebug);
    ASSERT_TRUE(log._info && log._error && log._fatal && log._debug);
    EXPECT_NE(log._info, log._error);
  }
  for (const char *name : {"infos.log", "errors.log", "fatals.log", "debug.log"}) {
    EXPECT_EQ(sizeOf(name), 0) << name;
  }
}

TEST_F(LogTest, OpenAndCloseModeCreatesNothing) {
  {
    KLog log(kLogOpenAndCloseFiles);
    EXPECT_FALSE(log._info || log._error || log._fatal || log._debug);
    EXPECT_FALSE(log._logInfo);
    EXPECT_TRUE(log._logError && log._logFatal && log._logDebug);
  }
  for (const char *name : {"infos.log", "errors.log", "fatals.log", "debug.log"}) {
    EXPECT_FALSE(exists(name)) << name;
  }
  // The engine's own log object is in this mode.
  EXPECT_EQ(KMiscTools::_kLog._logFileType, kLogOpenAndCloseFiles);
  EXPECT_EQ(KMiscTools::_kLog._info, nullptr);
}

#ifndef _WIN32  // a folder in use cannot be removed on Windows
TEST_F(LogTest, KeepOpenModeSurvivesAFolderItCannotWriteTo) {
  // The current folder is gone: no file opens, nothing crashes.
  ScratchDir doomed;
  ASSERT_EQ(chdir(doomed.path().c_str()), 0);
  ASSERT_EQ(rmdir(doomed.path().c_str()), 0);
  KLog log(kLogKeepFilesOpen);
  EXPECT_FALSE(log._info || log._error || log._fatal || log._debug);
}
#endif

std::vector<std::string> g_reports;
void recordReport(const char *subsystem, const char *message) {
  g_reports.push_back(std::string(subsystem) + "|" + message);
}

TEST_F(LogTest, TroubleGoesToTheSinkOrToStandardErrorAndTheErrorFile) {
  g_reports.clear();
  KLogSink before = setLogSink(recordReport);
  logTrouble("video", "window creation failed: %s (%d)", "no display", 3);
  logTrouble(nullptr, "%s", "unnamed");
  EXPECT_EQ(setLogSink(before), recordReport);
  EXPECT_EQ(g_reports, (std::vector<std::string>{"video|window creation failed: no display (3)",
                                                 "engine|unnamed"}));

  KLog log(kLogKeepFilesOpen);
  testing::internal::CaptureStderr();
  logTrouble("print", "refused");
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "Pabrix [print]: refused\n");
  // A text file: read back as text, its line is the same on every system.
  std::string logged(64, '\0');
  FILE *f = fopen((scratch_ / "errors.log").c_str(), "r");
  ASSERT_NE(f, nullptr);
  logged.resize(fread(&logged[0], 1, logged.size(), f));
  fclose(f);
  EXPECT_EQ(logged, "Pabrix [print]: refused\n");
}

#ifdef _WIN32
std::string fileText(const std::string &path) {
  std::string text;
  if (FILE *f = fopen(path.c_str(), "rb")) {
    char buf[4096];
    for (size_t n; (n = fread(buf, 1, sizeof buf, f)) > 0;) text.append(buf, n);
    fclose(f);
  }
  return text;
}

// A program without a console keeps its reports in the local application data
// folder: each a stamped CR LF line, the file never past its cap, the older
// lines moved beside it.
TEST(LogFile, ReportsAreKeptInACappedFileInTheLocalApplicationData) {
  const char *local = getenv("LOCALAPPDATA");
  ASSERT_NE(local, nullptr);
  const std::string path = kmisc::systemLogPath(), old = std::string(local) + "\\Pabrix\\pabrix.old.log";
  EXPECT_EQ(path, std::string(local) + "\\Pabrix\\pabrix.log");
  remove(path.c_str());
  remove(old.c_str());
  testing::internal::CaptureStderr();
  logTrouble("video", "no %s mode", "640x480");
  std::string text = fileText(path);
  EXPECT_EQ(text.size(), strlen("2026-01-01 12:00:00 Pabrix [video]: no 640x480 mode\r\n")) << text;
  EXPECT_EQ(text.substr(19), " Pabrix [video]: no 640x480 mode\r\n");
  const std::string filler(1000, 'x');
  for (int i = 0; i < 300; i++) logTrouble("test", "%d %s", i, filler.c_str());
  testing::internal::GetCapturedStderr();
  text = fileText(path);
  const std::string older = fileText(old);
  EXPECT_LE(text.size(), 256u * 1024);
  EXPECT_GT(older.size(), 200u * 1024);
  EXPECT_NE(older.find("[video]"), std::string::npos);
  EXPECT_EQ(text.substr(text.size() - 8), "xxxxxx\r\n") << "the newest line is whole, at the end";
  EXPECT_NE(text.find(" Pabrix [test]: 299 x"), std::string::npos);
}
#endif

}  // namespace
