// SPDX-License-Identifier: MIT
// Gerber import: a master file becomes a new board, measured by the reader in
// the job's current data format.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string_view>

#include "engine/gerber_reader.h"
#include "job/job.h"

namespace drumplot {

struct MasterMeasurement {
  MasterExtents Extents;
  LoadStatus Status = LoadStatus::Ok;  // anything but Ok: the extents of no data
};

// Loads `file` with `format` and runs the extents pass; nothing is drawn and
// nothing throws: an unreadable file measures as the reader reports it.
MasterMeasurement measureMasterGerber(const std::filesystem::path& file, const BoardFormat& format);

struct ImportResult {
  size_t Index = 0;  // the new board in job.Boards
  LoadStatus Status = LoadStatus::Ok;
};

// Import Master Gerber: measures the file (a relative path against the job's
// folder) and creates a selected board holding `file` on the active layer.
// The board is created whatever the reader reports, as the window does.
ImportResult importMasterGerber(Job& job, std::string_view file);

}  // namespace drumplot
