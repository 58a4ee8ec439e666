// SPDX-License-Identifier: MIT
// Helpers of the raster tests: pictures of small bitmaps and band splits.
#pragma once

#include <functional>
#include <string>
#include <vector>

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

// Draws the image of `width` x `height` pixels once whole and once in bands
// of `bandRows` rows, each band a fresh canvas over its own bitmap, and
// returns both as rows of bytes (whole image first).
inline std::pair<std::vector<uint8_t>, std::vector<uint8_t>> drawWholeAndBanded(
    int64_t width, int64_t height, int64_t bandRows, const std::function<void(Canvas&)>& draw) {
  BandBitmap whole(width, height);
  Canvas wholeCanvas(whole);
  draw(wholeCanvas);
  std::vector<uint8_t> banded;
  for (int64_t top = 0; top < height; top += bandRows) {
    BandBitmap band(width, std::min(bandRows, height - top), top);
    Canvas canvas(band);
    draw(canvas);
    banded.insert(banded.end(), band.bytes().begin(), band.bytes().end());
  }
  return {std::vector<uint8_t>(whole.bytes().begin(), whole.bytes().end()), banded};
}

}  // namespace drumplot::test
