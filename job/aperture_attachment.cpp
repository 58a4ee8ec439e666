// SPDX-License-Identifier: MIT
// Attaching an aperture file to the active layer.
#include "job/aperture_attachment.h"

#include <string>

namespace drumplot {

void attachApertureFile(Job& job, std::string_view file) {
  const std::string stored = storedFileName(file);
  size_t layer = static_cast<size_t>(job.activeLayer() - 1);
  job.panel.aperture[layer] = stored;
  for (Board& board : job.boards) {
    if (board.Selected) board.LayerAperture[layer] = stored;
  }
}

}  // namespace drumplot
