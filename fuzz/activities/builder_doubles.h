// What both monster-builder fuzz targets run the builder on: one counting window,
// one scripted input and one recording parts sheet for the whole run, and the
// press-and-drop step both of them repeat.
#pragma once

#include <cstdlib>

#include "activities/misterMonster.h"
#include "activities/monster.h"
#include "app/shell.h"
#include "input/KScriptedInput.h"
#include "support/activity_fakes.h"

struct BuilderDoubles {
  FakeWindow window;
  KScriptedInput input;
  RecordingGraphic sheet;
};

// Installs the doubles as the window, the input source and the parts sheet (and
// the activities' recorders: installActivityDoubles), with
// the sheet's recorded calls cleared.
inline BuilderDoubles &installBuilderDoubles() {
  static BuilderDoubles doubles;
  installActivityDoubles();
  gameWindow = &doubles.window;
  KInput::setSource(&doubles.input);
  surf_monster = &doubles.sheet;
  doubles.sheet.calls.clear();
  return doubles;
}

// Presses where the pointer is (whatever is taken must be a catalogue part), then
// releases the button away from the parts at (400, 200), a frame for each.
inline void pressThenReleaseAway(KScriptedInput &input) {
  input.setLeftButton(true);
  displayMonster(false);
  if (inHand > 0 && !isPlacedPart(inHand)) std::abort();
  input.setPointer(400, 200);
  input.setLeftButton(false);
  displayMonster(false);
}
