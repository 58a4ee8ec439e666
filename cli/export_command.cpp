// SPDX-License-Identifier: MIT
// drumplot-cli export, bmp and fpf: the plotter file and the job bitmap of a
// job, and a look into plotter files (header fields, decoded images).
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>
#include <variant>
#include <vector>

#include "cli/command_registry.h"
#include "cli/export_options.h"
#include "cli/json_writer.h"
#include "engine/errors.h"
#include "engine/text.h"
#include "io/file_io.h"
#include "job/job_file.h"
#include "job/settings_file.h"
#include "output/film_export.h"
#include "output/fpf_file.h"
#include "output/fpf_reader.h"
#include "output/job_bitmap.h"
#include "output/plotter_export.h"
#include "output/preflight.h"
#include "output/prepared_job.h"
#include "output/tiff_film.h"
#include "output/workers.h"

namespace drumplot::cli {

namespace {

namespace fs = std::filesystem;

// drumplot-cli export - Shared options
// ============================================================================

// "all", or layer numbers 1..18 separated by commas.
OutputLayers parseLayers(const std::string& text) {
  OutputLayers layers{};
  if (text == "all") return DrawSettings::allLayers();
  std::stringstream in(text);
  std::string item;
  bool any = false;
  while (std::getline(in, item, ',')) {
    const size_t first = item.find_first_not_of(' '), last = item.find_last_not_of(' ');
    std::optional<long long> n = first == std::string::npos
                                     ? std::nullopt
                                     : parseInteger(item.substr(first, last - first + 1));
    if (!n || *n < 1 || *n > kLayerCount) {
      throw std::invalid_argument("--layers '" + text + "': expected 'all' or layer numbers 1.." +
                                  std::to_string(kLayerCount) + " separated by commas");
    }
    layers[static_cast<size_t>(*n - 1)] = true;
    any = true;
  }
  if (!any) throw std::invalid_argument("--layers: no layer given");
  return layers;
}

void addOutputOptions(CLI::App& cmd, OutputOptions& o) {
  cmd.add_option("JOB", o.jobFile, "Job file (.wpr)")->required();
  cmd.add_option("-o,--output", o.outputFile, "File to write (replaced only when complete)")
      ->required();
  cmd.add_option("--layers", o.layers, "Layers to output: 1,2,... or all (default all)");
  cmd.add_flag("--tech-area", o.techArea,
               "Draw the tech area frame from the settings and move the boards inside it");
  cmd.add_option("--line-width", o.lineWidth_mils,
                 "Line width +/- in mils, added to every pen (may be negative)");
  cmd.add_option("--holes", o.holes_mils, "Hole size in pads, mils (default 0: no holes)")
      ->check(CLI::Range(0, 100000));
  cmd.add_option("--no-hole", o.noHole,
                 "D codes without hole, comma-separated: 10..9999, at most 100 (default "
                 "300,500,700)");
  cmd.add_option("--memory", o.memory_MB,
                 "Memory for the band buffers in MB (default: Memory from the settings)")
      ->check(CLI::Range(1, 65536));
  cmd.add_option("--threads", o.threads, "Worker threads (default: one per processor)")
      ->check(CLI::Range(0u, 1024u));
  addSettingsOption(cmd, o.settingsFile);
  cmd.add_option("--overview", o.overview, "Also write the 400 x 400 overview (PNG or PBM)");
  cmd.add_flag("--negative", o.negative,
               "Negative film: exposed where the boards are clear, clear where they are drawn, "
               "over the whole film");
  cmd.add_flag("--reference", o.reference,
               "The literal way: one thread, every band reads every layer anew (slow; the "
               "same bytes)");
  cmd.add_flag("--verbose", o.verbose,
               "Also print the engine's figures: bands, pieces, primitives, display lists, "
               "covered draws, decoded files, peak memory and budget");
  cmd.add_flag("--force", o.force,
               "Draw a layer file all the same when step and repeat and aperture blocks expand "
               "it to more than 2^30 operations (it takes long; progress and Ctrl-C as ever)");
}

}  // namespace

Job openJobWithSettings(const OutputOptions& o, const char* command) {
  requireJobFile(o.jobFile, command);
  if (!o.overview.empty())
    requireExtension("--overview", o.overview, {".png", ".pbm"},
                     "the overview is a PNG (.png) or PBM (.pbm) picture");
  Job job;
  job.settings = readCommandSettings(o.settingsFile);
  if (size_t partial = openJob(job, o.jobFile).partialBytes) {
    printWarning(o.jobFile + ": " + partialRecordText(partial));
  }
  return job;
}

namespace {

// A second output (--overview) after the main one was written: when it
// fails, the error says which file was written all the same.
void writeSecondImage(const std::string& file, const MonoImage& image, const std::string& written) {
  try {
    writeImage(file, image);
  } catch (const std::exception& e) {
    throw IoError(std::string(e.what()) + " (" + written + " was written; " + file + " was not)");
  }
  std::printf("  overview: %s\n", file.c_str());
}

// The layers to draw: `all` is every layer with a Gerber file on some board
// (drill files are the drill command's). A layer named that a board lacks is
// a note; a layer named that no board but the marks holds is an error.
OutputLayers askedLayers(const OutputOptions& o, const Job& job) {
  if (o.layers == "all") return layersWithGerber(job);
  const OutputLayers layers = parseLayers(o.layers);
  for (int n = 1; n <= kLayerCount; ++n) {
    if (!layers[static_cast<size_t>(n - 1)]) continue;
    const std::string layer = "layer " + std::to_string(n) + " (" +
                              job.settings.LayerNames[static_cast<size_t>(n - 1)] + ")";
    std::vector<size_t> lacking;
    size_t boards = 0;
    for (size_t i = 0; i < job.boards.size(); ++i) {
      if (job.boards[i].IsMark) continue;
      ++boards;
      if (job.boards[i].LayerGerber[static_cast<size_t>(n - 1)].empty()) lacking.push_back(i);
    }
    if (lacking.size() == boards) {
      throw FormatError(o.jobFile + ": --layers " + o.layers + ": no board has a file on " + layer +
                        "; nothing written");
    }
    for (size_t i : lacking)
      printNote("board " + std::to_string(i + 1) + " has no Gerber file on " + layer);
  }
  return layers;
}

}  // namespace

void checkBeforeExport(const Job& job, const OutputOptions& o, const PlotterExportSettings& s,
                       std::vector<std::string>* warnings) {
  PreflightSettings check;
  check.exportSettings = s;
  const PreflightReport report = checkJob(job, check);
  size_t errors = 0;
  std::string errorLines;
  for (const CheckProblem& p : report.problems) {
    if (p.Kind == CheckKind::ReadWarning || p.Kind == CheckKind::FilmImpossible) continue;
    const std::string text = (p.board && !p.message.starts_with("Board ")
                                  ? "board " + std::to_string(*p.board + 1) + ": "
                                  : std::string()) +
                             (p.layer ? "layer " + std::to_string(p.layer) + ": " : std::string()) +
                             p.message;
    if (p.severity == CheckSeverity::Error) {
      ++errors;
      errorLines += "\n  " + text;
    } else if (warnings) {
      warnings->push_back("check: " + text);
    } else {
      printWarning("check: " + text);
    }
  }
  if (errors == 0) return;
  const std::string found =
      "the check found " + std::to_string(errors) + (errors == 1 ? " error" : " errors");
  if (!o.force) {
    throw FormatError(o.jobFile + ": " + found +
                      "; nothing written (--force exports all the same):" + errorLines);
  }
  printWarning(o.jobFile + ": " + found + "; exported all the same (--force):" + errorLines);
}

namespace {

void fillSettings(const OutputOptions& o, const Job& job, DrawSettings& draw, RunSettings& run) {
  draw.layers = askedLayers(o, job);
  draw.techArea = o.techArea;
  draw.lineWidth_mils = o.lineWidth_mils;
  draw.holeDiameter_mils = o.holes_mils;
  draw.noHoleDCodes = o.noHole;
  run.budgetBytes = memoryBudgetBytes(o.memory_MB > 0 ? o.memory_MB : job.settings.memoryMegabytes);
  run.threads = o.threads;
  run.reference = o.reference;
  if (o.force) run.maxOperations = UINT64_MAX;
}

// The overview written beside a film: --overview, with the film's layer
// added as to the film's name when there is one film per layer.
std::filesystem::path overviewName(const std::string& overview, const Job& job, int layer) {
  if (layer == 0) return overview;
  return layerFilmName(overview, layer, filmLayerName(job, layer));
}

// drumplot-cli export - Progress and cancel
// ============================================================================

std::atomic<bool>* interruptFlag = nullptr;

// Ctrl-C (SIGINT), SIGTERM (timeout, systemd) and SIGHUP (a closing
// terminal) cancel the running output. A second signal, when the first one
// did not end it, ends the program as the signal would.
constexpr int kCancelSignals[] = {SIGINT, SIGTERM, SIGHUP};

extern "C" void onInterrupt(int signal) {
  if (interruptFlag && !interruptFlag->exchange(true)) return;
  std::signal(signal, SIG_DFL);
  std::raise(signal);
}

}  // namespace

ProgressDisplay::ProgressDisplay(Progress& progress) : progress_(progress) {
  interruptFlag = &progress.cancelled;
  for (size_t i = 0; i < std::size(kCancelSignals); ++i) {
    previous_[i] = std::signal(kCancelSignals[i], onInterrupt);
  }
  if (::isatty(STDERR_FILENO)) progress.onChange = [this](const Progress& p) { show(p); };
}

ProgressDisplay::~ProgressDisplay() {
  progress_.onChange = nullptr;
  for (size_t i = 0; i < std::size(kCancelSignals); ++i)
    std::signal(kCancelSignals[i], previous_[i]);
  interruptFlag = nullptr;
  if (!shown_.empty()) std::cerr << "\n";
}

void ProgressDisplay::show(const Progress& p) {
  char line[128];
  const double fraction = p.fraction;
  if (p.phase == Progress::Phase::Reading) {
    std::snprintf(line, sizeof line, "Reading layer %lld/%lld", static_cast<long long>(p.step),
                  static_cast<long long>(p.steps));
  } else {
    std::string bar(30, ' ');
    for (size_t i = 0; i < static_cast<size_t>(fraction * 30.0) && i < bar.size(); ++i)
      bar[i] = '#';
    std::snprintf(line, sizeof line, "Band %lld/%lld [%s] %6.2f %%", static_cast<long long>(p.step),
                  static_cast<long long>(p.steps), bar.c_str(), fraction * 100.0);
  }
  if (shown_ == line) return;
  shown_ = line;
  std::cerr << "\r" << shown_ << "\x1b[K" << std::flush;
}

namespace {

std::string megabytes(uint64_t bytes) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f MB", static_cast<double>(bytes) / 1048576.0);
  return text;
}

// "3 bands of 6592 rows", "1 band of 800 rows".
std::string bandsText(const BandGeometry& g) {
  const int64_t rows = std::min(g.rowsPerBand, g.height_px);
  return std::to_string(g.bandCount) + (g.bandCount == 1 ? " band of " : " bands of ") +
         std::to_string(rows) + " rows";
}

uint64_t peakResidentBytes() {
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  return static_cast<uint64_t>(usage.ru_maxrss) * 1024;  // kilobytes on Linux
}

// The engine's figures (--verbose), then what the operator must know always.
void printRunLine(const RasterStats& r, double seconds, uint64_t budget, bool reference,
                  bool verbose) {
  const std::string groups =
      r.groups > 1 ? ", recorded in " + std::to_string(r.groups) + " groups of pieces" : "";
  if (verbose) {
    std::printf(
        "  %s, %u thread%s, %s, %llu primitives (%s of display lists%s, %llu "
        "covered draws left out, %llu tiles copied, %s of decoded files); time %.3f s, peak "
        "memory %s, budget %s\n",
        reference ? "literal way" : "fast way", r.threads, r.threads == 1 ? "" : "s",
        counted(r.pieces, "piece").c_str(), static_cast<unsigned long long>(r.primitives),
        megabytes(r.displayListBytes).c_str(), groups.c_str(),
        static_cast<unsigned long long>(r.drawsLeftOut),
        static_cast<unsigned long long>(r.tilesCopied), megabytes(r.decodedBytes).c_str(), seconds,
        megabytes(peakResidentBytes()).c_str(), megabytes(budget).c_str());
  }
  std::fflush(stdout);  // the summary line before what follows it on stderr
  for (const std::string& w : r.warnings) printWarning(w);
  if (r.overBudgetBytes > 0) {
    printWarning("what one piece of the film draws needs " + megabytes(r.overBudgetBytes) +
                 " of recordings, more than the memory setting leaves for them: those pieces "
                 "were drawn straight from the files (slower); a higher memory setting records "
                 "them");
  }
}

// drumplot-cli export
// ============================================================================

// What the operator reads: the film's size, resolution, file and time.
void printFilmForOperator(const std::string& file, const char* kind, int64_t width_px,
                          int64_t height_px, int dpi, uint64_t bytes, double seconds,
                          const std::string& more) {
  const double width = static_cast<double>(width_px) / dpi,
               height = static_cast<double>(height_px) / dpi;
  const std::string size =
      bytes < 1048576 ? std::to_string((bytes + 1023) / 1024) + " KB" : megabytes(bytes);
  std::printf("%s: %s, %.3f x %.3f inch (%.1f x %.1f mm) at %d dpi%s, %s, written in %.2f s\n",
              file.c_str(), kind, width, height, width * 25.4, height * 25.4, dpi, more.c_str(),
              size.c_str(), seconds);
}

// A film's summary: the operator's line, and with --verbose as its format has it.
void printFilm(const FilmSummary& film, bool mirror, bool negative, const FilmScale& scale,
               double seconds, bool verbose) {
  const std::string name = film.file.string();
  const std::string look = std::string(mirror ? ", mirrored" : "") +
                           (negative ? ", negative" : "") +
                           (scale.nominal() ? "" : ", scaled " + filmScaleText(scale));
  if (const auto* r = std::get_if<JobBitmapSummary>(&film.output)) {
    printFilmForOperator(name, "job bitmap", r->plan.width_px, r->plan.height_px, 8192,
                         r->plan.fileBytes, seconds, negative ? ", negative" : "");
  } else if (const auto* t = std::get_if<TiffFilmSummary>(&film.output)) {
    const PlotterExportSummary& f = t->exported;
    printFilmForOperator(name, "TIFF film", f.plan.width_px, f.plan.height_px, f.plan.dpi,
                         f.fileBytes, seconds, look);
  } else {
    const auto& f = std::get<PlotterExportSummary>(film.output);
    printFilmForOperator(name, "plotter file", f.plan.width_px, f.plan.height_px, f.plan.dpi,
                         f.fileBytes, seconds, look);
  }
  if (!verbose) return;
  if (const auto* r = std::get_if<JobBitmapSummary>(&film.output)) {
    const JobBitmapPlan& p = r->plan;
    std::printf("%s%s\n", kJobBitmapMessage, name.c_str());
    std::printf("  %lld x %lld pixels at 8192 dpi, %s, %llu bytes\n",
                static_cast<long long>(p.width_px), static_cast<long long>(p.height_px),
                bandsText(p.bands).c_str(), static_cast<unsigned long long>(p.fileBytes));
    return;
  }
  if (const auto* r = std::get_if<TiffFilmSummary>(&film.output)) {
    const PlotterExportPlan& p = r->exported.plan;
    std::printf(
        "%s: %s, %lld x %lld pixels at %d dpi, %s (mirror %s), strips of %lld rows, "
        "%llu bytes\n",
        name.c_str(), r->bigTiff ? "BigTIFF" : "TIFF", static_cast<long long>(p.width_px),
        static_cast<long long>(p.height_px), p.dpi, bandsText(p.bands).c_str(),
        mirror ? "on" : "off", static_cast<long long>(r->stripRows),
        static_cast<unsigned long long>(r->exported.fileBytes));
    return;
  }
  const auto& r = std::get<PlotterExportSummary>(film.output);
  const PlotterExportPlan& p = r.plan;
  std::printf(
      "%s: %s, %lld x %lld pixels at %d dpi, %s (mirror %s), preview %lld x %lld, %llu "
      "bytes\n",
      name.c_str(), p.large ? "QK2" : "QKS", static_cast<long long>(p.width_px),
      static_cast<long long>(p.height_px), p.dpi, bandsText(p.bands).c_str(), mirror ? "on" : "off",
      static_cast<long long>(p.preview.width_px), static_cast<long long>(p.preview.height_px),
      static_cast<unsigned long long>(r.fileBytes));
}

// The film format: --format, else the output's extension, else the plotter
// file. Options that the format does not take are refused, not ignored.
FilmFormat chooseFormat(const CLI::App& cmd, const std::string& format, const std::string& output,
                        int dpi) {
  if (format.empty()) {
    requireExtension("-o", output, {".fpf", ".tif", ".tiff", ".bmp"},
                     "export writes a plotter file (.fpf), a TIFF film (.tif or .tiff) or the "
                     "job bitmap (.bmp) after the name's extension; with another name, say which "
                     "with --format fpf|tiff|bmp");
  }
  FilmFormat f = format == "tiff"  ? FilmFormat::Tiff
                 : format == "bmp" ? FilmFormat::Bmp
                 : format == "fpf" ? FilmFormat::Fpf
                                   : filmFormatOfName(output).value_or(FilmFormat::Fpf);
  std::vector<std::string> refused;
  if (f == FilmFormat::Bmp) {
    refused = {"--dpi", "--mirror", "--notes", "--horizontal-line", "--scale", "--scale-ppm"};
  }
  if (f != FilmFormat::Tiff) refused.push_back("--compression");
  for (const std::string& option : refused) {
    if (cmd.count(option) > 0) {
      throw std::invalid_argument(
          option + " does not apply to " +
          (f == FilmFormat::Bmp ? "the job bitmap (8192 dpi, rows as drawn)" : "a plotter file"));
    }
  }
  if (f != FilmFormat::Bmp && std::find(kResolutionValues.begin(), kResolutionValues.end(), dpi) ==
                                  kResolutionValues.end()) {
    printNote(std::to_string(dpi) +
              " dpi is none of the export dialog's resolutions (1016, 1625, 2032, 4064, 8128, "
              "16256, 25400, 32512, 40640, 65024): the film is made at " +
              std::to_string(dpi) + " dpi as asked");
  }
  return f;
}

constexpr const char* kFilmScaleHelp =
    "Film scale X,Y as factors, about the film's origin corner: every board, mark and the tech "
    "area, the image growing with them; 1.0005,1 plots 0.05 % wider for film that shrinks "
    "(default: [Film] ScaleXppm, ScaleYppm of the settings)";

// "1.0005,1" or "500,0": two numbers.
std::pair<double, double> numberPair(const std::string& option, const std::string& text) {
  const size_t comma = text.find(',');
  const std::optional<double> x = parseDecimal(std::string_view(text).substr(0, comma));
  const std::optional<double> y = comma == std::string::npos
                                      ? std::nullopt
                                      : parseDecimal(std::string_view(text).substr(comma + 1));
  if (!x || !y) {
    throw std::invalid_argument(option + " '" + text + "': expected two numbers X,Y");
  }
  return {*x, *y};
}

}  // namespace

void addScaleOptions(CLI::App& cmd, ScaleOptions& o, const std::string& scaleHelp) {
  auto* factors = cmd.add_option("--scale", o.factors, scaleHelp);
  auto* ppm = cmd.add_option("--scale-ppm", o.ppm,
                             "The same in parts per million, -5000 to 5000: 500,0 is 1.0005,1");
  factors->excludes(ppm);
  ppm->excludes(factors);
}

std::optional<FilmScale> scaleOption(const ScaleOptions& o) {
  const bool byFactor = !o.factors.empty();
  if (!byFactor && o.ppm.empty()) return std::nullopt;
  const std::string option = byFactor ? "--scale" : "--scale-ppm";
  auto [x, y] = numberPair(option, byFactor ? o.factors : o.ppm);
  if (byFactor) x = filmScalePpmOfFactor(x), y = filmScalePpmOfFactor(y);
  for (double ppm : {x, y}) {
    if (std::fabs(ppm) > kMaxFilmScalePpm) {
      throw std::invalid_argument(option + " '" + (byFactor ? o.factors : o.ppm) +
                                  "': " + formatFilmScalePpm(ppm) + " ppm is beyond the bound of " +
                                  formatFilmScalePpm(kMaxFilmScalePpm).substr(1) +
                                  " ppm (a factor from 0.995 to 1.005): a typo?");
    }
  }
  return FilmScale{x, y};
}

FilmScale filmScaleOf(const ScaleOptions& o, const JobSettings& settings) {
  if (std::optional<FilmScale> asked = scaleOption(o)) return *asked;
  if (!settings.filmScaleError.empty()) {
    throw FormatError(settings.filmScaleError + "; correct it, or give --scale or --scale-ppm");
  }
  return settings.filmScale;
}

void addExportOptions(CLI::App& cmd, ExportOptions& o) {
  addOutputOptions(cmd, o);
  cmd.get_option("--force")->description(
      "Export all the same when the check that runs first finds errors (a board off the "
      "plotting area, undefined D codes, a drill file on a layer asked for, ...), and draw a "
      "layer file that step and repeat and aperture blocks expand to more than 2^30 operations "
      "(it takes long; progress and Ctrl-C as ever)");
  cmd.add_option("--dpi", o.dpi,
                 "Resolution: 1016, 1625, 2032 (default), 4064, 8128, 16256, 25400, 32512, 40640, "
                 "65024 or any other whole number from 100 to 65535 (a note says it is none of "
                 "the dialog's)")
      ->check(WholeNumberValidator("a resolution is dots per inch, such as 2032"))
      ->check(CLI::Range(kOtherResolutionMin, kMaxPlotterDpi));
  cmd.add_flag("--mirror", o.mirror,
               "Mirror horizontal: rows from the top of the image down (default: from the bottom "
               "up)");
  cmd.add_option("--notes", o.notes,
                 "User notes (a plotter file stores the first 50 characters, a TIFF film all in "
                 "its ImageDescription)");
  cmd.add_option("--horizontal-line", o.horizontal_mils,
                 "Horizontal line width +/- in mils: exposed runs grow or shrink at their right "
                 "end");
  cmd.add_option("--format", o.format,
                 "fpf (plotter file), tiff (1-bit TIFF film) or bmp (the job bitmap at 8192 dpi); "
                 "default: after OUT's extension (.fpf, .tif/.tiff, .bmp); with it any name "
                 "goes")
      ->check(CLI::IsMember({"fpf", "tiff", "bmp"}));
  cmd.add_option("--compression", o.compression,
                 "TIFF strips: g4 (CCITT Group 4, default), packbits or none")
      ->check(CLI::IsMember({"g4", "packbits", "none"}));
  cmd.add_flag("--split-layers", o.splitLayers,
               "One film per chosen layer, named OUT with the layer's number and name added "
               "(board.tif -> board-01-top-copper.tif: the role its files' names tell, else "
               "the layer's name in the settings), all of the whole export's size; none is "
               "written unless all are");
  addScaleOptions(cmd, o.scale, kFilmScaleHelp);
}

FilmSettings exportFilmSettings(const CLI::App& cmd, const ExportOptions& o, const Job& job) {
  FilmSettings settings;
  PlotterExportSettings& s = settings.plotter;
  fillSettings(o, job, s.draw, s.run);
  settings.format = chooseFormat(cmd, o.format, o.outputFile, o.dpi);
  settings.tiff.compression = parseTiffCompression(o.compression).value_or(TiffCompression::Group4);
  s.file = o.outputFile;
  s.dpi = o.dpi;
  s.mirror = o.mirror;
  s.notes = o.notes;
  s.horizontalLine_mils = o.horizontal_mils;
  s.negative = o.negative;
  if (settings.format != FilmFormat::Bmp) s.scale = filmScaleOf(o.scale, job.settings);
  settings.splitLayers = o.splitLayers;
  return settings;
}

namespace {

void addExport(CLI::App& app, Action& action) {
  auto o = std::make_shared<ExportOptions>();
  auto* cmd = app.add_subcommand(
      "export",
      "Export photoplotter bitmap: every board on every chosen layer rasterized at the plotter's "
      "resolution into a plotter file (.FPF) with its thumbnail and preview, or the same image "
      "as a 1-bit TIFF film (.tif), or the job bitmap (.bmp)");
  addExportOptions(*cmd, *o);
  cmd->callback([o, cmd, &action] {
    action = [o, cmd] {
      Job job = openJobWithSettings(*o, "export");
      FilmSettings settings = exportFilmSettings(*cmd, *o, job);
      PlotterExportSettings& s = settings.plotter;
      std::vector<fs::path> outputs;
      for (const FilmName& film : filmNames(job, settings)) {
        outputs.push_back(film.file);
        if (!o->overview.empty()) outputs.push_back(overviewName(o->overview, job, film.layer));
      }
      refuseSameFile(outputs);
      refuseOverwritingInput(outputs, job.inputFiles());
      // The check reads every file; the export draws from what it read,
      // on the same workers.
      PreparedJob prepared(s.run.budgetBytes);
      std::optional<WorkerPool> workers;
      s.run.prepared = &prepared;
      giveOwnWorkers(s.run, workers);
      checkBeforeExport(job, *o, s);
      Progress progress;
      s.run.progress = &progress;
      FilmExportSummary r;
      {
        ProgressDisplay display(progress);
        r = exportFilms(job, settings);
      }
      if (r.cancelled)
        throw std::runtime_error(o->outputFile + ": export cancelled; nothing written");
      if (settings.format == FilmFormat::Fpf && !s.scale.nominal() &&
          plotterFileNotes(s.notes, s.scale).size() <= s.notes.size()) {
        printNote("the plotter file's " + std::to_string(kFpfNotesBytes) +
                  " characters of notes leave no room for the film scale " +
                  filmScaleText(s.scale) + ": only this summary says it");
      }
      for (const FilmSummary& film : r.films) {
        const double seconds = r.films.size() == 1 ? r.seconds : film.seconds();
        printFilm(film, s.mirror, s.negative, s.scale, seconds, o->verbose);
        printRunLine(film.raster(), seconds, s.run.budgetBytes, s.run.reference, o->verbose);
        if (o->overview.empty()) continue;
        writeSecondImage(overviewName(o->overview, job, film.layer).string(), film.overview(),
                         film.file.string());
      }
    };
  });
}

// drumplot-cli bmp
// ============================================================================

void addBmp(CLI::App& app, Action& action) {
  auto o = std::make_shared<OutputOptions>();
  auto* cmd = app.add_subcommand(
      "bmp",
      "250 dpi bitmap (CLIP.BMP): the whole job as one uncompressed 1-bit Windows bitmap at 8192 "
      "pixels per inch (a picture viewer shows it upside down)");
  addOutputOptions(*cmd, *o);
  cmd->callback([o, &action] {
    action = [o] {
      requireExtension("-o", o->outputFile, {".bmp"}, "bmp writes the job bitmap, a .bmp file");
      Job job = openJobWithSettings(*o, "bmp");
      JobBitmapSettings s;
      fillSettings(*o, job, s.draw, s.run);
      s.file = o->outputFile;
      s.negative = o->negative;
      std::vector<fs::path> outputs{o->outputFile};
      if (!o->overview.empty()) outputs.emplace_back(o->overview);
      refuseSameFile(outputs);
      refuseOverwritingInput(outputs, job.inputFiles());
      Progress progress;
      s.run.progress = &progress;
      JobBitmapSummary r;
      {
        ProgressDisplay display(progress);
        r = writeJobBitmap(job, s);
      }
      if (r.cancelled) throw std::runtime_error(o->outputFile + ": cancelled; nothing written");
      printFilm({o->outputFile, 0, r}, false, s.negative, {}, r.seconds, o->verbose);
      printRunLine(r.raster, r.seconds, s.run.budgetBytes, s.run.reference, o->verbose);
      if (!o->overview.empty()) writeSecondImage(o->overview, r.overview, o->outputFile);
    };
  });
}

// drumplot-cli fpf
// ============================================================================

// A file name's extension in lower case (".tif").
std::string lowerExtension(const std::string& file) {
  std::string extension = fs::path(file).extension().string();
  for (char& ch : extension) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
  return extension;
}

// A picture after its name's extension: .png, .pbm, else .tif or .tiff,
// in Group 4 strips unless libtiff's coder for them (16 bytes for each
// pixel of a row) would take more than `budgetBytes`.
std::unique_ptr<PictureWriter> openPicture(const std::string& file, uint32_t width, uint32_t height,
                                           double dpi, uint64_t budgetBytes) {
  const std::string extension = lowerExtension(file);
  ImageMetadata metadata;
  metadata.dpi = dpi;
  if (extension == ".png") return openPngWriter(file, width, height, metadata);
  if (extension == ".pbm") return openPbmWriter(file, width, height);
  const uint64_t group4Bytes = 16 * uint64_t{width};
  if (group4Bytes <= budgetBytes) return openTiffWriter(file, width, height, metadata);
  printNote(file + ": PackBits strips, not Group 4: Group 4 takes " +
            std::to_string(group4Bytes >> 20) + " MB for rows of " + std::to_string(width) +
            " pixels, more than the memory setting");
  return openTiffWriter(file, width, height, metadata, TiffCompression::PackBits);
}

// --window X0,Y0,X1,Y1 on the film of `header`: inches from its top-left
// corner, X0 and Y0 snapped down to whole pixels, X1 and Y1 up; or pixels
// when every number ends in "px".
FilmWindow parseFilmWindow(const std::string& text, const FpfHeader& header) {
  const auto refuse = [&text](const std::string& why) {
    return std::invalid_argument("--window '" + text + "': " + why);
  };
  std::vector<std::string> items;
  std::stringstream in(text);
  for (std::string item; std::getline(in, item, ',');)
    items.push_back(std::string(trimSpaces(item)));
  if (items.size() != 4) throw refuse("expected X0,Y0,X1,Y1 (inches, or pixels as 4000px)");
  const auto inPixels = [](const std::string& item) {
    return item.size() > 2 && item.compare(item.size() - 2, 2, "px") == 0;
  };
  const size_t pixelItems =
      static_cast<size_t>(std::count_if(items.begin(), items.end(), inPixels));
  if (pixelItems != 0 && pixelItems != 4) throw refuse("either all four numbers in px or none");
  uint64_t px[4];
  for (size_t k = 0; k < 4; ++k) {
    if (pixelItems == 4) {
      const std::optional<long long> n = parseInteger(items[k].substr(0, items[k].size() - 2));
      if (!n || *n < 0) throw refuse("'" + items[k] + "' is no whole number of pixels");
      px[k] = static_cast<uint64_t>(*n);
      continue;
    }
    const std::optional<double> inches = parseDecimal(items[k]);
    if (!inches || *inches < 0 || *inches > 1e6)
      throw refuse("'" + items[k] + "' is no distance in inches from the film's corner");
    // A hair of slack, so that 0.1 inch at 1000 dpi is pixel 100, not 101.
    const double at = *inches * header.dpi;
    px[k] = static_cast<uint64_t>(k < 2 ? std::floor(at + 1e-6) : std::ceil(at - 1e-6));
  }
  const auto side = [](uint64_t v) {
    return static_cast<uint32_t>(std::min<uint64_t>(v, UINT32_MAX));
  };
  return {side(px[0]), side(px[1]), side(px[2]), side(px[3])};
}

void addFpf(CLI::App& app, Action& action) {
  auto* fpf = app.add_subcommand("fpf", "Look into plotter files (.FPF)");
  fpf->require_subcommand(1);

  auto file = std::make_shared<std::string>();
  auto* info = fpf->add_subcommand("info", "Print the header fields as JSON");
  info->add_option("FILE", *file, "Plotter file")->required()->check(CLI::ExistingFile);
  info->callback([file, &action] {
    action = [file] {
      std::ifstream in(*file, std::ios::binary);
      std::vector<uint8_t> head(kFpfHeaderBytes);
      in.read(reinterpret_cast<char*>(head.data()), static_cast<std::streamsize>(head.size()));
      head.resize(static_cast<size_t>(std::max<std::streamsize>(in.gcount(), 0)));
      std::string signature;
      FpfHeader h;
      try {
        h = decodeFpfHeader(head, &signature);
      } catch (const FormatError& e) {
        throw FormatError(*file + ": " + e.what());
      }
      std::error_code ec;
      const uintmax_t bytes = fs::file_size(*file, ec);
      std::cout << "{\"file\":" << jsonString(*file) << ",\"signature\":" << jsonString(signature)
                << ",\"width\":" << h.width << ",\"height\":" << h.height << ",\"dpi\":" << h.dpi
                << ",\"preview_width\":" << h.previewWidth
                << ",\"preview_height\":" << h.previewHeight << ",\"notes\":" << jsonString(h.notes)
                << ",\"bytes\":" << (ec ? 0 : bytes) << ",\"image_bytes\":"
                << (ec || bytes < kFpfImageOffset ? 0 : bytes - kFpfImageOffset) << "}\n";
    };
  });

  struct DecodeOptions {
    std::string file;
    std::string output;
    std::string part = "image";
    std::string window;
    uint32_t reduce = 1;
    int memory_MB = 0;  // 0: the settings' Memory
    std::string settingsFile;
  };
  auto d = std::make_shared<DecodeOptions>();
  auto* decode = fpf->add_subcommand(
      "decode",
      "Decode a part into a PNG, PBM or TIFF; the image's records in file order, four rows each, "
      "as the film is exposed (with the mirror off the file starts at the bottom of the drawing, "
      "so the picture is upside down), streamed: any size into .pbm or .tif");
  decode->add_option("FILE", d->file, "Plotter file")->required()->check(CLI::ExistingFile);
  decode->add_option("-o,--output", d->output, "Picture to write: OUT.png, OUT.pbm or OUT.tif")
      ->required();
  decode->add_option("--part", d->part, "image (default), preview or thumbnail")
      ->check(CLI::IsMember({"image", "preview", "thumbnail"}));
  decode->add_option("--window", d->window,
                     "X0,Y0,X1,Y1: only that part of the film, in inches from its top-left "
                     "corner (X0, Y0 snap down to whole pixels, X1, Y1 up), or in pixels when "
                     "each number ends in px (0px,0px,4000px,4000px)");
  decode
      ->add_option("--reduce", d->reduce,
                   "N: the picture N times smaller each way, a pixel exposed when any of its "
                   "N x N is")
      ->check(CLI::Range(1u, 1u << 24));
  decode
      ->add_option("--memory", d->memory_MB,
                   "Memory for the decoded rows in MB (default: Memory from the settings)")
      ->check(CLI::Range(1, 65536));
  addSettingsOption(*decode, d->settingsFile);
  decode->callback([d, decode, &action] {
    action = [d, decode] {
      requireExtension(
          "-o", d->output, {".png", ".pbm", ".tif", ".tiff"},
          "fpf decode writes a PNG (.png), PBM (.pbm) or TIFF (.tif or .tiff) picture");
      refuseOverwritingInput({d->output}, {d->file});
      if (d->part != "image" && (decode->count("--window") > 0 || decode->count("--reduce") > 0))
        throw std::invalid_argument("--window and --reduce take the image, not the " + d->part);
      if (d->part != "image") {
        FpfContents c = readFpf(d->file, false);
        const MonoImage& image = d->part == "preview" ? c.preview : c.thumbnail;
        auto out = openPicture(d->output, image.width, image.height, 0.0, UINT64_MAX);
        out->writeRows(image.bits.data(), image.height);
        out->commit();
        std::cout << d->output << ": " << d->part << " of " << d->file << ", " << image.width
                  << " x " << image.height << " pixels\n";
        return;
      }
      const uint64_t budget = memoryBudgetBytes(
          d->memory_MB > 0 ? d->memory_MB : readCommandSettings(d->settingsFile).memoryMegabytes);
      FpfReader reader(d->file);
      const FpfHeader& h = reader.header();
      const FilmWindow window =
          d->window.empty() ? FilmWindow{0, 0, h.width, h.height} : parseFilmWindow(d->window, h);
      FpfPicture picture(reader, window, d->reduce);
      const uint32_t w = picture.width(), ht = picture.height();
      if (lowerExtension(d->output) == ".png" &&
          (w > kMaxPngSide || ht > kMaxPngSide || uint64_t{w} * ht > kMaxDecodedFpfPixels)) {
        throw FormatError(d->output + ": a picture of " + std::to_string(w) + " x " +
                          std::to_string(ht) + " pixels is larger than a PNG is written for (" +
                          std::to_string(kMaxPngSide) + " pixels a side, 2^31 pixels); write " +
                          "it as .tif or .pbm, which hold any size");
      }
      auto out = openPicture(d->output, w, ht, static_cast<double>(h.dpi) / d->reduce, budget);
      // As many rows at a time as the memory holds (at most 16 MB of them), at least one.
      const uint64_t bandRows = std::clamp<uint64_t>(
          std::min<uint64_t>(budget, uint64_t{16} << 20) / picture.rowBytes(), 1, ht);
      std::vector<uint8_t> band(static_cast<size_t>(bandRows) * picture.rowBytes());
      for (uint32_t done = 0; done < ht;) {
        const auto n = static_cast<uint32_t>(std::min<uint64_t>(bandRows, ht - done));
        picture.readRows(band.data(), n);
        out->writeRows(band.data(), n);
        done += n;
      }
      out->commit();
      std::cout << d->output << ": image of " << d->file << ", " << w << " x " << ht << " pixels";
      if (!d->window.empty() || d->reduce > 1) {
        std::cout << " (film pixels " << window.x0 << "," << window.y0 << " to " << window.x1 << ","
                  << window.y1 << " of " << h.width << " x " << h.height;
        if (d->reduce > 1) std::cout << ", reduced by " << d->reduce;
        std::cout << ")";
      }
      std::cout << "\n";
    };
  });
  addFpfDiff(*fpf, action);
}

}  // namespace

void addExportCommand(CLI::App& app, Action& action) {
  addExport(app, action);
  addBmp(app, action);
  addFpf(app, action);
}

}  // namespace drumplot::cli
