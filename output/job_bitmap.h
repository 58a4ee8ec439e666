// SPDX-License-Identifier: MIT
// The job bitmap (Clip.Bmp): the whole job at 8192 pixels per inch as one
// uncompressed 1-bit Windows bitmap file.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>

#include "io/byte_sink.h"
#include "job/job.h"
#include "output/job_raster.h"
#include "output/mono_image.h"

namespace drumplot {

inline constexpr const char* kJobBitmapFileName = "Clip.Bmp";
// Shown after the file is written, followed by the file's path.
inline constexpr const char* kJobBitmapMessage = "Data is tranferred into ";
inline constexpr size_t kJobBitmapHeaderBytes = 62;
// The resolution fields: 8192 pixels per inch as pixels per metre.
inline constexpr uint32_t kJobBitmapPixelsPerMetre = 322520;

// What the export dialog hands over in its second mode.
struct JobBitmapSettings {
  DrawSettings draw;
  RunSettings run;
  std::filesystem::path file;
  // A negative film: clear where drawn, exposed elsewhere.
  bool negative = false;
};

struct JobBitmapPlan {
  int64_t width_px = 0;    // W: a multiple of 128
  int64_t height_px = 0;   // H
  BandGeometry bands;      // rows per band not rounded to 32
  uint64_t fileBytes = 0;  // 62 + W x H / 8
  size_t boardLayers = 0;
};

struct JobBitmapSummary {
  JobBitmapPlan plan;
  MonoImage overview;  // 400 x 400 at 30 pixels per inch, upside down as drawn into the file
  RasterStats raster;
  bool cancelled = false;  // nothing was written
  double seconds = 0.0;
};

// The file's 62 bytes before the pixel rows: file header, information
// header (W, H, one plane, 1 bit, no compression, 8192 pixels per inch),
// and the colours black (0) and white (1).
std::array<uint8_t, kJobBitmapHeaderBytes> encodeJobBitmapHeader(uint32_t width_px,
                                                                 uint32_t height_px);

// Sizes and bands. Throws FormatError, before anything is written, when no
// board has a Gerber file on a chosen layer, the file's 32-bit size fields
// cannot describe the image, or the budget holds less than one row.
JobBitmapPlan planJobBitmap(const Job& job, const JobBitmapSettings& settings);

// The plan, and the scene that draws it (a film of one layer draws a part
// of its board layers). Throws as planJobBitmap.
JobBitmapPlan planJobBitmapScene(const Job& job, const JobBitmapSettings& settings,
                                 RasterScene& scene);

// Draws the planned scene into `file` as a job bitmap; the caller commits
// the file. Throws IoError / FormatError.
JobBitmapSummary writeJobBitmapFile(const RasterScene& scene, const JobBitmapPlan& plan,
                                    const JobBitmapSettings& settings, ByteSink& file);

// Writes the file (through a temporary file renamed over settings.file at
// the end): rows band 0 first, each band from its top row down. Throws
// IoError / FormatError; a failed or cancelled run leaves no file and keeps
// an older one of that name.
JobBitmapSummary writeJobBitmap(const Job& job, const JobBitmapSettings& settings);

}  // namespace drumplot
