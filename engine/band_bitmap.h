// SPDX-License-Identifier: MIT
// The drawing surfaces: the 1-bit band of the plotter image and the RGB surface of the preview.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

namespace drumplot {

// A colour as 0xRRGGBB. On 1-bit surfaces white is background and every
// other colour is exposure.
using Rgb = uint32_t;
inline constexpr Rgb kWhite = 0xFFFFFF;
inline constexpr Rgb kBlack = 0x000000;

// One band of a 1-bit image: `rows` rows of `width_px` pixels. Row 0 is the
// top; each row is a whole number of 32-bit words (W / 8 bytes when W is a
// multiple of 32, as plotter images are), the most significant bit of each
// byte is the leftmost pixel, a set bit is background and a clear bit is
// exposure. A fresh band is all background (every byte 0xFF).
//
//   byte 0 of a row:  bit 7 6 5 4 3 2 1 0
//                     px  0 1 2 3 4 5 6 7
//
// Each block of four rows (a group of the plotter file) keeps the words that
// drawing may have changed in it, [first, end): every word outside them is
// background, so that clearing a band for reuse and coding its rows need
// touch only those. The canvas marks what it draws; whoever writes through
// rowWords() otherwise marks the words it wrote.
class BandBitmap {
 public:
  BandBitmap() = default;
  // Throws FormatError when the size cannot be held in memory arithmetic.
  // `topRow` is the image row of the band's row 0 (its drawing origin).
  BandBitmap(int64_t width_px, int64_t rows, int64_t topRow = 0);

  int64_t width_px() const { return width_; }
  int64_t rows() const { return rows_; }
  int64_t topRow() const { return topRow_; }
  size_t wordsPerRow() const { return wordsPerRow_; }
  size_t bytesPerRow() const { return wordsPerRow_ * 4; }

  uint32_t* rowWords(int64_t row) { return words_.get() + static_cast<size_t>(row) * wordsPerRow_; }
  const uint32_t* rowWords(int64_t row) const {
    return words_.get() + static_cast<size_t>(row) * wordsPerRow_;
  }
  const uint8_t* rowBytes(int64_t row) const {
    return reinterpret_cast<const uint8_t*>(rowWords(row));
  }
  // Every row, top first, as the plotter file and the BMP writer read them.
  std::span<const uint8_t> bytes() const {
    return {reinterpret_cast<const uint8_t*>(words_.get()),
            wordsPerRow_ * static_cast<size_t>(rows_) * 4};
  }

  // Pixel (x, row) in band coordinates, which must lie inside the band.
  bool isBackground(int64_t x, int64_t row) const {
    return (rowBytes(row)[x >> 3] >> (7 - (x & 7))) & 1u;
  }
  void fill(Rgb colour);

  // The words of a row (and of the other rows of its block) that may hold
  // exposure; first >= end when none may.
  struct DrawnWords {
    uint32_t first, end;
  };
  static constexpr int64_t kDrawnBlockRows = 4;
  DrawnWords drawnWords(int64_t row) const {
    return drawn_[static_cast<size_t>(row / kDrawnBlockRows)];
  }
  // Words first <= w < end of rows y0 <= y < y1 may have been written.
  void markDrawn(int64_t y0, int64_t y1, size_t first, size_t end) {
    for (int64_t b = y0 / kDrawnBlockRows; b <= (y1 - 1) / kDrawnBlockRows; ++b) {
      DrawnWords& d = drawn_[static_cast<size_t>(b)];
      d.first = std::min(d.first, static_cast<uint32_t>(first));
      d.end = std::max(d.end, static_cast<uint32_t>(end));
    }
  }
  // Every word of every row may have been written (the band turned over, or
  // written whole).
  void markAllDrawn();
  // For a caller that has made every word outside `words` background in
  // every row: the drawn words shrink to those.
  void keepDrawnWithin(DrawnWords words);

 private:
  size_t drawnBlocks() const {
    return static_cast<size_t>((rows_ + kDrawnBlockRows - 1) / kDrawnBlockRows);
  }

  int64_t width_ = 0;
  int64_t rows_ = 0;
  int64_t topRow_ = 0;
  size_t wordsPerRow_ = 0;
  std::unique_ptr<uint32_t[]> words_;
  std::unique_ptr<DrawnWords[]> drawn_;  // by block of rows
};

// An RGB surface for the coloured preview: one 0xRRGGBB word per pixel,
// row 0 on top; fresh surfaces are white.
class RgbSurface {
 public:
  RgbSurface() = default;
  // Throws FormatError when the size cannot be held in memory arithmetic.
  RgbSurface(int64_t width_px, int64_t rows, int64_t topRow = 0);

  int64_t width_px() const { return width_; }
  int64_t rows() const { return rows_; }
  int64_t topRow() const { return topRow_; }

  Rgb* row(int64_t y) {
    return pixels_.get() + static_cast<size_t>(y) * static_cast<size_t>(width_);
  }
  const Rgb* row(int64_t y) const {
    return pixels_.get() + static_cast<size_t>(y) * static_cast<size_t>(width_);
  }
  Rgb pixel(int64_t x, int64_t y) const { return row(y)[x]; }
  void fill(Rgb colour);

 private:
  int64_t width_ = 0;
  int64_t rows_ = 0;
  int64_t topRow_ = 0;
  std::unique_ptr<Rgb[]> pixels_;
};

}  // namespace drumplot
