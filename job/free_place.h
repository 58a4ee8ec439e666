// SPDX-License-Identifier: MIT
// Where a board added without a position goes: the first free place on the
// plotting area, found from what every board draws (its reach).
#pragma once

#include <cstddef>
#include <optional>
#include <utility>

#include "job/job.h"

namespace drumplot {

// The gap kept between a placed board and the others: 5 mm.
inline constexpr double kFreePlaceGap = 5.0 / 25.4;

// Where a board draws on the plotting area, in inches.
struct BoardReach {
  double left = 0.0, top = 0.0, right = 0.0, bottom = 0.0;
};

// What the board's Gerber layers draw (apertures and arcs included,
// measured at 100 pixels per inch) at the board's position; its data
// rectangle when no layer can be measured. Drill files do not count.
BoardReach boardReach(const Job& job, size_t board);

// The board's position (PosX, PosY) that puts its reach at the first free
// place: the candidates are the area's left-top corner and, for every other
// board (marks included), its reach's right and bottom edges plus the gap,
// combined; scanned top to bottom and then left to right, the first where
// the reach lies inside the plotting area and keeps the gap to every other
// board's reach. None when nothing fits.
std::optional<std::pair<double, double>> firstFreePlace(const Job& job, size_t board,
                                                        double gap = kFreePlaceGap);

}  // namespace drumplot
