// SPDX-License-Identifier: MIT
// An aperture's drawing as steps relative to its flash centre, the 1-bit
// stamp made from them for apertures with see-through parts, and the cache
// that keeps stamps for an output.
#pragma once

#include <cstdint>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
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

class StampCache;

// An aperture with see-through parts, drawn through a 1-bit stamp: its
// clear bits are the shape, its set bits (the outside and the holes) are
// see-through. Stamp pixel (0, 0) lies at `area`'s corner relative to the
// flash centre; the stamp covers `area`, which should hold every exposed
// step (what lies outside is cut off). The stamp itself is kept by a cache;
// one the cache does not keep is drawn, for each band, in the band's rows only.
class StampedShape {
 public:
  StampedShape(ShapeSteps steps, const PixelRect& area, StampCache& cache);

  // Only the shape's pixels reach the target, in `colour` (white clears).
  void transfer(Canvas& canvas, PixelPoint centre, Rgb colour) const {
    canvas.drawShape(*this, centre.x + area_.x0, centre.y + area_.y0, colour);
  }
  const PixelRect& area() const { return area_; }
  int64_t width_px() const { return area_.width(); }
  int64_t rows() const { return area_.height(); }
  uint64_t bytes() const;
  // Draws stamp rows first .. first + bits.rows() - 1, from stamp column
  // `firstColumn` on, into `bits`.
  void drawRows(BandBitmap& bits, int64_t first, int64_t firstColumn = 0) const;
  StampCache& cache() const { return cache_; }
  // What makes the stamp: equal keys draw equal stamps.
  const std::string& key() const { return key_; }

 private:
  ShapeSteps steps_;
  PixelRect area_;
  StampCache& cache_;
  std::string key_;
};

// Stamps kept for one output, shared by its board layers and threads: the
// least recently used go when they would together pass `capacity` bytes.
// A stamp is kept only where that pays: a whole stamp costs as much to make
// as drawing all its rows, so one much taller than the band it is drawn in
// is drawn in the band's rows instead (when bands are short, a stamp that
// crosses many of them would be made again for each band once other stamps
// pushed it out); and one stamp never takes more than a part of the cache.
class StampCache {
 public:
  explicit StampCache(uint64_t capacityBytes) : capacity_(capacityBytes) {}
  StampCache(const StampCache&) = delete;
  StampCache& operator=(const StampCache&) = delete;

  // The stamp of `shape` for a band of `bandRows` rows, built when it is not
  // kept; null when it is better drawn in the band's rows.
  std::shared_ptr<const BandBitmap> get(const StampedShape& shape, int64_t bandRows);
  uint64_t capacity() const { return capacity_; }
  uint64_t bytes() const;
  uint64_t built() const;  // stamps built so far, rebuilt ones again

 private:
  // A kept stamp is at most this many times the band's rows, and at most
  // this share of the capacity.
  static constexpr int64_t kRowsPerBandRow = 2;
  static constexpr uint64_t kShareOfCapacity = 8;
  bool pays(const StampedShape& shape, int64_t bandRows) const;

  struct Entry {
    std::string key;
    std::shared_ptr<const BandBitmap> bits;
    uint64_t bytes;
  };
  mutable std::mutex mutex_;
  uint64_t capacity_;
  uint64_t bytes_ = 0;
  uint64_t built_ = 0;
  std::list<Entry> entries_;  // most recently used first
  std::unordered_map<std::string_view, std::list<Entry>::iterator> byKey_;
};

// Bytes of a stamp covering `area`.
uint64_t stampBytes(const PixelRect& area);

}  // namespace drumplot
