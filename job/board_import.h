// SPDX-License-Identifier: MIT
// Import of a whole board: every file of a folder (or of a zip, unpacked
// beside it) is given its role, by the layer map's name patterns, its X2
// file function or its name, and drill files by their M48 header; the layer
// map places each role on a layer. Files whose role is unknown, doubtful or
// has no layer are listed, never guessed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "job/board_archive.h"
#include "job/job.h"
#include "job/layer_roles.h"

namespace drumplot {

enum class DrillPlating : uint8_t { Unknown, Plated, NonPlated };

struct BoardFile {
  std::filesystem::path file;  // as found (zip: where it was unpacked)
  std::string name;            // relative to the imported folder, "/"-separated
  std::optional<BoardRole> role;
  std::optional<RoleSource> source;
  std::string fileFunction;                      // the X2 attribute's value, when the file has one
  std::string pattern;                           // the layer map's pattern that gave the role
  DrillPlating plating = DrillPlating::Unknown;  // drill files
  int layer = 0;                                 // where it goes; 0: not placed
  std::string reason;                            // why it is not placed
  bool contested = false;  // another file claims its role (not a drill file's)
  bool drawing = false;    // Gerber data that draws something
  MasterExtents extents;   // Gerber data: its extents, read in the board's format
};

struct BoardImportPlan {
  std::filesystem::path source;  // the folder or zip named
  std::filesystem::path folder;  // where the files are
  std::vector<BoardFile> files;  // by name
  std::optional<size_t> master;  // the file that sizes the board: outline, else copper
  LayerFiles layers;             // the placed files by layer (paths as found)
  // A zip's files and folders this import made: removed with the plan
  // unless kept once the board is added.
  UnpackedFiles unpacked;

  size_t placedCount() const;
  // "bottom copper, drill": the layers most boards have that no file of
  // this one gives (copper, masks, top silkscreen, outline, drill).
  std::string missingUsualLayers() const;
  // "bottom copper: a.gbr, b.gbr; top silkscreen: ...": the roles that
  // several files claim; empty when none does.
  std::string contestedRoles() const;
};

// Reads every file below `folder` (a zip: unpacked first into `unpackFolder`,
// by default beside it) in `format`, and plans where each goes by `map`.
// Unreadable or unknown files, and zip entries left out, are listed with
// their reason; so is a file whose statements would take more than
// `budgetBytes` (the memory setting). Throws IoError when the folder or zip
// cannot be read, and as unpackZip() does.
BoardImportPlan planBoardImport(const std::filesystem::path& source, const DataFormat& format,
                                const LayerMap& map, const std::filesystem::path& unpackFolder = {},
                                uint64_t budgetBytes = UINT64_MAX);

// Adds the board: sized by the master file, in CurrentFormat, selected and
// waiting at the plotting area's far corner, each placed file on its layer
// under the name `storedName` gives it (which may throw: nothing is added
// then). Throws FormatError when the plan places nothing, or when several
// files claim one role (a folder of more than one board): a board without
// one of its films must not look complete.
size_t addImportedBoard(Job& job, const BoardImportPlan& plan,
                        const std::function<std::string(const std::filesystem::path&)>& storedName);

// Why the plan cannot be added as a board (several files claim one role,
// or no placed file draws anything); empty when it can.
std::string importProblem(const BoardImportPlan& plan);

// How file `index` was placed ("X2 file function Copper,L1,Top; sizes the
// board"), or why it was not ("not placed: ...").
std::string placementNote(const BoardImportPlan& plan, size_t index);

// The table "file -> role -> layer", one line per file, placed files first.
std::string importTable(const BoardImportPlan& plan);

// The drill file a board remembers: the first of its layer files, in layer
// order, that opens with an M48 header, as the job resolves it; empty when
// there is none.
std::string boardDrillFile(const Job& job, const Board& board);
// What Panelize drill offers: the drill file of the board selected last,
// else of the first board that remembers one.
std::string offeredDrillFile(const Job& job);

// True when `bytes` open as an Excellon program does: "M48" as the first
// line that is not blank and not a ";" comment.
bool hasDrillHeader(std::string_view bytes);
// The same for the first 4 KB of a file; false when it cannot be read.
bool isDrillFile(const std::filesystem::path& file);

}  // namespace drumplot
