// SPDX-License-Identifier: MIT
#include "cli/render_command.h"

#include <iostream>
#include <memory>

#include "cli/command_registry.h"
#include "io/file_io.h"
#include "output/film_export.h"

namespace drumplot {

void runRender(const RenderOptions& options, std::ostream& out, std::ostream& warnings) {
  refuseOverwritingInput({options.outputFile}, {options.gerberFile, options.apertureFile});
  std::vector<std::string> found;
  MonoImage image = renderLayer(options, &found);
  for (const std::string& warning : found) cli::printWarning(warning, warnings);
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
    int memory_MB = 0;  // 0: the settings' Memory
    std::string settingsFile;
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
                "inches, or 4 times the plotting area), the picture has more than 2^31 pixels, "
                "or step and repeat and aperture blocks expand the file to more than 2^30 "
                "operations");
  cmd->add_option("--memory", options->memory_MB,
                  "Memory for the aperture stamps, MB (default: the settings' Memory); the "
                  "picture itself comes on top")
      ->check(CLI::Range(1, 1 << 20));
  cmd->add_flag("--as-plotted", r.asPlotted,
                "Y grows downwards, as the plotter's bands draw the layer (the picture upside "
                "down against a viewer's)");
  cmd->add_option("--band-rows", r.bandRows,
                  "Draw through bands of this many rows (default: one band); the image is the same")
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
      runRender(options->render, std::cout);
    };
  });
}

}  // namespace drumplot::cli
