// SPDX-License-Identifier: MIT
// Covered draws: what of a piece need not be drawn, found over the lists
// that the piece draws, and drawing the piece without it.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "output/column_set.h"
#include "output/display_list.h"

namespace drumplot {

// What of the primitives one piece draws from one list need not be drawn:
// one flag for each in order, the columns that its large fills fill on
// every row of the piece, and the only columns that partly covered
// primitives are drawn in (each kept as `count` columns from `first`, the
// last primitive first).
struct SpanSkips {
  std::vector<uint8_t> hidden;
  struct Part {
    uint32_t entry, first, count;  // the primitive's place; columns[first, first + count)
  };
  std::vector<Part> fills, drawn;
  std::vector<ColumnSet::Columns> columns;
};

// What is drawn after the lists not yet walked: the columns that fills
// cover on every row of the piece, and the primitives (but polygons and
// stamps) that cross all its rows, by kind, pen and image coordinates.
using CrossingKey = std::array<int32_t, 10>;
struct LaterDrawing {
  ColumnSet fills;
  std::vector<CrossingKey> crossing;
};

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
// `top`), whose pixels may be anything: what the lists' fills do not cover
// on every row is cleared to background first. What a later fill or the
// same primitive drawn later overwrites is not drawn, nor exposure over
// what is exposed already. Returns how many primitives were left out.
size_t drawSpan(std::span<const ListPlacement> lists, int64_t top, BandBitmap& band,
                SpanDrawing& drawing);

}  // namespace drumplot
