// SPDX-License-Identifier: MIT
// Reading whole files and replacing files through a temporary file.
#include "job/file_io.h"

#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <system_error>

#include "engine/errors.h"

namespace drumplot {

// File I/O - Reading
// ============================================================================

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

// File I/O - Replacing
// ============================================================================

namespace {

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// A name beside the target that no other writer uses: ".<name>.<pid>.<n>.tmp".
std::filesystem::path temporaryBeside(const std::filesystem::path& file) {
  static std::atomic<unsigned> counter{0};
  std::string name = "." + file.filename().string() + "." + std::to_string(::getpid()) + "." +
                     std::to_string(++counter) + ".tmp";
  return file.parent_path() / name;
}

[[noreturn]] void fail(const std::filesystem::path& file, const std::string& what, int error) {
  throw IoError(file.string() + ": " + what + ": " + std::strerror(error));
}

}  // namespace

void replaceFile(const std::filesystem::path& file, std::string_view bytes) {
  if (file.filename().empty()) throw IoError(file.string() + ": not a file name");
  std::filesystem::path temp = temporaryBeside(file);
  // "x": fail rather than reuse a file that is already there.
  FilePtr out(std::fopen(temp.c_str(), "wbx"));
  if (!out) fail(file, "cannot create " + temp.filename().string(), errno);
  auto discard = [&](const std::string& what, int error) {
    out.reset();
    std::error_code ignored;
    std::filesystem::remove(temp, ignored);
    fail(file, what, error);
  };
  if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), out.get()) != bytes.size()) {
    discard("write error", errno);
  }
  if (std::fflush(out.get()) != 0 || ::fsync(::fileno(out.get())) != 0) {
    discard("write error", errno);
  }
  if (std::fclose(out.release()) != 0) discard("write error", errno);
  // A replaced file keeps its permissions.
  std::error_code ec;
  auto status = std::filesystem::status(file, ec);
  if (!ec && std::filesystem::is_regular_file(status)) {
    std::filesystem::permissions(temp, status.permissions(), ec);
  }
  if (std::rename(temp.c_str(), file.c_str()) != 0) discard("cannot replace the file", errno);
}

}  // namespace drumplot
