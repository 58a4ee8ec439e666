// SPDX-License-Identifier: MIT
// The aperture table of one board layer.
#include "apertures/layer_aperture_table.h"

#include "apertures/aperture_file.h"
#include "engine/gerber_reader.h"

namespace drumplot {

WorkingApertureTable layerApertureTable(const std::string& gerberFile,
                                        const std::string& apertureFile, const DataFormat& format) {
  GerberReader reader(format);
  reader.FileName = gerberFile;
  reader.load();  // a missing file leaves no statements, as for a drawing
  reader.computeExtents();
  reader.parseDefinitions();
  LoadApertureFile(reader, apertureFile);
  return buildApertureTable(reader);
}

}  // namespace drumplot
