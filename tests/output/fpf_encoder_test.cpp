// SPDX-License-Identifier: MIT
// Group records of the plotter file, its header, and the line-width adjustment.
#include "output/fpf_encoder.h"

#include <gtest/gtest.h>

#include <random>

#include "engine/errors.h"
#include "output/fpf_file.h"
#include "output/group_coder.h"
#include "row_group_support.h"
#include "support/test_support.h"

namespace drumplot {
namespace {

using test::Bytes;
using test::Group;

TEST(FpfEncoderTest, RunsTakeTheLargestStepFirst) {
  Group background(1024, [](uint32_t) { return uint8_t{15}; });
  // 25 columns of 3, 10 of 0, 9 of 5, then 20 of 15 (a 64-pixel row).
  Group mixed(64, [](uint32_t x) { return uint8_t(x < 25 ? 3 : x < 35 ? 0 : x < 44 ? 5 : 15); });
  using Coder = void (*)(const RowGroup&, Bytes&);
  for (Coder coder : {encodeGroupPerPixel, encodeGroupWords, encodeGroupWide}) {
    EXPECT_EQ(background.encode(coder),
              (Bytes{0xEF, 0xEF, 0xEF, 0xEF, 0xEF, 0xEF, 0xEF, 0xEF, 0xFF}));
    EXPECT_EQ(mixed.encode(coder), (Bytes{0xB3, 0x93, 0xA0, 0x95, 0xB0 + 15, 0x40 + 15, 0xFF}));
  }
  Bytes run;
  appendRun(7, 200, run);  // 128 + 64 + 8
  EXPECT_EQ(run, (Bytes{0xE7, 0xD7, 0x87}));

  // Every length: each step is the largest that fits what is left.
  auto stepLength = [](uint8_t byte) -> uint64_t {
    const uint64_t n = byte >> 4;
    return n == 0xE ? 128 : n == 0xD ? 64 : n == 0xC ? 32 : n == 0xB ? 16 : n == 0xA ? 10 : n;
  };
  for (uint64_t count = 0; count < 700; ++count) {
    run.clear();
    appendRun(9, count, run);
    uint64_t left = count;
    for (uint8_t byte : run) {
      ASSERT_EQ(byte & 15, 9) << count;
      uint64_t largest = left;
      for (uint64_t step : {10, 16, 32, 64, 128}) largest = left >= step ? step : largest;
      ASSERT_EQ(stepLength(byte), largest) << "run of " << count;
      left -= largest;
    }
    ASSERT_EQ(left, 0u) << "run of " << count;
  }
}

TEST(FpfEncoderTest, WordCoderEqualsPerPixelCoder) {
  std::mt19937 rng(12345);
  for (int trial = 0; trial < 200; ++trial) {
    auto width = static_cast<uint32_t>(32 * (1 + rng() % 40));
    // Mostly long runs (as real images), with noise.
    uint8_t v = 15;
    Group g(width, [&](uint32_t) {
      if (rng() % 23 == 0) v = static_cast<uint8_t>(rng() % 16);
      return v;
    });
    Bytes slow = g.encode(encodeGroupPerPixel);
    ASSERT_EQ(g.encode(encodeGroupWords), slow) << "trial " << trial;
    EXPECT_LE(slow.size(), width + 1u);  // never longer than a byte a column
    EXPECT_EQ(slow.back(), 0xFF);
  }
}

// The large header (QK2) is checked byte by byte in plotter_export_test.
TEST(FpfHeaderTest, SmallImageEncodesAndDecodes) {
  FpfHeader h{20320, 16256, 2032, 800, 640, std::string(60, 'n')};
  Bytes b = encodeFpfHeader(h);
  ASSERT_EQ(b.size(), 77u);
  EXPECT_EQ(std::string(b.begin(), b.begin() + 3), "QKS");
  EXPECT_EQ(b[3], 16256 >> 8);  // rows first
  EXPECT_EQ(b[4], 16256 & 0xFF);
  EXPECT_EQ(b[5], 20320 >> 8);
  EXPECT_EQ(b[13], 50);  // notes cut to 50
  EXPECT_EQ(b[64], 0);
  FpfHeader back = decodeFpfHeader(b);
  EXPECT_EQ(back.width, 20320u);
  EXPECT_EQ(back.height, 16256u);
  EXPECT_EQ(back.notes, std::string(50, 'n'));
}

// The header's sizes are the file's word: a forged one must not make the
// reader ask for terabytes, nor records past the last row draw outside it.
TEST(FpfHeaderTest, ImageSizeIsCheckedBeforeDecoding) {
  Bytes file = encodeFpfHeader({16000000, 16000000, 8128, 0, 0, ""});
  file.resize(kFpfImageOffset, 0);
  // Three records of 2 columns, value 0xE: each exposes its first row only.
  for (int k = 0; k < 3; ++k) file.insert(file.end(), {0x1E, 0x1E, 0xFF});
  test::expectError<FormatError>([&] { decodeFpf(file, "big.fpf"); },
                                 "big.fpf: the image is 16000000 x 16000000 pixels");
  std::copy_n(encodeFpfHeader({2, 5, 8128, 0, 0, ""}).begin(), kFpfHeaderBytes, file.begin());
  FpfContents c = decodeFpf(file, "small.fpf");
  EXPECT_EQ(c.records, 3u);
  EXPECT_TRUE(c.complete);
  ASSERT_EQ(c.image.height, 5u);
  EXPECT_EQ(c.image.exposedCount(), 4u);  // rows 0 and 4; the third record lies below
  EXPECT_TRUE(c.image.exposed(0, 0) && c.image.exposed(1, 4));
}

std::string pixels(const Bytes& row, uint32_t width) {
  std::string s;
  for (uint32_t x = 0; x < width; ++x) s += ((row[x >> 3] >> (7 - (x & 7))) & 1) ? '.' : '#';
  return s;
}

Bytes rowOf(const std::string& s) {
  Bytes row(s.size() / 8, 0xFF);
  for (size_t x = 0; x < s.size(); ++x)
    if (s[x] == '#') row[x >> 3] &= static_cast<uint8_t>(~(0x80u >> (x & 7)));
  return row;
}

TEST(HorizontalLineTest, RunsGrowOrShrinkAtTheirRightEnd) {
  const std::string row = ".###....#.....##........#######.";
  Bytes r = rowOf(row);
  adjustHorizontalLines(r.data(), 32, 0);
  EXPECT_EQ(pixels(r, 32), row);
  adjustHorizontalLines(r.data(), 32, 2);
  EXPECT_EQ(pixels(r, 32), ".#####..###...####......########");  // merged runs stay within the row
  r = rowOf(row);
  adjustHorizontalLines(r.data(), 32, -3);
  EXPECT_EQ(pixels(r, 32), ".#......#.....#.........####....");  // at least the first pixel
  // Pixel 0 never starts a run.
  r = rowOf("##..............................");
  adjustHorizontalLines(r.data(), 32, 1);
  EXPECT_EQ(pixels(r, 32), ".##.............................");
}

}  // namespace
}  // namespace drumplot
