// SPDX-License-Identifier: MIT
// Fuzz target: aperture file load, the working table built from it, its save,
// and the reload of what was saved.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "apertures/aperture_file.h"
#include "apertures/working_aperture_table.h"
#include "engine/errors.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Every range line can define 9990 records; longer inputs only cost time.
  if (size > 8192) return 0;
  std::string_view text(reinterpret_cast<const char*>(data), size);
  drumplot::ApertureTable records;
  try {
    drumplot::loadApertureText(text, records, "fuzz.Env");
  } catch (const drumplot::FormatError&) {
    // a text that is not an aperture file, or a line the load refuses: an
    // expected outcome (what was read before the line stays)
  }
  for (int d : records.definedCodes()) {
    const drumplot::Aperture& a = *records.find(d);
    if (!(a.SizeX >= 0.0 && a.SizeX <= drumplot::kMaxApertureFileSize && a.SizeY >= 0.0 &&
          a.SizeY <= drumplot::kMaxApertureFileSize)) {
      std::abort();
    }
  }
  drumplot::WorkingApertureTable table = drumplot::buildApertureTable(records);
  std::string saved = drumplot::apertureFileText(table);

  // What the save writes always loads again, as the same shapes.
  drumplot::ApertureTable reloaded;
  drumplot::loadApertureText(saved, reloaded, "saved.Env");
  for (int d = drumplot::WorkingApertureTable::kFirstDCode;
       d <= drumplot::WorkingApertureTable::kLastDCode; ++d) {
    drumplot::ApertureShape shape = table.row(d).Shape;
    bool written =
        shape != drumplot::ApertureShape::None && shape != drumplot::ApertureShape::Custom;
    const drumplot::Aperture* back = reloaded.find(d);
    if (written != (back != nullptr)) std::abort();
    if (back && back->Shape != shape) std::abort();
  }
  return 0;
}
