// SPDX-License-Identifier: MIT
// Panelizing the selected board.
#include "job/panelize.h"

#include <optional>

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
  if (request.RepeatX == 0 && request.RepeatY == 0) return 0;
  const Board source = job.boards[*sourceIndex];  // a copy: appending moves the list
  double dx = request.DistanceX_mm / kMillimetresPerInch;
  double dy = request.DistanceY_mm / kMillimetresPerInch;
  int copies = 0;
  for (int i = 0; i <= request.RepeatX; ++i) {
    for (int j = 0; j <= request.RepeatY; ++j) {
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
      copy.Caption = cutText(source.Caption, kMaxCopyCaptionChars);
      copy.Screen.Left = toScreen_px(x, job.ScreenScale);
      copy.Screen.Top = toScreen_px(y, job.ScreenScale);
      job.boards.push_back(std::move(copy));
      ++copies;
    }
  }
  return copies;
}

}  // namespace drumplot
