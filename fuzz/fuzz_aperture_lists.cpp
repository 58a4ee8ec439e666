// SPDX-License-Identifier: MIT
// Fuzz target: the four foreign aperture list conversions, and the load of
// what they write: a conversion either refuses the list or writes a file its
// own reader takes. The first input byte chooses the list format.
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
  } catch (const drumplot::FormatError& e) {
    // A refusal names the list and its line; the reader's own check of the
    // converted text ("(converted)") is a last guard that never speaks first.
    std::string_view what = e.what();
    if (what.substr(0, 8) != "fuzz.lst" || what.find("(converted)") != std::string_view::npos) {
      std::abort();
    }
    return 0;
  }
  if (result.text.rfind(drumplot::apertureFileHeader(), 0) != 0) std::abort();
  drumplot::ApertureTable records;
  try {
    drumplot::loadApertureText(result.text, records, "fuzz.lst.Env");
  } catch (const drumplot::FormatError&) {
    std::abort();  // written, but refused by its own reader
  }
  if (records.definedCodes().empty()) std::abort();
  return 0;
}
