// SPDX-License-Identifier: MIT
// Aperture flashes: standard apertures, macro primitives and aperture-file
// shapes turned into shape steps, drawn directly or through a stamp.
#include "engine/shape_rasterizer.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <string>

#include "engine/errors.h"
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

double toRadians(double degrees) { return degrees / 360 * 2 * kPi; }

// Turns (x, y) about the origin, counterclockwise in file coordinates.
void rotate(double& x, double& y, double radians) {
  const double c = std::cos(radians), s = std::sin(radians);
  const double rx = x * c - y * s;
  y = x * s + y * c;
  x = rx;
}

int64_t roundPx(double v) { return roundHalfEven(v); }

// File units to pixels: v x s x u, with whole and half sizes rounded.
struct Scale {
  double s;  // pixels per inch
  double u;  // inches per file unit

  double px(double v) const { return v * s * u; }
  int64_t full(double v) const { return roundPx(px(v)); }
  int64_t half(double v) const { return roundPx(px(v) / 2); }
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
    if (!text.empty() && text[0] == '.') text.insert(0, "0");
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

// Standard apertures
// ============================================================================

// Fills the steps and sizes of a standard aperture (letter C, R, O or P) from
// its modifier values; returns true when it is drawn through a stamp.
bool standardShape(char letter, const ModifierValues& m, const Scale& sc, PreparedAperture& out) {
  StepWriter w{out.steps};
  const int64_t h1 = sc.half(m[1]), h2 = sc.half(m[2]), h3 = sc.half(m[3]);
  const int64_t h4 = sc.half(m[4]), h5 = sc.half(m[5]);
  const int64_t f1 = sc.full(m[1]), f2 = sc.full(m[2]);
  const int n = m.count;
  switch (letter) {
    case 'C': {
      // A solid circle goes straight onto the target; one with a hole goes
      // through the stamp, so that what lies beneath shows through the hole.
      w.ellipse(true, -h1, -h1, h1, h1);
      out.measureSize_px = static_cast<double>(f1);
      if (n <= 1) {
        out.flashSize_px = static_cast<double>(f1);
        return false;
      }
      if (n == 2) w.ellipse(false, -h2, -h2, h2, h2);
      if (n == 3) w.rect(false, -h2, -h3, h2, h3);
      out.flashSize_px = static_cast<double>(2 * h1);
      return true;
    }
    case 'R': {
      const int64_t a1 = std::max<int64_t>(h1, 1), a2 = std::max<int64_t>(h2, 1);
      out.flashSize_px = out.measureSize_px = static_cast<double>(2 * std::max(a1, a2));
      if (n < 3) {
        // Intended: larger solid rectangles grow by one pixel on the left and
        // top above 20 pixels of half size, and on the right and bottom above 40.
        const int64_t left = a1 > 20, top = a2 > 20, right = a1 > 40, bottom = a2 > 40;
        w.rect(true, -a1 - left, -a2 - top, a1 + right, a2 + bottom);
        return false;
      }
      w.rect(true, -a1, -a2, a1, a2);
      if (n == 3) w.ellipse(false, -h3, -h3, h3, h3);
      if (n == 4) w.rect(false, -h3, -h4, h3, h4);
      return true;
    }
    case 'O': {
      // Two end ellipses and the rectangle between their centres; the hole
      // is drawn in background and clears what lies beneath.
      //    ___________
      //   (  |     |  )     f1 >= f2: ends left and right, each f2 wide
      //    -----------
      const int64_t k1 = f1 / 2, k2 = f2 / 2;
      if (f1 >= f2) {
        w.ellipse(true, -k1, -k2, -k1 + f2, k2);
        w.ellipse(true, k1 - f2, -k2, k1, k2);
        w.rect(true, -k1 + k2, -k2, k1 - k2, k2);
      } else {
        w.ellipse(true, -k1, -k2, k1, -k2 + f1);
        w.ellipse(true, -k1, k2 - f1, k1, k2);
        w.rect(true, -k1, -k2 + k1, k1, k2 - k1);
      }
      if (n == 3) w.ellipse(false, -h3, -h3, h3, h3);
      if (n == 4) w.rect(false, -h3, -h4, h3, h4);
      out.flashSize_px = out.measureSize_px = static_cast<double>(2 * std::max(h1, h2));
      return false;
    }
    case 'P': {
      int64_t vertices = roundPx(m[2]);
      if (vertices == 0) vertices = 32;
      vertices = std::min(vertices, kMaxPolygonVertices);  // a negative count draws no polygon
      const auto r = static_cast<double>(h1);              // circumscribed radius
      std::vector<PixelPoint> points;
      for (int64_t i = 1; i <= vertices; ++i) {
        double a = kPi / 2 + m[3] / 360 * 2 * kPi + static_cast<double>(i - 1) * 2 * kPi /
                                                        static_cast<double>(vertices);
        points.push_back({roundPx(r * std::cos(a)), roundPx(r * std::sin(a))});
      }
      if (!points.empty()) w.polygon(true, std::move(points));
      if (n == 4) w.ellipse(false, -h4, -h4, h4, h4);
      if (n == 5) w.rect(false, -h4, -h5, h4, h5);
      out.flashSize_px = out.measureSize_px = 2 * r;
      return false;
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
class MacroWriter {
 public:
  MacroWriter(const Scale& sc, ShapeSteps& steps) : sc_(sc), w_{steps} {}

  void row(const MacroRow& row) {
    if (row.Count <= 0) return;
    auto f = [&row](size_t i) { return row.value(i); };
    auto optional = [&row](size_t i) { return row.Count >= static_cast<int32_t>(i) ? row.value(i) : 0.0; };
    switch (roundPx(f(1))) {
      case 1: circle(exposure(f(2)), f(3), f(4), f(5), optional(6)); break;
      case 2:
      case 20: vectorLine(exposure(f(2)), f(3), f(4), f(5), f(6), f(7), optional(8)); break;
      case 21: centreLine(exposure(f(2)), f(3), f(4), f(5), f(6), f(7)); break;
      case 22: lowerLeftLine(exposure(f(2)), f(3), f(4), f(5), f(6), f(7)); break;
      case 4: outline(exposure(f(2)), row); break;
      case 5: polygon(exposure(f(2)), f(3), f(4), f(5), f(6), f(7)); break;
      // The moire and the thermal have no exposure field: their second field
      // is the centre's x, which must not switch the flag.
      case 6: moire(f(2), f(3), f(4), f(5), f(6), f(7), f(8), f(9), f(10)); break;
      case 7: thermal(f(2), f(3), f(4), f(5), f(6), f(7)); break;
      default: break;  // comments (0) and unknown codes
    }
  }

  // Code 1; the rotation turns the centre about the macro origin.
  void circle(bool exposed, double d, double px, double py, double rot) {
    rotate(px, py, toRadians(rot));
    const int64_t r = sc_.half(d), cx = sc_.full(px), cy = sc_.full(py);
    w_.ellipse(exposed, cx - r, cy - r, cx + r, cy + r);
  }

  // Codes 2 and 20: a rectangle of width w along the segment, square ends.
  // The rotation turns both ends about the macro origin. A segment of
  // length 0 has no area and draws nothing.
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

  // Code 21: a rectangle about its centre, turned about its own centre.
  void centreLine(bool exposed, double width, double height, double px, double py, double rot) {
    if (width == 0) width = 0.000001;
    if (height == 0) height = 0.000001;
    const int64_t hw = sc_.half(width), hh = sc_.half(height);
    const int64_t cx = sc_.full(px), cy = sc_.full(py);
    const double theta = toRadians(rot);
    const double radius = std::sqrt(static_cast<double>(hw * hw + hh * hh));
    const double alpha = std::atan((sc_.px(height) / 2) / (sc_.px(width) / 2));
    std::vector<PixelPoint> corners;
    for (double t : {alpha + theta, kPi - alpha + theta, kPi + alpha + theta, 2 * kPi - alpha + theta}) {
      corners.push_back({cx + roundPx(radius * std::cos(t)), cy + roundPx(radius * std::sin(t))});
    }
    w_.polygon(exposed, std::move(corners));
  }

  // Code 22: a rectangle from its lower-left corner, turned about that corner.
  // Zero sizes are replaced by 0.000001 as for the centre line.
  void lowerLeftLine(bool exposed, double width, double height, double px, double py, double rot) {
    if (width == 0) width = 0.000001;
    if (height == 0) height = 0.000001;
    const int64_t fw = sc_.full(width), fh = sc_.full(height);
    const int64_t x0 = sc_.full(px), y0 = sc_.full(py);
    const double theta = toRadians(rot);
    const double radius = std::sqrt(static_cast<double>(fw * fw + fh * fh));
    const double alpha = std::atan(sc_.px(height) / sc_.px(width));
    auto at = [&](double length, double t) {
      return PixelPoint{x0 + roundPx(length * std::cos(t)), y0 + roundPx(length * std::sin(t))};
    };
    w_.polygon(exposed, {PixelPoint{x0, y0}, at(static_cast<double>(fw), theta),
                         at(radius, alpha + theta), at(static_cast<double>(fh), kPi / 2 + theta)});
  }

  // Code 4: n vertices from the fourth field on (the closing point is not
  // used); an even field count ends with a rotation about the macro origin.
  void outline(bool exposed, const MacroRow& row) {
    const bool rotated = row.Count % 2 == 0;
    const double theta = rotated ? toRadians(row.value(static_cast<size_t>(row.Count))) : 0.0;
    const int64_t pairs = (row.Count - 3 - (rotated ? 1 : 0)) / 2;
    // Vertices beyond the row read as 0, as in the fixed-size table; the
    // count is bounded so that a wild n costs nothing.
    const int64_t n = std::min(roundPx(row.value(3)), std::max<int64_t>(pairs, 255));
    if (n <= 0) return;
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
    const int64_t cx = sc_.full(px), cy = sc_.full(py);
    const double r = static_cast<double>(sc_.full(diameter)) / 2;
    const double theta = toRadians(rot);
    std::vector<PixelPoint> points;
    for (int64_t k = 1; k <= vertices; ++k) {
      double t = static_cast<double>(k - 1) * 2 * kPi / static_cast<double>(vertices) + theta;
      points.push_back({cx + roundPx(r * std::cos(t)), cy + roundPx(r * std::sin(t))});
    }
    w_.polygon(exposed, std::move(points));
  }

  // Code 6, as the published Gerber standard defines it: concentric rings
  // from the outer diameter inwards (thickness, gap, at most `rings` of
  // them; a ring whose inside vanishes is a disc) and a cross hair of two
  // bars, all exposed; the rotation turns the whole about the macro origin.
  void moire(double px, double py, double outerDiameter, double thickness, double gap,
             double rings, double crossThickness, double crossLength, double rot) {
    const double theta = toRadians(rot);
    rotate(px, py, theta);
    const int64_t cx = sc_.full(px), cy = sc_.full(py);
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
      const int64_t ro = sc_.half(outer), ri = inner > 0 ? sc_.half(inner) : 0;
      if (ro == lastOuter && ri == lastInner) continue;  // the same pixels as the ring before
      lastOuter = ro, lastInner = ri;
      if (ri <= 0) {
        w_.ellipse(true, cx - ro, cy - ro, cx + ro, cy + ro);
      } else {
        w_.circleStroke(ShapeStep::Kind::Outline, cx, cy, ri + (ro - ri) / 2, ro - ri);
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
    const int64_t cx = sc_.full(px), cy = sc_.full(py);
    const int64_t ro = sc_.half(outerDiameter), ri = sc_.half(innerDiameter);
    const double theta = toRadians(rot);
    w_.circleStroke(ShapeStep::Kind::Ring, cx, cy, ri + (ro - ri) / 2, ro - ri);
    const int64_t gapWidth = sc_.full(gap);
    const auto reach = static_cast<double>(ro);
    for (double t : {theta, theta + kPi / 2, theta + kPi, theta + 3 * kPi / 2}) {
      w_.line(false, {cx, cy}, {cx + roundPx(reach * std::cos(t)), cy + roundPx(reach * std::sin(t))},
              gapWidth);
    }
  }

 private:
  bool exposure(double field) {
    switch (roundPx(field)) {
      case 0: exposureOn_ = false; break;
      case 1: exposureOn_ = true; break;
      case 2: exposureOn_ = !exposureOn_; break;
      default: break;
    }
    return exposureOn_;
  }

  PixelPoint point(double x, double y) const { return {sc_.full(x), sc_.full(y)}; }

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

  Scale sc_;
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
bool fileShape(const Aperture& a, const Scale& sc, PreparedAperture& out) {
  ModifierValues m;
  switch (static_cast<ApertureShape>(a.Shape)) {
    case ApertureShape::Round:
      m.add(a.SizeX);
      return standardShape('C', m, sc, out);
    case ApertureShape::Square:
      m.add(a.SizeX), m.add(a.SizeX);
      return standardShape('R', m, sc, out);
    case ApertureShape::Rectangle:
      m.add(a.SizeX), m.add(a.SizeY);
      return standardShape('R', m, sc, out);
    case ApertureShape::Oblong:
      m.add(a.SizeX), m.add(a.SizeY);
      return standardShape('O', m, sc, out);
    case ApertureShape::Octagon:
      m.add(a.SizeX / std::cos(kPi / 8)), m.add(8), m.add(22.5);
      return standardShape('P', m, sc, out);
    case ApertureShape::Thermal:
      MacroWriter(sc, out.steps).thermal(0, 0, a.SizeX, a.SizeY, (a.SizeX - a.SizeY) / 2, 0);
      out.flashSize_px = out.measureSize_px = static_cast<double>(sc.full(a.SizeX));
      return true;
    case ApertureShape::Target:
      MacroWriter(sc, out.steps).moire(0, 0, a.SizeX, a.SizeX / 10, 0, 1, a.SizeX / 10, a.SizeX, 0);
      out.flashSize_px = out.measureSize_px = static_cast<double>(sc.full(a.SizeX));
      return false;
    default:
      return false;
  }
}

// True when a shape has no see-through part: drawing its steps straight onto
// the target gives the same pixels as a stamp.
bool allExposed(const ShapeSteps& steps) {
  return std::all_of(steps.begin(), steps.end(), [](const ShapeStep& s) {
    return s.exposed && s.kind != ShapeStep::Kind::Ring;
  });
}

}  // namespace

// ShapeRasterizer - Preparing apertures
// ============================================================================

ShapeRasterizer::ShapeRasterizer(const ApertureTable& apertures, double pixelsPerInch,
                                 double unitScale, ShapeLimits limits)
    : apertures_(apertures),
      pixelsPerInch_(pixelsPerInch),
      unitScale_(unitScale),
      limits_(limits),
      prepared_(ApertureTable::kMaxDCode + 1) {}

const PreparedAperture* ShapeRasterizer::prepare(int dCode) {
  const Aperture* a = apertures_.find(dCode);
  if (!a) return nullptr;
  std::unique_ptr<PreparedAperture>& slot = prepared_[static_cast<size_t>(dCode)];
  if (slot) return slot.get();

  auto p = std::make_unique<PreparedAperture>();
  bool stamped = false;
  switch (static_cast<ApertureKind>(a->Kind)) {
    case ApertureKind::Standard:
      if (!a->Modifiers.empty()) {
        stamped = standardShape(a->Modifiers[0], readModifierValues(a->Modifiers),
                                {pixelsPerInch_, unitScale_}, *p);
      }
      break;
    case ApertureKind::Macro: {
      MacroWriter writer({pixelsPerInch_, unitScale_}, p->steps);
      for (const MacroRow& row : a->MacroTable) writer.row(row);
      // The size of a macro aperture is the larger side of what it exposes.
      PixelRect exposed = shapeBounds(p->steps, true);
      p->flashSize_px = p->measureSize_px =
          static_cast<double>(std::max(exposed.width(), exposed.height()));
      stamped = true;
      break;
    }
    case ApertureKind::File:
      stamped = fileShape(*a, {pixelsPerInch_, 1.0}, *p);  // aperture files give inches
      break;
  }

  if (stamped) {
    PixelRect area = shapeBounds(p->steps, true);
    if (area.empty()) {
      p->steps.clear();  // nothing exposed: the stamp would be all see-through
    } else if (stampBytes(area) <= limits_.maxStampBytes) {
      p->stamp = std::make_unique<ApertureStamp>(p->steps, area);
    } else if (!allExposed(p->steps)) {
      throw FormatError("aperture D" + std::to_string(dCode) + " needs a stamp of " +
                        std::to_string(area.width()) + " x " + std::to_string(area.height()) +
                        " pixels at " + std::to_string(pixelsPerInch_) +
                        " pixels per inch, more than the limit of " +
                        std::to_string(limits_.maxStampBytes >> 20) + " MB");
    }
  }
  p->bounds = shapeBounds(p->steps, false);
  slot = std::move(p);
  return slot.get();
}

// ShapeRasterizer - Flash and measure
// ============================================================================

std::optional<double> ShapeRasterizer::flash(Canvas& canvas, int dCode, double x, double y,
                                             Rgb colour) {
  const PreparedAperture* p = prepare(dCode);
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

std::optional<double> ShapeRasterizer::measure(int dCode) {
  const PreparedAperture* p = prepare(dCode);
  if (!p) return std::nullopt;
  return p->measureSize_px;
}

// Arc points
// ============================================================================

std::array<PixelPoint, 64> arcPoints(PixelPoint c1, PixelPoint c2, PixelPoint start,
                                     PixelPoint end) {
  const int64_t xa = std::min(c1.x, c2.x), xb = std::max(c1.x, c2.x);
  const int64_t ya = std::min(c1.y, c2.y), yb = std::max(c1.y, c2.y);
  const double rx = static_cast<double>(xb - xa) / 2, ry = static_cast<double>(yb - ya) / 2;
  const double cx = static_cast<double>(xa) + rx, cy = static_cast<double>(ya) + ry;
  double e = std::atan2(static_cast<double>(end.y) - cy, static_cast<double>(end.x) - cx) + 2 * kPi;
  double b =
      std::atan2(static_cast<double>(start.y) - cy, static_cast<double>(start.x) - cx) + 2 * kPi;
  if (std::abs(e - b) < kPi / 3000) {
    e = 0;
    b = 2 * kPi;  // the whole ellipse
  } else if (b < e) {
    b += 2 * kPi;
  }
  const double step = (b - e) / 63;
  // Point k = 8 m + n lies at angle e + 8 m step + n step: the sines and
  // cosines of the eight coarse and eight fine angles give all 64 by the
  // addition theorem, a few units in the last place from the direct values.
  std::array<double, 8> coarseCos, coarseSin, fineCos, fineSin;
  for (int k = 0; k < 8; ++k) {
    const auto i = static_cast<size_t>(k);
    coarseCos[i] = std::cos(e + 8 * k * step);
    coarseSin[i] = std::sin(e + 8 * k * step);
    fineCos[i] = std::cos(k * step);
    fineSin[i] = std::sin(k * step);
  }
  std::array<PixelPoint, 64> points;
  for (size_t k = 0; k < 64; ++k) {
    const size_t m = k / 8, n = k % 8;
    const double cosT = coarseCos[m] * fineCos[n] - coarseSin[m] * fineSin[n];
    const double sinT = coarseSin[m] * fineCos[n] + coarseCos[m] * fineSin[n];
    points[k] = {std::clamp(roundPx(rx * cosT + cx), xa, xb),
                 std::clamp(roundPx(ry * sinT + cy), ya, yb)};
  }
  return points;
}

}  // namespace drumplot
