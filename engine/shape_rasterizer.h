// SPDX-License-Identifier: MIT
// ShapeRasterizer: flashes and measures apertures (standard, macro and
// aperture-file kinds) at one resolution, through stamps built once per
// aperture; and the 64 arc points of regions.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "engine/aperture.h"
#include "engine/aperture_stamp.h"
#include "engine/canvas.h"

namespace drumplot {

// One aperture made ready to flash at one resolution.
struct PreparedAperture {
  ShapeSteps steps;                      // relative to the flash centre
  PixelRect bounds;                      // every pixel the steps may touch
  double flashSize_px = 0.0;             // the size a flash reports
  double measureSize_px = 0.0;           // the size a measure reports
  std::unique_ptr<ApertureStamp> stamp;  // null: drawn straight onto the target
};

struct ShapeLimits {
  // A stamp may not exceed this; larger shapes without see-through parts
  // are drawn straight onto the target instead, larger shapes with them
  // are refused with a FormatError.
  uint64_t maxStampBytes = uint64_t{256} << 20;
};

class ShapeRasterizer {
 public:
  // `pixelsPerInch` is the scale s; `unitScale` the reader's unit factor u
  // (file units to inches) for the sizes of %ADD and %AM apertures.
  ShapeRasterizer(const ApertureTable& apertures, double pixelsPerInch, double unitScale,
                  ShapeLimits limits = {});
  ShapeRasterizer(const ShapeRasterizer&) = delete;
  ShapeRasterizer& operator=(const ShapeRasterizer&) = delete;

  // Draws aperture `dCode` centred on pixel (round(x s), round(y s)), x and y
  // in inches, in `colour` (white clears). Returns the aperture's size in
  // pixels, or nothing (and draws nothing) when the D code has no record.
  // The canvas's pen, brush, position and window origin are left as found.
  std::optional<double> flash(Canvas& canvas, int dCode, double x, double y, Rgb colour);

  // The size in pixels that a flash of `dCode` would report to the line pen.
  std::optional<double> measure(int dCode);

  // The aperture's drawing at this resolution, built on first use; null for
  // a D code without record. Throws FormatError when its stamp is too large.
  const PreparedAperture* prepare(int dCode);

  double pixelsPerInch() const { return pixelsPerInch_; }
  double unitScale() const { return unitScale_; }
  uint64_t stampTransfers() const { return stampTransfers_; }

 private:
  const ApertureTable& apertures_;
  double pixelsPerInch_;
  double unitScale_;
  ShapeLimits limits_;
  std::vector<std::unique_ptr<PreparedAperture>> prepared_;  // by D code
  uint64_t stampTransfers_ = 0;
};

// The region arc's 64 points: the ellipse in the box with corners c1 and c2,
// swept from the angle of radial point `end` up to that of radial point
// `start` in 63 equal steps (the whole ellipse when the two angles are less
// than pi / 3000 apart), each point rounded and kept inside the box.
std::array<PixelPoint, 64> arcPoints(PixelPoint c1, PixelPoint c2, PixelPoint start,
                                     PixelPoint end);

}  // namespace drumplot
