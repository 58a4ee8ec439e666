// SPDX-License-Identifier: MIT
// Fuzz target: the four foreign aperture list conversions, and the load of
// what they write. The first input byte chooses the list format.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "apertures/aperture_file.h"
#include "apertures/aperture_list_conversion.h"
#include "engine/errors.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  auto type = static_cast<drumplot::ApertureListType>(1 + data[0] % 4);
  std::string_view source(reinterpret_cast<const char*>(data + 1), size - 1);
  drumplot::ApertureListConversion result;
  try {
    result = drumplot::convertApertureList(source, type, "fuzz.lst");
  } catch (const drumplot::FormatError&) {
    // Only the Polski list has strict number conversions.
    if (type != drumplot::ApertureListType::Polski) std::abort();
    return 0;
  }
  if (result.text.rfind(drumplot::apertureFileHeader(), 0) != 0) std::abort();
  drumplot::ApertureTable records;
  try {
    drumplot::loadApertureText(result.text, records, "fuzz.lst.Env");
  } catch (const drumplot::FormatError&) {
    // an IsoCam line without sizes reads back without a shape code
  }
  return 0;
}
