// SPDX-License-Identifier: MIT
// Group records of the plotter file, its header, and the line-width adjustment.
#include "output/fpf_encoder.h"

#include <gtest/gtest.h>

#include <random>

#include "output/fpf_file.h"
#include "row_group_support.h"

namespace drumplot {
namespace {

using test::Bytes;
using test::Group;

Bytes encode(const Group& g, bool words) {
  return g.encode(words ? encodeGroupWords : encodeGroupPerPixel);
}

TEST(FpfEncoderTest, RunsTakeTheLargestStepFirst) {
  Group background(1024, [](uint32_t) { return uint8_t{15}; });
  for (bool words : {false, true}) {
    EXPECT_EQ(encode(background, words),
              (Bytes{0xEF, 0xEF, 0xEF, 0xEF, 0xEF, 0xEF, 0xEF, 0xEF, 0xFF}));
  }
  // 25 columns of 3, 10 of 0, 9 of 5, then 20 of 15 (a 64-pixel row).
  Group mixed(64, [](uint32_t x) { return uint8_t(x < 25 ? 3 : x < 35 ? 0 : x < 44 ? 5 : 15); });
  Bytes want{0xB3, 0x93, 0xA0, 0x95, 0xB0 + 15, 0x40 + 15, 0xFF};
  EXPECT_EQ(encode(mixed, false), want);
  EXPECT_EQ(encode(mixed, true), want);
  Bytes run;
  appendRun(7, 200, run);  // 128 + 64 + 8
  EXPECT_EQ(run, (Bytes{0xE7, 0xD7, 0x87}));

  // Every length: each step is the largest that fits what is left.
  auto stepLength = [](uint8_t byte) -> uint64_t {
    switch (byte >> 4) {
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
        return byte >> 4;
    }
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
    Bytes slow = encode(g, false);
    ASSERT_EQ(encode(g, true), slow) << "trial " << trial;
    EXPECT_LE(slow.size(), width + 1u);  // never longer than a byte a column
    EXPECT_EQ(slow.back(), 0xFF);
  }
}

TEST(FpfHeaderTest, SmallAndLargeImages) {
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

  FpfHeader large{130048, 640, 65024, 800, 8, ""};
  Bytes l = encodeFpfHeader(large);
  EXPECT_EQ(std::string(l.begin(), l.begin() + 3), "QK2");
  EXPECT_EQ(l[3], 0);
  EXPECT_EQ((uint32_t{l[64]} << 16) | (uint32_t{l[65]} << 8) | l[66], 130048u);  // row length first
  EXPECT_EQ((uint32_t{l[67]} << 16) | (uint32_t{l[68]} << 8) | l[69], 640u);
  EXPECT_EQ(decodeFpfHeader(l).width, 130048u);
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
