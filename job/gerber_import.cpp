// SPDX-License-Identifier: MIT
// Measuring a master Gerber file and creating a board from it.
#include "job/gerber_import.h"

#include "engine/data_size.h"
#include "engine/errors.h"

namespace drumplot {

// Gerber import - Measuring and creating
// ============================================================================

MasterMeasurement measureMasterGerber(const std::filesystem::path& file, const DataFormat& format,
                                      const JobSettings& settings) {
  GerberReader reader(format);
  reader.FileName = file.string();
  MasterMeasurement result;
  result.Status = reader.load();
  reader.computeExtents();
  result.Extents = {reader.MinX, reader.MinY, reader.Width, reader.Height};
  result.SizeProblem = implausibleSizeText(reader, settings.PlotWidth, settings.PlotHeight);
  result.Warnings = std::move(reader.Warnings.messages);
  result.HasDrawing = reader.Program.hasDrawing;
  return result;
}

void requireReadData(LoadStatus status, const std::string& file) {
  throwIfUnreadable(status, file);
  if (status != LoadStatus::Ok) {
    throw FormatError(file + ": " + toString(status) + "; nothing was added");
  }
}

ImportResult importMasterGerber(Job& job, std::string_view file) {
  MasterMeasurement measured =
      measureMasterGerber(job.resolvePath(file), job.CurrentFormat, job.settings);
  return {job.createBoard(file, measured.Extents), measured.Status, std::move(measured.SizeProblem),
          std::move(measured.Warnings), measured.HasDrawing};
}

}  // namespace drumplot
