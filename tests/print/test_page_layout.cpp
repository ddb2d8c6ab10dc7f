// The page geometry both printers call: the better way up, the fit and the
// centring, with margins the paper gives unevenly; and the empty cases.
#include <gtest/gtest.h>

#include <cmath>

#include "print/KPrinter.h"

namespace {

const KPaper kA4{595.28, 841.89, 18, 18, 18, 18};
const KPaper kA4Turned{841.89, 595.28, 18, 18, 18, 18};
const KPaper kUneven{600, 800, 10, 20, 30, 40};  // left, top, right, bottom

TEST(PageLayout, TurnsFitsAndCentresOnThePaper) {
  struct Case {
    int w, h;
    KPaper paper;
    bool turn;
    double x, y, width, height;
  } cases[] = {
      // A wide picture turns a portrait page, and keeps a landscape one.
      {640, 480, kA4, true, 48.0917, 18, 745.7067, 559.28},
      {640, 480, kA4Turned, false, 48.0917, 18, 745.7067, 559.28},
      // A tall one turns a landscape page, and keeps a portrait one.
      {200, 400, kA4Turned, true, 96.1675, 18, 402.945, 805.89},
      {200, 400, kA4, false, 96.1675, 18, 402.945, 805.89},
      // Uneven margins: as far from each edge as the wider margin opposite.
      {100, 100, kUneven, false, 30, 130, 540, 540},
      {300, 100, kUneven, true, 40, 180, 720, 240},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(std::to_string(c.w) + "x" + std::to_string(c.h) + " on " +
                 std::to_string(c.paper.width));
    const KPageLayout l = KPrinter::layoutPage(c.w, c.h, c.paper);
    EXPECT_EQ(l.turn, c.turn);
    EXPECT_NEAR(l.picture.x, c.x, 1e-3);
    EXPECT_NEAR(l.picture.y, c.y, 1e-3);
    EXPECT_NEAR(l.picture.width, c.width, 1e-3);
    EXPECT_NEAR(l.picture.height, c.height, 1e-3);
    // Centred on the paper as printed.
    const double pw = c.turn ? c.paper.height : c.paper.width;
    EXPECT_NEAR(l.picture.x + l.picture.width / 2, pw / 2, 1e-6);
  }
}

TEST(PageLayout, NothingFitsNothingIsPlaced) {
  const double nan = std::nan("");
  const KPageLayout cases[] = {
      KPrinter::layoutPage(0, 480, kA4), KPrinter::layoutPage(640, -1, kA4),
      KPrinter::layoutPage(640, 480, KPaper{100, 100, 50, 0, 0, 0}),
      KPrinter::layoutPage(640, 480, KPaper{nan, 100, 0, 0, 0, 0}),
      KPrinter::layoutPage(640, 480, KPaper{})};
  for (const KPageLayout &l : cases) {
    EXPECT_FALSE(l.turn);
    EXPECT_EQ(l.picture.width, 0);
    EXPECT_EQ(l.picture.height, 0);
  }
}

}  // namespace
