// SPDX-License-Identifier: MIT
#include "output/layer_render.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <stdexcept>

#include "apertures/aperture_file.h"
#include "engine/band_bitmap.h"
#include "engine/canvas.h"
#include "engine/data_size.h"
#include "engine/errors.h"
#include "engine/layer_renderer.h"
#include "output/band_image.h"

namespace drumplot {

MonoImage renderLayer(const RenderOptions& o, std::vector<std::string>* warnings) {
  if (!(o.dpi > 0.0 && o.dpi <= 1.0e6)) throw FormatError("resolution must be above 0 dpi");
  if (!(o.margin >= 0.0)) throw FormatError("margin must not be negative");
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

  // The picture holds everything the layer draws (its reach) and the margin.
  LayerReach reach = measureReach(reader, shapes, o.interpreter);
  if (reach.empty) reach = {reader.MinX, reader.MinY, reader.MaxX, reader.MaxY, false};
  const double left = reader.MinX - renderOrigin(reader.MinX, reach.minX, o.margin, o.dpi);
  const double top = reader.MinY - renderOrigin(reader.MinY, reach.minY, o.margin, o.dpi);
  const double widthPx =
      std::ceil((left + std::max(reach.maxX, reader.MaxX) - reader.MinX + o.margin) * o.dpi /
                32.0) *
      32.0;
  const double heightPx =
      std::ceil((top + std::max(reach.maxY, reader.MaxY) - reader.MinY + o.margin) * o.dpi);
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
  placement.boardX = left;
  placement.boardY = top;
  placement.pixelsPerInch = o.dpi;
  placement.negativeArea = PixelRect{0, 0, image.width, image.height};  // the whole picture
  const int64_t rows = image.height;
  const int64_t bandRows = o.bandRows > 0 ? o.bandRows : std::max<int64_t>(rows, 1);
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
  return image;
}

}  // namespace drumplot
