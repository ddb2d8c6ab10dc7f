// Printing on Windows through the common print dialog and GDI, under Wine.
// Unscripted only bad pictures are tried (they fail before any dialog);
// wine_print.sh runs the rest against a private CUPS file printer, answering
// the dialog with Return (PABRIX_PRINT_ANSWER=print), Escape (=cancel) or a
// close request of the program's (=close), and checks the printed page itself.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

#include "print/KPrinter.h"
#include "tools/KMiscTools.h"
// After the engine's headers: the system's window handle is Win32HWND here.
#include "platform/win32/KWin32.h"

namespace {

const char *answer() {
  const char *a = std::getenv("PABRIX_PRINT_ANSWER");
  return a ? a : "";
}

// White, a blue frame round the edge (so the page shows the picture's extent)
// and a red block in the middle; red in the lowest byte.
std::vector<uint32_t> picture() {
  std::vector<uint32_t> p(640 * 480, 0xFFFFFFFFu);
  for (int y = 0; y < 480; ++y)
    for (int x = 0; x < 640; ++x) {
      if (x < 8 || y < 8 || x >= 632 || y >= 472) p[size_t(y) * 640 + x] = 0xFFFF0000u;
      if (x >= 240 && x < 400 && y >= 180 && y < 300) p[size_t(y) * 640 + x] = 0xFF0000FFu;
    }
  return p;
}

TEST(WindowsPrinting, BadPicturesFailBeforeAnyDialog) {
  std::vector<uint32_t> p = picture();
  EXPECT_FALSE(KPrinter::printPicture(nullptr, 640, 480, "Pabrix", nullptr));
  EXPECT_FALSE(KPrinter::printPicture(p.data(), 0, 480, "Pabrix", nullptr));
  EXPECT_FALSE(KPrinter::printPicture(p.data(), KPrinter::kMaxSide + 1, 1, "Pabrix", nullptr));
  EXPECT_EQ(K_PRINT_FAILED, KPrinter::lastOutcome());
  EXPECT_EQ(0, KPrinter::lastPlacement().width);
}

TEST(WindowsPrinting, TheDialogPrintsOnePageOrIsCancelled) {
  if (!*answer()) GTEST_SKIP() << "run by wine_print.sh";
  std::vector<uint32_t> p = picture();
  const bool print = std::strcmp(answer(), "print") == 0;
  // A close request comes once the dialog shows, as the game window's would.
  static std::atomic<bool> closeAsked{false};
  KMiscTools::_closeModal = [] { return closeAsked.load(); };
  std::thread request([] {
    if (std::strcmp(answer(), "close") != 0) return;
    for (int i = 0; i < 300 && !FindWindowA(nullptr, "Print"); i++)
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    std::this_thread::sleep_for(std::chrono::seconds(1));
    closeAsked = true;
  });
  EXPECT_EQ(print, KPrinter::printPicture(p.data(), 640, 480, "Pabrix", nullptr));
  request.join();
  KMiscTools::_closeModal = nullptr;
  EXPECT_EQ(print ? K_PRINT_DONE : K_PRINT_CANCELLED, KPrinter::lastOutcome());
  const KPrintRect r = KPrinter::lastPlacement();
  if (print) {
    EXPECT_NEAR(640.0 / 480.0, r.width / r.height, 0.01);
    EXPECT_GT(r.width, 400) << "fitted to a page some 8 inches wide";
  } else {
    EXPECT_EQ(0, r.width);
  }
}

}  // namespace
