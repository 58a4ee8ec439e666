// SPDX-License-Identifier: MIT
// Group records of the plotter file, from every coder, and the line-width
// adjustment.
#include "output/fpf_encoder.h"

#include <gtest/gtest.h>

#include <random>

#include "engine/errors.h"
#include "output/fpf_file.h"
#include "output/group_coder.h"
#include "support/test_support.h"

namespace drumplot {
namespace {

using Bytes = std::vector<uint8_t>;

// Four rows of `width` pixels from each column's value v (bit k: row k background).
struct Group {
  uint32_t width;
  std::vector<Bytes> rows;
  template <typename F>
  Group(uint32_t w, F column) : width(w), rows(4, Bytes((w + 7) / 8, 0)) {
    for (uint32_t x = 0; x < w; ++x) {
      const uint8_t v = column(x);
      for (int k = 0; k < 4; ++k) {
        if ((v >> k) & 1) rows[k][x >> 3] |= static_cast<uint8_t>(0x80u >> (x & 7));
      }
    }
  }
  // With the bytes [firstByte, endByte) that may hold exposure.
  Bytes encode(void (*coder)(const RowGroup&, Bytes&), uint32_t firstByte = 0,
               uint32_t endByte = UINT32_MAX) const {
    Bytes out;
    coder({{rows[0].data(), rows[1].data(), rows[2].data(), rows[3].data()},
           width,
           firstByte,
           endByte},
          out);
    return out;
  }
};

TEST(FpfEncoderTest, RunsTakeTheLargestStepFirst) {
  Group background(1024, [](uint32_t) { return uint8_t{15}; });
  // 25 columns of 3, 10 of 0, 9 of 5, then 20 of 15 (a 64-pixel row).
  Group mixed(64, [](uint32_t x) { return uint8_t(x < 25 ? 3 : x < 35 ? 0 : x < 44 ? 5 : 15); });
  // Uniform words of different values next to each other, and long runs.
  Group blocks(64 * 9, [](uint32_t x) { return uint8_t(x < 64 * 4 ? 0 : x < 64 * 5 ? 9 : 6); });
  using Coder = void (*)(const RowGroup&, Bytes&);
  for (Coder coder : {encodeGroupPerPixel, encodeGroupWords, encodeGroupWide}) {
    EXPECT_EQ(background.encode(coder),
              (Bytes{0xEF, 0xEF, 0xEF, 0xEF, 0xEF, 0xEF, 0xEF, 0xEF, 0xFF}));
    EXPECT_EQ(mixed.encode(coder), (Bytes{0xB3, 0x93, 0xA0, 0x95, 0xB0 + 15, 0x40 + 15, 0xFF}));
    EXPECT_EQ(blocks.encode(coder), (Bytes{0xE0, 0xE0, 0xD9, 0xE6, 0xE6, 0xFF}));
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

// The word and wide coders give the per-pixel coder's bytes: widths not
// always a multiple of 64, 32 or even 8, runs short and long (long uniform
// stretches are compared 256 columns at a time). The wide coder, told which
// bytes were drawn (none, some, all), codes the rest of each row as
// background.
TEST(FpfEncoderTest, FastCodersGiveThePerPixelCodersBytes) {
  std::mt19937 random(4242);
  for (int trial = 0; trial < 400; ++trial) {
    const auto width = static_cast<uint32_t>(1 + random() % (trial % 2 == 0 ? 700 : 3000));
    const auto change = static_cast<unsigned>(1 + random() % (trial % 2 == 0 ? 200 : 2000));
    const uint32_t bytes = (width + 7) / 8;
    const auto firstByte = static_cast<uint32_t>(random() % (bytes + 1));
    const auto endByte = static_cast<uint32_t>(random() % (bytes + 1));
    uint8_t v = static_cast<uint8_t>(random() % 16);
    Group g(width, [&](uint32_t x) {
      if (random() % change == 0) v = static_cast<uint8_t>(random() % 16);
      return x / 8 < firstByte || x / 8 >= endByte ? uint8_t{15} : v;
    });
    const Bytes slow = g.encode(encodeGroupPerPixel);
    ASSERT_EQ(g.encode(encodeGroupWide, firstByte, endByte), slow)
        << "trial " << trial << ", width " << width << ", drawn bytes " << firstByte << " to "
        << endByte;
    ASSERT_EQ(g.encode(encodeGroupWide), slow) << "trial " << trial << ", width " << width;
    ASSERT_EQ(g.encode(encodeGroupWords), slow) << "trial " << trial << ", width " << width;
    EXPECT_LE(slow.size(), width + 1u);  // never longer than a byte a column
    EXPECT_EQ(slow.back(), 0xFF);
  }
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

// Records that no writer makes: the file is damaged, and the message says
// where; nothing of it is taken as an image.
TEST(FpfHeaderTest, DamagedRecordsAreReportedWithTheirRows) {
  struct Case {
    Bytes records;  // of a 16 x 8 image
    std::string message;
  };
  std::vector<Case> cases = {
      // clang-format off
      {{0x5F, 0xFF},                   "record 1 (rows 0 to 3): its runs make 5 of the row's 16 pixels"},
      {{0xFF},                         "record 1 (rows 0 to 3): its runs make 0 of the row's 16 pixels"},
      {{0xBF, 0x1F, 0xFF},             "record 1 (rows 0 to 3): its runs make more than the row's 16"},
      {{0xBF, 0xFF, 0xA0, 0x70, 0xFF}, "record 2 (rows 4 to 7): its runs make more than the row's 16"},
      {{0xBF, 0xFF, 0xBF, 0xFF, 0xCF}, "record 3 (rows 8 to 11): its runs make more than"},  // past the image
      // clang-format on
  };
  for (uint8_t code = 0xF0; code < 0xFF; ++code) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", code);
    cases.push_back(
        {{0x8F, code, 0x8F, 0xFF}, std::string("record 1 (rows 0 to 3): code ") + text});
  }
  for (const Case& c : cases) {
    Bytes file = encodeFpfHeader({16, 8, 1016, 0, 0, ""});
    file.resize(kFpfImageOffset, 0);
    file.insert(file.end(), c.records.begin(), c.records.end());
    test::expectError<FormatError>([&] { decodeFpf(file, "hostile.fpf"); },
                                   "hostile.fpf: damaged plotter file: " + c.message);
  }
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
