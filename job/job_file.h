// SPDX-License-Identifier: MIT
// The job file (.wpr): one 9168-byte record per board, in list order, and
// nothing else (no header, no version).
#pragma once

#include <chrono>
#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/errors.h"
#include "io/file_io.h"
#include "io/file_lock.h"
#include "job/job.h"

namespace drumplot {

inline constexpr size_t kBoardRecordSize = 9168;

// One board as its record: little-endian IEEE doubles, length-prefixed texts
// cut to their field, the bytes after a text and the reserved bytes zero.
std::string encodeBoardRecord(const Board& board);
// A record as a loaded board: Locked true, Selected false (whatever was
// saved), the caption from the first layer file name longer than 4
// characters. A length byte beyond its field reads as the field's maximum.
// Screen geometry is left to the caller.
Board decodeBoardRecord(std::string_view record);

std::string encodeJob(const std::vector<Board>& boards);
// Every whole record; bytes after the last whole record are ignored.
std::vector<Board> decodeJob(std::string_view bytes);

// Why `bytes` are not a job file, or nothing when they are one. A job file is
// empty or holds at least one whole record, and every record (the cut-off
// last one as far as it goes) holds sane fields: length bytes within their
// field, texts without control characters, finite numbers below 1e10 inches,
// and the bytes of the data format, Selected and IsMark in their ranges. The
// reserved bytes are not looked at (older writers left anything there).
std::optional<std::string> notAJobFile(std::string_view bytes);

// What the job file reader would refuse in `boards` once written, or what
// writing would change: a text longer than its field or holding a control
// character, a position outside -1000 .. 1000 inch, a length that is not
// finite, a data format byte out of its range; each names the board (from 1)
// and the value. Empty: the boards can be written and read back. Every save
// runs it before writing a byte.
std::vector<std::string> unwritableValues(const std::vector<Board>& boards);

// A job file its reader refuses. `record` is the board record at fault (from
// 1; 0 for the file as a whole); `mendable`: repairJobFile mends it.
class JobFileError : public FormatError {
 public:
  JobFileError(const std::filesystem::path& file, size_t record, const std::string& problem,
               bool mendable);
  std::string file;
  std::string problem;  // the message without the file name
  size_t record;
  bool mendable;
};

// How long a job command waits for another one editing the same job file.
inline constexpr std::chrono::seconds kJobFileLockWait{10};

// What was found in a job file when it was read or written.
struct JobFileInfo {
  // Bytes of a cut-off last record: that board is left out, and lost when
  // the file is written back.
  size_t partialBytes = 0;
  FileStamp stamp;  // the version read or written
};

// One edit of a job file: the file is locked (flock) before it is read and
// stays locked until its new version is renamed over it, so that two edits of
// one file wait for each other instead of losing boards.
class JobFileEdit {
 public:
  // Locks `file`, waiting up to kJobFileLockWait, and reads what it holds (a
  // file that does not exist holds nothing). Throws IoError (busy,
  // unreadable) or FormatError naming the file when it is not a job file.
  explicit JobFileEdit(const std::filesystem::path& file);

  bool exists() const { return info_.stamp.exists; }
  const JobFileInfo& info() const { return info_; }

  // Open: JobName becomes the file, the boards go (the layer panel stays),
  // every whole record is appended as a loaded board at its stored place,
  // and BoardSelectedOnce is set when there was one.
  void openInto(Job& job) const;
  // Writes the job's boards over the file. A file that ends in a partial
  // record is written only with `dropPartialRecord` (FormatError otherwise).
  void save(const Job& job, bool dropPartialRecord);

 private:
  std::filesystem::path file_;
  FileLock lock_;
  std::vector<Board> boards_;
  JobFileInfo info_;
};

// "the job file ends in a partial record of N bytes (a board cut off), which
// is left out": what is said about a cut-off last record.
std::string partialRecordText(size_t partialBytes);

// Open, as JobFileEdit::openInto: throws IoError when the file cannot be
// read (the job stays as it was) and FormatError when it is not a job file.
JobFileInfo openJob(Job& job, const std::filesystem::path& file);

// Writes the boards to `file` through a temporary file (IoError on failure,
// the old file untouched); only over a file that is a job file, and over one
// with a partial last record only with `dropPartialRecord`.
JobFileInfo saveJob(const Job& job, const std::filesystem::path& file,
                    bool dropPartialRecord = false);
// Save as: writes, then `file` becomes JobName.
JobFileInfo saveJobAs(Job& job, const std::filesystem::path& file, bool dropPartialRecord = false);

// What repairJobFile found, each finding naming the board record and what
// is done: a text with control characters is cleared, a position that is not
// a length or outside -1000 .. 1000 inch is set to 0, a board whose data
// size or origin is not a length is dropped, a cut-off last record is left
// out.
struct JobRepair {
  std::vector<std::string> findings;
  std::filesystem::path backup;  // the old file's copy, when one was written
};

// Mends a job file that earlier versions wrote with values their reader
// refuses. With `write` and something to mend, the old file is first copied
// to FILE.bak (refused when that exists), then the mended job replaces it,
// under the job file lock. A file with faults that no version wrote (a text
// longer than its field, a format byte out of range) is no job file:
// JobFileError, nothing written.
JobRepair repairJobFile(const std::filesystem::path& file, bool write);

}  // namespace drumplot
