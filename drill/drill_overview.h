// SPDX-License-Identifier: MIT
// The drill overview: the job's boards with a small cross at every hit of
// the panelized drill file, and its slots and routes drawn as the tool cuts
// them.
#pragma once

#include <cstdint>
#include <vector>

#include "drill/drill_file.h"
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

// A slot or a route: the tool's path in inches on the plotting area, and
// the tool's diameter (0 when the file gives none).
struct DrillPath {
  std::vector<DrillPoint> points;
  double diameter = 0.0;
};

// The path stroked with a pen as wide as the tool (at least 1 pixel).
void drawDrillPath(Canvas& canvas, const DrillPath& path);

// Every board's outline (1 pixel, at its position and data size), every
// cross and every path, at 180 dpi with the plotting area's left-top corner on pixel (0, 0);
// large enough for the boards and the crosses, at most
// kMaxDrillOverviewSide_px a side. What lies left of or above the plotting
// area is cut off.
MonoImage drillOverview(const std::vector<Board>& boards, const std::vector<DrillPoint>& crosses,
                        const std::vector<DrillPath>& paths);

}  // namespace drumplot
