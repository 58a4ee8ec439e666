// SPDX-License-Identifier: MIT
// Recording primitives compactly, indexing them by rows, and replaying them.
#include "output/display_list.h"

#include <algorithm>
#include <limits>

#include "engine/errors.h"

namespace drumplot {

namespace {

// Layout of one primitive in the stream, in 32-bit words. Every coordinate
// a canvas records is clamped to +-2^30, so each fits a word.
//   0  kind | white pen << 8 | white brush << 9 | white colour << 10
//   1  first row of its bounds     2  row after its bounds
//   3  origin x    4  origin y     5  pen width
//   6  coordinates: 4 (boxes, lines), 8 (arcs), 2 (pixels),
//      2 and the stamp's number (stamps), the first point and the count (polygons)
constexpr size_t kHeaderWords = 6;
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
                                 word(op.origin.y), word(op.state.penWidth_px)});
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

void DisplayList::replay(Canvas& canvas, size_t span) const {
  if (span + 1 >= spanStart_.size()) return;
  for (uint32_t i = spanStart_[span]; i < spanStart_[span + 1]; ++i) replayAt(canvas, spanOps_[i], i);
}

void DisplayList::replay(Canvas& canvas) const {
  for (size_t offset = 0; offset < stream_.size();
       offset += wordsOf(static_cast<CanvasOp::Kind>(stream_[offset] & 0xFF))) {
    replayAt(canvas, offset);
  }
}

}  // namespace drumplot
