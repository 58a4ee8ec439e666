// SPDX-License-Identifier: MIT
// The plotter file's image streamed: its rows handed out a few at a time
// into the caller's buffer, in memory bounded whatever the film's size, a
// part of the film or the film reduced as a picture.
#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/progress.h"
#include "io/file_io.h"
#include "output/fpf_file.h"

namespace drumplot {

// Rows come as the film is exposed: record k gives film rows 4k to 4k + 3,
// its bit k' row 4k + k' (with the mirror off that is the drawing upside
// down; the file does not say which way it was written). Rows are
// MonoImage rows: a set bit is background. Every fault of the file throws
// FormatError naming the file and the rows: a record whose runs do not make
// the row, a code no record holds, a file that ends before the image's last
// row or goes on after it; nothing past the fault is read.
class FpfReader {
 public:
  // Opens the file and reads its header. Throws IoError / FormatError.
  explicit FpfReader(const std::filesystem::path& path);

  const std::string& name() const { return name_; }
  const FpfHeader& header() const { return header_; }
  size_t rowBytes() const { return (size_t{header_.width} + 7) / 8; }
  uint64_t groups() const { return (uint64_t{header_.height} + 3) / 4; }

  // Decodes the next record into `rows` (4 x rowBytes(); rows past the
  // image's last one are filled all the same, the bits past the row's
  // width are left as they are) and returns its group.
  uint64_t readGroup(uint8_t* rows);
  // The same as one row: the bits of columns x0 to x1 (x1 excluded)
  // cleared in `row` where any of the four rows is exposed, all else left
  // as it is.
  uint64_t readGroupExposure(uint8_t* row, uint64_t x0, uint64_t x1);

  // Reads every record once, checks it and the file's end, and keeps where
  // the groups start; then seekGroup() goes to any group. With `progress`,
  // reports the share of records read and stops when it is cancelled:
  // false then, no index kept (nor one after a fault), and the reader back
  // at the first record.
  bool buildIndex(Progress* progress = nullptr);
  bool indexed() const { return !index_.empty(); }
  void seekGroup(uint64_t group);

  // Memory the reader holds: its read-ahead and index.
  uint64_t heldBytes() const { return buffer_.size() + index_.capacity() * sizeof(uint64_t); }

  // After the last group: throws unless the file ends there.
  void checkEnd();

 private:
  int next();  // the next byte, or EOF
  [[noreturn]] void damaged(uint64_t group, const std::string& what) const;
  struct Columns {
    uint64_t x0, x1;
  };
  // One record: its runs into `rows` (or only checked when null); with
  // `merged`, its exposure within those columns into the one row `rows`.
  void decodeRecord(uint8_t* rows, const Columns* merged = nullptr);
  void seekByte(uint64_t offset);

  std::string name_;
  CFile file_;
  FpfHeader header_;
  std::vector<uint8_t> buffer_;  // read ahead
  size_t at_ = 0, end_ = 0;      // in buffer_
  uint64_t bufferOffset_ = 0;    // file offset of buffer_[0]
  uint64_t group_ = 0;           // the next record's group
  uint64_t indexStep_ = 1;       // groups between index entries
  std::vector<uint64_t> index_;  // file offset of every indexStep_-th group
};

// A part of the film in pixels: columns x0 to x1 and rows y0 to y1, the
// ends excluded.
struct FilmWindow {
  uint32_t x0 = 0, y0 = 0, x1 = 0, y1 = 0;

  uint32_t width() const { return x1 - x0; }
  uint32_t height() const { return y1 - y0; }
};

// A window of the film, reduced by `reduce` in each direction (a picture
// pixel is exposed when any film pixel of its reduce x reduce block is;
// the blocks at the window's right and bottom edges may be narrower).
// Holds five film rows besides the reader's read-ahead (1 MB) and index.
class FpfPicture {
 public:
  // Throws FormatError when the window is empty or reaches past the film;
  // reads nothing. A window that leaves out rows reads the file through
  // once for its index at the first readRows() (unless the reader has it),
  // then only the records it needs; with the index a whole film is read
  // from its first record whatever the reader read before.
  FpfPicture(FpfReader& reader, const FilmWindow& window, uint32_t reduce);

  uint32_t width() const { return width_; }
  uint32_t height() const { return height_; }
  size_t rowBytes() const { return (size_t{width_} + 7) / 8; }

  // The next `count` picture rows into `rows` (count x rowBytes()).
  void readRows(uint8_t* rows, uint32_t count);

 private:
  // The next film row of the window ANDed into blockRow_ (its window's bytes).
  void addFilmRow();
  // blockRow_ cut to the window's columns and reduced, ANDed into `row`.
  void reduceBlockRow(uint8_t* row) const;

  FpfReader& reader_;
  FilmWindow window_;
  uint32_t reduce_;
  uint32_t width_, height_;
  uint32_t filmRow_;          // the next film row handed to addFilmRow
  uint32_t pictureRows_ = 0;  // handed out
  bool indexed_;              // read by seeking, else from the reader's next record to the last
  uint64_t groupInRows_ = UINT64_MAX;  // the group in rows_
  std::vector<uint8_t> rows_;          // one group of film rows
  std::vector<uint8_t> blockRow_;      // the film rows of one picture row ANDed
};

// The memory decodeFpfRegion() holds for that picture: the picture, five
// film rows and what the reader holds.
uint64_t fpfRegionBytes(const FpfReader& reader, const FilmWindow& window, uint32_t reduce);

// A window of the film reduced by `reduce` as one picture, as FpfPicture
// reads it. Throws FormatError naming the figure when fpfRegionBytes() is
// more than `budgetBytes`, before anything is read. With `progress`,
// reports the share of picture rows decoded and returns nothing once it is
// cancelled.
std::optional<MonoImage> decodeFpfRegion(FpfReader& reader, const FilmWindow& window,
                                         uint32_t reduce, uint64_t budgetBytes,
                                         Progress* progress = nullptr);

}  // namespace drumplot
