// SPDX-License-Identifier: MIT
// The drill overview: the job's boards with a small cross at every hit of
// the panelized drill file.
#pragma once

#include <cstdint>
#include <vector>

#include "drill/drill_text.h"
#include "engine/canvas.h"
#include "job/board.h"
#include "output/mono_image.h"

namespace drumplot {

// Crosses are placed at 0.18 pixels per mil.
inline constexpr double kDrillOverviewDpi = 180.0;
// The overview image is cut to this many pixels a side (91 inches).
inline constexpr int64_t kMaxDrillOverviewSide_px = 16384;

// A black 1-pixel cross at x = round(X x 180), y = round(Y x 180) for a point
// in inches on the plotting area: from (x - 3, y) to (x + 4, y) and from
// (x, y - 3) to (x, y + 4), end pixels excluded (7 pixels each way).
void drawDrillCross(Canvas& canvas, const DrillPoint& point);

// Every board's outline (1 pixel, at its position and data size) and every
// cross, at 180 dpi with the plotting area's left-top corner on pixel (0, 0);
// large enough for the boards and the crosses, at most
// kMaxDrillOverviewSide_px a side. What lies left of or above the plotting
// area is cut off.
MonoImage drillOverview(const std::vector<Board>& boards, const std::vector<DrillPoint>& crosses);

}  // namespace drumplot
