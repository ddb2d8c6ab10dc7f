// The camera: a button on each activity screen and the Print Screen key save a
// picture of what the child made as a PNG file in a "Pabrix" folder inside the
// documents folder, confirmed by a shutter sound and a one-second white flash.
// Play goes on meanwhile. Application thread only.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

class KGraphic;

// A picture to save: width × height values, top row first, red in the lowest byte.
struct sSnapshot {
  std::vector<uint32_t> pixels;
  int width = 0, height = 0;
};

// Makes the picture of the screen's creation; false when it cannot be had.
using TakeSnapshot = bool (*)(sSnapshot &out);

// Loads, or frees, the button picture and the shutter sound (screen entry, exit).
void initCamera();
void freeCamera();

// One frame of the camera, called after the screen has drawn its scene and before
// the pointer: a click on the button at (x, y) or a press of Print Screen takes
// the picture with `take` and saves it; then the button is drawn (larger under
// the pointer). Returns whether a picture was saved. With handsBusy (a part or a
// seed in the hand) the button does not react; the key still does.
bool doCamera(short x, short y, TakeSnapshot take, bool handsBusy = false);

// Draws what is left of the white flash over the whole frame; nothing once it has
// faded (one second after the picture).
void drawCameraFlash();

// The camera button's size on the screen.
constexpr int kCameraButtonSide = 60;

// "Pabrix YYYY-MM-DD HH-MM-SS" at the local time `when`: the name of a saved
// picture or a printed page, so a new one never proposes to replace the last.
std::string stampedName(std::time_t when);

// Saves the picture as "Pabrix YYYY-MM-DD HH-MM-SS.png" (local time `when`) in
// `folder`, made if missing; " (2)", " (3)"... are added to a name already taken.
// Written under a temporary name and renamed, so a failure (full disk, no right
// to write) leaves no partial file. Returns the path, or "" on failure.
std::string savePicturePng(const sSnapshot &picture, const std::string &folder, std::time_t when);

// The folder pictures go to: "<documents>/Pabrix".
std::string pictureFolder();

// The whole frame as drawn so far (640 × 480, without the pointer when it comes
// before the pointer is drawn).
bool screenSnapshot(sSnapshot &out);
// The same frame into dest (640 × 480 values, top row first, red in the lowest
// byte, alpha 255); false when the renderer cannot read it back.
bool grabScreen(uint32_t *dest);
