// KPrinter: one picture printed on one page, through the desktop's print dialog
// (modal, over the game window) or, without a dialog, written as a PDF file. The
// toolkit behind the dialog is started on first use only; where it cannot open a
// display every call fails cleanly and the program carries on. Application thread only.
#pragma once

#include <cstdint>

#include "platform/KWindowHandle.h"

// A rectangle on a page, in points (1/72 inch).
struct KPrintRect {
  double x = 0, y = 0, width = 0, height = 0;
};

// A sheet of paper as the printer holds it, in points: its size and the margins it
// cannot print in.
struct KPaper {
  double width = 0, height = 0;
  double left = 0, top = 0, right = 0, bottom = 0;
};

// What layoutPage decides for one picture on one sheet.
struct KPageLayout {
  bool turn = false;    // print on the paper turned a quarter (sides swapped)
  KPrintRect picture;   // from the top-left corner of the paper as printed; empty: nothing fits
};

enum KPrintOutcome {
  K_PRINT_DONE = 0,       // the page went to the printer (or the file)
  K_PRINT_CANCELLED = 1,  // the user closed the dialog without printing
  K_PRINT_FAILED = 2,     // bad picture, no display, or the print system refused the job
};

class KPrinter {
public:
  // Starts the toolkit the first time; false when it cannot run here.
  static bool available();

  // Shows the print dialog over `owner` (null or a closed window: centred on the
  // screen) and prints one page of one document named documentName. pixels holds
  // width × height values, top row first, red in the lowest byte, alpha ignored.
  // Returns once the keys used in the dialog are released (two seconds at most), so
  // the game never sees them, with the owner window raised and given the keyboard. True only when the page was printed; see
  // lastOutcome() for why not.
  static bool printPicture(const uint32_t *pixels, int width, int height,
                           const char *documentName, HWND owner);

  // The same page without a dialog, on the default paper, written as a PDF file at
  // path. Either way the page is turned to whichever orientation shows the picture
  // larger, and the picture is centred on it.
  static bool exportPicture(const uint32_t *pixels, int width, int height,
                            const char *documentName, const char *path);

  // Where "Print to File" suggests writing (an existing folder; null: the desktop's
  // choice). Applies to the next dialog unless the user has picked a file since.
  static void setOutputFolder(const char *folder);

  // What the last printPicture or exportPicture came to.
  static KPrintOutcome lastOutcome();
  // Where the last printed page put the picture, in points from the paper's top-left
  // corner; empty when nothing was printed.
  static KPrintRect lastPlacement();

  // The picture as large as it fits in an area of areaWidth × areaHeight, aspect
  // kept, centred in the area (the area's origin is 0, 0). Empty when either the
  // picture or the area is.
  static KPrintRect fitPicture(int width, int height, double areaWidth, double areaHeight);
  // The one page geometry every printer uses: whether to turn the paper a quarter
  // (the picture comes out larger that way), and where the picture goes on the
  // paper so turned, as large as the printable area allows and centred on the
  // paper. The picture is already cut to what is printed.
  static KPageLayout layoutPage(int width, int height, const KPaper &paper);

  // Largest side of a picture the page accepts.
  static const int kMaxSide = 16384;
};
