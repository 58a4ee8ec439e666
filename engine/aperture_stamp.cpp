// SPDX-License-Identifier: MIT
// Shape steps drawn onto a canvas, and aperture stamps built from them.
#include "engine/aperture_stamp.h"

#include <algorithm>

namespace drumplot {

// ShapeStep - Bounds
// ============================================================================

PixelRect stepBounds(const ShapeStep& step) {
  const int64_t xa = std::min(step.x1, step.x2), xb = std::max(step.x1, step.x2);
  const int64_t ya = std::min(step.y1, step.y2), yb = std::max(step.y1, step.y2);
  // A stroke of width w reaches w / 2 pixels before its path's first
  // coordinate and w / 2 after its last, one more after when w is odd (its
  // points then sit at pixel centres).
  const int64_t w = std::max<int64_t>(step.penWidth_px, 1);
  const int64_t before = w / 2, after = w / 2 + w % 2;
  switch (step.kind) {
    case ShapeStep::Kind::Rect:
    case ShapeStep::Kind::Ellipse:
      return xa == xb || ya == yb ? PixelRect{} : PixelRect{xa, ya, xb, yb};
    case ShapeStep::Kind::Polygon: {
      if (step.points.empty()) return {};
      PixelRect r{step.points[0].x, step.points[0].y, step.points[0].x, step.points[0].y};
      for (const PixelPoint& p : step.points) {
        r = {std::min(r.x0, p.x), std::min(r.y0, p.y), std::max(r.x1, p.x), std::max(r.y1, p.y)};
      }
      return {r.x0, r.y0, r.x1 + 1, r.y1 + 1};  // the outline's last column and row
    }
    case ShapeStep::Kind::Ring:
    case ShapeStep::Kind::Outline:
      if (xa == xb || ya == yb) return {};
      return {xa - before, ya - before, xb + after, yb + after};
    case ShapeStep::Kind::Line:
      if (step.penWidth_px <= 1) return {xa, ya, xb + 1, yb + 1};
      return {xa - before, ya - before, xb + after, yb + after};
  }
  return {};
}

PixelRect shapeBounds(const ShapeSteps& steps, bool exposedOnly) {
  PixelRect bounds;
  for (const ShapeStep& step : steps) {
    if (step.exposed || !exposedOnly) bounds = bounds.united(stepBounds(step));
  }
  return bounds;
}

// ShapeStep - Drawing
// ============================================================================

void drawShapeSteps(Canvas& canvas, const ShapeSteps& steps, PixelPoint centre, Rgb colour) {
  const CanvasState saved = canvas.state();
  const PixelPoint savedOrigin = canvas.windowOrigin();
  const PixelPoint savedPosition = canvas.position();
  // Steps are relative to the centre: move the window instead of the points.
  canvas.setWindowOrigin(savedOrigin.x - centre.x, savedOrigin.y - centre.y);
  for (const ShapeStep& step : steps) {
    const Rgb c = step.exposed ? colour : kWhite;
    canvas.setColor(c);
    canvas.setPenWidth(step.penWidth_px);
    switch (step.kind) {
      case ShapeStep::Kind::Rect: canvas.fillRect(step.x1, step.y1, step.x2, step.y2); break;
      case ShapeStep::Kind::Ellipse: canvas.fillEllipse(step.x1, step.y1, step.x2, step.y2); break;
      case ShapeStep::Kind::Polygon: canvas.fillPolygon(step.points); break;
      case ShapeStep::Kind::Ring:
        canvas.setBrushColor(kWhite);
        canvas.ellipse(step.x1, step.y1, step.x2, step.y2);
        break;
      case ShapeStep::Kind::Outline:
        canvas.arc(step.x1, step.y1, step.x2, step.y2, step.x2, step.y1, step.x2, step.y1);
        break;
      case ShapeStep::Kind::Line:
        canvas.moveTo(step.x1, step.y1);
        canvas.lineTo(step.x2, step.y2);
        break;
    }
  }
  canvas.setWindowOrigin(savedOrigin.x, savedOrigin.y);
  canvas.moveTo(savedPosition.x, savedPosition.y);
  canvas.setState(saved);
}

// ApertureStamp
// ============================================================================

uint64_t stampBytes(const PixelRect& area) {
  if (area.empty()) return 0;
  constexpr int64_t kSide = int64_t{1} << 40;  // beyond any stamp; keeps the product in range
  if (area.width() > kSide || area.height() > kSide) return UINT64_MAX;
  auto words = (static_cast<uint64_t>(area.width()) + 31) / 32;
  return words * 4 * static_cast<uint64_t>(area.height());
}

ApertureStamp::ApertureStamp(const ShapeSteps& steps, const PixelRect& area)
    : bits_(area.width(), area.height()), origin_{area.x0, area.y0} {
  Canvas canvas(bits_);
  canvas.setWindowOrigin(area.x0, area.y0);
  drawShapeSteps(canvas, steps, {0, 0}, kBlack);
}

}  // namespace drumplot
