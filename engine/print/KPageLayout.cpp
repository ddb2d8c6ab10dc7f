// The page geometry both printers share: turn the paper to whichever way shows
// the picture larger, fit the picture in the printable area with its aspect kept,
// centre it on the paper. Plain arithmetic; any thread.
#include "print/KPrinter.h"

#include <algorithm>

KPrintRect KPrinter::fitPicture(int width, int height, double areaWidth, double areaHeight) {
  KPrintRect r;
  // The negated comparisons also reject NaN areas.
  if (width <= 0 || height <= 0 || !(areaWidth > 0) || !(areaHeight > 0)) return r;
  // One printer dot per picture pixel would shrink the picture to an inch or two on a
  // fine printer; fill the width instead, or the height when the page is too short.
  const double scale = std::min(areaWidth / width, areaHeight / height);
  r.width = width * scale;
  r.height = height * scale;
  r.x = (areaWidth - r.width) / 2;
  r.y = (areaHeight - r.height) / 2;
  return r;
}

KPageLayout KPrinter::layoutPage(int width, int height, const KPaper &paper) {
  // As far from each edge as from the wider margin opposite it, so a picture
  // centred in the printable area is centred on the paper, either way up.
  const double mx = std::max(paper.left, paper.right), my = std::max(paper.top, paper.bottom);
  const KPrintRect upright = fitPicture(width, height, paper.width - 2 * mx, paper.height - 2 * my);
  const KPrintRect turned = fitPicture(width, height, paper.height - 2 * my, paper.width - 2 * mx);
  KPageLayout out;
  out.turn = turned.width > upright.width;
  out.picture = out.turn ? turned : upright;
  if (out.picture.width <= 0) return KPageLayout();
  out.picture.x += out.turn ? my : mx;
  out.picture.y += out.turn ? mx : my;
  return out;
}
