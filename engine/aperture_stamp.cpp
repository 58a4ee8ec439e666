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
      case ShapeStep::Kind::Rect:
        canvas.fillRect(step.x1, step.y1, step.x2, step.y2);
        break;
      case ShapeStep::Kind::Ellipse:
        canvas.fillEllipse(step.x1, step.y1, step.x2, step.y2);
        break;
      case ShapeStep::Kind::Polygon:
        canvas.fillPolygon(step.points);
        break;
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

// StampedShape
// ============================================================================

uint64_t stampBytes(const PixelRect& area) {
  if (area.empty()) return 0;
  constexpr int64_t kSide = int64_t{1} << 40;  // beyond any stamp; keeps the product in range
  if (area.width() > kSide || area.height() > kSide) return UINT64_MAX;
  auto words = (static_cast<uint64_t>(area.width()) + 31) / 32;
  // The rows' words, and the drawn words of each block of rows.
  const auto rows = static_cast<uint64_t>(area.height());
  const auto blocks = (rows + BandBitmap::kDrawnBlockRows - 1) / BandBitmap::kDrawnBlockRows;
  return words * 4 * rows + sizeof(BandBitmap::DrawnWords) * blocks;
}

namespace {

template <class T>
void put(std::string& key, T v) {
  key.append(reinterpret_cast<const char*>(&v), sizeof v);
}

}  // namespace

StampedShape::StampedShape(ShapeSteps steps, const PixelRect& area, StampCache& cache)
    : steps_(std::move(steps)), area_(area), cache_(cache) {
  for (int64_t v : {area_.x0, area_.y0, area_.x1, area_.y1}) put(key_, v);
  for (const ShapeStep& step : steps_) {
    put(key_, static_cast<uint8_t>(step.kind));
    put(key_, static_cast<uint8_t>(step.exposed));
    for (int64_t v : {step.x1, step.y1, step.x2, step.y2, step.penWidth_px}) put(key_, v);
    put(key_, step.points.size());
    for (const PixelPoint& p : step.points) put(key_, p.x), put(key_, p.y);
  }
}

uint64_t StampedShape::bytes() const {
  return stampBytes(area_);
}

void StampedShape::drawRows(BandBitmap& bits, int64_t first, int64_t firstColumn) const {
  Canvas canvas(bits);
  canvas.setWindowOrigin(area_.x0 + firstColumn, area_.y0 + first);
  drawShapeSteps(canvas, steps_, {0, 0}, kBlack);
}

// StampCache
// ============================================================================

bool StampCache::pays(const StampedShape& shape, int64_t bandRows) const {
  return shape.rows() <= kRowsPerBandRow * bandRows &&
         shape.bytes() <= capacity_ / kShareOfCapacity;
}

std::shared_ptr<const BandBitmap> StampCache::get(const StampedShape& shape, int64_t bandRows) {
  if (!pays(shape, bandRows)) return nullptr;
  const uint64_t need = shape.bytes();
  {
    std::lock_guard lock(mutex_);
    if (auto it = byKey_.find(shape.key()); it != byKey_.end()) {
      entries_.splice(entries_.begin(), entries_, it->second);
      return it->second->bits;
    }
  }
  // Built outside the lock: other threads go on meanwhile (one may build
  // the same stamp; the first kept wins).
  auto bits = std::make_shared<BandBitmap>(shape.width_px(), shape.rows());
  shape.drawRows(*bits, 0);
  std::lock_guard lock(mutex_);
  ++built_;
  if (auto it = byKey_.find(shape.key()); it != byKey_.end()) return it->second->bits;
  while (bytes_ + need > capacity_ && !entries_.empty()) {
    byKey_.erase(entries_.back().key);
    bytes_ -= entries_.back().bytes;
    entries_.pop_back();
  }
  entries_.push_front({shape.key(), bits, need});
  byKey_.emplace(entries_.front().key, entries_.begin());
  bytes_ += need;
  return bits;
}

uint64_t StampCache::bytes() const {
  std::lock_guard lock(mutex_);
  return bytes_;
}

uint64_t StampCache::built() const {
  std::lock_guard lock(mutex_);
  return built_;
}

}  // namespace drumplot
