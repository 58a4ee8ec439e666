// SPDX-License-Identifier: MIT
// Films: the plan of the whole export, each film drawn into its temporary
// file, and all of them committed at the end.
#include "output/film_export.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <memory>
#include <type_traits>

#include "io/file_io.h"
#include "io/replacing_file.h"
#include "job/layer_roles.h"
#include "output/export_geometry.h"
#include "output/plotter_export.h"
#include "output/workers.h"

namespace drumplot {

std::optional<FilmFormat> filmFormatOfName(const std::filesystem::path& file) {
  std::string extension = file.extension().string();
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  if (extension == ".fpf") return FilmFormat::Fpf;
  if (extension == ".tif" || extension == ".tiff") return FilmFormat::Tiff;
  if (extension == ".bmp") return FilmFormat::Bmp;
  return std::nullopt;
}

std::filesystem::path layerFilmName(const std::filesystem::path& file, int layer,
                                    const std::string& name) {
  std::string added = (layer < 10 ? "-0" : "-") + std::to_string(layer);
  if (!name.empty()) added += "-";
  for (unsigned char c : name)
    added += std::isalnum(c) || c == '-' || c == '_' ? static_cast<char>(c) : '_';
  return file.parent_path() / (file.stem().string() + added + file.extension().string());
}

std::string filmLayerName(const Job& job, int layer) {
  std::optional<BoardRole> role;
  for (const Board& board : job.boards) {
    const std::string& file = board.LayerGerber[layer - 1];
    if (board.IsMark || file.empty()) continue;
    const std::optional<NamedRole> told =
        roleFromFileName(std::filesystem::path(file).filename().string());
    if (!told || (role && !(*role == told->role))) return job.settings.LayerNames[layer - 1];
    role = told->role;
  }
  if (!role) return job.settings.LayerNames[layer - 1];
  std::string text = roleName(*role);
  std::replace(text.begin(), text.end(), ' ', '-');
  return text;
}

std::vector<FilmName> filmNames(const Job& job, const FilmSettings& settings) {
  if (!settings.splitLayers) return {{0, settings.plotter.file}};
  const std::vector<BoardLayer> drawn = outputBoardLayers(job, settings.plotter.draw.layers, 0, 0);
  std::vector<FilmName> films;
  for (int layer = 1; layer <= kLayerCount; ++layer) {
    if (std::any_of(drawn.begin(), drawn.end(),
                    [&](const BoardLayer& d) { return d.layer == layer; })) {
      films.push_back(
          {layer, layerFilmName(settings.plotter.file, layer, filmLayerName(job, layer))});
    }
  }
  return films;
}

namespace {

// One film drawn into `file` (the Bmp settings made from the film's);
// `plan` is the whole export's, the scene the film's part of it.
template <typename Plan>
FilmSummary drawFilm(const RasterScene& scene, Plan plan, const FilmSettings& settings,
                     std::unique_ptr<ReplacingFile>& file) {
  FilmSummary film{file->name(), 0, {}};
  plan.boardLayers = scene.boardLayers.size();
  const PlotterExportSettings& p = settings.plotter;
  if constexpr (std::is_same_v<Plan, JobBitmapPlan>) {
    film.output = writeJobBitmapFile(scene, plan, {p.draw, p.run, film.file, p.negative}, *file);
  } else if (settings.format == FilmFormat::Tiff) {
    TiffFilmSummary tiff = writeTiffFilm(scene, plan, p, settings.tiff, *file);
    if (tiff.outgrewClassic) {
      file = std::make_unique<ReplacingFile>(film.file);
      TiffFilmSettings big = settings.tiff;
      big.bigTiff = true;
      tiff = writeTiffFilm(scene, plan, p, big, *file);
    }
    film.output = std::move(tiff);
  } else {
    film.output = writePlotterFile(scene, plan, p, *file);
  }
  return film;
}

template <typename Plan>
FilmExportSummary exportPlanned(const std::vector<FilmName>& names, const RasterScene& scene,
                                const Plan& plan, const FilmSettings& settings) {
  FilmExportSummary summary;
  std::vector<std::unique_ptr<ReplacingFile>> files;
  for (const FilmName& name : names) {
    RasterScene part = scene;
    if (name.layer != 0) {
      std::erase_if(part.boardLayers, [&](const BoardLayer& d) { return d.layer != name.layer; });
    }
    files.push_back(std::make_unique<ReplacingFile>(name.file));
    summary.films.push_back(drawFilm(part, plan, settings, files.back()));
    summary.films.back().layer = name.layer;
    if (summary.films.back().cancelled()) {
      summary.cancelled = true;
      return summary;  // the temporary files go with `files`
    }
  }
  std::vector<ReplacingFile*> all;
  for (auto& file : files) all.push_back(file.get());
  commitTogether(all);
  return summary;
}

// What every format's summary holds: the TIFF film's holds it as a plotter
// file's.
template <typename Summary>
const Summary& shared(const Summary& summary) {
  return summary;
}
const PlotterExportSummary& shared(const TiffFilmSummary& summary) {
  return summary.exported;
}

}  // namespace

const MonoImage& FilmSummary::overview() const {
  return std::visit([](const auto& s) -> const MonoImage& { return shared(s).overview; }, output);
}

const RasterStats& FilmSummary::raster() const {
  return std::visit([](const auto& s) -> const RasterStats& { return shared(s).raster; }, output);
}

bool FilmSummary::cancelled() const {
  return std::visit([](const auto& s) { return shared(s).cancelled; }, output);
}

double FilmSummary::seconds() const {
  return std::visit([](const auto& s) { return shared(s).seconds; }, output);
}

std::pair<int64_t, int64_t> FilmSummary::size_px() const {
  return std::visit(
      [](const auto& s) {
        return std::pair{shared(s).plan.width_px, shared(s).plan.height_px};
      },
      output);
}

FilmExportSummary exportFilms(const Job& job, const FilmSettings& settings) {
  const auto start = std::chrono::steady_clock::now();
  const std::vector<FilmName> names = filmNames(job, settings);
  std::vector<std::filesystem::path> files;
  for (const FilmName& name : names) files.push_back(name.file);
  refuseSameFile(files);
  refuseOverwritingInput(files, job.inputFiles());
  // One set of workers reads the files and draws every film.
  FilmSettings pooled = settings;
  std::optional<WorkerPool> workers;
  giveOwnWorkers(pooled.plotter.run, workers);
  RasterScene scene;
  FilmExportSummary summary;
  const PlotterExportSettings& p = pooled.plotter;
  if (settings.format == FilmFormat::Bmp) {
    const JobBitmapPlan plan = planJobBitmapScene(job, {p.draw, p.run, p.file, p.negative}, scene);
    summary = exportPlanned(names, scene, plan, pooled);
  } else {
    const PlotterExportPlan plan = planPlotterScene(job, p, scene);
    summary = exportPlanned(names, scene, plan, pooled);
  }
  summary.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  return summary;
}

}  // namespace drumplot
