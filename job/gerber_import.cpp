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
  result.status = reader.load();
  reader.computeExtents();
  result.extents = {reader.MinX, reader.MinY, reader.Width, reader.Height};
  result.sizeProblem = implausibleSizeText(reader, settings.PlotWidth, settings.PlotHeight);
  result.warnings = std::move(reader.warnings.messages);
  result.hasDrawing = reader.program.hasDrawing;
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
  return {job.createBoard(file, measured.extents), measured.status, std::move(measured.sizeProblem),
          std::move(measured.warnings), measured.hasDrawing};
}

}  // namespace drumplot
