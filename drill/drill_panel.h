// SPDX-License-Identifier: MIT
// Drill panelization: one board's Excellon file repeated for every board of
// the job (hits, slots and routes shifted by the board's position and a user
// offset), with one hit per mark board, written as a new drill file that
// states its own number format.
#pragma once

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "drill/drill_file.h"
#include "drill/drill_overview.h"
#include "job/job.h"

namespace drumplot {

inline constexpr int kMarkDrillCount = 10;
inline constexpr const char* kNoMarkDrillName = "None";
inline constexpr const char* kDefaultMarkDrillTool = "T01F095S3";
inline constexpr const char* kFormatCaution = "Caution : data format is on the Status line !!! ";

// One row of the "Assign drill into mark" table: a mark name and the line
// written before that mark's hits (each at most 64 characters).
struct MarkDrill {
  std::string MarkDrillName = kNoMarkDrillName;
  std::string MarkDrillTool = kDefaultMarkDrillTool;

  bool operator==(const MarkDrill&) const = default;
};
using MarkDrillTable = std::array<MarkDrill, kMarkDrillCount>;

// The MarkName of every mark board, sorted (byte order), each once.
std::vector<std::string> gatherMarkNames(const std::vector<Board>& boards);
// Every row "None" with "T01F095S3", then the first 10 names from row 1 on.
MarkDrillTable makeMarkDrillTable(const std::vector<std::string>& markNames);

// The dialog's offset field in inches: "mm" values are divided by 25.4, any
// other display unit is taken as inches.
double drillOffsetInches(double displayValue, std::string_view unitText);

// What the "Panelize drill" dialog hands over.
struct DrillPanelSettings {
  std::string inputFile;  // kept whole (a cut name would read or write another file)
  std::string outputFile;
  double DrillOffsetX = 0.0;  // inches, "Offset Gerber data from Drill data"
  double DrillOffsetY = 0.0;
  MarkDrillTable markDrills;  // from makeMarkDrillTable, tools as the user set them
  // The operator's data format (the status line, --format): read only
  // where the drill file states nothing.
  std::optional<DataFormat> dataFormat;
  // The format written (--format); without it, the drill file's own.
  std::optional<DataFormat> outputFormat;
  // Positions stretched as a scaled film is (--scale): about the plotting
  // area's corner, the offset kept as it is. Nominal: the drill file is
  // mechanical and keeps its size.
  FilmScale scale;
};

// The panelized file and where its hits, slots and routes lie for the overview.
struct DrillPanel {
  std::vector<std::string> lines;  // kept only when written into memory
  size_t lineCount = 0;
  size_t positions = 0;      // hits, slot ends and route points: what its reader counts
  DrillNumberFormat format;  // the numbers' (integer digits grown to fit)
  // In inches on the plotting area: the position less the reference
  // minimum (the data origin of the first board that is not a mark).
  std::vector<DrillPoint> crosses;  // one per hit written
  std::vector<DrillPath> paths;     // one per slot and route written
  bool arcsAsChords = false;        // the overview's budget of arc points ran out
  size_t boardHits = 0;             // hits written for the boards
  size_t markHits = 0;              // hits written for the mark boards
  size_t slotCount = 0;
  size_t routeCount = 0;

  // The file's bytes: every line ended by CR LF.
  std::string text() const;
};

// The main pass over the drill file's statements, written in `format`.
// Every run of hits, slots and routes (a block) is written once per board
// that is not a mark, in board order, right before the statement after it,
// shifted by the board's position and the offset (inches); every other
// statement stands once in its place, but the file's format statements,
// whose place the written format takes: ";FILE_FORMAT=I:D" and the unit
// with its zeros right after each "M48" (a file without one before its
// first tool or coordinates gets one there), and "G90" before the first
// coordinates. Every position is written in full (both axes, explicit
// G00..G03, repeats spelled out), and "G05" goes before a hit or slot that
// follows routing. When the job has mark boards,
// each gathered mark name in turn gets its tool line (row i of `markDrills`
// for name i; names past the tenth the default tool) and one hit per mark
// board of that name at its position plus the reference minimum, without
// the offset, all right before the program's end ("M30", "M00"); a file
// without one gets "M30" appended. Board positions and offsets must be finite.
// Each line goes to `sink` (without its end) as it is made; before the
// first, the panel is counted, and one that a drill file cannot hold (more
// than kMaxDrillPoints positions, a position beyond kMaxDrillInches, numbers
// of more than kMaxDrillDigits digits) throws FormatError naming the file
// and the figure. With a `scale`, every position written lies where a film
// of that scale draws it: its place on the plotting area (the reference
// minimum its origin) stretched per axis, the offset added unstretched;
// arc centres stretch per axis, arc radii by the mean factor.
using DrillLineSink = std::function<void(const std::string&)>;
DrillPanel panelizeDrill(const DrillFile& file, const std::vector<Board>& boards,
                         DrillNumberFormat format, double drillOffsetX, double drillOffsetY,
                         const MarkDrillTable& markDrills, const DrillLineSink& sink,
                         const FilmScale& scale = {});
// The same with the lines kept in `lines`.
DrillPanel panelizeDrill(const DrillFile& file, const std::vector<Board>& boards,
                         DrillNumberFormat format, double drillOffsetX, double drillOffsetY,
                         const MarkDrillTable& markDrills, const FilmScale& scale = {});

enum class DrillPanelStatus {
  Written,
  OutputNotSpecified,  // output name under 2 characters: nothing written
  DataFileEmpty,       // input name under 3 characters, or no lines: nothing written
  NoHits,              // no hit, slot or route: nothing written
};
// The message the user sees ("Output file is not specified", "Data file is
// empty", "Data file has no hits"); "" for Written.
const char* toString(DrillPanelStatus status);

struct DrillPanelResult {
  DrillPanelStatus status = DrillPanelStatus::Written;
  DrillPanel panel;                   // empty unless written
  std::string formatNote;             // the reader's, when the data format was not the one used
  std::vector<std::string> warnings;  // the reader's
};

// The command: reads the input file (IoError naming it when it cannot be
// read), checks the names and lines, reads the file (FormatError naming file
// and line for what cannot be read), runs the main pass over the job's
// boards, and streams the output through a temporary file renamed over it
// (IoError naming it on failure); a panel that a drill file cannot hold is
// refused before the output is opened. A board position or offset that cannot be
// written as a drill number throws FormatError naming the job.
DrillPanelResult panelizeDrillFile(const Job& job, const DrillPanelSettings& settings);

}  // namespace drumplot
