// SPDX-License-Identifier: MIT
// A whole 1-bit image in memory (renders, decoded plotter files, references),
// and its PNG and PBM files.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace drumplot {

// Rows of (width + 7) / 8 bytes, most significant bit leftmost, row 0 on top;
// a set bit is background (white), a clear bit is exposure (black).
struct MonoImage {
  uint32_t width = 0;
  uint32_t height = 0;
  std::vector<uint8_t> bits;

  MonoImage() = default;
  // An all-background image. Throws FormatError when the size cannot be held.
  MonoImage(uint32_t w, uint32_t h);

  size_t stride() const { return (static_cast<size_t>(width) + 7) / 8; }
  uint8_t* row(uint32_t y) { return bits.data() + y * stride(); }
  const uint8_t* row(uint32_t y) const { return bits.data() + y * stride(); }
  bool exposed(uint32_t x, uint32_t y) const { return !((row(y)[x >> 3] >> (7 - (x & 7))) & 1); }
  void setExposed(uint32_t x, uint32_t y, bool on) {
    uint8_t mask = static_cast<uint8_t>(0x80u >> (x & 7));
    if (on)
      row(y)[x >> 3] &= static_cast<uint8_t>(~mask);
    else
      row(y)[x >> 3] |= mask;
  }
  uint64_t exposedCount() const;
};

// The widest and tallest PNG that libpng writes and reads by default;
// a PBM holds any size.
inline constexpr uint32_t kMaxPngSide = 1000000;

// Throws FormatError naming `path` when a `width` x `height` picture is
// larger than a PNG may be, with what to write instead.
void checkPngSize(const std::filesystem::path& path, uint32_t width, uint32_t height);

// Where a picture lies, written into its file: the resolution, and a text
// under a keyword (a PNG's tEXt chunk; a TIFF's ImageDescription holds
// "KEYWORD TEXT").
struct ImageMetadata {
  double dpi = 0.0;  // 0: none stated
  std::string keyword;
  std::string text;  // none written when empty
};

// A picture written a band of rows at a time (rows as MonoImage's, set
// bits background) into a temporary file beside its name, renamed over it
// by commit() once every row is written; destroyed before, it leaves no
// file and an older one as it was. Throws IoError naming the file.
class PictureWriter {
 public:
  virtual ~PictureWriter() = default;
  virtual void writeRows(const uint8_t* rows, uint32_t count) = 0;
  virtual void commit() = 0;
};

// A PNG (checkPngSize first; with `metadata`) or a PBM (which has no room
// for it) of `width` x `height` pixels.
std::unique_ptr<PictureWriter> openPngWriter(const std::filesystem::path& path, uint32_t width,
                                             uint32_t height, const ImageMetadata& metadata = {});
// An RGB PNG (checkPngSize first): rows of three bytes a pixel, red,
// green and blue.
std::unique_ptr<PictureWriter> openRgbPngWriter(const std::filesystem::path& path, uint32_t width,
                                                uint32_t height);
std::unique_ptr<PictureWriter> openPbmWriter(const std::filesystem::path& path, uint32_t width,
                                             uint32_t height);

// 1-bit grayscale PNG (white = background), at most kMaxPngSide pixels a
// side (checkPngSize), with the resolution (pHYs, pixels per metre) and the
// text of `metadata` when given. Written through a temporary file.
void writePng(const std::filesystem::path& path, const MonoImage& image,
              const ImageMetadata& metadata = {});
// Binary PBM (P4: a set bit is black). Written through a temporary file.
void writePbm(const std::filesystem::path& path, const MonoImage& image);
// Writes PNG (with `metadata`) or PBM (which has no room for it) after the
// file's extension (".png", ".pbm"); throws FormatError for any other.
void writeImage(const std::filesystem::path& path, const MonoImage& image,
                const ImageMetadata& metadata = {});

// Reads any PNG; an opaque pixel darker than half grey is exposure.
MonoImage readPng(const std::filesystem::path& path);

}  // namespace drumplot
