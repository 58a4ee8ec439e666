// SPDX-License-Identifier: MIT
// Fuzz target: the panel template reader over any text. It refuses with
// FormatError or reads a template that, written out, reads back the same.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "engine/errors.h"
#include "job/panel_template.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  drumplot::PanelTemplate t;
  try {
    t = drumplot::parsePanelTemplate(text, "t.ini");
  } catch (const drumplot::FormatError&) {
    return 0;
  }
  if (t.columns < 1 || t.rows < 1 || t.marks.size() > drumplot::kMarkCount) std::abort();
  for (int n = 1; n <= drumplot::kLayerCount; ++n) {
    if (t.filmOf(n).dpi < 100 || t.filmOf(n).dpi > 65535) std::abort();
  }
  if (!(drumplot::parsePanelTemplate(drumplot::panelTemplateText(t), "t.ini") == t)) std::abort();
  return 0;
}
