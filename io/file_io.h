// SPDX-License-Identifier: MIT
// Reading a whole file, replacing a file in one step, and telling whether a
// file changed since it was last seen.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace drumplot {

// The file's bytes; throws IoError naming the file when it cannot be read.
std::string readFileBytes(const std::filesystem::path& file);

// Replaces `file` by `bytes` through a ReplacingFile: whatever fails, the old
// file stays as it was. Throws IoError naming the file.
void writeFileAtomically(const std::filesystem::path& file, std::string_view bytes);

// What identifies one version of a file: a writer that replaced it, or
// changed it in place, leaves a different stamp.
struct FileStamp {
  bool exists = false;
  uint64_t inode = 0;
  uint64_t size = 0;
  int64_t modified_ns = 0;

  bool operator==(const FileStamp&) const = default;
};

// The stamp of the file a path names now (through its links).
FileStamp fileStamp(const std::filesystem::path& file);

}  // namespace drumplot
