// SPDX-License-Identifier: MIT
// Fuzz target: the settings reader over any INI text, and a dialog's write
// into it: the written keys read back, the other settings stay as they were.
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "job/ini_document.h"
#include "job/settings_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  drumplot::IniDocument ini = drumplot::IniDocument::parse(text);
  drumplot::JobSettings before = drumplot::readSettings(ini);
  if (before.PlotWidth < drumplot::kMinPlotSide || before.PlotHeight < drumplot::kMinPlotSide) {
    std::abort();
  }
  for (const drumplot::MarkEntry& m : before.marks) {
    if (m.name.size() > drumplot::kMaxMarkChars) std::abort();
  }
  if (before.memoryMegabytes < drumplot::kMinMemory_MB ||
      before.memoryMegabytes > drumplot::kMaxMemory_MB) {
    std::abort();
  }
  // Mark paths are kept whole, however long: set and read again, they come back.
  std::string path;
  for (char c : text) {
    if (std::isalnum(static_cast<unsigned char>(c)) || c == '/' || c == '.') path += c;
  }
  drumplot::IniDocument marks = ini;
  marks.set("Setup", "PathM3", path);
  if (drumplot::readSettings(drumplot::IniDocument::parse(marks.text())).marks[2].path != path) {
    std::abort();
  }
  ini.set("Setup", "Sirka", "2540000");
  ini.set("Layers", "Name7", "seven");
  drumplot::IniDocument again = drumplot::IniDocument::parse(ini.text());
  drumplot::JobSettings after = drumplot::readSettings(again);
  if (after.PlotWidth != 2540000 / 10000.0 / drumplot::kMillimetresPerInch ||
      after.LayerNames[6] != "seven")
    std::abort();
  if (after.unitText != before.unitText || after.tech != before.tech ||
      after.marks != before.marks || after.PlotHeight != before.PlotHeight) {
    std::abort();
  }
  return 0;
}
