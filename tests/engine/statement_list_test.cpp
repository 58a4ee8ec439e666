// SPDX-License-Identifier: MIT
// Loading a file into statements, and step-and-repeat expansion.
#include "engine/statement_list.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/errors.h"
#include "engine/gerber_reader.h"
#include "support/test_support.h"

namespace drumplot {
namespace {

std::vector<std::string> load(std::string_view bytes, StatementLimits limits = {}) {
  GerberReader reader({}, limits);
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
  // Statements of thousands of characters are kept whole.
  std::string longOutline = "4,1,500" + std::string(6000, '0') + "*";
  EXPECT_EQ(load(longOutline), (Texts{longOutline}));
}

TEST(LoadTest, TinyFilesAndShortNamesGiveNoStatements) {
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
}

TEST(StepAndRepeatTest, BlockExpandsIntoOffsetCopies) {
  Texts got = load("%SRX2Y3I1.0J0.5*%\nX100Y100D03*\nX200Y200D03*\nM02*\n");
  Texts want;
  const char* offsets[][2] = {{"  0.000000", "  0.000000"}, {"  0.000000", "  0.500000"},
                              {"  0.000000", "  1.000000"}, {"  1.000000", "  0.000000"},
                              {"  1.000000", "  0.500000"}, {"  1.000000", "  1.000000"}};
  for (auto& o : offsets) {
    want.push_back(std::string("%SR_") + o[0] + "=" + o[1] + "/");
    want.push_back("X100Y100D03*");
    want.push_back("X200Y200D03*");
  }
  want.push_back("M02*");
  EXPECT_EQ(got, want);
  // The "%" that closed the opening block is buffered and left out of every copy.
}

TEST(StepAndRepeatTest, ClosingStatementsAndOpenBlockAtEnd) {
  // A second %SR closes the block, is stored as it is and opens no block.
  EXPECT_EQ(load("%SRX2Y1I0.5J0*%X1D03*%SRX1Y1I0J0*%X2D03*"),
            (Texts{"%SR_  0.000000=  0.000000/", "X1D03*", "%SR_  0.500000=  0.000000/",
                   "X1D03*", "%SRX1Y1I0J0*", "%", "X2D03*"}));
  // A block still open at the end of the file is expanded.
  EXPECT_EQ(load("%SRX1Y2J0.1*%X1D03*"),
            (Texts{"%SR_  0.000000=  0.000000/", "X1D03*", "%SR_  0.000000=  0.100000/",
                   "X1D03*"}));
  // A count of 0 drops the block's lines; %LN closes a block too.
  EXPECT_EQ(load("%SRX0Y2*%X1D03*%LNtop*%X2D03*"), (Texts{"%LNtop*", "%", "X2D03*"}));
}

TEST(StepAndRepeatTest, HugeCountsStopAtTheStatementLimit) {
  StatementLimits limits;
  limits.maxStatements = 1000;
  GerberReader reader({}, limits);
  reader.loadBytes("%SRX99999999Y99999999I0.1J0.1*%X1D03*X2D03*M02*");
  EXPECT_EQ(reader.Statements.size(), 1000u);
  EXPECT_TRUE(reader.Statements.truncated());
}

TEST(StepAndRepeatTest, RepeatStatementReadsBackItsOffsets) {
  RepeatOffset o = parseRepeatStatement(makeRepeatStatement(12.5, -3.25));
  EXPECT_EQ(o.x, 12.5);
  EXPECT_EQ(o.y, -3.25);
  // Offsets wider than ten characters are read whole rather than cut.
  o = parseRepeatStatement(makeRepeatStatement(-1234.5, 99999.0));
  EXPECT_EQ(o.x, -1234.5);
  EXPECT_EQ(o.y, 99999.0);
}

}  // namespace
}  // namespace drumplot
