// SPDX-License-Identifier: MIT
// The fast group coder gives the reference coder's bytes.
#include "output/group_coder.h"

#include <gtest/gtest.h>

#include <random>

#include "row_group_support.h"

namespace drumplot {
namespace {

using test::Bytes;
using test::Group;

// Background and mixed runs are checked with the other coders in fpf_encoder_test.
TEST(GroupCoderTest, RunsOfTheSpecialLengths) {
  // Uniform words of different values next to each other, and long runs.
  Group blocks(64 * 9, [](uint32_t x) { return uint8_t(x < 64 * 4 ? 0 : x < 64 * 5 ? 9 : 6); });
  EXPECT_EQ(blocks.encode(encodeGroupWide), (Bytes{0xE0, 0xE0, 0xD9, 0xE6, 0xE6, 0xFF}));
}

TEST(GroupCoderTest, SameBytesAsThePerPixelCoder) {
  std::mt19937 random(4242);
  for (int trial = 0; trial < 400; ++trial) {
    // Widths not always a multiple of 64, 32 or even 8; runs short and long
    // (long uniform stretches are compared 256 columns at a time).
    const auto width = static_cast<uint32_t>(1 + random() % (trial % 2 == 0 ? 700 : 3000));
    const auto change = static_cast<unsigned>(1 + random() % (trial % 2 == 0 ? 200 : 2000));
    uint8_t v = static_cast<uint8_t>(random() % 16);
    Group g(width, [&](uint32_t) {
      if (random() % change == 0) v = static_cast<uint8_t>(random() % 16);
      return v;
    });
    ASSERT_EQ(g.encode(encodeGroupWide), g.encode(encodeGroupPerPixel))
        << "trial " << trial << ", width " << width;
  }
}

}  // namespace
}  // namespace drumplot
