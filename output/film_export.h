// SPDX-License-Identifier: MIT
// Films: the job written as a plotter file (FPF), a TIFF film or the job
// bitmap (BMP), positive or negative, as one film of every chosen layer or
// as one film per layer.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "job/job.h"
#include "output/film_settings.h"
#include "output/job_bitmap.h"
#include "output/tiff_film.h"

namespace drumplot {

enum class FilmFormat { Fpf, Tiff, Bmp };

// The format a file name asks for by its extension (any case): ".fpf",
// ".tif" or ".tiff", ".bmp"; none for any other.
std::optional<FilmFormat> filmFormatOfName(const std::filesystem::path& file);

// Everything a film takes. The job bitmap (Bmp) uses the plotter's draw
// and run settings, the file and `negative` only: its resolution and rows
// are its own.
struct FilmSettings {
  PlotterExportSettings plotter;
  TiffFilmSettings tiff;  // Tiff only
  FilmFormat format = FilmFormat::Fpf;
  // One film per chosen layer that a board has a file on, named after
  // plotter.file (layerFilmName). Every film keeps the size of the whole
  // export, so that the films of a job lie on each other.
  bool splitLayers = false;
};

struct FilmSummary {
  std::filesystem::path file;
  int layer = 0;  // the one layer the film carries; 0: every chosen layer
  std::variant<PlotterExportSummary, TiffFilmSummary, JobBitmapSummary> output;

  // What every format tells.
  const MonoImage& overview() const;
  const RasterStats& raster() const;
  bool cancelled() const;
  double seconds() const;
  // The image's width and height in pixels.
  std::pair<int64_t, int64_t> size_px() const;
};

struct FilmExportSummary {
  std::vector<FilmSummary> films;  // in layer order
  bool cancelled = false;          // nothing was written
  double seconds = 0.0;            // all of it, the files' commits included
};

// `file` with the layer's number (two digits) and name added before the
// extension, characters other than letters, digits, '-' and '_' in the
// name made '_': ("out/panel.tif", 3, "Bottom copper") gives
// "out/panel-03-Bottom_copper.tif".
std::filesystem::path layerFilmName(const std::filesystem::path& file, int layer,
                                    const std::string& name);

// The name a layer's film carries: the layer's role ("top-copper") when the
// names of its files (every board's but the marks') tell that one role, as
// the CAD programs name them (core.GTL, board-F_Cu.gbr); else the layer's
// name in the settings ("Lay_3" unless the operator named it).
std::string filmLayerName(const Job& job, int layer);

// The films exportFilms writes, in layer order (layer 0: the one film of
// every chosen layer), known before anything is drawn.
struct FilmName {
  int layer = 0;
  std::filesystem::path file;
};
std::vector<FilmName> filmNames(const Job& job, const FilmSettings& settings);

// Writes the films. None is committed before all are written, and they are
// committed together (commitTogether), so a failed or cancelled run leaves
// every older file of those names as it was. Throws IoError / FormatError,
// and std::invalid_argument before anything is drawn when two films would
// be one file (through links).
FilmExportSummary exportFilms(const Job& job, const FilmSettings& settings);

}  // namespace drumplot
