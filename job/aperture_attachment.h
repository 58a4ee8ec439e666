// SPDX-License-Identifier: MIT
// Attaching an aperture file to the active layer, as the aperture import
// does with the file it produced or chose.
#pragma once

#include <string_view>

#include "job/job.h"

namespace drumplot {

// Shows `file` in the active layer's aperture cell of the layer panel and
// names it as the active layer's aperture file of every selected board (a
// name longer than 250 characters is refused, see storedFileName). An empty
// name clears the entry. The file is not read here: every drawing of the
// layer reads it anew.
void attachApertureFile(Job& job, std::string_view file);

}  // namespace drumplot
