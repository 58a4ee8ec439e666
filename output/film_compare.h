// SPDX-License-Identifier: MIT
// A film on disk checked against the job it came from (drawn again band by
// band as the export draws it), or two films against each other: the
// differing pixels counted, the first differing rows, boxes around them and
// a reduced picture of the differences, in bounded memory.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "engine/progress.h"
#include "job/job.h"
#include "output/film_export.h"
#include "output/film_reader.h"

namespace drumplot {

// The first rows reported, and the first boxes.
inline constexpr size_t kReportedRows = 10;
inline constexpr size_t kReportedBoxes = 20;

struct DifferingRow {
  uint32_t row = 0;     // in file order, from the film's top
  uint64_t pixels = 0;  // differing in it
};

// Differing pixels merged per half-inch tile, touching tiles into one box:
// film pixels left to right and top to bottom (the ends excluded, the box
// ends at the film's edge), from the film's top-left corner.
struct DifferenceBox {
  uint32_t left = 0, top = 0, right = 0, bottom = 0;
  uint64_t pixels = 0;
};

// The picture of the differences: the film reduced to `width` pixels wide
// (never more than the film's width), the height in proportion; a pixel is
// black where a film pixel under it is exposed in both, red where one is
// exposed only in the film (the second), blue only in the job (the first),
// magenta both of these, white else. An RGB PNG; none when `file` is empty.
struct DiffPictureSettings {
  std::filesystem::path file;
  uint32_t width = 2000;
};

struct FilmComparison {
  FilmFacts film;  // the film's (the second one's)
  uint64_t differingPixels = 0;
  std::vector<DifferingRow> firstRows;  // at most kReportedRows
  std::vector<DifferenceBox> boxes;     // the first kReportedBoxes from the top, then the left
  uint64_t boxCount = 0;
  // The parts besides the image that differ, each named with how
  // ("notes: 'panel A' in the film, 'panel B' in the job").
  std::vector<std::string> differingParts;
  // verify, a film with rows that the mirror turns: its differing pixels
  // against the job drawn with the mirror the other way.
  std::optional<uint64_t> mirroredPixels;
  bool cancelled = false;  // the comparison was cancelled: nothing else holds
  RasterStats raster;      // verify: the job's drawing

  bool identical() const { return differingPixels == 0 && differingParts.empty(); }
};

// The job drawn as `settings` ask (settings.format is the film's format;
// settings.plotter.file is not written) compared with the film at `film`.
// The header, thumbnail, preview and notes of a plotter file and the notes
// of a TIFF film are compared too. The drawing keeps to the run's memory;
// the comparison holds a few MB more. Progress and cancel through
// settings.plotter.run.progress. Throws FormatError when the film cannot be
// compared: damaged (naming the rows), of another format, size or
// resolution than the job's film (naming the field), and IoError /
// FormatError as the export does.
FilmComparison verifyFilm(const Job& job, const FilmSettings& settings,
                          const std::filesystem::path& film, const DiffPictureSettings& diff = {});

// Two films of any format compared (`first` as the job above): refused
// (FormatError naming the field) when their width, height or resolution
// differ. Plotter files have their notes, thumbnail and preview compared,
// two TIFF films their notes. Rows are read `budgetBytes` at a time (at
// most 16 MB); progress after each.
FilmComparison compareFilms(const std::filesystem::path& first, const std::filesystem::path& second,
                            const DiffPictureSettings& diff, uint64_t budgetBytes,
                            Progress* progress = nullptr);

// Film pixels as inches, three decimals ("1.250").
std::string filmInches(uint32_t px, double dpi);

// The settings that, turned, the film matches with ("with --mirror",
// "without --negative", both joined by "and"); empty when none or identical.
std::string matchesWith(const FilmComparison& r, bool mirror, bool negative);

// The findings as verify prints them: the verdict, the differing pixels,
// the first rows, the boxes in inches, the parts, and `matches`.
std::string comparisonText(const std::string& film, const FilmComparison& r,
                           const std::string& matches);

}  // namespace drumplot
