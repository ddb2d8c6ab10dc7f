// The printed page without any print system: what drawPicturePage paints on a
// cairo image surface.
#include <gtest/gtest.h>

#include <cairo.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "platform/print/gtk/KPrintPage.h"

namespace {

constexpr uint32_t kRed = 0xFF0000DCu;    // (220, 0, 0), red in the low byte
constexpr uint32_t kBlue = 0xFFDC0000u;   // (0, 0, 220)
constexpr uint32_t kGreen = 0xFF00C800u;  // (0, 200, 0)
constexpr uint32_t kWhite = 0xFFFFFFFFu;

// A 640 x 480 picture: white with a red block top-left, a blue one bottom-right and
// a green one in the middle, each 64 x 48.
std::vector<uint32_t> blocks() {
  std::vector<uint32_t> p(640 * 480, kWhite);
  for (int y = 0; y < 48; y++)
    for (int x = 0; x < 64; x++) {
      p[size_t(y) * 640 + x] = kRed;
      p[size_t(y + 432) * 640 + x + 576] = kBlue;
      p[size_t(y + 216) * 640 + x + 288] = kGreen;
    }
  return p;
}

// An image surface filled with opaque grey, so untouched pixels are recognisable.
struct Canvas {
  cairo_surface_t *surface;
  cairo_t *cr;
  Canvas(int w, int h) {
    surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, w, h);
    cr = cairo_create(surface);
    cairo_set_source_rgb(cr, 0.5, 0.5, 0.5);
    cairo_paint(cr);
  }
  ~Canvas() {
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
  }
  // (r, g, b) of a pixel.
  void at(int x, int y, int &r, int &g, int &b) {
    cairo_surface_flush(surface);
    const unsigned char *d = cairo_image_surface_get_data(surface);
    uint32_t v = *reinterpret_cast<const uint32_t *>(
        d + size_t(y) * cairo_image_surface_get_stride(surface) + size_t(x) * 4);
    r = (v >> 16) & 0xFF, g = (v >> 8) & 0xFF, b = v & 0xFF;
  }
  bool is(int x, int y, int r, int g, int b, int tol = 3) {
    int pr, pg, pb;
    at(x, y, pr, pg, pb);
    return std::abs(pr - r) <= tol && std::abs(pg - g) <= tol && std::abs(pb - b) <= tol;
  }
};

TEST(PrintPage, PaintsThePictureScaledIntoItsPlace) {
  const std::vector<uint32_t> pic = blocks();
  Canvas page(400, 600);
  // The half-size picture 10 units in and 180 down, as the layout would place it.
  const KPrintRect r = drawPicturePage(page.cr, pic.data(), 640, 480, KPrintRect{10, 180, 320, 240});
  EXPECT_DOUBLE_EQ(r.width, 320);
  EXPECT_DOUBLE_EQ(r.height, 240);
  EXPECT_DOUBLE_EQ(r.y, 180);
  const int top = 180;
  // Each block is 32 x 24 on the canvas. Colours keep their channels (a red/blue
  // swap would show here).
  EXPECT_TRUE(page.is(10 + 16, top + 12, 220, 0, 0));
  EXPECT_TRUE(page.is(10 + 288 + 16, top + 216 + 12, 0, 0, 220));
  EXPECT_TRUE(page.is(10 + 144 + 16, top + 108 + 12, 0, 200, 0));
  EXPECT_TRUE(page.is(10 + 200, top + 30, 255, 255, 255));  // the picture's white is painted
  // Outside the picture: the margin and the rest of the area stay untouched.
  EXPECT_TRUE(page.is(5, 5, 128, 128, 128, 1));
  EXPECT_TRUE(page.is(10 + 160, top - 5, 128, 128, 128, 1));
  EXPECT_TRUE(page.is(10 + 160, top + 245, 128, 128, 128, 1));
  EXPECT_TRUE(page.is(10 + 325, top + 100, 128, 128, 128, 1));
  // The picture's corners reach the edges of its rectangle (no faded border).
  EXPECT_TRUE(page.is(10, top, 220, 0, 0, 6));
  EXPECT_TRUE(page.is(10 + 319, top + 239, 0, 0, 220, 6));
}

TEST(PrintPage, UnusablePicturesPaintNothing) {
  const std::vector<uint32_t> pic = blocks();
  const KPrintRect kAll{0, 0, 64, 64};
  Canvas page(64, 64);
  const KPrintRect cases[] = {
      drawPicturePage(page.cr, nullptr, 640, 480, kAll),
      drawPicturePage(page.cr, pic.data(), 0, 480, kAll),
      drawPicturePage(page.cr, pic.data(), 640, -480, kAll),
      drawPicturePage(page.cr, pic.data(), KPrinter::kMaxSide + 1, 1, kAll),
      drawPicturePage(page.cr, pic.data(), 640, 480, KPrintRect{0, 0, 0, 64}),
      drawPicturePage(page.cr, pic.data(), 640, 480, KPrintRect{0, 0, 64, std::nan("")}),
      drawPicturePage(nullptr, pic.data(), 640, 480, kAll),
  };
  for (const KPrintRect &r : cases) EXPECT_EQ(r.width, 0);
  for (int y = 0; y < 64; y += 9)
    for (int x = 0; x < 64; x += 9) ASSERT_TRUE(page.is(x, y, 128, 128, 128, 1));
  EXPECT_FALSE(printablePicture(pic.data(), 1, KPrinter::kMaxSide + 1));
  EXPECT_TRUE(printablePicture(pic.data(), 640, 480));
}

TEST(PrintPage, BadPicturesAndPathsFail) {
  EXPECT_FALSE(KPrinter::printPicture(nullptr, 640, 480, "Pabrix", nullptr));
  EXPECT_EQ(KPrinter::lastOutcome(), K_PRINT_FAILED);
  const std::vector<uint32_t> pic = blocks();
  EXPECT_FALSE(KPrinter::exportPicture(pic.data(), 0, 480, "Pabrix", "/tmp/never.pdf"));
  EXPECT_FALSE(KPrinter::exportPicture(pic.data(), 640, 480, "Pabrix", nullptr));
  EXPECT_FALSE(KPrinter::exportPicture(pic.data(), 640, 480, "Pabrix", ""));
  EXPECT_EQ(KPrinter::lastOutcome(), K_PRINT_FAILED);
  EXPECT_EQ(KPrinter::lastPlacement().width, 0);
}

}  // namespace
