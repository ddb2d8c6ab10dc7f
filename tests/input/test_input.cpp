// KInput without a display: the key table, the scripted source that whole-screen
// tests drive, and the software pointer drawn through a recording picture.
#include <gtest/gtest.h>

#include <vector>

#include "input/KInput.h"
#include "input/KScriptedInput.h"
#include "window/KQMXNull.h"

namespace {

// A picture that records what the software pointer asks of it.
struct RecordingPicture : KNullGraphic {
  static int made, blits;
  static long lastW, lastH;
  static short lastX, lastY;
  static float lastSx2, lastSy2;
  static std::vector<uint32_t> pixels;

  ~RecordingPicture() override { made--; }
  bool makePictureFromArray(uint32_t *p, long w, long h, bool) override {
    lastW = w, lastH = h;
    pixels.assign(p, p + w * h);
    return true;
  }
  void blitAlphaRect(float, float, float x2, float y2, short dx, short dy, bool, bool) override {
    blits++;
    lastX = dx, lastY = dy, lastSx2 = x2, lastSy2 = y2;
  }
};
int RecordingPicture::made = 0, RecordingPicture::blits = 0;
long RecordingPicture::lastW = 0, RecordingPicture::lastH = 0;
short RecordingPicture::lastX = 0, RecordingPicture::lastY = 0;
float RecordingPicture::lastSx2 = 0, RecordingPicture::lastSy2 = 0;
std::vector<uint32_t> RecordingPicture::pixels;

}  // namespace

// This test stands in for the factory so no renderer is needed.
KGraphic *makeRecordingPicture() {
  RecordingPicture::made++;
  return new RecordingPicture();
}

namespace {

class ScriptedTest : public ::testing::Test {
protected:
  void SetUp() override {
    KInput::setSource(&script);
    KInput::setPictureMaker(makeRecordingPicture);
  }
  void TearDown() override {
    KInput::setSource(nullptr);
    KInput::setPictureMaker(nullptr);
  }
  KScriptedInput script;
};

TEST(KeyTable, EntriesFollowTheEnumerationAndLookupsFindTheFirstMatch) {
  for (int k = 0; k <= K_VK_ERROR; k++) EXPECT_EQ(KeyboardLayout[k].toucheID, k) << k;
  EXPECT_EQ(KInput::getQMXKey(0x41), K_VK_A);
  EXPECT_EQ(KInput::getQMXKey(0x5A), K_VK_Z);
  EXPECT_EQ(KInput::getQMXKey(0x1B), K_VK_ESCAPE);
  EXPECT_EQ(KInput::getQMXKey(0x77), K_VK_F8);
  EXPECT_EQ(KInput::getQMXKey(0x25), K_VK_LEFT);
  EXPECT_EQ(KInput::getQMXKey(0x27), K_VK_RIGHT);
  EXPECT_EQ(KInput::getQMXKey(0xA0), K_VK_L_SHIFT);
  EXPECT_EQ(KInput::getQMXKey(0x6D), K_VK_SUBTRACT);
  EXPECT_EQ(KInput::getQMXKey(0xDE), K_VK_OEM_7);
  // Generic modifier codes are not in the table; nor are 0 and the end marker's code
  // matched to anything but the marker.
  EXPECT_EQ(KInput::getQMXKey(0x10), K_VK_ERROR);
  EXPECT_EQ(KInput::getQMXKey(0x11), K_VK_ERROR);
  EXPECT_EQ(KInput::getQMXKey(0x12), K_VK_MENU);
  EXPECT_EQ(KInput::getQMXKey(0), K_VK_ERROR);
  EXPECT_EQ(KInput::getQMXKey(9999), K_VK_ERROR);
  EXPECT_EQ(KInput::getQMXKey(0x2E), K_VK_ERROR) << "Delete has no engine key";
  EXPECT_EQ(KInput::getQMXKey(-1), K_VK_ERROR);
  EXPECT_EQ(KInput::getQMXKey(0x10041), K_VK_ERROR) << "no truncation to 16 bits";
}

TEST(KeyTable, TheTableCanBeRewrittenAtStartUp) {
  const uint16_t saved = KeyboardLayout[K_VK_SPACE].KeyCode;
  KeyboardLayout[K_VK_SPACE].KeyCode = 0x2D;
  EXPECT_EQ(KInput::getQMXKey(0x2D), K_VK_SPACE);
  EXPECT_EQ(KInput::getQMXKey(0x20), K_VK_ERROR);
  KeyboardLayout[K_VK_SPACE].KeyCode = saved;
}

TEST_F(ScriptedTest, FramesAdvanceOnePerFlipAndTheEndReleasesEverything) {
  script.push(10, 20, false);
  script.push(-5, 500, true, {K_VK_ESCAPE});
  script.push(30, 40, true, {}, 2);
  int finished = 0;
  script.onFinished([&] { finished++; });

  EXPECT_EQ(KInput::getMouseX(), 10);
  EXPECT_EQ(KInput::getMouseY(), 20);
  EXPECT_FALSE(KInput::getLeftButtonState());
  KInput::frameFlipped();
  EXPECT_EQ(KInput::getMouseX(), -5) << "outside the frame stays negative";
  EXPECT_EQ(KInput::getMouseY(), 500);
  EXPECT_TRUE(KInput::getLeftButtonState());
  EXPECT_TRUE(KInput::isPressed(K_VK_ESCAPE));
  EXPECT_FALSE(KInput::isPressed(K_VK_SPACE));
  KInput::frameFlipped();
  EXPECT_FALSE(KInput::isPressed(K_VK_ESCAPE));
  KInput::frameFlipped();
  EXPECT_TRUE(KInput::getLeftButtonState());
  EXPECT_EQ(finished, 0);
  KInput::frameFlipped();
  EXPECT_EQ(finished, 1);
  EXPECT_TRUE(script.finished());
  EXPECT_FALSE(KInput::getLeftButtonState()) << "a loop waiting for release must end";
  EXPECT_EQ(KInput::getMouseX(), 30);
  KInput::frameFlipped();
  EXPECT_EQ(finished, 1) << "reported once";
  EXPECT_EQ(script.flips(), 5);
}

TEST_F(ScriptedTest, ModifiersAnswerForEitherSide) {
  script.push(0, 0, false, {K_VK_R_SHIFT, K_VK_L_CONTROL});
  EXPECT_TRUE(KInput::isPressed(K_VK_L_SHIFT));
  EXPECT_TRUE(KInput::isPressed(K_VK_R_SHIFT));
  EXPECT_TRUE(KInput::isPressed(K_VK_R_CONTROL));
  EXPECT_FALSE(KInput::isPressed(K_VK_MENU));
  EXPECT_FALSE(KInput::isPressed(K_VK_ERROR));
  // Beyond the table but still values the enumeration can hold.
  EXPECT_FALSE(KInput::isPressed((EKeyboardLayout)100)) << "out-of-range keys are not held";
  EXPECT_FALSE(KInput::isPressed((EKeyboardLayout)127));
}

TEST_F(ScriptedTest, ClickTapAndIdleHelpers) {
  script.click(100, 50, 2);
  script.tap(K_VK_F3);
  script.idle(1);
  std::vector<int> seen;
  for (int i = 0; i < 6; i++) {
    seen.push_back(KInput::getLeftButtonState() * 10 + KInput::isPressed(K_VK_F3));
    EXPECT_EQ(KInput::getMouseX(), 100);
    KInput::frameFlipped();
  }
  EXPECT_EQ(seen, (std::vector<int>{10, 10, 0, 1, 0, 0}));
}

// A tap between frames reads as down until a pump after it was seen (never
// before), and a button held when ignoreHeldButton is called reads as up until
// it has been released once.
TEST_F(ScriptedTest, ShortClicksLatchAndAHeldButtonCanBeIgnored) {
  script.push(10, 10, false);
  script.shortClick(10, 10);
  script.shortClick(10, 10);
  script.push(10, 10, true, {}, 2);
  script.push(10, 10, false);
  script.push(10, 10, true);
  std::vector<int> seen;
  auto look = [&] { seen.push_back(KInput::getLeftButtonState()); };
  look();                   // frame 0: nothing
  KInput::frameFlipped();
  KInput::eventsPumped();   // frame 1: a pump before anyone looked keeps the tap
  look(), look();
  KInput::eventsPumped();   // seen, then pumped: up again within the frame
  look();
  KInput::frameFlipped();   // frame 2: another tap, ended by the flip
  look();
  KInput::frameFlipped();   // frame 3: held, and ignored from here on
  KInput::ignoreHeldButton();
  EXPECT_TRUE(KInput::ignoringHeldButton());
  look();
  KInput::frameFlipped();
  look();
  KInput::frameFlipped();   // frame 5: released, which ends the ignoring
  look();
  EXPECT_FALSE(KInput::ignoringHeldButton());
  KInput::frameFlipped();
  look();
  EXPECT_EQ(seen, (std::vector<int>{0, 1, 1, 0, 1, 0, 0, 0, 1}));

  // A press landing in the middle of a frame is not seen by the rest of that
  // frame (its questions all get the frame's first answer); the next frame sees
  // it whole.
  struct Tapping : KInputSource {
    unsigned long presses = 0;
    void pointerPosition(int &x, int &y) override { x = y = 0; }
    bool leftButtonDown() override { return false; }
    unsigned long leftButtonPresses() override { return presses; }
    bool keyDown(uint16_t) override { return false; }
    void setSystemPointerVisible(bool) override {}
  } tapping;
  KInput::setSource(&tapping);
  seen.clear();
  auto flip = [] {  // as a window's flip does: the frame, then its messages
    KInput::frameFlipped();
    KInput::eventsPumped();
  };
  look();
  tapping.presses++;
  look();
  flip();
  look(), look();
  flip();
  look();
  EXPECT_EQ(seen, (std::vector<int>{0, 0, 1, 1, 0}));
}

// A source whose pointer jumps at every read, as a hand moving between two
// system calls: one frame must see one position, and x with y from one read.
struct Jumping : KInputSource {
  int reads = 0;
  bool down = false;
  void pointerPosition(int &x, int &y) override {
    const bool second = reads++ % 2;
    x = second ? 505 : 320;
    y = second ? 240 : 60;
  }
  bool leftButtonDown() override { return down; }
  bool keyDown(uint16_t) override { return false; }
  void setSystemPointerVisible(bool) override {}
};

TEST_F(ScriptedTest, OneFrameSeesOneInputState) {
  Jumping jumping;
  KInput::setSource(&jumping);
  for (int frame = 0; frame < 2; frame++) {
    const short x = KInput::getMouseX();
    const bool bt = KInput::getLeftButtonState();
    jumping.down = !jumping.down;  // pressed or released half-way through the frame
    EXPECT_EQ(KInput::getMouseY(), x == 320 ? 60 : 240) << "x and y from one read";
    EXPECT_EQ(KInput::getMouseX(), x);
    EXPECT_EQ(KInput::getLeftButtonState(), bt);
    EXPECT_EQ(jumping.reads, frame + 1);
    KInput::frameFlipped();
  }
  // The live read: every pump ends the state, so a wait for a release sees it.
  KInput::eventsPumped();
  EXPECT_EQ(KInput::getLeftButtonState(), jumping.down);
  KInput::eventsPumped();
  KInput::eventsPumped();
  KInput::getMouseX();
  EXPECT_EQ(jumping.reads, 4) << "pumps with no question between them read nothing";
}

// Keys latch like clicks: a Ctrl+Z struck and let go between two frames reads
// as held for the one frame after it, whichever key that frame asks first; a
// key held for frames is one press, counted once.
TEST_F(ScriptedTest, ShortKeyPressesLatchForOneFrame) {
  script.push(0, 0, false);
  script.shortTap({K_VK_L_CONTROL, K_VK_Z});
  script.idle(1);
  script.push(0, 0, false, {K_VK_Z}, 2);
  script.shortTap({K_VK_Z});
  std::vector<int> seen;
  for (int i = 0; i < 6; i++) {
    const bool z = KInput::isPressed(K_VK_Z);
    seen.push_back(KInput::isPressed(K_VK_L_CONTROL) * 10 + z);
    EXPECT_EQ(KInput::isPressed(K_VK_Z), z) << "the same answer all frame";
    KInput::frameFlipped();
  }
  EXPECT_EQ(seen, (std::vector<int>{0, 11, 0, 1, 1, 1}));
  EXPECT_FALSE(KInput::isPressed(K_VK_Z)) << "after the script";
}

TEST_F(ScriptedTest, DirectSettersChangeOnlyTheCurrentFrame) {
  script.setPointer(7, 8);
  script.setLeftButton(true);
  script.setKey(K_VK_W, true);
  EXPECT_EQ(KInput::getMouseY(), 8);
  EXPECT_TRUE(KInput::getLeftButtonState());
  EXPECT_TRUE(KInput::isPressed(K_VK_W));
  script.setKey(K_VK_W, false);
  EXPECT_FALSE(KInput::isPressed(K_VK_W));
}

TEST_F(ScriptedTest, PointerVisibilityIsASwitchNotACount) {
  KInput::hidePointer();
  KInput::hidePointer();
  EXPECT_FALSE(script.systemPointerVisible());
  KInput::showPointer();
  EXPECT_TRUE(script.systemPointerVisible()) << "one show undoes any number of hides";
}

TEST_F(ScriptedTest, CoordinatesAreTruncatedTo16Bits) {
  script.push(70000, -70000, false);
  EXPECT_EQ(KInput::getMouseX(), (short)70000);
  EXPECT_EQ(KInput::getMouseY(), (short)-70000);
}

TEST_F(ScriptedTest, SoftwarePointerIsMadeOnceFromThePatternAndDrawnAtThePointer) {
  script.push(123, 45, false);
  script.push(-3, 470, false);
  RecordingPicture::blits = 0;
  KInput::displayMouse();
  ASSERT_NE(KInput::surf_mouse, nullptr);
  EXPECT_EQ(RecordingPicture::lastW, 16);
  EXPECT_EQ(RecordingPicture::lastH, 16);
  ASSERT_EQ(RecordingPicture::pixels.size(), 256u);
  EXPECT_EQ(RecordingPicture::pixels[0], 0xFFFFFFFFu);
  EXPECT_EQ(RecordingPicture::pixels[16 + 1], 0xFF000000u);
  EXPECT_EQ(RecordingPicture::pixels[2], 0u);
  EXPECT_EQ(RecordingPicture::pixels[8 * 16 + 9], 0xFFFFFFFFu) << "the tip of row 8";
  EXPECT_EQ(RecordingPicture::pixels[15 * 16], 0u) << "the last row is empty";
  EXPECT_EQ(RecordingPicture::lastX, 123);
  EXPECT_EQ(RecordingPicture::lastY, 45);
  EXPECT_EQ(RecordingPicture::lastSx2, 16.0f);
  EXPECT_EQ(RecordingPicture::lastSy2, 16.0f);
  KInput::frameFlipped();
  KInput::displayMouse();
  EXPECT_EQ(RecordingPicture::made, 1) << "the picture is kept between frames";
  EXPECT_EQ(RecordingPicture::lastX, -3);
  EXPECT_EQ(RecordingPicture::lastY, 470);
  EXPECT_EQ(RecordingPicture::blits, 2);
  KInput::freeMouse();
  EXPECT_EQ(KInput::surf_mouse, nullptr);
  EXPECT_EQ(RecordingPicture::made, 0);
  KInput::freeMouse();  // twice is harmless
}

TEST(InputDefaults, WheelAndTheDefaultSourceWithoutAWindow) {
  KInput::setLastWheelValue(-120);
  EXPECT_EQ(KInput::_lastWheelValue, -120);
  KInput::setSource(nullptr);
  ASSERT_NE(KInput::source(), nullptr);
  KInput::initInput(nullptr);
  // No video started: answers are neutral, nothing crashes.
  EXPECT_FALSE(KInput::isPressed(K_VK_A));
  EXPECT_FALSE(KInput::getLeftButtonState());
  EXPECT_EQ(KInput::getMouseX(), 0);
  KInput::hidePointer();
  KInput::showPointer();
  KInput::frameFlipped();
}

}  // namespace
