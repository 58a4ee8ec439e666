// SPDX-License-Identifier: MIT
// Image sizes, board layers and band reach of the outputs.
#include "output/export_geometry.h"

#include <cmath>

#include "engine/rounding.h"
#include "job/board_import.h"

namespace drumplot {

namespace {

int64_t floorDiv(int64_t num, int64_t den) {  // den > 0
  int64_t q = num / den;
  return (num % den != 0 && num < 0) ? q - 1 : q;
}

}  // namespace

// Export geometry - Resolutions
// ============================================================================

int resolutionOfItem(int item, int other) {
  if (item >= 0 && item < static_cast<int>(kResolutionValues.size())) {
    return kResolutionValues[static_cast<size_t>(item)];
  }
  return other;
}

// Export geometry - Board layers
// ============================================================================

std::vector<BoardLayer> outputBoardLayers(const Job& job, const OutputLayers& layers, double shiftX,
                                          double shiftY) {
  std::vector<BoardLayer> out;
  for (int n = 1; n <= kLayerCount; ++n) {
    if (!layers[n - 1]) continue;
    for (size_t i = 0; i < job.boards.size(); ++i) {
      const Board& b = job.boards[i];
      if (b.LayerGerber[n - 1].empty()) continue;
      BoardLayer d;
      d.layer = n;
      d.board = i;
      d.gerberFile = job.resolvePath(b.LayerGerber[n - 1]).string();
      // A drill file on a layer draws nothing on a film: the drill panel is its output.
      if (isDrillFile(d.gerberFile)) continue;
      if (!b.LayerAperture[n - 1].empty()) {
        d.apertureFile = job.resolvePath(b.LayerAperture[n - 1]).string();
      }
      d.format = b.format;
      d.dataMinX = b.DataMinX;
      d.dataMinY = b.DataMinY;
      d.x = b.PosX + shiftX;
      d.y = b.PosY + shiftY;
      out.push_back(std::move(d));
    }
  }
  return out;
}

// Export geometry - Image sizes
// ============================================================================

int64_t plotterSide_px(double extent, double dpi) {
  return 32 * floorDiv(roundHalfEven(extent * dpi) + roundHalfEven(kPlotterAllowance * dpi), 32);
}

PreviewSize previewSize(int64_t width_px, int64_t height_px, double dpi) {
  PreviewSize p;
  const auto w = static_cast<double>(width_px), h = static_cast<double>(height_px);
  if (width_px > height_px) {
    p.width_px = kPreviewSide_px;
    p.height_px = roundHalfEven(800.0 * h / w);
    p.dpi = 800.0 / w * dpi;
  } else {
    p.height_px = kPreviewSide_px;
    p.width_px = 8 * floorDiv(roundHalfEven(800.0 * w / h), 8);
    p.dpi = 800.0 / h * dpi;
  }
  return p;
}

int64_t jobBitmapSide_px(double extent) {
  return 128 * floorDiv(roundHalfEven(extent * kJobBitmapDpi) + 400, 128) + 2432;
}

std::array<PixelRect, 4> techFrameRects(const TechAreaFrame& frame, double dpi,
                                        const AxisScale& scale) {
  std::array<PixelRect, 4> rects;
  const double dpiX = dpi * scale.x, dpiY = dpi * scale.y;
  for (size_t i = 0; i < 4; ++i) {
    const InchRect& s = frame.strips[i];
    rects[i] = {roundHalfEven(s.left * dpiX), roundHalfEven(s.top * dpiY),
                roundHalfEven(s.right * dpiX), roundHalfEven(s.bottom * dpiY)};
  }
  return rects;
}

// Export geometry - Band reach
// ============================================================================

bool boardReachesBand(double boardY, double layerHeight, const BandSpan& band, double dpi) {
  const double start = static_cast<double>(band.topRow) / dpi;
  const double end = static_cast<double>(band.topRow + band.rows) / dpi;
  return boardY <= end + 0.5 && start <= boardY + layerHeight + 0.5;
}

}  // namespace drumplot
