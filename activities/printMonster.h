// Printing the monster on show: a print dialog and one page with the monster on
// white. Application thread only; modal while it runs.
#pragma once

#include <cstdint>
#include <vector>

#include "activities/camera.h"

// The frame the printed picture is cut from.
constexpr int kPrintWidth = 640;
constexpr int kPrintHeight = 480;

// Shows the system pointer and the print dialog over the game window (leaving
// full screen for it, and going back after); prints one page (document
// "Pabrix <date time>", see stampedName) of printPicture unless the dialog is
// cancelled or printing fails; then hides the pointer again and brings the game
// window forward. Nothing is reported to the user.
void printMonster();

// What the monster screen's print button and camera call: printMonster and
// monsterPicture unless replaced (null restores them; not owned). A run without
// a renderer (tests, fuzzing) puts its own here: it has no frame to read back
// and no dialog to show.
struct sMonsterOutput {
  void (*print)();
  bool (*picture)(sSnapshot &out);
};
void setMonsterOutput(const sMonsterOutput *output);
const sMonsterOutput &monsterOutput();

struct KImage;
// The monster on show composed for paper: the body and the placed parts of the
// monster's print sheet (its sprite sheet rendered `scale` times larger),
// exactly where the screen draws them, on white, cut to monsterBounds() scaled.
bool composeMonster(const KImage &sheet, int scale, sSnapshot &out);
// The printed picture: composeMonster on "data\gfx\monstre<n>-print.png"; without
// a usable print sheet (one log line), monsterPicture's screen-sized one.
bool printPicture(sSnapshot &out);

// Draws the monster alone on white (displayMonster(true)), reads the frame back into
// dest (kPrintWidth × kPrintHeight values, top row first, red in the lowest byte,
// alpha 255), then redraws the normal view so the next flip shows the screen.
// False when the frame could not be read back; dest is then all white.
bool generatePicture(uint32_t *dest);

// Where the monster on show lies in the frame: the union of its body and placed
// parts with a small margin, limited to the frame; the whole frame when there is
// nothing to bound. x2 and y2 are exclusive.
struct sMonsterBounds {
  int x1, y1, x2, y2;
};
sMonsterBounds monsterBounds();

// The monster as printed (and saved as a picture): generatePicture cut to
// monsterBounds(). False, with out empty, when the frame could not be read back.
bool monsterPicture(sSnapshot &out);
