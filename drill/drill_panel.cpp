// SPDX-License-Identifier: MIT
// Drill panelization: the mark drill table, the main pass and the command.
#include "drill/drill_panel.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <set>
#include <utility>

#include "engine/errors.h"
#include "engine/text.h"
#include "io/file_io.h"
#include "io/replacing_file.h"
#include "job/job_settings.h"

namespace drumplot {

// DrillPanel - Mark drill table
// ============================================================================

std::vector<std::string> gatherMarkNames(const std::vector<Board>& boards) {
  std::set<std::string> names;
  for (const Board& board : boards) {
    if (board.IsMark) names.insert(board.MarkName);
  }
  return {names.begin(), names.end()};
}

MarkDrillTable makeMarkDrillTable(const std::vector<std::string>& markNames) {
  MarkDrillTable table;
  for (size_t i = 0; i < markNames.size() && i < table.size(); ++i) {
    table[i].MarkDrillName = markNames[i];
  }
  return table;
}

double drillOffsetInches(double displayValue, std::string_view unitText) {
  return unitText == "mm" ? displayValue / kMillimetresPerInch : displayValue;
}

// DrillPanel - Main pass
// ============================================================================

std::string DrillPanel::text() const {
  std::string bytes;
  for (const std::string& line : lines) bytes += line + "\r\n";
  return bytes;
}

namespace {

constexpr double kPi = 3.14159265358979323846;

DrillPoint plus(DrillPoint a, DrillPoint b) {
  return {a.x + b.x, a.y + b.y};
}

DrillPoint markTarget(const Board& mark) {
  return {mark.PosX + mark.DataWidth / 2, mark.PosY + mark.DataHeight / 2};
}

// Points the overview keeps for the arcs of one panel (16 bytes each);
// arcs past them are drawn as chords.
constexpr int64_t kMaxOverviewArcPoints = 2000000;

// The arc of a route cut as points after its start, 5 degrees or less apart
// and no closer than 2 pixels of the overview, at most `maxSteps` of them;
// returns how many. With a radius, the centre is the one of the shorter arc.
int64_t appendArc(std::vector<DrillPoint>& path, DrillPoint from, DrillPoint to,
                  const DrillStatement& cut, int64_t maxSteps) {
  const bool clockwise = cut.motion == RouteMotion::Clockwise;
  DrillPoint centre;
  if (cut.centre) {
    centre = plus(from, *cut.centre);
  } else {
    const double dx = to.x - from.x, dy = to.y - from.y;
    const double chord = std::hypot(dx, dy);
    if (chord == 0.0) return 0;
    const double r = std::max(std::fabs(*cut.radius), chord / 2);
    const double h = std::sqrt(std::max(0.0, r * r - chord * chord / 4)) * (clockwise ? -1 : 1);
    // Left of the chord for a counterclockwise short arc, right for clockwise.
    centre = {(from.x + to.x) / 2 - h * dy / chord, (from.y + to.y) / 2 + h * dx / chord};
  }
  const double r0 = std::hypot(from.x - centre.x, from.y - centre.y);
  const double r1 = std::hypot(to.x - centre.x, to.y - centre.y);
  const double a0 = std::atan2(from.y - centre.y, from.x - centre.x);
  double sweep = std::atan2(to.y - centre.y, to.x - centre.x) - a0;
  // Counterclockwise sweeps run (0, 2 pi], clockwise ones [-2 pi, 0): the
  // same start and end make a whole circle.
  if (clockwise) {
    while (sweep >= 0) sweep -= 2 * kPi;
  } else {
    while (sweep <= 0) sweep += 2 * kPi;
  }
  const double length_px = std::fabs(sweep) * std::max(r0, r1) * kDrillOverviewDpi;
  const int64_t steps =
      std::clamp<int64_t>(static_cast<int64_t>(std::min(std::ceil(std::fabs(sweep) / (kPi / 36)),
                                                        std::ceil(length_px / 2))),
                          1, std::max<int64_t>(1, maxSteps));
  for (int64_t k = 1; k <= steps; ++k) {
    const double t = double(k) / double(steps);
    const double r = r0 + (r1 - r0) * t;
    path.push_back(
        {centre.x + r * std::cos(a0 + sweep * t), centre.y + r * std::sin(a0 + sweep * t)});
  }
  return steps;
}

class PanelWriter {
 public:
  // Counts the panel and refuses one that its own reader would refuse,
  // before a line is written.
  PanelWriter(const DrillFile& file, const std::vector<Board>& boards, DrillNumberFormat format,
              DrillPoint offset, const MarkDrillTable& markDrills, const DrillLineSink& sink,
              const FilmScale& scale)
      : file_(file),
        boards_(boards),
        offset_(offset),
        markDrills_(markDrills),
        sink_(sink),
        scale_(scale) {
    for (const Board& board : boards) {
      if (board.IsMark) continue;
      reference_ = {board.DataMinX, board.DataMinY};
      break;
    }
    panel_.format = format;
    checkPositions();
    checkNumbers();
  }

  DrillPanel write() {
    bool marksWritten = false;
    std::vector<const DrillStatement*> block;
    for (const DrillStatement& s : file_.Statements) {
      if (s.Kind == DrillStatementKind::Format) continue;  // the written format replaces it
      if (s.Kind == DrillStatementKind::HeaderStart) formatStated_ = true;
      if (s.isGeometry() || s.Kind == DrillStatementKind::Tool) stateFormat();
      if (s.isGeometry()) {
        block.push_back(&s);
        continue;
      }
      writeBlock(block);
      if (s.Kind == DrillStatementKind::End && !marksWritten) {
        marks();
        marksWritten = true;
      }
      line(s.Kind == DrillStatementKind::Tool ? toolText(s) : s.text);
      if (s.Kind == DrillStatementKind::HeaderStart) formatStatements();
      // Where the file's statements stand, the written file is in the same
      // mode as the file, so the file's own mode changes hold.
      routing_ = s.routMode;
    }
    writeBlock(block);
    if (!marksWritten) {
      marks();
      line("M30");
    }
    return std::move(panel_);
  }

 private:
  void line(const std::string& text) {
    ++panel_.lineCount;
    sink_(text);
  }

  // DrillPanel - Limits
  // --------------------------------------------------------------------------

  [[noreturn]] void refuse(const std::string& why) const {
    throw FormatError(file_.name + ": " + why + "; nothing is written");
  }

  // Every board's copy writes as many positions as the first: the file's,
  // plus a start for each route cut that follows no start in its block.
  void checkPositions() {
    size_t perBoard = 0, boardCount = 0, marks = 0;
    bool routeOpen = false;
    for (const DrillStatement& s : file_.Statements) {
      if (s.Kind == DrillStatementKind::Format) continue;  // no block ends there
      perBoard += s.points.size() + (s.Kind == DrillStatementKind::RouteCut && !routeOpen);
      routeOpen = s.Kind == DrillStatementKind::RouteStart ||
                  s.Kind == DrillStatementKind::RouteCut ||
                  (routeOpen && s.Kind == DrillStatementKind::RouteText);
    }
    for (const Board& b : boards_) ++(b.IsMark ? marks : boardCount);
    panel_.positions = perBoard * boardCount + marks;
    if (panel_.positions > kMaxDrillPoints) {
      refuse("the panel holds " + std::to_string(panel_.positions) + " positions (" +
             std::to_string(perBoard) + " on each of " + std::to_string(boardCount) + " boards, " +
             std::to_string(marks) + " marks), more than the " + std::to_string(kMaxDrillPoints) +
             " a drill file may hold");
    }
  }

  // Every position within the reader's reach, every number within its digits.
  void checkNumbers() {
    const double largest = largestNumber();
    if (!(largest <= kMaxDrillInches)) {
      char text[400];
      std::snprintf(text, sizeof text, "%.4f", largest);
      refuse(std::string("the panel reaches ") + text + " inches from the origin, beyond the " +
             std::to_string(int(kMaxDrillInches)) + " a drill file may hold");
    }
    DrillNumberFormat& f = panel_.format;
    f.IntDigits = std::max(f.IntDigits, integerDigits(largest));
    if (f.zeros != DrillZeros::Decimal && f.IntDigits + f.DecDigits > kMaxDrillDigits) {
      refuse("the panel's numbers need " + std::to_string(f.IntDigits) + "." +
             std::to_string(f.DecDigits) + " digits, more than the " +
             std::to_string(kMaxDrillDigits) + " a drill number may hold");
    }
  }

  // Numbers and tools come after a header that states the format: a file
  // without one before them gets one there.
  void stateFormat() {
    if (formatStated_) return;
    formatStated_ = true;
    line("M48");
    formatStatements();
    line("%");
  }

  void formatStatements() {
    for (std::string& text : drillFormatStatements(panel_.format)) line(std::move(text));
  }

  std::string number(double inches) const {
    return writeDrillNumber(inches * unitsPerInch(panel_.format.unit), panel_.format);
  }
  std::string xy(DrillPoint p) const { return "X" + number(p.x) + "Y" + number(p.y); }
  DrillPoint onPlottingArea(DrillPoint p) const { return {p.x - reference_.x, p.y - reference_.y}; }
  // A position written for a board: its data point shifted, and where the
  // film's scale puts it.
  DrillPoint onBoard(DrillPoint p, DrillPoint shift) const {
    if (scale_.nominal()) return plus(p, shift);
    const DrillPoint origin = plus(reference_, offset_);
    const DrillPoint at = plus(p, shift);
    return {origin.x + (at.x - origin.x) * scale_.x(), origin.y + (at.y - origin.y) * scale_.y()};
  }
  // A mark's hit: its target on the plotting area, scaled as the film.
  DrillPoint onMark(const Board& mark) const {
    const DrillPoint target = markTarget(mark);
    return plus({target.x * scale_.x(), target.y * scale_.y()}, reference_);
  }

  // A tool defined in another unit than the one written gets its diameter
  // in the written unit.
  std::string toolText(const DrillStatement& s) const {
    if (s.unit == panel_.format.unit || s.sizeEnd == s.sizeBegin) return s.text;
    const bool inch = panel_.format.unit == DrillUnit::Inch;
    char size[400];
    std::snprintf(size, sizeof size, "%.*f", inch ? 4 : 3,
                  s.diameter * unitsPerInch(panel_.format.unit));
    return s.text.substr(0, s.sizeBegin) + size + s.text.substr(s.sizeEnd);
  }

  // Coordinates are written absolute, and hits and slots in drill mode,
  // which ends a route.
  void beforeCoordinates(bool drilling) {
    if (!absoluteWritten_) line("G90");
    absoluteWritten_ = true;
    if (!drilling) return;
    endPath();
    if (routing_) line("G05");
    routing_ = false;
  }

  void hit(DrillPoint p) {
    beforeCoordinates(true);
    line(xy(p));
    panel_.crosses.push_back(onPlottingArea(p));
  }

  // DrillPanel - Blocks
  // --------------------------------------------------------------------------

  void writeBlock(std::vector<const DrillStatement*>& block) {
    if (block.empty()) return;
    for (const Board& board : boards_) {
      if (board.IsMark) continue;
      const DrillPoint shift{board.PosX + offset_.x, board.PosY + offset_.y};
      routeOpen_ = false;
      for (const DrillStatement* s : block) writeShifted(*s, shift);
      endPath();
    }
    block.clear();
  }

  void writeShifted(const DrillStatement& s, DrillPoint shift) {
    switch (s.Kind) {
      case DrillStatementKind::Hits:
        for (const DrillPoint& p : s.points) {
          hit(onBoard(p, shift));
          ++panel_.boardHits;
        }
        break;
      case DrillStatementKind::Slot: {
        const DrillPoint from = onBoard(s.points[0], shift), to = onBoard(s.points[1], shift);
        beforeCoordinates(true);
        line(xy(from) + "G85" + xy(to));
        panel_.paths.push_back({{onPlottingArea(from), onPlottingArea(to)}, s.diameter});
        ++panel_.slotCount;
        break;
      }
      case DrillStatementKind::RouteStart:
        routeStart(onBoard(s.points[0], shift), s.diameter);
        break;
      case DrillStatementKind::RouteCut:
        routeCut(s, shift);
        break;
      case DrillStatementKind::RouteEnd:
        line(s.text);
        endPath();
        break;
      default:  // RouteText
        line(s.text);
        break;
    }
  }

  void routeStart(DrillPoint p, double diameter) {
    endPath();
    beforeCoordinates(false);
    line("G00" + xy(p));
    routing_ = routeOpen_ = true;
    path_ = {{onPlottingArea(p)}, diameter};
    pathCuts_ = 0;
  }

  void routeCut(const DrillStatement& s, DrillPoint shift) {
    const DrillPoint from = onBoard(s.start, shift), to = onBoard(s.points[0], shift);
    // A cut that the file starts from where the tool was gets its start
    // here: the tool was elsewhere on the board before.
    if (!routeOpen_) routeStart(from, s.diameter);
    std::string text = s.motion == RouteMotion::Line        ? "G01"
                       : s.motion == RouteMotion::Clockwise ? "G02"
                                                            : "G03";
    text += xy(to);
    if (s.centre) {
      text += "I" + number(s.centre->x * scale_.x()) + "J" + number(s.centre->y * scale_.y());
    }
    if (s.radius) text += "A" + number(*s.radius * (scale_.x() + scale_.y()) / 2.0);
    line(std::move(text));
    if (s.motion == RouteMotion::Line) {
      path_.points.push_back(onPlottingArea(to));
    } else {
      arcPointsLeft_ -=
          appendArc(path_.points, onPlottingArea(from), onPlottingArea(to), s, arcPointsLeft_);
      if (arcPointsLeft_ <= 0) panel_.arcsAsChords = true;
    }
    ++pathCuts_;
  }

  void endPath() {
    routeOpen_ = false;
    if (pathCuts_ > 0) {
      panel_.paths.push_back(std::move(path_));
      ++panel_.routeCount;
    }
    path_ = {};
    pathCuts_ = 0;
  }

  // DrillPanel - Marks
  // --------------------------------------------------------------------------

  // Each gathered mark name's tool line and one hit per mark board of that
  // name on its target, where the registration pin goes: the centre of the
  // mark file's extents, moved as a board's corner is (the reference
  // minimum added); no offset. A mark of one flash has its target on its
  // corner.
  void marks() {
    const std::vector<std::string> markNames = gatherMarkNames(boards_);
    if (!markNames.empty()) stateFormat();
    for (size_t n = 0; n < markNames.size(); ++n) {
      line(n < markDrills_.size() ? markDrills_[n].MarkDrillTool : kDefaultMarkDrillTool);
      for (const Board& board : boards_) {
        if (!board.IsMark || board.MarkName != markNames[n]) continue;
        hit(onMark(board));
        ++panel_.markHits;
      }
    }
  }

  // The largest number written, in inches.
  double largestNumber() const {
    double largest = 0.0;
    auto take = [&](double v) { largest = std::max(largest, std::fabs(v)); };
    DrillPoint low{0, 0}, high{0, 0};
    bool any = false;
    auto extend = [&](DrillPoint p) {
      low = any ? DrillPoint{std::min(low.x, p.x), std::min(low.y, p.y)} : p;
      high = any ? DrillPoint{std::max(high.x, p.x), std::max(high.y, p.y)} : p;
      any = true;
    };
    for (const DrillStatement& s : file_.Statements) {
      for (const DrillPoint& p : s.points) extend(p);
      if (s.Kind != DrillStatementKind::RouteCut) continue;
      extend(s.start);
      if (s.centre) take(std::max(std::fabs(s.centre->x), std::fabs(s.centre->y)));
      if (s.radius) take(*s.radius);
    }
    for (const Board& b : boards_) {
      if (b.IsMark) {
        const DrillPoint hit = onMark(b);
        take(hit.x);
        take(hit.y);
      } else if (any) {
        const DrillPoint shift{b.PosX + offset_.x, b.PosY + offset_.y};
        for (DrillPoint p : {onBoard(low, shift), onBoard(high, shift)}) {
          take(p.x);
          take(p.y);
        }
      }
    }
    return largest;
  }

  // The integer digits a number needs once rounded to the written decimals.
  uint8_t integerDigits(double inches) const {
    const double units = inches * unitsPerInch(panel_.format.unit);
    char text[400];  // the digits of any finite double
    std::snprintf(text, sizeof text, "%.0f",
                  std::floor(units + 0.5 / std::pow(10.0, panel_.format.DecDigits)));
    return uint8_t(std::min<size_t>(std::strlen(text), 255));
  }

  const DrillFile& file_;
  const std::vector<Board>& boards_;
  const DrillPoint offset_;
  const MarkDrillTable& markDrills_;
  const DrillLineSink& sink_;
  const FilmScale scale_;
  DrillPoint reference_;
  DrillPanel panel_;
  bool formatStated_ = false;  // after an "M48" and its format statements
  bool absoluteWritten_ = false;
  bool routing_ = false;    // the written file is in rout mode
  bool routeOpen_ = false;  // this board's copy has started a route
  DrillPath path_;
  int64_t arcPointsLeft_ = kMaxOverviewArcPoints;
  size_t pathCuts_ = 0;
};

}  // namespace

DrillPanel panelizeDrill(const DrillFile& file, const std::vector<Board>& boards,
                         DrillNumberFormat format, double drillOffsetX, double drillOffsetY,
                         const MarkDrillTable& markDrills, const DrillLineSink& sink,
                         const FilmScale& scale) {
  return PanelWriter(file, boards, format, {drillOffsetX, drillOffsetY}, markDrills, sink, scale)
      .write();
}

DrillPanel panelizeDrill(const DrillFile& file, const std::vector<Board>& boards,
                         DrillNumberFormat format, double drillOffsetX, double drillOffsetY,
                         const MarkDrillTable& markDrills, const FilmScale& scale) {
  std::vector<std::string> lines;
  DrillPanel panel = panelizeDrill(
      file, boards, format, drillOffsetX, drillOffsetY, markDrills,
      [&](const std::string& line) { lines.push_back(line); }, scale);
  panel.lines = std::move(lines);
  return panel;
}

// DrillPanel - Command
// ============================================================================

const char* toString(DrillPanelStatus status) {
  switch (status) {
    case DrillPanelStatus::Written:
      return "";
    case DrillPanelStatus::OutputNotSpecified:
      return "Output file is not specified";
    case DrillPanelStatus::DataFileEmpty:
      return "Data file is empty";
    case DrillPanelStatus::NoHits:
      return "Data file has no hits";
  }
  return "";
}

namespace {

// Far beyond any plotting area, near enough that hit sums and their drill
// numbers stay finite in every data format.
constexpr double kMaxDrillShift = 1.0e12;  // inches
constexpr size_t kFlushBytes = size_t{1} << 20;

bool usableShift(double value) {
  return std::isfinite(value) && std::fabs(value) <= kMaxDrillShift;
}

void checkShifts(const Job& job, const DrillPanelSettings& settings) {
  if (!usableShift(settings.DrillOffsetX) || !usableShift(settings.DrillOffsetY)) {
    throw FormatError("the drill offset is not a usable number");
  }
  for (size_t i = 0; i < job.boards.size(); ++i) {
    const Board& b = job.boards[i];
    if (!usableShift(b.PosX) || !usableShift(b.PosY) || !usableShift(b.DataMinX) ||
        !usableShift(b.DataMinY)) {
      throw FormatError(job.JobName + ": board " + std::to_string(i + 1) +
                        " has a position or data origin that is not a usable number");
    }
  }
}

}  // namespace

DrillPanelResult panelizeDrillFile(const Job& job, const DrillPanelSettings& settings) {
  // An input name under 3 characters reads as no lines.
  const std::string bytes = settings.inputFile.size() < 3 ? "" : readFileBytes(settings.inputFile);
  if (settings.outputFile.size() < 2) return {DrillPanelStatus::OutputNotSpecified, {}, {}, {}};
  std::vector<std::filesystem::path> inputs = job.inputFiles();
  inputs.emplace_back(settings.inputFile);
  refuseOverwritingInput({settings.outputFile}, inputs);
  if (!hasDrillLines(bytes)) return {DrillPanelStatus::DataFileEmpty, {}, {}, {}};
  const DrillFile file = readDrillFile(bytes, settings.inputFile, settings.dataFormat);
  if (!file.hasDrilling()) return {DrillPanelStatus::NoHits, {}, file.formatNote, file.warnings};
  checkShifts(job, settings);
  DrillPanelResult result;
  result.formatNote = file.formatNote;
  result.warnings = file.warnings;
  const DrillNumberFormat format =
      settings.outputFormat ? drillFormatOf(*settings.outputFormat) : file.format;
  // Streamed: the output is opened at its first line, after the panel was
  // counted, and written a megabyte at a time.
  std::optional<ReplacingFile> out;
  std::string buffer;
  auto flush = [&] {
    out->write({reinterpret_cast<const uint8_t*>(buffer.data()), buffer.size()});
    buffer.clear();
  };
  result.panel = panelizeDrill(
      file, job.boards, format, settings.DrillOffsetX, settings.DrillOffsetY, settings.markDrills,
      [&](const std::string& line) {
        if (!out) out.emplace(settings.outputFile);
        buffer += line;
        buffer += "\r\n";
        if (buffer.size() >= kFlushBytes) flush();
      },
      settings.scale);
  flush();
  out->commit();
  return result;
}

}  // namespace drumplot
