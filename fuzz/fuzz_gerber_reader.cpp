// SPDX-License-Identifier: MIT
// Fuzz target: load + extents + definitions + macro expansion of a Gerber file.
// The last input byte chooses the preset data format.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "engine/errors.h"
#include "engine/gerber_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  uint8_t options = data[size - 1];
  drumplot::DataFormat preset;
  preset.IntDigits = static_cast<uint8_t>(1 + options % 6);
  preset.DecDigits = static_cast<uint8_t>(1 + (options / 6) % 6);
  preset.ZeroSuppression = static_cast<uint8_t>((options >> 5) % 3);
  preset.Metric = (options >> 7) & 1;
  drumplot::StatementLimits limits;
  limits.maxStatements = 200000;  // keeps step-and-repeat bombs small
  limits.maxMacroLines = 200000;
  drumplot::GerberReader reader(preset, limits);
  reader.FileName = "fuzz.gbr";
  reader.loadBytes(std::string_view(reinterpret_cast<const char*>(data), size - 1));
  reader.computeExtents();
  try {
    reader.parseDefinitions();
  } catch (const drumplot::FormatError&) {
    // a D code that is not a number ends the pass: an expected outcome
  }
  return 0;
}
