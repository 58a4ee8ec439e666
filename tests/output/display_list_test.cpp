// SPDX-License-Identifier: MIT
// Display lists: scenes recorded once and drawn span by span, at several
// places, give the bits of the scenes drawn straight onto the whole image.
#include "output/display_list.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "engine/raster_test_support.h"
#include "output/covered_draws.h"

namespace drumplot {
namespace {

constexpr int64_t kWidth = 192;
constexpr int64_t kHeight = 170;
constexpr double kDpi = 2000.0;

using Step = test::SceneStep;

// A random scene of every primitive and aperture over the image.
std::vector<Step> randomScene(uint32_t seed, const GerberReader& reader) {
  return test::randomScene(seed, 50, kWidth, reader.Apertures.definedCodes(), kDpi);
}

// The image cut into pieces of 1 to 40 rows: their first rows.
std::vector<int64_t> randomSpanTops(std::mt19937& random) {
  std::vector<int64_t> tops{0};
  while (tops.back() < kHeight) {
    tops.push_back(tops.back() + 1 + static_cast<int64_t>(random() % 40));
  }
  tops.pop_back();
  return tops;
}

// Every pixel a recorded primitive draws lies in the bounds it was recorded
// with: a piece leaves out what later fills cover by those bounds.
TEST(DisplayListTest, RecordedBoundsHoldEveryPixelDrawn) {
  struct Checker final : CanvasRecorder {
    void record(const CanvasOp& op) override {
      BandBitmap alone(kWidth, kHeight);
      Canvas canvas(alone);
      alone.fill(kBlack);  // white primitives show too
      canvas.replay(op);
      BandBitmap white(kWidth, kHeight);
      Canvas other(white);
      other.replay(op);
      for (int64_t y = 0; y < kHeight; ++y) {
        for (int64_t x = 0; x < kWidth; ++x) {
          const bool inside =
              x >= op.bounds.x0 && x < op.bounds.x1 && y >= op.bounds.y0 && y < op.bounds.y1;
          if (!inside && (alone.isBackground(x, y) || !white.isBackground(x, y))) ++outside;
        }
      }
      ++ops;
    }
    int outside = 0, ops = 0;
  };
  GerberReader reader = test::allApertures();
  for (uint32_t seed = 1; seed <= 20; ++seed) {
    ShapeRasterizer shapes(reader.Apertures, kDpi);
    Checker checker;
    Canvas recording(checker, kWidth, kHeight);
    for (const Step& step : randomScene(seed, reader)) step(recording, shapes);
    EXPECT_GT(checker.ops, 0);
    EXPECT_EQ(checker.outside, 0) << "seed " << seed;
  }
}

// Films for drawSpan: wider than the scenes, which are drawn at random
// places across them, with pours and large round pads.
constexpr int64_t kFilmWidth = 704;

// A copper pour: a jagged outline around a large part of the film.
Step pour(std::mt19937& random) {
  std::vector<PixelPoint> points;
  auto jag = [&] { return static_cast<int64_t>(random() % 24); };
  const int64_t left = static_cast<int64_t>(random() % 300) - 10;
  const int64_t top = static_cast<int64_t>(random() % 80) - 10;
  const int64_t right = left + 70 + static_cast<int64_t>(random() % 500);
  const int64_t bottom = top + 40 + static_cast<int64_t>(random() % 120);
  for (int64_t x = left; x < right; x += 9) points.push_back({x, top + jag()});
  for (int64_t y = top; y < bottom; y += 11) points.push_back({right - jag(), y});
  for (int64_t x = right; x > left; x -= 13) points.push_back({x, bottom - jag()});
  for (int64_t y = bottom; y > top; y -= 7) points.push_back({left + jag(), y});
  const Rgb brush = random() % 4 == 0 ? kWhite : kBlack;
  const Rgb pen = random() % 2 == 0 ? kWhite : kBlack;
  return [=](Canvas& c, ShapeRasterizer&) {
    c.setPenColor(pen);
    c.setBrushColor(brush);
    c.fillPolygon(points);
  };
}

// A large filled circle or ellipse, of either colour.
Step roundPad(std::mt19937& random) {
  const int64_t x = static_cast<int64_t>(random() % 500) - 20,
                y = static_cast<int64_t>(random() % 150) - 20;
  const int64_t w = 64 + static_cast<int64_t>(random() % 400);
  const int64_t h = random() % 2 == 0 ? w : 20 + static_cast<int64_t>(random() % 200);
  const Rgb brush = random() % 3 == 0 ? kWhite : kBlack;
  return [=](Canvas& c, ShapeRasterizer&) {
    c.setBrushColor(brush);
    c.fillEllipse(x, y, x + w, y + h);
  };
}

// The step drawn `dx` pixels further right.
Step shifted(Step step, int64_t dx) {
  return [=](Canvas& c, ShapeRasterizer& shapes) {
    const PixelPoint origin = c.windowOrigin();
    c.setWindowOrigin(origin.x - dx, origin.y);
    step(c, shapes);
    c.setWindowOrigin(origin.x, origin.y);
  };
}

// Layers drawn onto one film: each span drawn by drawSpan onto a band with
// left-over pixels in its rows' drawn words must equal the layers drawn
// straight onto the whole image, whatever drawSpan leaves out as covered or
// already exposed, or draws only in part; and every word outside a row's
// drawn words is background after it.
TEST(DisplayListTest, DrawingSpansLeavesOutOnlyWhatChangesNoPixel) {
  GerberReader reader = test::allApertures();
  size_t leftOut = 0;
  for (uint32_t seed = 1; seed <= 40; ++seed) {
    ShapeRasterizer shapes(reader.Apertures, kDpi);
    std::mt19937 random(seed);
    // Three layers, each a random scene cut in three and spread across the
    // film, with pours and round pads between; a round pad comes again in
    // the next layer now and then, as a pad of copper and its mask opening.
    // Each layer ends with the board's outline.
    std::vector<std::vector<Step>> layers(3);
    const std::vector<Step> scene = randomScene(seed, reader);
    for (size_t i = 0; i < scene.size(); ++i) {
      const size_t l = i * 3 / scene.size();
      if (random() % 8 == 0) layers[l].push_back(pour(random));
      if (random() % 8 == 0) {
        const Step pad = roundPad(random);
        layers[l].push_back(pad);
        if (l + 1 < layers.size() && random() % 2 == 0) layers[l + 1].push_back(pad);
      }
      layers[l].push_back(
          shifted(scene[i], static_cast<int64_t>(random() % (kFilmWidth - kWidth))));
    }
    // The board's outline in every layer, now and then a pixel off, of
    // another width or as an arc.
    const bool arc = seed % 2 == 0;
    for (std::vector<Step>& layer : layers) {
      const int64_t off = random() % 3 == 0 ? 1 : 0, width = random() % 3 == 0 ? 3 : 2;
      layer.push_back([=](Canvas& c, ShapeRasterizer&) {
        c.setPenWidth(width);
        if (arc) {
          c.arc(40, -20, 640, 200, 640, 90, 40, 90 + 30 * off);
        } else {
          c.moveTo(20 + off, -5);
          c.lineTo(30, kHeight + 5);
        }
      });
    }
    // The first layer is drawn once more, as a copy of its board elsewhere.
    const int64_t copyX = static_cast<int64_t>(random() % 200) - 100;
    const int64_t copyY = static_cast<int64_t>(random() % 100) - 50;
    constexpr int64_t kRoom = 120;
    BandBitmap whole(kFilmWidth, kHeight);
    std::vector<DisplayList> lists(layers.size());
    {
      Canvas canvas(whole);
      for (size_t l = 0; l < layers.size(); ++l) {
        Canvas recording(lists[l], kFilmWidth + 2 * kRoom, kHeight + 2 * kRoom);
        recording.setWindowOrigin(-kRoom, -kRoom);
        for (const Step& step : layers[l]) {
          step(canvas, shapes);
          step(recording, shapes);
        }
      }
      canvas.setWindowOrigin(-copyX, -copyY);
      for (const Step& step : layers[0]) step(canvas, shapes);
    }
    const std::vector<ListPlacement> drawn{{&lists[0], -kRoom, -kRoom},
                                           {&lists[1], -kRoom, -kRoom},
                                           {&lists[2], -kRoom, -kRoom},
                                           {&lists[0], copyX - kRoom, copyY - kRoom}};
    for (int split = 0; split < 3; ++split) {
      const std::vector<int64_t> tops = randomSpanTops(random);
      for (DisplayList& list : lists) list.index(1 + static_cast<int64_t>(random() % 60));
      SpanDrawing drawing;
      std::vector<uint8_t> bands;
      for (size_t k = 0; k < tops.size(); ++k) {
        const int64_t end = k + 1 < tops.size() ? tops[k + 1] : kHeight;
        // Anything in each row's drawn words (some rows none, some all).
        BandBitmap band(kFilmWidth, end - tops[k], tops[k]);
        for (int64_t y = 0; y < band.rows(); ++y) {
          const size_t words = band.wordsPerRow();
          const size_t first = random() % (words + 1), last = random() % (words + 1);
          for (size_t w = first; w < last; ++w)
            band.rowWords(y)[w] = static_cast<uint32_t>(random());
          band.markDrawn(y, y + 1, first, last);
        }
        leftOut += drawSpan(drawn, tops[k], band, drawing);
        for (int64_t y = 0; y < band.rows(); ++y) {
          const BandBitmap::DrawnWords d = band.drawnWords(y);
          for (size_t w = 0; w < band.wordsPerRow(); ++w) {
            if (w < d.first || w >= d.end) {
              ASSERT_EQ(band.rowWords(y)[w], ~0u) << "row " << y;
            }
          }
        }
        bands.insert(bands.end(), band.bytes().begin(), band.bytes().end());
      }
      ASSERT_EQ(bands, std::vector<uint8_t>(whole.bytes().begin(), whole.bytes().end()))
          << "seed " << seed << ", split " << split;
    }
  }
  EXPECT_GT(leftOut, 0u);
}

// The column sets against plain flags, one per column, through random
// additions (a span or many) and removals.
TEST(ColumnSetTest, HoldsWhatWasAddedAndNotRemoved) {
  constexpr int64_t kColumns = 300;
  std::mt19937 random(7);
  for (int round = 0; round < 200; ++round) {
    ColumnSet set;
    std::vector<bool> held(kColumns, false);
    for (int step = 0; step < 30; ++step) {
      auto at = [&] { return static_cast<int64_t>(random() % kColumns); };
      if (random() % 3 == 0) {
        const int64_t a = at(), b = a + static_cast<int64_t>(random() % 60);
        set.remove(a, b);
        for (int64_t x = a; x < std::min(b, kColumns); ++x) held[static_cast<size_t>(x)] = false;
      } else {
        // Sorted, disjoint spans, as fills give them.
        std::vector<ColumnSet::Columns> spans;
        for (int64_t x = at(), n = 1 + static_cast<int64_t>(random() % 8); n > 0 && x < kColumns;
             --n) {
          const int64_t end = std::min(kColumns, x + 1 + static_cast<int64_t>(random() % 30));
          spans.push_back({x, end});
          for (int64_t c = x; c < end; ++c) held[static_cast<size_t>(c)] = true;
          x = end + 1 + static_cast<int64_t>(random() % 20);
        }
        set.add(spans);
      }
      std::vector<bool> got(kColumns, false);
      int64_t last = -1;
      for (const ColumnSet::Columns& c : set.columns()) {
        ASSERT_LT(last, c.x0) << "spans sorted, apart and not empty";
        ASSERT_LT(c.x0, c.x1);
        for (int64_t x = c.x0; x < c.x1; ++x) got[static_cast<size_t>(x)] = true;
        last = c.x1;
      }
      ASSERT_EQ(got, held) << "round " << round << ", step " << step;
      const int64_t a = at(), b = std::min(kColumns, a + 1 + static_cast<int64_t>(random() % 40));
      const bool all = std::all_of(held.begin() + a, held.begin() + b, [](bool h) { return h; });
      EXPECT_EQ(set.covers(a, b), all);
      std::vector<ColumnSet::Columns> gaps;
      set.uncovered(a, b, gaps);
      std::vector<bool> open(kColumns, false);
      for (const ColumnSet::Columns& g : gaps) {
        for (int64_t x = g.x0; x < g.x1; ++x) open[static_cast<size_t>(x)] = true;
      }
      for (int64_t x = a; x < b; ++x)
        EXPECT_EQ(open[static_cast<size_t>(x)], !held[static_cast<size_t>(x)]);
    }
  }
}

TEST(DisplayListTest, KeepsOnlyWhatMeetsTheImage) {
  DisplayList list;
  Canvas recording(list, 100, 50);
  recording.fillRect(-30, -30, -1, 10);  // left of the image
  recording.fillRect(10, 50, 20, 60);    // below it
  recording.setPixel(int64_t{1} << 40, 0, kBlack);
  EXPECT_EQ(list.size(), 0u);
  recording.fillRect(-30, -30, 1, 1);  // its last pixel is (0, 0)
  EXPECT_EQ(list.size(), 1u);
}

}  // namespace
}  // namespace drumplot
