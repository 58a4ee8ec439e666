// SPDX-License-Identifier: MIT
// Helpers of the raster tests: pictures of small bitmaps, band splits, and
// random scenes of every primitive and aperture.
#pragma once

#include <algorithm>
#include <cmath>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "engine/aperture.h"
#include "engine/band_bitmap.h"
#include "engine/canvas.h"
#include "engine/gerber_reader.h"
#include "engine/shape_rasterizer.h"

namespace drumplot::test {

// One line per row, "#" for exposure and "." for background.
inline std::string picture(const BandBitmap& band) {
  std::string s;
  for (int64_t y = 0; y < band.rows(); ++y) {
    for (int64_t x = 0; x < band.width_px(); ++x) s += band.isBackground(x, y) ? '.' : '#';
    s += '\n';
  }
  return s;
}

// The picture of a whole image `width` x `height` whose origin is at
// image point (left, top), drawn by `draw`.
inline std::string drawPicture(int64_t width, int64_t height, int64_t left, int64_t top,
                               const std::function<void(Canvas&)>& draw) {
  BandBitmap band(width, height);
  Canvas canvas(band);
  canvas.setWindowOrigin(left, top);
  draw(canvas);
  return picture(band);
}

// Joins rows of a hand-drawn picture.
inline std::string rows(std::initializer_list<const char*> lines) {
  std::string s;
  for (const char* line : lines) s += std::string(line) + '\n';
  return s;
}

// Exposed pixels of a band.
inline int64_t exposedCount(const BandBitmap& band) {
  return std::ranges::count(picture(band), '#');
}

// Defines D`d` as an aperture-file aperture of `shape` and sizes x, y (inches).
inline void defineFileAperture(ApertureTable& table, int d, ApertureShape shape, double x,
                               double y) {
  Aperture& a = table.define(d);
  a.Defined = 1;
  a.Kind = ApertureKind::File;
  a.Shape = shape;
  a.SizeX = x;
  a.SizeY = y;
}

// Draws an image of `width` x `height` pixels band by band, each band of the
// next of `bandRows` rows (the last one repeated) a fresh canvas over its own
// bitmap, and returns the bands' bytes one after the other.
inline std::vector<uint8_t> drawInBands(int64_t width, int64_t height,
                                        const std::vector<int64_t>& bandRows,
                                        const std::function<void(Canvas&)>& draw) {
  std::vector<uint8_t> bytes;
  size_t next = 0;
  for (int64_t top = 0; top < height;) {
    int64_t rows = std::min(bandRows[std::min(next++, bandRows.size() - 1)], height - top);
    BandBitmap band(width, rows, top);
    Canvas canvas(band);
    draw(canvas);
    bytes.insert(bytes.end(), band.bytes().begin(), band.bytes().end());
    top += rows;
  }
  return bytes;
}

// Apertures of every kind, shape, hole and macro primitive, with rotations.
inline GerberReader allApertures() {
  GerberReader reader;
  reader.FileName = "all.gbr";
  reader.loadBytes(
      "%MOIN*%%AMC1*1,1,0.012,0.004,-0.003,30*%"
      "%AMV20*20,1,0.004,-0.010,-0.006,0.009,0.007,15*2,0,0.002,-0.010,0.006,0.010,-0.006,0*%"
      "%AMR21*21,1,0.020,0.006,0.001,0.002,33*%%AMR22*22,1,0.016,0.005,-0.004,-0.003,-20*%"
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
      "%ADD22P,0.030X6X0X0.008X0.004*%%ADD30C1*%%ADD31V20*%%ADD32R21*%%ADD33R22*%%ADD34OUT*%"
      "%ADD35POLY*%%ADD36MOIRE*%%ADD37THERM*%%ADD38MIX*%");
  reader.computeExtents();
  reader.parseDefinitions();
  auto define = [&reader](auto... args) { defineFileAperture(reader.Apertures, args...); };
  define(50, ApertureShape::Round, 0.015, 0.015);
  define(51, ApertureShape::Square, 0.012, 0.012);
  define(52, ApertureShape::Octagon, 0.020, 0);
  define(53, ApertureShape::Thermal, 0.030, 0.018);
  define(54, ApertureShape::Target, 0.028, 0);
  return reader;
}

using SceneStep = std::function<void(Canvas&, ShapeRasterizer&)>;

// A random scene of `count` steps for an image `width` pixels wide: every
// canvas primitive and flashes of `dCodes` at `dpi`, partly outside the
// image, in both colours; polygons of a few random points and stars of up
// to 300 points, large enough to be replayed by their segments.
inline std::vector<SceneStep> randomScene(uint32_t seed, int count, int64_t width,
                                          const std::vector<int>& dCodes, double dpi) {
  std::mt19937 random(seed);
  auto coordinate = [&] { return static_cast<int64_t>(random() % (width + 80)) - 40; };
  auto colour = [&] { return random() % 4 == 0 ? kWhite : kBlack; };
  std::vector<SceneStep> steps;
  for (int i = 0; i < count; ++i) {
    const int64_t x1 = coordinate(), y1 = coordinate(), x2 = coordinate(), y2 = coordinate();
    const int64_t x3 = coordinate(), y3 = coordinate();
    const int64_t w = static_cast<int64_t>(random() % 14);
    const Rgb pen = colour(), brush = colour();
    // Each step sets the pen and brush before it draws.
    auto add = [&](std::function<void(Canvas&)> draw) {
      steps.push_back([=](Canvas& c, ShapeRasterizer&) {
        c.setPenColor(pen);
        c.setBrushColor(brush);
        c.setPenWidth(w);
        draw(c);
      });
    };
    std::vector<PixelPoint> points;
    switch (random() % 11) {
      case 0:
        add([=](Canvas& c) { c.fillRect(x1, y1, x2, y2); });
        break;
      case 1:
        add([=](Canvas& c) { c.fillEllipse(x1, y1, x2, y2); });
        break;
      case 2: {
        // Circles half the time: their outlines take the exact ring path.
        const int64_t bottom = random() % 2 ? y1 + (x2 - x1) : y2;
        add([=](Canvas& c) { c.ellipse(x1, y1, x2, bottom); });
        break;
      }
      case 3:
      case 4:
        if (random() % 2) {
          for (int k = 3 + static_cast<int>(random() % 10); k > 0; --k)
            points.push_back({coordinate(), coordinate()});
        } else {
          const int n = 3 + static_cast<int>(random() % 300);
          for (int k = 0; k < n; ++k) {
            const double r = static_cast<double>(10 + random() % 120);
            const double a = 2 * 3.14159265358979 * k / n;
            points.push_back(
                {x1 + std::lround(r * std::cos(a)), y1 + std::lround(r * std::sin(a))});
          }
        }
        add([=](Canvas& c) { c.fillPolygon(points); });
        break;
      case 5:
      case 6:  // the second line from where the first ended
        add([=](Canvas& c) { c.moveTo(x1, y1), c.lineTo(x2, y2), c.lineTo(y1, x2); });
        break;
      case 7:
        add([=](Canvas& c) { c.arc(x1, y1, x2, y2, x3, y3, x1, y2); });
        break;
      case 8:
        add([=](Canvas& c) { c.setPixel(x1, y1, pen); });
        break;
      default: {
        const int d = dCodes[random() % dCodes.size()];
        const double x = static_cast<double>(x1) / dpi, y = static_cast<double>(y1) / dpi;
        steps.push_back([=](Canvas& c, ShapeRasterizer& shapes) { shapes.flash(c, d, x, y, pen); });
        break;
      }
    }
  }
  return steps;
}

}  // namespace drumplot::test
