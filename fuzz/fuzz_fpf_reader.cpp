// SPDX-License-Identifier: MIT
// Fuzz target: the plotter-file reader. The input is a header and image
// records; the fixed thumbnail and preview blocks go between them, so that
// the fuzzer spends its bytes where the reader decides things. Any bytes
// must read as an image of the header's size, or be refused.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "engine/errors.h"
#include "output/fpf_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace drumplot;
  std::vector<uint8_t> bytes(data, data + size);
  if (size >= kFpfHeaderBytes) {
    bytes.insert(bytes.begin() + kFpfHeaderBytes, kFpfThumbnailBytes + kFpfPreviewBytes, 0x55);
  }
  constexpr uint64_t kMaxPixels = uint64_t{1} << 22;  // enough to reach every path, quickly
  try {
    FpfContents c = decodeFpf(bytes, "input", true, kMaxPixels);
    if (c.image.width != c.header.width || c.image.height != c.header.height) std::abort();
    if (c.preview.width > 800 || c.preview.height > 800) std::abort();
    if (c.thumbnail.width != 200 || c.thumbnail.height != 200) std::abort();
    if (uint64_t{c.header.width} * c.header.height > kMaxPixels) std::abort();
  } catch (const FormatError&) {
  }
  return 0;
}
