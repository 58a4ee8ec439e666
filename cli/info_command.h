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
};

// Loads, pre-scans and parses the definitions of the file and prints the
// result. Throws IoError when the file cannot be read.
void runInfo(const InfoOptions& options, std::ostream& out);

}  // namespace drumplot
