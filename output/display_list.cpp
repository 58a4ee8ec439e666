// SPDX-License-Identifier: MIT
// Recording primitives compactly, indexing them by rows, and replaying them.
#include "output/display_list.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <span>
#include <string>
#include <type_traits>

#include "engine/errors.h"
#include "output/display_list_records.h"

namespace drumplot {

using list_records::Record;

namespace {

int32_t word(int64_t v) {
  return static_cast<int32_t>(v);
}

Rgb colourOf(const Record& r, uint8_t colour) {
  return r.white(colour) ? kWhite : kBlack;
}

void checkIndexable(size_t size, const char* what) {
  if (size > std::numeric_limits<uint32_t>::max()) {
    throw FormatError(std::string("the drawing holds too many ") + what + " to be kept for export");
  }
}

// The box of a FillRect, FillEllipse or Ellipse.
const BoxOp& boxOf(const CanvasOp::Payload& payload) {
  if (const auto* rect = std::get_if<FillRectOp>(&payload)) return *rect;
  if (const auto* ellipse = std::get_if<FillEllipseOp>(&payload)) return *ellipse;
  return std::get<EllipseOp>(payload);
}

// The record's bytes for a primitive of `kind`.
size_t recordBytes(CanvasOp::Kind kind) {
  switch (kind) {
    case CanvasOp::Kind::FillRect:
    case CanvasOp::Kind::FillEllipse:
    case CanvasOp::Kind::Ellipse:
    case CanvasOp::Kind::Line:
      return sizeof(list_records::BoxRecord);
    case CanvasOp::Kind::Arc:
      return sizeof(list_records::ArcRecord);
    case CanvasOp::Kind::Pixel:
      return sizeof(list_records::PixelRecord);
    case CanvasOp::Kind::Polygon:
      return sizeof(list_records::PolygonRecord);
    case CanvasOp::Kind::Stamp:
      return sizeof(list_records::StampRecord);
    case CanvasOp::Kind::Shape:
      return sizeof(list_records::ShapeRecord);
  }
  return 0;
}

}  // namespace

// DisplayList - Recording
// ============================================================================

template <typename R>
void DisplayList::append(const R& record) {
  static_assert(sizeof(R) % 8 == 0 && std::is_trivially_copyable_v<R>);
  const size_t at = arena_.size();
  checkIndexable(at + sizeof(R), "primitives");
  arena_.resize(at + sizeof(R));
  std::memcpy(arena_.data() + at, &record, sizeof(R));
  reinterpret_cast<list_records::Header*>(arena_.data() + at)->bytes = sizeof(R);
}

void DisplayList::record(const CanvasOp& op) {
  using namespace list_records;
  Header h;
  h.kind = op.kind();
  if (op.state.penColor == kWhite) h.white |= kWhitePen;
  if (op.state.brushColor == kWhite) h.white |= kWhiteBrush;
  auto colour = [&](Rgb c) {
    if (c == kWhite) h.white |= kWhiteColour;
  };
  h.firstRow = word(op.bounds.y0);
  h.rowAfter = word(op.bounds.y1);
  h.firstColumn = word(op.bounds.x0);
  h.columnAfter = word(op.bounds.x1);
  h.originX = word(op.origin.x);
  h.originY = word(op.origin.y);
  h.penWidth = word(op.state.penWidth_px);
  const CanvasOp::Payload& p = op.payload;
  switch (op.kind()) {
    case CanvasOp::Kind::FillRect:
    case CanvasOp::Kind::FillEllipse:
    case CanvasOp::Kind::Ellipse: {
      const BoxOp& b = boxOf(p);
      append(BoxRecord{h, {word(b.x1), word(b.y1), word(b.x2), word(b.y2)}});
      break;
    }
    case CanvasOp::Kind::Line: {
      const LineOp& l = std::get<LineOp>(p);
      append(LineRecord{h, {word(l.from.x), word(l.from.y), word(l.to.x), word(l.to.y)}});
      break;
    }
    case CanvasOp::Kind::Arc: {
      const ArcOp& a = std::get<ArcOp>(p);
      append(ArcRecord{h,
                       {word(a.box.x1), word(a.box.y1), word(a.box.x2), word(a.box.y2),
                        word(a.start.x), word(a.start.y), word(a.end.x), word(a.end.y)}});
      break;
    }
    case CanvasOp::Kind::Pixel: {
      const PixelOp& px = std::get<PixelOp>(p);
      colour(px.colour);
      append(PixelRecord{h, {word(px.at.x), word(px.at.y)}});
      break;
    }
    case CanvasOp::Kind::Stamp: {
      const StampOp& st = std::get<StampOp>(p);
      colour(st.colour);
      append(StampRecord{h, word(st.topLeft.x), word(st.topLeft.y), st.stamp});
      break;
    }
    case CanvasOp::Kind::Shape: {
      const ShapeOp& sh = std::get<ShapeOp>(p);
      colour(sh.colour);
      append(ShapeRecord{h, word(sh.topLeft.x), word(sh.topLeft.y), sh.shape});
      break;
    }
    case CanvasOp::Kind::Polygon: {
      const std::span<const PixelPoint> points = std::get<PolygonOp>(p).points;
      checkIndexable(points_.size() + points.size(), "polygon points");
      append(PolygonRecord{h, static_cast<uint32_t>(points_.size()),
                           static_cast<uint32_t>(points.size())});
      points_.insert(points_.end(), points.begin(), points.end());
      break;
    }
  }
  bounds_ = bounds_.united(op.bounds);
  ++count_;
}

uint64_t DisplayList::memoryBytes() const {
  return arena_.capacity() + points_.capacity() * sizeof(PixelPoint) +
         (bucketStart_.capacity() + bucketOps_.capacity() + segments_.capacity()) *
             sizeof(uint32_t) +
         entrySegments_.capacity() * sizeof(SegmentRange);
}

uint64_t DisplayList::bytesFor(const CanvasOp& op) {
  // The record, a polygon's points and their segments in two buckets, and
  // an index entry or two.
  const auto* polygon = std::get_if<PolygonOp>(&op.payload);
  const size_t points = polygon ? polygon->points.size() : 0;
  return recordBytes(op.kind()) + (sizeof(PixelPoint) + 8) * points + 16;
}

// DisplayList - Index by rows
// ============================================================================

void DisplayList::index(int64_t bucketRows) {
  bucketRows_ = std::max<int64_t>(bucketRows, 1);
  firstRow_ = bounds_.y0;
  const auto buckets = static_cast<size_t>(
      bounds_.empty() ? 0 : (bounds_.y1 - bounds_.y0 + bucketRows_ - 1) / bucketRows_);
  auto bucketOf = [&](int64_t row) {
    return static_cast<size_t>(
        std::clamp<int64_t>((row - firstRow_) / bucketRows_, 0, static_cast<int64_t>(buckets) - 1));
  };
  // The buckets rows y0 <= y < y1 meet.
  auto forEachBucket = [&](int64_t y0, int64_t y1, auto&& visit) {
    if (y1 <= y0 || buckets == 0) return;
    for (size_t k = bucketOf(y0); k <= bucketOf(y1 - 1); ++k) visit(k);
  };
  auto each = [&](auto&& visit) {
    for (size_t offset = 0; offset < arena_.size(); offset += recordAt(offset).bytes()) {
      visit(offset, recordAt(offset));
    }
  };
  bucketStart_.assign(buckets + 1, 0);
  each([&](size_t, Record r) {
    forEachBucket(r.header().firstRow, r.header().rowAfter,
                  [&](size_t k) { ++bucketStart_[k + 1]; });
  });
  uint64_t total = 0;
  for (size_t k = 0; k < buckets; ++k) {
    total += bucketStart_[k + 1];
    checkIndexable(total, "primitives");
    bucketStart_[k + 1] = static_cast<uint32_t>(total);
  }
  bucketOps_.assign(total, 0);
  entrySegments_.assign(total, {});
  segments_.clear();
  std::vector<uint32_t> next(bucketStart_.begin(), bucketStart_.end() - (buckets > 0 ? 1 : 0));
  std::vector<size_t> entries;
  std::vector<std::vector<uint32_t>> reaching;  // segments by bucket, from the polygon's first
  each([&](size_t offset, Record r) {
    entries.clear();
    size_t firstBucket = SIZE_MAX;
    forEachBucket(r.header().firstRow, r.header().rowAfter, [&](size_t k) {
      firstBucket = std::min(firstBucket, k);
      entries.push_back(next[k]);
      bucketOps_[next[k]++] = static_cast<uint32_t>(offset);
    });
    if (r.kind() != CanvasOp::Kind::Polygon ||
        r.as<list_records::PolygonRecord>().pointCount <= kWholePolygonPoints || entries.size() < 2)
      return;
    // Each segment in the buckets its rows meet (points are in the list's
    // rows less the primitive's origin, which a polygon records as 0).
    const size_t firstPoint = r.as<list_records::PolygonRecord>().firstPoint;
    const uint32_t count = r.as<list_records::PolygonRecord>().pointCount;
    const int64_t originY = r.origin().y;
    reaching.resize(std::max(reaching.size(), entries.size()));
    for (size_t i = 0; i < entries.size(); ++i) reaching[i].clear();
    for (uint32_t k = 0; k < count; ++k) {
      const PixelPoint& a = points_[firstPoint + k];
      const PixelPoint& b = points_[firstPoint + (k + 1 == count ? 0 : k + 1)];
      const int64_t y0 = std::min(a.y, b.y) - originY, y1 = std::max(a.y, b.y) - originY;
      for (size_t bucket = bucketOf(y0); bucket <= bucketOf(y1); ++bucket) {
        if (bucket >= firstBucket && bucket - firstBucket < entries.size()) {
          reaching[bucket - firstBucket].push_back(k);
        }
      }
    }
    for (size_t i = 0; i < entries.size(); ++i) {
      checkIndexable(segments_.size() + reaching[i].size(), "polygon points");
      entrySegments_[entries[i]] = {static_cast<uint32_t>(segments_.size()),
                                    static_cast<uint32_t>(reaching[i].size())};
      segments_.insert(segments_.end(), reaching[i].begin(), reaching[i].end());
    }
  });
}

DisplayList::Work DisplayList::pieceWork(const PieceOps& ops, int64_t top, int64_t bottom,
                                         int64_t dy) const {
  Work work;
  for (const PieceOps::Op& op : ops.ops) {
    const list_records::Header& h = recordAt(op.offset).header();
    const auto rows = static_cast<double>(std::min<int64_t>(h.rowAfter + dy, bottom) -
                                          std::max<int64_t>(h.firstRow + dy, top));
    work.rows += rows;
    work.words += rows * static_cast<double>((int64_t{h.columnAfter} - h.firstColumn + 63) / 64);
  }
  return work;
}

void DisplayList::collect(int64_t top, int64_t bottom, int64_t dy, PieceOps& out) const {
  out.ops.clear();
  out.segments.clear();
  const int64_t t = top - dy, b = bottom - dy;  // the list's own rows
  if (bucketStart_.size() < 2 || b <= bounds_.y0 || t >= bounds_.y1) return;
  const auto last = static_cast<int64_t>(bucketStart_.size()) - 2;
  const auto k0 = static_cast<size_t>(std::clamp<int64_t>((t - firstRow_) / bucketRows_, 0, last));
  const auto k1 =
      static_cast<size_t>(std::clamp<int64_t>((b - 1 - firstRow_) / bucketRows_, 0, last));
  auto meets = [&](uint32_t offset) {
    const list_records::Header& h = recordAt(offset).header();
    return h.firstRow < b && h.rowAfter > t;
  };
  auto addSegments = [&](PieceOps::Op& op, uint32_t entry) {
    const SegmentRange& r = entrySegments_[entry];
    if (r.count == PieceOps::kAllSegments) return;
    op.segmentsAt = static_cast<uint32_t>(out.segments.size());
    op.segmentCount = r.count;
    out.segments.insert(out.segments.end(), segments_.begin() + r.first,
                        segments_.begin() + r.first + r.count);
  };
  if (k0 == k1) {
    for (uint32_t e = bucketStart_[k0]; e < bucketStart_[k0 + 1]; ++e) {
      if (!meets(bucketOps_[e])) continue;
      out.ops.push_back({bucketOps_[e]});
      addSegments(out.ops.back(), e);
    }
    return;
  }
  // Several buckets: their entries merged in recording order, a primitive
  // in more than one taken once, with the segments of all of them.
  std::vector<uint32_t> at(k1 - k0 + 1);
  for (size_t k = k0; k <= k1; ++k) at[k - k0] = bucketStart_[k];
  std::vector<uint32_t> merged;
  while (true) {
    uint32_t offset = UINT32_MAX;
    for (size_t k = k0; k <= k1; ++k) {
      if (at[k - k0] < bucketStart_[k + 1]) offset = std::min(offset, bucketOps_[at[k - k0]]);
    }
    if (offset == UINT32_MAX) break;
    bool whole = false;
    merged.clear();
    for (size_t k = k0; k <= k1; ++k) {
      uint32_t& e = at[k - k0];
      if (e >= bucketStart_[k + 1] || bucketOps_[e] != offset) continue;
      const SegmentRange& r = entrySegments_[e];
      if (r.count == PieceOps::kAllSegments)
        whole = true;
      else
        merged.insert(merged.end(), segments_.begin() + r.first,
                      segments_.begin() + r.first + r.count);
      ++e;
    }
    if (!meets(offset)) continue;
    PieceOps::Op op{offset};
    if (!whole) {
      std::sort(merged.begin(), merged.end());
      merged.erase(std::unique(merged.begin(), merged.end()), merged.end());
      op.segmentsAt = static_cast<uint32_t>(out.segments.size());
      op.segmentCount = static_cast<uint32_t>(merged.size());
      out.segments.insert(out.segments.end(), merged.begin(), merged.end());
    }
    out.ops.push_back(op);
  }
}

// DisplayList - Replay
// ============================================================================

void DisplayList::replayAt(Canvas& canvas, const PieceOps& ops, const PieceOps::Op& piece) const {
  using namespace list_records;
  const Record r = recordAt(piece.offset);
  const Rgb colour = colourOf(r, kWhiteColour);
  auto point = [](const auto& xy, size_t k) { return PixelPoint{xy[k], xy[k + 1]}; };
  auto payload = [&]() -> CanvasOp::Payload {
    switch (r.kind()) {
      case CanvasOp::Kind::FillRect:
        return FillRectOp{r.box()};
      case CanvasOp::Kind::FillEllipse:
        return FillEllipseOp{r.box()};
      case CanvasOp::Kind::Ellipse:
        return EllipseOp{r.box()};
      case CanvasOp::Kind::Polygon: {
        const PolygonRecord& rec = r.as<PolygonRecord>();
        PolygonOp polygon{
            std::span<const PixelPoint>(points_).subspan(rec.firstPoint, rec.pointCount),
            std::nullopt};
        if (piece.segmentCount != PieceOps::kAllSegments) {
          polygon.segments =
              std::span<const uint32_t>(ops.segments).subspan(piece.segmentsAt, piece.segmentCount);
        }
        return polygon;
      }
      case CanvasOp::Kind::Line: {
        const auto& xy = r.as<LineRecord>().xy;
        return LineOp{point(xy, 0), point(xy, 2)};
      }
      case CanvasOp::Kind::Arc: {
        const auto& xy = r.as<ArcRecord>().xy;
        return ArcOp{{xy[0], xy[1], xy[2], xy[3]}, point(xy, 4), point(xy, 6)};
      }
      case CanvasOp::Kind::Pixel:
        return PixelOp{point(r.as<PixelRecord>().xy, 0), colour};
      case CanvasOp::Kind::Stamp: {
        const StampRecord& rec = r.as<StampRecord>();
        return StampOp{rec.stamp, {rec.left, rec.top}, colour};
      }
      case CanvasOp::Kind::Shape: {
        const ShapeRecord& rec = r.as<ShapeRecord>();
        return ShapeOp{rec.shape, {rec.left, rec.top}, colour};
      }
    }
    return FillRectOp{};  // no kind the arena holds
  };
  CanvasOp op{payload()};
  op.state.penColor = colourOf(r, kWhitePen);
  op.state.brushColor = colourOf(r, kWhiteBrush);
  op.state.penWidth_px = r.header().penWidth;
  op.origin = r.origin();
  op.bounds = {r.header().firstColumn, r.header().firstRow, r.header().columnAfter,
               r.header().rowAfter};
  canvas.replay(op);
}

void DisplayList::replayAt(Canvas& canvas, size_t offset) const {
  static const PieceOps none;
  replayAt(canvas, none, PieceOps::Op{static_cast<uint32_t>(offset)});
}

void DisplayList::replay(Canvas& canvas, const PieceOps& ops, const SpanSkips* skips) const {
  if (!skips) {
    for (const PieceOps::Op& op : ops.ops) replayAt(canvas, ops, op);
    return;
  }
  auto drawn = skips->drawn.crbegin();
  const PixelRect clip = canvas.clipRect();
  for (size_t i = 0; i < ops.ops.size(); ++i) {
    if (skips->hidden[i]) continue;
    const auto entry = static_cast<uint32_t>(i);
    while (drawn != skips->drawn.crend() && drawn->entry < entry) ++drawn;
    if (drawn == skips->drawn.crend() || drawn->entry != entry) {
      replayAt(canvas, ops, ops.ops[i]);
      continue;
    }
    // Parts are image columns, which are the surface's columns.
    for (uint32_t k = drawn->first; k < drawn->first + drawn->count; ++k) {
      const ColumnSet::Columns& part = skips->columns[k];
      canvas.setClipRect(PixelRect{part.x0, clip.y0, part.x1, clip.y1}.intersected(clip));
      replayAt(canvas, ops, ops.ops[i]);
    }
    canvas.setClipRect(clip);
  }
}

void DisplayList::replay(Canvas& canvas) const {
  for (size_t offset = 0; offset < arena_.size(); offset += recordAt(offset).bytes()) {
    replayAt(canvas, offset);
  }
}

}  // namespace drumplot
