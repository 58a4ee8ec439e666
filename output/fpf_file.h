// SPDX-License-Identifier: MIT
// The plotter file (.FPF): header blocks, thumbnail, preview and image
// records, and a reader that decodes them back (an independent check of the
// writer, and how an operator looks at what will be plotted).
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "output/mono_image.h"

namespace drumplot {

inline constexpr size_t kFpfHeaderBytes = 77;       // signature + 10-byte + 64-byte blocks
inline constexpr size_t kFpfThumbnailBytes = 5000;  // 200 rows of 25 bytes
inline constexpr size_t kFpfPreviewBytes = 80000;   // 800 rows of 100 bytes
inline constexpr size_t kFpfImageOffset = kFpfHeaderBytes + kFpfThumbnailBytes + kFpfPreviewBytes;
inline constexpr uint32_t kFpfLargeLimit = 65000;  // beyond this, "QK2" and 24-bit sizes
inline constexpr size_t kFpfNotesBytes = 50;       // the notes stored, at most

struct FpfHeader {
  uint32_t width = 0;   // pixels per row
  uint32_t height = 0;  // rows
  uint32_t dpi = 0;
  uint32_t previewWidth = 0;
  uint32_t previewHeight = 0;
  std::string notes;  // at most 50 characters are stored

  bool large() const { return width > kFpfLargeLimit || height > kFpfLargeLimit; }
};

// The 77 header bytes: "QKS" or "QK2", big-endian fields, notes cut to 50.
std::vector<uint8_t> encodeFpfHeader(const FpfHeader& header);

struct FpfContents {
  FpfHeader header;
  std::string signature;
  MonoImage thumbnail;  // 200 x 200
  MonoImage preview;    // previewWidth x previewHeight, as stored
  MonoImage image;      // records in file order, one group of four rows after another
  uint64_t records = 0;
  bool complete = true;  // false when the data ended inside a record
};

// The largest image decoded whole: 2^31 pixels, 256 MB. A job's film can be
// far larger; its header and preview still read.
inline constexpr uint64_t kMaxDecodedFpfPixels = uint64_t{1} << 31;

// Reads a plotter file: without `decodeImage` only its header, thumbnail
// and preview blocks; with it the image records too, read as they come.
// Record k fills rows 4k .. 4k+3 with bit k' of each value in row 4k + k'.
// Throws IoError / FormatError naming the file; FormatError before anything
// is decoded when the header's image has more than `maxPixels` pixels, and
// "damaged plotter file" naming the record and its rows when a record's runs
// do not make a row of the header's width or hold a code 0xF0 to 0xFE.
FpfContents readFpf(const std::filesystem::path& path, bool decodeImage = true,
                    uint64_t maxPixels = kMaxDecodedFpfPixels);

// The same from the file's bytes; `name` names it in errors.
FpfContents decodeFpf(const std::vector<uint8_t>& bytes, const std::string& name,
                      bool decodeImage = true, uint64_t maxPixels = kMaxDecodedFpfPixels);

// Columns of one run byte of a record (count x 16 + v, or a step of 10,
// 16, 32, 64 or 128 columns from 0xA0 on); the byte's low 4 bits are v.
uint32_t fpfRunColumns(uint8_t code);

// The header from the first bytes of a file.
FpfHeader decodeFpfHeader(const std::vector<uint8_t>& bytes, std::string* signature = nullptr);

}  // namespace drumplot
