// SPDX-License-Identifier: MIT
// Fuzz target: the streamed plotter-file reader against the whole-image
// reader, on inputs as fuzz_fpf_reader takes them. The stream must refuse
// exactly the files whose records do not make the header's image, and give
// the whole reader's pixels, whole and through a reduced window.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "engine/errors.h"
#include "output/fpf_file.h"
#include "output/fpf_reader.h"

namespace {

using namespace drumplot;

// The stream's picture of `window` reduced by `reduce`, or false when the
// file is refused.
bool streamed(const std::filesystem::path& file, bool whole, MonoImage& out) {
  try {
    FpfReader reader(file);
    const FpfHeader& h = reader.header();
    const FilmWindow window = whole ? FilmWindow{0, 0, h.width, h.height}
                                    : FilmWindow{h.width / 3, h.height / 3, h.width, h.height};
    FpfPicture picture(reader, window, whole ? 1 : 5);
    out = MonoImage(picture.width(), picture.height());
    for (uint32_t y = 0; y < out.height; y += 3)
      picture.readRows(out.row(y), std::min(3u, out.height - y));
    return true;
  } catch (const FormatError&) {
    return false;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<uint8_t> bytes(data, data + size);
  if (size >= kFpfHeaderBytes) {
    bytes.insert(bytes.begin() + kFpfHeaderBytes, kFpfThumbnailBytes + kFpfPreviewBytes, 0x55);
  }
  constexpr uint64_t kMaxPixels = uint64_t{1} << 22;
  bool readWhole = false;
  FpfContents c;
  try {
    c = decodeFpf(bytes, "input", true, kMaxPixels);
    readWhole = c.complete && c.records == (uint64_t{c.header.height} + 3) / 4 &&
                c.header.width > 0 && c.header.height > 0;
  } catch (const FormatError&) {
    try {
      const FpfHeader h = decodeFpfHeader(bytes);
      if (uint64_t{h.width} * h.height > kMaxPixels) return 0;  // too large to compare
    } catch (const FormatError&) {
    }
  }
  const std::filesystem::path file =
      std::filesystem::temp_directory_path() / ("fuzz_fpf_stream." + std::to_string(getpid()));
  std::ofstream(file, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
  MonoImage image;
  for (bool whole : {true, false}) {
    if (streamed(file, whole, image) != readWhole) std::abort();
    if (!readWhole) continue;
    // The window from a third of the way on, reduced by 5 in the whole image
    // (a group of rows inside a block is read as one row).
    const uint32_t x0 = whole ? 0 : c.image.width / 3, y0 = whole ? 0 : c.image.height / 3;
    const uint32_t n = whole ? 1 : 5;
    MonoImage expected(image.width, image.height);
    for (uint32_t y = y0; y < c.image.height; ++y) {
      for (uint32_t x = x0; x < c.image.width; ++x) {
        if (c.image.exposed(x, y)) expected.setExposed((x - x0) / n, (y - y0) / n, true);
      }
    }
    if (image.bits != expected.bits) std::abort();
  }
  std::filesystem::remove(file);
  return 0;
}
