// SPDX-License-Identifier: MIT
// JobSettings: what outlives a job (display unit, memory, plotting area,
// tech area, mark table, layer names and colours), as read from GerbPrj.ini.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "job/board.h"

namespace drumplot {

inline constexpr double kMillimetresPerInch = 25.4;
inline constexpr double kMinPlotSide = 4.0;  // inches; smaller plotting-area sides read as this
inline constexpr int kMarkCount = 10;
inline constexpr int32_t kMinMemory_MB = 10;  // the memory setting's range
inline constexpr int32_t kMaxMemory_MB = 768;

// The technological border around the boards, millimetres.
struct TechArea {
  double distance_mm = 6.35;  // gap between the boards and the strips
  double left_mm = 0.0;
  double right_mm = 0.0;
  double top_mm = 0.0;
  double bottom_mm = 0.0;

  bool operator==(const TechArea&) const = default;
};

struct MarkEntry {
  std::string name;  // at most 64 characters
  std::string path;  // kept whole; a mark board stores it, so at most 250 characters are usable

  bool operator==(const MarkEntry&) const = default;
};

// Entries 1..10 are MarkTable[0..9].
using MarkTable = std::array<MarkEntry, kMarkCount>;

// Film scale compensation, parts per million per axis: a positive value
// draws larger (a film that shrinks by 200 ppm between plotting and exposure
// needs +200). Values beyond kMaxFilmScalePpm are refused as typos.
inline constexpr double kMaxFilmScalePpm = 5000.0;
struct FilmScale {
  double xPpm = 0.0;
  double yPpm = 0.0;

  double x() const { return 1.0 + xPpm * 1e-6; }
  double y() const { return 1.0 + yPpm * 1e-6; }
  bool nominal() const { return xPpm == 0.0 && yPpm == 0.0; }
  bool operator==(const FilmScale&) const = default;
};

struct JobSettings {
  // The display unit: code 0 "mm", code 1 "Inch"; the text is kept as read.
  int unitCode = 1;
  std::string unitText = "Inch";
  int32_t memoryMegabytes = 64;                                 // 10..768
  double PlotWidth = 3400000 / 10000.0 / kMillimetresPerInch;   // drum circumference, inches
  double PlotHeight = 3700000 / 10000.0 / kMillimetresPerInch;  // drum axis, inches
  uint32_t panelColor = 0x808080;                               // $00BBGGRR
  TechArea tech;
  MarkTable marks;
  std::array<std::string, kLayerCount> LayerNames = defaultLayerNames();  // [n - 1] is layer n
  std::array<uint32_t, kLayerCount> LayerColors = {0xFF0000, 0x0000FF, 0, 0x008000};
  FilmScale filmScale;  // [Film] ScaleXppm, ScaleYppm: the exports' default
  // Why a [Film] scale key cannot be used (naming the file, the key and the
  // value): the exports refuse until it is corrected or a scale is given.
  std::string filmScaleError;
  // What reading the settings file changed or could not find, told to the
  // operator (a memory value outside its range, a missing DRUMPLOT_SETTINGS file).
  std::vector<std::string> readNotes;

  // Bytes the rasterizer may use: megabytes x 1048576 + 1.
  int64_t memoryBudgetBytes() const { return int64_t{memoryMegabytes} * 1048576 + 1; }
  bool memoryWarningNeeded() const { return memoryMegabytes < 64; }

  // The display unit by its text: code 1 for "Inch", otherwise 0.
  void setUnit(std::string text) {
    unitCode = text == "Inch" ? 1 : 0;
    unitText = std::move(text);
  }

  // Display values to inches and back, by the unit code (25.4 mm to the inch).
  double toInches(double displayValue) const {
    return unitCode == 1 ? displayValue : displayValue / kMillimetresPerInch;
  }
  double toDisplay(double inches) const {
    return unitCode == 1 ? inches : inches * kMillimetresPerInch;
  }

  static std::array<std::string, kLayerCount> defaultLayerNames() {
    std::array<std::string, kLayerCount> names;
    for (int n = 1; n <= kLayerCount; ++n) names[n - 1] = "Lay_" + std::to_string(n);
    return names;
  }
};

inline constexpr const char* kMemoryWarning =
    "Please set memory usage for rasterizing (Preference->MemorySettings) in menu";

}  // namespace drumplot
