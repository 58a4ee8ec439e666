// SPDX-License-Identifier: MIT
// The command interpreter: walks a prepared reader's statements once and
// draws the layer on a canvas: strokes with a pen as wide as the aperture,
// flashes through the shape rasterizer, regions as filled polygons, and the
// drill holes punched into the flashed pads at the end.
#pragma once

#include <atomic>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "engine/canvas.h"
#include "engine/progress.h"

namespace drumplot {

class Canvas;
class GerberReader;
class ShapeRasterizer;

// Settings shared with the export: holes and line-width adjustment.
struct InterpreterSettings {
  double holeDiameter_mils = 0.0;     // 0: no holes
  std::vector<int> noHoleDCodes;      // flashes of these D codes get no hole
  double lineWidthAdjust_mils = 0.0;  // added to every pen width (may be negative)
  // Step-and-repeat copies that cannot reach the canvas's clip are skipped
  // (the literal way draws every one).
  bool skipUnreachedCopies = true;
  // When set and true, the drawing stops early (an output being cancelled).
  const std::atomic<bool>* cancelled = nullptr;
};

// The "D-code without hole" text, e.g. "300,500,700": numbers from 10 to 9999
// are kept, anything else is skipped, at most 100 are kept.
std::vector<int> parseNoHoleList(std::string_view text);

// A drawing stretched per axis about image point (0, 0): positions scale
// per axis, aperture and pen sizes by the mean of the two factors.
struct AxisScale {
  double x = 1.0;
  double y = 1.0;

  double mean() const { return (x + y) / 2.0; }
  bool operator==(const AxisScale&) const = default;
};

// Where and how one layer is drawn.
struct LayerPlacement {
  double boardX = 0.0;  // inches: where the reader's MinX lands
  double boardY = 0.0;  // inches: where the reader's MinY lands
  double pixelsPerInch = 1000.0;
  uint32_t colour = 0x000000;  // the layer colour (24-bit RGB); white is background
  // A negative layer (%IPNEG) first exposes this rectangle (image pixels);
  // without it, the layer's reach.
  std::optional<PixelRect> negativeArea;
  AxisScale scale;

  // The resolution of the apertures' stamps and the pen: the shapes handed
  // to interpretLayer() are made at it.
  double penPixelsPerInch() const { return pixelsPerInch * scale.mean(); }
};

// Draws the reader's operations onto the canvas. The reader must be loaded,
// pre-scanned and have its apertures defined; its MinX and MinY give the data
// point that lands on the board position. `shapes` flashes the reader's
// apertures at placement.penPixelsPerInch() (its stamps serve every band).
// A file the reader refuses to draw (refuseUndrawable) must not come here:
// the interpreter walks every copy it makes.
void interpretLayer(const GerberReader& reader, ShapeRasterizer& shapes, Canvas& canvas,
                    const LayerPlacement& placement, const InterpreterSettings& settings = {},
                    Progress* progress = nullptr);

// Step-and-repeat copies left out so far because they could not reach the
// canvas's clip (a group of bands' rows), in this process: tests see that
// a group draws only the copies that reach it.
uint64_t repeatCopiesSkipped();

// Everything a layer may draw, in inches of the file's own frame (the frame
// of MinX and MinY): the extents grown by the apertures' reach, arc bulges
// and the pen, measured at `pixelsPerInch` and grown by two of its pixels;
// a scaled drawing's reach in its pixels divided by the scaled resolution.
struct LayerReach {
  double minX = 0.0, minY = 0.0, maxX = 0.0, maxY = 0.0;
  bool empty = true;
};
LayerReach measureReach(const GerberReader& reader, double pixelsPerInch = 1000.0,
                        const InterpreterSettings& settings = {});
// The same with the reader's shapes (their stamps are kept), drawn at
// their resolution divided by scale.mean() and stretched by `scale`; `also`
// is handed every primitive, its bounds in pixels of the file's frame
// (round(coordinate x resolution x the axis's factor)) plus 2^29 on both axes.
LayerReach measureReach(const GerberReader& reader, ShapeRasterizer& shapes,
                        const InterpreterSettings& settings = {}, CanvasRecorder* also = nullptr,
                        const AxisScale& scale = {});

}  // namespace drumplot
