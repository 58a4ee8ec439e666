// SPDX-License-Identifier: MIT
#include "engine/text.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>

namespace drumplot {

std::optional<double> parseDecimal(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  if (text.empty()) return std::nullopt;
  // Grammar check first: from_chars would also take "inf", "nan" and hex.
  size_t i = 0;
  if (text[i] == '+' || text[i] == '-') ++i;
  size_t digits = 0;
  while (i < text.size() && isDigit(text[i])) ++i, ++digits;
  if (i < text.size() && text[i] == '.') {
    ++i;
    while (i < text.size() && isDigit(text[i])) ++i, ++digits;
  }
  if (digits == 0) return std::nullopt;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    ++i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    size_t expDigits = 0;
    while (i < text.size() && isDigit(text[i])) ++i, ++expDigits;
    if (expDigits == 0) return std::nullopt;
  }
  if (i != text.size()) return std::nullopt;
  if (text.front() == '+') text.remove_prefix(1);
  double value = 0.0;
  auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec == std::errc::result_out_of_range) {
    // Huge exponents saturate, tiny ones vanish: never an error.
    bool negative = text.front() == '-';
    bool tiny = text.find_first_of("eE") != std::string_view::npos &&
                text[text.find_first_of("eE") + 1] == '-';
    value = tiny ? 0.0 : (negative ? -HUGE_VAL : HUGE_VAL);
  } else if (ec != std::errc() || ptr != text.data() + text.size()) {
    return std::nullopt;
  }
  if (!std::isfinite(value)) value = value < 0 ? -1.0e300 : 1.0e300;
  return value;
}

std::optional<long long> parseInteger(std::string_view text) {
  if (text.empty()) return std::nullopt;
  size_t i = 0;
  bool negative = false;
  if (text[0] == '+' || text[0] == '-') {
    negative = text[0] == '-';
    i = 1;
  }
  if (i == text.size()) return std::nullopt;
  long long value = 0;
  for (; i < text.size(); ++i) {
    if (!isDigit(text[i])) return std::nullopt;
    if (value > (std::numeric_limits<long long>::max() - 9) / 10) return std::nullopt;
    value = value * 10 + (text[i] - '0');
  }
  return negative ? -value : value;
}

std::string lowerCase(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return lower;
}

std::string removeChars(std::string_view text, std::string_view chars) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    if (chars.find(c) == std::string_view::npos) out.push_back(c);
  }
  return out;
}

std::string formatFixed(double value, int width, int decimals) {
  char buffer[400];
  int n = std::snprintf(buffer, sizeof buffer, "%*.*f", width, decimals, value);
  if (n < 0) return {};
  if (static_cast<size_t>(n) >= sizeof buffer) {
    std::string big(static_cast<size_t>(n) + 1, '\0');
    std::snprintf(big.data(), big.size(), "%*.*f", width, decimals, value);
    big.resize(static_cast<size_t>(n));
    return big;
  }
  return std::string(buffer, static_cast<size_t>(n));
}

}  // namespace drumplot
