// Printing the monster on show: a print dialog and one page with the monster on
// white. Application thread only; modal while it runs.
#pragma once

#include <cstdint>

// The printed picture is the whole game frame.
constexpr int kPrintWidth = 640;
constexpr int kPrintHeight = 480;

// Shows the system pointer and the print dialog over the game window; prints one
// page (document "Pabrix") unless the dialog is cancelled or printing fails; then
// hides the pointer again and brings the game window forward. Nothing is reported.
void printMonster();

// Draws the monster alone on white (displayMonster(true)), reads the frame back into
// dest (kPrintWidth × kPrintHeight values, top row first, red in the lowest byte,
// alpha 255), then redraws the normal view so the next flip shows the screen.
// False when the frame could not be read back; dest is then all white.
bool generatePicture(uint32_t *dest);
