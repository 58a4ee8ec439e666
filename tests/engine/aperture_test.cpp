// SPDX-License-Identifier: MIT
// %ADD definitions into aperture records, and macro expansion.
#include "engine/aperture.h"

#include <gtest/gtest.h>

#include "engine/aperture_macro.h"
#include "engine/errors.h"
#include "engine/gerber_reader.h"
#include "support/test_support.h"

namespace drumplot {
namespace {

GerberReader define(std::string_view bytes) {
  GerberReader reader;
  reader.FileName = "test.gbr";
  reader.loadBytes(bytes);
  reader.computeExtents();
  reader.parseDefinitions();
  return reader;
}

TEST(DefinitionsTest, StandardApertures) {
  GerberReader r = define("%ADD10C,0.0100*%%ADD 22 R, 0.060 X 0.030*%ADD23P,.05X6*%");
  ASSERT_EQ(r.Apertures.definedCodes(), (std::vector<int>{10, 22, 23}));
  EXPECT_EQ(r.Apertures.find(11), nullptr);
  EXPECT_EQ(r.Apertures.find(10)->Kind, ApertureKind::Standard);
  EXPECT_EQ(std::tuple(r.Apertures.find(10)->Modifiers, r.Apertures.find(22)->Modifiers,
                       r.Apertures.find(23)->Modifiers),
            std::tuple("C,0.0100", "R,0.060X0.030", "P,.05X6"));
}

TEST(DefinitionsTest, MacroAperturesGetParametersAndTable) {
  GerberReader r = define(
      "%AMTHERM*7,0,0,$1,$2,0.01,45*%%AMDONUT*1,1,$1,0,0*%%ADD30THERM,0.08X0.05*%%ADD31DONUT*%");
  const Aperture* t = r.Apertures.find(30);
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(std::tuple(t->Kind, t->MacroName, t->Modifiers),
            std::tuple(ApertureKind::Macro, "THERM", "0.08X0.05"));
  EXPECT_DOUBLE_EQ(t->param(1), 0.08);
  EXPECT_DOUBLE_EQ(t->param(2), 0.05);
  ASSERT_EQ(t->MacroTable.size(), 1u);
  EXPECT_EQ(t->MacroTable[0].Count, 7);
  EXPECT_FLOAT_EQ(static_cast<float>(t->MacroTable[0].value(4)), 0.08f);
  EXPECT_FLOAT_EQ(static_cast<float>(t->MacroTable[0].value(7)), 45.0f);
  // Without parameters every variable stays 0.
  const Aperture* d = r.Apertures.find(31);
  EXPECT_EQ(std::tuple(d->MacroName, d->param(1), d->MacroTable[0].value(3)),
            std::tuple("DONUT", 0.0, 0.0));
}

TEST(DefinitionsTest, LongDCodesUndefinedMacrosAndRedefinitions) {
  // Only four digits are read; the rest is taken as a macro name.
  GerberReader r = define("%ADD12345C,0.01*%%ADD10C,0.01*%%ADD10R,0.02X0.01*%%ADD11NOPE,1*%");
  const Aperture* d1234 = r.Apertures.find(1234);
  ASSERT_NE(d1234, nullptr);
  EXPECT_EQ(std::tuple(d1234->Kind, d1234->MacroName), std::tuple(ApertureKind::Macro, "5C"));
  // A later definition replaces the earlier one.
  EXPECT_EQ(r.Apertures.find(10)->Modifiers, "R,0.02X0.01");
  // A macro that is never defined leaves an empty table.
  EXPECT_TRUE(r.Apertures.find(11)->MacroTable.empty());
  // A comment holding a definition's text defines nothing.
  EXPECT_EQ(define("G04 %ADD10C,0.1*%").Apertures.find(10), nullptr);
}

TEST(DefinitionsTest, DCodeThatIsNotANumberNamesTheFile) {
  test::expectError<FormatError>([] { define("%ADDXYC,0.01*%"); }, "test.gbr");
}

TEST(ParametersTest, SplitAtXWithLeadingPointsAndSigns) {
  Aperture a;
  parseParameters(a, ".5X-.25X+3X");
  EXPECT_DOUBLE_EQ(a.param(1), 0.5);
  EXPECT_DOUBLE_EQ(a.param(2), -0.25);
  EXPECT_DOUBLE_EQ(a.param(3), 3.0);
  EXPECT_DOUBLE_EQ(a.param(4), 0.0);
  // More than 32 parameters are kept.
  Aperture many;
  std::string text;
  for (int i = 1; i <= 40; ++i) text += (i > 1 ? "X" : "") + std::to_string(i);
  parseParameters(many, text);
  EXPECT_DOUBLE_EQ(many.param(40), 40.0);
}

// Macro arithmetic: x and / before + and -, left to right, parentheses,
// unary signs; a one-operation expression reads as it always did.
TEST(ExpressionTest, StandardArithmetic) {
  auto variable = [](size_t n) { return n == 1 ? 0.5 : n == 2 ? -2.0 : 0.0; };
  // clang-format off
  const std::pair<const char*, double> rows[] = {
      {"-0.5", -0.5}, {"--0.5", 0.5}, {"2x-3", -6.0}, {"2X3", 6.0}, {"1+2x3", 7.0},
      {"(1+2)x3", 9.0}, {"8/2/2", 2.0}, {"10-2-3", 5.0}, {"$1x2-$2", 3.0},
      {"($2+0.1)/2", -0.95}, {"-$2", 2.0}, {" 1.5 / 0.5", 3.0}, {".5x.5", 0.25},
      {"1/0", 0.0},   // a zero divisor gives 0
      {"7-", 7.0},    // a missing last operand reads as 0
      {"+", 0.0},
      {"(1+2", 0.0},  // not an expression
      {"$1$1", 0.0}};
  // clang-format on
  for (auto [text, expected] : rows)
    EXPECT_DOUBLE_EQ(evaluateExpression(text, variable), expected) << text;
}

TEST(MacroBodyTest, FieldsAssignmentsSubstitutionAndComments) {
  Aperture a;
  a.setParam(1, 0.05);
  evaluateMacroBody({"1,1,$1,0,0", "$3=$1x0.5", "1,1,$3,.5,0,", "$12=$1+$1", "5,1,$1$1$1$1,$1"}, a);
  ASSERT_EQ(a.MacroTable.size(), 5u);
  EXPECT_EQ(a.MacroTable[0].Count, 5);
  EXPECT_FLOAT_EQ(static_cast<float>(a.MacroTable[0].value(3)), 0.05f);
  EXPECT_EQ(a.MacroTable[1].Count, 0);  // only assigns
  EXPECT_DOUBLE_EQ(a.param(3), 0.025);
  EXPECT_EQ(a.MacroTable[2].Count, 5);  // one trailing comma dropped
  EXPECT_FLOAT_EQ(static_cast<float>(a.MacroTable[2].value(3)), 0.025f);
  EXPECT_FLOAT_EQ(static_cast<float>(a.MacroTable[2].value(4)), 0.5f);
  EXPECT_DOUBLE_EQ(a.param(12), 0.1);  // two-digit variable
  // Variables side by side are not an expression.
  EXPECT_EQ(a.MacroTable[4].value(3), 0.0);
  EXPECT_FLOAT_EQ(static_cast<float>(a.MacroTable[4].value(4)), 0.05f);
  // A zero divisor gives 0; a comment line assigns nothing.
  Aperture z;
  z.setParam(1, 1.0);
  evaluateMacroBody({"0 $1=width, a comment with $1 and 2,1,1", "1,1,$1/$2,0,0"}, z);
  EXPECT_DOUBLE_EQ(z.param(1), 1.0);
  EXPECT_EQ(z.MacroTable[0].Count, 0);
  EXPECT_EQ(z.MacroTable[1].value(3), 0.0);
}

TEST(MacroBodyTest, NameDefinedTwiceContributesBothBodies) {
  GerberReader r = define("%AMM*1,1,0.1,0,0*%%AMM*1,1,0.2,0,0*%%ADD10M*%");
  const Aperture* a = r.Apertures.find(10);
  ASSERT_EQ(a->MacroTable.size(), 2u);
  EXPECT_FLOAT_EQ(static_cast<float>(a->MacroTable[1].value(3)), 0.2f);
}

// Found by fuzzing: a macro body that no "%" closes, redefined and used by
// many apertures, made the definitions pass quadratic.
TEST(DefinitionsTest, FuzzMacroBodyWithoutEndStaysWithinBudget) {
  std::string file;
  for (int i = 0; i < 200; ++i) file += "%AMM*1,1,0.1,0,0*G04 x%*";
  for (int d = 10; d < 400; ++d) file += "%ADD" + std::to_string(d) + "M*%";
  StatementLimits limits;
  limits.maxMacroLines = 100000;
  GerberReader r({}, limits);
  r.loadBytes(file);
  r.parseDefinitions();
  EXPECT_FALSE(r.Apertures.find(10)->MacroTable.empty());
  EXPECT_TRUE(r.Apertures.find(399)->MacroTable.empty());  // past the budget
}

TEST(DefinitionsTest, MacroNamesWithSpacesAreFound) {
  GerberReader r =
      define("%AMVB_Custom Fiducial Dot*1,1,0.0630,0,0*%%ADD10VB_Custom Fiducial Dot*%");
  const Aperture* a = r.Apertures.find(10);
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(a->MacroName, "VB_CustomFiducialDot");
  ASSERT_EQ(a->MacroTable.size(), 1u);
  EXPECT_FLOAT_EQ(static_cast<float>(a->MacroTable[0].value(3)), 0.063f);
}

}  // namespace
}  // namespace drumplot
