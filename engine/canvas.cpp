// SPDX-License-Identifier: MIT
// Canvas primitives: each shape becomes horizontal spans in image
// coordinates, which are clipped and filled a word at a time.
#include "engine/canvas.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <initializer_list>
#include <numbers>

#include "engine/aperture_stamp.h"
#include "engine/span_fill.h"

namespace drumplot {

namespace {

__extension__ using Int128 = __int128;

// Coordinates are clamped here, so that a difference of two stays within
// 2^31 and a product of two differences within 2^62.
constexpr int64_t kCoordinateLimit = int64_t{1} << 30;
// Real-valued span ends are cut here before they become pixel indexes.
constexpr double kIndexLimit = 4.0e12;
// Largest distance from an arc's path to its flattened polyline, in pixels.
constexpr double kArcTolerance = 1.0 / 64.0;
constexpr int64_t kMaxArcSegments = int64_t{1} << 20;

int64_t clampCoordinate(int64_t v) {
  return std::clamp(v, -kCoordinateLimit, kCoordinateLimit);
}

// The box (x1, y1)-(x2, y2) with each coordinate clamped.
BoxOp clampedBox(int64_t x1, int64_t y1, int64_t x2, int64_t y2) {
  return {clampCoordinate(x1), clampCoordinate(y1), clampCoordinate(x2), clampCoordinate(y2)};
}

// What a primitive may touch: its box, normalised, grown by `margin` on
// every side and by `extra` more on the right and bottom (the last column
// and row of a thin line).
PixelRect boxReach(const BoxOp& box, int64_t margin, int64_t extra = 0) {
  return {std::min(box.x1, box.x2) - margin, std::min(box.y1, box.y2) - margin,
          std::max(box.x1, box.x2) + margin + extra, std::max(box.y1, box.y2) + margin + extra};
}

// What a stamp of width x rows with its top left pixel on `topLeft` may touch.
PixelRect stampReach(PixelPoint topLeft, int64_t width, int64_t rows) {
  return {topLeft.x, topLeft.y, topLeft.x + width, topLeft.y + rows};
}

// How far a stroke of pen width w reaches beyond its path's points: w / 2,
// half a pixel more for the centre shift of odd widths, and a pixel more
// for rounding.
int64_t strokeMargin(int64_t w) {
  return std::max<int64_t>(w, 1) / 2 + 2;
}

// An arc's ellipse (cx + a cos t, cy + b sin t) and the parameters t of
// its radials: it runs from `start` down to start - sweep, since
// counterclockwise on the canvas (Y down) is decreasing t.
struct ArcPath {
  double cx, cy, a, b, start, sweep;
};

ArcPath arcPath(const ArcOp& arc) {
  const auto [x1, y1, x2, y2] = arc.box;
  const double cx = (static_cast<double>(x1) + static_cast<double>(x2)) / 2.0;
  const double cy = (static_cast<double>(y1) + static_cast<double>(y2)) / 2.0;
  const double a = static_cast<double>(x2 - x1) / 2.0, b = static_cast<double>(y2 - y1) / 2.0;
  auto parameter = [&](PixelPoint p) {
    return std::atan2((static_cast<double>(p.y) - cy) * a, (static_cast<double>(p.x) - cx) * b);
  };
  const double start = parameter(arc.start), end = parameter(arc.end);
  constexpr double kFull = 2.0 * std::numbers::pi;
  double sweep = start - end;
  while (sweep <= 0) sweep += kFull;
  while (sweep > kFull) sweep -= kFull;
  return {cx, cy, a, b, start, sweep};
}

// What an arc stroked with pen width w may touch: the part of the ellipse
// swept (its ends and the axis points it passes), grown by the pen.
PixelRect arcReach(const ArcOp& arc, int64_t w) {
  const ArcPath path = arcPath(arc);
  const double start = path.start, sweep = path.sweep;
  double left = HUGE_VAL, top = HUGE_VAL, right = -HUGE_VAL, bottom = -HUGE_VAL;
  auto take = [&](double t) {
    const double x = path.cx + path.a * std::cos(t), y = path.cy + path.b * std::sin(t);
    left = std::min(left, x), right = std::max(right, x);
    top = std::min(top, y), bottom = std::max(bottom, y);
  };
  take(start);
  take(start - sweep);
  const double quarter = std::numbers::pi / 2;
  for (double t = std::ceil((start - sweep) / quarter) * quarter; t <= start; t += quarter) take(t);
  const int64_t m = strokeMargin(w) + 1;
  return {static_cast<int64_t>(std::floor(left)) - m, static_cast<int64_t>(std::floor(top)) - m,
          static_cast<int64_t>(std::ceil(right)) + m, static_cast<int64_t>(std::ceil(bottom)) + m};
}

template <class T>
T floorDiv(T num, T den) {  // den > 0
  T q = num / den;
  return (num % den != 0 && num < 0) ? q - 1 : q;
}
template <class T>
T ceilDiv(T num, T den) {  // den > 0
  T q = num / den;
  return (num % den != 0 && num > 0) ? q + 1 : q;
}

// floor and ceil by truncation, exact below 2^52, without a library call
// for each span end.
int64_t floorIndex(double v) {
  if (std::isnan(v)) return 0;
  v = std::clamp(v, -kIndexLimit, kIndexLimit);
  const auto t = static_cast<int64_t>(v);
  return static_cast<double>(t) > v ? t - 1 : t;
}
int64_t ceilIndex(double v) {
  if (std::isnan(v)) return 0;
  v = std::clamp(v, -kIndexLimit, kIndexLimit);
  const auto t = static_cast<int64_t>(v);
  return static_cast<double>(t) < v ? t + 1 : t;
}

// Pixels whose centres i + 0.5 lie in [xl, xr]: ceil(xl - 0.5) <= i <= floor(xr - 0.5).
template <class Spans>
void spanOfCentres(const Spans& spans, int64_t y, double xl, double xr) {
  spans(y, ceilIndex(xl - 0.5), floorIndex(xr - 0.5) + 1);
}

// Span writers
// ============================================================================

// Fills spans of a 1-bit surface with Op; spans arrive in image coordinates.
template <class Op>
struct BitSpans {
  PixelRect clip;  // image coordinates
  PixelPoint origin;
  uint32_t* words;
  size_t wordsPerRow;

  void operator()(int64_t y, int64_t x0, int64_t x1) const {
    if (y < clip.y0 || y >= clip.y1) return;
    x0 = std::max(x0, clip.x0);
    x1 = std::min(x1, clip.x1);
    if (x0 >= x1) return;
    fillSpan<Op>(words + static_cast<size_t>(y - origin.y) * wordsPerRow, x0 - origin.x,
                 x1 - origin.x);
  }
  // One pixel that lies inside the clip.
  void pixel(int64_t y, int64_t x) const {
    const int64_t col = x - origin.x;
    Op::apply(
        words[static_cast<size_t>(y - origin.y) * wordsPerRow + static_cast<size_t>(col >> 5)],
        toMemoryOrder(0x80000000u >> (col & 31)));
  }
};

struct RgbSpans {
  PixelRect clip;
  PixelPoint origin;
  Rgb* pixels;
  size_t stride;
  Rgb colour;

  void operator()(int64_t y, int64_t x0, int64_t x1) const {
    if (y < clip.y0 || y >= clip.y1) return;
    x0 = std::max(x0, clip.x0);
    x1 = std::min(x1, clip.x1);
    if (x0 >= x1) return;
    Rgb* row = pixels + static_cast<size_t>(y - origin.y) * stride;
    std::fill(row + (x0 - origin.x), row + (x1 - origin.x), colour);
  }
  // One pixel that lies inside the clip.
  void pixel(int64_t y, int64_t x) const {
    pixels[static_cast<size_t>(y - origin.y) * stride + static_cast<size_t>(x - origin.x)] = colour;
  }
};

// Rectangles and ellipses
// ============================================================================

template <class Spans>
void rasterRect(const Spans& spans, int64_t x1, int64_t y1, int64_t x2, int64_t y2) {
  if (x1 > x2) std::swap(x1, x2);
  if (y1 > y2) std::swap(y1, y2);
  int64_t bottom = std::min(y2, spans.clip.y1);
  for (int64_t y = std::max(y1, spans.clip.y0); y < bottom; ++y) spans(y, x1, x2);
}

// Pixel (i, j) is inside the ellipse inscribed in [x1, x2] x [y1, y2] when
//   X^2 H^2 + Y^2 W^2 <= W^2 H^2,  X = 2i + 1 - (x1 + x2), Y = 2j + 1 - (y1 + y2),
// with W = x2 - x1, H = y2 - y1: whole numbers, compared exactly (in 64 bits
// for small boxes, 128 for large ones). Per row the largest |X| is guessed
// with a square root and then corrected.
//
//      x1      x2
//   y1 +--.--.--+      rows y1 <= j < y2; in each row the pixels
//      | .      .|      i with |X| <= s, s^2 H^2 <= W^2 (H^2 - Y^2)
//      |.   +    |
//      | .      .|
//   y2 +--.--.--+
template <class Wide>
int64_t ellipseHalfWidth(int64_t yy, Wide w2, Wide h2, double inverseH2) {
  const Wide limit = w2 * (h2 - Wide{yy} * yy);  // s^2 h2 <= limit
  auto s = static_cast<int64_t>(std::sqrt(static_cast<double>(limit) * inverseH2));
  while (s > 0 && Wide{s} * s * h2 > limit) --s;
  while (Wide{s + 1} * (s + 1) * h2 <= limit) ++s;
  return s;
}

// Row j's pixels: 2i + 1 - sumX in [-s, s].
template <class Spans>
void ellipseRow(const Spans& spans, int64_t j, int64_t sumX, int64_t s) {
  spans(j, ceilDiv<int64_t>(sumX - 1 - s, 2), floorDiv<int64_t>(sumX - 1 + s, 2) + 1);
}

template <class Wide, class Spans>
void ellipseRows(const Spans& spans, int64_t x1, int64_t y1, int64_t x2, int64_t y2) {
  const int64_t w = x2 - x1, h = y2 - y1;
  const Wide w2 = Wide{w} * w, h2 = Wide{h} * h;
  const double inverseH2 = 1.0 / static_cast<double>(h2);
  const int64_t bottom = std::min(y2, spans.clip.y1);
  for (int64_t j = std::max(y1, spans.clip.y0); j < bottom; ++j) {
    const int64_t yy = 2 * j + 1 - y1 - y2;  // |yy| < h
    ellipseRow(spans, j, x1 + x2, ellipseHalfWidth<Wide>(yy, w2, h2, inverseH2));
  }
}

// The pixels of the rows of a W x H box's ellipse as offsets from the box's
// left side, row k and row H - 1 - k alike, kept for the boxes drawn most
// recently on this thread: a board flashes the same few pad sizes thousands
// of times. Row half-width s covers 2i + 1 - W in [-s, s], i from the left.
constexpr int64_t kProfileRows = 4096;
struct EllipseProfile {
  int64_t w = -1, h = -1;
  std::vector<std::pair<int64_t, int64_t>> rows;  // rows 0 .. (H - 1) / 2: [from, to)
  // A box asked for while another is kept, and the rows drawn of it since.
  int64_t askedW = -1, askedH = -1, askedRows = 0;
};

// The profile of a W x H box, or null while building it would cost more
// than the rows drawn of the box so far (pieces of a pad met once).
const std::vector<std::pair<int64_t, int64_t>>* ellipseProfile(int64_t w, int64_t h, int64_t rows) {
  thread_local std::array<EllipseProfile, 64> recent;
  EllipseProfile& p = recent[static_cast<size_t>(w * 31 + h) % recent.size()];
  if (p.w != w || p.h != h) {
    if (p.askedW != w || p.askedH != h) p.askedW = w, p.askedH = h, p.askedRows = 0;
    p.askedRows += std::max<int64_t>(rows, 0);
    if (2 * p.askedRows < h) return nullptr;
    const int64_t w2 = w * w, h2 = h * h;
    const double inverseH2 = 1.0 / static_cast<double>(h2);
    p.rows.resize(static_cast<size_t>((h + 1) / 2));
    for (int64_t k = 0; k < (h + 1) / 2; ++k) {
      const int64_t s = ellipseHalfWidth<int64_t>(2 * k + 1 - h, w2, h2, inverseH2);
      p.rows[static_cast<size_t>(k)] = {ceilDiv<int64_t>(w - 1 - s, 2),
                                        floorDiv<int64_t>(w - 1 + s, 2) + 1};
    }
    p.w = w;
    p.h = h;
  }
  return &p.rows;
}

template <class Spans>
void rasterEllipse(const Spans& spans, int64_t x1, int64_t y1, int64_t x2, int64_t y2) {
  if (x1 > x2) std::swap(x1, x2);
  if (y1 > y2) std::swap(y1, y2);
  if (x1 == x2 || y1 == y2) return;
  // Below 2^15 pixels a side every product fits 64 bits.
  constexpr int64_t kSmall = int64_t{1} << 15;
  const int64_t w = x2 - x1, h = y2 - y1;
  const int64_t top = std::max(y1, spans.clip.y0), bottom = std::min(y2, spans.clip.y1);
  const std::vector<std::pair<int64_t, int64_t>>* profile =
      w < kSmall && h <= kProfileRows ? ellipseProfile(w, h, bottom - top) : nullptr;
  if (profile) {
    for (int64_t j = top; j < bottom; ++j) {
      const int64_t k = j - y1;
      const auto [from, to] = (*profile)[static_cast<size_t>(std::min(k, h - 1 - k))];
      spans(j, x1 + from, x1 + to);
    }
  } else if (w < kSmall && h < kSmall) {
    // The same rows as a profile gives.
    ellipseRows<int64_t>(spans, x1, y1, x2, y2);
  } else {
    ellipseRows<Int128>(spans, x1, y1, x2, y2);
  }
}

// Circle outlines: pixel centres at distances rIn <= d <= rOut from (cx, cy).
template <class Spans>
void rasterRing(const Spans& spans, double cx, double cy, double rIn, double rOut) {
  if (rOut < 0) return;
  int64_t top = std::max(ceilIndex(cy - rOut - 0.5), spans.clip.y0);
  int64_t bottom = std::min(floorIndex(cy + rOut - 0.5) + 1, spans.clip.y1);
  for (int64_t j = top; j < bottom; ++j) {
    double dy = static_cast<double>(j) + 0.5 - cy;
    double outer = rOut * rOut - dy * dy;
    if (outer < 0) continue;
    double ho = std::sqrt(outer);
    double inner = rIn > 0 ? rIn * rIn - dy * dy : 0.0;
    if (inner > 0) {
      double hi = std::sqrt(inner);  // centres with |dx| < hi are inside the hole
      spans(j, ceilIndex(cx - ho - 0.5), floorIndex(cx - hi - 0.5) + 1);
      spans(j, ceilIndex(cx + hi - 0.5), floorIndex(cx + ho - 0.5) + 1);
    } else {
      spanOfCentres(spans, j, cx - ho, cx + ho);
    }
  }
}

// Wide strokes: capsules
// ============================================================================

// The capsule of radius r around the segment a-b: the two end discs and the
// band between them. It is convex, so each row meets it in one interval,
// the union of what the three pieces give.
//
//      ___________________
//     (a                 b)     disc at a, band, disc at b
//      -------------------
struct Capsule {
  double ax, ay, bx, by, r;
  double dx, dy, len2, rl;  // b - a, |b - a|^2, r |b - a|
  // Rows strictly between these lie more than half the pen and two pixels
  // from both ends: there only the two sides bound the row, by whole pixels
  // more than rounding could move, so the ends need not be computed.
  double middleTop = INFINITY, middleBottom = -INFINITY;

  Capsule(double ax_, double ay_, double bx_, double by_, double r_)
      : ax(ax_),
        ay(ay_),
        bx(bx_),
        by(by_),
        r(r_),
        dx(bx - ax),
        dy(by - ay),
        len2(dx * dx + dy * dy),
        rl(r * std::sqrt(len2)) {
    if (dy != 0) {
      middleTop = std::min(ay, by) + r + 2;
      middleBottom = std::max(ay, by) - r - 2;
    }
  }

  // The x interval [xl, xr] of the row y = yc inside the capsule.
  bool row(double yc, double& xl, double& xr) const {
    if (yc > middleTop && yc < middleBottom) {
      const double v = yc - ay;
      const double u0 = (v * dx - rl) / dy, u1 = (v * dx + rl) / dy;
      xl = ax + std::min(u0, u1);
      xr = ax + std::max(u0, u1);
      return true;
    }
    bool any = false;
    xl = INFINITY;
    xr = -INFINITY;
    disc(ax, ay, yc, xl, xr, any);
    disc(bx, by, yc, xl, xr, any);
    if (len2 > 0) {
      // With u = x - ax and v = yc - ay: 0 <= u dx + v dy <= len2 (between
      // the ends) and |v dx - u dy| <= r len (near the line).
      const double v = yc - ay;
      double lo = -INFINITY, hi = INFINITY;
      bool possible = true;
      if (dx != 0) {
        const double u0 = -v * dy / dx, u1 = (len2 - v * dy) / dx;
        lo = std::max(lo, std::min(u0, u1));
        hi = std::min(hi, std::max(u0, u1));
      } else {
        possible = v * dy >= 0 && v * dy <= len2;
      }
      if (dy != 0) {
        const double u0 = (v * dx - rl) / dy, u1 = (v * dx + rl) / dy;
        lo = std::max(lo, std::min(u0, u1));
        hi = std::min(hi, std::max(u0, u1));
      } else {
        possible = possible && std::abs(v * dx) <= rl;
      }
      if (possible && lo <= hi) {
        xl = std::min(xl, ax + lo);
        xr = std::max(xr, ax + hi);
        any = true;
      }
    }
    return any;
  }

  void disc(double cx, double cy, double yc, double& xl, double& xr, bool& any) const {
    const double d = yc - cy;
    const double q = r * r - d * d;
    if (q < 0) return;
    const double half = std::sqrt(q);
    xl = std::min(xl, cx - half);
    xr = std::max(xr, cx + half);
    any = true;
  }
};

// Below this size every product and quotient a horizontal or vertical
// capsule's row takes is exact, so the short forms in rasterCapsule give
// the very same spans as Capsule::row.
constexpr double kExactStroke = 1 << 20;

template <class Spans>
void rasterCapsule(const Spans& spans, double ax, double ay, double bx, double by, double r) {
  const PixelRect& clip = spans.clip;
  if (std::min(ax, bx) - r > static_cast<double>(clip.x1) + 1 ||
      std::max(ax, bx) + r < static_cast<double>(clip.x0) - 1) {
    return;
  }
  const int64_t top = std::max(ceilIndex(std::min(ay, by) - r - 0.5), clip.y0);
  const int64_t bottom = std::min(floorIndex(std::max(ay, by) + r - 0.5) + 1, clip.y1);
  if (top >= bottom) return;
  const bool small =
      std::abs(bx - ax) < kExactStroke && std::abs(by - ay) < kExactStroke && r < kExactStroke;
  if (small && ay == by) {
    // Horizontal: each row is the span between the end discs' outer sides.
    const double left = std::min(ax, bx), right = std::max(ax, bx);
    for (int64_t j = top; j < bottom; ++j) {
      const double v = static_cast<double>(j) + 0.5 - ay, q = r * r - v * v;
      if (q < 0) continue;
      const double half = std::sqrt(q);
      spanOfCentres(spans, j, left - half, right + half);
    }
    return;
  }
  const Capsule capsule(ax, ay, bx, by, r);
  double xl = 0, xr = 0;
  if (small && ax == bx) {
    // Vertical: the pen's full width between the ends, the discs beyond them.
    const double upper = std::min(ay, by), lower = std::max(ay, by);
    for (int64_t j = top; j < bottom; ++j) {
      const double yc = static_cast<double>(j) + 0.5;
      if (yc >= upper && yc <= lower) {
        spanOfCentres(spans, j, ax - r, ax + r);
      } else if (capsule.row(yc, xl, xr)) {
        spanOfCentres(spans, j, xl, xr);
      }
    }
    return;
  }
  for (int64_t j = top; j < bottom; ++j) {
    if (capsule.row(static_cast<double>(j) + 0.5, xl, xr)) spanOfCentres(spans, j, xl, xr);
  }
}

// The elliptical arc (cx + a cos t, cy + b sin t) for t from `start` down to
// start - sweep, as a polyline no farther than kArcTolerance from it, each
// piece stroked as a capsule of radius r.
template <class Spans>
void rasterArcStroke(const Spans& spans, double cx, double cy, double a, double b, double start,
                     double sweep, double r) {
  constexpr double kPi = std::numbers::pi;
  double radius = std::max(a, b);
  double step = radius > kArcTolerance ? 2.0 * std::acos(1.0 - kArcTolerance / radius) : 2.0 * kPi;
  auto segments = static_cast<int64_t>(std::ceil(sweep / step));
  segments = std::clamp<int64_t>(segments, 1, kMaxArcSegments);
  // Point k of the polyline, at t = start - sweep k / segments.
  auto point = [&](int64_t k, double& x, double& y) {
    const double t = start - sweep * static_cast<double>(k) / static_cast<double>(segments);
    x = cx + a * std::cos(t);
    y = cy + b * std::sin(t);
  };
  // Segments k0..k1, segment k from point k - 1 to point k.
  auto stroke = [&](int64_t k0, int64_t k1) {
    double px, py, qx, qy;
    point(k0 - 1, px, py);
    for (int64_t k = k0; k <= k1; ++k) {
      point(k, qx, qy);
      rasterCapsule(spans, px, py, qx, qy, r);
      px = qx;
      py = qy;
    }
  };
  // A long arc crossing a band: only the segments whose part of the arc
  // comes near the band's rows (the pen and two pixels around them) can
  // reach it. That part is where sin t lies in [sl, sh]: t in [lo, hi] and
  // [pi - hi, pi - lo], every 2 pi; a segment or two more on each side
  // covers rounding.
  const double ylo = static_cast<double>(spans.clip.y0) - r - 2.0;
  const double yhi = static_cast<double>(spans.clip.y1) + r + 2.0;
  if (segments < 64 || b <= 0.0 || (cy - b >= ylo && cy + b <= yhi)) {
    stroke(1, segments);
    return;
  }
  if (cy + b < ylo || cy - b > yhi) return;  // the band misses the whole ellipse
  const double lo = std::asin(std::clamp((ylo - cy) / b, -1.0, 1.0));
  const double hi = std::asin(std::clamp((yhi - cy) / b, -1.0, 1.0));
  const double perT = static_cast<double>(segments) / sweep;
  const double end = start - sweep;
  std::array<std::pair<int64_t, int64_t>, 16> ranges;
  size_t count = 0;
  const auto firstTurn = static_cast<int64_t>(std::floor((end - kPi) / (2.0 * kPi))) - 1;
  const auto lastTurn = static_cast<int64_t>(std::ceil(start / (2.0 * kPi))) + 1;
  if (lastTurn - firstTurn + 1 > static_cast<int64_t>(ranges.size() / 2)) {
    stroke(1, segments);  // more turns than ranges kept: no arc the canvas makes
    return;
  }
  for (int64_t m = firstTurn; m <= lastTurn; ++m) {
    const double turn = 2.0 * kPi * static_cast<double>(m);
    for (auto [u0, u1] :
         {std::pair{lo + turn, hi + turn}, std::pair{kPi - hi + turn, kPi - lo + turn}}) {
      if (u1 < end || u0 > start) continue;
      // Segment k covers t from start - k / perT to start - (k - 1) / perT.
      const auto k0 =
          std::max<int64_t>(1, static_cast<int64_t>(std::floor((start - u1) * perT)) - 1);
      const auto k1 =
          std::min<int64_t>(segments, static_cast<int64_t>(std::ceil((start - u0) * perT)) + 2);
      if (k0 <= k1) ranges[count++] = {k0, k1};
    }
  }
  std::sort(ranges.begin(), ranges.begin() + static_cast<std::ptrdiff_t>(count));
  int64_t done = 0;  // segments 1..done are stroked
  for (size_t i = 0; i < count; ++i) {
    const int64_t k0 = std::max(ranges[i].first, done + 1);
    if (k0 <= ranges[i].second) stroke(k0, ranges[i].second);
    done = std::max(done, ranges[i].second);
  }
}

// Thin lines: Bresenham
// ============================================================================

// Pixel k (0 <= k < dMajor) of a line from p0 lies at major offset k and
// minor offset floor((2 k dMinor + dMajor) / (2 dMajor)), in the line's
// directions. The filler steps k with the error term `rest`, the remainder
// of that division.
//
//   x-major:  ##          y-major:  #
//               ###                  #
//                  ###                #
struct LineSteps {
  int64_t k = 0, kEnd = 0;  // pixels k..kEnd
  int64_t o = 0;            // minor offset of pixel k
  int64_t rest = 0;         // (2 k dMinor + dMajor) mod 2 dMajor
};

// For a line that leaves the clip: its pixels inside `clip` (given on the
// line's own axes, major as x and minor as y), found by solving for k, so
// that a line far longer than the image costs only its visible part. False
// when none is visible.
bool clipLineSteps(int64_t dMajor, int64_t dMinor, int64_t sMajor, int64_t sMinor, PixelPoint start,
                   PixelRect clip, LineSteps& steps) {
  // k range from the major axis clip.
  Int128 kLo = sMajor > 0 ? clip.x0 - start.x : start.x - (clip.x1 - 1);
  Int128 kHi = sMajor > 0 ? (clip.x1 - 1) - start.x : start.x - clip.x0;
  // Minor offsets o allowed by the minor axis clip.
  const Int128 oLo = sMinor > 0 ? clip.y0 - start.y : start.y - (clip.y1 - 1);
  const Int128 oHi = sMinor > 0 ? (clip.y1 - 1) - start.y : start.y - clip.y0;
  const Int128 twoMajor = Int128{2} * dMajor, twoMinor = Int128{2} * dMinor;
  if (dMinor == 0) {
    if (oLo > 0 || oHi < 0) return false;
  } else {
    // o(k) >= oLo  <=>  2 k dMinor + dMajor >= 2 dMajor oLo
    kLo = std::max(kLo, ceilDiv<Int128>(twoMajor * oLo - dMajor, twoMinor));
    // o(k) <= oHi  <=>  2 k dMinor + dMajor < 2 dMajor (oHi + 1)
    kHi = std::min(kHi, ceilDiv<Int128>(twoMajor * (oHi + 1) - dMajor, twoMinor) - 1);
  }
  kLo = std::max<Int128>(kLo, 0);
  kHi = std::min<Int128>(kHi, dMajor - 1);
  if (kLo > kHi) return false;
  const Int128 numerator = twoMinor * kLo + dMajor;
  steps = {static_cast<int64_t>(kLo), static_cast<int64_t>(kHi),
           static_cast<int64_t>(numerator / twoMajor), static_cast<int64_t>(numerator % twoMajor)};
  return true;
}

template <class Spans>
void rasterThinLine(const Spans& spans, PixelPoint p0, PixelPoint p1) {
  const int64_t dx = p1.x - p0.x, dy = p1.y - p0.y;
  if (dx == 0 && dy == 0) return;
  const bool xMajor = std::abs(dx) >= std::abs(dy);
  const int64_t dMajor = xMajor ? std::abs(dx) : std::abs(dy);
  const int64_t dMinor = xMajor ? std::abs(dy) : std::abs(dx);
  const int64_t sMajor = (xMajor ? dx : dy) < 0 ? -1 : 1;
  const int64_t sMinor = (xMajor ? dy : dx) < 0 ? -1 : 1;
  const int64_t major0 = xMajor ? p0.x : p0.y, minor0 = xMajor ? p0.y : p0.x;
  const PixelRect& c = spans.clip;

  // Every pixel lies in the box of the end points: none is visible when that
  // box misses the clip, all are when it lies inside.
  const PixelRect box{std::min(p0.x, p1.x), std::min(p0.y, p1.y), std::max(p0.x, p1.x) + 1,
                      std::max(p0.y, p1.y) + 1};
  if (box.intersected(c).empty()) return;
  LineSteps steps{0, dMajor - 1, 0, dMajor};
  if (box.intersected(c) != box) {
    // The clip on the line's own axes.
    const PixelRect axes = xMajor ? c : PixelRect{c.y0, c.x0, c.y1, c.x1};
    if (!clipLineSteps(dMajor, dMinor, sMajor, sMinor, {major0, minor0}, axes, steps)) return;
  }
  auto [k, kEnd, o, rest] = steps;
  const int64_t stepRest = 2 * dMinor, wrap = 2 * dMajor;

  if (xMajor) {
    // Runs of pixels on one row become one span.
    int64_t runRow = minor0 + sMinor * o, runFrom = major0 + sMajor * k, runTo = runFrom;
    for (; k <= kEnd; ++k) {
      const int64_t x = major0 + sMajor * k, y = minor0 + sMinor * o;
      if (y != runRow) {
        spans(runRow, std::min(runFrom, runTo), std::max(runFrom, runTo) + 1);
        runRow = y;
        runFrom = x;
      }
      runTo = x;
      rest += stepRest;
      if (rest >= wrap) rest -= wrap, ++o;
    }
    spans(runRow, std::min(runFrom, runTo), std::max(runFrom, runTo) + 1);
  } else {
    // Steps k..kEnd all lie inside the clip (cut to it above).
    for (; k <= kEnd; ++k) {
      spans.pixel(major0 + sMajor * k, minor0 + sMinor * o);
      rest += stepRest;
      if (rest >= wrap) rest -= wrap, ++o;
    }
  }
}

// Stamps
// ============================================================================

// Copies the stamp's exposed pixels onto `area` of the target, a target word
// at a time. Target word w (surface columns 32 w .. 32 w + 31) takes the 32
// stamp pixels from stamp column 32 (w + kOff) + shift on, which straddle
// stamp words w + kOff and w + kOff + 1 (MSB-first: a funnel shift). Stamp
// pixels outside the stamp read as background.
template <class Op>
void transferBits(const BandBitmap& stamp, int64_t left, int64_t top, const PixelRect& area,
                  PixelPoint origin, BandBitmap& target) {
  const int64_t dx0 = area.x0 - origin.x, dx1 = area.x1 - origin.x;  // surface columns
  const int64_t w0 = dx0 >> 5, w1 = (dx1 - 1) >> 5;
  const int64_t offset = origin.x - left;  // stamp column of surface column 0
  const int64_t kOff = floorDiv<int64_t>(offset, 32);
  const auto shift = static_cast<unsigned>(offset - 32 * kOff);
  const auto words = static_cast<int64_t>(stamp.wordsPerRow());
  const uint32_t firstMask = spanMask(static_cast<unsigned>(dx0 & 31), 32);
  const uint32_t lastMask = spanMask(0, static_cast<unsigned>(((dx1 - 1) & 31) + 1));
  for (int64_t y = area.y0; y < area.y1; ++y) {
    const uint32_t* src = stamp.rowWords(y - top);
    uint32_t* dst = target.rowWords(y - origin.y);
    auto word = [&](int64_t k) { return k >= 0 && k < words ? fromMemoryOrder(src[k]) : ~0u; };
    auto exposed = [&](int64_t w) {  // the stamp's exposed pixels over target word w
      const int64_t k = w + kOff;
      return ~(shift == 0 ? word(k) : (word(k) << shift) | (word(k + 1) >> (32 - shift)));
    };
    Op::apply(dst[w0], toMemoryOrder(exposed(w0) & firstMask & (w0 == w1 ? lastMask : ~0u)));
    if (w0 == w1) continue;
    // Inner words whose two stamp words both lie inside the stamp row.
    const int64_t innerFrom = std::max(w0 + 1, -kOff);
    const int64_t innerTo = std::min(w1 - 1, words - 2 - kOff);
    int64_t w = w0 + 1;
    for (; w < innerFrom; ++w) Op::apply(dst[w], toMemoryOrder(exposed(w)));
    if (shift == 0) {
      for (; w <= innerTo; ++w) Op::apply(dst[w], ~src[w + kOff]);
    } else {
      for (; w <= innerTo; ++w) {
        const uint32_t a = fromMemoryOrder(src[w + kOff]), b = fromMemoryOrder(src[w + kOff + 1]);
        Op::apply(dst[w], toMemoryOrder(~((a << shift) | (b >> (32 - shift)))));
      }
    }
    for (; w < w1; ++w) Op::apply(dst[w], toMemoryOrder(exposed(w)));
    Op::apply(dst[w1], toMemoryOrder(exposed(w1) & lastMask));
  }
}

}  // namespace

// PixelRect
// ============================================================================

PixelRect PixelRect::intersected(const PixelRect& o) const {
  PixelRect r{std::max(x0, o.x0), std::max(y0, o.y0), std::min(x1, o.x1), std::min(y1, o.y1)};
  return r.empty() ? PixelRect{} : r;
}

PixelRect PixelRect::united(const PixelRect& o) const {
  if (o.empty()) return *this;
  if (empty()) return o;
  return {std::min(x0, o.x0), std::min(y0, o.y0), std::max(x1, o.x1), std::max(y1, o.y1)};
}

// Canvas - State
// ============================================================================

Canvas::Canvas(BandBitmap& band)
    : band_(&band),
      surfaceWidth_(band.width_px()),
      surfaceRows_(band.rows()),
      clip_{0, 0, band.width_px(), band.rows()},
      origin_{0, band.topRow()} {}

Canvas::Canvas(RgbSurface& surface)
    : rgb_(&surface),
      surfaceWidth_(surface.width_px()),
      surfaceRows_(surface.rows()),
      clip_{0, 0, surface.width_px(), surface.rows()},
      origin_{0, surface.topRow()} {}

Canvas::Canvas(CanvasRecorder& recorder, int64_t width_px, int64_t rows)
    : recorder_(&recorder),
      surfaceWidth_(std::clamp<int64_t>(width_px, 0, kCoordinateLimit)),
      surfaceRows_(std::clamp<int64_t>(rows, 0, kCoordinateLimit)),
      clip_{0, 0, surfaceWidth_, surfaceRows_} {}

void Canvas::setPenWidth(int64_t width_px) {
  state_.penWidth_px = std::clamp<int64_t>(width_px, 0, kCoordinateLimit);
}

void Canvas::setState(const CanvasState& state) {
  state_ = state;
  setPenWidth(state.penWidth_px);
}

void Canvas::setWindowOrigin(int64_t x, int64_t y) {
  origin_ = {clampCoordinate(x), clampCoordinate(y)};
}

void Canvas::setClipRect(const PixelRect& rect) {
  clip_ = rect.intersected({0, 0, surfaceWidth_, surfaceRows_});
}

void Canvas::resetClip() {
  clip_ = {0, 0, surfaceWidth_, surfaceRows_};
}

PixelRect Canvas::imageClip() const {
  return {clip_.x0 + origin_.x, clip_.y0 + origin_.y, clip_.x1 + origin_.x, clip_.y1 + origin_.y};
}

template <class Draw>
void Canvas::withSpans(Rgb colour, Draw&& draw) {
  PixelRect clip = imageClip();
  if (clip.empty()) return;
  if (band_) {
    if (colour == kWhite) {
      draw(BitSpans<BackgroundOp>{clip, origin_, band_->rowWords(0), band_->wordsPerRow()});
    } else {
      draw(BitSpans<ExposeOp>{clip, origin_, band_->rowWords(0), band_->wordsPerRow()});
    }
  } else {
    draw(RgbSpans{clip, origin_, rgb_->row(0), static_cast<size_t>(surfaceWidth_), colour});
  }
}

// Canvas - Filled shapes
// ============================================================================

void Canvas::PolygonEdge::start(int64_t j) {
  // Products of two coordinate differences fit 63 bits.
  const int64_t num = (j - yTop) * dx;
  q = floorDiv<int64_t>(num, dy);
  r = num - q * dy;
  stepQ = floorDiv<int64_t>(dx, dy);
  stepR = dx - stepQ * dy;
}

void Canvas::fillRect(int64_t x1, int64_t y1, int64_t x2, int64_t y2) {
  const BoxOp box = clampedBox(x1, y1, x2, y2);
  drawOrRecord(CanvasOp(FillRectOp{box}), boxReach(box, 0));
}

void Canvas::fillEllipse(int64_t x1, int64_t y1, int64_t x2, int64_t y2) {
  const BoxOp box = clampedBox(x1, y1, x2, y2);
  drawOrRecord(CanvasOp(FillEllipseOp{box}), boxReach(box, 0));
}

void Canvas::ellipse(int64_t x1, int64_t y1, int64_t x2, int64_t y2) {
  const BoxOp box = clampedBox(x1, y1, x2, y2);
  drawOrRecord(CanvasOp(EllipseOp{box}), boxReach(box, strokeMargin(state_.penWidth_px)));
}

// Even-odd rule on pixel centres with every vertex at p + 0.5: the same as
// testing whole-number points (i, j) against the polygon through the whole
// vertices. Row j meets each edge with yTop <= j < yEnd (half-open, so a
// vertex is counted once) at x = xTop + (j - yTop) dx / dy, and the pixels
// ceil(x_2k) <= i < ceil(x_2k+1) are inside.
void Canvas::fillPolygon(std::span<const PixelPoint> points) {
  // A point equal to the one before it only adds a segment of no length,
  // which neither crosses a row nor draws outline: it is left out. Region
  // arcs at low resolutions repeat their points many times.
  const PixelRect box = clampPoints(points, true);
  drawOrRecord(CanvasOp(PolygonOp{clampedPoints_, std::nullopt}),
               box);  // fill and outline lie in the box
}

void Canvas::fillPolygon(std::span<const PixelPoint> points, std::span<const uint32_t> segments) {
  const PixelRect box = clampPoints(points, false);  // segments count the points as given
  drawOrRecord(CanvasOp(PolygonOp{clampedPoints_, segments}), box);
}

PixelRect Canvas::clampPoints(std::span<const PixelPoint> points, bool dropRepeats) {
  clampedPoints_.clear();
  PixelRect box{kCoordinateLimit, kCoordinateLimit, -kCoordinateLimit, -kCoordinateLimit};
  for (const PixelPoint& point : points) {
    const PixelPoint p{clampCoordinate(point.x), clampCoordinate(point.y)};
    if (dropRepeats && !clampedPoints_.empty() && clampedPoints_.back() == p) continue;
    clampedPoints_.push_back(p);
    box = {std::min(box.x0, p.x), std::min(box.y0, p.y), std::max(box.x1, p.x + 1),
           std::max(box.y1, p.y + 1)};
  }
  if (dropRepeats && clampedPoints_.size() > 1 && clampedPoints_.back() == clampedPoints_.front()) {
    clampedPoints_.pop_back();
  }
  return box;
}

void Canvas::fillSegments(std::span<const PixelPoint> points, std::span<const uint32_t> segments,
                          bool all) {
  const size_t n = points.size();
  const size_t count = all ? n : segments.size();
  // Segment c runs from point k to the next one (the last back to the first).
  auto segment = [&](size_t c, PixelPoint& a, PixelPoint& b) {
    const size_t k = all ? c : segments[c];
    a = points[k];
    b = points[k + 1 == n ? 0 : k + 1];
  };

  // Only edges meeting the clip's rows can cross a row that is drawn, so a
  // band of a large polygon sorts only the edges that reach it.
  const PixelRect clip = imageClip();
  edges_.clear();
  PixelPoint a, b;
  for (size_t c = 0; c < count; ++c) {
    segment(c, a, b);
    if (a.y == b.y) continue;
    if (a.y > b.y) std::swap(a, b);
    if (b.y <= clip.y0 || a.y >= clip.y1) continue;
    edges_.push_back({a.y, b.y, a.x, b.x - a.x, b.y - a.y});
  }
  std::sort(edges_.begin(), edges_.end(),
            [](const PolygonEdge& l, const PolygonEdge& r) { return l.yTop < r.yTop; });

  withSpans(state_.brushColor, [&](const auto& spans) {
    if (edges_.empty()) return;
    int64_t yEnd = edges_.front().yEnd;
    for (const PolygonEdge& e : edges_) yEnd = std::max(yEnd, e.yEnd);
    activeEdges_.clear();
    crossings_.resize(edges_.size());
    int64_t* crossings = crossings_.data();
    size_t next = 0;
    const int64_t bottom = std::min(yEnd, spans.clip.y1);
    for (int64_t j = std::max(edges_.front().yTop, spans.clip.y0); j < bottom; ++j) {
      while (next < edges_.size() && edges_[next].yTop <= j) {
        PolygonEdge& e = edges_[next++];
        if (e.yEnd > j) {
          e.start(j);
          activeEdges_.push_back(&e);
        }
      }
      // The crossings of the edges that reach row j; the others leave.
      size_t count = 0;
      for (PolygonEdge* e : activeEdges_) {
        if (e->yEnd <= j) continue;
        crossings[count] = e->ceilX();
        e->step();
        activeEdges_[count++] = e;
      }
      activeEdges_.resize(count);
      if (count == 2) {
        const int64_t left = std::min(crossings[0], crossings[1]);
        crossings[1] = std::max(crossings[0], crossings[1]);
        crossings[0] = left;
      } else {
        std::sort(crossings, crossings + count);
      }
      for (size_t k = 0; k + 1 < count; k += 2) spans(j, crossings[k], crossings[k + 1]);
    }
  });

  withSpans(state_.penColor, [&](const auto& spans) {
    for (size_t c = 0; c < count; ++c) {
      segment(c, a, b);
      if (std::max(a.y, b.y) < spans.clip.y0 || std::min(a.y, b.y) >= spans.clip.y1) continue;
      rasterThinLine(spans, a, b);
    }
  });
}

// Canvas - Lines and arcs
// ============================================================================

void Canvas::moveTo(int64_t x, int64_t y) {
  position_ = {clampCoordinate(x), clampCoordinate(y)};
}

void Canvas::lineTo(int64_t x, int64_t y) {
  const LineOp line{position_, {clampCoordinate(x), clampCoordinate(y)}};
  const int64_t w = state_.penWidth_px;
  drawOrRecord(CanvasOp(line), boxReach({line.from.x, line.from.y, line.to.x, line.to.y},
                                        w <= 1 ? 0 : strokeMargin(w), 1));
  position_ = line.to;
}

void Canvas::strokeSegment(PixelPoint from, PixelPoint to) {
  const int64_t w = state_.penWidth_px;
  if (w <= 1) {
    withSpans(state_.penColor, [&](const auto& spans) { rasterThinLine(spans, from, to); });
    return;
  }
  const double shift = (w % 2 == 1) ? 0.5 : 0.0;
  const double r = static_cast<double>(w) / 2.0;
  withSpans(state_.penColor, [&](const auto& spans) {
    rasterCapsule(spans, static_cast<double>(from.x) + shift, static_cast<double>(from.y) + shift,
                  static_cast<double>(to.x) + shift, static_cast<double>(to.y) + shift, r);
  });
}

void Canvas::arc(int64_t x1, int64_t y1, int64_t x2, int64_t y2, int64_t x3, int64_t y3, int64_t x4,
                 int64_t y4) {
  BoxOp box = clampedBox(x1, y1, x2, y2);
  if (box.x1 > box.x2) std::swap(box.x1, box.x2);
  if (box.y1 > box.y2) std::swap(box.y1, box.y2);
  const ArcOp arc{
      box, {clampCoordinate(x3), clampCoordinate(y3)}, {clampCoordinate(x4), clampCoordinate(y4)}};
  drawOrRecord(CanvasOp(arc), arcReach(arc, state_.penWidth_px));
}

void Canvas::strokeArc(BoxOp box, double start, double sweep) {
  auto [x1, y1, x2, y2] = box;
  if (x1 > x2) std::swap(x1, x2);
  if (y1 > y2) std::swap(y1, y2);
  if (x1 == x2 || y1 == y2) return;
  const int64_t w = std::max<int64_t>(state_.penWidth_px, 1);
  const double shift = (w % 2 == 1) ? 0.5 : 0.0;
  const double r = static_cast<double>(w) / 2.0;
  const double cx = (static_cast<double>(x1) + static_cast<double>(x2)) / 2.0 + shift;
  const double cy = (static_cast<double>(y1) + static_cast<double>(y2)) / 2.0 + shift;
  const double a = static_cast<double>(x2 - x1) / 2.0, b = static_cast<double>(y2 - y1) / 2.0;
  const bool full = sweep >= 2.0 * std::numbers::pi;
  withSpans(state_.penColor, [&](const auto& spans) {
    if (full && a == b) {
      rasterRing(spans, cx, cy, a - r, a + r);
    } else {
      rasterArcStroke(spans, cx, cy, a, b, start, sweep, r);
    }
  });
}

// Canvas - Pixels and stamps
// ============================================================================

void Canvas::setPixel(int64_t x, int64_t y, Rgb colour) {
  // Every surface lies within the clamping limits, so a pixel beyond them
  // is outside it.
  if (x != clampCoordinate(x) || y != clampCoordinate(y)) return;
  drawOrRecord(CanvasOp(PixelOp{{x, y}, colour}), {x, y, x + 1, y + 1});
}

void Canvas::transferStamp(const BandBitmap& stamp, int64_t left, int64_t top, Rgb colour) {
  const StampOp op{&stamp, {clampCoordinate(left), clampCoordinate(top)}, colour};
  drawOrRecord(CanvasOp(op), stampReach(op.topLeft, stamp.width_px(), stamp.rows()));
}

void Canvas::drawStamp(const StampOp& op) {
  const BandBitmap& stamp = *op.stamp;
  const auto [left, top] = op.topLeft;
  const PixelRect area =
      stampReach(op.topLeft, stamp.width_px(), stamp.rows()).intersected(imageClip());
  if (area.empty()) return;
  if (band_) {
    if (op.colour == kWhite) {
      transferBits<BackgroundOp>(stamp, left, top, area, origin_, *band_);
    } else {
      transferBits<ExposeOp>(stamp, left, top, area, origin_, *band_);
    }
    return;
  }
  for (int64_t y = area.y0; y < area.y1; ++y) {
    Rgb* row = rgb_->row(y - origin_.y);
    for (int64_t x = area.x0; x < area.x1; ++x) {
      if (!stamp.isBackground(x - left, y - top)) row[x - origin_.x] = op.colour;
    }
  }
}

void Canvas::drawShape(const StampedShape& shape, int64_t left, int64_t top, Rgb colour) {
  const ShapeOp op{&shape, {clampCoordinate(left), clampCoordinate(top)}, colour};
  drawOrRecord(CanvasOp(op), stampReach(op.topLeft, shape.width_px(), shape.rows()));
}

void Canvas::drawStampedShape(const ShapeOp& op) {
  const StampedShape& shape = *op.shape;
  const PixelRect area =
      stampReach(op.topLeft, shape.width_px(), shape.rows()).intersected(imageClip());
  if (area.empty()) return;
  if (std::shared_ptr<const BandBitmap> bits = shape.cache().get(shape, imageClip().height())) {
    drawStamp({bits.get(), op.topLeft, op.colour});
    return;
  }
  // Not kept: the part of the stamp that this canvas draws (its rows and
  // columns: a stamp far wider than the canvas costs only what it shows),
  // made now.
  BandBitmap part(area.width(), area.height());
  shape.drawRows(part, area.y0 - op.topLeft.y, area.x0 - op.topLeft.x);
  drawStamp({&part, {area.x0, area.y0}, op.colour});
}

// Canvas - Recording, drawing and replay
// ============================================================================

void Canvas::drawOrRecord(CanvasOp op, const PixelRect& reach) {
  const PixelRect touched = reach.intersected(imageClip());
  if (touched.empty()) return;
  if (!recorder_) {
    markDrawn(touched);
    draw(op);
    return;
  }
  // Image pixels are surface pixels: the primitive's coordinates minus the origin.
  op.bounds = {touched.x0 - origin_.x, touched.y0 - origin_.y, touched.x1 - origin_.x,
               touched.y1 - origin_.y};
  op.state = state_;
  op.origin = origin_;
  recorder_->record(op);
}

void Canvas::markDrawn(const PixelRect& reach) {
  if (!band_) return;
  const PixelRect r = reach.intersected(imageClip());
  if (r.empty()) return;
  const auto first = static_cast<size_t>((r.x0 - origin_.x) >> 5);
  const auto end = static_cast<size_t>(((r.x1 - 1 - origin_.x) >> 5) + 1);
  band_->markDrawn(r.y0 - origin_.y, r.y1 - origin_.y, first, end);
}

void Canvas::draw(const CanvasOp& op) {
  const CanvasOp::Payload& payload = op.payload;
  switch (op.kind()) {
    case CanvasOp::Kind::FillRect: {
      const BoxOp& b = std::get<FillRectOp>(payload);
      withSpans(state_.brushColor,
                [&](const auto& spans) { rasterRect(spans, b.x1, b.y1, b.x2, b.y2); });
      break;
    }
    case CanvasOp::Kind::FillEllipse:
      fillEllipseBox(std::get<FillEllipseOp>(payload));
      break;
    case CanvasOp::Kind::Ellipse:
      fillEllipseBox(std::get<EllipseOp>(payload));
      strokeArc(std::get<EllipseOp>(payload), 0.0, 2.0 * std::numbers::pi);
      break;
    case CanvasOp::Kind::Polygon: {
      const PolygonOp& polygon = std::get<PolygonOp>(payload);
      if (polygon.segments) {
        fillSegments(polygon.points, *polygon.segments, false);
      } else {
        fillSegments(polygon.points, {}, true);
      }
      break;
    }
    case CanvasOp::Kind::Line:
      strokeSegment(std::get<LineOp>(payload).from, std::get<LineOp>(payload).to);
      break;
    case CanvasOp::Kind::Arc: {
      const ArcOp& arc = std::get<ArcOp>(payload);
      const ArcPath path = arcPath(arc);
      strokeArc(arc.box, path.start, path.sweep);
      break;
    }
    case CanvasOp::Kind::Pixel: {
      const PixelOp& pixel = std::get<PixelOp>(payload);
      withSpans(pixel.colour,
                [&](const auto& spans) { spans(pixel.at.y, pixel.at.x, pixel.at.x + 1); });
      break;
    }
    case CanvasOp::Kind::Stamp:
      if (std::get<StampOp>(payload).stamp) drawStamp(std::get<StampOp>(payload));
      break;
    case CanvasOp::Kind::Shape:
      if (std::get<ShapeOp>(payload).shape) drawStampedShape(std::get<ShapeOp>(payload));
      break;
  }
}

void Canvas::fillEllipseBox(const BoxOp& b) {
  withSpans(state_.brushColor,
            [&](const auto& spans) { rasterEllipse(spans, b.x1, b.y1, b.x2, b.y2); });
}

void Canvas::replay(const CanvasOp& op) {
  const PixelPoint savedOrigin = origin_;
  const CanvasState savedState = state_;
  setWindowOrigin(savedOrigin.x + op.origin.x, savedOrigin.y + op.origin.y);
  setState(op.state);
  // The recorded bounds are image pixels of the recording: its coordinates
  // less its origin.
  markDrawn({op.bounds.x0 + op.origin.x, op.bounds.y0 + op.origin.y, op.bounds.x1 + op.origin.x,
             op.bounds.y1 + op.origin.y});
  draw(op);  // recorded clamped
  origin_ = savedOrigin;
  state_ = savedState;
}

}  // namespace drumplot
