// SPDX-License-Identifier: MIT
// Reading the small 8-bit text files of subsystem 5 line by line, and
// writing files so that a failure never leaves a truncated target.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace drumplot {

// Lines are handled as short strings: the rest of a longer line is dropped.
inline constexpr size_t kMaxLineLength = 255;

// The whole file, or nothing when it cannot be opened or read.
std::optional<std::string> readTextFile(const std::filesystem::path& path);

// The lines of a text, cut at CR LF, LF or a lone CR, each cut to
// kMaxLineLength. A last line without a line end counts; an empty text has none.
std::vector<std::string_view> textLines(std::string_view text);

// ASCII upper case, byte by byte (other bytes are left as they are).
std::string upperCase(std::string_view text);

// Writes `bytes` to a temporary file beside `target` and renames it over the
// target. Throws IoError naming the target when any step fails.
void writeFileReplacing(const std::filesystem::path& target, std::string_view bytes);

}  // namespace drumplot
