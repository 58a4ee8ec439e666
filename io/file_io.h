// SPDX-License-Identifier: MIT
// Reading a whole file, replacing a file in one step, telling whether a
// file changed since it was last seen, and whether two names are one file.
#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace drumplot {

// A C file that is closed when it goes.
struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using CFile = std::unique_ptr<std::FILE, FileCloser>;

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

// Whether writing `a` and writing `b` would replace one file: both followed
// through their symbolic links as a ReplacingFile follows them, then the same
// device and inode when the file exists (hard links included), the same
// canonical path when it does not.
bool sameFile(const std::filesystem::path& a, const std::filesystem::path& b);

// The outputs of one command, before any is written: throws
// std::invalid_argument (a command that cannot run as given) naming the
// first two that are one file, since the later would replace the earlier.
void refuseSameFile(const std::vector<std::filesystem::path>& outputs);

// The outputs of one command against the files it reads, before any is
// written: throws std::invalid_argument naming the first output that is one
// of the inputs, since writing it would destroy what it is made from.
void refuseOverwritingInput(const std::vector<std::filesystem::path>& outputs,
                            const std::vector<std::filesystem::path>& inputs);

}  // namespace drumplot
