// SPDX-License-Identifier: MIT
// JobRaster: what the plotter export and the job bitmap share: drawing
// every board layer of a job band by band (the literal way, or through
// display lists on worker threads), with the overview and the preview
// drawn in the first band produced.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "engine/band_bitmap.h"
#include "engine/band_geometry.h"
#include "engine/interpreter.h"
#include "engine/layer_renderer.h"
#include "job/job.h"
#include "job/tech_area.h"
#include "output/band_scheduler.h"
#include "output/export_geometry.h"
#include "output/film_writer.h"

namespace drumplot {

class PreparedJob;
class WorkerPool;

// What a source draws at one resolution with one set of drawing settings.
struct SourceMeasure {
  LayerReach reach;  // inches in the file's frame
  // About the bytes its recording takes, by the rows of its own pixels
  // (its data origin on row 0): of the primitives that begin, and that end,
  // in each bucket of `bucketRows` rows from row `firstRow`.
  int64_t firstRow = 0;
  int64_t bucketRows = 64;
  std::vector<uint64_t> beginBytes, endBytes;
  // The rows its primitives cross (a span to fill in each) and the pixels
  // they cover.
  double spans = 0.0, pixels = 0.0;
};

// The "D-code without  hole:" field holds at most this many characters.
inline constexpr size_t kMaxNoHoleText = 250;

// What the outputs draw, as the export dialog sets it.
struct DrawSettings {
  OutputLayers layers = allLayers();  // the layer check boxes
  double lineWidth_mils = 0.0;        // "Both direction": added to every pen (may be negative)
  int holeDiameter_mils = 0;          // "Hole size in  pads :"; 0: no holes
  std::string noHoleDCodes = "300,500,700";  // "D-code without  hole:"
  bool techArea = false;                     // "Use tech. area"

  static OutputLayers allLayers() {
    OutputLayers all;
    all.fill(true);
    return all;
  }
};

// How an output runs: how its bands are made, within what memory.
struct RunSettings {
  // Everything the output holds: band buffers, stamps and recordings (the
  // `Memory` setting as memoryBudgetBytes()).
  uint64_t budgetBytes = memoryBudgetBytes(kMemoryDefault_MB);
  bool reference = false;  // the literal way: one thread, each band reads every layer anew
  // Operations a layer file may expand to; a file above it is refused before
  // anything is drawn (--force: UINT64_MAX).
  uint64_t maxOperations = kMaxDrawnOperations;
  unsigned threads = 0;  // workers of the fast way; 0: one per processor
  // The fast way cuts bands into pieces of about this many bytes, so that
  // a piece is still in the cache when it is coded.
  uint64_t pieceBytes = uint64_t{2} << 20;
  Progress* progress = nullptr;
  // The files read for earlier outputs of the same job (a check before the
  // export, the window's commands); none: read for this output alone.
  PreparedJob* prepared = nullptr;
  // The threads the fast way runs on, started once for the export (or the
  // window); none: rasterizeJob starts its own for the output.
  WorkerPool* workers = nullptr;
};

// One Gerber file as the boards draw it (its aperture file, format and data
// origin): every copy of a panelized board, and every mark of the same
// file, draws the same source.
struct LayerSource {
  std::string gerberFile;
  std::string apertureFile;
  DataFormat format;
  double dataMinX = 0.0, dataMinY = 0.0;
  // Read once for the whole output, or kept from earlier ones (decoded
  // operations, apertures, stamps).
  std::shared_ptr<LayerRenderer> renderer;
  // What it draws at the scene's dpi, once readSources() measured it.
  std::shared_ptr<const SourceMeasure> measured;
};

// Whether two sources (or a board layer and a source) draw one file the
// same way: the same file, aperture file, format and data origin.
template <typename A, typename B>
bool sameSource(const A& a, const B& b) {
  return a.gerberFile == b.gerberFile && a.apertureFile == b.apertureFile && a.format == b.format &&
         a.dataMinX == b.dataMinX && a.dataMinY == b.dataMinY;
}

// What to draw: an image of width_px x height_px at `dpi`, cut into bands.
struct RasterScene {
  std::vector<BoardLayer> boardLayers;  // in drawing order
  std::vector<LayerSource> sources;     // what boardLayers[i].source names
  std::shared_ptr<StampCache> stamps;   // the sources' stamps, within the memory budget
  InterpreterSettings interpreter;
  double dpi = 0.0;
  // The film scale: every board, mark and the tech area stretched about
  // image pixel (0, 0), the overview and preview with them.
  AxisScale scale;
  int64_t width_px = 0;
  int64_t height_px = 0;
  BandGeometry bands;
  BandOrder order = BandOrder::TopDown;
  // Pieces of a band are made from its bottom up (their groups run upwards).
  bool piecesBottomUp = false;
  int64_t rowAlign = 1;  // piece heights are multiples of this
  // Skip, in every band but the first produced, the boards that do not reach it.
  bool cullBoards = false;
  std::optional<TechAreaFrame> tech;  // drawn after the boards
  double overviewDpi = 0.0;           // 400 x 400
  PreviewSize preview;                // none when empty
  // What reading the sources found to say (a limit that cut a file, no
  // drawing, no M02), each naming the file; once per source.
  std::vector<std::string> warnings;
  uint64_t decodedBytes = 0;  // what the sources' decoded operations hold
};

struct RasterStats {
  int64_t pieces = 0;  // bands, or the pieces the fast way cut them into
  unsigned threads = 1;
  uint64_t primitives = 0;        // recorded by the fast way (in all groups of pieces)
  uint64_t displayListBytes = 0;  // the most the recordings of one group of pieces held
  int64_t groups = 0;             // groups of pieces recorded one after another within the budget
  // The recordings of a single piece would need more than the budget allows:
  // this many bytes (0: they kept within it); such pieces were drawn
  // straight from the files.
  uint64_t overBudgetBytes = 0;
  uint64_t drawsLeftOut = 0;  // primitives' draws into pieces that would change no pixel
  uint64_t tilesCopied = 0;   // tiles of pieces copied from the same tile beside them
  bool cancelled = false;
  uint64_t decodedBytes = 0;          // the sources' decoded operations
  std::vector<std::string> warnings;  // the scene's
};

// The part of a scene that follows from the job and the settings: the
// board layers (moved by the tech area in use) and their sources, the
// interpreter settings and the frame, and the extents of the boards output.
// Throws FormatError when no board has a Gerber file on a chosen layer.
RasterScene outputScene(const Job& job, const DrawSettings& draw, JobExtents& extents);

// Reads each source of the scene once (or takes it from run.prepared) and
// measures what it draws at `dpi` stretched by scene.scale (several
// sources at once on the run's
// workers); their stamps share one cache of a quarter of the budget
// (larger ones are drawn for each band). The readers' warnings go to
// scene.warnings. Throws IoError or FormatError naming the file that
// cannot be read or drawn (more operations than run.maxOperations), and
// FormatError when the decoded files alone take more than the memory
// setting.
void readSources(RasterScene& scene, double dpi, const RunSettings& run);

// The run's prepared job, or `own` made for it alone.
PreparedJob& preparedJobOf(const RunSettings& run, std::optional<PreparedJob>& own);

// Workers for a run that has none, started into `own` for it alone; the
// literal way draws on the calling thread and gets none.
void giveOwnWorkers(RunSettings& run, std::optional<WorkerPool>& own);

// The right and bottom edges (inches) of everything the board layers draw.
std::pair<double, double> sceneReach(const RasterScene& scene);

// Where board layer `d` puts its data origin at `pixelsPerInch` stretched
// by `scale`: its position rounded to a whole pixel, so that every copy of
// a source draws the same pixels moved by whole pixels.
PixelPoint boardOrigin_px(const BoardLayer& d, double pixelsPerInch, const AxisScale& scale = {});

// Draws the scene band by band into `file` through `writer`, from its
// begin() to its finish(). Throws IoError or FormatError (a layer file that
// cannot be read, a shape too large); returns with `cancelled` set when the
// progress was cancelled, the film unfinished.
RasterStats rasterizeJob(const RasterScene& scene, FilmWriter& writer, ByteSink& file,
                         const RunSettings& run);

}  // namespace drumplot
