// KPrinter on GTK 3: GtkPrintOperation with its dialog for printing, its export
// action for PDF files, and the page drawn by drawPicturePage. GTK is started only
// when printing is first asked for, so the program runs where it cannot start.
// Application thread only: the dialog runs a nested main loop on the caller's thread.
#include "platform/print/KPrinter.h"

#include <gtk/gtk.h>
#ifdef GDK_WINDOWING_X11
#include <gdk/gdkx.h>
#endif

#include <SDL.h>
#include <SDL_syswm.h>

#include <cstdio>
#include <string>

#include "platform/print/KPrintPage.h"
#include "platform/sdl/KSdlWindow.h"

namespace {

enum class ToolkitState { Untried, Ready, Unavailable };
ToolkitState gToolkit = ToolkitState::Untried;
KPrintOutcome gOutcome = K_PRINT_FAILED;
KPrintRect gPlacement;
// The choices made in the dialog (printer, copies, file name) for the next print.
GtkPrintSettings *gSettings = nullptr;
std::string gOutputFolder;

struct PageJob {
  const uint32_t *pixels = nullptr;
  int width = 0, height = 0;
  KPrintRect placed;
  bool drawn = false;
  bool previewed = false;  // "Preview" closes the dialog too, but prints nothing
};

// Where the game window is, so the dialog opens over it rather than wherever the
// desktop puts new windows (behind a full-screen game, in the worst case).
struct Owner {
  bool known = false;
  int x = 0, y = 0, w = 0, h = 0;
  unsigned long x11Window = 0;  // 0 when the game window is not an X11 window
  GtkWidget *dialog = nullptr;
};

void pumpToolkit() {
  // Lets closed windows actually leave the screen: nothing else runs GTK's loop.
  while (gtk_events_pending()) gtk_main_iteration_do(FALSE);
}

// The key that closed the dialog (Escape, Return) may still be held when the game
// window gets the keyboard back, and the game would then see it pressed: Escape
// would also close the screen. Waits until no key is down, two seconds at most.
void waitForKeysUp() {
#ifdef GDK_WINDOWING_X11
  GdkDisplay *display = gdk_display_get_default();
  if (!display || !GDK_IS_X11_DISPLAY(display)) return;
  Display *x = GDK_DISPLAY_XDISPLAY(display);
  for (int round = 0; round < 200; round++) {
    char keys[32] = {0};
    XQueryKeymap(x, keys);
    bool down = false;
    for (char k : keys) down = down || k != 0;
    if (!down) return;
    g_usleep(10 * 1000);
  }
#endif
}

void onDrawPage(GtkPrintOperation *, GtkPrintContext *context, gint, gpointer data) {
  PageJob *job = static_cast<PageJob *>(data);
  cairo_t *cr = gtk_print_context_get_cairo_context(context);
  // Without full-page mode the context's origin is the printable area's top-left.
  const KPrintRect r = drawPicturePage(cr, job->pixels, job->width, job->height,
                                       gtk_print_context_get_width(context),
                                       gtk_print_context_get_height(context));
  GtkPageSetup *setup = gtk_print_context_get_page_setup(context);
  job->placed = r;
  if (setup) {
    job->placed.x += gtk_page_setup_get_left_margin(setup, GTK_UNIT_POINTS);
    job->placed.y += gtk_page_setup_get_top_margin(setup, GTK_UNIT_POINTS);
  }
  job->drawn = r.width > 0;
}

gboolean onPreview(GtkPrintOperation *, GtkPrintOperationPreview *, GtkPrintContext *,
                   GtkWindow *, gpointer data) {
  static_cast<PageJob *>(data)->previewed = true;
  return FALSE;  // the desktop's previewer shows the page
}

Owner ownerOf(HWND owner) {
  Owner o;
  if (!KNativeWindow::isWindow(owner) || !owner->sdlWindow()) return o;
  SDL_Window *w = owner->sdlWindow();
  SDL_GetWindowPosition(w, &o.x, &o.y);
  SDL_GetWindowSize(w, &o.w, &o.h);
  o.known = o.w > 0 && o.h > 0;
#ifdef SDL_VIDEO_DRIVER_X11
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (SDL_GetWindowWMInfo(w, &info) && info.subsystem == SDL_SYSWM_X11)
    o.x11Window = static_cast<unsigned long>(info.info.x11.window);
#endif
  return o;
}

void onDialogMapped(GtkWidget *dialog, gpointer data) {
  Owner *o = static_cast<Owner *>(data);
#ifdef GDK_WINDOWING_X11
  // Tells the window manager whose dialog this is, so it stays above the game.
  GdkDisplay *display = gtk_widget_get_display(dialog);
  GdkWindow *own = gtk_widget_get_window(dialog);
  if (o->x11Window != 0 && own && GDK_IS_X11_DISPLAY(display)) {
    GdkWindow *foreign = gdk_x11_window_foreign_new_for_display(display, o->x11Window);
    if (foreign) {
      gdk_window_set_transient_for(own, foreign);
      g_object_unref(foreign);
    }
  }
#else
  (void)dialog;
  (void)o;
#endif
}

// Catches the dialog as it is realized (GtkPrintOperation never hands it out) and
// centres it over the game window. Stacking is left to the transient hint: forcing
// the dialog above everything would also put it above its own file chooser.
gboolean onToplevelRealize(GSignalInvocationHint *, guint count, const GValue *params,
                           gpointer data) {
  Owner *o = static_cast<Owner *>(data);
  if (count < 1 || o->dialog) return TRUE;
  GObject *object = static_cast<GObject *>(g_value_get_object(&params[0]));
  if (!GTK_IS_WINDOW(object)) return TRUE;
  GtkWindow *window = GTK_WINDOW(object);
  if (gtk_window_get_window_type(window) != GTK_WINDOW_TOPLEVEL) return TRUE;
  o->dialog = GTK_WIDGET(window);
  if (o->known) {
    GtkRequisition natural{0, 0};
    gtk_widget_get_preferred_size(o->dialog, nullptr, &natural);
    int x = o->x + (o->w - natural.width) / 2;
    int y = o->y + (o->h - natural.height) / 2;
    // A dialog larger than the window starts at its corner rather than off screen.
    if (x < o->x) x = o->x;
    if (y < o->y) y = o->y;
    gtk_window_move(window, x, y);
  }
  // Its X window exists only once this emission is over.
  g_signal_connect(o->dialog, "map", G_CALLBACK(onDialogMapped), o);
  return TRUE;
}

// The job of printing one picture, not yet drawn.
PageJob pictureJob(const uint32_t *pixels, int width, int height) {
  PageJob job;
  job.pixels = pixels;
  job.width = width;
  job.height = height;
  return job;
}

// Says on stderr why an operation failed, if the toolkit gave a reason, and frees it.
void reportFailure(const char *what, GError *error) {
  if (!error) return;
  fprintf(stderr, "%s failed: %s\n", what, error->message);
  g_error_free(error);
}

GtkPrintOperation *newOperation(const char *documentName, PageJob *job) {
  GtkPrintOperation *op = gtk_print_operation_new();
  gtk_print_operation_set_job_name(op, documentName && *documentName ? documentName : "Pabrix");
  gtk_print_operation_set_n_pages(op, 1);
  gtk_print_operation_set_unit(op, GTK_UNIT_POINTS);
  g_signal_connect(op, "draw-page", G_CALLBACK(onDrawPage), job);
  return op;
}

bool finish(KPrintOutcome outcome, const PageJob *job) {
  gOutcome = outcome;
  gPlacement = outcome == K_PRINT_DONE && job ? job->placed : KPrintRect();
  return outcome == K_PRINT_DONE;
}

// Whether the operation's job ended badly after run() accepted it.
bool aborted(GtkPrintOperation *op) {
  return gtk_print_operation_get_status(op) == GTK_PRINT_STATUS_FINISHED_ABORTED;
}

}  // namespace

bool KPrinter::available() {
  if (gToolkit == ToolkitState::Untried) {
    // The program's number formatting must not follow the user's locale.
    gtk_disable_setlocale();
    gToolkit = gtk_init_check(nullptr, nullptr) ? ToolkitState::Ready : ToolkitState::Unavailable;
    if (gToolkit == ToolkitState::Unavailable)
      fprintf(stderr, "printing unavailable: the print dialog cannot open a display\n");
  }
  return gToolkit == ToolkitState::Ready;
}

KPrintOutcome KPrinter::lastOutcome() { return gOutcome; }

KPrintRect KPrinter::lastPlacement() { return gPlacement; }

void KPrinter::setOutputFolder(const char *folder) { gOutputFolder = folder ? folder : ""; }

bool KPrinter::printPicture(const uint32_t *pixels, int width, int height,
                            const char *documentName, HWND owner) {
  if (!printablePicture(pixels, width, height) || !available()) {
    return finish(K_PRINT_FAILED, nullptr);
  }

  PageJob job = pictureJob(pixels, width, height);
  GtkPrintOperation *op = newOperation(documentName, &job);
  gtk_print_operation_set_embed_page_setup(op, TRUE);
  g_signal_connect(op, "preview", G_CALLBACK(onPreview), &job);
  if (!gSettings) {
    gSettings = gtk_print_settings_new();
    // "Print to File" offers the document's name rather than "output".
    gtk_print_settings_set(gSettings, GTK_PRINT_SETTINGS_OUTPUT_BASENAME,
                           documentName && *documentName ? documentName : "Pabrix");
  }
  if (!gOutputFolder.empty() && !gtk_print_settings_get(gSettings, GTK_PRINT_SETTINGS_OUTPUT_URI)) {
    gtk_print_settings_set(gSettings, GTK_PRINT_SETTINGS_OUTPUT_DIR, gOutputFolder.c_str());
  }
  gtk_print_operation_set_print_settings(op, gSettings);

  Owner where = ownerOf(owner);
  const guint realize = g_signal_lookup("realize", GTK_TYPE_WIDGET);
  const gulong hook = g_signal_add_emission_hook(realize, 0, onToplevelRealize, &where, nullptr);

  GError *error = nullptr;
  const GtkPrintOperationResult result =
      gtk_print_operation_run(op, GTK_PRINT_OPERATION_ACTION_PRINT_DIALOG, nullptr, &error);
  g_signal_remove_emission_hook(realize, hook);
  pumpToolkit();
  waitForKeysUp();

  KPrintOutcome outcome = K_PRINT_FAILED;
  if (result == GTK_PRINT_OPERATION_RESULT_APPLY) {
    GtkPrintSettings *chosen = gtk_print_operation_get_print_settings(op);
    if (chosen && chosen != gSettings) {
      g_object_ref(chosen);
      g_object_unref(gSettings);
      gSettings = chosen;
    }
    if (job.previewed)
      outcome = K_PRINT_CANCELLED;
    else
      outcome = job.drawn && !aborted(op) ? K_PRINT_DONE : K_PRINT_FAILED;
  } else if (result == GTK_PRINT_OPERATION_RESULT_CANCEL) {
    outcome = K_PRINT_CANCELLED;
  }
  reportFailure("printing", error);
  g_object_unref(op);
  return finish(outcome, &job);
}

bool KPrinter::exportPicture(const uint32_t *pixels, int width, int height,
                             const char *documentName, const char *path) {
  if (!path || !*path || !printablePicture(pixels, width, height) || !available()) {
    return finish(K_PRINT_FAILED, nullptr);
  }

  PageJob job = pictureJob(pixels, width, height);
  GtkPrintOperation *op = newOperation(documentName, &job);
  gtk_print_operation_set_export_filename(op, path);
  GError *error = nullptr;
  const GtkPrintOperationResult result =
      gtk_print_operation_run(op, GTK_PRINT_OPERATION_ACTION_EXPORT, nullptr, &error);
  pumpToolkit();
  KPrintOutcome outcome = K_PRINT_FAILED;
  if (result == GTK_PRINT_OPERATION_RESULT_APPLY && job.drawn && !aborted(op))
    outcome = K_PRINT_DONE;
  reportFailure("PDF export", error);
  g_object_unref(op);
  return finish(outcome, &job);
}
