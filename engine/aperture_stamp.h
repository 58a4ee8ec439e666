// SPDX-License-Identifier: MIT
// An aperture's drawing as steps relative to its flash centre, and the 1-bit
// stamp made from them for apertures with see-through parts.
#pragma once

#include <cstdint>
#include <vector>

#include "engine/band_bitmap.h"
#include "engine/canvas.h"

namespace drumplot {

// One drawing step of an aperture, in whole pixels relative to the flash
// centre. An exposed step draws in the flash colour; a step that is not
// exposed draws background (the stamp colour, white) and so clears what
// earlier steps drew beneath it.
struct ShapeStep {
  enum class Kind : uint8_t {
    Rect,     // filled rectangle, box (x1, y1)-(x2, y2)
    Ellipse,  // filled ellipse, box (x1, y1)-(x2, y2)
    Polygon,  // filled polygon through `points`
    Ring,     // ellipse outline of pen width `penWidth_px`, its inside background (thermal ring)
    Outline,  // ellipse outline of pen width `penWidth_px` alone (moire ring)
    Line,     // line (x1, y1)-(x2, y2) of pen width `penWidth_px`
  };
  Kind kind = Kind::Rect;
  bool exposed = true;
  int64_t x1 = 0, y1 = 0, x2 = 0, y2 = 0;
  int64_t penWidth_px = 1;
  std::vector<PixelPoint> points;
};

using ShapeSteps = std::vector<ShapeStep>;

// The pixels a step may touch, relative to the flash centre.
PixelRect stepBounds(const ShapeStep& step);
// The union of stepBounds over the exposed steps, or over all of them.
PixelRect shapeBounds(const ShapeSteps& steps, bool exposedOnly);

// Draws the steps in order with the flash centre at image point `centre`:
// exposed steps in `colour`, the others in white. The canvas's pen, brush
// and window origin are restored afterwards.
void drawShapeSteps(Canvas& canvas, const ShapeSteps& steps, PixelPoint centre, Rgb colour);

// A 1-bit stamp of an aperture: its clear bits are the shape, its set bits
// (the outside and the holes) are see-through. Stamp pixel (0, 0) lies at
// `origin` relative to the flash centre; the stamp covers `area`, which
// should hold every exposed step (what lies outside is cut off).
class ApertureStamp {
 public:
  ApertureStamp(const ShapeSteps& steps, const PixelRect& area);

  // Only the shape's pixels reach the target, in `colour` (white clears).
  void transfer(Canvas& canvas, PixelPoint centre, Rgb colour) const {
    canvas.transferStamp(bits_, centre.x + origin_.x, centre.y + origin_.y, colour);
  }
  const BandBitmap& bits() const { return bits_; }
  PixelPoint origin() const { return origin_; }

 private:
  BandBitmap bits_;
  PixelPoint origin_;
};

// Bytes of a stamp covering `area`.
uint64_t stampBytes(const PixelRect& area);

}  // namespace drumplot
