// SPDX-License-Identifier: MIT
// drumplot-cli job: builds and edits job files. Every subcommand reads the
// job file, runs one job operation and writes the file back.
#include <algorithm>
#include <fstream>
#include <iostream>
#include <memory>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "cli/command_registry.h"
#include "cli/json_writer.h"
#include "engine/errors.h"
#include "engine/text.h"
#include "job/board_import.h"
#include "job/free_place.h"
#include "job/gerber_import.h"
#include "job/job_file.h"
#include "job/marks.h"
#include "job/panel_template.h"
#include "job/panelize.h"
#include "job/settings_file.h"

namespace drumplot::cli {

namespace {

namespace fs = std::filesystem;

// drumplot-cli job - Shared steps
// ============================================================================

struct JobOptions {
  std::string jobFile;
  std::string command;                    // "job add", for the messages
  const std::string* dataFile = nullptr;  // the file argument after JOB, if any
  std::string settingsFile;               // empty: the usual settings location
  bool force = false;                     // write back a job file that ends in a partial record
};

// The job file of a command, locked and read; a job file that job repair
// can mend is refused with a word saying so.
JobFileEdit lockJobFile(const std::string& file) {
  try {
    return JobFileEdit(file);
  } catch (const JobFileError& e) {
    if (!e.mendable) throw;
    throw JobFileError(e.file, e.record,
                       e.problem + " (drumplot-cli job repair " + file + " mends it)", true);
  }
}

// The job of one command, read from its job file, which stays locked until
// the command has written it back (or ends), so that commands running at
// the same time on one file take turns instead of losing boards.
class EditedJob {
 public:
  // `writesBack`: a job file that ends in a partial record is refused
  // without --force; a command that only reads it says so.
  EditedJob(const JobOptions& options, bool writesBack)
      : edit_(lockJobFile(checkedJobFile(options))), force_(options.force) {
    job.settings = readCommandSettings(options.settingsFile);
    if (!edit_.exists()) throw IoError(options.jobFile + ": cannot open: no such file");
    edit_.openInto(job);
    if (size_t partial = edit_.info().partialBytes) {
      std::string text = options.jobFile + ": " + partialRecordText(partial);
      if (writesBack && !force_) {
        throw FormatError(text +
                          "; writing the job back would lose it, so nothing was "
                          "written (use --force to write it without that record)");
      }
      printWarning(text);
    }
  }

  void save() { edit_.save(job, force_); }

  Job job;

 private:
  static const std::string& checkedJobFile(const JobOptions& options) {
    requireJobFile(options.jobFile, options.command, options.dataFile ? *options.dataFile : "");
    return options.jobFile;
  }

  JobFileEdit edit_;
  bool force_;
};

// "X,Y" as two numbers.
std::pair<double, double> parsePair(const std::string& text, const char* option) {
  size_t comma = text.find(',');
  std::optional<double> a, b;
  if (comma != std::string::npos) {
    a = parseDecimal(std::string_view(text).substr(0, comma));
    b = parseDecimal(std::string_view(text).substr(comma + 1));
  }
  if (!a || !b) {
    throw std::invalid_argument(std::string(option) + " '" + text +
                                "': expected two numbers as X,Y");
  }
  return {*a, *b};
}

size_t boardIndex(const Job& job, int number) {
  if (number < 1 || static_cast<size_t>(number) > job.boards.size()) {
    throw std::invalid_argument(
        job.JobName + ": no board " + std::to_string(number) + " (the job has " +
        counted(static_cast<long long>(job.boards.size()), "board") + ", numbered from 1)");
  }
  return static_cast<size_t>(number - 1);
}

// The form in which a file named on the command line goes into the job: a
// relative name is rewritten relative to the job file's folder (where the
// job resolves it), an absolute one stays as it is.
std::string storedPath(const std::string& given, const Job& job) {
  std::error_code ec;
  if (!fs::is_regular_file(given, ec)) throw IoError(given + ": cannot open: no such file");
  fs::path path(given);
  std::string stored = path.generic_string();
  if (path.is_relative()) {
    fs::path jobFolder = fs::absolute(fs::path(job.JobName), ec).parent_path();
    fs::path relative = fs::absolute(path, ec).lexically_normal().lexically_relative(jobFolder);
    if (!ec && !relative.empty()) stored = relative.generic_string();
  }
  if (stored.size() > kMaxFileNameChars) {
    throw FormatError(given + ": a job file holds file names of at most 250 characters");
  }
  return stored;
}

std::string inches(double value) {
  std::ostringstream out;
  out.precision(6);
  out << std::fixed << value;
  return out.str();
}

std::string describe(const Job& job, size_t index) {
  const Board& b = job.boards[index];
  return "Board " + std::to_string(index + 1) + ": " + b.caption + " (" + inches(b.DataWidth) +
         " x " + inches(b.DataHeight) + " inch at " + inches(b.PosX) + ", " + inches(b.PosY) + ")";
}

// A board added without --at goes to the first free place on the plotting
// area (the command line has no dragging); when none fits, it waits at the
// far corner, as the window parks a new board, and the operator is told.
void placeNewBoard(Job& job, size_t index, const std::optional<std::pair<double, double>>& at) {
  if (at) {
    job.moveTo(index, at->first, at->second);
  } else if (const auto place = firstFreePlace(job, index)) {
    job.moveTo(index, place->first, place->second);
    std::cout << "Placed at the first free place: " << inches(place->first) << ", "
              << inches(place->second) << " inch\n";
  } else {
    printNote("board " + std::to_string(index + 1) +
              " fits nowhere free on the plotting area: it waits at the far corner; move it "
              "with drumplot-cli job move");
  }
}

// drumplot-cli job list
// ============================================================================

// The data format a Gerber file states in its first 64 KB (%FS digits,
// zeros and notation; %MO or G70/G71 unit), as --format writes it; empty
// when it states none or cannot be read.
std::string statedFormat(const fs::path& file) {
  std::string head(size_t{1} << 16, '\0');
  std::ifstream in(file, std::ios::binary);
  in.read(head.data(), static_cast<std::streamsize>(head.size()));
  head.resize(static_cast<size_t>(in.gcount()));
  DataFormat format;
  bool digits = false, unit = false;
  std::stringstream statements(head);
  for (std::string s; std::getline(statements, s, '*');) {
    s.erase(0, s.find_first_not_of("% \t\r\n"));
    if (startsWith(s, "FS")) digits = true;
    if (startsWith(s, "MO") || startsWith(s, "G70") || startsWith(s, "G71")) unit = true;
    applyFormatStatement(s, format);
  }
  if (!digits) return unit ? (format.Metric ? "mm" : "inch") : "";
  std::string text = formatSpecText(format);
  if (!unit) text = text.substr(0, text.rfind(','));  // the unit is not stated
  return text;
}

void printText(const Job& job, std::ostream& out) {
  out << "Job: " << job.JobName << " ("
      << counted(static_cast<long long>(job.boards.size()), "board") << ")\n";
  for (size_t i = 0; i < job.boards.size(); ++i) {
    const Board& b = job.boards[i];
    out << "Board " << i + 1 << ": " << b.caption << "\n"
        << "  Position:   " << inches(b.PosX) << ", " << inches(b.PosY) << " inch\n"
        << "  Data size:  " << inches(b.DataWidth) << " x " << inches(b.DataHeight)
        << " inch, origin " << inches(b.DataMinX) << ", " << inches(b.DataMinY) << "\n"
        << "  Format:     " << formatText(b.format) << "\n";
    if (b.IsMark) out << "  Mark:       " << b.MarkName << "\n";
    for (int n = 1; n <= kLayerCount; ++n) {
      const std::string& gerber = b.LayerGerber[n - 1];
      const std::string& aperture = b.LayerAperture[n - 1];
      if (gerber.empty() && aperture.empty()) continue;
      out << "  Layer " << n << (n < 10 ? ":    " : ":   ") << gerber;
      if (!aperture.empty()) out << "  apertures " << aperture;
      const std::string stated = gerber.empty() ? "" : statedFormat(job.resolvePath(gerber));
      if (!stated.empty()) out << "  (the file states " << stated << ")";
      out << "\n";
    }
  }
}

void printJson(const Job& job, std::ostream& out) {
  out << "{" << jsonName("job", job.JobName) << ",\"boards\":[";
  for (size_t i = 0; i < job.boards.size(); ++i) {
    const Board& b = job.boards[i];
    const DataFormat& f = b.format;
    out << (i ? "," : "") << "{\"number\":" << i + 1 << "," << jsonName("caption", b.caption)
        << ",\"locked\":" << (b.Locked ? "true" : "false")
        << ",\"selected\":" << (b.Selected ? "true" : "false")
        << ",\"is_mark\":" << (b.IsMark ? "true" : "false") << ","
        << jsonName("mark_name", b.MarkName) << ",\"pos_x\":" << jsonNumber(b.PosX)
        << ",\"pos_y\":" << jsonNumber(b.PosY) << ",\"data_width\":" << jsonNumber(b.DataWidth)
        << ",\"data_height\":" << jsonNumber(b.DataHeight)
        << ",\"data_min_x\":" << jsonNumber(b.DataMinX)
        << ",\"data_min_y\":" << jsonNumber(b.DataMinY)
        << ",\"format\":{\"int_digits\":" << int(f.IntDigits)
        << ",\"dec_digits\":" << int(f.DecDigits)
        << ",\"zero_suppression\":" << int(f.ZeroSuppression) << ",\"absolute\":" << int(f.Absolute)
        << ",\"inch_units\":" << (f.Metric ? 0 : 1) << "},"
        << jsonNames("layer_gerber", b.LayerGerber) << ","
        << jsonNames("layer_aperture", b.LayerAperture) << "}";
  }
  out << "]}\n";
}

// drumplot-cli job - Subcommands
// ============================================================================

constexpr const char* kForceHelp =
    "Write back a job file that ends in a partial record (a board cut off): the partial "
    "record is left out";

// Adds a subcommand of `job` with the JOB argument and --settings, and for a
// command that writes the job back, --force.
CLI::App* addJobSubcommand(CLI::App& job, const char* name, const char* help, JobOptions& options,
                           const char* forceHelp = kForceHelp) {
  CLI::App* cmd = job.add_subcommand(name, help);
  options.command = std::string("job ") + name;
  cmd->add_option("JOB", options.jobFile, "Job file (.wpr)")->required();
  addSettingsOption(*cmd, options.settingsFile);
  if (forceHelp) cmd->add_flag("--force", options.force, forceHelp);
  return cmd;
}

void addNew(CLI::App& job, Action& action) {
  auto o = std::make_shared<JobOptions>();
  addJobSubcommand(job, "new", "Write an empty job file", *o,
                   "Replace an existing job file (a file that is no job file is never replaced)")
      ->callback([o, &action] {
        action = [o] {
          JobFileEdit edit = lockJobFile(o->jobFile);  // refuses a file that is no job file
          if (edit.exists() && !o->force) {
            throw IoError(o->jobFile + ": already exists (use --force to replace it)");
          }
          edit.save(Job{}, true);
          std::cout << "Empty job written to " << o->jobFile << "\n";
        };
      });
}

void addAdd(CLI::App& job, Action& action) {
  struct Options : JobOptions {
    std::string gerber;
    int layer = 1;
    std::string at;
    std::string format = "2.3,leading,abs,inch";
  };
  auto o = std::make_shared<Options>();
  auto* cmd = addJobSubcommand(
      job, "add", "Import a master Gerber file as a new board (Import Master Gerber)", *o,
      "Go on with a Gerber file whose size no plot can mean (read in the wrong format?), and "
      "write back a job file that ends in a partial record (left out)");
  cmd->add_option("GERBER", o->gerber, "Master Gerber file")->required();
  o->dataFile = &o->gerber;
  cmd->add_option("--layer", o->layer, "Layer that gets the file (default 1)")
      ->check(CLI::Range(1, kLayerCount));
  cmd->add_option("--at", o->at,
                  "Move the board to X,Y inches (left-top corner); without it the board goes "
                  "to the first free place: at the area's left-top corner or 5 mm right of or "
                  "below another board, the topmost then leftmost where what it draws fits "
                  "(when none fits it waits at the far corner, as an import does)");
  cmd->add_option("--format", o->format, kFormatHelp)->check(FormatSpecValidator());
  cmd->callback([o, &action] {
    action = [o] {
      std::optional<std::pair<double, double>> at;
      if (!o->at.empty()) at = parsePair(o->at, "--at");
      EditedJob edited(*o, true);
      Job& job = edited.job;
      job.storedActiveLayer = o->layer;
      job.CurrentFormat = parseFormatSpec(o->format);
      ImportResult result = importMasterGerber(job, storedPath(o->gerber, job));
      requireReadData(result.status, o->gerber);
      if (!result.hasDrawing) {
        throw FormatError(o->gerber +
                          ": no draw or flash statement: the board would draw nothing; nothing "
                          "was added");
      }
      for (const std::string& w : result.warnings) printWarning(w);
      if (!result.sizeProblem.empty()) {
        if (!o->force) {
          throw FormatError(o->gerber + ": " + result.sizeProblem +
                            "; nothing was added (use --force to add it all the same)");
        }
        printWarning(o->gerber + ": " + result.sizeProblem);
      }
      placeNewBoard(job, result.index, at);
      edited.save();
      std::cout << describe(job, result.index) << "\n";
    };
  });
}

void addLayer(CLI::App& job, Action& action) {
  struct Options : JobOptions {
    int board = 0;
    int layer = 1;
    std::string gerber;
    std::string apertures;
  };
  auto o = std::make_shared<Options>();
  auto* cmd = addJobSubcommand(job, "layer",
                               "Name a board's Gerber file (and aperture file) on a layer", *o);
  cmd->add_option("--board", o->board, "Board number (from 1, in list order)")->required();
  cmd->add_option("--layer", o->layer, "Layer 1..18")
      ->required()
      ->check(CLI::Range(1, kLayerCount));
  cmd->add_option("GERBER", o->gerber, "Gerber file of the layer")->required();
  o->dataFile = &o->gerber;
  cmd->add_option("--apertures", o->apertures, "Aperture file (.Env) of the layer");
  cmd->callback([o, &action] {
    action = [o] {
      EditedJob edited(*o, true);
      Job& job = edited.job;
      size_t index = boardIndex(job, o->board);
      std::string gerber = storedPath(o->gerber, job);
      std::string apertures = o->apertures.empty() ? "" : storedPath(o->apertures, job);
      job.selectBoard(index);
      job.storedActiveLayer = o->layer;
      job.addGerberOnActiveLayer(gerber);
      if (!apertures.empty()) job.boards[index].LayerAperture[o->layer - 1] = apertures;
      edited.save();
      std::cout << "Board " << o->board << ", layer " << o->layer << ": " << gerber
                << (apertures.empty() ? "" : "  apertures " + apertures) << "\n";
    };
  });
}

void addMove(CLI::App& job, Action& action) {
  struct Options : JobOptions {
    int board = 0;
    std::string to;
  };
  auto o = std::make_shared<Options>();
  auto* cmd = addJobSubcommand(job, "move", "Move a board to a place (Move to)", *o);
  cmd->add_option("--board", o->board, "Board number (from 1)")->required();
  cmd->add_option("--to", o->to, "Left-top corner X,Y in inches, 0,0 is the left-top corner")
      ->required();
  cmd->callback([o, &action] {
    action = [o] {
      auto [x, y] = parsePair(o->to, "--to");
      EditedJob edited(*o, true);
      Job& job = edited.job;
      size_t index = boardIndex(job, o->board);
      job.moveTo(index, x, y);
      edited.save();
      std::cout << describe(job, index) << "\n";
    };
  });
}

void addRelativeMove(CLI::App& job, Action& action) {
  struct Options : JobOptions {
    std::string by;
  };
  auto o = std::make_shared<Options>();
  auto* cmd = addJobSubcommand(
      job, "relative-move",
      "Move every locked board by DX,DY inches (every board of a job file opens locked)", *o);
  cmd->add_option("--by", o->by, "DX,DY in inches")->required();
  cmd->callback([o, &action] {
    action = [o] {
      auto [dx, dy] = parsePair(o->by, "--by");
      EditedJob edited(*o, true);
      Job& job = edited.job;
      job.relativeMoveLocked(dx, dy);
      edited.save();
      std::cout << "Moved the locked boards by " << inches(dx) << ", " << inches(dy) << " inch\n";
    };
  });
}

void addLock(CLI::App& job, Action& action, const char* name, bool locked) {
  struct Options : JobOptions {
    int board = 0;
  };
  auto o = std::make_shared<Options>();
  auto* cmd = addJobSubcommand(
      job, name, locked ? "Lock one board or every board" : "Unlock one board or every board", *o);
  cmd->add_option("--board", o->board, "Board number (from 1); without it every board");
  cmd->callback([o, &action, locked] {
    action = [o, locked] {
      EditedJob edited(*o, true);
      Job& job = edited.job;
      if (o->board != 0) {
        job.setLocked(boardIndex(job, o->board), locked);
      } else {
        job.setAllLocked(locked);
      }
      edited.save();
      std::cout << (o->board ? "Board " + std::to_string(o->board) : std::string("Every board"))
                << (locked ? " locked" : " unlocked")
                << " (a job file does not store locks: every board opens locked)\n";
    };
  });
}

void addDelete(CLI::App& job, Action& action) {
  struct Options : JobOptions {
    int board = 0;
  };
  auto o = std::make_shared<Options>();
  auto* cmd = addJobSubcommand(job, "delete", "Delete a board", *o);
  cmd->add_option("--board", o->board, "Board number (from 1)")->required();
  cmd->callback([o, &action] {
    action = [o] {
      EditedJob edited(*o, true);
      Job& job = edited.job;
      job.selectBoard(boardIndex(job, o->board));
      job.deleteSelected();
      edited.save();
      std::cout << "Board " << o->board << " deleted; "
                << counted(static_cast<long long>(job.boards.size()), "board") << " left\n";
    };
  });
}

// --panel COLSxROWS: the whole panel, the source board counted.
std::pair<int, int> parsePanel(const std::string& text) {
  const size_t x = text.find_first_of("xX");
  const std::optional<long long> cols =
      x == std::string::npos ? std::nullopt : parseInteger(text.substr(0, x));
  const std::optional<long long> rows =
      x == std::string::npos ? std::nullopt : parseInteger(text.substr(x + 1));
  if (!cols || !rows || *cols < 1 || *rows < 1 || *cols > 101 || *rows > 101) {
    throw std::invalid_argument("--panel '" + text +
                                "': expected COLSxROWS, each 1..101, the board itself counted "
                                "(2x2 is four boards)");
  }
  return {static_cast<int>(*cols), static_cast<int>(*rows)};
}

// Refuses a panel whose boards would not all lie on the plotting area by
// what they draw, saying how many columns and rows fit.
void requirePanelFits(const Job& job, size_t index, const PanelizeRequest& request,
                      const std::string& asked) {
  const PanelCells fit = fittingCells(job, index, request, request.repeatX + 1, request.repeatY + 1,
                                      job.settings.PlotWidth, job.settings.PlotHeight);
  if (fit.columns > request.repeatX && fit.rows > request.repeatY) return;
  throw FormatError("--panel " + asked + ": only " + std::to_string(fit.columns) + "x" +
                    std::to_string(fit.rows) + " boards of board " + std::to_string(index + 1) +
                    " fit on the plotting area (" + inches(job.settings.PlotWidth) + " x " +
                    inches(job.settings.PlotHeight) +
                    " inch) by what they draw, from where it lies; nothing added");
}

void addPanelize(CLI::App& job, Action& action) {
  struct Options : JobOptions {
    int board = 0;
    std::string repeat;
    std::string panel;
    std::string gap = "5,5";
  };
  auto o = std::make_shared<Options>();
  auto* cmd = addJobSubcommand(
      job, "panelize",
      "Repeat a board into a panel of locked copies to the right and downwards, each the "
      "board's data size plus the gap from the next",
      *o);
  cmd->add_option("--board", o->board, "Board number (from 1)")->required();
  auto* panel = cmd->add_option(
      "--panel", o->panel,
      "The whole panel COLSxROWS, the board itself counted (2x2: the board and three copies); "
      "refused, nothing added, unless every board of it lies on the plotting area by what it "
      "draws");
  auto* repeat = cmd->add_option(
      "--repeat", o->repeat,
      "Further copies NX,NY (each 0..100) beside the board, which is not counted (1,1 is a 2x2 "
      "panel); copies whose left-top corner falls off the plotting area are left out, as the "
      "window's Panelize does");
  panel->excludes(repeat);
  cmd->add_option("--gap", o->gap, "Gap between neighbours DX,DY in millimetres (default 5,5)");
  cmd->callback([o, &action] {
    action = [o] {
      if (o->panel.empty() == o->repeat.empty())
        throw std::invalid_argument("job panelize: give --panel COLSxROWS or --repeat NX,NY");
      auto [dx, dy] = parsePair(o->gap, "--gap");
      PanelizeRequest request{0, 0, dx, dy};
      if (!o->panel.empty()) {
        const auto [cols, rows] = parsePanel(o->panel);
        request.repeatX = cols - 1;
        request.repeatY = rows - 1;
      } else {
        auto [nx, ny] = parsePair(o->repeat, "--repeat");
        auto count = [](double n) {
          if (n < 0 || n > 100 || n != static_cast<int>(n)) {
            throw std::invalid_argument("--repeat: counts are whole numbers 0..100");
          }
          return static_cast<int>(n);
        };
        request.repeatX = count(nx);
        request.repeatY = count(ny);
      }
      EditedJob edited(*o, true);
      Job& job = edited.job;
      size_t index = boardIndex(job, o->board);
      if (!o->panel.empty()) requirePanelFits(job, index, request, o->panel);
      job.selectBoard(index);
      const int copies = panelize(job, request);
      if (copies == 0) {
        throw FormatError("board " + std::to_string(o->board) + ": no copy added: " +
                          (request.repeatX == 0 && request.repeatY == 0
                               ? std::string("the panel is the board alone")
                               : "every copy's left-top corner would lie off the plotting area (" +
                                     inches(job.settings.PlotWidth) + " x " +
                                     inches(job.settings.PlotHeight) + " inch)") +
                          "; the job is unchanged");
      }
      edited.save();
      std::cout << "Board " << o->board << ": "
                << (copies == 1 ? "1 copy" : std::to_string(copies) + " copies") << " added; "
                << counted(static_cast<long long>(job.boards.size()), "board") << "\n";
    };
  });
}

void addMark(CLI::App& job, Action& action) {
  struct Options : JobOptions {
    std::string name;
    std::string at;
    std::string target;
  };
  auto o = std::make_shared<Options>();
  auto* cmd = addJobSubcommand(
      job, "mark",
      "Insert a registration mark from the settings' mark table. A mark is defined in the "
      "[Setup] section of the settings file (GerbPrj.ini, see --settings) by a name and a "
      "Gerber file: NameM1=Target and PathM1=/path/to/demo-mark.gbr, up to NameM10/PathM10; "
      "drumplot-cli settings init writes a file to fill in. A relative PathMn is read from "
      "the job file's folder",
      *o);
  cmd->add_option("--name", o->name, "Mark name (NameM1..NameM10)")->required();
  auto* atOption = cmd->add_option("--at", o->at, "Move the mark's left-top corner to X,Y inches");
  cmd->add_option("--target", o->target,
                  "Move the mark so that its target, the centre of the mark file's extents "
                  "(where the drill panel puts its hit and the registration pin goes), lies at "
                  "X,Y inches")
      ->excludes(atOption);
  cmd->callback([o, &action] {
    action = [o] {
      std::optional<std::pair<double, double>> at, target;
      if (!o->at.empty()) at = parsePair(o->at, "--at");
      if (!o->target.empty()) target = parsePair(o->target, "--target");
      EditedJob edited(*o, true);
      Job& job = edited.job;
      std::vector<std::string> names = markChoices(job.settings.marks);
      int choice = -1;
      for (size_t i = 0; i < names.size() && choice < 0; ++i) {
        if (names[i] == o->name) choice = static_cast<int>(i);
      }
      std::string settings =
          o->settingsFile.empty() ? settingsFilePath().string() : o->settingsFile;
      std::error_code ec;
      if (!fs::exists(settings, ec)) {
        throw IoError(settings +
                      ": no such settings file; the marks are defined in its [Setup] section "
                      "(NameM1=NAME, PathM1=MARK.gbr): `drumplot-cli settings init " +
                      settings + "` writes one to fill in");
      }
      size_t index = 0;
      switch (insertMark(job, choice, &index)) {
        case MarkInsertResult::Inserted:
          break;
        case MarkInsertResult::NoMarkDefined:
          throw FormatError(settings + ": " + kNoMarkDefined +
                            " (define one in its [Setup] section: NameM1=NAME and "
                            "PathM1=MARK.gbr; see drumplot-cli job mark --help)");
        case MarkInsertResult::NotOffered: {
          std::string offered;
          for (const std::string& n : names) offered += (offered.empty() ? "" : ", ") + n;
          throw std::invalid_argument(settings + ": no mark named '" + o->name +
                                      "' (offered: " + offered + ")");
        }
        case MarkInsertResult::FileUnusable:
          throw IoError(
              job.resolvePath(job.settings.marks[static_cast<size_t>(choice)].path).string() +
              ": mark file missing or shorter than 10 bytes");
      }
      const Board& mark = job.boards[index];
      if (target) at = {target->first - mark.DataWidth / 2, target->second - mark.DataHeight / 2};
      if (at) job.moveTo(index, at->first, at->second);
      edited.save();
      std::cout << describe(job, index) << ", target at " << inches(mark.PosX + mark.DataWidth / 2)
                << ", " << inches(mark.PosY + mark.DataHeight / 2) << "\n";
    };
  });
}

void addList(CLI::App& job, Action& action) {
  struct Options : JobOptions {
    bool json = false;
  };
  auto o = std::make_shared<Options>();
  auto* cmd = addJobSubcommand(job, "list", "Print every board with its fields", *o, nullptr);
  cmd->add_flag("--json", o->json, "Print one JSON object instead of text");
  cmd->callback([o, &action] {
    action = [o] {
      std::optional<EditedJob> edited;
      try {
        edited.emplace(*o, false);
      } catch (const std::exception& e) {
        if (o->json) std::cout << jsonJobError(e, o->jobFile) << std::flush;
        throw;
      }
      const Job& job = edited->job;
      if (o->json) {
        printJson(job, std::cout);
      } else {
        printText(job, std::cout);
      }
    };
  });
}

// drumplot-cli job repair
// ============================================================================

void addRepair(CLI::App& job, Action& action) {
  struct Options {
    std::string jobFile;
    bool write = false;
  };
  auto o = std::make_shared<Options>();
  auto* cmd = job.add_subcommand(
      "repair",
      "Mend a job file that earlier versions wrote with values that every command refuses: "
      "prints each such field and what mending does to it. Without --write nothing is "
      "written: exit status 0 when there is nothing to mend, 1 when there is");
  cmd->add_option("JOB", o->jobFile, "Job file (.wpr)")->required();
  cmd->add_flag("--write", o->write,
                "Mend the job: a text holding control characters is cleared, a position that is "
                "not a length or lies outside -1000 .. 1000 inch is set to 0, a board whose data "
                "size or origin is not a length is dropped, a cut-off last record is left out. "
                "The old file is kept beside it as JOB.bak (refused when that exists)");
  cmd->callback([o, &action] {
    action = [o] {
      const JobRepair repair = repairJobFile(o->jobFile, o->write);
      for (const std::string& finding : repair.findings) std::cout << finding << "\n";
      if (repair.findings.empty()) {
        std::cout << o->jobFile << ": nothing to mend\n";
      } else if (!o->write) {
        std::cout.flush();
        throw FormatError(
            o->jobFile + ": " + std::to_string(repair.findings.size()) +
            " faults to mend; nothing was written (--write mends them and keeps the old "
            "file as " +
            o->jobFile + ".bak)");
      } else {
        std::cout << "Mended " << o->jobFile << "; the old file is " << repair.backup.string()
                  << "\n";
      }
    };
  });
}

// drumplot-cli job add-board
// ============================================================================

// The layer map of `--map` values: "PATTERN=ROLE" patterns, which come
// before those of the map's file, and at most one INI file that stands for
// the settings file.
LayerMap addBoardLayerMap(const std::vector<std::string>& values, const std::string& settingsFile) {
  std::vector<NamePattern> patterns;
  std::optional<fs::path> mapFile;
  for (const std::string& value : values) {
    const size_t equals = value.find('=');
    if (equals == std::string::npos) {
      if (mapFile) {
        throw std::invalid_argument("--map " + value + ": a second layer map file (after " +
                                    mapFile->string() + "); one file, any number of PATTERN=ROLE");
      }
      if (!fs::is_regular_file(value)) {
        throw std::invalid_argument("--map " + value +
                                    ": no such file (a pattern is written PATTERN=ROLE)");
      }
      mapFile = value;
      continue;
    }
    try {
      patterns.push_back(parseNamePattern(std::string_view(value).substr(0, equals),
                                          std::string_view(value).substr(equals + 1)));
    } catch (const std::invalid_argument& e) {
      throw std::invalid_argument("--map " + value + ": " + e.what());
    }
  }
  if (!mapFile) mapFile = settingsFile.empty() ? settingsFilePath() : fs::path(settingsFile);
  LayerMap map = readLayerMap(IniDocument::load(*mapFile), mapFile->string());
  map.patterns.insert(map.patterns.begin(), patterns.begin(), patterns.end());
  return map;
}

void addAddBoard(CLI::App& job, Action& action) {
  struct Options : JobOptions {
    std::string source;
    std::string at;
    std::vector<std::string> map;
    std::string unpackTo;
    std::string format = "2.3,leading,abs,inch";
  };
  auto o = std::make_shared<Options>();
  auto* cmd = addJobSubcommand(
      job, "add-board",
      "Import a whole board from a folder or zip file: each file's role from the layer map's "
      "name patterns, else its X2 file function, else the name the CAD programs give it "
      "(KiCad, Altium/Protel, Eagle, EasyEDA, Proteus, Pulsonix, gEDA, DipTrace, OrCAD, ...), "
      "drill files by their M48 header; each role on the layer the layer map gives it. Prints "
      "file -> role -> layer; files it cannot place are listed, not guessed",
      *o);
  cmd->add_option("PATH", o->source, "Folder or zip file with the board's files")->required();
  o->dataFile = &o->source;
  cmd->add_option("--at", o->at,
                  "Move the board to X,Y inches (left-top corner); without it the board goes to "
                  "the first free place, as for job add");
  cmd->add_option("--map", o->map,
                  "PATTERN=ROLE: files whose name matches the glob PATTERN (* any run, ? any "
                  "character, case aside) take ROLE (TopCopper, BottomCopper, InnerCopper1..16, "
                  "TopMask, BottomMask, TopSilk, BottomSilk, TopPaste, BottomPaste, Outline, "
                  "Drill), before their X2 attributes, their name and the settings' [LayerMap]; "
                  "may be repeated. Or INI: the layer map of this INI file instead of the "
                  "settings file's ([BoardLayers] role -> layer; keys absent take the defaults "
                  "TopCopper=1, BottomCopper=2, InnerCopper1..8=3..10, TopMask=11, BottomMask=12, "
                  "TopSilk=13, BottomSilk=14, TopPaste=15, BottomPaste=16, Outline=17, Drill=18; "
                  "and its [LayerMap] patterns)");
  cmd->add_option("--unpack-to", o->unpackTo,
                  "Folder a zip file is unpacked into (default: beside the zip, named after it)");
  cmd->add_option("--format", o->format, kFormatHelp)->check(FormatSpecValidator());
  cmd->callback([o, &action] {
    action = [o] {
      EditedJob edited(*o, true);
      Job& job = edited.job;
      std::optional<std::pair<double, double>> at;
      if (!o->at.empty()) at = parsePair(o->at, "--at");
      const LayerMap map = addBoardLayerMap(o->map, o->settingsFile);
      job.CurrentFormat = parseFormatSpec(o->format);
      BoardImportPlan plan =
          planBoardImport(o->source, job.CurrentFormat, map, o->unpackTo,
                          static_cast<uint64_t>(job.settings.memoryBudgetBytes()));
      std::cout << importTable(plan);
      if (const std::string missing = plan.missingUsualLayers(); !missing.empty())
        std::cout << "Not found: " << missing << "\n";
      const size_t index = addImportedBoard(
          job, plan, [&job](const fs::path& file) { return storedPath(file.string(), job); });
      placeNewBoard(job, index, at);
      edited.save();
      plan.unpacked.keep();  // refused before this: the zip's files go again
      std::cout << plan.placedCount() << " of " << plan.files.size() << " files placed\n"
                << describe(job, index) << "\n";
    };
  });
}

// drumplot-cli job template
// ============================================================================

void addTemplate(CLI::App& job, Action& action) {
  struct Options : JobOptions {
    std::string output;
    std::vector<int> layers;
    TemplateFilm film;
    bool techArea = false;
  };
  auto o = std::make_shared<Options>();
  auto* cmd = addJobSubcommand(
      job, "template",
      "Write a panel template of the job for drumplot-cli plot: the first board's place, the "
      "grid and gap of its copies, each mark's target from the panel's left-top corner, the "
      "settings' tech area; the films as the options say (a job file holds none)",
      *o, nullptr);
  cmd->add_option("-o,--output", o->output, "Template to write (.ini)")->required();
  cmd->add_option("--layers", o->layers, "Layers that become films 1,2,... (default: all)")
      ->delimiter(',')
      ->check(CLI::Range(1, kLayerCount));
  cmd->add_option("--format", o->film.format, "Films as fpf, tiff (default) or bmp")
      ->check(CLI::IsMember({"fpf", "tiff", "bmp"}));
  cmd->add_option("--dpi", o->film.dpi, "Films' resolution (default 2032)")
      ->check(CLI::Range(100, 65535));
  cmd->add_flag("--mirror", o->film.mirror, "Mirrored films");
  cmd->add_flag("--negative", o->film.negative, "Negative films");
  cmd->add_flag("--tech-area", o->techArea, "Draw the tech area around the panel");
  cmd->callback([o, &action] {
    action = [o] {
      PanelTemplate t;
      {
        EditedJob edited(*o, false);
        refuseOverwritingInput({o->output}, edited.job.inputFiles());
        t = templateOfJob(edited.job);
      }
      t.film = o->film;
      t.layers = o->layers;
      std::sort(t.layers.begin(), t.layers.end());
      t.layers.erase(std::unique(t.layers.begin(), t.layers.end()), t.layers.end());
      t.techAreaOn = o->techArea;
      writePanelTemplate(o->output, t);
      std::cout << o->output << ": a panel of " << t.columns << "x" << t.rows << " boards at "
                << inches(t.firstAt->first) << ", " << inches(t.firstAt->second) << " inch, "
                << counted(static_cast<long long>(t.marks.size()), "mark") << "\n";
    };
  });
}

}  // namespace

void addJobCommand(CLI::App& app, Action& action) {
  auto* job = app.add_subcommand(
      "job",
      "Build and edit job files (.wpr): each subcommand reads the job file and writes it back. "
      "Boards are numbered from 1 in list order; lengths are inches unless said otherwise.");
  job->require_subcommand(1);
  addNew(*job, action);
  addAdd(*job, action);
  addAddBoard(*job, action);
  addLayer(*job, action);
  addMove(*job, action);
  addRelativeMove(*job, action);
  addLock(*job, action, "lock", true);
  addLock(*job, action, "unlock", false);
  addDelete(*job, action);
  addPanelize(*job, action);
  addMark(*job, action);
  addList(*job, action);
  addRepair(*job, action);
  addTemplate(*job, action);
}

}  // namespace drumplot::cli
