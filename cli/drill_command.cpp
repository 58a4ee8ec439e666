// SPDX-License-Identifier: MIT
// drumplot-cli drill: panelizes one board's Excellon drill file over a job.
#include <iostream>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "cli/command_registry.h"
#include "cli/export_options.h"
#include "drill/drill_overview.h"
#include "drill/drill_panel.h"
#include "io/file_io.h"
#include "job/board_import.h"
#include "job/job_file.h"
#include "job/settings_file.h"

namespace drumplot::cli {

namespace {

// drumplot-cli drill - Mark tools
// ============================================================================

// "NAME=LINE" sets the tool line of the mark drill row named NAME.
void assignMarkTool(MarkDrillTable& table, const std::vector<std::string>& markNames,
                    const std::string& assignment) {
  size_t equals = assignment.find('=');
  if (equals == std::string::npos) {
    throw std::invalid_argument("--mark-tool '" + assignment + "': expected NAME=LINE");
  }
  std::string name = assignment.substr(0, equals);
  std::string tool = assignment.substr(equals + 1);
  if (tool.size() > kMaxMarkChars) {
    throw std::invalid_argument("--mark-tool '" + assignment +
                                "': a tool line holds at most 64 characters");
  }
  for (MarkDrill& row : table) {
    if (row.MarkDrillName == name && name != kNoMarkDrillName) {
      row.MarkDrillTool = tool;
      return;
    }
  }
  std::string known;
  for (const std::string& n : markNames) known += (known.empty() ? "" : ", ") + n;
  throw std::invalid_argument("--mark-tool '" + assignment + "': no mark board is named '" + name +
                              "' (mark names: " + (known.empty() ? "none" : known) + ")");
}

}  // namespace

// drumplot-cli drill
// ============================================================================

void addDrillCommand(CLI::App& app, Action& action) {
  struct Options {
    std::string jobFile;
    std::string input;
    std::string output;
    std::pair<double, double> offset{0.0, 0.0};
    std::string unit = "inch";
    std::string format;
    std::vector<std::string> markTools;
    std::string overview;
    std::string settingsFile;
    ScaleOptions scale;
  };
  auto o = std::make_shared<Options>();
  auto* cmd = app.add_subcommand(
      "drill",
      "Panelize drill: repeat one board's Excellon file (hits, G85 slots and routes) for every "
      "board of the job, shifted by the board's position and the offset, and add one hit per "
      "mark board");
  cmd->add_option("JOB", o->jobFile, "Job file (.wpr)")->required();
  cmd->add_option("--in", o->input,
                  "Drill file of one board (.drl); default: the drill file a board imported with "
                  "job add-board remembers");
  cmd->add_option("--out", o->output, "Panelized drill file to write (replaced)")->required();
  cmd->add_option("--offset", o->offset,
                  "Offset Gerber data from Drill data DX,DY, added to every board hit "
                  "(default 0,0)")
      ->delimiter(',');
  cmd->add_option("--unit", o->unit, "Unit of --offset: mm or inch (default inch)")
      ->check(CLI::IsMember({"mm", "inch"}));
  cmd->add_option("--format", o->format,
                  "Data format I.D[,leading|trailing|none][,abs|inc][,inch|mm]. Reading: only for "
                  "what the drill file does not state itself (a file without a header); the "
                  "file's own INCH/METRIC, LZ/TZ, ;FILE_FORMAT and decimal points win, and the "
                  "command says so when they differ. Writing: the panel is written in it (the "
                  "input's own unit and format without it)")
      ->check(FormatSpecValidator());
  cmd->add_option("--mark-tool", o->markTools,
                  "NAME=LINE: the line written before the hits of the marks named NAME "
                  "(default T01F095S3); may be repeated");
  cmd->add_option("--overview", o->overview,
                  "Write the overview PNG: board outlines and a cross at every hit, 180 dpi");
  addSettingsOption(*cmd, o->settingsFile);
  addScaleOptions(*cmd, o->scale,
                  "Scale the drill positions by factors X,Y as a film of that scale is, about the "
                  "plotting area's corner, the offset unscaled (default: not scaled, drills are "
                  "mechanical)");
  cmd->callback([o, &action] {
    action = [o] {
      requireJobFile(o->jobFile, "drill");
      if (!o->overview.empty()) {
        requireExtension("--overview", o->overview, {".png"},
                         "the overview is a PNG (.png) picture");
        refuseSameFile({o->output, o->overview});
      }
      Job job;
      job.settings = readCommandSettings(o->settingsFile);
      openJob(job, o->jobFile);
      DrillPanelSettings settings;
      if (!o->format.empty()) {
        settings.dataFormat = parseFormatSpec(o->format);
        settings.outputFormat = settings.dataFormat;
      }
      settings.inputFile = o->input.empty() ? offeredDrillFile(job) : o->input;
      if (settings.inputFile.empty()) {
        throw std::invalid_argument("--in: no board of " + o->jobFile + " remembers a drill file");
      }
      if (!o->overview.empty()) {
        std::vector<std::filesystem::path> inputs = job.inputFiles();
        inputs.emplace_back(settings.inputFile);
        refuseOverwritingInput({o->overview}, inputs);
      }
      settings.outputFile = o->output;
      settings.DrillOffsetX = drillOffsetInches(o->offset.first, o->unit);
      settings.DrillOffsetY = drillOffsetInches(o->offset.second, o->unit);
      settings.scale = scaleOption(o->scale).value_or(FilmScale{});
      const std::vector<std::string> markNames = gatherMarkNames(job.boards);
      settings.markDrills = makeMarkDrillTable(markNames);
      for (const std::string& assignment : o->markTools) {
        assignMarkTool(settings.markDrills, markNames, assignment);
      }

      DrillPanelResult result = panelizeDrillFile(job, settings);
      if (!result.formatNote.empty()) std::cout << result.formatNote << "\n";
      for (const std::string& warning : result.warnings) printWarning(warning);
      if (result.status != DrillPanelStatus::Written) {
        throw std::runtime_error(toString(result.status));
      }
      const DrillPanel& panel = result.panel;
      auto n = [](size_t count, const char* noun) {
        return counted(static_cast<long long>(count), noun);
      };
      std::cout << o->output << ": " << n(panel.lineCount, "line") << ", "
                << n(panel.boardHits, "board hit") << ", " << n(panel.slotCount, "slot") << ", "
                << n(panel.routeCount, "route") << ", " << n(panel.markHits, "mark hit")
                << ", written in " << describe(panel.format)
                << (settings.scale.nominal() ? "" : ", scaled " + filmScaleText(settings.scale))
                << "\n";
      if (!o->overview.empty()) {
        MonoImage image = drillOverview(job.boards, panel.crosses, panel.paths);
        writePng(o->overview, image);
        std::cout << o->overview << ": " << image.width << " x " << image.height
                  << " pixels at 180 dpi"
                  << (panel.arcsAsChords ? " (arcs past its first 2,000,000 points drawn as chords)"
                                         : "")
                  << "\n";
      }
    };
  });
}

}  // namespace drumplot::cli
