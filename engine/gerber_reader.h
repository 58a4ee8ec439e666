// SPDX-License-Identifier: MIT
// GerberReader: the reader object of one layer file (its "ZobrazGerber").
// It loads the file into statements, decodes them once into operations,
// measures the data (the extents pass) and parses the aperture
// definitions. Drawing is the interpreter's.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>

#include "engine/aperture.h"
#include "engine/data_format.h"
#include "engine/gerber_program.h"
#include "engine/operation_count.h"
#include "engine/statement_list.h"

namespace drumplot {

enum class LoadStatus {
  Ok,
  NameTooShort,  // a file name of fewer than 3 characters
  CannotOpen,    // missing or unreadable
  TooShort,      // fewer than 5 bytes
  NotGerber,     // binary bytes: not a text file
};

const char* toString(LoadStatus status);

// Throws IoError naming the file when it is missing or cannot be read, and
// FormatError when it holds binary data; any other status passes (a tiny
// file reads as no statements).
void throwIfUnreadable(LoadStatus status, const std::string& fileName);

// True when `bytes` hold binary data rather than text: control bytes other
// than tab, line ends and a trailing end-of-file mark, or bytes that are not
// UTF-8 text.
bool looksBinary(std::string_view bytes);

class GerberReader {
 public:
  explicit GerberReader(DataFormat preset = {}, StatementLimits limits = {});

  // Load: reads `FileName` into statements, a block at a time. An
  // unreadable, missing or tiny file yields an empty list; the status tells
  // which. Throws FormatError, naming the file and line, when the statements
  // would take more than the limits' maxTextBytes.
  LoadStatus load();
  // Load from bytes already in memory (tests, fuzzing).
  void loadBytes(std::string_view bytes);

  // The extents pass: decodes the statements (the format statements take
  // effect where they stand) and measures the data. Throws FormatError
  // naming the file and line for a coordinate that cannot be held.
  void computeExtents();

  // Parses the %ADD statements (and their macros) into Apertures, and notes
  // the aperture blocks. Throws FormatError naming the file when a D code is
  // not a number.
  void parseDefinitions();

  // Load + extents + definitions; throws IoError when the file cannot be
  // read and FormatError when it is not a Gerber file.
  void prepare();

  // Throws FormatError, naming the file, the statement and the figure, when
  // the file cannot be drawn: an aperture block that flashes itself, or more
  // operations than `maxOperations` (kMaxDrawnOperations unless forced).
  void refuseUndrawable(uint64_t maxOperations) const;
  // Why, judged against `maxOperations`; empty when it can be drawn.
  std::string undrawableText(uint64_t maxOperations) const;

  std::string FileName;
  DataFormat format;       // preset by the caller; as the file leaves it after the extents pass
  double UnitScale = 1.0;  // file units to inches at the end of the file
  StatementList Statements;
  GerberProgram program;
  ApertureTable Apertures;
  ReadWarnings warnings;      // what reading found to say, file and line named
  OperationCount Operations;  // after the extents pass

  // Extents in inches: only the end points of moves, draws and flashes.
  double MinX = 0.0, MinY = 0.0, MaxX = 0.0, MaxY = 0.0, Width = 0.0, Height = 0.0;

  int32_t CurrentAperture = 10;
  uint8_t DarkPolarity = 1;

  const StatementLimits& limits() const { return limits_; }

 private:
  void warnAboutContent();
  void refuseTooLarge(uint32_t line) const;  // FormatError when the statements stopped

  DataFormat preset_;
  StatementLimits limits_;
};

// How many times this process has loaded each Gerber file from disk, by
// the name it was loaded under: what tests of "each file read once" count.
std::map<std::string, int> gerberFileLoads();

}  // namespace drumplot
