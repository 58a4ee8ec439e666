// SPDX-License-Identifier: MIT
// DisplayList: one board layer's drawing, recorded once in image coordinates
// and replayed band by band, each band drawing only what meets it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <unordered_map>
#include <vector>

#include "engine/canvas.h"

namespace drumplot {

// Columns of one piece that hold something on every row of the piece (all
// filled by fills drawn later, or all exposed), as sorted, disjoint,
// half-open spans [x0, x1).
class ColumnSet {
 public:
  struct Columns {
    int64_t x0, x1;
  };
  void clear() { columns_.clear(); }
  std::span<const Columns> columns() const { return columns_; }
  bool covers(int64_t x0, int64_t x1) const;
  // Adds sorted, disjoint spans.
  void add(std::span<const Columns> columns);
  // Appends the stretches of [x0, x1) that the set does not hold.
  void uncovered(int64_t x0, int64_t x1, std::vector<Columns>& out) const;
  void remove(int64_t x0, int64_t x1);

 private:
  void merge(std::span<const Columns> columns);
  // The first span that starts after x.
  std::vector<Columns>::const_iterator startingAfter(int64_t x) const;

  std::vector<Columns> columns_, merged_;
};

// What of the primitives meeting one span need not be drawn: one flag for
// each in order, the columns that its large fills fill on every row of the
// piece, and the only columns that partly covered primitives are drawn in
// (each kept as `count` columns from `first`, the last primitive first).
struct SpanSkips {
  std::vector<uint8_t> hidden;
  struct Part {
    uint32_t entry, first, count;  // the primitive's place; columns[first, first + count)
  };
  std::vector<Part> fills, drawn;
  std::vector<ColumnSet::Columns> columns;
};

// What is drawn after the lists not yet walked: the columns that fills
// cover on every row of the piece, and the primitives (but polygons and
// stamps) that cross all its rows, by kind, pen and image coordinates.
using CrossingKey = std::array<int32_t, 10>;
struct LaterDrawing {
  ColumnSet fills;
  std::vector<CrossingKey> crossing;
};

// The primitives of a recording canvas (Canvas(recorder, W, H)), kept
// compactly for 1-bit targets: colours are kept as white or not white.
// Stamps are referenced, not copied: they must outlive the list's replays.
//
// Before replaying by spans, index() cuts the image into spans of rows and
// notes, for each span, the primitives whose bounds meet it, in order.
//
//   image rows  0 ... t1 ... t2 ... H      spans [0, t1), [t1, t2), [t2, H)
//   primitive   y0 ====== y1               noted in spans 0 and 1
class DisplayList final : public CanvasRecorder {
 public:
  void record(const CanvasOp& op) override;

  size_t size() const { return count_; }
  // Bytes the list holds (primitives, polygon points, index).
  uint64_t memoryBytes() const;

  // `spanTops`: the first row of each span, ascending; span k runs to the
  // next span's top (the last one to the end of the image).
  void index(std::span<const int64_t> spanTops);
  // A piece is rows top <= y < bottom of span k. Two passes find what of
  // it need not be drawn, over the lists the piece draws:
  //  - findHidden, from the last list to the first: primitives that what
  //    is drawn after them overwrites, because they lie in the columns
  //    that later fills cover on every row or a later primitive draws the
  //    same pixels, and the columns that are left of wide primitives partly
  //    in those columns. `later` holds what the lists drawn after this one
  //    draw and gets this list's.
  //  - findRedundant, from the first list to the last: primitives that
  //    only expose, drawn over columns that are exposed on every row
  //    already. `exposed` holds those columns before this list, and after.
  void findHidden(size_t span, int64_t top, int64_t bottom, LaterDrawing& later,
                  SpanSkips& skips) const;
  void findRedundant(size_t span, ColumnSet& exposed, SpanSkips& skips) const;
  // Draws the primitives meeting span k onto `canvas`, in recording order;
  // with `skips`, not those marked hidden, and the partly covered ones only
  // in their columns.
  void replay(Canvas& canvas, size_t span, const SpanSkips* skips = nullptr) const;
  // Draws every primitive onto `canvas`, in recording order.
  void replay(Canvas& canvas) const;

 private:
  // Replays the primitive at `offset` in stream_; a large polygon only with
  // the segments of index entry `entry` (none: all of it).
  void replayAt(Canvas& canvas, size_t offset, size_t entry = SIZE_MAX) const;
  static size_t wordsOf(CanvasOp::Kind kind);
  // The columns of rows top <= y < bottom that the polygon at `offset`
  // (index entry `entry`) fills on every one of those rows.
  void polygonColumns(size_t offset, size_t entry, int64_t top, int64_t bottom,
                      std::vector<ColumnSet::Columns>& columns) const;
  // Visits, in order, the spans that rows y0 <= y < y1 meet.
  template <class Visit>
  void forEachSpan(int64_t y0, int64_t y1, Visit&& visit) const;
  // Polygons with more points than this are replayed by the segments that
  // reach each span.
  static constexpr uint32_t kWholePolygonPoints = 64;

  std::vector<int32_t> stream_;        // primitives, one after another
  std::vector<PixelPoint> points_;     // polygon points
  std::vector<const BandBitmap*> stamps_;
  std::unordered_map<const BandBitmap*, size_t> stampNumbers_;
  size_t count_ = 0;
  std::vector<int64_t> spanTops_;
  std::vector<uint32_t> spanStart_;    // spanOps_[spanStart_[k] .. spanStart_[k + 1])
  std::vector<uint32_t> spanOps_;      // offsets in stream_
  // For each entry of spanOps_ that is a large polygon: its segments that
  // reach the span, as `count` numbers from `first` in segments_.
  static constexpr uint32_t kAllSegments = UINT32_MAX;
  struct SegmentRange {
    uint32_t first = 0;
    uint32_t count = kAllSegments;
  };
  std::vector<SegmentRange> entrySegments_;
  std::vector<uint32_t> segments_;
};

// What drawing a span keeps from one span to the next.
struct SpanDrawing {
  LaterDrawing later;
  ColumnSet exposed;
  std::vector<SpanSkips> skips;  // by list
};

// Draws span k of the lists, in order, onto `band`, whose row 0 is image
// row `top` and whose pixels may be anything: what the lists' fills do not
// cover on every row is cleared to background first. What a later fill or
// the same primitive drawn later overwrites is not drawn, nor exposure over
// what is exposed already.
// Returns how many primitives were left out.
size_t drawSpan(std::span<const DisplayList* const> lists, size_t span, int64_t top,
                BandBitmap& band, SpanDrawing& drawing);

}  // namespace drumplot
