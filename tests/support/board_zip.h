// SPDX-License-Identifier: MIT
// Board zip files made with libzip for the import tests.
#pragma once

#include <gtest/gtest.h>
#include <zip.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace drumplot::test {

using ZipFiles = std::vector<std::pair<std::string, std::string>>;

// Writes `files` (name, bytes) into the zip, replacing it; small ones are
// stored as they are (libzip deflates each one slowly).
inline void writeZip(const std::filesystem::path& zip, const ZipFiles& files) {
  int error = 0;
  zip_t* archive = zip_open(zip.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
  ASSERT_NE(archive, nullptr);
  for (const auto& [name, bytes] : files) {
    zip_source_t* source = zip_source_buffer(archive, bytes.data(), bytes.size(), 0);
    const zip_int64_t index = zip_file_add(archive, name.c_str(), source, ZIP_FL_ENC_UTF_8);
    ASSERT_GE(index, 0) << name;
    const bool small = bytes.size() < 4096;
    zip_set_file_compression(archive, static_cast<zip_uint64_t>(index),
                             small ? ZIP_CM_STORE : ZIP_CM_DEFLATE, small ? 0 : 1);
  }
  ASSERT_EQ(zip_close(archive), 0);
}

}  // namespace drumplot::test
