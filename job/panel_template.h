// SPDX-License-Identifier: MIT
// PanelTemplate: what a shop plots the same way for every board of a kind,
// as a small hand-written INI file: where the first board goes, the panel,
// its marks, the tech area, the films and the drill files.
#pragma once

#include <array>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "job/job.h"
#include "job/job_settings.h"

namespace drumplot {

// A corner of the panel: the rectangle from the first board's left-top
// corner to the last copy's right-bottom corner (data sizes).
enum class PanelCorner { LeftTop, RightTop, LeftBottom, RightBottom };

// A mark whose target (the centre of the mark file's extents) lies at an
// offset from a corner of the panel: right and down are positive.
struct TemplateMark {
  std::string file;  // as written; a relative name is read from the template's folder
  PanelCorner corner = PanelCorner::LeftTop;
  double offsetX_mm = 0.0;
  double offsetY_mm = 0.0;

  bool operator==(const TemplateMark&) const = default;
};

// How one layer's film is written.
struct TemplateFilm {
  std::string format = "tiff";  // fpf, tiff or bmp
  int dpi = 2032;
  bool mirror = false;
  bool negative = false;

  bool operator==(const TemplateFilm&) const = default;
};

struct PanelTemplate {
  std::optional<std::pair<double, double>> firstAt;  // inches; none: the first free place
  bool fit = false;                                  // as many as fit, instead of columns x rows
  int columns = 1;
  int rows = 1;
  double gapX_mm = 5.0;
  double gapY_mm = 5.0;
  std::vector<TemplateMark> marks;
  // The tech area, drawn or not; sizes the template leaves out come from the settings.
  bool techAreaOn = false;
  std::array<std::optional<double>, 5> techArea_mm;  // distance, left, right, top, bottom
  // The films: every layer a board has a file on, or the layers named.
  std::vector<int> layers;  // empty: every such layer
  TemplateFilm film;
  std::array<std::optional<TemplateFilm>, kLayerCount> layerFilms;  // [n - 1]: layer n's own
  std::optional<double> filmScaleX_ppm, filmScaleY_ppm;             // none: the settings'
  // The drill files: the panel's plated and non-plated holes, where the board has them.
  bool platedDrill = true;
  bool nonPlatedDrill = true;
  std::pair<double, double> drillOffset{0.0, 0.0};  // inches, added to every board hit

  const TemplateFilm& filmOf(int layer) const {
    const auto& own = layerFilms[static_cast<size_t>(layer - 1)];
    return own ? *own : film;
  }
  bool operator==(const PanelTemplate&) const = default;
};

// Reads a template. Anything it does not know or cannot read (a section, a
// key, a value, a line that is neither) throws FormatError naming the file,
// the line and the key; a file that cannot be read throws IoError.
PanelTemplate readPanelTemplate(const std::filesystem::path& file);
// The same from text, `file` naming it in messages.
PanelTemplate parsePanelTemplate(std::string_view text, const std::string& file);

// The template as a file that readPanelTemplate reads back the same, each
// key after a comment saying what it means.
std::string panelTemplateText(const PanelTemplate& t);
void writePanelTemplate(const std::filesystem::path& file, const PanelTemplate& t);

// The settings of a run by the template: its tech area and film scale over
// the settings' own.
void applyPanelTemplate(const PanelTemplate& t, JobSettings& settings);

// The panel a template made of a board.
struct TemplatePanel {
  int columns = 1;
  int rows = 1;
  std::vector<size_t> marks;  // the mark boards, in the template's order
};

// A mark's file as it is read: a relative name from `templateFile`'s folder.
std::filesystem::path templateMarkFile(const TemplateMark& mark,
                                       const std::filesystem::path& templateFile);

// Places board `index` by the template (at First, or at the first free
// place leaving room for the marks), panelizes it (Grid: fit takes as many
// as lie on the plotting area less the tech area and the marks) and inserts
// each mark with its target at its offset from its corner of the panel.
// Relative mark files are read from `templateFile`'s folder. Throws
// FormatError naming the template when the panel does not fit or a mark file
// cannot be used; the job is then unchanged.
TemplatePanel placeByTemplate(Job& job, size_t index, const PanelTemplate& t,
                              const std::filesystem::path& templateFile);

// The template of a job's panel: its first board's place, the grid and gap
// of its copies, each mark's target from the panel's left-top corner (its
// file as the job resolves it) and the settings' tech area sizes; the film
// and drill keys keep their defaults (a job file holds none). Throws
// FormatError naming the job when its boards are not one board's grid.
PanelTemplate templateOfJob(const Job& job);

}  // namespace drumplot
