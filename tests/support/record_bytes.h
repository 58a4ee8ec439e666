// SPDX-License-Identifier: MIT
// Hand-built job-file record bytes: every field placed at its offset by the
// test itself, with doubles given as their IEEE bit patterns.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace drumplot::test {

class RecordBytes {
 public:
  RecordBytes() : bytes_(9168, '\0') {}
  RecordBytes& text(size_t at, const std::string& s) {
    bytes_[at] = static_cast<char>(s.size());
    bytes_.replace(at + 1, s.size(), s);
    return *this;
  }
  RecordBytes& u8(size_t at, uint8_t v) {
    bytes_[at] = static_cast<char>(v);
    return *this;
  }
  RecordBytes& le64(size_t at, uint64_t bits) {
    for (size_t i = 0; i < 8; ++i) bytes_[at + i] = static_cast<char>((bits >> (8 * i)) & 0xFF);
    return *this;
  }
  const std::string& str() const { return bytes_; }

 private:
  std::string bytes_;
};

// Fails at the first byte that differs, naming its record and offset.
inline void expectSameBytes(const std::string& actual, const std::string& expected) {
  ASSERT_EQ(actual.size(), expected.size());
  for (size_t i = 0; i < actual.size(); ++i) {
    ASSERT_EQ(static_cast<uint8_t>(actual[i]), static_cast<uint8_t>(expected[i]))
        << "record " << i / 9168 << ", offset " << i % 9168;
  }
}

}  // namespace drumplot::test
