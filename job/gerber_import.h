// SPDX-License-Identifier: MIT
// Gerber import: a master file becomes a new board, measured by the reader in
// the job's current data format.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "engine/gerber_reader.h"
#include "job/job.h"

namespace drumplot {

struct MasterMeasurement {
  MasterExtents extents;
  LoadStatus status = LoadStatus::Ok;  // anything but Ok: the extents of no data
  // Data larger than any plot on the job's plotting area can mean (read in
  // the wrong format?), or drawing that lands further from the board's
  // corner than such a plot reaches (%OF, %SF): what to tell the operator,
  // who decides. Empty when the size and the place can be meant.
  std::string sizeProblem;
  // What reading found to say (no drawing, no M02 at the end...), each naming
  // the file.
  std::vector<std::string> warnings;
  bool hasDrawing = false;  // a draw or flash statement: the layer shows something
};

// Loads `file` with `format` and runs the extents pass; nothing is drawn and
// nothing throws: an unreadable file measures as the reader reports it. The
// size is judged against the plotting area of `settings`.
MasterMeasurement measureMasterGerber(const std::filesystem::path& file, const DataFormat& format,
                                      const JobSettings& settings = JobSettings{});

// The refusal that the command line and the window both give for a file
// that read as no data: IoError naming `file` when it is missing or cannot
// be read, FormatError ("...; nothing was added") for any other status.
void requireReadData(LoadStatus status, const std::string& file);

struct ImportResult {
  size_t index = 0;  // the new board in job.boards
  LoadStatus status = LoadStatus::Ok;
  std::string sizeProblem;  // as MasterMeasurement
  std::vector<std::string> warnings;
  bool hasDrawing = false;
};

// Import Master Gerber: measures the file (a relative path against the job's
// folder) and creates a selected board holding `file` on the active layer.
// The board is created whatever the reader reports; the caller refuses a
// file that read as no data (requireReadData) and decides what a size
// problem means.
ImportResult importMasterGerber(Job& job, std::string_view file);

}  // namespace drumplot
