// Printing on Windows: not offered yet. Every request fails cleanly (the
// activity carries on and nothing reaches the child).
#include "print/KPrinter.h"

namespace {
KPrintOutcome gOutcome = K_PRINT_FAILED;
}  // namespace

bool KPrinter::available() { return false; }

bool KPrinter::printPicture(const uint32_t *, int, int, const char *, HWND) {
  gOutcome = K_PRINT_FAILED;
  return false;
}

bool KPrinter::exportPicture(const uint32_t *, int, int, const char *, const char *) {
  gOutcome = K_PRINT_FAILED;
  return false;
}

void KPrinter::setOutputFolder(const char *) {}

KPrintOutcome KPrinter::lastOutcome() { return gOutcome; }

KPrintRect KPrinter::lastPlacement() { return KPrintRect(); }
