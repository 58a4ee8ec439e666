// SPDX-License-Identifier: MIT
// The job file (.wpr): one 9168-byte record per board, in list order, and
// nothing else (no header, no version).
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

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

// Open: reads `file` into the job. The file is read first, so a file that
// cannot be read throws IoError and leaves the job as it was. Then JobName
// becomes `file`, the boards go (the layer panel stays), every record is
// appended as a loaded board at its stored place, and BoardSelectedOnce is
// set when there was a record.
void openJob(Job& job, const std::filesystem::path& file);

// Writes the boards to `file` through a temporary file (IoError on failure,
// the old file untouched).
void saveJob(const Job& job, const std::filesystem::path& file);
// Save as: writes, then `file` becomes JobName.
void saveJobAs(Job& job, const std::filesystem::path& file);

}  // namespace drumplot
