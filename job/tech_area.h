// SPDX-License-Identifier: MIT
// The technological area: the frame of four strips that the output commands
// draw around the boards, and the shift of the boards inside it.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "job/job.h"

namespace drumplot {

// A rectangle by its left-top and right-bottom corners, inches.
struct InchRect {
  double left = 0.0;
  double top = 0.0;
  double right = 0.0;
  double bottom = 0.0;

  bool operator==(const InchRect&) const = default;
};

// The extents of the boards that are output, inches. With no such board the
// starting values remain (minimum 5000, maximum -5000).
struct JobExtents {
  double MinX = 5000.0;
  double MinY = 5000.0;
  double MaxX = -5000.0;
  double MaxY = -5000.0;
};

// Layers chosen for an output: OutputLayers[n - 1] for layer n.
using OutputLayers = std::array<bool, kLayerCount>;

// Over every board with a Gerber file on one of the chosen layers.
JobExtents outputExtents(const std::vector<Board>& boards, const OutputLayers& layers);

struct TechAreaFrame {
  std::array<InchRect, 4> strips;  // left, top, right, bottom
  double shiftX = 0.0;             // every board is drawn this much right ...
  double shiftY = 0.0;             // ... and down from its PosX, PosY
  double growX = 0.0;              // the image grows by L + R + 2D in width
  double growY = 0.0;              // and by T + B + 2D in height
};

TechAreaFrame techAreaFrame(const JobExtents& extents, const TechArea& tech);

// The tech area dialog shows millimetres for the unit "mm", inches otherwise.
double techAreaToDisplay(double mm, const std::string& unitText);
double techAreaFromDisplay(double value, const std::string& unitText);

}  // namespace drumplot
