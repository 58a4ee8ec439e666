// SPDX-License-Identifier: MIT
#include "output/mono_image.h"

#include <png.h>

#include <bit>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "engine/errors.h"
#include "io/replacing_file.h"

namespace drumplot {

namespace {

// Images are refused beyond this many bytes of pixel data (8 GiB).
constexpr uint64_t kMaxImageBytes = uint64_t{8} << 30;

}  // namespace

MonoImage::MonoImage(uint32_t w, uint32_t h) : width(w), height(h) {
  uint64_t bytes = ((static_cast<uint64_t>(w) + 7) / 8) * h;
  if (bytes > kMaxImageBytes) {
    throw FormatError("image of " + std::to_string(w) + " x " + std::to_string(h) +
                      " pixels is too large to hold in memory");
  }
  bits.assign(static_cast<size_t>(bytes), 0xFF);
}

uint64_t MonoImage::exposedCount() const {
  uint64_t count = 0;
  size_t full = width / 8;
  unsigned rest = width % 8;
  for (uint32_t y = 0; y < height; ++y) {
    const uint8_t* r = row(y);
    for (size_t i = 0; i < full; ++i) count += 8 - static_cast<unsigned>(std::popcount(r[i]));
    if (rest) {
      unsigned lastBits = static_cast<unsigned>(r[full]) >> (8 - rest);
      count += rest - static_cast<unsigned>(std::popcount(lastBits));
    }
  }
  return count;
}

// MonoImage - Files
// ============================================================================

namespace {

// libpng's sink: the bytes go to the file that replaces the target when complete.
// No exception may cross libpng's C frames: a failed write becomes png_error,
// which returns to writePng's setjmp.
void writeToReplacingFile(png_structp png, png_bytep data, png_size_t length) {
  try {
    static_cast<ReplacingFile*>(png_get_io_ptr(png))->write({data, length});
  } catch (...) {
    png_error(png, "cannot write");
  }
}

void flushNothing(png_structp) {}

struct PngWriteState {
  png_structp png = nullptr;
  png_infop info = nullptr;
  ~PngWriteState() { png_destroy_write_struct(&png, &info); }
};

struct PngReadState {
  png_structp png = nullptr;
  png_infop info = nullptr;
  ~PngReadState() { png_destroy_read_struct(&png, &info, nullptr); }
};

struct FileCloser {
  void operator()(FILE* f) const { std::fclose(f); }
};

}  // namespace

void checkPngSize(const std::filesystem::path& path, uint32_t width, uint32_t height) {
  if (width <= kMaxPngSide && height <= kMaxPngSide) return;
  throw FormatError(path.string() + ": a picture of " + std::to_string(width) + " x " +
                    std::to_string(height) + " pixels is larger than a PNG file may be (" +
                    std::to_string(kMaxPngSide) +
                    " pixels a side); write it as a .pbm file, which holds any size");
}

void writePng(const std::filesystem::path& path, const MonoImage& image,
              const ImageMetadata& metadata) {
  checkPngSize(path, image.width, image.height);
  ReplacingFile out(path);
  PngWriteState state;
  state.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  if (state.png) state.info = png_create_info_struct(state.png);
  if (!state.png || !state.info) throw IoError(path.string() + ": cannot start the PNG writer");
  if (setjmp(png_jmpbuf(state.png))) throw IoError(path.string() + ": cannot write the PNG file");
  png_set_write_fn(state.png, &out, writeToReplacingFile, flushNothing);
  png_set_IHDR(state.png, state.info, image.width, image.height, 1, PNG_COLOR_TYPE_GRAY,
               PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  if (metadata.dpi > 0.0) {
    const auto perMetre = static_cast<png_uint_32>(std::lround(metadata.dpi / 0.0254));
    png_set_pHYs(state.png, state.info, perMetre, perMetre, PNG_RESOLUTION_METER);
  }
  png_text text{};
  if (!metadata.text.empty()) {
    text.compression = PNG_TEXT_COMPRESSION_NONE;
    text.key = const_cast<char*>(metadata.keyword.c_str());
    text.text = const_cast<char*>(metadata.text.c_str());
    png_set_text(state.png, state.info, &text, 1);
  }
  png_write_info(state.png, state.info);
  // A set bit is white in both: rows go out as they are.
  for (uint32_t y = 0; y < image.height; ++y) {
    png_write_row(state.png, const_cast<png_bytep>(image.row(y)));
  }
  png_write_end(state.png, nullptr);
  out.commit();
}

void writePbm(const std::filesystem::path& path, const MonoImage& image) {
  ReplacingFile out(path);
  std::string header =
      "P4\n" + std::to_string(image.width) + " " + std::to_string(image.height) + "\n";
  out.write({reinterpret_cast<const uint8_t*>(header.data()), header.size()});
  std::vector<uint8_t> row(image.stride());
  for (uint32_t y = 0; y < image.height; ++y) {
    const uint8_t* src = image.row(y);
    for (size_t i = 0; i < row.size(); ++i) row[i] = static_cast<uint8_t>(~src[i]);
    out.write(row);
  }
  out.commit();
}

void writeImage(const std::filesystem::path& path, const MonoImage& image,
                const ImageMetadata& metadata) {
  std::string ext = path.extension().string();
  for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (ext == ".png") return writePng(path, image, metadata);
  if (ext == ".pbm") return writePbm(path, image);
  throw FormatError(path.string() + ": unknown image type (use .png or .pbm)");
}

MonoImage readPng(const std::filesystem::path& path) {
  std::unique_ptr<FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
  if (!file) throw IoError(path.string() + ": cannot open the file");
  PngReadState state;
  state.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  if (state.png) state.info = png_create_info_struct(state.png);
  if (!state.png || !state.info) throw IoError(path.string() + ": cannot start the PNG reader");
  if (setjmp(png_jmpbuf(state.png))) throw FormatError(path.string() + ": not a readable PNG file");
  png_init_io(state.png, file.get());
  png_read_info(state.png, state.info);
  // Everything becomes 8-bit grey with alpha.
  png_set_expand(state.png);
  png_set_strip_16(state.png);
  png_set_gray_to_rgb(state.png);
  png_set_add_alpha(state.png, 0xFF, PNG_FILLER_AFTER);
  png_read_update_info(state.png, state.info);
  uint32_t w = png_get_image_width(state.png, state.info);
  uint32_t h = png_get_image_height(state.png, state.info);
  MonoImage image(w, h);
  std::vector<uint8_t> row(static_cast<size_t>(w) * 4);
  int passes = png_set_interlace_handling(state.png);
  std::vector<uint8_t> all;
  if (passes > 1) all.resize(row.size() * h);
  for (int pass = 0; pass < passes; ++pass) {
    for (uint32_t y = 0; y < h; ++y) {
      uint8_t* dst = passes > 1 ? all.data() + y * row.size() : row.data();
      png_read_row(state.png, dst, nullptr);
      if (passes > 1 && pass + 1 < passes) continue;
      for (uint32_t x = 0; x < w; ++x) {
        const uint8_t* p = dst + x * 4;
        unsigned luminance = (p[0] * 299u + p[1] * 587u + p[2] * 114u) / 1000u;
        image.setExposed(x, y, p[3] >= 128 && luminance < 128);
      }
    }
  }
  return image;
}

}  // namespace drumplot
