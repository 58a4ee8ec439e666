// SPDX-License-Identifier: MIT
// Panelizing the selected board.
#include "job/panelize.h"

#include <optional>

#include "job/free_place.h"

namespace drumplot {

// Panelize - Dialog values
// ============================================================================

double panelizeDefaultDistance(const std::string& unitText) {
  return unitText == "mm" ? 5.0 : 0.2;
}

double panelizeDistanceToMm(double value, const std::string& unitText) {
  return unitText == "mm" ? value : value * kMillimetresPerInch;
}

// Panelize - Copies
// ============================================================================

namespace {

// Copies show the first 64 characters of the source's caption.
constexpr size_t kMaxCopyCaptionChars = 64;

}  // namespace

bool canPanelize(const Job& job) {
  return job.lastSelected() && job.BoardSelectedOnce;
}

int panelize(Job& job, const PanelizeRequest& request) {
  std::optional<size_t> sourceIndex = job.lastSelected();
  if (!sourceIndex || !job.BoardSelectedOnce) return 0;
  if (request.repeatX == 0 && request.repeatY == 0) return 0;
  const Board source = job.boards[*sourceIndex];  // a copy: appending moves the list
  double dx = request.distanceX_mm / kMillimetresPerInch;
  double dy = request.distanceY_mm / kMillimetresPerInch;
  int copies = 0;
  for (int i = 0; i <= request.repeatX; ++i) {
    for (int j = 0; j <= request.repeatY; ++j) {
      if (i == 0 && j == 0) continue;  // the source itself
      // Only the corner must lie inside; a copy may reach past the edges.
      double x = (source.DataWidth + dx) * i + source.PosX;
      if (x >= job.settings.PlotWidth) continue;
      double y = (source.DataHeight + dy) * j + source.PosY;
      if (y >= job.settings.PlotHeight) continue;
      Board copy = source;
      copy.PosX = x;
      copy.PosY = y;
      copy.Locked = true;
      copy.Selected = false;
      copy.caption = cutText(source.caption, kMaxCopyCaptionChars);
      copy.screen.left = toScreen_px(x, job.ScreenScale);
      copy.screen.top = toScreen_px(y, job.ScreenScale);
      job.boards.push_back(std::move(copy));
      ++copies;
    }
  }
  return copies;
}

PanelCells fittingCells(const Job& job, size_t index, const PanelizeRequest& request, int columns,
                        int rows, double width, double height) {
  const Board& b = job.boards[index];
  const BoardReach r = boardReach(job, index);
  const double pitchX = b.DataWidth + request.distanceX_mm / kMillimetresPerInch;
  const double pitchY = b.DataHeight + request.distanceY_mm / kMillimetresPerInch;
  auto fits = [](double low, double high, double limit) {
    return low >= -1e-9 && high <= limit + 1e-9;
  };
  PanelCells cells;
  while (cells.columns < columns &&
         fits(r.left + pitchX * cells.columns, r.right + pitchX * cells.columns, width)) {
    ++cells.columns;
  }
  while (cells.rows < rows &&
         fits(r.top + pitchY * cells.rows, r.bottom + pitchY * cells.rows, height)) {
    ++cells.rows;
  }
  return cells;
}

}  // namespace drumplot
