// SPDX-License-Identifier: MIT
// Drawing the largest Gerber file of the shared corpus at 1000 and 4000 dpi
// into one band: time per render and statements per second. Skipped when the
// corpus is absent (DRUMPLOT_CORPUS or ../shared/corpus beside the source).
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "engine/band_bitmap.h"
#include "engine/canvas.h"
#include "engine/interpreter.h"
#include "engine/layer_renderer.h"

namespace {

namespace fs = std::filesystem;

// The largest Gerber file listed in the corpus manifest.
fs::path largestCorpusGerber() {
  fs::path dir = std::getenv("DRUMPLOT_CORPUS")
                     ? fs::path(std::getenv("DRUMPLOT_CORPUS"))
                     : fs::path(DRUMPLOT_SOURCE_DIR) / ".." / "shared" / "corpus";
  std::ifstream manifest(dir / "MANIFEST.tsv");
  std::string line, best;
  uintmax_t bestSize = 0;
  while (std::getline(manifest, line)) {
    std::stringstream ss(line);
    std::string cols[6];
    for (auto& c : cols) std::getline(ss, c, '\t');
    if (cols[5] != "gerber-274x" && cols[5] != "gerber-274d") continue;
    uintmax_t size = std::strtoull(cols[4].c_str(), nullptr, 10);
    if (size > bestSize) bestSize = size, best = cols[3];
  }
  return best.empty() ? fs::path() : dir / best;
}

void BM_RenderLargestCorpusFile(benchmark::State& state) {
  static const fs::path file = largestCorpusGerber();
  if (file.empty()) {
    state.SkipWithError("corpus absent");
    return;
  }
  const double dpi = static_cast<double>(state.range(0));
  drumplot::LayerRenderer layer;
  layer.setFileName(file.string());
  layer.loadAndPrescan();
  layer.readApertures();
  layer.makeStamps();
  const drumplot::GerberReader& reader = layer.reader();
  auto width = static_cast<int64_t>(std::ceil((reader.Width + 0.2) * dpi / 32.0) * 32.0);
  auto height = static_cast<int64_t>(std::ceil((reader.Height + 0.2) * dpi));
  drumplot::LayerPlacement placement;
  placement.boardX = 0.1;
  placement.boardY = 0.1;
  placement.pixelsPerInch = dpi;
  drumplot::ShapeRasterizer& shapes = layer.shapes(dpi);
  for (auto _ : state) {
    drumplot::BandBitmap band(width, height);
    drumplot::Canvas canvas(band);
    drumplot::interpretLayer(reader, shapes, canvas, placement);
    benchmark::DoNotOptimize(band.bytes().data());
  }
  state.counters["statements_per_s"] = benchmark::Counter(
      static_cast<double>(reader.Statements.size()) * static_cast<double>(state.iterations()),
      benchmark::Counter::kIsRate);
  state.counters["statements"] = static_cast<double>(reader.Statements.size());
  state.counters["Mpixels"] = static_cast<double>(width * height) / 1e6;
  state.SetLabel(file.filename().string());
}
BENCHMARK(BM_RenderLargestCorpusFile)->Arg(1000)->Arg(4000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
