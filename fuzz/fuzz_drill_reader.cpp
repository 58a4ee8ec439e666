// SPDX-License-Identifier: MIT
// Fuzz target: the Excellon reader on any bytes, with or without a data
// format, then the panel of what it read over two boards and a mark, read
// back by the same reader: a panel is refused or read back whole, every count
// doubles, every hit lands moved by its board, to the written precision, and
// no route is left cut.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "drill/drill_panel.h"
#include "engine/errors.h"

namespace {

using namespace drumplot;

void check(bool ok) {
  if (!ok) std::abort();
}

// The hits the panel writes, in its order: each run of geometry once per
// board (Format statements do not break a run), the mark's hit before the
// first end of program, or last.
std::vector<DrillPoint> expectedHits(const DrillFile& file, const std::vector<Board>& boards,
                                     DrillPoint offset, DrillPoint mark) {
  std::vector<DrillPoint> hits;
  std::vector<const DrillStatement*> block;
  auto flush = [&] {
    for (const Board& b : boards) {
      if (b.IsMark) continue;
      for (const DrillStatement* s : block) {
        if (s->Kind != DrillStatementKind::Hits) continue;
        for (const DrillPoint& p : s->points) {
          hits.push_back({p.x + b.PosX + offset.x, p.y + b.PosY + offset.y});
        }
      }
    }
    block.clear();
  };
  bool marked = false;
  for (const DrillStatement& s : file.Statements) {
    if (s.Kind == DrillStatementKind::Format) continue;
    if (s.isGeometry()) {
      block.push_back(&s);
      continue;
    }
    flush();
    if (s.Kind == DrillStatementKind::End && !marked) {
      hits.push_back(mark);
      marked = true;
    }
  }
  flush();
  if (!marked) hits.push_back(mark);
  return hits;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  // The first two bytes choose the operator's data format, or none: digit
  // counts 1..6 (as the command line allows), zeros, unit, absolute.
  DataFormat format;
  format.IntDigits = static_cast<uint8_t>(1 + data[0] % 6);
  format.DecDigits = static_cast<uint8_t>(1 + (data[0] / 6) % 6);
  format.ZeroSuppression = static_cast<drumplot::ZeroSuppression>(data[1] % 3);
  format.Metric = (data[1] / 3) % 2 != 0;
  format.Absolute = (data[1] / 6) % 2 != 0;
  const std::optional<DataFormat> given =
      (data[1] / 12) % 2 ? std::nullopt : std::optional<DataFormat>(format);
  const std::string_view text(reinterpret_cast<const char*>(data + 2), size - 2);

  DrillFile file;
  try {
    file = readDrillFile(text, "fuzz.drl", given);
  } catch (const FormatError&) {
    return 0;
  }
  size_t hits = 0, slots = 0;
  for (const DrillStatement& s : file.Statements) {
    if (s.Kind == DrillStatementKind::Hits) hits += s.points.size();
    if (s.Kind == DrillStatementKind::Slot) ++slots, check(s.points.size() == 2);
    for (const DrillPoint& p : s.points) {
      check(std::isfinite(p.x) && std::isfinite(p.y));
    }
  }
  check(hits == file.hitCount && slots == file.slotCount);
  if (!file.hasDrilling()) return 0;

  std::vector<Board> boards(3);
  boards[0].PosX = 1.25;
  boards[1].PosX = 3.5;
  boards[1].PosY = 0.75;
  boards[2].IsMark = true;
  boards[2].MarkName.assign(1, 'M');  // not = "M": GCC 12 warns falsely (-Wrestrict)
  boards[2].PosX = 0.5;
  const DrillPoint offset{0.125, -0.5};
  DrillPanel panel;
  try {
    panel = panelizeDrill(file, boards, file.format, offset.x, offset.y, makeMarkDrillTable({"M"}));
  } catch (const FormatError&) {
    return 0;  // more than a drill file holds
  }
  check(panel.boardHits == 2 * file.hitCount && panel.markHits == 1);
  check(panel.slotCount == 2 * file.slotCount && panel.routeCount == 2 * file.routeCount);
  check(panel.crosses.size() == panel.boardHits + panel.markHits);
  check(panel.paths.size() == panel.slotCount + panel.routeCount);

  const DrillFile back = readDrillFile(panel.text(), "panel.drl", std::nullopt);
  check(back.hitCount == panel.boardHits + 1 && back.slotCount == panel.slotCount &&
        back.routeCount == panel.routeCount);
  size_t positions = 0;
  for (const DrillStatement& s : back.Statements) positions += s.points.size();
  check(positions == panel.positions);
  for (const std::string& warning : back.warnings)
    check(warning.find("route") == std::string::npos);
  const std::vector<DrillPoint> want = expectedHits(file, boards, offset, {0.5, 0.0});
  const std::vector<DrillPoint> got = back.hitPoints();
  check(got.size() == want.size());
  // Half the last written digit, in inches.
  const double precision =
      0.5 / std::pow(10.0, panel.format.DecDigits) / unitsPerInch(panel.format.unit) + 1e-9;
  for (size_t i = 0; i < got.size(); ++i) {
    check(std::fabs(got[i].x - want[i].x) <= precision);
    check(std::fabs(got[i].y - want[i].y) <= precision);
  }
  return 0;
}
