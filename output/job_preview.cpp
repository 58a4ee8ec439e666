// SPDX-License-Identifier: MIT
// Preview and print: fitting the job to a window or a page, and drawing it
// in one pass.
#include "output/job_preview.h"

#include <algorithm>
#include <utility>

#include "apertures/aperture_file.h"
#include "engine/canvas.h"
#include "engine/errors.h"
#include "engine/layer_renderer.h"
#include "engine/rounding.h"
#include "output/export_geometry.h"
#include "output/prepared_job.h"

namespace drumplot {

namespace {

constexpr int64_t kPreviewMargin_px = 6;  // client area kept free around the preview
constexpr int64_t kPageMargin_px = 30;    // printable area kept free on the page
constexpr double kPreviewFill = 0.98;     // the job's bottom edge at 98 % of the height

int64_t evenDown(int64_t n) {
  return n - (n & 1);
}

// The extent an output covers: the boards', grown by the tech area in use.
std::pair<double, double> coveredExtent(const JobExtents& extents, const RasterScene& scene) {
  double width = extents.MaxX, height = extents.MaxY;
  if (scene.tech) {
    width += scene.tech->growX;
    height += scene.tech->growY;
  }
  return {width, height};
}

// Draws every board layer of the scene in order, each in the colour
// `colourOf` gives its layer. False when cancelled.
template <typename ColourOf>
bool drawBoardLayers(const RasterScene& scene, Canvas& canvas, double pixelsPerInch,
                     ColourOf colourOf, PreparedJob* prepared, Progress* progress) {
  std::optional<PreparedJob> own;
  if (!prepared) prepared = &own.emplace(memoryBudgetBytes(kMemoryDefault_MB));
  auto cancelled = [&] { return progress && progress->cancelled; };
  for (const BoardLayer& d : scene.boardLayers) {
    if (cancelled()) return false;
    if (progress && progress->layerStarted) progress->layerStarted(d.gerberFile);
    const std::shared_ptr<LayerRenderer> renderer = prepared->open(scene.sources[d.source]);
    renderer->reader().refuseUndrawable(kMaxDrawnOperations);
    LayerPlacement placement{d.x, d.y, pixelsPerInch, colourOf(d.layer), std::nullopt, {}};
    interpretLayer(renderer->reader(), renderer->shapes(pixelsPerInch), canvas, placement,
                   scene.interpreter, progress);
  }
  return !cancelled();
}

void drawTechFrame(const RasterScene& scene, Canvas& canvas, double pixelsPerInch) {
  if (!scene.tech) return;
  canvas.setColor(kBlack);
  for (const PixelRect& r : techFrameRects(*scene.tech, pixelsPerInch)) {
    canvas.fillRect(r.x0, r.y0, r.x1, r.y1);
  }
}

void flipUpsideDown(RgbSurface& image) {
  for (int64_t top = 0, bottom = image.rows() - 1; top < bottom; ++top, --bottom) {
    std::swap_ranges(image.row(top), image.row(top) + image.width_px(), image.row(bottom));
  }
}

}  // namespace

// JobPreview - Fitting
// ============================================================================

//   a = maxX / maxY (the job's shape), w = Wc / Hc (the window's):
//   a <= w: the job is narrower than the window; its height fills it
//   a >  w: the job is wider; its width fills it
OutputFit previewFit(double maxX, double maxY, int64_t clientWidth_px, int64_t clientHeight_px,
                     int zoom) {
  OutputFit fit;
  const int64_t wc = clientWidth_px - kPreviewMargin_px;
  const int64_t hc = clientHeight_px - kPreviewMargin_px;
  if (!(maxX > 0.0 && maxY > 0.0) || wc <= 0 || hc <= 0) return fit;
  const int64_t z = std::clamp(zoom, 1, 3);
  const double a = maxX / maxY;
  const double w = static_cast<double>(wc) / static_cast<double>(hc);
  if (a <= w) {
    fit.height_px = evenDown(z * hc);
    fit.width_px = roundHalfEven(static_cast<double>(hc) * a) * z;
  } else {
    fit.width_px = z * wc;
    fit.height_px = evenDown(roundHalfEven(static_cast<double>(wc) / a) * z);
  }
  fit.pixelsPerInch = kPreviewFill * static_cast<double>(fit.height_px) / maxY;
  return fit;
}

OutputFit printFit(double jobWidth, double jobHeight, const PrinterPage& page) {
  const double wp =
      static_cast<double>(std::max<int64_t>(page.printableWidth_px - kPageMargin_px, 1));
  const double hp =
      static_cast<double>(std::max<int64_t>(page.printableHeight_px - kPageMargin_px, 1));
  const auto wj = static_cast<double>(roundHalfEven(jobWidth * page.dpiX));
  const auto hj = static_cast<double>(roundHalfEven(jobHeight * page.dpiY));
  double f = 1.0;
  if (wj > wp) f = wj / wp;
  if (hj > hp && hj / hp > f) f = hj / hp;
  OutputFit fit;
  fit.width_px = roundHalfEven(wj / f) + 2;
  fit.height_px = roundHalfEven(hj / f) + 2;
  fit.pixelsPerInch = page.dpiX / f;
  return fit;
}

// JobPreview - Drawing
// ============================================================================

Rgb bgrToRgb(uint32_t bgr) {
  return (bgr & 0xFF) << 16 | (bgr & 0xFF00) | (bgr >> 16 & 0xFF);
}

JobPreview renderJobPreview(const Job& job, const JobPreviewSettings& settings,
                            int64_t clientWidth_px, int64_t clientHeight_px, Progress* progress,
                            PreparedJob* prepared) {
  JobExtents extents;
  RasterScene scene = outputScene(job, settings.draw, extents);
  auto [width, height] = coveredExtent(extents, scene);
  OutputFit fit = previewFit(width, height, clientWidth_px, clientHeight_px, settings.zoom);
  if (fit.width_px <= 0 || fit.height_px <= 0) {
    throw FormatError("the boards on the chosen layers have no area to preview");
  }
  JobPreview preview;
  preview.image = RgbSurface(fit.width_px, fit.height_px);
  Canvas canvas(preview.image);
  auto layerColour = [&](int layer) {
    return bgrToRgb(job.settings.LayerColors[static_cast<size_t>(layer - 1)]);
  };
  preview.cancelled =
      !drawBoardLayers(scene, canvas, fit.pixelsPerInch, layerColour, prepared, progress);
  if (preview.cancelled) return preview;
  drawTechFrame(scene, canvas, fit.pixelsPerInch);
  if (!settings.mirror) flipUpsideDown(preview.image);
  return preview;
}

JobPrint renderJobPrint(const Job& job, const DrawSettings& draw, const PrinterPage& page,
                        Progress* progress, PreparedJob* prepared) {
  JobExtents extents;
  RasterScene scene = outputScene(job, draw, extents);
  auto [width, height] = coveredExtent(extents, scene);
  JobPrint print;
  print.fit = printFit(width, height, page);
  print.image = BandBitmap(print.fit.width_px, print.fit.height_px);
  Canvas canvas(print.image);
  auto black = [](int) { return kBlack; };
  print.cancelled =
      !drawBoardLayers(scene, canvas, print.fit.pixelsPerInch, black, prepared, progress);
  if (!print.cancelled) drawTechFrame(scene, canvas, print.fit.pixelsPerInch);
  return print;
}

}  // namespace drumplot
