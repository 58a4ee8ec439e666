// SPDX-License-Identifier: MIT
// The working aperture table of D codes 10 to 999: what the aperture table
// dialog shows and edits, and what an aperture file is saved from.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "engine/aperture.h"

namespace drumplot {

class GerberReader;

// One row of the table. Sizes are mils (thousandths of an inch).
struct ApertureTableRow {
  ApertureKind Kind = ApertureKind::File;  // of the record the row was built from
  ApertureShape Shape = ApertureShape::None;
  double DLX = 0.0;        // mils, first size
  double DLY = 0.0;        // mils, second size
  double Angle = 0.0;      // mils: rotation or inner (hole) diameter
  std::string CustomName;  // at most kMaxCustomName characters
};

class WorkingApertureTable {
 public:
  static constexpr int kFirstDCode = 10;
  static constexpr int kLastDCode = 999;
  static constexpr size_t kRows = kLastDCode - kFirstDCode + 1;
  static constexpr size_t kMaxCustomName = 32;

  static bool holds(long long dCode) { return dCode >= kFirstDCode && dCode <= kLastDCode; }

  // The row of `dCode` (kFirstDCode to kLastDCode); std::out_of_range otherwise.
  ApertureTableRow& row(int dCode) { return rows_.at(index(dCode)); }
  const ApertureTableRow& row(int dCode) const { return rows_.at(index(dCode)); }

  // Set when the user starts editing a cell of the row; a saved table writes
  // edited rows whatever their kind.
  bool edited(int dCode) const { return edited_.at(index(dCode)); }
  void markEdited(int dCode) { edited_.at(index(dCode)) = true; }

 private:
  static size_t index(int dCode) { return static_cast<size_t>(dCode - kFirstDCode); }

  std::array<ApertureTableRow, kRows> rows_{};
  std::array<bool, kRows> edited_{};  // ApertureEdited
};

// Builds the table from a reader whose definitions and aperture file are
// loaded: every row unedited; undefined D codes are None.
WorkingApertureTable buildApertureTable(const GerberReader& reader);
WorkingApertureTable buildApertureTable(const ApertureTable& apertures);

// The row shown for a standard (%ADD C, R, O, P) aperture: the shape letter
// and modifiers of `modifiers` ("R,0.060X0.030"), scaled to mils by
// `unitScale` (file units to inches).
ApertureTableRow standardApertureRow(std::string_view modifiers, double unitScale);

}  // namespace drumplot
