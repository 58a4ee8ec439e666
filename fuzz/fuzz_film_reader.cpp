// SPDX-License-Identifier: MIT
// Fuzz target: any film file (a plotter file, a TIFF film, a BMP) opened by
// its first bytes and read through, in order and then back from its middle.
// A damaged file must be refused with FormatError or IoError, never read past
// or allocated after what its header claims.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "engine/errors.h"
#include "io/io_error.h"
#include "output/film_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace drumplot;
  const std::filesystem::path file =
      std::filesystem::temp_directory_path() / ("fuzz-film-" + std::to_string(::getpid()));
  {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }
  try {
    std::unique_ptr<FilmReader> film = openFilm(file);
    const FilmFacts& f = film->facts();
    // Rows of a few MB at most are read: a header may claim any size.
    constexpr uint64_t kMaxBytes = uint64_t{1} << 22;
    const uint32_t rows = static_cast<uint32_t>(
        std::min<uint64_t>(f.height, f.rowBytes() == 0 ? 0 : kMaxBytes / f.rowBytes()));
    if (rows > 0) {
      std::vector<uint8_t> bits(size_t{rows} * f.rowBytes());
      for (uint32_t y = 0; y < rows; y += 3) {
        film->readRows(y, std::min(3u, rows - y), bits.data() + size_t{y} * f.rowBytes());
      }
      if (rows > 2) film->readRows(rows / 2, 1, bits.data());
    }
  } catch (const FormatError&) {
  } catch (const IoError&) {
  }
  std::error_code ignored;
  std::filesystem::remove(file, ignored);
  return 0;
}
