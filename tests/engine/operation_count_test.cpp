// SPDX-License-Identifier: MIT
// Counting a file's operations without expanding it, the blocks that cannot
// be drawn, and macro fields that cannot be evaluated.
#include "engine/operation_count.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <tuple>

#include "engine/errors.h"
#include "engine/gerber_reader.h"

namespace drumplot {
namespace {

GerberReader read(const std::string& body) {
  GerberReader reader;
  reader.FileName = "t.gbr";
  reader.loadBytes("%FSLAX24Y24*%%MOIN*%%ADD10C,0.01*%" + body + "M02*");
  reader.computeExtents();
  reader.parseDefinitions();
  return reader;
}

std::string refusal(const GerberReader& reader) {
  try {
    reader.refuseUndrawable(reader.limits().maxOperations);
  } catch (const FormatError& e) {
    return e.what();
  }
  return {};
}

struct CountCase {
  const char* name;
  std::string body;
  uint64_t operations;
  std::optional<int> recursiveBlock;  // the block named
  const char* refused;                // part of the refusal; empty: drawn
};

// Step and repeat multiplies its body, an aperture block flash counts the
// block's operations (aperture blocks and step and repeat in the Gerber
// standard); the counts stay exact however large they get.
const CountCase kCounts[] = {
    {"PlainFlashesAndDraws", "D10*X0Y0D03*X100Y0D01*X200Y0D02*X300Y0D01*", 3, {}, ""},
    {"RepeatOfOneFlash",
     "D10*%SRX100000Y100000I0.0001J0.0001*%X0Y0D03*%SR*%",
     10'000'000'000,
     {},
     "line 1: step and repeat and aperture blocks expand the file to 10,000,000,000 operations"},
    {"RepeatOfNothingDrawn", "D10*%SRX0Y5I1J1*%X0Y0D03*%SR*%", 0, {}, ""},
    // The aperture carries on from copy to copy: only the first copy
    // flashes D10 before selecting the block.
    {"RepeatCarriesTheAperture",
     "%ABD11*%D10*X0Y0D03*X100Y0D03*%AB*%D10*%SRX3Y1I1J1*%X0Y0D03*D11*%SR*%",
     1 + 2 * 2,
     {},
     ""},
    {"BlockFlashedUnderRepeat",
     "%ABD11*%D10*%SRX1000Y1000I0.1J0.1*%X0Y0D03*%SR*%%AB*%D11*%SRX100Y100I1J1*%X0Y0D03*%SR*%",
     10'000'000'000,
     {},
     "expand the file to 10,000,000,000"},
    {"BlockFlashingItself", "%ABD11*%D11*X0Y0D03*%AB*%D11*X0Y0D03*", 0, 11,
     "aperture block D11 flashes itself"},
    {"BlocksFlashingEachOtherTwice",
     "%ABD11*%D12*X0Y0D03*X100Y0D03*%AB*%%ABD12*%D11*X0Y0D03*X0Y100D03*%AB*%D11*X0Y0D03*", 0, 11,
     "flashes itself"},
    // 2^31 flashes from 31 nested blocks, each flashing the next twice.
    {"DeepButFiniteBlocks", "", uint64_t{1} << 31, {}, "2,147,483,648 operations"},
    {"CopiedMovesCostTime", "D10*%SRX100000Y100000I1J1*%X0Y0D02*%SR*%", 0, {}, "operations ("},
    {"CopiesOfNothingCostTime", "%SRX3Y2000000000I1J1*%%SR*%", 0, {}, "(6,000,000,000 statements)"},
};

class OperationCountTest : public testing::TestWithParam<CountCase> {};

TEST_P(OperationCountTest, CountsWithoutExpanding) {
  CountCase c = GetParam();
  if (c.body.empty()) {
    for (int d = 11; d <= 41; ++d) {
      c.body += "%ABD" + std::to_string(d) + "*%D" + std::to_string(d == 41 ? 10 : d + 1) +
                "*X0Y0D03*X10Y0D03*%AB*%";
    }
    c.body += "D11*X0Y0D03*";
  }
  const GerberReader reader = read(c.body);
  const OperationCount& count = reader.Operations;
  if (!c.recursiveBlock) {
    EXPECT_EQ(count.operations, c.operations);
  }
  EXPECT_EQ(count.recursiveBlock ? std::optional(count.recursiveBlock->dCode) : std::nullopt,
            c.recursiveBlock);
  const std::string why = refusal(reader);
  if (*c.refused == '\0') {
    EXPECT_EQ(why, "");
  } else {
    EXPECT_NE(why.find(c.refused), std::string::npos) << why;
    EXPECT_EQ(why.rfind("t.gbr: line ", 0), 0u) << why;
  }
}

INSTANTIATE_TEST_SUITE_P(Files, OperationCountTest, testing::ValuesIn(kCounts),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(OperationCountTest, ForcedDrawingsTakeAnyCount) {
  StatementLimits forced;
  forced.maxOperations = UINT64_MAX;
  GerberReader reader({}, forced);
  reader.FileName = "t.gbr";
  reader.loadBytes("%FSLAX24Y24*%%MOIN*%%ADD10C,0.01*%D10*%SRX100000Y100000I1J1*%X0Y0D03*%SR*%");
  reader.computeExtents();
  EXPECT_EQ(refusal(reader), "");
  // A block that flashes itself is refused even so.
  GerberReader self({}, forced);
  self.loadBytes("%ADD10C,0.01*%%ABD11*%D11*X0Y0D03*%AB*%D11*X0Y0D03*");
  self.computeExtents();
  EXPECT_NE(refusal(self), "");
}

TEST(OperationCountTest, BlocksNestedPastTheLimitAreSaid) {
  std::string body;
  for (int d = 11; d <= 11 + kMaxBlockDepth; ++d) {
    body += "%ABD" + std::to_string(d) + "*%D" +
            std::to_string(d == 11 + kMaxBlockDepth ? 10 : d + 1) + "*X0Y0D03*%AB*%";
  }
  const GerberReader reader = read(body + "D11*X0Y0D03*");
  ASSERT_EQ(reader.warnings.messages.size(), 1u);
  EXPECT_NE(reader.warnings.messages[0].find("is flashed inside more than 32 nested blocks"),
            std::string::npos);
  EXPECT_EQ(reader.warnings.faults[0], DrawingFault::NestingTooDeep);
}

// A macro field that is no expression reads as 0, as before, but is said,
// naming the line, the macro and the aperture.
TEST(OperationCountTest, UnreadableMacroFieldsAreSaid) {
  // clang-format off
  const std::tuple<std::string, DrawingFault> cases[] = {
      {"(0.1",                    DrawingFault::UnreadableExpression},
      {"0.1)",                    DrawingFault::UnreadableExpression},
      {"0.1xx2",                  DrawingFault::UnreadableExpression},
      {"0.1$$x",                  DrawingFault::UnreadableExpression},
      {std::string(100000, '(') + "1" + std::string(100000, ')'), DrawingFault::NestingTooDeep},
      {"$1x(2+0.5)/-1",           DrawingFault::None},
  };
  // clang-format on
  for (const auto& [field, fault] : cases) {
    const GerberReader reader =
        read("%AMPAD*\n1,1," + field + ",0,0*%\n%ADD12PAD,0.1*%D12*X0Y0D03*");
    if (fault == DrawingFault::None) {
      EXPECT_TRUE(reader.warnings.messages.empty()) << field;
      continue;
    }
    ASSERT_EQ(reader.warnings.messages.size(), 1u) << field;
    EXPECT_EQ(reader.warnings.faults[0], fault);
    EXPECT_EQ(
        reader.warnings.messages[0].rfind("t.gbr: line 2: macro PAD (D12): the expression '", 0),
        0u)
        << reader.warnings.messages[0];
    EXPECT_LT(reader.warnings.messages[0].size(), 300u);  // a hostile field is shown cut
  }
}

}  // namespace
}  // namespace drumplot
