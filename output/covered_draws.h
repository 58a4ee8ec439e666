// SPDX-License-Identifier: MIT
// Covered draws: what of a piece need not be drawn, found over the lists
// that the piece draws, and drawing the piece without it.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "output/column_set.h"
#include "output/display_list.h"

namespace drumplot {

// A list as one board layer draws it: moved by (dx, dy) pixels.
struct ListPlacement {
  const DisplayList* list = nullptr;
  int64_t dx = 0, dy = 0;
};

// What drawing a piece keeps from one piece to the next.
struct SpanDrawing {
  LaterDrawing later;
  ColumnSet exposed;
  std::vector<PieceOps> ops;     // by list
  std::vector<SpanSkips> skips;  // by list
};

// Draws the lists, in order, onto `band` (a piece whose row 0 is image row
// `top`), whose pixels may be anything within each row's drawn words: what
// the lists' fills do not cover on every row is cleared to background
// first. What a later fill or the same primitive drawn later overwrites is
// not drawn, nor exposure over what is exposed already. Returns how many
// primitives were left out.
size_t drawSpan(std::span<const ListPlacement> lists, int64_t top, BandBitmap& band,
                SpanDrawing& drawing);

}  // namespace drumplot
