// SPDX-License-Identifier: MIT
// Aperture flashes: standard apertures, macro primitives and aperture-file
// shapes turned into shape steps, drawn directly or through a stamp, each
// under the transform it is flashed with.
#include "engine/shape_rasterizer.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <string>

#include "engine/rounding.h"
#include "engine/text.h"

namespace drumplot {

namespace {

constexpr double kPi = std::numbers::pi;
// More rings than this are never drawn by a moire (they would be
// indistinguishable from fewer at any resolution).
constexpr int64_t kMaxMoireRings = 100000;
// Vertex counts of polygon apertures and macro polygons are held in a byte.
constexpr int64_t kMaxPolygonVertices = 255;

double toRadians(double degrees) {
  return degrees / 360 * 2 * kPi;
}

// Turns (x, y) about the origin, counterclockwise in file coordinates.
void rotate(double& x, double& y, double radians) {
  const double c = std::cos(radians), s = std::sin(radians);
  const double rx = x * c - y * s;
  y = x * s + y * c;
  x = rx;
}

int64_t roundPx(double v) {
  return roundHalfEven(v);
}

// File units to pixels under the aperture's transform: a point p goes to
// round(m(p) x s x u); sizes scale by m's own scale k. With no transform
// every value is exactly v x s x u, rounded.
struct Frame {
  double s;   // pixels per inch
  double u;   // inches per file unit
  Linear2 m;  // the aperture's transform, a turn (maybe mirrored) times k
  double k = 1.0;

  Frame(double pixelsPerInch, double unitScale, const Linear2& transform)
      : s(pixelsPerInch), u(unitScale), m(transform), k(std::sqrt(std::fabs(transform.det()))) {}

  double px(double v) const { return v * s * u * k; }
  int64_t full(double v) const { return roundPx(px(v)); }
  int64_t half(double v) const { return roundPx(px(v) / 2); }
  PixelPoint point(double x, double y) const {
    m.apply(x, y);
    return {roundPx(x * s * u), roundPx(y * s * u)};
  }
  // The transform keeps the axes (quarter turns and mirrors only).
  bool axisAligned() const { return (m.xy == 0.0 && m.yx == 0.0) || (m.xx == 0.0 && m.yy == 0.0); }
  bool swapsAxes() const { return m.xx == 0.0 && m.yy == 0.0; }
  // A whole-pixel offset turned with the transform (axis-aligned transforms only).
  PixelPoint turn(int64_t dx, int64_t dy) const {
    auto sign = [](double v) { return v > 0 ? int64_t{1} : v < 0 ? int64_t{-1} : int64_t{0}; };
    return {sign(m.xx) * dx + sign(m.xy) * dy, sign(m.yx) * dx + sign(m.yy) * dy};
  }
  // The direction at `radians` from +X, turned with the transform.
  double angle(double radians) const {
    double x = std::cos(radians), y = std::sin(radians);
    m.apply(x, y);
    return std::atan2(y, x);
  }
};

// The modifier values of a standard aperture: its modifier text after the
// shape letter and separator, split at each "X"; at most 20 values of at
// most 20 characters. A trailing "X" adds no value; values not given are 0.
struct ModifierValues {
  static constexpr int kMax = 20;
  std::array<double, kMax + 1> value{};  // value[1..count]
  int count = 0;

  double operator[](int i) const { return i >= 1 && i <= kMax ? value[i] : 0.0; }
  void add(double v) {
    if (count < kMax) value[++count] = v;
  }
};

ModifierValues readModifierValues(std::string_view modifiers) {
  ModifierValues m;
  std::string_view rest = modifiers.size() > 2 ? modifiers.substr(2) : std::string_view{};
  while (!rest.empty() && m.count < ModifierValues::kMax) {
    size_t x = rest.find('X');
    std::string text(rest.substr(0, std::min<size_t>(x, 20)));
    rest = x == std::string_view::npos ? std::string_view{} : rest.substr(x + 1);
    if (!text.empty() && text[0] == '.') text = "0" + text;
    m.add(decimalOrZero(text));
  }
  return m;
}

// Appends steps, relative to the flash centre.
struct StepWriter {
  ShapeSteps& steps;

  void rect(bool exposed, int64_t x1, int64_t y1, int64_t x2, int64_t y2) {
    steps.push_back({ShapeStep::Kind::Rect, exposed, x1, y1, x2, y2, 1, {}});
  }
  void ellipse(bool exposed, int64_t x1, int64_t y1, int64_t x2, int64_t y2) {
    steps.push_back({ShapeStep::Kind::Ellipse, exposed, x1, y1, x2, y2, 1, {}});
  }
  void disc(bool exposed, PixelPoint c, int64_t r) {
    ellipse(exposed, c.x - r, c.y - r, c.x + r, c.y + r);
  }
  void polygon(bool exposed, std::vector<PixelPoint> points) {
    steps.push_back({ShapeStep::Kind::Polygon, exposed, 0, 0, 0, 0, 1, std::move(points)});
  }
  // Ring or outline of the circle of radius m about (cx, cy).
  void circleStroke(ShapeStep::Kind kind, int64_t cx, int64_t cy, int64_t m, int64_t width_px) {
    steps.push_back({kind, true, cx - m, cy - m, cx + m, cy + m, width_px, {}});
  }
  void line(bool exposed, PixelPoint from, PixelPoint to, int64_t width_px) {
    steps.push_back({ShapeStep::Kind::Line, exposed, from.x, from.y, to.x, to.y, width_px, {}});
  }
};

// A w x h rectangle centred on the flash point (file units): a box when the
// transform keeps the axes, else its four turned corners.
void centredRect(StepWriter& w, const Frame& f, bool exposed, double width, double height) {
  if (f.axisAligned()) {
    int64_t hw = f.half(width), hh = f.half(height);
    if (f.swapsAxes()) std::swap(hw, hh);
    w.rect(exposed, -hw, -hh, hw, hh);
    return;
  }
  const double x = width / 2, y = height / 2;
  w.polygon(exposed, {f.point(-x, -y), f.point(x, -y), f.point(x, y), f.point(-x, y)});
}

// Standard apertures
// ============================================================================

// The hole after the shape's own modifiers, from modifier `first` on: one
// value is a round hole, two (or more: the rest is left unread) a
// rectangular one.
void hole(StepWriter& w, const Frame& f, const ModifierValues& m, int first) {
  if (m.count == first) w.disc(false, {0, 0}, f.half(m[first]));
  if (m.count > first) centredRect(w, f, false, m[first], m[first + 1]);
}

// Fills the steps and sizes of a standard aperture (letter C, R, O or P) from
// its modifier values; returns true when it is drawn through a stamp. Every
// aperture with a hole goes through the stamp, so that what lies beneath
// shows through the hole, whatever the flash's polarity.
bool standardShape(char letter, const ModifierValues& m, const Frame& f, PreparedAperture& out) {
  StepWriter w{out.steps};
  const int64_t h1 = f.half(m[1]), h2 = f.half(m[2]);
  const int64_t f1 = f.full(m[1]), f2 = f.full(m[2]);
  const int n = m.count;
  switch (letter) {
    case 'C': {
      w.ellipse(true, -h1, -h1, h1, h1);
      out.measureSize_px = static_cast<double>(f1);
      if (n <= 1) {
        out.flashSize_px = static_cast<double>(f1);
        return false;
      }
      hole(w, f, m, 2);
      out.flashSize_px = static_cast<double>(2 * h1);
      return true;
    }
    case 'R': {
      const int64_t a1 = std::max<int64_t>(h1, 1), a2 = std::max<int64_t>(h2, 1);
      out.flashSize_px = out.measureSize_px = static_cast<double>(2 * std::max(a1, a2));
      if (!f.axisAligned()) {
        centredRect(w, f, true, m[1], m[2]);
      } else {
        int64_t x = a1, y = a2;
        if (f.swapsAxes()) std::swap(x, y);
        if (n < 3) {
          // Intended: larger solid rectangles grow by one pixel on the left and
          // top above 20 pixels of half size, and on the right and bottom above 40.
          const int64_t left = x > 20, top = y > 20, right = x > 40, bottom = y > 40;
          w.rect(true, -x - left, -y - top, x + right, y + bottom);
          return false;
        }
        w.rect(true, -x, -y, x, y);
      }
      hole(w, f, m, 3);
      return n >= 3;
    }
    case 'O': {
      // Two end discs and the rectangle between their centres.
      //    ___________
      //   (  |     |  )     width >= height: ends left and right, each as wide as high
      //    -----------
      if (f.axisAligned()) {
        int64_t a = f1, b = f2;
        if (f.swapsAxes()) std::swap(a, b);
        const int64_t k1 = a / 2, k2 = b / 2;
        if (a >= b) {
          w.ellipse(true, -k1, -k2, -k1 + b, k2);
          w.ellipse(true, k1 - b, -k2, k1, k2);
          w.rect(true, -k1 + k2, -k2, k1 - k2, k2);
        } else {
          w.ellipse(true, -k1, -k2, k1, -k2 + a);
          w.ellipse(true, -k1, k2 - a, k1, k2);
          w.rect(true, -k1, -k2 + k1, k1, k2 - k1);
        }
      } else {
        const bool wide = m[1] >= m[2];
        const double d = std::min(m[1], m[2]), reach = (std::max(m[1], m[2]) - d) / 2;
        const int64_t r = f.half(d);
        w.disc(true, wide ? f.point(-reach, 0) : f.point(0, -reach), r);
        w.disc(true, wide ? f.point(reach, 0) : f.point(0, reach), r);
        const double x = wide ? reach : d / 2, y = wide ? d / 2 : reach;
        w.polygon(true, {f.point(-x, -y), f.point(x, -y), f.point(x, y), f.point(-x, y)});
      }
      hole(w, f, m, 3);
      out.flashSize_px = out.measureSize_px = static_cast<double>(2 * std::max(h1, h2));
      return n >= 3;
    }
    case 'P': {
      // The first vertex lies at the rotation angle, counterclockwise from +X.
      int64_t vertices = roundPx(m[2]);
      if (vertices == 0) vertices = 32;
      vertices = std::min(vertices, kMaxPolygonVertices);  // a negative count draws no polygon
      const auto r = static_cast<double>(h1);              // circumscribed radius
      const double first = f.angle(toRadians(m[3]));
      const double turn = f.m.det() < 0 ? -1.0 : 1.0;  // a mirror runs the vertices the other way
      std::vector<PixelPoint> points;
      for (int64_t i = 1; i <= vertices; ++i) {
        double a =
            first + turn * static_cast<double>(i - 1) * 2 * kPi / static_cast<double>(vertices);
        points.push_back({roundPx(r * std::cos(a)), roundPx(r * std::sin(a))});
      }
      if (!points.empty()) w.polygon(true, std::move(points));
      hole(w, f, m, 4);
      out.flashSize_px = out.measureSize_px = 2 * r;
      return n >= 4;
    }
    default:
      return false;
  }
}

// Macro primitives
// ============================================================================

// Draws macro primitives into steps. The exposure flag starts on for each
// aperture; the primitives with an exposure field set it (0 off, 1 on,
// 2 toggles), and primitives drawn while it is off clear what lies beneath.
// Every rotation turns the primitive about the macro's origin.
class MacroWriter {
 public:
  MacroWriter(const Frame& frame, ShapeSteps& steps) : f_(frame), w_{steps} {}

  void row(const MacroRow& row) {
    if (row.Count <= 0) return;
    auto f = [&row](size_t i) { return row.value(i); };
    auto optional = [&row](size_t i) {
      return row.Count >= static_cast<int32_t>(i) ? row.value(i) : 0.0;
    };
    switch (roundPx(f(1))) {
      case 1:
        circle(exposure(f(2)), f(3), f(4), f(5), optional(6));
        break;
      case 2:
      case 20:
        vectorLine(exposure(f(2)), f(3), f(4), f(5), f(6), f(7), optional(8));
        break;
      case 21:
        centreLine(exposure(f(2)), f(3), f(4), f(5), f(6), f(7));
        break;
      case 22:
        lowerLeftLine(exposure(f(2)), f(3), f(4), f(5), f(6), f(7));
        break;
      case 4:
        outline(exposure(f(2)), row);
        break;
      case 5:
        polygon(exposure(f(2)), f(3), f(4), f(5), f(6), f(7));
        break;
      // The moire and the thermal have no exposure field: their second field
      // is the centre's x, which must not switch the flag.
      case 6:
        moire(f(2), f(3), f(4), f(5), f(6), f(7), f(8), f(9), f(10));
        break;
      case 7:
        thermal(f(2), f(3), f(4), f(5), f(6), f(7));
        break;
      default:
        break;  // comments (0) and unknown codes
    }
  }

  // Code 1.
  void circle(bool exposed, double d, double px, double py, double rot) {
    rotate(px, py, toRadians(rot));
    w_.disc(exposed, f_.point(px, py), f_.half(d));
  }

  // Codes 2 and 20: a rectangle of width w along the segment, square ends.
  // A segment of length 0 has no area and draws nothing.
  void vectorLine(bool exposed, double width, double x1, double y1, double x2, double y2,
                  double rot) {
    rotate(x1, y1, toRadians(rot));
    rotate(x2, y2, toRadians(rot));
    if (y1 > y2) std::swap(x1, x2), std::swap(y1, y2);
    const double hx = (x1 - x2) / 2, hy = (y1 - y2) / 2;
    const double len = std::sqrt(hx * hx + hy * hy);
    if (len == 0) return;
    const double a = x1 > x2 ? std::asin(hy / len) : 2 * kPi - std::asin(hy / len);
    const double sx = std::sin(a) * width / 2, sy = std::cos(a) * width / 2;
    w_.polygon(exposed, {point(x1 + sx, y1 - sy), point(x1 - sx, y1 + sy), point(x2 - sx, y2 + sy),
                         point(x2 + sx, y2 - sy)});
  }

  // Code 21: a width x height rectangle about its centre (px, py).
  void centreLine(bool exposed, double width, double height, double px, double py, double rot) {
    if (quarterTurns(rot)) {
      // Whole pixels: the centre rounded, the half sizes rounded.
      rotate(px, py, toRadians(rot));
      const PixelPoint c = f_.point(px, py);
      int64_t hw = f_.half(width), hh = f_.half(height);
      if (turnsAxes(rot)) std::swap(hw, hh);
      w_.polygon(
          exposed,
          {{c.x + hw, c.y + hh}, {c.x - hw, c.y + hh}, {c.x - hw, c.y - hh}, {c.x + hw, c.y - hh}});
      return;
    }
    const double x = width / 2, y = height / 2;
    w_.polygon(exposed, {turned(px + x, py + y, rot), turned(px - x, py + y, rot),
                         turned(px - x, py - y, rot), turned(px + x, py - y, rot)});
  }

  // Code 22: a width x height rectangle from its lower-left corner (px, py).
  void lowerLeftLine(bool exposed, double width, double height, double px, double py, double rot) {
    if (quarterTurns(rot)) {
      rotate(px, py, toRadians(rot));
      const PixelPoint c = f_.point(px, py);
      const int64_t fw = f_.full(width), fh = f_.full(height);
      // The sides' directions after the primitive's own turn and the frame's.
      ApertureTransform own;
      own.rotation_deg = rot;
      const Frame turnedFrame(f_.s, f_.u, f_.m * own.linear());
      auto at = [&](int64_t dx, int64_t dy) {
        const PixelPoint d = turnedFrame.turn(dx, dy);
        return PixelPoint{c.x + d.x, c.y + d.y};
      };
      w_.polygon(exposed, {c, at(fw, 0), at(fw, fh), at(0, fh)});
      return;
    }
    w_.polygon(exposed, {turned(px, py, rot), turned(px + width, py, rot),
                         turned(px + width, py + height, rot), turned(px, py + height, rot)});
  }

  // Code 4: n + 1 vertices from the fourth field on (the last closes the
  // outline), then the rotation.
  void outline(bool exposed, const MacroRow& row) {
    const bool rotated = row.Count % 2 == 0;
    const double theta = rotated ? toRadians(row.value(static_cast<size_t>(row.Count))) : 0.0;
    const int64_t pairs = (row.Count - 3 - (rotated ? 1 : 0)) / 2;
    // Vertices beyond the row read as 0, as in the fixed-size table; the
    // count is bounded so that a wild n costs nothing.
    const int64_t n = std::min(roundPx(row.value(3)) + 1, std::max<int64_t>(pairs, 256));
    if (n <= 1) return;
    std::vector<PixelPoint> points;
    for (int64_t k = 0; k < n; ++k) {
      double x = row.value(static_cast<size_t>(4 + 2 * k));
      double y = row.value(static_cast<size_t>(5 + 2 * k));
      if (rotated) rotate(x, y, theta);
      points.push_back(point(x, y));
    }
    w_.polygon(exposed, std::move(points));
  }

  // Code 5: a regular polygon of n vertices (at most 255; 0 draws nothing)
  // with the first vertex in the direction of the rotation.
  void polygon(bool exposed, double n, double px, double py, double diameter, double rot) {
    const int64_t vertices = std::clamp<int64_t>(roundPx(n), 0, kMaxPolygonVertices);
    if (vertices == 0) return;
    const double theta = toRadians(rot);
    rotate(px, py, theta);
    const PixelPoint c = f_.point(px, py);
    const double r = static_cast<double>(f_.full(diameter)) / 2;
    const double first = f_.angle(theta), turn = f_.m.det() < 0 ? -1.0 : 1.0;
    std::vector<PixelPoint> points;
    for (int64_t k = 1; k <= vertices; ++k) {
      double t =
          first + turn * static_cast<double>(k - 1) * 2 * kPi / static_cast<double>(vertices);
      points.push_back({c.x + roundPx(r * std::cos(t)), c.y + roundPx(r * std::sin(t))});
    }
    w_.polygon(exposed, std::move(points));
  }

  // Code 6, as the published Gerber standard defines it: concentric rings
  // from the outer diameter inwards (thickness, gap, at most `rings` of
  // them; a ring whose inside vanishes is a disc) and a cross hair of two
  // bars, all exposed.
  void moire(double px, double py, double outerDiameter, double thickness, double gap, double rings,
             double crossThickness, double crossLength, double rot) {
    const double theta = toRadians(rot);
    rotate(px, py, theta);
    const PixelPoint c = f_.point(px, py);
    // Rings that do not shrink (a pitch of 0 or less) are drawn once; rings
    // without thickness not at all.
    const double pitch = thickness + gap;
    int64_t maxRings = std::clamp<int64_t>(roundPx(rings), 0, kMaxMoireRings);
    if (thickness <= 0) maxRings = 0;
    if (pitch <= 0) maxRings = std::min<int64_t>(maxRings, 1);
    int64_t lastOuter = -1, lastInner = -1;
    for (int64_t k = 0; k < maxRings; ++k) {
      const double outer = outerDiameter - 2 * static_cast<double>(k) * pitch;
      if (outer <= 0) break;
      const double inner = outer - 2 * thickness;
      const int64_t ro = f_.half(outer), ri = inner > 0 ? f_.half(inner) : 0;
      if (ro == lastOuter && ri == lastInner) continue;  // the same pixels as the ring before
      lastOuter = ro, lastInner = ri;
      if (ri <= 0) {
        w_.disc(true, c, ro);
      } else {
        w_.circleStroke(ShapeStep::Kind::Outline, c.x, c.y, ri + (ro - ri) / 2, ro - ri);
      }
    }
    if (crossLength > 0 && crossThickness > 0) {
      bar(px, py, crossLength, crossThickness, theta);
      bar(px, py, crossThickness, crossLength, theta);
    }
  }

  // Code 7: a ring from the inner to the outer diameter whose inside is
  // background, cut by four gaps from the centre at the rotation and every
  // quarter turn after it. The exposure flag is not consulted.
  void thermal(double px, double py, double outerDiameter, double innerDiameter, double gap,
               double rot) {
    const double theta = toRadians(rot);
    rotate(px, py, theta);
    const PixelPoint c = f_.point(px, py);
    const int64_t ro = f_.half(outerDiameter), ri = f_.half(innerDiameter);
    w_.circleStroke(ShapeStep::Kind::Ring, c.x, c.y, ri + (ro - ri) / 2, ro - ri);
    const int64_t gapWidth = f_.full(gap);
    const auto reach = static_cast<double>(ro);
    for (double t : {theta, theta + kPi / 2, theta + kPi, theta + 3 * kPi / 2}) {
      const double a = f_.angle(t);
      w_.line(false, c, {c.x + roundPx(reach * std::cos(a)), c.y + roundPx(reach * std::sin(a))},
              gapWidth);
    }
  }

 private:
  bool exposure(double field) {
    switch (roundPx(field)) {
      case 0:
        exposureOn_ = false;
        break;
      case 1:
        exposureOn_ = true;
        break;
      case 2:
        exposureOn_ = !exposureOn_;
        break;
      default:
        break;
    }
    return exposureOn_;
  }

  PixelPoint point(double x, double y) const { return f_.point(x, y); }
  // (x, y) turned about the macro origin by `rot` degrees, then placed.
  PixelPoint turned(double x, double y, double rot) const {
    rotate(x, y, toRadians(rot));
    return f_.point(x, y);
  }
  // The primitive's own turn and the frame keep the axes.
  bool quarterTurns(double rot) const { return std::fmod(rot, 90.0) == 0.0 && f_.axisAligned(); }
  bool turnsAxes(double rot) const {
    return (static_cast<long long>(std::fabs(rot) / 90.0) % 2 == 1) != f_.swapsAxes();
  }

  // A bar `length` x `thickness` centred on (px, py), turned by theta.
  void bar(double px, double py, double length, double thickness, double theta) {
    const double xs[4] = {-length, length, length, -length};
    const double ys[4] = {-thickness, -thickness, thickness, thickness};
    std::vector<PixelPoint> corners;
    for (int i = 0; i < 4; ++i) {
      double vx = xs[i] / 2, vy = ys[i] / 2;
      rotate(vx, vy, theta);
      corners.push_back(point(px + vx, py + vy));
    }
    w_.polygon(true, std::move(corners));
  }

  Frame f_;
  StepWriter w_;
  bool exposureOn_ = true;
};

// Aperture-file apertures
// ============================================================================

// Each shape of an aperture file is drawn as its standard equivalent (sizes
// are inches): Round d a circle; Square s an s x s rectangle; Rectangle and
// Oblong x by y a rectangle and an obround; Octagon d a regular octagon d
// across the flats, flats along the axes; Thermal (outer x, inner y) a ring
// with four gaps along the axes as wide as the ring; Target d a ring of
// diameter d and a cross of two bars d long, both d / 10 wide. Custom and
// None draw nothing.
bool fileShape(const Aperture& a, const Frame& f, PreparedAperture& out) {
  ModifierValues m;
  switch (a.Shape) {
    case ApertureShape::Round:
      m.add(a.SizeX);
      return standardShape('C', m, f, out);
    case ApertureShape::Square:
      m.add(a.SizeX), m.add(a.SizeX);
      return standardShape('R', m, f, out);
    case ApertureShape::Rectangle:
      m.add(a.SizeX), m.add(a.SizeY);
      return standardShape('R', m, f, out);
    case ApertureShape::Oblong:
      m.add(a.SizeX), m.add(a.SizeY);
      return standardShape('O', m, f, out);
    case ApertureShape::Octagon:
      m.add(a.SizeX / std::cos(kPi / 8)), m.add(8), m.add(22.5);
      return standardShape('P', m, f, out);
    case ApertureShape::Thermal:
      MacroWriter(f, out.steps).thermal(0, 0, a.SizeX, a.SizeY, (a.SizeX - a.SizeY) / 2, 0);
      out.flashSize_px = out.measureSize_px = static_cast<double>(f.full(a.SizeX));
      return true;
    case ApertureShape::Target:
      MacroWriter(f, out.steps).moire(0, 0, a.SizeX, a.SizeX / 10, 0, 1, a.SizeX / 10, a.SizeX, 0);
      out.flashSize_px = out.measureSize_px = static_cast<double>(f.full(a.SizeX));
      return false;
    default:
      return false;
  }
}

}  // namespace

// ShapeRasterizer - Preparing apertures
// ============================================================================

ShapeRasterizer::ShapeRasterizer(const ApertureTable& apertures, double pixelsPerInch,
                                 StampCache* stamps)
    : apertures_(apertures),
      pixelsPerInch_(pixelsPerInch),
      ownStamps_(stamps ? nullptr : std::make_unique<StampCache>(kDefaultStampCacheBytes)),
      stamps_(stamps ? *stamps : *ownStamps_) {}

size_t ShapeRasterizer::transformSlot(const Linear2& transform) {
  if (lastSlot_ < transforms_.size() && transforms_[lastSlot_].first == transform) return lastSlot_;
  for (size_t i = 0; i < transforms_.size(); ++i) {
    if (transforms_[i].first == transform) return lastSlot_ = i;
  }
  transforms_.emplace_back(
      transform, std::vector<std::unique_ptr<PreparedAperture>>(ApertureTable::kMaxDCode + 1));
  return lastSlot_ = transforms_.size() - 1;
}

const PreparedAperture* ShapeRasterizer::prepare(int dCode, const Linear2& transform) {
  const Aperture* a = apertures_.find(dCode);
  if (!a) return nullptr;
  std::unique_ptr<PreparedAperture>& slot =
      transforms_[transformSlot(transform)].second[static_cast<size_t>(dCode)];
  if (slot) return slot.get();

  auto p = std::make_unique<PreparedAperture>();
  bool stamped = false;
  switch (static_cast<ApertureKind>(a->Kind)) {
    case ApertureKind::Standard:
      if (!a->Modifiers.empty()) {
        stamped = standardShape(a->Modifiers[0], readModifierValues(a->Modifiers),
                                Frame(pixelsPerInch_, a->UnitScale, transform), *p);
      }
      break;
    case ApertureKind::Macro: {
      MacroWriter writer(Frame(pixelsPerInch_, a->UnitScale, transform), p->steps);
      for (const MacroRow& row : a->MacroTable) writer.row(row);
      // The size of a macro aperture is the larger side of what it exposes.
      PixelRect exposed = shapeBounds(p->steps, true);
      p->flashSize_px = p->measureSize_px =
          static_cast<double>(std::max(exposed.width(), exposed.height()));
      stamped = true;
      break;
    }
    case ApertureKind::File:
      stamped =
          fileShape(*a, Frame(pixelsPerInch_, 1.0, transform), *p);  // aperture files give inches
      break;
    case ApertureKind::Block:
      break;  // drawn by the interpreter from its statements
  }

  if (stamped) {
    PixelRect area = shapeBounds(p->steps, true);
    if (area.empty()) {
      p->steps.clear();  // nothing exposed: the stamp would be all see-through
    } else {
      p->stamp = std::make_unique<StampedShape>(p->steps, area, stamps_);
    }
  }
  p->bounds = shapeBounds(p->steps, false);
  if (!p->stamp && p->steps.size() == 1 && p->steps[0].exposed) {
    const ShapeStep& step = p->steps[0];
    if (step.kind == ShapeStep::Kind::Polygon) p->outline = step.points;
    if (step.kind == ShapeStep::Kind::Rect && step.x1 < step.x2 && step.y1 < step.y2) {
      // The polygon's outline adds the last column and row that the box leaves out.
      p->outline = {{step.x1, step.y1},
                    {step.x2 - 1, step.y1},
                    {step.x2 - 1, step.y2 - 1},
                    {step.x1, step.y2 - 1}};
    }
  }
  slot = std::move(p);
  return slot.get();
}

// ShapeRasterizer - Flash and measure
// ============================================================================

std::optional<double> ShapeRasterizer::flash(Canvas& canvas, int dCode, const Linear2& transform,
                                             double x, double y, Rgb colour) {
  const PreparedAperture* p = prepare(dCode, transform);
  if (!p) return std::nullopt;
  const PixelPoint centre{roundPx(x * pixelsPerInch_), roundPx(y * pixelsPerInch_)};
  if (p->stamp) {
    p->stamp->transfer(canvas, centre, colour);
    ++stampTransfers_;
  } else if (!p->steps.empty()) {
    const PixelRect& b = p->bounds;
    PixelRect placed{b.x0 + centre.x, b.y0 + centre.y, b.x1 + centre.x, b.y1 + centre.y};
    if (!placed.intersected(canvas.imageClip()).empty()) {
      drawShapeSteps(canvas, p->steps, centre, colour);
    }
  }
  return p->flashSize_px;
}

std::optional<double> ShapeRasterizer::measure(int dCode, const Linear2& transform) {
  const PreparedAperture* p = prepare(dCode, transform);
  if (!p) return std::nullopt;
  return p->measureSize_px;
}

// Arc points
// ============================================================================

void appendArcPoints(std::vector<PixelPoint>& out, double cx, double cy, double radius,
                     double start, double sweep, PixelPoint from, PixelPoint to) {
  // Steps of at most the angle whose chord strays a quarter pixel from the
  // arc, and at least 63.
  constexpr double kTolerance_px = 0.25;
  constexpr int64_t kMinSteps = 63, kMaxSteps = int64_t{1} << 20;
  int64_t steps = kMinSteps;
  if (radius > kTolerance_px) {
    const double step = 2.0 * std::acos(1.0 - kTolerance_px / radius);
    steps = std::clamp<int64_t>(static_cast<int64_t>(std::ceil(std::fabs(sweep) / step)), kMinSteps,
                                kMaxSteps);
  }
  out.push_back(from);
  for (int64_t k = 1; k < steps; ++k) {
    const double t = start + sweep * static_cast<double>(k) / static_cast<double>(steps);
    out.push_back({roundPx(cx + radius * std::cos(t)), roundPx(cy + radius * std::sin(t))});
  }
  out.push_back(to);
}

}  // namespace drumplot
