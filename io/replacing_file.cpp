// SPDX-License-Identifier: MIT
// Streaming into a temporary file and renaming it over the target.
#include "io/replacing_file.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "io/io_error.h"

namespace drumplot {

namespace fs = std::filesystem;

// ReplacingFile - Temporary names
// ============================================================================

namespace {

constexpr std::string_view kTempSuffix = ".tmp";
constexpr size_t kRandomChars = 8;
constexpr size_t kMaxRandomChars = 16;  // older runs wrote a counter here
constexpr int kMaxLinkHops = 40;

bool isDigitChar(char c) {
  return c >= '0' && c <= '9';
}
bool isNameChar(char c) {
  return isDigitChar(c) || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// "." + name + ".": every temporary file of the target starts so.
std::string tempPrefix(const fs::path& target) {
  return "." + target.filename().string() + ".";
}

// Eight characters from [0-9a-z] that no earlier call of this process gave.
std::string randomPart() {
  static std::atomic<uint64_t> counter{0};
  static const uint64_t seed = [] {
    std::random_device device;
    return (uint64_t{device()} << 32) ^ device() ^
           static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
  }();
  // splitmix64 of seed + counter: distinct counters give distinct values.
  uint64_t z = seed + 0x9E3779B97F4A7C15ull * ++counter;
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  z ^= z >> 31;
  std::string text;
  for (size_t i = 0; i < kRandomChars; ++i, z /= 36)
    text += "0123456789abcdefghijklmnopqrstuvwxyz"[z % 36];
  return text;
}

// The PID in a temporary file's name "<prefix><pid>.<random>.tmp", or 0 when
// the name is not of that form.
pid_t tempOwner(std::string_view name, std::string_view prefix) {
  if (name.size() <= prefix.size() + kTempSuffix.size() ||
      name.substr(0, prefix.size()) != prefix ||
      name.substr(name.size() - kTempSuffix.size()) != kTempSuffix) {
    return 0;
  }
  std::string_view middle =
      name.substr(prefix.size(), name.size() - prefix.size() - kTempSuffix.size());
  size_t dot = middle.find('.');
  if (dot == 0 || dot == std::string_view::npos || dot > 9) return 0;
  std::string_view pid = middle.substr(0, dot), random = middle.substr(dot + 1);
  if (random.empty() || random.size() > kMaxRandomChars) return 0;
  long value = 0;
  for (char c : pid) {
    if (!isDigitChar(c)) return 0;
    value = value * 10 + (c - '0');
  }
  for (char c : random) {
    if (!isNameChar(c)) return 0;
  }
  return static_cast<pid_t>(value);
}

bool processAlive(pid_t pid) {
  return ::kill(pid, 0) == 0 || errno != ESRCH;
}

// The folder of `file`, made durable: a rename into it survives a crash.
void syncFolder(const fs::path& file) {
  fs::path folder = file.parent_path().empty() ? fs::path(".") : file.parent_path();
  int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    ::fsync(dir);
    ::close(dir);
  }
}

}  // namespace

fs::path replacedFile(const fs::path& target) {
  fs::path p = target;
  for (int hop = 0; hop < kMaxLinkHops; ++hop) {
    std::error_code ec;
    if (!fs::is_symlink(fs::symlink_status(p, ec)) || ec) return p;
    fs::path link = fs::read_symlink(p, ec);
    if (ec) return p;
    p = link.is_absolute() ? link : p.parent_path() / link;
  }
  throw IoError(target.string() + ": too many levels of symbolic links");
}

int removeStaleTemporaryFiles(const fs::path& target) {
  const std::string prefix = tempPrefix(target);
  const fs::path folder = target.parent_path().empty() ? fs::path(".") : target.parent_path();
  int removed = 0;
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    pid_t owner = tempOwner(it->path().filename().string(), prefix);
    std::error_code ignored;
    if (owner > 0 && !processAlive(owner) && it->is_regular_file(ignored) &&
        fs::remove(it->path(), ignored)) {
      ++removed;
    }
  }
  return removed;
}

// ReplacingFile - Temporary file
// ============================================================================

ReplacingFile::ReplacingFile(const fs::path& target) : name_(target) {
  if (name_.filename().empty()) throw IoError(name_.string() + ": not a file name");
  target_ = replacedFile(name_);
  struct stat old {};
  if (::stat(target_.c_str(), &old) == 0) {
    if (!S_ISREG(old.st_mode)) fail("not a regular file; it is not replaced", 0);
    if ((old.st_mode & 0222) == 0 || ::access(target_.c_str(), W_OK) != 0) {
      fail("the file is read-only; it is not replaced", 0);
    }
  } else if (errno != ENOENT) {
    fail("cannot open", errno);
  }
  removeStaleTemporaryFiles(target_);
  const std::string stem = tempPrefix(target_) + std::to_string(::getpid()) + ".";
  for (int attempt = 0; fd_ < 0; ++attempt) {
    temp_ = target_.parent_path() / (stem + randomPart() + std::string(kTempSuffix));
    // O_EXCL: a name already there is never reused.
    fd_ = ::open(temp_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd_ < 0 && (errno != EEXIST || attempt == 100)) {
      const int error = errno;
      temp_.clear();
      failInFolder(error);
    }
  }
}

ReplacingFile::~ReplacingFile() {
  if (fd_ >= 0) ::close(fd_);
  if (!temp_.empty()) ::unlink(temp_.c_str());
}

// The file is written beside its target: what stops that is the folder's.
void ReplacingFile::failInFolder(int error) const {
  const fs::path parent = target_.parent_path();
  const std::string folder = parent.empty() ? std::string(".") : parent.string();
  switch (error) {
    case EACCES:
    case EPERM:
    case EROFS:
      fail("cannot write into the folder " + folder + " (" + std::strerror(error) +
               "): write the file into another folder, or make this one writable",
           0);
    case ENOENT: {
      std::error_code ec;
      if (!fs::is_directory(parent.empty() ? fs::path(".") : parent, ec))
        fail("the folder " + folder + " does not exist", 0);
      [[fallthrough]];
    }
    default:
      fail("cannot write a file into the folder " + folder, error);
  }
}

void ReplacingFile::fail(const std::string& what, int error) const {
  throw IoError(name_.string() + ": " + what +
                (error ? std::string(": ") + std::strerror(error) : ""));
}

void ReplacingFile::append(std::span<const uint8_t> bytes) {
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

void ReplacingFile::overwrite(uint64_t offset, std::span<const uint8_t> bytes) {
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

void ReplacingFile::finishWriting() {
  refuseAfterFailure();
  if (fd_ < 0) fail("write error", EBADF);
  // A replaced file keeps its permissions; a new one gets the usual ones.
  struct stat old {};
  if (::stat(target_.c_str(), &old) == 0 && S_ISREG(old.st_mode)) {
    ::fchmod(fd_, old.st_mode & 07777);
  }
  if (::fsync(fd_) != 0) fail("write error", errno);
  int fd = fd_;
  fd_ = -1;
  if (::close(fd) != 0) fail("write error", errno);
}

void ReplacingFile::replaceTarget() {
  if (::rename(temp_.c_str(), target_.c_str()) != 0) fail("cannot replace the file", errno);
  temp_.clear();
}

void ReplacingFile::commit() {
  finishWriting();
  replaceTarget();
  syncFolder(target_);
}

// ReplacingFile - Committing several files as one
// ============================================================================

namespace {

// A second name beside `target` for its older file, so that it can be put
// back: a hard link, or the file itself moved there where the folder takes
// no links. Empty when there is no older file.
fs::path keepOlderFile(const fs::path& target, const fs::path& name) {
  const std::string stem = tempPrefix(target) + std::to_string(::getpid()) + ".";
  for (int attempt = 0;; ++attempt) {
    fs::path kept = target.parent_path() / (stem + randomPart() + std::string(kTempSuffix));
    if (::link(target.c_str(), kept.c_str()) == 0) return kept;
    const int error = errno;
    if (error == ENOENT) return {};
    if (error == EEXIST && attempt < 100) continue;
    if ((error == EPERM || error == ENOTSUP || error == EMLINK || error == ENOSYS) &&
        ::rename(target.c_str(), kept.c_str()) == 0) {
      return kept;
    }
    throw IoError(name.string() + ": cannot keep the older file until the others are written: " +
                  std::strerror(error));
  }
}

}  // namespace

void commitTogether(std::span<ReplacingFile* const> files) {
  for (ReplacingFile* file : files) file->finishWriting();
  std::vector<fs::path> kept;  // kept[i]: files[i]'s older file, under its second name
  size_t at = 0;
  try {
    for (; at < files.size(); ++at) {
      kept.push_back(keepOlderFile(files[at]->target_, files[at]->name_));
      files[at]->replaceTarget();
    }
  } catch (const IoError& e) {
    // Every target back as it was; what cannot be is said.
    std::string state;
    bool allBack = true;
    for (size_t i = 0; i < files.size(); ++i) {
      const ReplacingFile& file = *files[i];
      const fs::path older = i < kept.size() ? kept[i] : fs::path();
      const bool replaced = i < at;
      std::string done;
      bool back = false;
      if (!older.empty() && ::rename(older.c_str(), file.target_.c_str()) != 0) {
        done = (replaced ? " is the new file; its older one is kept as "
                         : " is missing; its older file is kept as ") +
               older.filename().string() + " (" + std::strerror(errno) + ")";
      } else if (replaced && older.empty() && ::unlink(file.target_.c_str()) != 0) {
        done = std::string(" is the new file and cannot be removed (") + std::strerror(errno) + ")";
      } else {
        if (!older.empty())
          ::unlink(older.c_str());  // still there when it was a link of the target
        done = !replaced ? " not replaced" : older.empty() ? " removed again" : " put back";
        back = true;
      }
      allBack = allBack && back;
      if (i != at || !back) state += (state.empty() ? "" : ", ") + file.name_.string() + done;
      syncFolder(file.target_);
    }
    if (state.empty()) throw;
    throw IoError(std::string(e.what()) +
                  (allBack ? "; nothing replaced: " : "; not all could be put back: ") + state);
  }
  for (const fs::path& older : kept) {
    if (!older.empty()) ::unlink(older.c_str());
  }
  for (ReplacingFile* file : files) syncFolder(file->target_);
}

}  // namespace drumplot
