// SPDX-License-Identifier: MIT
// drumplot-cli render: one Gerber layer drawn as a one-board job into a PNG or PBM.
#pragma once

#include <iostream>
#include <ostream>

#include "output/layer_render.h"

namespace drumplot {

// renderLayer, then the file (PNG, PBM, or TIFF for ".tif" and ".tiff");
// prints a one-line summary, and what reading found to say to `warnings`.
void runRender(const RenderOptions& options, std::ostream& out, std::ostream& warnings = std::cerr);

}  // namespace drumplot
