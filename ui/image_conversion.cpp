// SPDX-License-Identifier: MIT
// Library images as QImages.
#include "ui/image_conversion.h"

#include <algorithm>
#include <cstring>

namespace drumplot {

namespace {

// Rows of `bytesPerRow` bytes, most significant bit leftmost, set = white.
template <typename RowBytes>
QImage monoImage(int64_t width_px, int64_t rows, size_t bytesPerRow, RowBytes rowBytes) {
  QImage image(static_cast<int>(width_px), static_cast<int>(rows), QImage::Format_Mono);
  image.setColorTable({qRgb(0, 0, 0), qRgb(255, 255, 255)});
  const size_t copied = std::min(bytesPerRow, static_cast<size_t>(image.bytesPerLine()));
  for (int64_t y = 0; y < rows; ++y) {
    std::memcpy(image.scanLine(static_cast<int>(y)), rowBytes(y), copied);
  }
  return image;
}

}  // namespace

QImage toQImage(const MonoImage& image) {
  return monoImage(image.width, image.height, image.stride(),
                   [&](int64_t y) { return image.row(static_cast<uint32_t>(y)); });
}

QImage toQImage(const BandBitmap& bitmap) {
  return monoImage(bitmap.width_px(), bitmap.rows(), bitmap.bytesPerRow(),
                   [&](int64_t y) { return bitmap.rowBytes(y); });
}

QImage toQImage(const RgbSurface& surface) {
  QImage image(static_cast<int>(surface.width_px()), static_cast<int>(surface.rows()),
               QImage::Format_RGB32);
  for (int64_t y = 0; y < surface.rows(); ++y) {
    auto* line = reinterpret_cast<QRgb*>(image.scanLine(static_cast<int>(y)));
    const Rgb* row = surface.row(y);
    for (int64_t x = 0; x < surface.width_px(); ++x) line[x] = 0xFF000000u | row[x];
  }
  return image;
}

}  // namespace drumplot
