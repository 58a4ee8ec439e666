// SPDX-License-Identifier: MIT
// Mark list building and mark insertion.
#include "job/marks.h"

#include <system_error>

#include "job/gerber_import.h"

namespace drumplot {

// Marks - Choices
// ============================================================================

std::vector<std::string> markChoices(const MarkTable& marks) {
  std::vector<std::string> names;
  for (const MarkEntry& entry : marks) {
    if (entry.name.empty() || entry.name.front() == ' ') break;
    names.push_back(entry.name);
  }
  return names;
}

// Marks - Insertion
// ============================================================================

namespace {

bool usableMarkFile(const Job& job, const std::string& path) {
  if (path.size() < 2) return false;
  std::error_code ec;
  std::filesystem::path file = job.resolvePath(path);
  if (!std::filesystem::is_regular_file(file, ec)) return false;
  auto size = std::filesystem::file_size(file, ec);
  return !ec && size >= kMinMarkFileBytes;
}

}  // namespace

MarkInsertResult insertMark(Job& job, int choice, size_t* index) {
  std::vector<std::string> names = markChoices(job.settings.marks);
  if (names.empty()) return MarkInsertResult::NoMarkDefined;
  if (choice < 0 || static_cast<size_t>(choice) >= names.size()) {
    return MarkInsertResult::NotOffered;
  }
  const MarkEntry& entry = job.settings.marks[static_cast<size_t>(choice)];
  if (!usableMarkFile(job, entry.path)) return MarkInsertResult::FileUnusable;
  std::string path = storedFileName(entry.path);

  size_t created = importMasterGerber(job, entry.path).index;
  Board& board = job.boards[created];
  board.IsMark = true;
  board.MarkName = cutText(entry.name, kMaxMarkChars);
  board.LayerGerber.fill(path);
  board.LayerAperture.fill(std::string());
  job.panel.show(board);
  if (index) *index = created;
  return MarkInsertResult::Inserted;
}

}  // namespace drumplot
