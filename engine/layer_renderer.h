// SPDX-License-Identifier: MIT
// LayerRenderer: one board layer's reader and its aperture stamps, driven in
// the calling order around a drawing; everything it holds is freed with it.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "engine/gerber_reader.h"
#include "engine/shape_rasterizer.h"

namespace drumplot {

// The calling order, each step once and in this order (std::logic_error
// otherwise):
//   1, 2  construct (create and initialise: empty records, the format preset)
//   3     setFileName
//   4     loadAndPrescan (statements, format statements, extents)
//   5     readApertures (%ADD definitions, then the layer's aperture file)
//   6     makeStamps (the records are final; stamps are made per resolution)
//   7     draw: the interpreter runs reader() with shapes(pixelsPerInch)
//   8, 9  destruction (stamps, macro tables and statements are released)
class LayerRenderer {
 public:
  // Fills kind-0 records from the layer's aperture file.
  using ApertureFileLoader = std::function<void(ApertureTable& apertures)>;

  static constexpr size_t kMaxFileNameLength = 250;

  explicit LayerRenderer(DataFormat preset = {}, StatementLimits limits = {});
  LayerRenderer(const LayerRenderer&) = delete;
  LayerRenderer& operator=(const LayerRenderer&) = delete;

  // At most kMaxFileNameLength characters are kept.
  void setFileName(std::string_view fileName);
  // Reads the named file; throws IoError when it cannot be read. A file of
  // fewer than 5 bytes gives no statements.
  void loadAndPrescan();
  // The same from bytes already in memory.
  void loadAndPrescan(std::string_view bytes);
  // Throws FormatError naming the file when a D code is not a number.
  void readApertures(const ApertureFileLoader& apertureFile = {});
  // Stamps are kept by `stamps` (shared by an output's layers), or by a
  // cache of the renderer's own.
  void makeStamps(StampCache* stamps = nullptr);

  GerberReader& reader() { return reader_; }
  const GerberReader& reader() const { return reader_; }
  // The shape rasterizer of one resolution; its stamps are built on the
  // first flash of each aperture and kept for the renderer's life.
  ShapeRasterizer& shapes(double pixelsPerInch);

 private:
  enum class Step { Created, Named, Loaded, AperturesRead, Ready };
  void advance(Step from, Step to, const char* what);

  Step step_ = Step::Created;
  GerberReader reader_;
  StampCache* stamps_ = nullptr;
  std::unique_ptr<StampCache> ownStamps_;
  std::vector<std::pair<double, std::unique_ptr<ShapeRasterizer>>> rasterizers_;
};

// What opening a layer for drawing needs: its file, the format to read it
// in, where its data origin lies, and its aperture file.
struct LayerOpening {
  LayerOpening(std::string file, const DataFormat& dataFormat)
      : gerberFile(std::move(file)), format(dataFormat) {}

  std::string gerberFile;
  DataFormat format;
  // A board's layers line up on the board's master data origin, which then
  // replaces the file's own lower-left corner (MinX, MinY).
  std::optional<double> dataMinX, dataMinY;
  LayerRenderer::ApertureFileLoader apertureFile;  // empty: none
  // Looks at the pre-scanned file before anything is defined: a size or
  // alignment check may throw there, before the stamps cost anything.
  std::function<void(const GerberReader&)> afterPrescan;
  StampCache* stamps = nullptr;  // as LayerRenderer::makeStamps
  // Operations the drawing may make (--force: UINT64_MAX); a file that
  // expands to more is refused before anything is drawn.
  uint64_t maxOperations = kMaxDrawnOperations;
  // Bytes the file's statement texts may take while it is opened (the
  // memory setting); a larger file is refused before it is decoded.
  uint64_t maxTextBytes = UINT64_MAX;
};

// The one way every output opens a layer: steps 3 to 6 in order, the layer
// ready to draw. Throws as the steps do, naming the file, and as
// GerberReader::refuseUndrawable() does.
std::unique_ptr<LayerRenderer> openLayer(const LayerOpening& layer);

}  // namespace drumplot
