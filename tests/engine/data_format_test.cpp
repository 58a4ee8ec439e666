// SPDX-License-Identifier: MIT
// Coordinate numbers and format statements.
#include "engine/data_format.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <tuple>

#include "support/test_support.h"

namespace drumplot {
namespace {

TEST(CoordinateTest, ReadsTheNumberAfterX) {
  // clang-format off
  const struct {
    const char* statement;
    int intDigits, decDigits, zeros, metric;
    double expected;  // inches; kNoCoordinate for "no value"
  } rows[] = {
      // statement         I  D  zeros mm  inches
      {"X12500Y0D01*",    2, 4, 0,    0,  1.25},
      {"X125D01*",        2, 4, 1,    0,  12.5},       // trailing: 3 digits, k = 3
      {"Y-25400D02*",     3, 3, 0,    1,  -1.0},       // millimetres
      {"X+00125*",        2, 4, 0,    0,  0.0125},     // leading zeros ignored...
      {"X125*",           2, 4, 0,    0,  0.0125},
      {"X00125*",         2, 4, 1,    0,  0.125},      // ...but counted when trailing
      {"X125*",           2, 4, 2,    0,  0.0125},     // none: no correction
      {"X1.5*",           2, 3, 0,    0,  1.5},        // a decimal in the file unit
      {"X*",              2, 3, 0,    0,  kNoCoordinate},
      {"XY100*",          2, 3, 0,    0,  kNoCoordinate},
      {"X12-3*",          2, 3, 0,    0,  kNoCoordinate}, // not one integer
      {"X123456789012345678901234567890*", 2, 3, 0, 0, kNoCoordinate},
      {"X2147483647*",    2, 0, 0,    0,  2147483647.0}, // decimal count 0: divisor 1
      {"X1000*",          2, 7, 0,    0,  1000.0},     // decimal count 7: divisor 1
      {"X1*",             2, 4, 1,    0,  10.0},       // k = 5
      {"X1*",             3, 4, 1,    0,  100.0},      // k = 6
      {"X12345678*",      2, 4, 1,    0,  1234.5678},  // k wraps to 254: no correction
      {"X1*",             6, 6, 1,    0,  0.000001}    // k = 11: no correction
  };
  // clang-format on
  for (const auto& c : rows) {
    DataFormat f;
    f.IntDigits = static_cast<uint8_t>(c.intDigits);
    f.DecDigits = static_cast<uint8_t>(c.decDigits);
    f.ZeroSuppression = static_cast<ZeroSuppression>(c.zeros);
    f.Metric = c.metric != 0;
    const std::string s = c.statement;
    EXPECT_NEAR(parseCoordinate(s, s.find_first_of("XY"), f, f.unitScale()), c.expected, 1e-12)
        << s << " in " << c.intDigits << "." << c.decDigits << ", zeros " << c.zeros;
  }
}

TEST(FormatStatementTest, FsAndUnitStatements) {
  DataFormat f;
  applyFormatStatement("%FSLAX24Y24*", f);
  EXPECT_EQ(std::tuple(f.ZeroSuppression, f.Absolute, f.IntDigits, f.DecDigits),
            std::tuple(ZeroSuppression::Leading, true, 2, 4));
  applyFormatStatement("%FSTIX34Y34*", f);
  EXPECT_EQ(std::tuple(f.ZeroSuppression, f.Absolute, f.IntDigits, f.DecDigits),
            std::tuple(ZeroSuppression::Trailing, false, 3, 4));

  // "T" wins over "L"; the Y digits are not read.
  applyFormatStatement("FSLTAX25Y36*", f);
  EXPECT_EQ(std::tuple(f.ZeroSuppression, f.DecDigits), std::tuple(ZeroSuppression::Trailing, 5));

  // Neither L nor T keeps the preset, so "none" comes only from the preset.
  DataFormat none;
  none.ZeroSuppression = ZeroSuppression::None;
  applyFormatStatement("%FSAX23Y23*", none);
  EXPECT_EQ(none.ZeroSuppression, ZeroSuppression::None);

  // Units and absolute mode, each statement after the one before.
  // clang-format off
  for (auto [statement, field, value] : {
           std::tuple{"%MOMM*", &DataFormat::Metric, 1}, {"G70*", &DataFormat::Metric, 0},
           {"G71*", &DataFormat::Metric, 1}, {"MOIN*", &DataFormat::Metric, 0},
           {"G90*", &DataFormat::Absolute, 1}, {"G91*", &DataFormat::Absolute, 0}}) {
    // clang-format on
    applyFormatStatement(statement, f);
    EXPECT_EQ(f.*field, value) << statement;
  }
}

TEST(FormatStatementTest, DigitsThatAreNotDigitsAreTakenAsTheyAre) {
  DataFormat f;
  applyFormatStatement("%FSLAX:9Y99*", f);
  EXPECT_EQ(std::tuple(f.IntDigits, f.DecDigits), std::tuple(':' - '0', 9));
  // The parser then uses divisor 1 for a decimal count outside 1 to 6.
  std::string s = "X1234*";
  EXPECT_EQ(parseCoordinate(s, 0, f, 1.0), 1234.0);
}

TEST(FormatSpecTest, CommandLineForm) {
  DataFormat f = parseFormatSpec("2.4,trailing,inc,mm");
  EXPECT_EQ(std::tuple(f.IntDigits, f.DecDigits, f.ZeroSuppression, f.Absolute, f.Metric),
            std::tuple(2, 4, ZeroSuppression::Trailing, false, true));
  EXPECT_EQ(parseFormatSpec(formatSpecText(f)), f);
  EXPECT_EQ(parseFormatSpec("2.3"), DataFormat{});
  EXPECT_THROW(parseFormatSpec("2,3"), std::invalid_argument);
  EXPECT_THROW(parseFormatSpec("2.3,sideways"), std::invalid_argument);
  // 1 to 6 integer and 0 to 5 decimal digits, as the data-format dialog takes them.
  DataFormat whole = parseFormatSpec("5.0");
  EXPECT_EQ(whole.DecDigits, 0);
  EXPECT_EQ(parseCoordinate("X12", 0, whole, 1.0), 12.0);
  EXPECT_EQ(parseFormatSpec("6.5").IntDigits, 6);
  for (const char* bad : {"7.3", "0.3", "2.6"}) {
    test::expectError<std::invalid_argument>(
        [&] { parseFormatSpec(bad); },
        std::string("data format '") + bad +
            "': expected I.D with 1 to 6 integer digits and 0 to 5 decimal digits, e.g. 2.4");
  }
}

TEST(IncrementalAxisTest, AccumulatesOnlyRealValues) {
  IncrementalAxis axis;
  EXPECT_EQ(axis.resolve(1.0, false), 1.0);
  EXPECT_EQ(axis.resolve(0.5, false), 1.5);
  EXPECT_EQ(axis.resolve(kNoCoordinate, false), kNoCoordinate);
  EXPECT_EQ(axis.resolve(-0.5, false), 1.0);
  EXPECT_EQ(axis.resolve(3.0, true), 3.0);
  EXPECT_EQ(axis.inc, 1.0);
}

}  // namespace
}  // namespace drumplot
