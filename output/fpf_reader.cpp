// SPDX-License-Identifier: MIT
#include "output/fpf_reader.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <stdexcept>
#include <string>

#include "engine/errors.h"

namespace drumplot {

namespace {

constexpr size_t kReadAheadBytes = size_t{1} << 20;
// The index keeps at most this many offsets (8 MB); between two of them
// the records are read through.
constexpr uint64_t kMaxIndexEntries = uint64_t{1} << 20;
// Long work looks at its Progress (and whether it is cancelled) this often.
constexpr uint64_t kGroupsPerReport = 64;

// Columns of each run byte, looked up (a record has one byte for every few
// columns).
const std::array<uint8_t, 256> kRunColumns = [] {
  std::array<uint8_t, 256> columns{};
  for (unsigned code = 0; code < 256; ++code)
    columns[code] = static_cast<uint8_t>(fpfRunColumns(static_cast<uint8_t>(code)));
  return columns;
}();

// Bits x0 to x1 (x1 excluded, x0 < x1) of a row set (background) or
// cleared: a masked first byte, whole bytes, a masked last byte.
void fillBits(uint8_t* row, uint64_t x0, uint64_t x1, bool set) {
  auto apply = [set](uint8_t& byte, uint8_t mask) {
    byte = set ? static_cast<uint8_t>(byte | mask) : static_cast<uint8_t>(byte & ~mask);
  };
  const uint64_t b0 = x0 / 8, b1 = x1 / 8;
  const auto first = static_cast<uint8_t>(0xFFu >> (x0 % 8));    // x0 and right of it
  const auto last = static_cast<uint8_t>(~(0xFFu >> (x1 % 8)));  // left of x1
  if (b0 == b1) return apply(row[b0], first & last);
  apply(row[b0], first);
  std::memset(row + b0 + 1, set ? 0xFF : 0x00, b1 - b0 - 1);
  if (x1 % 8 != 0) apply(row[b1], last);
}

// Whether a pixel of x0 to x1 (x1 excluded) is exposed (a clear bit).
bool anyExposed(const uint8_t* row, uint64_t x0, uint64_t x1) {
  const uint64_t b0 = x0 / 8, b1 = x1 / 8;
  const auto first = static_cast<uint8_t>(0xFFu >> (x0 % 8));
  const auto last = static_cast<uint8_t>(~(0xFFu >> (x1 % 8)));
  if (b0 == b1) return (row[b0] & first & last) != (first & last);
  if ((row[b0] & first) != first) return true;
  for (uint64_t b = b0 + 1; b < b1; ++b) {
    if (row[b] != 0xFF) return true;
  }
  return x1 % 8 != 0 && (row[b1] & last) != last;
}

// The 8 pixels of a row from pixel x on (past `bytes`, background).
uint8_t byteAt(const uint8_t* row, size_t bytes, uint64_t x) {
  const uint64_t b = x / 8;
  const unsigned shift = x % 8;
  if (shift == 0) return row[b];
  const unsigned next = b + 1 < bytes ? row[b + 1] : 0xFFu;
  return static_cast<uint8_t>((row[b] << shift) | (next >> (8 - shift)));
}

}  // namespace

// FpfReader - Records
// ============================================================================

FpfReader::FpfReader(const std::filesystem::path& path)
    : name_(path.string()), file_(std::fopen(path.c_str(), "rb")) {
  if (!file_) throw IoError(name_ + ": cannot open the file");
  std::vector<uint8_t> head(kFpfImageOffset);
  head.resize(std::fread(head.data(), 1, head.size(), file_.get()));
  try {
    header_ = decodeFpfHeader(head);
  } catch (const FormatError& e) {
    throw FormatError(name_ + ": " + e.what());
  }
  if (head.size() < kFpfImageOffset) {
    throw FormatError(name_ + ": the file ends inside the thumbnail or preview block");
  }
  if (header_.width == 0 || header_.height == 0) {
    throw FormatError(name_ + ": damaged plotter file: its header gives an image of " +
                      std::to_string(header_.width) + " x " + std::to_string(header_.height) +
                      " pixels");
  }
  bufferOffset_ = kFpfImageOffset;
  buffer_.resize(kReadAheadBytes);
}

int FpfReader::next() {
  if (at_ == end_) {
    bufferOffset_ += end_;
    at_ = 0;
    end_ = std::fread(buffer_.data(), 1, buffer_.size(), file_.get());
    if (end_ == 0) {
      if (std::ferror(file_.get())) throw IoError(name_ + ": cannot read the file");
      return EOF;
    }
  }
  return buffer_[at_++];
}

void FpfReader::seekByte(uint64_t offset) {
  if (fseeko(file_.get(), static_cast<off_t>(offset), SEEK_SET) != 0) {
    throw IoError(name_ + ": cannot read the file");
  }
  bufferOffset_ = offset;
  at_ = end_ = 0;
}

void FpfReader::damaged(uint64_t group, const std::string& what) const {
  const uint64_t top = 4 * group;
  const uint64_t bottom = std::min<uint64_t>(top + 3, header_.height - 1);
  throw FormatError(name_ + ": damaged plotter file: rows " + std::to_string(top) + " to " +
                    std::to_string(bottom) + " (record " + std::to_string(group + 1) + " of " +
                    std::to_string(groups()) + "): " + what);
}

void FpfReader::decodeRecord(uint8_t* rows, const Columns* merged) {
  const uint64_t width = header_.width;
  const size_t stride = rowBytes();
  uint64_t x = 0;
  bool started = false;
  for (int c = next();; c = next()) {
    if (c == EOF) {
      damaged(group_, started ? "the file ends inside the record"
                              : "the file ends before the record (" + std::to_string(group_) +
                                    " of " + std::to_string(groups()) + " records read)");
    }
    started = true;
    const auto code = static_cast<uint8_t>(c);
    if (code == 0xFF) {
      if (x == width) return;
      damaged(group_, "its runs make " + std::to_string(x) + " of the row's " +
                          std::to_string(width) + " pixels");
    }
    if (code >= 0xF0) {
      char text[8];
      std::snprintf(text, sizeof text, "0x%02X", code);
      damaged(group_, std::string("code ") + text + ", which no record holds");
    }
    const uint64_t count = kRunColumns[code];
    if (x + count > width) {
      damaged(group_, "a run from column " + std::to_string(x) + " reaches past the row's " +
                          std::to_string(width) + " pixels");
    }
    if (merged) {
      const uint64_t from = std::max(x, merged->x0), to = std::min(x + count, merged->x1);
      if ((code & 0x0F) != 0x0F && from < to) fillBits(rows, from, to, false);
    } else if (rows && count > 0) {  // a code 0x00 to 0x0E is a run of no columns
      for (unsigned k = 0; k < 4; ++k) fillBits(rows + k * stride, x, x + count, (code >> k) & 1);
    }
    x += count;
  }
}

uint64_t FpfReader::readGroup(uint8_t* rows) {
  if (group_ >= groups()) throw std::logic_error("a plotter file's image read past its end");
  decodeRecord(rows);
  return group_++;
}

uint64_t FpfReader::readGroupExposure(uint8_t* row, uint64_t x0, uint64_t x1) {
  if (group_ >= groups()) throw std::logic_error("a plotter file's image read past its end");
  const Columns columns{x0, x1};
  decodeRecord(row, &columns);
  return group_++;
}

void FpfReader::checkEnd() {
  const uint64_t offset = bufferOffset_ + at_;
  if (next() != EOF) {
    throw FormatError(name_ + ": damaged plotter file: the image's last row (" +
                      std::to_string(header_.height - 1) + ") ends at byte " +
                      std::to_string(offset) + ", and the file goes on");
  }
}

// FpfReader - Index
// ============================================================================

bool FpfReader::buildIndex(Progress* progress) {
  index_.clear();
  seekByte(kFpfImageOffset);
  indexStep_ = std::max<uint64_t>(1, (groups() + kMaxIndexEntries - 1) / kMaxIndexEntries);
  std::vector<uint64_t> index;
  index.reserve(static_cast<size_t>((groups() + indexStep_ - 1) / indexStep_));
  for (group_ = 0; group_ < groups(); ++group_) {
    if (progress && group_ % kGroupsPerReport == 0) {
      if (progress->cancelled) {
        seekByte(kFpfImageOffset);  // back at the first record, as opened
        group_ = 0;
        return false;
      }
      progress->report(Progress::Phase::Reading, 0, 1,
                       static_cast<double>(group_) / static_cast<double>(groups()));
    }
    if (group_ % indexStep_ == 0) index.push_back(bufferOffset_ + at_);
    decodeRecord(nullptr);
  }
  checkEnd();
  index_ = std::move(index);
  seekGroup(0);
  return true;
}

void FpfReader::seekGroup(uint64_t group) {
  if (index_.empty() || group >= groups()) {
    throw std::logic_error("a plotter file's record sought without its index");
  }
  const uint64_t entry = group / indexStep_;
  seekByte(index_[static_cast<size_t>(entry)]);
  for (group_ = entry * indexStep_; group_ < group; ++group_) decodeRecord(nullptr);
}

// FpfPicture
// ============================================================================

FpfPicture::FpfPicture(FpfReader& reader, const FilmWindow& window, uint32_t reduce)
    : reader_(reader), window_(window), reduce_(reduce) {
  const FpfHeader& h = reader.header();
  if (window.x0 >= window.x1 || window.y0 >= window.y1 || window.x1 > h.width ||
      window.y1 > h.height || reduce == 0) {
    throw FormatError(reader.name() + ": the window from pixel (" + std::to_string(window.x0) +
                      ", " + std::to_string(window.y0) + ") to (" + std::to_string(window.x1) +
                      ", " + std::to_string(window.y1) + ") is empty or reaches past the film's " +
                      std::to_string(h.width) + " x " + std::to_string(h.height) + " pixels");
  }
  width_ = (window.width() - 1) / reduce + 1;
  height_ = (window.height() - 1) / reduce + 1;
  filmRow_ = window.y0;
  rows_.assign(4 * reader.rowBytes(), 0xFF);
  blockRow_.assign(reader.rowBytes(), 0xFF);
  indexed_ = window.y0 > 0 || window.y1 < h.height || reader.indexed();
}

void FpfPicture::addFilmRow() {
  const uint64_t group = filmRow_ / 4;
  if (group != groupInRows_) groupInRows_ = reader_.readGroup(rows_.data());
  const uint8_t* film = rows_.data() + (filmRow_ % 4) * reader_.rowBytes();
  for (size_t b = window_.x0 / 8, end = (size_t{window_.x1} + 7) / 8; b < end; ++b)
    blockRow_[b] &= film[b];
}

void FpfPicture::reduceBlockRow(uint8_t* row) const {
  const size_t filmBytes = reader_.rowBytes();
  const uint8_t* film = blockRow_.data();
  const uint32_t x0 = window_.x0, x1 = window_.x1;
  if (reduce_ == 1) {
    // The window's columns shifted to the row's start, background past them.
    const size_t bytes = rowBytes();
    for (size_t b = 0; b < bytes; ++b) row[b] &= byteAt(film, filmBytes, x0 + 8 * uint64_t{b});
    if (width_ % 8 != 0) row[bytes - 1] |= static_cast<uint8_t>(0xFFu >> (width_ % 8));
    return;
  }
  for (uint32_t x = 0; x < width_; ++x) {
    const uint64_t from = x0 + uint64_t{x} * reduce_;
    if (anyExposed(film, from, std::min<uint64_t>(from + reduce_, x1)))
      row[x / 8] &= static_cast<uint8_t>(~(0x80u >> (x % 8)));
  }
}

void FpfPicture::readRows(uint8_t* rows, uint32_t count) {
  if (count > height_ - pictureRows_) throw std::logic_error("a picture read past its end");
  if (indexed_ && pictureRows_ == 0 && count > 0) {
    if (!reader_.indexed()) reader_.buildIndex();
    reader_.seekGroup(window_.y0 / 4);
  }
  const size_t bytes = rowBytes();
  for (uint32_t k = 0; k < count; ++k, ++pictureRows_) {
    // The block's film rows ANDed (a pixel exposed in any of them), then
    // reduced across once; a group wholly inside the block comes as one row.
    std::memset(blockRow_.data(), 0xFF, blockRow_.size());
    const uint32_t blockEnd =
        static_cast<uint32_t>(std::min<uint64_t>(uint64_t{filmRow_} + reduce_, window_.y1));
    while (filmRow_ < blockEnd) {
      if (filmRow_ % 4 == 0 && filmRow_ + 4 <= blockEnd) {
        reader_.readGroupExposure(blockRow_.data(), window_.x0, window_.x1);
        filmRow_ += 4;
      } else {
        addFilmRow();
        ++filmRow_;
      }
    }
    uint8_t* row = rows + k * bytes;
    std::memset(row, 0xFF, bytes);
    reduceBlockRow(row);
  }
  // Read from the first record on: the file must end with the last.
  if (!indexed_ && pictureRows_ == height_) reader_.checkEnd();
}

// decodeFpfRegion
// ============================================================================

uint64_t fpfRegionBytes(const FpfReader& reader, const FilmWindow& window, uint32_t reduce) {
  const uint64_t n = std::max<uint32_t>(reduce, 1);
  const uint64_t width = (uint64_t{window.width()} + n - 1) / n;
  const uint64_t height = (uint64_t{window.height()} + n - 1) / n;
  return (width + 7) / 8 * height + 5 * uint64_t{reader.rowBytes()} + reader.heldBytes();
}

std::optional<MonoImage> decodeFpfRegion(FpfReader& reader, const FilmWindow& window,
                                         uint32_t reduce, uint64_t budgetBytes,
                                         Progress* progress) {
  FpfPicture picture(reader, window, reduce);
  const uint64_t bytes = fpfRegionBytes(reader, window, reduce);
  if (bytes > budgetBytes) {
    throw FormatError(reader.name() + ": a picture of " + std::to_string(picture.width()) + " x " +
                      std::to_string(picture.height()) + " pixels takes " +
                      std::to_string((bytes + (1 << 20) - 1) >> 20) +
                      " MB, more than the memory setting of " + std::to_string(budgetBytes >> 20) +
                      " MB holds");
  }
  MonoImage image(picture.width(), picture.height());
  // Rows a few at a time, so that a cancel is seen soon even when each
  // picture row takes many records.
  const uint32_t step = std::max<uint32_t>(1, 4 * static_cast<uint32_t>(kGroupsPerReport) / reduce);
  for (uint32_t y = 0; y < image.height;) {
    if (progress) {
      if (progress->cancelled) return std::nullopt;
      progress->report(Progress::Phase::Reading, 0, 1,
                       static_cast<double>(y) / static_cast<double>(image.height));
    }
    const uint32_t count = std::min(step, image.height - y);
    picture.readRows(image.row(y), count);
    y += count;
  }
  return image;
}

}  // namespace drumplot
