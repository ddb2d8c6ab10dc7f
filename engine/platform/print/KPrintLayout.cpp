// Which pictures a page accepts: shared by the program and the print backend
// module (the page geometry itself is the portable KPrinter::layoutPage).
// Application thread only.
#include "platform/print/KPrintBackend.h"

bool printablePicture(const uint32_t *pixels, int width, int height) {
  return pixels != nullptr && width > 0 && height > 0 && width <= KPrinter::kMaxSide &&
         height <= KPrinter::kMaxSide;
}
