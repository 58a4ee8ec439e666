// SPDX-License-Identifier: MIT
// Tech area frame geometry.
#include "job/tech_area.h"

#include <algorithm>

namespace drumplot {

// TechArea - Extents of the output
// ============================================================================

namespace {

bool hasOutputLayer(const Board& board, const OutputLayers& layers) {
  for (int n = 0; n < kLayerCount; ++n) {
    if (layers[n] && !board.LayerGerber[n].empty()) return true;
  }
  return false;
}

}  // namespace

JobExtents outputExtents(const std::vector<Board>& boards, const OutputLayers& layers) {
  JobExtents e;
  for (const Board& board : boards) {
    if (!hasOutputLayer(board, layers)) continue;
    e.MinX = std::min(e.MinX, board.PosX);
    e.MinY = std::min(e.MinY, board.PosY);
    e.MaxX = std::max(e.MaxX, board.PosX + board.DataWidth);
    e.MaxY = std::max(e.MaxY, board.PosY + board.DataHeight);
  }
  return e;
}

// TechArea - Frame
// ============================================================================

//   minX                                  maxX + L + R + 2D
//    +----+----------- top ------------+----+  minY
//    |    +----------------------------+    |  minY + T
//    | L  |   D   boards shifted by    | R  |
//    |    |       (D + L, D + T)       |    |
//    |    +----------------------------+    |  maxY + T + 2D
//    +----+---------- bottom ----------+----+  maxY + T + B + 2D
TechAreaFrame techAreaFrame(const JobExtents& e, const TechArea& tech) {
  double d = tech.distance_mm / kMillimetresPerInch;
  double l = tech.left_mm / kMillimetresPerInch;
  double r = tech.right_mm / kMillimetresPerInch;
  double t = tech.top_mm / kMillimetresPerInch;
  double b = tech.bottom_mm / kMillimetresPerInch;
  double right = e.MaxX + l + r + 2 * d;
  double bottom = e.MaxY + t + b + 2 * d;
  TechAreaFrame frame;
  frame.strips[0] = {e.MinX, e.MinY, e.MinX + l, bottom};
  frame.strips[1] = {e.MinX, e.MinY, right, e.MinY + t};
  frame.strips[2] = {e.MaxX + l + 2 * d, e.MinY, right, bottom};
  frame.strips[3] = {e.MinX, e.MaxY + t + 2 * d, right, bottom};
  frame.shiftX = d + l;
  frame.shiftY = d + t;
  frame.growX = l + r + 2 * d;
  frame.growY = t + b + 2 * d;
  return frame;
}

double techAreaToDisplay(double mm, const std::string& unitText) {
  return unitText == "mm" ? mm : mm / kMillimetresPerInch;
}

double techAreaFromDisplay(double value, const std::string& unitText) {
  return unitText == "mm" ? value : value * kMillimetresPerInch;
}

}  // namespace drumplot
