// SPDX-License-Identifier: MIT
// The extents pass: format statements in file order and the bounding box.
#include "engine/gerber_reader.h"

#include <gtest/gtest.h>

namespace drumplot {
namespace {

GerberReader scan(std::string_view bytes, DataFormat preset = {}) {
  GerberReader reader(preset);
  reader.loadBytes(bytes);
  reader.computeExtents();
  return reader;
}

TEST(ExtentsTest, EndPointsOfTheDataWithTheFileFormat) {
  GerberReader r = scan("%FSLAX24Y24*%%MOIN*%X10000Y5000D02*X30000Y25000D01*X-5000Y7000D03*M02*");
  EXPECT_DOUBLE_EQ(r.MinX, -0.5);
  EXPECT_DOUBLE_EQ(r.MaxX, 3.0);
  EXPECT_DOUBLE_EQ(r.MinY, 0.5);
  EXPECT_DOUBLE_EQ(r.MaxY, 2.5);
  EXPECT_DOUBLE_EQ(r.Width, 3.5);
  EXPECT_DOUBLE_EQ(r.Height, 2.0);
  EXPECT_EQ(r.Format.IntDigits, 2);
  EXPECT_EQ(r.Format.DecDigits, 4);
}

TEST(ExtentsTest, ZeroCountsOnlyWhileDrawing) {
  // X0Y0D02 at the start does not pull the minimum to 0...
  GerberReader moved = scan("X0Y0D02*X1000Y1000D01*X2000Y2000D01*");
  EXPECT_DOUBLE_EQ(moved.MinX, 1.0);
  EXPECT_DOUBLE_EQ(moved.MinY, 1.0);
  // ...X0Y0D01 does (as 0.0000001).
  GerberReader drawn = scan("X1000Y1000D02*X0Y0D01*X2000Y2000D01*");
  EXPECT_NEAR(drawn.MinX, 0.0, 1e-6);
  EXPECT_NEAR(drawn.MinY, 0.0, 1e-6);
  // A flash after a draw still counts as drawing: the flag follows D01/D02 only.
  GerberReader flash = scan("X1000Y1000D01*X0Y0D03*");
  EXPECT_NEAR(flash.MinX, 0.0, 1e-6);
}

TEST(ExtentsTest, AxisWithoutCoordinatesIsZeroToPointThreeFive) {
  GerberReader comments = scan("G04 only a comment*G04 and another*");
  EXPECT_DOUBLE_EQ(comments.MinX, 0.0);
  EXPECT_DOUBLE_EQ(comments.Width, 0.35);
  EXPECT_DOUBLE_EQ(comments.Height, 0.35);
  GerberReader onlyX = scan("X1000D02*X3000D01*");
  EXPECT_DOUBLE_EQ(onlyX.Width, 2.0);
  EXPECT_DOUBLE_EQ(onlyX.MinY, 0.0);
  EXPECT_DOUBLE_EQ(onlyX.MaxY, 0.35);
}

TEST(ExtentsTest, UnitStatementsTakeEffectWhereTheyStand) {
  // 1 inch, then 25.4 mm; what comes before the first unit statement is
  // read in its unit.
  GerberReader r =
      scan("%FSLAX24Y24*%X20000Y20000D03*%MOIN*%X10000Y10000D03*%MOMM*%X254000Y254000D03*");
  EXPECT_DOUBLE_EQ(r.MinX, 1.0);
  EXPECT_DOUBLE_EQ(r.MaxX, 2.0);
  EXPECT_EQ(r.Format.Metric, 1);  // as the file leaves it
  // Apertures take the unit in force where they are defined.
  r.parseDefinitions();
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
  GerberReader named = scan("%FSLAX23Y23*%%SRX3Y1I1J0*%%LNtop*%X500Y200D03*%SR*%M02*");
  EXPECT_DOUBLE_EQ(named.MaxX, 2.5);
}

TEST(ExtentsTest, IncrementalDataAccumulates) {
  GerberReader r = scan("%FSLIX23Y23*%X1000Y1000D02*X1000Y500D01*X-3000Y-2000D01*");
  EXPECT_DOUBLE_EQ(r.MaxX, 2.0);
  EXPECT_DOUBLE_EQ(r.MinX, -1.0);
  EXPECT_DOUBLE_EQ(r.MaxY, 1.5);
  EXPECT_DOUBLE_EQ(r.MinY, -0.5);
  // The operator's incremental format holds where the file says nothing;
  // the file's own G90 wins, for what comes before it too.
  DataFormat preset;
  preset.Absolute = 0;
  EXPECT_DOUBLE_EQ(scan("X1000Y1000D02*X1000Y1000D01*", preset).Width, 1.0);
  EXPECT_DOUBLE_EQ(scan("X1000Y1000D02*G90*X1000Y1000D01*", preset).Width, 0.0);
}

TEST(ExtentsTest, StepAndRepeatCopiesAndCommentsWithParameters) {
  GerberReader r = scan("%FSLAX24Y24*%%SRX3Y2I1.0J0.5*%X10000Y10000D03*%SRX1Y1I0J0*%M02*");
  EXPECT_DOUBLE_EQ(r.MinX, 1.0);
  EXPECT_DOUBLE_EQ(r.MaxX, 3.0);
  EXPECT_DOUBLE_EQ(r.MaxY, 1.5);
  // A "%" in a comment is text: the format written after it does not count.
  GerberReader c = scan("G04 legacy %FSLAX24Y24*X10000Y10000D03*");
  EXPECT_DOUBLE_EQ(c.MaxX, 10.0);
  // Coordinates inside ordinary comments do not count.
  GerberReader ignored = scan("G04 X99999Y99999*X1000Y1000D03*");
  EXPECT_DOUBLE_EQ(ignored.MaxX, 1.0);
}

}  // namespace
}  // namespace drumplot
