// SPDX-License-Identifier: MIT
// GerberReader: the reader object of one layer file (its "ZobrazGerber").
// It loads the file into statements, runs the extents pass that applies the
// format statements and measures the data, and parses the aperture
// definitions. Drawing is the interpreter's.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "engine/aperture.h"
#include "engine/data_format.h"
#include "engine/statement_list.h"

namespace drumplot {

enum class LoadStatus {
  Ok,
  NameTooShort,  // a file name of fewer than 3 characters
  CannotOpen,    // missing or unreadable
  TooShort,      // fewer than 5 bytes
};

const char* toString(LoadStatus status);

class GerberReader {
 public:
  explicit GerberReader(DataFormat preset = {}, StatementLimits limits = {});

  // Load: reads `FileName` into statements. An unreadable, missing or tiny
  // file yields an empty list; the status tells which.
  LoadStatus load();
  // Load from bytes already in memory (tests, fuzzing, the file loader).
  void loadBytes(std::string_view bytes);

  // The extents pass: applies the format statements and measures the data.
  void computeExtents();

  // Parses the %ADD statements (and their macros) into Apertures. Throws
  // FormatError naming the file when a D code is not a number.
  void parseDefinitions();

  // Load + extents + definitions; throws IoError when the file cannot be read.
  void prepare();

  std::string FileName;
  DataFormat Format;        // preset by the caller, changed by the extents pass
  double UnitScale = 1.0;   // file units to inches, as left by the extents pass
  StatementList Statements;
  ApertureTable Apertures;

  // Extents in inches.
  double MinX = 0.0, MinY = 0.0, MaxX = 0.0, MaxY = 0.0, Width = 0.0, Height = 0.0;

  int32_t CurrentAperture = 10;
  uint8_t DarkPolarity = 1;

 private:
  StatementLimits limits_;
};

// The statement as the passes see it: a "G04" comment is replaced by its text
// from the first "%" on, or by nothing when it holds none.
std::string_view effectiveStatement(std::string_view statement);

}  // namespace drumplot
