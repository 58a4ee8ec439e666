// SPDX-License-Identifier: MIT
#include "engine/interpreter.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <numbers>
#include <optional>
#include <span>
#include <string>
#include <utility>

#include "engine/canvas.h"
#include "engine/gerber_reader.h"
#include "engine/operation_count.h"
#include "engine/rounding.h"
#include "engine/shape_rasterizer.h"
#include "engine/text.h"

namespace drumplot {

namespace {

constexpr double kPi = std::numbers::pi;

// The angle of (x, y) in [0, 2 pi).
double angleOf(double x, double y) {
  double a = std::atan2(y, x);
  return a < 0 ? a + 2 * kPi : a;
}

// The convex hull of the points, counterclockwise as the canvas shows it
// (monotone chain).
std::vector<PixelPoint> convexHull(std::vector<PixelPoint> points) {
  std::sort(points.begin(), points.end(),
            [](PixelPoint a, PixelPoint b) { return a.x != b.x ? a.x < b.x : a.y < b.y; });
  points.erase(std::unique(points.begin(), points.end()), points.end());
  if (points.size() < 3) return points;
  auto cross = [](PixelPoint o, PixelPoint a, PixelPoint b) {
    return (a.x - o.x) * (b.y - o.y) - (a.y - o.y) * (b.x - o.x);
  };
  std::vector<PixelPoint> hull(2 * points.size());
  size_t k = 0;
  for (const PixelPoint& p : points) {
    while (k >= 2 && cross(hull[k - 2], hull[k - 1], p) <= 0) --k;
    hull[k++] = p;
  }
  for (size_t i = points.size() - 1, lower = k + 1; i-- > 0;) {
    while (k >= lower && cross(hull[k - 2], hull[k - 1], points[i]) <= 0) --k;
    hull[k++] = points[i];
  }
  hull.resize(k - 1);
  return hull;
}

// A convex polygon (as convexHull gives it) with every side moved out by
// `grow` pixels (in when negative), its corners where the moved sides meet.
std::vector<PixelPoint> grownConvex(const std::vector<PixelPoint>& hull, double grow) {
  const size_t n = hull.size();
  if (n < 3) return hull;
  struct Side {
    double nx, ny, c;  // points p of the moved side: nx px + ny py = c
  };
  std::vector<Side> sides;
  for (size_t i = 0; i < n; ++i) {
    const PixelPoint a = hull[i], b = hull[(i + 1) % n];
    const auto dx = static_cast<double>(b.x - a.x), dy = static_cast<double>(b.y - a.y);
    const double len = std::hypot(dx, dy);
    const double nx = dy / len, ny = -dx / len;  // outward for this winding
    sides.push_back({nx, ny, nx * static_cast<double>(a.x) + ny * static_cast<double>(a.y) + grow});
  }
  std::vector<PixelPoint> grown;
  for (size_t i = 0; i < n; ++i) {
    const Side& s = sides[(i + n - 1) % n];
    const Side& t = sides[i];
    const double det = s.nx * t.ny - s.ny * t.nx;
    if (std::fabs(det) < 1e-12) continue;
    grown.push_back({roundHalfEven((s.c * t.ny - s.ny * t.c) / det),
                     roundHalfEven((s.nx * t.c - s.c * t.nx) / det)});
  }
  return grown;
}

// The bounds of everything a recording canvas is handed.
class BoundsRecorder final : public CanvasRecorder {
 public:
  explicit BoundsRecorder(CanvasRecorder* also) : also_(also) {}
  void record(const CanvasOp& op) override {
    bounds = bounds.united(op.bounds);
    if (also_) also_->record(op);
  }
  PixelRect bounds;

 private:
  CanvasRecorder* also_;
};

std::atomic<uint64_t> g_repeatCopiesSkipped{0};

// Interpreter - State of one run
// ============================================================================

class Interpreter {
 public:
  Interpreter(const GerberReader& reader, ShapeRasterizer& shapes, Canvas& canvas,
              const LayerPlacement& placement, const InterpreterSettings& settings,
              Progress* progress)
      : reader_(reader),
        program_(reader.program),
        shapes_(shapes),
        canvas_(&canvas),
        settings_(settings),
        progress_(progress),
        ppiX_(placement.pixelsPerInch * placement.scale.x),
        ppiY_(placement.pixelsPerInch * placement.scale.y),
        penPpi_(placement.penPixelsPerInch()),
        negative_(reader.program.image.negative),
        darkColour_(negative_ ? kWhite : placement.colour),
        clearColour_(negative_ ? placement.colour : kWhite),
        offX_(placement.boardX - reader.MinX),
        offY_(placement.boardY - reader.MinY),
        negativeArea_(placement.negativeArea),
        scale_(placement.scale) {}

  void run();

 private:
  // Where the statements being run land, and how their apertures turn.
  struct Frame {
    Placement placement;  // file point -> image point, inches
    Linear2 apertures;    // the apertures' turn before their own transform
    bool invert = false;  // a block flashed in clear polarity swaps dark and clear
    int depth = 0;
  };

  // The modal state of one run of statements.
  struct State {
    int32_t aperture = 10;
    bool dark = true;
    int8_t dMode = 0;
    int32_t interpolation = 1;  // 1 linear, 2 clockwise, 3 counterclockwise
    bool multiQuadrant = false;
    bool regionMode = false;
    size_t transform = 0;
    double penWidth = 0.0;            // pixels
    double lastX = 0.0, lastY = 0.0;  // the current point, file frame, with the repeat offset
    int64_t posX = 0, posY = 0;       // the current point, image pixels
    double repeatX = 0.0, repeatY = 0.0;
    IncrementalAxis incX, incY;
    std::vector<PixelPoint> region;

    // The same modes, whatever the current point (no region open).
    bool sameModes(const State& o) const {
      return aperture == o.aperture && dark == o.dark && dMode == o.dMode &&
             interpolation == o.interpolation && multiQuadrant == o.multiQuadrant &&
             regionMode == o.regionMode && transform == o.transform && penWidth == o.penWidth &&
             incX.inc == o.incX.inc && incY.inc == o.incY.inc && region.empty() && o.region.empty();
    }
  };

  // One step-and-repeat copy drawn on a probe that only notes its reach:
  // the state it leaves, and the image pixels it may touch at no offset.
  struct ProbedCopy {
    State exit;
    CanvasState canvas;
    PixelRect reach;
  };

  void runOps(std::span<const GerberOp> ops);
  void operate(const GerberOp& op);
  void select(int32_t dCode);
  void setColours();
  void repeat(std::span<const GerberOp> body, const RepeatBlock& block);
  ProbedCopy probeCopy(std::span<const GerberOp> body, const State& entry,
                       const CanvasState& canvasEntry);
  bool copyMayReach(const PixelRect& reach, const PixelRect& clip) const;

  // Drawing.
  void flashAt(int64_t x, int64_t y, double fileX, double fileY);
  void flashBlock(const std::vector<GerberOp>& ops, double fileX, double fileY);
  void applyAdjustment();
  void drawLine(int64_t toX, int64_t toY);
  void sweep(const std::vector<PixelPoint>& outline, PixelPoint from, PixelPoint to);
  void drawArc(const GerberOp& op, double fromX, double fromY, int64_t toX, int64_t toY);
  void addRegionPoints(const GerberOp& op, int8_t mode, double fromX, double fromY);
  void fillRegion();
  void recordHole(int64_t x, int64_t y);
  void punchHoles();
  void exposeNegativeArea();

  struct Arc {
    double cx, cy;        // centre, image pixels (not rounded)
    double radius;        // pixels across (an ellipse on a film scaled unevenly)
    double radiusY;       // pixels down
    double start, sweep;  // canvas angles (radians); sweep > 0 counterclockwise in the file
    bool full = false;
  };
  bool arcGeometry(const GerberOp& op, double fromX, double fromY, Arc& arc) const;
  void appendEllipseArcPoints(const Arc& a, PixelPoint from, PixelPoint to);

  Linear2 apertureTransform() const {
    return frame_.apertures * program_.transforms[state_.transform].linear();
  }
  Rgb colour(bool dark) const { return dark != frame_.invert ? darkColour_ : clearColour_; }
  // Image pixels of a file point (with the repeat offset), not rounded.
  void toImage(double x, double y, double& px, double& py) const {
    frame_.placement.apply(x, y);
    px = (x + offX_) * ppiX_;
    py = (y + offY_) * ppiY_;
  }
  PixelPoint toPixel(double x, double y) const {
    double px, py;
    toImage(x, y, px, py);
    return {roundHalfEven(px), roundHalfEven(py)};
  }

  const GerberReader& reader_;
  const GerberProgram& program_;
  ShapeRasterizer& shapes_;
  Canvas* canvas_;  // the drawing's canvas; a probe's while a copy is probed
  const InterpreterSettings& settings_;
  Progress* progress_;
  double ppiX_, ppiY_;  // positions
  double penPpi_;       // aperture and pen sizes: the mean of the two
  bool negative_;
  Rgb darkColour_, clearColour_;
  double offX_, offY_;  // inches
  std::optional<PixelRect> negativeArea_;
  AxisScale scale_;

  Frame frame_;
  State state_;
  bool stopped_ = false;
  uint64_t executed_ = 0;   // statements run, for cancel
  uint64_t operated_ = 0;   // flashes and draws made, for progress
  int64_t holeRadius_ = 0;  // pixels
  std::vector<PixelPoint> holes_;
};

// Interpreter - Operation loop
// ============================================================================

void Interpreter::run() {
  if (progress_) progress_->busy = true;
  holeRadius_ = roundHalfEven(settings_.holeDiameter_mils * penPpi_ / 2000.0);
  frame_.placement = program_.image.placement();
  frame_.apertures = program_.image.apertureLinear();
  if (negative_) exposeNegativeArea();
  // The file's (0, 0) is the current point until the first move.
  const PixelPoint origin = toPixel(0.0, 0.0);
  state_.posX = origin.x, state_.posY = origin.y;
  setColours();
  canvas_->setPenWidth(1);
  runOps(program_.ops);
  if (state_.regionMode) {
    fillRegion();
    state_.regionMode = false;
  }
  punchHoles();
  if (progress_) {
    progress_->fraction = 1.0;
    progress_->busy = false;
  }
}

void Interpreter::runOps(std::span<const GerberOp> ops) {
  for (size_t i = 0; i < ops.size() && !stopped_; ++i) {
    if (++executed_ % 4096 == 0) {
      if (progress_ && reader_.Operations.operations > 0) {
        progress_->fraction = std::min(1.0, static_cast<double>(operated_) /
                                                static_cast<double>(reader_.Operations.operations));
      }
      if ((progress_ && progress_->cancelled) || (settings_.cancelled && *settings_.cancelled)) {
        stopped_ = true;
        return;
      }
    }
    const GerberOp& op = ops[i];
    switch (op.kind) {
      case GerberOp::Kind::Interpolation:
        state_.interpolation = op.value;
        break;
      case GerberOp::Kind::Quadrant:
        state_.multiQuadrant = op.value == 75;
        break;
      case GerberOp::Kind::RegionBegin:
        state_.region.clear();
        state_.regionMode = true;
        break;
      case GerberOp::Kind::RegionEnd:
        state_.regionMode = false;
        fillRegion();
        state_.region.clear();
        break;
      case GerberOp::Kind::Select:
        select(op.value);
        break;
      case GerberOp::Kind::DrawMode:
        state_.dMode = static_cast<int8_t>(op.value);
        break;
      case GerberOp::Kind::Operate:
        operate(op);
        break;
      case GerberOp::Kind::Polarity:
        state_.dark = op.value == 1;
        setColours();
        break;
      case GerberOp::Kind::Transform:
        state_.transform = static_cast<size_t>(op.value);
        // Scaling applies to draws as well: the pen follows the aperture.
        select(state_.aperture);
        break;
      case GerberOp::Kind::RepeatBegin: {
        size_t end = i + 1;
        while (end < ops.size() && ops[end].kind != GerberOp::Kind::RepeatEnd) ++end;
        repeat(ops.subspan(i + 1, end - i - 1), program_.repeats[static_cast<size_t>(op.value)]);
        i = end;
        break;
      }
      case GerberOp::Kind::RepeatEnd:
        break;
      case GerberOp::Kind::Stop:
        stopped_ = frame_.depth == 0;
        return;
    }
  }
}

// Whether a block's copies draw alike wherever they lie: its first operation
// moves or flashes at a point it states in full, so no copy draws from where
// the one before ended; no coordinate is incremental; nothing stops the file.
bool copiesStandAlone(std::span<const GerberOp> body) {
  bool first = true;
  for (const GerberOp& op : body) {
    if (op.kind == GerberOp::Kind::Stop) return false;
    if (op.kind != GerberOp::Kind::Operate) continue;
    if (op.has(GerberOp::kIncremental)) return false;
    if (first &&
        !(op.has(GerberOp::kHasX) && op.has(GerberOp::kHasY) && (op.dCode == 2 || op.dCode == 3))) {
      return false;
    }
    first = false;
  }
  return true;
}

void Interpreter::repeat(std::span<const GerberOp> body, const RepeatBlock& block) {
  // A copy that cannot reach the canvas's clip (a group's rows) is skipped:
  // the state it would leave is known beforehand when the copies stand
  // alone and the second one leaves the modes the first left. Two probes
  // tell it, and the reach of the first copy and of every later one.
  std::optional<ProbedCopy> first, later;
  if (settings_.skipUnreachedCopies &&
      static_cast<double>(block.nx) * static_cast<double>(block.ny) >= 4.0 &&
      copiesStandAlone(body)) {
    first = probeCopy(body, state_, canvas_->state());
    later = probeCopy(body, first->exit, first->canvas);
    if (!first->exit.sameModes(later->exit) || first->canvas != later->canvas) first.reset();
  }
  const PixelRect clip = canvas_->imageClip();
  const bool operates = std::any_of(body.begin(), body.end(), [](const GerberOp& op) {
    return op.kind == GerberOp::Kind::Operate;
  });
  uint64_t skipped = 0;
  // Copies in order, i outer and j inner; the running state goes on from
  // one copy to the next, as if the block were written out.
  for (int64_t i = 0; i < block.nx && !stopped_; ++i) {
    for (int64_t j = 0; j < block.ny && !stopped_; ++j) {
      state_.repeatX = RepeatBlock::offset(i, block.stepX, block.unitScale);
      state_.repeatY = RepeatBlock::offset(j, block.stepY, block.unitScale);
      const ProbedCopy* probed = !first ? nullptr : i == 0 && j == 0 ? &*first : &*later;
      if (!probed || copyMayReach(probed->reach, clip)) {
        runOps(body);
        continue;
      }
      // The copy's state, its points moved by its offset.
      const double repeatX = state_.repeatX, repeatY = state_.repeatY;
      state_ = probed->exit;
      state_.repeatX = repeatX, state_.repeatY = repeatY;
      if (operates) {
        state_.lastX += repeatX, state_.lastY += repeatY;
        const PixelPoint at = toPixel(state_.lastX, state_.lastY);
        state_.posX = at.x, state_.posY = at.y;
      }
      canvas_->setState(probed->canvas);
      ++skipped;
    }
  }
  g_repeatCopiesSkipped += skipped;
  // What follows a closed block is drawn without offset.
  state_.repeatX = state_.repeatY = 0.0;
}

Interpreter::ProbedCopy Interpreter::probeCopy(std::span<const GerberOp> body, const State& entry,
                                               const CanvasState& canvasEntry) {
  constexpr int64_t kHalf = int64_t{1} << 29;
  BoundsRecorder bounds(nullptr);
  Canvas probe(bounds, 2 * kHalf, 2 * kHalf);
  probe.setWindowOrigin(-kHalf, -kHalf);
  probe.setState(canvasEntry);
  Canvas* const drawing = std::exchange(canvas_, &probe);
  const size_t holes = holes_.size();
  const uint64_t operated = operated_;
  State outer = std::exchange(state_, entry);
  state_.repeatX = state_.repeatY = 0.0;
  runOps(body);
  const PixelRect& b = bounds.bounds;  // surface pixels, the image's (0, 0) at (kHalf, kHalf)
  ProbedCopy copy{
      std::exchange(state_, std::move(outer)), probe.state(),
      b.empty() ? b : PixelRect{b.x0 - kHalf, b.y0 - kHalf, b.x1 - kHalf, b.y1 - kHalf}};
  canvas_ = drawing;
  holes_.resize(holes);
  operated_ = operated;
  return copy;
}

// Whether a copy whose probe reached `reach` may touch `clip` at the
// running offset: points round on their own, so a margin of a few pixels,
// and the holes punched at the end reach out by their radius.
bool Interpreter::copyMayReach(const PixelRect& reach, const PixelRect& clip) const {
  if (reach.empty()) return false;
  double x0, y0, x1, y1;
  toImage(0.0, 0.0, x0, y0);
  toImage(state_.repeatX, state_.repeatY, x1, y1);
  const auto dx = static_cast<int64_t>(std::floor(x1 - x0));
  const auto dy = static_cast<int64_t>(std::floor(y1 - y0));
  const int64_t margin = 4 + holeRadius_;
  const PixelRect moved{reach.x0 + dx - margin, reach.y0 + dy - margin, reach.x1 + dx + margin,
                        reach.y1 + dy + margin};
  return !moved.intersected(clip).empty();
}

void Interpreter::setColours() {
  canvas_->setPenColor(colour(state_.dark));
  canvas_->setBrushColor(colour(state_.dark));
}

void Interpreter::select(int32_t dCode) {
  state_.aperture = dCode;
  state_.penWidth = 1.0;
  if (dCode >= 10 && dCode <= ApertureTable::kMaxDCode) {
    state_.penWidth = shapes_.measure(dCode, apertureTransform()).value_or(state_.penWidth);
  }
  applyAdjustment();
  int64_t w = roundHalfEven(state_.penWidth);
  canvas_->setPenWidth(w == 0 ? 1 : w);
}

void Interpreter::operate(const GerberOp& op) {
  if (op.dCode >= 0) state_.dMode = op.dCode;
  const int8_t mode = state_.dMode;
  const double fromX = state_.lastX, fromY = state_.lastY;
  const bool absolute = !op.has(GerberOp::kIncremental);
  if (op.has(GerberOp::kHasX)) state_.lastX = state_.incX.resolve(op.x, absolute) + state_.repeatX;
  if (op.has(GerberOp::kHasY)) state_.lastY = state_.incY.resolve(op.y, absolute) + state_.repeatY;
  const PixelPoint target = toPixel(state_.lastX, state_.lastY);
  const bool moves = op.has(GerberOp::kHasX) || op.has(GerberOp::kHasY);

  if (mode == 1 || mode == 3) ++operated_;
  if (state_.regionMode && !(mode == 3 && !moves)) {
    addRegionPoints(op, mode, fromX, fromY);
  } else {
    switch (mode) {
      case 3:
        state_.regionMode = false;
        flashAt(target.x, target.y, state_.lastX, state_.lastY);
        break;
      case 2:
        canvas_->moveTo(target.x, target.y);
        break;
      case 1:
        if (state_.interpolation == 1)
          drawLine(target.x, target.y);
        else
          drawArc(op, fromX, fromY, target.x, target.y);
        break;
      default:
        break;  // 0 or 4: move without drawing
    }
  }
  state_.posX = target.x;
  state_.posY = target.y;
}

// Interpreter - Flashes, lines and arcs
// ============================================================================

void Interpreter::applyAdjustment() {
  state_.penWidth += settings_.lineWidthAdjust_mils * penPpi_ / 1000.0;
  if (state_.penWidth == 0.0) state_.penWidth = 1.0;
}

void Interpreter::flashAt(int64_t x, int64_t y, double fileX, double fileY) {
  if (auto block = program_.blocks.find(state_.aperture); block != program_.blocks.end()) {
    flashBlock(block->second, fileX, fileY);
    return;
  }
  state_.penWidth =
      shapes_
          .flash(*canvas_, state_.aperture, apertureTransform(),
                 static_cast<double>(x) / shapes_.pixelsPerInch(),
                 static_cast<double>(y) / shapes_.pixelsPerInch(), colour(state_.dark))
          .value_or(state_.penWidth);
  applyAdjustment();
  recordHole(x, y);
}

// A block's statements drawn with their origin on the flash point, turned
// with the aperture transform in force; in clear polarity dark and clear
// swap. The statements after the flash go on where they were.
void Interpreter::flashBlock(const std::vector<GerberOp>& ops, double fileX, double fileY) {
  if (frame_.depth >= kMaxBlockDepth) return;
  const Frame outerFrame = frame_;
  State outer = std::move(state_);
  double ox = fileX, oy = fileY;
  outerFrame.placement.apply(ox, oy);
  const Linear2 turn = outerFrame.apertures * program_.transforms[outer.transform].linear();
  frame_ = {Placement{turn, ox, oy}, turn, outerFrame.invert != !outer.dark, outerFrame.depth + 1};
  state_ = State{};
  const PixelPoint origin = toPixel(0.0, 0.0);
  state_.posX = origin.x, state_.posY = origin.y;
  setColours();
  runOps(ops);
  if (state_.regionMode) fillRegion();
  frame_ = outerFrame;
  state_ = std::move(outer);
  setColours();
  int64_t w = roundHalfEven(state_.penWidth);
  canvas_->setPenWidth(w == 0 ? 1 : w);
}

void Interpreter::drawLine(int64_t toX, int64_t toY) {
  const int64_t fromX = state_.posX, fromY = state_.posY;
  if (state_.aperture >= 10 && state_.aperture <= ApertureTable::kMaxDCode) {
    const PreparedAperture* p = shapes_.prepare(state_.aperture, apertureTransform());
    if (p && !p->outline.empty()) {
      sweep(p->outline, {fromX, fromY}, {toX, toY});
      return;
    }
  }
  int64_t w = roundHalfEven(state_.penWidth);
  canvas_->setPenWidth(w <= 2 ? 2 : w + 1);
  canvas_->moveTo(fromX, fromY);
  int64_t dx = toX - fromX;
  int64_t dy = toY - fromY;
  // Very long segments are drawn in two halves.
  if (std::hypot(static_cast<double>(dx), static_cast<double>(dy)) > 10000.0) {
    canvas_->lineTo(fromX + dx / 2, fromY + dy / 2);
  }
  canvas_->lineTo(toX, toY);
  if (w > 3) {
    // The aperture at both ends gives the line its end shape.
    int64_t width = canvas_->penWidth_px();
    for (auto [x, y] : {std::pair{fromX, fromY}, std::pair{toX, toY}}) {
      state_.penWidth =
          shapes_
              .flash(*canvas_, state_.aperture, apertureTransform(),
                     static_cast<double>(x) / shapes_.pixelsPerInch(),
                     static_cast<double>(y) / shapes_.pixelsPerInch(), colour(state_.dark))
              .value_or(state_.penWidth);
      applyAdjustment();
    }
    canvas_->setPenWidth(width);
    canvas_->moveTo(toX, toY);
  }
}

// A line drawn with a rectangle or polygon is the shape swept along it: the
// hull of the shape at both ends, grown by half the line-width adjustment.
void Interpreter::sweep(const std::vector<PixelPoint>& outline, PixelPoint from, PixelPoint to) {
  std::vector<PixelPoint> ends;
  for (PixelPoint at : {from, to}) {
    for (const PixelPoint& p : outline) ends.push_back({at.x + p.x, at.y + p.y});
  }
  std::vector<PixelPoint> hull = convexHull(std::move(ends));
  const double grow = settings_.lineWidthAdjust_mils * penPpi_ / 1000.0 / 2.0;
  if (grow != 0.0) hull = grownConvex(hull, grow);
  const int64_t width = canvas_->penWidth_px();
  canvas_->setPenWidth(1);
  canvas_->fillPolygon(hull);
  canvas_->setPenWidth(width);
  canvas_->moveTo(to.x, to.y);
}

// The arc from the current point to the operation's end point: its centre
// is fixed by I and J (unsigned in single-quadrant mode, where the centre is
// the one that makes an arc of at most a quarter turn) and its direction by
// G02 or G03. Only an arc that ends where it starts (in multi-quadrant mode)
// is a full circle. Returns false for an arc of no radius.
bool Interpreter::arcGeometry(const GerberOp& op, double fromX, double fromY, Arc& arc) const {
  const double i = op.has(GerberOp::kHasI) ? op.i : 0.0, j = op.has(GerberOp::kHasJ) ? op.j : 0.0;
  const double toX = state_.lastX, toY = state_.lastY;
  const bool ccw = state_.interpolation == 3;
  double ci = i, cj = j;  // centre minus start, file frame
  if (!state_.multiQuadrant) {
    // Of the four centres the offsets allow, the one whose arc in this
    // direction is at most a quarter turn and whose radii agree best.
    double best = HUGE_VAL;
    for (double si : {1.0, -1.0}) {
      for (double sj : {1.0, -1.0}) {
        const double ti = si * std::fabs(i), tj = sj * std::fabs(j);
        const double a0 = angleOf(-ti, -tj), a1 = angleOf(toX - fromX - ti, toY - fromY - tj);
        double sweep = ccw ? a1 - a0 : a0 - a1;
        if (sweep < 0) sweep += 2 * kPi;
        if (sweep > kPi / 2 + 1e-6) continue;
        const double r0 = std::hypot(ti, tj), r1 = std::hypot(toX - fromX - ti, toY - fromY - tj);
        if (std::fabs(r0 - r1) < best) best = std::fabs(r0 - r1), ci = ti, cj = tj;
      }
    }
  }
  if (ci == 0.0 && cj == 0.0) return false;
  // The centre in image pixels: from the current pixel, as the offsets turn.
  double ui = ci, uj = cj;
  frame_.placement.linear.apply(ui, uj);
  arc.cx = static_cast<double>(state_.posX) + ui * ppiX_;
  arc.cy = static_cast<double>(state_.posY) + uj * ppiY_;
  arc.radius = std::hypot(ui, uj) * ppiX_;
  arc.radiusY = std::hypot(ui, uj) * ppiY_;
  // Angles from the exact points: the start, the end, in image space.
  double sx, sy, ex, ey, centreX, centreY;
  toImage(fromX, fromY, sx, sy);
  toImage(toX, toY, ex, ey);
  toImage(fromX + ci, fromY + cj, centreX, centreY);
  arc.start = angleOf(sx - centreX, sy - centreY);
  const double end = angleOf(ex - centreX, ey - centreY);
  // A mirrored frame runs the arc the other way round.
  const bool counter = ccw != (frame_.placement.linear.det() < 0);
  arc.full = state_.multiQuadrant && fromX == toX && fromY == toY;
  double sweep = counter ? end - arc.start : arc.start - end;
  if (sweep < 0) sweep += 2 * kPi;
  if (arc.full) sweep = 2 * kPi;
  arc.sweep = counter ? sweep : -sweep;
  return true;
}

void Interpreter::drawArc(const GerberOp& op, double fromX, double fromY, int64_t toX,
                          int64_t toY) {
  Arc a;
  const int64_t fromPxX = state_.posX, fromPxY = state_.posY;
  // An arc of no radius, or one too short to bend within a pixel, is drawn
  // as a line: where it starts and ends at one point, a dot of the aperture.
  if (!arcGeometry(op, fromX, fromY, a) ||
      (!a.full && (std::fabs(a.sweep) * a.radius < 0.5 || std::fabs(a.sweep) < 1e-7))) {
    drawLine(toX, toY);
    return;
  }
  canvas_->moveTo(fromPxX, fromPxY);
  const int64_t x1 = roundHalfEven(a.cx - a.radius), y1 = roundHalfEven(a.cy - a.radiusY);
  const int64_t x2 = roundHalfEven(a.cx + a.radius), y2 = roundHalfEven(a.cy + a.radiusY);
  // The canvas sweeps counterclockwise on screen (Y down), which is the
  // file's clockwise: a counterclockwise arc runs from its end back to its start.
  const bool counter = a.sweep > 0;
  if (a.full || 2 * kPi - std::fabs(a.sweep) < 1e-7) {
    canvas_->arc(x1, y1, x2, y2, fromPxX, fromPxY, fromPxX, fromPxY);
  } else if (std::hypot(static_cast<double>(toX - fromPxX), static_cast<double>(toY - fromPxY)) >=
             8.0) {
    // Ends far enough apart that their pixels give the sweep unmistakably.
    if (counter)
      canvas_->arc(x1, y1, x2, y2, toX, toY, fromPxX, fromPxY);
    else
      canvas_->arc(x1, y1, x2, y2, fromPxX, fromPxY, toX, toY);
  } else {
    // Ends within a few pixels: a tiny arc or an almost full circle. The
    // radials are taken far out along the exact angles, so that the
    // canvas sees the sweep the centre and direction give.
    const double bx = (static_cast<double>(x1) + static_cast<double>(x2)) / 2;
    const double by = (static_cast<double>(y1) + static_cast<double>(y2)) / 2;
    constexpr double kFar = double(int64_t{1} << 28);
    auto radial = [&](double angle) {
      return PixelPoint{roundHalfEven(bx + kFar * std::cos(angle)),
                        roundHalfEven(by + kFar * std::sin(angle))};
    };
    const PixelPoint s = radial(a.start), e = radial(a.start + a.sweep);
    if (counter)
      canvas_->arc(x1, y1, x2, y2, e.x, e.y, s.x, s.y);
    else
      canvas_->arc(x1, y1, x2, y2, s.x, s.y, e.x, e.y);
  }
  canvas_->moveTo(toX, toY);
}

// Interpreter - Regions
// ============================================================================

void Interpreter::addRegionPoints(const GerberOp& op, int8_t mode, double fromX, double fromY) {
  const PixelPoint target = toPixel(state_.lastX, state_.lastY);
  // A move inside a region closes the contour so far and starts another.
  if (mode == 2) {
    if (!state_.region.empty()) {
      fillRegion();
      state_.region.clear();
    }
    state_.region.push_back(target);
    return;
  }
  // A contour drawn without a move inside the region starts at the current point.
  if (state_.region.empty()) state_.region.push_back({state_.posX, state_.posY});
  Arc a;
  if (mode != 1 || state_.interpolation == 1 || !arcGeometry(op, fromX, fromY, a)) {
    state_.region.push_back(target);
    return;
  }
  state_.region.pop_back();  // the arc's first point is the current point
  if (a.radiusY == a.radius) {
    appendArcPoints(state_.region, a.cx, a.cy, a.radius, a.start, a.sweep,
                    {state_.posX, state_.posY}, target);
  } else {
    appendEllipseArcPoints(a, {state_.posX, state_.posY}, target);
  }
}

// An arc of a film scaled unevenly, an ellipse: the circle's points
// stretched. The angles of the image's ellipse are turned back into the
// circle's, and the arc takes the steps a circle of its larger radius takes.
void Interpreter::appendEllipseArcPoints(const Arc& a, PixelPoint from, PixelPoint to) {
  auto circleAngle = [&](double angle) {
    return std::atan2(a.radius * std::sin(angle), a.radiusY * std::cos(angle));
  };
  const double start = circleAngle(a.start);
  double sweep = circleAngle(a.start + a.sweep) - start;
  if (std::fabs(a.sweep) >= 2 * kPi - 1e-7) {
    sweep = a.sweep;
  } else if (a.sweep > 0) {
    while (sweep < 0) sweep += 2 * kPi;
  } else {
    while (sweep > 0) sweep -= 2 * kPi;
  }
  std::vector<PixelPoint> circle;
  const double r = std::max(a.radius, a.radiusY);
  appendArcPoints(circle, 0.0, 0.0, r, start, sweep, {}, {});
  state_.region.push_back(from);
  for (size_t k = 1; k + 1 < circle.size(); ++k) {
    const double t =
        start + sweep * static_cast<double>(k) / static_cast<double>(circle.size() - 1);
    state_.region.push_back({roundHalfEven(a.cx + a.radius * std::cos(t)),
                             roundHalfEven(a.cy + a.radiusY * std::sin(t))});
  }
  state_.region.push_back(to);
}

void Interpreter::fillRegion() {
  if (state_.region.empty()) return;
  int64_t width = canvas_->penWidth_px();
  canvas_->setPenWidth(1);
  canvas_->fillPolygon(state_.region);
  canvas_->setPenWidth(width);
}

// Interpreter - Holes and negative layers
// ============================================================================

void Interpreter::recordHole(int64_t x, int64_t y) {
  if (settings_.holeDiameter_mils <= 0.0) return;
  const auto& skip = settings_.noHoleDCodes;
  if (std::find(skip.begin(), skip.end(), state_.aperture) != skip.end()) return;
  // Only holes that can reach the canvas are kept: a band of a file of a
  // billion flashes keeps its own few.
  const int64_t r = holeRadius_ + 1;
  const PixelRect clip = canvas_->imageClip();
  if (x + r < clip.x0 || x - r > clip.x1 || y + r < clip.y0 || y - r > clip.y1) return;
  holes_.push_back({x, y});
}

void Interpreter::punchHoles() {
  if (holes_.empty() || settings_.holeDiameter_mils <= 0.0) return;
  const int64_t r = holeRadius_;
  // Holes are the layer's background, whatever polarity the file ended in.
  canvas_->setColor(clearColour_);
  int64_t width = canvas_->penWidth_px();
  canvas_->setPenWidth(0);
  for (const PixelPoint& h : holes_) canvas_->fillEllipse(h.x - r, h.y - r, h.x + r, h.y + r);
  canvas_->setPenWidth(width);
  setColours();
}

void Interpreter::exposeNegativeArea() {
  PixelRect area;
  if (negativeArea_) {
    area = *negativeArea_;
  } else {
    const LayerReach reach = measureReach(reader_, shapes_, settings_, nullptr, scale_);
    if (reach.empty) return;
    area = {
        roundHalfEven((reach.minX + offX_) * ppiX_), roundHalfEven((reach.minY + offY_) * ppiY_),
        roundHalfEven((reach.maxX + offX_) * ppiX_), roundHalfEven((reach.maxY + offY_) * ppiY_)};
  }
  canvas_->setColor(clearColour_);
  canvas_->fillRect(area.x0, area.y0, area.x1, area.y1);
}

}  // namespace

uint64_t repeatCopiesSkipped() {
  return g_repeatCopiesSkipped.load();
}

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

LayerReach measureReach(const GerberReader& reader, double pixelsPerInch,
                        const InterpreterSettings& settings) {
  ShapeRasterizer shapes(reader.Apertures, pixelsPerInch);
  return measureReach(reader, shapes, settings);
}

LayerReach measureReach(const GerberReader& reader, ShapeRasterizer& shapes,
                        const InterpreterSettings& settings, CanvasRecorder* also,
                        const AxisScale& scale) {
  // Drawn with the data's own origin on image point (0, 0), onto a canvas
  // that reaches 2^29 pixels every way and only notes the bounds.
  constexpr int64_t kHalf = int64_t{1} << 29;
  const double ppi = shapes.pixelsPerInch() / scale.mean();
  BoundsRecorder bounds(also);
  Canvas canvas(bounds, 2 * kHalf, 2 * kHalf);
  canvas.setWindowOrigin(-kHalf, -kHalf);
  LayerPlacement placement{reader.MinX, reader.MinY, ppi, kBlack, PixelRect{}, scale};
  LayerReach reach;
  interpretLayer(reader, shapes, canvas, placement, settings);
  if (bounds.bounds.empty()) return reach;
  const PixelRect& b = bounds.bounds;
  constexpr int64_t kGrow = 2;
  const double ppiX = ppi * scale.x, ppiY = ppi * scale.y;
  reach.minX = static_cast<double>(b.x0 - kHalf - kGrow) / ppiX;
  reach.minY = static_cast<double>(b.y0 - kHalf - kGrow) / ppiY;
  reach.maxX = static_cast<double>(b.x1 - kHalf + kGrow) / ppiX;
  reach.maxY = static_cast<double>(b.y1 - kHalf + kGrow) / ppiY;
  reach.empty = false;
  return reach;
}

}  // namespace drumplot
