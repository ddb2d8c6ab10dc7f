// Loading and freeing the pictures a screen owns from entry to exit.
// Application thread only.
#pragma once

class KGraphic;

// A new picture for the window's renderer, filled from the data file `dataName`
// (relative to the program folder). A file that cannot be read leaves the
// picture empty: the screen keeps running and draws nothing for it.
KGraphic *loadScreenPicture(const char *dataName);

// Deletes the picture, if any, and clears the pointer.
void deletePicture(KGraphic *&picture);
