// SPDX-License-Identifier: MIT
// FilmWriter: one film format's side of the drawing (the plotter file, the
// TIFF film, the job bitmap): the blocks before the bands, each band's
// bytes, and what follows the last band, all into a ByteSink.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "engine/band_bitmap.h"
#include "io/byte_sink.h"
#include "output/band_scheduler.h"

namespace drumplot {

// The drawing calls begin(), then previewsDrawn() once and encode() for
// every band (or piece of one), then write() with the bands' bytes in file
// order, then finish() unless the run was cancelled.
class FilmWriter {
 public:
  // The file's blocks before the previews and the bands (its header).
  virtual void begin(ByteSink& file) = 0;
  // The bytes the overview and preview give, placed before the first
  // band's bytes: the same number for every job.
  virtual size_t previewBytes() const = 0;
  // Once: the overview and preview drawn; returns previewBytes() bytes.
  // May run beside encode().
  virtual std::vector<uint8_t> previewsDrawn(BandBitmap& overview, BandBitmap& preview) = 0;
  // One band, or a piece of one; called from several threads at once.
  virtual void encode(BandBitmap& band, ChunkSink& sink) const = 0;
  // The bands' bytes in file order, one call at a time; what one encode()
  // put into sink.buffer() alone arrives in one call. They go into the
  // file as they are, unless the format has its own way (the TIFF film's
  // strips go through libtiff).
  virtual void write(std::span<const uint8_t> bytes, ByteSink& file) { file.write(bytes); }
  // What follows the last band (the TIFF's directory); the file is then
  // complete.
  virtual void finish(ByteSink&) {}

 protected:
  ~FilmWriter() = default;
};

}  // namespace drumplot
