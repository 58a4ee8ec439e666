// SPDX-License-Identifier: MIT
// Measuring a master Gerber file and creating a board from it.
#include "job/gerber_import.h"

#include <cstdio>

#include "engine/data_size.h"
#include "engine/errors.h"
#include "engine/interpreter.h"

namespace drumplot {

// Gerber import - Measuring and creating
// ============================================================================

namespace {

// Resolution of the reach measured for the check: fine enough for a size
// that no plot can mean, coarse enough to keep the stamps small.
constexpr double kReachCheck_ppi = 100.0;

// When what the layer draws (its reach, which %OF, %SF and apertures move
// and grow while the extents stay put) lands further from the board's
// left-top corner than largestMeantSide() along either axis: a text saying
// where it lands. Empty otherwise.
std::string implausibleReachText(const GerberReader& reader, const JobSettings& settings) {
  // A file no drawing takes is not walked (every copy would be): the
  // drawings refuse it, naming why.
  if (!reader.undrawableText(kMaxDrawnOperations).empty()) return {};
  const LayerReach reach = measureReach(reader, kReachCheck_ppi);
  if (reach.empty) return {};
  const double left = reach.minX - reader.MinX, right = reach.maxX - reader.MinX;
  const double top = reach.minY - reader.MinY, bottom = reach.maxY - reader.MinY;
  const double side = largestMeantSide(settings.PlotWidth),
               axis = largestMeantSide(settings.PlotHeight);
  if (left >= -side && right <= side && top >= -axis && bottom <= axis) return {};
  char text[400];
  std::snprintf(text, sizeof text,
                "what the data draws lands from %.3f, %.3f to %.3f, %.3f inch off the board's "
                "left-top corner, far more than a plotting area of %.3f x %.3f inch can take; "
                "read as %s: check the data format and the file's %%OF and %%SF",
                left, top, right, bottom, settings.PlotWidth, settings.PlotHeight,
                formatSpecText(reader.format).c_str());
  return text;
}

}  // namespace

MasterMeasurement measureMasterGerber(const std::filesystem::path& file, const DataFormat& format,
                                      const JobSettings& settings) {
  StatementLimits limits;
  limits.maxTextBytes = static_cast<uint64_t>(settings.memoryBudgetBytes());
  GerberReader reader(format, limits);
  reader.FileName = file.string();
  MasterMeasurement result;
  result.status = reader.load();
  reader.computeExtents();
  result.extents = {reader.MinX, reader.MinY, reader.Width, reader.Height};
  result.sizeProblem = implausibleSizeText(reader, settings.PlotWidth, settings.PlotHeight);
  if (result.status == LoadStatus::Ok && result.sizeProblem.empty()) {
    reader.parseDefinitions();
    result.sizeProblem = implausibleReachText(reader, settings);
  }
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
