// SPDX-License-Identifier: MIT
// Streaming into a temporary file and renaming it over the target.
#include "output/replacing_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <system_error>

#include "engine/errors.h"

namespace drumplot {

// ReplacingFile - Temporary file
// ============================================================================

ReplacingFile::ReplacingFile(std::filesystem::path target) : target_(std::move(target)) {
  if (target_.filename().empty()) throw IoError(target_.string() + ": not a file name");
  static std::atomic<unsigned> counter{0};
  temp_ = target_.parent_path() / ("." + target_.filename().string() + "." +
                                   std::to_string(::getpid()) + "." + std::to_string(++counter) +
                                   ".tmp");
  // O_EXCL: never reuse a file that is already there.
  fd_ = ::open(temp_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd_ < 0) {
    int error = errno;
    throw IoError(target_.string() + ": cannot create " + temp_.filename().string() + ": " +
                  std::strerror(error));
  }
}

ReplacingFile::~ReplacingFile() {
  if (fd_ >= 0) ::close(fd_);
  if (!temp_.empty()) {
    std::error_code ignored;
    std::filesystem::remove(temp_, ignored);
  }
}

void ReplacingFile::fail(const char* what, int error) {
  throw IoError(target_.string() + ": " + what + ": " + std::strerror(error));
}

void ReplacingFile::write(std::span<const uint8_t> bytes) {
  if (fd_ < 0) fail("write error", EBADF);
  while (!bytes.empty()) {
    ssize_t n = ::write(fd_, bytes.data(), bytes.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      fail("write error", errno);
    }
    written_ += static_cast<uint64_t>(n);
    bytes = bytes.subspan(static_cast<size_t>(n));
  }
}

void ReplacingFile::writeAt(uint64_t offset, std::span<const uint8_t> bytes) {
  if (fd_ < 0) fail("write error", EBADF);
  if (offset + bytes.size() > written_) fail("write error", EINVAL);
  while (!bytes.empty()) {
    ssize_t n = ::pwrite(fd_, bytes.data(), bytes.size(), static_cast<off_t>(offset));
    if (n < 0) {
      if (errno == EINTR) continue;
      fail("write error", errno);
    }
    offset += static_cast<uint64_t>(n);
    bytes = bytes.subspan(static_cast<size_t>(n));
  }
}

// ReplacingFile - Commit
// ============================================================================

void ReplacingFile::commit() {
  if (fd_ < 0) fail("write error", EBADF);
  if (::fsync(fd_) != 0) fail("write error", errno);
  int fd = fd_;
  fd_ = -1;
  if (::close(fd) != 0) fail("write error", errno);
  // A replaced file keeps its permissions; a new one gets the usual ones.
  struct stat old {};
  if (::stat(target_.c_str(), &old) == 0 && S_ISREG(old.st_mode)) {
    ::chmod(temp_.c_str(), old.st_mode & 07777);
  }
  if (std::rename(temp_.c_str(), target_.c_str()) != 0) fail("cannot replace the file", errno);
  temp_.clear();
}

}  // namespace drumplot
