// SPDX-License-Identifier: MIT
// The memory budget and how it cuts an image into bands of rows.
#pragma once

#include <cstdint>

namespace drumplot {

// The `Memory` setting: whole megabytes.
inline constexpr int kMemoryMin_MB = 10;
inline constexpr int kMemoryMax_MB = 768;
inline constexpr int kMemoryDefault_MB = 32;

// The budget in bytes: `Memory` x 1,048,576 with the lowest bit set.
uint64_t memoryBudgetBytes(int memory_MB);

// Which end of the image the bands are produced from.
enum class BandOrder {
  TopDown,   // band 0 at the top; the remainder band at the bottom
  BottomUp,  // band 0 at the bottom; the remainder band at the top
};

struct BandSpan {
  int64_t topRow = 0;
  int64_t rows = 0;
  bool operator==(const BandSpan&) const = default;
};

// An image of width_px x height_px cut into bands of rowsPerBand rows (a
// multiple of 32); the last band produced holds the remainder.
struct BandGeometry {
  int64_t width_px = 0;
  int64_t height_px = 0;
  int64_t rowsPerBand = 0;
  int64_t bandCount = 0;

  // Band i (0 <= i < bandCount) in production order.
  BandSpan band(int64_t i, BandOrder order) const;
};

// R = floor(budget / (W / 8)) rounded down to a multiple of 32, then
// ceil(H / R) bands. Throws FormatError when the budget holds fewer than 32
// rows of the image (nothing can be drawn) or W is not a multiple of 32.
BandGeometry computeBandGeometry(uint64_t budgetBytes, int64_t width_px, int64_t height_px);

}  // namespace drumplot
