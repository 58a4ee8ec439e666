// SPDX-License-Identifier: MIT
// The working aperture table built from a reader: what each record shows.
#include "apertures/working_aperture_table.h"

#include <gtest/gtest.h>

#include "engine/gerber_reader.h"

namespace drumplot {
namespace {

TEST(WorkingApertureTableTest, StandardApertureShapeAndSizesInMils) {
  constexpr double kMm = 1.0 / 25.4;
  const struct {
    const char* modifiers;
    double unitScale;
    ApertureShape shape;
    double dlx, dly, angle;  // mils
  } cases[] = {
      // clang-format off
      {"C,0.0100",              1.0, ApertureShape::Round,     10, 0,  0},
      {"C,0.0100X0.0040",       1.0, ApertureShape::Round,     10, 0,  4},
      {"C,0.254",               kMm, ApertureShape::Round,     10, 0,  0},
      {"C,.5",                  1.0, ApertureShape::Round,    500, 0,  0},
      {"C,0.02X0.01X0.005",     1.0, ApertureShape::Round,     20, 0, 10},
      {"R,0.060X0.060",         1.0, ApertureShape::Square,    60, 60, 0},
      {"R,0.060X0.030",         1.0, ApertureShape::Rectangle, 60, 30, 0},
      {"R,0.060",               1.0, ApertureShape::Square,    60, 0,  0},
      {"R,0.060X0.030X0.010",   1.0, ApertureShape::Rectangle, 60, 30, 10},
      {"R,0.06X0.03X0.01X0.02", 1.0, ApertureShape::Rectangle, 60, 30, 10},
      {"O,0.090X0.045",         1.0, ApertureShape::Oblong,    90, 45, 0},
      {"O,0.090X0.045X0.02",    1.0, ApertureShape::Oblong,    90, 45, 20},
      {"P,0.0700X8X22.5",       1.0, ApertureShape::Octagon,   70, 0,  0},
      // Combinations the dialog has no shape for.
      {"O,0.090",               1.0, ApertureShape::None,      0,  0,  0},
      {"C,",                    1.0, ApertureShape::None,      0,  0,  0},
      // clang-format on
  };
  for (const auto& c : cases) {
    ApertureTableRow row = standardApertureRow(c.modifiers, c.unitScale);
    EXPECT_EQ(row.Kind, ApertureKind::Standard);
    EXPECT_EQ(row.Shape, c.shape) << c.modifiers;
    EXPECT_NEAR(row.DLX, c.dlx, 1e-9) << c.modifiers;
    EXPECT_NEAR(row.DLY, c.dly, 1e-9) << c.modifiers;
    EXPECT_NEAR(row.Angle, c.angle, 1e-9) << c.modifiers;
    EXPECT_EQ(row.CustomName, c.modifiers);
  }
}

TEST(WorkingApertureTableTest, LongDefinitionTextIsCutToTheNameField) {
  std::string modifiers = "R,0.0100000000X0.0200000000X0.0030000000X0.0040000000";
  ApertureTableRow row = standardApertureRow(modifiers, 1.0);
  EXPECT_EQ(row.CustomName, modifiers.substr(0, 32));
  EXPECT_NEAR(row.Angle, 3.0, 1e-9);
}

TEST(WorkingApertureTableTest, BuiltFromTheDefinitions) {
  GerberReader reader;
  reader.FileName = "layer.gbr";
  reader.loadBytes(
      "%AMTHERM*7,0,0,$1,$2,0.01,45*%"
      "%ADD10C,0.0100*%%ADD11R,0.060X0.030*%%ADD12THERM,0.08X0.05*%%ADD1000C,0.5*%");
  reader.computeExtents();
  reader.parseDefinitions();
  WorkingApertureTable t = buildApertureTable(reader);

  EXPECT_EQ(t.row(10).Kind, ApertureKind::Standard);
  EXPECT_EQ(t.row(10).Shape, ApertureShape::Round);
  // A macro aperture shows Custom with zero sizes and the macro's name.
  EXPECT_EQ(t.row(12).Kind, ApertureKind::Macro);
  EXPECT_EQ(t.row(12).Shape, ApertureShape::Custom);
  EXPECT_EQ(t.row(12).DLX, 0.0);
  EXPECT_EQ(t.row(12).CustomName, "THERM");
  // Undefined rows are None; the table ends at D999; no row starts edited.
  EXPECT_EQ(t.row(13).Shape, ApertureShape::None);
  EXPECT_THROW(t.row(1000), std::out_of_range);
  EXPECT_THROW(t.row(9), std::out_of_range);
  for (int d = WorkingApertureTable::kFirstDCode; d <= WorkingApertureTable::kLastDCode; ++d) {
    ASSERT_FALSE(t.edited(d)) << d;
  }
}

}  // namespace
}  // namespace drumplot
