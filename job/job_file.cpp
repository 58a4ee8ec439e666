// SPDX-License-Identifier: MIT
// Job file records: encoding, decoding, opening and saving.
#include "job/job_file.h"

#include <algorithm>
#include <bit>
#include <charconv>
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
constexpr double kMaxPosition = 1000.0;  // inches either way; written positions stay within

// A text as a message shows it: quoted, control characters spelled out.
std::string quoted(std::string_view text) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string out = "\"";
  for (char ch : text) {
    auto c = static_cast<unsigned char>(ch);
    if (c == '\t') {
      out += "\\t";
    } else if (c == '\n') {
      out += "\\n";
    } else if (c < 0x20 || c == 0x7F) {
      out += {'\\', 'x', kHex[c >> 4], kHex[c & 0xF]};
    } else {
      out.push_back(ch);
    }
  }
  return out + "\"";
}

// The name of the first control character in `text`, or nothing.
std::optional<std::string> controlCharacter(std::string_view text) {
  for (char ch : text) {
    auto c = static_cast<unsigned char>(ch);
    if (c == '\t') return "TAB";
    if (c == '\n') return "LF";
    if (c == '\r') return "CR";
    if (c == 0x7F) return "DEL";
    if (c < 0x20) return "byte " + std::to_string(c);
  }
  return std::nullopt;
}

// The shortest text that reads back as `value` ("1e+10", "nan", "-inf").
std::string number(double value) {
  char text[32];
  auto [end, ec] = std::to_chars(text, text + sizeof text, value);
  return std::string(text, ec == std::errc() ? end : text);
}

// How job repair mends a field that the reader refuses.
enum class JobMend {
  None,          // no version of this program writes it: the file is no job file
  ClearText,     // a text with control characters becomes empty
  ZeroPosition,  // a board far away goes back to the plotting area's corner
  DropBoard,     // the board's data cannot be placed: the board goes
};

// What the reader refuses in one field of a record, and how repair mends it.
struct FieldProblem {
  size_t at;  // the field's offset in the record
  std::string text;
  JobMend mend;
};

// Every field of a record that the reader refuses, looking only at the fields
// that lie whole within `record` (a cut-off last record is checked as far as
// it goes). `asWritten`: positions are held to the writer's ±1000 inch too
// (the reader takes positions up to 1e10 inch from older files).
std::vector<FieldProblem> recordProblems(std::string_view record, bool asWritten) {
  std::vector<FieldProblem> problems;
  RecordReader r(record);
  auto within = [&](size_t at, size_t size) { return at + size <= record.size(); };
  auto text = [&](size_t at, size_t maxChars, const std::string& field) {
    if (!within(at, 1)) return;
    size_t length = r.byte(at);
    if (length > maxChars) {
      problems.push_back({at,
                          field + " is " + std::to_string(length) + " characters long (at most " +
                              std::to_string(maxChars) + ")",
                          JobMend::None});
      return;
    }
    std::string_view chars = record.substr(at + 1, std::min(length, record.size() - at - 1));
    if (auto c = controlCharacter(chars)) {
      problems.push_back({at,
                          field + " " + quoted(chars) + " holds a control character (" + *c + ")",
                          JobMend::ClearText});
    }
  };
  auto byte = [&](size_t at, uint8_t max, const char* field) {
    if (!within(at, 1) || r.byte(at) <= max) return;
    problems.push_back({at,
                        std::string(field) + " is " + std::to_string(r.byte(at)) + " (at most " +
                            std::to_string(max) + ")",
                        JobMend::None});
  };
  for (size_t n = 0; n < kLayerCount; ++n) {
    const std::string layer = "layer " + std::to_string(n + 1) + "'s ";
    text(kLayerGerberAt + n * kTextField, kMaxFileNameChars, layer + "Gerber file");
    text(kLayerApertureAt + n * kTextField, kMaxFileNameChars, layer + "aperture file");
  }
  const std::pair<size_t, const char*> lengths[] = {
      {kPosXAt, "PosX"},           {kPosYAt, "PosY"},
      {kDataWidthAt, "DataWidth"}, {kDataHeightAt, "DataHeight"},
      {kDataMinXAt, "DataMinX"},   {kDataMinYAt, "DataMinY"}};
  for (auto [at, field] : lengths) {
    if (!within(at, 8)) continue;
    const double value = r.real(at);
    const bool position = at == kPosXAt || at == kPosYAt;
    const JobMend mend = position ? JobMend::ZeroPosition : JobMend::DropBoard;
    if (!(std::isfinite(value) && std::abs(value) < kMaxSaneLength)) {
      problems.push_back({at, std::string(field) + " " + number(value) + " is not a length", mend});
    } else if (asWritten && position && std::abs(value) > kMaxPosition) {
      problems.push_back(
          {at, std::string(field) + " " + number(value) + " is outside -1000 .. 1000 inch", mend});
    }
  }
  byte(kSelectedAt, 1, "Selected");
  byte(kIntDigitsAt, kMaxSaneDigits, "IntDigits");
  byte(kDecDigitsAt, kMaxSaneDigits, "DecDigits");
  byte(kZeroSuppressionAt, 2, "ZeroSuppression");
  byte(kAbsoluteAt, 1, "Absolute");
  byte(kInchUnitsAt, 1, "InchUnits");
  byte(kIsMarkAt, 1, "IsMark");
  text(kMarkNameAt, kMaxMarkChars, "MarkName");
  return problems;
}

bool mendable(const std::vector<FieldProblem>& problems) {
  return std::none_of(problems.begin(), problems.end(),
                      [](const FieldProblem& p) { return p.mend == JobMend::None; });
}

std::string recordText(size_t number) {
  return "board record " + std::to_string(number);
}

// Why the reader refuses `bytes`: the first record at fault (from 1; 0 for
// the file as a whole), its first problem, and whether repair can mend the
// file; nothing when the reader takes it.
struct FileProblem {
  size_t record = 0;
  std::string text;
  bool mendable = false;
};
std::optional<FileProblem> firstProblem(std::string_view bytes) {
  if (!bytes.empty() && bytes.size() < kBoardRecordSize) {
    return FileProblem{0,
                       "not a job file: " + std::to_string(bytes.size()) +
                           " bytes, less than one board record (9168 bytes)",
                       false};
  }
  std::optional<FileProblem> first;
  bool canMend = true;
  for (size_t at = 0, n = 1; at < bytes.size() && canMend; at += kBoardRecordSize, ++n) {
    std::vector<FieldProblem> found = recordProblems(bytes.substr(at, kBoardRecordSize), false);
    if (found.empty()) continue;
    canMend = mendable(found);
    if (!first) first = FileProblem{n, "in " + recordText(n) + ", " + found[0].text, false};
  }
  if (first) {
    first->mendable = canMend;
    first->text = (canMend ? "a damaged job file: " : "not a job file: ") + first->text;
  }
  return first;
}

}  // namespace

std::optional<std::string> notAJobFile(std::string_view bytes) {
  if (auto problem = firstProblem(bytes)) return problem->text;
  return std::nullopt;
}

std::vector<std::string> unwritableValues(const std::vector<Board>& boards) {
  std::vector<std::string> problems;
  for (size_t i = 0; i < boards.size(); ++i) {
    const Board& b = boards[i];
    const std::string board = "board " + std::to_string(i + 1) + ": ";
    // A text longer than its field would be cut.
    auto length = [&](const std::string& text, size_t maxChars, const std::string& field) {
      if (text.size() <= maxChars) return;
      problems.push_back(board + field + " is " + std::to_string(text.size()) +
                         " characters long (at most " + std::to_string(maxChars) + ")");
    };
    for (size_t n = 0; n < kLayerCount; ++n) {
      const std::string layer = "layer " + std::to_string(n + 1) + "'s ";
      length(b.LayerGerber[n], kMaxFileNameChars, layer + "Gerber file");
      length(b.LayerAperture[n], kMaxFileNameChars, layer + "aperture file");
    }
    length(b.MarkName, kMaxMarkChars, "MarkName");
    for (const FieldProblem& p : recordProblems(encodeBoardRecord(b), true)) {
      problems.push_back(board + p.text);
    }
  }
  return problems;
}

JobFileError::JobFileError(const std::filesystem::path& file, size_t record,
                           const std::string& problem, bool mendable)
    : FormatError(file.string() + ": " + problem),
      file(file.string()),
      problem(problem),
      record(record),
      mendable(mendable) {}

// Job file - Opening and saving under the lock
// ============================================================================

JobFileEdit::JobFileEdit(const std::filesystem::path& file)
    : file_(file), lock_(file, kJobFileLockWait) {
  info_.stamp = fileStamp(file);
  if (!info_.stamp.exists) return;
  std::error_code ec;
  if (!std::filesystem::is_regular_file(file, ec)) throw IoError(file.string() + ": not a file");
  std::string bytes = readFileBytes(file);
  if (auto problem = firstProblem(bytes)) {
    throw JobFileError(file, problem->record, problem->text, problem->mendable);
  }
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
  std::vector<std::string> problems = unwritableValues(job.boards);
  if (!problems.empty()) {
    std::string more = problems.size() > 1
                           ? " (and " + std::to_string(problems.size() - 1) + " more)"
                           : std::string();
    throw FormatError(file_.string() + ": " + problems[0] + more +
                      ", which the job file cannot hold; nothing was written");
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

// Job file - Repair
// ============================================================================

namespace {

const char* mendText(JobMend mend) {
  switch (mend) {
    case JobMend::ClearText:
      return "cleared";
    case JobMend::ZeroPosition:
      return "set to 0";
    case JobMend::DropBoard:
      return "the board is dropped";
    case JobMend::None:
      break;
  }
  return "not mended";
}

// Mends one record in place; false when the board is to be dropped.
bool mendRecord(std::string& record, const std::vector<FieldProblem>& problems) {
  RecordWriter w(record);
  for (const FieldProblem& p : problems) {
    switch (p.mend) {
      case JobMend::ClearText: {
        // The length byte and the characters: the refused text leaves no trace.
        const size_t length = 1 + static_cast<uint8_t>(record[p.at]);
        record.replace(p.at, length, length, '\0');
        break;
      }
      case JobMend::ZeroPosition:
        w.real(p.at, 0.0);
        break;
      case JobMend::DropBoard:
      case JobMend::None:
        return false;
    }
  }
  return true;
}

}  // namespace

JobRepair repairJobFile(const std::filesystem::path& file, bool write) {
  FileLock lock(file, kJobFileLockWait);
  std::error_code ec;
  if (!std::filesystem::is_regular_file(file, ec)) {
    throw IoError(file.string() + ": cannot open: no such file");
  }
  const std::string bytes = readFileBytes(file);
  if (auto problem = firstProblem(bytes); problem && !problem->mendable) {
    throw JobFileError(file, problem->record,
                       problem->text + " (repair mends only what earlier versions wrote)", false);
  }
  JobRepair repair;
  std::string mended;
  const size_t whole = bytes.size() / kBoardRecordSize;
  for (size_t n = 1; n <= whole; ++n) {
    std::string record = bytes.substr((n - 1) * kBoardRecordSize, kBoardRecordSize);
    const std::vector<FieldProblem> problems = recordProblems(record, true);
    for (const FieldProblem& p : problems) {
      repair.findings.push_back(recordText(n) + ": " + p.text + ": " + mendText(p.mend));
    }
    if (mendRecord(record, problems)) mended += record;
  }
  if (size_t partial = bytes.size() % kBoardRecordSize) {
    repair.findings.push_back(partialRecordText(partial));
  }
  if (!write || repair.findings.empty()) return repair;
  std::filesystem::path backup = file;
  backup += ".bak";
  if (std::filesystem::exists(backup, ec) || ec) {
    throw IoError(backup.string() + ": already exists; move it away first (nothing was written)");
  }
  writeFileAtomically(backup, bytes);
  writeFileAtomically(file, mended);
  repair.backup = backup;
  return repair;
}

}  // namespace drumplot
