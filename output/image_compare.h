// SPDX-License-Identifier: MIT
// Geometry comparison of two 1-bit images: XOR, erode, count. Edge rounding
// vanishes in the erosion; a missing pad or a misplaced track does not.
#pragma once

#include <cstdint>

#include "output/mono_image.h"

namespace drumplot {

struct ImageDifference {
  uint64_t differing = 0;  // pixels exposed in exactly one image
  uint64_t residual = 0;   // of those, what survives the erosion
};

// Compares `render` with `reference`, where render pixel (x, y) lies over
// reference pixel (x + shiftX, y + shiftY). Pixels outside an image are
// background. The XOR is eroded by a disk of `radius` pixels.
// When `residualMap` is given it receives the surviving pixels (exposed) in
// the union of both frames.
ImageDifference compareImages(const MonoImage& render, const MonoImage& reference, int64_t shiftX,
                              int64_t shiftY, int radius = 2, MonoImage* residualMap = nullptr);

}  // namespace drumplot
