// SPDX-License-Identifier: MIT
// Films read back: plotter files through FpfReader, TIFF films strip by
// strip through libtiff, BMPs row by row.
#include "output/film_reader.h"

#include <tiffio.h>

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <vector>

#include "engine/errors.h"
#include "io/file_io.h"
#include "output/fpf_reader.h"

namespace drumplot {

namespace {

// The most one strip of a TIFF film may hold once decoded.
constexpr uint64_t kMaxStripBytes = uint64_t{16} << 20;

std::string rowsText(uint64_t first, uint64_t last) {
  return first == last ? "row " + std::to_string(first)
                       : "rows " + std::to_string(first) + " to " + std::to_string(last);
}

// FilmReader - Plotter file
// ============================================================================

FilmFacts fpfFacts(const FpfHeader& h) {
  FilmFacts f;
  f.format = FilmFormat::Fpf;
  f.width = h.width;
  f.height = h.height;
  f.dpi = h.dpi;
  f.notes = h.notes;
  return f;
}

class FpfFilm final : public FilmReader {
 public:
  explicit FpfFilm(const std::filesystem::path& path)
      : FpfFilm(std::make_unique<FpfReader>(path)) {}

  void readRows(uint32_t first, uint32_t count, uint8_t* rows) override {
    const size_t bytes = reader_->rowBytes();
    if (first != nextRow_) sought_ = true;
    for (uint32_t r = first; r < first + count; ++r) {
      loadGroup(r / 4);
      std::memcpy(rows + size_t{r - first} * bytes, group_.data() + (r % 4) * bytes, bytes);
    }
    nextRow_ = first + count;
    // Read through from the first record: the file must end with the last.
    if (!sought_ && nextRow_ == facts_.height) reader_->checkEnd();
  }

 private:
  explicit FpfFilm(std::unique_ptr<FpfReader> reader)
      : FilmReader(reader->name(), fpfFacts(reader->header())), reader_(std::move(reader)) {
    group_.assign(4 * reader_->rowBytes(), 0xFF);
  }

  void loadGroup(uint64_t group) {
    if (group == groupInRows_) return;
    if (group != readerNext_) {
      if (!indexed_) reader_->buildIndex();
      indexed_ = true;
      reader_->seekGroup(group);
    }
    groupInRows_ = reader_->readGroup(group_.data());
    readerNext_ = groupInRows_ + 1;
  }

  std::unique_ptr<FpfReader> reader_;
  std::vector<uint8_t> group_;         // four rows
  uint64_t groupInRows_ = UINT64_MAX;  // the group in group_
  uint64_t readerNext_ = 0;            // the group the reader decodes next
  uint32_t nextRow_ = 0;               // after the last row handed out
  bool indexed_ = false;
  bool sought_ = false;  // a row was read out of order
};

// FilmReader - TIFF film
// ============================================================================

// libtiff's first error, kept with the file; its warnings dropped.
int keepTiffError(TIFF*, void* user, const char*, const char* format, va_list args) {
  auto& message = *static_cast<std::string*>(user);
  if (message.empty()) {
    char text[512];
    std::vsnprintf(text, sizeof text, format, args);
    message = text;
  }
  return 1;
}

int dropTiffWarning(TIFF*, void*, const char*, const char*, va_list) {
  return 1;
}

struct TiffCloser {
  void operator()(TIFF* tif) const { TIFFClose(tif); }
};

class TiffFilm final : public FilmReader {
 public:
  explicit TiffFilm(const std::filesystem::path& path) : FilmReader(path.string(), {}) {
    TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
    TIFFOpenOptionsSetErrorHandlerExtR(options, keepTiffError, &message_);
    TIFFOpenOptionsSetWarningHandlerExtR(options, dropTiffWarning, nullptr);
    tif_.reset(TIFFOpenExt(path.c_str(), "r", options));
    TIFFOpenOptionsFree(options);
    if (!tif_) throw FormatError(name_ + ": cannot read the TIFF: " + message_);
    TIFF* t = tif_.get();
    uint32_t width = 0, height = 0, stripRows = 0;
    uint16_t bits = 1, samples = 1, photometric = PHOTOMETRIC_MINISWHITE, unit = RESUNIT_INCH;
    TIFFGetField(t, TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetField(t, TIFFTAG_IMAGELENGTH, &height);
    TIFFGetFieldDefaulted(t, TIFFTAG_BITSPERSAMPLE, &bits);
    TIFFGetFieldDefaulted(t, TIFFTAG_SAMPLESPERPIXEL, &samples);
    TIFFGetField(t, TIFFTAG_PHOTOMETRIC, &photometric);
    TIFFGetFieldDefaulted(t, TIFFTAG_ROWSPERSTRIP, &stripRows);
    if (TIFFIsTiled(t) || bits != 1 || samples != 1 ||
        (photometric != PHOTOMETRIC_MINISWHITE && photometric != PHOTOMETRIC_MINISBLACK)) {
      throw FormatError(name_ + ": not a film: a film is a TIFF of 1-bit pixels in strips");
    }
    if (width == 0 || height == 0) throw FormatError(name_ + ": the TIFF holds no pixels");
    stripRows_ = std::clamp<uint32_t>(stripRows, 1, height);
    const uint64_t stripBytes = uint64_t{stripRows_} * ((width + 7) / 8);
    if (stripBytes > kMaxStripBytes) {
      throw FormatError(name_ + ": strips of " + std::to_string(stripBytes >> 20) +
                        " MB, more than a film is read by (" +
                        std::to_string(kMaxStripBytes >> 20) + " MB)");
    }
    exposureSet_ = photometric == PHOTOMETRIC_MINISWHITE;
    uint16_t compression = COMPRESSION_NONE;
    TIFFGetFieldDefaulted(t, TIFFTAG_COMPRESSION, &compression);
    facts_.compression = compression == COMPRESSION_CCITTFAX4  ? "g4"
                         : compression == COMPRESSION_PACKBITS ? "packbits"
                         : compression == COMPRESSION_NONE     ? "none"
                                                               : std::to_string(compression);
    float resolution = 0.0f;
    TIFFGetFieldDefaulted(t, TIFFTAG_RESOLUTIONUNIT, &unit);
    if (TIFFGetField(t, TIFFTAG_XRESOLUTION, &resolution) && unit != RESUNIT_NONE) {
      facts_.dpi =
          std::round(resolution * (unit == RESUNIT_CENTIMETER ? 2.54 : 1.0) * 1000.0) / 1000.0;
    }
    const char* description = nullptr;
    if (TIFFGetField(t, TIFFTAG_IMAGEDESCRIPTION, &description) && description)
      facts_.notes = description;
    facts_.format = FilmFormat::Tiff;
    facts_.width = width;
    facts_.height = height;
    strip_.resize(static_cast<size_t>(stripBytes));
  }

  void readRows(uint32_t first, uint32_t count, uint8_t* rows) override {
    const size_t bytes = facts_.rowBytes();
    for (uint32_t r = first; r < first + count; ++r) {
      loadStrip(r / stripRows_);
      const uint8_t* from = strip_.data() + size_t{r % stripRows_} * bytes;
      uint8_t* to = rows + size_t{r - first} * bytes;
      if (exposureSet_) {
        std::transform(from, from + bytes, to, [](uint8_t b) { return static_cast<uint8_t>(~b); });
      } else {
        std::memcpy(to, from, bytes);
      }
    }
  }

 private:
  void loadStrip(uint32_t strip) {
    if (strip == stripInBuffer_) return;
    const uint32_t top = strip * stripRows_;
    const uint32_t rows = std::min(stripRows_, facts_.height - top);
    const tmsize_t want = static_cast<tmsize_t>(size_t{rows} * facts_.rowBytes());
    message_.clear();
    stripInBuffer_ = UINT32_MAX;
    const tmsize_t got = TIFFReadEncodedStrip(tif_.get(), strip, strip_.data(), want);
    if (got != want) {
      throw FormatError(name_ + ": damaged TIFF film: " + rowsText(top, top + rows - 1) +
                        " (strip " + std::to_string(strip + 1) +
                        "): " + (message_.empty() ? "the strip holds too few rows" : message_));
    }
    stripInBuffer_ = strip;
  }

  std::string message_;  // before tif_: its handler writes here until it closes
  std::unique_ptr<TIFF, TiffCloser> tif_;
  uint32_t stripRows_ = 1;
  bool exposureSet_ = true;  // a set bit is exposure (MinIsWhite)
  std::vector<uint8_t> strip_;
  uint32_t stripInBuffer_ = UINT32_MAX;
};

// FilmReader - BMP
// ============================================================================

uint32_t le32(const uint8_t* at) {
  return at[0] | uint32_t{at[1]} << 8 | uint32_t{at[2]} << 16 | uint32_t{at[3]} << 24;
}

class BmpFilm final : public FilmReader {
 public:
  BmpFilm(const std::filesystem::path& path, CFile file, const std::vector<uint8_t>& head,
          uint64_t fileBytes)
      : FilmReader(path.string(), {}), file_(std::move(file)) {
    const auto refuse = [this](const std::string& why) {
      return FormatError(name_ + ": not a film: " + why);
    };
    const uint32_t infoBytes = le32(&head[14]);
    const auto width = static_cast<int32_t>(le32(&head[18]));
    const auto height = static_cast<int32_t>(le32(&head[22]));
    const uint32_t bitsAndPlanes = le32(&head[26]);
    if (infoBytes < 40 || head.size() < 14 + size_t{infoBytes} + 8)
      throw refuse("the BMP's header is cut short");
    if (bitsAndPlanes != 0x00010001 || le32(&head[30]) != 0)
      throw refuse("a film is an uncompressed BMP of 1-bit pixels");
    if (width <= 0 || height == 0 || height == INT32_MIN) throw refuse("the BMP holds no pixels");
    facts_.format = FilmFormat::Bmp;
    facts_.width = static_cast<uint32_t>(width);
    facts_.height = static_cast<uint32_t>(height < 0 ? -int64_t{height} : height);
    facts_.dpi = std::round(le32(&head[38]) * 0.0254);
    // The colour of a set bit: white unless colour 1 is the darker one.
    const uint8_t* colours = &head[14 + infoBytes];
    const auto brightness = [](const uint8_t* c) { return c[0] + c[1] + c[2]; };
    invert_ = brightness(colours + 4) < brightness(colours);
    pixelsAt_ = le32(&head[10]);
    stride_ = (uint64_t{facts_.width} + 31) / 32 * 4;
    const uint64_t need = pixelsAt_ + stride_ * facts_.height;
    if (fileBytes < need) {
      const uint64_t whole = fileBytes < pixelsAt_ ? 0 : (fileBytes - pixelsAt_) / stride_;
      throw FormatError(name_ + ": damaged BMP: the file ends inside row " + std::to_string(whole) +
                        " of its " + std::to_string(facts_.height) + " rows (" +
                        std::to_string(fileBytes) + " of " + std::to_string(need) + " bytes)");
    }
    pad_.resize(static_cast<size_t>(stride_ - facts_.rowBytes()));
  }

  void readRows(uint32_t first, uint32_t count, uint8_t* rows) override {
    const size_t bytes = facts_.rowBytes();
    if (first != nextRow_ &&
        fseeko(file_.get(), static_cast<off_t>(pixelsAt_ + first * stride_), SEEK_SET) != 0) {
      throw IoError(name_ + ": cannot read the file");
    }
    for (uint32_t k = 0; k < count; ++k) {
      uint8_t* row = rows + size_t{k} * bytes;
      if (std::fread(row, 1, bytes, file_.get()) != bytes ||
          std::fread(pad_.data(), 1, pad_.size(), file_.get()) != pad_.size()) {
        throw IoError(name_ + ": cannot read " + rowsText(first + k, first + k));
      }
      if (invert_)
        std::for_each(row, row + bytes, [](uint8_t& b) { b = static_cast<uint8_t>(~b); });
    }
    nextRow_ = first + count;
  }

 private:
  CFile file_;
  uint64_t pixelsAt_ = 0;
  uint64_t stride_ = 0;  // a row's bytes with their padding to 4
  bool invert_ = false;
  std::vector<uint8_t> pad_;
  uint32_t nextRow_ = UINT32_MAX;  // the row the file is at; none before the first read
};

}  // namespace

const char* filmKindName(FilmFormat format) {
  switch (format) {
    case FilmFormat::Fpf:
      return "plotter file";
    case FilmFormat::Tiff:
      return "TIFF film";
    case FilmFormat::Bmp:
      return "BMP";
  }
  return "film";
}

std::unique_ptr<FilmReader> openFilm(const std::filesystem::path& path) {
  CFile file(std::fopen(path.c_str(), "rb"));
  if (!file) throw IoError(path.string() + ": cannot open the file");
  std::vector<uint8_t> head(256);
  head.resize(std::fread(head.data(), 1, head.size(), file.get()));
  const auto starts = [&head](const char* magic) {
    const size_t n = std::strlen(magic);
    return head.size() >= n && std::memcmp(head.data(), magic, n) == 0;
  };
  if (starts("QKS") || starts("QK2")) return std::make_unique<FpfFilm>(path);
  if (starts("II") || starts("MM")) return std::make_unique<TiffFilm>(path);
  if (starts("BM") && head.size() >= 54) {
    std::error_code ec;
    const uintmax_t bytes = std::filesystem::file_size(path, ec);
    if (ec) throw IoError(path.string() + ": cannot read the file");
    return std::make_unique<BmpFilm>(path, std::move(file), head, bytes);
  }
  throw FormatError(path.string() +
                    ": not a film: neither a plotter file, a TIFF nor a BMP by its first bytes");
}

}  // namespace drumplot
