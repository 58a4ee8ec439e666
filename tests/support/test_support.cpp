// SPDX-License-Identifier: MIT
#include "support/test_support.h"

#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace drumplot::test {

std::filesystem::path corpusDir() {
  if (const char* env = std::getenv("DRUMPLOT_CORPUS")) return env;
  std::filesystem::path dir =
      std::filesystem::path(DRUMPLOT_SOURCE_DIR) / ".." / "shared" / "corpus";
  if (std::filesystem::exists(dir / "MANIFEST.tsv")) return std::filesystem::canonical(dir);
  return {};
}

std::vector<CorpusEntry> corpusEntries() {
  std::vector<CorpusEntry> entries;
  std::filesystem::path dir = corpusDir();
  if (dir.empty()) return entries;
  std::ifstream in(dir / "MANIFEST.tsv");
  std::string line;
  std::getline(in, line);  // column names
  while (std::getline(in, line)) {
    std::vector<std::string> cols;
    std::stringstream ss(line);
    std::string col;
    while (std::getline(ss, col, '\t')) cols.push_back(col);
    cols.resize(15);
    CorpusEntry e;
    e.localPath = cols[3];
    e.kind = cols[5];
    e.features = cols[6];
    e.goldenPng = cols[8];
    auto num = [](const std::string& s) { return s.empty() ? 0.0 : std::atof(s.c_str()); };
    e.goldenDpi = num(cols[9]);
    e.originX = num(cols[10]);
    e.originY = num(cols[11]);
    e.goldenW = static_cast<long>(num(cols[12]));
    e.goldenH = static_cast<long>(num(cols[13]));
    e.goldenExposed = static_cast<long>(num(cols[14]));
    entries.push_back(e);
  }
  return entries;
}

namespace {
struct TempRoot {
  std::filesystem::path path;
  TempRoot() {
    path = std::filesystem::temp_directory_path() / ("drumplot-test-" + std::to_string(::getpid()));
    // A folder of this name was left by a test process that died without
    // tidying up and whose process id came round again: start afresh, or a
    // test expecting an empty folder finds the dead one's files.
    std::filesystem::remove_all(path);
    std::filesystem::create_directories(path);
  }
  ~TempRoot() {
    std::error_code ec;
    std::filesystem::remove_all(path, ec);
  }
};
}  // namespace

std::filesystem::path tempDir() {
  static TempRoot root;
  static int counter = 0;
  std::filesystem::path dir = root.path / std::to_string(++counter);
  std::filesystem::create_directories(dir);
  return dir;
}

std::string readFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

void writeFile(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary);
  out << bytes;
}

}  // namespace drumplot::test
