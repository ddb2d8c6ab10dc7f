// Picture half of the asset generator: SVG text (with our include directive) to
// straight-alpha RGBA, cropped and written as TGA (32-bit, alpha) or BMP (24-bit).
// Build-time tool code; single-threaded.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace assetgen {

struct Rect {
  int x = 0, y = 0, w = 0, h = 0;
};

struct Image {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> rgba;  // straight alpha, top row first
};

// Expands `<?include file="..."?>` processing instructions, paths relative to the
// including file. Every file read is appended to `deps` (for the build's depfile).
// Nesting deeper than 8 levels or an unreadable file is an error.
bool expandIncludes(const std::string &path, std::string &out, std::vector<std::string> &deps,
                    std::string &error, int depth = 0);

// Same, for text already in memory; `baseDir` resolves relative include paths.
bool expandIncludeText(const std::string &text, const std::string &baseDir, std::string &out,
                       std::vector<std::string> &deps, std::string &error, int depth = 0);

// Renders SVG text at exactly width x height. The document's own size must be
// that size: a drawing made for another size is refused rather than scaled, so
// the rectangles the program reads from a picture stay where they were drawn.
// `css` is an extra stylesheet (used to show layers that only some outputs need).
// `scaleToFit` is for the desktop icons only: a square document drawn once is
// scaled to every icon size.
bool renderSvg(const std::string &svg, int width, int height, const std::string &css,
               Image &out, std::string &error, bool scaleToFit = false);

// Stacks the given rectangles of `src` top to bottom into one picture as wide as
// the widest. Rectangles must lie inside `src`.
bool cropStack(const Image &src, const std::vector<Rect> &rects, Image &out, std::string &error);

// Gives fully transparent pixels the colour of their nearest visible neighbours
// (alpha stays 0), so that filtered or zoomed drawing does not pull dark fringes
// in from the transparent surroundings.
void bleedColour(Image &img, int passes);

// Writes the picture in the format its extension names (.tga or .bmp), through a
// temporary file renamed into place so an interrupted build leaves no half file.
bool writePicture(const Image &img, const std::string &path, std::string &error);

// Writes a Windows icon file holding the given square pictures (1 to 256 pixels):
// the 256-pixel one compressed as PNG, as Windows keeps large icons, the others
// as 32-bit bitmaps with their transparency mask, which every reader takes.
bool writeIcon(const std::vector<Image> &images, const std::string &path, std::string &error);

// Parses "x,y,w,h" and "WxH".
bool parseRect(const std::string &s, Rect &r);
bool parseSize(const std::string &s, int &w, int &h);

}  // namespace assetgen
