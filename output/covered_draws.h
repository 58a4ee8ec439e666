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

// A list as one board layer draws it: moved by (dx, dy) pixels. `bounded`
// when the list's bounds hold every pixel it draws (no primitive reached
// the sides of the canvas it was recorded on).
struct ListPlacement {
  const DisplayList* list = nullptr;
  int64_t dx = 0, dy = 0;
  bool bounded = false;
};

// A tile drawn once and copied: its image pixels `from` (its rows within
// the piece) onto the same rows `shift` columns away.
struct TileCopy {
  PixelRect from;
  int64_t shift = 0;
};

// The lists of a piece as tiles: lists whose pixels meet, or whose tiles'
// rectangles meet, make one tile, so that no list reaches another tile's
// rectangle. A tile that holds the same lists in the same order as an
// earlier one, at the same rows and the same columns from each other (a
// panel's copies of a board, side by side), is copied from it rather than
// drawn where copying its words costs less than drawing its primitives.
struct PieceTiles {
  std::vector<TileCopy> copies;
  std::vector<uint8_t> copied;       // by list: 1 when its tile is copied
  std::vector<ListPlacement> drawn;  // the lists that are not, in order
  std::vector<size_t> tile;          // by list: its tile, as a list's index
  std::vector<PixelRect> pixels;     // by list: its pixels in the piece
  std::vector<PixelRect> tileRect;   // by a tile's list: the tile's pixels
  std::vector<size_t> order;
  std::vector<ColumnSet::Columns> written;  // the copies' columns
};

// Finds the tiles of `lists` on image rows top <= y < bottom of an image
// `width` pixels wide, `ops` being each list's primitives there. No tile is
// copied when a list is not bounded.
void findRepeatedTiles(std::span<const ListPlacement> lists, std::span<const PieceOps> ops,
                       int64_t top, int64_t bottom, int64_t width, PieceTiles& tiles);

// What drawing a piece keeps from one piece to the next.
struct SpanDrawing {
  LaterDrawing later;
  ColumnSet exposed;
  std::vector<PieceOps> ops;     // by list
  std::vector<SpanSkips> skips;  // by list
  PieceTiles tiles;
};

// Draws the lists, in order, onto `band` (a piece whose row 0 is image row
// `top`), whose pixels may be anything within each row's drawn words: what
// the lists' fills do not cover on every row is cleared to background
// first. What a later fill or the same primitive drawn later overwrites is
// not drawn, nor exposure over what is exposed already, and repeated
// tiles are copied. Returns how many primitives were left out.
size_t drawSpan(std::span<const ListPlacement> lists, int64_t top, BandBitmap& band,
                SpanDrawing& drawing);

}  // namespace drumplot
