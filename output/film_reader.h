// SPDX-License-Identifier: MIT
// Any film on disk (a plotter file, a TIFF film, a BMP) read back a few rows
// at a time, in memory bounded whatever the film's size.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

#include "output/film_export.h"

namespace drumplot {

// What a film's file states about its image.
struct FilmFacts {
  FilmFormat format = FilmFormat::Fpf;
  uint32_t width = 0;       // pixels a row
  uint32_t height = 0;      // rows
  double dpi = 0.0;         // 0: none stated
  std::string notes;        // the plotter file's notes, the TIFF's ImageDescription
  std::string compression;  // a TIFF's strips: "g4", "packbits", "none" or the tag's number

  size_t rowBytes() const { return (size_t{width} + 7) / 8; }
  uint64_t pixels() const { return uint64_t{width} * height; }
};

// A film's rows in file order (the order the plotter exposes them; the job
// bitmap's first row is the drawing's top), as MonoImage rows: a set bit is
// background. Every fault of the file throws FormatError naming the file
// and, where one is to blame, the rows.
class FilmReader {
 public:
  virtual ~FilmReader() = default;

  const FilmFacts& facts() const { return facts_; }
  const std::string& name() const { return name_; }

  // Rows first .. first + count - 1 into `rows` (count x rowBytes(); the
  // bits past the width are left as they come). Reading on from the last
  // row read streams the file; any other row seeks (a plotter file is read
  // through once for its index first). Once the last row has been read in
  // order, the file must end there.
  virtual void readRows(uint32_t first, uint32_t count, uint8_t* rows) = 0;

 protected:
  FilmReader(std::string name, const FilmFacts& facts) : name_(std::move(name)), facts_(facts) {}

  std::string name_;
  FilmFacts facts_;
};

// Opens a film by what its first bytes say it is ("QKS"/"QK2": a plotter
// file; "II"/"MM": a TIFF; "BM": a BMP), whatever its name. Throws
// IoError / FormatError naming the file for an unknown or damaged format: a
// TIFF that is not 1 bit in strips, a compressed or colour BMP, a BMP cut
// short (naming the row).
std::unique_ptr<FilmReader> openFilm(const std::filesystem::path& path);

// "plotter file", "TIFF film", "BMP".
const char* filmKindName(FilmFormat format);

}  // namespace drumplot
