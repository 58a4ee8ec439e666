// SPDX-License-Identifier: MIT
// The plotter file writer: header, thumbnail and preview blocks, and the
// bands coded as groups of four rows in the order the mirror setting asks.
#include "output/plotter_export.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <string>

#include "engine/errors.h"
#include "io/replacing_file.h"
#include "job/settings_file.h"
#include "output/band_image.h"
#include "output/fpf_encoder.h"
#include "output/fpf_file.h"
#include "output/group_coder.h"

namespace drumplot {

namespace {

constexpr size_t kMaxNotesKept = 63;

// PlotterExport - Writing bands
// ============================================================================

// The plotter file's side of the bands.
class PlotterFileWriter final : public FilmWriter {
 public:
  PlotterFileWriter(const FpfHeader& header, bool mirror, bool negative, int64_t horizontal_px,
                    GroupCoder coder)
      : header_(header),
        mirror_(mirror),
        negative_(negative),
        horizontal_px_(horizontal_px),
        coder_(coder) {}

  void begin(ByteSink& file) override { file.write(encodeFpfHeader(header_)); }

  size_t previewBytes() const override { return kFpfThumbnailBytes + kFpfPreviewBytes; }

  std::vector<uint8_t> previewsDrawn(BandBitmap& overview, BandBitmap& preview) override {
    overview_ = toMonoImage(overview);
    return plotterPreviewBlocks(preview, mirror_, negative_);
  }

  void encode(BandBitmap& band, ChunkSink& sink) const override {
    if (negative_) {
      // The line widths act on the drawing, before it is turned over.
      adjustBandLines(band, horizontal_px_);
      invertBand(band);
    }
    encodeBandGroups(band, mirror_, negative_ ? 0 : horizontal_px_, coder_, sink.buffer(),
                     [&sink] { sink.flushIfFull(); });
  }

  MonoImage& overview() { return overview_; }

 private:
  FpfHeader header_;
  MonoImage overview_;
  bool mirror_;
  bool negative_;
  int64_t horizontal_px_;
  GroupCoder coder_;
};

}  // namespace

// PlotterExport - Bands and blocks
// ============================================================================

void encodeBandGroups(BandBitmap& band, bool mirror, int64_t horizontal_px, GroupCoder coder,
                      std::vector<uint8_t>& out, const std::function<void()>& afterGroup) {
  const int64_t rows = band.rows();
  const auto width = static_cast<uint32_t>(band.width_px());
  for (int64_t g = 0; g < rows / 4; ++g) {
    const int64_t top = mirror ? 4 * g : rows - 4 - 4 * g;
    RowGroup group{};
    group.widthPx = width;
    BandBitmap::DrawnWords drawn{UINT32_MAX, 0};  // of the four rows
    for (int64_t k = 0; k < 4; ++k) {
      const int64_t row = mirror ? top + k : top + 3 - k;
      auto* bytes = reinterpret_cast<uint8_t*>(band.rowWords(row));
      if (horizontal_px != 0) adjustRowLines(band, row, horizontal_px);
      group.rows[k] = bytes;
      drawn.first = std::min(drawn.first, band.drawnWords(row).first);
      drawn.end = std::max(drawn.end, band.drawnWords(row).end);
    }
    if (drawn.first < drawn.end) {
      group.firstByte = 4 * drawn.first;
      group.endByte = 4 * drawn.end;
    } else {
      group.firstByte = group.endByte = 0;
    }
    coder(group, out);
    if (afterGroup) afterGroup();
  }
}

std::vector<uint8_t> plotterPreviewBlocks(BandBitmap& preview, bool mirror, bool negative) {
  // The preview in the vertical order of the image data, and as the film.
  if (!mirror) flipBandRows(preview);
  if (negative) invertBand(preview);
  std::vector<uint8_t> blocks = thumbnailBlock(preview);
  const std::vector<uint8_t> image = previewBlock(preview);
  blocks.insert(blocks.end(), image.begin(), image.end());
  return blocks;
}

std::vector<uint8_t> thumbnailBlock(const BandBitmap& preview) {
  std::vector<uint8_t> block(kFpfThumbnailBytes, 0xFF);
  const int64_t pw = preview.width_px(), ph = preview.rows();
  // The preview scaled to pw / 4 x ph / 4, ph rounded up to even first.
  const int64_t tw = std::min<int64_t>(pw / 4, 200);
  const int64_t th = std::min<int64_t>((ph + ph % 2) / 4, 200);
  for (int64_t ty = 0; ty < th; ++ty) {
    for (int64_t tx = 0; tx < tw; ++tx) {
      bool exposed = false;
      for (int64_t y = 4 * ty; y < std::min(4 * ty + 4, ph) && !exposed; ++y) {
        for (int64_t x = 4 * tx; x < 4 * tx + 4 && !exposed; ++x)
          exposed = !preview.isBackground(x, y);
      }
      if (exposed)
        block[static_cast<size_t>(ty * 25 + tx / 8)] &= static_cast<uint8_t>(~(0x80u >> (tx % 8)));
    }
  }
  return block;
}

std::vector<uint8_t> previewBlock(const BandBitmap& preview) {
  std::vector<uint8_t> block(kFpfPreviewBytes, 0xFF);
  const auto bytes = static_cast<size_t>(std::min<int64_t>(preview.width_px(), 800) / 8);
  for (int64_t k = 0; k < std::min<int64_t>(preview.rows(), 800); ++k) {
    std::memcpy(block.data() + static_cast<size_t>(k) * 100, preview.rowBytes(k), bytes);
  }
  return block;
}

// PlotterExport - Plan and export
// ============================================================================

PlotterExportPlan planPlotterScene(const Job& job, const PlotterExportSettings& settings,
                                   RasterScene& scene) {
  if (settings.dpi < kOtherResolutionMin || settings.dpi > kMaxPlotterDpi) {
    throw FormatError("a resolution of " + std::to_string(settings.dpi) +
                      " dpi cannot be exported: the plotter file holds " +
                      std::to_string(kOtherResolutionMin) + " to " +
                      std::to_string(kMaxPlotterDpi) + " dpi");
  }
  JobExtents extents;
  scene = outputScene(job, settings.draw, extents);
  scene.dpi = settings.dpi;
  scene.scale = drawingScale(settings.scale);
  readSources(scene, settings.dpi, settings.run);
  double x = extents.MaxX, y = extents.MaxY;
  if (scene.tech) {
    x += scene.tech->growX;
    y += scene.tech->growY;
  }
  PlotterExportPlan plan;
  plan.dpi = settings.dpi;
  // The boards' extents and the allowance, or more where a layer draws
  // beyond them; a scaled film grows with its drawing.
  const auto [right, bottom] = sceneReach(scene);
  auto side = [&](double extent, double reach, double scale) {
    return std::max(plotterSide_px(extent * scale, settings.dpi),
                    32 * static_cast<int64_t>(std::ceil(reach * scale * settings.dpi / 32.0)));
  };
  plan.width_px = side(x, right, scene.scale.x);
  plan.height_px = side(y, bottom, scene.scale.y);
  plan.boardLayers = scene.boardLayers.size();
  if (plan.width_px <= 0 || plan.height_px <= 0) {
    throw FormatError(
        "the boards lie left of or above the plotting area: the image would be empty");
  }
  if (plan.width_px > kMaxPlotterSide_px || plan.height_px > kMaxPlotterSide_px) {
    throw FormatError("an image of " + std::to_string(plan.width_px) + " x " +
                      std::to_string(plan.height_px) +
                      " pixels cannot be described by the plotter file (at most " +
                      std::to_string(kMaxPlotterSide_px) + " pixels a side)");
  }
  plan.large = plan.width_px > kFpfLargeLimit || plan.height_px > kFpfLargeLimit;
  plan.preview = previewSize(plan.width_px, plan.height_px, settings.dpi);
  plan.bands = computeBandGeometry(settings.run.budgetBytes, plan.width_px, plan.height_px);

  scene.dpi = settings.dpi;
  scene.width_px = plan.width_px;
  scene.height_px = plan.height_px;
  scene.bands = plan.bands;
  // Mirror off: bands from the bottom of the image up, the remainder at the top.
  scene.order = settings.mirror ? BandOrder::TopDown : BandOrder::BottomUp;
  scene.piecesBottomUp = !settings.mirror;
  scene.rowAlign = 4;
  scene.cullBoards = true;
  scene.overviewDpi = kPlotterOverviewDpi;
  scene.preview = plan.preview;
  return plan;
}

PlotterExportPlan planPlotterExport(const Job& job, const PlotterExportSettings& settings) {
  RasterScene scene;
  return planPlotterScene(job, settings, scene);
}

FpfHeader plotterFileHeader(const PlotterExportPlan& plan, const PlotterExportSettings& settings) {
  FpfHeader header;
  header.width = static_cast<uint32_t>(plan.width_px);
  header.height = static_cast<uint32_t>(plan.height_px);
  header.dpi = static_cast<uint32_t>(plan.dpi);
  header.previewWidth = static_cast<uint32_t>(plan.preview.width_px);
  header.previewHeight = static_cast<uint32_t>(plan.preview.height_px);
  header.notes = plotterFileNotes(settings.notes, settings.scale);
  return header;
}

std::string plotterFileNotes(const std::string& notes, const FilmScale& scale) {
  std::string kept = notes.substr(0, kMaxNotesKept);
  if (scale.nominal()) return kept;
  const std::string tag = "scale " + filmScaleText(scale);
  std::string with = kept.empty() ? tag : kept + " " + tag;
  return with.size() <= kFpfNotesBytes ? with : kept;
}

PlotterExportSummary writePlotterFile(const RasterScene& scene, const PlotterExportPlan& plan,
                                      const PlotterExportSettings& settings, ByteSink& file) {
  const auto start = std::chrono::steady_clock::now();
  PlotterExportSummary summary;
  summary.plan = plan;

  // The literal way codes pixel by pixel up to 8000 dpi, above it 32 pixels
  // at a time; the fast way 64 at a time. All give the same bytes.
  GroupCoder coder = encodeGroupWide;
  if (settings.run.reference) coder = settings.dpi <= 8000 ? encodeGroupPerPixel : encodeGroupWords;
  PlotterFileWriter writer(plotterFileHeader(plan, settings), settings.mirror, settings.negative,
                           horizontalLinePixels(settings), coder);
  summary.raster = rasterizeJob(scene, writer, file, settings.run);
  summary.cancelled = summary.raster.cancelled;
  if (summary.cancelled) return summary;
  summary.overview = std::move(writer.overview());
  if (!settings.mirror) flipOverviewTop(summary.overview);
  summary.fileBytes = file.bytesWritten();
  summary.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  return summary;
}

PlotterExportSummary exportPlotterFile(const Job& job, const PlotterExportSettings& settings) {
  const auto start = std::chrono::steady_clock::now();
  RasterScene scene;
  const PlotterExportPlan plan = planPlotterScene(job, settings, scene);
  ReplacingFile file(settings.file);
  PlotterExportSummary summary = writePlotterFile(scene, plan, settings, file);
  if (summary.cancelled) return summary;  // the temporary file goes with `file`
  file.commit();
  summary.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  return summary;
}

}  // namespace drumplot
