// SPDX-License-Identifier: MIT
// Drill panelization: blocks repeated per board, offsets, marks, millimetre
// data, the command's messages and files, and a real drill file on a 2 x 2
// panel read back.
#include "drill/drill_panel.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <limits>
#include <string>
#include <vector>

#include "engine/errors.h"
#include "support/test_support.h"

namespace drumplot {
namespace {

using Lines = std::vector<std::string>;

BoardFormat inch24Trailing() {
  BoardFormat f;
  f.IntDigits = 2;
  f.DecDigits = 4;
  f.ZeroSuppression = 1;
  return f;
}

Board board(double x, double y, double minX = 0.0, double minY = 0.0) {
  Board b;
  b.PosX = x;
  b.PosY = y;
  b.DataMinX = minX;
  b.DataMinY = minY;
  b.DataWidth = 1.0;
  b.DataHeight = 1.0;
  return b;
}

Board mark(const std::string& name, double x, double y) {
  Board b = board(x, y);
  b.IsMark = true;
  b.MarkName = name;
  return b;
}

DrillPanel panelize(const Lines& lines, const std::vector<Board>& boards, double dx = 0.0,
                    double dy = 0.0, const BoardFormat& f = inch24Trailing()) {
  return panelizeDrillLines(lines, boards, f, dx, dy, makeMarkDrillTable(gatherMarkNames(boards)));
}

const Lines kTwoTools = {"M48",      "INCH,TZ",  "T01C0.032", "T02C0.040", "%",  "T01",
                         "X001Y002", "X003Y004", "T02",       "X005Y006",  "M30"};

TEST(DrillPanelTest, EachBlockRepeatsPerBoardBeforeTheLineAfterIt) {
  DrillPanel panel = panelize(kTwoTools, {board(2.0, 1.0), board(4.0, 1.0)});
  // clang-format off
  EXPECT_EQ(panel.Lines, (Lines{"M48", "INCH,TZ", "T01C0.032", "T02C0.040", "%",
                                "T01",
                                "X021Y012", "X023Y014",  // board 1
                                "X041Y012", "X043Y014",  // board 2
                                "T02",
                                "X025Y016", "X045Y016",
                                "M30"}));
  // clang-format on
  EXPECT_EQ(panel.BoardHits, 6u);
  EXPECT_EQ(panel.MarkHits, 0u);
  EXPECT_EQ(panel.text().substr(0, 14), "M48\r\nINCH,TZ\r\n");
}

TEST(DrillPanelTest, M30IsAppendedOnlyWhenTheLastLineLacksIt) {
  Lines open = {"T01", "X001Y002"};
  EXPECT_EQ(panelize(open, {board(0.0, 0.0)}).Lines, (Lines{"T01", "X001Y002", "M30"}));
  Lines closed = {"T01", "X001Y002", "M30 end"};
  EXPECT_EQ(panelize(closed, {board(0.0, 0.0)}).Lines, (Lines{"T01", "X001Y002", "M30 end"}));
  EXPECT_EQ(panelize({"M30"}, {board(1.0, 1.0)}).Lines, (Lines{"M30"}));
  EXPECT_TRUE(panelize({}, {board(1.0, 1.0)}).Lines.empty());
}

TEST(DrillPanelTest, HitsMoveByBoardPositionAndOffset) {
  // 0.1 inch on a board at 2.0 with dX 0.5 lands at 2.6.
  DrillPanel panel = panelize({"T01", "X001Y001", "M30"}, {board(2.0, 0.0)}, 0.5, 0.25);
  EXPECT_EQ(panel.Lines, (Lines{"T01", "X026Y0035", "M30"}));
  ASSERT_EQ(panel.Crosses.size(), 1u);
  EXPECT_NEAR(panel.Crosses[0].X, 2.6, 1e-12);
  EXPECT_NEAR(panel.Crosses[0].Y, 0.35, 1e-12);
}

TEST(DrillPanelTest, AFirstCoordinateLineStandsOnceAndStartsTheFirstBlock) {
  Lines lines = {"X001Y001", "X002Y002", "T01", "X003Y003", "M30"};
  DrillPanel panel = panelize(lines, {board(1.0, 1.0), mark("M", 7.0, 7.0), board(2.0, 2.0)});
  EXPECT_EQ(panel.Lines, (Lines{"X001Y001", "X011Y011", "X012Y012", "X021Y021", "X022Y022", "T01",
                                "X013Y013", "X023Y023", "T01F095S3", "X07Y07", "M30"}));
}

TEST(DrillPanelTest, ABlockGivingOnlyChangedAxesKeepsTheOthersPerBoard) {
  // Y004 takes X from the hit before it in the file (0.3), for every board.
  Lines lines = {"T01", "X001Y002", "X003", "T02", "Y004", "M30"};
  DrillPanel panel = panelize(lines, {board(1.0, 0.0), board(2.0, 0.0)});
  EXPECT_EQ(panel.Lines, (Lines{"T01", "X011Y002", "X013Y002", "X021Y002", "X023Y002", "T02",
                                "X013Y004", "X023Y004", "M30"}));
}

TEST(DrillPanelTest, MarksGetTheirToolLineAndOneHitPerMarkBoardBeforeTheLastLine) {
  std::vector<Board> boards = {mark("M2", 0.2, 0.3), board(1.0, 1.0, 0.5, 0.25),
                               mark("M1", 5.0, 4.0), board(3.0, 1.0, 0.7, 0.7),
                               mark("M1", 0.3, 4.0)};
  EXPECT_EQ(gatherMarkNames(boards), (Lines{"M1", "M2"}));
  MarkDrillTable table = makeMarkDrillTable(gatherMarkNames(boards));
  EXPECT_EQ(table[0], (MarkDrill{"M1", "T01F095S3"}));
  EXPECT_EQ(table[1], (MarkDrill{"M2", "T01F095S3"}));
  EXPECT_EQ(table[2], (MarkDrill{"None", "T01F095S3"}));
  table[1].MarkDrillTool = "T09";

  // The offset moves board hits only; marks sit at position + the first
  // ordinary board's data origin (0.5, 0.25).
  DrillPanel panel =
      panelizeDrillLines({"T01", "X001Y001", "M30"}, boards, inch24Trailing(), 0.1, 0.1, table);
  // clang-format off
  EXPECT_EQ(panel.Lines, (Lines{"T01",
                                "X012Y012", "X032Y012",
                                "T01F095S3", "X055Y0425", "X008Y0425",  // M1 in board order
                                "T09", "X007Y0055",                     // M2
                                "M30"}));
  // clang-format on
  EXPECT_EQ(panel.BoardHits, 2u);
  EXPECT_EQ(panel.MarkHits, 3u);
  // Crosses lie on the plotting area: less the reference minimum.
  ASSERT_EQ(panel.Crosses.size(), 5u);
  EXPECT_NEAR(panel.Crosses[0].X, 0.7, 1e-12);
  EXPECT_NEAR(panel.Crosses[2].X, 5.0, 1e-12);
  EXPECT_NEAR(panel.Crosses[2].Y, 4.0, 1e-12);

  // Mark hits also come when the line before the last is no hit.
  panel = panelizeDrillLines({"T01", "X001Y001", "T00", "M30"}, boards, inch24Trailing(), 0.0, 0.0,
                             table);
  EXPECT_EQ(panel.MarkHits, 3u);
  EXPECT_EQ(panel.Lines[panel.Lines.size() - 2], "X007Y0055");

  // No mark board, no mark section.
  EXPECT_EQ(panelize({"T01", "X001Y001", "M30"}, {board(0.0, 0.0)}).Lines,
            (Lines{"T01", "X001Y001", "M30"}));
}

TEST(DrillPanelTest, NamesPastTheTenthRowGetTheDefaultTool) {
  std::vector<Board> boards = {board(0.0, 0.0)};
  for (char c = 'A'; c <= 'K'; ++c) boards.push_back(mark(std::string(1, c), 1.0, 1.0));
  MarkDrillTable table = makeMarkDrillTable(gatherMarkNames(boards));
  EXPECT_EQ(table[9].MarkDrillName, "J");
  for (MarkDrill& row : table) row.MarkDrillTool = "T02";
  DrillPanel panel = panelizeDrillLines({"M30", "M30"}, boards, inch24Trailing(), 0, 0, table);
  EXPECT_EQ(panel.MarkHits, 11u);
  EXPECT_EQ(std::count(panel.Lines.begin(), panel.Lines.end(), "T02"), 10);
  EXPECT_EQ(panel.Lines[panel.Lines.size() - 3], "T01F095S3");  // K
}

TEST(DrillPanelTest, MillimetreDataShiftsByPositionsTimes25_4) {
  BoardFormat mm;
  mm.IntDigits = 3;
  mm.DecDigits = 3;
  mm.ZeroSuppression = 0;
  mm.InchUnits = 0;
  std::vector<Board> boards = {board(1.0, 2.0, 0.1, 0.2), mark("T", 1.0, 1.0)};
  DrillPanel panel = panelizeDrillLines({"T1", "X1000Y2000", "M30"}, boards, mm, 0.1, 0.0,
                                        makeMarkDrillTable({"T"}));
  // 1 mm + 25.4 mm + 2.54 mm; 2 mm + 50.8 mm; the mark at (1 + 0.1, 1 + 0.2) inch.
  EXPECT_EQ(panel.Lines, (Lines{"T1", "X28940Y52800", "T01F095S3", "X27940Y30480", "M30"}));
  ASSERT_EQ(panel.Crosses.size(), 2u);
  EXPECT_NEAR(panel.Crosses[0].X, 28.94 / 25.4 - 0.1, 1e-12);
  EXPECT_NEAR(panel.Crosses[1].Y, 1.0, 1e-12);
}

// DrillPanel - the command with its files
// ============================================================================

class DrillPanelFileTest : public testing::Test {
 protected:
  void SetUp() override {
    dir_ = test::tempDir();
    job_.JobName = (dir_ / "job.wpr").string();
    job_.CurrentFormat = inch24Trailing();
    job_.Boards = {board(1.0, 1.0), board(3.0, 1.0)};
    settings_.InputFile = (dir_ / "board.drl").string();
    settings_.OutputFile = (dir_ / "panel.drl").string();
    test::writeFile(settings_.InputFile, "M48\r\nT01C0.032\r\n%\r\nT01\r\nX001Y001\r\nM30\r\n");
  }
  std::filesystem::path dir_;
  Job job_;
  DrillPanelSettings settings_;
};

TEST_F(DrillPanelFileTest, WritesThePanelThroughATemporaryFile) {
  test::writeFile(settings_.OutputFile, "old contents that are longer than the new file");
  DrillPanelResult result = panelizeDrillFile(job_, settings_);
  ASSERT_EQ(result.Status, DrillPanelStatus::Written);
  EXPECT_EQ(test::readFile(settings_.OutputFile),
            "M48\r\nT01C0.032\r\n%\r\nT01\r\nX011Y011\r\nX031Y011\r\nM30\r\n");
  // Only the two drill files are left in the folder.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_), {}), 2);
}

TEST_F(DrillPanelFileTest, NamesAndEmptyInputsStopWithTheirMessages) {
  DrillPanelSettings s = settings_;
  s.OutputFile = "p";
  EXPECT_EQ(panelizeDrillFile(job_, s).Status, DrillPanelStatus::OutputNotSpecified);
  EXPECT_STREQ(toString(DrillPanelStatus::OutputNotSpecified), "Output file is not specified");

  s = settings_;
  s.InputFile = "ab";
  EXPECT_EQ(panelizeDrillFile(job_, s).Status, DrillPanelStatus::DataFileEmpty);
  test::writeFile(settings_.InputFile, "\r\n\r\nM30");  // the unended line is dropped
  EXPECT_EQ(panelizeDrillFile(job_, settings_).Status, DrillPanelStatus::DataFileEmpty);
  EXPECT_STREQ(toString(DrillPanelStatus::DataFileEmpty), "Data file is empty");
  EXPECT_FALSE(std::filesystem::exists(settings_.OutputFile));

  // A missing input is reported before the output name is looked at.
  s = settings_;
  s.InputFile = (dir_ / "missing.drl").string();
  s.OutputFile = "";
  EXPECT_THROW(panelizeDrillFile(job_, s), IoError);
}

TEST_F(DrillPanelFileTest, UnwritableOutputsAndUnusablePositionsThrow) {
  DrillPanelSettings s = settings_;
  s.OutputFile = (dir_ / "no-such-folder" / "panel.drl").string();
  EXPECT_THROW(panelizeDrillFile(job_, s), IoError);

  job_.Boards[1].PosX = std::numeric_limits<double>::quiet_NaN();
  try {
    panelizeDrillFile(job_, settings_);
    FAIL() << "no error";
  } catch (const FormatError& e) {
    EXPECT_NE(std::string(e.what()).find("board 2"), std::string::npos) << e.what();
  }
  job_.Boards[1].PosX = 3.0;
  settings_.DrillOffsetY = std::numeric_limits<double>::infinity();
  EXPECT_THROW(panelizeDrillFile(job_, settings_), FormatError);
  EXPECT_FALSE(std::filesystem::exists(settings_.OutputFile));
}

// A real drill file (2.4 inch with trailing zeros left out, many lines giving
// only X) on a 2 x 2 panel: four times its hits, each set shifted by the
// board pitch, and every other line once in its place.
TEST(DrillPanelCorpusTest, RealDrillFileOnATwoByTwoPanel) {
  const std::string wanted = "siemens/80101_0125_F200_ThruHolePlated.ncd";
  std::filesystem::path file;
  for (const test::CorpusEntry& e : test::corpusEntries()) {
    if (e.kind == "drill" && e.localPath.ends_with(wanted)) file = test::corpusDir() / e.localPath;
  }
  if (file.empty() || !std::filesystem::exists(file)) GTEST_SKIP() << "corpus file absent";

  const BoardFormat f = inch24Trailing();
  const double pitchX = 4.25, pitchY = 3.5;
  Job job;
  job.CurrentFormat = f;
  for (int row = 0; row < 2; ++row) {
    for (int col = 0; col < 2; ++col)
      job.Boards.push_back(board(1.0 + col * pitchX, 0.5 + row * pitchY));
  }
  DrillPanelSettings settings;
  settings.InputFile = file.string();
  settings.OutputFile = (test::tempDir() / "panel.drl").string();
  ASSERT_EQ(panelizeDrillFile(job, settings).Status, DrillPanelStatus::Written);

  // Read both files back: their hits (every axis given, or kept) and other lines.
  struct Read {
    std::vector<DrillPoint> hits;
    Lines others;
  };
  auto read = [&](const std::filesystem::path& path) {
    Read r;
    Lines lines = splitDrillLines(test::readFile(path));
    auto points = resolveDrillHits(lines, f);
    for (size_t i = 0; i < lines.size(); ++i) {
      if (points[i])
        r.hits.push_back(*points[i]);
      else
        r.others.push_back(lines[i]);
    }
    return r;
  };
  Read in = read(file), out = read(settings.OutputFile);
  ASSERT_GT(in.hits.size(), 100u);
  EXPECT_EQ(out.others, in.others);
  ASSERT_EQ(out.hits.size(), 4 * in.hits.size());

  // Every input hit appears once per board, moved by that board's position,
  // to the written precision.
  std::vector<DrillPoint> expected;
  for (const Board& b : job.Boards) {
    for (const DrillPoint& p : in.hits) expected.push_back({p.X + b.PosX, p.Y + b.PosY});
  }
  auto key = [](const DrillPoint& p) {
    return std::make_pair(std::llround(p.X * 1e4), std::llround(p.Y * 1e4));
  };
  std::vector<std::pair<long long, long long>> want, got;
  for (const DrillPoint& p : expected) want.push_back(key(p));
  for (const DrillPoint& p : out.hits) got.push_back(key(p));
  std::sort(want.begin(), want.end());
  std::sort(got.begin(), got.end());
  EXPECT_EQ(got, want);
}

}  // namespace
}  // namespace drumplot
