// SPDX-License-Identifier: MIT
// Plotting-area caption, mouse position and progress texts.
#include "job/display_text.h"

#include "engine/rounding.h"
#include "engine/text.h"

namespace drumplot {

namespace {

bool inInches(const JobSettings& settings) {
  return settings.unitText == "Inch";
}

}  // namespace

// Display texts - Plotting area and mouse position
// ============================================================================

std::string plotAreaCaption(const JobSettings& settings) {
  auto side = [&](double inches) {
    return inInches(settings) ? formatFixed(inches, 5, 2)
                              : formatFixed(inches * kMillimetresPerInch, 6, 2);
  };
  const std::string& unit = settings.unitText;
  return "Plotting area (" + side(settings.PlotWidth) + unit + " x " + side(settings.PlotHeight) +
         unit + ")";
}

std::string mousePositionText(int32_t x_px, int32_t y_px, double screenScale,
                              const JobSettings& settings) {
  double x = x_px / screenScale;  // inches
  double y = y_px / screenScale;
  if (inInches(settings)) return formatFixed(x, 5, 2) + " : " + formatFixed(y, 5, 2);
  return std::to_string(roundToInt(x * kMillimetresPerInch)) + " : " +
         std::to_string(roundToInt(y * kMillimetresPerInch));
}

// Display texts - Progress
// ============================================================================

std::string progressText(std::string_view file, double fraction) {
  return "Work " + std::string(file) + "  " + formatFixed(fraction * 100.0, 0, 2) + " %";
}

}  // namespace drumplot
