// Screen pictures for the documentation: a layer list ("draw FILE [x1 y1 x2 y2]
// at X Y") laid over a canvas the way the screens blit their pictures.
// Build-time tool code; single-threaded.
#pragma once

#include <string>

#include "picture.h"

namespace assetgen {

// Parses and draws a layer list. Files are read relative to `dataDir`; every
// file read is appended to `deps`. On error `error` reads "line N: what".
bool composeScreen(const std::string &script, const std::string &dataDir, Image &out,
                   std::vector<std::string> &deps, std::string &error);

// Straight-alpha "over" of a source rectangle onto an opaque canvas, clipped.
void drawOver(Image &canvas, const Image &src, Rect from, int dx, int dy);

}  // namespace assetgen
