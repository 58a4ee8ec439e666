// SPDX-License-Identifier: MIT
// Drill panelization: the mark drill table, the main pass and the command.
#include "drill/drill_panel.h"

#include <cmath>
#include <set>
#include <utility>

#include "engine/errors.h"
#include "engine/text.h"
#include "io/file_io.h"
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
  for (const std::string& line : Lines) bytes += line + "\r\n";
  return bytes;
}

namespace {

// Drill file units per inch.
double fileUnit(const BoardFormat& format) {
  return format.InchUnits == 1 ? 1.0 : kMillimetresPerInch;
}

}  // namespace

DrillPanel panelizeDrillLines(std::vector<std::string> lines, const std::vector<Board>& boards,
                              const BoardFormat& format, double drillOffsetX, double drillOffsetY,
                              const MarkDrillTable& markDrills) {
  DrillPanel panel;
  if (lines.empty()) return panel;
  if (!startsWith(lines.back(), "M30")) lines.emplace_back("M30");

  const std::vector<std::string> markNames = gatherMarkNames(boards);
  double referenceX = 0.0, referenceY = 0.0;
  for (const Board& board : boards) {
    if (board.IsMark) continue;
    referenceX = board.DataMinX;
    referenceY = board.DataMinY;
    break;
  }
  const double unit = fileUnit(format);
  const std::vector<std::optional<DrillPoint>> points = resolveDrillHits(lines, format);
  // A hit line in drill file units, and its cross in inches on the plotting area.
  auto writeHit = [&](double x, double y) {
    panel.Lines.push_back(drillHitLine(x, y, format));
    panel.Crosses.push_back({x / unit - referenceX, y / unit - referenceY});
  };

  panel.Lines.push_back(lines[0]);
  size_t blockStart = 0;  // a first line that is a coordinate line starts the first block
  for (size_t i = 1; i < lines.size(); ++i) {
    const bool previousIsHit = isCoordinateLine(lines[i - 1]);
    const bool isHit = isCoordinateLine(lines[i]);
    if (!previousIsHit && isHit) blockStart = i;
    // The last line starts with "M30", so every block ends before it.
    if (previousIsHit && !isHit) {
      for (const Board& board : boards) {
        if (board.IsMark) continue;
        for (size_t k = blockStart; k < i; ++k) {
          writeHit(points[k]->X + unit * board.PosX + unit * drillOffsetX,
                   points[k]->Y + unit * board.PosY + unit * drillOffsetY);
          ++panel.BoardHits;
        }
      }
    }
    if (isHit) continue;
    if (i + 1 == lines.size()) {
      // The marks, right before the closing line; no offset. Their hits come
      // whatever line precedes this one: a tool line without its hits would
      // lose the marks' holes.
      for (size_t n = 0; n < markNames.size(); ++n) {
        panel.Lines.push_back(n < markDrills.size() ? markDrills[n].MarkDrillTool
                                                    : kDefaultMarkDrillTool);
        for (const Board& board : boards) {
          if (!board.IsMark || board.MarkName != markNames[n]) continue;
          writeHit(unit * (board.PosX + referenceX), unit * (board.PosY + referenceY));
          ++panel.MarkHits;
        }
      }
    }
    panel.Lines.push_back(lines[i]);
  }
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
  }
  return "";
}

namespace {

// Far beyond any plotting area, near enough that hit sums and their drill
// numbers stay finite in every data format.
constexpr double kMaxDrillShift = 1.0e12;  // inches

bool usableShift(double value) {
  return std::isfinite(value) && std::fabs(value) <= kMaxDrillShift;
}

void checkShifts(const Job& job, const DrillPanelSettings& settings) {
  if (!usableShift(settings.DrillOffsetX) || !usableShift(settings.DrillOffsetY)) {
    throw FormatError("the drill offset is not a usable number");
  }
  for (size_t i = 0; i < job.Boards.size(); ++i) {
    const Board& b = job.Boards[i];
    if (!usableShift(b.PosX) || !usableShift(b.PosY) || !usableShift(b.DataMinX) ||
        !usableShift(b.DataMinY)) {
      throw FormatError(job.JobName + ": board " + std::to_string(i + 1) +
                        " has a position or data origin that is not a usable number");
    }
  }
}

}  // namespace

DrillPanelResult panelizeDrillFile(const Job& job, const DrillPanelSettings& settings) {
  std::vector<std::string> lines = readDrillLines(settings.InputFile);
  if (settings.OutputFile.size() < 2) return {DrillPanelStatus::OutputNotSpecified, {}};
  if (lines.empty()) return {DrillPanelStatus::DataFileEmpty, {}};
  checkShifts(job, settings);
  DrillPanelResult result;
  result.Panel =
      panelizeDrillLines(std::move(lines), job.Boards, job.CurrentFormat, settings.DrillOffsetX,
                         settings.DrillOffsetY, settings.MarkDrills);
  writeFileAtomically(settings.OutputFile, result.Panel.text());
  return result;
}

}  // namespace drumplot
