// SPDX-License-Identifier: MIT
// Job file records: encoding, decoding, opening and saving.
#include "job/job_file.h"

#include <bit>
#include <cstdint>
#include <stdexcept>

#include "job/file_io.h"

namespace drumplot {

namespace {

// Record layout: byte offsets from the start of a record.
constexpr size_t kTextField = 251;  // length byte + up to 250 characters
constexpr size_t kLayerGerberAt = 0;
constexpr size_t kLayerApertureAt = kLayerGerberAt + kLayerCount * kTextField;  // 4518
constexpr size_t kPosXAt = 9040;  // after 4 reserved bytes at 9036
constexpr size_t kPosYAt = 9048;
constexpr size_t kDataWidthAt = 9056;
constexpr size_t kDataHeightAt = 9064;
constexpr size_t kSelectedAt = 9072;
constexpr size_t kIntDigitsAt = 9073;
constexpr size_t kDecDigitsAt = 9074;
constexpr size_t kZeroSuppressionAt = 9075;
constexpr size_t kAbsoluteAt = 9076;
constexpr size_t kInchUnitsAt = 9077;
constexpr size_t kDataMinXAt = 9080;  // after 2 reserved bytes at 9078
constexpr size_t kDataMinYAt = 9088;
constexpr size_t kIsMarkAt = 9096;
constexpr size_t kMarkNameAt = 9097;  // length byte + up to 64 characters; 6 reserved bytes follow
static_assert(kLayerApertureAt + kLayerCount * kTextField == 9036);
static_assert(kMarkNameAt + 1 + kMaxMarkChars + 6 == kBoardRecordSize);

// A loaded board's caption is the first layer file name longer than this.
constexpr size_t kMinCaptionChars = 5;

}  // namespace

// Job file - Record bytes
// ============================================================================

namespace {

class RecordWriter {
 public:
  explicit RecordWriter(std::string& bytes) : bytes_(bytes) {}

  void byte(size_t at, uint8_t value) { bytes_[at] = static_cast<char>(value); }
  void text(size_t at, std::string_view text, size_t maxChars) {
    text = text.substr(0, maxChars);
    byte(at, static_cast<uint8_t>(text.size()));
    bytes_.replace(at + 1, text.size(), text);
  }
  void real(size_t at, double value) {
    auto bits = std::bit_cast<uint64_t>(value);
    for (size_t i = 0; i < 8; ++i) byte(at + i, static_cast<uint8_t>(bits >> (8 * i)));
  }

 private:
  std::string& bytes_;
};

class RecordReader {
 public:
  explicit RecordReader(std::string_view bytes) : bytes_(bytes) {}

  uint8_t byte(size_t at) const { return static_cast<uint8_t>(bytes_[at]); }
  std::string text(size_t at, size_t maxChars) const {
    size_t length = byte(at);
    return std::string(bytes_.substr(at + 1, length < maxChars ? length : maxChars));
  }
  double real(size_t at) const {
    uint64_t bits = 0;
    for (size_t i = 0; i < 8; ++i) bits |= uint64_t{byte(at + i)} << (8 * i);
    return std::bit_cast<double>(bits);
  }

 private:
  std::string_view bytes_;
};

}  // namespace

std::string encodeBoardRecord(const Board& board) {
  std::string bytes(kBoardRecordSize, '\0');
  RecordWriter w(bytes);
  for (size_t n = 0; n < kLayerCount; ++n) {
    w.text(kLayerGerberAt + n * kTextField, board.LayerGerber[n], kMaxFileNameChars);
    w.text(kLayerApertureAt + n * kTextField, board.LayerAperture[n], kMaxFileNameChars);
  }
  w.real(kPosXAt, board.PosX);
  w.real(kPosYAt, board.PosY);
  w.real(kDataWidthAt, board.DataWidth);
  w.real(kDataHeightAt, board.DataHeight);
  w.byte(kSelectedAt, board.Selected ? 1 : 0);
  w.byte(kIntDigitsAt, board.Format.IntDigits);
  w.byte(kDecDigitsAt, board.Format.DecDigits);
  w.byte(kZeroSuppressionAt, board.Format.ZeroSuppression);
  w.byte(kAbsoluteAt, board.Format.Absolute);
  w.byte(kInchUnitsAt, board.Format.InchUnits);
  w.real(kDataMinXAt, board.DataMinX);
  w.real(kDataMinYAt, board.DataMinY);
  w.byte(kIsMarkAt, board.IsMark ? 1 : 0);
  w.text(kMarkNameAt, board.MarkName, kMaxMarkChars);
  return bytes;
}

Board decodeBoardRecord(std::string_view record) {
  if (record.size() < kBoardRecordSize) {
    throw std::invalid_argument("a board record needs 9168 bytes, got " +
                                std::to_string(record.size()));
  }
  RecordReader r(record);
  Board board;
  for (size_t n = 0; n < kLayerCount; ++n) {
    board.LayerGerber[n] = r.text(kLayerGerberAt + n * kTextField, kMaxFileNameChars);
    board.LayerAperture[n] = r.text(kLayerApertureAt + n * kTextField, kMaxFileNameChars);
  }
  board.PosX = r.real(kPosXAt);
  board.PosY = r.real(kPosYAt);
  board.DataWidth = r.real(kDataWidthAt);
  board.DataHeight = r.real(kDataHeightAt);
  board.Format.IntDigits = r.byte(kIntDigitsAt);
  board.Format.DecDigits = r.byte(kDecDigitsAt);
  board.Format.ZeroSuppression = r.byte(kZeroSuppressionAt);
  board.Format.Absolute = r.byte(kAbsoluteAt);
  board.Format.InchUnits = r.byte(kInchUnitsAt);
  board.DataMinX = r.real(kDataMinXAt);
  board.DataMinY = r.real(kDataMinYAt);
  board.IsMark = r.byte(kIsMarkAt) != 0;
  board.MarkName = r.text(kMarkNameAt, kMaxMarkChars);
  // A loaded board is locked and unselected, whatever was saved.
  board.Locked = true;
  board.Selected = false;
  for (const std::string& file : board.LayerGerber) {
    if (file.size() >= kMinCaptionChars) {
      board.Caption = file;
      break;
    }
  }
  return board;
}

// Job file - Whole jobs
// ============================================================================

std::string encodeJob(const std::vector<Board>& boards) {
  std::string bytes;
  bytes.reserve(boards.size() * kBoardRecordSize);
  for (const Board& board : boards) bytes += encodeBoardRecord(board);
  return bytes;
}

std::vector<Board> decodeJob(std::string_view bytes) {
  std::vector<Board> boards;
  size_t count = bytes.size() / kBoardRecordSize;
  boards.reserve(count);
  for (size_t i = 0; i < count; ++i) {
    boards.push_back(decodeBoardRecord(bytes.substr(i * kBoardRecordSize, kBoardRecordSize)));
  }
  return boards;
}

void openJob(Job& job, const std::filesystem::path& file) {
  std::vector<Board> boards = decodeJob(readFileBytes(file));
  job.JobName = file.string();
  job.clearBoards();
  if (!boards.empty()) job.BoardSelectedOnce = true;
  for (Board& board : boards) {
    board.Screen = boardRect(board, job.ScreenScale);
    job.Boards.push_back(std::move(board));
  }
}

void saveJob(const Job& job, const std::filesystem::path& file) {
  replaceFile(file, encodeJob(job.Boards));
}

void saveJobAs(Job& job, const std::filesystem::path& file) {
  saveJob(job, file);
  job.JobName = file.string();
}

}  // namespace drumplot
