// SPDX-License-Identifier: MIT
// Text file reading and replacing writes for aperture files and lists.
#include "apertures/text_file.h"

#include <unistd.h>

#include <fstream>
#include <sstream>

#include "engine/errors.h"

namespace drumplot {

// Text files - Reading
// ============================================================================

std::optional<std::string> readTextFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::ostringstream bytes;
  bytes << in.rdbuf();
  if (in.bad()) return std::nullopt;
  return std::move(bytes).str();
}

std::vector<std::string_view> textLines(std::string_view text) {
  std::vector<std::string_view> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find_first_of("\r\n", start);
    if (end == std::string_view::npos) end = text.size();
    lines.push_back(text.substr(start, std::min(end - start, kMaxLineLength)));
    if (end < text.size() && text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') {
      ++end;
    }
    start = end + 1;
  }
  return lines;
}

std::string upperCase(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return out;
}

// Text files - Replacing writes
// ============================================================================

void writeFileReplacing(const std::filesystem::path& target, std::string_view bytes) {
  std::filesystem::path temporary = target;
  temporary += ".tmp" + std::to_string(::getpid());
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    if (!out) throw IoError(target.string() + ": cannot create the file");
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) {
      std::error_code ignored;
      std::filesystem::remove(temporary, ignored);
      throw IoError(target.string() + ": cannot write the file");
    }
  }
  std::error_code ec;
  std::filesystem::rename(temporary, target, ec);
  if (ec) {
    std::error_code ignored;
    std::filesystem::remove(temporary, ignored);
    throw IoError(target.string() + ": cannot replace the file: " + ec.message());
  }
}

}  // namespace drumplot
