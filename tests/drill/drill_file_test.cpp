// SPDX-License-Identifier: MIT
// The Excellon reader on hand-written files of each dialect, and the
// statements it refuses with the file and line.
#include "drill/drill_file.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "engine/data_format.h"
#include "engine/errors.h"
#include "support/test_support.h"

namespace drumplot {
namespace {

std::optional<DataFormat> given(const char* format) {
  return *format ? std::optional(parseFormatSpec(format)) : std::nullopt;
}

constexpr DrillPoint mm(double x, double y) {
  return {x / 25.4, y / 25.4};
}

struct DialectCase {
  const char* name;
  const char* text;
  const char* dataFormat;  // the operator's, "" for none
  size_t hits, slots, routes;
  DrillPoint first, last;  // hits, inches
  const char* format;      // the file's, as it will be written
};

class DrillDialectTest : public testing::TestWithParam<DialectCase> {};

TEST_P(DrillDialectTest, ReadsHitsSlotsAndRoutesWhereTheFileSays) {
  const DialectCase& c = GetParam();
  DrillFile file = readDrillFile(c.text, "board.drl", given(c.dataFormat));
  EXPECT_EQ((std::tuple{file.hitCount, file.slotCount, file.routeCount}),
            (std::tuple{c.hits, c.slots, c.routes}));
  EXPECT_EQ(describe(file.format), c.format);
  std::vector<DrillPoint> hits = file.hitPoints();
  ASSERT_EQ(hits.size(), c.hits);
  if (hits.empty()) return;
  EXPECT_NEAR(hits.front().x, c.first.x, 1e-9);
  EXPECT_NEAR(hits.front().y, c.first.y, 1e-9);
  EXPECT_NEAR(hits.back().x, c.last.x, 1e-9);
  EXPECT_NEAR(hits.back().y, c.last.y, 1e-9);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Dialects, DrillDialectTest, testing::Values(
    DialectCase{"KicadInchDecimal", "M48\n;FORMAT={-:-/ absolute / inch / decimal}\nFMAT,2\nINCH,TZ\nT1C0.016\n%\nG90\nG05\nT1\nX2.1142Y-3.2126\nX2.58Y-4.\nT0\nM30\n", "2.3,leading,inch", 2, 0, 0, {2.1142, -3.2126}, {2.58, -4.0}, "inch, decimal point"},
    DialectCase{"KicadMetricDecimal", "M48\n; FORMAT={-:-/ absolute / metric / decimal}\nMETRIC\nT1C0.650\n%\nT1\nX121.92Y-81.28\nX23.0701Y-59.013\nM30\n", "", 2, 0, 0, mm(121.92, -81.28), mm(23.0701, -59.013), "mm, decimal point"},
    DialectCase{"MetricHeaderIsNotReadInTheInchFormat", "M48\nMETRIC\nT1C0.8\n%\nT1\nX012700Y025400\nM30\n", "2.3,leading,inch", 1, 0, 0, mm(12.7, 25.4), mm(12.7, 25.4), "mm 3.3, leading zeros left out"},
    DialectCase{"AltiumFileFormatMetricLz", "M48\n;Layer_Color=9474304\n;FILE_FORMAT=4:4\nMETRIC,LZ\nT1F00S00C0.8000\n%\nT01\nX00508Y00127\nX0005Y-00635\nM30\n", "2.4,leading,inch", 2, 0, 0, mm(50.8, 12.7), mm(5, -63.5), "mm 4.4, trailing zeros left out"},
    DialectCase{"EagleMetricTzDigitPattern", "M48\nFMAT,2\nICI,OFF\nMETRIC,TZ,000.000\nT1C1.016\n%\nG90\nM71\nT1\nX25400Y12700\nX508Y-2540\nM30\n", "2.4,trailing,inch", 2, 0, 0, mm(25.4, 12.7), mm(0.508, -2.54), "mm 3.3, leading zeros left out"},
    DialectCase{"PcadPlusSigns", "M48\n;FILE_FORMAT=3:3\nMETRIC,TZ,000.000\nT01C0.500\n%\nT01\nX+25400Y+12700\nX+50800Y+2540\nT00\nM30\n", "", 2, 0, 0, mm(25.4, 12.7), mm(50.8, 2.54), "mm 3.3, leading zeros left out"},
    DialectCase{"KicadKeepZerosAndTrailingSuppressed", "M48\n;FORMAT={3:3/ absolute / metric / suppress trailing zeros}\nT1C0.8\n%\nT1\nX0254Y-0127\nM30\n", "", 1, 0, 0, mm(25.4, -12.7), mm(25.4, -12.7), "mm 3.3, trailing zeros left out"},
    DialectCase{"G85Slot", "M48\nINCH\nT4C0.05\nG05\nT4\nX2.0872Y0.6494G85X2.1463Y0.6494\nM30\n", "", 0, 1, 0, {}, {}, "inch, decimal point"},
    DialectCase{"RoutedSlots", "M48\nMETRIC,TZ\nFMAT,2\nT05C1.0000\n%\nM71\nG90\nG93X0Y0\nT05\nG00X25400Y12700\nG40\nM15\nG01Y25400\nX50800\nM16\nG00X1000Y1000\nM15\nG01X2000\nM17\nT00\nM30\n", "", 0, 0, 2, {}, {}, "mm 3.3, leading zeros left out"},
    DialectCase{"ArcsWithRadiusAndCentreThenDrilling", "M48\nINCH,TZ\nT1C0.25\n%\nG90\nT1\nG00X0Y0\nG02X2500Y2500A2500\nG03X5000Y5000I0J2500\nM16\nG05\nX1Y1\nM30\n", "", 1, 0, 1, {0.0001, 0.0001}, {0.0001, 0.0001}, "inch 2.4, leading zeros left out"},
    DialectCase{"HeaderlessFirstLineHitWithoutFinalNewline", "X01Y02\nT02\nX03Y04", "2.4,trailing,inch", 2, 0, 0, {1, 2}, {3, 4}, "inch 2.4, trailing zeros left out"},
    DialectCase{"RepeatCodes", "M48\nINCH,TZ\nT1C0.05\n%\nT1\nX10000Y10000\nR3X1000Y-500\nM30\n", "", 4, 0, 0, {1, 1}, {1.3, 0.85}, "inch 2.4, leading zeros left out"},
    DialectCase{"MissingAxisKeepsItsValue", "M48\nINCH,LZ\n%\nX01Y02\nX03\nY04\nM30\n", "", 3, 0, 0, {1, 2}, {3, 4}, "inch 2.4, trailing zeros left out"},
    DialectCase{"IncrementalG91", "M48\nINCH,TZ\n%\nX10000Y10000\nG91\nX5000Y-2500\nX5000\nM30\n", "", 3, 0, 0, {1, 1}, {2, 0.75}, "inch 2.4, leading zeros left out"},
    DialectCase{"IncrementalIciOn", "M48\nICI,ON\nINCH,TZ\n%\nX10000Y10000\nX5000\nM30\n", "", 2, 0, 0, {1, 1}, {1.5, 1}, "inch 2.4, leading zeros left out"},
    DialectCase{"PulsonixFormat1InchM70", "M48\n;Pulsonix\nFMAT,1\nINCH,TZ\nT1C0.0280\n%\nG81\nM70\nT1\nX15000Y2500\nX20000Y10000\nM30\n", "", 2, 0, 0, {1.5, 0.25}, {2, 1}, "inch 2.4, leading zeros left out"},
    DialectCase{"UnitsSwitchedInTheBody", "M48\nM71\nT1C1.0\n%\nX25.4Y0\nM72\nX1.5Y0.5\nM30\n", "", 2, 0, 0, {1, 0}, {1.5, 0.5}, "mm, decimal point"},
    DialectCase{"G93Origin", "M48\nINCH,TZ\n%\nG93X10000Y20000\nX5000Y5000\nM30\n", "", 1, 0, 0, {1.5, 2.5}, {1.5, 2.5}, "inch 2.4, leading zeros left out"},
    DialectCase{"CommentsSpacesCrLinesAndEndOnAHit", "M48\r;X9Y9 in a comment\r(X8 too)\rINCH,LZ\r%\rX-01 Y03 ;hit\r\rX02Y03M30\r", "", 2, 0, 0, {-1, 3}, {2, 3}, "inch 2.4, trailing zeros left out"},
    DialectCase{"OperatorFillsWhatTheFileLeavesOpen", "M48\nM72\nT1C0.05\n%\nX9250Y4064\nX20700Y12714\nM30\n", "2.3,leading,mm", 2, 0, 0, {0.925, 0.4064}, {2.07, 1.2714}, "inch 2.4, leading zeros left out"}),
    [](const testing::TestParamInfo<DialectCase>& info) { return info.param.name; });
// clang-format on

TEST(DrillFileTest, SaysWhenTheGivenDataFormatIsNotTheOneUsed) {
  const char* kicad = "M48\nMETRIC\n%\nX1.5Y2.5\nM30\n";
  EXPECT_EQ(readDrillFile(kicad, "k.drl", given("2.4,trailing,inch")).formatNote,
            "k.drl: read in the file's own format (mm, decimal point), not in the given data "
            "format (inch 2.4, trailing zeros left out)");
  EXPECT_EQ(readDrillFile(kicad, "k.drl", std::nullopt).formatNote, "");
  // The same format, or one the file does not contradict: nothing to say.
  EXPECT_EQ(
      readDrillFile("M48\nINCH,LZ\n%\nX01Y02\n", "d.drl", given("2.4,trailing,inch")).formatNote,
      "");
  EXPECT_EQ(readDrillFile("%\nX01Y02\n", "d.drl", given("2.3,trailing,mm")).formatNote, "");
}

struct RefusalCase {
  const char* name;
  std::string text;
  const char* dataFormat;
  const char* message;  // a part of the error
};

class DrillRefusalTest : public testing::TestWithParam<RefusalCase> {};

TEST_P(DrillRefusalTest, NamesTheFileAndLine) {
  const RefusalCase& c = GetParam();
  test::expectError<FormatError>([&] { readDrillFile(c.text, "board.drl", given(c.dataFormat)); },
                                 c.message);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Faults, DrillRefusalTest, testing::Values(
    RefusalCase{"Garbage", "M48\nINCH,TZ\n%\nX1000Y1000\nX12\xe2\x82\xac\nM30\n", "",
                "board.drl:5: 'X12\xe2\x82\xac': cannot be read"},
    RefusalCase{"LetterAfterCoordinates", "M48\nINCH,TZ\n%\nX1000Y1000Z5\n", "", "board.drl:4:"},
    RefusalCase{"OverLongNumber", "M48\nINCH,TZ\n%\nX1234567Y0\n", "2.4,leading,inch",
                "board.drl:4: 'X1234567Y0': 7 digits, more than the 2.4 format holds"},
    RefusalCase{"ZerosNotStated", "M48\nM72\n%\nX1234Y5678\n", "", "board.drl:4:"},
    RefusalCase{"NoUnit", "%\nX1.5Y2.5\n", "", "board.drl:2:"},
    RefusalCase{"NoFormat", "%\nT1C.015\nX01095Y01056\n", "", "board.drl:3:"},
    RefusalCase{"ShortNumberWithNoZerosLeftOut", "%\nX123Y0\n", "2.4,none,inch", "board.drl:2:"},
    RefusalCase{"Binary", std::string("M48\n\x89PNG\x00\x01\x02", 11), "", "board.drl: not an Excellon file"},
    RefusalCase{"UnknownUnitWord", "M48\nINCH,XZ\n%\nX1Y1\n", "", "board.drl:2:"},
    RefusalCase{"MirroredAxes", "M48\nINCH,TZ\n%\nM80\nX1000Y1000\n", "", "board.drl:4:"},
    RefusalCase{"ArcWithoutRadius", "M48\nINCH,TZ\n%\nG00X0Y0\nG02X1000Y1000\n", "", "board.drl:5:"},
    RefusalCase{"RepeatWithoutSteps", "M48\nINCH,TZ\n%\nX1000Y1000\nR5\n", "", "board.drl:5:"},
    RefusalCase{"ToolWithCoordinates", "M48\nINCH,TZ\n%\nT1X1000Y1000\n", "", "board.drl:4:"},
    RefusalCase{"FarAway", "M48\nMETRIC\n%\nX999999.Y0\n", "", "board.drl:4:"}),
    [](const testing::TestParamInfo<RefusalCase>& info) { return info.param.name; });
// clang-format on

}  // namespace
}  // namespace drumplot
