// SPDX-License-Identifier: MIT
// Recording primitives compactly, indexing them by rows, and replaying them.
#include "output/display_list.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <limits>

#include "engine/errors.h"

namespace drumplot {

namespace {

// Layout of one primitive in the stream, in 32-bit words. Every coordinate
// a canvas records is clamped to +-2^30, so each fits a word.
//   0  kind | white pen << 8 | white brush << 9 | white colour << 10
//   1  first row of its bounds     2  row after its bounds
//   3  origin x    4  origin y     5  pen width
//   6  first column of its bounds  7  column after its bounds
//   8  coordinates: 4 (boxes, lines), 8 (arcs), 2 (pixels),
//      2 and the stamp's number (stamps), the first point and the count (polygons)
constexpr size_t kHeaderWords = 8;
constexpr int32_t kWhitePen = 1 << 8, kWhiteBrush = 1 << 9, kWhiteColour = 1 << 10;

int32_t word(int64_t v) { return static_cast<int32_t>(v); }

Rgb colourOf(int32_t flags, int32_t bit) { return (flags & bit) ? kWhite : kBlack; }

void checkIndexable(size_t size, const char* what) {
  if (size > std::numeric_limits<uint32_t>::max()) {
    throw FormatError(std::string("the drawing holds too many ") + what + " to be kept for export");
  }
}

}  // namespace

// DisplayList - Recording
// ============================================================================

size_t DisplayList::wordsOf(CanvasOp::Kind kind) {
  switch (kind) {
    case CanvasOp::Kind::FillRect:
    case CanvasOp::Kind::FillEllipse:
    case CanvasOp::Kind::Ellipse:
    case CanvasOp::Kind::Line: return kHeaderWords + 4;
    case CanvasOp::Kind::Arc: return kHeaderWords + 8;
    case CanvasOp::Kind::Pixel:
    case CanvasOp::Kind::Polygon: return kHeaderWords + 2;
    case CanvasOp::Kind::Stamp:
    case CanvasOp::Kind::Shape: return kHeaderWords + 3;
  }
  return kHeaderWords;
}

void DisplayList::record(const CanvasOp& op) {
  int32_t flags = static_cast<int32_t>(op.kind);
  if (op.state.penColor == kWhite) flags |= kWhitePen;
  if (op.state.brushColor == kWhite) flags |= kWhiteBrush;
  if (op.colour == kWhite) flags |= kWhiteColour;
  stream_.insert(stream_.end(), {flags, word(op.bounds.y0), word(op.bounds.y1), word(op.origin.x),
                                 word(op.origin.y), word(op.state.penWidth_px), word(op.bounds.x0),
                                 word(op.bounds.x1)});
  const size_t coordinates = wordsOf(op.kind) - kHeaderWords;
  switch (op.kind) {
    case CanvasOp::Kind::Polygon:
      checkIndexable(points_.size() + op.points.size(), "polygon points");
      stream_.push_back(static_cast<int32_t>(static_cast<uint32_t>(points_.size())));
      stream_.push_back(static_cast<int32_t>(static_cast<uint32_t>(op.points.size())));
      points_.insert(points_.end(), op.points.begin(), op.points.end());
      break;
    case CanvasOp::Kind::Stamp:
    case CanvasOp::Kind::Shape: {
      const void* what = op.kind == CanvasOp::Kind::Stamp ? static_cast<const void*>(op.stamp)
                                                          : static_cast<const void*>(op.shape);
      auto [known, added] = stampNumbers_.try_emplace(what, stamps_.size());
      if (added) stamps_.push_back(what);
      stream_.insert(stream_.end(),
                     {word(op.c[0]), word(op.c[1]), word(static_cast<int64_t>(known->second))});
      break;
    }
    default:
      for (size_t i = 0; i < coordinates; ++i) stream_.push_back(word(op.c[i]));
      break;
  }
  checkIndexable(stream_.size(), "primitives");
  bounds_ = bounds_.united(op.bounds);
  ++count_;
}

uint64_t DisplayList::memoryBytes() const {
  return stream_.capacity() * sizeof(int32_t) + points_.capacity() * sizeof(PixelPoint) +
         stamps_.capacity() * sizeof(void*) +
         (bucketStart_.capacity() + bucketOps_.capacity() + segments_.capacity()) * sizeof(uint32_t) +
         entrySegments_.capacity() * sizeof(SegmentRange);
}

uint64_t DisplayList::bytesFor(const CanvasOp& op) {
  // The words, a polygon's points and their segments in two buckets, and
  // an index entry or two.
  return 4 * wordsOf(op.kind) + (sizeof(PixelPoint) + 8) * op.points.size() + 16;
}

// DisplayList - Index by rows
// ============================================================================

void DisplayList::index(int64_t bucketRows) {
  bucketRows_ = std::max<int64_t>(bucketRows, 1);
  firstRow_ = bounds_.y0;
  const auto buckets = static_cast<size_t>(
      bounds_.empty() ? 0 : (bounds_.y1 - bounds_.y0 + bucketRows_ - 1) / bucketRows_);
  auto bucketOf = [&](int64_t row) {
    return static_cast<size_t>(std::clamp<int64_t>((row - firstRow_) / bucketRows_, 0,
                                                   static_cast<int64_t>(buckets) - 1));
  };
  // The buckets rows y0 <= y < y1 meet.
  auto forEachBucket = [&](int64_t y0, int64_t y1, auto&& visit) {
    if (y1 <= y0 || buckets == 0) return;
    for (size_t k = bucketOf(y0); k <= bucketOf(y1 - 1); ++k) visit(k);
  };
  auto each = [&](auto&& visit) {
    for (size_t offset = 0; offset < stream_.size();
         offset += wordsOf(static_cast<CanvasOp::Kind>(stream_[offset] & 0xFF))) {
      visit(offset);
    }
  };
  bucketStart_.assign(buckets + 1, 0);
  each([&](size_t offset) {
    forEachBucket(stream_[offset + 1], stream_[offset + 2], [&](size_t k) { ++bucketStart_[k + 1]; });
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
  each([&](size_t offset) {
    entries.clear();
    size_t firstBucket = SIZE_MAX;
    forEachBucket(stream_[offset + 1], stream_[offset + 2], [&](size_t k) {
      firstBucket = std::min(firstBucket, k);
      entries.push_back(next[k]);
      bucketOps_[next[k]++] = static_cast<uint32_t>(offset);
    });
    const auto kind = static_cast<CanvasOp::Kind>(stream_[offset] & 0xFF);
    const auto count = static_cast<uint32_t>(stream_[offset + kHeaderWords + 1]);
    if (kind != CanvasOp::Kind::Polygon || count <= kWholePolygonPoints || entries.size() < 2) return;
    // Each segment in the buckets its rows meet (points are in the list's
    // rows less the primitive's origin, which a polygon records as 0).
    const size_t firstPoint = static_cast<uint32_t>(stream_[offset + kHeaderWords]);
    const int64_t originY = stream_[offset + 4];
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

void DisplayList::collect(int64_t top, int64_t bottom, int64_t dy, PieceOps& out) const {
  out.ops.clear();
  out.segments.clear();
  const int64_t t = top - dy, b = bottom - dy;  // the list's own rows
  if (bucketStart_.size() < 2 || b <= bounds_.y0 || t >= bounds_.y1) return;
  const auto last = static_cast<int64_t>(bucketStart_.size()) - 2;
  const auto k0 = static_cast<size_t>(std::clamp<int64_t>((t - firstRow_) / bucketRows_, 0, last));
  const auto k1 = static_cast<size_t>(std::clamp<int64_t>((b - 1 - firstRow_) / bucketRows_, 0, last));
  auto meets = [&](uint32_t offset) { return stream_[offset + 1] < b && stream_[offset + 2] > t; };
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
      if (r.count == PieceOps::kAllSegments) whole = true;
      else merged.insert(merged.end(), segments_.begin() + r.first, segments_.begin() + r.first + r.count);
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

// DisplayList - What later fills hide
// ============================================================================

std::vector<ColumnSet::Columns>::const_iterator ColumnSet::startingAfter(int64_t x) const {
  return std::upper_bound(columns_.begin(), columns_.end(), x,
                          [](int64_t v, const Columns& c) { return v < c.x0; });
}

bool ColumnSet::covers(int64_t x0, int64_t x1) const {
  const auto after = startingAfter(x0);
  return after != columns_.begin() && std::prev(after)->x1 >= x1;
}

void ColumnSet::remove(int64_t x0, int64_t x1) {
  if (x1 <= x0) return;
  // The spans [lo, hi) meet [x0, x1); what they hold outside it stays.
  auto lo = std::upper_bound(columns_.begin(), columns_.end(), x0,
                             [](int64_t x, const Columns& c) { return x < c.x1; });
  auto hi = std::lower_bound(lo, columns_.end(), x1,
                             [](const Columns& c, int64_t x) { return c.x0 < x; });
  if (lo == hi) return;
  std::array<Columns, 2> kept;
  size_t n = 0;
  if (lo->x0 < x0) kept[n++] = {lo->x0, x0};
  if (std::prev(hi)->x1 > x1) kept[n++] = {x1, std::prev(hi)->x1};
  const auto at = columns_.erase(lo, hi);
  columns_.insert(at, kept.begin(), kept.begin() + static_cast<std::ptrdiff_t>(n));
}

void ColumnSet::uncovered(int64_t x0, int64_t x1, std::vector<Columns>& out) const {
  auto c = startingAfter(x0);
  if (c != columns_.begin() && std::prev(c)->x1 > x0) x0 = std::prev(c)->x1;
  for (; x0 < x1; ++c) {
    const int64_t end = c == columns_.end() ? x1 : std::min(c->x0, x1);
    if (end > x0) out.push_back({x0, end});
    if (c == columns_.end()) break;
    x0 = std::max(x0, c->x1);
  }
}

void ColumnSet::add(std::span<const Columns> columns) {
  if (columns.size() > 4) {
    merge(columns);
    return;
  }
  // A few spans one by one: each replaces the spans [lo, hi) it meets or touches.
  for (const Columns& c : columns) {
    auto lo = std::lower_bound(columns_.begin(), columns_.end(), c.x0,
                               [](const Columns& s, int64_t x) { return s.x1 < x; });
    const auto hi = startingAfter(c.x1);
    if (lo == hi) {
      columns_.insert(lo, c);
      continue;
    }
    const Columns joined{std::min(lo->x0, c.x0), std::max(std::prev(hi)->x1, c.x1)};
    *lo = joined;
    columns_.erase(lo + 1, hi);
  }
}

void ColumnSet::merge(std::span<const Columns> columns) {
  merged_.clear();
  auto push = [&](const Columns& c) {
    if (!merged_.empty() && c.x0 <= merged_.back().x1) {
      merged_.back().x1 = std::max(merged_.back().x1, c.x1);
    } else {
      merged_.push_back(c);
    }
  };
  auto a = columns_.begin();
  auto b = columns.begin();
  while (a != columns_.end() || b != columns.end()) {
    if (b == columns.end() || (a != columns_.end() && a->x0 <= b->x0)) {
      push(*a++);
    } else {
      push(*b++);
    }
  }
  columns_.swap(merged_);
}

// A polygon fills the pixel centres inside it (even-odd). Between outline
// segments that stay more than a pixel apart over the rows, every pixel of
// every row lies on the same side of the outline: inside when an odd number
// of segments cross the first row to the left.
void DisplayList::polygonColumns(const PieceOps& ops, const PieceOps::Op& op, int64_t top,
                                 int64_t bottom, std::vector<ColumnSet::Columns>& columns) const {
  const int32_t* w = stream_.data() + op.offset;
  const PixelPoint origin{w[3], w[4]};  // image pixels are points minus the origin
  const auto firstPoint = static_cast<uint32_t>(w[kHeaderWords]);
  const auto count = static_cast<uint32_t>(w[kHeaderWords + 1]);
  const bool all = op.segmentCount == PieceOps::kAllSegments;
  std::vector<ColumnSet::Columns> outline;  // where segments pass, widened by two pixels
  std::vector<double> crossings;            // of the first row
  for (uint32_t c = 0; c < (all ? count : op.segmentCount); ++c) {
    const uint32_t k = all ? c : ops.segments[op.segmentsAt + c];
    PixelPoint a = points_[firstPoint + k];
    PixelPoint b = points_[firstPoint + (k + 1 == count ? 0 : k + 1)];
    a = {a.x - origin.x, a.y - origin.y};
    b = {b.x - origin.x, b.y - origin.y};
    if (a.y > b.y) std::swap(a, b);
    if (b.y < top - 1 || a.y > bottom) continue;
    double xa = static_cast<double>(a.x), xb = static_cast<double>(b.x);
    if (a.y != b.y) {
      const double slope = static_cast<double>(b.x - a.x) / static_cast<double>(b.y - a.y);
      auto at = [&](int64_t y) {
        return static_cast<double>(a.x) + slope * static_cast<double>(y - a.y);
      };
      xa = at(std::max(a.y, top - 1));
      xb = at(std::min(b.y, bottom));
      if (a.y <= top && top < b.y) crossings.push_back(at(top));
    }
    outline.push_back({static_cast<int64_t>(std::floor(std::min(xa, xb))) - 2,
                       static_cast<int64_t>(std::ceil(std::max(xa, xb))) + 2});
  }
  std::sort(outline.begin(), outline.end(), [](auto& l, auto& r) { return l.x0 < r.x0; });
  std::sort(crossings.begin(), crossings.end());
  for (size_t i = 0, reach = 0; i < outline.size(); ++i) {
    if (i > 0 && outline[i].x0 > outline[reach].x1 + 1) {
      const ColumnSet::Columns gap{outline[reach].x1 + 1, outline[i].x0};
      const auto left =
          std::lower_bound(crossings.begin(), crossings.end(), static_cast<double>(gap.x0));
      if ((left - crossings.begin()) % 2 == 1) columns.push_back(gap);
    }
    if (i == 0 || outline[i].x1 > outline[reach].x1) reach = i;
  }
}

namespace {

// A primitive's bounds are widened by two pixels on each side to be safe;
// only polygons this wide are worth looking into as filling columns; a
// primitive this wide is drawn in at most kMaxParts parts when later fills
// cover half of it.
constexpr int64_t kMargin = 2, kFillingWidth = 64, kPartlyWidth = 256;
constexpr uint32_t kMaxParts = 4;

// Whether the primitive with header `w` writes only exposure: each colour
// it draws with is not white.
bool onlyExposes(const int32_t* w) {
  int32_t colours = 0;
  switch (static_cast<CanvasOp::Kind>(w[0] & 0xFF)) {
    case CanvasOp::Kind::Line:
    case CanvasOp::Kind::Arc:
      colours = kWhitePen;
      break;
    case CanvasOp::Kind::FillRect:
    case CanvasOp::Kind::FillEllipse:
      colours = kWhiteBrush;
      break;
    case CanvasOp::Kind::Ellipse:
    case CanvasOp::Kind::Polygon:
      colours = kWhitePen | kWhiteBrush;
      break;
    case CanvasOp::Kind::Pixel:
    case CanvasOp::Kind::Stamp:
    case CanvasOp::Kind::Shape:
      colours = kWhiteColour;
      break;
  }
  return (w[0] & colours) == 0;
}

bool isFilling(const int32_t* w) {
  const auto kind = static_cast<CanvasOp::Kind>(w[0] & 0xFF);
  return (kind == CanvasOp::Kind::Polygon || kind == CanvasOp::Kind::FillEllipse) &&
         w[7] - w[6] >= kFillingWidth;
}

// The columns that the ellipse inscribed in [x1, x2] x [y1, y2] fills on
// every one of rows top .. bottom - 1: in row j it fills the pixels i whose
// centres lie within a sqrt(1 - (d / b)^2) of its centre column, with d the
// distance of the row's centre from its centre row (a, b its half axes).
// `w` is the primitive's header.
void ellipseColumns(const int32_t* w, int64_t top, int64_t bottom,
                    std::vector<ColumnSet::Columns>& columns) {
  const int32_t* c = w + kHeaderWords;
  const auto x1 = static_cast<double>(std::min(c[0], c[2]) - w[3]);
  const auto x2 = static_cast<double>(std::max(c[0], c[2]) - w[3]);
  const auto y1 = static_cast<double>(std::min(c[1], c[3]) - w[4]);
  const auto y2 = static_cast<double>(std::max(c[1], c[3]) - w[4]);
  const double a = (x2 - x1) / 2, b = (y2 - y1) / 2, cx = (x1 + x2) / 2, cy = (y1 + y2) / 2;
  const double d = std::max(std::abs(static_cast<double>(top) + 0.5 - cy),
                            std::abs(static_cast<double>(bottom) - 0.5 - cy));
  if (a <= 0 || d >= b) return;
  const double half = a * std::sqrt(1 - (d / b) * (d / b));
  const auto x0 = static_cast<int64_t>(std::ceil(cx - half)) + kMargin;
  const auto x1Filled = static_cast<int64_t>(std::floor(cx + half)) - kMargin;
  if (x1Filled > x0) columns.push_back({x0, x1Filled});
}

}  // namespace

namespace {

// A primitive's kind, pen and coordinates in the image, when it is not a
// polygon or a stamp and crosses every row of rows top .. bottom - 1: the
// same key draws the same pixels.
// `top` and `bottom` are the list's own rows; (dx, dy) moves the list into the image.
bool crossingKey(const int32_t* w, int64_t dx, int64_t dy, int64_t top, int64_t bottom,
                 CrossingKey& key) {
  const auto kind = static_cast<CanvasOp::Kind>(w[0] & 0xFF);
  if (kind == CanvasOp::Kind::Polygon || kind == CanvasOp::Kind::Stamp ||
      kind == CanvasOp::Kind::Shape) {
    return false;
  }
  if (w[1] > top || w[2] < bottom) return false;
  key.fill(0);
  key[0] = w[0] & 0xFF;
  key[1] = w[5];
  const size_t n = kind == CanvasOp::Kind::Arc ? 8 : kind == CanvasOp::Kind::Pixel ? 2 : 4;
  for (size_t k = 0; k < n; ++k) {
    key[2 + k] = static_cast<int32_t>(w[kHeaderWords + k] - w[3 + k % 2] + (k % 2 ? dy : dx));
  }
  return true;
}

}  // namespace

void DisplayList::findHidden(const PieceOps& ops, int64_t dx, int64_t dy, int64_t top,
                             int64_t bottom, LaterDrawing& laterDrawing, SpanSkips& skips) const {
  ColumnSet& later = laterDrawing.fills;
  CrossingKey key;
  skips.hidden.assign(ops.ops.size(), 0);
  skips.fills.clear();
  skips.drawn.clear();
  skips.columns.clear();
  const int64_t listTop = top - dy, listBottom = bottom - dy;
  auto moved = [dx](std::vector<ColumnSet::Columns>& columns, size_t from) {
    for (size_t k = from; k < columns.size(); ++k) columns[k].x0 += dx, columns[k].x1 += dx;
  };
  for (size_t i = ops.ops.size(); i-- > 0;) {
    const PieceOps::Op& op = ops.ops[i];
    const int32_t* w = stream_.data() + op.offset;
    const int64_t x0 = w[6] + dx - kMargin, x1 = w[7] + dx + kMargin;
    const auto entry = static_cast<uint32_t>(i);
    if (later.covers(x0, x1)) {
      skips.hidden[i] = 1;
      continue;
    }
    if (crossingKey(w, dx, dy, listTop, listBottom, key)) {
      auto& crossing = laterDrawing.crossing;
      auto same = [&](const CrossingKey& k) { return k[2] == key[2] && k == key; };
      if (std::find_if(crossing.begin(), crossing.end(), same) != crossing.end()) {
        skips.hidden[i] = 1;  // drawn again later, pixel for pixel
        continue;
      }
      crossing.push_back(key);
    }
    if (x1 - x0 >= kPartlyWidth) {
      // Drawn only where no later fill covers it, when that saves much.
      const auto at = static_cast<uint32_t>(skips.columns.size());
      later.uncovered(x0, x1, skips.columns);
      int64_t left = 0;
      for (size_t k = at; k < skips.columns.size(); ++k) {
        left += skips.columns[k].x1 - skips.columns[k].x0;
      }
      const auto parts = static_cast<uint32_t>(skips.columns.size() - at);
      if (parts <= kMaxParts && 2 * left <= x1 - x0) {
        skips.drawn.push_back({entry, at, parts});
      } else {
        skips.columns.resize(at);
      }
    }
    if (isFilling(w)) {
      const auto at = static_cast<uint32_t>(skips.columns.size());
      if (static_cast<CanvasOp::Kind>(w[0] & 0xFF) == CanvasOp::Kind::Polygon) {
        polygonColumns(ops, op, listTop, listBottom, skips.columns);
      } else {
        ellipseColumns(w, listTop, listBottom, skips.columns);
      }
      moved(skips.columns, at);
      const std::span<const ColumnSet::Columns> filled(skips.columns.begin() + at,
                                                       skips.columns.end());
      later.add(filled);
      skips.fills.push_back({entry, at, static_cast<uint32_t>(filled.size())});
    }
  }
}

void DisplayList::findRedundant(const PieceOps& ops, int64_t dx, ColumnSet& exposed,
                                SpanSkips& skips) const {
  // The parts of the primitive `entry` in `parts` (kept last primitive first).
  auto partOf = [&](std::vector<SpanSkips::Part>::const_reverse_iterator& it,
                    const std::vector<SpanSkips::Part>& parts, uint32_t entry) {
    while (it != parts.rend() && it->entry < entry) ++it;
    if (it == parts.rend() || it->entry != entry) return std::span<const ColumnSet::Columns>();
    return std::span<const ColumnSet::Columns>(skips.columns).subspan(it->first, it->count);
  };
  auto fill = skips.fills.crbegin();
  auto drawn = skips.drawn.crbegin();
  std::vector<ColumnSet::Columns> exposing;
  for (size_t i = 0; i < ops.ops.size(); ++i) {
    if (skips.hidden[i]) continue;
    const int32_t* w = stream_.data() + ops.ops[i].offset;
    const bool exposes = onlyExposes(w);
    const int64_t x0 = w[6] + dx - kMargin, x1 = w[7] + dx + kMargin;
    if (exposes && exposed.covers(x0, x1)) {
      skips.hidden[i] = 1;
      continue;
    }
    if (!exposes) exposed.remove(x0, x1);
    // A dark fill exposes its filled columns, whatever a polygon's outline
    // does (they lie two pixels clear of it), where it is drawn.
    const auto entry = static_cast<uint32_t>(i);
    const std::span<const ColumnSet::Columns> filled = partOf(fill, skips.fills, entry);
    const std::span<const ColumnSet::Columns> parts = partOf(drawn, skips.drawn, entry);
    if (filled.empty() || (w[0] & kWhiteBrush) != 0) continue;
    if (parts.empty()) {
      exposed.add(filled);
      continue;
    }
    exposing.clear();
    for (const ColumnSet::Columns& f : filled) {
      for (const ColumnSet::Columns& p : parts) {
        const int64_t a = std::max(f.x0, p.x0), b = std::min(f.x1, p.x1);
        if (a < b) exposing.push_back({a, b});
      }
    }
    exposed.add(exposing);
  }
}

namespace {

// Makes the band background but for the columns `covered` (in whole bytes).
void clearUncovered(BandBitmap& band, const ColumnSet& covered) {
  const int64_t width = band.width_px();
  std::vector<std::pair<size_t, size_t>> bytes;  // [first, end) of each stretch to clear
  int64_t from = 0;
  auto clear = [&](int64_t to) {
    to = std::min(to, width);
    if (to > from) {
      bytes.emplace_back(static_cast<size_t>(from >> 3), static_cast<size_t>((to + 7) >> 3));
    }
  };
  for (const ColumnSet::Columns& c : covered.columns()) {
    clear(c.x0);
    from = std::max(from, c.x1);
  }
  clear(width);
  for (int64_t y = 0; y < band.rows(); ++y) {
    auto* row = reinterpret_cast<uint8_t*>(band.rowWords(y));
    for (auto [first, end] : bytes) std::memset(row + first, 0xFF, end - first);
  }
}

}  // namespace

size_t drawSpan(std::span<const ListPlacement> lists, int64_t top, BandBitmap& band,
                SpanDrawing& drawing) {
  const int64_t bottom = top + band.rows();
  drawing.later.fills.clear();
  drawing.later.crossing.clear();
  drawing.exposed.clear();
  drawing.ops.resize(std::max(drawing.ops.size(), lists.size()));
  drawing.skips.resize(std::max(drawing.skips.size(), lists.size()));
  for (size_t i = 0; i < lists.size(); ++i) {
    lists[i].list->collect(top, bottom, lists[i].dy, drawing.ops[i]);
  }
  for (size_t i = lists.size(); i-- > 0;) {
    const ListPlacement& l = lists[i];
    l.list->findHidden(drawing.ops[i], l.dx, l.dy, top, bottom, drawing.later, drawing.skips[i]);
  }
  for (size_t i = 0; i < lists.size(); ++i) {
    lists[i].list->findRedundant(drawing.ops[i], lists[i].dx, drawing.exposed, drawing.skips[i]);
  }
  clearUncovered(band, drawing.later.fills);
  Canvas canvas(band);
  size_t leftOut = 0;
  for (size_t i = 0; i < lists.size(); ++i) {
    const std::vector<uint8_t>& hidden = drawing.skips[i].hidden;
    leftOut += static_cast<size_t>(std::count(hidden.begin(), hidden.end(), 1));
    canvas.setWindowOrigin(-lists[i].dx, top - lists[i].dy);
    lists[i].list->replay(canvas, drawing.ops[i], &drawing.skips[i]);
  }
  return leftOut;
}

// DisplayList - Replay
// ============================================================================

void DisplayList::replayAt(Canvas& canvas, const PieceOps& ops, const PieceOps::Op& piece) const {
  const int32_t* w = stream_.data() + piece.offset;
  CanvasOp op;
  const int32_t flags = w[0];
  op.kind = static_cast<CanvasOp::Kind>(flags & 0xFF);
  op.state.penColor = colourOf(flags, kWhitePen);
  op.state.brushColor = colourOf(flags, kWhiteBrush);
  op.colour = colourOf(flags, kWhiteColour);
  op.origin = {w[3], w[4]};
  op.state.penWidth_px = w[5];
  const int32_t* c = w + kHeaderWords;
  switch (op.kind) {
    case CanvasOp::Kind::Polygon:
      op.points = std::span<const PixelPoint>(points_).subspan(static_cast<uint32_t>(c[0]),
                                                               static_cast<uint32_t>(c[1]));
      if (piece.segmentCount != PieceOps::kAllSegments) {
        op.segments = std::span<const uint32_t>(ops.segments).subspan(piece.segmentsAt, piece.segmentCount);
      }
      break;
    case CanvasOp::Kind::Stamp:
    case CanvasOp::Kind::Shape:
      op.c[0] = c[0];
      op.c[1] = c[1];
      if (op.kind == CanvasOp::Kind::Stamp) {
        op.stamp = static_cast<const BandBitmap*>(stamps_[static_cast<size_t>(c[2])]);
      } else {
        op.shape = static_cast<const StampedShape*>(stamps_[static_cast<size_t>(c[2])]);
      }
      break;
    default:
      for (size_t i = 0; i < wordsOf(op.kind) - kHeaderWords; ++i) op.c[i] = c[i];
      break;
  }
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
  for (size_t offset = 0; offset < stream_.size();
       offset += wordsOf(static_cast<CanvasOp::Kind>(stream_[offset] & 0xFF))) {
    replayAt(canvas, offset);
  }
}

}  // namespace drumplot
