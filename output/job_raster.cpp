// SPDX-License-Identifier: MIT
// Drawing a job band by band: the literal way (every band reads every layer
// anew) and the fast way (each layer read once into display lists, bands
// replayed on worker threads), which give the same bytes.
#include "output/job_raster.h"

#include <algorithm>
#include <exception>
#include <filesystem>
#include <memory>
#include <mutex>
#include <span>
#include <stdexcept>
#include <thread>

#include "apertures/aperture_file.h"
#include "engine/canvas.h"
#include "engine/errors.h"
#include "engine/layer_renderer.h"
#include "engine/rounding.h"
#include "output/display_list.h"

namespace drumplot {

void ExportProgress::report(Phase p, int64_t at, int64_t of, double part) {
  phase = p;
  step = at;
  steps = of;
  fraction = part;
  if (onChange) onChange(*this);
}

namespace {

// JobRaster - One board layer
// ============================================================================

// A source's renderer, ready to draw: the layer file read and pre-scanned
// with the board's format, its origin the board's master data origin (so
// that every layer of a board lines up), its apertures defined. The
// statement texts go once the definitions are read: the drawing needs only
// the decoded operations.
std::unique_ptr<LayerRenderer> openSource(const LayerSource& source, const ExportProgress* progress) {
  auto renderer = std::make_unique<LayerRenderer>(source.format);
  renderer->setFileName(source.gerberFile);
  renderer->loadAndPrescan();
  renderer->reader().MinX = source.dataMinX;
  renderer->reader().MinY = source.dataMinY;
  renderer->readApertures(apertureFileLoader(source.apertureFile));
  renderer->makeStamps();
  renderer->reader().Statements = StatementList();
  (void)progress;
  return renderer;
}

// Draws a board layer with its data origin on boardOrigin_px().
void drawBoardLayer(LayerRenderer& renderer, const BoardLayer& d, Canvas& canvas, double dpi,
                    const InterpreterSettings& settings) {
  const PixelPoint at = boardOrigin_px(d, dpi);
  const PixelPoint saved = canvas.windowOrigin();
  canvas.setWindowOrigin(saved.x - at.x, saved.y - at.y);
  interpretLayer(renderer.reader(), renderer.shapes(dpi), canvas, {0.0, 0.0, dpi, kBlack, std::nullopt},
                 settings);
  canvas.setWindowOrigin(saved.x, saved.y);
}

// The image rows board layer `d` may draw in at `dpi`: its source's reach
// at its place, and a few pixels around it.
std::pair<int64_t, int64_t> layerRows(const RasterScene& scene, const BoardLayer& d) {
  const LayerSource& s = scene.sources[d.source];
  if (s.reach.empty) return {0, 0};
  const int64_t at = boardOrigin_px(d, scene.dpi).y;
  return {at + static_cast<int64_t>(std::floor((s.reach.minY - s.dataMinY) * scene.dpi)) - 4,
          at + static_cast<int64_t>(std::ceil((s.reach.maxY - s.dataMinY) * scene.dpi)) + 4};
}

void drawTechFrame(Canvas& canvas, const TechAreaFrame& frame, double dpi) {
  canvas.setColor(kBlack);
  for (const PixelRect& r : techFrameRects(frame, dpi)) canvas.fillRect(r.x0, r.y0, r.x1, r.y1);
}

bool hasPreview(const RasterScene& s) { return s.preview.width_px > 0 && s.preview.height_px > 0; }

// The worker count: as asked (0: one per processor), at least one.
unsigned workerCount(unsigned asked) {
  if (asked == 0) asked = std::thread::hardware_concurrency();
  return std::max(asked, 1u);
}

// Runs body(i) for i = 0 .. count - 1 on `threads` workers; stops at the
// first exception (rethrown) or when `cancelled` becomes true.
template <class Body>
void parallelFor(size_t count, unsigned threads, const std::atomic<bool>* cancelled, Body&& body) {
  std::atomic<size_t> next{0};
  std::atomic<bool> failed{false};
  std::exception_ptr error;
  std::mutex errorMutex;
  auto work = [&] {
    for (size_t i; !failed && !(cancelled && *cancelled) && (i = next++) < count;) {
      try {
        body(i);
      } catch (...) {
        std::lock_guard lock(errorMutex);
        if (!error) error = std::current_exception();
        failed = true;
      }
    }
  };
  threads = std::clamp<unsigned>(threads, 1, static_cast<unsigned>(std::max<size_t>(count, 1)));
  std::vector<std::thread> helpers;
  try {
    for (unsigned w = 1; w < threads; ++w) helpers.emplace_back(work);
  } catch (...) {
    // No further thread: those started and this one do the work.
  }
  work();
  for (std::thread& t : helpers) t.join();
  if (error) std::rethrow_exception(error);
}

bool isCancelled(const RasterOptions& o) { return o.progress && o.progress->cancelled; }

// JobRaster - The literal way
// ============================================================================

// Band by band, one thread; in each band every board layer that reaches it
// is read anew and drawn; the first band also draws the overview and the
// preview with the same reader.
RasterStats rasterizeLiterally(const RasterScene& scene, BandConsumer& consumer, ReplacingFile& file,
                               const RasterOptions& options) {
  const BandGeometry& g = scene.bands;
  RasterStats stats;
  stats.pieces = g.bandCount;
  BandBitmap overview(kOverviewSide_px, kOverviewSide_px);
  BandBitmap preview(scene.preview.width_px, scene.preview.height_px);
  const auto items = static_cast<int64_t>(scene.boardLayers.size());
  auto produce = [&](size_t i, unsigned, ChunkSink& sink) {
    const BandSpan span = g.band(static_cast<int64_t>(i), scene.order);
    BandBitmap band(scene.width_px, span.rows, span.topRow);
    Canvas canvas(band);
    Canvas overviewCanvas(overview);
    Canvas previewCanvas(preview);
    for (int64_t j = 0; j < items; ++j) {
      if (isCancelled(options)) return;
      const BoardLayer& d = scene.boardLayers[static_cast<size_t>(j)];
      const bool first = i == 0;
      if (scene.cullBoards && !first) {
        // Only what the layer may draw decides, before its file is read.
        const auto [top, bottom] = layerRows(scene, d);
        if (bottom <= span.topRow || top >= span.topRow + span.rows) continue;
      }
      std::unique_ptr<LayerRenderer> renderer = openSource(scene.sources[d.source], nullptr);
      drawBoardLayer(*renderer, d, canvas, scene.dpi, scene.interpreter);
      if (first) {
        drawBoardLayer(*renderer, d, overviewCanvas, scene.overviewDpi, scene.interpreter);
        if (hasPreview(scene)) {
          drawBoardLayer(*renderer, d, previewCanvas, scene.preview.dpi, scene.interpreter);
        }
      }
      if (options.progress) {
        options.progress->report(ExportProgress::Phase::Drawing, static_cast<int64_t>(i) + 1,
                                 g.bandCount,
                                 (static_cast<double>(i) + static_cast<double>(j + 1) /
                                                               static_cast<double>(items)) /
                                     static_cast<double>(g.bandCount));
      }
    }
    if (scene.tech) {
      drawTechFrame(canvas, *scene.tech, scene.dpi);
      if (i == 0) {
        drawTechFrame(overviewCanvas, *scene.tech, scene.overviewDpi);
        drawTechFrame(previewCanvas, *scene.tech, scene.preview.dpi);
      }
    }
    if (i == 0) file.write(consumer.previewsDrawn(overview, preview));
    consumer.encode(band, sink);
  };
  auto write = [&](std::span<const uint8_t> bytes) { file.write(bytes); };
  auto done = [&](size_t i) {
    if (options.progress) {
      options.progress->report(ExportProgress::Phase::Drawing, static_cast<int64_t>(i) + 1,
                               g.bandCount,
                               static_cast<double>(i + 1) / static_cast<double>(g.bandCount));
    }
  };
  const std::atomic<bool>* cancelled = options.progress ? &options.progress->cancelled : nullptr;
  stats.cancelled = !runChunksInOrder(static_cast<size_t>(g.bandCount), {}, produce, write, done,
                                      cancelled);
  return stats;
}

// JobRaster - The fast way
// ============================================================================

// One source recorded once at the image's resolution, in the pixels of a
// canvas whose origin is `base` (the corner of what the source draws, its
// data origin on image point 0), and indexed by buckets of rows.
struct RecordedSource {
  DisplayList image;
  PixelPoint base;
};

// A piece of a band, as a worker makes it.
struct Piece {
  int64_t top = 0;
  int64_t rows = 0;
  int64_t band = 0;  // in production order
};

// The bands in production order, each cut into pieces of at most
// pieceRows rows, from the band's bottom up or its top down.
std::vector<Piece> cutBands(const RasterScene& scene, int64_t pieceRows) {
  std::vector<Piece> pieces;
  for (int64_t i = 0; i < scene.bands.bandCount; ++i) {
    const BandSpan b = scene.bands.band(i, scene.order);
    const int64_t end = b.topRow + b.rows;
    if (scene.piecesBottomUp) {
      for (int64_t bottom = end; bottom > b.topRow; bottom -= pieceRows) {
        const int64_t top = std::max(b.topRow, bottom - pieceRows);
        pieces.push_back({top, bottom - top, i});
      }
    } else {
      for (int64_t top = b.topRow; top < end; top += pieceRows) {
        pieces.push_back({top, std::min(pieceRows, end - top), i});
      }
    }
  }
  return pieces;
}

void recordSources(const RasterScene& scene, std::vector<RecordedSource>& recorded,
                   int64_t bucketRows, unsigned threads, const RasterOptions& options) {
  const std::atomic<bool>* cancelled = options.progress ? &options.progress->cancelled : nullptr;
  InterpreterSettings settings = scene.interpreter;
  settings.cancelled = cancelled;
  // The largest files first, so that no worker is left with a large one
  // at the end while the others wait.
  std::vector<std::pair<uintmax_t, size_t>> order;
  for (size_t i = 0; i < scene.sources.size(); ++i) {
    std::error_code unknown;  // a missing file failed when it was read
    const uintmax_t size = std::filesystem::file_size(scene.sources[i].gerberFile, unknown);
    order.emplace_back(unknown ? 0 : size, i);
  }
  std::stable_sort(order.begin(), order.end(), [](auto& a, auto& b) { return a.first > b.first; });
  parallelFor(order.size(), threads, cancelled, [&](size_t k) {
    const size_t i = order[k].second;
    const LayerSource& source = scene.sources[i];
    RecordedSource& out = recorded[i];
    if (source.reach.empty) return;
    // The recording holds what the source draws, a few pixels around it.
    const double dpi = scene.dpi;
    out.base = {static_cast<int64_t>(std::floor((source.reach.minX - source.dataMinX) * dpi)) - 4,
                static_cast<int64_t>(std::floor((source.reach.minY - source.dataMinY) * dpi)) - 4};
    const int64_t right = static_cast<int64_t>(std::ceil((source.reach.maxX - source.dataMinX) * dpi)) + 4;
    const int64_t bottom = static_cast<int64_t>(std::ceil((source.reach.maxY - source.dataMinY) * dpi)) + 4;
    {
      Canvas canvas(out.image, right - out.base.x, bottom - out.base.y);
      canvas.setWindowOrigin(out.base.x, out.base.y);
      interpretLayer(source.renderer->reader(), source.renderer->shapes(dpi), canvas,
                     {0.0, 0.0, dpi, kBlack, std::nullopt}, settings);
    }
    out.image.index(bucketRows);
  });
}

// The overview and preview as the first band of the literal way draws
// them: every board layer drawn onto both, in order, then the tech area's
// frame. Stops early (drawing less) when cancelled.
void drawPreviews(const RasterScene& scene, BandBitmap& overview, BandBitmap& preview,
                  const RasterOptions& options) {
  Canvas overviewCanvas(overview);
  Canvas previewCanvas(preview);
  for (const BoardLayer& d : scene.boardLayers) {
    if (isCancelled(options)) return;
    LayerRenderer& renderer = *scene.sources[d.source].renderer;
    drawBoardLayer(renderer, d, overviewCanvas, scene.overviewDpi, scene.interpreter);
    if (hasPreview(scene)) drawBoardLayer(renderer, d, previewCanvas, scene.preview.dpi, scene.interpreter);
  }
  if (scene.tech) {
    drawTechFrame(overviewCanvas, *scene.tech, scene.overviewDpi);
    drawTechFrame(previewCanvas, *scene.tech, scene.preview.dpi);
  }
}

RasterStats rasterizeFast(const RasterScene& scene, BandConsumer& consumer, ReplacingFile& file,
                          const RasterOptions& options) {
  RasterStats stats;
  const unsigned asked = workerCount(options.threads);

  // Pieces small enough to stay in the cache. Each worker keeps two piece
  // bitmaps and up to three pieces' bytes wait for their turn per worker
  // (see runChunksInOrder): all within the budget.
  const int64_t rowBytes = scene.width_px / 8;
  const int64_t align = std::max<int64_t>(scene.rowAlign, 1);
  constexpr uint64_t kPiecesPerWorker = 5;
  const uint64_t perPiece = std::min(options.budgetBytes / (kPiecesPerWorker * asked), options.pieceBytes);
  int64_t pieceRows = static_cast<int64_t>(perPiece / static_cast<uint64_t>(rowBytes)) / align * align;
  pieceRows = std::clamp(pieceRows, align, std::max(scene.bands.rowsPerBand, align));
  const auto pieceBytes = static_cast<uint64_t>(pieceRows * rowBytes);
  stats.threads = static_cast<unsigned>(
      std::clamp<uint64_t>(options.budgetBytes / (kPiecesPerWorker * pieceBytes), 1, asked));
  std::vector<Piece> pieces = cutBands(scene, pieceRows);
  stats.pieces = static_cast<int64_t>(pieces.size());

  // Buckets of several pieces' rows: a piece meets one or two of them.
  std::vector<RecordedSource> recorded(scene.sources.size());
  recordSources(scene, recorded, std::max<int64_t>(pieceRows, 256), asked, options);
  if (isCancelled(options)) {
    stats.cancelled = true;
    return stats;
  }
  for (const RecordedSource& r : recorded) {
    stats.primitives += r.image.size();
    stats.displayListBytes += r.image.memoryBytes();
  }
  // Each board layer draws its source's recording at its own place.
  std::vector<ListPlacement> placed;
  std::vector<std::pair<int64_t, int64_t>> rows;  // the image rows each may draw in
  for (const BoardLayer& d : scene.boardLayers) {
    const RecordedSource& r = recorded[d.source];
    const PixelPoint at = boardOrigin_px(d, scene.dpi);
    placed.push_back({&r.image, at.x + r.base.x, at.y + r.base.y});
    rows.push_back(r.image.size() == 0 ? std::pair<int64_t, int64_t>{0, 0}
                                       : std::pair{r.image.bounds().y0 + placed.back().dy,
                                                   r.image.bounds().y1 + placed.back().dy});
  }

  // The overview and preview are drawn by worker 0 while the others begin
  // the pieces (which use only the recordings and stamps); their blocks
  // keep a place in the file until then.
  const uint64_t previewsAt = file.bytesWritten();
  file.write(std::vector<uint8_t>(consumer.previewBytes(), 0));
  auto previews = [&] {
    BandBitmap overview(kOverviewSide_px, kOverviewSide_px);
    BandBitmap preview(scene.preview.width_px, scene.preview.height_px);
    drawPreviews(scene, overview, preview, options);
    const std::vector<uint8_t> blocks = consumer.previewsDrawn(overview, preview);
    if (blocks.size() != consumer.previewBytes()) {
      throw std::logic_error("the preview blocks do not fill their place in the file");
    }
    file.writeAt(previewsAt, blocks);
  };

  // Each worker keeps a bitmap of the usual piece height and one of the
  // last other height (the pieces at a band's end).
  struct Scratch {
    std::unique_ptr<BandBitmap> usual, other;
    std::vector<ListPlacement> lists;  // the board layers the piece draws
    SpanDrawing drawing;
  };
  std::vector<Scratch> scratch(stats.threads);
  std::atomic<uint64_t> leftOut{0};
  auto produce = [&](size_t k, unsigned worker, ChunkSink& sink) {
    const Piece& p = pieces[k];
    Scratch& s = scratch[worker];
    s.lists.clear();
    for (size_t i = 0; i < placed.size(); ++i) {
      if (rows[i].second > p.top && rows[i].first < p.top + p.rows) s.lists.push_back(placed[i]);
    }
    std::unique_ptr<BandBitmap>& band = p.rows == pieceRows ? s.usual : s.other;
    if (!band || band->rows() != p.rows) {
      band.reset();  // the old piece goes before the new one is made
      band = std::make_unique<BandBitmap>(scene.width_px, p.rows, p.top);
    }
    leftOut += drawSpan(s.lists, p.top, *band, s.drawing);
    if (scene.tech) {
      Canvas canvas(*band);
      canvas.setWindowOrigin(0, p.top);
      drawTechFrame(canvas, *scene.tech, scene.dpi);
    }
    consumer.encode(*band, sink);
  };
  auto write = [&](std::span<const uint8_t> bytes) { file.write(bytes); };
  auto done = [&](size_t k) {
    if (options.progress) {
      options.progress->report(ExportProgress::Phase::Drawing, pieces[k].band + 1,
                               scene.bands.bandCount,
                               static_cast<double>(k + 1) / static_cast<double>(pieces.size()));
    }
  };
  const std::atomic<bool>* cancelled = options.progress ? &options.progress->cancelled : nullptr;
  ChunkLimits limits;
  limits.threads = stats.threads;
  limits.holdBytes = static_cast<size_t>(pieceBytes);
  limits.maxAhead = 2 * size_t{stats.threads};
  stats.cancelled =
      !runChunksInOrder(pieces.size(), limits, produce, write, done, cancelled, previews);
  stats.drawsLeftOut = leftOut;
  return stats;
}

}  // namespace

// JobRaster
// ============================================================================

RasterScene outputScene(const Job& job, const OutputSettings& settings, JobExtents& extents) {
  extents = outputExtents(job.Boards, settings.layers);
  RasterScene scene;
  double shiftX = 0.0, shiftY = 0.0;
  if (settings.techArea) {
    scene.tech = techAreaFrame(extents, job.Settings.Tech);
    shiftX = scene.tech->ShiftX;
    shiftY = scene.tech->ShiftY;
  }
  scene.boardLayers = outputBoardLayers(job, settings.layers, shiftX, shiftY);
  if (scene.boardLayers.empty()) {
    throw FormatError("no board has a Gerber file on a chosen layer: nothing to output");
  }
  // Boards that draw the same file the same way share its source.
  for (BoardLayer& d : scene.boardLayers) {
    auto same = [&](const LayerSource& s) {
      return s.gerberFile == d.gerberFile && s.apertureFile == d.apertureFile && s.format == d.format &&
             s.dataMinX == d.dataMinX && s.dataMinY == d.dataMinY;
    };
    auto it = std::find_if(scene.sources.begin(), scene.sources.end(), same);
    if (it == scene.sources.end()) {
      LayerSource s;
      s.gerberFile = d.gerberFile;
      s.apertureFile = d.apertureFile;
      s.format = d.format;
      s.dataMinX = d.dataMinX;
      s.dataMinY = d.dataMinY;
      it = scene.sources.insert(scene.sources.end(), std::move(s));
    }
    d.source = static_cast<size_t>(it - scene.sources.begin());
  }
  scene.interpreter.lineWidthAdjust_mils = settings.lineWidth_mils;
  scene.interpreter.holeDiameter_mils = settings.holeDiameter_mils;
  scene.interpreter.noHoleDCodes =
      parseNoHoleList(std::string_view(settings.noHoleDCodes).substr(0, kMaxNoHoleText));
  return scene;
}

void readSources(RasterScene& scene, double dpi, unsigned threads, ExportProgress* progress) {
  std::mutex progressMutex;
  int64_t read = 0;
  const auto total = static_cast<int64_t>(scene.sources.size());
  const std::atomic<bool>* cancelled = progress ? &progress->cancelled : nullptr;
  InterpreterSettings settings = scene.interpreter;
  settings.cancelled = cancelled;
  parallelFor(scene.sources.size(), workerCount(threads), cancelled, [&](size_t i) {
    LayerSource& source = scene.sources[i];
    source.renderer = openSource(source, progress);
    source.reach = measureReach(source.renderer->reader(), source.renderer->shapes(dpi), settings);
    if (progress) {
      std::lock_guard lock(progressMutex);
      ++read;
      progress->report(ExportProgress::Phase::Reading, read, total,
                       static_cast<double>(read) / static_cast<double>(total));
    }
  });
}

std::pair<double, double> sceneReach(const RasterScene& scene) {
  double right = 0.0, bottom = 0.0;
  for (const BoardLayer& d : scene.boardLayers) {
    const LayerSource& s = scene.sources[d.source];
    if (s.reach.empty) continue;
    right = std::max(right, d.x + s.reach.maxX - s.dataMinX);
    bottom = std::max(bottom, d.y + s.reach.maxY - s.dataMinY);
  }
  return {right, bottom};
}

PixelPoint boardOrigin_px(const BoardLayer& d, double pixelsPerInch) {
  return {roundHalfEven(d.x * pixelsPerInch), roundHalfEven(d.y * pixelsPerInch)};
}

RasterOptions rasterOptions(const OutputSettings& settings) {
  RasterOptions o;
  o.reference = settings.reference;
  o.threads = settings.threads;
  o.budgetBytes = settings.budgetBytes;
  o.progress = settings.progress;
  return o;
}

RasterStats rasterizeJob(const RasterScene& scene, BandConsumer& consumer, ReplacingFile& file,
                         const RasterOptions& options) {
  RasterStats stats = options.reference ? rasterizeLiterally(scene, consumer, file, options)
                                        : rasterizeFast(scene, consumer, file, options);
  if (options.progress && !stats.cancelled) {
    options.progress->report(ExportProgress::Phase::Done, scene.bands.bandCount,
                             scene.bands.bandCount, 1.0);
  }
  return stats;
}

}  // namespace drumplot
