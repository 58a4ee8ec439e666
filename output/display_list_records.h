// SPDX-License-Identifier: MIT
// How a display list keeps one primitive: a record per kind, its header
// first and its payload typed, one after another in the list's arena. Boxes
// and spans do not pay for arcs: each record is as large as its kind needs.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <new>
#include <span>

#include "engine/canvas.h"

namespace drumplot::list_records {

// Colours are kept as white or not white (1-bit targets).
inline constexpr uint8_t kWhitePen = 1, kWhiteBrush = 2, kWhiteColour = 4;

// What every record starts with. Every coordinate a canvas records is
// clamped to +-2^30, so each fits 32 bits.
struct Header {
  CanvasOp::Kind kind = CanvasOp::Kind::FillRect;
  uint8_t white = 0;   // kWhitePen | kWhiteBrush | kWhiteColour
  uint16_t bytes = 0;  // the whole record's, a multiple of 8: the next one follows
  int32_t firstRow = 0, rowAfter = 0, firstColumn = 0, columnAfter = 0;  // its bounds
  int32_t originX = 0, originY = 0;  // the recording canvas's origin
  int32_t penWidth = 0;
};

// Primitives given by coordinates, as x, y pairs: boxes (FillRect,
// FillEllipse, Ellipse: x1 y1 x2 y2), lines (from, to), arcs (the box, start,
// end) and pixels.
template <size_t N>
struct CoordinateRecord {
  Header header;
  std::array<int32_t, N> xy{};
};
using BoxRecord = CoordinateRecord<4>;
using LineRecord = CoordinateRecord<4>;
using ArcRecord = CoordinateRecord<8>;
using PixelRecord = CoordinateRecord<2>;

// A polygon's points lie in the list's point array.
struct PolygonRecord {
  Header header;
  uint32_t firstPoint = 0, pointCount = 0;
};

// Stamps and stamped shapes are referenced, not copied.
struct StampRecord {
  Header header;
  int32_t left = 0, top = 0;
  const BandBitmap* stamp = nullptr;
};
struct ShapeRecord {
  Header header;
  int32_t left = 0, top = 0;
  const StampedShape* shape = nullptr;
};

static_assert(sizeof(Header) == 32);
static_assert(sizeof(BoxRecord) == 48 && sizeof(ArcRecord) == 64 && sizeof(PixelRecord) == 40);
static_assert(sizeof(PolygonRecord) == 40 && sizeof(StampRecord) == 48 &&
              sizeof(ShapeRecord) == 48);

// One record in the arena, read by its kind.
class Record {
 public:
  explicit Record(const std::byte* at)
      : header_(std::launder(reinterpret_cast<const Header*>(at))) {}

  const Header& header() const { return *header_; }
  CanvasOp::Kind kind() const { return header_->kind; }
  bool white(uint8_t colour) const { return (header_->white & colour) != 0; }
  size_t bytes() const { return header_->bytes; }
  PixelPoint origin() const { return {header_->originX, header_->originY}; }

  // The record as its kind's type (the header is its first member).
  template <typename R>
  const R& as() const {
    return *reinterpret_cast<const R*>(header_);
  }
  BoxOp box() const {
    const auto& c = as<BoxRecord>().xy;
    return {c[0], c[1], c[2], c[3]};
  }
  // The coordinates as x, y pairs; none for polygons, stamps and shapes.
  std::span<const int32_t> coordinates() const;

 private:
  const Header* header_;
};

inline std::span<const int32_t> Record::coordinates() const {
  switch (kind()) {
    case CanvasOp::Kind::FillRect:
    case CanvasOp::Kind::FillEllipse:
    case CanvasOp::Kind::Ellipse:
    case CanvasOp::Kind::Line:
      return as<BoxRecord>().xy;
    case CanvasOp::Kind::Arc:
      return as<ArcRecord>().xy;
    case CanvasOp::Kind::Pixel:
      return as<PixelRecord>().xy;
    case CanvasOp::Kind::Polygon:
    case CanvasOp::Kind::Stamp:
    case CanvasOp::Kind::Shape:
      break;
  }
  return {};
}

}  // namespace drumplot::list_records
