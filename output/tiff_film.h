// SPDX-License-Identifier: MIT
// TIFF films: the plotter export's image as a 1-bit TIFF through libtiff
// (Group 4, PackBits or uncompressed strips, BigTIFF when the film could
// pass 4 GB), and whole 1-bit images as TIFF files.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string_view>

#include "io/byte_sink.h"
#include "output/film_settings.h"
#include "output/job_raster.h"
#include "output/mono_image.h"

namespace drumplot {

enum class TiffCompression { Group4, PackBits, None };

// "g4", "packbits", "none".
const char* toString(TiffCompression compression);
std::optional<TiffCompression> parseTiffCompression(std::string_view text);

// The last byte a classic TIFF can address (its offsets are 32 bits).
inline constexpr uint64_t kClassicTiffLimit = 0xFFFFFFFF;

// What a TIFF film takes besides the plotter export's settings.
struct TiffFilmSettings {
  TiffCompression compression = TiffCompression::Group4;
  // A film whose uncompressed strips and directory could pass this many
  // bytes is written as BigTIFF.
  uint64_t classicLimitBytes = kClassicTiffLimit;
  bool bigTiff = false;  // BigTIFF whatever the size
};

struct TiffFilmSummary {
  PlotterExportSummary exported;  // as a plotter file's
  int64_t stripRows = 0;
  bool bigTiff = false;
  // The compressed strips of a classic TIFF outgrew its limit (a film that
  // compresses worse than not at all): the film was given up unfinished,
  // to be written again as BigTIFF.
  bool outgrewClassic = false;
};

// Rows per strip: the largest power of two that divides `rowsPerBand` (any
// when 0) and keeps a strip's uncompressed rows within 1 MB; at least 1.
int64_t tiffStripRows(int64_t rowBytes, int64_t rowsPerBand);

// Draws the planned scene (planPlotterScene) into `file` as a TIFF film
// (`settings` as for the plotter file, `film` the TIFF's own); the caller
// commits the file. The film holds the plotter file's image in its order:
// with the mirror off the image's bottom row is the film's first. Exposure
// is a set bit, shown black (PhotometricInterpretation WhiteIsZero);
// resolution in pixels per inch; each strip is compressed on the worker
// that draws it. Throws IoError / FormatError.
TiffFilmSummary writeTiffFilm(const RasterScene& scene, const PlotterExportPlan& plan,
                              const PlotterExportSettings& settings, const TiffFilmSettings& film,
                              ByteSink& file);

// A picture (rows as MonoImage's: a clear bit is exposure) as a TIFF in the
// same form, written a band of rows at a time, BigTIFF when it could pass
// 4 GB, with the resolution of `metadata` (none when 0) and its text as the
// ImageDescription "KEYWORD TEXT". Throws FormatError for an empty one.
std::unique_ptr<PictureWriter> openTiffWriter(
    const std::filesystem::path& path, uint32_t width, uint32_t height,
    const ImageMetadata& metadata, TiffCompression compression = TiffCompression::Group4);

// A whole image as openTiffWriter writes it.
void writeTiffImage(const std::filesystem::path& path, const MonoImage& image,
                    const ImageMetadata& metadata,
                    TiffCompression compression = TiffCompression::Group4);

}  // namespace drumplot
