// SPDX-License-Identifier: MIT
// The 1-bit band layout, the word-at-a-time span filler and the band geometry.
#include <gtest/gtest.h>

#include <random>

#include "engine/band_bitmap.h"
#include "engine/band_geometry.h"
#include "engine/errors.h"
#include "engine/span_fill.h"
#include "support/test_support.h"

namespace drumplot {
namespace {

TEST(BandBitmapTest, FreshBandIsBackgroundWithMsbLeftmost) {
  BandBitmap band(64, 3, 96);
  EXPECT_EQ(band.bytesPerRow(), 8u);
  EXPECT_EQ(band.topRow(), 96);
  for (uint8_t b : band.bytes()) ASSERT_EQ(b, 0xFF);

  // Pixel 0 is the top bit of byte 0; pixel 9 is bit 6 of byte 1.
  fillSpan<ExposeOp>(band.rowWords(1), 0, 1);
  fillSpan<ExposeOp>(band.rowWords(1), 9, 10);
  EXPECT_EQ(band.rowBytes(1)[0], 0x7F);
  EXPECT_EQ(band.rowBytes(1)[1], 0xBF);
  EXPECT_FALSE(band.isBackground(9, 1));
  EXPECT_TRUE(band.isBackground(9, 0));
  band.fill(kBlack);
  for (uint8_t b : band.bytes()) ASSERT_EQ(b, 0x00);
}

TEST(BandBitmapTest, SizesAreCheckedBeforeAllocating) {
  EXPECT_THROW(BandBitmap(-32, 10), FormatError);
  EXPECT_THROW(BandBitmap(int64_t{1} << 40, int64_t{1} << 30), FormatError);
  EXPECT_THROW(RgbSurface(int64_t{1} << 32, int64_t{1} << 32), FormatError);
  BandBitmap empty(0, 0);
  EXPECT_TRUE(empty.bytes().empty());
  // 65,024 dpi x 40 inches: the row size alone is beyond 32-bit pixel counts.
  BandBitmap wide(int64_t{65024} * 40 / 32 * 32, 1);
  EXPECT_EQ(wide.bytesPerRow(), 325120u);
}

TEST(SpanFillTest, WordAtATimeEqualsPixelAtATime) {
  std::mt19937 random(7);
  constexpr int64_t kWidth = 1024;  // spans past 16 whole words too
  std::vector<uint32_t> fast(kWidth / 32), slow(kWidth / 32);
  for (int round = 0; round < 20000; ++round) {
    if (round % 64 == 0) {
      auto start = static_cast<uint32_t>(random());
      std::fill(fast.begin(), fast.end(), start);
      std::fill(slow.begin(), slow.end(), start);
    }
    std::uniform_int_distribution<int64_t> at(0, kWidth);
    int64_t x0 = at(random), x1 = at(random);
    if (x0 > x1) std::swap(x0, x1);
    if (random() % 2) {
      fillSpan<ExposeOp>(fast.data(), x0, x1);
      fillSpanReference<ExposeOp>(reinterpret_cast<uint8_t*>(slow.data()), x0, x1);
    } else {
      fillSpan<BackgroundOp>(fast.data(), x0, x1);
      fillSpanReference<BackgroundOp>(reinterpret_cast<uint8_t*>(slow.data()), x0, x1);
    }
    ASSERT_EQ(fast, slow) << "span " << x0 << ".." << x1;
  }
}

TEST(BandGeometryTest, BudgetAndRowsPerBand) {
  EXPECT_EQ(memoryBudgetBytes(32), 33554433u);
  // 10 inches at 2032 dpi: 2,540 bytes a row; 13,210 rows cut to 13,184.
  BandGeometry g = computeBandGeometry(memoryBudgetBytes(32), 20320, 13184 * 3);
  EXPECT_EQ(g.rowsPerBand, 13184);
  EXPECT_EQ(g.bandCount, 3);
  EXPECT_EQ(g.band(2, BandOrder::TopDown), (BandSpan{2 * 13184, 13184}));

  // 32 rows more: one more band of 32 rows, produced last.
  BandGeometry more = computeBandGeometry(memoryBudgetBytes(32), 20320, 13184 * 3 + 32);
  EXPECT_EQ(more.bandCount, 4);
  EXPECT_EQ(more.band(3, BandOrder::TopDown), (BandSpan{3 * 13184, 32}));
  // Produced from the bottom, the remainder band lies at the top.
  EXPECT_EQ(more.band(0, BandOrder::BottomUp), (BandSpan{32 + 2 * 13184, 13184}));
  EXPECT_EQ(more.band(3, BandOrder::BottomUp), (BandSpan{0, 32}));
  int64_t covered = 0;
  for (int64_t i = 0; i < more.bandCount; ++i) covered += more.band(i, BandOrder::BottomUp).rows;
  EXPECT_EQ(covered, more.height_px);
}

TEST(BandGeometryTest, BudgetBelow32RowsStopsWithAMessage) {
  // 10 MB cannot hold 32 rows of an image 3 million pixels wide.
  test::expectError<FormatError>(
      [] { computeBandGeometry(memoryBudgetBytes(10), 3000000 / 32 * 32, 1000); },
      "fewer than 32 rows");
  EXPECT_THROW(computeBandGeometry(memoryBudgetBytes(32), 100, 100), FormatError);
}

}  // namespace
}  // namespace drumplot
