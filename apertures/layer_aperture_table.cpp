// SPDX-License-Identifier: MIT
// The aperture table of one board layer.
#include "apertures/layer_aperture_table.h"

#include "apertures/aperture_file.h"
#include "engine/errors.h"
#include "engine/gerber_reader.h"
#include "engine/layer_renderer.h"

namespace drumplot {

WorkingApertureTable layerApertureTable(const std::string& gerberFile,
                                        const std::string& apertureFile, const DataFormat& format,
                                        std::string* unread) {
  auto loadApertureFile = [&](ApertureTable& apertures) {
    LoadApertureFile(apertures, apertureFile);
  };
  if (!gerberFile.empty()) {
    try {
      LayerOpening opening(gerberFile, format);
      opening.apertureFile = loadApertureFile;
      std::unique_ptr<LayerRenderer> layer = openLayer(opening);
      return buildApertureTable(layer->reader());
    } catch (const IoError& e) {
      if (unread)
        *unread = std::string(e.what()) + "; the table shows the aperture file's rows alone";
    }
  }
  GerberReader reader(format);
  loadApertureFile(reader.Apertures);
  return buildApertureTable(reader);
}

}  // namespace drumplot
