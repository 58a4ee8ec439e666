// SPDX-License-Identifier: MIT
// Aperture flashes and measures: the size rules of standard apertures, holes
// that show or clear what lies beneath, every macro primitive against a
// hand-drawn picture, aperture-file shapes, stamps, arc points and the
// layer renderer's calling order.
#include "engine/shape_rasterizer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <stdexcept>

#include "engine/errors.h"
#include "engine/gerber_reader.h"
#include "engine/layer_renderer.h"
#include "raster_test_support.h"
#include "support/test_support.h"

namespace drumplot {
namespace {

using test::rows;

GerberReader readerOf(std::string_view gerber) {
  GerberReader reader;
  reader.FileName = "shapes.gbr";
  reader.loadBytes(gerber);
  reader.computeExtents();
  reader.parseDefinitions();
  return reader;
}

// At 1000 pixels per inch a size of 0.001 inch is one pixel.
constexpr double kDpi = 1000.0;

// A picture of `width` x `height` after `before`, then the flash of `dCode`
// centred on pixel (cx, cy) in `colour`.
std::string flashPicture(const ApertureTable& apertures, int dCode, int64_t width, int64_t height,
                         int64_t cx, int64_t cy, Rgb colour = kBlack,
                         const std::function<void(Canvas&)>& before = {}) {
  ShapeRasterizer shapes(apertures, kDpi);
  return test::drawPicture(width, height, 0, 0, [&](Canvas& c) {
    if (before) before(c);
    shapes.flash(c, dCode, static_cast<double>(cx) / kDpi, static_cast<double>(cy) / kDpi, colour);
  });
}

// A `width` x `height` band after `before`, then the flash of `dCode` at (x, y) inches.
BandBitmap flashed(ShapeRasterizer& shapes, int dCode, int64_t width, int64_t height, double x,
                   double y, Rgb colour = kBlack, const std::function<void(Canvas&)>& before = {}) {
  BandBitmap band(width, height);
  Canvas canvas(band);
  if (before) before(canvas);
  shapes.flash(canvas, dCode, x, y, colour);
  return band;
}

// Columns and rows of the exposed pixels: x0, y0, x1, y1 (inclusive).
std::array<int64_t, 4> exposedBox(const BandBitmap& band) {
  std::array<int64_t, 4> box{INT64_MAX, INT64_MAX, INT64_MIN, INT64_MIN};
  for (int64_t y = 0; y < band.rows(); ++y) {
    for (int64_t x = 0; x < band.width_px(); ++x) {
      if (band.isBackground(x, y)) continue;
      box = {std::min(box[0], x), std::min(box[1], y), std::max(box[2], x), std::max(box[3], y)};
    }
  }
  return box;
}

TEST(StandardApertureTest, CircleBoxAndTinyRectangle) {
  GerberReader r = readerOf("%MOIN*%%ADD10C,.006*%%ADD11R,0.0004X0.0003*%");
  // h = 3: the box from X - 3 to X + 3 covers 6 pixels.
  EXPECT_EQ(flashPicture(r.Apertures, 10, 8, 8, 4, 4),
            rows({"........", "..####..", ".######.", ".######.", ".######.", ".######.",
                  "..####..", "........"}));
  // A solid rectangle below one pixel is still 2 x 2.
  EXPECT_EQ(flashPicture(r.Apertures, 11, 4, 4, 2, 2), rows({"....", ".##.", ".##.", "...."}));
  ShapeRasterizer shapes(r.Apertures, kDpi);
  EXPECT_EQ(std::tuple(shapes.measure(10), shapes.measure(11), shapes.measure(12)),
            std::tuple(6.0, 2.0, std::nullopt));
  BandBitmap band(8, 8);
  Canvas canvas(band);
  EXPECT_EQ(shapes.flash(canvas, 12, 0.004, 0.004, kBlack), std::nullopt);  // undefined: nothing
  EXPECT_EQ(test::exposedCount(band), 0);
}

TEST(StandardApertureTest, LargeRectanglesGrowOnePixel) {
  // Half sizes h1, h2 (pixels) and the exposed box's reach from the centre
  // (the last exposed column and row lie one before the box's exclusive edge).
  struct Case {
    int h1, h2, left, top, right, bottom;
  };
  for (const Case& c :
       {Case{20, 20, 20, 20, 20, 20}, Case{21, 40, 22, 41, 21, 40}, Case{41, 41, 42, 42, 42, 42},
        Case{30, 50, 31, 51, 30, 51}, Case{0, 0, 1, 1, 1, 1}}) {
    char gerber[64];
    std::snprintf(gerber, sizeof gerber, "%%ADD10R,%.3fX%.3f*%%", 2 * c.h1 / kDpi, 2 * c.h2 / kDpi);
    GerberReader r = readerOf(gerber);
    ShapeRasterizer shapes(r.Apertures, kDpi);
    BandBitmap band(256, 256);
    Canvas canvas(band);
    EXPECT_EQ(shapes.flash(canvas, 10, 0.128, 0.128, kBlack), 2.0 * std::max({c.h1, c.h2, 1}));
    EXPECT_EQ(exposedBox(band), (std::array<int64_t, 4>{128 - c.left, 128 - c.top,
                                                        128 + c.right - 1, 128 + c.bottom - 1}))
        << c.h1 << " x " << c.h2;
  }
}

// Gerber standard, standard apertures: a hole is transparent; it does not
// clear what lies beneath, whatever the shape and the polarity.
TEST(StandardApertureTest, HolesAreSeeThroughInEveryShapeAndPolarity) {
  GerberReader r = readerOf(
      "%ADD10C,0.020X0.008*%%ADD11O,0.030X0.016X0.008*%%ADD12P,0.030X6X0X0.008*%"
      "%ADD13C,0.020X0.008X0.004*%%ADD14R,0.020X0.016X0.006*%%ADD15P,0.030X6X0X0.008X0.006*%");
  for (int d : {10, 11, 12, 13, 14, 15}) {
    ShapeRasterizer shapes(r.Apertures, kDpi);  // the clear flash reuses the stamp
    BandBitmap dark = flashed(shapes, d, 40, 40, 0.020, 0.020, kBlack,
                              [](Canvas& c) { c.fillRect(18, 18, 22, 22); });
    EXPECT_FALSE(dark.isBackground(20, 20)) << "D" << d << ": exposure shows through the hole";
    EXPECT_FALSE(dark.isBackground(20, 12)) << "D" << d;
    BandBitmap clear = flashed(shapes, d, 40, 40, 0.020, 0.020, kWhite,
                               [](Canvas& c) { c.fillRect(0, 0, 40, 40); });
    EXPECT_FALSE(clear.isBackground(20, 20)) << "D" << d << ": a clear flash leaves its hole";
    EXPECT_TRUE(clear.isBackground(20, 12)) << "D" << d << ": and clears its shape";
    EXPECT_FALSE(clear.isBackground(1, 1)) << "D" << d;
  }
}

// Gerber standard, polygon aperture: the first vertex lies at the rotation
// angle, counterclockwise from +X.
TEST(StandardApertureTest, PolygonVerticesStartAtTheRotationAngle) {
  GerberReader r = readerOf("%ADD10P,0.040X0*%%ADD11P,.040X4X45*%%ADD12P,0.040X300*%");
  ShapeRasterizer shapes(r.Apertures, kDpi);
  const auto& zero = shapes.prepare(10)->steps.at(0).points;
  ASSERT_EQ(zero.size(), 32u);  // a vertex count of 0 draws 32
  EXPECT_EQ(std::tuple(zero[0], zero[8]), std::tuple(PixelPoint{20, 0}, PixelPoint{0, 20}));
  const auto& turned = shapes.prepare(11)->steps.at(0).points;
  ASSERT_EQ(turned.size(), 4u);
  EXPECT_EQ(turned[0], (PixelPoint{14, 14}));                      // 45 degrees
  EXPECT_EQ(shapes.prepare(12)->steps.at(0).points.size(), 255u);  // held in a byte
  EXPECT_EQ(shapes.measure(10), 40.0);
}

TEST(StandardApertureTest, ObroundEndsAndSizes) {
  GerberReader r = readerOf("%ADD10O,0.008X0.004*%%ADD11O,0.004X0.008*%%ADD12O,.011X.005*%");
  EXPECT_EQ(
      flashPicture(r.Apertures, 10, 10, 6, 5, 3),
      rows({"..........", "..######..", ".########.", ".########.", "..######..", ".........."}));
  EXPECT_EQ(flashPicture(r.Apertures, 11, 6, 10, 3, 5),
            rows({"......", "..##..", ".####.", ".####.", ".####.", ".####.", ".####.", ".####.",
                  "..##..", "......"}));
  ShapeRasterizer shapes(r.Apertures, kDpi);
  EXPECT_EQ(shapes.measure(10), 8.0);
  EXPECT_EQ(shapes.measure(12), 12.0);  // h1 = round(5.5) = 6, halves to even
}

TEST(MacroApertureTest, CirclesLinesAndOutlinesAgainstPictures) {
  GerberReader r = readerOf(
      "%MOIN*%%AMCIRCLE*1,1,0.006,0.002,0*%%AMVECTOR*20,1,0.004,0,0,0.006,0*%"
      "%AMCENTRE*21,1,0.006,0.004,0,0,0*%%AMLOWERLEFT*22,1,0.006,0.004,-0.003,-0.002,0*%"
      "%AMOUTLINE*4,1,4,-0.003,-0.002,0.003,-0.002,0.003,0.002,-0.003,0.002,-0.003,-0.002,0*%"
      "%AMTURNED*4,1,4,-0.003,-0.002,0.003,-0.002,0.003,0.002,-0.003,0.002,-0.003,-0.002,90*%"
      "%AMDIAMOND*5,1,4,0,0,0.008,0*%%ADD10CIRCLE*%%ADD11VECTOR*%%ADD12CENTRE*%"
      "%ADD13LOWERLEFT*%%ADD14OUTLINE*%%ADD15TURNED*%%ADD16DIAMOND*%");
  // Diameter 6 at (2, 0) from the centre (4, 4).
  EXPECT_EQ(flashPicture(r.Apertures, 10, 10, 8, 4, 4),
            rows({"..........", "....####..", "...######.", "...######.", "...######.",
                  "...######.", "....####..", ".........."}));
  // Width 4 from (0, 0) to (6, 0): corners at pixel centres, outline included.
  EXPECT_EQ(flashPicture(r.Apertures, 11, 10, 7, 2, 3),
            rows({"..........", "..#######.", "..#######.", "..#######.", "..#######.",
                  "..#######.", ".........."}));
  const std::string rectangle = rows({"..........", ".#######..", ".#######..", ".#######..",
                                      ".#######..", ".#######..", ".........."});
  for (int d : {12, 13, 14}) EXPECT_EQ(flashPicture(r.Apertures, d, 10, 7, 4, 3), rectangle) << d;
  // Turned a quarter about the macro origin: 5 wide, 7 tall.
  EXPECT_EQ(flashPicture(r.Apertures, 15, 7, 9, 3, 4),
            rows({".......", ".#####.", ".#####.", ".#####.", ".#####.", ".#####.", ".#####.",
                  ".#####.", "......."}));
  // A square of diameter 8 with its first vertex at 0 degrees.
  EXPECT_EQ(flashPicture(r.Apertures, 16, 11, 11, 5, 5),
            rows({"...........", ".....#.....", "....###....", "...#####...", "..#######..",
                  ".#########.", "..#######..", "...#####...", "....###....", ".....#.....",
                  "..........."}));
}

// Gerber standard, macro primitives: a rotation turns the primitive about
// the macro's origin (the polygon, centre line and lower-left line too), and
// the outline's last point closes it.
TEST(MacroApertureTest, RotationIsAboutTheMacroOriginAndOutlinesCloseThroughTheirLastPoint) {
  GerberReader r = readerOf(
      "%MOIN*%%AMPOLY*5,1,4,0.010,0,0.006,90*%%AMCENTRE*21,1,0.004,0.004,0.010,0,90*%"
      "%AMLOWERLEFT*22,1,0.004,0.004,0.008,-0.002,90*%"
      "%AMSQUARE*4,1,3,0,0,0.006,0,0.006,0.006,0,0.006,0*%"
      "%ADD10POLY*%%ADD11CENTRE*%%ADD12LOWERLEFT*%%ADD13SQUARE*%");
  // Each sits 10 to the right and, turned a quarter, lands 10 below (y grows downwards).
  for (int d : {10, 11, 12}) {
    const std::string picture = flashPicture(r.Apertures, d, 30, 30, 15, 15);
    EXPECT_EQ(picture[static_cast<size_t>(25 * 31 + 15)], '#') << "D" << d << "\n" << picture;
    EXPECT_EQ(picture[static_cast<size_t>(15 * 31 + 25)], '.') << "D" << d;
  }
  // Three sides and the closing point (0, 0.006): the square, not a triangle.
  EXPECT_EQ(flashPicture(r.Apertures, 13, 10, 10, 2, 2),
            rows({"..........", "..........", "..#######.", "..#######.", "..#######.",
                  "..#######.", "..#######.", "..#######.", "..#######.", ".........."}));
}

TEST(MacroApertureTest, ExposureOffClearsEarlierPrimitivesInsideTheStamp) {
  GerberReader r = readerOf(
      "%AMDONUT*1,1,0.010,0,0*1,0,0.004,0,0*%"
      "%AMTOGGLE*1,1,0.010,0,0*1,2,0.004,0,0*1,2,0.002,0,0*%%ADD10DONUT*%%ADD11TOGGLE*%");
  ShapeRasterizer shapes(r.Apertures, kDpi);
  BandBitmap donut = flashed(shapes, 10, 20, 20, 0.010, 0.010);
  BandBitmap under = flashed(shapes, 10, 20, 20, 0.010, 0.010, kBlack,
                             [](Canvas& c) { c.fillRect(9, 9, 11, 11); });
  BandBitmap toggled = flashed(shapes, 11, 20, 20, 0.010, 0.010);
  EXPECT_TRUE(donut.isBackground(10, 10));
  EXPECT_FALSE(donut.isBackground(10, 6));
  EXPECT_FALSE(under.isBackground(10, 10));  // the cleared circle is see-through
  // 2 toggles off (clears radius 2), the second 2 toggles on (radius 1 again).
  EXPECT_FALSE(toggled.isBackground(10, 10));
  EXPECT_TRUE(toggled.isBackground(10, 8));
  EXPECT_FALSE(toggled.isBackground(10, 6));
}

TEST(MacroApertureTest, ThermalRingWithFourGaps) {
  // Outer 16, inner 8, gap 2: a ring from radius 4 to 8 about the centre's
  // corner, cut along both axes; the centre is background.
  GerberReader r = readerOf("%AMTHERMAL*7,0,0,0.016,0.008,0.002,0*%%ADD10THERMAL*%");
  ShapeRasterizer shapes(r.Apertures, kDpi);
  BandBitmap band(24, 24);
  Canvas canvas(band);
  canvas.fillRect(10, 10, 14, 14);  // beneath the centre: the thermal's inside is see-through
  EXPECT_EQ(shapes.flash(canvas, 10, 0.012, 0.012, kBlack), 16.0);
  EXPECT_FALSE(band.isBackground(12, 12));
  for (auto [x, y] : {std::pair{12 + 6, 12}, {12, 12 + 6}, {11 - 6, 11}, {11, 11 - 6}}) {
    EXPECT_TRUE(band.isBackground(x, y)) << "gap at " << x << "," << y;
  }
  for (auto [x, y] :
       {std::pair{12 + 4, 12 + 4}, {11 - 4, 12 + 4}, {11 - 4, 11 - 4}, {12 + 4, 11 - 4}}) {
    EXPECT_FALSE(band.isBackground(x, y)) << "ring at " << x << "," << y;
  }
  EXPECT_TRUE(band.isBackground(12 + 9, 12 + 9));  // outside
  // Rotated by 45 degrees the gaps move to the diagonals.
  GerberReader turned = readerOf("%AMTHERMAL*7,0,0,0.016,0.008,0.002,45*%%ADD10THERMAL*%");
  ShapeRasterizer turnedShapes(turned.Apertures, kDpi);
  BandBitmap t = flashed(turnedShapes, 10, 24, 24, 0.012, 0.012);
  EXPECT_FALSE(t.isBackground(12 + 6, 12));
  EXPECT_TRUE(t.isBackground(12 + 4, 12 + 4));
}

TEST(MacroApertureTest, MoireRingsAndCrossHair) {
  // Outer 20, thickness 2, gap 2, two rings, cross hair 24 long and thinner than a pixel.
  GerberReader r = readerOf("%AMMOIRE*6,0,0,0.020,0.002,0.002,2,0.0002,0.024,0*%%ADD10MOIRE*%");
  ShapeRasterizer shapes(r.Apertures, kDpi);
  BandBitmap band = flashed(shapes, 10, 32, 32, 0.016, 0.016);
  auto at = [&](double radius, double degrees) {
    double t = degrees / 180 * std::numbers::pi;
    return band.isBackground(16 + static_cast<int64_t>(std::floor(radius * std::cos(t))),
                             16 + static_cast<int64_t>(std::floor(radius * std::sin(t))));
  };
  EXPECT_FALSE(at(9, 45));                       // outer ring, radius 8 to 10
  EXPECT_TRUE(at(7, 45));                        // gap
  EXPECT_FALSE(at(5, 45));                       // inner ring, radius 4 to 6
  EXPECT_TRUE(at(2.5, 45));                      // inside
  EXPECT_TRUE(at(12, 45));                       // outside
  EXPECT_FALSE(band.isBackground(16 + 11, 16));  // cross hair, 24 long
  EXPECT_FALSE(band.isBackground(16, 16 - 12));
  EXPECT_TRUE(band.isBackground(16 + 13, 16));
  // Three rings asked, but the third would have no diameter left.
  GerberReader few = readerOf("%AMM*6,0,0,0.010,0.002,0.002,9,0,0,0*%%ADD10M*%");
  ShapeRasterizer fewShapes(few.Apertures, kDpi);
  EXPECT_EQ(fewShapes.prepare(10)->steps.size(), 2u);
}

TEST(MacroApertureTest, SizeIsTheLargerSideOfWhatIsExposed) {
  GerberReader r = readerOf(
      "%AMPAIR*1,1,0.010,-0.010,0*1,1,0.010,0.010,0*%%AMEMPTY*0 nothing here*%"
      "%ADD10PAIR*%%ADD11EMPTY*%");
  ShapeRasterizer shapes(r.Apertures, kDpi);
  EXPECT_EQ(std::tuple(shapes.measure(10), shapes.measure(11)), std::tuple(30.0, 0.0));
  EXPECT_EQ(test::exposedCount(flashed(shapes, 11, 8, 8, 0.004, 0.004)), 0);
}

TEST(ApertureStampTest, KeptByTheCacheOrDrawnRowByRowWhenTooLarge) {
  // Half an inch at 1000 dpi: far beyond any fixed stamp, never cut.
  GerberReader r =
      readerOf("%AMBIGHOLE*1,1,0.500,0,0*1,0,0.100,0,0*%%ADD10BIGHOLE*%%ADD11C,0.5X0.1*%");
  BandBitmap direct(600, 600);
  Canvas directCanvas(direct);
  directCanvas.fillEllipse(50, 50, 550, 550);
  directCanvas.setColor(kWhite);
  directCanvas.fillEllipse(250, 250, 350, 350);
  // One cache for two rasterizers: the same stamp is built once.
  StampCache shared(uint64_t{1} << 20);
  ShapeRasterizer a(r.Apertures, kDpi, &shared), b(r.Apertures, kDpi, &shared);
  BandBitmap stamped(600, 600);
  Canvas stampedCanvas(stamped);
  a.flash(stampedCanvas, 10, 0.3, 0.3, kBlack);
  b.flash(stampedCanvas, 10, 0.3, 0.3, kBlack);
  EXPECT_EQ(test::picture(stamped), test::picture(direct));
  EXPECT_EQ(shared.built(), 1u);
  EXPECT_EQ(a.prepare(10), a.prepare(10));
  // A cache too small for it, or bands far shorter than it: drawn in the
  // rows of each band only, the same pixels.
  for (uint64_t capacity : {uint64_t{1000}, uint64_t{1} << 20}) {
    StampCache cache(capacity);
    ShapeRasterizer limited(r.Apertures, kDpi, &cache);
    const std::vector<uint8_t> banded = test::drawInBands(
        600, 600, {64}, [&](Canvas& c) { limited.flash(c, 11, 0.3, 0.3, kBlack); });
    EXPECT_TRUE(std::ranges::equal(banded, direct.bytes()));
    EXPECT_EQ(cache.built(), 0u) << capacity;
  }
}

TEST(FileApertureTest, ShapesDrawAsTheirStandardEquivalents) {
  GerberReader standard =
      readerOf("%ADD10C,0.010*%%ADD11R,0.012X0.012*%%ADD12R,0.050X0.020*%%ADD13O,0.030X0.014*%");
  ApertureTable file;
  auto define = [&file](auto... args) { test::defineFileAperture(file, args...); };
  define(10, ApertureShape::Round, 0.010, 0.010);
  define(11, ApertureShape::Square, 0.012, 0.012);
  define(12, ApertureShape::Rectangle, 0.050, 0.020);
  define(13, ApertureShape::Oblong, 0.030, 0.014);
  define(14, ApertureShape::Octagon, 0.020, 0);
  define(15, ApertureShape::Thermal, 0.040, 0.020);
  define(16, ApertureShape::Target, 0.040, 0);
  define(17, ApertureShape::Custom, 0.040, 0.040);
  for (int d : {10, 11, 12, 13}) {
    EXPECT_EQ(flashPicture(file, d, 64, 40, 30, 20),
              flashPicture(standard.Apertures, d, 64, 40, 30, 20))
        << "D" << d;
  }
  ShapeRasterizer shapes(file, kDpi);
  // Octagon 20 across the flats, flats along the axes.
  const auto& octagon = shapes.prepare(14)->steps.at(0).points;
  ASSERT_EQ(octagon.size(), 8u);
  int onFlats = 0;
  for (PixelPoint p : octagon) onFlats += std::abs(p.x) == 10 || std::abs(p.y) == 10;
  EXPECT_EQ(onFlats, 8);
  // Thermal: ring from radius 10 to 20, gaps 10 wide along the axes.
  BandBitmap thermal(64, 64);
  Canvas thermalCanvas(thermal);
  EXPECT_EQ(shapes.flash(thermalCanvas, 15, 0.032, 0.032, kBlack), 40.0);
  EXPECT_TRUE(thermal.isBackground(32 + 15, 32));
  EXPECT_TRUE(thermal.isBackground(32 + 15, 32 + 4));
  EXPECT_FALSE(thermal.isBackground(32 + 11, 32 + 11));
  EXPECT_TRUE(thermal.isBackground(32, 32));
  // Target: ring of diameter 40 and a cross, both 4 wide.
  BandBitmap target = flashed(shapes, 16, 64, 64, 0.032, 0.032);
  EXPECT_FALSE(target.isBackground(32 + 13, 32 + 13));  // ring, radius 16 to 20
  EXPECT_TRUE(target.isBackground(32 + 8, 32 + 8));
  EXPECT_FALSE(target.isBackground(32, 32));
  EXPECT_FALSE(target.isBackground(32 + 19, 32));
  // Custom draws nothing.
  BandBitmap custom(64, 64);
  Canvas customCanvas(custom);
  EXPECT_EQ(shapes.flash(customCanvas, 17, 0.032, 0.032, kBlack), 0.0);
  EXPECT_EQ(test::exposedCount(custom), 0);
}

TEST(LayerRendererTest, CallingOrderFileAndApertureHook) {
  auto path = test::tempDir() / "layer.gbr";
  test::writeFile(path, "%FSLAX24Y24*%%MOMM*%%ADD10C,0.254*%%ADD11C,0.254*%X0Y0D03*M02*");
  LayerRenderer renderer;
  EXPECT_THROW(renderer.loadAndPrescan(), std::logic_error);
  renderer.setFileName(path.string());
  renderer.loadAndPrescan();
  EXPECT_THROW(renderer.shapes(kDpi), std::logic_error);
  renderer.readApertures([](ApertureTable& apertures) {  // the aperture file replaces D11
    test::defineFileAperture(apertures, 11, ApertureShape::Square, 0.020, 0.020);
  });
  renderer.makeStamps();
  ShapeRasterizer& shapes = renderer.shapes(kDpi);
  EXPECT_EQ(&shapes, &renderer.shapes(kDpi));
  EXPECT_NE(&shapes, &renderer.shapes(2 * kDpi));
  EXPECT_EQ(shapes.measure(10), 10.0);  // 0.254 mm is 0.01 inch
  EXPECT_EQ(shapes.measure(11), 20.0);
  EXPECT_THROW(renderer.makeStamps(), std::logic_error);

  LayerRenderer named;
  named.setFileName(std::string(300, 'a'));
  EXPECT_EQ(named.reader().FileName.size(), LayerRenderer::kMaxFileNameLength);
  EXPECT_THROW(named.loadAndPrescan(), IoError);
}

}  // namespace
}  // namespace drumplot
