// SPDX-License-Identifier: MIT
// The command interpreter: modes, strokes, arcs, regions, polarity and holes.
#include "engine/interpreter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>

#include "engine/band_bitmap.h"
#include "engine/canvas.h"
#include "engine/layer_renderer.h"
#include "raster_test_support.h"

namespace drumplot {
namespace {

// A layer drawn at 1000 ppi with its data point (0, 0) on pixel (0, 0):
// pixel = round(coordinate x 1000).
struct Drawn {
  BandBitmap band;
  Progress progress;

  bool exposed(int64_t x, int64_t y) const { return !band.isBackground(x, y); }
  int64_t count() const { return test::exposedCount(band); }
  // Exposed pixels of column x in rows 0 to y1 - 1.
  int column(int64_t x, int64_t y1) const {
    int n = 0;
    for (int64_t y = 0; y < y1; ++y) n += exposed(x, y);
    return n;
  }
  // Exposed pixels of one row, as x ranges "a-b,c-d".
  std::string rowRuns(int64_t y) const {
    std::string s;
    for (int64_t x = 0; x < band.width_px(); ++x) {
      if (!exposed(x, y)) continue;
      const int64_t start = x;
      while (x + 1 < band.width_px() && exposed(x + 1, y)) ++x;
      s += (s.empty() ? "" : ",") + std::to_string(start) + "-" + std::to_string(x);
    }
    return s;
  }
};

// Loads `gerber` into `layer` up to its stamps.
void prepare(LayerRenderer& layer, const std::string& gerber, const char* name = "test.gbr") {
  layer.setFileName(name);
  layer.loadAndPrescan(gerber);
  layer.readApertures();
  layer.makeStamps();
}

// The placement of the data point (0, 0) of `layer` on pixel (0, 0), at 1000 ppi.
LayerPlacement atOrigin(const LayerRenderer& layer) {
  return {layer.reader().MinX, layer.reader().MinY, 1000.0, kBlack, std::nullopt, {}};
}

// Rows top .. top + rows - 1 of `gerber` drawn 128 pixels wide.
std::unique_ptr<Drawn> draw(const std::string& gerber, InterpreterSettings settings = {},
                            int64_t top = 0, int64_t rows = 128, AxisScale scale = {}) {
  auto d = std::make_unique<Drawn>();
  LayerRenderer layer;
  prepare(layer, gerber);
  d->band = BandBitmap(128, rows, top);
  Canvas canvas(d->band);
  LayerPlacement placement = atOrigin(layer);
  placement.scale = scale;
  interpretLayer(layer.reader(), layer.shapes(placement.penPixelsPerInch()), canvas, placement,
                 settings, &d->progress);
  return d;
}

const std::string kHeader =
    "%FSLAX23Y23*%%MOIN*%%ADD10C,0.010*%%ADD11C,0.002*%%ADD12R,0.020X0.020*%";

TEST(InterpreterTest, BareDCodeSelectsLikeG54) {
  auto a = draw(kHeader + "G54D10*X10Y10D02*X100Y10D01*X100Y100D03*M02*");
  auto b = draw(kHeader + "D10*X10Y10D02*X100Y10D01*X100Y100D03*M02*");
  EXPECT_GT(a->count(), 0);
  EXPECT_TRUE(std::ranges::equal(a->band.bytes(), b->band.bytes()));
}

TEST(InterpreterTest, LinePenRules) {
  // A 10-mil circle at 1000 ppi: pen 10, drawn 11 wide with round caps, and
  // the aperture flashed at both ends (pen above 3).
  auto wide = draw(kHeader + "G54D10*X20Y20D02*X100Y20D01*M02*");
  EXPECT_EQ(wide->rowRuns(20), "15-105");  // caps reach 5 to 5.5 pixels past the ends
  EXPECT_EQ(wide->column(60, 40), 11);
  // A 2-mil pen draws 2 wide (a pen of 2 or less draws 2), with no end flashes.
  auto thin = draw(kHeader + "G54D11*X20Y20D02*X100Y20D01*M02*");
  EXPECT_EQ(thin->column(60, 40), 2);
  // Coordinates that cannot be read leave the axis where it was.
  auto same = draw(kHeader + "G54D11*X20Y20D02*X100Y+D01*M02*");
  EXPECT_EQ(same->rowRuns(20), thin->rowRuns(20));
}

TEST(InterpreterTest, ClearPolarityDrawsBackgroundAndDarkReturns) {
  auto d = draw(kHeader + "G54D12*X50Y50D03*%LPC*%G54D10*X50Y50D03*%LPD*%G54D10*X100Y100D03*M02*");
  EXPECT_FALSE(d->exposed(50, 50));  // cleared by the 10-mil clear flash
  EXPECT_TRUE(d->exposed(42, 42));   // the square's corner stays
  EXPECT_TRUE(d->exposed(100, 100));
}

TEST(InterpreterTest, RegionsWithAMoveInsideMakeTwoPolygons) {
  auto d = draw(kHeader +
                "G36*X10Y10D02*X40Y10D01*X40Y40D01*X10Y40D01*X10Y10D01*"
                "X60Y60D02*X90Y60D01*X90Y90D01*X60Y90D01*X60Y60D01*G37*M02*");
  EXPECT_TRUE(d->exposed(25, 25));
  EXPECT_TRUE(d->exposed(75, 75));
  EXPECT_FALSE(d->exposed(50, 50));  // one polygon would have joined them
  // A file that ends inside a region still fills it.
  auto open = draw(kHeader + "G36*X10Y10D02*X40Y10D01*X40Y40D01*X10Y40D01*");
  EXPECT_TRUE(open->exposed(25, 25));
}

// Gerber standard, circular interpolation: an arc is fixed by its centre
// and direction, only start = end is a full circle, I and J are not modal.
TEST(InterpreterTest, ArcsFollowTheirCentreAndDirection) {
  const std::string head = "%FSLAX24Y24*%%MOIN*%%ADD11C,0.002*%G54D11*G75*X0300Y0600D02*";
  // End equals start: a full circle of radius 30 around (60, 60).
  auto full = draw(head + "G03X0300Y0600I0300J0D01*M02*");
  EXPECT_TRUE(full->exposed(90, 60) || full->exposed(89, 60));
  EXPECT_TRUE(full->exposed(60, 30) || full->exposed(60, 29));
  EXPECT_FALSE(full->exposed(60, 60));
  // Ends 0.0001 inch apart: counterclockwise an almost full circle, clockwise
  // a tiny arc (as Allegro draws a round clearance in two arcs).
  auto almost = draw(head + "G03X0300Y0601I0300J0D01*M02*");
  EXPECT_TRUE(almost->exposed(90, 60) || almost->exposed(89, 60));
  auto tiny = draw(head + "G02X0300Y0601I0300J0D01*M02*");
  EXPECT_LT(tiny->count(), 10);
  // The same two arcs as a region's contour make a disc.
  auto disc = draw(head + "G36*G02X0300Y0601I0300J0D01*G02X0300Y0600I0300J-0001D01*G37*M02*");
  EXPECT_TRUE(disc->exposed(60, 60));
  EXPECT_TRUE(disc->exposed(85, 60));
  // A full circle inside a region in multi-quadrant mode is a disc, not a wedge.
  auto ring = draw(head + "G36*G03X0300Y0600I0300J0D01*G37*M02*");
  EXPECT_TRUE(ring->exposed(60, 85) && ring->exposed(60, 35) && ring->exposed(85, 60));
  // Without I and J the centre is the start: the arc back is a straight line
  // through (60, 60), not the other half of the circle.
  auto modal = draw(head + "G03X0900Y0600I0300J0D01*G03X0300Y0600D01*M02*");
  EXPECT_TRUE(modal->exposed(60, 60));
  EXPECT_FALSE(modal->exposed(60, 90) || modal->exposed(60, 89));
}

// On a film scaled unevenly a circle is an ellipse through the scaled
// points: drawn, as a region, and as half a region.
TEST(InterpreterTest, ArcsOfAnUnevenlyScaledFilmAreEllipses) {
  const std::string head = "%FSLAX24Y24*%%MOIN*%%ADD11C,0.002*%G54D11*G75*X0200Y0600D02*";
  struct Case {
    const char* body;
    int64_t width, height;  // exposed pixels across and down
  };
  for (const Case& c :
       {Case{"G03X0200Y0600I0400J0D01*", 99, 67}, Case{"G36*G03X0200Y0600I0400J0D01*G37*", 97, 65},
        Case{"G36*G03X1000Y0600I0400J0D01*X0200Y0600D01*G37*", 97, 33}}) {
    auto d = draw(head + c.body + "M02*", {}, 0, 128, {1.2, 0.8});
    int64_t x0 = 128, y0 = 128, x1 = -1, y1 = -1;
    for (int64_t y = 0; y < 128; ++y) {
      for (int64_t x = 0; x < 128; ++x) {
        if (!d->exposed(x, y)) continue;
        x0 = std::min(x0, x), x1 = std::max(x1, x), y0 = std::min(y0, y), y1 = std::max(y1, y);
      }
    }
    EXPECT_NEAR(static_cast<double>(x1 - x0 + 1), static_cast<double>(c.width), 1.0) << c.body;
    EXPECT_NEAR(static_cast<double>(y1 - y0 + 1), static_cast<double>(c.height), 1.0) << c.body;
    EXPECT_NEAR(static_cast<double>(x0 + x1) / 2.0, 72.0, 1.0) << c.body;  // the centre's 60 x 1.2
  }
}

// Gerber standard: every G code of a statement applies, in order; the
// current point is the file's (0, 0) until the first move; a draw of no
// length (and an arc of no radius) leaves the aperture's dot.
TEST(InterpreterTest, StatementsActAsTheStandardReadsThem) {
  auto combined = draw(kHeader + "G54D11*X30Y60D02*G75G03X90Y60I30J0D01*G01G54D10*X10Y10D03*M02*");
  EXPECT_TRUE(combined->exposed(60, 30) || combined->exposed(60, 89));  // the arc bulges
  EXPECT_FALSE(combined->exposed(60, 60));
  EXPECT_TRUE(combined->exposed(13, 10));  // D10 (10 mils) was selected for the flash
  // The board lands 20 pixels in: the first draw starts at the file's (0, 0).
  LayerRenderer layer;
  prepare(layer, kHeader + "G54D11*X100Y0D01*M02*", "origin.gbr");
  BandBitmap band(128, 64);
  Canvas canvas(band);
  LayerPlacement placement{layer.reader().MinX + 0.020, 0.0, 1000.0, kBlack, std::nullopt, {}};
  interpretLayer(layer.reader(), layer.shapes(1000.0), canvas, placement);
  EXPECT_FALSE(band.isBackground(25, 0));
  EXPECT_TRUE(band.isBackground(10, 0));
  // A 13-mil dot from a draw of no length and from a zero-radius circle.
  for (const char* dot : {"X50Y50D02*X50Y50D01*", "X50Y50D02*G75*G03X50Y50I0J0D01*"}) {
    auto d = draw("%FSLAX23Y23*%%ADD10C,0.013*%G54D10*" + std::string(dot) + "M02*");
    EXPECT_TRUE(d->exposed(50, 50) && d->exposed(55, 50) && d->exposed(50, 45)) << dot;
    EXPECT_FALSE(d->exposed(58, 50)) << dot;
  }
}

TEST(InterpreterTest, SingleQuadrantCentreFollowsTheTarget) {
  // From (60, 60) with unsigned offsets of 30 on one axis: the target's
  // quadrant and the direction pick the centre; the other candidate circle
  // through both points must stay empty.
  struct Case {
    const char* arc;
    int64_t cx, cy;          // the centre the rules pick
    int64_t otherX, otherY;  // the centre they do not
  };
  const Case cases[] = {
      {"G02X90Y90I30J0D01*", 90, 60, 60, 90}, {"G03X90Y90I0J30D01*", 60, 90, 90, 60},
      {"G02X30Y30I30J0D01*", 30, 60, 60, 30}, {"G03X30Y30I0J30D01*", 60, 30, 30, 60},
      {"G02X90Y30I0J30D01*", 60, 30, 90, 60}, {"G03X90Y30I30J0D01*", 90, 60, 60, 30},
      {"G02X30Y90I0J30D01*", 60, 90, 30, 60}, {"G03X30Y90I30J0D01*", 30, 60, 60, 90},
  };
  for (const Case& c : cases) {
    auto d = draw(kHeader + "G54D11*G74*X60Y60D02*" + c.arc + "M02*");
    int onCircle = 0, onOther = 0;
    for (int64_t y = 0; y < 128; ++y) {
      for (int64_t x = 0; x < 128; ++x) {
        if (!d->exposed(x, y)) continue;
        double r1 = std::hypot(double(x - c.cx) + 0.5, double(y - c.cy) + 0.5);
        double r2 = std::hypot(double(x - c.otherX) + 0.5, double(y - c.otherY) + 0.5);
        bool near1 = std::abs(r1 - 30) < 3, near2 = std::abs(r2 - 30) < 3;
        onCircle += near1;
        onOther += near2 && !near1;
      }
    }
    EXPECT_GT(onCircle, 20) << c.arc;
    EXPECT_EQ(onOther, 0) << c.arc;
  }
}

// Gerber standard, aperture transformations: %LM, %LR and %LS turn and
// scale the apertures of the flashes after them, and %LS the draws too.
TEST(InterpreterTest, ApertureTransformsTurnFlashesAndScaleDraws) {
  const std::string head =
      "%FSLAX23Y23*%%ADD12R,0.040X0.020*%%AMDOT*1,1,0.010,0.020,0*%%ADD13DOT*%";
  auto plain = draw(head + "G54D12*X64Y64D03*M02*");
  EXPECT_TRUE(plain->exposed(83, 64) && !plain->exposed(64, 77));
  auto turned = draw(head + "%LR90*%G54D12*X64Y64D03*M02*");
  EXPECT_TRUE(!turned->exposed(83, 64) && turned->exposed(64, 83));
  auto scaled = draw(head + "%LS0.5*%G54D12*X64Y64D03*M02*");
  EXPECT_TRUE(scaled->exposed(73, 64) && !scaled->exposed(76, 64));
  // The macro's dot sits 20 to the right; mirrored in x, 20 to the left.
  auto dot = draw(head + "G54D13*X64Y64D03*%LMX*%X64Y30D03*M02*");
  EXPECT_TRUE(dot->exposed(84, 64) && !dot->exposed(44, 64));
  EXPECT_TRUE(dot->exposed(44, 30) && !dot->exposed(84, 30));
  // A 10-mil line scaled by 2: the pen is 20, drawn 21 wide.
  auto line = draw("%FSLAX23Y23*%%ADD10C,0.010*%%LS2*%G54D10*X20Y60D02*X100Y60D01*M02*");
  EXPECT_EQ(line->column(60, 128), 21);
}

// Gerber standard, block apertures: a block is flashed with its own
// polarities (swapped in clear polarity) and turned as a whole; blocks nest
// and repeat.
TEST(InterpreterTest, BlocksAreFlashedWithTheirPolaritiesAndTransforms) {
  const std::string head =
      "%FSLAX23Y23*%%ADD10R,0.020X0.020*%%ADD11C,0.006*%"
      "%ABD20*%G54D10*X0Y0D03*%LPC*%G54D11*X0Y0D03*%AB*%"  // a square with a clear dot
      "%ABD21*%G54D20*X-20Y0D03*X20Y0D03*%AB*%";           // two of them
  auto one = draw(head + "G54D20*X40Y40D03*M02*");
  EXPECT_FALSE(one->exposed(40, 40));
  EXPECT_TRUE(one->exposed(47, 40));
  EXPECT_EQ(one->count(), 20 * 20 - 6 * 6 + 4);  // the dot's disc is 32 pixels
  // In clear polarity over an exposed field, the square clears and the dot exposes.
  auto clear = draw(head + "%ADD30R,0.100X0.100*%G54D30*X60Y60D03*%LPC*%G54D20*X60Y60D03*M02*");
  EXPECT_TRUE(clear->exposed(60, 60));
  EXPECT_FALSE(clear->exposed(67, 60));
  EXPECT_TRUE(clear->exposed(75, 60));
  // Nested, turned a quarter, and repeated three times 0.03 inch apart.
  auto nested = draw(head + "%LR90*%%SRX1Y3I0J0.03*%G54D21*X64Y30D03*%SR*%M02*");
  for (int64_t y : {30, 60, 90}) {
    EXPECT_TRUE(nested->exposed(71, y - 20) && nested->exposed(71, y + 20)) << y;
    EXPECT_FALSE(nested->exposed(64, y + 20)) << y;  // each square's clear dot
    EXPECT_FALSE(nested->exposed(84 + 7, y)) << y;
  }
}

// A step-and-repeat block is kept once and repeated where it is drawn: no
// limit on statements cuts its copies.
TEST(InterpreterTest, EveryCopyOfAStepAndRepeatBlockIsDrawn) {
  LayerRenderer layer({}, StatementLimits{100});
  prepare(layer, kHeader + "%SRX100Y100I0.001J0.001*%G54D11*X0Y0D03*X1Y1D03*%SR*%M02*",
          "repeat.gbr");
  EXPECT_EQ(layer.reader().program.expandedStatements, 10u + 100u * 100u * 4u + 3u);
  BandBitmap band(128, 128);
  Canvas canvas(band);
  interpretLayer(layer.reader(), layer.shapes(1000.0), canvas, atOrigin(layer));
  EXPECT_FALSE(band.isBackground(100, 100));  // the last copy's second flash
  EXPECT_FALSE(band.isBackground(50, 99));
}

// %IPNEG: the layer's area is exposed and what the file draws clears; the
// area is the layer's reach unless the caller gives one.
TEST(InterpreterTest, NegativeLayersExposeTheirAreaAndClearWhatTheyDraw) {
  auto d = draw("%FSLAX23Y23*%%IPNEG*%%ADD10C,0.020*%G54D10*X40Y40D03*X80Y80D03*M02*");
  EXPECT_FALSE(d->exposed(40, 40));
  EXPECT_TRUE(d->exposed(60, 60));     // between the pads, inside the reach
  EXPECT_TRUE(d->exposed(31, 31));     // the corner of the first pad's box
  EXPECT_FALSE(d->exposed(100, 100));  // beyond the reach
}

TEST(InterpreterTest, HolesArePunchedAfterEverything) {
  auto d = draw(
      "%FSLAX23Y23*%%ADD12R,0.050X0.050*%%ADD11C,0.040*%"
      "G54D12*X40Y40D03*G54D11*X100Y40D03*G54D12*X60Y40D03*M02*",
      {.holeDiameter_mils = 20, .noHoleDCodes = {11}});
  // Radius-10 hole at both D12 flashes, even where the later flash covers the first hole.
  EXPECT_FALSE(d->exposed(40, 40));
  EXPECT_FALSE(d->exposed(49, 40));
  EXPECT_TRUE(d->exposed(51, 40) == false);  // the second pad's hole reaches from 50 to 70
  EXPECT_TRUE(d->exposed(100, 40));          // D11 is in the no-hole list
  EXPECT_EQ(d->progress.fraction.load(), 1.0);
  EXPECT_FALSE(d->progress.busy.load());
}

TEST(InterpreterTest, BandsGiveTheSameRows) {
  const std::string file = kHeader +
                           "G54D10*X10Y10D02*X120Y90D01*G75*G03X20Y100I-50J0D01*G01*"
                           "G36*X70Y10D02*X120Y10D01*X120Y50D01*G37*G54D12*X30Y70D03*M02*";
  auto whole = draw(file);
  for (int64_t bandRows : {1, 7, 32, 64}) {
    for (int64_t top = 0; top < 128; top += bandRows) {
      int64_t rows = std::min<int64_t>(bandRows, 128 - top);
      auto band = draw(file, {}, top, rows);
      for (int64_t y = 0; y < rows; ++y) {
        ASSERT_EQ(band->rowRuns(y), whole->rowRuns(top + y))
            << "band " << bandRows << " row " << top + y;
      }
    }
  }
}

// Found in the corpus: a file whose first flashes come before any aperture
// selection drew them with the aperture the previous band's run ended on.
TEST(InterpreterTest, EveryRunStartsFromTheExtentsPassState) {
  LayerRenderer layer;
  prepare(layer, kHeader + "X40Y40D03*%LPC*%G54D12*X90Y90D03*M02*");
  BandBitmap first(128, 128), second(128, 128);
  for (BandBitmap* band : {&first, &second}) {
    Canvas canvas(*band);
    interpretLayer(layer.reader(), layer.shapes(1000.0), canvas, atOrigin(layer));
  }
  EXPECT_FALSE(first.isBackground(40, 40));  // D10, the aperture after the extents pass
  EXPECT_TRUE(std::ranges::equal(first.bytes(), second.bytes()));
}

}  // namespace
}  // namespace drumplot
