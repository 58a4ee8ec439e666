// SPDX-License-Identifier: MIT
// Fuzz target: Excellon lines and coordinates in any data format, panelized
// over two boards and a mark. Every coordinate line lands once per board,
// every other line stays, and every hit line written is a clean X..Y.. pair.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "drill/drill_panel.h"
#include "engine/text.h"

namespace {

// "X", optional "-", digits, "Y", optional "-", digits.
bool isCleanHitLine(std::string_view line) {
  size_t i = 0;
  for (char letter : {'X', 'Y'}) {
    if (i >= line.size() || line[i++] != letter) return false;
    if (i < line.size() && line[i] == '-') ++i;
    size_t digits = 0;
    while (i < line.size() && drumplot::isDigit(line[i])) ++i, ++digits;
    if (digits == 0) return false;
  }
  return i == line.size();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace drumplot;
  if (size < 2) return 0;
  // The first two bytes choose the format: digit counts 1..6 (as the command
  // line allows), zero suppression and unit.
  BoardFormat format;
  format.IntDigits = static_cast<uint8_t>(1 + data[0] % 6);
  format.DecDigits = static_cast<uint8_t>(1 + (data[0] / 6) % 6);
  format.ZeroSuppression = static_cast<uint8_t>(data[1] % 3);
  format.InchUnits = static_cast<uint8_t>((data[1] / 3) % 2);
  std::string_view text(reinterpret_cast<const char*>(data + 2), size - 2);

  std::vector<std::string> lines = splitDrillLines(text);
  for (const std::string& line : lines) {
    if (line.empty()) std::abort();
    for (char c : line) {
      if (static_cast<unsigned char>(c) < 31) std::abort();
    }
  }
  for (const auto& point : resolveDrillHits(lines, format)) {
    if (point && !(std::isfinite(point->X) && std::isfinite(point->Y))) std::abort();
  }

  std::vector<Board> boards(3);
  boards[0].PosX = 1.25;
  boards[1].PosX = 3.5;
  boards[1].PosY = 0.75;
  boards[2].IsMark = true;
  boards[2].MarkName = "M";
  DrillPanel panel =
      panelizeDrillLines(lines, boards, format, 0.125, -0.5, makeMarkDrillTable({"M"}));
  if (lines.empty()) {
    if (!panel.Lines.empty()) std::abort();
    return 0;
  }

  if (!startsWith(lines.back(), "M30")) lines.emplace_back("M30");
  size_t hits = 0, others = 0;
  for (const std::string& line : lines) (isCoordinateLine(line) ? hits : others)++;
  const size_t markLines = lines.size() >= 2 ? 2 : 0;  // the tool line and the one hit
  const size_t firstLineAgain = isCoordinateLine(lines[0]) ? 1 : 0;
  if (panel.BoardHits != 2 * hits) std::abort();
  if (panel.MarkHits != markLines / 2) std::abort();
  if (panel.Crosses.size() != panel.BoardHits + panel.MarkHits) std::abort();
  if (panel.Lines.size() != others + firstLineAgain + panel.BoardHits + markLines) std::abort();
  if (panel.Lines.front() != lines.front() || panel.Lines.back() != lines.back()) std::abort();
  for (size_t i = 1; i < panel.Lines.size(); ++i) {
    if (isCoordinateLine(panel.Lines[i]) && !isCleanHitLine(panel.Lines[i])) std::abort();
  }
  return 0;
}
