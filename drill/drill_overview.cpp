// SPDX-License-Identifier: MIT
// The drill overview: board outlines, hit crosses and tool paths at 180 dpi.
#include "drill/drill_overview.h"

#include <algorithm>
#include <cstring>

#include "engine/band_bitmap.h"
#include "engine/rounding.h"

namespace drumplot {

// DrillOverview - Crosses and paths
// ============================================================================

namespace {

int64_t toOverview_px(double inches) {
  return roundHalfEven(inches * kDrillOverviewDpi);
}

int64_t penWidth_px(double diameter) {
  return std::max<int64_t>(1, toOverview_px(diameter));
}

}  // namespace

void drawDrillCross(Canvas& canvas, const DrillPoint& point) {
  const int64_t x = toOverview_px(point.x);
  const int64_t y = toOverview_px(point.y);
  canvas.setPenColor(kBlack);
  canvas.setPenWidth(1);
  canvas.moveTo(x - 3, y);
  canvas.lineTo(x + 4, y);
  canvas.moveTo(x, y - 3);
  canvas.lineTo(x, y + 4);
}

void drawDrillPath(Canvas& canvas, const DrillPath& path) {
  if (path.points.empty()) return;
  canvas.setPenColor(kBlack);
  canvas.setPenWidth(penWidth_px(path.diameter));
  canvas.moveTo(toOverview_px(path.points[0].x), toOverview_px(path.points[0].y));
  for (size_t i = 1; i < path.points.size(); ++i) {
    canvas.lineTo(toOverview_px(path.points[i].x), toOverview_px(path.points[i].y));
  }
}

// DrillOverview - Image
// ============================================================================

MonoImage drillOverview(const std::vector<Board>& boards, const std::vector<DrillPoint>& crosses,
                        const std::vector<DrillPath>& paths) {
  // The far edges of what is drawn, with room for the last cross arm.
  int64_t right = 0, bottom = 0;
  for (const Board& b : boards) {
    right = std::max(right, toOverview_px(b.PosX + b.DataWidth) + 1);
    bottom = std::max(bottom, toOverview_px(b.PosY + b.DataHeight) + 1);
  }
  for (const DrillPoint& p : crosses) {
    right = std::max(right, toOverview_px(p.x) + 4);
    bottom = std::max(bottom, toOverview_px(p.y) + 4);
  }
  for (const DrillPath& path : paths) {
    const int64_t reach = penWidth_px(path.diameter) / 2 + 1;
    for (const DrillPoint& p : path.points) {
      right = std::max(right, toOverview_px(p.x) + reach);
      bottom = std::max(bottom, toOverview_px(p.y) + reach);
    }
  }
  const int64_t width = std::clamp<int64_t>(right + 8, 32, kMaxDrillOverviewSide_px);
  const int64_t height = std::clamp<int64_t>(bottom + 8, 32, kMaxDrillOverviewSide_px);

  BandBitmap band(width, height);
  Canvas canvas(band);
  canvas.setPenColor(kBlack);
  canvas.setPenWidth(1);
  for (const Board& b : boards) {
    // The outline runs over the board's first and last pixel columns and rows.
    const int64_t x0 = toOverview_px(b.PosX), y0 = toOverview_px(b.PosY);
    const int64_t x1 = std::max(x0, toOverview_px(b.PosX + b.DataWidth) - 1);
    const int64_t y1 = std::max(y0, toOverview_px(b.PosY + b.DataHeight) - 1);
    canvas.moveTo(x0, y0);
    canvas.lineTo(x1, y0);
    canvas.lineTo(x1, y1);
    canvas.lineTo(x0, y1);
    canvas.lineTo(x0, y0);
  }
  for (const DrillPoint& p : crosses) drawDrillCross(canvas, p);
  for (const DrillPath& path : paths) drawDrillPath(canvas, path);

  MonoImage image(static_cast<uint32_t>(width), static_cast<uint32_t>(height));
  for (uint32_t y = 0; y < image.height; ++y) {
    std::memcpy(image.row(y), band.rowBytes(y), image.stride());
  }
  return image;
}

}  // namespace drumplot
