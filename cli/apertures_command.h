// SPDX-License-Identifier: MIT
// drumplot-cli apertures: converting foreign aperture lists into aperture
// files, and showing a layer's aperture table.
#pragma once

#include <ostream>
#include <string>

#include "engine/data_format.h"

namespace drumplot {

struct AperturesConvertOptions {
  std::string type;  // isocam, ecam, gccam, polski, or aptconv for the external converter
  std::string source;
  std::string target;  // empty: the source name followed by ".Env"
};

// Converts the list and reports what was written (and any CUSTOM apertures).
// Throws IoError or FormatError; nothing is written then.
void runAperturesConvert(const AperturesConvertOptions& options, std::ostream& out);

struct AperturesShowOptions {
  std::string gerberFile;
  std::string apertureFile;  // may be empty
  DataFormat preset;
  bool all = false;  // every row from D10 to D999, defined or not
};

// Prints the table as the aperture table dialog shows it: D code, shape,
// X, Y and rotation or inner diameter in mils, custom name.
void runAperturesShow(const AperturesShowOptions& options, std::ostream& out);

}  // namespace drumplot
