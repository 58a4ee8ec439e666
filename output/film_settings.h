// SPDX-License-Identifier: MIT
// What the films of an export share whatever their format (plotter file,
// TIFF film): the export's settings, its plan (the image and its bands,
// known before anything is drawn) and the summary of a film written.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

#include "engine/band_geometry.h"
#include "engine/rounding.h"
#include "output/export_geometry.h"
#include "output/job_raster.h"
#include "output/mono_image.h"

namespace drumplot {

// What the export dialog hands over on OK (in export mode).
struct PlotterExportSettings {
  DrawSettings draw;
  RunSettings run;
  std::filesystem::path file;                           // the export name
  int dpi = kResolutionValues[kDefaultResolutionItem];  // 100 .. 65535
  double horizontalLine_mils = 0.0;  // "Horizontal line": grows or shrinks runs at their right end
  std::string notes;                 // "User notes": 63 characters kept, 50 written
  bool mirror = false;               // "Mirror horizontal"
  // "Negative film": clear where drawn, exposed elsewhere.
  bool negative = false;
  FilmScale scale;  // the whole film about its origin corner
};

// The image and its bands, known before anything is drawn.
struct PlotterExportPlan {
  int64_t width_px = 0;   // W, a multiple of 32
  int64_t height_px = 0;  // H, a multiple of 32
  int dpi = 0;
  PreviewSize preview;
  BandGeometry bands;
  bool large = false;  // "QK2": W or H above 65000
  size_t boardLayers = 0;
};

struct PlotterExportSummary {
  PlotterExportPlan plan;
  uint64_t fileBytes = 0;
  MonoImage overview;  // 400 x 400, as the "Preview exported data" window shows it
  RasterStats raster;
  bool cancelled = false;  // nothing was written
  double seconds = 0.0;
};

// The film scale as the drawing stretches it.
inline AxisScale drawingScale(const FilmScale& scale) {
  return {scale.x(), scale.y()};
}

// "Horizontal line" in pixels: round(mils x dpm).
inline int64_t horizontalLinePixels(const PlotterExportSettings& settings) {
  return roundHalfEven(settings.horizontalLine_mils * settings.dpi / 1000.0);
}

}  // namespace drumplot
