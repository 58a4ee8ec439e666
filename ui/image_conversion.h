// SPDX-License-Identifier: MIT
// The drawing surfaces and 1-bit images of the libraries as QImages, for
// showing and printing them.
#pragma once

#include <QImage>

#include "engine/band_bitmap.h"
#include "output/mono_image.h"

namespace drumplot {

// 1-bit images stay 1-bit: a set bit (background) is white, a clear bit black.
QImage toQImage(const MonoImage& image);
QImage toQImage(const BandBitmap& bitmap);
QImage toQImage(const RgbSurface& surface);

}  // namespace drumplot
