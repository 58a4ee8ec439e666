// SPDX-License-Identifier: MIT
// ReplacingFile: a large output file streamed into a temporary file beside
// its target and renamed over the target only when complete.
#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <span>

namespace drumplot {

// Writes go to ".<name>.<pid>.<n>.tmp" beside the target. commit() makes
// the file durable and renames it over the target (an older file of that
// name keeps its permissions and is replaced only then); a file destroyed
// without commit() removes its temporary file, so a failed or cancelled
// export leaves the older file as it was. Errors throw IoError naming the
// target.
class ReplacingFile {
 public:
  explicit ReplacingFile(std::filesystem::path target);
  ~ReplacingFile();
  ReplacingFile(const ReplacingFile&) = delete;
  ReplacingFile& operator=(const ReplacingFile&) = delete;

  void write(std::span<const uint8_t> bytes);
  // Overwrites bytes already written, from `offset` on; may run beside
  // write() on another thread, and leaves bytesWritten() as it is.
  void writeAt(uint64_t offset, std::span<const uint8_t> bytes);
  void commit();

  const std::filesystem::path& target() const { return target_; }
  uint64_t bytesWritten() const { return written_.load(); }

 private:
  [[noreturn]] void fail(const char* what, int error);

  std::filesystem::path target_;
  std::filesystem::path temp_;
  int fd_ = -1;
  std::atomic<uint64_t> written_{0};  // read by writeAt() beside write()
};

}  // namespace drumplot
