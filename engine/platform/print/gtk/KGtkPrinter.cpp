// The print backend module on GTK 3: GtkPrintOperation with its dialog for
// printing, its export action for PDF files, and the page drawn by
// drawPicturePage. The program opens this module, and GTK is started, only when
// printing is first asked for, so the program runs where neither can.
// Application thread only: the dialog runs a nested main loop on the caller's thread.
#include "platform/print/KPrintBackend.h"

#include <gtk/gtk.h>
#include <gtk/gtkunixprint.h>
#ifdef GDK_WINDOWING_X11
#include <gdk/gdkx.h>
#endif

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <string>
#include <type_traits>
#include <vector>

#include "platform/print/gtk/KPrintPage.h"

namespace {

enum class ToolkitState { Untried, Ready, Unavailable };
ToolkitState gToolkit = ToolkitState::Untried;
const KPrintHost *gHost = nullptr;
// The choices made in the dialog (printer, copies, file name) for the next print.
GtkPrintSettings *gSettings = nullptr;
std::string gSuggestedUri;  // the last file address offered, to tell it from the user's

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

void trouble(const char *format, ...) __attribute__((format(printf, 1, 2)));
void trouble(const char *format, ...) {
  char line[512];
  va_list args;
  va_start(args, format);
  vsnprintf(line, sizeof line, format, args);
  va_end(args);
  gHost->trouble(line);
}

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

// The paper and its margins in points, in the setup's orientation.
KPaper paperOf(GtkPageSetup *setup) {
  const GtkUnit pt = GTK_UNIT_POINTS;
  KPaper p;
  p.width = gtk_page_setup_get_paper_width(setup, pt);
  p.height = gtk_page_setup_get_paper_height(setup, pt);
  p.left = gtk_page_setup_get_left_margin(setup, pt);
  p.top = gtk_page_setup_get_top_margin(setup, pt);
  p.right = gtk_page_setup_get_right_margin(setup, pt);
  p.bottom = gtk_page_setup_get_bottom_margin(setup, pt);
  return p;
}

void onDrawPage(GtkPrintOperation *, GtkPrintContext *context, gint, gpointer data) {
  PageJob *job = static_cast<PageJob *>(data);
  cairo_t *cr = gtk_print_context_get_cairo_context(context);
  GtkPageSetup *setup = gtk_print_context_get_page_setup(context);
  if (!setup) return;
  // Full-page mode: the context's origin is the paper's top-left corner, and the
  // page was turned before drawing when the layout asked for it.
  const KPageLayout layout = KPrinter::layoutPage(job->width, job->height, paperOf(setup));
  job->placed = drawPicturePage(cr, job->pixels, job->width, job->height, layout.picture);
  job->drawn = job->placed.width > 0;
}

// Turns the page to whichever orientation shows the picture larger. Asked for
// before each page is drawn, with the paper and margins the dialog settled on.
void onRequestPageSetup(GtkPrintOperation *, GtkPrintContext *, gint, GtkPageSetup *setup,
                        gpointer data) {
  const PageJob *job = static_cast<const PageJob *>(data);
  if (!KPrinter::layoutPage(job->width, job->height, paperOf(setup)).turn) return;
  const GtkPageOrientation now = gtk_page_setup_get_orientation(setup);
  const bool wide = now == GTK_PAGE_ORIENTATION_LANDSCAPE ||
                    now == GTK_PAGE_ORIENTATION_REVERSE_LANDSCAPE;
  gtk_page_setup_set_orientation(setup, wide ? GTK_PAGE_ORIENTATION_PORTRAIT
                                             : GTK_PAGE_ORIENTATION_LANDSCAPE);
}

gboolean collectPrinter(GtkPrinter *printer, gpointer data) {
  static_cast<std::vector<GtkPrinter *> *>(data)->push_back(GTK_PRINTER(g_object_ref(printer)));
  return FALSE;  // keep listing
}

// The desktop's "Print to File" when no real printer is installed, so the dialog
// opens ready to print (a fresh dialog with no printer greys its Print button);
// empty when there is a printer to choose.
std::string filePrinterIfNoOther() {
  std::vector<GtkPrinter *> printers;
  gtk_enumerate_printers(collectPrinter, &printers, nullptr, TRUE);
  std::string file;
  bool real = false;
  for (GtkPrinter *p : printers) {
    if (!gtk_printer_is_virtual(p))
      real = true;
    else if (file.empty() && gtk_printer_accepts_pdf(p))
      file = gtk_printer_get_name(p);
    g_object_unref(p);
  }
  return real ? std::string() : file;
}

// file:// address of a path, with the characters a URI may not hold escaped.
std::string fileUri(const std::string &path) {
  gchar *uri = g_filename_to_uri(path.c_str(), nullptr, nullptr);
  std::string out = uri ? uri : "";
  g_free(uri);
  return out;
}

// The folder of a file:// address; empty for any other.
std::string folderOfUri(const char *uri) {
  gchar *path = g_filename_from_uri(uri, nullptr, nullptr);
  gchar *folder = path ? g_path_get_dirname(path) : nullptr;
  std::string out = folder ? folder : "";
  g_free(folder);
  g_free(path);
  return out;
}

gboolean onPreview(GtkPrintOperation *, GtkPrintOperationPreview *, GtkPrintContext *,
                   GtkWindow *, gpointer data) {
  static_cast<PageJob *>(data)->previewed = true;
  return FALSE;  // the desktop's previewer shows the page
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

// The usable part of the monitor the game window is on (the first one when the
// window is unknown).
bool screenArea(GtkWidget *dialog, const Owner *o, GdkRectangle *area) {
  GdkDisplay *display = gtk_widget_get_display(dialog);
  if (!display) return false;
  GdkMonitor *monitor = o->known ? gdk_display_get_monitor_at_point(display, o->x + o->w / 2,
                                                                    o->y + o->h / 2)
                                 : gdk_display_get_monitor(display, 0);
  if (!monitor) return false;
  gdk_monitor_get_workarea(monitor, area);
  return area->width > 0 && area->height > 0;
}

// Makes the dialog shorter, so it and its buttons fit on a small (640 x 480)
// screen: every scrolled list (the printers, above all) gives up its height, and
// the page-layout preview, the tallest piece, is left out.
void compactDialog(GtkWidget *widget) {
  if (GTK_IS_SCROLLED_WINDOW(widget)) {
    GtkScrolledWindow *sw = GTK_SCROLLED_WINDOW(widget);
    gtk_widget_set_size_request(widget, -1, -1);
    gtk_scrolled_window_set_propagate_natural_height(sw, FALSE);
    gtk_scrolled_window_set_min_content_height(sw, 40);
    return;
  }
  if (GTK_IS_DRAWING_AREA(widget)) {
    int minimum = 0, natural = 0;
    gtk_widget_get_preferred_height(widget, &minimum, &natural);
    if (minimum >= 100) gtk_widget_hide(widget);
    return;
  }
  if (GTK_IS_CONTAINER(widget)) {
    GList *children = gtk_container_get_children(GTK_CONTAINER(widget));
    for (GList *c = children; c; c = c->next) compactDialog(GTK_WIDGET(c->data));
    g_list_free(children);
  }
}

// Makes the dialog narrower: a button's long label (the file "Print to File"
// writes, with its date and time) is shortened in its middle.
void narrowLabels(GtkWidget *widget, bool inButton) {
  if (GTK_IS_LABEL(widget) && inButton) {
    gtk_label_set_ellipsize(GTK_LABEL(widget), PANGO_ELLIPSIZE_MIDDLE);
    gtk_label_set_max_width_chars(GTK_LABEL(widget), 18);
    return;
  }
  if (GTK_IS_CONTAINER(widget)) {
    GList *children = gtk_container_get_children(GTK_CONTAINER(widget));
    for (GList *c = children; c; c = c->next)
      narrowLabels(GTK_WIDGET(c->data), inButton || GTK_IS_BUTTON(widget));
    g_list_free(children);
  }
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
  GdkRectangle screen{0, 0, 0, 0};
  const bool screenKnown = screenArea(o->dialog, o, &screen);
  GtkRequisition natural{0, 0};
  gtk_widget_get_preferred_size(o->dialog, nullptr, &natural);
  if (screenKnown && (natural.height > screen.height || natural.width > screen.width)) {
    if (natural.height > screen.height) compactDialog(o->dialog);
    if (natural.width > screen.width) narrowLabels(o->dialog, false);
    gtk_widget_get_preferred_size(o->dialog, nullptr, &natural);
    // A long file name can widen it past the screen too: it is cut to fit.
    natural.width = std::min(natural.width, screen.width);
    natural.height = std::min(natural.height, screen.height);
    gtk_window_resize(window, natural.width, natural.height);
  }
  if (o->known) {
    int x = o->x + (o->w - natural.width) / 2;
    int y = o->y + (o->h - natural.height) / 2;
    // A dialog larger than the window starts at its corner rather than off screen.
    if (x < o->x) x = o->x;
    if (y < o->y) y = o->y;
    if (screenKnown) {  // and never reaches past the screen's edge
      x = std::max(screen.x, std::min(x, screen.x + screen.width - natural.width));
      y = std::max(screen.y, std::min(y, screen.y + screen.height - natural.height));
    }
    gtk_window_move(window, x, y);
  }
  // Its X window exists only once this emission is over.
  g_signal_connect(o->dialog, "map", G_CALLBACK(onDialogMapped), o);
  return TRUE;
}

// Runs inside the dialog's loop: once the program is asked to quit (a signal, the
// game window's close) every open dialog is answered "cancel", so the program
// can save and leave instead of waiting for someone to close the dialog.
gboolean closeWhenAsked(gpointer data) {
  bool &closing = *static_cast<bool *>(data);
  if (!closing)
    closing = gHost->closeAsked();
  if (closing) {
    GList *all = gtk_window_list_toplevels();
    for (GList *l = all; l; l = l->next)
      if (GTK_IS_DIALOG(l->data) && gtk_widget_get_visible(GTK_WIDGET(l->data)))
        gtk_dialog_response(GTK_DIALOG(l->data), GTK_RESPONSE_CANCEL);
    g_list_free(all);
  }
  return G_SOURCE_CONTINUE;
}

// The job of printing one picture, not yet drawn.
PageJob pictureJob(const uint32_t *pixels, int width, int height) {
  PageJob job;
  job.pixels = pixels;
  job.width = width;
  job.height = height;
  return job;
}

// Reports why an operation failed, if the toolkit gave a reason, and frees it.
void reportFailure(const char *what, GError *error) {
  if (!error) return;
  trouble("%s failed: %s", what, error->message);
  g_error_free(error);
}

GtkPrintOperation *newOperation(const char *documentName, PageJob *job) {
  GtkPrintOperation *op = gtk_print_operation_new();
  gtk_print_operation_set_job_name(op, documentName && *documentName ? documentName : "Pabrix");
  gtk_print_operation_set_n_pages(op, 1);
  gtk_print_operation_set_unit(op, GTK_UNIT_POINTS);
  g_signal_connect(op, "draw-page", G_CALLBACK(onDrawPage), job);
  g_signal_connect(op, "request-page-setup", G_CALLBACK(onRequestPageSetup), job);
  gtk_print_operation_set_use_full_page(op, TRUE);
  return op;
}

KPrintOutcome finish(KPrintOutcome outcome, const PageJob &job, KPrintRect *placed) {
  *placed = outcome == K_PRINT_DONE ? job.placed : KPrintRect();
  return outcome;
}

// Whether the operation's job ended badly after run() accepted it.
bool aborted(GtkPrintOperation *op) {
  return gtk_print_operation_get_status(op) == GTK_PRINT_STATUS_FINISHED_ABORTED;
}

bool start() {
  if (gToolkit == ToolkitState::Untried) {
    // The program's number formatting must not follow the user's locale.
    gtk_disable_setlocale();
    gToolkit = gtk_init_check(nullptr, nullptr) ? ToolkitState::Ready : ToolkitState::Unavailable;
    if (gToolkit == ToolkitState::Unavailable)
      trouble("printing unavailable: the print dialog cannot open a display");
  }
  return gToolkit == ToolkitState::Ready;
}

KPrintOutcome print(const uint32_t *pixels, int width, int height, const char *documentName,
                    const KPrintOwner *owner, const char *outputFolder, KPrintRect *placed) {
  const std::string folder = outputFolder ? outputFolder : "";
  PageJob job = pictureJob(pixels, width, height);
  GtkPrintOperation *op = newOperation(documentName, &job);
  gtk_print_operation_set_embed_page_setup(op, TRUE);
  g_signal_connect(op, "preview", G_CALLBACK(onPreview), &job);
  const std::string name = documentName && *documentName ? documentName : "Pabrix";
  if (!gSettings) {
    gSettings = gtk_print_settings_new();
    gtk_print_settings_set(gSettings, GTK_PRINT_SETTINGS_OUTPUT_FILE_FORMAT, "pdf");
  }
  // "Print to File" offers the document's name (new for every print, so it never
  // proposes to replace the last page), in the documents folder unless the user
  // has picked another folder since.
  gtk_print_settings_set(gSettings, GTK_PRINT_SETTINGS_OUTPUT_BASENAME, name.c_str());
  const char *uri = gtk_print_settings_get(gSettings, GTK_PRINT_SETTINGS_OUTPUT_URI);
  std::string into = folder;
  if (uri && gSuggestedUri != uri) into = folderOfUri(uri);
  if (!into.empty()) {
    gSuggestedUri = fileUri(into + "/" + name + ".pdf");
    gtk_print_settings_set(gSettings, GTK_PRINT_SETTINGS_OUTPUT_DIR, into.c_str());
    gtk_print_settings_set(gSettings, GTK_PRINT_SETTINGS_OUTPUT_URI, gSuggestedUri.c_str());
  }
  if (!gtk_print_settings_get_printer(gSettings)) {
    const std::string file = filePrinterIfNoOther();
    if (!file.empty()) gtk_print_settings_set_printer(gSettings, file.c_str());
  }
  gtk_print_operation_set_print_settings(op, gSettings);

  Owner where;
  if (owner && owner->known) {
    where.known = true;
    where.x = owner->x;
    where.y = owner->y;
    where.w = owner->width;
    where.h = owner->height;
  }
  if (owner) where.x11Window = owner->x11Window;
  const guint realize = g_signal_lookup("realize", GTK_TYPE_WIDGET);
  const gulong hook = g_signal_add_emission_hook(realize, 0, onToplevelRealize, &where, nullptr);

  bool closing = false;
  const guint watch = g_timeout_add(100, closeWhenAsked, &closing);
  GError *error = nullptr;
  const GtkPrintOperationResult result =
      gtk_print_operation_run(op, GTK_PRINT_OPERATION_ACTION_PRINT_DIALOG, nullptr, &error);
  g_source_remove(watch);
  g_signal_remove_emission_hook(realize, hook);
  pumpToolkit();
  if (!closing) waitForKeysUp();
  gHost->dialogClosed();

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
  if (closing && outcome != K_PRINT_DONE) outcome = K_PRINT_CANCELLED;
  reportFailure("printing", error);
  g_object_unref(op);
  return finish(outcome, job, placed);
}

KPrintOutcome exportPdf(const uint32_t *pixels, int width, int height, const char *documentName,
                        const char *path, KPrintRect *placed) {
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
  return finish(outcome, job, placed);
}

const KPrintBackend kBackend = {K_PRINT_BACKEND_VERSION, start, print, exportPdf};

}  // namespace

extern "C" __attribute__((visibility("default"))) const KPrintBackend *pabrixPrintBackend(
    const KPrintHost *host) {
  if (!host || host->version != K_PRINT_BACKEND_VERSION) return nullptr;
  gHost = host;
  return &kBackend;
}
static_assert(std::is_same<decltype(&pabrixPrintBackend), KPrintBackendEntry>::value,
              "the entry point has the type the program calls it by");
