// SPDX-License-Identifier: MIT
// LayerRenderer: one board layer's reader and its aperture stamps, driven in
// the calling order around a drawing; everything it holds is freed with it.
#pragma once

#include <functional>
#include <memory>
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

}  // namespace drumplot
