// SPDX-License-Identifier: MIT
// Reading a board's zip file through libzip and unpacking it beside it.
#include "job/board_archive.h"

#include <fcntl.h>
#include <unistd.h>
#include <zip.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <limits>
#include <memory>
#include <set>
#include <string_view>
#include <system_error>
#include <utility>

#include "engine/errors.h"

namespace drumplot {

namespace {

namespace fs = std::filesystem;

constexpr size_t kBufferBytes = size_t{64} << 10;  // what an entry passes through

struct ArchiveCloser {
  void operator()(zip_t* archive) const { zip_discard(archive); }  // read only: nothing to write
};
struct EntryCloser {
  void operator()(zip_file_t* entry) const { zip_fclose(entry); }
};

std::string openError(int code) {
  zip_error_t error;
  zip_error_init_with_code(&error, code);
  std::string text = zip_error_strerror(&error);
  zip_error_fini(&error);
  return text;
}

// An entry name that stays inside the folder it is unpacked into: relative,
// no "..", no drive letter, no backslash (a Windows separator in disguise).
bool staysInside(std::string_view name) {
  if (name.empty() || name.front() == '/' || name.find('\\') != std::string_view::npos ||
      name.find(':') != std::string_view::npos) {
    return false;
  }
  for (size_t start = 0; start <= name.size();) {
    size_t end = name.find('/', start);
    if (end == std::string_view::npos) end = name.size();
    if (name.substr(start, end - start) == "..") return false;
    start = end + 1;
  }
  return true;
}

bool isControl(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return byte < 0x20 || byte == 0x7F;
}

// The name with each control character written "\xNN" (no name that is
// unpacked holds a backslash, so this cannot be taken for one).
std::string shownName(std::string_view name) {
  std::string shown;
  for (char c : name) {
    if (!isControl(c)) {
      shown += c;
      continue;
    }
    char hex[5];
    std::snprintf(hex, sizeof hex, "\\x%02X", static_cast<unsigned char>(c));
    shown += hex;
  }
  return shown;
}

// A file entry to unpack.
struct Entry {
  zip_uint64_t index = 0;
  std::string name;
  uint64_t size = 0;  // as the zip states it
  fs::path relative;  // below the folder it is unpacked into
  fs::path target;
  bool present = false;  // already there with the same bytes
};

// The zip open for reading, with the one buffer every entry passes through.
class ZipReader {
 public:
  explicit ZipReader(const fs::path& zip) : name_(zip.string()) {
    int code = 0;
    archive_.reset(zip_open(name_.c_str(), ZIP_RDONLY, &code));
    if (!archive_) throw IoError(name_ + ": cannot open as a zip file: " + openError(code));
  }

  zip_t* archive() const { return archive_.get(); }
  const std::string& name() const { return name_; }

  // Hands the entry's bytes to `take` piece by piece while it returns true.
  // Throws FormatError when the entry holds more bytes than it states,
  // IoError when it cannot be read whole.
  void stream(const Entry& e, const std::function<bool(std::string_view)>& take) {
    std::unique_ptr<zip_file_t, EntryCloser> file(zip_fopen_index(archive_.get(), e.index, 0));
    if (!file) throw IoError(name_ + ": " + e.name + ": " + zip_strerror(archive_.get()));
    uint64_t got = 0;
    for (;;) {
      const zip_int64_t n = zip_fread(file.get(), buffer_.data(), buffer_.size());
      if (n < 0) {
        throw IoError(name_ + ": " + e.name +
                      ": cannot be read whole: " + zip_file_strerror(file.get()));
      }
      if (n == 0) break;
      got += static_cast<uint64_t>(n);
      if (got > e.size) {
        throw FormatError(name_ + ": entry \"" + e.name + "\" holds more than the " +
                          std::to_string(e.size) + " bytes it states");
      }
      if (!take({buffer_.data(), static_cast<size_t>(n)})) return;
    }
    if (got != e.size) {
      throw IoError(name_ + ": " + e.name + ": cannot be read whole: " + std::to_string(got) +
                    " of the " + std::to_string(e.size) + " bytes it states");
    }
  }

 private:
  std::string name_;
  std::unique_ptr<zip_t, ArchiveCloser> archive_;
  std::vector<char> buffer_ = std::vector<char>(kBufferBytes);
};

// The zip's file entries, checked against `limits` by the sizes they state;
// entries with control characters in their names go to `leftOut`.
std::vector<Entry> fileEntries(ZipReader& zip, const fs::path& folder, const ArchiveLimits& limits,
                               std::vector<UnpackedZip::LeftOut>& leftOut) {
  const std::string& name = zip.name();
  const zip_int64_t count = zip_get_num_entries(zip.archive(), 0);
  if (count < 0 || static_cast<uint64_t>(count) > limits.maxEntries) {
    throw FormatError(name + ": " + std::to_string(count) + " entries, more than the " +
                      std::to_string(limits.maxEntries) +
                      " a board's zip may hold; nothing unpacked");
  }
  std::vector<Entry> entries;
  std::set<std::string> names;
  uint64_t total = 0;
  for (zip_int64_t i = 0; i < count; ++i) {
    Entry e;
    e.index = static_cast<zip_uint64_t>(i);
    zip_stat_t stat;
    if (zip_stat_index(zip.archive(), e.index, 0, &stat) != 0 || !(stat.valid & ZIP_STAT_NAME) ||
        !(stat.valid & ZIP_STAT_SIZE)) {
      throw IoError(name + ": entry " + std::to_string(i + 1) + ": " + zip_strerror(zip.archive()));
    }
    e.name = stat.name;
    e.size = stat.size;
    if (!staysInside(e.name)) {
      throw FormatError(name + ": entry \"" + shownName(e.name) +
                        "\" would be unpacked outside its folder");
    }
    e.relative = fs::path(e.name).lexically_normal();
    if (!e.relative.has_filename() || e.relative == ".") continue;  // a folder
    if (std::any_of(e.name.begin(), e.name.end(), isControl)) {
      leftOut.push_back({shownName(e.name), "its name holds a control character: not unpacked"});
      continue;
    }
    if ((stat.valid & ZIP_STAT_ENCRYPTION_METHOD) && stat.encryption_method != ZIP_EM_NONE) {
      throw FormatError(name + ": entry \"" + e.name + "\" is encrypted");
    }
    if (!names.insert(e.relative.generic_string()).second) {
      throw FormatError(name + ": entry \"" + e.name + "\" is in the zip twice");
    }
    total = e.size > std::numeric_limits<uint64_t>::max() - total
                ? std::numeric_limits<uint64_t>::max()
                : total + e.size;
    e.target = folder / e.relative;
    entries.push_back(std::move(e));
  }
  if (total > limits.maxTotalBytes) {
    throw FormatError(name + ": its files unpack to " + std::to_string(total) +
                      " bytes, more than the " + std::to_string(limits.maxTotalBytes) +
                      " a board's zip may hold; nothing unpacked");
  }
  return entries;
}

// Refuses a symbolic link at or below `folder` on the way to any entry's
// file: what is written through it lands outside the folder.
void refuseLinks(const fs::path& folder, const std::vector<Entry>& entries) {
  std::set<fs::path> checked;
  auto check = [&](const fs::path& path) {
    std::error_code ec;
    if (checked.insert(path).second && fs::is_symlink(fs::symlink_status(path, ec))) {
      throw IoError(path.string() + ": a symbolic link where the zip is unpacked; its files " +
                    "could land outside " + folder.string() + "; nothing unpacked");
    }
  };
  check(folder);
  for (const Entry& e : entries) {
    fs::path path = folder;
    for (const fs::path& part : e.relative) check(path /= part);
  }
}

// True when the file already there holds the entry's bytes.
bool holdsEntry(ZipReader& zip, const Entry& e) {
  std::error_code ec;
  if (fs::file_size(e.target, ec) != e.size || ec) return false;
  std::ifstream in(e.target, std::ios::binary);
  if (!in) throw IoError(e.target.string() + ": cannot open: " + std::strerror(errno));
  std::vector<char> mine(kBufferBytes);
  bool same = true;
  zip.stream(e, [&](std::string_view piece) {
    in.read(mine.data(), static_cast<std::streamsize>(piece.size()));
    same = static_cast<size_t>(in.gcount()) == piece.size() &&
           std::equal(piece.begin(), piece.end(), mine.begin());
    return same;
  });
  return same;
}

// Makes `dir` and the folders missing above it, noting each one made.
void makeFolder(const fs::path& dir, std::set<fs::path>& ready, UnpackedFiles& made) {
  if (dir.empty() || ready.count(dir)) return;
  std::error_code ec;
  if (!fs::is_directory(dir, ec)) {
    makeFolder(dir.parent_path(), ready, made);
    if (fs::create_directory(dir, ec)) made.add(dir);
    if (ec) throw IoError(dir.string() + ": cannot make the folder: " + ec.message());
  }
  ready.insert(dir);
}

// Writes the entry into a file of its own making: never through a link, never
// over a file that appeared meanwhile.
void writeEntry(ZipReader& zip, const Entry& e, UnpackedFiles& made) {
  struct Descriptor {
    int fd;
    ~Descriptor() {
      if (fd >= 0) ::close(fd);
    }
  } file{::open(e.target.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666)};
  if (file.fd < 0) {
    throw IoError(e.target.string() + ": cannot make the file: " + std::strerror(errno));
  }
  made.add(e.target);
  int error = 0;
  zip.stream(e, [&](std::string_view piece) {
    while (!piece.empty() && error == 0) {
      const ssize_t n = ::write(file.fd, piece.data(), piece.size());
      if (n < 0 && errno != EINTR) error = errno;
      if (n > 0) piece.remove_prefix(static_cast<size_t>(n));
    }
    return error == 0;
  });
  if (::close(std::exchange(file.fd, -1)) != 0 && error == 0) error = errno;
  if (error != 0) throw IoError(e.target.string() + ": cannot write: " + std::strerror(error));
}

}  // namespace

// Board archive - Unpacked files
// ============================================================================

UnpackedFiles::UnpackedFiles(UnpackedFiles&& other) noexcept
    : made_(std::exchange(other.made_, {})) {}

UnpackedFiles& UnpackedFiles::operator=(UnpackedFiles&& other) noexcept {
  if (this != &other) {
    remove();
    made_ = std::exchange(other.made_, {});
  }
  return *this;
}

UnpackedFiles::~UnpackedFiles() {
  remove();
}

void UnpackedFiles::remove() noexcept {
  for (auto path = made_.rbegin(); path != made_.rend(); ++path) {
    std::error_code ec;
    fs::remove(*path, ec);  // a folder that holds something else now stays
  }
  made_.clear();
}

// Board archive - Unpacking
// ============================================================================

bool isZipFile(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  char magic[4] = {};
  return in.read(magic, 4) && std::string_view(magic, 4) == std::string_view("PK\3\4", 4);
}

fs::path defaultUnpackFolder(const fs::path& zip) {
  if (!zip.has_extension()) return zip.parent_path() / (zip.filename().string() + "-files");
  return zip.parent_path() / zip.stem();
}

UnpackedZip unpackZip(const fs::path& zip, const fs::path& folder, const ArchiveLimits& limits) {
  ZipReader reader(zip);
  UnpackedZip result;
  // "out/" names the folder, not what it may link to.
  const fs::path dir = folder.has_filename() ? folder : folder.parent_path();
  std::vector<Entry> entries = fileEntries(reader, dir, limits, result.leftOut);
  refuseLinks(dir, entries);
  for (Entry& e : entries) {
    std::error_code ec;
    const fs::file_status status = fs::symlink_status(e.target, ec);
    if (!fs::exists(status)) continue;
    if (!fs::is_regular_file(status) || !holdsEntry(reader, e)) {
      throw IoError(e.target.string() + ": already there with other content than " + zip.string() +
                    " holds; move it away or unpack elsewhere");
    }
    e.present = true;
  }
  std::set<fs::path> ready;
  for (const Entry& e : entries) {
    result.files.push_back(e.target);
    if (e.present) continue;
    makeFolder(e.target.parent_path(), ready, result.made);
    writeEntry(reader, e, result.made);
  }
  return result;
}

}  // namespace drumplot
