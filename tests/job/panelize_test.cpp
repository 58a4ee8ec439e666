// SPDX-License-Identifier: MIT
// Panelizing: copy order, pitch, skipped cells, and what is copied.
#include "job/panelize.h"

#include <gtest/gtest.h>

#include <tuple>
#include <utility>
#include <vector>

namespace drumplot {
namespace {

// One selected 1.0 x 0.5 inch board at (1, 2) on a 10 x 10 inch area, 50 px/inch.
Job jobWithSource() {
  Job job;
  job.ScreenScale = 50.0;
  job.settings.PlotWidth = 10.0;
  job.settings.PlotHeight = 10.0;
  Board b;
  std::tie(b.PosX, b.PosY, b.DataWidth, b.DataHeight, b.DataMinX, b.DataMinY) =
      std::tuple(1.0, 2.0, 1.0, 0.5, 0.1, 0.2);
  b.format = {3, 4, ZeroSuppression::Trailing, true, false};
  b.IsMark = true;
  b.MarkName = "Target";
  b.LayerGerber[0] = "top.gbr";
  b.LayerAperture[5] = "six.Env";
  b.caption = "top.gbr";
  b.screen = {50, 100, 7, 9};  // the source's current pixel size is what copies get
  job.boards.push_back(b);
  job.selectBoard(0);
  return job;
}

using Positions = std::vector<std::pair<double, double>>;

Positions positions(const Job& job) {
  Positions out;
  for (size_t i = 1; i < job.boards.size(); ++i)
    out.emplace_back(job.boards[i].PosX, job.boards[i].PosY);
  return out;
}

TEST(PanelizeTest, CopiesGoColumnByColumnAtThePitchOfSizeAndGap) {
  Job job = jobWithSource();
  EXPECT_EQ(panelize(job, {2, 0, 25.4, 5.0}), 2);
  EXPECT_EQ(positions(job), (Positions{{3.0, 2.0}, {5.0, 2.0}}));
  job = jobWithSource();
  EXPECT_EQ(panelize(job, {1, 1, 25.4, 12.7}), 3);  // (i, j) = (0, 1), (1, 0), (1, 1)
  EXPECT_EQ(positions(job), (Positions{{1.0, 3.0}, {3.0, 2.0}, {3.0, 3.0}}));
}

TEST(PanelizeTest, CopiesAreLockedUnselectedAndCarryEveryField) {
  Job job = jobWithSource();
  job.boards[0].caption = std::string(80, 'c');
  panelize(job, {1, 0, 0.0, 0.0});
  ASSERT_EQ(job.boards.size(), 2u);
  const Board& source = job.boards[0];
  const Board& copy = job.boards[1];
  // The source stays selected and unchanged.
  EXPECT_EQ(std::tuple(source.Selected, source.Locked, copy.Selected, copy.Locked),
            std::tuple(true, false, false, true));
  EXPECT_EQ(copy.caption, std::string(64, 'c'));
  EXPECT_EQ(copy.screen, (ScreenRect{100, 100, 7, 9}));
  EXPECT_EQ(std::tuple(copy.DataMinX, copy.DataMinY, copy.DataWidth), std::tuple(0.1, 0.2, 1.0));
  EXPECT_EQ(copy.format, source.format);
  EXPECT_EQ(std::tuple(copy.IsMark, copy.MarkName), std::tuple(true, "Target"));
  EXPECT_EQ(copy.LayerGerber, source.LayerGerber);
  EXPECT_EQ(copy.LayerAperture, source.LayerAperture);
}

TEST(PanelizeTest, CellsWithTheirCornerOutsideThePlottingAreaAreSkipped) {
  Job job = jobWithSource();
  job.settings.PlotHeight = 9.0;
  // X pitch 3 inch: x = 1, 4, 7, 10 (10 is on the edge: outside).
  // Y pitch 4 inch: y = 2, 6, 10 (outside).
  EXPECT_EQ(panelize(job, {3, 2, 2 * 25.4, 3.5 * 25.4}), 5);
  for (auto [x, y] : positions(job)) {
    EXPECT_LT(x, 10.0);
    EXPECT_LT(y, 9.0);
  }
  EXPECT_EQ(positions(job).back(), (std::pair<double, double>{7.0, 6.0}));
}

TEST(PanelizeTest, NothingHappensWithoutASelectedSourceOrCounts) {
  Job job = jobWithSource();
  EXPECT_TRUE(canPanelize(job));
  EXPECT_EQ(panelize(job, {0, 0, 5, 5}), 0);
  job.unselectAll();
  EXPECT_FALSE(canPanelize(job));
  EXPECT_EQ(panelize(job, {2, 2, 5, 5}), 0);
  Job never = jobWithSource();
  never.BoardSelectedOnce = false;
  EXPECT_FALSE(canPanelize(never));
  EXPECT_EQ(panelize(never, {2, 2, 5, 5}), 0);
  EXPECT_EQ(never.boards.size(), 1u);
  // A freshly imported board sits outside the area: no room for copies.
  Job fresh;
  fresh.createBoard("new.gbr", {0, 0, 1, 1});
  EXPECT_EQ(panelize(fresh, {3, 3, 5, 5}), 0);
}

TEST(PanelizeTest, DialogDistancesFollowTheUnit) {
  EXPECT_EQ(panelizeDefaultDistance("mm"), 5.0);
  EXPECT_EQ(panelizeDefaultDistance("Inch"), 0.2);
  EXPECT_DOUBLE_EQ(panelizeDistanceToMm(0.2, "Inch"), 5.08);
  EXPECT_EQ(panelizeDistanceToMm(5.0, "mm"), 5.0);
}

}  // namespace
}  // namespace drumplot
