// SPDX-License-Identifier: MIT
#include "engine/interpreter.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "engine/canvas.h"
#include "engine/gerber_reader.h"
#include "engine/rounding.h"
#include "engine/shape_rasterizer.h"
#include "engine/statement_list.h"
#include "engine/text.h"

namespace drumplot {

namespace {


// The digits after the first `letter` that is followed by a digit, or -1.
long long firstCode(std::string_view s, char letter) {
  for (size_t p = s.find(letter); p != std::string_view::npos; p = s.find(letter, p + 1)) {
    if (p + 1 < s.size() && isDigit(s[p + 1])) {
      size_t end = p + 1;
      while (end < s.size() && isDigit(s[end]) && end - p <= 9) ++end;
      return *parseInteger(s.substr(p + 1, end - p - 1));
    }
  }
  return -1;
}

// A statement that carries coordinates or a D code the run acts on.
bool isDataStatement(std::string_view s) {
  if (s.size() < 2) return false;
  char c = s[0];
  if (c != 'D' && c != 'G' && c != 'I' && c != 'J' && c != 'X' && c != 'Y') return false;
  if (startsWith(s, "G04")) return false;
  if (s[1] != '+' && s[1] != '-' && !isDigit(s[1])) return false;
  return s.find_first_of("XYIJD") != std::string_view::npos;
}

// Interpreter - State of one run
// ============================================================================

class Interpreter {
 public:
  Interpreter(const GerberReader& reader, ShapeRasterizer& shapes, Canvas& canvas,
              const LayerPlacement& placement, const InterpreterSettings& settings,
              Progress* progress)
      : reader_(reader),
        shapes_(shapes),
        canvas_(canvas),
        settings_(settings),
        progress_(progress),
        ppi_(placement.pixelsPerInch),
        layerColour_(placement.colour),
        currentColour_(placement.colour),
        offX_(placement.boardX - reader.MinX),
        offY_(placement.boardY - reader.MinY),
        CurrentAperture(reader.CurrentAperture),
        DarkPolarity(reader.DarkPolarity != 0) {}

  void run();

 private:
  // Phases of one statement.
  void selectAperture(std::string_view s);
  void applyPolarity(std::string_view s);
  void applyGCode(long long g);
  void readCoordinates(std::string_view s);
  void readArcOffsets(std::string_view s);
  void actOnMode(std::string_view s);

  // Drawing.
  void flashAt(int64_t x, int64_t y);
  void applyAdjustment();
  void drawLine();
  void drawArc();
  void addRegionPoints();
  void fillRegion();
  void recordHole(int64_t x, int64_t y);
  void punchHoles();

  struct ArcGeometry {
    int64_t x1, y1, x2, y2;  // box
    int64_t sx, sy, ex, ey;  // start and end radial points
  };
  ArcGeometry multiQuadrantArc() const;
  bool singleQuadrantArc(ArcGeometry& arc) const;

  int64_t toPixelX(double x) const { return roundHalfEven((x + offX_) * ppi_); }
  int64_t toPixelY(double y) const { return roundHalfEven((y + offY_) * ppi_); }

  const GerberReader& reader_;
  ShapeRasterizer& shapes_;
  Canvas& canvas_;
  const InterpreterSettings& settings_;
  Progress* progress_;
  double ppi_;
  uint32_t layerColour_;
  uint32_t currentColour_;
  uint32_t otherColour_ = kWhite;
  double offX_, offY_;  // inches

  // Every run starts from the state the extents pass left in the reader and
  // leaves the reader as it found it, so each band is drawn alike.
  int32_t CurrentAperture;
  bool DarkPolarity;
  double PenWidth = 0.0;  // pixels
  int32_t DMode = 0;
  int32_t GMode = 0;
  bool CircularMode = false;
  bool MultiQuadrant = false;
  bool RegionMode = false;
  bool Ccw = false;
  double LastX = 0.0, LastY = 0.0;  // inches, with the repeat offset
  double ArcI = 0.0, ArcJ = 0.0;    // inches
  int64_t PosXPx = 0, PosYPx = 0;   // current point, canvas pixels
  RepeatOffset repeat_;             // inches
  IncrementalAxis incX_, incY_;

  // This statement's coordinates.
  bool hasX_ = false, hasY_ = false;
  bool moved_ = false;                  // an axis differs from the current point
  double parsedX_ = 0.0, parsedY_ = 0.0;  // most recent parsed values, before offsets
  double prevParsedX_ = 0.0, prevParsedY_ = 0.0;
  int64_t targetX_ = 0, targetY_ = 0;

  std::vector<PixelPoint> region_;
  std::vector<PixelPoint> holes_;
};

// Interpreter - Statement loop
// ============================================================================

void Interpreter::run() {
  if (progress_) progress_->busy = true;
  canvas_.setPenColor(currentColour_);
  canvas_.setBrushColor(currentColour_);
  canvas_.setPenWidth(1);
  const StatementList& list = reader_.Statements;
  const size_t count = list.size();
  for (size_t i = 0; i < count; ++i) {
    if (progress_ && i % 100 == 0) {
      progress_->fraction = static_cast<double>(i) / static_cast<double>(count);
      if (progress_->cancelled) break;
    }
    std::string prefixed;
    std::string_view s = list[i];
    // A bare D code of 10 or more selects the aperture, as G54Dnn does.
    if (!s.empty() && s[0] == 'D' && firstCode(s, 'D') >= 10) {
      prefixed = "G54" + std::string(s);
      s = prefixed;
    }
    s = effectiveStatement(s);
    if (s.size() < 2) continue;

    if (startsWith(s, "%SR_")) {
      RepeatOffset o = parseRepeatStatement(s);
      repeat_ = {o.x * reader_.UnitScale, o.y * reader_.UnitScale};
    }
    applyPolarity(s);
    canvas_.setPenColor(currentColour_);
    canvas_.setBrushColor(currentColour_);

    bool selects = startsWith(s, "G54");
    if (selects) selectAperture(s);
    if (long long d = firstCode(s, 'D'); d >= 0 && d < 5) DMode = static_cast<int32_t>(d);
    if (long long g = firstCode(s, 'G'); g >= 0) applyGCode(g);
    if (i + 1 == count && RegionMode) {
      fillRegion();
      RegionMode = false;
    }
    if (startsWith(s, "D03")) {
      RegionMode = false;
      flashAt(PosXPx, PosYPx);
    }
    if (!isDataStatement(s)) continue;
    readCoordinates(s);
    if (RegionMode) {
      if (CircularMode) readArcOffsets(s);
      addRegionPoints();
    } else if (!selects) {
      actOnMode(s);
    }
  }
  punchHoles();
  if (progress_) {
    progress_->fraction = 1.0;
    progress_->busy = false;
  }
}

void Interpreter::applyPolarity(std::string_view s) {
  if (startsWith(s, "%LPD") || startsWith(s, "LPD")) {
    DarkPolarity = true;
    currentColour_ = layerColour_;
    otherColour_ = kWhite;
  } else if (startsWith(s, "%LPC") || startsWith(s, "LPC")) {
    DarkPolarity = false;
    otherColour_ = layerColour_;
    currentColour_ = kWhite;
  }
}

void Interpreter::selectAperture(std::string_view s) {
  ArcI = ArcJ = 0.0;
  long long d = firstCode(s, 'D');
  CurrentAperture = static_cast<int32_t>(std::clamp<long long>(d, -1, 99999));
  PenWidth = 1.0;
  if (d >= 10 && d <= 9998) PenWidth = shapes_.measure(static_cast<int>(d)).value_or(PenWidth);
  applyAdjustment();
  int64_t w = roundHalfEven(PenWidth);
  canvas_.setPenWidth(w == 0 ? 1 : w);
}

void Interpreter::applyGCode(long long g) {
  switch (g) {
    case 0: case 4: case 54: case 70: case 71: case 90: case 91:
      return;
    default:
      break;
  }
  GMode = static_cast<int32_t>(std::min<long long>(g, 1 << 30));
  switch (g) {
    case 1: case 10: case 11: case 12:
      CircularMode = false;
      ArcI = ArcJ = 0.0;
      break;
    case 2: case 3:
      CircularMode = true;
      Ccw = g == 3;
      ArcI = ArcJ = 0.0;
      break;
    case 74: case 75:
      CircularMode = false;
      MultiQuadrant = g == 75;
      break;
    case 36:
      region_.clear();
      RegionMode = true;
      break;
    case 37:
      RegionMode = false;
      fillRegion();
      break;
    default:
      break;
  }
}

// Interpreter - Coordinates
// ============================================================================

void Interpreter::readCoordinates(std::string_view s) {
  const DataFormat& f = reader_.Format;
  bool absolute = f.Absolute != 0;
  size_t px = s.find('X');
  size_t py = s.find('Y');
  hasX_ = px != std::string_view::npos;
  hasY_ = py != std::string_view::npos;
  moved_ = false;
  prevParsedX_ = parsedX_;
  prevParsedY_ = parsedY_;
  if (hasX_) {
    double raw = parseCoordinate(s, px, f, reader_.UnitScale);
    if (hasValue(raw)) parsedX_ = raw;
    double v = incX_.resolve(raw, absolute);
    if (v + repeat_.x != LastX) moved_ = true;
    if (hasValue(v)) LastX = v + repeat_.x;
  }
  if (hasY_) {
    double raw = parseCoordinate(s, py, f, reader_.UnitScale);
    if (hasValue(raw)) parsedY_ = raw;
    double v = incY_.resolve(raw, absolute);
    if (v + repeat_.y != LastY) moved_ = true;
    if (hasValue(v)) LastY = v + repeat_.y;
  }
  targetX_ = toPixelX(LastX);
  targetY_ = toPixelY(LastY);
}

void Interpreter::readArcOffsets(std::string_view s) {
  size_t pi = s.find('I');
  size_t pj = s.find('J');
  if (pi == std::string_view::npos && pj == std::string_view::npos) return;
  ArcI = ArcJ = 0.0;
  // Centre offsets are neither offset nor accumulated.
  if (pi != std::string_view::npos) {
    double v = parseCoordinate(s, pi, reader_.Format, reader_.UnitScale);
    if (hasValue(v)) ArcI = v;
  }
  if (pj != std::string_view::npos) {
    double v = parseCoordinate(s, pj, reader_.Format, reader_.UnitScale);
    if (hasValue(v)) ArcJ = v;
  }
}

void Interpreter::actOnMode(std::string_view s) {
  switch (DMode) {
    case 3: {
      int64_t x = hasX_ ? targetX_ : PosXPx;
      int64_t y = hasY_ ? targetY_ : PosYPx;
      flashAt(x, y);
      PosXPx = x;
      PosYPx = y;
      return;
    }
    case 2:
      canvas_.moveTo(targetX_, targetY_);
      break;
    case 1:
      readArcOffsets(s);
      if (CircularMode) drawArc();
      else drawLine();
      break;
    default:  // 0 or 4: move without drawing
      break;
  }
  PosXPx = targetX_;
  PosYPx = targetY_;
}

// Interpreter - Flashes, lines and arcs
// ============================================================================

void Interpreter::applyAdjustment() {
  PenWidth += settings_.lineWidthAdjust_mils * ppi_ / 1000.0;
  if (PenWidth == 0.0) PenWidth = 1.0;
}

void Interpreter::flashAt(int64_t x, int64_t y) {
  PenWidth = shapes_
                 .flash(canvas_, CurrentAperture, static_cast<double>(x) / ppi_,
                        static_cast<double>(y) / ppi_, currentColour_)
                 .value_or(PenWidth);
  applyAdjustment();
  recordHole(x, y);
}

void Interpreter::drawLine() {
  int64_t w = roundHalfEven(PenWidth);
  canvas_.setPenWidth(w <= 2 ? 2 : w + 1);
  canvas_.moveTo(PosXPx, PosYPx);
  int64_t dx = targetX_ - PosXPx;
  int64_t dy = targetY_ - PosYPx;
  // Very long segments are drawn in two halves.
  if (std::hypot(static_cast<double>(dx), static_cast<double>(dy)) > 10000.0) {
    canvas_.lineTo(PosXPx + dx / 2, PosYPx + dy / 2);
  }
  canvas_.lineTo(targetX_, targetY_);
  if (w > 3) {
    // The aperture at both ends gives the line its end shape.
    int64_t width = canvas_.penWidth_px();
    for (auto [x, y] : {std::pair{PosXPx, PosYPx}, std::pair{targetX_, targetY_}}) {
      PenWidth = shapes_
                     .flash(canvas_, CurrentAperture, static_cast<double>(x) / ppi_,
                            static_cast<double>(y) / ppi_, currentColour_)
                     .value_or(PenWidth);
      applyAdjustment();
    }
    canvas_.setPenWidth(width);
    canvas_.moveTo(targetX_, targetY_);
  }
}

Interpreter::ArcGeometry Interpreter::multiQuadrantArc() const {
  double i = ArcI * ppi_;
  double j = ArcJ * ppi_;
  double r = std::sqrt(i * i + j * j);
  double cx = static_cast<double>(PosXPx) + i;
  double cy = static_cast<double>(PosYPx) + j;
  ArcGeometry a{roundHalfEven(cx - r), roundHalfEven(cy - r), roundHalfEven(cx + r),
                roundHalfEven(cy + r), 0, 0, 0, 0};
  // The canvas sweeps counterclockwise on screen (Y down), which is the
  // file's clockwise: a CCW arc runs from the target back to the current point.
  if (Ccw) {
    a.sx = targetX_, a.sy = targetY_, a.ex = PosXPx, a.ey = PosYPx;
  } else {
    a.sx = PosXPx, a.sy = PosYPx, a.ex = targetX_, a.ey = targetY_;
  }
  return a;
}

// Single-quadrant arcs give unsigned centre offsets: the quadrant follows
// from where the target lies. Later matching rules win.
bool Interpreter::singleQuadrantArc(ArcGeometry& a) const {
  double i = std::fabs(ArcI * ppi_);
  double j = std::fabs(ArcJ * ppi_);
  double r = std::sqrt(i * i + j * j);
  auto ox = static_cast<double>(PosXPx), oy = static_cast<double>(PosYPx);
  int64_t nx = targetX_, ny = targetY_;
  double cx = ox, cy = oy;
  auto pick = [&](double cwX, double cwY, double ccwX, double ccwY) {
    cx = Ccw ? ccwX : cwX;
    cy = Ccw ? ccwY : cwY;
  };
  if (nx <= PosXPx && ny >= PosYPx) pick(ox + i, oy + j, ox - i, oy - j);
  if (nx <= PosXPx && ny <= PosYPx) pick(ox - i, oy + j, ox + i, oy - j);
  if (nx >= PosXPx && ny <= PosYPx) pick(ox - i, oy - j, ox + i, oy + j);
  if (nx >= PosXPx && ny >= PosYPx) pick(ox + i, oy - j, ox - i, oy + j);
  a = {roundHalfEven(cx - r), roundHalfEven(cy - r), roundHalfEven(cx + r),
       roundHalfEven(cy + r), 0, 0, 0, 0};
  if (Ccw) {
    a.sx = targetX_, a.sy = targetY_, a.ex = PosXPx, a.ey = PosYPx;
  } else {
    a.sx = PosXPx, a.sy = PosYPx, a.ex = targetX_, a.ey = targetY_;
  }
  return a.x1 != a.x2 && a.y1 != a.y2;
}

void Interpreter::drawArc() {
  canvas_.moveTo(PosXPx, PosYPx);
  if (MultiQuadrant) {
    ArcGeometry a = multiQuadrantArc();
    double chord = std::hypot(parsedX_ - prevParsedX_, parsedY_ - prevParsedY_);
    if (!moved_ || chord == 0.0) {
      canvas_.arc(a.x1, a.y1, a.x2, a.y2, a.sx, a.sy, a.sx, a.sy);  // full circle
    } else if (chord <= 0.003) {
      canvas_.lineTo(targetX_, targetY_);
    } else {
      canvas_.arc(a.x1, a.y1, a.x2, a.y2, a.sx, a.sy, a.ex, a.ey);
    }
  } else {
    ArcGeometry a;
    bool drawable = singleQuadrantArc(a);
    if (std::abs(targetX_ - PosXPx) <= 1 && std::abs(targetY_ - PosYPx) <= 1) {
      canvas_.lineTo(targetX_, targetY_);
    } else if (drawable) {
      canvas_.arc(a.x1, a.y1, a.x2, a.y2, a.sx, a.sy, a.ex, a.ey);
    }
  }
  canvas_.moveTo(targetX_, targetY_);
}

// Interpreter - Regions
// ============================================================================

void Interpreter::addRegionPoints() {
  // A move (D02) never sweeps an arc, even in circular mode: it starts the
  // next polygon like any other move inside a region.
  if (!CircularMode || DMode == 2) {
    // A move inside a region closes the polygon so far and starts another.
    if (DMode == 2 && !region_.empty()) {
      fillRegion();
      region_.clear();
    }
    region_.push_back({targetX_, targetY_});
  } else {
    ArcGeometry a;
    bool add = true;
    if (MultiQuadrant) {
      a = multiQuadrantArc();
      auto dx = static_cast<double>(targetX_ - PosXPx), dy = static_cast<double>(targetY_ - PosYPx);
      bool same = targetX_ == PosXPx && targetY_ == PosYPx;
      if (same) {
        a.ex = a.sx, a.ey = a.sy;  // a full circle
      } else if (std::hypot(dx, dy) < std::sqrt(5.0) && ArcI != 0.0 && ArcJ != 0.0) {
        add = false;
      }
    } else {
      singleQuadrantArc(a);
      if (std::abs(targetX_ - PosXPx) <= 1 && std::abs(targetY_ - PosYPx) <= 1) {
        region_.push_back({PosXPx, PosYPx});
        add = false;
      }
    }
    if (add) {
      auto points = arcPoints({a.x1, a.y1}, {a.x2, a.y2}, {a.sx, a.sy}, {a.ex, a.ey});
      if (Ccw) {
        region_.insert(region_.end(), points.begin(), points.end());
      } else {
        region_.insert(region_.end(), points.rbegin(), points.rend());
      }
    }
  }
  PosXPx = targetX_;
  PosYPx = targetY_;
}

void Interpreter::fillRegion() {
  if (region_.empty()) return;
  int64_t width = canvas_.penWidth_px();
  canvas_.setPenWidth(1);
  canvas_.fillPolygon(region_);
  canvas_.setPenWidth(width);
}

// Interpreter - Holes
// ============================================================================

void Interpreter::recordHole(int64_t x, int64_t y) {
  if (settings_.holeDiameter_mils <= 0.0) return;
  const auto& skip = settings_.noHoleDCodes;
  if (std::find(skip.begin(), skip.end(), CurrentAperture) != skip.end()) return;
  holes_.push_back({x, y});
}

void Interpreter::punchHoles() {
  if (holes_.empty() || settings_.holeDiameter_mils <= 0.0) return;
  int64_t r = roundHalfEven(settings_.holeDiameter_mils * ppi_ / 2000.0);
  canvas_.setPenColor(otherColour_);
  canvas_.setBrushColor(otherColour_);
  int64_t width = canvas_.penWidth_px();
  canvas_.setPenWidth(0);
  for (const PixelPoint& h : holes_) canvas_.fillEllipse(h.x - r, h.y - r, h.x + r, h.y + r);
  canvas_.setPenWidth(width);
  canvas_.setPenColor(currentColour_);
  canvas_.setBrushColor(currentColour_);
}

}  // namespace

std::vector<int> parseNoHoleList(std::string_view text) {
  std::vector<int> codes;
  size_t start = 0;
  while (start <= text.size() && codes.size() < 100) {
    size_t comma = text.find(',', start);
    std::string_view item = text.substr(start, comma - start);
    while (!item.empty() && item.front() == ' ') item.remove_prefix(1);
    while (!item.empty() && item.back() == ' ') item.remove_suffix(1);
    auto n = parseInteger(item);
    if (n && *n >= 10 && *n <= 9999) codes.push_back(static_cast<int>(*n));
    if (comma == std::string_view::npos) break;
    start = comma + 1;
  }
  return codes;
}

void interpretLayer(const GerberReader& reader, ShapeRasterizer& shapes, Canvas& canvas,
                    const LayerPlacement& placement, const InterpreterSettings& settings,
                    Progress* progress) {
  Interpreter(reader, shapes, canvas, placement, settings, progress).run();
}

}  // namespace drumplot
