// SPDX-License-Identifier: MIT
// drumplot-cli check: the check before plotting, as text or as JSON.
#include <iostream>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>

#include "cli/command_registry.h"
#include "cli/export_options.h"
#include "cli/json_writer.h"
#include "engine/errors.h"
#include "engine/text.h"
#include "job/job_file.h"
#include "job/settings_file.h"
#include "output/preflight.h"

namespace drumplot::cli {

namespace {

namespace fs = std::filesystem;

struct CheckOptions {
  std::string jobFile;
  std::string settingsFile;
  int dpi = kResolutionValues[kDefaultResolutionItem];
  std::string layers;  // empty: every layer with Gerber data
  double lineWidth_mils = 0.0;
  bool techArea = false;
  int memory_MB = 0;
  double tolerance = 0.05;
  bool json = false;
  ScaleOptions scale;
};

// Layer numbers 1..18 separated by commas.
OutputLayers layerList(const std::string& text) {
  OutputLayers layers{};
  std::stringstream in(text);
  for (std::string item; std::getline(in, item, ',');) {
    std::optional<long long> n = parseInteger(trimSpaces(item));
    if (!n || *n < 1 || *n > kLayerCount) {
      throw std::invalid_argument("--layers '" + text +
                                  "': expected layer numbers 1..18 separated by commas");
    }
    layers[static_cast<size_t>(*n - 1)] = true;
  }
  return layers;
}

// drumplot-cli check - JSON
// ============================================================================

std::string boxJson(const InchBox& b) {
  return "{\"min_x\":" + jsonNumber(b.MinX) + ",\"min_y\":" + jsonNumber(b.MinY) +
         ",\"max_x\":" + jsonNumber(b.MaxX) + ",\"max_y\":" + jsonNumber(b.MaxY) + "}";
}

std::string problemJson(const CheckProblem& p) {
  std::string out = std::string("{\"severity\":\"") + severityKey(p.severity) + "\",\"kind\":\"" +
                    kindKey(p.Kind) +
                    "\",\"board\":" + (p.board ? std::to_string(*p.board + 1) : "null") +
                    ",\"layer\":" + (p.layer ? std::to_string(p.layer) : "null") +
                    ",\"file\":" + (p.file.empty() ? "null" : jsonString(p.file)) +
                    ",\"message\":" + jsonString(p.message);
  switch (p.Kind) {
    case CheckKind::UndefinedDCode:
      out += ",\"d_code\":" + std::to_string(p.dCode) + ",\"count\":" + std::to_string(p.Count) +
             ",\"line\":" + std::to_string(p.firstLine);
      break;
    case CheckKind::PenWidened:
      out += ",\"d_code\":" + std::to_string(p.dCode) + ",\"count\":" + std::to_string(p.Count) +
             ",\"pen_px\":" + jsonNumber(p.pen_px) +
             ",\"drawn_px\":" + std::to_string(p.drawnWidth_px);
      break;
    case CheckKind::BoardOverlap:
      out += ",\"other_board\":" + std::to_string(*p.otherBoard + 1);
      [[fallthrough]];
    case CheckKind::OutsidePlotArea:
    case CheckKind::LayerMisaligned:
      out += ",\"box\":" + boxJson(p.box) + ",\"off_in\":" + jsonNumber(p.off);
      break;
    default:
      break;
  }
  return out + "}";
}

void printJson(const Job& job, const CheckOptions& o, const PreflightReport& r, std::ostream& out) {
  out << "{\"job\":" << jsonString(job.JobName) << ",\"dpi\":" << o.dpi << ",\"layers\":[";
  for (size_t i = 0; i < r.layers.size(); ++i) out << (i ? "," : "") << r.layers[i];
  out << "],\"tolerance_in\":" << jsonNumber(o.tolerance)
      << ",\"line_width_mils\":" << jsonNumber(o.lineWidth_mils) << ",\"errors\":" << r.errors()
      << ",\"warnings\":" << r.warnings() << ",\"problems\":[";
  for (size_t i = 0; i < r.problems.size(); ++i)
    out << (i ? "," : "") << problemJson(r.problems[i]);
  out << "],\"film\":";
  if (const std::optional<FilmEstimate>& f = r.film) {
    out << "{\"width_px\":" << f->width_px << ",\"height_px\":" << f->height_px
        << ",\"dpi\":" << f->dpi << ",\"file_bytes\":" << f->fileBytes
        << ",\"memory_bytes\":" << f->memoryBytes << ",\"bands\":" << f->bands
        << ",\"rows_per_band\":" << f->rowsPerBand << ",\"seconds\":" << jsonNumber(f->seconds);
    if (!f->scale.nominal()) {
      out << ",\"scale_x_ppm\":" << jsonNumber(f->scale.xPpm)
          << ",\"scale_y_ppm\":" << jsonNumber(f->scale.yPpm);
    }
    out << "}";
  } else {
    out << "null";
  }
  out << "}\n";
}

}  // namespace

void addCheckCommand(CLI::App& app, Action& action) {
  auto o = std::make_shared<CheckOptions>();
  auto* cmd = app.add_subcommand(
      "check",
      "Check a job before plotting: undefined D codes, strokes the pen rule widens at this "
      "resolution (per aperture), boards that overlap or leave the plotting area, layers whose "
      "extents stick out of their board's master data, reading warnings, and the film's size, "
      "file size, memory and time. Exit status 1 when it finds an error (undefined D codes, "
      "unreadable files, drill files on a layer, boards beyond the plotting area, a film that "
      "cannot be made)");
  cmd->add_option("JOB", o->jobFile, "Job file (.wpr)")->required();
  cmd->add_option("--dpi", o->dpi, "Resolution of the export (default 2032)")
      ->check(WholeNumberValidator("a resolution is dots per inch, such as 2032"))
      ->check(CLI::Range(kOtherResolutionMin, kMaxPlotterDpi));
  cmd->add_option("--layers", o->layers,
                  "Layers to check, 1,2,... (default: every layer with Gerber data on some board)");
  cmd->add_option("--line-width", o->lineWidth_mils,
                  "Line width +/- in mils, as the export will add it to every pen");
  cmd->add_flag("--tech-area", o->techArea, "The export will use the tech area");
  cmd->add_option("--memory", o->memory_MB,
                  "Memory for the band buffers in MB (default: Memory from the settings)")
      ->check(CLI::Range(1, 65536));
  cmd->add_option(
         "--tolerance", o->tolerance,
         "Inches a layer's extents may stick out of its board's master data (default 0.05)")
      ->check(CLI::Range(0.0, 100.0));
  cmd->add_flag("--json", o->json, "Print the report as one JSON object (see the README)");
  addScaleOptions(*cmd, o->scale,
                  "Film scale X,Y as factors, as the export will make it: the boards' reach "
                  "scaled is judged against the plotting area (default: [Film] ScaleXppm, "
                  "ScaleYppm of the settings)");
  addSettingsOption(*cmd, o->settingsFile);
  cmd->callback([o, &action] {
    action = [o] {
      requireJobFile(o->jobFile, "check");
      Job job;
      job.settings =
          readSettings(o->settingsFile.empty() ? settingsFilePath() : fs::path(o->settingsFile));
      try {
        openJob(job, o->jobFile);
      } catch (const std::exception& e) {
        if (o->json) std::cout << jsonJobError(e, o->jobFile) << std::flush;
        throw;
      }
      PreflightSettings s;
      s.exportSettings.dpi = o->dpi;
      s.exportSettings.scale = filmScaleOf(o->scale, job.settings);
      s.exportSettings.draw.layers =
          o->layers.empty() ? layersWithGerber(job) : layerList(o->layers);
      s.exportSettings.draw.lineWidth_mils = o->lineWidth_mils;
      s.exportSettings.draw.techArea = o->techArea;
      s.exportSettings.run.budgetBytes =
          memoryBudgetBytes(o->memory_MB > 0 ? o->memory_MB : job.settings.memoryMegabytes);
      s.tolerance = o->tolerance;
      const PreflightReport report = checkJob(job, s);
      if (o->json) {
        printJson(job, *o, report, std::cout);
      } else {
        std::cout << "Check of " << job.JobName << " at " << o->dpi << " dpi\n"
                  << reportText(job, report);
      }
      std::cout.flush();
      if (report.errors() > 0) {
        throw FormatError(o->jobFile + ": the check found " + std::to_string(report.errors()) +
                          (report.errors() == 1 ? " error" : " errors"));
      }
    };
  });
}

}  // namespace drumplot::cli
