// SPDX-License-Identifier: MIT
// The check before plotting.
#include "output/preflight.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <map>
#include <sstream>

#include "apertures/aperture_file.h"
#include "engine/canvas.h"
#include "engine/errors.h"
#include "engine/layer_renderer.h"
#include "engine/rounding.h"
#include "job/board_import.h"
#include "job/settings_file.h"
#include "output/fpf_encoder.h"
#include "output/fpf_file.h"
#include "output/job_raster.h"
#include "output/plotter_export.h"
#include "output/prepared_job.h"
#include "output/workers.h"

namespace drumplot {

namespace {

// The narrowest line the pen rule draws, pixels: thinner strokes come out this wide.
constexpr int64_t kMinPen_px = 2;
// The resolution at which the film is drawn to estimate its file size.
constexpr double kSampleDpi = 100.0;
// At the export's resolution an edge that crosses a group of four rows
// slantwise makes runs of mixed columns: measured, about this many bytes
// more per edge and group than the sample's straight edge.
constexpr double kEdgeBytes = 3.5;
// What the export costs on one core, measured: per byte written, per pixel
// of the film, per span and pixel drawn, and its reading against the
// check's (it also records display lists).
constexpr double kSecondsPerByte = 4e-9;
constexpr double kSecondsPerPixel = 1.5e-11;
constexpr double kSecondsPerSpan = 1e-8;
constexpr double kSecondsPerDrawnPixel = 1e-11;
constexpr double kReadFactor = 2.0;
constexpr double kFixedSeconds = 0.05;

std::string inchText(double inches) {
  std::ostringstream out;
  out.precision(3);
  out << std::fixed << inches;
  return out.str();
}

std::string milsText(double mils) {
  std::ostringstream out;
  out.precision(2);
  out << std::fixed << mils;
  return out.str();
}

InchBox unite(const InchBox& a, const InchBox& b) {
  return {std::min(a.MinX, b.MinX), std::min(a.MinY, b.MinY), std::max(a.MaxX, b.MaxX),
          std::max(a.MaxY, b.MaxY)};
}

// How often each aperture is used, walked over the decoded operations.
struct ApertureUse {
  uint64_t uses = 0;        // flashes and strokes
  uint64_t penStrokes = 0;  // lines and arcs drawn with the round pen
  size_t firstLine = 0;
  size_t transform = 0;  // the aperture transform of the first stroke
};

class UseCounter {
 public:
  UseCounter(const GerberProgram& program, ShapeRasterizer& shapes)
      : program_(program), shapes_(shapes) {}

  void walk(const std::vector<GerberOp>& ops) {
    State s;
    std::vector<uint64_t> repeats{1};
    for (const GerberOp& op : ops) {
      switch (op.kind) {
        case GerberOp::Kind::Select:
          s.aperture = op.value;
          break;
        case GerberOp::Kind::Interpolation:
          s.interpolation = op.value;
          break;
        case GerberOp::Kind::RegionBegin:
          s.region = true;
          break;
        case GerberOp::Kind::RegionEnd:
          s.region = false;
          break;
        case GerberOp::Kind::Transform:
          s.transform = static_cast<size_t>(op.value);
          break;
        case GerberOp::Kind::RepeatBegin: {
          const RepeatBlock& block = program_.repeats.at(static_cast<size_t>(op.value));
          repeats.push_back(repeats.back() *
                            static_cast<uint64_t>(std::max<int64_t>(block.nx * block.ny, 1)));
          break;
        }
        case GerberOp::Kind::RepeatEnd:
          if (repeats.size() > 1) repeats.pop_back();
          break;
        case GerberOp::Kind::Operate:
          operate(op, s, repeats.back());
          break;
        default:
          break;
      }
    }
  }

  std::map<int, ApertureUse> uses;

 private:
  struct State {
    int32_t aperture = 10;
    int32_t interpolation = 1;
    int8_t dMode = 0;
    bool region = false;
    size_t transform = 0;
  };

  void operate(const GerberOp& op, State& s, uint64_t copies) {
    if (op.dCode >= 0) s.dMode = op.dCode;
    const bool moves = op.has(GerberOp::kHasX) || op.has(GerberOp::kHasY);
    if (s.region && !(s.dMode == 3 && !moves)) return;  // a region's outline: no aperture
    if (s.dMode != 1 && s.dMode != 3) return;
    ApertureUse& use = uses[s.aperture];
    if (use.uses == 0) use.firstLine = op.line, use.transform = s.transform;
    use.uses += copies;
    if (s.dMode == 1 && (s.interpolation != 1 || !sweeps(s))) use.penStrokes += copies;
  }

  // A line drawn with a solid rectangle or polygon sweeps its shape; other
  // apertures draw lines with the round pen.
  bool sweeps(const State& s) {
    if (s.aperture < 10 || s.aperture > ApertureTable::kMaxDCode) return false;
    try {
      const PreparedAperture* p =
          shapes_.prepare(s.aperture, program_.transforms[s.transform].linear());
      return p && !p->outline.empty();
    } catch (const FormatError&) {
      return false;
    }
  }

  const GerberProgram& program_;
  ShapeRasterizer& shapes_;
};

// One layer file read as the export reads it: what it finds holds for
// every board layer that draws the file.
struct LayerCheck {
  const std::string& file;
  const PreflightSettings& settings;
  const InterpreterSettings& interpreter;
  std::vector<CheckProblem>& problems;

  void problem(CheckSeverity severity, CheckKind kind, std::string message,
               CheckProblem detail = {}) {
    detail.severity = severity;
    detail.Kind = kind;
    detail.file = file;
    detail.message = std::move(message);
    problems.push_back(std::move(detail));
  }

  // What reading said; what a drawing leaves out is an error of its kind.
  void readWarnings(const ReadWarnings& warnings) {
    for (size_t i = 0; i < warnings.messages.size(); ++i) {
      switch (warnings.faults[i]) {
        case DrawingFault::None:
          problem(CheckSeverity::Warning, CheckKind::ReadWarning, warnings.messages[i]);
          break;
        case DrawingFault::UnreadableExpression:
          problem(CheckSeverity::Error, CheckKind::UnreadableExpression, warnings.messages[i]);
          break;
        case DrawingFault::NestingTooDeep:
          problem(CheckSeverity::Error, CheckKind::NestingTooDeep, warnings.messages[i]);
          break;
      }
    }
  }

  // A file no drawing takes (an aperture block that flashes itself, more
  // operations than the limit) is an error, and is looked at no further:
  // measuring it would walk every copy.
  bool drawable(const GerberReader& reader) {
    std::string why = reader.undrawableText(kMaxDrawnOperations);
    if (why.empty()) return true;
    problem(
        CheckSeverity::Error,
        reader.Operations.recursiveBlock ? CheckKind::RecursiveBlock : CheckKind::ExpansionTooLarge,
        std::move(why));
    return false;
  }

  void undefinedDCodes(const GerberReader& reader, const std::map<int, ApertureUse>& uses) {
    for (const auto& [dCode, use] : uses) {
      if (reader.Apertures.find(dCode)) continue;
      CheckProblem p;
      p.dCode = dCode;
      p.Count = use.uses;
      p.firstLine = use.firstLine;
      problem(CheckSeverity::Error, CheckKind::UndefinedDCode,
              file + ":" + std::to_string(use.firstLine) + ": D" + std::to_string(dCode) +
                  " is used " +
                  (use.uses == 1 ? std::string("once") : std::to_string(use.uses) + " times") +
                  " but defined neither in the file nor in an aperture file: its flashes "
                  "draw nothing and its lines are 1 pixel wide",
              p);
    }
  }

  void widenedStrokes(const GerberReader& reader, ShapeRasterizer& shapes,
                      const std::map<int, ApertureUse>& uses) {
    // Pens are drawn at the mean of the film's two scaled resolutions.
    const double dpi = shapes.pixelsPerInch();
    for (const auto& [dCode, use] : uses) {
      if (use.penStrokes == 0 || !reader.Apertures.find(dCode)) continue;
      if (reader.program.blocks.count(dCode)) continue;  // a block draws its own statements
      std::optional<double> measured;
      try {
        measured = shapes.measure(dCode, reader.program.transforms[use.transform].linear());
      } catch (const FormatError&) {
        continue;
      }
      const double pen_px =
          measured.value_or(1.0) + interpreter.lineWidthAdjust_mils * dpi / 1000.0;
      if (pen_px >= static_cast<double>(kMinPen_px)) continue;
      CheckProblem p;
      p.dCode = dCode;
      p.Count = use.penStrokes;
      p.pen_px = std::max(pen_px, 0.0);
      p.drawnWidth_px = kMinPen_px;
      std::ostringstream pen;
      pen << p.pen_px;
      problem(CheckSeverity::Warning, CheckKind::PenWidened,
              file + ": " + std::to_string(use.penStrokes) + " strokes of D" +
                  std::to_string(dCode) + " (a pen of " + pen.str() + " pixels at " +
                  std::to_string(settings.exportSettings.dpi) + " dpi) are drawn " +
                  std::to_string(kMinPen_px) + " pixels (" + milsText(kMinPen_px * 1000.0 / dpi) +
                  " mil) wide",
              p);
    }
  }
};

// A layer's own extents (data inches) against its board's master data.
std::optional<CheckProblem> misalignment(const InchBox& layer, const Board& board,
                                         const PreflightSettings& settings,
                                         const std::string& file) {
  const double off = std::max({board.DataMinX - layer.MinX, board.DataMinY - layer.MinY,
                               layer.MaxX - (board.DataMinX + board.DataWidth),
                               layer.MaxY - (board.DataMinY + board.DataHeight)});
  if (off <= settings.tolerance) return std::nullopt;
  CheckProblem p;
  p.Kind = CheckKind::LayerMisaligned;
  p.file = file;
  p.box = layer;
  p.off = off;
  p.message = file + ": its data reach " + inchText(off) +
              " inch beyond the board's master data (" + inchText(board.DataMinX) + ", " +
              inchText(board.DataMinY) + " to " + inchText(board.DataMinX + board.DataWidth) +
              ", " + inchText(board.DataMinY + board.DataHeight) +
              " inch): another board's layer, another origin or another unit?";
  return p;
}

// The job drawn at a coarse resolution to estimate the film's bytes: only
// where the boards draw (the rest of the film is background), at
// `dpi` pixels per inch; pixel (0, 0) is the film's pixel (x0, y0) at that
// resolution.
struct FilmSample {
  BandBitmap bits;
  double dpi = 0.0;
  int64_t x0 = 0, y0 = 0;
};

// The sample of what `drawn` covers (inches on the film) within the
// film, at kSampleDpi or coarser, so that it takes at most `maxBytes`.
FilmSample sampleWindow(const PlotterExportPlan& plan, const std::optional<InchBox>& drawn,
                        uint64_t maxBytes) {
  FilmSample s;
  s.dpi = std::min<double>(kSampleDpi, plan.dpi);
  if (!drawn) return s;
  const double filmWidth = static_cast<double>(plan.width_px) / plan.dpi;
  const double filmHeight = static_cast<double>(plan.height_px) / plan.dpi;
  const InchBox in{
      std::clamp(drawn->MinX, 0.0, filmWidth), std::clamp(drawn->MinY, 0.0, filmHeight),
      std::clamp(drawn->MaxX, 0.0, filmWidth), std::clamp(drawn->MaxY, 0.0, filmHeight)};
  // A pixel more on each side for rounding.
  const double bytes =
      ((in.MaxX - in.MinX) * s.dpi + 3.0) * ((in.MaxY - in.MinY) * s.dpi + 3.0) / 8.0;
  if (bytes > static_cast<double>(maxBytes)) {
    s.dpi = std::max(s.dpi * std::sqrt(static_cast<double>(maxBytes) / bytes), 1e-3);
  }
  auto pixel = [&](double inches) { return static_cast<int64_t>(std::floor(inches * s.dpi)); };
  s.x0 = std::max<int64_t>(pixel(in.MinX) - 1, 0);
  s.y0 = std::max<int64_t>(pixel(in.MinY) - 1, 0);
  s.bits = BandBitmap(std::max<int64_t>(pixel(in.MaxX) + 2 - s.x0, 0),
                      std::max<int64_t>(pixel(in.MaxY) + 2 - s.y0, 0));
  return s;
}

// The film's bytes, estimated from the sample: each run of a sample row
// costs what the plotter file's run coding takes for it at the export's
// resolution, once for every group of four rows the sample row stands for;
// the film's rows beside the sample are background.
uint64_t estimateFileBytes(const FilmSample& sample, const PlotterExportPlan& plan) {
  const double ratio = plan.dpi / sample.dpi;
  std::vector<uint8_t> scratch;
  auto runBytes = [&](bool background, int64_t pixels) {
    scratch.clear();
    appendRun(background ? 15 : 0, static_cast<uint64_t>(std::max<int64_t>(pixels, 0)), scratch);
    return scratch.size();
  };
  const BandBitmap& bits = sample.bits;
  const int64_t x1 = sample.x0 + bits.width_px();
  auto background = [&](int64_t x, int64_t y) {
    return x < sample.x0 || x >= x1 || bits.isBackground(x - sample.x0, y);
  };
  auto filmColumn = [&](int64_t x) {
    return std::min(roundHalfEven(static_cast<double>(x) * ratio), plan.width_px);
  };
  const auto lastColumn =
      static_cast<int64_t>(std::ceil(static_cast<double>(plan.width_px) / ratio)) - 1;
  double groups = 0.0, sampledRows = 0.0;
  for (int64_t y = 0; y < bits.rows(); ++y) {
    uint64_t rowBytes = 1;  // the group's end mark
    double edgeBytes = 0.0;
    // Runs begin at column 0 and where the colour changes; the last ends
    // at the film's edge.
    int64_t start = 0;
    bool colour = background(0, y);
    for (int64_t x = std::max<int64_t>(sample.x0, 1); x <= std::min(x1, lastColumn); ++x) {
      if (background(x, y) == colour) continue;
      rowBytes += runBytes(colour, filmColumn(x) - filmColumn(start));
      edgeBytes += kEdgeBytes;
      start = x;
      colour = !colour;
    }
    rowBytes += runBytes(colour, plan.width_px - filmColumn(start));
    const double filmRows =
        std::min(static_cast<double>(sample.y0 + y + 1) * ratio,
                 static_cast<double>(plan.height_px)) -
        std::min(static_cast<double>(sample.y0 + y) * ratio, static_cast<double>(plan.height_px));
    groups += (static_cast<double>(rowBytes) + edgeBytes) * filmRows / 4.0;
    sampledRows += filmRows;
  }
  const double emptyRows = static_cast<double>(plan.height_px) - sampledRows;
  groups += static_cast<double>(1 + runBytes(true, plan.width_px)) * emptyRows / 4.0;
  return kFpfImageOffset + static_cast<uint64_t>(std::llround(groups));
}

// Reading every layer file (as long as this check took to read them; the
// export reads them and then records them), and the bands: the film's
// pixels coded, the spans and pixels drawn and the bytes written, shared
// among the cores.
double estimateSeconds(const PlotterExportPlan& plan, uint64_t fileBytes, double readSeconds,
                       double spans, double drawnPixels, unsigned threads) {
  const double cores = workerCount(threads);
  const double pixels = static_cast<double>(plan.width_px) * static_cast<double>(plan.height_px);
  const double bands = static_cast<double>(fileBytes) * kSecondsPerByte +
                       pixels * kSecondsPerPixel + spans * kSecondsPerSpan +
                       drawnPixels * kSecondsPerDrawnPixel;
  return kFixedSeconds + kReadFactor * readSeconds + bands / cores;
}

// Where a board's master data lies on the plotting area (when no layer
// could be measured).
InchBox boardBox(const Board& board, double shiftX, double shiftY) {
  return {board.PosX + shiftX, board.PosY + shiftY, board.PosX + shiftX + board.DataWidth,
          board.PosY + shiftY + board.DataHeight};
}

// A box on the plotting area as a film stretched by `scale` draws it.
InchBox scaled(const InchBox& b, const AxisScale& scale) {
  return {b.MinX * scale.x, b.MinY * scale.y, b.MaxX * scale.x, b.MaxY * scale.y};
}

void checkPlacement(const Job& job, const std::vector<size_t>& boards,
                    const std::vector<InchBox>& boxes, PreflightReport& report) {
  constexpr double kEpsilon = 1e-6;
  const double width = job.settings.PlotWidth, height = job.settings.PlotHeight;
  for (size_t k = 0; k < boards.size(); ++k) {
    const InchBox& b = boxes[k];
    const double off = std::max({-b.MinX, -b.MinY, b.MaxX - width, b.MaxY - height});
    if (off > kEpsilon) {
      CheckProblem p;
      p.severity = CheckSeverity::Error;
      p.Kind = CheckKind::OutsidePlotArea;
      p.board = boards[k];
      p.box = b;
      p.off = off;
      p.message = "Board " + std::to_string(boards[k] + 1) + " reaches " + inchText(off) +
                  " inch beyond the plotting area (" + inchText(b.MinX) + ", " + inchText(b.MinY) +
                  " to " + inchText(b.MaxX) + ", " + inchText(b.MaxY) + " inch; the area is " +
                  inchText(width) + " x " + inchText(height) + " inch)";
      report.problems.push_back(std::move(p));
    }
    for (size_t j = k + 1; j < boards.size(); ++j) {
      const InchBox overlap{std::max(b.MinX, boxes[j].MinX), std::max(b.MinY, boxes[j].MinY),
                            std::min(b.MaxX, boxes[j].MaxX), std::min(b.MaxY, boxes[j].MaxY)};
      const double across = std::min(overlap.MaxX - overlap.MinX, overlap.MaxY - overlap.MinY);
      if (across <= kEpsilon) continue;
      CheckProblem p;
      p.Kind = CheckKind::BoardOverlap;
      p.board = boards[k];
      p.otherBoard = boards[j];
      p.box = overlap;
      p.off = across;
      p.message = "Board " + std::to_string(boards[k] + 1) + " overlaps board " +
                  std::to_string(boards[j] + 1) + " by " + inchText(overlap.MaxX - overlap.MinX) +
                  " x " + inchText(overlap.MaxY - overlap.MinY) + " inch";
      report.problems.push_back(std::move(p));
    }
  }
}

}  // namespace

// Preflight - Names
// ============================================================================

const char* kindKey(CheckKind kind) {
  switch (kind) {
    case CheckKind::UnreadableFile:
      return "unreadable-file";
    case CheckKind::DrillFileOnLayer:
      return "drill-file-on-layer";
    case CheckKind::UndefinedDCode:
      return "undefined-d-code";
    case CheckKind::OutsidePlotArea:
      return "outside-plot-area";
    case CheckKind::FilmImpossible:
      return "film-impossible";
    case CheckKind::PenWidened:
      return "pen-widened";
    case CheckKind::BoardOverlap:
      return "board-overlap";
    case CheckKind::LayerMisaligned:
      return "layer-misaligned";
    case CheckKind::ReadWarning:
      return "read-warning";
    case CheckKind::UnreadableExpression:
      return "unreadable-expression";
    case CheckKind::NestingTooDeep:
      return "nesting-too-deep";
    case CheckKind::RecursiveBlock:
      return "recursive-block";
    case CheckKind::ExpansionTooLarge:
      return "expansion-too-large";
  }
  return "?";
}

const char* severityKey(CheckSeverity severity) {
  return severity == CheckSeverity::Error ? "error" : "warning";
}

// Preflight - Report
// ============================================================================

size_t PreflightReport::errors() const {
  return static_cast<size_t>(
      std::count_if(problems.begin(), problems.end(),
                    [](const CheckProblem& p) { return p.severity == CheckSeverity::Error; }));
}

size_t PreflightReport::warnings() const {
  return problems.size() - errors();
}

std::optional<CheckSeverity> PreflightReport::boardSeverity(size_t board) const {
  std::optional<CheckSeverity> worst;
  for (const CheckProblem& p : problems) {
    if (p.board != board && p.otherBoard != board) continue;
    if (p.severity == CheckSeverity::Error) return p.severity;
    worst = p.severity;
  }
  return worst;
}

std::string PreflightReport::boardText(size_t board) const {
  std::string text;
  for (const CheckProblem& p : problems) {
    if (p.board != board && p.otherBoard != board) continue;
    text += std::string(text.empty() ? "" : "\n") + severityKey(p.severity) + ": " + p.message;
  }
  return text;
}

OutputLayers layersWithGerber(const Job& job) {
  OutputLayers layers{};
  for (const Board& board : job.boards) {
    if (board.IsMark) continue;  // a mark lies on every layer
    for (size_t n = 0; n < layers.size(); ++n) {
      const std::string& file = board.LayerGerber[n];
      if (!file.empty() && !layers[n] && !isDrillFile(job.resolvePath(file))) layers[n] = true;
    }
  }
  return layers;
}

// Preflight - The check
// ============================================================================

PreflightReport checkJob(const Job& job, const PreflightSettings& settings) {
  PreflightReport report;
  const PlotterExportSettings& ex = settings.exportSettings;
  for (int n = 1; n <= kLayerCount; ++n) {
    if (ex.draw.layers[static_cast<size_t>(n - 1)]) report.layers.push_back(n);
  }
  auto jobProblem = [&report](const std::string& message) {
    CheckProblem p;
    p.severity = CheckSeverity::Error;
    p.Kind = CheckKind::FilmImpossible;
    p.message = message;
    report.problems.push_back(std::move(p));
  };

  // Every file is read once, for the check and for the plan: the export
  // that follows with the same prepared job reads nothing again.
  std::optional<PreparedJob> own;
  PlotterExportSettings planned = ex;
  PreparedJob& prepared = preparedJobOf(ex.run, own);
  planned.run.prepared = &prepared;

  JobExtents extents;
  RasterScene scene;
  try {
    scene = outputScene(job, ex.draw, extents);
  } catch (const FormatError& e) {
    jobProblem(e.what());
    return report;
  }
  // Every board, mark and the tech area as the scaled film draws them:
  // the plotting area judges their scaled reach.
  const AxisScale scale = drawingScale(ex.scale);
  std::optional<PlotterExportPlan> plan;
  std::string planProblem;  // said after the layers, unless one of them says it
  try {
    plan = planPlotterExport(job, planned);
  } catch (const IoError&) {
    // A layer file that cannot be read: the check of each layer below names it.
  } catch (const FormatError& e) {
    planProblem = e.what();
  }

  // Each layer file as the export reads it.
  struct SourceCheck {
    std::optional<InchBox> extents;      // the pre-scanned data's, when it draws
    std::vector<CheckProblem> problems;  // for each board layer that draws it
    std::shared_ptr<LayerRenderer> renderer;
    std::shared_ptr<const SourceMeasure> measured;
  };
  std::vector<SourceCheck> sources(scene.sources.size());
  for (size_t i = 0; i < sources.size(); ++i) {
    const LayerSource& source = scene.sources[i];
    SourceCheck& out = sources[i];
    LayerCheck check{source.gerberFile, settings, scene.interpreter, out.problems};
    try {
      // Opened whatever it expands to: the check says what no drawing takes.
      out.renderer = prepared.open(source);
      if (const LayerReach data = prepared.dataExtents(source); !data.empty) {
        out.extents = InchBox{data.minX, data.minY, data.maxX, data.maxY};
      }
      GerberReader& reader = out.renderer->reader();
      if (!check.drawable(reader)) {
        out.renderer.reset();
        continue;
      }
      ShapeRasterizer& shapes = out.renderer->shapes(ex.dpi * scale.mean());
      UseCounter counter(reader.program, shapes);
      counter.walk(reader.program.ops);
      for (const auto& [dCode, ops] : reader.program.blocks) counter.walk(ops);
      check.undefinedDCodes(reader, counter.uses);
      check.widenedStrokes(reader, shapes, counter.uses);
      check.readWarnings(reader.warnings);
      out.measured = prepared.measure(source, ex.dpi, scene.interpreter, scale);
    } catch (const IoError& e) {
      out.renderer.reset();
      check.problem(CheckSeverity::Error, CheckKind::UnreadableFile, e.what());
    } catch (const FormatError& e) {
      out.renderer.reset();
      check.problem(CheckSeverity::Error, CheckKind::UnreadableFile, e.what());
    }
  }

  // A drill file on a layer asked for: the films leave it out.
  for (size_t i = 0; i < job.boards.size(); ++i) {
    for (int n : report.layers) {
      const std::string& stored = job.boards[i].LayerGerber[static_cast<size_t>(n - 1)];
      if (stored.empty() || !isDrillFile(job.resolvePath(stored))) continue;
      CheckProblem p;
      p.severity = CheckSeverity::Error;
      p.Kind = CheckKind::DrillFileOnLayer;
      p.board = i;
      p.layer = n;
      p.file = job.resolvePath(stored).string();
      p.message = p.file + ": an Excellon drill file on layer " + std::to_string(n) +
                  ": a film of it draws nothing; leave the layer out and panelize the drill file "
                  "with drumplot-cli drill";
      report.problems.push_back(std::move(p));
    }
  }

  // What each board layer finds, and where its board draws.
  std::vector<std::optional<InchBox>> reach(job.boards.size());
  std::optional<InchBox> drawn;
  double spans = 0.0, pixels = 0.0;
  for (const BoardLayer& d : scene.boardLayers) {
    const SourceCheck& source = sources[d.source];
    auto add = [&](CheckProblem p) {
      p.board = d.board;
      p.layer = d.layer;
      report.problems.push_back(std::move(p));
    };
    if (source.extents) {
      if (auto p = misalignment(*source.extents, job.boards[d.board], settings, d.gerberFile))
        add(std::move(*p));
    }
    for (const CheckProblem& p : source.problems) add(p);
    if (!source.renderer || source.measured->reach.empty) continue;
    spans += source.measured->spans;
    pixels += source.measured->pixels;
    const LayerReach& r = source.measured->reach;
    const InchBox placed = scaled({d.x + r.minX - d.dataMinX, d.y + r.minY - d.dataMinY,
                                   d.x + r.maxX - d.dataMinX, d.y + r.maxY - d.dataMinY},
                                  scale);
    std::optional<InchBox>& box = reach[d.board];
    box = box ? unite(*box, placed) : placed;
    drawn = drawn ? unite(*drawn, placed) : placed;
  }
  if (!planProblem.empty() &&
      std::none_of(report.problems.begin(), report.problems.end(),
                   [&](const CheckProblem& p) { return p.message == planProblem; })) {
    jobProblem(planProblem);
  }

  std::vector<size_t> boards;
  std::vector<InchBox> boxes;
  const double shiftX = scene.tech ? scene.tech->shiftX : 0.0;
  const double shiftY = scene.tech ? scene.tech->shiftY : 0.0;
  for (const BoardLayer& d : scene.boardLayers) {
    if (std::find(boards.begin(), boards.end(), d.board) != boards.end()) continue;
    boards.push_back(d.board);
    boxes.push_back(reach[d.board] ? *reach[d.board]
                                   : scaled(boardBox(job.boards[d.board], shiftX, shiftY), scale));
  }
  checkPlacement(job, boards, boxes, report);

  if (plan) {
    // The sample takes at most what the export's stamps may.
    FilmSample sample = sampleWindow(*plan, drawn, ex.run.budgetBytes / 4);
    Canvas canvas(sample.bits);
    canvas.setWindowOrigin(sample.x0, sample.y0);
    for (const BoardLayer& d : scene.boardLayers) {
      const SourceCheck& source = sources[d.source];
      if (!source.renderer || source.measured->reach.empty) continue;
      try {
        const LayerPlacement placement{d.x, d.y, sample.dpi, kBlack, std::nullopt, scale};
        interpretLayer(source.renderer->reader(),
                       source.renderer->shapes(placement.penPixelsPerInch()), canvas, placement,
                       scene.interpreter);
      } catch (const FormatError&) {
        // Measured at the export's resolution above; the estimate goes without it.
      }
    }
    FilmEstimate film;
    film.width_px = plan->width_px;
    film.height_px = plan->height_px;
    film.dpi = plan->dpi;
    film.bands = plan->bands.bandCount;
    film.rowsPerBand = plan->bands.rowsPerBand;
    film.scale = ex.scale;
    const uint64_t imageBytes =
        static_cast<uint64_t>(plan->width_px / 8) * static_cast<uint64_t>(plan->height_px);
    film.memoryBytes = std::min<uint64_t>(ex.run.budgetBytes, imageBytes);
    film.fileBytes = estimateFileBytes(sample, *plan);
    film.seconds = estimateSeconds(*plan, film.fileBytes, prepared.readSeconds(), spans, pixels,
                                   ex.run.threads);
    report.film = film;
  }
  // Board by board, layer by layer; what concerns the job comes last.
  std::stable_sort(report.problems.begin(), report.problems.end(),
                   [](const CheckProblem& a, const CheckProblem& b) {
                     const size_t none = SIZE_MAX;
                     return std::pair(a.board.value_or(none), a.layer) <
                            std::pair(b.board.value_or(none), b.layer);
                   });
  return report;
}

// Preflight - Text
// ============================================================================

std::string reportText(const Job& job, const PreflightReport& report) {
  std::string text = "Layers checked:";
  for (int n : report.layers) text += " " + std::to_string(n);
  text += "\n";
  std::optional<size_t> board;
  bool first = true;
  for (const CheckProblem& p : report.problems) {
    if (first || p.board != board) {
      board = p.board;
      first = false;
      text += board
                  ? "Board " + std::to_string(*board + 1) + ": " + job.boards[*board].caption + "\n"
                  : std::string("Job:\n");
    }
    text += std::string("  ") + (p.severity == CheckSeverity::Error ? "error   " : "warning ") +
            (p.layer ? "layer " + std::to_string(p.layer) + ": " : std::string()) + p.message +
            "\n";
  }
  if (const std::optional<FilmEstimate>& f = report.film) {
    std::ostringstream film;
    film.precision(1);
    film << std::fixed << "Film: " << f->width_px << " x " << f->height_px << " pixels ("
         << inchText(static_cast<double>(f->width_px) / f->dpi) << " x "
         << inchText(static_cast<double>(f->height_px) / f->dpi) << " inch) at " << f->dpi << " dpi"
         << (f->scale.nominal() ? "" : ", scaled " + filmScaleText(f->scale)) << ", about "
         << static_cast<double>(f->fileBytes) / 1048576.0 << " MB, "
         << static_cast<double>(f->memoryBytes) / 1048576.0 << " MB of memory for " << f->bands
         << (f->bands == 1 ? " band" : " bands") << " of " << std::min(f->rowsPerBand, f->height_px)
         << " rows, about " << f->seconds << " s\n";
    text += film.str();
  }
  text += std::to_string(report.errors()) + (report.errors() == 1 ? " error, " : " errors, ") +
          std::to_string(report.warnings()) +
          (report.warnings() == 1 ? " warning\n" : " warnings\n");
  return text;
}

}  // namespace drumplot
