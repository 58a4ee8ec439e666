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
    case CanvasOp::Kind::Stamp: return kHeaderWords + 3;
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
    case CanvasOp::Kind::Stamp: {
      auto [known, added] = stampNumbers_.try_emplace(op.stamp, stamps_.size());
      if (added) stamps_.push_back(op.stamp);
      stream_.insert(stream_.end(),
                     {word(op.c[0]), word(op.c[1]), word(static_cast<int64_t>(known->second))});
      break;
    }
    default:
      for (size_t i = 0; i < coordinates; ++i) stream_.push_back(word(op.c[i]));
      break;
  }
  checkIndexable(stream_.size(), "primitives");
  ++count_;
}

uint64_t DisplayList::memoryBytes() const {
  return stream_.capacity() * sizeof(int32_t) + points_.capacity() * sizeof(PixelPoint) +
         stamps_.capacity() * sizeof(void*) +
         (spanStart_.capacity() + spanOps_.capacity() + segments_.capacity()) * sizeof(uint32_t) +
         entrySegments_.capacity() * sizeof(SegmentRange);
}

// DisplayList - Index by rows
// ============================================================================

template <class Visit>
void DisplayList::forEachSpan(int64_t y0, int64_t y1, Visit&& visit) const {
  // From the span holding row y0 to the last one starting before y1.
  auto first = std::upper_bound(spanTops_.begin(), spanTops_.end(), y0);
  size_t k = first == spanTops_.begin() ? 0 : static_cast<size_t>(first - spanTops_.begin()) - 1;
  for (; k < spanTops_.size() && spanTops_[k] < y1; ++k) visit(k);
}

void DisplayList::index(std::span<const int64_t> spanTops) {
  spanTops_.assign(spanTops.begin(), spanTops.end());
  const size_t spans = spanTops_.size();
  auto each = [&](auto&& visit) {
    for (size_t offset = 0; offset < stream_.size();
         offset += wordsOf(static_cast<CanvasOp::Kind>(stream_[offset] & 0xFF))) {
      visit(offset);
    }
  };
  spanStart_.assign(spans + 1, 0);
  each([&](size_t offset) {
    forEachSpan(stream_[offset + 1], stream_[offset + 2], [&](size_t k) { ++spanStart_[k + 1]; });
  });
  uint64_t total = 0;
  for (size_t k = 0; k < spans; ++k) {
    total += spanStart_[k + 1];
    checkIndexable(total, "primitives");
    spanStart_[k + 1] = static_cast<uint32_t>(total);
  }
  spanOps_.assign(total, 0);
  entrySegments_.assign(total, {});
  segments_.clear();
  std::vector<uint32_t> next(spanStart_.begin(), spanStart_.end() - 1);
  std::vector<size_t> entries;
  std::vector<std::vector<uint32_t>> reaching;  // segments by span, from the polygon's first span
  each([&](size_t offset) {
    entries.clear();
    size_t firstSpan = SIZE_MAX;
    forEachSpan(stream_[offset + 1], stream_[offset + 2], [&](size_t k) {
      firstSpan = std::min(firstSpan, k);
      entries.push_back(next[k]);
      spanOps_[next[k]++] = static_cast<uint32_t>(offset);
    });
    const auto kind = static_cast<CanvasOp::Kind>(stream_[offset] & 0xFF);
    const auto count = static_cast<uint32_t>(stream_[offset + kHeaderWords + 1]);
    if (kind != CanvasOp::Kind::Polygon || count <= kWholePolygonPoints || entries.size() < 2) return;
    // Each segment in the spans its rows meet.
    const size_t firstPoint = static_cast<uint32_t>(stream_[offset + kHeaderWords]);
    reaching.resize(std::max(reaching.size(), entries.size()));
    for (size_t i = 0; i < entries.size(); ++i) reaching[i].clear();
    // A point's span is found by walking from the point before's: a
    // polygon's outline moves little from one point to the next.
    auto spanNear = [&](int64_t y, size_t from) {
      while (from + 1 < spans && spanTops_[from + 1] <= y) ++from;
      while (from > 0 && spanTops_[from] > y) --from;
      return from;
    };
    const size_t firstPointSpan = spanNear(points_[firstPoint].y, firstSpan);
    size_t spanA = firstPointSpan;
    for (uint32_t k = 0; k < count; ++k) {
      const bool last = k + 1 == count;
      const PixelPoint& a = points_[firstPoint + k];
      const PixelPoint& b = points_[firstPoint + (last ? 0 : k + 1)];
      const size_t spanB = last ? firstPointSpan : spanNear(b.y, spanA);
      // The spans that rows min(a.y, b.y) .. max(a.y, b.y) meet.
      const int64_t bottom = std::max(a.y, b.y);
      for (size_t s = std::min(spanA, spanB); s <= std::max(spanA, spanB) && spanTops_[s] <= bottom; ++s) {
        if (s >= firstSpan && s - firstSpan < entries.size()) reaching[s - firstSpan].push_back(k);
      }
      spanA = spanB;
    }
    for (size_t i = 0; i < entries.size(); ++i) {
      checkIndexable(segments_.size() + reaching[i].size(), "polygon points");
      entrySegments_[entries[i]] = {static_cast<uint32_t>(segments_.size()),
                                    static_cast<uint32_t>(reaching[i].size())};
      segments_.insert(segments_.end(), reaching[i].begin(), reaching[i].end());
    }
  });
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
void DisplayList::polygonColumns(size_t offset, size_t entry, int64_t top, int64_t bottom,
                                 std::vector<ColumnSet::Columns>& columns) const {
  const int32_t* w = stream_.data() + offset;
  const PixelPoint origin{w[3], w[4]};  // image pixels are points minus the origin
  const auto firstPoint = static_cast<uint32_t>(w[kHeaderWords]);
  const auto count = static_cast<uint32_t>(w[kHeaderWords + 1]);
  const SegmentRange range = entrySegments_[entry];
  const bool all = range.count == kAllSegments;
  std::vector<ColumnSet::Columns> outline;  // where segments pass, widened by two pixels
  std::vector<double> crossings;            // of the first row
  for (uint32_t c = 0; c < (all ? count : range.count); ++c) {
    const uint32_t k = all ? c : segments_[range.first + c];
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
bool crossingKey(const int32_t* w, int64_t top, int64_t bottom, CrossingKey& key) {
  const auto kind = static_cast<CanvasOp::Kind>(w[0] & 0xFF);
  if (kind == CanvasOp::Kind::Polygon || kind == CanvasOp::Kind::Stamp) return false;
  if (w[1] > top || w[2] < bottom) return false;
  key.fill(0);
  key[0] = w[0] & 0xFF;
  key[1] = w[5];
  const size_t n = kind == CanvasOp::Kind::Arc ? 8 : kind == CanvasOp::Kind::Pixel ? 2 : 4;
  for (size_t k = 0; k < n; ++k) key[2 + k] = w[kHeaderWords + k] - w[3 + k % 2];
  return true;
}

}  // namespace

void DisplayList::findHidden(size_t span, int64_t top, int64_t bottom, LaterDrawing& laterDrawing,
                             SpanSkips& skips) const {
  ColumnSet& later = laterDrawing.fills;
  CrossingKey key;
  skips.hidden.clear();
  skips.fills.clear();
  skips.drawn.clear();
  skips.columns.clear();
  if (span + 1 >= spanStart_.size()) return;
  const uint32_t first = spanStart_[span];
  skips.hidden.assign(spanStart_[span + 1] - first, 0);
  for (uint32_t i = spanStart_[span + 1]; i-- > first;) {
    const int32_t* w = stream_.data() + spanOps_[i];
    const int64_t x0 = w[6] - kMargin, x1 = w[7] + kMargin;
    if (later.covers(x0, x1)) {
      skips.hidden[i - first] = 1;
      continue;
    }
    if (crossingKey(w, top, bottom, key)) {
      auto& crossing = laterDrawing.crossing;
      auto same = [&](const CrossingKey& k) { return k[2] == key[2] && k == key; };
      if (std::find_if(crossing.begin(), crossing.end(), same) != crossing.end()) {
        skips.hidden[i - first] = 1;  // drawn again later, pixel for pixel
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
        skips.drawn.push_back({i - first, at, parts});
      } else {
        skips.columns.resize(at);
      }
    }
    if (isFilling(w)) {
      const auto at = static_cast<uint32_t>(skips.columns.size());
      if (static_cast<CanvasOp::Kind>(w[0] & 0xFF) == CanvasOp::Kind::Polygon) {
        polygonColumns(spanOps_[i], i, top, bottom, skips.columns);
      } else {
        ellipseColumns(w, top, bottom, skips.columns);
      }
      const std::span<const ColumnSet::Columns> filled(skips.columns.begin() + at,
                                                       skips.columns.end());
      later.add(filled);
      skips.fills.push_back({i - first, at, static_cast<uint32_t>(filled.size())});
    }
  }
}

void DisplayList::findRedundant(size_t span, ColumnSet& exposed, SpanSkips& skips) const {
  if (span + 1 >= spanStart_.size()) return;
  const uint32_t first = spanStart_[span];
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
  for (uint32_t i = first; i < spanStart_[span + 1]; ++i) {
    if (skips.hidden[i - first]) continue;
    const int32_t* w = stream_.data() + spanOps_[i];
    const bool exposes = onlyExposes(w);
    if (exposes && exposed.covers(w[6] - kMargin, w[7] + kMargin)) {
      skips.hidden[i - first] = 1;
      continue;
    }
    if (!exposes) exposed.remove(w[6] - kMargin, w[7] + kMargin);
    // A dark fill exposes its filled columns, whatever a polygon's outline
    // does (they lie two pixels clear of it), where it is drawn.
    const std::span<const ColumnSet::Columns> filled = partOf(fill, skips.fills, i - first);
    const std::span<const ColumnSet::Columns> parts = partOf(drawn, skips.drawn, i - first);
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

size_t drawSpan(std::span<const DisplayList* const> lists, size_t span, int64_t top,
                BandBitmap& band, SpanDrawing& drawing) {
  drawing.later.fills.clear();
  drawing.later.crossing.clear();
  drawing.exposed.clear();
  drawing.skips.resize(std::max(drawing.skips.size(), lists.size()));
  for (size_t i = lists.size(); i-- > 0;) {
    lists[i]->findHidden(span, top, top + band.rows(), drawing.later, drawing.skips[i]);
  }
  for (size_t i = 0; i < lists.size(); ++i) {
    lists[i]->findRedundant(span, drawing.exposed, drawing.skips[i]);
  }
  clearUncovered(band, drawing.later.fills);
  Canvas canvas(band);
  canvas.setWindowOrigin(0, top);
  size_t leftOut = 0;
  for (size_t i = 0; i < lists.size(); ++i) {
    const std::vector<uint8_t>& hidden = drawing.skips[i].hidden;
    leftOut += static_cast<size_t>(std::count(hidden.begin(), hidden.end(), 1));
    lists[i]->replay(canvas, span, &drawing.skips[i]);
  }
  return leftOut;
}

// DisplayList - Replay
// ============================================================================

void DisplayList::replayAt(Canvas& canvas, size_t offset, size_t entry) const {
  const int32_t* w = stream_.data() + offset;
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
      if (entry != SIZE_MAX && entrySegments_[entry].count != kAllSegments) {
        const SegmentRange& r = entrySegments_[entry];
        op.segments = std::span<const uint32_t>(segments_).subspan(r.first, r.count);
      }
      break;
    case CanvasOp::Kind::Stamp:
      op.c[0] = c[0];
      op.c[1] = c[1];
      op.stamp = stamps_[static_cast<size_t>(c[2])];
      break;
    default:
      for (size_t i = 0; i < wordsOf(op.kind) - kHeaderWords; ++i) op.c[i] = c[i];
      break;
  }
  canvas.replay(op);
}

void DisplayList::replay(Canvas& canvas, size_t span, const SpanSkips* skips) const {
  if (span + 1 >= spanStart_.size()) return;
  const uint32_t first = spanStart_[span];
  if (!skips) {
    for (uint32_t i = first; i < spanStart_[span + 1]; ++i) replayAt(canvas, spanOps_[i], i);
    return;
  }
  auto drawn = skips->drawn.crbegin();
  const PixelRect clip = canvas.clipRect();
  const int64_t surfaceX = -canvas.windowOrigin().x;  // surface column of image column 0
  for (uint32_t i = first; i < spanStart_[span + 1]; ++i) {
    if (skips->hidden[i - first]) continue;
    while (drawn != skips->drawn.crend() && drawn->entry < i - first) ++drawn;
    if (drawn == skips->drawn.crend() || drawn->entry != i - first) {
      replayAt(canvas, spanOps_[i], i);
      continue;
    }
    for (uint32_t k = drawn->first; k < drawn->first + drawn->count; ++k) {
      const ColumnSet::Columns& part = skips->columns[k];
      canvas.setClipRect(
          PixelRect{part.x0 + surfaceX, clip.y0, part.x1 + surfaceX, clip.y1}.intersected(clip));
      replayAt(canvas, spanOps_[i], i);
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
