// SPDX-License-Identifier: MIT
// drumplot-cli info: what the reader learns from a Gerber file before drawing.
#pragma once

#include <ostream>
#include <string>

#include "engine/data_format.h"

namespace drumplot {

struct InfoOptions {
  std::string gerberFile;
  DataFormat preset;
  bool json = false;
  double plotWidth = 0.0;  // inches: the plotting area the data's size is judged against
  double plotHeight = 0.0;
  int memory_MB = 0;  // 0: the default; the stamps the reach is measured with keep within it
};

// Loads, pre-scans and parses the definitions of the file and prints the
// result; a size no plot can mean is warned about on `warnings`. Throws
// IoError when the file cannot be read.
void runInfo(const InfoOptions& options, std::ostream& out, std::ostream& warnings);

}  // namespace drumplot
