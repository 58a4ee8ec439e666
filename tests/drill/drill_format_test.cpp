// SPDX-License-Identifier: MIT
// Drill numbers written in each zero mode and unit, and the statements that
// tell a reader the format.
#include "drill/drill_format.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace drumplot {
namespace {

constexpr DrillUnit kInch = DrillUnit::Inch, kMm = DrillUnit::Millimetre;

DrillNumberFormat format(uint8_t intDigits, uint8_t decDigits, DrillZeros zeros,
                         DrillUnit unit = kInch) {
  return {unit, zeros, intDigits, decDigits};
}

struct WriteCase {
  double value;
  DrillNumberFormat format;
  const char* text;
};

class DrillNumberWriteTest : public testing::TestWithParam<WriteCase> {};

TEST_P(DrillNumberWriteTest, WritesTheFormatsDigits) {
  const WriteCase& c = GetParam();
  EXPECT_EQ(writeDrillNumber(c.value, c.format), c.text) << c.value;
}

constexpr DrillZeros kLeading = DrillZeros::Leading, kTrailing = DrillZeros::Trailing,
                     kNone = DrillZeros::None, kDecimal = DrillZeros::Decimal;

// clang-format off
INSTANTIATE_TEST_SUITE_P(Formats, DrillNumberWriteTest, testing::Values(
    WriteCase{1.5,      format(2, 4, kTrailing), "015"},
    WriteCase{1.5,      format(2, 4, kNone),     "015000"},
    WriteCase{1.5,      format(2, 4, kLeading),  "15000"},
    WriteCase{-1.5,     format(2, 4, kTrailing), "-015"},
    WriteCase{-0.0015,  format(2, 4, kTrailing), "-000015"},
    WriteCase{0.0,      format(2, 4, kTrailing), "000000"},
    WriteCase{0.0,      format(2, 4, kLeading),  "0"},
    WriteCase{-0.00001, format(2, 4, kLeading),  "0"},        // rounds to zero: no sign
    WriteCase{10.0,     format(2, 4, kTrailing), "1"},
    WriteCase{123.4567, format(2, 4, kNone),     "1234567"},  // longer than the format: kept
    WriteCase{0.25,     format(2, 1, kLeading),  "2"},        // halves to even
    WriteCase{0.75,     format(2, 1, kLeading),  "8"},
    WriteCase{12.3456,  format(3, 3, kNone, kMm), "012346"},
    WriteCase{1.5,      format(2, 4, kDecimal),  "1.5000"},
    WriteCase{-23.07,   format(3, 3, kDecimal, kMm), "-23.070"},
    WriteCase{-0.0001,  format(3, 3, kDecimal, kMm), "0.000"}));
// clang-format on

TEST(DrillFormatTest, StatementsStateDigitsUnitAndTheZerosKept) {
  EXPECT_EQ(drillFormatStatements(format(2, 4, kTrailing)),
            (std::vector<std::string>{";FILE_FORMAT=2:4", "INCH,LZ"}));
  EXPECT_EQ(drillFormatStatements(format(3, 3, kLeading, kMm)),
            (std::vector<std::string>{";FILE_FORMAT=3:3", "METRIC,TZ"}));
  // Decimal and full-width numbers keep their trailing zeros.
  EXPECT_EQ(drillFormatStatements(format(3, 3, kDecimal, kMm))[1], "METRIC,TZ");
  EXPECT_EQ(drillFormatStatements(format(2, 4, kNone))[1], "INCH,TZ");
}

}  // namespace
}  // namespace drumplot
