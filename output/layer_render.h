// SPDX-License-Identifier: MIT
// One Gerber layer drawn alone, as a one-board job, into a picture.
#pragma once

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "engine/band_geometry.h"
#include "engine/data_format.h"
#include "engine/interpreter.h"
#include "output/mono_image.h"

namespace drumplot {

struct RenderOptions {
  std::string gerberFile;
  std::string outputFile;
  double dpi = 1000.0;
  double margin = 0.1;  // inches around the data
  DataFormat preset;
  std::string apertureFile;
  InterpreterSettings interpreter;
  int64_t bandRows = 0;    // 0: the whole image in one band
  double plotWidth = 0.0;  // inches: the plotting area the data's size is judged against
  double plotHeight = 0.0;
  // Draw data of a size no plot can mean, a picture over 2^31 pixels, or a
  // file that expands to more than kMaxDrawnOperations operations.
  bool force = false;
  // The aperture stamps keep within a quarter of it (the picture is apart).
  uint64_t budgetBytes = memoryBudgetBytes(kMemoryDefault_MB);
  // Y grows downwards, as the plotter's bands draw the layer.
  bool asPlotted = false;
};

// A picture of more pixels than this is refused without `force`.
inline constexpr double kMaxRenderPixels = 2147483648.0;  // 2^31

// The image: it holds the layer's reach (measureReach at the image's
// resolution) and the margin, its left edge the reach's left less the
// margin (renderOrigin). +Y is up, as CAD viewers show a board: the top row
// is the reach's top plus the margin. As plotted, Y grows downwards and
// the top row is the reach's bottom less the margin. Throws IoError or
// FormatError naming the file; without `force`, FormatError before anything
// is drawn when the data's size cannot be meant (implausibleSizeText) or the
// picture would exceed kMaxRenderPixels. What reading found to say goes to
// `warnings`, each naming the file and line.
MonoImage renderLayer(const RenderOptions& options, std::vector<std::string>* warnings = nullptr);

// The data point at the image's top-left pixel corner: (MinX, MinY) less the
// margin, moved out to the reach by an even number of pixels (so that the
// data's halves of a pixel round as without it).
inline double renderOrigin(double dataMin, double reachMin, double margin, double dpi) {
  const double extra = 2.0 * std::ceil(std::max(0.0, (dataMin - reachMin) * dpi) / 2.0);
  return dataMin - margin - extra / dpi;
}

}  // namespace drumplot
