// SPDX-License-Identifier: MIT
// How a display list keeps one primitive in its stream; shared by the
// recording and replay, and by the search for covered draws.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "engine/canvas.h"

namespace drumplot::list_words {

// Layout of one primitive in the stream, in 32-bit words. Every coordinate
// a canvas records is clamped to +-2^30, so each fits a word. Its header:
// the flags (kind | white pen << 8 | white brush << 9 | white colour << 10),
// the rows and columns of its bounds, the recording canvas's origin and the
// pen width.
inline constexpr size_t kFlagsWord = 0;
inline constexpr size_t kFirstRowWord = 1, kRowAfterWord = 2;
inline constexpr size_t kOriginXWord = 3, kOriginYWord = 4;
inline constexpr size_t kPenWidthWord = 5;
inline constexpr size_t kFirstColumnWord = 6, kColumnAfterWord = 7;
inline constexpr size_t kHeaderWords = 8;
inline constexpr int32_t kWhitePen = 1 << 8, kWhiteBrush = 1 << 9, kWhiteColour = 1 << 10;

// Then its payload: the box x1 y1 x2 y2 (boxes), from and to (lines), the
// box, start and end (arcs), the pixel (pixels), the top left pixel and the
// stamp's number (stamps and stamped shapes), the first point and the count
// (polygons).
constexpr size_t payloadWords(CanvasOp::Kind kind) {
  switch (kind) {
    case CanvasOp::Kind::FillRect:
    case CanvasOp::Kind::FillEllipse:
    case CanvasOp::Kind::Ellipse:
    case CanvasOp::Kind::Line:
      return 4;
    case CanvasOp::Kind::Arc:
      return 8;
    case CanvasOp::Kind::Pixel:
    case CanvasOp::Kind::Polygon:
      return 2;
    case CanvasOp::Kind::Stamp:
    case CanvasOp::Kind::Shape:
      return 3;
  }
  return 0;
}

// One primitive's words in the stream, read by name.
class Record {
 public:
  explicit Record(const int32_t* words) : w_(words) {}

  CanvasOp::Kind kind() const { return static_cast<CanvasOp::Kind>(w_[kFlagsWord] & 0xFF); }
  int32_t flags() const { return w_[kFlagsWord]; }
  bool whiteBrush() const { return (w_[kFlagsWord] & kWhiteBrush) != 0; }
  int64_t firstRow() const { return w_[kFirstRowWord]; }
  int64_t rowAfter() const { return w_[kRowAfterWord]; }
  int64_t firstColumn() const { return w_[kFirstColumnWord]; }
  int64_t columnAfter() const { return w_[kColumnAfterWord]; }
  PixelPoint origin() const { return {w_[kOriginXWord], w_[kOriginYWord]}; }
  int64_t penWidth() const { return w_[kPenWidthWord]; }
  size_t words() const { return kHeaderWords + payloadWords(kind()); }

  // The payload, by kind.
  BoxOp box() const { return {p(0), p(1), p(2), p(3)}; }
  LineOp line() const { return {{p(0), p(1)}, {p(2), p(3)}}; }
  ArcOp arc() const { return {box(), {p(4), p(5)}, {p(6), p(7)}}; }
  PixelPoint pixel() const { return {p(0), p(1)}; }
  PixelPoint topLeft() const { return {p(0), p(1)}; }  // stamps and stamped shapes
  size_t stampNumber() const { return static_cast<size_t>(p(2)); }
  uint32_t firstPoint() const { return static_cast<uint32_t>(p(0)); }  // polygons
  uint32_t pointCount() const { return static_cast<uint32_t>(p(1)); }
  // The payload as x, y pairs, for boxes, lines, arcs and pixels.
  std::span<const int32_t> coordinates() const { return {w_ + kHeaderWords, payloadWords(kind())}; }

 private:
  int32_t p(size_t k) const { return w_[kHeaderWords + k]; }
  const int32_t* w_;
};

}  // namespace drumplot::list_words
