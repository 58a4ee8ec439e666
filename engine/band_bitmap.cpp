// SPDX-License-Identifier: MIT
// The 1-bit band bitmap and the RGB surface: checked sizes and fills.
#include "engine/band_bitmap.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "engine/errors.h"

namespace drumplot {

namespace {

// Largest allocation a surface may ask for, in bytes: far beyond any memory
// budget, small enough that no size arithmetic below can overflow.
constexpr uint64_t kMaxSurfaceBytes = uint64_t{1} << 46;

// Bytes of a surface of `units` per row x `rows`, each unit `unitBytes`;
// throws FormatError before anything is allocated when it is out of reach.
size_t checkedSurfaceBytes(const char* what, int64_t width_px, int64_t rows, uint64_t unitsPerRow,
                           uint64_t unitBytes) {
  auto fail = [&] {
    return FormatError(std::string(what) + " of " + std::to_string(width_px) + " x " +
                       std::to_string(rows) + " pixels cannot be allocated");
  };
  if (width_px < 0 || rows < 0 || unitsPerRow > UINT32_MAX) throw fail();
  uint64_t rowBytes = unitsPerRow * unitBytes;  // unitsPerRow < 2^32 (a row's words are
                                                // counted in 32 bits), unitBytes <= 4
  if (rowBytes > kMaxSurfaceBytes) throw fail();
  if (rows != 0 && rowBytes > kMaxSurfaceBytes / static_cast<uint64_t>(rows)) throw fail();
  return static_cast<size_t>(rowBytes * static_cast<uint64_t>(rows));
}

}  // namespace

// BandBitmap - Allocation and fill
// ============================================================================

BandBitmap::BandBitmap(int64_t width_px, int64_t rows, int64_t topRow) : topRow_(topRow) {
  uint64_t words = width_px < 0 ? 0 : (static_cast<uint64_t>(width_px) + 31) / 32;
  size_t bytes = checkedSurfaceBytes("a 1-bit bitmap", width_px, rows, words, 4);
  width_ = width_px;
  rows_ = rows;
  wordsPerRow_ = static_cast<size_t>(words);
  words_ = std::make_unique_for_overwrite<uint32_t[]>(bytes / 4);
  drawn_ = std::make_unique_for_overwrite<DrawnWords[]>(drawnBlocks());
  fill(kWhite);
}

void BandBitmap::fill(Rgb colour) {
  std::memset(words_.get(), colour == kWhite ? 0xFF : 0x00, bytes().size());
  if (colour == kWhite) {
    std::fill_n(drawn_.get(), drawnBlocks(), DrawnWords{UINT32_MAX, 0});
  } else {
    markAllDrawn();
  }
}

void BandBitmap::markAllDrawn() {
  std::fill_n(drawn_.get(), drawnBlocks(), DrawnWords{0, static_cast<uint32_t>(wordsPerRow_)});
}

void BandBitmap::keepDrawnWithin(DrawnWords words) {
  for (size_t b = 0; b < drawnBlocks(); ++b) {
    drawn_[b] = {std::max(drawn_[b].first, words.first), std::min(drawn_[b].end, words.end)};
  }
}

// RgbSurface - Allocation and fill
// ============================================================================

RgbSurface::RgbSurface(int64_t width_px, int64_t rows, int64_t topRow) : topRow_(topRow) {
  size_t bytes = checkedSurfaceBytes("an RGB surface", width_px, rows,
                                     static_cast<uint64_t>(std::max<int64_t>(width_px, 0)), 4);
  width_ = width_px;
  rows_ = rows;
  pixels_ = std::make_unique_for_overwrite<Rgb[]>(bytes / 4);
  fill(kWhite);
}

void RgbSurface::fill(Rgb colour) {
  std::fill_n(pixels_.get(), static_cast<size_t>(width_) * static_cast<size_t>(rows_), colour);
}

}  // namespace drumplot
