// SPDX-License-Identifier: MIT
#include "output/layer_render.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <stdexcept>
#include <string>

#include "apertures/aperture_file.h"
#include "engine/band_bitmap.h"
#include "engine/canvas.h"
#include "engine/data_size.h"
#include "engine/errors.h"
#include "engine/layer_renderer.h"
#include "output/band_image.h"

namespace drumplot {

namespace {

// Window corners farther out than this many pixels cannot be meant (pixel
// positions stay whole numbers in a double well within it).
constexpr double kFarthestWindowPixel = 1.0e15;

// Leeway for decimal inches that a double cannot hold exactly.
double pixelSlack(double px) {
  return 1.0e-9 * std::max(1.0, std::abs(px));
}

std::string inchText(double inches) {
  char text[32];
  std::snprintf(text, sizeof text, "%g", inches);
  return text;
}

}  // namespace

WindowPixels windowPixels(const RenderWindow& w, double dpi, uint64_t budgetBytes) {
  for (double v : {w.x0, w.y0, w.x1, w.y1}) {
    if (!(std::abs(v * dpi) <= kFarthestWindowPixel)) {
      throw std::invalid_argument("--window: " + inchText(v) + " inch is farther out than any " +
                                  "board at " + inchText(dpi) + " dpi");
    }
  }
  if (!(w.x1 > w.x0) || !(w.y1 > w.y0)) {
    throw std::invalid_argument(
        "--window X0,Y0,X1,Y1: X1 must be greater than X0 and Y1 than Y0 (" + inchText(w.x0) + "," +
        inchText(w.y0) + "," + inchText(w.x1) + "," + inchText(w.y1) + " is empty)");
  }
  WindowPixels p;
  p.left = std::floor(w.x0 * dpi + pixelSlack(w.x0 * dpi));
  p.bottom = std::floor(w.y0 * dpi + pixelSlack(w.y0 * dpi));
  const double width = (w.x1 - w.x0) * dpi, height = (w.y1 - w.y0) * dpi;
  p.width = std::max(1.0, std::ceil(width - pixelSlack(width)));
  p.height = std::max(1.0, std::ceil(height - pixelSlack(height)));
  const double bytes = std::ceil(p.width / 8.0) * p.height;
  if (bytes > static_cast<double>(budgetBytes) || p.width > 4.0e9 || p.height > 4.0e9) {
    char size[160];
    std::snprintf(size, sizeof size,
                  "the window's picture would be %.0f x %.0f pixels (%.0f MB), more than the "
                  "memory setting of %.0f MB holds",
                  p.width, p.height, std::ceil(bytes / 1048576.0),
                  std::floor(static_cast<double>(budgetBytes) / 1048576.0));
    throw std::invalid_argument(std::string("--window: ") + size +
                                " (lower --dpi, a smaller window, or more --memory)");
  }
  return p;
}

MonoImage renderLayer(const RenderOptions& o, std::vector<std::string>* warnings,
                      PictureOrigin* origin) {
  if (!(o.dpi > 0.0 && o.dpi <= 1.0e6)) throw FormatError("resolution must be above 0 dpi");
  if (!(o.margin >= 0.0)) throw FormatError("margin must not be negative");
  // A window is counted before the file is read.
  const WindowPixels window =
      o.window ? windowPixels(*o.window, o.dpi, o.budgetBytes) : WindowPixels{};
  LayerOpening opening(o.gerberFile, o.preset);
  opening.apertureFile = apertureFileLoader(o.apertureFile);
  if (o.force) opening.maxOperations = UINT64_MAX;
  opening.maxTextBytes = o.budgetBytes;
  StampCache stamps(o.budgetBytes / 4);
  opening.stamps = &stamps;
  opening.afterPrescan = [&](const GerberReader& reader) {
    std::string problem = implausibleSizeText(reader, o.plotWidth, o.plotHeight);
    if (!problem.empty() && !o.force) {
      throw FormatError(o.gerberFile + ": " + problem +
                        "; nothing was drawn (use --force to draw it all the same)");
    }
  };
  std::unique_ptr<LayerRenderer> layer = openLayer(opening);
  GerberReader& reader = layer->reader();
  ShapeRasterizer& shapes = layer->shapes(o.dpi);
  if (warnings) *warnings = reader.warnings.messages;

  // The file point at the picture's bottom-left corner, and its size.
  double cornerX, cornerY, widthPx, heightPx;
  if (o.window) {
    cornerX = window.left / o.dpi;
    cornerY = window.bottom / o.dpi;
    widthPx = window.width;
    heightPx = window.height;
  } else {
    // Everything the layer draws (its reach) and the margin.
    LayerReach reach = measureReach(reader, shapes, o.interpreter);
    if (reach.empty) reach = {reader.MinX, reader.MinY, reader.MaxX, reader.MaxY, false};
    cornerX = renderOrigin(reader.MinX, reach.minX, o.margin, o.dpi);
    cornerY = renderOrigin(reader.MinY, reach.minY, o.margin, o.dpi);
    const double left = reader.MinX - cornerX, bottom = reader.MinY - cornerY;
    widthPx = std::ceil((left + std::max(reach.maxX, reader.MaxX) - reader.MinX + o.margin) *
                        o.dpi / 32.0) *
              32.0;
    heightPx =
        std::ceil((bottom + std::max(reach.maxY, reader.MaxY) - reader.MinY + o.margin) * o.dpi);
  }
  if (widthPx > 4.0e9 || heightPx > 4.0e9) {
    throw FormatError(o.gerberFile + ": the image would be larger than 4e9 pixels a side");
  }
  if (widthPx * heightPx > kMaxRenderPixels && !o.force) {
    char size[96];
    std::snprintf(size, sizeof size, "%.0f x %.0f pixels (%.0f MB)", widthPx, heightPx,
                  widthPx * heightPx / 8.0 / 1048576.0);
    throw FormatError(o.gerberFile + ": the picture would be " + size +
                      ", more than 2^31 pixels; nothing was drawn (lower --dpi, or use --force)");
  }
  MonoImage image = [&] {
    try {
      return MonoImage(static_cast<uint32_t>(widthPx), static_cast<uint32_t>(heightPx));
    } catch (const std::bad_alloc&) {
      throw std::runtime_error(o.gerberFile + ": not enough memory to hold a picture of " +
                               std::to_string(static_cast<uint64_t>(widthPx)) + " x " +
                               std::to_string(static_cast<uint64_t>(heightPx)) + " pixels");
    }
  }();

  LayerPlacement placement;
  placement.boardX = reader.MinX - cornerX;
  placement.boardY = reader.MinY - cornerY;
  placement.pixelsPerInch = o.dpi;
  placement.negativeArea = PixelRect{0, 0, image.width, image.height};  // the whole picture
  const int64_t rows = image.height;
  // Bands of a quarter of the memory setting, or of the picture when that
  // is more: every band walks all the operations again.
  const auto bandRowBytes = static_cast<int64_t>((uint64_t{image.width} + 31) / 32 * 4);
  const int64_t bandRows =
      o.bandRows > 0 ? o.bandRows
                     : std::max({static_cast<int64_t>(o.budgetBytes / 4) / bandRowBytes,
                                 (rows + kMaxRenderBands - 1) / kMaxRenderBands, int64_t{1}});
  for (int64_t top = 0; top < rows; top += bandRows) {
    int64_t r = std::min(bandRows, rows - top);
    BandBitmap band(image.width, r, top);
    Canvas canvas(band);
    interpretLayer(reader, shapes, canvas, placement, o.interpreter);
    for (int64_t y = 0; y < r; ++y) {
      std::memcpy(image.row(static_cast<uint32_t>(top + y)), band.rowBytes(y), image.stride());
    }
  }
  if (!o.asPlotted) flipImageRows(image, image.height);
  if (origin) {
    origin->x = cornerX;
    origin->y = o.asPlotted ? cornerY : cornerY + heightPx / o.dpi;
  }
  return image;
}

}  // namespace drumplot
