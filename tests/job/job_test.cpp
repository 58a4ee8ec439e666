// SPDX-License-Identifier: MIT
// The job's board operations: selection, deletion, locks, moves, drags,
// creating boards from master files, layer files, and screen geometry.
#include "job/job.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <utility>

#include "engine/errors.h"
#include "job/gerber_import.h"
#include "support/test_support.h"

namespace drumplot {
namespace {

// A job at 50 pixels per inch with `count` boards 1 x 1 inch at (i, 0).
Job jobWithBoards(size_t count) {
  Job job;
  job.ScreenScale = 50.0;
  for (size_t i = 0; i < count; ++i) {
    Board b;
    b.PosX = static_cast<double>(i);
    b.DataWidth = b.DataHeight = 1.0;
    b.screen = boardRect(b, job.ScreenScale);
    b.LayerGerber[0] = "board" + std::to_string(i) + ".gbr";
    job.boards.push_back(b);
  }
  return job;
}

TEST(JobTest, SelectingKeepsOneBoardSelectedAndDeleteSelectsTheLastBoardLeft) {
  Job job = jobWithBoards(3);
  job.boards[1].Selected = true;  // selected, but not through selectBoard
  job.deleteSelected();
  ASSERT_EQ(job.boards.size(), 3u);  // no board was ever selected: nothing happens

  job.selectBoard(0);
  job.selectBoard(2);
  EXPECT_TRUE(job.BoardSelectedOnce);
  EXPECT_EQ(std::tuple(job.boards[0].Selected, job.boards[2].Selected), std::tuple(false, true));
  EXPECT_EQ(std::tuple(job.boards[0].color(), job.boards[2].color()),
            std::tuple(kBoardColor, kSelectedBoardColor));
  EXPECT_EQ(job.panel.gerber[0], "board2.gbr");

  job.selectBoard(1);
  job.deleteSelected();
  ASSERT_EQ(job.boards.size(), 2u);
  EXPECT_EQ(job.boards[0].LayerGerber[0], "board0.gbr");
  EXPECT_TRUE(job.boards[1].Selected);
  EXPECT_EQ(job.boards[1].LayerGerber[0], "board2.gbr");
  EXPECT_EQ(job.panel.gerber[0], "board2.gbr");

  job.deleteSelected();
  job.deleteSelected();
  EXPECT_TRUE(job.boards.empty());
  EXPECT_EQ(job.panel.gerber[0], "");
}

TEST(JobTest, RelativeMoveMovesOnlyLockedBoardsAndMoveToPlacesLockedBoards) {
  Job job = jobWithBoards(3);
  job.setAllLocked(true);
  job.setLocked(1, false);
  job.relativeMoveLocked(0.5, 0.25);
  EXPECT_EQ(std::tuple(job.boards[0].PosX, job.boards[0].PosY), std::tuple(0.5, 0.25));
  EXPECT_EQ(job.boards[0].screen, (ScreenRect{25, 12, 50, 50}));  // 12.5 rounds to even
  EXPECT_EQ(std::tuple(job.boards[1].PosX, job.boards[1].screen.left), std::tuple(1.0, 50));
  EXPECT_EQ(job.boards[2].PosX, 2.5);

  job.moveTo(2, 3.0, 0.1);  // locked: moves without a message
  EXPECT_EQ(job.boards[2].PosX, 3.0);
  EXPECT_EQ(job.boards[2].screen, (ScreenRect{150, 5, 50, 50}));
  job.setAllLocked(false);
  for (const Board& b : job.boards) EXPECT_FALSE(b.Locked);
}

TEST(JobTest, DraggingMovesPixelsFirstAndRefusesLockedBoards) {
  Job job = jobWithBoards(1);
  EXPECT_EQ(job.dragBoard(0, 10, 10, 17, 5), DragResult::Moved);
  EXPECT_EQ(std::tuple(job.boards[0].screen.left, job.boards[0].screen.top), std::tuple(7, -5));
  EXPECT_EQ(std::tuple(job.boards[0].PosX, job.boards[0].PosY), std::tuple(7 / 50.0, -5 / 50.0));
  job.setLocked(0, true);
  EXPECT_EQ(job.dragBoard(0, 10, 10, 40, 40), DragResult::Locked);
  EXPECT_EQ(job.boards[0].screen.left, 7);
}

TEST(JobTest, CreatedBoardWaitsAtTheFarCornerWithAtLeastFivePixels) {
  Job job = jobWithBoards(1);
  job.selectBoard(0);
  job.settings.PlotWidth = 10.0;
  job.settings.PlotHeight = 12.0;
  job.CurrentFormat = {3, 4, ZeroSuppression::None, true, false};
  job.storedActiveLayer = 3;
  size_t index = job.createBoard("/data/tiny.gbr", {0.5, -0.25, 0.01, 2.0});
  const Board& b = job.boards[index];
  EXPECT_EQ(index, 1u);
  EXPECT_EQ(std::tuple(job.boards[0].Selected, b.Selected, b.Locked),
            std::tuple(false, true, false));
  EXPECT_EQ(b.format, job.CurrentFormat);
  EXPECT_EQ(std::tuple(b.caption, b.PosX, b.PosY), std::tuple("/data/tiny.gbr", 10.0, 12.0));
  EXPECT_EQ(b.screen, (ScreenRect{500 - 30, 1, 5, 100}));
  EXPECT_EQ(std::tuple(b.DataMinX, b.DataMinY, b.DataWidth, b.DataHeight),
            std::tuple(0.5, -0.25, 0.01, 2.0));
  for (int n = 1; n <= kLayerCount; ++n) {
    EXPECT_EQ(b.LayerGerber[n - 1], n == 3 ? "/data/tiny.gbr" : "") << "layer " << n;
    EXPECT_EQ(b.LayerAperture[n - 1], "");
    EXPECT_EQ(job.panel.gerber[n - 1], b.LayerGerber[n - 1]);
  }
  // A name a job file cannot hold whole is refused, not cut; 250 characters fit.
  job.storedActiveLayer = 0;  // no selection counts as layer 1
  EXPECT_THROW(job.createBoard(std::string(251, 'x'), {}), FormatError);
  EXPECT_THROW(job.addGerberOnActiveLayer(std::string(251, 'x')), FormatError);
  EXPECT_EQ(job.boards.size(), 2u);
  const Board& c = job.boards[job.createBoard(std::string(250, 'x'), {})];
  EXPECT_EQ(c.LayerGerber[0], std::string(250, 'x'));
  EXPECT_EQ(c.screen.Width, 5);
}

TEST(JobTest, AddGerberNamesTheFileOnSelectedBoardsOnly) {
  Job job = jobWithBoards(2);
  job.storedActiveLayer = 4;
  job.addGerberOnActiveLayer("early.gbr");  // never selected: nothing happens
  EXPECT_EQ(job.panel.gerber[3], "");

  job.selectBoard(1);
  job.addGerberOnActiveLayer("bottom.gbr");
  EXPECT_EQ(job.boards[1].LayerGerber[3], "bottom.gbr");
  EXPECT_EQ(job.boards[0].LayerGerber[3], "");
  EXPECT_EQ(job.boards[1].DataWidth, 1.0);  // size and origin stay

  job.deleteSelected();
  job.unselectAll();
  job.addGerberOnActiveLayer("orphan.gbr");  // no selected board: only the panel changes
  EXPECT_EQ(job.panel.gerber[3], "orphan.gbr");
  EXPECT_EQ(job.boards[0].LayerGerber[3], "");
}

TEST(JobTest, NewAndCloseClearTheBoards) {
  Job job = jobWithBoards(2);
  job.JobName = "/jobs/a.wpr";
  job.selectBoard(0);
  job.closeJob();
  EXPECT_TRUE(job.boards.empty());
  EXPECT_EQ(std::tuple(job.JobName, job.BoardSelectedOnce, job.panel.gerber[0]),
            std::tuple("/jobs/a.wpr", true, ""));
  job.newJob();
  EXPECT_EQ(std::tuple(job.JobName, job.isUnnamed(), job.BoardSelectedOnce),
            std::tuple("NONAME.WPR", true, false));
}

TEST(JobTest, ImportMeasuresTheMasterFileInTheCurrentFormat) {
  auto dir = test::tempDir();
  // No format statements: read as 2.4 leading-zero mm.
  test::writeFile(dir / "m.gbr", "G01*X100Y200D02*X2640Y1470D01*M02*");
  Job job;
  job.CurrentFormat = {2, 4, ZeroSuppression::Leading, true, true};
  job.JobName = (dir / "job.wpr").string();
  ImportResult result = importMasterGerber(job, "m.gbr");  // relative to the job's folder
  EXPECT_EQ(result.status, LoadStatus::Ok);
  const Board& b = job.boards[result.index];
  EXPECT_DOUBLE_EQ(b.DataMinX, 0.01 / 25.4);
  EXPECT_DOUBLE_EQ(b.DataMinY, 0.02 / 25.4);
  EXPECT_DOUBLE_EQ(b.DataWidth, 0.254 / 25.4);
  EXPECT_DOUBLE_EQ(b.DataHeight, 0.127 / 25.4);
  EXPECT_TRUE(b.format.Metric);
  EXPECT_EQ(b.LayerGerber[0], "m.gbr");

  // A file that cannot be read still gives a board, of at least 5 x 5 pixels.
  ImportResult missing = importMasterGerber(job, "missing.gbr");
  EXPECT_EQ(missing.status, LoadStatus::CannotOpen);
  EXPECT_GE(job.boards[missing.index].screen.Width, 5);
  EXPECT_GE(job.boards[missing.index].screen.Height, 5);
}

TEST(ScreenGeometryTest, ScaleFitsThePlottingAreaIntoTheScreen) {
  // 1280 x 1024 with 340 x 370 mm: the height decides.
  double scale = screenScale(1280, 1024, 340 / 25.4, 370 / 25.4);
  EXPECT_NEAR(scale, 56.57, 0.005);
  EXPECT_EQ(toScreen_px(340 / 25.4, scale), 757);
  EXPECT_EQ(toScreen_px(370 / 25.4, scale), 824);
  // A wide drum on the same screen: the width decides.
  EXPECT_DOUBLE_EQ(screenScale(1280, 1024, 25.0, 4.0), 960 / 25.0);
  Job job;
  EXPECT_EQ(job.plotAreaWidth_px(), 757);
  EXPECT_EQ(job.plotAreaHeight_px(), 824);
}

TEST(DataFormatTest, StatusBarText) {
  // clang-format off
  const std::pair<DataFormat, const char*> texts[] = {
      {{2, 3, ZeroSuppression::Leading, false, true}, "F: RS274 X,D 2:3,Abs Inch Leading"},
      {{3, 4, ZeroSuppression::None, true, false}, "F: RS274 X,D 3:4,Incr mm None"},
      {{5, 0, ZeroSuppression::Trailing, true, true}, "F: RS274 X,D 5:0,Abs mm Trailing"}};
  // clang-format on
  for (const auto& [format, text] : texts) EXPECT_EQ(formatText(format), text);
}

}  // namespace
}  // namespace drumplot
