// SPDX-License-Identifier: MIT
// Films compared row by row as they stream: the job drawn by a film writer
// that keeps its rows instead of coding them, or a second film read beside
// the first.
#include "output/film_compare.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <span>
#include <sstream>
#include <stdexcept>

#include "engine/errors.h"
#include "io/file_io.h"
#include "output/band_image.h"
#include "output/fpf_file.h"
#include "output/job_bitmap.h"
#include "output/plotter_export.h"
#include "output/workers.h"

namespace drumplot {

namespace {

// Rows compared at a time, and read backwards at a time (the mirror's check).
constexpr size_t kChunkBytes = size_t{1} << 20;
constexpr size_t kBackwardBytes = size_t{8} << 20;

// FilmCompare - Rows
// ============================================================================

// A row as 64-bit words, the leftmost pixel the top bit, the bits past the
// width background.
void loadRowWords(const uint8_t* row, uint32_t width, std::vector<uint64_t>& words) {
  const size_t bytes = (size_t{width} + 7) / 8;
  words.resize((size_t{width} + 63) / 64);
  const size_t whole = bytes / 8;
  for (size_t w = 0; w < whole; ++w) {
    uint64_t v;
    std::memcpy(&v, row + 8 * w, 8);
    words[w] = std::endian::native == std::endian::little ? __builtin_bswap64(v) : v;
  }
  if (whole < words.size()) {
    uint64_t v = 0;
    for (size_t k = 0; k < 8; ++k)
      v = v << 8 | (8 * whole + k < bytes ? row[8 * whole + k] : 0xFFu);
    words[whole] = v;
  }
  if (width % 64 != 0) words.back() |= ~uint64_t{0} >> (width % 64);
}

// Pixels a to b (b excluded, 0 <= a < b <= 64) of a word.
uint64_t pixelMask(uint64_t a, uint64_t b) {
  const uint64_t bits = b - a == 64 ? ~uint64_t{0} : ((uint64_t{1} << (b - a)) - 1);
  return bits << (64 - b);
}

uint64_t differingPixels(const uint8_t* a, const uint8_t* b, uint32_t width) {
  const size_t whole = width / 8;
  uint64_t n = 0;
  size_t k = 0;
  for (; k + 8 <= whole; k += 8) {
    uint64_t x, y;
    std::memcpy(&x, a + k, 8);
    std::memcpy(&y, b + k, 8);
    n += static_cast<uint64_t>(std::popcount(x ^ y));
  }
  for (; k < whole; ++k)
    n += static_cast<uint64_t>(std::popcount(static_cast<uint8_t>(a[k] ^ b[k])));
  if (width % 8 != 0) {
    const auto mask = static_cast<uint8_t>(0xFF00u >> (width % 8));
    n += static_cast<uint64_t>(std::popcount(static_cast<uint8_t>((a[k] ^ b[k]) & mask)));
  }
  return n;
}

// FilmCompare - The tally
// ============================================================================

// The differences of the rows as they come: counted, the first rows kept,
// half-inch tiles merged into boxes one row of tiles at a time, and the
// reduced picture written a row at a time.
class DifferenceTally {
 public:
  DifferenceTally(const FilmFacts& facts, const DiffPictureSettings& diff) : facts_(facts) {
    tilePx_ = std::max<uint32_t>(
        1, static_cast<uint32_t>(std::lround((facts.dpi > 0 ? facts.dpi : 1000) / 2)));
    tileCounts_.assign((facts.width + tilePx_ - 1) / tilePx_, 0);
    if (diff.file.empty()) return;
    pictureWidth_ = std::clamp<uint32_t>(diff.width, 1, facts.width);
    // A long narrow film's picture narrower still, its height within a PNG's side.
    const uint64_t widest =
        std::max<uint64_t>(1, uint64_t{kMaxPngSide} * facts.width / facts.height);
    pictureWidth_ = static_cast<uint32_t>(std::min<uint64_t>(pictureWidth_, widest));
    pictureHeight_ =
        static_cast<uint32_t>((uint64_t{facts.height} - 1) * pictureWidth_ / facts.width + 1);
    picture_ = openRgbPngWriter(diff.file, pictureWidth_, pictureHeight_);
    kinds_.assign(pictureWidth_, 0);
    pictureRow_.resize(3 * size_t{pictureWidth_});
  }

  // The next `count` rows of the job (or first film) and of the film.
  void addRows(const uint8_t* job, const uint8_t* film, uint32_t count) {
    const size_t bytes = facts_.rowBytes();
    for (uint32_t k = 0; k < count; ++k) addRow(job + k * bytes, film + k * bytes);
  }

  void finish(FilmComparison& out) {
    if (row_ != facts_.height) throw std::logic_error("a film compared short of its last row");
    closeTileRow();
    for (const OpenBox& box : open_) closeBox(box);
    out.differingPixels = differing_;
    out.firstRows = std::move(firstRows_);
    out.boxes = std::move(boxes_);
    out.boxCount = boxCount_;
    if (!picture_) return;
    while (pictureY_ < pictureHeight_) writePictureRow();
    picture_->commit();
  }

 private:
  // Tiles l to r (inclusive) of tile rows top to bottom.
  struct OpenBox {
    uint32_t l, r, top, bottom;
    uint64_t pixels;
  };

  // What a reduced pixel covers: exposed in both, only in the film, only in the job.
  enum Kind : uint8_t { kBoth = 1, kFilmOnly = 2, kJobOnly = 4 };

  void addRow(const uint8_t* job, const uint8_t* film) {
    const uint32_t y = row_++;
    if (y / tilePx_ != tileRow_) {
      closeTileRow();
      tileRow_ = y / tilePx_;
    }
    if (picture_) {
      for (uint32_t py = static_cast<uint32_t>(uint64_t{y} * pictureWidth_ / facts_.width);
           pictureY_ < py;)
        writePictureRow();
    }
    if (!picture_ && differingPixels(job, film, facts_.width) == 0) return;
    loadRowWords(job, facts_.width, jobWords_);
    loadRowWords(film, facts_.width, filmWords_);
    uint64_t rowDiffering = 0;
    for (size_t w = 0; w < jobWords_.size(); ++w) {
      const uint64_t jobExposed = ~jobWords_[w], filmExposed = ~filmWords_[w];
      const uint64_t x = jobExposed ^ filmExposed;
      if (x != 0) {
        rowDiffering += static_cast<uint64_t>(std::popcount(x));
        addToTiles(w, x);
      }
      if (picture_ && (jobExposed | filmExposed) != 0)
        addToPicture(w, jobExposed & filmExposed, filmExposed & ~jobExposed,
                     jobExposed & ~filmExposed);
    }
    if (rowDiffering == 0) return;
    differing_ += rowDiffering;
    if (firstRows_.size() < kReportedRows) firstRows_.push_back({y, rowDiffering});
  }

  // The differing pixels `x` of word w into their tiles.
  void addToTiles(size_t w, uint64_t x) {
    const uint64_t x0 = 64 * uint64_t{w};
    const uint64_t last = std::min<uint64_t>(x0 + 63, facts_.width - 1);
    for (uint64_t t = x0 / tilePx_; t <= last / tilePx_; ++t) {
      const uint64_t a = std::max(t * tilePx_, x0) - x0;
      const uint64_t b = std::min((t + 1) * tilePx_, x0 + 64) - x0;
      tileCounts_[t] += static_cast<uint64_t>(std::popcount(x & pixelMask(a, b)));
    }
    tileRowDiffers_ = true;
  }

  // Each run of differing tiles of the row joins the boxes of the row above
  // and of this row that it touches (corners too); a box of the row above
  // that no run joins is complete.
  void closeTileRow() {
    if (!tileRowDiffers_) return;
    tileRowDiffers_ = false;
    std::vector<OpenBox> joined;
    for (uint32_t l = 0; l < tileCounts_.size(); ++l) {
      if (tileCounts_[l] == 0) continue;
      uint64_t pixels = 0;
      uint32_t end = l;  // after the run
      for (; end < tileCounts_.size() && tileCounts_[end] != 0; ++end) {
        pixels += tileCounts_[end];
        tileCounts_[end] = 0;
      }
      OpenBox box{l, end - 1, tileRow_, tileRow_, pixels};
      l = end;
      const auto touches = [&box, this](const OpenBox& o) {
        return o.bottom + 1 >= tileRow_ && o.l <= box.r + 1 && box.l <= o.r + 1;
      };
      for (bool merged = true; merged;) {
        merged = false;
        for (std::vector<OpenBox>* boxes : {&open_, &joined}) {
          for (auto it = boxes->begin(); it != boxes->end();) {
            if (!touches(*it)) {
              ++it;
              continue;
            }
            box = {std::min(box.l, it->l), std::max(box.r, it->r), std::min(box.top, it->top),
                   box.bottom, box.pixels + it->pixels};
            it = boxes->erase(it);
            merged = true;
          }
        }
      }
      joined.push_back(box);
    }
    for (const OpenBox& box : open_) closeBox(box);
    open_ = std::move(joined);
  }

  void closeBox(const OpenBox& o) {
    ++boxCount_;
    const auto edge = [this](uint64_t tiles, uint32_t limit) {
      return static_cast<uint32_t>(std::min<uint64_t>(tiles * tilePx_, limit));
    };
    const DifferenceBox box{edge(o.l, facts_.width), edge(o.top, facts_.height),
                            edge(o.r + 1, facts_.width), edge(o.bottom + 1, facts_.height),
                            o.pixels};
    const auto before = [](const DifferenceBox& a, const DifferenceBox& b) {
      return a.top != b.top ? a.top < b.top : a.left < b.left;
    };
    boxes_.insert(std::upper_bound(boxes_.begin(), boxes_.end(), box, before), box);
    if (boxes_.size() > kReportedBoxes) boxes_.pop_back();
  }

  // Word w's pixels into the reduced pixels they fall in.
  void addToPicture(size_t w, uint64_t both, uint64_t filmOnly, uint64_t jobOnly) {
    const uint64_t W = facts_.width, P = pictureWidth_;
    const uint64_t x0 = 64 * uint64_t{w};
    const uint64_t last = std::min<uint64_t>(x0 + 63, W - 1);
    for (uint64_t c = x0 * P / W; c <= last * P / W; ++c) {
      const uint64_t from = std::max((c * W + P - 1) / P, x0) - x0;
      const uint64_t to = std::min(((c + 1) * W + P - 1) / P, x0 + 64) - x0;
      const uint64_t mask = pixelMask(from, to);
      kinds_[c] |=
          static_cast<uint8_t>(((both & mask) ? kBoth : 0) | ((filmOnly & mask) ? kFilmOnly : 0) |
                               ((jobOnly & mask) ? kJobOnly : 0));
    }
  }

  void writePictureRow() {
    for (size_t c = 0; c < kinds_.size(); ++c) {
      const uint8_t k = kinds_[c];
      const bool film = k & kFilmOnly, job = k & kJobOnly;
      const Rgb colour = film && job   ? 0xFF00FF
                         : film        ? 0xFF0000
                         : job         ? 0x0000FF
                         : (k & kBoth) ? kBlack
                                       : kWhite;
      pictureRow_[3 * c] = static_cast<uint8_t>(colour >> 16);
      pictureRow_[3 * c + 1] = static_cast<uint8_t>(colour >> 8);
      pictureRow_[3 * c + 2] = static_cast<uint8_t>(colour);
      kinds_[c] = 0;
    }
    picture_->writeRows(pictureRow_.data(), 1);
    ++pictureY_;
  }

  FilmFacts facts_;
  uint32_t row_ = 0;  // the next row
  uint64_t differing_ = 0;
  std::vector<DifferingRow> firstRows_;
  std::vector<uint64_t> jobWords_, filmWords_;
  // Tiles: the differing pixels of each tile of the current row of tiles.
  uint32_t tilePx_ = 1;
  uint32_t tileRow_ = 0;
  bool tileRowDiffers_ = false;
  std::vector<uint64_t> tileCounts_;
  std::vector<OpenBox> open_;  // boxes that reached the last row of tiles with differences
  std::vector<DifferenceBox> boxes_;
  uint64_t boxCount_ = 0;
  // The picture.
  std::unique_ptr<PictureWriter> picture_;
  uint32_t pictureWidth_ = 0, pictureHeight_ = 0, pictureY_ = 0;
  std::vector<uint8_t> kinds_;  // of the picture row being gathered
  std::vector<uint8_t> pictureRow_;
};

// The differences of the film read from its last row up against rows in
// order: the film as it would be with the mirror turned.
class MirroredCount {
 public:
  explicit MirroredCount(FilmReader& film) : film_(film) {
    const size_t bytes = film.facts().rowBytes();
    blockRows_ =
        static_cast<uint32_t>(std::clamp<uint64_t>(kBackwardBytes / bytes, 1, film.facts().height));
    block_.resize(blockRows_ * bytes);
  }

  void addRows(const uint8_t* rows, uint32_t first, uint32_t count) {
    const FilmFacts& f = film_.facts();
    for (uint32_t k = 0; k < count; ++k) {
      const uint32_t filmRow = f.height - 1 - (first + k);
      if (filmRow < blockFirst_ || filmRow >= blockEnd_) {
        blockEnd_ = filmRow + 1;
        blockFirst_ = blockEnd_ - std::min(blockRows_, blockEnd_);
        film_.readRows(blockFirst_, blockEnd_ - blockFirst_, block_.data());
      }
      differing_ +=
          differingPixels(rows + size_t{k} * f.rowBytes(),
                          block_.data() + size_t{filmRow - blockFirst_} * f.rowBytes(), f.width);
    }
  }

  uint64_t differing() const { return differing_; }

 private:
  FilmReader& film_;
  uint32_t blockRows_ = 1;
  std::vector<uint8_t> block_;
  uint32_t blockFirst_ = 0, blockEnd_ = 0;  // film rows in block_
  uint64_t differing_ = 0;
};

// FilmCompare - Heads of plotter files
// ============================================================================

std::vector<uint8_t> readFpfHead(const std::filesystem::path& path) {
  CFile file(std::fopen(path.c_str(), "rb"));
  std::vector<uint8_t> head(kFpfImageOffset);
  if (!file || std::fread(head.data(), 1, head.size(), file.get()) != head.size())
    throw IoError(path.string() + ": cannot read the plotter file's header");
  return head;
}

std::string inQuotes(const std::string& text) {
  return "'" + text + "'";
}

// The header fields of two plotter files' first bytes that differ, each named.
void compareFpfHeaders(std::span<const uint8_t> first, std::span<const uint8_t> second,
                       const std::string& firstName, const std::string& secondName,
                       std::vector<std::string>& parts) {
  const auto head = [](std::span<const uint8_t> bytes) {
    return std::vector<uint8_t>(bytes.begin(), bytes.begin() + kFpfHeaderBytes);
  };
  if (std::equal(first.begin(), first.begin() + kFpfHeaderBytes, second.begin())) return;
  const FpfHeader a = decodeFpfHeader(head(first)), b = decodeFpfHeader(head(second));
  const size_t named = parts.size();
  if (a.previewWidth != b.previewWidth || a.previewHeight != b.previewHeight) {
    parts.push_back("header: a preview of " + std::to_string(b.previewWidth) + " x " +
                    std::to_string(b.previewHeight) + " in " + secondName + ", " +
                    std::to_string(a.previewWidth) + " x " + std::to_string(a.previewHeight) +
                    " in " + firstName);
  }
  if (a.notes != b.notes) {
    parts.push_back("notes: " + inQuotes(b.notes) + " in " + secondName + ", " + inQuotes(a.notes) +
                    " in " + firstName);
  }
  if (parts.size() == named) parts.push_back("header: bytes outside its fields");
}

// The thumbnail and preview blocks (as they follow the header).
void compareFpfBlocks(std::span<const uint8_t> first, std::span<const uint8_t> second,
                      std::vector<std::string>& parts) {
  if (!std::equal(first.begin(), first.begin() + kFpfThumbnailBytes, second.begin()))
    parts.emplace_back("thumbnail");
  if (!std::equal(first.begin() + kFpfThumbnailBytes, first.end(),
                  second.begin() + kFpfThumbnailBytes))
    parts.emplace_back("preview");
}

// FilmCompare - The job drawn again
// ============================================================================

// Bytes that go nowhere: the comparing writer's file.
class DiscardingSink final : public ByteSink {
 public:
  explicit DiscardingSink(std::filesystem::path name) : name_(std::move(name)) {}
  uint64_t bytesWritten() const override { return bytes_; }
  const std::filesystem::path& name() const override { return name_; }

 private:
  void append(std::span<const uint8_t> bytes) override { bytes_ += bytes.size(); }
  void overwrite(uint64_t, std::span<const uint8_t>) override {}

  std::filesystem::path name_;
  uint64_t bytes_ = 0;
};

// The film format's side of the drawing, with the film on disk in place of
// the file: each piece made into film rows as the format makes them (the
// line widths, the negative, the order the mirror gives) and kept a few
// rows at a time; the rows arrive in file order and are compared with the
// film's rows read on.
class ComparingWriter final : public FilmWriter {
 public:
  ComparingWriter(const FilmSettings& settings, FilmReader& film, MirroredCount* mirrored,
                  DifferenceTally& tally, std::span<const uint8_t> fileBlocks)
      : format_(settings.format),
        mirror_(settings.plotter.mirror),
        negative_(settings.plotter.negative),
        horizontal_px_(horizontalLinePixels(settings.plotter)),
        film_(film),
        mirrored_(mirrored),
        tally_(tally),
        fileBlocks_(fileBlocks),
        rowBytes_(film.facts().rowBytes()) {
    chunkRows_ = std::max<size_t>(1, kChunkBytes / rowBytes_);
    filmRows_.resize(chunkRows_ * rowBytes_);
  }

  void begin(ByteSink&) override {}
  size_t previewBytes() const override { return 0; }

  std::vector<uint8_t> previewsDrawn(BandBitmap&, BandBitmap& preview) override {
    if (format_ == FilmFormat::Fpf) {
      const std::vector<uint8_t> blocks = plotterPreviewBlocks(preview, mirror_, negative_);
      compareFpfBlocks(blocks, fileBlocks_, differingBlocks_);
    }
    return {};
  }

  void encode(BandBitmap& band, ChunkSink& sink) const override {
    if (format_ != FilmFormat::Bmp) adjustBandLines(band, horizontal_px_);
    if (negative_) invertBand(band);
    // With the mirror off a film's rows run from the band's bottom up.
    const bool bottomUp = format_ != FilmFormat::Bmp && !mirror_;
    std::vector<uint8_t>& out = sink.buffer();
    out.reserve(out.size() + std::min(static_cast<size_t>(band.rows()) * rowBytes_, kChunkBytes) +
                rowBytes_);
    for (int64_t k = 0; k < band.rows(); ++k) {
      const uint8_t* row = band.rowBytes(bottomUp ? band.rows() - 1 - k : k);
      out.insert(out.end(), row, row + rowBytes_);
      sink.flushIfFull();
    }
  }

  void write(std::span<const uint8_t> bytes, ByteSink&) override {
    while (!bytes.empty()) {
      if (!carry_.empty() || bytes.size() < rowBytes_) {
        const size_t take = std::min(rowBytes_ - carry_.size(), bytes.size());
        carry_.insert(carry_.end(), bytes.begin(), bytes.begin() + static_cast<ptrdiff_t>(take));
        bytes = bytes.subspan(take);
        if (carry_.size() == rowBytes_) {
          compare(carry_.data(), 1);
          carry_.clear();
        }
        continue;
      }
      const size_t rows = std::min(bytes.size() / rowBytes_, chunkRows_);
      compare(bytes.data(), static_cast<uint32_t>(rows));
      bytes = bytes.subspan(rows * rowBytes_);
    }
  }

  const std::vector<std::string>& differingBlocks() const { return differingBlocks_; }

 private:
  void compare(const uint8_t* rows, uint32_t count) {
    if (count > film_.facts().height - row_) throw std::logic_error("a film drawn past its end");
    film_.readRows(row_, count, filmRows_.data());
    tally_.addRows(rows, filmRows_.data(), count);
    if (mirrored_) mirrored_->addRows(rows, row_, count);
    row_ += count;
  }

  FilmFormat format_;
  bool mirror_, negative_;
  int64_t horizontal_px_;
  FilmReader& film_;
  MirroredCount* mirrored_;
  DifferenceTally& tally_;
  std::span<const uint8_t> fileBlocks_;  // the plotter file's thumbnail and preview
  std::vector<std::string> differingBlocks_;
  size_t rowBytes_;
  size_t chunkRows_;
  std::vector<uint8_t> filmRows_;
  std::vector<uint8_t> carry_;  // a row cut between two writes
  uint32_t row_ = 0;            // the next film row
};

// A field of the job's film that the film on disk does not have.
[[noreturn]] void refuseField(const std::string& film, const std::string& field,
                              const std::string& inFilm, const std::string& inJob) {
  throw FormatError(film + ": cannot be compared: its " + field + " is " + inFilm +
                    ", the job's film's " + inJob);
}

std::string dpiText(double dpi) {
  if (dpi <= 0) return "not stated";
  char text[32];
  std::snprintf(text, sizeof text, "%g dpi", dpi);
  return text;
}

}  // namespace

// FilmCompare
// ============================================================================

FilmComparison verifyFilm(const Job& job, const FilmSettings& settings,
                          const std::filesystem::path& filmPath, const DiffPictureSettings& diff) {
  std::unique_ptr<FilmReader> film = openFilm(filmPath);
  const FilmFacts& facts = film->facts();
  const std::string name = filmPath.string();
  if (facts.format != settings.format) {
    refuseField(name, "format", std::string("a ") + filmKindName(facts.format),
                std::string("a ") + filmKindName(settings.format));
  }
  FilmSettings pooled = settings;
  PlotterExportSettings& p = pooled.plotter;
  std::optional<WorkerPool> workers;
  giveOwnWorkers(p.run, workers);
  RasterScene scene;
  int64_t width = 0, height = 0;
  double dpi = kJobBitmapDpi;
  std::vector<uint8_t> jobHeader;
  if (settings.format == FilmFormat::Bmp) {
    const JobBitmapPlan plan = planJobBitmapScene(job, {p.draw, p.run, p.file, p.negative}, scene);
    width = plan.width_px;
    height = plan.height_px;
  } else {
    const PlotterExportPlan plan = planPlotterScene(job, p, scene);
    width = plan.width_px;
    height = plan.height_px;
    dpi = plan.dpi;
    if (settings.format == FilmFormat::Fpf) jobHeader = encodeFpfHeader(plotterFileHeader(plan, p));
    if (settings.format == FilmFormat::Tiff) scene.preview = {};  // the film holds none
  }
  if (facts.width != width)
    refuseField(name, "width", std::to_string(facts.width) + " pixels", std::to_string(width));
  if (facts.height != height)
    refuseField(name, "height", std::to_string(facts.height) + " pixels", std::to_string(height));
  if (std::abs(facts.dpi - dpi) > 1e-3)
    refuseField(name, "resolution", dpiText(facts.dpi), dpiText(dpi));

  FilmComparison result;
  result.film = facts;
  std::vector<uint8_t> head;
  if (settings.format == FilmFormat::Fpf) {
    head = readFpfHead(filmPath);
    compareFpfHeaders(jobHeader, head, "the job", "the film", result.differingParts);
  } else if (settings.format == FilmFormat::Tiff) {
    if (facts.notes != p.notes) {
      result.differingParts.push_back("notes: " + inQuotes(facts.notes) + " in the film, " +
                                      inQuotes(p.notes) + " in the job");
    }
    if (facts.compression != toString(settings.tiff.compression)) {
      result.differingParts.push_back("compression: " + facts.compression + " in the film, " +
                                      toString(settings.tiff.compression) + " in the job");
    }
  }
  DifferenceTally tally(facts, diff);
  // With the mirror turned the film's rows come in the other order: a
  // second reader takes them from the last up.
  std::unique_ptr<FilmReader> backward;
  std::optional<MirroredCount> mirrored;
  if (settings.format != FilmFormat::Bmp) {
    backward = openFilm(filmPath);
    mirrored.emplace(*backward);
  }
  const std::span<const uint8_t> blocks =
      head.empty() ? std::span<const uint8_t>()
                   : std::span<const uint8_t>(head).subspan(kFpfHeaderBytes);
  ComparingWriter writer(pooled, *film, mirrored ? &*mirrored : nullptr, tally, blocks);
  DiscardingSink sink(filmPath);
  result.raster = rasterizeJob(scene, writer, sink, p.run);
  result.cancelled = result.raster.cancelled;
  if (result.cancelled) return result;
  tally.finish(result);
  const std::vector<std::string>& differing = writer.differingBlocks();
  result.differingParts.insert(result.differingParts.end(), differing.begin(), differing.end());
  if (mirrored) result.mirroredPixels = mirrored->differing();
  return result;
}

FilmComparison compareFilms(const std::filesystem::path& first, const std::filesystem::path& second,
                            const DiffPictureSettings& diff, uint64_t budgetBytes,
                            Progress* progress) {
  std::unique_ptr<FilmReader> a = openFilm(first), b = openFilm(second);
  const FilmFacts &fa = a->facts(), &fb = b->facts();
  const std::string names = first.string() + " and " + second.string();
  const auto refuse = [&](const char* field, const std::string& inFirst,
                          const std::string& inSecond) {
    throw FormatError(names + " cannot be compared: their " + field + " differs (" + inFirst +
                      ", " + inSecond + ")");
  };
  if (fa.width != fb.width)
    refuse("width", std::to_string(fa.width) + " pixels", std::to_string(fb.width));
  if (fa.height != fb.height)
    refuse("height", std::to_string(fa.height) + " pixels", std::to_string(fb.height));
  if (std::abs(fa.dpi - fb.dpi) > 1e-3) refuse("resolution", dpiText(fa.dpi), dpiText(fb.dpi));

  FilmComparison result;
  result.film = fb;
  if (fa.format == FilmFormat::Fpf && fb.format == FilmFormat::Fpf) {
    const std::vector<uint8_t> headA = readFpfHead(first), headB = readFpfHead(second);
    compareFpfHeaders(headA, headB, first.string(), second.string(), result.differingParts);
    compareFpfBlocks(std::span<const uint8_t>(headA).subspan(kFpfHeaderBytes),
                     std::span<const uint8_t>(headB).subspan(kFpfHeaderBytes),
                     result.differingParts);
  } else if (fa.format == fb.format && fa.notes != fb.notes) {
    result.differingParts.push_back("notes: " + inQuotes(fb.notes) + " in " + second.string() +
                                    ", " + inQuotes(fa.notes) + " in " + first.string());
  }
  DifferenceTally tally(fb, diff);
  const size_t bytes = fb.rowBytes();
  const auto chunk = static_cast<uint32_t>(std::clamp<uint64_t>(
      std::min<uint64_t>(budgetBytes, uint64_t{16} << 20) / 2 / bytes, 1, fb.height));
  std::vector<uint8_t> rowsA(chunk * bytes), rowsB(chunk * bytes);
  const int64_t steps = (fb.height + chunk - 1) / chunk;
  for (uint32_t row = 0; row < fb.height; row += chunk) {
    if (progress && progress->cancelled) {
      result.cancelled = true;
      return result;
    }
    const uint32_t n = std::min(chunk, fb.height - row);
    a->readRows(row, n, rowsA.data());
    b->readRows(row, n, rowsB.data());
    tally.addRows(rowsA.data(), rowsB.data(), n);
    if (progress) {
      progress->report(Progress::Phase::Drawing, row / chunk + 1, steps,
                       static_cast<double>(row + n) / fb.height);
    }
  }
  tally.finish(result);
  return result;
}

// FilmComparison - Report
// ============================================================================

std::string filmInches(uint32_t px, double dpi) {
  char text[32];
  std::snprintf(text, sizeof text, "%.3f", dpi > 0 ? px / dpi : 0.0);
  return text;
}

namespace {

// "with --mirror" for a setting that was off, "without --mirror" for one on.
std::string turned(const char* option, bool on) {
  return std::string(on ? "without " : "with ") + option;
}

}  // namespace

std::string matchesWith(const FilmComparison& r, bool mirror, bool negative) {
  const uint64_t all = r.film.pixels();
  if (r.differingPixels == 0) return "";
  if (r.differingPixels == all) return turned("--negative", negative);
  if (!r.mirroredPixels) return "";
  if (*r.mirroredPixels == 0) return turned("--mirror", mirror);
  if (*r.mirroredPixels == all) {
    return turned("--mirror", mirror) + " and " + turned("--negative", negative);
  }
  return "";
}

std::string comparisonText(const std::string& film, const FilmComparison& r,
                           const std::string& matches) {
  const FilmFacts& f = r.film;
  std::ostringstream out;
  out << film << ": " << (r.identical() ? "identical" : "differs") << " (" << filmKindName(f.format)
      << ", " << f.width << " x " << f.height << " pixels";
  if (f.dpi > 0) out << " at " << f.dpi << " dpi";
  out << ")\n";
  if (r.differingPixels > 0) {
    out << "  " << r.differingPixels << " of " << f.pixels() << " pixels differ\n";
    out << "  first differing rows:";
    for (const DifferingRow& row : r.firstRows) out << " " << row.row << " (" << row.pixels << ")";
    out << "\n";
    for (const DifferenceBox& b : r.boxes) {
      out << "  box " << filmInches(b.left, f.dpi) << "," << filmInches(b.top, f.dpi) << " to "
          << filmInches(b.right, f.dpi) << "," << filmInches(b.bottom, f.dpi)
          << " inch: " << b.pixels << (b.pixels == 1 ? " pixel\n" : " pixels\n");
    }
    if (r.boxCount > r.boxes.size())
      out << "  and " << r.boxCount - r.boxes.size() << " boxes more\n";
  }
  for (const std::string& part : r.differingParts) out << "  differs: " << part << "\n";
  if (!matches.empty()) out << "  the film matches " << matches << "\n";
  return out.str();
}

}  // namespace drumplot
