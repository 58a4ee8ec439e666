// SPDX-License-Identifier: MIT
#include "job/free_place.h"

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "engine/errors.h"
#include "engine/gerber_reader.h"
#include "engine/interpreter.h"
#include "job/board_import.h"

namespace drumplot {

namespace {

// Resolution the reach is measured at: apertures to a hundredth of an inch.
constexpr double kReach_ppi = 100.0;

// What one layer file draws, in its data inches; empty when it cannot be read or drawn.
LayerReach layerReach(const std::string& file, const DataFormat& format, uint64_t maxTextBytes) {
  if (isDrillFile(file)) return {};
  StatementLimits limits;
  limits.maxTextBytes = maxTextBytes;
  GerberReader reader(format, limits);
  reader.FileName = file;
  try {
    if (reader.load() != LoadStatus::Ok) return {};
    reader.computeExtents();
    if (!reader.undrawableText(kMaxDrawnOperations).empty()) return {};
    reader.parseDefinitions();
    return measureReach(reader, kReach_ppi);
  } catch (const FormatError&) {
    return {};
  }
}

bool overlaps(const BoardReach& a, const BoardReach& b) {
  return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

}  // namespace

BoardReach boardReach(const Job& job, size_t index) {
  const Board& b = job.boards[index];
  std::optional<BoardReach> reach;
  for (const std::string& stored : b.LayerGerber) {
    if (stored.empty()) continue;
    const LayerReach r = layerReach(job.resolvePath(stored).string(), b.format,
                                    static_cast<uint64_t>(job.settings.memoryBudgetBytes()));
    if (r.empty) continue;
    const BoardReach placed{b.PosX + r.minX - b.DataMinX, b.PosY + r.minY - b.DataMinY,
                            b.PosX + r.maxX - b.DataMinX, b.PosY + r.maxY - b.DataMinY};
    reach = reach ? BoardReach{std::min(reach->left, placed.left), std::min(reach->top, placed.top),
                               std::max(reach->right, placed.right),
                               std::max(reach->bottom, placed.bottom)}
                  : placed;
  }
  return reach.value_or(BoardReach{b.PosX, b.PosY, b.PosX + b.DataWidth, b.PosY + b.DataHeight});
}

std::optional<std::pair<double, double>> firstFreePlace(const Job& job, size_t board, double gap) {
  // Copies of a panel share their files: each file set is measured once.
  std::map<std::pair<LayerFiles, std::string>, BoardReach> measured;
  auto reachOf = [&](size_t i) {
    const Board& b = job.boards[i];
    const auto key = std::pair(b.LayerGerber, formatText(b.format));
    auto it = measured.find(key);
    if (it == measured.end()) {
      const BoardReach r = boardReach(job, i);  // kept off the board's corner
      it = measured
               .emplace(key, BoardReach{r.left - b.PosX, r.top - b.PosY, r.right - b.PosX,
                                        r.bottom - b.PosY})
               .first;
    }
    const BoardReach r = it->second;
    return BoardReach{r.left + b.PosX, r.top + b.PosY, r.right + b.PosX, r.bottom + b.PosY};
  };
  std::vector<BoardReach> others;
  std::vector<double> xs{0.0}, ys{0.0};
  for (size_t i = 0; i < job.boards.size(); ++i) {
    if (i == board) continue;
    const BoardReach r = reachOf(i);
    others.push_back(r);
    xs.push_back(r.right + gap);
    ys.push_back(r.bottom + gap);
  }
  std::sort(xs.begin(), xs.end());
  std::sort(ys.begin(), ys.end());
  const Board& b = job.boards[board];
  const BoardReach own = reachOf(board);
  const double width = own.right - own.left, height = own.bottom - own.top;
  for (double y : ys) {
    for (double x : xs) {
      if (x < 0.0 || y < 0.0 || x + width > job.settings.PlotWidth ||
          y + height > job.settings.PlotHeight) {
        continue;
      }
      // The gap to every other board, less a hair so that a candidate at
      // exactly the gap counts as free.
      const double keep = gap * 0.999;
      const BoardReach kept{x - keep, y - keep, x + width + keep, y + height + keep};
      if (std::none_of(others.begin(), others.end(),
                       [&](const BoardReach& r) { return overlaps(kept, r); })) {
        return std::pair(b.PosX + x - own.left, b.PosY + y - own.top);
      }
    }
  }
  return std::nullopt;
}

}  // namespace drumplot
