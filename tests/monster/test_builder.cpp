// The monster builder screen run in-process on recording pictures: dragging,
// drop zones, picking overlapped parts, a full monster, the buttons' slides,
// printing on and off, clear, stepping through monsters, and the smoke cloud.
#include "activities/cloud.h"
#include "activities/misterMonster.h"
#include "activities/monster.h"
#include "app/navigation.h"
#include "app/preferences.h"
#include "tools/KMiscTools.h"
#include "support/activity_fixture.h"

namespace {

class Builder : public ActivityTest {
protected:
  void SetUp() override {
    ActivityTest::SetUp();
    // Entry 1 is 40×30 at palette (20, 100); entry 2 is 20×20 and not offered.
    catalogue = writeIni("m.ini", {"[DATA]", "e1id=1", "e1x1=0", "e1y1=0", "e1x2=40", "e1y2=30",
                                   "e1dx=20", "e1dy=100", "active1=1", "e2id=2", "e2x1=50",
                                   "e2y1=0", "e2x2=70", "e2y2=20", "e2dx=20", "e2dy=200",
                                   "active2=0", "[MONSTER]", "x1=300", "y1=40", "x2=560",
                                   "y2=400"});
    loadCatalogue(catalogue.c_str());
    surf_monster = &sheet;
  }
  void TearDown() override {
    surf_monster = nullptr;
    ActivityTest::TearDown();
  }
  // Lets go of the part in hand at (x, y).
  void releaseAt(int x, int y) {
    input.setPointer(x, y);
    input.setLeftButton(false);
    displayMonster(false);
  }
  sMonsterPart *slots() { return allMonsters[currentAlien].allMonsterPart; }

  std::string catalogue;
  RecordingGraphic sheet;
  RecordingGraphic buttons;
};

}  // namespace

TEST_F(Builder, APartDraggedOntoTheBodyIsInTheFileAfterEscape) {
  surf_monster = nullptr;  // the screen makes its own pictures
  window->onFlip = [&](int n) {
    if (n == 1) loadCatalogue(catalogue.c_str());  // our catalogue instead of the data's
  };
  input.push(0, 0, false);
  input.push(30, 110, true);   // press on palette part 1: grabbed 10 px in
  input.push(200, 150, true, {}, 3);
  input.push(400, 200, true);  // over the body
  input.push(400, 200, false);  // let go
  input.push(400, 200, false, {K_VK_ESCAPE});
  doMisterMonster();

  std::string bytes = readFile(dir + "/mistermon.dat");
  ASSERT_EQ(bytes.size(), 120000u);
  size_t at = (500 * 1 + 1) * 12;  // monster 1, slot 1
  EXPECT_EQ(bytes.substr(at, 12), std::string("\x01\0\0\0\x86\x01\0\0\xbe\0\0\0", 12))
      << "part 1 with its top-left at (390, 190)";
  EXPECT_EQ(surf_monster, nullptr);
  EXPECT_EQ(surf_back, nullptr);
}

TEST_F(Builder, DropZonesDiscardOnThePaletteSideAndOnTheRisenTrash) {
  struct Case {
    int x, y;
    bool placed;
    long trash;
  } cases[] = {{249, 300, false, 480}, {250, 300, true, 403},  {500, 432, true, 403},
               {604, 412, false, 403}, {604, 412, true, 480},  {572, 404, false, 476},
               {571, 450, true, 403},  {600, 403, true, 403},  {639, 479, false, 403}};
  for (const Case &c : cases) {
    slots()[1] = {};
    cloud1.alive = false;
    inHand = 1;
    trashy = c.trash;
    releaseAt(c.x, c.y);
    EXPECT_EQ(slots()[1].partID == 1, c.placed) << c.x << "," << c.y;
    EXPECT_EQ(cloud1.alive, !c.placed) << c.x << "," << c.y;
    EXPECT_EQ(inHand, -1);
  }
  // With nothing in hand the discard zones raise no smoke.
  cloud1.alive = false;
  releaseAt(100, 300);
  EXPECT_FALSE(cloud1.alive);
}

TEST_F(Builder, PicksTheLowerOfOverlappingPartsAndEveryPlacedKindIsDrawn) {
  slots()[1] = {1, 300, 100};
  slots()[2] = {2, 310, 105};  // inactive kind, drawn over part 1
  input.setPointer(315, 110);
  input.setLeftButton(true);
  displayMonster(false);
  EXPECT_EQ(inHand, 1);
  EXPECT_EQ(decalX, -15);
  EXPECT_EQ(slots()[1].partID, -1);
  // The inactive kind is not in the palette but its placed part is drawn.
  EXPECT_EQ(sheet.blitsOf(50, 0, 70, 20).size(), 1u);
  EXPECT_EQ(sheet.blitsOf(50, 0, 70, 20)[0].destX, 310);
  // The held part follows the pointer.
  ASSERT_FALSE(sheet.blitsOf(0, 0, 40, 30).empty());
  EXPECT_EQ(sheet.blitsOf(0, 0, 40, 30).back().destX, 300);

  releaseAt(400, 300);
  EXPECT_EQ(slots()[1].partID, 1) << "back in the first free slot";
  EXPECT_EQ(slots()[1].x, 385);

  // The inactive kind can be taken once placed.
  input.setPointer(312, 107);
  input.setLeftButton(true);
  displayMonster(false);
  EXPECT_EQ(inHand, 2);
}

TEST_F(Builder, AFullMonsterSwallowsTheDrop) {
  for (int s = 1; s < 500; s++) slots()[s] = {1, 0, 0};
  inHand = 1;
  releaseAt(400, 300);
  EXPECT_EQ(inHand, -1);
  EXPECT_FALSE(cloud1.alive);
  for (int s = 1; s < 500; s++) ASSERT_EQ(slots()[s].x, 0) << s;
}

TEST_F(Builder, ButtonsSlideAwayAndTheTrashRisesWhileAPartIsHeld) {
  input.setPointer(400, 300);
  inHand = 1;
  std::vector<int> clearY, trashY;
  for (int f = 0; f < 22; f++) {
    buttons.calls.clear();
    doButtons(&buttons);
    clearY.push_back(buttons.blitsOf(11, 110, 71, 167).at(0).destY);
    trashY.push_back(buttons.blitsOf(177, 12, 244, 89).at(0).destY);
  }
  EXPECT_EQ(clearY[0], 424);
  EXPECT_EQ(clearY[1], 428);
  EXPECT_EQ(clearY[19], 499);
  EXPECT_EQ(trashY[0], 476);
  EXPECT_EQ(trashY[18], 404);
  EXPECT_EQ(trashY[19], 403);

  inHand = -1;
  buttons.calls.clear();
  doButtons(&buttons);
  EXPECT_EQ(cleary, 495);
  EXPECT_EQ(trashy, 407);
  // Hovering the trash zooms it only with a part in hand.
  input.setPointer(600, 450);
  doButtons(&buttons);
  EXPECT_EQ(buttons.blitsOf(177, 12, 244, 89).back().op, "blitAlphaRect");
}

TEST_F(Builder, PrintButtonOnlyWhenPrintingIsEnabled) {
  window->onPump = [&] { input.setLeftButton(false); };
  input.setPointer(300, 476);  // low on the button, where its picture still is
  input.setLeftButton(true);
  doButtons(&buttons);
  EXPECT_TRUE(buttons.blitsOf(88, 10, 167, 89).empty());
  EXPECT_EQ(printMonsterCalls, 0);

  preferences.printing = 1;
  input.setLeftButton(true);
  buttons.calls.clear();
  doButtons(&buttons);
  ASSERT_EQ(buttons.blitsOf(88, 10, 167, 89).size(), 1u);
  EXPECT_FLOAT_EQ(buttons.blitsOf(88, 10, 167, 89)[0].zoom, 1.1f);
  EXPECT_EQ(buttons.blitsOf(88, 10, 167, 89)[0].destY + 79, 480) << "the picture rests on the edge";
  EXPECT_EQ(printMonsterCalls, 1);
  EXPECT_GE(window->pumps, 1) << "printing waits for the release";

  // Not while a part is held.
  inHand = 1;
  input.setLeftButton(true);
  doButtons(&buttons);
  EXPECT_EQ(printMonsterCalls, 1);
}

TEST_F(Builder, ClearEmptiesOnlyTheMonsterShownAndWaitsForTheRelease) {
  slots()[4] = {1, 300, 100};
  allMonsters[2].allMonsterPart[4] = {1, 300, 100};
  window->onPump = [&] { input.setLeftButton(false); };
  input.setPointer(230, 450);
  input.setLeftButton(true);
  doButtons(&buttons);
  EXPECT_EQ(slots()[4].partID, 0);
  EXPECT_EQ(allMonsters[2].allMonsterPart[4].partID, 1);
  EXPECT_EQ(window->pumps, 1);
  EXPECT_FALSE(buttons.blitsOf(11, 110, 71, 167).empty());
  EXPECT_EQ(buttons.calls[0].op, "setBlitColor") << "the hovered button casts a shadow";
}

// The broom's clear is offered back by a click on its place or by Ctrl+Z, for
// ten seconds.
TEST_F(Builder, TheBroomsClearCanBeTakenBack) {
  static unsigned long now = 5000;
  screenClock = [] { return now; };
  window->onPump = [&] { input.setLeftButton(false); };
  auto clickClear = [&] {
    input.setPointer(230, 450);
    input.setLeftButton(true);
    doButtons(&buttons);
  };
  auto ctrlZ = [&] {
    input.setKey(K_VK_R_CONTROL, true);
    input.setKey(K_VK_Z, true);
    doButtons(&buttons);
    input.setKey(K_VK_R_CONTROL, false);
    input.setKey(K_VK_Z, false);
  };
  slots()[4] = {1, 300, 100};
  clickClear();
  EXPECT_EQ(slots()[4].partID, 0);
  clickClear();
  EXPECT_EQ(slots()[4].partID, 1) << "the second click brings it back";
  clickClear();
  ctrlZ();
  EXPECT_EQ(slots()[4].partID, 1);
  clickClear();
  now += ClearUndo<sMonster>::kOfferMs;
  ctrlZ();
  EXPECT_EQ(slots()[4].partID, 0) << "offered for ten seconds only";
  screenClock = &KMiscTools::getMilliseconds;
}

TEST_F(Builder, TheHomeButtonLeavesAndSaves) {
  surf_monster = nullptr;  // the screen makes its own pictures
  input.push(0, 0, false);
  input.push(20, 450, true);
  doMisterMonster();
  EXPECT_EQ(window->flips, 1);
  EXPECT_EQ(readFile(dir + "/mistermon.dat").size(), 120000u);
}

TEST_F(Builder, StepsWrapAroundAndWaitForTheirKeys) {
  surf_monster = nullptr;  // each step loads a sheet of its own
  long count = maxMonsters;
  previousMonster();
  EXPECT_EQ(currentAlien, count);
  currentAlien = maxMonsters;
  nextMonster();
  EXPECT_EQ(currentAlien, 1);

  // Left arrow: waits for the button, then for the key.
  int pumpsLeft = 3;
  input.setKey(K_VK_LEFT, true);
  input.setLeftButton(true);
  window->onPump = [&] {
    if (--pumpsLeft == 1) input.setLeftButton(false);
    if (pumpsLeft == 0) input.setKey(K_VK_LEFT, false);
  };
  window->pumps = 0;
  input.setPointer(400, 300);
  doButtons(&buttons);
  EXPECT_EQ(pumpsLeft, 0);
  EXPECT_EQ(window->pumps, 3);

  // A press held for nine frames' worth of pumping on the next arrow steps one
  // monster; arrows refuse a held part.
  int pumps = 0;
  window->onPump = [&] {
    if (++pumps == 9) input.setLeftButton(false);
  };
  currentAlien = 1;
  input.setPointer(620, 30);
  input.setLeftButton(true);
  doButtons(&buttons);
  EXPECT_GE(pumps, 9) << "the step waits for the release";
  doButtons(&buttons);
  EXPECT_EQ(currentAlien, maxMonsters >= 2 ? 2 : 1);
  inHand = 1;
  input.setLeftButton(true);
  doButtons(&buttons);
  EXPECT_EQ(buttons.blitsOf(205, 105, 228, 174).back().zoom, 1.2f);
  EXPECT_EQ(currentAlien, maxMonsters >= 2 ? 2 : 1);
}

TEST_F(Builder, ThePrintedPictureIsTheBodyAndPlacedPartsOnWhite) {
  slots()[1] = {2, 350, 120};
  input.setPointer(30, 110);  // over palette part 1, button down
  input.setLeftButton(true);
  displayMonster(true);
  EXPECT_EQ(window->clears, 1);
  EXPECT_EQ(window->clearColor[0] + window->clearColor[1] + window->clearColor[2], 3);
  EXPECT_EQ(inHand, -1) << "nothing is taken from the palette while printing";
  ASSERT_EQ(sheet.calls.size(), 2u) << "the body, then the placed part, nothing else";
  EXPECT_TRUE(sheet.calls[0].sameSource(300, 40, 560, 400));
  EXPECT_EQ(sheet.calls[0].destX, 300);
  EXPECT_TRUE(sheet.calls[1].sameSource(50, 0, 70, 20));
}

TEST_F(Builder, TheSmokeCloudPlaysNineteenFrames) {
  RecordingGraphic smoke;
  surf_cloud = &smoke;
  doCloud(100, 200);
  int frames = 0;
  while (cloud1.alive && frames < 100) {
    animateCloud();
    frames++;
  }
  surf_cloud = nullptr;
  EXPECT_EQ(frames, 20) << "19 frames drawn, the 20th call ends it";
  ASSERT_EQ(smoke.calls.size(), 19u);
  const float image[4][2] = {{0, 0}, {124, 0}, {0, 124}, {124, 124}};
  for (size_t i = 0; i < smoke.calls.size(); i++) {
    int f = i < 4 ? 0 : int(i + 1) / 5;
    EXPECT_EQ(smoke.calls[i].x1, image[f][0]) << i;
    EXPECT_EQ(smoke.calls[i].y1, image[f][1]) << i;
    EXPECT_EQ(smoke.calls[i].destX, 38);
    EXPECT_EQ(smoke.calls[i].destY, 138);
  }
}

TEST_F(Builder, APartLetGoOnTheCameraStaysInSightAndAPressOnItPicksItUp) {
  surf_monster = nullptr;
  preferences.printing = 0;  // the camera in the print button's place, (286, 418)
  snapshotCalls = 0;
  long partOnTop = 0, heldAfterPress = 0;
  window->onFlip = [&](int n) {
    if (n == 1) loadCatalogue(catalogue.c_str());
    if (n == 5) {  // the frame after the drop: the part is drawn after the button
      const RecordingGraphic *camera = RecordingGraphic::find("camera.tga");
      const auto *parts = static_cast<const RecordingGraphic *>(surf_monster);
      ASSERT_TRUE(camera && parts && !camera->calls.empty() && !parts->calls.empty());
      const Blit &part = parts->calls.back();
      EXPECT_TRUE(part.sameSource(0, 0, 40, 30) && part.destX == 300 && part.destY == 430);
      partOnTop = part.order > camera->calls.back().order;
    }
    if (n == 8) heldAfterPress = inHand;
  };
  input.push(0, 0, false);
  input.push(30, 110, true);    // palette part 1, grabbed 10 px in
  input.push(310, 440, true);
  input.push(310, 440, false);  // let go on the camera: the part covers (300, 430)-(340, 460)
  input.push(310, 440, false);
  input.push(290, 470, true);   // on the camera beside the part: a picture
  input.push(290, 470, false);
  input.push(320, 445, true);   // on the part: it is picked up, no picture
  input.push(320, 445, true, {K_VK_ESCAPE});
  doMisterMonster();
  EXPECT_TRUE(partOnTop);
  EXPECT_EQ(snapshotCalls, 1);
  EXPECT_EQ(heldAfterPress, 1);
}

TEST_F(Builder, NumberedLightsShowTheMonsterOnShowAndAPressChoosesOne) {
  surf_monster = nullptr;
  currentAlien = 1;
  bool thirdLit = false;
  window->onFlip = [&](int n) {
    if (n == 1) loadCatalogue(catalogue.c_str());
    if (n != 3) return;
    const RecordingGraphic *lights = RecordingGraphic::find("nav.tga");
    ASSERT_NE(lights, nullptr);
    float on[4];
    nav::light(2, true, on);
    for (const Blit &b : lights->calls)
      thirdLit |= b.sameSource(on[0], on[1], on[2], on[3]) && b.destX == 561 && b.destY == 72;
  };
  window->onPump = [&] { input.setLeftButton(false); };  // the choice waits for the release
  input.push(0, 0, false);
  input.push(570, 84, true);  // on the third light
  input.push(570, 84, false);
  input.push(570, 84, false, {K_VK_ESCAPE});
  doMisterMonster();
  ASSERT_GE(maxMonsters, 3);
  EXPECT_EQ(currentAlien, 3);
  EXPECT_TRUE(thirdLit);
}
