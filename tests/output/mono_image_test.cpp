// SPDX-License-Identifier: MIT
// 1-bit image files and the geometry comparison.
#include "output/mono_image.h"

#include <gtest/gtest.h>

#include "engine/errors.h"
#include "output/image_compare.h"
#include "support/test_support.h"

namespace drumplot {
namespace {

MonoImage square(uint32_t size, uint32_t x0, uint32_t y0, uint32_t side) {
  MonoImage image(size, size);
  for (uint32_t y = y0; y < y0 + side; ++y)
    for (uint32_t x = x0; x < x0 + side; ++x) image.setExposed(x, y, true);
  return image;
}

TEST(MonoImageTest, PngRoundTripAndPbmBytes) {
  MonoImage image = square(13, 2, 3, 5);  // odd width: the last byte is partial
  EXPECT_EQ(image.exposedCount(), 25u);
  auto dir = test::tempDir();
  writeImage(dir / "a.png", image);
  MonoImage back = readPng(dir / "a.png");
  EXPECT_EQ(back.width, 13u);
  EXPECT_EQ(back.height, 13u);
  EXPECT_EQ(back.bits, image.bits);

  writeImage(dir / "a.pbm", square(8, 0, 0, 1));
  std::string pbm = test::readFile(dir / "a.pbm");
  ASSERT_EQ(pbm.size(), 7u + 8u);  // "P4\n8 8\n" and one byte a row
  EXPECT_EQ(pbm.substr(0, 7), "P4\n8 8\n");
}

TEST(MonoImageTest, WritingNeverLeavesAPartialFile) {
  auto dir = test::tempDir();
  EXPECT_THROW(writeImage(dir / "missing" / "a.png", square(8, 0, 0, 1)), IoError);
  EXPECT_THROW(writeImage(dir / "a.gif", square(8, 0, 0, 1)), FormatError);
  EXPECT_TRUE(std::filesystem::is_empty(dir));
}

TEST(ImageCompareTest, EdgeNoiseErodesAwayButMissingShapesRemain) {
  MonoImage reference = square(40, 10, 10, 20);
  // One pixel wider on two sides: only a thin XOR, which the erosion removes.
  MonoImage wider = square(40, 9, 9, 21);
  ImageDifference edge = compareImages(wider, reference, 0, 0);
  EXPECT_EQ(edge.differing, 41u);
  EXPECT_EQ(edge.residual, 0u);
  // The same square in a frame shifted by 5 pixels lines up when shifted back.
  MonoImage shifted = square(40, 5, 5, 20);
  EXPECT_EQ(compareImages(shifted, reference, 5, 5).differing, 0u);
  // A missing square leaves its inside.
  ImageDifference missing = compareImages(MonoImage(40, 40), reference, 0, 0);
  EXPECT_EQ(missing.differing, 400u);
  EXPECT_EQ(missing.residual, 16u * 16u);
}

}  // namespace
}  // namespace drumplot
