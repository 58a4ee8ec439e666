// SPDX-License-Identifier: MIT
// The photoplotter export: every board of a job on every chosen layer,
// rasterized at the plotter's resolution and written band by band as a
// plotter file (.FPF) with its thumbnail and preview.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "engine/band_bitmap.h"
#include "io/byte_sink.h"
#include "job/job.h"
#include "output/film_settings.h"
#include "output/fpf_encoder.h"
#include "output/fpf_file.h"
#include "output/job_raster.h"

namespace drumplot {

// Sizes and bands of the export. Throws FormatError, before anything is
// written, when no board has a Gerber file on a chosen layer, the
// resolution is out of range, the image would be empty or larger than the
// file can describe, or the budget holds fewer than 32 rows of it.
PlotterExportPlan planPlotterExport(const Job& job, const PlotterExportSettings& settings);

// The plan, and the scene that draws it: the TIFF film draws the same
// image, and a film of one layer draws a part of the scene's board layers.
// Throws as planPlotterExport.
PlotterExportPlan planPlotterScene(const Job& job, const PlotterExportSettings& settings,
                                   RasterScene& scene);

// Draws the planned scene into `file` as a plotter file; the caller
// commits the file. Throws IoError / FormatError.
PlotterExportSummary writePlotterFile(const RasterScene& scene, const PlotterExportPlan& plan,
                                      const PlotterExportSettings& settings, ByteSink& file);

// The plotter file's header for the plan.
FpfHeader plotterFileHeader(const PlotterExportPlan& plan, const PlotterExportSettings& settings);

// The notes a plotter file stores: the operator's, and after them the
// film's scale ("scale +500/+0 ppm") when the film is scaled and the
// stored characters leave room for it.
std::string plotterFileNotes(const std::string& notes, const FilmScale& scale);

// Writes the plotter file (through a temporary file renamed over
// settings.file at the end). Throws IoError / FormatError; a failed or
// cancelled export leaves no file and keeps an older one of that name.
PlotterExportSummary exportPlotterFile(const Job& job, const PlotterExportSettings& settings);

// A coder of one group's record: encodeGroupPerPixel, encodeGroupWords or
// encodeGroupWide, which give the same bytes.
using GroupCoder = void (*)(const RowGroup&, std::vector<uint8_t>&);

// The records of one band (its rows a multiple of 4) in file order. Mirror
// on: groups from the band's top down, bit 0 the group's top row; mirror
// off: from the bottom up, bit 0 the lowest row. With horizontal_px not 0
// each row first goes through the horizontal line-width adjustment (the
// band changes). `afterGroup` runs after each record.
void encodeBandGroups(BandBitmap& band, bool mirror, int64_t horizontal_px, GroupCoder coder,
                      std::vector<uint8_t>& out, const std::function<void()>& afterGroup = {});

// The thumbnail and preview blocks from the preview as drawn (its top row
// first), turned as the film is (the mirror, the negative): `preview`
// changes.
std::vector<uint8_t> plotterPreviewBlocks(BandBitmap& preview, bool mirror, bool negative);

// The file's blocks from the preview (pw x ph, already in file order):
// the 200 x 200 thumbnail (25 bytes a row), a pixel exposed where any pixel
// of its 4 x 4 block of the preview is, and the 800 x 800 preview area
// (100 bytes a row) with the preview at its top left; background elsewhere.
std::vector<uint8_t> thumbnailBlock(const BandBitmap& preview);
std::vector<uint8_t> previewBlock(const BandBitmap& preview);

}  // namespace drumplot
