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
// which returns to the PNG writer's setjmp.
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

namespace {

class PngWriter final : public PictureWriter {
 public:
  PngWriter(const std::filesystem::path& path, uint32_t width, uint32_t height,
            const ImageMetadata& metadata, bool rgb = false)
      : path_(path), out_(path) {
    state_.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (state_.png) state_.info = png_create_info_struct(state_.png);
    if (!state_.png || !state_.info) throw IoError(path.string() + ": cannot start the PNG writer");
    if (setjmp(png_jmpbuf(state_.png))) fail();
    png_set_write_fn(state_.png, &out_, writeToReplacingFile, flushNothing);
    png_set_IHDR(state_.png, state_.info, width, height, rgb ? 8 : 1,
                 rgb ? PNG_COLOR_TYPE_RGB : PNG_COLOR_TYPE_GRAY, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (metadata.dpi > 0.0) {
      const auto perMetre = static_cast<png_uint_32>(std::lround(metadata.dpi / 0.0254));
      png_set_pHYs(state_.png, state_.info, perMetre, perMetre, PNG_RESOLUTION_METER);
    }
    png_text text{};
    if (!metadata.text.empty()) {
      text.compression = PNG_TEXT_COMPRESSION_NONE;
      text.key = const_cast<char*>(metadata.keyword.c_str());
      text.text = const_cast<char*>(metadata.text.c_str());
      png_set_text(state_.png, state_.info, &text, 1);
    }
    png_write_info(state_.png, state_.info);
    rowBytes_ = rgb ? 3 * size_t{width} : (size_t{width} + 7) / 8;
  }

  // A set bit is white in both (and RGB rows are the PNG's): rows go out as they are.
  void writeRows(const uint8_t* rows, uint32_t count) override {
    if (setjmp(png_jmpbuf(state_.png))) fail();
    for (uint32_t y = 0; y < count; ++y)
      png_write_row(state_.png, const_cast<png_bytep>(rows + y * rowBytes_));
  }

  void commit() override {
    if (setjmp(png_jmpbuf(state_.png))) fail();
    png_write_end(state_.png, nullptr);
    out_.commit();
  }

 private:
  [[noreturn]] void fail() const { throw IoError(path_.string() + ": cannot write the PNG file"); }

  std::filesystem::path path_;
  ReplacingFile out_;
  PngWriteState state_;  // after out_: destroyed before the file it writes
  size_t rowBytes_ = 0;
};

// Binary PBM (P4): a set bit is black, so every byte is turned over.
class PbmWriter final : public PictureWriter {
 public:
  PbmWriter(const std::filesystem::path& path, uint32_t width, uint32_t height)
      : out_(path), row_((size_t{width} + 7) / 8) {
    const std::string header = "P4\n" + std::to_string(width) + " " + std::to_string(height) + "\n";
    out_.write({reinterpret_cast<const uint8_t*>(header.data()), header.size()});
  }

  void writeRows(const uint8_t* rows, uint32_t count) override {
    for (uint32_t y = 0; y < count; ++y) {
      const uint8_t* src = rows + y * row_.size();
      for (size_t i = 0; i < row_.size(); ++i) row_[i] = static_cast<uint8_t>(~src[i]);
      out_.write(row_);
    }
  }

  void commit() override { out_.commit(); }

 private:
  ReplacingFile out_;
  std::vector<uint8_t> row_;
};

}  // namespace

std::unique_ptr<PictureWriter> openPngWriter(const std::filesystem::path& path, uint32_t width,
                                             uint32_t height, const ImageMetadata& metadata) {
  checkPngSize(path, width, height);
  return std::make_unique<PngWriter>(path, width, height, metadata);
}

std::unique_ptr<PictureWriter> openRgbPngWriter(const std::filesystem::path& path, uint32_t width,
                                                uint32_t height) {
  checkPngSize(path, width, height);
  return std::make_unique<PngWriter>(path, width, height, ImageMetadata{}, true);
}

std::unique_ptr<PictureWriter> openPbmWriter(const std::filesystem::path& path, uint32_t width,
                                             uint32_t height) {
  return std::make_unique<PbmWriter>(path, width, height);
}

void writePng(const std::filesystem::path& path, const MonoImage& image,
              const ImageMetadata& metadata) {
  auto out = openPngWriter(path, image.width, image.height, metadata);
  out->writeRows(image.bits.data(), image.height);
  out->commit();
}

void writePbm(const std::filesystem::path& path, const MonoImage& image) {
  auto out = openPbmWriter(path, image.width, image.height);
  out->writeRows(image.bits.data(), image.height);
  out->commit();
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
