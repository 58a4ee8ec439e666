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

// A board layer's renderer, ready to draw: the layer file read and
// pre-scanned with the board's format, its origin the board's master data
// origin (so that every layer of a board lines up), its apertures defined.
std::unique_ptr<LayerRenderer> openBoardLayer(const BoardLayer& d) {
  auto renderer = std::make_unique<LayerRenderer>(d.format);
  renderer->setFileName(d.gerberFile);
  renderer->loadAndPrescan();
  renderer->reader().MinX = d.dataMinX;
  renderer->reader().MinY = d.dataMinY;
  renderer->readApertures(apertureFileLoader(d.apertureFile));
  renderer->makeStamps();
  return renderer;
}

void drawBoardLayer(LayerRenderer& renderer, const BoardLayer& d, Canvas& canvas, double dpi,
                    const InterpreterSettings& settings) {
  interpretLayer(renderer.reader(), renderer.shapes(dpi), canvas, {d.x, d.y, dpi, kBlack, std::nullopt}, settings);
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
    const double bandEnd = static_cast<double>(span.topRow + span.rows) / scene.dpi;
    BandBitmap band(scene.width_px, span.rows, span.topRow);
    Canvas canvas(band);
    Canvas overviewCanvas(overview);
    Canvas previewCanvas(preview);
    for (int64_t j = 0; j < items; ++j) {
      if (isCancelled(options)) return;
      const BoardLayer& d = scene.boardLayers[static_cast<size_t>(j)];
      const bool first = i == 0;
      if (scene.cullBoards && !first && d.y > bandEnd + 0.5) continue;  // before reading the file
      std::unique_ptr<LayerRenderer> renderer = openBoardLayer(d);
      if (scene.cullBoards && !first &&
          !boardReachesBand(d.y, renderer->reader().Height, span, scene.dpi)) {
        continue;
      }
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
  auto write = [&](std::span<const uint8_t> bytes) { consumer.write(bytes, file); };
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

// One board layer read once: its drawing at the image's resolution, indexed
// by the pieces' rows, and the renderer whose stamps it uses (its statements
// kept until the overview and preview are drawn).
struct RecordedLayer {
  std::unique_ptr<LayerRenderer> renderer;
  DisplayList image;
  double height = 0.0;  // the layer's drawing height (pre-scan), inches
};

// A piece of a band, as a worker makes it.
struct Piece {
  int64_t top = 0;
  int64_t rows = 0;
  int64_t band = 0;  // in production order
  size_t span = 0;   // its place among the pieces in image order
};

// The bands in production order, each cut into pieces of at most
// pieceRows rows, from the band's bottom up or its top down; `tops` gets
// the pieces' first rows in image order.
std::vector<Piece> cutBands(const RasterScene& scene, int64_t pieceRows, std::vector<int64_t>& tops) {
  std::vector<Piece> pieces;
  for (int64_t i = 0; i < scene.bands.bandCount; ++i) {
    const BandSpan b = scene.bands.band(i, scene.order);
    const int64_t end = b.topRow + b.rows;
    if (scene.piecesBottomUp) {
      for (int64_t bottom = end; bottom > b.topRow; bottom -= pieceRows) {
        const int64_t top = std::max(b.topRow, bottom - pieceRows);
        pieces.push_back({top, bottom - top, i, 0});
      }
    } else {
      for (int64_t top = b.topRow; top < end; top += pieceRows) {
        pieces.push_back({top, std::min(pieceRows, end - top), i, 0});
      }
    }
  }
  tops.clear();
  for (const Piece& p : pieces) tops.push_back(p.top);
  std::sort(tops.begin(), tops.end());
  for (Piece& p : pieces) {
    p.span = static_cast<size_t>(std::lower_bound(tops.begin(), tops.end(), p.top) - tops.begin());
  }
  return pieces;
}

void recordLayers(const RasterScene& scene, std::span<const int64_t> tops,
                  std::vector<RecordedLayer>& layers, unsigned threads, const RasterOptions& options) {
  std::mutex progressMutex;
  int64_t read = 0;
  const auto total = static_cast<int64_t>(layers.size());
  const std::atomic<bool>* cancelled = options.progress ? &options.progress->cancelled : nullptr;
  // The largest files first, so that no worker is left with a large one
  // at the end while the others wait.
  std::vector<std::pair<uintmax_t, size_t>> order;
  for (size_t i = 0; i < layers.size(); ++i) {
    std::error_code unknown;  // a missing file fails when it is read
    const uintmax_t size = std::filesystem::file_size(scene.boardLayers[i].gerberFile, unknown);
    order.emplace_back(unknown ? 0 : size, i);
  }
  std::stable_sort(order.begin(), order.end(), [](auto& a, auto& b) { return a.first > b.first; });
  parallelFor(layers.size(), threads, cancelled, [&](size_t k) {
    const size_t i = order[k].second;
    const BoardLayer& d = scene.boardLayers[i];
    RecordedLayer& out = layers[i];
    std::unique_ptr<LayerRenderer> renderer = openBoardLayer(d);
    {
      Canvas canvas(out.image, scene.width_px, scene.height_px);
      drawBoardLayer(*renderer, d, canvas, scene.dpi, scene.interpreter);
    }
    out.image.index(tops);
    out.height = renderer->reader().Height;
    out.renderer = std::move(renderer);
    if (options.progress) {
      std::lock_guard lock(progressMutex);
      ++read;
      options.progress->report(ExportProgress::Phase::Reading, read, total,
                               static_cast<double>(read) / static_cast<double>(total));
    }
  });
}

// The overview and preview as the first band of the literal way draws
// them: every board layer drawn onto both, in order, then the tech area's
// frame. Each layer's statements go once drawn: the pieces need only its
// recording and stamps. Stops early (drawing less) when cancelled.
void drawPreviews(const RasterScene& scene, std::vector<RecordedLayer>& layers, BandBitmap& overview,
                  BandBitmap& preview, const RasterOptions& options) {
  Canvas overviewCanvas(overview);
  Canvas previewCanvas(preview);
  for (size_t i = 0; i < layers.size(); ++i) {
    if (isCancelled(options)) return;
    LayerRenderer& renderer = *layers[i].renderer;
    const BoardLayer& d = scene.boardLayers[i];
    drawBoardLayer(renderer, d, overviewCanvas, scene.overviewDpi, scene.interpreter);
    if (hasPreview(scene)) drawBoardLayer(renderer, d, previewCanvas, scene.preview.dpi, scene.interpreter);
    renderer.reader().Statements = StatementList();
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
  std::vector<int64_t> tops;
  std::vector<Piece> pieces = cutBands(scene, pieceRows, tops);
  stats.pieces = static_cast<int64_t>(pieces.size());

  std::vector<RecordedLayer> layers(scene.boardLayers.size());
  recordLayers(scene, tops, layers, asked, options);
  if (isCancelled(options)) {
    stats.cancelled = true;
    return stats;
  }
  for (const RecordedLayer& l : layers) {
    stats.primitives += l.image.size();
    stats.displayListBytes += l.image.memoryBytes();
  }

  // The overview and preview are drawn by worker 0 while the others begin
  // the pieces (which use only the layers' recordings and stamps); their
  // blocks keep a place in the file until then.
  const uint64_t previewsAt = file.bytesWritten();
  file.write(std::vector<uint8_t>(consumer.previewBytes(), 0));
  auto previews = [&] {
    BandBitmap overview(kOverviewSide_px, kOverviewSide_px);
    BandBitmap preview(scene.preview.width_px, scene.preview.height_px);
    drawPreviews(scene, layers, overview, preview, options);
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
    std::vector<const DisplayList*> lists;  // the layers the piece draws
    SpanDrawing drawing;
  };
  std::vector<Scratch> scratch(stats.threads);
  std::atomic<uint64_t> leftOut{0};
  auto produce = [&](size_t k, unsigned worker, ChunkSink& sink) {
    const Piece& p = pieces[k];
    Scratch& s = scratch[worker];
    const BandSpan bandSpan = scene.bands.band(p.band, scene.order);
    s.lists.clear();
    for (size_t i = 0; i < layers.size(); ++i) {
      if (scene.cullBoards && p.band != 0 &&
          !boardReachesBand(scene.boardLayers[i].y, layers[i].height, bandSpan, scene.dpi)) {
        continue;
      }
      s.lists.push_back(&layers[i].image);
    }
    std::unique_ptr<BandBitmap>& band = p.rows == pieceRows ? s.usual : s.other;
    if (!band || band->rows() != p.rows) {
      band.reset();  // the old piece goes before the new one is made
      band = std::make_unique<BandBitmap>(scene.width_px, p.rows, p.top);
    }
    leftOut += drawSpan(s.lists, p.span, p.top, *band, s.drawing);
    if (scene.tech) {
      Canvas canvas(*band);
      canvas.setWindowOrigin(0, p.top);
      drawTechFrame(canvas, *scene.tech, scene.dpi);
    }
    consumer.encode(*band, sink);
  };
  auto write = [&](std::span<const uint8_t> bytes) { consumer.write(bytes, file); };
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
  scene.interpreter.lineWidthAdjust_mils = settings.lineWidth_mils;
  scene.interpreter.holeDiameter_mils = settings.holeDiameter_mils;
  scene.interpreter.noHoleDCodes =
      parseNoHoleList(std::string_view(settings.noHoleDCodes).substr(0, kMaxNoHoleText));
  return scene;
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
