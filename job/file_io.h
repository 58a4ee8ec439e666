// SPDX-License-Identifier: MIT
// Whole-file reading and safe replacing for the files the job editor writes.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace drumplot {

// The file's bytes; throws IoError naming the file when it cannot be read.
std::string readFileBytes(const std::filesystem::path& file);

// Writes `bytes` to a new temporary file beside `file` and renames it over
// `file`, so a failed save leaves the old file as it was. Throws IoError
// naming the file.
void replaceFile(const std::filesystem::path& file, std::string_view bytes);

}  // namespace drumplot
