// SPDX-License-Identifier: MIT
// Helpers of the raster tests: pictures of small bitmaps and band splits.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "engine/aperture.h"
#include "engine/band_bitmap.h"
#include "engine/canvas.h"

namespace drumplot::test {

// One line per row, "#" for exposure and "." for background.
inline std::string picture(const BandBitmap& band) {
  std::string s;
  for (int64_t y = 0; y < band.rows(); ++y) {
    for (int64_t x = 0; x < band.width_px(); ++x) s += band.isBackground(x, y) ? '.' : '#';
    s += '\n';
  }
  return s;
}

// The picture of a whole image `width` x `height` whose origin is at
// image point (left, top), drawn by `draw`.
inline std::string drawPicture(int64_t width, int64_t height, int64_t left, int64_t top,
                               const std::function<void(Canvas&)>& draw) {
  BandBitmap band(width, height);
  Canvas canvas(band);
  canvas.setWindowOrigin(left, top);
  draw(canvas);
  return picture(band);
}

// Joins rows of a hand-drawn picture.
inline std::string rows(std::initializer_list<const char*> lines) {
  std::string s;
  for (const char* line : lines) s += std::string(line) + '\n';
  return s;
}

// Exposed pixels of a band.
inline int64_t exposedCount(const BandBitmap& band) {
  int64_t n = 0;
  for (int64_t y = 0; y < band.rows(); ++y) {
    for (int64_t x = 0; x < band.width_px(); ++x) n += band.isBackground(x, y) ? 0 : 1;
  }
  return n;
}

// Defines D`d` as an aperture-file aperture of `shape` and sizes x, y (inches).
inline void defineFileAperture(ApertureTable& table, int d, ApertureShape shape, double x,
                               double y) {
  Aperture& a = table.define(d);
  a.Defined = 1;
  a.Kind = static_cast<uint8_t>(ApertureKind::File);
  a.Shape = static_cast<uint8_t>(shape);
  a.SizeX = x;
  a.SizeY = y;
}

// Draws an image of `width` x `height` pixels band by band, each band of the
// next of `bandRows` rows (the last one repeated) a fresh canvas over its own
// bitmap, and returns the bands' bytes one after the other.
inline std::vector<uint8_t> drawInBands(int64_t width, int64_t height,
                                        const std::vector<int64_t>& bandRows,
                                        const std::function<void(Canvas&)>& draw) {
  std::vector<uint8_t> bytes;
  size_t next = 0;
  for (int64_t top = 0; top < height;) {
    int64_t rows = std::min(bandRows[std::min(next++, bandRows.size() - 1)], height - top);
    BandBitmap band(width, rows, top);
    Canvas canvas(band);
    draw(canvas);
    bytes.insert(bytes.end(), band.bytes().begin(), band.bytes().end());
    top += rows;
  }
  return bytes;
}

}  // namespace drumplot::test
