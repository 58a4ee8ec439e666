// SPDX-License-Identifier: MIT
// Drill text: lines cut at control bytes, and coordinate numbers read and
// written in each zero-suppression mode.
#include "drill/drill_text.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "engine/errors.h"
#include "support/test_support.h"

namespace drumplot {
namespace {

BoardFormat format(uint8_t intDigits, uint8_t decDigits, uint8_t zeroSuppression,
                   uint8_t inchUnits = 1) {
  BoardFormat f;
  f.IntDigits = intDigits;
  f.DecDigits = decDigits;
  f.ZeroSuppression = zeroSuppression;
  f.InchUnits = inchUnits;
  return f;
}

constexpr uint8_t kLeading = 0, kTrailing = 1, kNone = 2;

TEST(DrillLinesTest, ControlBytesEndLinesEmptyLinesAndTheUnendedRestGo) {
  EXPECT_EQ(splitDrillLines("M48\r\nT01C0.8\tX1\n\n\r\nM30\r\n"),
            (std::vector<std::string>{"M48", "T01C0.8", "X1", "M30"}));
  // Byte 30 ends a line, byte 31 is text.
  EXPECT_EQ(splitDrillLines(std::string("A\x1e"
                                        "B\x1f"
                                        "C\n",
                                        6)),
            (std::vector<std::string>{"A",
                                      "B\x1f"
                                      "C"}));
  EXPECT_EQ(splitDrillLines("T01\nM30"), (std::vector<std::string>{"T01"}));
  EXPECT_TRUE(splitDrillLines("").empty());
  EXPECT_TRUE(splitDrillLines("\r\n\r\n").empty());
}

TEST(DrillLinesTest, ShortNamesReadNothingAndMissingFilesThrowNamingThem) {
  EXPECT_TRUE(readDrillLines("").empty());
  EXPECT_TRUE(readDrillLines("ab").empty());  // even when no such file exists
  std::string missing = (test::tempDir() / "missing.drl").string();
  try {
    readDrillLines(missing);
    FAIL() << "no error";
  } catch (const IoError& e) {
    EXPECT_NE(std::string(e.what()).find(missing), std::string::npos);
  }
}

struct ReadCase {
  const char* line;
  char letter;
  BoardFormat format;
  std::optional<double> value;
};

class DrillCoordinateReadTest : public testing::TestWithParam<ReadCase> {};

TEST_P(DrillCoordinateReadTest, ReadsTheNumberAfterTheFirstLetter) {
  const ReadCase& c = GetParam();
  std::optional<double> v = readDrillCoordinate(c.line, c.letter, c.format);
  ASSERT_EQ(v.has_value(), c.value.has_value()) << c.line;
  if (v) {
    EXPECT_DOUBLE_EQ(*v, *c.value) << c.line;
  }
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Formats, DrillCoordinateReadTest, testing::Values(
    ReadCase{"X015Y0055",     'X', format(2, 4, kTrailing), 1.5},
    ReadCase{"X015Y0055",     'Y', format(2, 4, kTrailing), 0.55},
    ReadCase{"X-015",         'X', format(2, 4, kTrailing), -1.5},
    ReadCase{"X000000",       'X', format(2, 4, kTrailing), 0.0},
    ReadCase{"X1234567",      'X', format(2, 4, kTrailing), 123.4567},   // too long: no zeros added
    ReadCase{"X1",            'X', format(6, 6, kTrailing), 0.000001},   // 11 missing: beyond 6
    ReadCase{"X1",            'X', format(3, 4, kTrailing), 100.0},      // 6 missing
    ReadCase{"X015",          'X', format(2, 4, kLeading),  0.0015},
    ReadCase{"X015000",       'X', format(2, 4, kNone),     1.5},
    ReadCase{"X-12345",       'X', format(3, 3, kLeading, 0), -12.345},  // millimetres stay
    ReadCase{"Y10X20",        'X', format(2, 3, kLeading),  0.02},
    ReadCase{"G85X1Y2",       'X', format(2, 3, kLeading),  0.001},
    ReadCase{"X2.1142Y-3.2",  'X', format(2, 4, kLeading),  0.0002},     // no decimal points
    ReadCase{"Y015",          'X', format(2, 4, kTrailing), std::nullopt},
    ReadCase{"X",             'X', format(2, 4, kTrailing), std::nullopt},
    ReadCase{"X-",            'X', format(2, 4, kTrailing), std::nullopt},
    ReadCase{"X1-2",          'X', format(2, 4, kTrailing), std::nullopt},
    ReadCase{"X+12",          'X', format(2, 4, kLeading),  std::nullopt},
    ReadCase{"XA12",          'X', format(2, 4, kLeading),  std::nullopt},
    ReadCase{"X99999999999999999999", 'X', format(2, 4, kLeading), std::nullopt}));
// clang-format on

struct WriteCase {
  double value;
  BoardFormat format;
  const char* text;
};

class DrillCoordinateWriteTest : public testing::TestWithParam<WriteCase> {};

TEST_P(DrillCoordinateWriteTest, WritesTheFormatsDigits) {
  const WriteCase& c = GetParam();
  EXPECT_EQ(writeDrillCoordinate(c.value, c.format), c.text) << c.value;
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Formats, DrillCoordinateWriteTest, testing::Values(
    WriteCase{1.5,      format(2, 4, kTrailing), "015"},
    WriteCase{1.5,      format(2, 4, kNone),     "015000"},
    WriteCase{1.5,      format(2, 4, kLeading),  "15000"},
    WriteCase{-1.5,     format(2, 4, kTrailing), "-015"},
    WriteCase{-0.0015,  format(2, 4, kTrailing), "-000015"},
    WriteCase{0.0,      format(2, 4, kTrailing), "000000"},
    WriteCase{0.0,      format(2, 4, kNone),     "000000"},
    WriteCase{0.0,      format(2, 4, kLeading),  "0"},
    WriteCase{10.0,     format(2, 4, kTrailing), "1"},
    WriteCase{123.4567, format(2, 4, kNone),     "1234567"},   // longer than the format: kept
    WriteCase{0.25,     format(2, 1, kLeading),  "2"},         // halves to even
    WriteCase{0.75,     format(2, 1, kLeading),  "8"},
    WriteCase{12.3456,  format(3, 3, kNone, 0),  "012346"},
    WriteCase{1.0e12,   format(2, 4, kLeading),  "10000000000000000"}));
// clang-format on

TEST(DrillCoordinateTest, WrittenNumbersReadBackInEveryMode) {
  const double values[] = {0.0, 0.0001, 0.5, -0.25, 1.2345, -9.9, 12.5};
  for (uint8_t zeros : {kLeading, kTrailing, kNone}) {
    BoardFormat f = format(2, 4, zeros);
    for (double v : values) {
      std::string line = drillHitLine(v, -v, f);
      ASSERT_EQ(line, "X" + writeDrillCoordinate(v, f) + "Y" + writeDrillCoordinate(-v, f));
      EXPECT_NEAR(readDrillCoordinate(line, 'X', f).value(), v, 1e-12) << line;
      EXPECT_NEAR(readDrillCoordinate(line, 'Y', f).value(), -v, 1e-12) << line;
    }
  }
}

// Excellon files often give only the axis that changed.
TEST(DrillCoordinateTest, MissingAxesKeepTheirValueFromTheHitBefore) {
  std::vector<std::string> lines = {"M48",  "Y002",    "X001Y003", "T01",   "X004",
                                    "Y005", "G93X9Y9", "X",        "X006Y", "M30"};
  auto points = resolveDrillHits(lines, format(2, 3, kLeading));
  ASSERT_EQ(points.size(), lines.size());
  auto at = [&](size_t i) { return std::make_pair(points[i]->X, points[i]->Y); };
  EXPECT_FALSE(points[0]);
  EXPECT_EQ(at(1), std::make_pair(0.0, 0.002));  // nothing before: 0
  EXPECT_EQ(at(2), std::make_pair(0.001, 0.003));
  EXPECT_FALSE(points[3]);
  EXPECT_EQ(at(4), std::make_pair(0.004, 0.003));
  EXPECT_EQ(at(5), std::make_pair(0.004, 0.005));
  EXPECT_FALSE(points[6]);  // not a coordinate line
  EXPECT_EQ(at(7), std::make_pair(0.004, 0.005));
  EXPECT_EQ(at(8), std::make_pair(0.006, 0.005));
  EXPECT_FALSE(points[9]);
}

}  // namespace
}  // namespace drumplot
