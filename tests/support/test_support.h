// SPDX-License-Identifier: MIT
// Helpers shared by the test programs.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace drumplot::test {

// Whether the tests run under a sanitizer (ten times slower or more).
inline constexpr bool kSanitized =
#if defined(__SANITIZE_ADDRESS__)
    true;
#else
    false;
#endif

// The shared corpus of real-world files, or an empty path when it is absent.
std::filesystem::path corpusDir();

// One row of the corpus manifest.
struct CorpusEntry {
  std::string localPath;  // below corpusDir()
  std::string kind;       // gerber-274x, gerber-274d, drill, aperture-list, ...
  std::string goldenPng;
  double goldenDpi = 0.0;
  double originX = 0.0, originY = 0.0;
};

std::vector<CorpusEntry> corpusEntries();

// A fresh temporary folder for one test, removed at exit of the test program.
std::filesystem::path tempDir();

std::string readFile(const std::filesystem::path& path);
void writeFile(const std::filesystem::path& path, const std::string& bytes);

// The peak resident bytes of a child process that runs `action` and ends
// (what this process held when it forked counts too). Throws when the
// child fails or `action` returns false.
uint64_t childPeakBytes(const std::function<bool()>& action);

// Runs `action` and expects it to throw an `Error` whose message holds `part`.
template <typename Error, typename Action>
void expectError(Action&& action, std::string_view part) {
  try {
    action();
    ADD_FAILURE() << "no error; expected one saying \"" << part << "\"";
  } catch (const Error& e) {
    EXPECT_NE(std::string_view(e.what()).find(part), std::string_view::npos) << e.what();
  }
}

}  // namespace drumplot::test
