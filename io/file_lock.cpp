// SPDX-License-Identifier: MIT
// Waiting for an advisory file lock.
#include "io/file_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <thread>

#include "io/io_error.h"

namespace drumplot {

namespace {

constexpr std::chrono::milliseconds kRetry{10};

bool sameFile(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

}  // namespace

// A writer renames a new file over the one locked here, so a lock won on a
// file that is no longer the one the path names is given up and taken anew
// on the new file.
FileLock::FileLock(const std::filesystem::path& file, std::chrono::milliseconds wait) {
  const auto deadline = std::chrono::steady_clock::now() + wait;
  while (true) {
    // O_NONBLOCK: a FIFO in the file's place does not hang the open.
    fd_ = ::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd_ < 0) {
      if (errno == ENOENT) return;
      throw IoError(file.string() + ": cannot open: " + std::strerror(errno));
    }
    while (::flock(fd_, LOCK_EX | LOCK_NB) != 0) {
      const int error = errno;
      const bool busy = error == EWOULDBLOCK || error == EINTR;
      if (!busy || std::chrono::steady_clock::now() >= deadline) {
        ::close(fd_);
        fd_ = -1;
        if (!busy) throw IoError(file.string() + ": cannot lock: " + std::strerror(error));
        throw IoError(file.string() + ": busy: another program is editing it (waited " +
                      std::to_string(wait.count() / 1000) + " s); try again");
      }
      std::this_thread::sleep_for(kRetry);
    }
    struct stat locked {
    }, named{};
    if (::fstat(fd_, &locked) == 0 && ::stat(file.c_str(), &named) == 0 &&
        sameFile(locked, named)) {
      return;
    }
    ::close(fd_);
    fd_ = -1;
  }
}

FileLock::~FileLock() {
  if (fd_ >= 0) ::close(fd_);  // closing releases the lock
}

}  // namespace drumplot
