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
// grows 64 columns per step; mixed stretches are turned into column values
// eight at a time through a table and cut into runs by comparing whole
// words of values.
void encodeGroupWide(const RowGroup& group, std::vector<uint8_t>& out);

}  // namespace drumplot
