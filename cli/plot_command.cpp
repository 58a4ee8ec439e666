// SPDX-License-Identifier: MIT
// drumplot-cli plot: a customer's board (zip or folder) to films, drill
// files, overviews, the job file and a report, by a panel template, all
// written into one folder or none of it.
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>
#include <system_error>
#include <tuple>
#include <vector>

#include "cli/command_registry.h"
#include "cli/export_options.h"
#include "cli/json_writer.h"
#include "drill/drill_overview.h"
#include "drill/drill_panel.h"
#include "engine/errors.h"
#include "engine/text.h"
#include "job/board_import.h"
#include "job/job_file.h"
#include "job/panel_template.h"
#include "job/settings_file.h"
#include "output/film_export.h"
#include "output/preflight.h"
#include "output/prepared_job.h"
#include "output/workers.h"

namespace drumplot::cli {

namespace {

namespace fs = std::filesystem;

// drumplot-cli plot - The output folder, all or nothing
// ============================================================================

// Everything of a run goes into a temporary folder beside the output
// folder, which takes its place only when all is written. An output folder
// that is replaced (--force) is kept aside until then and removed after.
// Whether `file` lies in `folder` (or is it).
bool liesInside(const fs::path& file, const fs::path& folder) {
  const fs::path p = fs::weakly_canonical(file);
  const fs::path o = fs::weakly_canonical(folder);
  return std::mismatch(o.begin(), o.end(), p.begin(), p.end()).first == o.end();
}

class StagedFolder {
 public:
  StagedFolder(const fs::path& out, bool replace)
      : out_(fs::absolute(out).lexically_normal()), replace_(replace) {
    if (out_.filename().empty()) out_ = out_.parent_path();
    std::error_code ec;
    if (fs::exists(out_, ec)) {
      if (!fs::is_directory(out_, ec)) throw IoError(out.string() + ": exists and is no folder");
      refuseFilled();
    }
    fs::create_directories(out_.parent_path(), ec);
    removeLeftovers();
    for (int attempt = 0;; ++attempt) {
      temp_ = aside("-" + std::to_string(attempt));
      if (fs::create_directory(temp_, ec)) break;
      if (ec || attempt > 1000)
        throw IoError(temp_.string() + ": cannot create the folder: " + ec.message());
    }
  }
  ~StagedFolder() {
    std::error_code ec;
    if (!committed_) fs::remove_all(temp_, ec);
  }
  StagedFolder(const StagedFolder&) = delete;
  StagedFolder& operator=(const StagedFolder&) = delete;

  const fs::path& path() const { return temp_; }
  const fs::path& out() const { return out_; }

  void commit() {
    std::error_code ec;
    fs::path old;
    if (fs::exists(out_, ec)) {
      refuseFilled();  // filled meanwhile, by another run

      old = aside("-old");
      fs::rename(out_, old, ec);
      if (ec) throw IoError(out_.string() + ": cannot move the folder aside: " + ec.message());
    }
    fs::rename(temp_, out_, ec);
    if (ec) {
      std::error_code back;
      if (!old.empty()) fs::rename(old, out_, back);
      throw IoError(out_.string() + ": cannot put the new folder in place: " + ec.message());
    }
    committed_ = true;
    if (!old.empty()) fs::remove_all(old, ec);
  }

 private:
  fs::path aside(const std::string& what) const {
    return out_.parent_path() / (prefix() + what + "-" + std::to_string(::getpid()) + ".tmp");
  }
  std::string prefix() const { return "." + out_.filename().string() + ".plot"; }

  void refuseFilled() const {
    std::error_code ec;
    if (fs::is_empty(out_, ec)) return;
    if (!replace_) {
      throw IoError(out_.string() +
                    ": the folder is not empty; nothing written (--force replaces an earlier "
                    "run's folder once the run has written everything)");
    }
    // --force replaces only what an earlier run wrote: a mistyped folder of
    // other files is never removed.
    if (!fs::exists(out_ / "report.json", ec)) {
      throw IoError(out_.string() +
                    ": holds files but no report.json, so it is no output folder of plot; "
                    "nothing written (--force replaces only an earlier run's folder)");
    }
  }

  // The folders a killed run left beside the output folder (their process
  // gone) go before a new run makes its own.
  void removeLeftovers() const {
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(out_.parent_path(), ec)) {
      const std::string name = entry.path().filename().string();
      if (!name.starts_with(prefix()) || !name.ends_with(".tmp")) continue;
      const size_t dash = name.rfind('-');
      const std::optional<long long> pid =
          parseInteger(std::string_view(name).substr(dash + 1, name.size() - dash - 5));
      if (pid && *pid > 0 && ::kill(static_cast<pid_t>(*pid), 0) != 0 && errno == ESRCH)
        fs::remove_all(entry.path(), ec);
    }
  }

  fs::path out_;
  bool replace_;
  fs::path temp_;
  bool committed_ = false;
};

// drumplot-cli plot - The run
// ============================================================================

struct PlotOptions {
  std::string source;
  std::string templateFile;
  std::string out;
  std::string settingsFile;
  int memory_MB = 0;
  unsigned threads = 0;
  bool force = false;
};

struct WrittenFilm {
  std::string file;  // in the output folder
  int layer = 0;
  std::string role;
  TemplateFilm film;
  int64_t width_px = 0, height_px = 0;
  uint64_t bytes = 0;
};

struct WrittenDrill {
  std::string file;
  std::string input;  // as found
  std::string plating;
  size_t boardHits = 0, markHits = 0, slots = 0, routes = 0;
};

// What the report tells.
struct PlotReport {
  std::string board;
  std::string importTable;
  std::vector<BoardFile> files;
  TemplatePanel panel;
  double firstX = 0.0, firstY = 0.0;
  std::vector<std::string> warnings;
  std::vector<WrittenFilm> films;
  std::vector<WrittenDrill> drills;
  std::vector<std::string> overviews;
  std::vector<std::pair<std::string, double>> seconds;  // each step's time
  FilmScale scale;                                      // every film's
};

void progressLine(const std::string& text) {
  std::cerr << "plot: " << text << "\n" << std::flush;
}

std::string roleText(const BoardRole& role) {
  std::string text = roleName(role);
  std::replace(text.begin(), text.end(), ' ', '-');
  return text;
}

// A layer's role as the import named it: the role of the file placed on it.
std::string layerRole(const BoardImportPlan& plan, const Job& job, int layer) {
  for (const BoardFile& f : plan.files) {
    if (f.layer == layer && f.role) return roleText(*f.role);
  }
  return filmLayerName(job, layer);
}

FilmFormat filmFormat(const std::string& name) {
  return name == "fpf" ? FilmFormat::Fpf : name == "bmp" ? FilmFormat::Bmp : FilmFormat::Tiff;
}

const char* extensionOf(const std::string& format) {
  return format == "fpf" ? ".fpf" : format == "bmp" ? ".bmp" : ".tif";
}

// The layers that become films: the template's, else every layer the
// board has a Gerber file on. A layer the board lacks is a warning.
std::vector<int> filmLayers(const PanelTemplate& t, const Job& job, PlotReport& report) {
  const OutputLayers drawn = layersWithGerber(job);
  std::vector<int> layers;
  for (int n = 1; n <= kLayerCount; ++n) {
    const bool asked =
        t.layers.empty() || std::find(t.layers.begin(), t.layers.end(), n) != t.layers.end();
    if (!asked) continue;
    if (drawn[static_cast<size_t>(n - 1)]) {
      layers.push_back(n);
    } else if (!t.layers.empty()) {
      report.warnings.push_back("the template names layer " + std::to_string(n) +
                                ", which the board has no Gerber file on: no film of it");
    }
  }
  if (layers.empty()) throw FormatError(report.board + ": no layer to make a film of");
  return layers;
}

class PlotRun {
 public:
  PlotRun(const PlotOptions& o, const PanelTemplate& t, StagedFolder& folder)
      : o_(o), t_(t), folder_(folder) {}

  // The run; what it says names files as the output folder will hold them.
  PlotReport run() {
    try {
      runSteps();
    } catch (const FormatError& e) {
      throw FormatError(outNames(e.what()));
    } catch (const IoError& e) {
      throw IoError(outNames(e.what()));
    }
    for (std::string& w : report_.warnings) w = outNames(w);
    return report_;
  }

  static std::string boardName(const std::string& source) {
    fs::path p = fs::path(source).lexically_normal();
    if (p.filename().empty()) p = p.parent_path();
    return fs::is_directory(p) ? p.filename().string() : p.stem().string();
  }

 private:
  void runSteps() {
    report_.board = boardName(o_.source);
    job_.JobName = (folder_.path() / (report_.board + ".wpr")).string();
    job_.settings = readCommandSettings(o_.settingsFile);
    applyPanelTemplate(t_, job_.settings);
    if (!job_.settings.filmScaleError.empty()) {
      throw FormatError(job_.settings.filmScaleError +
                        "; correct it, or state ScaleXppm and ScaleYppm in the template");
    }
    report_.scale = job_.settings.filmScale;
    if (o_.memory_MB > 0) job_.settings.memoryMegabytes = o_.memory_MB;
    step("import", [&] { importBoard(); });
    step("panel", [&] { placePanel(); });
    PreparedJob prepared(memoryBudgetBytes(job_.settings.memoryMegabytes));
    std::optional<WorkerPool> workers;
    RunSettings run;
    run.budgetBytes = memoryBudgetBytes(job_.settings.memoryMegabytes);
    run.threads = o_.threads;
    run.prepared = &prepared;
    giveOwnWorkers(run, workers);
    const std::vector<int> layers = filmLayers(t_, job_, report_);
    step("check", [&] { check(layers, run); });
    step("films", [&] { writeFilms(layers, run); });
    step("drill", [&] { writeDrills(); });
    saveJob(job_, job_.JobName);
    plan_.unpacked.keep();  // the folder goes whole or not at all
  }

  std::string outNames(std::string text) const {
    const std::string temp = folder_.path().string(), out = folder_.out().string();
    for (size_t at = text.find(temp); at != std::string::npos;
         at = text.find(temp, at + out.size())) {
      text.replace(at, temp.size(), out);
    }
    return text;
  }

  template <typename Work>
  void step(const char* name, Work work) {
    const auto start = std::chrono::steady_clock::now();
    work();
    report_.seconds.emplace_back(
        name, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  }

  std::string outName(const std::string& suffix) const { return report_.board + suffix; }
  fs::path staged(const std::string& name) const { return folder_.path() / name; }

  void importBoard() {
    progressLine("reading " + o_.source);
    const fs::path settings =
        o_.settingsFile.empty() ? settingsFilePath() : fs::path(o_.settingsFile);
    const LayerMap map = readLayerMap(IniDocument::load(settings), settings.string());
    job_.CurrentFormat = parseFormatSpec("2.3,leading,abs,inch");
    const bool zip = !fs::is_directory(o_.source);
    plan_ = planBoardImport(o_.source, job_.CurrentFormat, map,
                            zip ? staged(outName("-files")) : fs::path(),
                            static_cast<uint64_t>(job_.settings.memoryBudgetBytes()));
    report_.importTable = importTable(plan_);
    std::cout << report_.importTable;
    if (const std::string missing = plan_.missingUsualLayers(); !missing.empty())
      report_.warnings.push_back("not found: " + missing);
    // A zip's files lie in the output folder and are named relative to it,
    // a folder's files by their whole name.
    board_ = addImportedBoard(job_, plan_, [this](const fs::path& file) {
      const fs::path whole = fs::absolute(file).lexically_normal();
      const fs::path relative = whole.lexically_relative(folder_.path());
      const bool inside = !relative.empty() && *relative.begin() != "..";
      return storedFileName(inside ? relative.generic_string() : whole.generic_string());
    });
    report_.files = plan_.files;
  }

  void placePanel() {
    report_.panel = placeByTemplate(job_, board_, t_, o_.templateFile);
    report_.firstX = job_.boards[board_].PosX;
    report_.firstY = job_.boards[board_].PosY;
    progressLine("panel of " + std::to_string(report_.panel.columns) + "x" +
                 std::to_string(report_.panel.rows) + " boards, " +
                 counted(static_cast<long long>(report_.panel.marks.size()), "mark"));
  }

  PlotterExportSettings filmSettings(const std::vector<int>& layers, const TemplateFilm& film,
                                     const RunSettings& run) const {
    PlotterExportSettings s;
    s.draw.layers = {};
    for (int n : layers) s.draw.layers[static_cast<size_t>(n - 1)] = true;
    s.draw.techArea = t_.techAreaOn;
    s.run = run;
    s.dpi = film.dpi;
    s.mirror = film.mirror;
    s.negative = film.negative;
    s.scale = job_.settings.filmScale;
    return s;
  }

  // The check of every film's layers, once for each resolution.
  void check(const std::vector<int>& layers, const RunSettings& run) {
    progressLine("checking " + counted(static_cast<long long>(layers.size()), "layer"));
    std::vector<int> dpis;
    for (int n : layers) dpis.push_back(t_.filmOf(n).dpi);
    std::sort(dpis.begin(), dpis.end());
    dpis.erase(std::unique(dpis.begin(), dpis.end()), dpis.end());
    OutputOptions o;
    o.jobFile = (folder_.out() / (report_.board + ".wpr")).string();
    for (int dpi : dpis) {
      std::vector<int> same;
      for (int n : layers) {
        if (t_.filmOf(n).dpi == dpi) same.push_back(n);
      }
      TemplateFilm film;
      film.dpi = dpi;
      checkBeforeExport(job_, o, filmSettings(same, film, run), &report_.warnings);
    }
  }

  void writeFilms(const std::vector<int>& layers, const RunSettings& run) {
    for (size_t i = 0; i < layers.size(); ++i) {
      const int n = layers[i];
      WrittenFilm written;
      written.layer = n;
      written.role = layerRole(plan_, job_, n);
      written.film = t_.filmOf(n);
      written.file =
          layerFilmName(outName(extensionOf(written.film.format)), n, written.role).string();
      progressLine("film " + std::to_string(i + 1) + " of " + std::to_string(layers.size()) + ": " +
                   written.file);
      FilmSettings settings;
      settings.plotter = filmSettings({n}, written.film, run);
      settings.plotter.file = staged(written.file);
      settings.format = filmFormat(written.film.format);
      Progress progress;
      settings.plotter.run.progress = &progress;
      FilmExportSummary r;
      {
        ProgressDisplay display(progress);
        r = exportFilms(job_, settings);
      }
      if (r.cancelled) throw std::runtime_error(written.file + ": cancelled; nothing written");
      const FilmSummary& film = r.films.front();
      for (const std::string& w : film.raster().warnings) report_.warnings.push_back(w);
      std::tie(written.width_px, written.height_px) = film.size_px();
      written.bytes = fs::file_size(settings.plotter.file);
      if (report_.overviews.empty()) {
        report_.overviews.push_back(outName("-overview.png"));
        writePng(staged(report_.overviews.back()), film.overview());
      }
      report_.films.push_back(written);
    }
  }

  // The panel's drill files: non-plated holes (the file said to be for
  // them) and plated-through holes (the drill file the board keeps, unless
  // it is said to be for non-plated holes), each where the board has one.
  void writeDrills() {
    const BoardFile* plated = nullptr;
    const BoardFile* nonPlated = nullptr;
    for (const BoardFile& f : plan_.files) {
      if (!f.role || f.role->role != LayerRole::Drill) continue;
      if (f.plating == DrillPlating::NonPlated && !nonPlated) {
        nonPlated = &f;
      } else if (f.plating != DrillPlating::NonPlated && f.layer != 0) {
        plated = &f;
      } else {
        report_.warnings.push_back(
            f.name + ": a drill file the panel's drill files leave out (" +
            (f.reason.empty() ? "a second one for non-plated holes" : f.reason) + ")");
      }
    }
    if (plated && t_.platedDrill) writeDrill(*plated, "-pth", "plated");
    if (nonPlated && t_.nonPlatedDrill) writeDrill(*nonPlated, "-npth", "non-plated");
  }

  void writeDrill(const BoardFile& input, const char* suffix, const char* plating) {
    // BOARD-pth.drl, with its overview BOARD-pth.png.
    WrittenDrill written{outName(std::string(suffix) + ".drl"), input.name, plating};
    progressLine("drill file " + written.file);
    DrillPanelSettings settings;
    settings.inputFile = input.file.string();
    settings.outputFile = staged(written.file).string();
    settings.DrillOffsetX = t_.drillOffset.first;
    settings.DrillOffsetY = t_.drillOffset.second;
    settings.markDrills = makeMarkDrillTable(gatherMarkNames(job_.boards));
    DrillPanelResult result = panelizeDrillFile(job_, settings);
    if (!result.formatNote.empty())
      report_.warnings.push_back(input.name + ": " + result.formatNote);
    for (const std::string& w : result.warnings) report_.warnings.push_back(w);
    if (result.status != DrillPanelStatus::Written)
      throw FormatError(input.file.string() + ": " + toString(result.status));
    const DrillPanel& panel = result.panel;
    written.boardHits = panel.boardHits;
    written.markHits = panel.markHits;
    written.slots = panel.slotCount;
    written.routes = panel.routeCount;
    const std::string overview = outName(std::string(suffix) + ".png");
    writePng(staged(overview), drillOverview(job_.boards, panel.crosses, panel.paths));
    report_.overviews.push_back(overview);
    report_.drills.push_back(written);
  }

  const PlotOptions& o_;
  const PanelTemplate& t_;
  StagedFolder& folder_;
  Job job_;
  BoardImportPlan plan_;
  size_t board_ = 0;
  PlotReport report_;
};

// drumplot-cli plot - The report
// ============================================================================

std::string reportText(const PlotOptions& o, const PlotReport& r) {
  std::ostringstream out;
  out << "drumplot-cli plot: " << r.board << " from " << o.source << " by " << o.templateFile
      << "\n\nFiles read (file -> role -> layer):\n"
      << r.importTable << "\nPanel: " << r.panel.columns << "x" << r.panel.rows
      << " boards, the first at " << jsonNumber(r.firstX) << ", " << jsonNumber(r.firstY)
      << " inch; " << counted(static_cast<long long>(r.panel.marks.size()), "mark") << "\n";
  out << "\nFilms" << (r.scale.nominal() ? "" : " (" + filmScaleText(r.scale) + ")") << ":\n";
  for (const WrittenFilm& f : r.films) {
    out << "  " << f.file << ": layer " << f.layer << " (" << f.role << "), " << f.width_px << " x "
        << f.height_px << " pixels at " << (f.film.format == "bmp" ? 8192 : f.film.dpi) << " dpi, "
        << (f.film.mirror ? "mirrored, " : "") << (f.film.negative ? "negative" : "positive")
        << ", " << f.bytes << " bytes\n";
  }
  out << "\nDrill files:\n";
  if (r.drills.empty())
    out << "  none (the board has no drill file, or the template writes none)\n";
  for (const WrittenDrill& d : r.drills) {
    out << "  " << d.file << ": " << d.plating << " holes of " << d.input << ", "
        << counted(static_cast<long long>(d.boardHits), "board hit") << ", "
        << counted(static_cast<long long>(d.markHits), "mark hit") << ", "
        << counted(static_cast<long long>(d.slots), "slot") << ", "
        << counted(static_cast<long long>(d.routes), "route") << "\n";
  }
  out << "\nOverviews:\n";
  for (const std::string& v : r.overviews) out << "  " << v << "\n";
  out << "\nJob file: " << r.board << ".wpr\n\nWarnings:\n";
  if (r.warnings.empty()) out << "  none\n";
  for (const std::string& w : r.warnings) out << "  " << w << "\n";
  out << "\nTimes:";
  char line[64];
  for (const auto& [step, seconds] : r.seconds) {
    std::snprintf(line, sizeof line, " %s %.2f s", step.c_str(), seconds);
    out << line;
  }
  out << "\n";
  return out.str();
}

std::string reportJson(const PlotOptions& o, const PlotReport& r) {
  std::ostringstream out;
  out << "{" << jsonName("board", r.board) << "," << jsonName("source", o.source) << ","
      << jsonName("template", o.templateFile) << ",\"files\":[";
  for (size_t i = 0; i < r.files.size(); ++i) {
    const BoardFile& f = r.files[i];
    out << (i ? "," : "") << "{" << jsonName("name", f.name)
        << ",\"role\":" << (f.role ? jsonString(roleName(*f.role)) : "null")
        << ",\"layer\":" << f.layer << ",\"note\":" << jsonString(f.reason) << "}";
  }
  out << "],\"panel\":{\"columns\":" << r.panel.columns << ",\"rows\":" << r.panel.rows
      << ",\"x\":" << jsonNumber(r.firstX) << ",\"y\":" << jsonNumber(r.firstY)
      << ",\"marks\":" << r.panel.marks.size() << "},\"scale_x_ppm\":" << jsonNumber(r.scale.xPpm)
      << ",\"scale_y_ppm\":" << jsonNumber(r.scale.yPpm) << ",\"films\":[";
  for (size_t i = 0; i < r.films.size(); ++i) {
    const WrittenFilm& f = r.films[i];
    out << (i ? "," : "") << "{" << jsonName("file", f.file) << ",\"layer\":" << f.layer
        << ",\"role\":" << jsonString(f.role) << ",\"format\":" << jsonString(f.film.format)
        << ",\"width\":" << f.width_px << ",\"height\":" << f.height_px
        << ",\"dpi\":" << (f.film.format == "bmp" ? 8192 : f.film.dpi)
        << ",\"mirror\":" << (f.film.mirror ? "true" : "false")
        << ",\"negative\":" << (f.film.negative ? "true" : "false") << ",\"bytes\":" << f.bytes
        << "}";
  }
  out << "],\"drill\":[";
  for (size_t i = 0; i < r.drills.size(); ++i) {
    const WrittenDrill& d = r.drills[i];
    out << (i ? "," : "") << "{" << jsonName("file", d.file) << "," << jsonName("input", d.input)
        << ",\"plating\":" << jsonString(d.plating) << ",\"board_hits\":" << d.boardHits
        << ",\"mark_hits\":" << d.markHits << ",\"slots\":" << d.slots << ",\"routes\":" << d.routes
        << "}";
  }
  out << "]," << jsonNames("overviews", r.overviews) << "," << jsonName("job", r.board + ".wpr")
      << "," << jsonNames("warnings", r.warnings) << "}\n";
  return out.str();
}

}  // namespace

// drumplot-cli plot
// ============================================================================

void addPlotCommand(CLI::App& app, Action& action) {
  auto o = std::make_shared<PlotOptions>();
  auto* cmd = app.add_subcommand(
      "plot",
      "A board (zip or folder) to films by a panel template: imports it as job add-board "
      "does, places and panelizes it with its marks, checks it (errors stop it), and writes "
      "into the output folder the job file, a film per layer, the panel's drill files, the "
      "overviews and report.txt / report.json. All or nothing: on any failure no output of "
      "the run is left and an existing folder stays as it was");
  cmd->add_option("BOARD", o->source, "Folder or zip file with the board's files")->required();
  cmd->add_option("--template", o->templateFile, "Panel template (INI; see the README)")
      ->required()
      ->check(CLI::ExistingFile);
  cmd->add_option("--out", o->out,
                  "Output folder, made when missing; one that holds files is refused unless "
                  "--force")
      ->required();
  addSettingsOption(*cmd, o->settingsFile);
  cmd->add_option("--memory", o->memory_MB,
                  "Memory for reading and drawing in MB (default: Memory from the settings)")
      ->check(CLI::Range(1, 65536));
  cmd->add_option("--threads", o->threads, "Worker threads (default: one per processor)")
      ->check(CLI::Range(0u, 1024u));
  cmd->add_flag("--force", o->force,
                "Replace an earlier run's output folder (one holding report.json) whole, once "
                "everything is written");
  cmd->callback([o, &action] {
    action = [o] {
      const PanelTemplate t = readPanelTemplate(o->templateFile);
      // What the run reads stays where it is: the output folder is replaced whole.
      std::vector<std::string> inputs = {o->source, o->templateFile};
      if (!o->settingsFile.empty()) inputs.push_back(o->settingsFile);
      for (const TemplateMark& m : t.marks)
        inputs.push_back(templateMarkFile(m, o->templateFile).string());
      for (const std::string& input : inputs) {
        if (liesInside(input, o->out))
          throw std::invalid_argument(input + " lies in the output folder " + o->out);
      }
      StagedFolder folder(o->out, o->force);
      const auto start = std::chrono::steady_clock::now();
      PlotReport report = PlotRun(*o, t, folder).run();
      report.seconds.emplace_back(
          "total", std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
      writeFileAtomically(folder.path() / "report.json", reportJson(*o, report));
      const std::string text = reportText(*o, report);
      writeFileAtomically(folder.path() / "report.txt", text);
      folder.commit();
      for (const std::string& w : report.warnings) printWarning(w);
      std::cout << counted(static_cast<long long>(report.films.size()), "film") << ", "
                << counted(static_cast<long long>(report.drills.size()), "drill file")
                << " and the job file written to " << o->out << " (report.txt)\n";
    };
  });
}

}  // namespace drumplot::cli
