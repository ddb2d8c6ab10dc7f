// Printing in an X display of its own: the page exported as PDF and rendered with
// pdftoppm, and the real print dialog over the game window driven with xdotool
// (Escape cancels; "Print to File" writes the page). Every wait is bounded and a
// watchdog closes a dialog that the keys did not, so the suite never hangs.
#include <SDL.h>
#include <gtk/gtk.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <thread>

#include <signal.h>
#include <unistd.h>

#include "activities/printMonster.h"
#include "app/closeRequest.h"
#include "app/shell.h"
#include "input/KInput.h"
#include "print/KPrinter.h"
#include "platform/KNativeWindow.h"
#include "platform/sdl/KSdlWindow.h"
#include "print/print_fixture.h"
#include "support/TestHome.h"
#include "tools/KMiscTools.h"
#include "window/KWindow.h"
#include "window/KWindowBase.h"

using namespace printtest;

void sendCloseButton(SDL_Window *window);  // x11_close.cpp

namespace {

std::string run(const std::string &command) {
  std::string out;
  FILE *p = popen(command.c_str(), "r");
  if (!p) return out;
  char buf[256];
  while (fgets(buf, sizeof buf, p)) out += buf;
  pclose(p);
  return out;
}

std::string firstLine(const std::string &s) { return s.substr(0, s.find('\n')); }

// A page rendered to pixels at `dpi`, top row first.
struct Page {
  int w = 0, h = 0;
  double dpi = 72;
  std::vector<uint8_t> rgb;
  uint32_t at(int x, int y) const {
    const uint8_t *p = &rgb[(size_t(y) * w + x) * 3];
    return printtest::rgb(p[0], p[1], p[2]);
  }
  // The page pixel under the centre of picture pixel (px, py), the picture having
  // been placed at `r` (points).
  uint32_t picture(const KPrintRect &r, int px, int py) const {
    const double x = (r.x + (px + 0.5) * r.width / W) * dpi / 72;
    const double y = (r.y + (py + 0.5) * r.height / H) * dpi / 72;
    return at(int(x), int(y));
  }
};

int pageCount(const std::string &pdf) {
  std::istringstream info(run("pdfinfo '" + pdf + "' 2>/dev/null"));
  std::string line;
  while (std::getline(info, line))
    if (line.rfind("Pages:", 0) == 0) return std::atoi(line.c_str() + 6);
  return 0;
}

Page render(const std::string &pdf, double dpi) {
  Page page;
  page.dpi = dpi;
  const std::string base = pdf + ".render";
  run("pdftoppm -r " + std::to_string(int(dpi)) + " -singlefile '" + pdf + "' '" + base + "'");
  std::ifstream in(base + ".ppm", std::ios::binary);
  std::string magic;
  int maxval = 0;
  in >> magic >> page.w >> page.h >> maxval;
  in.get();
  if (magic != "P6" || maxval != 255 || page.w <= 0 || page.h <= 0) return Page();
  page.rgb.resize(size_t(page.w) * page.h * 3);
  in.read(reinterpret_cast<char *>(page.rgb.data()), std::streamsize(page.rgb.size()));
  if (!in) return Page();
  std::remove((base + ".ppm").c_str());
  return page;
}

// The monster on the page: the parts and body where the picture puts them, white
// where the screen had its hole, palette and background, and nothing of the
// background or buttons anywhere.
void expectMonsterPage(const Page &page, const KPrintRect &r) {
  ASSERT_GT(page.w, 0) << "pdftoppm gave no page";
  ASSERT_GT(r.width, 0);
  for (size_t i = 0; i < 3; i++)  // the parts wholly inside the frame
    EXPECT_TRUE(near(page.picture(r, kPlaced[i].cx(), kPlaced[i].cy()), kPlaced[i].colour, 16))
        << "part " << i << ": " << describe(page.picture(r, kPlaced[i].cx(), kPlaced[i].cy()));
  EXPECT_TRUE(near(page.picture(r, 400, 300), kBody, 16));
  EXPECT_TRUE(near(page.picture(r, kHole.cx(), kHole.cy()), kWhite, 8));
  for (const Block &p : kPalette) EXPECT_TRUE(near(page.picture(r, p.cx(), p.cy()), kWhite, 8));
  EXPECT_TRUE(near(page.picture(r, 200, 200), kWhite, 8));  // another monster's part
  size_t strays = 0, outside = 0;
  const double s = page.dpi / 72;
  for (int y = 0; y < page.h; y++)
    for (int x = 0; x < page.w; x++) {
      const uint32_t c = page.at(x, y);
      if (near(c, kBackground, 40) || near(c, kButtons, 40)) strays++;
      const bool inPicture = x >= int(r.x * s) - 1 && x <= int((r.x + r.width) * s) + 1 &&
                             y >= int(r.y * s) - 1 && y <= int((r.y + r.height) * s) + 1;
      if (!inPicture && !near(c, kWhite, 4)) outside++;
    }
  EXPECT_EQ(strays, 0u);
  EXPECT_EQ(outside, 0u) << "ink outside the picture's place on the page";
}

// The PDF files in a folder.
std::vector<std::string> pdfsIn(const std::string &folder) {
  std::vector<std::string> out;
  for (const auto &e : std::filesystem::directory_iterator(folder))
    if (e.path().extension() == ".pdf") out.push_back(e.path().string());
  return out;
}

// The smallest rectangle holding every pixel of the page that is not white.
KPrintRect inkOf(const Page &page) {
  int x1 = page.w, y1 = page.h, x2 = -1, y2 = -1;
  for (int y = 0; y < page.h; y++)
    for (int x = 0; x < page.w; x++)
      if (!near(page.at(x, y), kWhite, 8)) {
        x1 = std::min(x1, x), y1 = std::min(y1, y);
        x2 = std::max(x2, x), y2 = std::max(y2, y);
      }
  if (x2 < 0) return KPrintRect();
  return KPrintRect{double(x1), double(y1), double(x2 + 1 - x1), double(y2 + 1 - y1)};
}

TEST(PrintPdf, ThePictureFillsTheBetterTurnedPageCentred) {
  // A wide and a tall picture, all ink, with a blue corner that shows it is not
  // turned with the page; measured from the rendered PDF.
  for (const auto &[w, h] : {std::pair<int, int>{640, 480}, {200, 330}}) {
    SCOPED_TRACE(std::to_string(w) + "x" + std::to_string(h));
    std::vector<uint32_t> pic(size_t(w) * h, kPart1);
    for (int y = h - 20; y < h; y++)
      for (int x = w - 20; x < w; x++) pic[size_t(y) * w + x] = kPart2;
    const std::string pdf = testhome::root() + "/blocks.pdf";
    ASSERT_TRUE(KPrinter::exportPicture(pic.data(), w, h, "Pabrix", pdf.c_str()));
    EXPECT_EQ(KPrinter::lastOutcome(), K_PRINT_DONE);
    EXPECT_EQ(pageCount(pdf), 1);
    const Page page = render(pdf, 72);
    std::remove(pdf.c_str());
    ASSERT_GT(page.w, 0);
    EXPECT_EQ(page.w > page.h, w > h) << "page " << page.w << "x" << page.h;
    const KPrintRect ink = inkOf(page);
    const double left = ink.x, right = page.w - ink.x - ink.width;
    const double top = ink.y, bottom = page.h - ink.y - ink.height;
    EXPECT_NEAR(left, right, 2);
    EXPECT_NEAR(top, bottom, 2);
    // Only the page margin (at most about half an inch) is left on the limiting sides.
    EXPECT_GT(std::min(left, top), 4);
    EXPECT_LT(std::min(left, top), 48);
    EXPECT_NEAR(ink.width / ink.height, double(w) / h, 0.02);
    const KPrintRect r = KPrinter::lastPlacement();
    // Pixels the picture's edges only partly cover count as ink.
    EXPECT_NEAR(r.x, ink.x, 1.5);
    EXPECT_NEAR(r.y, ink.y, 1.5);
    EXPECT_NEAR(r.width, ink.width, 2.5);
    EXPECT_TRUE(near(page.at(int(ink.x + ink.width) - 3, int(ink.y + ink.height) - 3), kPart2, 24));
    EXPECT_TRUE(near(page.at(int(ink.x) + 3, int(ink.y) + 3), kPart1, 24));
  }
}

TEST(PrintPdf, AFileThatCannotBeWrittenIsAFailure) {
  std::vector<uint32_t> pic(size_t(W) * H, kWhite);
  EXPECT_FALSE(KPrinter::exportPicture(pic.data(), W, H, "Pabrix", "/nonexistent-dir/x.pdf"));
  EXPECT_EQ(KPrinter::lastOutcome(), K_PRINT_FAILED);
  EXPECT_EQ(KPrinter::lastPlacement().width, 0);
}

// Forwards to the real (SDL) input and records the pointer's visibility changes.
class PointerSpy : public KInputSource {
public:
  KInputSource *inner = nullptr;
  std::vector<bool> changes;
  void pointerPosition(int &x, int &y) override { inner->pointerPosition(x, y); }
  bool leftButtonDown() override { return inner->leftButtonDown(); }
  bool keyDown(uint16_t key) override { return inner->keyDown(key); }
  void setSystemPointerVisible(bool visible) override {
    changes.push_back(visible);
    fullScreen.push_back(window && window->isFullScreen());
    inner->setSystemPointerVisible(visible);
  }
  const KWindowBase *window = nullptr;
  std::vector<bool> fullScreen;  // the game window's mode at each change
};

// Runs on the main thread inside the dialog's loop: answers every open dialog.
gboolean cancelDialogs(gpointer) {
  GList *all = gtk_window_list_toplevels();
  for (GList *l = all; l; l = l->next)
    if (GTK_IS_DIALOG(l->data) && gtk_widget_get_visible(GTK_WIDGET(l->data)))
      gtk_dialog_response(GTK_DIALOG(l->data), GTK_RESPONSE_CANCEL);
  g_list_free(all);
  return G_SOURCE_REMOVE;
}

struct Geometry {
  int x = 0, y = 0, w = 0, h = 0;
};

Geometry geometryOf(const std::string &window) {
  Geometry g;
  std::istringstream in(run("xdotool getwindowgeometry --shell " + window));
  std::string line;
  while (std::getline(in, line)) {
    const size_t eq = line.find('=');
    if (eq == std::string::npos) continue;
    const int v = std::atoi(line.c_str() + eq + 1);
    const std::string k = line.substr(0, eq);
    if (k == "X") g.x = v;
    if (k == "Y") g.y = v;
    if (k == "WIDTH") g.w = v;
    if (k == "HEIGHT") g.h = v;
  }
  return g;
}

// Screen colour at (x, y), through ImageMagick.
uint32_t screenPixel(int x, int y) {
  const std::string out = run("import -window root -crop 1x1+" + std::to_string(x) + "+" +
                              std::to_string(y) + " -depth 8 rgb:- 2>/dev/null | od -An -tu1");
  int r = -1, g = -1, b = -1;
  std::istringstream(out) >> r >> g >> b;
  return r < 0 ? 0 : rgb(r, g, b);
}

// Finds the print dialog, notes where it is and what is on top, then types `keys`
// into it ("hold K" holds key K down for a second). A watchdog answers the dialog
// itself if it is still open afterwards.
class DialogDriver {
public:
  explicit DialogDriver(std::string keys) : _keys(std::move(keys)) {
    _thread = std::thread([this] { drive(); });
  }
  ~DialogDriver() { finish(); }
  void finish() {
    _done = true;
    if (_thread.joinable()) _thread.join();
  }

  std::atomic<bool> found{false}, watchdogFired{false};
  Geometry dialog;
  std::string transientFor;  // xprop's answer: whose dialog the window manager is told
  uint32_t dialogCentre = 0;

private:
  void drive() {
    const std::string id = firstLine(
        run("timeout 60 xdotool search --sync --onlyvisible --name '^Print$' 2>/dev/null"));
    if (!id.empty()) {
      found = true;
      dialog = geometryOf(id);
      transientFor = run("xprop -id " + id + " WM_TRANSIENT_FOR 2>/dev/null");
      std::this_thread::sleep_for(std::chrono::milliseconds(500));  // printers listed
      // Mapped is not yet drawn: a loaded machine paints the dialog late.
      for (int i = 0; i < 100; i++) {
        dialogCentre = screenPixel(dialog.x + dialog.w / 2, dialog.y + dialog.h / 2);
        if (!near(dialogCentre, kBackground, 40)) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
      }
      // A loaded machine may list the printers late and lose the first keys: the
      // keys go again while the dialog stays open.
      for (int attempt = 0; attempt < 3 && !_done; attempt++) {
        if (attempt > 0 && !stillOpen()) break;
        run("xdotool windowfocus --sync " + id + " 2>/dev/null");
        if (_keys.rfind("hold ", 0) == 0)  // as a child presses: down for a second
          run("xdotool keydown " + _keys.substr(5) + "; sleep 1; xdotool keyup " +
              _keys.substr(5));
        else
          run("xdotool key --delay 150 " + _keys);
        for (int i = 0; i < 100 && !_done; i++)
          std::this_thread::sleep_for(std::chrono::milliseconds(100));
      }
    }
    for (int i = 0; i < 100 && !_done; i++)
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    if (!_done) {
      watchdogFired = true;
      g_idle_add(cancelDialogs, nullptr);
    }
  }

  static bool stillOpen() {
    return !run("xdotool search --onlyvisible --name '^Print$' 2>/dev/null").empty();
  }

  std::string _keys;
  std::atomic<bool> _done{false};
  std::thread _thread;
};

class PrintDialog : public PrintTest {
protected:
  void SetUp() override {
    PrintTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    KInput::setSource(nullptr);
    spy.inner = KInput::source();
    KInput::setSource(&spy);
    spy.window = dynamic_cast<const KWindowBase *>(window);
    gameId = firstLine(run("xdotool search --name '^Pabrix$' 2>/dev/null"));
    ASSERT_FALSE(gameId.empty());
    game = geometryOf(gameId);
    // The screen as the child sees it, then the frame in which the button is hit.
    drawScreenFrame();
    window->flipBackBuffer(false, true);
    drawScreenFrame();
    KInput::hidePointer();
    spy.changes.clear();
  }
  void TearDown() override {
    KInput::setSource(nullptr);
    PrintTest::TearDown();
  }

  // Pumps the game window until it has the keyboard or two seconds pass.
  bool gameHasFocus() {
    for (int i = 0; i < 100; i++) {
      window->processEvents();
      if (firstLine(run("xdotool getwindowfocus 2>/dev/null")) == gameId) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
  }

  // The key that closed the dialog must not reach the game afterwards (Escape
  // would close the screen): the platform reports keys held at focus changes, late.
  void expectEscapeUnseen() {
    for (int i = 0; i < 40; i++) {
      window->processEvents();
      ASSERT_FALSE(KInput::isPressed(K_VK_ESCAPE)) << "after " << i * 20 << " ms";
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
  }

  void expectBackInTheGame() {
    ASSERT_EQ(spy.changes.size(), 2u);
    EXPECT_TRUE(spy.changes[0]);  // shown for the dialog
    EXPECT_FALSE(spy.changes[1]);
    EXPECT_EQ(SDL_ShowCursor(SDL_QUERY), SDL_DISABLE);
    EXPECT_TRUE(firstLine(run("xdotool search --onlyvisible --name '^Print$' 2>/dev/null")).empty())
        << "the dialog is still on screen";
    EXPECT_TRUE(gameHasFocus());
    EXPECT_FALSE(window->isQuit());
  }

  PointerSpy spy;
  std::string gameId;
  Geometry game;
};

TEST_F(PrintDialog, OpensOverTheGameWindowAndEscapeCancels) {
  DialogDriver driver("hold Escape");
  printMonster();
  expectEscapeUnseen();
  driver.finish();
  ASSERT_TRUE(driver.found) << "no print dialog appeared";
  EXPECT_FALSE(driver.watchdogFired) << "Escape did not close the dialog";
  EXPECT_EQ(KPrinter::lastOutcome(), K_PRINT_CANCELLED);
  // Centred over the game window and on top of it.
  const int cx = driver.dialog.x + driver.dialog.w / 2;
  EXPECT_NEAR(cx, game.x + game.w / 2, 8);
  EXPECT_GE(driver.dialog.y, game.y);
  EXPECT_FALSE(near(driver.dialogCentre, kBackground, 40)) << describe(driver.dialogCentre);
  char hex[32];
  snprintf(hex, sizeof hex, "0x%lx", std::strtoul(gameId.c_str(), nullptr, 10));
  EXPECT_NE(driver.transientFor.find(hex), std::string::npos) << driver.transientFor;
  expectBackInTheGame();
  EXPECT_TRUE(pdfsIn(dir).empty());
}

TEST_F(PrintDialog, PrintToFileWritesTheMonsterPageToTheDocumentsFolder) {
  // No print server runs: "Print to File" is chosen already, so Return prints.
  DialogDriver driver("Return");
  printMonster();
  driver.finish();
  ASSERT_TRUE(driver.found) << "no print dialog appeared";
  EXPECT_FALSE(driver.watchdogFired);
  ASSERT_EQ(KPrinter::lastOutcome(), K_PRINT_DONE);
  expectBackInTheGame();
  // Named for the moment it was printed, in the documents folder.
  const std::vector<std::string> pdfs = pdfsIn(dir);
  ASSERT_EQ(pdfs.size(), 1u);
  const std::string name = std::filesystem::path(pdfs[0]).filename().string();
  EXPECT_TRUE(std::regex_match(name, std::regex("Pabrix \\d{4}-\\d\\d-\\d\\d \\d\\d-\\d\\d-\\d\\d\\.pdf")))
      << name;
  EXPECT_EQ(pageCount(pdfs[0]), 1);
  expectMonsterPage(render(pdfs[0], 72), KPrinter::lastPlacement());
}

TEST_F(PrintDialog, FromFullScreenTheDialogGetsAWindowAndFullScreenComesBack) {
  window->toggleFullScreen(true);
  spy.changes.clear();
  spy.fullScreen.clear();
  DialogDriver driver("hold Escape");
  printMonster();
  driver.finish();
  ASSERT_TRUE(driver.found) << "no print dialog appeared";
  EXPECT_EQ(KPrinter::lastOutcome(), K_PRINT_CANCELLED);
  EXPECT_EQ(spy.fullScreen, (std::vector<bool>{false, false})) << "windowed around the dialog";
  EXPECT_TRUE(spy.window && spy.window->isFullScreen()) << "and full screen again after it";
  window->toggleFullScreen(false);
}

TEST_F(PrintDialog, PreviewIsNotReportedAsPrinted) {
  // Here no previewer is installed: the dialog closes and nothing is printed.
  DialogDriver driver("alt+v");
  printMonster();
  driver.finish();
  ASSERT_TRUE(driver.found) << "no print dialog appeared";
  EXPECT_FALSE(driver.watchdogFired);
  EXPECT_EQ(KPrinter::lastOutcome(), K_PRINT_CANCELLED);
  expectBackInTheGame();
}

// Asks this process to quit (SIGTERM, or `quit` when given) once a window titled
// `title` is on screen; says whether it found one.
class QuitWhenShown {
public:
  explicit QuitWhenShown(const std::string &title, void (*quit)() = nullptr) {
    // xwininfo, as xdotool does not match the UTF-8 title of the message box; and
    // no pipe to this process, which the box's forked process would keep open.
    _thread = std::thread([this, title, quit] {
      shown = std::system(("for i in $(seq 100); do xwininfo -root -tree | grep -q '\"" + title +
                           "\": ' && exit 0; sleep 0.2; done; exit 1")
                              .c_str()) == 0;
      std::this_thread::sleep_for(std::chrono::milliseconds(300));
      if (quit) quit();
      else kill(getpid(), SIGTERM);
    });
  }
  ~QuitWhenShown() { _thread.join(); }
  std::atomic<bool> shown{false};

private:
  std::thread _thread;
};

// A logout sends SIGTERM, then SIGKILL a few seconds later: an open dialog must not
// keep the program from saving and leaving.
TEST_F(PrintDialog, AQuitSignalClosesTheDialogAsCancelled) {
  installCloseRequestHandlers();
  {
    QuitWhenShown quit("Print");
    printMonster();
    EXPECT_TRUE(quit.shown) << "no print dialog appeared";
  }
  EXPECT_EQ(KPrinter::lastOutcome(), K_PRINT_CANCELLED);
  EXPECT_TRUE(closeRequested());
  EXPECT_TRUE(firstLine(run("xdotool search --onlyvisible --name '^Print$' 2>/dev/null")).empty());
  pollCloseRequest();
  EXPECT_TRUE(window->isQuit()) << "the screen would not leave and save";
  removeCloseRequestHandlers();
  window->processEvents();  // the quit SDL queued too is this test's
}

TEST_F(PrintDialog, ClosingTheGameWindowClosesTheDialogAsCancelled) {
  static uint32_t gameWindowId = 0;
  gameWindowId = SDL_GetWindowID(kSdlWindow(window->getWindowHandle()));
  {
    // What the window's close button gives (SDL queues events from any thread).
    QuitWhenShown quit("Print", [] {
      SDL_Event e{};
      e.type = SDL_WINDOWEVENT;
      e.window.event = SDL_WINDOWEVENT_CLOSE;
      e.window.windowID = gameWindowId;
      SDL_PushEvent(&e);
    });
    printMonster();
    EXPECT_TRUE(quit.shown) << "no print dialog appeared";
  }
  EXPECT_EQ(KPrinter::lastOutcome(), K_PRINT_CANCELLED);
  window->processEvents();
  EXPECT_TRUE(window->isQuit()) << "the close request was lost";
}

TEST_F(PrintDialog, AQuitSignalClosesAMessageBoxAndItsButtonIsNotAClick) {
  installCloseRequestHandlers();
  static int closedBoxes = 0;
  KMiscTools::_modalClosed = [] { closedBoxes++; };
  {
    QuitWhenShown quit("Music");
    KMiscTools::messageBox("Music", "the music file is damaged");
    EXPECT_TRUE(quit.shown) << "no message box appeared";
  }
  EXPECT_EQ(closedBoxes, 1);
  EXPECT_TRUE(closeRequested());
  EXPECT_TRUE(firstLine(run("xdotool search --onlyvisible --name '^Music$' 2>/dev/null")).empty());
  KMiscTools::_modalClosed = nullptr;
  removeCloseRequestHandlers();
  window->processEvents();
}

TEST_F(PrintDialog, ExportedMonsterPageShowsTheMonsterAloneOnWhite) {
  std::vector<uint32_t> picture(size_t(W) * H);
  ASSERT_TRUE(generatePicture(picture.data()));
  const std::string pdf = dir + "/monster.pdf";
  ASSERT_TRUE(KPrinter::exportPicture(picture.data(), W, H, "Pabrix", pdf.c_str()));
  expectMonsterPage(render(pdf, 144), KPrinter::lastPlacement());
}

// The window's close button (the window manager's WM_DELETE_WINDOW) closes an
// open message box as well: the box must not keep the program from leaving.
TEST_F(PrintDialog, TheWindowsCloseButtonClosesAMessageBox) {
  static SDL_Window *game = nullptr;
  game = kSdlWindow(window->getWindowHandle());
  {
    QuitWhenShown quit("Music", [] { sendCloseButton(game); });
    KMiscTools::messageBox("Music", "the music file is damaged");
    EXPECT_TRUE(quit.shown) << "no message box appeared";
  }
  EXPECT_TRUE(firstLine(run("xdotool search --onlyvisible --name '^Music$' 2>/dev/null")).empty());
  window->processEvents();
  EXPECT_TRUE(window->isQuit()) << "the close request was lost";
}

}  // namespace
