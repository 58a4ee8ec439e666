// SPDX-License-Identifier: MIT
// drumplot-cli render: one Gerber layer drawn as a one-board job into a PNG or PBM.
#pragma once

#include <iostream>
#include <ostream>
#include <string_view>

#include "output/layer_render.h"

namespace drumplot {

// "X0,Y0,X1,Y1" in inches; std::invalid_argument when it is not four numbers.
RenderWindow parseRenderWindow(std::string_view text);

// renderLayer, then the file (PNG, PBM, or TIFF for ".tif" and ".tiff"; a
// PNG and a TIFF state the resolution and the top-left corner, "X Y" in
// inches, under the keyword "drumplot-origin"); prints a one-line summary,
// or with `json` one JSON object, and what reading found to say to
// `warnings`.
void runRender(const RenderOptions& options, std::ostream& out, std::ostream& warnings = std::cerr,
               bool json = false);

}  // namespace drumplot
