// SPDX-License-Identifier: MIT
// Fuzz target: a Gerber file read and drawn: load, decoding and extents,
// definitions and macros, the reach, and the interpreter onto a band and a
// recording canvas. The last input byte chooses the preset data format.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "engine/band_bitmap.h"
#include "engine/canvas.h"
#include "engine/errors.h"
#include "engine/gerber_reader.h"
#include "engine/interpreter.h"
#include "engine/shape_rasterizer.h"

namespace {

struct Discard final : drumplot::CanvasRecorder {
  void record(const drumplot::CanvasOp&) override {}
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  uint8_t options = data[size - 1];
  drumplot::DataFormat preset;
  preset.IntDigits = static_cast<uint8_t>(1 + options % 6);
  preset.DecDigits = static_cast<uint8_t>(1 + (options / 6) % 6);
  preset.ZeroSuppression = static_cast<drumplot::ZeroSuppression>((options >> 5) % 3);
  preset.Metric = ((options >> 7) & 1) != 0;
  drumplot::StatementLimits limits;
  limits.maxStatements = 200000;
  limits.maxMacroLines = 200000;
  limits.maxRepeatCopies = 20000;
  limits.maxOperations = 200000;  // larger expansions are refused before drawing
  drumplot::GerberReader reader(preset, limits);
  reader.FileName = "fuzz.gbr";
  reader.loadBytes(std::string_view(reinterpret_cast<const char*>(data), size - 1));
  try {
    reader.computeExtents();
    reader.parseDefinitions();
    reader.refuseUndrawable(limits.maxOperations);  // as every drawing does, at the harness's bound
  } catch (const drumplot::FormatError&) {
    return 0;  // a D code or a coordinate that cannot be read ends the reading: expected
  }
  // Drawn at a low resolution into a small band around the data, and
  // recorded onto a canvas as large as the export's, on a film scaled
  // unevenly for some inputs (arcs become ellipses).
  drumplot::StampCache stamps(uint64_t{4} << 20);
  drumplot::ShapeRasterizer shapes(reader.Apertures, 50.0, &stamps);
  drumplot::InterpreterSettings settings;
  settings.holeDiameter_mils = (options & 1) ? 20.0 : 0.0;
  drumplot::measureReach(reader, shapes, settings);
  drumplot::BandBitmap band(256, 64, 96);
  drumplot::Canvas canvas(band);
  drumplot::interpretLayer(reader, shapes, canvas,
                           {reader.MinX + 1.0, reader.MinY + 2.0, 50.0, 0, std::nullopt, {}},
                           settings);
  Discard discard;
  drumplot::Canvas recording(discard, int64_t{1} << 20, int64_t{1} << 20);
  const drumplot::AxisScale scale =
      (options & 2) ? drumplot::AxisScale{1.005, 0.995} : drumplot::AxisScale{};
  drumplot::interpretLayer(reader, shapes, recording, {0.0, 0.0, 50.0, 0, std::nullopt, scale},
                           settings);
  return 0;
}
