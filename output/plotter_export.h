// SPDX-License-Identifier: MIT
// The photoplotter export: every board of a job on every chosen layer,
// rasterized at the plotter's resolution and written band by band as a
// plotter file (.FPF) with its thumbnail and preview.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "engine/band_bitmap.h"
#include "job/job.h"
#include "output/export_geometry.h"
#include "output/fpf_encoder.h"
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

// Sizes and bands of the export. Throws FormatError, before anything is
// written, when no board has a Gerber file on a chosen layer, the
// resolution is out of range, the image would be empty or larger than the
// file can describe, or the budget holds fewer than 32 rows of it.
PlotterExportPlan planPlotterExport(const Job& job, const PlotterExportSettings& settings);

// The plan, and the scene that draws it: the TIFF film draws the same
// image, and a film of one layer draws a part of the scene's board layers.
// Throws as planPlotterExport.
PlotterExportPlan planPlotterScene(const Job& job, const PlotterExportSettings& settings,
                                   RasterScene& scene);

// Draws the planned scene into `file` as a plotter file; the caller
// commits the file. Throws IoError / FormatError.
PlotterExportSummary writePlotterFile(const RasterScene& scene, const PlotterExportPlan& plan,
                                      const PlotterExportSettings& settings, ReplacingFile& file);

// Writes the plotter file (through a temporary file renamed over
// settings.file at the end). Throws IoError / FormatError; a failed or
// cancelled export leaves no file and keeps an older one of that name.
PlotterExportSummary exportPlotterFile(const Job& job, const PlotterExportSettings& settings);

// "Horizontal line" in pixels: round(mils x dpm).
int64_t horizontalLinePixels(const PlotterExportSettings& settings);

// A coder of one group's record: encodeGroupPerPixel, encodeGroupWords or
// encodeGroupWide, which give the same bytes.
using GroupCoder = void (*)(const RowGroup&, std::vector<uint8_t>&);

// The records of one band (its rows a multiple of 4) in file order. Mirror
// on: groups from the band's top down, bit 0 the group's top row; mirror
// off: from the bottom up, bit 0 the lowest row. With horizontal_px not 0
// each row first goes through the horizontal line-width adjustment (the
// band changes). `afterGroup` runs after each record.
void encodeBandGroups(BandBitmap& band, bool mirror, int64_t horizontal_px, GroupCoder coder,
                      std::vector<uint8_t>& out, const std::function<void()>& afterGroup = {});

// The file's blocks from the preview (pw x ph, already in file order):
// the 200 x 200 thumbnail (25 bytes a row), a pixel exposed where any pixel
// of its 4 x 4 block of the preview is, and the 800 x 800 preview area
// (100 bytes a row) with the preview at its top left; background elsewhere.
std::vector<uint8_t> thumbnailBlock(const BandBitmap& preview);
std::vector<uint8_t> previewBlock(const BandBitmap& preview);

}  // namespace drumplot
