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
  throwIfUnreadable(reader_.load(), reader_.FileName);
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

std::unique_ptr<LayerRenderer> openLayer(const LayerOpening& layer) {
  StatementLimits limits;
  limits.maxOperations = layer.maxOperations;
  limits.maxTextBytes = layer.maxTextBytes;
  auto renderer = std::make_unique<LayerRenderer>(layer.format, limits);
  renderer->setFileName(layer.gerberFile);
  renderer->loadAndPrescan();
  renderer->reader().refuseUndrawable(layer.maxOperations);
  if (layer.afterPrescan) layer.afterPrescan(renderer->reader());
  if (layer.dataMinX) renderer->reader().MinX = *layer.dataMinX;
  if (layer.dataMinY) renderer->reader().MinY = *layer.dataMinY;
  renderer->readApertures(layer.apertureFile);
  renderer->makeStamps(layer.stamps);
  return renderer;
}

}  // namespace drumplot
