// SPDX-License-Identifier: MIT
// Text files of subsystem 5: binary data and lines.
#include "apertures/text_file.h"

#include <algorithm>

namespace drumplot {

// Text files - Binary data and lines
// ============================================================================

size_t firstBinaryLine(std::string_view text) {
  size_t line = 1;
  for (size_t i = 0; i < text.size(); ++i) {
    auto byte = static_cast<unsigned char>(text[i]);
    if (byte == '\n' || (byte == '\r' && (i + 1 == text.size() || text[i + 1] != '\n'))) {
      ++line;
    } else if ((byte < 0x20 && byte != '\t' && byte != '\r' && byte != '\f' && byte != 0x1A) ||
               byte == 0x7F) {
      return line;
    }
  }
  return 0;
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

}  // namespace drumplot
