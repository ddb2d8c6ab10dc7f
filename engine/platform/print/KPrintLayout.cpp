// Where a picture goes on a page: plain arithmetic, shared by the program and the
// print backend module. Application thread only.
#include "platform/print/KPrintBackend.h"

#include <algorithm>

bool printablePicture(const uint32_t *pixels, int width, int height) {
  return pixels != nullptr && width > 0 && height > 0 && width <= KPrinter::kMaxSide &&
         height <= KPrinter::kMaxSide;
}

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

bool KPrinter::turnPage(int width, int height, double areaWidth, double areaHeight) {
  const KPrintRect as = fitPicture(width, height, areaWidth, areaHeight);
  const KPrintRect turned = fitPicture(width, height, areaHeight, areaWidth);
  return turned.width > as.width;
}
