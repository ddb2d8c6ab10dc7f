// The whole program run in-process on the recording window: start-up with the
// preferences' window mode, the menu codes, hot keys, a signal as a close
// request, and shutdown writing the preferences and freeing everything.
#include <gtest/gtest.h>

#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <new>

#include "activities/pabglow.h"
#include "app/closeRequest.h"
#include "support/shell_fakes.h"
#include "app/menu.h"
#include "app/preferences.h"
#include "app/shell.h"
#include "tools/KPlatformServices.h"

namespace {

const InputFrame kQuit{600, 450, true, {}};
const InputFrame kUp{600, 450, false, {}};

class Shell : public ::testing::Test {
protected:
  TempDocuments docs;
  ScriptInput input;
  ScopedInput scoped{input};

  void SetUp() override {
    rec.reset();
    rec.pictureSizes = {{"pabrix.bmp", {640, 480}}, {"pgoff.tga", {150, 140}},
                        {"pgon.tga", {150, 140}},   {"mouse.tga", {32, 32}},
                        {"pen4.tga", {16, 16}}};
    preferences = sPreferences();
    input.releaseAfterEvents = 1;
  }
  void TearDown() override { preferences = sPreferences(); }
  int run(std::vector<InputFrame> frames) {
    input.play(std::move(frames));
    return runPabrix({doPabglow, fakeGardenScreen, fakeMonsterScreen, nullptr});
  }
};

TEST_F(Shell, QuitAreaEndsTheRunAndWritesDefaults) {
  int live = rec.livePictures;
  // The sounds are loaded after the first frame is presented, before the second.
  bool musicAtFirstPresent = true, musicAtSecond = false;
  // A button held since the start asks nothing; the way out quits on the
  // release of its second press.
  EXPECT_EQ(run({kQuit, {600, 450, false, {}, [&] { musicAtFirstPresent = snd_music; }},
                 {600, 450, true, {}, [&] { musicAtSecond = snd_music; }}, kUp, kQuit, kUp}),
            0);
  EXPECT_FALSE(musicAtFirstPresent);
  EXPECT_TRUE(musicAtSecond);
  ASSERT_FALSE(rec.windowCalls.empty());
  EXPECT_EQ(rec.windowCalls[0], "create 640 480 -1 fullscreen Pabrix");
  EXPECT_EQ(rec.frames, 6);  // ignored, up, asked, up, held, quit: the quitting pass still presents
  EXPECT_TRUE(rec.drewAt("mouse.tga", "blitAlphaRect", 600, 450, 2));
  EXPECT_EQ(readWholeFile(docs.file("pabrix.prf")),
            (std::vector<unsigned char>{0x2C, 0x01, 0, 0, 0x18, 0x01, 0, 0, 0x01, 0, 0, 0, 0, 0,
                                        0, 0}));
  EXPECT_EQ(gameWindow, nullptr);
  EXPECT_EQ(surf_mouse, nullptr);
  EXPECT_EQ(snd_click, nullptr);
  EXPECT_EQ(snd_music, nullptr);
  EXPECT_EQ(rec.livePictures, live);
}

TEST_F(Shell, WindowedPreferenceOpensAWindowAndHotKeysKeepThePreference) {
  writeWholeFile(docs.file("pabrix.prf"), {0x2C, 0x01, 0, 0, 0x18, 0x01, 0, 0, 0, 1, 0, 0, 0, 0,
                                            0, 0});
  run({{10, 10, false, {K_VK_L_SHIFT, K_VK_F}},
       {10, 10, false, {K_VK_W}},  // W alone does nothing
       {10, 10, false, {K_VK_L_SHIFT, K_VK_W}},
       kQuit, kUp, kQuit, kUp});
  EXPECT_EQ(rec.windowCalls, (std::vector<std::string>{"create 640 480 -1 windowed Pabrix",
                                                       "fullscreen 1", "fullscreen 0"}));
  auto saved = readWholeFile(docs.file("pabrix.prf"));
  ASSERT_EQ(saved.size(), 16u);
  EXPECT_EQ(saved[8], 0);
  EXPECT_EQ(saved[9], 1);
}

TEST_F(Shell, OptionsChangesAreSavedAtShutdown) {
  // Options, drag the upper knob to 200, back, then quit from the menu. Each
  // screen waits for the press that opened it to end.
  run({{300, 450, false, {}}, {300, 450, true, {}}, {300, 450, false, {}}, {216, 140, true, {}},
       {216, 140, false, {}}, {600, 450, true, {}}, {0, 0, false, {}}, kQuit, kUp, kQuit, kUp});
  auto saved = readWholeFile(docs.file("pabrix.prf"));
  ASSERT_EQ(saved.size(), 16u);
  EXPECT_EQ(saved[0], 200);
  EXPECT_EQ(saved[1], 0);
}

TEST_F(Shell, PegBoardRunsAndItsBoardsAreSaved) {
  // Menu frame 1 opens the board with a press still held on the board's first
  // frame: that paints nothing. After the release a click paints column 8, row
  // 10; Escape leaves; the menu then quits.
  run({{100, 200, false, {}}, {100, 200, true, {}}, {100, 200, false, {}}, {200, 200, true, {}},
       {200, 200, false, {K_VK_ESCAPE}}, {0, 0, false, {}}, kQuit, kUp, kQuit, kUp});
  auto board = readWholeFile(docs.file("pabglow.dat"));
  ASSERT_EQ(board.size(), (size_t)PABGLOW_FILE_SIZE);
  EXPECT_EQ(board[(1 + 32 * 10) * 4], PABGLOW_EMPTY);
  EXPECT_EQ(board[(8 + 32 * 10) * 4], 4);
}

TEST_F(Shell, GardenAndMonsterButtonsRunTheirScreens) {
  rec.pictureSizes["mgoff.tga"] = {170, 140};
  rec.pictureSizes["mmoff.tga"] = {140, 150};
  int live = 0;
  run({{300, 250, false, {}}, {300, 250, true, {}},
       {0, 0, false, {}, [&] { live = rec.livePictures; }}, {500, 250, true, {}},
       {0, 0, false, {}}, kQuit, kUp, kQuit, kUp});
  EXPECT_EQ(rec.screens, (std::vector<std::string>{"garden", "monster"}));
  // The menu came back after the first screen: its ten pictures and the pointer.
  EXPECT_EQ(live, 11);
  EXPECT_TRUE(rec.quit);
  EXPECT_EQ(gameWindow, nullptr);
}

TEST_F(Shell, TerminationSignalClosesLikeTheWindow) {
  for (int sig : {SIGTERM, SIGINT}) {
    rec.reset();
    struct sigaction before {};
    sigaction(sig, nullptr, &before);
    // Inside the peg board, a signal arrives on its second frame.
    run({{100, 200, false, {}}, {100, 200, true, {}}, {100, 200, false, {}}, {100, 200, true, {}},
         {110, 200, true, {}, [sig] { std::raise(sig); }},
         {120, 200, true, {}}});
    EXPECT_TRUE(rec.quit);
    // The board saved what was painted before the request, the preferences too.
    auto board = readWholeFile(docs.file("pabglow.dat"));
    ASSERT_EQ(board.size(), (size_t)PABGLOW_FILE_SIZE);
    EXPECT_EQ(board[(1 + 32 * 10) * 4], 4);
    EXPECT_EQ(readWholeFile(docs.file("pabrix.prf")).size(), 16u);
    // The handler is gone with the window: what was there before is back.
    struct sigaction now {};
    sigaction(sig, nullptr, &now);
    EXPECT_EQ(now.sa_handler, before.sa_handler);
  }
}

// A program stuck where no frame comes (a dialog that cannot close) is asked
// twice: the second request, 3 s after the first, saves what is open and exits.
// The child's clock runs `shift` ahead of the real one: the test moves it 3 s on
// instead of waiting.
std::atomic<long> *shift = nullptr;
long shiftedMs() { return kplatform::monotonicMs() + shift->load(); }

TEST_F(Shell, ASecondSignalAfterThreeSecondsSavesAndExits) {
  int stuck[2];
  ASSERT_EQ(pipe(stuck), 0);
  void *shared = mmap(nullptr, sizeof(std::atomic<long>), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
  ASSERT_NE(shared, MAP_FAILED);
  shift = new (shared) std::atomic<long>(0);
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    setCloseRequestClock(shiftedMs);
    run({{100, 200, false, {}},
         {100, 200, true, {}},
         {100, 200, false, {}},
         {100, 200, true, {}},
         {110, 200, true, {}},
         {120, 200, true, {}},
         {120, 200, true, {}, [&] {
            if (write(stuck[1], "s", 1) != 1) _exit(20);
            for (;;) pause();
          }}});
    _exit(21);
  }
  char word = 0;
  ASSERT_EQ(read(stuck[0], &word, 1), 1);
  auto exited = [child](int waitMs) {
    int status = -1;
    for (int i = 0; i < waitMs / 10; i++, usleep(10000))
      if (waitpid(child, &status, WNOHANG) == child) return status;
    return -1;
  };
  kill(child, SIGTERM);
  kill(child, SIGTERM);  // at once: the same request, the orderly quit goes on
  EXPECT_EQ(exited(500), -1);
  *shift = 3000;
  kill(child, SIGTERM);
  const int status = exited(60000);  // a bound for a hang: a loaded machine is slow
  if (status == -1) kill(child, SIGKILL), waitpid(child, nullptr, 0);
  ASSERT_TRUE(WIFEXITED(status)) << status;
  EXPECT_EQ(WEXITSTATUS(status), 0);
  auto board = readWholeFile(docs.file("pabglow.dat"));
  ASSERT_EQ(board.size(), (size_t)PABGLOW_FILE_SIZE);
  EXPECT_EQ(board[(1 + 32 * 10) * 4], 4);
  EXPECT_EQ(readWholeFile(docs.file("pabrix.prf")).size(), 16u);
  munmap(shared, sizeof(std::atomic<long>));
}

// A fault that ends the program outright (std::terminate) saves the open board first.
TEST_F(Shell, AFatalFaultSavesWhatIsOpenFirst) {
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    run({{100, 200, false, {}}, {100, 200, true, {}}, {100, 200, false, {}}, {100, 200, true, {}},
         {110, 200, true, {}, [] { std::terminate(); }}});
    _exit(21);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGABRT) << status;
  auto board = readWholeFile(docs.file("pabglow.dat"));
  ASSERT_EQ(board.size(), (size_t)PABGLOW_FILE_SIZE);
  EXPECT_EQ(board[(1 + 32 * 10) * 4], 4);
}

}  // namespace
