// SPDX-License-Identifier: MIT
// The drill overview: cross pixels and the board outlines around them.
#include "drill/drill_overview.h"

#include <gtest/gtest.h>

#include <set>
#include <utility>
#include <vector>

namespace drumplot {
namespace {

std::set<std::pair<int64_t, int64_t>> exposedPixels(const BandBitmap& band) {
  std::set<std::pair<int64_t, int64_t>> pixels;
  for (int64_t y = 0; y < band.rows(); ++y) {
    for (int64_t x = 0; x < band.width_px(); ++x) {
      if (!band.isBackground(x, y)) pixels.insert({x, y});
    }
  }
  return pixels;
}

TEST(DrillOverviewTest, CrossIsSevenPixelsEachWayAt180Dpi) {
  BandBitmap band(256, 128);
  Canvas canvas(band);
  drawDrillCross(canvas, {1.0, 0.5});  // pixel (180, 90)
  std::set<std::pair<int64_t, int64_t>> expected;
  for (int64_t d = -3; d <= 3; ++d) {
    expected.insert({180 + d, 90});
    expected.insert({180, 90 + d});
  }
  EXPECT_EQ(exposedPixels(band), expected);
}

TEST(DrillOverviewTest, BoardOutlinesAndCrossesFitTheImage) {
  Board b;
  b.PosX = 0.5;
  b.PosY = 0.25;
  b.DataWidth = 1.0;
  b.DataHeight = 0.5;
  // One cross inside the board, one beyond it, one left of the plotting area.
  MonoImage image = drillOverview({b}, {{1.0, 0.5}, {2.0, 0.5}, {-1.0, 0.5}}, {});
  EXPECT_EQ(image.width, 360u + 4 + 8);   // the far cross arm and a margin
  EXPECT_EQ(image.height, 135u + 1 + 8);  // the board's bottom edge and a margin
  // The outline: columns 90 and 269, rows 45 and 134.
  for (uint32_t x = 90; x < 270; ++x) {
    EXPECT_TRUE(image.exposed(x, 45) && image.exposed(x, 134)) << x;
  }
  for (uint32_t y = 45; y < 135; ++y) {
    EXPECT_TRUE(image.exposed(90, y) && image.exposed(269, y)) << y;
  }
  EXPECT_FALSE(image.exposed(89, 45));
  EXPECT_FALSE(image.exposed(270, 134));
  const uint64_t outline = 2 * 180 + 2 * 88;
  EXPECT_EQ(image.exposedCount(), outline + 13 + 13);
  EXPECT_TRUE(image.exposed(363, 90));

  // Far-off boards are cut at the largest side.
  b.PosX = 1.0e6;
  EXPECT_EQ(drillOverview({b}, {}, {}).width, static_cast<uint32_t>(kMaxDrillOverviewSide_px));
}

TEST(DrillOverviewTest, SlotsAndRoutesAreDrawnAsWideAsTheirTool) {
  // A slot from 0.5 to 1.5 inches, 0.05 inch wide: 9 pixels across.
  MonoImage image = drillOverview({}, {}, {{{{0.5, 0.5}, {1.5, 0.5}}, 0.05}});
  EXPECT_EQ(image.width, 270u + 5 + 8);  // the stroke's reach and a margin
  int across = 0;
  for (uint32_t y = 0; y < image.height; ++y) across += image.exposed(180, y) ? 1 : 0;
  EXPECT_EQ(across, 9);
  EXPECT_TRUE(image.exposed(90, 90) && image.exposed(270, 90));
  // Without a diameter, one pixel.
  image = drillOverview({}, {}, {{{{0.5, 0.5}, {1.5, 0.5}}, 0.0}});
  EXPECT_EQ(image.exposedCount(), 180u);
}

}  // namespace
}  // namespace drumplot
