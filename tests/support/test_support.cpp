// SPDX-License-Identifier: MIT
#include "support/test_support.h"

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

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
    cols.resize(12);
    auto num = [](const std::string& s) { return s.empty() ? 0.0 : std::atof(s.c_str()); };
    entries.push_back({cols[3], cols[5], cols[8], num(cols[9]), num(cols[10]), num(cols[11])});
  }
  return entries;
}

uint64_t childPeakBytes(const std::function<bool()>& action) {
  const pid_t child = ::fork();
  if (child < 0) throw std::runtime_error("fork failed");
  if (child == 0) {
    bool done = false;
    try {
      done = action();
    } catch (...) {
    }
    ::_exit(done ? 0 : 1);
  }
  int status = 0;
  rusage usage{};
  if (::wait4(child, &status, 0, &usage) != child || !WIFEXITED(status) ||
      WEXITSTATUS(status) != 0) {
    throw std::runtime_error("the child process failed");
  }
  return static_cast<uint64_t>(usage.ru_maxrss) * 1024;  // kilobytes on Linux
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
