// SPDX-License-Identifier: MIT
// The job bitmap writer: the 62-byte header and the band rows as drawn.
#include "output/job_bitmap.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <limits>
#include <string>

#include "engine/errors.h"
#include "io/file_io.h"
#include "io/replacing_file.h"
#include "output/band_image.h"
#include "output/workers.h"

namespace drumplot {

namespace {

void putLE16(uint8_t* at, uint32_t v) {
  at[0] = static_cast<uint8_t>(v);
  at[1] = static_cast<uint8_t>(v >> 8);
}

void putLE32(uint8_t* at, uint32_t v) {
  putLE16(at, v);
  putLE16(at + 2, v >> 16);
}

// The band rows go out as they are: W / 8 bytes a row, top row first.
class JobBitmapWriter final : public FilmWriter {
 public:
  JobBitmapWriter(const JobBitmapPlan& plan, bool negative) : plan_(plan), negative_(negative) {}

  void begin(ByteSink& file) override {
    file.write(encodeJobBitmapHeader(static_cast<uint32_t>(plan_.width_px),
                                     static_cast<uint32_t>(plan_.height_px)));
  }

  size_t previewBytes() const override { return 0; }
  std::vector<uint8_t> previewsDrawn(BandBitmap& overview, BandBitmap&) override {
    overview_ = toMonoImage(overview);
    return {};
  }
  void encode(BandBitmap& band, ChunkSink& sink) const override {
    if (negative_) invertBand(band);
    sink.write(band.bytes());
  }

  MonoImage& overview() { return overview_; }

 private:
  JobBitmapPlan plan_;
  MonoImage overview_;
  bool negative_;
};

}  // namespace

// JobBitmap - Header
// ============================================================================

std::array<uint8_t, kJobBitmapHeaderBytes> encodeJobBitmapHeader(uint32_t width_px,
                                                                 uint32_t height_px) {
  std::array<uint8_t, kJobBitmapHeaderBytes> h{};
  const auto imageBytes = static_cast<uint32_t>(uint64_t{width_px} * height_px / 8);
  h[0] = 'B';
  h[1] = 'M';
  putLE32(&h[2], static_cast<uint32_t>(kJobBitmapHeaderBytes) + imageBytes);  // file size
  putLE32(&h[10], static_cast<uint32_t>(kJobBitmapHeaderBytes));              // pixel rows
  putLE32(&h[14], 40);                                                        // information header
  putLE32(&h[18], width_px);
  putLE32(&h[22], height_px);  // positive: the first row of the file is the bottom of the picture
  putLE16(&h[26], 1);          // planes
  putLE16(&h[28], 1);          // bits per pixel
  putLE32(&h[30], 0);          // no compression
  putLE32(&h[34], imageBytes);
  putLE32(&h[38], kJobBitmapPixelsPerMetre);
  putLE32(&h[42], kJobBitmapPixelsPerMetre);
  putLE32(&h[46], 2);  // colours used
  putLE32(&h[50], 0);  // important colours
  // Colour 0 black (h[54..57] stay 0), colour 1 white.
  h[58] = h[59] = h[60] = 255;
  return h;
}

// JobBitmap - Plan and write
// ============================================================================

JobBitmapPlan planJobBitmapScene(const Job& job, const JobBitmapSettings& settings,
                                 RasterScene& scene) {
  JobExtents extents;
  scene = outputScene(job, settings.draw, extents);
  scene.dpi = kJobBitmapDpi;
  readSources(scene, kJobBitmapDpi, settings.run);
  double x = std::max(0.0, extents.MaxX), y = std::max(0.0, extents.MaxY);
  if (scene.tech) {
    x += scene.tech->growX;
    y += scene.tech->growY;
  }
  JobBitmapPlan plan;
  // The boards' extents and the allowance, or more where a layer draws beyond them.
  const auto [right, bottom] = sceneReach(scene);
  auto side = [](double extent, double reach) {
    return std::max(jobBitmapSide_px(extent),
                    128 * static_cast<int64_t>(std::ceil(reach * kJobBitmapDpi / 128.0)));
  };
  plan.width_px = side(x, right);
  plan.height_px = side(y, bottom);
  plan.boardLayers = scene.boardLayers.size();
  const int64_t w = plan.width_px, h = plan.height_px;
  constexpr uint64_t kMaxFileBytes = std::numeric_limits<uint32_t>::max();
  constexpr int64_t kMaxSide = std::numeric_limits<int32_t>::max();
  if (w > kMaxSide || h > kMaxSide ||
      static_cast<uint64_t>(w) / 8 >
          (kMaxFileBytes - kJobBitmapHeaderBytes) / static_cast<uint64_t>(h)) {
    throw FormatError("a job bitmap of " + std::to_string(w) + " x " + std::to_string(h) +
                      " pixels cannot be written: its size fields hold files of at most " +
                      std::to_string(kMaxFileBytes) + " bytes");
  }
  plan.fileBytes = kJobBitmapHeaderBytes + static_cast<uint64_t>(w) / 8 * static_cast<uint64_t>(h);
  const auto rowBytes = static_cast<uint64_t>(w / 8);
  const uint64_t rows = settings.run.budgetBytes / rowBytes;
  if (rows == 0) {
    throw FormatError("the memory budget of " + std::to_string(settings.run.budgetBytes) +
                      " bytes holds less than one row of " + std::to_string(rowBytes) +
                      " bytes; raise the memory setting");
  }
  plan.bands.width_px = w;
  plan.bands.height_px = h;
  plan.bands.rowsPerBand = static_cast<int64_t>(std::min<uint64_t>(rows, static_cast<uint64_t>(h)));
  plan.bands.bandCount = h / plan.bands.rowsPerBand + (h % plan.bands.rowsPerBand != 0 ? 1 : 0);

  scene.dpi = kJobBitmapDpi;
  scene.width_px = w;
  scene.height_px = h;
  scene.bands = plan.bands;
  scene.order = BandOrder::TopDown;
  scene.overviewDpi = kJobBitmapOverviewDpi;
  return plan;
}

JobBitmapPlan planJobBitmap(const Job& job, const JobBitmapSettings& settings) {
  RasterScene scene;
  return planJobBitmapScene(job, settings, scene);
}

JobBitmapSummary writeJobBitmapFile(const RasterScene& scene, const JobBitmapPlan& plan,
                                    const JobBitmapSettings& settings, ByteSink& file) {
  const auto start = std::chrono::steady_clock::now();
  JobBitmapSummary summary;
  summary.plan = plan;
  JobBitmapWriter writer(plan, settings.negative);
  summary.raster = rasterizeJob(scene, writer, file, settings.run);
  summary.cancelled = summary.raster.cancelled;
  if (summary.cancelled) return summary;
  summary.overview = std::move(writer.overview());
  flipImageRows(summary.overview, summary.overview.height);  // turned upside down after band 0
  summary.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  return summary;
}

JobBitmapSummary writeJobBitmap(const Job& job, const JobBitmapSettings& settings) {
  const auto start = std::chrono::steady_clock::now();
  refuseOverwritingInput({settings.file}, job.inputFiles());
  // One set of workers reads the files and draws the bands.
  JobBitmapSettings pooled = settings;
  std::optional<WorkerPool> workers;
  giveOwnWorkers(pooled.run, workers);
  RasterScene scene;
  const JobBitmapPlan plan = planJobBitmapScene(job, pooled, scene);
  ReplacingFile file(settings.file);
  JobBitmapSummary summary = writeJobBitmapFile(scene, plan, pooled, file);
  if (summary.cancelled) return summary;
  file.commit();
  summary.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  return summary;
}

}  // namespace drumplot
