// SPDX-License-Identifier: MIT
// Helpers shared by the test programs.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace drumplot::test {

// The shared corpus of real-world files, or an empty path when it is absent.
std::filesystem::path corpusDir();

// One row of the corpus manifest.
struct CorpusEntry {
  std::string localPath;  // below corpusDir()
  std::string kind;       // gerber-274x, gerber-274d, drill, aperture-list, ...
  std::string features;
  std::string goldenPng;
  double goldenDpi = 0.0;
  double originX = 0.0, originY = 0.0;
  long goldenW = 0, goldenH = 0, goldenExposed = 0;
};

std::vector<CorpusEntry> corpusEntries();

// A fresh temporary folder for one test, removed at exit of the test program.
std::filesystem::path tempDir();

std::string readFile(const std::filesystem::path& path);
void writeFile(const std::filesystem::path& path, const std::string& bytes);

}  // namespace drumplot::test
