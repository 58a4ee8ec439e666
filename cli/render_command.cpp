// SPDX-License-Identifier: MIT
#include "cli/render_command.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <memory>
#include <new>
#include <stdexcept>

#include "apertures/aperture_file.h"
#include "cli/command_registry.h"
#include "engine/band_bitmap.h"
#include "engine/canvas.h"
#include "engine/data_size.h"
#include "engine/errors.h"
#include "engine/layer_renderer.h"
#include "output/film_export.h"

namespace drumplot {

MonoImage renderLayer(const RenderOptions& o) {
  if (!(o.dpi > 0.0 && o.dpi <= 1.0e6)) throw FormatError("resolution must be above 0 dpi");
  if (!(o.margin >= 0.0)) throw FormatError("margin must not be negative");
  if (!o.apertureFile.empty() && !std::filesystem::exists(o.apertureFile)) {
    throw IoError(o.apertureFile + ": cannot open the aperture file");
  }
  LayerRenderer layer(o.preset);
  layer.setFileName(o.gerberFile);
  layer.loadAndPrescan();
  if (std::string problem = implausibleSizeText(layer.reader(), o.plotWidth, o.plotHeight);
      !problem.empty() && !o.force) {
    throw FormatError(o.gerberFile + ": " + problem +
                      "; nothing was drawn (use --force to draw it all the same)");
  }
  layer.readApertures(
      [&](ApertureTable& apertures) { LoadApertureFile(apertures, o.apertureFile); });
  layer.makeStamps();
  GerberReader& reader = layer.reader();
  ShapeRasterizer& shapes = layer.shapes(o.dpi);
  for (const std::string& warning : reader.Warnings.messages)
    std::cerr << "warning: " << warning << "\n";

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

void runRender(const RenderOptions& options, std::ostream& out) {
  MonoImage image = renderLayer(options);
  if (filmFormatOfName(options.outputFile) == FilmFormat::Tiff) {
    writeTiffImage(options.outputFile, image, options.dpi);
  } else {
    writeImage(options.outputFile, image);
  }
  out << options.outputFile << ": " << image.width << " x " << image.height << " pixels at "
      << options.dpi << " dpi, " << image.exposedCount() << " exposed\n";
}

}  // namespace drumplot

// drumplot-cli render
// ============================================================================

namespace drumplot::cli {

void addRenderCommand(CLI::App& app, Action& action) {
  struct Options {
    RenderOptions render;
    std::string format = "2.3,leading,abs,inch";
    std::string noHole = "300,500,700";
  };
  auto options = std::make_shared<Options>();
  auto* cmd = app.add_subcommand(
      "render",
      "Draw one Gerber layer as a one-board job into a 1-bit PNG, PBM or TIFF (black = "
      "exposure). The image holds everything the layer draws and the margin around it, +Y up "
      "as CAD viewers show a board. A negative layer (%IPNEG) inverts the whole picture.");
  RenderOptions& r = options->render;
  cmd->add_option("GERBER", r.gerberFile, "Gerber file (RS-274X or RS-274-D)")->required();
  cmd->add_option("-o,--output", r.outputFile,
                  "Image to write: OUT.png, OUT.pbm, or OUT.tif (Group 4, with the resolution)")
      ->required();
  cmd->add_option("--dpi", r.dpi, "Pixels per inch (default 1000)")->check(CLI::Range(1.0, 1.0e6));
  cmd->add_option("--margin", r.margin, "Margin around the data, inches (default 0.1)")
      ->check(CLI::Range(0.0, 100.0));
  cmd->add_option("--format", options->format, kFormatHelp)->check(FormatSpecValidator());
  cmd->add_option("--apertures", r.apertureFile,
                  "Aperture file (.Env) for files without their own aperture definitions");
  cmd->add_option("--line-width", r.interpreter.lineWidthAdjust_mils,
                  "Line-width adjustment in mils, added to every pen (may be negative)");
  cmd->add_option("--holes", r.interpreter.holeDiameter_mils,
                  "Punch holes of this diameter (mils) into every flashed pad (default 0: none)")
      ->check(CLI::Range(0.0, 10000.0));
  cmd->add_option("--no-hole", options->noHole,
                  "D codes whose flashes get no hole, comma-separated (default 300,500,700)");
  cmd->add_flag("--force", r.force,
                "Draw all the same when the data's size is more than any plot can mean (100 "
                "inches, or 4 times the plotting area) or the picture has more than 2^31 pixels");
  cmd->add_flag("--as-plotted", r.asPlotted,
                "Y grows downwards, as the plotter's bands draw the layer (the picture upside "
                "down against a viewer's)");
  cmd->add_option("--band-rows", r.bandRows,
                  "Draw through bands of this many rows (default: one band); the image is the same")
      ->check(CLI::Range(int64_t{1}, int64_t{1} << 40));
  cmd->callback([options, &action] {
    action = [options] {
      options->render.preset = parseFormatSpec(options->format);
      JobSettings settings = readCommandSettings("");
      options->render.plotWidth = settings.PlotWidth;
      options->render.plotHeight = settings.PlotHeight;
      options->render.interpreter.noHoleDCodes = parseNoHoleList(options->noHole);
      runRender(options->render, std::cout);
    };
  });
}

}  // namespace drumplot::cli
