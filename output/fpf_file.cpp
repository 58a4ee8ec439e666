// SPDX-License-Identifier: MIT
#include "output/fpf_file.h"

#include <fstream>
#include <iterator>

#include "engine/errors.h"

namespace drumplot {

// FpfFile - Header
// ============================================================================

namespace {

void putBE16(std::vector<uint8_t>& out, size_t at, uint32_t v) {
  out[at] = static_cast<uint8_t>(v >> 8);
  out[at + 1] = static_cast<uint8_t>(v);
}

void putBE24(std::vector<uint8_t>& out, size_t at, uint32_t v) {
  out[at] = static_cast<uint8_t>(v >> 16);
  out[at + 1] = static_cast<uint8_t>(v >> 8);
  out[at + 2] = static_cast<uint8_t>(v);
}

uint32_t getBE16(const std::vector<uint8_t>& in, size_t at) {
  return (uint32_t{in[at]} << 8) | in[at + 1];
}

uint32_t getBE24(const std::vector<uint8_t>& in, size_t at) {
  return (uint32_t{in[at]} << 16) | (uint32_t{in[at + 1]} << 8) | in[at + 2];
}

}  // namespace

std::vector<uint8_t> encodeFpfHeader(const FpfHeader& h) {
  std::vector<uint8_t> out(kFpfHeaderBytes, 0);
  const char* signature = h.large() ? "QK2" : "QKS";
  out[0] = static_cast<uint8_t>(signature[0]);
  out[1] = static_cast<uint8_t>(signature[1]);
  out[2] = static_cast<uint8_t>(signature[2]);
  // The 16-bit block gives rows before row length, the 24-bit one the reverse.
  if (!h.large()) {
    putBE16(out, 3, h.height);
    putBE16(out, 5, h.width);
  }
  putBE16(out, 7, h.dpi);
  putBE16(out, 9, h.previewHeight);
  putBE16(out, 11, h.previewWidth);
  size_t n = std::min<size_t>(h.notes.size(), 50);
  out[13] = static_cast<uint8_t>(n);
  for (size_t i = 0; i < n; ++i) out[14 + i] = static_cast<uint8_t>(h.notes[i]);
  if (h.large()) {
    putBE24(out, 64, h.width);
    putBE24(out, 67, h.height);
  }
  return out;
}

FpfHeader decodeFpfHeader(const std::vector<uint8_t>& in, std::string* signature) {
  if (in.size() < kFpfHeaderBytes) throw FormatError("shorter than the plotter file header");
  std::string sig(in.begin(), in.begin() + 3);
  if (sig != "QKS" && sig != "QK2")
    throw FormatError("not a plotter file (signature '" + sig + "')");
  if (signature) *signature = sig;
  FpfHeader h;
  if (sig == "QKS") {
    h.height = getBE16(in, 3);
    h.width = getBE16(in, 5);
  } else {
    h.width = getBE24(in, 64);
    h.height = getBE24(in, 67);
  }
  h.dpi = getBE16(in, 7);
  h.previewHeight = getBE16(in, 9);
  h.previewWidth = getBE16(in, 11);
  size_t n = std::min<size_t>(in[13], 50);
  h.notes.assign(in.begin() + 14, in.begin() + 14 + static_cast<std::ptrdiff_t>(n));
  return h;
}

// FpfFile - Reader
// ============================================================================

namespace {

MonoImage blockImage(const std::vector<uint8_t>& in, size_t offset, uint32_t w, uint32_t h,
                     size_t stride) {
  MonoImage image(w, h);
  for (uint32_t y = 0; y < h; ++y) {
    const uint8_t* src = in.data() + offset + y * stride;
    std::copy(src, src + image.stride(), image.row(y));
  }
  return image;
}

// One record's runs: column values for `width` columns, then 0xFF.
// Returns the number of bytes used, or 0 when the data ends first.
size_t decodeRecord(const uint8_t* p, size_t available, uint32_t width, uint8_t* values) {
  size_t used = 0;
  uint64_t x = 0;
  while (used < available) {
    uint8_t b = p[used++];
    if (b == 0xFF) return used;
    uint8_t v = b & 0x0F;
    uint64_t count = 0;
    switch (b >> 4) {
      case 0xE:
        count = 128;
        break;
      case 0xD:
        count = 64;
        break;
      case 0xC:
        count = 32;
        break;
      case 0xB:
        count = 16;
        break;
      case 0xA:
        count = 10;
        break;
      case 0xF:
        count = 0;
        break;  // 0xF0..0xFE do not occur
      default:
        count = b >> 4;
        break;
    }
    for (uint64_t k = 0; k < count && x < width; ++k) values[x++] = v;
  }
  return 0;
}

}  // namespace

FpfContents readFpf(const std::filesystem::path& path, bool decodeImage, uint64_t maxPixels) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw IoError(path.string() + ": cannot open the file");
  std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                             std::istreambuf_iterator<char>());
  return decodeFpf(bytes, path.string(), decodeImage, maxPixels);
}

FpfContents decodeFpf(const std::vector<uint8_t>& bytes, const std::string& name, bool decodeImage,
                      uint64_t maxPixels) {
  FpfContents c;
  try {
    c.header = decodeFpfHeader(bytes, &c.signature);
  } catch (const FormatError& e) {
    throw FormatError(name + ": " + e.what());
  }
  if (bytes.size() < kFpfImageOffset) {
    throw FormatError(name + ": the file ends inside the thumbnail or preview block");
  }
  c.thumbnail = blockImage(bytes, kFpfHeaderBytes, 200, 200, 25);
  uint32_t pw = std::min<uint32_t>(c.header.previewWidth, 800);
  uint32_t ph = std::min<uint32_t>(c.header.previewHeight, 800);
  c.preview = blockImage(bytes, kFpfHeaderBytes + kFpfThumbnailBytes, pw, ph, 100);
  if (!decodeImage) return c;

  const uint32_t w = c.header.width;
  const uint64_t pixels = uint64_t{w} * c.header.height;
  if (pixels > maxPixels) {
    throw FormatError(name + ": the image is " + std::to_string(w) + " x " +
                      std::to_string(c.header.height) + " pixels, more than " +
                      std::to_string(maxPixels) +
                      " to decode whole (its header and preview still read)");
  }
  c.image = MonoImage(w, c.header.height);
  std::vector<uint8_t> values(w);
  size_t pos = kFpfImageOffset;
  uint32_t row = 0;
  while (pos < bytes.size()) {
    // Records past the image's last row are counted, not drawn.
    const bool drawn = row < c.header.height;
    if (drawn) std::fill(values.begin(), values.end(), 0x0F);
    size_t used =
        decodeRecord(bytes.data() + pos, bytes.size() - pos, drawn ? w : 0, values.data());
    if (used == 0) {
      c.complete = false;
      break;
    }
    pos += used;
    ++c.records;
    for (uint32_t k = 0; drawn && k < 4 && row + k < c.header.height; ++k) {
      for (uint32_t x = 0; x < w; ++x) c.image.setExposed(x, row + k, !((values[x] >> k) & 1));
    }
    if (drawn) row += 4;
  }
  return c;
}

}  // namespace drumplot
