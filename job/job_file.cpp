// SPDX-License-Identifier: MIT
// Job file records: encoding, decoding, opening and saving.
#include "job/job_file.h"

#include <bit>
#include <cmath>
#include <cstdint>
#include <stdexcept>
#include <system_error>
#include <utility>

#include "engine/errors.h"

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
  w.byte(kIntDigitsAt, board.format.IntDigits);
  w.byte(kDecDigitsAt, board.format.DecDigits);
  w.byte(kZeroSuppressionAt, static_cast<uint8_t>(board.format.ZeroSuppression));
  w.byte(kAbsoluteAt, board.format.Absolute ? 1 : 0);
  w.byte(kInchUnitsAt, board.format.Metric ? 0 : 1);  // InchUnits
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
  board.format.IntDigits = r.byte(kIntDigitsAt);
  board.format.DecDigits = r.byte(kDecDigitsAt);
  board.format.ZeroSuppression = static_cast<ZeroSuppression>(r.byte(kZeroSuppressionAt));
  board.format.Absolute = r.byte(kAbsoluteAt) != 0;
  board.format.Metric = r.byte(kInchUnitsAt) == 0;  // InchUnits
  board.DataMinX = r.real(kDataMinXAt);
  board.DataMinY = r.real(kDataMinYAt);
  board.IsMark = r.byte(kIsMarkAt) != 0;
  board.MarkName = r.text(kMarkNameAt, kMaxMarkChars);
  // A loaded board is locked and unselected, whatever was saved.
  board.Locked = true;
  board.Selected = false;
  for (const std::string& file : board.LayerGerber) {
    if (file.size() >= kMinCaptionChars) {
      board.caption = file;
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

// Job file - Checking what a file holds
// ============================================================================

namespace {

constexpr double kMaxSaneLength = 1e10;  // inches; anything larger is no board's
constexpr uint8_t kMaxSaneDigits = 9;

// Why a record is not a board record, looking only at the fields that lie
// whole within `record` (a cut-off last record is checked as far as it goes).
std::optional<std::string> recordProblem(std::string_view record) {
  RecordReader r(record);
  auto within = [&](size_t at, size_t size) { return at + size <= record.size(); };
  auto text = [&](size_t at, size_t maxChars,
                  const std::string& field) -> std::optional<std::string> {
    if (!within(at, 1)) return std::nullopt;
    size_t length = r.byte(at);
    if (length > maxChars) {
      return field + " is " + std::to_string(length) + " characters long (at most " +
             std::to_string(maxChars) + ")";
    }
    for (size_t i = at + 1; i <= at + length && within(i, 1); ++i) {
      uint8_t c = r.byte(i);
      if (c < 0x20 || c == 0x7F) return field + " holds control characters";
    }
    return std::nullopt;
  };
  auto real = [&](size_t at, const char* field) -> std::optional<std::string> {
    if (!within(at, 8)) return std::nullopt;
    double value = r.real(at);
    if (std::isfinite(value) && std::abs(value) < kMaxSaneLength) return std::nullopt;
    return std::string(field) + " is not a length";
  };
  auto byte = [&](size_t at, uint8_t max, const char* field) -> std::optional<std::string> {
    if (!within(at, 1) || r.byte(at) <= max) return std::nullopt;
    return std::string(field) + " is " + std::to_string(r.byte(at)) + " (at most " +
           std::to_string(max) + ")";
  };
  for (size_t n = 0; n < kLayerCount; ++n) {
    const std::string layer = "layer " + std::to_string(n + 1) + "'s ";
    if (auto p = text(kLayerGerberAt + n * kTextField, kMaxFileNameChars, layer + "Gerber file")) {
      return p;
    }
    if (auto p =
            text(kLayerApertureAt + n * kTextField, kMaxFileNameChars, layer + "aperture file")) {
      return p;
    }
  }
  const std::pair<size_t, const char*> lengths[] = {
      {kPosXAt, "PosX"},           {kPosYAt, "PosY"},
      {kDataWidthAt, "DataWidth"}, {kDataHeightAt, "DataHeight"},
      {kDataMinXAt, "DataMinX"},   {kDataMinYAt, "DataMinY"}};
  for (auto [at, field] : lengths) {
    if (auto p = real(at, field)) return p;
  }
  if (auto p = byte(kSelectedAt, 1, "Selected")) return p;
  if (auto p = byte(kIntDigitsAt, kMaxSaneDigits, "IntDigits")) return p;
  if (auto p = byte(kDecDigitsAt, kMaxSaneDigits, "DecDigits")) return p;
  if (auto p = byte(kZeroSuppressionAt, 2, "ZeroSuppression")) return p;
  if (auto p = byte(kAbsoluteAt, 1, "Absolute")) return p;
  if (auto p = byte(kInchUnitsAt, 1, "InchUnits")) return p;
  if (auto p = byte(kIsMarkAt, 1, "IsMark")) return p;
  return text(kMarkNameAt, kMaxMarkChars, "MarkName");
}

}  // namespace

std::optional<std::string> notAJobFile(std::string_view bytes) {
  if (!bytes.empty() && bytes.size() < kBoardRecordSize) {
    return "not a job file: " + std::to_string(bytes.size()) +
           " bytes, less than one board record (9168 bytes)";
  }
  for (size_t at = 0, n = 1; at < bytes.size(); at += kBoardRecordSize, ++n) {
    if (auto problem = recordProblem(bytes.substr(at, kBoardRecordSize))) {
      return "not a job file: in board record " + std::to_string(n) + ", " + *problem;
    }
  }
  return std::nullopt;
}

// Job file - Opening and saving under the lock
// ============================================================================

JobFileEdit::JobFileEdit(const std::filesystem::path& file)
    : file_(file), lock_(file, kJobFileLockWait) {
  info_.stamp = fileStamp(file);
  if (!info_.stamp.exists) return;
  std::error_code ec;
  if (!std::filesystem::is_regular_file(file, ec)) throw IoError(file.string() + ": not a file");
  std::string bytes = readFileBytes(file);
  if (auto problem = notAJobFile(bytes)) throw FormatError(file.string() + ": " + *problem);
  boards_ = decodeJob(bytes);
  info_.partialBytes = bytes.size() % kBoardRecordSize;
}

void JobFileEdit::openInto(Job& job) const {
  job.JobName = file_.string();
  job.clearBoards();
  if (!boards_.empty()) job.BoardSelectedOnce = true;
  for (const Board& record : boards_) {
    Board& board = job.boards.emplace_back(record);
    board.screen = boardRect(board, job.ScreenScale);
  }
}

void JobFileEdit::save(const Job& job, bool dropPartialRecord) {
  if (info_.partialBytes > 0 && !dropPartialRecord) {
    throw FormatError(file_.string() + ": " + partialRecordText(info_.partialBytes) +
                      "; it is not written over");
  }
  writeFileAtomically(file_, encodeJob(job.boards));
  info_ = {0, fileStamp(file_)};
}

std::string partialRecordText(size_t partialBytes) {
  return "the job file ends in a partial record of " + std::to_string(partialBytes) +
         " bytes (a board cut off), which is left out";
}

JobFileInfo openJob(Job& job, const std::filesystem::path& file) {
  JobFileEdit edit(file);
  if (!edit.exists()) throw IoError(file.string() + ": cannot open: no such file");
  edit.openInto(job);
  return edit.info();
}

JobFileInfo saveJob(const Job& job, const std::filesystem::path& file, bool dropPartialRecord) {
  JobFileEdit edit(file);
  edit.save(job, dropPartialRecord);
  return edit.info();
}

JobFileInfo saveJobAs(Job& job, const std::filesystem::path& file, bool dropPartialRecord) {
  JobFileInfo info = saveJob(job, file, dropPartialRecord);
  job.JobName = file.string();
  return info;
}

}  // namespace drumplot
