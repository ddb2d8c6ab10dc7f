// The printed page: a picture scaled into the place the page layout gave it, drawn
// with cairo (printer, PDF or image surface).
// Pure drawing, no toolkit or display. Application thread only.
#include "platform/print/gtk/KPrintPage.h"

#include <cstddef>

KPrintRect drawPicturePage(cairo_t *cr, const uint32_t *pixels, int width, int height,
                           const KPrintRect &where) {
  // The negated comparisons also reject NaN sizes.
  if (!cr || !printablePicture(pixels, width, height) || !(where.width > 0) || !(where.height > 0))
    return KPrintRect();

  cairo_surface_t *image = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
  if (cairo_surface_status(image) != CAIRO_STATUS_SUCCESS) {
    cairo_surface_destroy(image);
    return KPrintRect();
  }
  cairo_surface_flush(image);
  unsigned char *data = cairo_image_surface_get_data(image);
  const int stride = cairo_image_surface_get_stride(image);
  for (int y = 0; y < height; y++) {
    uint32_t *row = reinterpret_cast<uint32_t *>(data + static_cast<size_t>(y) * stride);
    const uint32_t *src = pixels + static_cast<size_t>(y) * width;
    for (int x = 0; x < width; x++) {
      const uint32_t p = src[x];
      // RGB24 is one native 32-bit value 0x00RRGGBB; ours has red in the low byte.
      row[x] = ((p & 0xFFu) << 16) | (p & 0xFF00u) | ((p >> 16) & 0xFFu);
    }
  }
  cairo_surface_mark_dirty(image);

  cairo_save(cr);
  cairo_translate(cr, where.x, where.y);
  cairo_scale(cr, where.width / width, where.height / height);
  cairo_set_source_surface(cr, image, 0, 0);
  cairo_pattern_t *pattern = cairo_get_source(cr);
  // Smooth enlargement for the printer; padding keeps the edges from fading into
  // the paper when they are filtered.
  cairo_pattern_set_filter(pattern, CAIRO_FILTER_GOOD);
  cairo_pattern_set_extend(pattern, CAIRO_EXTEND_PAD);
  cairo_rectangle(cr, 0, 0, width, height);
  cairo_fill(cr);
  cairo_restore(cr);
  cairo_surface_destroy(image);
  return where;
}
