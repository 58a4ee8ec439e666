// SPDX-License-Identifier: MIT
// The tech area: which boards count, the four strips, and the board shift.
#include "job/tech_area.h"

#include <gtest/gtest.h>

#include <tuple>

namespace drumplot {
namespace {

Board boardAt(double x, double y, double w, double h, int layerWithFile) {
  Board b;
  std::tie(b.PosX, b.PosY, b.DataWidth, b.DataHeight) = std::tuple(x, y, w, h);
  b.LayerGerber[layerWithFile - 1] = "l.gbr";
  return b;
}

TEST(TechAreaTest, ExtentsCoverOnlyBoardsWithAFileOnAnOutputLayer) {
  std::vector<Board> boards = {boardAt(1, 2, 3, 1, 1), boardAt(0.5, 4, 1, 1, 2),
                               boardAt(-9, -9, 1, 1, 5)};
  OutputLayers layers{};
  layers[0] = layers[1] = true;
  JobExtents e = outputExtents(boards, layers);
  EXPECT_EQ(std::tuple(e.MinX, e.MinY, e.MaxX, e.MaxY), std::tuple(0.5, 2.0, 4.0, 5.0));
  JobExtents none = outputExtents(boards, OutputLayers{});
  EXPECT_EQ(std::tuple(none.MinX, none.MaxY), std::tuple(5000.0, -5000.0));
}

TEST(TechAreaTest, FrameStripsAndShift) {
  // Widths in mm that are exact inches: D 1, L 2, R 0.5, T 4, B 8.
  TechArea tech{25.4, 50.8, 12.7, 101.6, 203.2};
  JobExtents e{1.0, 2.0, 11.0, 22.0};
  TechAreaFrame f = techAreaFrame(e, tech);
  EXPECT_EQ(f.strips[0], (InchRect{1, 2, 3, 36}));      // left: to minX + L, maxY + T + B + 2D
  EXPECT_EQ(f.strips[1], (InchRect{1, 2, 15.5, 6}));    // top: to maxX + L + R + 2D, minY + T
  EXPECT_EQ(f.strips[2], (InchRect{15, 2, 15.5, 36}));  // right: from maxX + L + 2D
  EXPECT_EQ(f.strips[3], (InchRect{1, 28, 15.5, 36}));  // bottom: from maxY + T + 2D
  EXPECT_EQ(std::tuple(f.shiftX, f.shiftY, f.growX, f.growY), std::tuple(3.0, 5.0, 4.5, 14.0));
  // The boards, shifted, sit D inside the strips: the first board's corner
  // (minX + D + L) is D right of the left strip's edge.
  EXPECT_EQ(e.MinX + f.shiftX - f.strips[0].right, 1.0);
  EXPECT_EQ(f.strips[2].left - (e.MaxX + f.shiftX), 1.0);
  // The default distance shows as a quarter inch.
  EXPECT_DOUBLE_EQ(techAreaToDisplay(6.35, "Inch"), 0.25);
  EXPECT_EQ(techAreaToDisplay(6.35, "mm"), 6.35);
  EXPECT_DOUBLE_EQ(techAreaFromDisplay(0.25, "Inch"), 6.35);
  EXPECT_DOUBLE_EQ(techAreaFromDisplay(0.25, "cm"), 6.35);  // any unit but "mm" is inches
}

}  // namespace
}  // namespace drumplot
