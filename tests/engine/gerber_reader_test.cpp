// SPDX-License-Identifier: MIT
// Loading a file into statements, decoding them once into operations, and
// the extents pass: format statements in file order and the bounding box.
#include "engine/gerber_reader.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "engine/errors.h"
#include "engine/statement_list.h"
#include "support/test_support.h"

namespace drumplot {
namespace {

GerberReader scan(std::string_view bytes, DataFormat preset = {}) {
  GerberReader reader(preset);
  reader.loadBytes(bytes);
  reader.computeExtents();
  return reader;
}

// The extents' corners and size, in inches.
void expectBox(const GerberReader& r, double minX, double minY, double maxX, double maxY) {
  EXPECT_DOUBLE_EQ(r.MinX, minX);
  EXPECT_DOUBLE_EQ(r.MinY, minY);
  EXPECT_DOUBLE_EQ(r.MaxX, maxX);
  EXPECT_DOUBLE_EQ(r.MaxY, maxY);
  EXPECT_DOUBLE_EQ(r.Width, maxX - minX);
  EXPECT_DOUBLE_EQ(r.Height, maxY - minY);
}

TEST(ExtentsTest, EndPointsOfTheDataWithTheFileFormat) {
  GerberReader r = scan("%FSLAX24Y24*%%MOIN*%X10000Y5000D02*X30000Y25000D01*X-5000Y7000D03*M02*");
  expectBox(r, -0.5, 0.5, 3.0, 2.5);
  EXPECT_EQ(std::tuple(r.format.IntDigits, r.format.DecDigits), std::tuple(2, 4));
}

TEST(ExtentsTest, ZeroCountsOnlyWhileDrawing) {
  // X0Y0D02 at the start does not pull the minimum to 0...
  expectBox(scan("X0Y0D02*X1000Y1000D01*X2000Y2000D01*"), 1.0, 1.0, 2.0, 2.0);
  // ...X0Y0D01 does (as 0.0000001).
  GerberReader drawn = scan("X1000Y1000D02*X0Y0D01*X2000Y2000D01*");
  EXPECT_NEAR(drawn.MinX, 0.0, 1e-6);
  EXPECT_NEAR(drawn.MinY, 0.0, 1e-6);
  // A flash after a draw still counts as drawing: the flag follows D01/D02 only.
  EXPECT_NEAR(scan("X1000Y1000D01*X0Y0D03*").MinX, 0.0, 1e-6);
}

TEST(ExtentsTest, AxisWithoutCoordinatesIsZeroToPointThreeFive) {
  expectBox(scan("G04 only a comment*G04 and another*"), 0.0, 0.0, 0.35, 0.35);
  expectBox(scan("X1000D02*X3000D01*"), 1.0, 0.0, 3.0, 0.35);
}

TEST(ExtentsTest, UnitStatementsTakeEffectWhereTheyStand) {
  // 1 inch, then 25.4 mm; what comes before the first unit statement is
  // read in its unit.
  GerberReader r =
      scan("%FSLAX24Y24*%X20000Y20000D03*%MOIN*%X10000Y10000D03*%MOMM*%X254000Y254000D03*");
  expectBox(r, 1.0, 1.0, 2.0, 2.0);
  EXPECT_EQ(r.format.Metric, 1);  // as the file leaves it
  // Apertures take the unit in force where they are defined.
  GerberReader a = scan("%MOMM*%%ADD10C,0.254*%%MOIN*%%ADD11C,0.01*%X1Y1D03*");
  a.parseDefinitions();
  EXPECT_DOUBLE_EQ(a.Apertures.find(10)->UnitScale, 1.0 / 25.4);
  EXPECT_DOUBLE_EQ(a.Apertures.find(11)->UnitScale, 1.0);
}

// The image statements of older files move the whole picture: axis select,
// mirror, scale, rotation, offset and justification.
TEST(ExtentsTest, ImageStatementsMoveThePicture) {
  const std::string data = "X500Y200D03*M02*";  // (0.5, 0.2) inch
  auto at = [&](const std::string& image) {
    GerberReader r = scan("%FSLAX23Y23*%%MOIN*%" + image + data);
    return std::pair{r.MinX, r.MinY};
  };
  EXPECT_EQ(at(""), std::pair(0.5, 0.2));
  EXPECT_EQ(at("%ASAYBX*%"), std::pair(0.2, 0.5));
  EXPECT_EQ(at("%MIA1B0*%"), std::pair(-0.5, 0.2));
  EXPECT_EQ(at("%SFA2B1*%"), std::pair(1.0, 0.2));
  EXPECT_EQ(at("%OFA1.0B-1.0*%"), std::pair(1.5, -0.8));
  EXPECT_EQ(at("%IR90*%"), std::pair(-0.2, 0.5));
  EXPECT_EQ(at("%IJALB0.1*%"), std::pair(0.0, 0.1));
  // %LN names a layer and ends nothing: the block repeats to its end.
  EXPECT_DOUBLE_EQ(scan("%FSLAX23Y23*%%SRX3Y1I1J0*%%LNtop*%X500Y200D03*%SR*%M02*").MaxX, 2.5);
}

TEST(ExtentsTest, IncrementalDataAccumulates) {
  expectBox(scan("%FSLIX23Y23*%X1000Y1000D02*X1000Y500D01*X-3000Y-2000D01*"), -1.0, -0.5, 2.0, 1.5);
  // The operator's incremental format holds where the file says nothing;
  // the file's own G90 wins, for what comes before it too.
  DataFormat preset;
  preset.Absolute = false;
  EXPECT_DOUBLE_EQ(scan("X1000Y1000D02*X1000Y1000D01*", preset).Width, 1.0);
  EXPECT_DOUBLE_EQ(scan("X1000Y1000D02*G90*X1000Y1000D01*", preset).Width, 0.0);
}

TEST(ExtentsTest, StepAndRepeatCopiesAndCommentsWithParameters) {
  expectBox(scan("%FSLAX24Y24*%%SRX3Y2I1.0J0.5*%X10000Y10000D03*%SRX1Y1I0J0*%M02*"), 1.0, 1.0, 3.0,
            1.5);
  // A "%" in a comment is text: the format written after it does not count.
  EXPECT_DOUBLE_EQ(scan("G04 legacy %FSLAX24Y24*X10000Y10000D03*").MaxX, 10.0);
  // Coordinates inside ordinary comments do not count.
  EXPECT_DOUBLE_EQ(scan("G04 X99999Y99999*X1000Y1000D03*").MaxX, 1.0);
}

std::vector<std::string> load(std::string_view bytes) {
  GerberReader reader;
  reader.loadBytes(bytes);
  std::vector<std::string> out;
  for (size_t i = 0; i < reader.Statements.size(); ++i) out.emplace_back(reader.Statements[i]);
  return out;
}

using Texts = std::vector<std::string>;

TEST(LoadTest, ParameterBlocksSplitAtPercentAndStatementsAtAsterisk) {
  EXPECT_EQ(load("%FSLAX24Y24*MOIN*%"), (Texts{"%FSLAX24Y24*", "MOIN*", "%"}));
  // Control bytes vanish, spaces stay (leading ones are dropped).
  EXPECT_EQ(load("G04 a\r\n comment*\r\nX1\tY2D01*\n"), (Texts{"G04 a comment*", "X1Y2D01*"}));
  // Text before an even "%" is a statement; a lone "*" is not.
  EXPECT_EQ(load("%LPD%**M02*"), (Texts{"%LPD", "%", "M02*"}));
  // A coordinate-like text that "*" did not close is dropped; text after the last "*" too.
  EXPECT_EQ(load("X100%%G04 x*Y200"), (Texts{"%", "G04 x*"}));
  // A "%" in a comment is text: it opens no parameter block.
  EXPECT_EQ(load("G04 #@! %TF.Part,Single*%FSLAX24Y24*%"),
            (Texts{"G04 #@! %TF.Part,Single*", "%FSLAX24Y24*", "%"}));
  // Statements of thousands of characters are kept whole.
  std::string longOutline = "4,1,500" + std::string(6000, '0') + "*";
  EXPECT_EQ(load(longOutline), (Texts{longOutline}));
}

TEST(LoadTest, TinyMissingAndBinaryFiles) {
  std::filesystem::path dir = test::tempDir();
  test::writeFile(dir / "tiny.gbr", "M02*");
  GerberReader reader;
  reader.FileName = (dir / "tiny.gbr").string();
  EXPECT_EQ(reader.load(), LoadStatus::TooShort);
  EXPECT_TRUE(reader.Statements.empty());
  reader.FileName = "ab";
  EXPECT_EQ(reader.load(), LoadStatus::NameTooShort);
  reader.FileName = (dir / "missing.gbr").string();
  EXPECT_EQ(reader.load(), LoadStatus::CannotOpen);
  EXPECT_THROW(reader.prepare(), IoError);
  test::writeFile(dir / "binary.gbr", std::string("PK\x03\x04\0\0\x14\0\x08\0", 10) + "X1D03*");
  reader.FileName = (dir / "binary.gbr").string();
  EXPECT_EQ(reader.load(), LoadStatus::NotGerber);
  EXPECT_THROW(reader.prepare(), FormatError);
  // Text with a few 8-bit letters in its comments and a DOS end mark is a file.
  EXPECT_FALSE(looksBinary("G04 Stückliste*\nX1Y1D03*\nM02*\x1A"));
}

TEST(DecodeTest, FileAttributesAreKeptAndDrawNothing) {
  const GerberReader reader = scan(
      "G04 #@! TF.FileFunction,Soldermask,Bot*\nG04 #@! %TF.FilePolarity,Positive*\n"
      "%TF.Part,Single*%\n%TA.AperFunction,SMDPad*%"
      "%FSLAX24Y24*%%ADD10C,0.01*%%TO.C,R1*%D10*X1000Y1000D03*%TD*%M02*");
  ASSERT_NE(reader.program.fileAttribute(".FileFunction"), nullptr);
  EXPECT_EQ(*reader.program.fileAttribute(".FileFunction"), "Soldermask,Bot");
  EXPECT_EQ(*reader.program.fileAttribute(".Part"), "Single");
  EXPECT_EQ(*reader.program.fileAttribute(".FilePolarity"), "Positive");
  EXPECT_DOUBLE_EQ(reader.MinX, 0.1);
  EXPECT_TRUE(reader.warnings.messages.empty());
}

TEST(StepAndRepeatTest, BlockIsKeptOnceWithItsCounts) {
  const GerberReader reader = scan("%SRX2Y3I1.0J0.5*%\nX100Y100D03*\nX200Y200D03*\n%SR*%\nM02*\n");
  const GerberProgram& p = reader.program;
  ASSERT_EQ(p.repeats.size(), 1u);
  EXPECT_EQ(std::tuple(p.repeats[0].nx, p.repeats[0].ny), std::tuple(2, 3));
  // One placing statement and the two flashes per copy, then "%SR*", "%" and "M02*".
  EXPECT_EQ(p.expandedStatements, 6u * 3u + 3u);
  // Copies (i, j) land at (i, 0.5 j) inches from the block's statements.
  expectBox(reader, 0.1, 0.1, 1.2, 1.2);
  // Kept to six decimals of the file unit, as the copies were always placed.
  EXPECT_EQ(RepeatBlock::offset(3, 0.1234567, 1.0), 0.370370);
}

TEST(StepAndRepeatTest, ExtentsOfManyCopiesAreComputedNotWalked) {
  const GerberReader reader =
      scan("%FSLAX24Y24*%%SRX1000000Y1000I0.01J0.02*%X0Y0D02*X10000Y0D01*%SR*%M02*");
  // The move to 0 counts in every copy but the first (it does not draw).
  EXPECT_NEAR(reader.MinX, 0.01, 1e-12);
  EXPECT_NEAR(reader.MaxX, 1.0 + 999999 * 0.01, 1e-6);
  EXPECT_NEAR(reader.MaxY, 999 * 0.02, 1e-9);
  EXPECT_EQ(reader.program.expandedStatements, 2u + 1000000000ull * 3u + 3u);
}

}  // namespace
}  // namespace drumplot
