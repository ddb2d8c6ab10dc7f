// What the program and its print backend module say to each other. The backend
// (GTK, cairo and everything they load) lives in a module of its own that the
// program opens the first time printing is asked for, so a program that never
// prints never maps the toolkit. Plain C types only: the module is built apart
// from the program and may not see its classes. Application thread only.
#pragma once

#include <cstdint>

#include "print/KPrinter.h"

// Raised whenever either table changes shape; the program refuses a module of
// another version.
#define K_PRINT_BACKEND_VERSION 1
// The module's one exported function.
#define K_PRINT_BACKEND_ENTRY "pabrixPrintBackend"
// The module's file name, beside the program (the build tree) or in
// K_PRINT_BACKEND_DIR relative to the program's folder (an installed copy).
#define K_PRINT_BACKEND_FILE "pabrix-print-gtk.so"
#define K_PRINT_BACKEND_DIR "../lib/pabrix/modules"

// What the program lends the module.
struct KPrintHost {
  int version;
  // One line of trouble, already formatted (goes to logTrouble("print", ...)).
  void (*trouble)(const char *message);
  // Whether the program has been asked to quit while a dialog is open: the dialog
  // then closes as cancelled.
  bool (*closeAsked)();
  // Called once a print dialog has closed.
  void (*dialogClosed)();
};

// Where the game window is, so the dialog opens over it.
struct KPrintOwner {
  bool known;
  int x, y, width, height;
  unsigned long x11Window;  // 0 when it is not an X11 window
};

// What the module offers. Pictures are checked by the program before they get here.
struct KPrintBackend {
  int version;
  // Starts the toolkit (once); false when it cannot run here.
  bool (*start)();
  // The print dialog; the outcome, and where the page put the picture when printed.
  KPrintOutcome (*print)(const uint32_t *pixels, int width, int height, const char *documentName,
                         const KPrintOwner *owner, const char *outputFolder, KPrintRect *placed);
  // The page written as a PDF file without a dialog.
  KPrintOutcome (*exportPdf)(const uint32_t *pixels, int width, int height,
                             const char *documentName, const char *path, KPrintRect *placed);
};

typedef const KPrintBackend *(*KPrintBackendEntry)(const KPrintHost *host);

// Whether a picture of width × height can be put on a page (non-null, sides in
// 1..KPrinter::kMaxSide).
bool printablePicture(const uint32_t *pixels, int width, int height);
