// SPDX-License-Identifier: MIT
// Load + extents + definitions on a large generated Gerber file, in MB/s.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>

#include "engine/gerber_reader.h"

namespace {

// A board-like RS-274X file of about `megabytes` MB: apertures, a macro, a
// step-and-repeat block, tracks, pads and a region, repeated.
std::string makeLargeGerber(size_t megabytes) {
  std::string g =
      "G04 generated for the reader benchmark*\n%FSLAX24Y24*%\n%MOIN*%\n"
      "%AMTHERM*7,0,0,$1,$2,$3,45*%\n%AMRECT*21,1,$1,$2,0,0,$3*%\n"
      "%ADD10C,0.0100*%\n%ADD11R,0.060X0.030*%\n%ADD12O,0.080X0.040*%\n"
      "%ADD13THERM,0.08X0.05X0.01*%\n%ADD14RECT,0.05X0.02X30*%\n%LPD*%\n";
  char line[96];
  long x = 0, y = 0;
  size_t target = megabytes * 1024 * 1024;
  while (g.size() < target) {
    g += "G54D10*\n";
    for (int i = 0; i < 200; ++i) {
      x = (x + 137) % 80000;
      y = (y + 71) % 60000;
      std::snprintf(line, sizeof line, "X%ldY%ldD02*\nX%ldY%ldD01*\n", x, y, x + 500, y + 250);
      g += line;
    }
    g += "G54D11*\n";
    for (int i = 0; i < 100; ++i) {
      x = (x + 311) % 80000;
      std::snprintf(line, sizeof line, "X%ldY%ldD03*\n", x, y);
      g += line;
    }
    g += "G36*\nX1000Y1000D02*\nX2000Y1000D01*\nX2000Y2000D01*\nX1000Y2000D01*\nG37*\n";
    g += "G75*\nG03X3000Y2000I500J0D01*\n";
  }
  g += "M02*\n";
  return g;
}

void BM_LoadExtentsDefinitions(benchmark::State& state) {
  static const std::string file = makeLargeGerber(static_cast<size_t>(state.range(0)));
  for (auto _ : state) {
    drumplot::GerberReader reader;
    reader.loadBytes(file);
    reader.computeExtents();
    reader.parseDefinitions();
    benchmark::DoNotOptimize(reader.Width);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * file.size()));
  state.counters["file_MB"] = static_cast<double>(file.size()) / (1024.0 * 1024.0);
}
BENCHMARK(BM_LoadExtentsDefinitions)->Arg(40)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace

BENCHMARK_MAIN();
