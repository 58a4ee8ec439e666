// SPDX-License-Identifier: MIT
// Covered draws: what of a piece need not be drawn because later fills or
// the same primitive drawn later overwrite it, or because it only exposes
// what is exposed already; and drawing a piece without them.
#include "output/covered_draws.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <iterator>

#include "engine/band_bitmap.h"
#include "engine/span_fill.h"
#include "output/display_list_records.h"

namespace drumplot {

using list_records::kWhiteBrush, list_records::kWhiteColour, list_records::kWhitePen,
    list_records::Record;

// ColumnSet
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

// CrossingKeys
// ============================================================================

void CrossingKeys::clear() {
  keys_.clear();
  ++round_;
}

bool CrossingKeys::insert(const CrossingKey& key) {
  const size_t mask = slots_.size() - 1;
  auto slotOf = [&](const CrossingKey& k) {
    // Each number times its own odd factor, summed: no multiplication waits
    // for another.
    uint64_t h = 0, factor = 0x9E3779B97F4A7C15u;
    for (int32_t v : k) h += static_cast<uint32_t>(v) * (factor += 0x632BE59BD9B4E01Au);
    return static_cast<size_t>(h >> 40) & mask;
  };
  // The slot's key, or none (-1) when the slot is empty in this round.
  auto keyAt = [&](size_t at) {
    return slots_[at] >> 32 == round_ ? static_cast<int64_t>(slots_[at] & 0xFFFFFFFF) - 1 : -1;
  };
  if (2 * (keys_.size() + 1) > slots_.size()) {
    // Twice as many slots, and every key placed again.
    slots_.assign(std::max<size_t>(64, 2 * slots_.size()), 0);
    return rehashThenInsert(key);
  }
  size_t at = slotOf(key);
  for (int64_t k; (k = keyAt(at)) >= 0; at = (at + 1) & mask) {
    if (keys_[static_cast<size_t>(k)] == key) return false;
  }
  keys_.push_back(key);
  slots_[at] = round_ << 32 | keys_.size();
  return true;
}

bool CrossingKeys::rehashThenInsert(const CrossingKey& key) {
  std::vector<CrossingKey> keys;
  keys.swap(keys_);
  for (const CrossingKey& k : keys) insert(k);
  return insert(key);
}

// DisplayList - What later drawing hides
// ============================================================================

// A polygon fills the pixel centres inside it (even-odd). Between outline
// segments that stay more than a pixel apart over the rows, every pixel of
// every row lies on the same side of the outline: inside when an odd number
// of segments cross the first row to the left.
void DisplayList::polygonColumns(const PieceOps& ops, const PieceOps::Op& op, int64_t top,
                                 int64_t bottom, std::vector<ColumnSet::Columns>& columns) const {
  const Record r = recordAt(op.offset);
  const PixelPoint origin = r.origin();  // image pixels are points minus the origin
  const uint32_t firstPoint = r.as<list_records::PolygonRecord>().firstPoint;
  const uint32_t count = r.as<list_records::PolygonRecord>().pointCount;
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

// Whether the primitive writes only exposure: each colour it draws with is
// not white.
bool onlyExposes(Record r) {
  uint8_t colours = 0;
  switch (r.kind()) {
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
  return !r.white(colours);
}

bool isFilling(Record r) {
  const CanvasOp::Kind kind = r.kind();
  return (kind == CanvasOp::Kind::Polygon || kind == CanvasOp::Kind::FillEllipse) &&
         r.header().columnAfter - r.header().firstColumn >= kFillingWidth;
}

// The columns that the ellipse inscribed in [x1, x2] x [y1, y2] fills on
// every one of rows top .. bottom - 1: in row j it fills the pixels i whose
// centres lie within a sqrt(1 - (d / b)^2) of its centre column, with d the
// distance of the row's centre from its centre row (a, b its half axes).
void ellipseColumns(Record r, int64_t top, int64_t bottom,
                    std::vector<ColumnSet::Columns>& columns) {
  const BoxOp box = r.box();
  const PixelPoint origin = r.origin();
  const auto x1 = static_cast<double>(std::min(box.x1, box.x2) - origin.x);
  const auto x2 = static_cast<double>(std::max(box.x1, box.x2) - origin.x);
  const auto y1 = static_cast<double>(std::min(box.y1, box.y2) - origin.y);
  const auto y2 = static_cast<double>(std::max(box.y1, box.y2) - origin.y);
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
bool crossingKey(Record r, int64_t dx, int64_t dy, int64_t top, int64_t bottom, CrossingKey& key) {
  const CanvasOp::Kind kind = r.kind();
  if (kind == CanvasOp::Kind::Polygon || kind == CanvasOp::Kind::Stamp ||
      kind == CanvasOp::Kind::Shape) {
    return false;
  }
  if (r.header().firstRow > top || r.header().rowAfter < bottom) return false;
  key.fill(0);
  key[0] = static_cast<int32_t>(kind);
  key[1] = static_cast<int32_t>(r.header().penWidth);
  // The coordinates' x, y pairs in the image.
  const PixelPoint shift{dx - r.origin().x, dy - r.origin().y};
  const std::span<const int32_t> c = r.coordinates();
  for (size_t k = 0; k + 1 < c.size(); k += 2) {
    key[2 + k] = static_cast<int32_t>(c[k] + shift.x);
    key[3 + k] = static_cast<int32_t>(c[k + 1] + shift.y);
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
    const Record r = recordAt(op.offset);
    const int64_t x0 = r.header().firstColumn + dx - kMargin,
                  x1 = r.header().columnAfter + dx + kMargin;
    const auto entry = static_cast<uint32_t>(i);
    if (later.covers(x0, x1)) {
      skips.hidden[i] = 1;
      continue;
    }
    if (crossingKey(r, dx, dy, listTop, listBottom, key)) {
      if (!laterDrawing.crossing.insert(key)) {
        skips.hidden[i] = 1;  // drawn again later, pixel for pixel
        continue;
      }
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
    if (isFilling(r)) {
      const auto at = static_cast<uint32_t>(skips.columns.size());
      if (r.kind() == CanvasOp::Kind::Polygon) {
        polygonColumns(ops, op, listTop, listBottom, skips.columns);
      } else {
        ellipseColumns(r, listTop, listBottom, skips.columns);
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
    const Record r = recordAt(ops.ops[i].offset);
    const bool exposes = onlyExposes(r);
    const int64_t x0 = r.header().firstColumn + dx - kMargin,
                  x1 = r.header().columnAfter + dx + kMargin;
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
    if (filled.empty() || r.white(kWhiteBrush)) continue;
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

// Makes the band background but for the columns `covered` (in whole bytes),
// touching only each row's drawn words. What stays of them lies within the
// covered columns, which the fills draw over on every row.
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
  // The words that may keep something: those the stretches leave out.
  BandBitmap::DrawnWords kept{UINT32_MAX, 0};
  size_t at = 0;
  auto keep = [&](size_t first) {
    if (first <= at) return;
    kept.first = std::min(kept.first, static_cast<uint32_t>(at / 4));
    kept.end = static_cast<uint32_t>((first + 3) / 4);
  };
  for (auto [first, end] : bytes) {
    keep(first);
    at = end;
  }
  keep(band.bytesPerRow());
  for (int64_t y = 0; y < band.rows(); ++y) {
    const BandBitmap::DrawnWords drawn = band.drawnWords(y);
    if (drawn.first >= drawn.end) continue;
    const size_t lo = size_t{drawn.first} * 4, hi = size_t{drawn.end} * 4;
    auto* row = reinterpret_cast<uint8_t*>(band.rowWords(y));
    for (auto [first, end] : bytes) {
      first = std::max(first, lo);
      end = std::min(end, hi);
      if (first < end) std::memset(row + first, 0xFF, end - first);
    }
  }
  band.keepDrawnWithin(kept);
}

}  // namespace

// Repeated tiles
// ============================================================================

namespace {

// A tile is copied when copying its words costs no more than drawing it:
// a primitive's row costs about as much as copying this many words, and
// each word within the primitive's bounds on that row one more.
constexpr double kRowWords = 32;

size_t tileOf(std::vector<size_t>& tile, size_t i) {
  while (tile[i] != i) i = tile[i] = tile[tile[i]];
  return i;
}

// Joins the tiles whose rectangles meet; false when none do.
bool joinMeetingTiles(PieceTiles& t) {
  const size_t n = t.tile.size();
  for (size_t i = 0; i < n; ++i) t.tileRect[i] = {};
  for (size_t i = 0; i < n; ++i) {
    PixelRect& r = t.tileRect[tileOf(t.tile, i)];
    r = r.united(t.pixels[i]);
  }
  t.order.clear();
  for (size_t i = 0; i < n; ++i) {
    if (t.tile[i] == i && !t.tileRect[i].empty()) t.order.push_back(i);
  }
  std::sort(t.order.begin(), t.order.end(),
            [&](size_t a, size_t b) { return t.tileRect[a].x0 < t.tileRect[b].x0; });
  bool joined = false;
  for (size_t a = 0; a < t.order.size(); ++a) {
    const PixelRect& ra = t.tileRect[t.order[a]];
    for (size_t b = a + 1; b < t.order.size() && t.tileRect[t.order[b]].x0 < ra.x1; ++b) {
      if (ra.intersected(t.tileRect[t.order[b]]).empty()) continue;
      const size_t x = tileOf(t.tile, t.order[a]), y = tileOf(t.tile, t.order[b]);
      if (x != y) t.tile[std::max(x, y)] = std::min(x, y);
      joined = true;
    }
  }
  return joined;
}

}  // namespace

void findRepeatedTiles(std::span<const ListPlacement> lists, std::span<const PieceOps> ops,
                       int64_t top, int64_t bottom, int64_t width, PieceTiles& t) {
  t.copies.clear();
  t.copied.assign(lists.size(), 0);
  // Too many lists on a piece's rows to search them pair by pair: drawn.
  constexpr size_t kMostLists = 2048;
  const size_t n = lists.size();
  if (n < 2 || n > kMostLists) return;
  t.pixels.resize(n);
  t.tile.resize(n);
  t.tileRect.resize(n);
  for (size_t i = 0; i < n; ++i) {
    const ListPlacement& l = lists[i];
    if (!l.bounded) return;
    const PixelRect& b = l.list->bounds();
    t.pixels[i] = {b.x0 + l.dx, std::max(b.y0 + l.dy, top), b.x1 + l.dx,
                   std::min(b.y1 + l.dy, bottom)};
    t.tile[i] = i;
  }
  // A few rounds join what a panel holds; a tangle that needs more is drawn.
  constexpr int kJoinRounds = 8;
  int rounds = 0;
  while (joinMeetingTiles(t)) {
    if (++rounds == kJoinRounds) return;
  }
  // Each tile's lists in order, the tiles in the order of their first lists.
  for (size_t i = 0; i < n; ++i) t.tile[i] = tileOf(t.tile, i);
  t.order.resize(n);
  for (size_t i = 0; i < n; ++i) t.order[i] = i;
  std::stable_sort(t.order.begin(), t.order.end(),
                   [&](size_t a, size_t b) { return t.tile[a] < t.tile[b]; });
  auto inside = [&](const PixelRect& r) { return !r.empty() && r.x0 >= 0 && r.x1 <= width; };
  struct Tile {
    size_t at, count;  // its lists: order[at, at + count)
  };
  std::vector<Tile> sources;
  constexpr size_t kMostSources = 64;
  for (size_t at = 0; at < n;) {
    const size_t first = t.order[at];
    size_t count = 1;
    while (at + count < n && t.tile[t.order[at + count]] == first) ++count;
    const Tile tile{at, count};
    at += count;
    if (!inside(t.tileRect[first])) continue;
    auto same = [&](const Tile& s) {
      if (s.count != tile.count) return false;
      const ListPlacement &a0 = lists[t.order[s.at]], &b0 = lists[first];
      for (size_t k = 0; k < tile.count; ++k) {
        const ListPlacement &a = lists[t.order[s.at + k]], &b = lists[t.order[tile.at + k]];
        if (a.list != b.list || a.dy != b.dy || a.dx - a0.dx != b.dx - b0.dx) return false;
      }
      return true;
    };
    const auto source = std::find_if(sources.begin(), sources.end(), same);
    if (source == sources.end()) {
      if (sources.size() < kMostSources) sources.push_back(tile);
      continue;
    }
    const size_t from = t.order[source->at];
    const PixelRect& r = t.tileRect[from];
    double drawing = 0;
    for (size_t k = 0; k < count; ++k) {
      const size_t i = t.order[tile.at + k];
      const DisplayList::Work w = lists[i].list->pieceWork(ops[i], top, bottom, lists[i].dy);
      drawing += kRowWords * w.rows + w.words;
    }
    if (static_cast<double>(r.height()) * static_cast<double>((r.width() + 63) / 64) > drawing) {
      continue;
    }
    t.copies.push_back({r, lists[first].dx - lists[from].dx});
    for (size_t k = 0; k < count; ++k) t.copied[t.order[tile.at + k]] = 1;
  }
}

namespace {

// Each copy's pixels from its drawn tile, in a piece whose row 0 is image row `top`.
void copyTiles(std::span<const TileCopy> copies, int64_t top, BandBitmap& band) {
  for (const TileCopy& c : copies) {
    for (int64_t y = c.from.y0; y < c.from.y1; ++y) {
      auto* row = reinterpret_cast<uint8_t*>(band.rowWords(y - top));
      copyPixels(row, c.from.x0, row, c.from.x0 + c.shift, c.from.width());
    }
    const int64_t x0 = c.from.x0 + c.shift, x1 = c.from.x1 + c.shift;
    band.markDrawn(c.from.y0 - top, c.from.y1 - top, static_cast<size_t>(x0 >> 5),
                   static_cast<size_t>(((x1 - 1) >> 5) + 1));
  }
}

}  // namespace

size_t drawSpan(std::span<const ListPlacement> all, int64_t top, BandBitmap& band,
                SpanDrawing& drawing) {
  const int64_t bottom = top + band.rows();
  drawing.later.fills.clear();
  drawing.later.crossing.clear();
  drawing.exposed.clear();
  drawing.ops.resize(std::max(drawing.ops.size(), all.size()));
  drawing.skips.resize(std::max(drawing.skips.size(), all.size()));
  for (size_t i = 0; i < all.size(); ++i) {
    all[i].list->collect(top, bottom, all[i].dy, drawing.ops[i]);
  }
  PieceTiles& tiles = drawing.tiles;
  findRepeatedTiles(all, std::span(drawing.ops).first(all.size()), top, bottom, band.width_px(),
                    tiles);
  // The lists drawn, and their primitives, in front; the copies' go.
  tiles.drawn.clear();
  for (size_t i = 0; i < all.size(); ++i) {
    if (tiles.copied[i]) continue;
    std::swap(drawing.ops[tiles.drawn.size()], drawing.ops[i]);
    tiles.drawn.push_back(all[i]);
  }
  const std::span<const ListPlacement> lists = tiles.drawn;
  for (size_t i = lists.size(); i-- > 0;) {
    const ListPlacement& l = lists[i];
    l.list->findHidden(drawing.ops[i], l.dx, l.dy, top, bottom, drawing.later, drawing.skips[i]);
  }
  for (size_t i = 0; i < lists.size(); ++i) {
    lists[i].list->findRedundant(drawing.ops[i], lists[i].dx, drawing.exposed, drawing.skips[i]);
  }
  // A copy writes every pixel of its columns on its rows: on every row of
  // the piece, they need no clearing.
  std::vector<ColumnSet::Columns>& written = tiles.written;
  written.clear();
  for (const TileCopy& c : tiles.copies) {
    if (c.from.y0 == top && c.from.y1 == bottom) {
      written.push_back({c.from.x0 + c.shift, c.from.x1 + c.shift});
    }
  }
  std::sort(written.begin(), written.end(), [](auto& a, auto& b) { return a.x0 < b.x0; });
  drawing.later.fills.add(written);
  clearUncovered(band, drawing.later.fills);
  Canvas canvas(band);
  size_t leftOut = 0;
  for (size_t i = 0; i < lists.size(); ++i) {
    const std::vector<uint8_t>& hidden = drawing.skips[i].hidden;
    leftOut += static_cast<size_t>(std::count(hidden.begin(), hidden.end(), 1));
    canvas.setWindowOrigin(-lists[i].dx, top - lists[i].dy);
    lists[i].list->replay(canvas, drawing.ops[i], &drawing.skips[i]);
  }
  copyTiles(tiles.copies, top, band);
  return leftOut;
}

}  // namespace drumplot
