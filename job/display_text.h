// SPDX-License-Identifier: MIT
// The texts the job editor's window shows about the job: the plotting-area
// caption, the mouse position over the plotting area and the work progress.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "job/job_settings.h"

namespace drumplot {

// "Plotting area (" + width + unit + " x " + height + unit + ")": inches with
// two decimals in 5 characters for the unit "Inch", otherwise millimetres
// with two decimals in 6 characters.
std::string plotAreaCaption(const JobSettings& settings);

// A pixel position inside the plotting-area panel in the display unit:
// whole millimetres ("51 : 12"), or inches with two decimals in 5 characters
// (" 2.00 :  0.24") for the unit "Inch".
std::string mousePositionText(int32_t x_px, int32_t y_px, double screenScale,
                              const JobSettings& settings);

// "Work " + the file being rendered + "  " + the percentage with two
// decimals + " %"; `fraction` is 0..1.
std::string progressText(std::string_view file, double fraction);

}  // namespace drumplot
