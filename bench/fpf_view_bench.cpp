// SPDX-License-Identifier: MIT
// Opening a 1 GB plotter file as the plotter file window does: the time to
// the preview (header, thumbnail and preview decoded; goal: under a
// second), to the whole film reduced to a view, to the rows' index, and to
// a zoomed window at 1:1 once the index is built. The film (65024 dpi,
// 4 x 3.8 inches, 64 gigapixels) is written into the temporary folder at
// the start and removed at the end.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "output/fpf_encoder.h"
#include "output/fpf_file.h"
#include "output/fpf_reader.h"

namespace {

namespace fs = std::filesystem;
using namespace drumplot;

constexpr uint32_t kDpi = 65024;
constexpr uint32_t kWidth = 4 * kDpi;     // 260096 pixels, a multiple of 32
constexpr uint32_t kBlock = kWidth / 16;  // columns of one tile
constexpr uint64_t kFileBytes = uint64_t{1} << 30;
constexpr uint32_t kViewWidth = 1000, kViewHeight = 700;  // the window's film view

const fs::path& filmFile() {
  static const fs::path file = fs::temp_directory_path() / "drumplot-fpf-view-bench.fpf";
  return file;
}

// One record: tiles of 8-pixel stripes (every column value 0 or 15 in
// turn) and blank tiles, the stripes starting at tile `first` of two.
std::vector<uint8_t> tileRecord(unsigned first) {
  std::vector<uint8_t> out;
  for (uint32_t tile = 0; tile < kWidth / kBlock; ++tile) {
    if (tile % 2 != first) {
      appendRun(15, kBlock, out);
      continue;
    }
    for (uint32_t x = 0; x < kBlock; x += 16) {
      appendRun(0, 8, out);
      appendRun(15, 8, out);
    }
  }
  out.push_back(0xFF);
  return out;
}

// A film of tiles swapping every 4096 records, about 1 GB, with a preview
// and thumbnail of stripes; written once.
void writeFilm() {
  const std::vector<uint8_t> records[2] = {tileRecord(0), tileRecord(1)};
  const uint64_t groups = kFileBytes / ((records[0].size() + records[1].size()) / 2);
  FpfHeader h;
  h.width = kWidth;
  h.height = static_cast<uint32_t>(4 * groups);
  h.dpi = kDpi;
  h.previewWidth = 800;
  h.previewHeight = 800;
  h.notes = "fpf view benchmark";
  std::FILE* f = std::fopen(filmFile().c_str(), "wb");
  if (!f) throw std::runtime_error(filmFile().string() + ": cannot write the file");
  const std::vector<uint8_t> head = encodeFpfHeader(h);
  std::vector<uint8_t> blocks(kFpfThumbnailBytes + kFpfPreviewBytes);
  for (size_t i = 0; i < blocks.size(); ++i) blocks[i] = (i / 100) % 16 < 8 ? 0xFF : 0x0F;
  std::fwrite(head.data(), 1, head.size(), f);
  std::fwrite(blocks.data(), 1, blocks.size(), f);
  for (uint64_t g = 0; g < groups; ++g) {
    const std::vector<uint8_t>& r = records[(g / 4096) % 2];
    std::fwrite(r.data(), 1, r.size(), f);
  }
  std::fclose(f);
}

FilmWindow wholeFilm(const FpfReader& reader) {
  return {0, 0, reader.header().width, reader.header().height};
}

uint32_t fitted(const FilmWindow& w) {
  return std::max((w.width() + kViewWidth - 1) / kViewWidth,
                  (w.height() + kViewHeight - 1) / kViewHeight);
}

void BM_TimeToPreview(benchmark::State& state) {
  for (auto _ : state) {
    FpfContents c = readFpf(filmFile(), false);
    FpfReader reader(filmFile());
    benchmark::DoNotOptimize(c.preview.bits.data());
  }
  state.counters["file_MB"] = static_cast<double>(fs::file_size(filmFile())) / (1 << 20);
}
BENCHMARK(BM_TimeToPreview)->Unit(benchmark::kMillisecond);

void BM_WholeFilmReduced(benchmark::State& state) {
  for (auto _ : state) {
    FpfReader reader(filmFile());
    const FilmWindow whole = wholeFilm(reader);
    auto picture = decodeFpfRegion(reader, whole, fitted(whole), uint64_t{64} << 20);
    benchmark::DoNotOptimize(picture->bits.data());
    state.counters["reduce"] = fitted(whole);
    state.counters["gigapixels"] = static_cast<double>(whole.width()) * whole.height() / 1e9;
  }
}
BENCHMARK(BM_WholeFilmReduced)->Unit(benchmark::kMillisecond)->Iterations(2);

void BM_BuildIndex(benchmark::State& state) {
  for (auto _ : state) {
    FpfReader reader(filmFile());
    benchmark::DoNotOptimize(reader.buildIndex());
  }
}
BENCHMARK(BM_BuildIndex)->Unit(benchmark::kMillisecond)->Iterations(2);

// A view's worth of film pixels at 1:1 in the middle of the film.
void BM_ZoomedWindowAfterIndex(benchmark::State& state) {
  FpfReader reader(filmFile());
  reader.buildIndex();
  const uint32_t x0 = kWidth / 2 + 100, y0 = reader.header().height / 2 + 3;
  const FilmWindow window{x0, y0, x0 + kViewWidth, y0 + kViewHeight};
  for (auto _ : state) {
    auto picture = decodeFpfRegion(reader, window, 1, uint64_t{64} << 20);
    benchmark::DoNotOptimize(picture->bits.data());
  }
}
BENCHMARK(BM_ZoomedWindowAfterIndex)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  writeFilm();
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::error_code ec;
  fs::remove(filmFile(), ec);
  return 0;
}
