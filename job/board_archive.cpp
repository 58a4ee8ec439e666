// SPDX-License-Identifier: MIT
// Reading a board's zip file through libzip and unpacking it beside it.
#include "job/board_archive.h"

#include <zip.h>

#include <fstream>
#include <memory>
#include <system_error>

#include "engine/errors.h"
#include "io/file_io.h"

namespace drumplot {

namespace {

namespace fs = std::filesystem;

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

}  // namespace

// Board archive - Reading
// ============================================================================

bool isZipFile(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  char magic[4] = {};
  return in.read(magic, 4) && std::string_view(magic, 4) == std::string_view("PK\3\4", 4);
}

std::vector<ArchiveEntry> readZipEntries(const fs::path& zip, const ArchiveLimits& limits) {
  const std::string name = zip.string();
  int code = 0;
  std::unique_ptr<zip_t, ArchiveCloser> archive(zip_open(name.c_str(), ZIP_RDONLY, &code));
  if (!archive) throw IoError(name + ": cannot open as a zip file: " + openError(code));

  std::vector<ArchiveEntry> entries;
  uint64_t total = 0;
  const zip_int64_t count = zip_get_num_entries(archive.get(), 0);
  for (zip_int64_t i = 0; i < count; ++i) {
    const auto index = static_cast<zip_uint64_t>(i);
    zip_stat_t stat;
    if (zip_stat_index(archive.get(), index, 0, &stat) != 0 || !(stat.valid & ZIP_STAT_NAME) ||
        !(stat.valid & ZIP_STAT_SIZE)) {
      throw IoError(name + ": entry " + std::to_string(i + 1) + ": " + zip_strerror(archive.get()));
    }
    const std::string entry = stat.name;
    if (!staysInside(entry)) {
      throw FormatError(name + ": entry \"" + entry + "\" would be unpacked outside its folder");
    }
    if (entry.back() == '/') continue;  // a folder
    if ((stat.valid & ZIP_STAT_ENCRYPTION_METHOD) && stat.encryption_method != ZIP_EM_NONE) {
      throw FormatError(name + ": entry \"" + entry + "\" is encrypted");
    }
    total += stat.size;
    if (stat.size > limits.maxEntryBytes || total > limits.maxTotalBytes) {
      throw FormatError(name + ": entry \"" + entry + "\" unpacks to " + std::to_string(stat.size) +
                        " bytes, more than a board's files can be");
    }
    std::unique_ptr<zip_file_t, EntryCloser> file(zip_fopen_index(archive.get(), index, 0));
    if (!file) throw IoError(name + ": " + entry + ": " + zip_strerror(archive.get()));
    ArchiveEntry read{entry, std::string(stat.size, '\0')};
    const zip_int64_t got = zip_fread(file.get(), read.bytes.data(), stat.size);
    char extra;
    if (got < 0 || static_cast<zip_uint64_t>(got) != stat.size ||
        zip_fread(file.get(), &extra, 1) != 0) {
      throw IoError(name + ": " + entry +
                    ": cannot be read whole: " + zip_file_strerror(file.get()));
    }
    entries.push_back(std::move(read));
  }
  return entries;
}

// Board archive - Unpacking
// ============================================================================

fs::path defaultUnpackFolder(const fs::path& zip) {
  return zip.parent_path() / zip.stem();
}

std::vector<fs::path> unpackZip(const fs::path& zip, const fs::path& folder,
                                const ArchiveLimits& limits) {
  std::vector<ArchiveEntry> entries = readZipEntries(zip, limits);
  std::vector<fs::path> files;
  std::vector<bool> present;
  for (const ArchiveEntry& entry : entries) {
    files.push_back(folder / fs::path(entry.name));
    std::error_code ec;
    const bool exists = fs::exists(files.back(), ec);
    if (exists && readFileBytes(files.back()) != entry.bytes) {
      throw IoError(files.back().string() + ": already there with other content than " +
                    zip.string() + " holds; move it away or unpack elsewhere");
    }
    present.push_back(exists);
  }
  for (size_t i = 0; i < files.size(); ++i) {
    if (present[i]) continue;
    std::error_code ec;
    fs::create_directories(files[i].parent_path(), ec);
    if (ec)
      throw IoError(files[i].parent_path().string() + ": cannot make the folder: " + ec.message());
    writeFileAtomically(files[i], entries[i].bytes);
  }
  return files;
}

}  // namespace drumplot
