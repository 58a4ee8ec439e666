// SPDX-License-Identifier: MIT
// One Gerber layer drawn alone, as a one-board job, into a picture.
#pragma once

#include <algorithm>
#include <cmath>
#include <optional>
#include <string>
#include <vector>

#include "engine/band_geometry.h"
#include "engine/data_format.h"
#include "engine/interpreter.h"
#include "output/mono_image.h"

namespace drumplot {

// A rectangle of the Gerber file's own coordinates (inches, +Y up).
struct RenderWindow {
  double x0 = 0.0, y0 = 0.0, x1 = 0.0, y1 = 0.0;
};

struct RenderOptions {
  std::string gerberFile;
  std::string outputFile;
  double dpi = 1000.0;
  double margin = 0.1;  // inches around the data
  DataFormat preset;
  std::string apertureFile;
  InterpreterSettings interpreter;
  // 0: the rows a quarter of budgetBytes holds, in at most kMaxRenderBands.
  int64_t bandRows = 0;
  double plotWidth = 0.0;  // inches: the plotting area the data's size is judged against
  double plotHeight = 0.0;
  // Draw data of a size no plot can mean, a picture over 2^31 pixels, or a
  // file that expands to more than kMaxDrawnOperations operations.
  bool force = false;
  // The aperture stamps keep within a quarter of it, the band drawn into
  // within another (the picture is apart).
  uint64_t budgetBytes = memoryBudgetBytes(kMemoryDefault_MB);
  // Y grows downwards, as the plotter's bands draw the layer.
  bool asPlotted = false;
  // The picture shows exactly this rectangle (windowPixels); without it,
  // the layer's reach and the margin.
  std::optional<RenderWindow> window;
};

// Where a picture lies: the file coordinates (inches) of its top-left
// pixel's top-left corner.
struct PictureOrigin {
  double x = 0.0, y = 0.0;
};

// A window in whole pixels of the file's frame: the left column's left
// edge is x0 x dpi snapped down, the bottom row's bottom edge y0 x dpi
// snapped down; the picture is ceil((x1 - x0) x dpi) x ceil((y1 - y0) x dpi).
// A value within a billionth of a pixel of a whole one counts as that one
// (0.29 inch at 100 dpi is 29 pixels, not 28.999999999999996).
struct WindowPixels {
  double left = 0.0, bottom = 0.0;  // whole pixels
  double width = 0.0, height = 0.0;
};
// Throws std::invalid_argument saying why for a window that is empty
// (x1 <= x0 or y1 <= y0), not finite, or whose picture (width / 8 x height
// bytes) would pass `budgetBytes`.
WindowPixels windowPixels(const RenderWindow& window, double dpi, uint64_t budgetBytes);

// Bands a picture is drawn in at most unless told (each walks the file).
inline constexpr int64_t kMaxRenderBands = 4;

// A picture of more pixels than this is refused without `force`.
inline constexpr double kMaxRenderPixels = 2147483648.0;  // 2^31

// The image: with a window, exactly it (windowPixels); else it holds the layer's reach
// (measureReach at the image's resolution) and the margin, its left edge the reach's left less the
// margin (renderOrigin). +Y is up, as CAD viewers show a board: the top row
// is the reach's top plus the margin. As plotted, Y grows downwards and
// the top row is the reach's bottom less the margin. Throws IoError or
// FormatError naming the file; without `force`, FormatError before anything
// is drawn when the data's size cannot be meant (implausibleSizeText) or the
// picture would exceed kMaxRenderPixels. What reading found to say goes to
// `warnings`, each naming the file and line; where the picture lies to
// `origin`.
MonoImage renderLayer(const RenderOptions& options, std::vector<std::string>* warnings = nullptr,
                      PictureOrigin* origin = nullptr);

// The data point at the image's top-left pixel corner: (MinX, MinY) less the
// margin, moved out to the reach by an even number of pixels (so that the
// data's halves of a pixel round as without it).
inline double renderOrigin(double dataMin, double reachMin, double margin, double dpi) {
  const double extra = 2.0 * std::ceil(std::max(0.0, (dataMin - reachMin) * dpi) / 2.0);
  return dataMin - margin - extra / dpi;
}

}  // namespace drumplot
