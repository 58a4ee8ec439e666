// SPDX-License-Identifier: MIT
// The check before plotting: for each board and layer of an export, the
// undefined D codes, the strokes the pen rule widens at this resolution,
// boards that overlap or leave the plotting area, layers that do not line
// up with their board's master data, what reading the files warned of, and
// the film's size, file size, memory and time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "job/job.h"
#include "output/film_settings.h"

namespace drumplot {

enum class CheckSeverity : uint8_t {
  Error,    // the film would be wrong: the export should not go on
  Warning,  // worth a look before plotting
};

enum class CheckKind : uint8_t {
  UnreadableFile,        // error: a layer file cannot be read as Gerber data
  DrillFileOnLayer,      // error: an Excellon file on a layer to plot (it draws nothing)
  UndefinedDCode,        // error: flashes draw nothing, lines are drawn 1 pixel wide
  OutsidePlotArea,       // error: part of a board lies beyond the plotting area
  FilmImpossible,        // error: the export cannot be planned as set
  PenWidened,            // warning: strokes thinner than the narrowest pen
  BoardOverlap,          // warning
  LayerMisaligned,       // warning: a layer's extents stick out of the master data's
  ReadWarning,           // warning: what reading the file said
  UnreadableExpression,  // error: a macro field that is no expression (the pad may lack a shape)
  NestingTooDeep,        // error: an expression or block flash nested past the limit draws nothing
  RecursiveBlock,        // error: an aperture block that flashes itself
  ExpansionTooLarge,     // error: step and repeat and blocks expand past what a drawing takes
};

// "undefined-d-code", "pen-widened", ...: the kind as the JSON report names it.
const char* kindKey(CheckKind kind);
const char* severityKey(CheckSeverity severity);

struct InchBox {
  double MinX = 0.0, MinY = 0.0, MaxX = 0.0, MaxY = 0.0;
};

struct CheckProblem {
  CheckSeverity severity = CheckSeverity::Warning;
  CheckKind Kind = CheckKind::ReadWarning;
  std::optional<size_t> board;  // index in Job::Boards; none: the job as a whole
  int layer = 0;                // 1..18; 0: the board as a whole
  std::string file;             // the layer file, as the job resolves it
  std::string message;          // one line, naming the file (and line) where there is one

  // Details, by kind.
  int dCode = 0;                     // UndefinedDCode, PenWidened
  uint64_t Count = 0;                // uses (UndefinedDCode), strokes (PenWidened)
  size_t firstLine = 0;              // UndefinedDCode: the file line of the first use
  double pen_px = 0.0;               // PenWidened: the aperture's pen at this resolution
  int64_t drawnWidth_px = 0;         // PenWidened: the pen drawn
  std::optional<size_t> otherBoard;  // BoardOverlap
  InchBox box;                       // OutsidePlotArea, BoardOverlap: plotting-area inches;
                                     // LayerMisaligned: the layer's extents (data inches)
  double off = 0.0;                  // inches beyond the area, overlap or misalignment
};

struct FilmEstimate {
  int64_t width_px = 0;
  int64_t height_px = 0;
  int dpi = 0;
  uint64_t fileBytes = 0;    // estimated from the job drawn at a coarse resolution
  uint64_t memoryBytes = 0;  // band buffers: at most the memory budget
  int64_t bands = 0;
  int64_t rowsPerBand = 0;
  double seconds = 0.0;  // estimated for this machine
  FilmScale scale;       // the boards, marks and tech area stretched by it
};

struct PreflightSettings {
  PlotterExportSettings exportSettings;  // resolution, layers, line width, tech area, budget
  double tolerance = 0.05;               // inches a layer may stick out of its master data
};

struct PreflightReport {
  std::vector<CheckProblem> problems;  // board by board, layer by layer; the job's at the end
  std::optional<FilmEstimate> film;    // none when the export cannot be planned
  std::vector<int> layers;             // the layers checked

  size_t errors() const;
  size_t warnings() const;
  // The worst problem of a board, for the window's mark; none when clean.
  std::optional<CheckSeverity> boardSeverity(size_t board) const;
  // The problems of a board, one line each, for the window's hint.
  std::string boardText(size_t board) const;
};

// Reads every board layer of the export once and checks it. Problems with
// files are reported, never thrown; only memory exhaustion escapes.
PreflightReport checkJob(const Job& job, const PreflightSettings& settings);

// The layers that hold a layer file (an Excellon file does not count) on
// some board other than a mark (marks lie on every layer): what is checked
// and exported when no layers are named.
OutputLayers layersWithGerber(const Job& job);

// The report as text: the problems board by board, the film, the counts.
std::string reportText(const Job& job, const PreflightReport& report);

}  // namespace drumplot
