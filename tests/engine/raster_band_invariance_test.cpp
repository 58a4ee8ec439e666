// SPDX-License-Identifier: MIT
// Band invariance: random scenes of every primitive and every kind of
// aperture drawn into bands of 1, 7, 32 and 64 rows, and of random heights,
// give exactly the bits of the whole image.
#include <gtest/gtest.h>

#include <random>

#include "raster_test_support.h"

namespace drumplot {
namespace {

constexpr int64_t kWidth = 160;
constexpr int64_t kHeight = 150;
constexpr double kDpi = 2000.0;

using test::allApertures;
using test::SceneStep;

TEST(BandInvarianceTest, RandomScenesGiveTheSameBitsInEveryBandSplit) {
  GerberReader reader = allApertures();
  const std::vector<int> dCodes = reader.Apertures.definedCodes();
  ASSERT_EQ(dCodes.size(), 27u);
  for (uint32_t seed = 1; seed <= 40; ++seed) {
    const std::vector<SceneStep> scene = test::randomScene(seed, 60, kWidth, dCodes, kDpi);
    ShapeRasterizer shapes(reader.Apertures, kDpi);
    auto draw = [&](Canvas& c) {
      for (const SceneStep& step : scene) step(c, shapes);
    };
    const std::vector<uint8_t> whole = test::drawInBands(kWidth, kHeight, {kHeight}, draw);
    std::mt19937 random(seed);
    std::vector<int64_t> mixed;
    for (int k = 0; k < 40; ++k) mixed.push_back(1 + static_cast<int64_t>(random() % 70));
    for (const std::vector<int64_t>& split : {std::vector<int64_t>{1}, {7}, {32}, {64}, mixed}) {
      ASSERT_EQ(test::drawInBands(kWidth, kHeight, split, draw), whole)
          << "seed " << seed << ", first band of " << split[0] << " rows";
    }
  }
}

TEST(BandInvarianceTest, EveryApertureAloneInThinBands) {
  GerberReader reader = allApertures();
  ShapeRasterizer shapes(reader.Apertures, kDpi);
  for (int d : reader.Apertures.definedCodes()) {
    for (Rgb colour : {kBlack, kWhite}) {
      auto draw = [&](Canvas& c) {
        c.setColor(kBlack);
        c.fillRect(70, 0, 90, kHeight);  // something beneath to show through or be cleared
        shapes.flash(c, d, 80.0 / kDpi, 75.0 / kDpi, colour);
      };
      const std::vector<uint8_t> whole = test::drawInBands(kWidth, kHeight, {kHeight}, draw);
      for (int64_t rows : {1, 3, 7, 32}) {
        ASSERT_EQ(test::drawInBands(kWidth, kHeight, {rows}, draw), whole)
            << "D" << d << " in bands of " << rows << " rows";
      }
    }
  }
}

}  // namespace
}  // namespace drumplot
