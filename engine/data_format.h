// SPDX-License-Identifier: MIT
// The reader's data format: digits, zero suppression, unit, absolute or
// incremental coordinates, and how a coordinate text becomes inches.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace drumplot {

enum class ZeroSuppression : uint8_t { Leading = 0, Trailing = 1, None = 2 };

// Returned by the coordinate parser when no value could be read. Callers
// treat any value of kNoValueLimit or more as "no value".
inline constexpr double kNoCoordinate = 1000000000.0;
inline constexpr double kNoValueLimit = 1000000.0;

inline bool hasValue(double coordinate) {
  return coordinate < kNoValueLimit;
}

inline constexpr double kInchesPerMillimetre = 1.0 / 25.4;

struct DataFormat {
  uint8_t IntDigits = 2;
  uint8_t DecDigits = 3;
  // The member shares its type's name: the type is named in full here.
  drumplot::ZeroSuppression ZeroSuppression = drumplot::ZeroSuppression::Leading;
  bool Metric = false;   // millimetres, else inches
  bool Absolute = true;  // else incremental

  // File units to inches, derived from Metric.
  double unitScale() const { return Metric ? kInchesPerMillimetre : 1.0; }

  bool operator==(const DataFormat&) const = default;
};

// The format statements of a file change the format as they are met.
// `statement` is a statement text of two or more characters (a "G04" comment
// already replaced by its text from the "%" on). Returns true when the
// statement was one of the format statements.
bool applyFormatStatement(std::string_view statement, DataFormat& format);

// Reads the coordinate number after the address letter at `letterPos`.
// Returns inches, or kNoCoordinate when nothing readable follows. Incremental
// accumulation is the caller's (see IncrementalPosition).
double parseCoordinate(std::string_view statement, size_t letterPos, const DataFormat& format,
                       double unitScale);

// A coordinate number as read, with what kept it from being read as it stands.
struct CoordinateRead {
  enum class Status : uint8_t {
    Ok,
    Missing,   // no digits after the letter
    TooLarge,  // more than a 32-bit data word holds
    Decimal,   // written with a decimal point: read as a decimal in the file unit
  };
  Status status = Status::Missing;
  double value = kNoCoordinate;  // inches
};

// parseCoordinate with its status: a number with a decimal point (which the
// format does not allow) is read as a decimal number of file units.
CoordinateRead readCoordinate(std::string_view statement, size_t letterPos,
                              const DataFormat& format, double unitScale);

// Running position of incremental data on one axis.
struct IncrementalAxis {
  double inc = 0.0;  // inches
  // Turns a parsed value into the coordinate: absolute values pass through;
  // incremental values are added to the running sum, which they become.
  // "No value" stays "no value" and leaves the sum alone.
  double resolve(double parsed, bool absolute) {
    if (absolute || !hasValue(parsed)) return parsed;
    inc += parsed;
    return inc;
  }
};

// The digit counts an operator may give a data format (the command line's
// text and the data-format dialog alike); a file's own %FS may state others.
inline constexpr int kMinIntDigits = 1;
inline constexpr int kMaxIntDigits = 6;
inline constexpr int kMinDecDigits = 0;
inline constexpr int kMaxDecDigits = 5;

// The command line's form of a data format: I.D[,leading|trailing|none][,abs|inc][,inch|mm].
// Throws std::invalid_argument with a message on a malformed text.
DataFormat parseFormatSpec(std::string_view spec);
std::string formatSpecText(const DataFormat& format);

const char* zeroSuppressionName(ZeroSuppression zeroSuppression);

}  // namespace drumplot
