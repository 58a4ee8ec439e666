// SPDX-License-Identifier: MIT
// FileLock: an advisory lock (flock) on a file that several processes edit,
// held from the reading of the file to the rename of its new version.
#pragma once

#include <chrono>
#include <filesystem>

namespace drumplot {

class FileLock {
 public:
  // Waits up to `wait` for the exclusive lock on `file` (through its links).
  // A file that does not exist yet is not locked. Throws IoError naming the
  // file when it stays busy, or cannot be opened.
  FileLock(const std::filesystem::path& file, std::chrono::milliseconds wait);
  ~FileLock();
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;

 private:
  int fd_ = -1;
};

}  // namespace drumplot
