// SPDX-License-Identifier: MIT
#include "output/fpf_file.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <streambuf>

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

uint32_t fpfRunColumns(uint8_t code) {
  switch (code >> 4) {
    case 0xE:
      return 128;
    case 0xD:
      return 64;
    case 0xC:
      return 32;
    case 0xB:
      return 16;
    case 0xA:
      return 10;
    default:
      return code >> 4;
  }
}

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
  size_t n = std::min<size_t>(h.notes.size(), kFpfNotesBytes);
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
  size_t n = std::min<size_t>(in[13], kFpfNotesBytes);
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

enum class RecordRead { Whole, CutShort, NoMore };

// One record's runs, the column values of a row of `width` pixels, then
// 0xFF. Throws FormatError saying what is damaged when the runs do not make
// the row exactly or a code no record holds (0xF0 to 0xFE) comes.
RecordRead decodeRecord(std::streambuf& in, uint32_t width, uint8_t* values) {
  uint64_t x = 0;
  bool started = false;
  for (auto c = in.sbumpc(); c != std::streambuf::traits_type::eof(); c = in.sbumpc()) {
    started = true;
    const auto code = static_cast<uint8_t>(c);
    if (code == 0xFF) {
      if (x == width) return RecordRead::Whole;
      throw FormatError("its runs make " + std::to_string(x) + " of the row's " +
                        std::to_string(width) + " pixels");
    }
    if (code >= 0xF0) {
      char text[8];
      std::snprintf(text, sizeof text, "0x%02X", code);
      throw FormatError(std::string("code ") + text + ", which no record holds");
    }
    const uint64_t count = fpfRunColumns(code);
    if (x + count > width) {
      throw FormatError("its runs make more than the row's " + std::to_string(width) + " pixels");
    }
    std::fill_n(values + x, count, static_cast<uint8_t>(code & 0x0F));
    x += count;
  }
  return started ? RecordRead::CutShort : RecordRead::NoMore;
}

// A whole file in memory, read as a stream.
struct MemoryBuffer : std::streambuf {
  explicit MemoryBuffer(const std::vector<uint8_t>& bytes) {
    char* begin = reinterpret_cast<char*>(const_cast<uint8_t*>(bytes.data()));
    setg(begin, begin, begin + bytes.size());
  }
};

// The file from its start: the header, the thumbnail and preview blocks,
// then (with `decodeImage`) the records, read as they come.
FpfContents readFpfFrom(std::streambuf& in, const std::string& name, bool decodeImage,
                        uint64_t maxPixels) {
  FpfContents c;
  std::vector<uint8_t> head(kFpfImageOffset);
  head.resize(static_cast<size_t>(std::max<std::streamsize>(
      in.sgetn(reinterpret_cast<char*>(head.data()), static_cast<std::streamsize>(head.size())),
      0)));
  try {
    c.header = decodeFpfHeader(head, &c.signature);
  } catch (const FormatError& e) {
    throw FormatError(name + ": " + e.what());
  }
  if (head.size() < kFpfImageOffset) {
    throw FormatError(name + ": the file ends inside the thumbnail or preview block");
  }
  c.thumbnail = blockImage(head, kFpfHeaderBytes, 200, 200, 25);
  uint32_t pw = std::min<uint32_t>(c.header.previewWidth, 800);
  uint32_t ph = std::min<uint32_t>(c.header.previewHeight, 800);
  c.preview = blockImage(head, kFpfHeaderBytes + kFpfThumbnailBytes, pw, ph, 100);
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
  for (uint64_t row = 0;; row += 4) {
    RecordRead read = RecordRead::NoMore;
    try {
      read = decodeRecord(in, w, values.data());
    } catch (const FormatError& e) {
      throw FormatError(name + ": damaged plotter file: record " + std::to_string(c.records + 1) +
                        " (rows " + std::to_string(row) + " to " + std::to_string(row + 3) +
                        "): " + e.what());
    }
    if (read != RecordRead::Whole) {
      c.complete = read == RecordRead::NoMore;
      return c;
    }
    ++c.records;
    // Records past the image's last row are counted, not drawn.
    for (uint64_t k = 0; k < 4 && row + k < c.header.height; ++k) {
      const auto y = static_cast<uint32_t>(row + k);
      for (uint32_t x = 0; x < w; ++x) c.image.setExposed(x, y, !((values[x] >> k) & 1));
    }
  }
}

}  // namespace

FpfContents readFpf(const std::filesystem::path& path, bool decodeImage, uint64_t maxPixels) {
  std::filebuf in;
  if (!in.open(path, std::ios::in | std::ios::binary)) {
    throw IoError(path.string() + ": cannot open the file");
  }
  return readFpfFrom(in, path.string(), decodeImage, maxPixels);
}

FpfContents decodeFpf(const std::vector<uint8_t>& bytes, const std::string& name, bool decodeImage,
                      uint64_t maxPixels) {
  MemoryBuffer in(bytes);
  return readFpfFrom(in, name, decodeImage, maxPixels);
}

}  // namespace drumplot
