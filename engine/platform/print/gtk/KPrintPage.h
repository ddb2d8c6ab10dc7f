// Drawing the printed page with cairo: the one piece shared by the dialog, the PDF
// export and the tests. Private to the print module and its tests (application code
// never sees cairo). Application thread only.
#pragma once

#include <cairo.h>

#include <cstdint>

#include "platform/print/KPrintBackend.h"

// Paints the picture scaled into the rectangle where (cairo user units). Returns
// where; empty (nothing painted) when the picture or the rectangle is unusable.
KPrintRect drawPicturePage(cairo_t *cr, const uint32_t *pixels, int width, int height,
                           const KPrintRect &where);
