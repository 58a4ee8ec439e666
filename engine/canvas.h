// SPDX-License-Identifier: MIT
// Canvas: pen, brush, window origin and clipping over a 1-bit band or an RGB
// surface, and the drawing primitives with this system's pixel rules.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <type_traits>
#include <variant>
#include <vector>

#include "engine/band_bitmap.h"

namespace drumplot {

class StampedShape;

struct PixelPoint {
  int64_t x = 0;
  int64_t y = 0;
  bool operator==(const PixelPoint&) const = default;
};

// The pixels x0 <= x < x1, y0 <= y < y1.
struct PixelRect {
  int64_t x0 = 0;
  int64_t y0 = 0;
  int64_t x1 = 0;
  int64_t y1 = 0;

  bool empty() const { return x0 >= x1 || y0 >= y1; }
  int64_t width() const { return x1 - x0; }
  int64_t height() const { return y1 - y0; }
  PixelRect intersected(const PixelRect& o) const;
  // The smallest rectangle holding both; an empty rectangle adds nothing.
  PixelRect united(const PixelRect& o) const;
  bool operator==(const PixelRect&) const = default;
};

// What a drawing step may change and a caller may want back.
struct CanvasState {
  Rgb penColor = kBlack;
  int64_t penWidth_px = 1;
  Rgb brushColor = kBlack;
  bool operator==(const CanvasState&) const = default;
};

// A box (x1, y1)-(x2, y2) as a primitive takes it: corners in any order.
struct BoxOp {
  int64_t x1 = 0, y1 = 0, x2 = 0, y2 = 0;
};
// The box filled; the ellipse inscribed in it filled; that ellipse filled
// and outlined.
struct FillRectOp : BoxOp {};
struct FillEllipseOp : BoxOp {};
struct EllipseOp : BoxOp {};

// A filled polygon with its outline; when `segments` is set, only those
// segments are drawn (see fillPolygon).
struct PolygonOp {
  std::span<const PixelPoint> points;
  std::optional<std::span<const uint32_t>> segments;
};

// A pen stroke from `from` to `to`.
struct LineOp {
  PixelPoint from, to;
};

// The part of the ellipse inscribed in `box` (normalised) that runs
// counterclockwise from the radial through `start` to the radial through
// `end`.
struct ArcOp {
  BoxOp box;
  PixelPoint start, end;
};

// One pixel in `colour`.
struct PixelOp {
  PixelPoint at;
  Rgb colour = kBlack;
};

// A 1-bit stamp with its top left pixel on `topLeft`, its exposed pixels in
// `colour`. The stamp must outlive every replay.
struct StampOp {
  const BandBitmap* stamp = nullptr;
  PixelPoint topLeft;
  Rgb colour = kBlack;
};

// A stamped shape's stamp with its top left pixel on `topLeft`, in
// `colour`. The shape must outlive every replay.
struct ShapeOp {
  const StampedShape* shape = nullptr;
  PixelPoint topLeft;
  Rgb colour = kBlack;
};

// One drawing primitive as a recording canvas hands it on: everything a
// replay needs to draw exactly the same pixels onto another canvas.
struct CanvasOp {
  // The kinds, in the order of the payloads.
  enum class Kind : uint8_t {
    FillRect,     // FillRectOp
    FillEllipse,  // FillEllipseOp
    Ellipse,      // EllipseOp: inside and outline
    Polygon,      // PolygonOp
    Line,         // LineOp
    Arc,          // ArcOp
    Pixel,        // PixelOp
    Stamp,        // StampOp
    Shape,        // ShapeOp
  };
  using Payload = std::variant<FillRectOp, FillEllipseOp, EllipseOp, PolygonOp, LineOp, ArcOp,
                               PixelOp, StampOp, ShapeOp>;

  explicit CanvasOp(const Payload& payload) : payload(payload) {}
  Kind kind() const { return static_cast<Kind>(payload.index()); }

  Payload payload;  // coordinates as the primitive clamps them
  CanvasState state;
  // The recording canvas's window origin when the primitive was drawn; the
  // primitive's image pixels are its coordinates minus this origin.
  PixelPoint origin;
  // Every image pixel the primitive may touch (it may touch fewer).
  PixelRect bounds;
};
// A kind is the number of its payload.
static_assert(std::is_same_v<std::variant_alternative_t<static_cast<size_t>(CanvasOp::Kind::Shape),
                                                        CanvasOp::Payload>,
                             ShapeOp>);

// Receives the primitives of a recording canvas, in drawing order.
class CanvasRecorder {
 public:
  virtual void record(const CanvasOp& op) = 0;

 protected:
  ~CanvasRecorder() = default;
};

// Drawing in image coordinates onto a surface. Image point (x, y) lands on
// surface pixel (x - originX, y - originY); everything outside the clip
// rectangle (the whole surface unless narrowed) is left alone. Every
// primitive computes in image coordinates and clips at the end, so drawing
// into a band of rows [t, t + r) gives exactly those rows of the whole image.
//
// Pixel rules (pixel (i, j) covers [i, i+1) x [j, j+1)):
// - fillRect sets x1 <= i < x2, y1 <= j < y2 (boxes are normalised first);
//   a box of zero width or height draws nothing.
// - fillEllipse sets the pixels whose centres lie inside or on the ellipse
//   inscribed in the box [x1, x2] x [y1, y2].
// - Strokes of pen width w >= 2 (lines with round caps, arcs, ellipse
//   outlines) set the pixels whose centres lie within w / 2 of the path; the
//   path's integer points are taken at p + 0.5 when w is odd and at p when w
//   is even, so that a straight horizontal or vertical stroke is w pixels
//   across. Arcs and ellipse outlines of width 0 or 1 follow the same rule
//   with w = 1.
// - Lines of pen width 0 or 1 are Bresenham lines from the start pixel to the
//   end pixel, the end pixel excluded.
// - fillPolygon: even-odd rule on pixel centres, each vertex at p + 0.5, plus
//   the polygon's 1-pixel outline in the pen colour.
// - On 1-bit surfaces white is background and any other colour exposure.
// Coordinates beyond +-2^30 are clamped; a pixel beyond them is left out.
class Canvas {
 public:
  // The band's canvas starts with its window origin at the band's top row.
  explicit Canvas(BandBitmap& band);
  explicit Canvas(RgbSurface& surface);
  // A recording canvas over an image of width_px x rows: each primitive that
  // may touch the image is handed to `recorder` instead of being drawn; pen,
  // brush, position, origin and clip behave as on any canvas (the clip only
  // decides what is recorded).
  Canvas(CanvasRecorder& recorder, int64_t width_px, int64_t rows);

  Canvas(const Canvas&) = delete;
  Canvas& operator=(const Canvas&) = delete;

  // Pen, brush and colour. Filled shapes use the brush; lines, arcs, ellipse
  // outlines and polygon outlines use the pen.
  void setPenColor(Rgb colour) { state_.penColor = colour; }
  void setPenWidth(int64_t width_px);
  void setBrushColor(Rgb colour) { state_.brushColor = colour; }
  // Pen and brush in one colour.
  void setColor(Rgb colour) { state_.penColor = state_.brushColor = colour; }
  Rgb penColor() const { return state_.penColor; }
  int64_t penWidth_px() const { return state_.penWidth_px; }
  Rgb brushColor() const { return state_.brushColor; }
  const CanvasState& state() const { return state_; }
  void setState(const CanvasState& state);

  // The image point drawn at the surface's top left pixel.
  void setWindowOrigin(int64_t x, int64_t y);
  PixelPoint windowOrigin() const { return origin_; }

  // Narrows drawing to `rect` in surface pixels (cut to the surface).
  void setClipRect(const PixelRect& rect);
  void resetClip();
  PixelRect clipRect() const { return clip_; }
  // The clip rectangle in image coordinates.
  PixelRect imageClip() const;

  // Filled shapes in the brush colour.
  void fillRect(int64_t x1, int64_t y1, int64_t x2, int64_t y2);
  void fillEllipse(int64_t x1, int64_t y1, int64_t x2, int64_t y2);
  // The inside in the brush colour, then the outline with the pen.
  void ellipse(int64_t x1, int64_t y1, int64_t x2, int64_t y2);
  // Inside in the brush colour, 1-pixel outline in the pen colour.
  void fillPolygon(std::span<const PixelPoint> points);
  // The same polygon drawn from some of its segments only (segment k runs
  // from point k to the next, the last back to the first): the same pixels
  // as fillPolygon(points) in every row that no other segment reaches. A
  // band of a large polygon draws only the segments that reach the band.
  void fillPolygon(std::span<const PixelPoint> points, std::span<const uint32_t> segments);

  // The pen's current position (moved by moveTo and lineTo only).
  void moveTo(int64_t x, int64_t y);
  void lineTo(int64_t x, int64_t y);
  PixelPoint position() const { return position_; }

  // The part of the ellipse inscribed in the box (x1, y1)-(x2, y2) that runs
  // counterclockwise as seen on the canvas (Y down) from the radial through
  // (x3, y3) to the radial through (x4, y4); equal radials draw the whole
  // ellipse. Drawn with the pen; the current position is left alone.
  void arc(int64_t x1, int64_t y1, int64_t x2, int64_t y2, int64_t x3, int64_t y3, int64_t x4,
           int64_t y4);

  void setPixel(int64_t x, int64_t y, Rgb colour);

  // Transparent copy of a 1-bit stamp whose top left pixel lands on image
  // point (left, top): the stamp's exposed (clear) pixels set the target to
  // `colour`; its background pixels leave the target as it was.
  void transferStamp(const BandBitmap& stamp, int64_t left, int64_t top, Rgb colour);
  // The same for a stamped shape: its stamp from the shape's cache, or, when
  // the cache cannot hold it, just the rows this canvas draws.
  void drawShape(const StampedShape& shape, int64_t left, int64_t top, Rgb colour);

  // Draws a recorded primitive (its bounds as recorded) with the pen, brush
  // and origin it was recorded with, the origin taken relative to this canvas's origin; this
  // canvas's own pen, brush, position and origin are left as found. Drawing
  // a recording's primitives in order onto a band gives the same pixels as
  // drawing the recorded steps straight onto it.
  void replay(const CanvasOp& op);

 private:
  // The one way a primitive leaves a public drawing call, its payload
  // clamped: handed to the recorder when recording, drawn otherwise.
  // `reach` holds every image pixel it may touch; nothing is recorded or
  // drawn when that misses the clip.
  void drawOrRecord(CanvasOp op, const PixelRect& reach);
  // Widens the band's drawn words of each row by those a primitive that may
  // touch the image pixels `reach` writes in, within the clip.
  void markDrawn(const PixelRect& reach);
  // Draws a clamped payload with this canvas's pen, brush and origin.
  void draw(const CanvasOp& op);
  // Clamps `points` into clampedPoints_, without the repeats of a point
  // when `dropRepeats`; returns the box of the points.
  PixelRect clampPoints(std::span<const PixelPoint> points, bool dropRepeats);
  void fillSegments(std::span<const PixelPoint> points, std::span<const uint32_t> segments,
                    bool all);
  template <class Draw>
  void withSpans(Rgb colour, Draw&& draw);
  void strokeSegment(PixelPoint from, PixelPoint to);
  void fillEllipseBox(const BoxOp& box);
  void strokeArc(BoxOp box, double startAngle, double sweep);
  void drawStamp(const StampOp& op);
  void drawStampedShape(const ShapeOp& op);

  BandBitmap* band_ = nullptr;
  RgbSurface* rgb_ = nullptr;
  CanvasRecorder* recorder_ = nullptr;
  int64_t surfaceWidth_ = 0;
  int64_t surfaceRows_ = 0;
  PixelRect clip_;  // surface pixels
  PixelPoint origin_;
  PixelPoint position_;
  CanvasState state_;

  // An edge meets rows yTop <= j < yEnd at x(j) = xTop + (j - yTop) dx / dy,
  // dy > 0, stepped row by row as the whole part q and remainder r of
  // (j - yTop) dx / dy.
  struct PolygonEdge {
    int64_t yTop, yEnd, xTop, dx, dy;
    int64_t q = 0, r = 0, stepQ = 0, stepR = 0;

    void start(int64_t j);
    int64_t ceilX() const { return xTop + q + (r > 0 ? 1 : 0); }
    void step() {  // without a branch: rows' carries come unpredictably
      r += stepR;
      const bool carry = r >= dy;
      q += stepQ + carry;
      r -= carry ? dy : 0;
    }
  };
  // Scratch space reused by the polygon filler (no allocation per flash).
  std::vector<PolygonEdge> edges_;
  std::vector<PolygonEdge*> activeEdges_;
  std::vector<int64_t> crossings_;
  std::vector<PixelPoint> clampedPoints_;
};

}  // namespace drumplot
