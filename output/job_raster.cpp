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

#include "apertures/aperture_file.h"
#include "engine/canvas.h"
#include "engine/errors.h"
#include "engine/layer_renderer.h"
#include "engine/rounding.h"
#include "output/covered_draws.h"
#include "output/display_list.h"
#include "output/prepared_job.h"
#include "output/workers.h"

namespace drumplot {

namespace {

// JobRaster - One board layer
// ============================================================================

// A source's renderer, ready to draw: the layer file read and pre-scanned
// with the board's format, its origin the board's master data origin (so
// that every layer of a board lines up), its apertures defined. The
// statement texts go once the definitions are read: the drawing needs only
// the decoded operations.
std::unique_ptr<LayerRenderer> openSource(const LayerSource& source, StampCache* stamps,
                                          const RunSettings& run) {
  LayerOpening opening = boardLayerOpening(source);
  opening.stamps = stamps;
  opening.maxOperations = run.maxOperations;
  opening.maxTextBytes = run.budgetBytes;
  std::unique_ptr<LayerRenderer> renderer = openLayer(opening);
  renderer->reader().Statements = StatementList();
  return renderer;
}

// Where a source draws at `dpi` on a film stretched by `scale`, its data
// origin on image point (0, 0).
LayerPlacement sourcePlacement(double dpi, const AxisScale& scale) {
  return {0.0, 0.0, dpi, kBlack, std::nullopt, scale};
}

// Draws a board layer with its data origin on boardOrigin_px().
void drawBoardLayer(LayerRenderer& renderer, const BoardLayer& d, Canvas& canvas, double dpi,
                    const AxisScale& scale, const InterpreterSettings& settings) {
  const PixelPoint at = boardOrigin_px(d, dpi, scale);
  const PixelPoint saved = canvas.windowOrigin();
  canvas.setWindowOrigin(saved.x - at.x, saved.y - at.y);
  const LayerPlacement placement = sourcePlacement(dpi, scale);
  interpretLayer(renderer.reader(), renderer.shapes(placement.penPixelsPerInch()), canvas,
                 placement, settings);
  canvas.setWindowOrigin(saved.x, saved.y);
}

// The pixels a source draws in, from its data origin at the scene's
// resolution and scale: its reach, and a few pixels around it.
PixelRect sourcePixels(const RasterScene& scene, const LayerSource& s) {
  const LayerReach& reach = s.measured->reach;
  const double dpiX = scene.dpi * scene.scale.x, dpiY = scene.dpi * scene.scale.y;
  return {static_cast<int64_t>(std::floor((reach.minX - s.dataMinX) * dpiX)) - 4,
          static_cast<int64_t>(std::floor((reach.minY - s.dataMinY) * dpiY)) - 4,
          static_cast<int64_t>(std::ceil((reach.maxX - s.dataMinX) * dpiX)) + 4,
          static_cast<int64_t>(std::ceil((reach.maxY - s.dataMinY) * dpiY)) + 4};
}

// The image rows board layer `d` may draw in: its source's pixels at its place.
std::pair<int64_t, int64_t> layerRows(const RasterScene& scene, const BoardLayer& d) {
  const LayerSource& s = scene.sources[d.source];
  if (s.measured->reach.empty) return {0, 0};
  const int64_t at = boardOrigin_px(d, scene.dpi, scene.scale).y;
  const PixelRect pixels = sourcePixels(scene, s);
  return {at + pixels.y0, at + pixels.y1};
}

void drawTechFrame(Canvas& canvas, const TechAreaFrame& frame, double dpi, const AxisScale& scale) {
  canvas.setColor(kBlack);
  for (const PixelRect& r : techFrameRects(frame, dpi, scale))
    canvas.fillRect(r.x0, r.y0, r.x1, r.y1);
}

bool hasPreview(const RasterScene& s) {
  return s.preview.width_px > 0 && s.preview.height_px > 0;
}

// Runs body(i) for i = 0 .. count - 1 on `threads` workers of `pool`;
// stops at the first exception (rethrown) or when `cancelled` becomes true.
template <class Body>
void parallelFor(size_t count, unsigned threads, WorkerPool* pool,
                 const std::atomic<bool>* cancelled, Body&& body) {
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
  runWorkers(pool, threads, count, [&](unsigned) { work(); });
  if (error) std::rethrow_exception(error);
}

bool isCancelled(const RunSettings& o) {
  return o.progress && o.progress->cancelled;
}

// JobRaster - The literal way
// ============================================================================

// Band by band, one thread; in each band every board layer that reaches it
// is read anew and drawn; the first band also draws the overview and the
// preview with the same reader.
RasterStats rasterizeLiterally(const RasterScene& scene, FilmWriter& consumer, ByteSink& file,
                               const RunSettings& run) {
  const BandGeometry& g = scene.bands;
  RasterStats stats;
  stats.pieces = g.bandCount;
  BandBitmap overview(kOverviewSide_px, kOverviewSide_px);
  BandBitmap preview(scene.preview.width_px, scene.preview.height_px);
  const auto items = static_cast<int64_t>(scene.boardLayers.size());
  InterpreterSettings literal = scene.interpreter;
  literal.skipUnreachedCopies = false;
  auto produce = [&](size_t i, unsigned, ChunkSink& sink) {
    const BandSpan span = g.band(static_cast<int64_t>(i), scene.order);
    BandBitmap band(scene.width_px, span.rows, span.topRow);
    Canvas canvas(band);
    Canvas overviewCanvas(overview);
    Canvas previewCanvas(preview);
    for (int64_t j = 0; j < items; ++j) {
      if (isCancelled(run)) return;
      const BoardLayer& d = scene.boardLayers[static_cast<size_t>(j)];
      const bool first = i == 0;
      if (scene.cullBoards && !first) {
        // Only what the layer may draw decides, before its file is read.
        const auto [top, bottom] = layerRows(scene, d);
        if (bottom <= span.topRow || top >= span.topRow + span.rows) continue;
      }
      std::unique_ptr<LayerRenderer> renderer =
          openSource(scene.sources[d.source], scene.stamps.get(), run);
      drawBoardLayer(*renderer, d, canvas, scene.dpi, scene.scale, literal);
      if (first) {
        drawBoardLayer(*renderer, d, overviewCanvas, scene.overviewDpi, scene.scale, literal);
        if (hasPreview(scene)) {
          drawBoardLayer(*renderer, d, previewCanvas, scene.preview.dpi, scene.scale, literal);
        }
      }
      if (run.progress) {
        run.progress->report(
            Progress::Phase::Drawing, static_cast<int64_t>(i) + 1, g.bandCount,
            (static_cast<double>(i) + static_cast<double>(j + 1) / static_cast<double>(items)) /
                static_cast<double>(g.bandCount));
      }
    }
    if (scene.tech) {
      drawTechFrame(canvas, *scene.tech, scene.dpi, scene.scale);
      if (i == 0) {
        drawTechFrame(overviewCanvas, *scene.tech, scene.overviewDpi, scene.scale);
        drawTechFrame(previewCanvas, *scene.tech, scene.preview.dpi, scene.scale);
      }
    }
    if (i == 0) file.write(consumer.previewsDrawn(overview, preview));
    consumer.encode(band, sink);
  };
  auto write = [&](std::span<const uint8_t> bytes) { consumer.write(bytes, file); };
  auto done = [&](size_t i) {
    if (run.progress) {
      run.progress->report(Progress::Phase::Drawing, static_cast<int64_t>(i) + 1, g.bandCount,
                           static_cast<double>(i + 1) / static_cast<double>(g.bandCount));
    }
  };
  const std::atomic<bool>* cancelled = run.progress ? &run.progress->cancelled : nullptr;
  stats.cancelled =
      !runChunksInOrder(static_cast<size_t>(g.bandCount), {}, produce, write, done, cancelled);
  return stats;
}

// JobRaster - The fast way
// ============================================================================

// The bytes a source's recording takes for its rows y0 <= y < y1 (about:
// by buckets of rows), from running sums of the tallies.
struct SourceBytes {
  int64_t firstRow = 0;
  int64_t bucketRows = 64;
  std::vector<uint64_t> begun, ended;  // [k]: the primitives begun (ended) in buckets before k

  explicit SourceBytes(const SourceMeasure& s) : firstRow(s.firstRow), bucketRows(s.bucketRows) {
    begun.assign(s.beginBytes.size() + 1, 0);
    ended.assign(s.endBytes.size() + 1, 0);
    for (size_t k = 0; k < s.beginBytes.size(); ++k) begun[k + 1] = begun[k] + s.beginBytes[k];
    for (size_t k = 0; k < s.endBytes.size(); ++k) ended[k + 1] = ended[k] + s.endBytes[k];
  }
  uint64_t rows(int64_t y0, int64_t y1) const {
    const int64_t b = bucketRows, n = static_cast<int64_t>(begun.size()) - 1;
    auto bucket = [&](int64_t y) { return std::clamp<int64_t>((y - firstRow) / b, 0, n); };
    if (n == 0 || y1 <= firstRow) return 0;
    // Begun before the last bucket's end, less ended before the first bucket.
    return begun[static_cast<size_t>(std::min(n, bucket(y1 - 1) + 1))] -
           ended[static_cast<size_t>(bucket(y0))];
  }
};

// Hands on the primitives that meet some of the wanted rows (in the
// recording's own rows, which start at `baseRow`).
class WantedRows final : public CanvasRecorder {
 public:
  WantedRows(CanvasRecorder& to, const std::vector<std::pair<int64_t, int64_t>>& rows,
             int64_t baseRow)
      : to_(to), rows_(rows), baseRow_(baseRow) {}
  void record(const CanvasOp& op) override {
    for (auto [y0, y1] : rows_) {
      if (op.bounds.y0 + baseRow_ < y1 && op.bounds.y1 + baseRow_ > y0) {
        to_.record(op);
        return;
      }
    }
  }

 private:
  CanvasRecorder& to_;
  const std::vector<std::pair<int64_t, int64_t>>& rows_;
  int64_t baseRow_;
};

// One source recorded once at the image's resolution, in the pixels of a
// canvas whose origin is `base` (the corner of what the source draws, its
// data origin on image point 0), and indexed by buckets of rows.
struct RecordedSource {
  DisplayList image;
  PixelPoint base;
  bool bounded = false;  // nothing reached the canvas's sides
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

// Records each source that some board layer draws in `wanted` rows (of
// the source's own pixels; all its rows unless `onlyWanted`).
void recordSources(const RasterScene& scene, std::vector<RecordedSource>& recorded,
                   const std::vector<std::vector<std::pair<int64_t, int64_t>>>& wanted,
                   bool onlyWanted, int64_t bucketRows, unsigned threads, const RunSettings& run) {
  const std::atomic<bool>* cancelled = run.progress ? &run.progress->cancelled : nullptr;
  InterpreterSettings settings = scene.interpreter;
  settings.cancelled = cancelled;
  // The largest files first, so that no worker is left with a large one
  // at the end while the others wait.
  std::vector<std::pair<uintmax_t, size_t>> order;
  for (size_t i = 0; i < scene.sources.size(); ++i) {
    if (wanted[i].empty() || scene.sources[i].measured->reach.empty) continue;
    std::error_code unknown;  // a missing file failed when it was read
    const uintmax_t size = std::filesystem::file_size(scene.sources[i].gerberFile, unknown);
    order.emplace_back(unknown ? 0 : size, i);
  }
  std::stable_sort(order.begin(), order.end(), [](auto& a, auto& b) { return a.first > b.first; });
  parallelFor(order.size(), threads, run.workers, cancelled, [&](size_t k) {
    const size_t i = order[k].second;
    const LayerSource& source = scene.sources[i];
    RecordedSource& out = recorded[i];
    // The recording holds what the source draws, a few pixels around it,
    // and of that the rows wanted.
    const PixelRect pixels = sourcePixels(scene, source);
    out.base = {pixels.x0, pixels.y0};
    const int64_t right = pixels.x1, bottom = pixels.y1;
    WantedRows filter(out.image, wanted[i], out.base.y);
    {
      Canvas canvas(onlyWanted ? static_cast<CanvasRecorder&>(filter) : out.image,
                    right - out.base.x, bottom - out.base.y);
      canvas.setWindowOrigin(out.base.x, out.base.y);
      if (onlyWanted) {
        int64_t top = bottom, end = out.base.y;
        for (auto [y0, y1] : wanted[i]) top = std::min(top, y0), end = std::max(end, y1);
        canvas.setClipRect({0, top - out.base.y, right - out.base.x, end - out.base.y});
      }
      const LayerPlacement placement = sourcePlacement(scene.dpi, scene.scale);
      interpretLayer(source.renderer->reader(),
                     source.renderer->shapes(placement.penPixelsPerInch()), canvas, placement,
                     settings);
    }
    out.image.index(bucketRows);
    out.bounded = out.image.bounds().x0 > 0 && out.image.bounds().x1 < right - out.base.x;
  });
}

// The overview and preview as the first band of the literal way draws
// them: every board layer drawn onto both, in order, then the tech area's
// frame. Stops early (drawing less) when cancelled.
void drawPreviews(const RasterScene& scene, BandBitmap& overview, BandBitmap& preview,
                  const RunSettings& run) {
  Canvas overviewCanvas(overview);
  Canvas previewCanvas(preview);
  for (const BoardLayer& d : scene.boardLayers) {
    if (isCancelled(run)) return;
    LayerRenderer& renderer = *scene.sources[d.source].renderer;
    drawBoardLayer(renderer, d, overviewCanvas, scene.overviewDpi, scene.scale, scene.interpreter);
    if (hasPreview(scene)) {
      drawBoardLayer(renderer, d, previewCanvas, scene.preview.dpi, scene.scale, scene.interpreter);
    }
  }
  if (scene.tech) {
    drawTechFrame(overviewCanvas, *scene.tech, scene.overviewDpi, scene.scale);
    drawTechFrame(previewCanvas, *scene.tech, scene.preview.dpi, scene.scale);
  }
}

RasterStats rasterizeFast(const RasterScene& scene, FilmWriter& consumer, ByteSink& file,
                          const RunSettings& run) {
  RasterStats stats;
  const unsigned asked = workerCount(run.threads);

  // Pieces small enough to stay in the cache, but of some rows: each piece
  // searches its covered draws and sets up every primitive that reaches it
  // anew, which on a very wide film (83 KB a row at 65024 dpi) outweighs
  // what the cache saves. Each worker keeps two piece bitmaps and up to
  // three pieces' bytes wait for their turn per worker (see
  // runChunksInOrder): all within the budget.
  const int64_t rowBytes = scene.width_px / 8;
  const int64_t align = std::max<int64_t>(scene.rowAlign, 1);
  constexpr uint64_t kPiecesPerWorker = 5;
  constexpr uint64_t kFewestPieceRows = 48;
  const uint64_t perPiece =
      std::min(run.budgetBytes / (kPiecesPerWorker * asked),
               std::max(run.pieceBytes, kFewestPieceRows * static_cast<uint64_t>(rowBytes)));
  int64_t pieceRows =
      static_cast<int64_t>(perPiece / static_cast<uint64_t>(rowBytes)) / align * align;
  pieceRows = std::clamp(pieceRows, align, std::max(scene.bands.rowsPerBand, align));
  const auto pieceBytes = static_cast<uint64_t>(pieceRows * rowBytes);
  stats.threads = static_cast<unsigned>(
      std::clamp<uint64_t>(run.budgetBytes / (kPiecesPerWorker * pieceBytes), 1, asked));
  std::vector<Piece> pieces = cutBands(scene, pieceRows);
  stats.pieces = static_cast<int64_t>(pieces.size());

  // Each board layer draws its source's recording at its own place.
  std::vector<PixelPoint> origins;
  for (const BoardLayer& d : scene.boardLayers)
    origins.push_back(boardOrigin_px(d, scene.dpi, scene.scale));

  // The pieces in groups, in production order, whose recordings keep within
  // what the budget leaves beside the pieces and the stamps; most jobs make
  // one group.
  const uint64_t piecesBytes = kPiecesPerWorker * stats.threads * pieceBytes;
  const uint64_t stampsBytes = scene.stamps ? scene.stamps->capacity() : 0;
  const uint64_t listBudget = std::max(
      run.budgetBytes - std::min(run.budgetBytes, piecesBytes + stampsBytes), run.budgetBytes / 4);
  std::vector<SourceBytes> tallies;
  for (const LayerSource& source : scene.sources) tallies.emplace_back(*source.measured);
  auto groupBytes = [&](int64_t top, int64_t bottom) {
    uint64_t total = 0;
    for (size_t i = 0; i < scene.boardLayers.size(); ++i) {
      total += tallies[scene.boardLayers[i].source].rows(top - origins[i].y, bottom - origins[i].y);
    }
    return total;
  };
  // A piece whose recordings alone would pass that is drawn straight from
  // the files (the literal way, one worker): slower, but within the budget
  // whatever a file holds.
  struct Group {
    size_t first, end;    // pieces[first, end)
    int64_t top, bottom;  // the image rows they cover
    bool direct = false;  // drawn from the files, not recorded
  };
  std::vector<Group> groups;
  for (size_t k = 0; k < pieces.size(); ++k) {
    const Piece& p = pieces[k];
    const uint64_t alone = groupBytes(p.top, p.top + p.rows);
    const bool direct = alone > listBudget;
    if (!groups.empty() && groups.back().direct == direct) {
      Group& g = groups.back();
      const int64_t top = std::min(g.top, p.top), bottom = std::max(g.bottom, p.top + p.rows);
      if (direct || groupBytes(top, bottom) <= listBudget) {
        g = {g.first, k + 1, top, bottom, direct};
        continue;
      }
    }
    groups.push_back({k, k + 1, p.top, p.top + p.rows, direct});
    if (direct) stats.overBudgetBytes = std::max(stats.overBudgetBytes, alone);
  }
  stats.groups = static_cast<int64_t>(groups.size());

  // The overview and preview are drawn by worker 0 while the others begin
  // the pieces of the first group (which use only the recordings and
  // stamps); their blocks keep a place in the file until then.
  const uint64_t previewsAt = file.bytesWritten();
  file.write(std::vector<uint8_t>(consumer.previewBytes(), 0));
  auto previews = [&] {
    BandBitmap overview(kOverviewSide_px, kOverviewSide_px);
    BandBitmap preview(scene.preview.width_px, scene.preview.height_px);
    drawPreviews(scene, overview, preview, run);
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
  std::atomic<uint64_t> leftOut{0}, tilesCopied{0};
  const std::atomic<bool>* cancelled = run.progress ? &run.progress->cancelled : nullptr;
  InterpreterSettings direct = scene.interpreter;
  direct.cancelled = cancelled;
  auto produceDirect = [&](const Piece& p, ChunkSink& sink) {
    BandBitmap band(scene.width_px, p.rows, p.top);
    Canvas canvas(band);
    for (const BoardLayer& d : scene.boardLayers) {
      const auto [top, bottom] = layerRows(scene, d);
      if (bottom <= p.top || top >= p.top + p.rows) continue;
      drawBoardLayer(*scene.sources[d.source].renderer, d, canvas, scene.dpi, scene.scale, direct);
    }
    if (scene.tech) drawTechFrame(canvas, *scene.tech, scene.dpi, scene.scale);
    consumer.encode(band, sink);
  };
  for (const Group& group : groups) {
    // Each source recorded for the rows its board layers draw in the group
    // (none for a group drawn from the files).
    std::vector<RecordedSource> recorded(group.direct ? 0 : scene.sources.size());
    std::vector<ListPlacement> placed;
    std::vector<std::pair<int64_t, int64_t>> rows;  // the image rows each may draw in
    if (!group.direct) {
      std::vector<std::vector<std::pair<int64_t, int64_t>>> wanted(scene.sources.size());
      for (size_t i = 0; i < scene.boardLayers.size(); ++i) {
        wanted[scene.boardLayers[i].source].push_back(
            {group.top - origins[i].y, group.bottom - origins[i].y});
      }
      recordSources(scene, recorded, wanted, groups.size() > 1, std::max<int64_t>(pieceRows, 256),
                    asked, run);
      if (isCancelled(run)) {
        stats.cancelled = true;
        return stats;
      }
      uint64_t listBytes = 0;
      for (const RecordedSource& r : recorded) {
        stats.primitives += r.image.size();
        listBytes += r.image.memoryBytes();
      }
      stats.displayListBytes = std::max(stats.displayListBytes, listBytes);
      for (size_t i = 0; i < scene.boardLayers.size(); ++i) {
        const RecordedSource& r = recorded[scene.boardLayers[i].source];
        placed.push_back({&r.image, origins[i].x + r.base.x, origins[i].y + r.base.y, r.bounded});
        rows.push_back(r.image.size() == 0 ? std::pair<int64_t, int64_t>{0, 0}
                                           : std::pair{r.image.bounds().y0 + placed.back().dy,
                                                       r.image.bounds().y1 + placed.back().dy});
      }
    }
    auto produce = [&](size_t k, unsigned worker, ChunkSink& sink) {
      const Piece& p = pieces[group.first + k];
      if (group.direct) {
        produceDirect(p, sink);
        return;
      }
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
      tilesCopied += s.drawing.tiles.copies.size();
      if (scene.tech) {
        Canvas canvas(*band);
        canvas.setWindowOrigin(0, p.top);
        drawTechFrame(canvas, *scene.tech, scene.dpi, scene.scale);
      }
      consumer.encode(*band, sink);
    };
    auto write = [&](std::span<const uint8_t> bytes) { consumer.write(bytes, file); };
    auto done = [&](size_t k) {
      if (run.progress) {
        run.progress->report(
            Progress::Phase::Drawing, pieces[group.first + k].band + 1, scene.bands.bandCount,
            static_cast<double>(group.first + k + 1) / static_cast<double>(pieces.size()));
      }
    };
    // A group drawn from the files runs on one worker: the sources'
    // readers and stamps are not shared between threads.
    ChunkLimits limits;
    limits.threads = group.direct ? 1 : stats.threads;
    limits.pool = run.workers;
    limits.holdBytes = static_cast<size_t>(pieceBytes);
    limits.maxAhead = 2 * size_t{limits.threads};
    const bool firstGroup = &group == &groups.front();
    // A drawing from the files stops half way when cancelled: its piece is
    // not whole even when the scheduler finished it.
    if (!runChunksInOrder(group.end - group.first, limits, produce, write, done, cancelled,
                          firstGroup ? std::function<void()>(previews) : std::function<void()>()) ||
        (group.direct && isCancelled(run))) {
      stats.cancelled = true;
      return stats;
    }
  }
  stats.drawsLeftOut = leftOut;
  stats.tilesCopied = tilesCopied;
  return stats;
}

}  // namespace

// JobRaster
// ============================================================================

RasterScene outputScene(const Job& job, const DrawSettings& draw, JobExtents& extents) {
  extents = outputExtents(job.boards, draw.layers);
  RasterScene scene;
  double shiftX = 0.0, shiftY = 0.0;
  if (draw.techArea) {
    scene.tech = techAreaFrame(extents, job.settings.tech);
    shiftX = scene.tech->shiftX;
    shiftY = scene.tech->shiftY;
  }
  scene.boardLayers = outputBoardLayers(job, draw.layers, shiftX, shiftY);
  if (scene.boardLayers.empty()) {
    throw FormatError("no board has a Gerber file on a chosen layer: nothing to output");
  }
  // Boards that draw the same file the same way share its source.
  for (BoardLayer& d : scene.boardLayers) {
    auto it = std::find_if(scene.sources.begin(), scene.sources.end(),
                           [&](const LayerSource& s) { return sameSource(s, d); });
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
  scene.interpreter.lineWidthAdjust_mils = draw.lineWidth_mils;
  scene.interpreter.holeDiameter_mils = draw.holeDiameter_mils;
  scene.interpreter.noHoleDCodes =
      parseNoHoleList(std::string_view(draw.noHoleDCodes).substr(0, kMaxNoHoleText));
  return scene;
}

void readSources(RasterScene& scene, double dpi, const RunSettings& run) {
  std::optional<PreparedJob> own;
  PreparedJob& prepared = preparedJobOf(run, own);
  scene.stamps = prepared.stamps();
  Progress* const progress = run.progress;
  std::mutex progressMutex;
  int64_t read = 0;
  const auto total = static_cast<int64_t>(scene.sources.size());
  const std::atomic<bool>* cancelled = progress ? &progress->cancelled : nullptr;
  InterpreterSettings settings = scene.interpreter;
  settings.cancelled = cancelled;
  std::vector<std::vector<std::string>> warnings(scene.sources.size());
  parallelFor(scene.sources.size(), workerCount(run.threads), run.workers, cancelled,
              [&](size_t i) {
                LayerSource& source = scene.sources[i];
                source.renderer = prepared.open(source);
                const GerberReader& reader = source.renderer->reader();
                reader.refuseUndrawable(run.maxOperations);
                source.measured = prepared.measure(source, dpi, settings, scene.scale);
                warnings[i] = reader.warnings.messages;
                if (progress) {
                  std::lock_guard lock(progressMutex);
                  ++read;
                  progress->report(Progress::Phase::Reading, read, total,
                                   static_cast<double>(read) / static_cast<double>(total));
                }
              });
  for (auto& found : warnings) {
    for (std::string& w : found) scene.warnings.push_back(std::move(w));
  }
  scene.decodedBytes = 0;
  for (const LayerSource& source : scene.sources) {
    if (source.renderer) scene.decodedBytes += source.renderer->reader().program.decodedBytes();
  }
  if (scene.decodedBytes > run.budgetBytes) {
    throw FormatError("the job's layer files take " + groupedCount(scene.decodedBytes / 1048576) +
                      " MB decoded, more than the memory setting of " +
                      groupedCount(run.budgetBytes / 1048576) +
                      " MB holds; raise the memory setting (--memory)");
  }
}

PreparedJob& preparedJobOf(const RunSettings& run, std::optional<PreparedJob>& own) {
  return run.prepared ? *run.prepared : own.emplace(run.budgetBytes);
}

void giveOwnWorkers(RunSettings& run, std::optional<WorkerPool>& own) {
  if (!run.workers && !run.reference) run.workers = &own.emplace(run.threads);
}

std::pair<double, double> sceneReach(const RasterScene& scene) {
  double right = 0.0, bottom = 0.0;
  for (const BoardLayer& d : scene.boardLayers) {
    const LayerSource& s = scene.sources[d.source];
    const LayerReach& reach = s.measured->reach;
    if (reach.empty) continue;
    right = std::max(right, d.x + reach.maxX - s.dataMinX);
    bottom = std::max(bottom, d.y + reach.maxY - s.dataMinY);
  }
  return {right, bottom};
}

PixelPoint boardOrigin_px(const BoardLayer& d, double pixelsPerInch, const AxisScale& scale) {
  return {roundHalfEven(d.x * (pixelsPerInch * scale.x)),
          roundHalfEven(d.y * (pixelsPerInch * scale.y))};
}

RasterStats rasterizeJob(const RasterScene& scene, FilmWriter& writer, ByteSink& file,
                         const RunSettings& run) {
  std::optional<WorkerPool> own;
  RunSettings pooled = run;
  giveOwnWorkers(pooled, own);
  writer.begin(file);
  RasterStats stats = run.reference ? rasterizeLiterally(scene, writer, file, run)
                                    : rasterizeFast(scene, writer, file, pooled);
  if (!stats.cancelled) writer.finish(file);
  stats.warnings = scene.warnings;
  stats.decodedBytes = scene.decodedBytes;
  if (run.progress && !stats.cancelled) {
    run.progress->report(Progress::Phase::Done, scene.bands.bandCount, scene.bands.bandCount, 1.0);
  }
  return stats;
}

}  // namespace drumplot
