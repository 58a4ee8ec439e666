// SPDX-License-Identifier: MIT
// What every film format does to a band or an image before it is written:
// the horizontal line width, the negative, rows turned over, and a bitmap
// as an image.
#pragma once

#include <cstdint>

#include "engine/band_bitmap.h"
#include "output/mono_image.h"

namespace drumplot {

// The horizontal line-width adjustment on one row of a band, and on every
// row; the rows' drawn words grow by what the runs grow.
void adjustRowLines(BandBitmap& band, int64_t row, int64_t horizontal_px);
void adjustBandLines(BandBitmap& band, int64_t horizontal_px);
// A negative film's band: every pixel turned over (and so drawn).
void invertBand(BandBitmap& band);
// The band's rows in the other vertical order.
void flipBandRows(BandBitmap& band);

// The overview as shown with "Mirror horizontal" off: its top part, down to
// two rows below the last row with exposure, turned upside down.
void flipOverviewTop(MonoImage& overview);
// Swaps rows k and rows - 1 - k of the first `rows` rows.
void flipImageRows(MonoImage& image, uint32_t rows);

// The rows of a 1-bit bitmap as a MonoImage.
MonoImage toMonoImage(const BandBitmap& bitmap);

}  // namespace drumplot
