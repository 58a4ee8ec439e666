// SPDX-License-Identifier: MIT
// The window's texts about the job: plotting-area caption, mouse position, progress.
#include "job/display_text.h"

#include <gtest/gtest.h>

namespace drumplot {
namespace {

JobSettings inUnit(const std::string& unitText) {
  JobSettings settings;
  settings.setUnit(unitText);
  return settings;
}

TEST(DisplayTextTest, PlotAreaCaptionInEachUnit) {
  // The default area, 340 x 370 mm.
  EXPECT_EQ(plotAreaCaption(inUnit("mm")), "Plotting area (340.00mm x 370.00mm)");
  EXPECT_EQ(plotAreaCaption(inUnit("Inch")), "Plotting area (13.39Inch x 14.57Inch)");
  JobSettings small = inUnit("Inch");
  small.PlotWidth = small.PlotHeight = 4.0;
  EXPECT_EQ(plotAreaCaption(small), "Plotting area ( 4.00Inch x  4.00Inch)");
  small.unitText = "mm";
  EXPECT_EQ(plotAreaCaption(small), "Plotting area (101.60mm x 101.60mm)");
  // Any unit text but "Inch" shows millimetres under its own text.
  JobSettings odd = inUnit("cm");
  odd.PlotWidth = odd.PlotHeight = 10.0;
  EXPECT_EQ(plotAreaCaption(odd), "Plotting area (254.00cm x 254.00cm)");
}

TEST(DisplayTextTest, MousePosition) {
  const struct {
    const char* unit;
    int32_t x_px, y_px;
    double scale;
    const char* text;
  } cases[] = {
      // clang-format off
      {"mm",    100,   0, 50.0,  "51 : 0"},      // 50.8 mm
      {"mm",      0,   0, 56.57, "0 : 0"},
      {"mm",     25,  75, 25.4,  "25 : 75"},     // exactly whole millimetres
      {"mm",     10,  10, 101.6, "2 : 2"},       // 2.5 mm: halves to even
      {"mm",     30,  30, 101.6, "8 : 8"},       // 7.5 mm: halves to even
      {"Inch",  100,  12, 50.0,  " 2.00 :  0.24"},
      {"Inch", 1000, 999, 50.0,  "20.00 : 19.98"},
      // clang-format on
  };
  for (const auto& c : cases) {
    EXPECT_EQ(mousePositionText(c.x_px, c.y_px, c.scale, inUnit(c.unit)), c.text)
        << c.unit << " " << c.x_px << "," << c.y_px << " at " << c.scale;
  }
}

TEST(DisplayTextTest, ProgressText) {
  EXPECT_EQ(progressText("top.gbr", 0.0), "Work top.gbr  0.00 %");
  EXPECT_EQ(progressText("/a/b.gbr", 0.123456), "Work /a/b.gbr  12.35 %");
  EXPECT_EQ(progressText("x", 1.0), "Work x  100.00 %");
}

}  // namespace
}  // namespace drumplot
