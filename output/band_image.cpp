// SPDX-License-Identifier: MIT
#include "output/band_image.h"

#include <algorithm>
#include <cstring>

#include "output/fpf_encoder.h"

namespace drumplot {

void flipOverviewTop(MonoImage& overview) {
  int64_t last = -1;
  for (uint32_t y = 0; y < overview.height; ++y) {
    const uint8_t* row = overview.row(y);
    if (std::any_of(row, row + overview.stride(), [](uint8_t b) { return b != 0xFF; })) last = y;
  }
  flipImageRows(overview, static_cast<uint32_t>(std::min<int64_t>(last + 2, overview.height)));
}

void flipImageRows(MonoImage& image, uint32_t rows) {
  for (uint32_t k = 0; k < rows / 2; ++k) {
    std::swap_ranges(image.row(k), image.row(k) + image.stride(), image.row(rows - 1 - k));
  }
}

void adjustRowLines(BandBitmap& band, int64_t row, int64_t horizontal_px) {
  if (horizontal_px == 0) return;
  adjustHorizontalLines(reinterpret_cast<uint8_t*>(band.rowWords(row)),
                        static_cast<uint32_t>(band.width_px()), horizontal_px);
  // A run grows right by at most horizontal_px pixels.
  const BandBitmap::DrawnWords drawn = band.drawnWords(row);
  if (horizontal_px > 0 && drawn.first < drawn.end) {
    const auto more = static_cast<uint64_t>(horizontal_px + 31) / 32;
    band.markDrawn(row, row + 1, drawn.first,
                   std::min<uint64_t>(drawn.end + more, band.wordsPerRow()));
  }
}

void adjustBandLines(BandBitmap& band, int64_t horizontal_px) {
  for (int64_t y = 0; y < band.rows(); ++y) adjustRowLines(band, y, horizontal_px);
}

void invertBand(BandBitmap& band) {
  const size_t words = band.wordsPerRow() * static_cast<size_t>(band.rows());
  uint32_t* w = band.rowWords(0);
  for (size_t i = 0; i < words; ++i) w[i] = ~w[i];
  band.markAllDrawn();
}

void flipBandRows(BandBitmap& band) {
  const int64_t rows = band.rows();
  for (int64_t k = 0; k < rows / 2; ++k) {
    std::swap_ranges(band.rowWords(k), band.rowWords(k) + band.wordsPerRow(),
                     band.rowWords(rows - 1 - k));
  }
  band.markAllDrawn();
}

MonoImage toMonoImage(const BandBitmap& bitmap) {
  MonoImage image(static_cast<uint32_t>(bitmap.width_px()), static_cast<uint32_t>(bitmap.rows()));
  for (uint32_t y = 0; y < image.height; ++y) {
    std::memcpy(image.row(y), bitmap.rowBytes(y), image.stride());
  }
  return image;
}

}  // namespace drumplot
