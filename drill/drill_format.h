// SPDX-License-Identifier: MIT
// The number format of an Excellon file (unit, digits, which zeros the
// numbers leave out) and coordinate numbers written in it.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "job/board.h"

namespace drumplot {

enum class DrillUnit : uint8_t { Inch, Millimetre };

// How the file writes a coordinate number.
enum class DrillZeros : uint8_t {
  Leading,   // leading zeros left out, trailing ones kept (the header's "TZ")
  Trailing,  // trailing zeros left out, leading ones kept (the header's "LZ")
  None,      // every digit written
  Decimal,   // with a decimal point
};

struct DrillNumberFormat {
  DrillUnit unit = DrillUnit::Inch;
  DrillZeros zeros = DrillZeros::Leading;
  uint8_t IntDigits = 2;
  uint8_t DecDigits = 4;  // Decimal: the decimals written

  bool operator==(const DrillNumberFormat&) const = default;
};

// Digits beyond this many in one number cannot be read exactly.
inline constexpr int kMaxDrillDigits = 15;

// File units per inch: 1 or 25.4.
double unitsPerInch(DrillUnit unit);

// Integer and decimal digits the Excellon standard gives a unit when the
// file states no others: 00.0000 for inches, 000.000 for millimetres.
std::pair<uint8_t, uint8_t> standardDrillDigits(DrillUnit unit);

// The operator's data format (status line, --format) as a drill format.
DrillNumberFormat drillFormatOf(const DataFormat& format);

// "inch 2.4, trailing zeros left out", "mm, decimal point".
std::string describe(const DrillNumberFormat& format);

// A value in the format's unit as coordinate text: round(|v| x 10^DecDigits)
// (halves to even); Trailing pads with leading zeros to IntDigits +
// DecDigits digits and drops the trailing zeros (zero stays all zeros);
// None pads only; Leading writes the number as it is; Decimal writes
// DecDigits decimals after the point. A negative value gets "-" in front.
std::string writeDrillNumber(double value, const DrillNumberFormat& format);

// The statements that tell any reader how the numbers are written:
// ";FILE_FORMAT=I:D" and the unit with its zeros ("INCH,LZ", "METRIC,TZ").
// Decimal and None numbers keep their trailing zeros: "TZ".
std::vector<std::string> drillFormatStatements(const DrillNumberFormat& format);

}  // namespace drumplot
