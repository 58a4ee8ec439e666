// SPDX-License-Identifier: MIT
// Fuzz target: a board import of any bytes, as a zip file (input starting
// with "PK") or as files of a folder (the input cut at "\n---\n", each
// piece "name\n" then its bytes), and the layer map read from the same
// text. Nothing may land outside the unpack folder, a layer takes one
// file, every file left out says why, and nothing unpacked outlives the plan.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <string_view>

#include "engine/errors.h"
#include "job/board_import.h"

namespace fs = std::filesystem;

namespace {

void write(const fs::path& file, std::string_view bytes) {
  fs::create_directories(file.parent_path());
  std::ofstream(file, std::ios::binary)
      .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

void checkPlan(const drumplot::BoardImportPlan& plan, const fs::path& root) {
  std::set<int> layers;
  for (const drumplot::BoardFile& f : plan.files) {
    const std::string inside = fs::weakly_canonical(f.file).string();
    if (inside.rfind(fs::weakly_canonical(root).string(), 0) != 0) std::abort();
    if (f.layer == 0 && f.reason.empty()) std::abort();
    if (f.layer != 0 && (f.layer > drumplot::kLayerCount || !layers.insert(f.layer).second))
      std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  static const fs::path root =
      fs::temp_directory_path() / ("fuzz_board_import." + std::to_string(::getpid()));
  fs::remove_all(root);
  const fs::path folder = root / "board";
  fs::path source = folder;
  if (input.substr(0, 2) == "PK") {
    source = root / "board.zip";
    write(source, input);
  } else {
    size_t start = 0;
    for (int n = 0; start <= input.size() && n < 8; ++n) {
      size_t end = input.find("\n---\n", start);
      std::string_view piece =
          input.substr(start, end == std::string_view::npos ? end : end - start);
      const size_t line = piece.find('\n');
      std::string name(piece.substr(0, line));
      if (name.empty() || name.find_first_of("/\\") != std::string::npos || name == "." ||
          name == "..") {
        name = "f" + std::to_string(n);
      }
      write(folder / name, line == std::string_view::npos ? "" : piece.substr(line + 1));
      if (end == std::string_view::npos) break;
      start = end + 5;
    }
  }
  drumplot::LayerMap map = drumplot::LayerMap::defaults();
  try {
    map = drumplot::readLayerMap(drumplot::IniDocument::parse(input), "fuzz");
  } catch (const drumplot::FormatError&) {
  }
  try {
    checkPlan(drumplot::planBoardImport(source, drumplot::DataFormat{}, map, folder), root);
  } catch (const drumplot::IoError&) {
  } catch (const drumplot::FormatError&) {
  }
  // A zip's plan, dropped or refused, takes away all it unpacked.
  if (source != folder && fs::exists(folder)) std::abort();
  return 0;
}
