// SPDX-License-Identifier: MIT
// The aperture table of one board layer, as the aperture table dialog
// shows it: the Gerber file's own definitions with the layer's aperture
// file read over them.
#pragma once

#include <string>

#include "apertures/working_aperture_table.h"
#include "engine/data_format.h"

namespace drumplot {

// Opens `gerberFile` in `format` as every drawing opens a layer, with
// `apertureFile` read over its %ADD definitions, and builds the table. A
// Gerber file that is not named, or that is missing or cannot be read, gives
// the aperture file's rows alone; for the last two, `unread` (when given)
// receives what kept the file from being read, naming it, for the caller to
// tell the operator. An aperture file that does not exist yet adds nothing: saving the
// table makes it. Throws FormatError naming the file for binary data, or
// when a D code or an aperture file's shape code is not a number.
WorkingApertureTable layerApertureTable(const std::string& gerberFile,
                                        const std::string& apertureFile, const DataFormat& format,
                                        std::string* unread = nullptr);

}  // namespace drumplot
