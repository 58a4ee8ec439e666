// SPDX-License-Identifier: MIT
// TIFF films through libtiff: each piece of the film compressed into its
// strips on the worker that drew it, the strips written in file order.
#include "output/tiff_film.h"

#include <tiffio.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <exception>
#include <iterator>
#include <memory>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/errors.h"
#include "io/replacing_file.h"
#include "output/band_image.h"

namespace drumplot {

const char* toString(TiffCompression compression) {
  switch (compression) {
    case TiffCompression::Group4:
      return "g4";
    case TiffCompression::PackBits:
      return "packbits";
    case TiffCompression::None:
      return "none";
  }
  return "?";
}

std::optional<TiffCompression> parseTiffCompression(std::string_view text) {
  for (TiffCompression c :
       {TiffCompression::Group4, TiffCompression::PackBits, TiffCompression::None}) {
    if (text == toString(c)) return c;
  }
  return std::nullopt;
}

int64_t tiffStripRows(int64_t rowBytes, int64_t rowsPerBand) {
  constexpr int64_t kStripBytes = int64_t{1} << 20;
  int64_t rows = 1;
  while (2 * rows * rowBytes <= kStripBytes &&
         (rowsPerBand == 0 || rowsPerBand % (2 * rows) == 0)) {
    rows *= 2;
  }
  return rows;
}

namespace {

// TiffFilm - Where libtiff writes
// ============================================================================

// libtiff's file: the film, or a buffer that receives the strips of one
// piece while they are compressed. `at` is libtiff's place.
struct TiffSink {
  ByteSink* out = nullptr;
  uint64_t at = 0;
  bool discard = false;      // the output is given up: nothing more is written
  std::exception_ptr error;  // what a write threw
  std::string message;       // libtiff's first error
};

uint64_t sinkSize(const TiffSink& s) {
  return s.out->bytesWritten();
}

// Writes at `at`: over bytes already written, after them, or beyond the end
// (libtiff starts a directory on an even offset) with the gap filled with 0.
void writeSinkAt(TiffSink& s, uint64_t at, std::span<const uint8_t> bytes) {
  ByteSink& f = *s.out;
  if (at > f.bytesWritten()) f.write(std::vector<uint8_t>(at - f.bytesWritten(), 0));
  const auto over = static_cast<size_t>(std::min<uint64_t>(bytes.size(), f.bytesWritten() - at));
  if (over > 0) f.writeAt(at, bytes.first(over));
  if (over < bytes.size()) f.write(bytes.subspan(over));
}

// Written, never read.
tmsize_t sinkRead(thandle_t, void*, tmsize_t) {
  return 0;
}

tmsize_t sinkWrite(thandle_t handle, void* data, tmsize_t size) {
  auto& s = *static_cast<TiffSink*>(handle);
  if (s.discard) return size;
  try {
    writeSinkAt(s, s.at, {static_cast<const uint8_t*>(data), static_cast<size_t>(size)});
  } catch (...) {
    if (!s.error) s.error = std::current_exception();
    return -1;
  }
  s.at += static_cast<uint64_t>(size);
  return size;
}

toff_t sinkSeek(thandle_t handle, toff_t offset, int whence) {
  auto& s = *static_cast<TiffSink*>(handle);
  const uint64_t from = whence == SEEK_CUR ? s.at : whence == SEEK_END ? sinkSize(s) : 0;
  s.at = from + offset;  // a negative offset arrives as its two's complement
  return s.at;
}

int sinkClose(thandle_t) {
  return 0;
}
toff_t sinkSizeOf(thandle_t handle) {
  return sinkSize(*static_cast<TiffSink*>(handle));
}
int noMap(thandle_t, void**, toff_t*) {
  return 0;
}
void noUnmap(thandle_t, void*, toff_t) {}

// libtiff's errors are kept with their file, its warnings dropped; neither
// reaches the process-wide handlers (which print).
int keepError(TIFF*, void* user, const char*, const char* format, va_list args) {
  auto& s = *static_cast<TiffSink*>(user);
  if (s.message.empty()) {
    char text[512];
    std::vsnprintf(text, sizeof text, format, args);
    s.message = text;
  }
  return 1;
}

int dropWarning(TIFF*, void*, const char*, const char*, va_list) {
  return 1;
}

struct TiffCleanup {
  void operator()(TIFF* tif) const { TIFFCleanup(tif); }
};
using TiffHandle = std::unique_ptr<TIFF, TiffCleanup>;

// Little-endian whatever the machine, so that a film's bytes are the same
// everywhere.
TiffHandle openTiff(TiffSink& sink, bool bigTiff) {
  TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
  TIFFOpenOptionsSetErrorHandlerExtR(options, keepError, &sink);
  TIFFOpenOptionsSetWarningHandlerExtR(options, dropWarning, nullptr);
  TIFF* tif = TIFFClientOpenExt("film", bigTiff ? "w8l" : "wl", &sink, sinkRead, sinkWrite,
                                sinkSeek, sinkClose, sinkSizeOf, noMap, noUnmap, options);
  TIFFOpenOptionsFree(options);
  return TiffHandle(tif);
}

// TiffFilm - Fields
// ============================================================================

struct TiffLayout {
  uint32_t width = 0;      // pixels a row
  uint32_t height = 0;     // rows
  uint32_t stripRows = 0;  // rows a strip
  double dpi = 0.0;        // 0: none stated
  TiffCompression compression = TiffCompression::Group4;
  std::string description;  // ImageDescription; none when empty

  size_t rowBytes() const { return (size_t{width} + 7) / 8; }
  uint32_t strips() const {
    return static_cast<uint32_t>((uint64_t{height} + stripRows - 1) / stripRows);
  }
};

uint16_t tiffCompressionTag(TiffCompression c) {
  switch (c) {
    case TiffCompression::Group4:
      return COMPRESSION_CCITTFAX4;
    case TiffCompression::PackBits:
      return COMPRESSION_PACKBITS;
    case TiffCompression::None:
      return COMPRESSION_NONE;
  }
  return COMPRESSION_NONE;
}

// The fields of a film of `rows` rows: one sample of one bit, a set bit
// black (exposure), the most significant bit leftmost, in strips.
bool setFields(TIFF* tif, const TiffLayout& l, uint32_t rows) {
  bool ok = TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, l.width) &&
            TIFFSetField(tif, TIFFTAG_IMAGELENGTH, rows) &&
            TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 1) &&
            TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 1) &&
            TIFFSetField(tif, TIFFTAG_COMPRESSION, tiffCompressionTag(l.compression)) &&
            TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE) &&
            TIFFSetField(tif, TIFFTAG_FILLORDER, FILLORDER_MSB2LSB) &&
            TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG) &&
            TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, l.stripRows) &&
            TIFFSetField(tif, TIFFTAG_SOFTWARE, "drumplot");
  if (ok && l.compression == TiffCompression::Group4)
    ok = TIFFSetField(tif, TIFFTAG_GROUP4OPTIONS, 0);
  if (ok && l.dpi > 0.0) {
    ok = TIFFSetField(tif, TIFFTAG_XRESOLUTION, l.dpi) &&
         TIFFSetField(tif, TIFFTAG_YRESOLUTION, l.dpi) &&
         TIFFSetField(tif, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
  }
  if (ok && !l.description.empty())
    ok = TIFFSetField(tif, TIFFTAG_IMAGEDESCRIPTION, l.description.c_str());
  return ok;
}

// What a classic TIFF keeps free after the strips for its directory: the
// fields, the strip offsets and byte counts, the description.
uint64_t directoryRoom(const TiffLayout& l) {
  return 4096 + 8 * uint64_t{l.strips()} + l.description.size();
}

// Whether the film could pass the limit: its uncompressed rows, with
// PackBits' worst case of one byte more per 128, and the directory.
bool couldPassClassic(const TiffLayout& l, uint64_t limit) {
  const uint64_t rowBytes = l.rowBytes() + (l.rowBytes() + 127) / 128;
  return uint64_t{l.height} * rowBytes + directoryRoom(l) > limit;
}

// TiffFilm - Strips
// ============================================================================

// A piece of the film among the bands' bytes: its rows and strips, each
// strip's size (uint64_t), then the strips' bytes.
struct PieceHeader {
  uint32_t rows = 0;
  uint32_t strips = 0;
};

// `rows` film rows (from `data`, rowBytes() each) compressed as the film's
// strips and appended to `out` as a piece. They are compressed in a TIFF of
// their own that is thrown away: each strip stands alone (Group 4 begins
// every strip from a white line), so its bytes are the film's strip's.
// `film` names the film in errors.
void appendPiece(const TiffLayout& layout, uint8_t* data, uint32_t rows,
                 const std::filesystem::path& film, std::vector<uint8_t>& out) {
  // Kept for the worker's next piece (a fresh one costs as much as the
  // compression when the strips are not compressed), unless it grew large.
  constexpr size_t kKeptBytes = size_t{4} << 20;
  thread_local std::vector<uint8_t> tiff;
  if (tiff.capacity() > kKeptBytes) std::vector<uint8_t>().swap(tiff);
  tiff.clear();
  MemorySink buffer(tiff, film);
  TiffSink sink;
  sink.out = &buffer;
  TiffHandle tif = openTiff(sink, false);
  auto fail = [&] {
    throw FormatError(film.string() + ": cannot compress the film: " + sink.message);
  };
  if (!tif || !setFields(tif.get(), layout, rows)) fail();
  PieceHeader header{rows, (rows + layout.stripRows - 1) / layout.stripRows};
  for (uint32_t k = 0; k < header.strips; ++k) {
    const uint32_t first = k * layout.stripRows;
    const size_t bytes = std::min(layout.stripRows, rows - first) * layout.rowBytes();
    if (TIFFWriteEncodedStrip(tif.get(), k, data + first * layout.rowBytes(),
                              static_cast<tmsize_t>(bytes)) < 0) {
      fail();
    }
  }
  uint64_t total = sizeof header + sizeof(uint64_t) * header.strips;
  for (uint32_t k = 0; k < header.strips; ++k) total += TIFFGetStrileByteCount(tif.get(), k);
  out.reserve(out.size() + total);
  const auto put = [&out](const void* from, size_t size) {
    out.insert(out.end(), static_cast<const uint8_t*>(from),
               static_cast<const uint8_t*>(from) + size);
  };
  put(&header, sizeof header);
  for (uint32_t k = 0; k < header.strips; ++k) {
    const uint64_t size = TIFFGetStrileByteCount(tif.get(), k);
    put(&size, sizeof size);
  }
  for (uint32_t k = 0; k < header.strips; ++k) {
    put(tiff.data() + TIFFGetStrileOffset(tif.get(), k), TIFFGetStrileByteCount(tif.get(), k));
  }
  sink.discard = true;  // its directory is not needed
}

// TiffFilm - The file
// ============================================================================

// The film's TIFF: libtiff writes the header, the strips as they come and
// the directory into the file.
class TiffFile {
 public:
  TiffFile(ByteSink& file, const TiffLayout& layout, bool bigTiff, uint64_t classicLimit)
      : file_(file), layout_(layout), bigTiff_(bigTiff), classicLimit_(classicLimit) {
    sink_.out = &file;
    tif_ = openTiff(sink_, bigTiff);
    if (!tif_ || !setFields(tif_.get(), layout, layout.height)) {
      sink_.discard = true;
      fail("cannot write the TIFF");
    }
  }
  ~TiffFile() { sink_.discard = !finished_; }  // a film given up gets no directory
  TiffFile(const TiffFile&) = delete;
  TiffFile& operator=(const TiffFile&) = delete;

  // False, with nothing written, when the strip would take a classic
  // TIFF past its limit.
  bool writeCompressedStrip(uint32_t strip, const uint8_t* bytes, uint64_t size) {
    if (!bigTiff_ && file_.bytesWritten() + size + directoryRoom(layout_) > classicLimit_) {
      return false;
    }
    if (TIFFWriteRawStrip(tif_.get(), strip, const_cast<uint8_t*>(bytes),
                          static_cast<tmsize_t>(size)) < 0) {
      fail("write error");
    }
    return true;
  }

  void writeStrip(uint32_t strip, uint8_t* rows, size_t bytes) {
    if (TIFFWriteEncodedStrip(tif_.get(), strip, rows, static_cast<tmsize_t>(bytes)) < 0) {
      fail("write error");
    }
  }

  const std::filesystem::path& target() const { return file_.name(); }

  // The directory; the file is then complete.
  void finish() {
    if (!TIFFFlush(tif_.get())) fail("write error");
    finished_ = true;
  }

 private:
  [[noreturn]] void fail(const char* what) {
    if (sink_.error) std::rethrow_exception(sink_.error);
    throw IoError(file_.name().string() + ": " + what + ": " + sink_.message);
  }

  ByteSink& file_;
  TiffLayout layout_;
  bool bigTiff_;
  uint64_t classicLimit_;
  bool finished_ = false;
  TiffSink sink_;
  TiffHandle tif_;  // after sink_: closed while the sink is there
};

// TiffFilm - Writing bands
// ============================================================================

// The film's side of the bands. Each piece becomes film rows in place (the
// line widths, the film's order, a set bit for exposure) and is compressed
// into its strips by the worker that drew it; the pieces come back in file
// order, and their strips go into the film through libtiff. A classic film
// whose strips outgrow its limit is given up there: the rest is drawn but
// neither compressed nor written, and the film gets no directory.
class TiffFilmWriter final : public FilmWriter {
 public:
  TiffFilmWriter(const TiffLayout& layout, bool bigTiff, uint64_t classicLimit, bool mirror,
                 bool negative, int64_t horizontal_px)
      : layout_(layout),
        bigTiff_(bigTiff),
        classicLimit_(classicLimit),
        mirror_(mirror),
        negative_(negative),
        horizontal_px_(horizontal_px) {}

  void begin(ByteSink& file) override { file_.emplace(file, layout_, bigTiff_, classicLimit_); }

  size_t previewBytes() const override { return 0; }

  std::vector<uint8_t> previewsDrawn(BandBitmap& overview, BandBitmap&) override {
    overview_ = toMonoImage(overview);
    return {};
  }

  void encode(BandBitmap& band, ChunkSink& sink) const override {
    if (outgrewClassic_) return;
    const int64_t rows = band.rows();
    adjustBandLines(band, horizontal_px_);
    // The band's exposure is a clear bit, the film's a set one (a negative
    // film keeps the band's bits); with the mirror off the film's rows run
    // from the band's bottom up. One pass over the band does both.
    const uint32_t flip = negative_ ? 0u : ~0u;
    const size_t words = band.wordsPerRow();
    auto turn = [flip](uint32_t& w) { w ^= flip; };
    if (mirror_) {
      std::for_each(band.rowWords(0), band.rowWords(0) + words * static_cast<size_t>(rows), turn);
    }
    for (int64_t k = 0; !mirror_ && k < (rows + 1) / 2; ++k) {
      uint32_t* top = band.rowWords(k);
      uint32_t* bottom = band.rowWords(rows - 1 - k);
      for (size_t w = 0; w < words; ++w) {
        const uint32_t t = top[w] ^ flip;
        top[w] = bottom[w] ^ flip;
        bottom[w] = t;  // the middle row of an odd band: turned once
      }
    }
    band.markAllDrawn();  // turned over and flipped whole
    appendPiece(layout_, reinterpret_cast<uint8_t*>(band.rowWords(0)), static_cast<uint32_t>(rows),
                file_->target(), sink.buffer());
  }

  void write(std::span<const uint8_t> bytes, ByteSink&) override {
    while (!bytes.empty() && !outgrewClassic_) {
      PieceHeader header;
      if (bytes.size() < sizeof header) throw std::logic_error("a piece of the film is cut");
      std::memcpy(&header, bytes.data(), sizeof header);
      const size_t sizesBytes = sizeof(uint64_t) * header.strips;
      if (bytes.size() < sizeof header + sizesBytes) {
        throw std::logic_error("a piece of the film is cut");
      }
      // Every piece but the film's last is of whole strips.
      if (rows_ % layout_.stripRows != 0) {
        throw std::logic_error("a piece of the film starts inside a strip");
      }
      std::span<const uint8_t> strips = bytes.subspan(sizeof header + sizesBytes);
      for (uint32_t k = 0; k < header.strips; ++k) {
        uint64_t size = 0;
        std::memcpy(&size, bytes.data() + sizeof header + sizeof size * k, sizeof size);
        if (strips.size() < size) throw std::logic_error("a piece of the film is cut");
        if (!file_->writeCompressedStrip(strip_++, strips.data(), size)) {
          outgrewClassic_ = true;
          return;
        }
        strips = strips.subspan(static_cast<size_t>(size));
      }
      rows_ += header.rows;
      bytes = strips;
    }
  }

  void finish(ByteSink&) override {
    if (outgrewClassic_) return;
    if (rows_ != layout_.height || strip_ != layout_.strips()) {
      throw std::logic_error("a strip of the film was not written");
    }
    file_->finish();
  }

  bool outgrewClassic() const { return outgrewClassic_; }
  MonoImage& overview() { return overview_; }

 private:
  std::optional<TiffFile> file_;  // from begin()
  TiffLayout layout_;
  bool bigTiff_;
  uint64_t classicLimit_;
  std::atomic<bool> outgrewClassic_{false};  // read by encode() on the workers
  bool mirror_;
  bool negative_;
  int64_t horizontal_px_;
  MonoImage overview_;
  uint64_t rows_ = 0;   // written
  uint32_t strip_ = 0;  // the next strip of the film
};

}  // namespace

// TiffFilm
// ============================================================================

TiffFilmSummary writeTiffFilm(const RasterScene& planned, const PlotterExportPlan& plan,
                              const PlotterExportSettings& settings, const TiffFilmSettings& film,
                              ByteSink& file) {
  const auto start = std::chrono::steady_clock::now();
  TiffFilmSummary summary;
  PlotterExportSummary& exported = summary.exported;
  exported.plan = plan;
  summary.stripRows = tiffStripRows(plan.width_px / 8, plan.bands.rowsPerBand);
  // Pieces of whole strips (the bands are whole strips already); no
  // preview: the film holds the image alone.
  RasterScene scene = planned;
  scene.rowAlign = summary.stripRows;
  scene.preview = {};

  TiffLayout layout;
  layout.width = static_cast<uint32_t>(plan.width_px);
  layout.height = static_cast<uint32_t>(plan.height_px);
  layout.stripRows = static_cast<uint32_t>(summary.stripRows);
  layout.dpi = plan.dpi;
  layout.compression = film.compression;
  layout.description = settings.notes;
  summary.bigTiff = film.bigTiff || couldPassClassic(layout, film.classicLimitBytes);

  TiffFilmWriter writer(layout, summary.bigTiff, film.classicLimitBytes, settings.mirror,
                        settings.negative, horizontalLinePixels(settings));
  exported.raster = rasterizeJob(scene, writer, file, settings.run);
  exported.cancelled = exported.raster.cancelled;
  summary.outgrewClassic = writer.outgrewClassic();
  if (exported.cancelled || summary.outgrewClassic) return summary;
  exported.overview = std::move(writer.overview());
  if (!settings.mirror) flipOverviewTop(exported.overview);
  exported.fileBytes = file.bytesWritten();
  exported.seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  return summary;
}

namespace {

// Rows gathered into strips, turned over (exposure a set bit) on the way.
class TiffPictureWriter final : public PictureWriter {
 public:
  TiffPictureWriter(const std::filesystem::path& path, const TiffLayout& layout)
      : file_(path),
        layout_(layout),
        tiff_(file_, layout, couldPassClassic(layout, kClassicTiffLimit), kClassicTiffLimit) {
    strip_.reserve(layout.stripRows * layout.rowBytes());
  }

  void writeRows(const uint8_t* rows, uint32_t count) override {
    const size_t stripBytes = layout_.stripRows * layout_.rowBytes();
    const size_t bytes = count * layout_.rowBytes();
    for (size_t at = 0; at < bytes;) {
      const size_t n = std::min(bytes - at, stripBytes - strip_.size());
      std::transform(rows + at, rows + at + n, std::back_inserter(strip_),
                     [](uint8_t b) { return static_cast<uint8_t>(~b); });
      at += n;
      if (strip_.size() == stripBytes) writeStrip();
    }
  }

  void commit() override {
    if (!strip_.empty()) writeStrip();
    if (stripsWritten_ != layout_.strips()) {
      throw std::logic_error("a TIFF picture committed before its last row");
    }
    tiff_.finish();
    file_.commit();
  }

 private:
  void writeStrip() {
    tiff_.writeStrip(stripsWritten_++, strip_.data(), strip_.size());
    strip_.clear();
  }

  ReplacingFile file_;
  TiffLayout layout_;
  TiffFile tiff_;  // after file_: given up before the file goes
  std::vector<uint8_t> strip_;
  uint32_t stripsWritten_ = 0;
};

}  // namespace

std::unique_ptr<PictureWriter> openTiffWriter(const std::filesystem::path& path, uint32_t width,
                                              uint32_t height, const ImageMetadata& metadata,
                                              TiffCompression compression) {
  if (width == 0 || height == 0) {
    throw FormatError(path.string() + ": an empty image cannot be written as TIFF");
  }
  TiffLayout layout;
  layout.width = width;
  layout.height = height;
  layout.stripRows = static_cast<uint32_t>(
      std::min<int64_t>(tiffStripRows(static_cast<int64_t>(layout.rowBytes()), 0), height));
  layout.dpi = metadata.dpi;
  layout.compression = compression;
  if (!metadata.text.empty()) layout.description = metadata.keyword + " " + metadata.text;
  return std::make_unique<TiffPictureWriter>(path, layout);
}

void writeTiffImage(const std::filesystem::path& path, const MonoImage& image,
                    const ImageMetadata& metadata, TiffCompression compression) {
  auto out = openTiffWriter(path, image.width, image.height, metadata, compression);
  out->writeRows(image.bits.data(), image.height);
  out->commit();
}

}  // namespace drumplot
