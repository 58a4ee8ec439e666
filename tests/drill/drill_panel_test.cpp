// SPDX-License-Identifier: MIT
// Drill panelization: blocks repeated per board, offsets, marks, slots and
// routes, the written format and its numbers, the command's messages and
// files, and the overview of the crosses and board outlines.
#include "drill/drill_panel.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <limits>
#include <set>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "drill/drill_format.h"
#include "drill/drill_overview.h"
#include "engine/data_format.h"
#include "engine/errors.h"
#include "support/test_support.h"

namespace drumplot {
namespace {

using Lines = std::vector<std::string>;

Board board(double x, double y, double minX = 0.0, double minY = 0.0) {
  Board b;
  std::tie(b.PosX, b.PosY, b.DataMinX, b.DataMinY) = std::tuple(x, y, minX, minY);
  b.DataWidth = b.DataHeight = 1.0;
  return b;
}

// A mark drawn as one flash: its target on its corner.
Board mark(const std::string& name, double x, double y) {
  Board b = board(x, y);
  b.DataWidth = b.DataHeight = 0.0;
  b.IsMark = true;
  b.MarkName = name;
  return b;
}

DrillPanel panelize(const char* text, const std::vector<Board>& boards, double dx = 0.0,
                    double dy = 0.0, const std::optional<DataFormat>& dataFormat = {},
                    const std::optional<DataFormat>& outputFormat = {},
                    const std::optional<MarkDrillTable>& marks = {}) {
  const DrillFile file = readDrillFile(text, "board.drl", dataFormat);
  const DrillNumberFormat format = outputFormat ? drillFormatOf(*outputFormat) : file.format;
  return panelizeDrill(file, boards, format, dx, dy,
                       marks.value_or(makeMarkDrillTable(gatherMarkNames(boards))));
}

// 2.4, trailing zeros left out.
const char* const kTwoTools =
    "M48\nINCH,LZ\nT01C0.032\nT02C0.040\n%\nT01\nX001Y002\nX003Y004\nT02\nX005Y006\nM30\n";

TEST(DrillPanelTest, EachBlockRepeatsPerBoardBeforeTheStatementAfterIt) {
  DrillPanel panel = panelize(kTwoTools, {board(2.0, 1.0), board(4.0, 1.0)});
  // clang-format off
  EXPECT_EQ(panel.lines, (Lines{"M48", ";FILE_FORMAT=2:4", "INCH,LZ", "T01C0.032", "T02C0.040", "%",
                                "T01", "G90",
                                "X021Y012", "X023Y014",  // board 1
                                "X041Y012", "X043Y014",  // board 2
                                "T02",
                                "X025Y016", "X045Y016",
                                "M30"}));
  // clang-format on
  EXPECT_EQ(std::tuple(panel.boardHits, panel.markHits), std::tuple(6u, 0u));
}

// A file without a header (or with one after its first coordinates) gets
// one; its first hit is written only moved, and a last hit without a line
// end is kept.
TEST(DrillPanelTest, AFileWithoutHeaderGetsOneAndKeepsEveryHit) {
  auto p = [](const char* text) {
    return panelize(text, {board(1.0, 0.0)}, 0, 0, parseFormatSpec("2.4,trailing,inch")).lines;
  };
  EXPECT_EQ(p("X01Y02\nT02\nX03Y04"), (Lines{"M48", ";FILE_FORMAT=2:4", "INCH,LZ", "%", "G90",
                                             "X02Y02", "T02", "X04Y04", "M30"}));
  // What comes before the first tool or coordinates stays before the header.
  EXPECT_EQ(p(";LEADER: 12\n%\nX01Y02\nM30\n"),
            (Lines{";LEADER: 12", "%", "M48", ";FILE_FORMAT=2:4", "INCH,LZ", "%", "G90", "X02Y02",
                   "M30"}));
}

TEST(DrillPanelTest, MarksGetTheirToolLineAndOneHitPerMarkBoardBeforeTheEnd) {
  std::vector<Board> boards = {mark("M2", 0.2, 0.3), board(1.0, 1.0, 0.5, 0.25),
                               mark("M1", 5.0, 4.0), board(3.0, 1.0, 0.7, 0.7),
                               mark("M1", 0.3, 4.0)};
  EXPECT_EQ(gatherMarkNames(boards), (Lines{"M1", "M2"}));
  MarkDrillTable table = makeMarkDrillTable(gatherMarkNames(boards));
  EXPECT_EQ(table[0], (MarkDrill{"M1", "T01F095S3"}));
  EXPECT_EQ(table[2], (MarkDrill{"None", "T01F095S3"}));
  table[1].MarkDrillTool = "T09";

  // The offset moves board hits only; marks sit at position + the first
  // ordinary board's data origin (0.5, 0.25). A comment after the end stays after it.
  DrillPanel panel =
      panelize("M48\nINCH,LZ\n%\nT01\nX001Y001\nM30\n;end\n", boards, 0.1, 0.1, {}, {}, table);
  // clang-format off
  EXPECT_EQ(Lines(panel.lines.begin() + 6, panel.lines.end()),
            (Lines{"X012Y012", "X032Y012",
                   "T01F095S3", "X055Y0425", "X008Y0425",  // M1 in board order
                   "T09", "X007Y0055",                     // M2
                   "M30", ";end"}));
  // clang-format on
  EXPECT_EQ(std::tuple(panel.boardHits, panel.markHits), std::tuple(2u, 3u));
  // Crosses lie on the plotting area: less the reference minimum.
  ASSERT_EQ(panel.crosses.size(), 5u);
  EXPECT_NEAR(panel.crosses[0].x, 0.7, 1e-12);
  EXPECT_NEAR(panel.crosses[2].x, 5.0, 1e-12);
  EXPECT_NEAR(panel.crosses[2].y, 4.0, 1e-12);

  // Names past the tenth row get the default tool; no mark board, no marks.
  std::vector<Board> many = {board(0.0, 0.0)};
  for (char c = 'A'; c <= 'K'; ++c) many.push_back(mark(std::string(1, c), 1.0, 1.0));
  MarkDrillTable tens = makeMarkDrillTable(gatherMarkNames(many));
  for (MarkDrill& row : tens) row.MarkDrillTool = "T02";
  panel = panelize("M48\nINCH,LZ\n%\nX001Y001\n", many, 0, 0, {}, {}, tens);
  EXPECT_EQ(panel.markHits, 11u);
  EXPECT_EQ(std::count(panel.lines.begin(), panel.lines.end(), "T02"), 10);
  EXPECT_EQ(panel.lines[panel.lines.size() - 3], "T01F095S3");  // K
  EXPECT_EQ(panel.lines.back(), "M30");                         // appended
  EXPECT_EQ(panelize("M48\nINCH,LZ\n%\nX001Y001\nM30\n", {board(0, 0)}).lines.size(), 7u);
  // A mark drawn as a ring and a cross: the hit on the centre of its extents.
  Board ring = mark("M1", 1.0, 1.0);
  ring.DataWidth = ring.DataHeight = 0.12;
  const DrillPanel centred = panelize("M48\nINCH,LZ\n%\nT01\nX001Y001\nM30\n", {board(0, 0), ring});
  EXPECT_NEAR(centred.crosses.back().x, 1.06, 1e-12);
  EXPECT_NEAR(centred.crosses.back().y, 1.06, 1e-12);
}

// With a film scale, each position lies where the scaled film puts its pad:
// its place on the plotting area stretched, the offset kept; marks likewise.
TEST(DrillPanelTest, AScaleStretchesPositionsAsTheFilmIsAboutTheAreasCorner) {
  const std::vector<Board> boards = {board(1.0, 1.0, 0.5, 0.25), mark("M1", 5.0, 4.0)};
  const DrillFile file = readDrillFile("M48\nINCH,LZ\n%\nT01\nX001Y001\nM30\n", "b.drl", {});
  const DrillPanel panel = panelizeDrill(file, boards, file.format, 0.1, 0.1,
                                         makeMarkDrillTable({"M1"}), FilmScale{1000, -500});
  ASSERT_EQ(panel.crosses.size(), 2u);
  // The hit lies 0.6 x 0.85 inch from the area's corner beyond the offset.
  EXPECT_NEAR(panel.crosses[0].x, 0.1 + 0.6 * 1.001, 1e-9);
  EXPECT_NEAR(panel.crosses[0].y, 0.1 + 0.85 * 0.9995, 1e-9);
  EXPECT_NEAR(panel.crosses[1].x, 5.0 * 1.001, 1e-9);
  EXPECT_NEAR(panel.crosses[1].y, 4.0 * 0.9995, 1e-9);
}

TEST(DrillPanelTest, MillimetreDataShiftsByPositionsInMillimetres) {
  std::vector<Board> boards = {board(1.0, 2.0, 0.1, 0.2), mark("T", 1.0, 1.0)};
  DrillPanel panel = panelize("M48\nMETRIC,TZ\n%\nT1\nX1000Y2000\nM30\n", boards, 0.1);
  // 1 mm + 25.4 mm + 2.54 mm; 2 mm + 50.8 mm; the mark at (1 + 0.1, 1 + 0.2) inch.
  EXPECT_EQ(Lines(panel.lines.begin() + 4, panel.lines.end()),
            (Lines{"T1", "G90", "X28940Y52800", "T01F095S3", "X27940Y30480", "M30"}));
  ASSERT_EQ(panel.crosses.size(), 2u);
  EXPECT_NEAR(panel.crosses[0].x, 28.94 / 25.4 - 0.1, 1e-12);
  EXPECT_NEAR(panel.crosses[1].y, 1.0, 1e-12);
}

// A block of a slot and a route on two boards: each copy moved, arcs keep
// their radius, and the second board's slot is drilled after "G05".
TEST(DrillPanelTest, SlotsAndRoutesMoveWithTheirBoards) {
  DrillPanel panel = panelize(
      "M48\nINCH,TZ\nT1C0.05\n%\nT1\nX0Y0G85X5000Y0\nG00X0Y10000\nM15\nG01X5000\n"
      "G03X10000Y15000I0J5000\nM16\nM30\n",
      {board(1.0, 0.0), board(2.0, 0.5)});
  // clang-format off
  EXPECT_EQ(Lines(panel.lines.begin() + 6, panel.lines.end()),
            (Lines{"G90",
                   "X10000Y0G85X15000Y0", "G00X10000Y10000", "M15", "G01X15000Y10000",
                   "G03X20000Y15000I0J5000", "M16",
                   "G05",
                   "X20000Y5000G85X25000Y5000", "G00X20000Y15000", "M15", "G01X25000Y15000",
                   "G03X30000Y20000I0J5000", "M16",
                   "M30"}));
  // clang-format on
  EXPECT_EQ(std::tuple(panel.slotCount, panel.routeCount), std::tuple(2u, 2u));
  ASSERT_EQ(panel.paths.size(), 4u);
  EXPECT_DOUBLE_EQ(panel.paths[0].diameter, 0.05);
  // The route: its start, the line's end, then the quarter arc in 5-degree steps.
  const std::vector<DrillPoint>& route = panel.paths[1].points;
  ASSERT_EQ(route.size(), 2u + 18u);
  EXPECT_NEAR(route[1].x, 1.5, 1e-12);
  EXPECT_NEAR(route.back().x, 2.0, 1e-12);
  EXPECT_NEAR(route.back().y, 1.5, 1e-12);
  EXPECT_NEAR(route[10].x, 1.5 + 0.5 * std::sin(3.14159265358979 / 4), 1e-12);
}

// A slot ends a route (the tool lifts first) and drills; a cut after it
// starts a route where the tool is; a mark after "G00" is drilled after "G05".
TEST(DrillPanelTest, RoutingAndDrillingModesHoldInTheWrittenFile) {
  DrillPanel panel =
      panelize("M48\nINCH,TZ\n%\nG00X0Y0\nG01X1000\nX1000Y1000G85X2000Y1000\nG01X3000\nG00\nM30\n",
               {board(0.0, 0.0), mark("M", 0.5, 0.0)});
  EXPECT_EQ(Lines(panel.lines.begin() + 4, panel.lines.end()),
            (Lines{"G90", "G00X0Y0", "G01X1000Y0", "M16", "G05", "X1000Y1000G85X2000Y1000",
                   "G00X2000Y1000", "G01X3000Y1000", "G00", "M16", "T01F095S3", "G05", "X5000Y0",
                   "M30"}));
  EXPECT_EQ(panel.routeCount, 2u);
}

TEST(DrillPanelTest, WrittenInTheFormatAskedForWithToolsInItsUnit) {
  EXPECT_EQ(panelize("M48\nMETRIC\nT1C0.800\n%\nT1\nX25.4Y-12.7\nM30\n", {board(0.0, 0.0)}, 0, 0,
                     {}, parseFormatSpec("2.4,trailing,inch"))
                .lines,
            (Lines{"M48", ";FILE_FORMAT=2:4", "INCH,LZ", "T1C0.0315", "%", "T1", "G90", "X01Y-005",
                   "M30"}));
  // Integer digits grow until the panel's numbers fit.
  DrillPanel wide = panelize("M48\n;FILE_FORMAT=1:3\nINCH,LZ\n%\nX5Y5\n", {board(8.0, 0.0)});
  EXPECT_EQ(wide.format.IntDigits, 2);
  EXPECT_EQ(wide.lines[1], ";FILE_FORMAT=2:3");
  EXPECT_EQ(wide.lines[5], "X13Y05");
}

class DrillPanelFileTest : public testing::Test {
 protected:
  void SetUp() override {
    dir_ = test::tempDir();
    job_.JobName = (dir_ / "job.wpr").string();
    job_.boards = {board(1.0, 1.0), board(3.0, 1.0)};
    settings_.inputFile = (dir_ / "board.drl").string();
    settings_.outputFile = (dir_ / "panel.drl").string();
    test::writeFile(settings_.inputFile,
                    "M48\r\nINCH,LZ\r\nT01C0.032\r\n%\r\nT01\r\nX001Y001\r\nM30\r\n");
  }
  std::filesystem::path dir_;
  Job job_;
  DrillPanelSettings settings_;
};

TEST_F(DrillPanelFileTest, WritesThePanelThroughATemporaryFile) {
  test::writeFile(settings_.outputFile, "old contents that are longer than the new file");
  DrillPanelResult result = panelizeDrillFile(job_, settings_);
  ASSERT_EQ(result.status, DrillPanelStatus::Written);
  EXPECT_EQ(test::readFile(settings_.outputFile),
            "M48\r\n;FILE_FORMAT=2:4\r\nINCH,LZ\r\nT01C0.032\r\n%\r\nT01\r\nG90\r\n"
            "X011Y011\r\nX031Y011\r\nM30\r\n");
  // Only the two drill files are left in the folder.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_), {}), 2);
}

TEST_F(DrillPanelFileTest, NamesEmptyInputsAndFilesWithoutHitsStopWithTheirMessages) {
  DrillPanelSettings s = settings_;
  s.outputFile = "p";
  EXPECT_EQ(panelizeDrillFile(job_, s).status, DrillPanelStatus::OutputNotSpecified);
  EXPECT_STREQ(toString(DrillPanelStatus::OutputNotSpecified), "Output file is not specified");

  s = settings_;
  s.inputFile = "ab";
  EXPECT_EQ(panelizeDrillFile(job_, s).status, DrillPanelStatus::DataFileEmpty);
  test::writeFile(settings_.inputFile, "\r\n \r\n");
  EXPECT_EQ(panelizeDrillFile(job_, settings_).status, DrillPanelStatus::DataFileEmpty);
  EXPECT_STREQ(toString(DrillPanelStatus::DataFileEmpty), "Data file is empty");
  test::writeFile(settings_.inputFile, "M48\r\nMETRIC\r\n%\r\nM30");
  EXPECT_EQ(panelizeDrillFile(job_, settings_).status, DrillPanelStatus::NoHits);
  EXPECT_STREQ(toString(DrillPanelStatus::NoHits), "Data file has no hits");
  EXPECT_FALSE(std::filesystem::exists(settings_.outputFile));

  // A missing input is reported before the output name is looked at.
  s = settings_;
  s.inputFile = (dir_ / "missing.drl").string();
  s.outputFile = "";
  EXPECT_THROW(panelizeDrillFile(job_, s), IoError);
}

TEST_F(DrillPanelFileTest, UnreadableInputsUnwritableOutputsAndUnusablePositionsThrow) {
  test::writeFile(settings_.inputFile, "M48\nINCH,LZ\n%\nX001Y001\nX0#1\n");
  EXPECT_THROW(panelizeDrillFile(job_, settings_), FormatError);
  test::writeFile(settings_.inputFile, "M48\nINCH,LZ\n%\nX001Y001\n");
  DrillPanelSettings s = settings_;
  s.outputFile = (dir_ / "no-such-folder" / "panel.drl").string();
  EXPECT_THROW(panelizeDrillFile(job_, s), IoError);

  job_.boards[1].PosX = std::numeric_limits<double>::quiet_NaN();
  test::expectError<FormatError>([&] { panelizeDrillFile(job_, settings_); }, "board 2");
  job_.boards[1].PosX = 3.0;
  settings_.DrillOffsetY = std::numeric_limits<double>::infinity();
  EXPECT_THROW(panelizeDrillFile(job_, settings_), FormatError);
  EXPECT_FALSE(std::filesystem::exists(settings_.outputFile));
}

// What the command refuses (nothing written) or warns of, and writes then.
struct HostileCase {
  std::string body;     // after a header of tools T1 and T2, inch 2.4, TZ
  double secondBoardX;  // the boards stand at (1, 1) and (this, 1)
  const char* message;
  const char* written;  // a part of the panel; nullptr: refused
};

TEST_F(DrillPanelFileTest, RefusesOrWarnsOfHostileInputs) {
  std::string repeats = "X0Y0\n";
  for (int i = 0; i < 100; ++i) repeats += "R9999X0001\n";
  // clang-format off
  const std::vector<HostileCase> cases = {
      {"G00X0Y0\nM15\nG01X1000\nT2\nX0Y0\nM30\n", 3.0, "board.drl:10: 'T2': the route has no M16 or M17: it is closed (M16) before this statement", "G01X11000Y10000\r\nM16\r\nG00X30000Y10000\r\nM15\r\nG01X31000Y10000\r\nM16\r\nT2\r\n"},
      {"G00X0Y0\nG01X1000\n", 3.0, "board.drl:8: 'G01X1000': the route has no M16 or M17: it is closed (M16) at the end of the file", "G01X31000Y10000\r\nM16\r\nM30\r\n"},
      {"T3\nX0Y0\nT3\nM30\n", 3.0, "board.drl:7: 'T3': tool T3 is not defined", ""},
      {"X0Y0\nM71\nX25400Y0\nM30\n", 3.0, "board.drl:8: 'M71': the unit changes to mm here; the numbers from here on are read in it", "X10000Y10000\r\nX20000Y10000\r\nX30000Y10000\r\nX40000Y10000\r\n"},
      {"M70\nX0Y0\n", 3.0, "board.drl:7: 'M70': M70 alone is the inch mode of a format 1 file (FMAT,1) only", nullptr},
      {repeats, 3.0, "board.drl: the panel holds 1999802 positions (999901 on each of 2 boards, 0 marks), more than the 1000000 a drill file may hold; nothing is written", nullptr},
      {"X10000Y0\n", 9999.5, "board.drl: the panel reaches 10000.5000 inches from the origin, beyond the 10000 a drill file may hold", nullptr},
      {";FILE_FORMAT=1:14\nX1Y1\n", 12.0, "board.drl: the panel's numbers need 2.14 digits, more than the 15 a drill number may hold", nullptr},
  };
  // clang-format on
  for (const HostileCase& c : cases) {
    SCOPED_TRACE(c.message);
    test::writeFile(settings_.inputFile, "M48\nINCH,TZ\nT1C0.01\nT2C0.02\n%\nT1\n" + c.body);
    job_.boards[1].PosX = c.secondBoardX;
    if (!c.written) {
      test::expectError<FormatError>([&] { panelizeDrillFile(job_, settings_); }, c.message);
      EXPECT_FALSE(std::filesystem::exists(settings_.outputFile));
      continue;
    }
    const std::vector<std::string> warnings = panelizeDrillFile(job_, settings_).warnings;
    EXPECT_EQ(warnings.size(), 1u);
    EXPECT_NE(warnings.at(0).find(c.message), std::string::npos) << warnings.at(0);
    const std::string written = test::readFile(settings_.outputFile);
    EXPECT_NE(written.find(c.written), std::string::npos) << written;
    std::filesystem::remove(settings_.outputFile);
  }
}

constexpr DrillUnit kInch = DrillUnit::Inch, kMm = DrillUnit::Millimetre;

DrillNumberFormat format(uint8_t intDigits, uint8_t decDigits, DrillZeros zeros,
                         DrillUnit unit = kInch) {
  return {unit, zeros, intDigits, decDigits};
}

constexpr DrillZeros kLeading = DrillZeros::Leading, kTrailing = DrillZeros::Trailing,
                     kNone = DrillZeros::None, kDecimal = DrillZeros::Decimal;

TEST(DrillFormatTest, NumbersHaveTheFormatsDigits) {
  // clang-format off
  const struct {
    double value;
    DrillNumberFormat format;
    const char* text;
  } rows[] = {
    {1.5,      format(2, 4, kTrailing), "015"},
    {1.5,      format(2, 4, kNone),     "015000"},
    {1.5,      format(2, 4, kLeading),  "15000"},
    {-1.5,     format(2, 4, kTrailing), "-015"},
    {-0.0015,  format(2, 4, kTrailing), "-000015"},
    {0.0,      format(2, 4, kTrailing), "000000"},
    {0.0,      format(2, 4, kLeading),  "0"},
    {-0.00001, format(2, 4, kLeading),  "0"},        // rounds to zero: no sign
    {10.0,     format(2, 4, kTrailing), "1"},
    {123.4567, format(2, 4, kNone),     "1234567"},  // longer than the format: kept
    {0.25,     format(2, 1, kLeading),  "2"},        // halves to even
    {0.75,     format(2, 1, kLeading),  "8"},
    {12.3456,  format(3, 3, kNone, kMm), "012346"},
    {1.5,      format(2, 4, kDecimal),  "1.5000"},
    {-23.07,   format(3, 3, kDecimal, kMm), "-23.070"},
    {-0.0001,  format(3, 3, kDecimal, kMm), "0.000"}};
  // clang-format on
  for (const auto& c : rows) EXPECT_EQ(writeDrillNumber(c.value, c.format), c.text) << c.value;
}

TEST(DrillFormatTest, StatementsStateDigitsUnitAndTheZerosKept) {
  EXPECT_EQ(drillFormatStatements(format(2, 4, kTrailing)),
            (std::vector<std::string>{";FILE_FORMAT=2:4", "INCH,LZ"}));
  EXPECT_EQ(drillFormatStatements(format(3, 3, kLeading, kMm)),
            (std::vector<std::string>{";FILE_FORMAT=3:3", "METRIC,TZ"}));
  // Decimal and full-width numbers keep their trailing zeros.
  EXPECT_EQ(drillFormatStatements(format(3, 3, kDecimal, kMm))[1], "METRIC,TZ");
  EXPECT_EQ(drillFormatStatements(format(2, 4, kNone))[1], "INCH,TZ");
}

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
  Board b = board(0.5, 0.25);
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
