// SPDX-License-Identifier: MIT
// Loading a file into statements, and decoding them once into operations.
#include "engine/statement_list.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/errors.h"
#include "engine/gerber_reader.h"
#include "support/test_support.h"

namespace drumplot {
namespace {

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
  GerberReader reader;
  reader.loadBytes(
      "G04 #@! TF.FileFunction,Soldermask,Bot*\nG04 #@! %TF.FilePolarity,Positive*\n"
      "%TF.Part,Single*%\n%TA.AperFunction,SMDPad*%"
      "%FSLAX24Y24*%%ADD10C,0.01*%%TO.C,R1*%D10*X1000Y1000D03*%TD*%M02*");
  reader.computeExtents();
  ASSERT_NE(reader.Program.fileAttribute(".FileFunction"), nullptr);
  EXPECT_EQ(*reader.Program.fileAttribute(".FileFunction"), "Soldermask,Bot");
  EXPECT_EQ(*reader.Program.fileAttribute(".Part"), "Single");
  EXPECT_EQ(*reader.Program.fileAttribute(".FilePolarity"), "Positive");
  EXPECT_DOUBLE_EQ(reader.MinX, 0.1);
  EXPECT_TRUE(reader.Warnings.messages.empty());
}

TEST(StepAndRepeatTest, BlockIsKeptOnceWithItsCounts) {
  GerberReader reader;
  reader.loadBytes("%SRX2Y3I1.0J0.5*%\nX100Y100D03*\nX200Y200D03*\n%SR*%\nM02*\n");
  reader.computeExtents();
  const GerberProgram& p = reader.Program;
  ASSERT_EQ(p.repeats.size(), 1u);
  EXPECT_EQ(p.repeats[0].nx, 2);
  EXPECT_EQ(p.repeats[0].ny, 3);
  // One placing statement and the two flashes per copy, then "%SR*", "%" and "M02*".
  EXPECT_EQ(p.expandedStatements, 6u * 3u + 3u);
  // Copies (i, j) land at (i, 0.5 j) inches from the block's statements.
  EXPECT_DOUBLE_EQ(reader.MinX, 0.1);
  EXPECT_DOUBLE_EQ(reader.MaxX, 1.2);
  EXPECT_DOUBLE_EQ(reader.MaxY, 1.2);
  // Kept to six decimals of the file unit, as the copies were always placed.
  EXPECT_EQ(RepeatBlock::offset(3, 0.1234567, 1.0), 0.370370);
}

TEST(StepAndRepeatTest, ExtentsOfManyCopiesAreComputedNotWalked) {
  GerberReader reader;
  reader.loadBytes("%FSLAX24Y24*%%SRX1000000Y1000I0.01J0.02*%X0Y0D02*X10000Y0D01*%SR*%M02*");
  reader.computeExtents();
  // The move to 0 counts in every copy but the first (it does not draw).
  EXPECT_NEAR(reader.MinX, 0.01, 1e-12);
  EXPECT_NEAR(reader.MaxX, 1.0 + 999999 * 0.01, 1e-6);
  EXPECT_NEAR(reader.MaxY, 999 * 0.02, 1e-9);
  EXPECT_EQ(reader.Program.expandedStatements, 2u + 1000000000ull * 3u + 3u);
}

}  // namespace
}  // namespace drumplot
