// SPDX-License-Identifier: MIT
// drumplot-cli verify and fpf diff: a film on disk against the job it came
// from, or against another film. Exit status 0: identical; 1: they differ;
// 3: they cannot be compared.
#include <cstdio>
#include <iostream>
#include <memory>
#include <new>
#include <sstream>
#include <string>

#include "cli/command_registry.h"
#include "cli/export_options.h"
#include "cli/json_writer.h"
#include "io/file_io.h"
#include "job/settings_file.h"
#include "output/film_compare.h"
#include "output/film_reader.h"

namespace drumplot::cli {

namespace {

namespace fs = std::filesystem;

constexpr int kDiffers = 1;
constexpr int kNotCompared = 3;

struct DiffOptions {
  std::string picture;
  uint32_t pictureWidth = 2000;
  bool json = false;
};

void addDiffOptions(CLI::App& cmd, DiffOptions& d) {
  cmd.add_option("--diff", d.picture,
                 "Also write the differences as OUT.png, the film reduced: black exposed in both, "
                 "red only in the film, blue only in the job, magenta both kinds, white neither");
  cmd.add_option("--diff-width", d.pictureWidth,
                 "Width of the --diff picture in pixels (default 2000; the height in proportion)")
      ->check(CLI::Range(1u, kMaxPngSide));
  cmd.add_flag("--json", d.json, "Print the findings as JSON");
}

void printJson(const std::string& film, const FilmComparison& r, const std::string& matches) {
  const FilmFacts& f = r.film;
  std::ostringstream out;
  out << "{" << jsonName("film", film) << ",\"identical\":" << (r.identical() ? "true" : "false")
      << ",\"width\":" << f.width << ",\"height\":" << f.height << ",\"dpi\":" << jsonNumber(f.dpi)
      << ",\"differing_pixels\":" << r.differingPixels << ",\"first_rows\":[";
  for (size_t i = 0; i < r.firstRows.size(); ++i) {
    out << (i ? "," : "") << "{\"row\":" << r.firstRows[i].row
        << ",\"pixels\":" << r.firstRows[i].pixels << "}";
  }
  out << "],\"boxes\":[";
  for (size_t i = 0; i < r.boxes.size(); ++i) {
    const DifferenceBox& b = r.boxes[i];
    out << (i ? "," : "") << "{\"left\":" << filmInches(b.left, f.dpi)
        << ",\"top\":" << filmInches(b.top, f.dpi) << ",\"right\":" << filmInches(b.right, f.dpi)
        << ",\"bottom\":" << filmInches(b.bottom, f.dpi) << ",\"pixels\":" << b.pixels << "}";
  }
  out << "],\"box_count\":" << r.boxCount << ",\"differing_parts\":[";
  for (size_t i = 0; i < r.differingParts.size(); ++i)
    out << (i ? "," : "") << jsonString(r.differingParts[i]);
  out << "],\"matches_with\":" << (matches.empty() ? "null" : jsonString(matches)) << "}\n";
  std::cout << out.str();
}

// The report, then the exit status: 0 when identical, else 1.
void report(const std::string& film, const FilmComparison& r, const DiffOptions& d,
            const std::string& matches) {
  if (d.json) {
    printJson(film, r, matches);
  } else {
    std::cout << comparisonText(film, r, matches);
    if (!d.picture.empty()) std::cout << "  differences: " << d.picture << "\n";
  }
  std::cout.flush();
  if (!r.identical()) throw CommandStatus(kDiffers, "");
}

// Runs a comparison: what stops it is said with exit status 3 (2 stays the
// command line's).
template <typename Compare>
void comparing(const DiffOptions& d, Compare&& compare) {
  if (!d.picture.empty())
    requireExtension("--diff", d.picture, {".png"}, "--diff writes a PNG picture (.png)");
  try {
    compare();
  } catch (const CommandStatus&) {
    throw;
  } catch (const std::invalid_argument&) {
    throw;
  } catch (const std::bad_alloc&) {
    throw CommandStatus(kNotCompared,
                        "not enough memory to compare the films (a lower --memory may fit)");
  } catch (const std::exception& e) {
    if (d.json) std::cout << jsonError(e.what(), "") << "\n";
    throw CommandStatus(kNotCompared, e.what());
  }
}

const char* formatOption(FilmFormat format) {
  return format == FilmFormat::Tiff ? "tiff" : format == FilmFormat::Bmp ? "bmp" : "fpf";
}

}  // namespace

void addVerifyCommand(CLI::App& app, Action& action) {
  struct Options : ExportOptions {
    DiffOptions diff;
  };
  auto o = std::make_shared<Options>();
  auto* cmd = app.add_subcommand(
      "verify",
      "Check a film against its job: the job drawn again band by band as export draws it with "
      "the same options, compared with the film (a plotter file, TIFF film or BMP, known by its "
      "content) row by row; a plotter file's header, thumbnail, preview and notes too. Exit "
      "status 0: identical; 1: it differs (the pixels, first rows and boxes are printed); 3: it "
      "cannot be compared (damaged, of another size or resolution)");
  addExportOptions(*cmd, *o);
  for (const char* name : {"-o", "--overview", "--split-layers", "--format", "--verbose"})
    cmd->remove_option(cmd->get_option(name));
  cmd->get_option("--force")->description(
      "Draw a layer file that step and repeat and aperture blocks expand to more than 2^30 "
      "operations");
  cmd->add_option("FILM", o->outputFile, "The film: a plotter file, a TIFF film or a BMP")
      ->required();
  addDiffOptions(*cmd, o->diff);
  cmd->callback([o, cmd, &action] {
    action = [o, cmd] {
      comparing(o->diff, [&] {
        Job job = openJobWithSettings(*o, "verify");
        if (!o->diff.picture.empty()) {
          std::vector<fs::path> inputs = job.inputFiles();
          inputs.emplace_back(o->outputFile);
          refuseOverwritingInput({o->diff.picture}, inputs);
        }
        o->format = formatOption(openFilm(o->outputFile)->facts().format);
        FilmSettings settings = exportFilmSettings(*cmd, *o, job);
        Progress progress;
        settings.plotter.run.progress = &progress;
        FilmComparison r;
        {
          ProgressDisplay display(progress);
          r = verifyFilm(job, settings, o->outputFile, {o->diff.picture, o->diff.pictureWidth});
        }
        if (r.cancelled) throw CommandStatus(kNotCompared, "verify cancelled");
        report(o->outputFile, r, o->diff,
               matchesWith(r, settings.plotter.mirror, settings.plotter.negative));
      });
    };
  });
}

void addFpfDiff(CLI::App& fpf, Action& action) {
  struct Options {
    std::string first, second;
    DiffOptions diff;
    int memory_MB = 0;
    std::string settingsFile;
  };
  auto o = std::make_shared<Options>();
  auto* cmd = fpf.add_subcommand(
      "diff",
      "Compare two films of the same size and resolution (any two of plotter file, TIFF film, "
      "BMP) row by row as verify does; B's differences from A. Exit status 0: identical; 1: "
      "they differ; 3: they cannot be compared (damaged, or a field of their headers differs)");
  cmd->add_option("A", o->first, "The first film")->required();
  cmd->add_option("B", o->second, "The second film")->required();
  addDiffOptions(*cmd, o->diff);
  cmd->add_option("--memory", o->memory_MB,
                  "Memory for the rows read at a time in MB (default: Memory from the settings)")
      ->check(CLI::Range(1, 65536));
  addSettingsOption(*cmd, o->settingsFile);
  cmd->callback([o, &action] {
    action = [o] {
      comparing(o->diff, [&] {
        if (!o->diff.picture.empty())
          refuseOverwritingInput({o->diff.picture}, {o->first, o->second});
        const uint64_t budget = memoryBudgetBytes(
            o->memory_MB > 0 ? o->memory_MB : readCommandSettings(o->settingsFile).memoryMegabytes);
        Progress progress;
        FilmComparison r;
        {
          ProgressDisplay display(progress);
          r = compareFilms(o->first, o->second, {o->diff.picture, o->diff.pictureWidth}, budget,
                           &progress);
        }
        if (r.cancelled) throw CommandStatus(kNotCompared, "fpf diff cancelled");
        report(o->second, r, o->diff, "");
      });
    };
  });
}

}  // namespace drumplot::cli
