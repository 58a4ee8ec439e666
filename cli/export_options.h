// SPDX-License-Identifier: MIT
// The options of drumplot-cli export, shared with verify, which draws the
// job as export would and compares it with a film.
#pragma once

#include <CLI/CLI.hpp>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "cli/command_registry.h"
#include "engine/progress.h"
#include "job/job.h"
#include "job/job_settings.h"
#include "output/film_export.h"

namespace drumplot::cli {

// What export and bmp take.
struct OutputOptions {
  std::string jobFile;
  std::string outputFile;
  std::string layers = "all";
  bool techArea = false;
  double lineWidth_mils = 0.0;
  int holes_mils = 0;
  std::string noHole = "300,500,700";
  int memory_MB = 0;  // 0: the settings' Memory
  unsigned threads = 0;
  std::string settingsFile;
  std::string overview;
  bool reference = false;
  bool negative = false;
  bool force = false;
  bool verbose = false;
};

// --scale X,Y (factors) or --scale-ppm X,Y (parts per million): export,
// verify, check and drill.
struct ScaleOptions {
  std::string factors;
  std::string ppm;
};

// The two options, each excluding the other; `scaleHelp` describes --scale.
void addScaleOptions(CLI::App& cmd, ScaleOptions& o, const std::string& scaleHelp);

// The scale the options give, none when neither is given. A value that is
// no pair of numbers, or one beyond kMaxFilmScalePpm (a typo), is refused
// (std::invalid_argument) with the figure and the bound.
std::optional<FilmScale> scaleOption(const ScaleOptions& o);

// A film's scale: the option's, else the settings' [Film] keys; keys that
// cannot be read are refused (FormatError naming the file, key and value).
FilmScale filmScaleOf(const ScaleOptions& o, const JobSettings& settings);

// What export takes besides.
struct ExportOptions : OutputOptions {
  int dpi = kResolutionValues[kDefaultResolutionItem];
  bool mirror = false;
  std::string notes;
  double horizontal_mils = 0.0;
  std::string format;
  std::string compression = "g4";
  bool splitLayers = false;
  ScaleOptions scale;
};

// JOB, -o and every option of export.
void addExportOptions(CLI::App& cmd, ExportOptions& o);

// The job of `o` with the settings of its --settings; `command` names the
// command in what it says.
Job openJobWithSettings(const OutputOptions& o, const char* command);

// The films' settings from the options (the format from --format, else
// the output's extension); refuses (std::invalid_argument) an option the
// format does not take.
FilmSettings exportFilmSettings(const CLI::App& cmd, const ExportOptions& o, const Job& job);

// The check runs before anything is drawn: its errors stop the export
// (o.force: it goes on), its warnings are said. What reading a file says and
// a film that cannot be planned are for the export itself to say. With
// `warnings` the warnings go there instead of stderr.
void checkBeforeExport(const Job& job, const OutputOptions& o, const PlotterExportSettings& s,
                       std::vector<std::string>* warnings = nullptr);

// A signal cancels the running output (no file is left, the older file
// stays) instead of killing the program half way; a progress bar is shown
// on a terminal.
class ProgressDisplay {
 public:
  explicit ProgressDisplay(Progress& progress);
  ~ProgressDisplay();
  ProgressDisplay(const ProgressDisplay&) = delete;
  ProgressDisplay& operator=(const ProgressDisplay&) = delete;

 private:
  void show(const Progress& p);

  Progress& progress_;
  void (*previous_[3])(int) = {};  // of SIGINT, SIGTERM and SIGHUP
  std::string shown_;
};

// fpf diff, beside fpf decode.
void addFpfDiff(CLI::App& fpf, Action& action);

}  // namespace drumplot::cli
