// SPDX-License-Identifier: MIT
// The steps of one layer's drawing, in order.
#include "engine/layer_renderer.h"

#include <stdexcept>
#include <string>

#include "engine/errors.h"

namespace drumplot {

LayerRenderer::LayerRenderer(DataFormat preset, StatementLimits limits) : reader_(preset, limits) {}

void LayerRenderer::advance(Step from, Step to, const char* what) {
  if (step_ != from)
    throw std::logic_error(std::string("LayerRenderer: ") + what + " out of order");
  step_ = to;
}

void LayerRenderer::setFileName(std::string_view fileName) {
  advance(Step::Created, Step::Named, "setFileName");
  reader_.FileName = std::string(fileName.substr(0, kMaxFileNameLength));
}

void LayerRenderer::loadAndPrescan() {
  advance(Step::Named, Step::Loaded, "loadAndPrescan");
  LoadStatus status = reader_.load();
  if (status == LoadStatus::CannotOpen || status == LoadStatus::NameTooShort) {
    throw IoError(reader_.FileName + ": " + toString(status));
  }
  if (status == LoadStatus::NotGerber)
    throw FormatError(reader_.FileName + ": " + toString(status));
  reader_.computeExtents();
}

void LayerRenderer::loadAndPrescan(std::string_view bytes) {
  advance(Step::Named, Step::Loaded, "loadAndPrescan");
  reader_.loadBytes(bytes);
  reader_.computeExtents();
}

void LayerRenderer::readApertures(const ApertureFileLoader& apertureFile) {
  advance(Step::Loaded, Step::AperturesRead, "readApertures");
  reader_.parseDefinitions();
  if (apertureFile) apertureFile(reader_.Apertures);
}

void LayerRenderer::makeStamps(StampCache* stamps) {
  advance(Step::AperturesRead, Step::Ready, "makeStamps");
  if (!stamps) {
    ownStamps_ = std::make_unique<StampCache>(kDefaultStampCacheBytes);
    stamps = ownStamps_.get();
  }
  stamps_ = stamps;
}

ShapeRasterizer& LayerRenderer::shapes(double pixelsPerInch) {
  if (step_ != Step::Ready) throw std::logic_error("LayerRenderer: shapes before makeStamps");
  for (auto& [scale, rasterizer] : rasterizers_) {
    if (scale == pixelsPerInch) return *rasterizer;
  }
  rasterizers_.emplace_back(
      pixelsPerInch, std::make_unique<ShapeRasterizer>(reader_.Apertures, pixelsPerInch, stamps_));
  return *rasterizers_.back().second;
}

}  // namespace drumplot
