// SPDX-License-Identifier: MIT
// DisplayList: one board layer's drawing, recorded once in image coordinates
// and replayed band by band, each band drawing only what meets it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "engine/canvas.h"
#include "output/column_set.h"
#include "output/display_list_records.h"

namespace drumplot {

// What of the primitives one piece draws from one list need not be drawn:
// one flag for each in order, the columns that its large fills fill on
// every row of the piece, and the only columns that partly covered
// primitives are drawn in (each kept as `count` columns from `first`, the
// last primitive first).
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

// The keys of the crossing primitives seen so far, found by hash.
class CrossingKeys {
 public:
  void clear();
  // Adds the key; false when it was there already.
  bool insert(const CrossingKey& key);

 private:
  bool rehashThenInsert(const CrossingKey& key);

  std::vector<CrossingKey> keys_;
  // A key's index + 1 and, above it, the round it was added in: slots of an
  // earlier round are empty, so clearing costs nothing.
  std::vector<uint64_t> slots_;
  uint64_t round_ = 1;
};

struct LaterDrawing {
  ColumnSet fills;
  CrossingKeys crossing;
};

// The primitives of one list that meet one piece, in recording order: each
// at its offset in the list, a large polygon with the segments that reach
// the piece's rows (none noted: all of them).
struct PieceOps {
  static constexpr uint32_t kAllSegments = UINT32_MAX;
  struct Op {
    uint32_t offset;
    uint32_t segmentsAt = 0;  // in `segments`
    uint32_t segmentCount = kAllSegments;
  };
  std::vector<Op> ops;
  std::vector<uint32_t> segments;
};

// The primitives of a recording canvas, kept compactly for 1-bit targets:
// colours are kept as white or not white. Stamps and stamped shapes are
// referenced, not copied: they must outlive the list's replays.
//
// A list is recorded once and may be drawn at several places (the copies of
// a panelized board), each moved by whole pixels. Before it is drawn by
// pieces, index() cuts its own rows into buckets and notes, for each, the
// primitives whose bounds meet it, in order; a piece then takes the
// primitives of the buckets its rows meet, wherever the list is moved to.
//
//   list rows  b0 ...... b1 ...... b2        buckets [b0, b1), [b1, b2)
//   primitive     y0 ====== y1               noted in buckets 0 and 1
class DisplayList final : public CanvasRecorder {
 public:
  void record(const CanvasOp& op) override;

  size_t size() const { return count_; }
  // Bytes the list holds (primitives, polygon points, index).
  uint64_t memoryBytes() const;
  // About the bytes a list would hold for the primitive, index included.
  static uint64_t bytesFor(const CanvasOp& op);
  // Every pixel the recorded primitives may touch, in the list's own pixels.
  const PixelRect& bounds() const { return bounds_; }

  // Buckets of `bucketRows` rows from the first row of the bounds.
  void index(int64_t bucketRows);
  // The primitives that meet image rows top <= y < bottom when the list is
  // drawn moved down by dy pixels.
  void collect(int64_t top, int64_t bottom, int64_t dy, PieceOps& out) const;
  // About the work of drawing the collected primitives `ops` on image rows
  // top <= y < bottom: the rows each draws there, and those rows' 64-bit
  // words within its bounds, each summed.
  struct Work {
    double rows = 0, words = 0;
  };
  Work pieceWork(const PieceOps& ops, int64_t top, int64_t bottom, int64_t dy) const;

  // Two passes find what of a piece (image rows top <= y < bottom) need not
  // be drawn, over the lists the piece draws, each moved by (dx, dy):
  //  - findHidden, from the last list to the first: primitives that what
  //    is drawn after them overwrites, because they lie in the columns
  //    that later fills cover on every row or a later primitive draws the
  //    same pixels, and the columns that are left of wide primitives partly
  //    in those columns. `later` holds what the lists drawn after this one
  //    draw and gets this list's.
  //  - findRedundant, from the first list to the last: primitives that
  //    only expose, drawn over columns that are exposed on every row
  //    already. `exposed` holds those columns before this list, and after.
  void findHidden(const PieceOps& ops, int64_t dx, int64_t dy, int64_t top, int64_t bottom,
                  LaterDrawing& later, SpanSkips& skips) const;
  void findRedundant(const PieceOps& ops, int64_t dx, ColumnSet& exposed, SpanSkips& skips) const;
  // Draws the piece's primitives onto `canvas` (its window origin moving
  // the list to its place, its surface columns the image's); with `skips`,
  // not those marked hidden, and the partly covered ones only in their
  // columns.
  void replay(Canvas& canvas, const PieceOps& ops, const SpanSkips* skips = nullptr) const;
  // Draws every primitive onto `canvas`, in recording order.
  void replay(Canvas& canvas) const;

 private:
  // Replays the primitive `op` (a large polygon only with its segments).
  void replayAt(Canvas& canvas, const PieceOps& ops, const PieceOps::Op& op) const;
  void replayAt(Canvas& canvas, size_t offset) const;
  // The primitive at `offset` in the arena.
  list_records::Record recordAt(size_t offset) const {
    return list_records::Record(arena_.data() + offset);
  }
  // Appends a record (its header filled but for its size) to the arena.
  template <typename R>
  void append(const R& record);
  // The columns of list rows top <= y < bottom that the polygon `op` fills
  // on every one of those rows.
  void polygonColumns(const PieceOps& ops, const PieceOps::Op& op, int64_t top, int64_t bottom,
                      std::vector<ColumnSet::Columns>& columns) const;
  // Polygons with more points than this are replayed by the segments that
  // reach each bucket.
  static constexpr uint32_t kWholePolygonPoints = 64;

  std::vector<std::byte> arena_;    // records, one after another
  std::vector<PixelPoint> points_;  // polygon points
  size_t count_ = 0;
  PixelRect bounds_;
  int64_t bucketRows_ = 0;
  int64_t firstRow_ = 0;               // bucket k holds rows firstRow_ + k bucketRows_ ...
  std::vector<uint32_t> bucketStart_;  // bucketOps_[bucketStart_[k] .. bucketStart_[k + 1])
  std::vector<uint32_t> bucketOps_;    // offsets in arena_
  // For each entry of bucketOps_ that is a large polygon: its segments that
  // reach the bucket, as `count` numbers from `first` in segments_.
  struct SegmentRange {
    uint32_t first = 0;
    uint32_t count = PieceOps::kAllSegments;
  };
  std::vector<SegmentRange> entrySegments_;
  std::vector<uint32_t> segments_;
};

}  // namespace drumplot
