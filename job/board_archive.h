// SPDX-License-Identifier: MIT
// A board's zip file (read with libzip) unpacked into a folder, since a job
// names its layer files on disk and reads them anew for every output.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace drumplot {

struct ArchiveEntry {
  std::string name;  // its path inside the zip, "/"-separated, never leaving it
  std::string bytes;
};

struct ArchiveLimits {
  uint64_t maxEntryBytes = uint64_t{512} << 20;
  uint64_t maxTotalBytes = uint64_t{1} << 30;
};

// True for a file that begins as a zip file does ("PK\3\4").
bool isZipFile(const std::filesystem::path& file);

// The files of the zip (folders and empty names left out). Throws
// FormatError naming the zip and the entry for an entry that is encrypted,
// larger than the limits, or whose name would leave the folder it is
// unpacked into ("../", an absolute path); IoError when the zip cannot be
// opened or read.
std::vector<ArchiveEntry> readZipEntries(const std::filesystem::path& zip,
                                         const ArchiveLimits& limits = {});

// Unpacks the zip into `folder` (made when missing), keeping the entries'
// folders. A file already there with the same bytes is kept; one with other
// bytes throws IoError naming it, before anything is written. Returns the
// files, in the zip's order.
std::vector<std::filesystem::path> unpackZip(const std::filesystem::path& zip,
                                             const std::filesystem::path& folder,
                                             const ArchiveLimits& limits = {});

// Where a zip is unpacked when no folder is given: beside it, named after it
// ("boards/clock.zip" -> "boards/clock").
std::filesystem::path defaultUnpackFolder(const std::filesystem::path& zip);

}  // namespace drumplot
