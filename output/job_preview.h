// SPDX-License-Identifier: MIT
// Preview and print of a job: every chosen layer of every board drawn in one
// pass, without bands, into one bitmap fitted to a window (in the layer
// colours) or to a printer page (in black).
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "engine/band_bitmap.h"
#include "engine/interpreter.h"
#include "job/job.h"
#include "output/job_raster.h"

namespace drumplot {

// What the output dialog hands over in its preview mode.
struct JobPreviewSettings {
  DrawSettings draw;
  bool mirror = false;  // "Mirror horizontal": off shows the picture upside down
  int zoom = 1;         // "fit page" 1, "2:1" 2, "3:1" 3
};

// A bitmap size and the drawing scale in it. The job's corner (0, 0) lies
// on the bitmap's top left pixel.
struct OutputFit {
  int64_t width_px = 0;
  int64_t height_px = 0;
  double pixelsPerInch = 0.0;

  bool operator==(const OutputFit&) const = default;
};

// The preview of a job reaching (maxX, maxY) inches, fitted to a window
// client area of clientWidth_px x clientHeight_px (6 pixels are kept free)
// and enlarged `zoom` times; the job's bottom edge lands at 98 % of the
// height, which is rounded down to an even number. A degenerate job (no
// width or height) gets an empty fit.
OutputFit previewFit(double maxX, double maxY, int64_t clientWidth_px, int64_t clientHeight_px,
                     int zoom);

// A printer page: its printable area in printer pixels and its resolutions.
struct PrinterPage {
  int64_t printableWidth_px = 0;
  int64_t printableHeight_px = 0;
  double dpiX = 0.0;
  double dpiY = 0.0;
};

// The print of a job (jobWidth x jobHeight inches, tech area included) on
// `page`: at the printer's resolution, reduced by f = the larger of
// Wj / (printable width - 30) and Hj / (printable height - 30) when the job
// does not fit, with a pixel to spare on each side. Both directions are
// drawn at dpiX / f.
OutputFit printFit(double jobWidth, double jobHeight, const PrinterPage& page);

struct JobPreview {
  RgbSurface image;  // white background, each layer in its colour
  bool cancelled = false;
};

// Preview: every board layer in the layer's colour (LayerColors), then the
// tech-area frame in black, turned upside down when the mirror is off. The
// tech area, when in use, is part of the fitted extent. Throws FormatError
// when no board has a Gerber file on a chosen layer, IoError when a layer
// file cannot be read. `progress` hears of each layer file before it is
// read and of how far its drawing is; its `cancelled` stops the drawing.
// The files come from `prepared` when given (read there when not yet).
JobPreview renderJobPreview(const Job& job, const JobPreviewSettings& settings,
                            int64_t clientWidth_px, int64_t clientHeight_px,
                            Progress* progress = nullptr, PreparedJob* prepared = nullptr);

struct JobPrint {
  BandBitmap image;  // 1 bit per pixel, black on white
  OutputFit fit;
  bool cancelled = false;
};

// Print: the job in black fitted to the page, with the tech-area frame.
// Throws as renderJobPreview.
JobPrint renderJobPrint(const Job& job, const DrawSettings& draw, const PrinterPage& page,
                        Progress* progress = nullptr, PreparedJob* prepared = nullptr);

// The job's colours ($00BBGGRR) as drawing colours (0xRRGGBB).
Rgb bgrToRgb(uint32_t bgr);

}  // namespace drumplot
