// SPDX-License-Identifier: MIT
// The group coder of the fast export: the same records as the plotter
// file's reference coders, 64 columns at a time.
#pragma once

#include <cstdint>
#include <vector>

#include "output/fpf_encoder.h"

namespace drumplot {

// Appends the group's record, the same bytes as encodeGroupPerPixel. While
// the four rows stay uniform (each all background or all exposure) the run
// grows 64 columns per step; in a mixed stretch of 64 columns the runs are
// cut where some row's pixel changes, found for all four rows at once.
// Only the group's drawn bytes are read: the columns left and right of them
// are background runs.
void encodeGroupWide(const RowGroup& group, std::vector<uint8_t>& out);

}  // namespace drumplot
