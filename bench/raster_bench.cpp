// SPDX-License-Identifier: MIT
// Fill rates of the raster primitives on a 1-bit band, each as a ratio to
// memset of the same number of bytes: counter x_memset is the primitive's
// time over memset's time for the bytes it exposed (1.0 is memset speed;
// the library prints the plain ratio with an "s").
#include <benchmark/benchmark.h>

#include <bit>
#include <cmath>
#include <cstring>
#include <ctime>
#include <numbers>
#include <vector>

#include "engine/band_bitmap.h"
#include "engine/canvas.h"
#include "engine/gerber_reader.h"
#include "engine/shape_rasterizer.h"

namespace {

using namespace drumplot;

constexpr int64_t kWidth = 16384;  // pixels: 2,048 bytes a row
constexpr int64_t kRows = 2048;    // 4 MB a band

// memset's speed on a band-sized buffer, bytes per CPU second (the clock the
// benchmarks' rates use), measured once.
double memsetBytesPerSecond() {
  static const double rate = [] {
    std::vector<uint8_t> buffer(static_cast<size_t>(kWidth / 8 * kRows));
    int64_t rounds = 0;
    const std::clock_t start = std::clock();
    double seconds = 0;
    do {
      std::memset(buffer.data(), static_cast<int>(rounds & 1), buffer.size());
      benchmark::ClobberMemory();
      ++rounds;
      seconds = static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC;
    } while (seconds < 0.5);
    return static_cast<double>(buffer.size()) * static_cast<double>(rounds) / seconds;
  }();
  return rate;
}

int64_t exposedBytes(const BandBitmap& band) {
  int64_t clear = 0;
  for (uint8_t b : band.bytes()) clear += 8 - std::popcount(b);
  return clear / 8;
}

// Runs `draw` on a fresh band per iteration (the refill is excluded from the
// timing) and reports bytes per second and the ratio to memset. `draw` must
// not draw any pixel twice, so that the exposed pixels count the bytes filled.
template <class Draw>
void runFill(benchmark::State& state, Draw&& draw) {
  BandBitmap band(kWidth, kRows);
  Canvas canvas(band);
  draw(canvas);
  const int64_t bytes = exposedBytes(band);
  for (auto _ : state) {
    state.PauseTiming();
    band.fill(kWhite);
    state.ResumeTiming();
    draw(canvas);
    benchmark::ClobberMemory();
  }
  const double total = static_cast<double>(bytes) * static_cast<double>(state.iterations());
  state.SetBytesProcessed(static_cast<int64_t>(total));
  state.counters["x_memset"] = benchmark::Counter(
      total / memsetBytesPerSecond(), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_Memset(benchmark::State& state) {
  std::vector<uint8_t> buffer(static_cast<size_t>(kWidth / 8 * kRows));
  int value = 0;
  for (auto _ : state) {
    std::memset(buffer.data(), value ^= 0xFF, buffer.size());
    benchmark::ClobberMemory();
  }
  const double total = static_cast<double>(buffer.size()) * static_cast<double>(state.iterations());
  state.SetBytesProcessed(static_cast<int64_t>(total));
  state.counters["x_memset"] = benchmark::Counter(
      total / memsetBytesPerSecond(), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_Memset);

// Square pads of `state.range(0)` pixels in a grid, one pixel apart.
void BM_FillRect(benchmark::State& state) {
  const int64_t side = state.range(0);
  runFill(state, [side](Canvas& c) {
    for (int64_t y = 0; y + side <= kRows; y += side + 1) {
      for (int64_t x = 0; x + side <= kWidth; x += side + 1) c.fillRect(x, y, x + side, y + side);
    }
  });
}
BENCHMARK(BM_FillRect)->Arg(16)->Arg(64)->Arg(2000);

void BM_FillEllipse(benchmark::State& state) {
  const int64_t side = state.range(0);
  runFill(state, [side](Canvas& c) {
    for (int64_t y = 0; y + side <= kRows; y += side) {
      for (int64_t x = 0; x + side <= kWidth; x += side) c.fillEllipse(x, y, x + side, y + side);
    }
  });
}
BENCHMARK(BM_FillEllipse)->Arg(16)->Arg(64)->Arg(2000);

// Regular 40-gons (the region fill path: edge list, crossings, spans).
void BM_FillPolygon(benchmark::State& state) {
  const int64_t side = state.range(0);
  std::vector<PixelPoint> shape;
  const double radius = static_cast<double>(side - 2) / 2.0;
  for (int k = 0; k < 40; ++k) {
    double t = 2 * std::numbers::pi * k / 40;
    shape.push_back({static_cast<int64_t>(std::lround(radius * (1 + std::cos(t)))),
                     static_cast<int64_t>(std::lround(radius * (1 + std::sin(t))))});
  }
  std::vector<PixelPoint> placed(shape.size());
  runFill(state, [&](Canvas& c) {
    for (int64_t y = 0; y + side <= kRows; y += side) {
      for (int64_t x = 0; x + side <= kWidth; x += side) {
        for (size_t k = 0; k < shape.size(); ++k) placed[k] = {shape[k].x + x, shape[k].y + y};
        c.fillPolygon(placed);
      }
    }
  });
}
BENCHMARK(BM_FillPolygon)->Arg(64)->Arg(2000);

// Horizontal tracks of pen width `state.range(0)` (round caps), and
// diagonal ones, which overlap at their caps only.
void BM_WideLine(benchmark::State& state) {
  const int64_t w = state.range(0);
  const bool diagonal = state.range(1) != 0;
  runFill(state, [w, diagonal](Canvas& c) {
    c.setPenWidth(w);
    if (!diagonal) {
      for (int64_t y = w; y + w <= kRows; y += w + 2) {
        c.moveTo(w, y);
        c.lineTo(kWidth - w, y);
      }
      return;
    }
    const int64_t step = 2 * w;
    for (int64_t x = -kRows; x < kWidth; x += step) {
      c.moveTo(x + w, w);
      c.lineTo(x + kRows - w, kRows - w);
    }
  });
}
BENCHMARK(BM_WideLine)->Args({8, 0})->Args({40, 0})->Args({40, 1});

// Flashes of a stamped thermal macro in a grid: the transfer of a stamp.
void BM_StampTransfer(benchmark::State& state) {
  const int64_t side = state.range(0);
  static const GerberReader reader = [] {
    GerberReader r;
    r.loadBytes("%MOIN*%%AMT*7,0,0,1.0,0.6,0.1,45*%%ADD10T*%%ADD11C,1.0X0.6*%");
    r.computeExtents();
    r.parseDefinitions();
    return r;
  }();
  // The apertures are 1 inch: at `side` pixels per inch they are `side` pixels across.
  ShapeRasterizer shapes(reader.Apertures, static_cast<double>(side));
  const int d = static_cast<int>(state.range(1));
  runFill(state, [&](Canvas& c) {
    for (int64_t y = side / 2 + 1; y + side / 2 < kRows; y += side + 2) {
      for (int64_t x = side / 2 + 1; x + side / 2 < kWidth; x += side + 2) {
        shapes.flash(c, d, static_cast<double>(x) / static_cast<double>(side),
                     static_cast<double>(y) / static_cast<double>(side), kBlack);
      }
    }
  });
  state.counters["transfers"] = static_cast<double>(shapes.stampTransfers());
}
BENCHMARK(BM_StampTransfer)->Args({64, 10})->Args({64, 11})->Args({1000, 11});

}  // namespace

BENCHMARK_MAIN();
