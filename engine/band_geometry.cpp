// SPDX-License-Identifier: MIT
// Memory budget and band geometry.
#include "engine/band_geometry.h"

#include <algorithm>
#include <string>

#include "engine/errors.h"

namespace drumplot {

uint64_t memoryBudgetBytes(int memory_MB) {
  return static_cast<uint64_t>(std::max(memory_MB, 0)) * 1048576u + 1u;
}

BandGeometry computeBandGeometry(uint64_t budgetBytes, int64_t width_px, int64_t height_px) {
  if (width_px <= 0 || width_px % 32 != 0 || height_px < 0) {
    throw FormatError("an image of " + std::to_string(width_px) + " x " +
                      std::to_string(height_px) +
                      " pixels cannot be cut into bands (the width must be a positive multiple "
                      "of 32)");
  }
  const auto rowBytes = static_cast<uint64_t>(width_px / 8);
  const uint64_t rows = budgetBytes / rowBytes / 32 * 32;
  if (rows == 0) {
    throw FormatError("the memory budget of " + std::to_string(budgetBytes) +
                      " bytes holds fewer than 32 rows of an image " + std::to_string(width_px) +
                      " pixels wide; raise the memory setting");
  }
  BandGeometry g;
  g.width_px = width_px;
  g.height_px = height_px;
  // Far beyond any image; keeps (i + 1) x rowsPerBand in range.
  g.rowsPerBand = static_cast<int64_t>(std::min<uint64_t>(rows, uint64_t{1} << 40));
  g.bandCount = height_px / g.rowsPerBand + (height_px % g.rowsPerBand != 0 ? 1 : 0);
  return g;
}

BandSpan BandGeometry::band(int64_t i, BandOrder order) const {
  // Rows of bands 0..i together: i + 1 full bands, the last one cut to the image.
  const int64_t through = std::min(height_px, (i + 1) * rowsPerBand);
  const int64_t rows = through - i * rowsPerBand;
  if (order == BandOrder::TopDown) return {i * rowsPerBand, rows};
  return {height_px - through, rows};
}

}  // namespace drumplot
