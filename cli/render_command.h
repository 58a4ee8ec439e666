// SPDX-License-Identifier: MIT
// drumplot-cli render: one Gerber layer drawn as a one-board job into a PNG or PBM.
#pragma once

#include <ostream>
#include <string>

#include "engine/data_format.h"
#include "engine/interpreter.h"
#include "output/mono_image.h"

namespace drumplot {

struct RenderOptions {
  std::string gerberFile;
  std::string outputFile;
  double dpi = 1000.0;
  double margin = 0.1;  // inches around the data
  DataFormat preset;
  std::string apertureFile;
  InterpreterSettings interpreter;
  int64_t bandRows = 0;  // 0: the whole image in one band
};

// The image: its top-left pixel corner is the data point (MinX - margin,
// MinY - margin); Y grows downwards as in the file. Throws IoError or
// FormatError naming the file.
MonoImage renderLayer(const RenderOptions& options);

// renderLayer, then the file; prints a one-line summary.
void runRender(const RenderOptions& options, std::ostream& out);

}  // namespace drumplot
