// SPDX-License-Identifier: MIT
// A board's zip file (read with libzip) unpacked into a folder, since a job
// names its layer files on disk and reads them anew for every output.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace drumplot {

struct ArchiveLimits {
  uint64_t maxEntries = 2000;
  uint64_t maxTotalBytes = uint64_t{1} << 30;
};

// The files and folders one unpacking made, in the order made. Dropped
// without keep(), it removes them again, newest first (a folder only when
// it is empty by then): a refused or cancelled import leaves nothing of its
// own behind and touches nothing that was there before.
class UnpackedFiles {
 public:
  UnpackedFiles() = default;
  UnpackedFiles(UnpackedFiles&& other) noexcept;
  UnpackedFiles& operator=(UnpackedFiles&& other) noexcept;
  ~UnpackedFiles();

  void add(const std::filesystem::path& path) { made_.push_back(path); }
  void keep() { made_.clear(); }  // the import went through: they stay
  void remove() noexcept;

 private:
  std::vector<std::filesystem::path> made_;
};

struct UnpackedZip {
  std::vector<std::filesystem::path> files;  // in the zip's order
  struct LeftOut {
    std::string name;  // as shown: control characters written "\xNN"
    std::string reason;
  };
  std::vector<LeftOut> leftOut;  // entries not unpacked, and why
  UnpackedFiles made;
};

// True for a file that begins as a zip file does ("PK\3\4").
bool isZipFile(const std::filesystem::path& file);

// Unpacks the zip into `folder` (made when missing), keeping the entries'
// folders, each entry streamed through a fixed buffer. Folders and entries
// whose names hold a control character are left out (the latter listed).
// Everything is checked before anything is written: FormatError naming the
// zip (and entry) for more entries or bytes than `limits` allow (by the
// sizes the zip states), an encrypted entry, a name met twice or one that
// would leave the folder ("../", an absolute path); IoError for a symbolic
// link at or below `folder` on an entry's way, or a file already there with
// other bytes (one with the same bytes is kept). While writing, an entry
// holding more bytes than it states is refused (FormatError). On any
// refusal what was made is removed again.
UnpackedZip unpackZip(const std::filesystem::path& zip, const std::filesystem::path& folder,
                      const ArchiveLimits& limits = {});

// Where a zip is unpacked when no folder is given: beside it, named after it
// without its extension ("boards/clock.zip" -> "boards/clock"), or with
// "-files" added when it has none ("boards/clock" -> "boards/clock-files").
std::filesystem::path defaultUnpackFolder(const std::filesystem::path& zip);

}  // namespace drumplot
