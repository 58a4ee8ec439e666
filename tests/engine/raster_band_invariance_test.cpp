// SPDX-License-Identifier: MIT
// Band invariance: random scenes of every primitive and every kind of
// aperture drawn into bands of 1, 7, 32 and 64 rows, and of random heights,
// give exactly the bits of the whole image.
#include <gtest/gtest.h>

#include <random>

#include "engine/gerber_reader.h"
#include "engine/shape_rasterizer.h"
#include "raster_test_support.h"

namespace drumplot {
namespace {

constexpr int64_t kWidth = 160;
constexpr int64_t kHeight = 150;
constexpr double kDpi = 2000.0;

// Apertures of every kind, shape, hole and macro primitive, with rotations.
GerberReader allApertures() {
  GerberReader reader;
  reader.FileName = "all.gbr";
  reader.loadBytes(
      "%MOIN*%"
      "%AMC1*1,1,0.012,0.004,-0.003,30*%"
      "%AMV20*20,1,0.004,-0.010,-0.006,0.009,0.007,15*2,0,0.002,-0.010,0.006,0.010,-0.006,0*%"
      "%AMR21*21,1,0.020,0.006,0.001,0.002,33*%"
      "%AMR22*22,1,0.016,0.005,-0.004,-0.003,-20*%"
      "%AMOUT*4,1,5,-0.008,-0.006,0.009,-0.004,0.004,0.008,-0.002,0.001,-0.009,0.005,-0.008,"
      "-0.006,12*4,0,3,0,0,0.003,0,0,0.003,0,0*%"
      "%AMPOLY*5,1,7,0.001,-0.002,0.018,10*5,2,3,0,0,0.006,0*%"
      "%AMMOIRE*6,0,0,0.030,0.002,0.0025,3,0.001,0.034,20*%"
      "%AMTHERM*7,0.001,0,0.024,0.015,0.003,45*%"
      "%AMMIX*1,1,0.020,0,0*7,0,0,0.016,0.010,0.002,0*21,0,0.030,0.002,0,0,0*%"
      "%ADD10C,0.013*%%ADD11C,0.022X0.008*%%ADD12C,0.022X0.010X0.004*%"
      "%ADD13R,0.0004X0.0003*%%ADD14R,0.023X0.044*%%ADD15R,0.030X0.020X0.008*%"
      "%ADD16R,0.030X0.024X0.006X0.010*%%ADD17O,0.031X0.012*%%ADD18O,0.010X0.027X0.004*%"
      "%ADD19O,0.030X0.018X0.006X0.004*%%ADD20P,0.025X0*%%ADD21P,0.030X5X17X0.006*%"
      "%ADD22P,0.030X6X0X0.008X0.004*%"
      "%ADD30C1*%%ADD31V20*%%ADD32R21*%%ADD33R22*%%ADD34OUT*%%ADD35POLY*%%ADD36MOIRE*%"
      "%ADD37THERM*%%ADD38MIX*%");
  reader.computeExtents();
  reader.parseDefinitions();
  auto define = [&reader](auto... args) { test::defineFileAperture(reader.Apertures, args...); };
  define(50, ApertureShape::Round, 0.015, 0.015);
  define(51, ApertureShape::Square, 0.012, 0.012);
  define(52, ApertureShape::Octagon, 0.020, 0);
  define(53, ApertureShape::Thermal, 0.030, 0.018);
  define(54, ApertureShape::Target, 0.028, 0);
  return reader;
}

using Step = std::function<void(Canvas&, ShapeRasterizer&)>;

// A random scene: shapes partly outside the image, both colours.
std::vector<Step> randomScene(uint32_t seed, const std::vector<int>& dCodes) {
  std::mt19937 random(seed);
  auto coordinate = [&] { return static_cast<int64_t>(random() % 240) - 40; };
  auto colour = [&] { return random() % 4 == 0 ? kWhite : kBlack; };
  std::vector<Step> steps;
  for (int i = 0; i < 60; ++i) {
    const int64_t x1 = coordinate(), y1 = coordinate(), x2 = coordinate(), y2 = coordinate();
    const int64_t x3 = coordinate(), y3 = coordinate();
    const int64_t width = static_cast<int64_t>(random() % 14);
    const Rgb pen = colour(), brush = colour();
    switch (random() % 9) {
      case 0:
        steps.push_back([=](Canvas& c, ShapeRasterizer&) {
          c.setBrushColor(brush);
          c.fillRect(x1, y1, x2, y2);
        });
        break;
      case 1:
        steps.push_back([=](Canvas& c, ShapeRasterizer&) {
          c.setBrushColor(brush);
          c.fillEllipse(x1, y1, x2, y2);
        });
        break;
      case 2: {
        // Circles half the time: their outlines take the exact ring path.
        const int64_t bottom = random() % 2 ? y1 + (x2 - x1) : y2;
        steps.push_back([=](Canvas& c, ShapeRasterizer&) {
          c.setPenColor(pen);
          c.setBrushColor(brush);
          c.setPenWidth(width);
          c.ellipse(x1, y1, x2, bottom);
        });
        break;
      }
      case 3: {
        std::vector<PixelPoint> points;
        for (int k = 3 + static_cast<int>(random() % 10); k > 0; --k)
          points.push_back({coordinate(), coordinate()});
        steps.push_back([=](Canvas& c, ShapeRasterizer&) {
          c.setColor(pen);
          c.fillPolygon(points);
        });
        break;
      }
      case 4:
      case 5:
        steps.push_back([=](Canvas& c, ShapeRasterizer&) {
          c.setPenColor(pen);
          c.setPenWidth(width);
          c.moveTo(x1, y1);
          c.lineTo(x2, y2);
        });
        break;
      case 6:
        steps.push_back([=](Canvas& c, ShapeRasterizer&) {
          c.setPenColor(pen);
          c.setPenWidth(width);
          c.arc(x1, y1, x2, y2, x3, y3, x1, y2);
        });
        break;
      default: {
        const int d = dCodes[random() % dCodes.size()];
        const double x = static_cast<double>(x1) / kDpi, y = static_cast<double>(y1) / kDpi;
        steps.push_back([=](Canvas& c, ShapeRasterizer& shapes) { shapes.flash(c, d, x, y, pen); });
        break;
      }
    }
  }
  return steps;
}

TEST(BandInvarianceTest, RandomScenesGiveTheSameBitsInEveryBandSplit) {
  GerberReader reader = allApertures();
  const std::vector<int> dCodes = reader.Apertures.definedCodes();
  ASSERT_EQ(dCodes.size(), 27u);
  for (uint32_t seed = 1; seed <= 40; ++seed) {
    const std::vector<Step> scene = randomScene(seed, dCodes);
    ShapeRasterizer shapes(reader.Apertures, kDpi);
    auto draw = [&](Canvas& c) {
      for (const Step& step : scene) step(c, shapes);
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
