// SPDX-License-Identifier: MIT
// Geometry of the plotter export and of the job bitmap: the resolutions
// offered, the board layers drawn and where, the image and preview sizes,
// the tech-area frame in pixels and which boards reach a band.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "apertures/aperture_file.h"
#include "engine/band_geometry.h"
#include "engine/canvas.h"
#include "engine/data_format.h"
#include "engine/interpreter.h"
#include "engine/layer_renderer.h"
#include "job/job.h"
#include "job/tech_area.h"

namespace drumplot {

// The "Resolution [dpi]" items as labelled, and the resolutions they give:
// the second item reads "1626" and exports at 1625 dpi; the last item,
// "Other..", takes the spin field's value.
inline constexpr std::array<const char*, 11> kResolutionLabels = {
    "1016", "1626", "2032", "4064", "8128", "16256", "25400", "32512", "40640", "65024", "Other.."};
inline constexpr std::array<int, 10> kResolutionValues = {1016,  1625,  2032,  4064,  8128,
                                                          16256, 25400, 32512, 40640, 65024};
inline constexpr int kDefaultResolutionItem = 2;     // "2032"
inline constexpr int kOtherResolutionItem = 10;      // "Other.."
inline constexpr int kOtherResolutionPreset = 3048;  // the spin field when the dialog opens
inline constexpr int kOtherResolutionMin = 100;
inline constexpr int kOtherResolutionMax = 65536;  // the spin field's range
// The plotter file stores the resolution in 16 bits.
inline constexpr int kMaxPlotterDpi = 65535;

// The resolution of item `item` (0..10); `other` is the spin field's value.
int resolutionOfItem(int item, int other);

// Plotter image: 0.6 inch beyond the boards, sides a multiple of 32 pixels,
// at most what the file's 24-bit size fields hold.
inline constexpr double kPlotterAllowance = 0.6;  // inches
inline constexpr int64_t kMaxPlotterSide_px = 0xFFFFFF;
// Job bitmap: 8192 pixels per inch.
inline constexpr double kJobBitmapDpi = 8192.0;
// Overviews drawn during the first band: 400 x 400 pixels at 20 (plotter
// export) or 30 (job bitmap) pixels per inch.
inline constexpr int64_t kOverviewSide_px = 400;
inline constexpr double kPlotterOverviewDpi = 20.0;
inline constexpr double kJobBitmapOverviewDpi = 30.0;
inline constexpr int64_t kPreviewSide_px = 800;

// One board's Gerber file on one layer, as an output draws it.
struct BoardLayer {
  int layer = 1;             // 1..18
  size_t board = 0;          // index in Job::Boards
  std::string gerberFile;    // as the job resolves it
  std::string apertureFile;  // as the job resolves it; empty: none
  DataFormat format;         // the board's own
  double dataMinX = 0.0;     // the data point on the board's left-top corner
  double dataMinY = 0.0;
  double x = 0.0;     // where that corner is drawn, inches: the board's
  double y = 0.0;     // position plus the tech-area shift
  size_t source = 0;  // its file among the scene's sources
};

// How every output opens a board layer's file (a BoardLayer, or a
// LayerSource that several of them draw): in the board's format, its origin
// the board's master data origin, with the layer's aperture file.
template <typename Layer>
LayerOpening boardLayerOpening(const Layer& d) {
  LayerOpening opening(d.gerberFile, d.format);
  opening.dataMinX = d.dataMinX;
  opening.dataMinY = d.dataMinY;
  opening.apertureFile = apertureFileLoader(d.apertureFile);
  return opening;
}

// Layers 1..18 that are chosen, and on each the boards in job order that
// name a Gerber file there; every board moved by (shiftX, shiftY) inches.
std::vector<BoardLayer> outputBoardLayers(const Job& job, const OutputLayers& layers,
                                          double shiftX = 0.0, double shiftY = 0.0);

// Row length (or row count) of the plotter image for boards reaching
// `extent` inches: 32 x floor((round(extent x dpi) + round(0.6 x dpi)) / 32).
int64_t plotterSide_px(double extent, double dpi);

struct PreviewSize {
  int64_t width_px = 0;
  int64_t height_px = 0;
  double dpi = 0.0;
  bool operator==(const PreviewSize&) const = default;
};
// The preview of a width_px x height_px image, at most 800 x 800.
PreviewSize previewSize(int64_t width_px, int64_t height_px, double dpi);

// Row length (or row count) of the job bitmap for boards reaching `extent`
// inches: 128 x floor((round(extent x 8192) + 400) / 128) + 2432.
int64_t jobBitmapSide_px(double extent);

// The tech-area frame's four strips in pixels at `dpi` on a film stretched
// by `scale`, corners rounded.
std::array<PixelRect, 4> techFrameRects(const TechAreaFrame& frame, double dpi,
                                        const AxisScale& scale = {});

// Whether the plotter export draws a board layer in a band other than the
// first one produced: its top lies at most half an inch below the band and
// the band starts at most half an inch below the layer's drawing height.
bool boardReachesBand(double boardY, double layerHeight, const BandSpan& band, double dpi);

}  // namespace drumplot
