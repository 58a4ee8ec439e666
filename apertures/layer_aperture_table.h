// SPDX-License-Identifier: MIT
// The aperture table of one board layer, as the aperture table dialog
// shows it: the Gerber file's own definitions with the layer's aperture
// file read over them.
#pragma once

#include <string>

#include "apertures/working_aperture_table.h"
#include "engine/data_format.h"

namespace drumplot {

// Loads and pre-scans `gerberFile` in `format`, parses its %ADD definitions
// and loads `apertureFile` over them (LoadApertureFile), then builds the
// table. A Gerber or aperture file that is missing or unreadable adds no
// apertures, as for every drawing of the layer. Throws FormatError naming
// the file when a D code or an aperture file's shape code is not a number.
WorkingApertureTable layerApertureTable(const std::string& gerberFile,
                                        const std::string& apertureFile, const DataFormat& format);

}  // namespace drumplot
