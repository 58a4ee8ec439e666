// SPDX-License-Identifier: MIT
#include "engine/data_format.h"

#include <stdexcept>
#include <vector>

#include "engine/text.h"

namespace drumplot {

// DataFormat - Format statements
// ============================================================================

bool applyFormatStatement(std::string_view s, DataFormat& format) {
  bool matched = false;
  if (startsWith(s, "G70")) format.Metric = false, matched = true;
  if (startsWith(s, "G71")) format.Metric = true, matched = true;
  if (startsWith(s, "G91")) format.Absolute = false, matched = true;
  if (startsWith(s, "G90")) format.Absolute = true, matched = true;
  if (startsWith(s, "%MOIN") || startsWith(s, "MOIN")) format.Metric = false, matched = true;
  if (startsWith(s, "%MOMM") || startsWith(s, "MOMM")) format.Metric = true, matched = true;
  if (startsWith(s, "%FS") || startsWith(s, "FS")) {
    matched = true;
    // The letters before "X": L or T for the zeros left out, A or I for
    // absolute or incremental; "T" wins when both zero letters occur.
    size_t x = s.find('X');
    std::string_view letters = s.substr(0, x);
    if (letters.find('L') != std::string_view::npos)
      format.ZeroSuppression = ZeroSuppression::Leading;
    if (letters.find('T') != std::string_view::npos)
      format.ZeroSuppression = ZeroSuppression::Trailing;
    if (letters.find('A', 1) != std::string_view::npos) format.Absolute = true;
    if (letters.find('I') != std::string_view::npos) format.Absolute = false;
    // Digits are taken as characters minus '0', whatever they are; the
    // parser only honours counts of 1 to 6. The Y digits are not read.
    if (x != std::string_view::npos && x + 1 < s.size()) {
      format.IntDigits = static_cast<uint8_t>(s[x + 1] - '0');
      if (x + 2 < s.size()) format.DecDigits = static_cast<uint8_t>(s[x + 2] - '0');
    }
  }
  return matched;
}

// DataFormat - Coordinate numbers
// ============================================================================

namespace {

constexpr double kPowersOfTen[] = {1.0, 10.0, 100.0, 1000.0, 10000.0, 100000.0, 1000000.0};

}  // namespace

CoordinateRead readCoordinate(std::string_view s, size_t letterPos, const DataFormat& format,
                              double unitScale) {
  size_t begin = letterPos + 1;
  size_t end = begin;
  int digitCount = 0;
  while (end < s.size() && (s[end] == '+' || s[end] == '-' || isDigit(s[end]))) {
    if (isDigit(s[end])) ++digitCount;
    ++end;
  }
  if (end < s.size() && s[end] == '.') {
    size_t last = end + 1;
    while (last < s.size() && isDigit(s[last])) ++last;
    auto v = parseDecimal(s.substr(begin, last - begin));
    if (!v) return {};
    return {CoordinateRead::Status::Decimal, *v * unitScale};
  }
  if (digitCount == 0) return {};
  // The number must be a valid 32-bit signed integer, as the data words are.
  auto v = parseInteger(s.substr(begin, end - begin));
  if (!v) return {};
  if (*v > 2147483647LL || *v < -2147483648LL) return {CoordinateRead::Status::TooLarge};

  double divisor =
      (format.DecDigits >= 1 && format.DecDigits <= 6) ? kPowersOfTen[format.DecDigits] : 1.0;
  double correction = 1.0;
  if (format.ZeroSuppression == ZeroSuppression::Trailing) {
    // Trailing zeros omitted: restore them. The count wraps like a byte.
    auto k = static_cast<uint8_t>(format.IntDigits + format.DecDigits - digitCount);
    if (k >= 1 && k <= 6) correction = kPowersOfTen[k];
  }
  return {CoordinateRead::Status::Ok, static_cast<double>(*v) * correction * unitScale / divisor};
}

double parseCoordinate(std::string_view s, size_t letterPos, const DataFormat& format,
                       double unitScale) {
  CoordinateRead r = readCoordinate(s, letterPos, format, unitScale);
  using Status = CoordinateRead::Status;
  return r.status == Status::Ok || r.status == Status::Decimal ? r.value : kNoCoordinate;
}

// DataFormat - Command-line form
// ============================================================================

namespace {

std::vector<std::string_view> splitAt(std::string_view text, char separator) {
  std::vector<std::string_view> parts;
  size_t start = 0;
  while (true) {
    size_t next = text.find(separator, start);
    parts.push_back(text.substr(start, next - start));
    if (next == std::string_view::npos) break;
    start = next + 1;
  }
  return parts;
}

}  // namespace

DataFormat parseFormatSpec(std::string_view spec) {
  DataFormat format;
  auto parts = splitAt(spec, ',');
  std::string_view digits = parts[0];
  auto inRange = [](char c, int min, int max) { return c >= '0' + min && c <= '0' + max; };
  if (digits.size() != 3 || digits[1] != '.' || !inRange(digits[0], kMinIntDigits, kMaxIntDigits) ||
      !inRange(digits[2], kMinDecDigits, kMaxDecDigits)) {
    throw std::invalid_argument("data format '" + std::string(spec) + "': expected I.D with " +
                                std::to_string(kMinIntDigits) + " to " +
                                std::to_string(kMaxIntDigits) + " integer digits and " +
                                std::to_string(kMinDecDigits) + " to " +
                                std::to_string(kMaxDecDigits) + " decimal digits, e.g. 2.4");
  }
  format.IntDigits = static_cast<uint8_t>(digits[0] - '0');
  format.DecDigits = static_cast<uint8_t>(digits[2] - '0');
  for (size_t i = 1; i < parts.size(); ++i) {
    std::string_view p = parts[i];
    if (p == "leading")
      format.ZeroSuppression = ZeroSuppression::Leading;
    else if (p == "trailing")
      format.ZeroSuppression = ZeroSuppression::Trailing;
    else if (p == "none")
      format.ZeroSuppression = ZeroSuppression::None;
    else if (p == "abs")
      format.Absolute = true;
    else if (p == "inc")
      format.Absolute = false;
    else if (p == "inch")
      format.Metric = false;
    else if (p == "mm")
      format.Metric = true;
    else
      throw std::invalid_argument("data format '" + std::string(spec) + "': unknown word '" +
                                  std::string(p) +
                                  "' (use leading|trailing|none, abs|inc, inch|mm)");
  }
  return format;
}

const char* zeroSuppressionName(ZeroSuppression zeroSuppression) {
  switch (zeroSuppression) {
    case ZeroSuppression::Leading:
      return "leading";
    case ZeroSuppression::Trailing:
      return "trailing";
    case ZeroSuppression::None:
      return "none";
  }
  return "unknown";
}

std::string formatSpecText(const DataFormat& format) {
  return std::to_string(format.IntDigits) + "." + std::to_string(format.DecDigits) + "," +
         zeroSuppressionName(format.ZeroSuppression) + "," + (format.Absolute ? "abs" : "inc") +
         "," + (format.Metric ? "mm" : "inch");
}

}  // namespace drumplot
