// Printing on Windows: the common print dialog and GDI. The picture goes into a
// bitmap compatible with the printer, and that bitmap onto one page of one
// document where the shared page layout puts it (the paper turned when that
// shows the picture larger). Application thread only; the dialog is modal over
// the game window, and a close request (the game window's, the console's, the
// session's) closes it as cancelled.
#include <vector>

#include "print/KPrinter.h"
#include "platform/KNativeWindow.h"
#include "platform/win32/KWin32.h"
#include "platform/win32/KWin32Session.h"
#include "platform/win32/KWin32Window.h"
#include "tools/KMiscTools.h"

#define HWND Win32HWND
#include <commdlg.h>
#undef HWND

namespace {

KPrintOutcome gOutcome = K_PRINT_FAILED;
KPrintRect gPlacement;

bool printable(const uint32_t *pixels, int width, int height) {
  return pixels && width > 0 && height > 0 && width <= KPrinter::kMaxSide &&
         height <= KPrinter::kMaxSide;
}

// The paper a printer's device context holds, in points, and the way back to
// its device pixels (origin at the printable area's corner).
struct PrinterPage {
  KPaper paper;
  double dpiX = 0, dpiY = 0, offX = 0, offY = 0;
  KPrintRect toDevice(const KPrintRect &points) const {
    KPrintRect r;
    if (dpiX <= 0 || dpiY <= 0) return r;
    r.x = points.x * dpiX / 72.0 - offX;
    r.y = points.y * dpiY / 72.0 - offY;
    r.width = points.width * dpiX / 72.0;
    r.height = points.height * dpiY / 72.0;
    return r;
  }
};

PrinterPage pageOf(HDC printer) {
  PrinterPage p;
  p.dpiX = GetDeviceCaps(printer, LOGPIXELSX);
  p.dpiY = GetDeviceCaps(printer, LOGPIXELSY);
  if (p.dpiX <= 0 || p.dpiY <= 0) return p;
  p.offX = GetDeviceCaps(printer, PHYSICALOFFSETX);
  p.offY = GetDeviceCaps(printer, PHYSICALOFFSETY);
  const double w = GetDeviceCaps(printer, PHYSICALWIDTH), h = GetDeviceCaps(printer, PHYSICALHEIGHT);
  const double areaW = GetDeviceCaps(printer, HORZRES), areaH = GetDeviceCaps(printer, VERTRES);
  const double x = 72.0 / p.dpiX, y = 72.0 / p.dpiY;
  // A driver that gives no paper size: the printable area is the paper.
  p.paper.width = (w > 0 ? w : areaW) * x;
  p.paper.height = (h > 0 ? h : areaH) * y;
  p.paper.left = p.offX * x;
  p.paper.top = p.offY * y;
  p.paper.right = w > 0 ? (w - p.offX - areaW) * x : 0;
  p.paper.bottom = h > 0 ? (h - p.offY - areaH) * y : 0;
  return p;
}

// Turns the paper a quarter on the device context before the document starts.
bool turnPaper(HDC printer, HGLOBAL devMode) {
  DEVMODEA *dm = devMode ? static_cast<DEVMODEA *>(GlobalLock(devMode)) : nullptr;
  if (!dm) return false;
  const bool wide = (dm->dmFields & DM_ORIENTATION) && dm->dmOrientation == DMORIENT_LANDSCAPE;
  dm->dmFields |= DM_ORIENTATION;
  dm->dmOrientation = wide ? DMORIENT_PORTRAIT : DMORIENT_LANDSCAPE;
  const bool ok = ResetDCA(printer, dm) != nullptr;
  GlobalUnlock(devMode);
  return ok;
}

// One page carrying the picture on the printer's device context; output, when
// given, is the file the printer's job is written to.
bool printPage(HDC printer, HGLOBAL devMode, const uint32_t *pixels, int width, int height,
               const char *documentName, const char *output) {
  // The shared layout, on the paper the printer holds; turned when it asks.
  PrinterPage page = pageOf(printer);
  KPageLayout layout = KPrinter::layoutPage(width, height, page.paper);
  if (layout.turn && turnPaper(printer, devMode)) {
    page = pageOf(printer);
    layout = KPrinter::layoutPage(width, height, page.paper);
  }
  const KPrintRect fit = page.toDevice(layout.picture);

  // GDI wants blue, green, red: the picture has red in its lowest byte.
  std::vector<uint32_t> bgr(size_t(width) * size_t(height));
  for (size_t i = 0; i < bgr.size(); ++i) {
    const uint32_t p = pixels[i];
    bgr[i] = (p & 0xFF00u) | ((p & 0xFFu) << 16) | ((p >> 16) & 0xFFu);
  }
  BITMAPINFO bmi = {};
  bmi.bmiHeader.biSize = sizeof bmi.bmiHeader;
  bmi.bmiHeader.biWidth = width;
  bmi.bmiHeader.biHeight = -height;  // top row first
  bmi.bmiHeader.biPlanes = 1;
  bmi.bmiHeader.biBitCount = 32;
  bmi.bmiHeader.biCompression = BI_RGB;

  HDC memory = CreateCompatibleDC(printer);
  HBITMAP bitmap = memory ? CreateCompatibleBitmap(printer, width, height) : nullptr;
  if (!bitmap) {
    if (memory) DeleteDC(memory);
    return false;
  }
  HGDIOBJ old = SelectObject(memory, bitmap);
  SetDIBits(memory, bitmap, 0, UINT(height), bgr.data(), &bmi, DIB_RGB_COLORS);

  // 64-bit Windows: the record's size is the structure's own (not a 32-bit constant).
  DOCINFOA doc = {};
  doc.cbSize = sizeof doc;
  doc.lpszDocName = documentName ? documentName : "Pabrix";
  doc.lpszOutput = output;
  bool ok = false;
  if (fit.width > 0 && StartDocA(printer, &doc) > 0) {
    if (StartPage(printer) > 0) {
      SetStretchBltMode(printer, COLORONCOLOR);
      const int x = int(fit.x), y = int(fit.y), w = int(fit.width), h = int(fit.height);
      ok = (w == width && h == height)
               ? BitBlt(printer, x, y, w, h, memory, 0, 0, SRCCOPY)
               : StretchBlt(printer, x, y, w, h, memory, 0, 0, width, height, SRCCOPY);
      ok = EndPage(printer) > 0 && ok;
    }
    ok = EndDoc(printer) > 0 && ok;
    if (ok) gPlacement = layout.picture;
  }
  SelectObject(memory, old);
  DeleteObject(bitmap);
  DeleteDC(memory);
  return ok;
}

// The dialog's own settings records, which PrintDlgA allocates.
void freeDialogRecords(PRINTDLGA &pd) {
  if (pd.hDevMode) GlobalFree(pd.hDevMode);
  if (pd.hDevNames) GlobalFree(pd.hDevNames);
  if (pd.hDC) DeleteDC(pd.hDC);
  pd.hDevMode = pd.hDevNames = nullptr;
  pd.hDC = nullptr;
}

// The print request: a device context for one copy of page 1. lStructSize is the
// structure's own size: a 32-bit constant there fails on 64-bit Windows.
PRINTDLGA printRequest(DWORD flags, HWND owner) {
  PRINTDLGA pd = {};
  pd.lStructSize = sizeof pd;
  pd.hwndOwner = KNativeWindow::isWindow(owner)
                    ? static_cast<Win32HWND>(static_cast<KWin32Window *>(owner)->systemHandle())
                    : nullptr;
  pd.Flags = flags | PD_RETURNDC | PD_USEDEVMODECOPIESANDCOLLATE;
  pd.nFromPage = 0;
  pd.nToPage = 1;
  pd.nMinPage = 1;
  pd.nMaxPage = 1;
  pd.nCopies = 1;
  return pd;
}

// Prints the page on the device context the dialog gave (to the file at path
// when there is one), lets the dialog's records go and notes the outcome.
bool printOn(PRINTDLGA &pd, const uint32_t *pixels, int width, int height,
             const char *documentName, const char *path) {
  const bool ok = pd.hDC && printPage(pd.hDC, pd.hDevMode, pixels, width, height, documentName, path);
  freeDialogRecords(pd);
  gOutcome = ok ? K_PRINT_DONE : K_PRINT_FAILED;
  return ok;
}

// The dialog, closed as cancelled by a close request; nothing shows when one is
// already pending.
bool showDialog(PRINTDLGA &pd) {
  if (KMiscTools::_closeModal && KMiscTools::_closeModal()) return false;
  bool shown = false;
  {
    kwin32::ModalCloser closer(KMiscTools::_closeModal);
    shown = PrintDlgA(&pd) != 0;
  }
  if (KMiscTools::_modalClosed) KMiscTools::_modalClosed();
  return shown;
}

}  // namespace

bool KPrinter::available() { return true; }

bool KPrinter::printPicture(const uint32_t *pixels, int width, int height, const char *documentName,
                            HWND owner) {
  gOutcome = K_PRINT_FAILED;
  gPlacement = KPrintRect();
  if (!printable(pixels, width, height)) return false;
  PRINTDLGA pd = printRequest(0, owner);
  if (!showDialog(pd)) {
    // Zero from the dialog is a cancel unless it reports an error of its own.
    gOutcome = CommDlgExtendedError() == 0 ? K_PRINT_CANCELLED : K_PRINT_FAILED;
    freeDialogRecords(pd);
    return false;
  }
  return printOn(pd, pixels, width, height, documentName, nullptr);
}

// Without a dialog: the default printer, its job written to the file at path in
// the printer's own language (PostScript under Wine).
bool KPrinter::exportPicture(const uint32_t *pixels, int width, int height, const char *documentName,
                             const char *path) {
  gOutcome = K_PRINT_FAILED;
  gPlacement = KPrintRect();
  if (!printable(pixels, width, height) || !path || !*path) return false;
  PRINTDLGA pd = printRequest(PD_RETURNDEFAULT, nullptr);
  if (!PrintDlgA(&pd)) {
    freeDialogRecords(pd);
    return false;
  }
  return printOn(pd, pixels, width, height, documentName, path);
}

// The dialog's "Print to file" asks for its own file name.
void KPrinter::setOutputFolder(const char *) {}

KPrintOutcome KPrinter::lastOutcome() { return gOutcome; }

KPrintRect KPrinter::lastPlacement() { return gPlacement; }
