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
#include "engine/gerber_program.h"

namespace drumplot {

// One aperture made ready to flash at one resolution.
struct PreparedAperture {
  ShapeSteps steps;             // relative to the flash centre
  PixelRect bounds;             // every pixel the steps may touch
  double flashSize_px = 0.0;    // the size a flash reports
  double measureSize_px = 0.0;  // the size a measure reports
  // A solid rectangle or polygon: its corners (pixels, relative to the
  // centre), so that a line drawn with it can sweep it; empty otherwise.
  std::vector<PixelPoint> outline;
  std::unique_ptr<StampedShape> stamp;  // null: drawn straight onto the target
};

// Stamps kept by a shape rasterizer that is given no cache of its own.
inline constexpr uint64_t kDefaultStampCacheBytes = uint64_t{256} << 20;

class ShapeRasterizer {
 public:
  // `pixelsPerInch` is the scale s; each aperture gives its own unit factor
  // u (file units to inches). Stamps are kept by `stamps` (null: a cache
  // of kDefaultStampCacheBytes of the rasterizer's own).
  ShapeRasterizer(const ApertureTable& apertures, double pixelsPerInch,
                  StampCache* stamps = nullptr);
  ShapeRasterizer(const ShapeRasterizer&) = delete;
  ShapeRasterizer& operator=(const ShapeRasterizer&) = delete;

  // Draws aperture `dCode`, turned by `transform` (file units), centred on
  // pixel (round(x s), round(y s)), x and y in inches, in `colour` (white
  // clears). Returns the aperture's size in pixels, or nothing (and draws
  // nothing) when the D code has no record. The canvas's pen, brush,
  // position and window origin are left as found.
  std::optional<double> flash(Canvas& canvas, int dCode, const Linear2& transform, double x,
                              double y, Rgb colour);

  std::optional<double> flash(Canvas& canvas, int dCode, double x, double y, Rgb colour) {
    return flash(canvas, dCode, Linear2{}, x, y, colour);
  }

  // The size in pixels that a flash of `dCode` would report to the line pen.
  std::optional<double> measure(int dCode, const Linear2& transform = {});

  // The aperture's drawing at this resolution and transform, built on first
  // use; null for a D code without record.
  const PreparedAperture* prepare(int dCode, const Linear2& transform = {});

  double pixelsPerInch() const { return pixelsPerInch_; }
  uint64_t stampTransfers() const { return stampTransfers_; }

 private:
  size_t transformSlot(const Linear2& transform);

  const ApertureTable& apertures_;
  double pixelsPerInch_;
  std::unique_ptr<StampCache> ownStamps_;
  StampCache& stamps_;
  // The prepared apertures of each transform met, by D code.
  std::vector<std::pair<Linear2, std::vector<std::unique_ptr<PreparedAperture>>>> transforms_;
  size_t lastSlot_ = 0;
  uint64_t stampTransfers_ = 0;
};

// Appends the points of the arc about (cx, cy) of `radius` (pixels, not
// rounded) from angle `start` through `sweep` radians (atan2 angles of the
// canvas, which has y as the file has it), each rounded: `from` first, `to`
// last, and enough between them that no chord strays more than a quarter
// pixel from the arc (at least 62).
void appendArcPoints(std::vector<PixelPoint>& out, double cx, double cy, double radius,
                     double start, double sweep, PixelPoint from, PixelPoint to);

}  // namespace drumplot
