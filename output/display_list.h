// SPDX-License-Identifier: MIT
// DisplayList: one board layer's drawing, recorded once in image coordinates
// and replayed band by band, each band drawing only what meets it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <unordered_map>
#include <vector>

#include "engine/canvas.h"

namespace drumplot {

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
  // Draws the primitives meeting span k onto `canvas`, in recording order.
  void replay(Canvas& canvas, size_t span) const;
  // Draws every primitive onto `canvas`, in recording order.
  void replay(Canvas& canvas) const;

 private:
  // Replays the primitive at `offset` in stream_; a large polygon only with
  // the segments of index entry `entry` (none: all of it).
  void replayAt(Canvas& canvas, size_t offset, size_t entry = SIZE_MAX) const;
  static size_t wordsOf(CanvasOp::Kind kind);
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

}  // namespace drumplot
