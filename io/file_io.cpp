// SPDX-License-Identifier: MIT
// Whole-file reading, one-step replacing and file stamps.
#include "io/file_io.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <fstream>

#include "io/io_error.h"
#include "io/replacing_file.h"

namespace drumplot {

std::string readFileBytes(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) throw IoError(file.string() + ": cannot open: " + std::strerror(errno));
  std::string bytes;
  char block[1 << 16];
  while (in.read(block, sizeof block) || in.gcount() > 0) {
    bytes.append(block, static_cast<size_t>(in.gcount()));
  }
  if (in.bad()) throw IoError(file.string() + ": read error");
  return bytes;
}

void writeFileAtomically(const std::filesystem::path& file, std::string_view bytes) {
  ReplacingFile out(file);
  out.write({reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()});
  out.commit();
}

FileStamp fileStamp(const std::filesystem::path& file) {
  struct stat st {};
  if (::stat(file.c_str(), &st) != 0) return {};
  return {true, static_cast<uint64_t>(st.st_ino), static_cast<uint64_t>(st.st_size),
          static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec};
}

}  // namespace drumplot
