// SPDX-License-Identifier: MIT
// Small text helpers shared by the Gerber reader's passes.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace drumplot {

inline bool startsWith(std::string_view s, std::string_view prefix) {
  return s.substr(0, prefix.size()) == prefix;
}

inline bool isDigit(char c) {
  return c >= '0' && c <= '9';
}

inline std::string_view trimSpaces(std::string_view s) {
  while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  return s;
}

// Reads a whole text as a decimal number: optional sign, digits with an
// optional decimal point, optional exponent; surrounding spaces allowed.
// Anything else (empty text, letters, a second number) is not a number.
std::optional<double> parseDecimal(std::string_view text);

// parseDecimal, with 0 for a text that is not a number.
inline double decimalOrZero(std::string_view text) {
  return parseDecimal(text).value_or(0.0);
}

// Reads a signed integer made only of an optional sign and digits.
std::optional<long long> parseInteger(std::string_view text);

// The text with A..Z made a..z (names and keys compared without regard to
// case; other bytes stay).
std::string lowerCase(std::string_view text);

// Removes every occurrence of the characters in `chars`.
std::string removeChars(std::string_view text, std::string_view chars);

// Pascal-style fixed formatting: `value` with `decimals` decimals, padded
// on the left with spaces to at least `width` characters.
std::string formatFixed(double value, int width, int decimals);

}  // namespace drumplot
