// SPDX-License-Identifier: MIT
// The plotter file's image data: run-length-coded groups of four pixel rows,
// and the horizontal line-width adjustment applied to rows before coding.
#pragma once

#include <cstdint>
#include <vector>

namespace drumplot {

// Four rows of one group, rows[k] giving bit k of each column's value
// v = b0 + 2 b1 + 4 b2 + 8 b3 (bk = 1 when that row's pixel is background).
// Rows are band rows: MSB leftmost, set bit = background, widthPx / 8 bytes.
struct RowGroup {
  const uint8_t* rows[4];
  uint32_t widthPx;  // a multiple of 32
  // The bytes of the four rows that may hold exposure, [firstByte, endByte):
  // every byte outside them is background, and a coder need not read it.
  uint32_t firstByte = 0;
  uint32_t endByte = UINT32_MAX;
};

// Appends the group's record (runs, then 0xFF), column by column. The
// reference coder: simple and slow.
void encodeGroupPerPixel(const RowGroup& group, std::vector<uint8_t>& out);

// The same bytes, 32 columns at a time: uniform words extend the run with
// one compare; mixed words are split into column values through a table.
void encodeGroupWords(const RowGroup& group, std::vector<uint8_t>& out);

// Appends the bytes of one run of `count` columns of value `v`: the largest
// step first (128, 64, 32, 16, 10), the rest 1 to 9 in one byte.
void appendRun(uint8_t v, uint64_t count, std::vector<uint8_t>& out);

// Grows (d > 0) or shrinks (d < 0) every exposed run of one row at its right
// end by d pixels; a run never shrinks below one pixel and pixel 0 never
// starts a run. Changes the row in place.
void adjustHorizontalLines(uint8_t* row, uint32_t widthPx, int64_t d);

}  // namespace drumplot
