// SPDX-License-Identifier: MIT
#include "cli/render_command.h"

#include <array>
#include <cstdio>
#include <iostream>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>

#include "cli/command_registry.h"
#include "cli/json_writer.h"
#include "engine/text.h"
#include "io/file_io.h"
#include "output/film_export.h"

namespace drumplot {

namespace {

// The PNG text chunk's keyword (and the TIFF description's first word) for
// where the picture lies.
constexpr const char* kOriginKeyword = "drumplot-origin";

// Inches to the pixel at a million dpi within a thousand inches.
std::string inchNumber(double inches) {
  char text[32];
  std::snprintf(text, sizeof text, "%.10g", inches);
  return text;
}

}  // namespace

RenderWindow parseRenderWindow(std::string_view text) {
  std::array<double, 4> v{};
  size_t count = 0;
  for (std::string_view rest = text;; ++count) {
    const size_t comma = rest.find(',');
    const std::optional<double> value = parseDecimal(rest.substr(0, comma));
    if (count >= v.size() || !value) {
      throw std::invalid_argument("--window " + std::string(text) +
                                  ": expected four numbers X0,Y0,X1,Y1 (inches)");
    }
    v[count] = *value;
    if (comma == std::string_view::npos) break;
    rest.remove_prefix(comma + 1);
  }
  if (count != 3) {
    throw std::invalid_argument("--window " + std::string(text) +
                                ": expected four numbers X0,Y0,X1,Y1 (inches)");
  }
  return {v[0], v[1], v[2], v[3]};
}

void runRender(const RenderOptions& options, std::ostream& out, std::ostream& warnings, bool json) {
  refuseOverwritingInput({options.outputFile}, {options.gerberFile, options.apertureFile});
  std::vector<std::string> found;
  PictureOrigin origin;
  MonoImage image = renderLayer(options, &found, &origin);
  for (const std::string& warning : found) cli::printWarning(warning, warnings);
  const std::string x = inchNumber(origin.x), y = inchNumber(origin.y);
  const ImageMetadata metadata{options.dpi, kOriginKeyword, x + " " + y};
  if (filmFormatOfName(options.outputFile) == FilmFormat::Tiff) {
    writeTiffImage(options.outputFile, image, metadata);
  } else {
    writeImage(options.outputFile, image, metadata);
  }
  if (json) {
    out << "{" << jsonName("file", options.outputFile) << ",\"width\":" << image.width
        << ",\"height\":" << image.height << ",\"dpi\":" << jsonNumber(options.dpi)
        << ",\"origin_x\":" << x << ",\"origin_y\":" << y << ",\"exposed\":" << image.exposedCount()
        << "}\n";
    return;
  }
  out << options.outputFile << ": " << image.width << " x " << image.height << " pixels at "
      << options.dpi << " dpi, " << image.exposedCount() << " exposed, top-left corner at (" << x
      << ", " << y << ") inch\n";
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
    int memory_MB = 0;  // 0: the settings' Memory
    std::string settingsFile;
    std::string window;
    bool json = false;
  };
  auto options = std::make_shared<Options>();
  auto* cmd = app.add_subcommand(
      "render",
      "Draw one Gerber layer as a one-board job into a 1-bit PNG, PBM or TIFF (black = "
      "exposure). The image holds everything the layer draws and the margin around it, or "
      "exactly --window, +Y up as CAD viewers show a board; the file states its resolution and "
      "where its top-left corner lies. A negative layer (%IPNEG) inverts the whole picture.");
  RenderOptions& r = options->render;
  cmd->add_option("GERBER", r.gerberFile, "Gerber file (RS-274X or RS-274-D)")->required();
  cmd->add_option("-o,--output", r.outputFile,
                  "Image to write: OUT.png, OUT.pbm, or OUT.tif (Group 4, with the resolution)")
      ->required();
  cmd->add_option("--dpi", r.dpi, "Pixels per inch (default 1000)")->check(CLI::Range(1.0, 1.0e6));
  cmd->add_option("--margin", r.margin, "Margin around the data, inches (default 0.1)")
      ->check(CLI::Range(0.0, 100.0));
  cmd->add_option("--window", options->window,
                  "X0,Y0,X1,Y1: draw exactly this rectangle of the file's coordinates (inches, "
                  "+Y up), its corner snapped down to whole pixels, so that the layers of one "
                  "board drawn with the same window and --dpi overlay pixel for pixel");
  cmd->add_flag("--json", options->json,
                "Print the picture's file, size, dpi and top-left corner as one JSON object");
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
                "inches, or 4 times the plotting area), the picture has more than 2^31 pixels, "
                "or step and repeat and aperture blocks expand the file to more than 2^30 "
                "operations");
  cmd->add_option("--memory", options->memory_MB,
                  "Memory, MB (default: the settings' Memory): a quarter for the aperture stamps, "
                  "a quarter for the band being drawn; the picture itself comes on top, and "
                  "a --window's picture must fit in it")
      ->check(CLI::Range(1, 1 << 20));
  cmd->add_flag("--as-plotted", r.asPlotted,
                "Y grows downwards, as the plotter's bands draw the layer (the picture upside "
                "down against a viewer's)");
  cmd->add_option("--band-rows", r.bandRows,
                  "Draw through bands of this many rows (default: as many as a quarter of the "
                  "memory holds, in at most 4 bands); the image is the same")
      ->check(CLI::Range(int64_t{1}, int64_t{1} << 40));
  addSettingsOption(*cmd, options->settingsFile);
  cmd->callback([options, &action] {
    action = [options] {
      requireGerberFile(options->render.gerberFile, "render");
      requireExtension("-o", options->render.outputFile, {".png", ".pbm", ".tif", ".tiff"},
                       "render writes a PNG (.png), PBM (.pbm) or TIFF (.tif, .tiff) picture");
      options->render.preset = parseFormatSpec(options->format);
      JobSettings settings = readCommandSettings(options->settingsFile);
      options->render.plotWidth = settings.PlotWidth;
      options->render.plotHeight = settings.PlotHeight;
      options->render.interpreter.noHoleDCodes = parseNoHoleList(options->noHole);
      options->render.budgetBytes =
          memoryBudgetBytes(options->memory_MB > 0 ? options->memory_MB : settings.memoryMegabytes);
      if (!options->window.empty()) options->render.window = parseRenderWindow(options->window);
      runRender(options->render, std::cout, std::cerr, options->json);
    };
  });
}

}  // namespace drumplot::cli
