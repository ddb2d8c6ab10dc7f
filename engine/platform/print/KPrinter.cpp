// KPrinter on Linux: the program's side of printing. The dialog, the PDF export and
// the toolkit behind them (GTK, cairo, pango and the rest) live in the print backend
// module, opened the first time printing is asked for: a program that never prints
// never maps them, which keeps start-up short and memory small. When the module
// or its libraries cannot be loaded, printing is unavailable (one line in the log)
// and the program carries on. Application thread only.
#include "print/KPrinter.h"

#include <SDL.h>
#include <SDL_syswm.h>

#include <dlfcn.h>
#include <unistd.h>

#include <string>

#include "platform/print/KPrintBackend.h"
#include "platform/sdl/KSdlWindow.h"
#include "platform/sdl/KSdlX11.h"
#include "tools/KLog.h"
#include "tools/KMiscTools.h"

namespace {

enum class BackendState { Untried, Ready, Unavailable };
BackendState gState = BackendState::Untried;
const KPrintBackend *gBackend = nullptr;
KPrintOutcome gOutcome = K_PRINT_FAILED;
KPrintRect gPlacement;
std::string gOutputFolder;

void hostTrouble(const char *message) { logTrouble("print", "%s", message); }

bool hostCloseAsked() {
  return (KMiscTools::_closeModal && KMiscTools::_closeModal()) || KNativeWindow::closePending();
}

void hostDialogClosed() {
  if (KMiscTools::_modalClosed) KMiscTools::_modalClosed();
}

const KPrintHost kHost = {K_PRINT_BACKEND_VERSION, hostTrouble, hostCloseAsked, hostDialogClosed};

// The program's folder, as KMiscTools found it, with its trailing slash.
std::string programFolder() {
  if (KMiscTools::currentFilePath[0] == 0) KMiscTools::initMiscTools();
  std::string folder = KMiscTools::currentFilePath;
  if (!folder.empty() && folder.back() != '/') folder += '/';
  return folder;
}

// Opens the module beside the program (the build tree) or where an installed copy
// keeps it; null, with the reason, when neither loads.
void *openModule(std::string &why) {
  const std::string folder = programFolder();
  if (folder.empty()) {
    why = "the program's folder is unknown";
    return nullptr;
  }
  for (const std::string &path : {folder + K_PRINT_BACKEND_FILE,
                                  folder + K_PRINT_BACKEND_DIR "/" K_PRINT_BACKEND_FILE}) {
    if (access(path.c_str(), F_OK) != 0) continue;
    // Never closed: a toolkit cannot be unloaded once started.
    void *module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
    if (module) return module;
    const char *error = dlerror();
    why = error ? error : path + " does not load";
    return nullptr;
  }
  why = std::string(K_PRINT_BACKEND_FILE) + " is neither in " + folder + " nor in " + folder +
        K_PRINT_BACKEND_DIR;
  return nullptr;
}

const KPrintBackend *loadBackend() {
  std::string why;
  void *module = openModule(why);
  if (!module) {
    logTrouble("print", "printing unavailable: %s", why.c_str());
    return nullptr;
  }
  KPrintBackendEntry entry =
      reinterpret_cast<KPrintBackendEntry>(dlsym(module, K_PRINT_BACKEND_ENTRY));
  const KPrintBackend *backend = entry ? entry(&kHost) : nullptr;
  if (!backend || backend->version != K_PRINT_BACKEND_VERSION) {
    logTrouble("print", "printing unavailable: the print module is of another version");
    return nullptr;
  }
  return backend;
}

// Where the game window is, for the dialog to open over it.
KPrintOwner ownerOf(HWND owner) {
  KPrintOwner o{};
  SDL_Window *w = kSdlWindow(owner);
  if (!w) return o;
  SDL_GetWindowPosition(w, &o.x, &o.y);
  SDL_GetWindowSize(w, &o.width, &o.height);
  o.known = o.width > 0 && o.height > 0;
#ifdef SDL_VIDEO_DRIVER_X11
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (SDL_GetWindowWMInfo(w, &info) && info.subsystem == SDL_SYSWM_X11)
    o.x11Window = static_cast<unsigned long>(info.info.x11.window);
#endif
  return o;
}

bool finish(KPrintOutcome outcome, const KPrintRect &placed) {
  gOutcome = outcome;
  gPlacement = outcome == K_PRINT_DONE ? placed : KPrintRect();
  return outcome == K_PRINT_DONE;
}

}  // namespace

bool KPrinter::available() {
  if (gState == BackendState::Untried) {
    gBackend = loadBackend();
    gState = gBackend && gBackend->start() ? BackendState::Ready : BackendState::Unavailable;
    // The toolkit put in its own handler of a lost display, which ends the
    // process without saving: the program's goes back in front.
    kX11WatchDisplayLoss();
  }
  return gState == BackendState::Ready;
}

KPrintOutcome KPrinter::lastOutcome() { return gOutcome; }

KPrintRect KPrinter::lastPlacement() { return gPlacement; }

void KPrinter::setOutputFolder(const char *folder) { gOutputFolder = folder ? folder : ""; }

bool KPrinter::printPicture(const uint32_t *pixels, int width, int height,
                            const char *documentName, HWND owner) {
  // The dialog leaves the game window behind; bring it forward again however the
  // job ends.
  struct RaiseOwner {
    HWND window;
    ~RaiseOwner() {
      if (KNativeWindow::isWindow(window)) window->raise();
    }
  } raiseOwner{owner};
  if (!printablePicture(pixels, width, height) || !available())
    return finish(K_PRINT_FAILED, KPrintRect());
  const KPrintOwner where = ownerOf(owner);
  KPrintRect placed;
  const KPrintOutcome outcome = gBackend->print(pixels, width, height, documentName, &where,
                                                gOutputFolder.c_str(), &placed);
  return finish(outcome, placed);
}

bool KPrinter::exportPicture(const uint32_t *pixels, int width, int height,
                             const char *documentName, const char *path) {
  if (!path || !*path || !printablePicture(pixels, width, height) || !available())
    return finish(K_PRINT_FAILED, KPrintRect());
  KPrintRect placed;
  const KPrintOutcome outcome =
      gBackend->exportPdf(pixels, width, height, documentName, path, &placed);
  return finish(outcome, placed);
}
