// SPDX-License-Identifier: MIT
// The 1-bit band layout, the span filler and the band geometry; the canvas
// primitives against the pixel rules, drawn by hand where small.
#include "engine/canvas.h"

#include <gtest/gtest.h>

#include <numeric>
#include <random>

#include "engine/band_bitmap.h"
#include "engine/band_geometry.h"
#include "engine/errors.h"
#include "engine/span_fill.h"
#include "raster_test_support.h"
#include "support/test_support.h"

namespace drumplot {
namespace {

using test::drawPicture;
using test::rows;

TEST(CanvasTest, RectanglesAndEllipsesFillTheirBoxWithExclusiveRightAndBottom) {
  // A box from X - h to X + h covers 2h pixels; corners may come in any order.
  EXPECT_EQ(drawPicture(8, 4, 0, 0, [](Canvas& c) { c.fillRect(6, 3, 2, 1); }),
            rows({"........", "..####..", "..####..", "........"}));
  EXPECT_EQ(drawPicture(6, 4, 0, 0, [](Canvas& c) { c.fillEllipse(0, 0, 4, 4); }),
            rows({".##...", "####..", "####..", ".##..."}));
  EXPECT_EQ(drawPicture(6, 4, 0, 0, [](Canvas& c) { c.fillEllipse(0, 0, 6, 4); }),
            rows({".####.", "######", "######", ".####."}));
  // Zero width or height draws nothing, nor does a polygon of one point repeated.
  EXPECT_EQ(drawPicture(4, 2, 0, 0,
                        [](Canvas& c) {
                          c.fillRect(1, 0, 1, 2);
                          c.fillEllipse(0, 1, 4, 1);
                          c.fillPolygon(std::vector<PixelPoint>{{1, 1}, {1, 1}, {1, 1}});
                        }),
            rows({"....", "...."}));
}

TEST(CanvasTest, WindowOriginAndClipPlaceAndCut) {
  // Image point (x, y) lands on surface pixel (x - 10, y - 20).
  EXPECT_EQ(drawPicture(4, 3, 10, 20,
                        [](Canvas& c) {
                          c.setPixel(11, 21, kBlack);
                          c.setPixel(3, 3, kBlack);  // outside
                        }),
            rows({"....", ".#..", "...."}));
  EXPECT_EQ(drawPicture(4, 3, 0, 0,
                        [](Canvas& c) {
                          c.setClipRect({1, 1, 3, 2});
                          c.fillRect(-5, -5, 50, 50);
                        }),
            rows({"....", ".##.", "...."}));
  // White draws background on a 1-bit surface.
  EXPECT_EQ(drawPicture(4, 1, 0, 0,
                        [](Canvas& c) {
                          c.fillRect(0, 0, 4, 1);
                          c.setBrushColor(kWhite);
                          c.fillRect(1, 0, 3, 1);
                        }),
            rows({"#..#"}));
}

TEST(CanvasTest, ThinLinesLeaveOutTheEndPixel) {
  // A cross from (x - 3, y) to (x + 4, y) is 7 pixels.
  EXPECT_EQ(drawPicture(9, 9, 0, 0,
                        [](Canvas& c) {
                          c.setPenWidth(1);
                          c.moveTo(1, 4);
                          c.lineTo(8, 4);
                          c.moveTo(4, 1);
                          c.lineTo(4, 8);
                        }),
            rows({".........", "....#....", "....#....", "....#....", ".#######.", "....#....",
                  "....#....", "....#....", "........."}));
  EXPECT_EQ(drawPicture(6, 3, 0, 0,
                        [](Canvas& c) {
                          c.setPenWidth(0);
                          c.moveTo(0, 0);
                          c.lineTo(6, 3);
                          EXPECT_EQ(c.position(), (PixelPoint{6, 3}));
                        }),
            rows({"#.....", ".##...", "...##."}));
}

// Pixel k of a line: the closed form the filler steps through, one pixel at a time.
std::vector<PixelPoint> referenceLine(PixelPoint a, PixelPoint b) {
  std::vector<PixelPoint> pixels;
  int64_t dx = b.x - a.x, dy = b.y - a.y;
  int64_t n = std::max(std::abs(dx), std::abs(dy));
  for (int64_t k = 0; k < n; ++k) {
    int64_t minor = (2 * k * std::min(std::abs(dx), std::abs(dy)) + n) / (2 * n);
    if (std::abs(dx) >= std::abs(dy)) {
      pixels.push_back({a.x + (dx < 0 ? -k : k), a.y + (dy < 0 ? -minor : minor)});
    } else {
      pixels.push_back({a.x + (dx < 0 ? -minor : minor), a.y + (dy < 0 ? -k : k)});
    }
  }
  return pixels;
}

TEST(CanvasTest, ClippedThinLinesKeepEveryVisiblePixel) {
  std::mt19937 random(11);
  std::uniform_int_distribution<int64_t> far(-3000, 3000), nearX(-13, 50), nearY(7, 46);
  for (int round = 0; round < 600; ++round) {
    PixelPoint a{far(random), far(random)}, b{far(random), far(random)};
    if (round % 3 == 0) b.y = a.y + far(random) / 100;  // nearly horizontal
    if (round % 3 == 1) a = {nearX(random), nearY(random)}, b = {nearX(random), nearY(random)};
    BandBitmap band(64, 40, 7);
    Canvas canvas(band);
    canvas.setWindowOrigin(-13, 7);
    canvas.setPenWidth(1);
    canvas.moveTo(a.x, a.y);
    canvas.lineTo(b.x, b.y);
    BandBitmap expected(64, 40, 7);
    for (PixelPoint p : referenceLine(a, b)) {
      int64_t x = p.x + 13, y = p.y - 7;
      if (x >= 0 && x < 64 && y >= 0 && y < 40) {
        fillSpan<ExposeOp>(expected.rowWords(y), x, x + 1);
      }
    }
    ASSERT_EQ(test::picture(band), test::picture(expected))
        << "line " << a.x << "," << a.y << " to " << b.x << "," << b.y;
  }
}

// Straight strokes and round flashes against their pixel rules, decided in
// whole numbers: a stroke of width w sets the pixels whose centres lie within
// w / 2 of its path (doubled coordinates: path points at 2p, +1 for odd
// widths, centres at 2i + 1), a filled ellipse those whose centres lie
// inside it. Each is drawn in a band with a few rows cut off above and
// below, and many shapes share their size, as a board's tracks and pads do.
TEST(CanvasTest, StraightStrokesAndFilledEllipsesSetExactlyTheirPixels) {
  std::mt19937 random(23);
  std::uniform_int_distribution<int64_t> place(-10, 70), width(2, 17);
  constexpr int64_t kSide = 64, kTop = 5, kRows = 50;
  // Strokes in every direction, a third of them horizontal and a third
  // vertical, long enough for rows that only the sides bound; pixels exactly
  // at w / 2 from a side are left to rounding.
  std::uniform_int_distribution<int64_t> anywhere(-20, 90), length(-20, 20);
  for (int round = 0; round < 600; ++round) {
    BandBitmap band(kSide, kRows, kTop);
    Canvas canvas(band);
    const int64_t w = width(random);
    const int64_t ax = anywhere(random), ay = anywhere(random);
    int64_t bx = anywhere(random), by = anywhere(random);
    if (round % 3 == 1) by = ay, bx = ax + length(random);
    if (round % 3 == 2) bx = ax, by = ay + length(random);
    canvas.setPenWidth(w);
    canvas.moveTo(ax, ay);
    canvas.lineTo(bx, by);
    const int64_t odd = w % 2;
    const int64_t px = 2 * ax + odd, py = 2 * ay + odd, qx = 2 * bx + odd, qy = 2 * by + odd;
    const int64_t dx = qx - px, dy = qy - py, len2 = dx * dx + dy * dy;
    for (int64_t j = kTop; j < kTop + kRows; ++j) {
      for (int64_t i = 0; i < kSide; ++i) {
        const int64_t ex = 2 * i + 1 - px, ey = 2 * j + 1 - py;
        const int64_t along = ex * dx + ey * dy;
        bool inside = false;
        if (len2 == 0 || along <= 0) {
          inside = ex * ex + ey * ey <= w * w;
        } else if (along >= len2) {
          const int64_t fx = 2 * i + 1 - qx, fy = 2 * j + 1 - qy;
          inside = fx * fx + fy * fy <= w * w;
        } else {
          const int64_t cross = ex * dy - ey * dx;
          if (cross * cross == w * w * len2) continue;  // on the side: a tie
          inside = cross * cross < w * w * len2;
        }
        EXPECT_EQ(!band.isBackground(i, j - kTop), inside)
            << "pixel " << i << "," << j << " of width " << w << " from " << ax << "," << ay
            << " to " << bx << "," << by;
      }
    }
    if (HasFailure()) return;
  }
  std::uniform_int_distribution<int64_t> size(1, 30);
  for (int round = 0; round < 200; ++round) {
    BandBitmap band(kSide, kRows, kTop), expected(kSide, kRows, kTop);
    Canvas canvas(band);
    const int64_t w = 1 + round % 30, h = size(random);
    for (int k = 0; k < 3; ++k) {
      const int64_t x1 = place(random) - 20, y1 = place(random) - 10;
      canvas.fillEllipse(x1, y1, x1 + w, y1 + h);
      for (int64_t j = kTop; j < kTop + kRows; ++j) {
        for (int64_t i = 0; i < kSide; ++i) {
          const int64_t xx = 2 * i + 1 - (2 * x1 + w), yy = 2 * j + 1 - (2 * y1 + h);
          if (xx * xx * h * h + yy * yy * w * w <= w * w * h * h) {
            fillSpan<ExposeOp>(expected.rowWords(j - kTop), i, i + 1);
          }
        }
      }
    }
    ASSERT_EQ(test::picture(band), test::picture(expected)) << "box " << w << " x " << h;
  }
}

TEST(CanvasTest, PolygonsFillEvenOddWithTheirOutline) {
  // Vertices at pixel centres: a square from 0 to 4 covers 5 x 5 pixels.
  const std::vector<PixelPoint> square{{0, 0}, {4, 0}, {4, 4}, {0, 4}};
  EXPECT_EQ(drawPicture(6, 6, 0, 0, [&](Canvas& c) { c.fillPolygon(square); }),
            rows({"#####.", "#####.", "#####.", "#####.", "#####.", "......"}));
  // A pentagram: the inner pentagon is crossed twice and stays background.
  const std::vector<PixelPoint> star{{20, 0}, {32, 38}, {0, 14}, {40, 14}, {8, 38}};
  BandBitmap band(48, 40);
  Canvas canvas(band);
  canvas.fillPolygon(star);
  EXPECT_TRUE(band.isBackground(20, 22));  // centre
  EXPECT_FALSE(band.isBackground(20, 4));  // top point
  EXPECT_FALSE(band.isBackground(3, 15));  // left point
  // A polygon without area still shows its outline.
  EXPECT_EQ(drawPicture(6, 2, 0, 0,
                        [](Canvas& c) {
                          c.fillPolygon(std::vector<PixelPoint>{{1, 0}, {4, 0}});
                        }),
            rows({".####.", "......"}));
  // Outline in the pen colour, inside in the brush colour.
  EXPECT_EQ(drawPicture(6, 6, 0, 0,
                        [&](Canvas& c) {
                          c.fillRect(0, 0, 6, 6);
                          c.setBrushColor(kWhite);
                          c.fillPolygon(square);
                        }),
            rows({"######", "#...##", "#...##", "#...##", "######", "######"}));
}

// Region arcs at low resolutions give runs of equal points; they draw
// exactly what the polygon without the repeats draws, outline included.
TEST(CanvasTest, RepeatedPolygonPointsChangeNothing) {
  std::mt19937 random(31);
  std::uniform_int_distribution<int64_t> coordinate(-5, 45);
  for (int round = 0; round < 200; ++round) {
    std::vector<PixelPoint> plain, repeated;
    const int n = 3 + round % 9;
    for (int k = 0; k < n; ++k) {
      const PixelPoint p{coordinate(random), coordinate(random)};
      if (!plain.empty() && plain.back() == p) continue;
      plain.push_back(p);
      repeated.insert(repeated.end(), static_cast<size_t>(1 + round % 3), p);
    }
    if (round % 2 == 0) repeated.push_back(repeated.front());  // closed by hand
    // The plain polygon by the overload that takes its segments as given.
    std::vector<uint32_t> segments(plain.size());
    std::iota(segments.begin(), segments.end(), 0u);
    auto draw = [round, &segments](const std::vector<PixelPoint>& points, bool given) {
      BandBitmap band(48, 30, 6);
      Canvas canvas(band);
      canvas.fillRect(0, 20, 48, 36);  // some exposure for a clear polygon's outline to cut
      canvas.setBrushColor(round % 4 == 0 ? kWhite : kBlack);
      if (given) {
        canvas.fillPolygon(points, segments);
      } else {
        canvas.fillPolygon(points);
      }
      return test::picture(band);
    };
    ASSERT_EQ(draw(repeated, false), draw(plain, true)) << "round " << round;
  }
}

TEST(CanvasTest, ArcsRunCounterclockwiseOnTheCanvas) {
  auto quadrants = [](int64_t x3, int64_t y3, int64_t x4, int64_t y4) {
    BandBitmap band(41, 41);
    Canvas canvas(band);
    canvas.setPenWidth(3);
    canvas.arc(0, 0, 40, 40, x3, y3, x4, y4);
    // Exposure in the upper right, upper left, lower left, lower right quarters.
    std::string seen;
    for (auto [x0, y0] : {std::pair{24, 0}, {0, 0}, {0, 24}, {24, 24}}) {
      bool any = false;
      for (int64_t y = y0; y < y0 + 17; ++y) {
        for (int64_t x = x0; x < x0 + 17; ++x) any = any || !band.isBackground(x, y);
      }
      seen += any ? '#' : '.';
    }
    return seen;
  };
  // Y grows downwards: from the right radial up to the top one is the upper right quarter.
  EXPECT_EQ(quadrants(40, 20, 20, 0), "#...");
  EXPECT_EQ(quadrants(20, 0, 40, 20), ".###");
  EXPECT_EQ(quadrants(0, 20, 0, 20), "####");  // equal radials: the whole ellipse
  // The current position is not moved by an arc.
  BandBitmap band(8, 8);
  Canvas canvas(band);
  canvas.moveTo(3, 3);
  canvas.arc(0, 0, 8, 8, 8, 4, 4, 0);
  EXPECT_EQ(canvas.position(), (PixelPoint{3, 3}));
}

TEST(CanvasTest, EllipseWithPenAndBrushMakesARing) {
  // Over exposure: the brush clears the inside, the pen draws the ring.
  BandBitmap band(40, 40);
  Canvas canvas(band);
  canvas.fillRect(0, 0, 40, 40);
  canvas.setPenColor(kBlack);
  canvas.setBrushColor(kWhite);
  canvas.setPenWidth(6);
  canvas.ellipse(8, 8, 32, 32);  // radius 12 about (20, 20): ring from 9 to 15
  // A ring of even width w about a circle of radius m covers m - w/2 .. m + w/2:
  // the hole is columns 20..28 of the centre's row.
  EXPECT_EQ(test::picture(band).substr(20 * 41 + 20, 20),
            std::string(9, '.') + std::string(11, '#'));
  EXPECT_FALSE(band.isBackground(0, 0));  // outside: untouched
}

TEST(CanvasTest, FarCoordinatesAreClampedNotLooped) {
  BandBitmap band(64, 8);
  Canvas canvas(band);
  canvas.setPenWidth(1);
  canvas.moveTo(-1'000'000'000'000, 3);
  canvas.lineTo(1'000'000'000'000, 3);
  canvas.setPenWidth(5);
  canvas.moveTo(-4'000'000'000, -4'000'000'000);
  canvas.lineTo(4'000'000'000, 4'000'000'000);
  canvas.fillEllipse(-5'000'000'000, -5'000'000'000, 5'000'000'000, 5'000'000'000);
  canvas.arc(-5'000'000'000, -5'000'000'000, 5'000'000'000, 5'000'000'000, 0, 0, 1, 0);
  EXPECT_EQ(test::exposedCount(band), 64 * 8);
}

TEST(CanvasTest, StampTransferEqualsPixelByPixelCopy) {
  std::mt19937 random(5);
  for (int round = 0; round < 400; ++round) {
    const int64_t sw = 1 + random() % 200, sh = 1 + random() % 20;
    BandBitmap stamp(sw, sh);
    for (int64_t y = 0; y < sh; ++y) {
      for (int64_t x = 0; x < sw; ++x) {
        if (random() % 3 == 0) fillSpan<ExposeOp>(stamp.rowWords(y), x, x + 1);
      }
    }
    const Rgb colour = random() % 2 ? kBlack : kWhite;
    const int64_t left = static_cast<int64_t>(random() % 300) - 100;
    const int64_t top = static_cast<int64_t>(random() % 60) - 20 + 100;
    BandBitmap fast(224, 30, 100), slow(224, 30, 100);
    Canvas fastCanvas(fast), slowCanvas(slow);
    for (Canvas* c : {&fastCanvas, &slowCanvas}) {
      c->setWindowOrigin(-3, 100);
      c->setColor(kBlack);
      c->fillRect(10, 105, 60, 120);  // something beneath to keep or clear
    }
    fastCanvas.transferStamp(stamp, left, top, colour);
    for (int64_t y = 0; y < sh; ++y) {
      for (int64_t x = 0; x < sw; ++x) {
        if (!stamp.isBackground(x, y)) slowCanvas.setPixel(left + x, top + y, colour);
      }
    }
    ASSERT_EQ(test::picture(fast), test::picture(slow)) << "round " << round;
  }
}

TEST(CanvasTest, RgbSurfaceGetsTheSamePixelsInColour) {
  auto draw = [](Canvas& c) {
    c.setColor(0x336699);
    c.fillEllipse(3, 2, 29, 17);
    c.setPenWidth(4);
    c.moveTo(2, 18);
    c.lineTo(30, 3);
    c.fillPolygon(std::vector<PixelPoint>{{5, 5}, {25, 8}, {12, 19}});
    c.setColor(kWhite);
    c.fillRect(14, 6, 18, 12);
  };
  BandBitmap band(32, 20);
  RgbSurface rgb(32, 20);
  Canvas bandCanvas(band), rgbCanvas(rgb);
  draw(bandCanvas);
  draw(rgbCanvas);
  for (int64_t y = 0; y < 20; ++y) {
    for (int64_t x = 0; x < 32; ++x) {
      ASSERT_EQ(band.isBackground(x, y), rgb.pixel(x, y) == kWhite) << x << "," << y;
      ASSERT_TRUE(rgb.pixel(x, y) == kWhite || rgb.pixel(x, y) == 0x336699);
    }
  }
}

TEST(BandBitmapTest, FreshBandIsBackgroundWithMsbLeftmost) {
  BandBitmap band(64, 3, 96);
  EXPECT_EQ(std::tuple(band.bytesPerRow(), band.topRow()), std::tuple(8u, 96));
  for (uint8_t b : band.bytes()) ASSERT_EQ(b, 0xFF);

  // Pixel 0 is the top bit of byte 0; pixel 9 is bit 6 of byte 1.
  fillSpan<ExposeOp>(band.rowWords(1), 0, 1);
  fillSpan<ExposeOp>(band.rowWords(1), 9, 10);
  EXPECT_EQ(std::tuple(band.rowBytes(1)[0], band.rowBytes(1)[1]), std::tuple(0x7F, 0xBF));
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

// Runs moved by every shift modulo 8, long enough for the 16-byte steps,
// within one row and from one row to another: only the target's pixels
// change, to the source's.
TEST(SpanFillTest, CopiedPixelsAreTheSourcesAndNothingElseChanges) {
  std::mt19937 random(11);
  constexpr int64_t kWidth = 2048;
  std::vector<uint8_t> row(kWidth / 8), other(kWidth / 8);
  auto bit = [](const std::vector<uint8_t>& r, int64_t x) {
    return (r[x >> 3] >> (7 - (x & 7))) & 1;
  };
  for (int round = 0; round < 4000; ++round) {
    for (uint8_t& b : row) b = static_cast<uint8_t>(random());
    for (uint8_t& b : other) b = static_cast<uint8_t>(random());
    const bool sameRow = round % 2 == 0;
    const int64_t count =
        std::uniform_int_distribution<int64_t>(0, sameRow ? kWidth / 2 : kWidth)(random);
    int64_t from = std::uniform_int_distribution<int64_t>(0, kWidth - count)(random);
    int64_t to = std::uniform_int_distribution<int64_t>(0, kWidth - count)(random);
    if (sameRow) {
      // Two runs that do not overlap: one in each half, either way round.
      from = std::uniform_int_distribution<int64_t>(0, kWidth / 2 - count)(random);
      to = kWidth / 2 + std::uniform_int_distribution<int64_t>(0, kWidth / 2 - count)(random);
      if (round % 4 == 0) std::swap(from, to);
    }
    std::vector<uint8_t>& target = sameRow ? row : other;
    const std::vector<uint8_t> source = row, before = target;
    copyPixels(row.data(), from, target.data(), to, count);
    for (int64_t x = 0; x < kWidth; ++x) {
      const bool inside = x >= to && x < to + count;
      ASSERT_EQ(bit(target, x), inside ? bit(source, from + x - to) : bit(before, x))
          << "pixel " << x << " of a copy of " << count << " from " << from << " to " << to;
    }
  }
}

TEST(BandGeometryTest, BudgetAndRowsPerBand) {
  EXPECT_EQ(memoryBudgetBytes(32), 33554433u);
  // 10 inches at 2032 dpi: 2,540 bytes a row; 13,210 rows cut to 13,184.
  BandGeometry g = computeBandGeometry(memoryBudgetBytes(32), 20320, 13184 * 3);
  EXPECT_EQ(std::tuple(g.rowsPerBand, g.bandCount), std::tuple(13184, 3));
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
