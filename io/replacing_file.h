// SPDX-License-Identifier: MIT
// ReplacingFile: a new version of a file, written into a temporary file beside
// it and renamed over it only when complete. Every file drumplot writes goes
// through it (writeFileAtomically for the small ones).
#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>

#include "io/byte_sink.h"

namespace drumplot {

// The target as given is followed through symbolic links: the file a link
// points to is the one replaced, and the link stays. A target that exists
// must be a regular file we may write: a read-only file, a folder or a device
// is refused, not replaced.
//
// Writes go to ".<name>.<pid>.<random>.tmp" beside the target, created
// exclusively under a name never used before. Temporary files of that form
// that a killed run left beside the target (their PID no longer alive) are
// removed when the next one is made.
//
// commit() makes the file durable and renames it over the target, which keeps
// the permissions of the file it replaces; a ReplacingFile destroyed without
// commit() removes its temporary file, so a failed or cancelled write leaves
// the older file as it was, and one whose write failed is never committed.
// Errors throw IoError naming the target as given.
class ReplacingFile final : public ByteSink {
 public:
  explicit ReplacingFile(const std::filesystem::path& target);
  ~ReplacingFile();
  ReplacingFile(const ReplacingFile&) = delete;
  ReplacingFile& operator=(const ReplacingFile&) = delete;

  void commit();

  uint64_t bytesWritten() const override { return written_.load(); }
  const std::filesystem::path& name() const override { return name_; }  // the target as given

 private:
  void append(std::span<const uint8_t> bytes) override;
  void overwrite(uint64_t offset, std::span<const uint8_t> bytes) override;
  friend void commitTogether(std::span<ReplacingFile* const> files);

  [[noreturn]] void fail(const std::string& what, int error) const;
  [[noreturn]] void failInFolder(int error) const;  // the temporary file cannot be made
  void finishWriting();  // permissions, fsync, close: ready to be renamed
  void replaceTarget();  // the rename over the target

  std::filesystem::path name_;    // as given, for messages
  std::filesystem::path target_;  // the file replaced: `name_` through its links
  std::filesystem::path temp_;
  int fd_ = -1;
  std::atomic<uint64_t> written_{0};  // read beside the writes
};

// Commits several files as one: all are finished first, then renamed over
// their targets one by one while the older files are kept under a second
// name (a hard link; a rename where the folder has no links). When a rename
// fails, every target already replaced gets its older file back (one that
// had none is removed again) and the IoError names the file that failed
// and the state of the others. A run killed between the renames leaves
// some targets new; their older files stay as temporary files of the form
// above until the next write of the target.
void commitTogether(std::span<ReplacingFile* const> files);

// The file that writing `target` replaces: `target` followed through its
// symbolic links.
std::filesystem::path replacedFile(const std::filesystem::path& target);

// Removes the temporary files beside `target` that runs killed while writing
// it left behind: those of the form above whose PID is no longer alive.
// Returns how many were removed.
int removeStaleTemporaryFiles(const std::filesystem::path& target);

}  // namespace drumplot
