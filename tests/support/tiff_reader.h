// SPDX-License-Identifier: MIT
// 1-bit TIFF files read back through libtiff, an independent reader of the
// films, strip by strip so that films past 4 GB can be checked too.
#pragma once

#include <tiffio.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "output/mono_image.h"

namespace drumplot::test {

struct TiffFacts {
  uint32_t width = 0;
  uint32_t height = 0;
  bool bigTiff = false;
  uint16_t compression = 0;
  uint16_t photometric = 0;
  uint16_t resolutionUnit = 0;
  float xResolution = 0.0f;
  float yResolution = 0.0f;
  uint32_t rowsPerStrip = 0;
  uint32_t strips = 0;
  std::string description;  // ImageDescription
};

using TiffRows = std::function<void(const TiffFacts& facts, uint32_t first, uint32_t count,
                                    const uint8_t* bits)>;

// Calls `rows` for each strip in order with its rows as a MonoImage holds
// them (a clear bit is exposure, black for a viewer).
inline TiffFacts readTiffStrips(const std::filesystem::path& file, const TiffRows& rows) {
  TIFF* tif = TIFFOpen(file.c_str(), "r");
  if (!tif) throw std::runtime_error(file.string() + ": libtiff cannot open it");
  TiffFacts f;
  uint16_t bits = 0, samples = 0;
  TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &f.width);
  TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &f.height);
  TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &bits);
  TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &samples);
  TIFFGetField(tif, TIFFTAG_COMPRESSION, &f.compression);
  TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &f.photometric);
  TIFFGetFieldDefaulted(tif, TIFFTAG_RESOLUTIONUNIT, &f.resolutionUnit);
  TIFFGetField(tif, TIFFTAG_XRESOLUTION, &f.xResolution);
  TIFFGetField(tif, TIFFTAG_YRESOLUTION, &f.yResolution);
  TIFFGetFieldDefaulted(tif, TIFFTAG_ROWSPERSTRIP, &f.rowsPerStrip);
  if (const char* text = nullptr; TIFFGetField(tif, TIFFTAG_IMAGEDESCRIPTION, &text) && text)
    f.description = text;
  f.bigTiff = TIFFIsBigTIFF(tif) != 0;
  f.strips = TIFFNumberOfStrips(tif);
  const size_t rowBytes = (size_t{f.width} + 7) / 8;
  std::vector<uint8_t> strip(rowBytes * f.rowsPerStrip);
  for (uint32_t k = 0; k < f.strips && bits == 1 && samples == 1; ++k) {
    const uint32_t first = k * f.rowsPerStrip;
    const uint32_t count = std::min(f.rowsPerStrip, f.height - first);
    const tmsize_t got =
        TIFFReadEncodedStrip(tif, k, strip.data(), static_cast<tmsize_t>(count * rowBytes));
    if (got != static_cast<tmsize_t>(count * rowBytes)) {
      TIFFClose(tif);
      throw std::runtime_error(file.string() + ": strip " + std::to_string(k) + " cannot be read");
    }
    if (f.photometric == PHOTOMETRIC_MINISWHITE) {
      for (size_t i = 0; i < count * rowBytes; ++i) strip[i] = static_cast<uint8_t>(~strip[i]);
    }
    rows(f, first, count, strip.data());
  }
  TIFFClose(tif);
  return f;
}

// The whole image.
inline MonoImage readTiff(const std::filesystem::path& file, TiffFacts* facts = nullptr) {
  MonoImage image;
  TiffFacts f = readTiffStrips(
      file, [&](const TiffFacts& g, uint32_t first, uint32_t count, const uint8_t* bits) {
        if (image.width == 0) image = MonoImage(g.width, g.height);
        std::copy(bits, bits + count * image.stride(), image.row(first));
      });
  if (facts) *facts = f;
  return image;
}

}  // namespace drumplot::test
