// SPDX-License-Identifier: MIT
// The aperture table of one board layer: the Gerber file's definitions with
// the layer's aperture file read over them.
#include "apertures/layer_aperture_table.h"

#include <gtest/gtest.h>

#include "engine/errors.h"
#include "support/test_support.h"

namespace drumplot::test {
namespace {

TEST(LayerApertureTableTest, TheApertureFileReplacesDefinitionsOfTheSameDCode) {
  auto dir = tempDir();
  auto gerber = dir / "layer.gbr";
  writeFile(gerber, "%FSLAX24Y24*%%MOMM*%%ADD10C,0.254*%%ADD11R,1.524X0.762*%D10*X0Y0D03*M02*");
  auto apertures = dir / "layer.Env";
  writeFile(apertures, "[<4\r\nin.pho\r\n2 3 11\r\n11 1 0.05 0.05\r\n12 0 0.02 0.02\r\n0\r\n");

  WorkingApertureTable own = layerApertureTable(gerber.string(), "", DataFormat{});
  EXPECT_EQ(own.row(10).Shape, ApertureShape::Round);  // Round 10 mils: millimetres scaled to mils
  EXPECT_NEAR(own.row(10).DLX, 10.0, 1e-9);
  EXPECT_EQ(own.row(11).Shape, ApertureShape::Rectangle);  // Rectangle 60 x 30
  EXPECT_NEAR(own.row(11).DLY, 30.0, 1e-9);
  EXPECT_EQ(own.row(12).Shape, ApertureShape::None);

  WorkingApertureTable both = layerApertureTable(gerber.string(), apertures.string(), DataFormat{});
  EXPECT_EQ(both.row(10).Kind, ApertureKind::Standard);
  EXPECT_EQ(both.row(11).Kind, ApertureKind::File);  // from the aperture file: Square 50
  EXPECT_EQ(both.row(11).Shape, ApertureShape::Square);
  EXPECT_NEAR(both.row(11).DLX, 50.0, 1e-9);
  EXPECT_EQ(both.row(12).Shape, ApertureShape::Round);

  // A layer whose Gerber file is missing shows its aperture file's
  // apertures, and says why.
  std::string unread;
  WorkingApertureTable fileOnly =
      layerApertureTable((dir / "missing.gbr").string(), apertures.string(), DataFormat{}, &unread);
  EXPECT_EQ(fileOnly.row(10).Shape, ApertureShape::None);
  EXPECT_EQ(fileOnly.row(12).Shape, ApertureShape::Round);
  EXPECT_EQ(unread, (dir / "missing.gbr").string() +
                        ": cannot open the file; the table shows the aperture file's rows alone");

  writeFile(apertures, "[<4\r\n11 X 0.05 0.05\r\n");
  EXPECT_THROW(layerApertureTable(gerber.string(), apertures.string(), DataFormat{}), FormatError);
}

}  // namespace
}  // namespace drumplot::test
