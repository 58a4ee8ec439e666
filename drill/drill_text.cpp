// SPDX-License-Identifier: MIT
// Excellon lines and coordinate numbers in the job's current data format.
#include "drill/drill_text.h"

#include <cmath>
#include <cstdio>

#include "engine/text.h"
#include "io/file_io.h"

namespace drumplot {

// Drill text - Lines
// ============================================================================

std::vector<std::string> splitDrillLines(std::string_view bytes) {
  std::vector<std::string> lines;
  std::string line;
  for (char c : bytes) {
    if (static_cast<unsigned char>(c) < 31) {
      if (!line.empty()) lines.push_back(std::move(line));
      line.clear();
    } else {
      line.push_back(c);
    }
  }
  return lines;  // the unterminated rest is dropped
}

std::vector<std::string> readDrillLines(const std::string& file) {
  if (file.size() < 3) return {};
  return splitDrillLines(readFileBytes(file));
}

// Drill text - Coordinate numbers
// ============================================================================

namespace {

// 10^n, exact for every n a format byte can hold up to 22 and close beyond.
double powerOfTen(int n) {
  double p = 1.0;
  for (int i = 0; i < n; ++i) p *= 10.0;
  return p;
}

}  // namespace

std::optional<double> readDrillCoordinate(std::string_view line, char letter,
                                          const BoardFormat& format) {
  size_t at = line.find(letter);
  if (at == std::string_view::npos) return std::nullopt;
  size_t begin = at + 1;
  size_t end = begin;
  int digits = 0;
  while (end < line.size() && (line[end] == '-' || isDigit(line[end]))) {
    if (isDigit(line[end])) ++digits;
    ++end;
  }
  std::optional<long long> number = parseInteger(line.substr(begin, end - begin));
  if (!number) return std::nullopt;
  double value = static_cast<double>(*number) / powerOfTen(format.DecDigits);
  if (format.ZeroSuppression == 1) {
    // Trailing zeros left out: put back the ones missing from the full width.
    int missing = format.IntDigits + format.DecDigits - digits;
    if (missing >= 1 && missing <= 6) value *= powerOfTen(missing);
  }
  return value;
}

std::string writeDrillCoordinate(double value, const BoardFormat& format) {
  bool negative = value < 0.0;
  // Not roundHalfEven: that one clamps to the pixel range, and a drill
  // number may be any size. nearbyint rounds halves to even.
  double scaled = std::nearbyint(std::fabs(value) * powerOfTen(format.DecDigits));
  char buffer[400];  // the digits of any finite double
  std::snprintf(buffer, sizeof buffer, "%.0f", scaled);
  std::string text = buffer;

  const size_t width = size_t{format.IntDigits} + format.DecDigits;
  if (format.ZeroSuppression == 1 || format.ZeroSuppression == 2) {
    if (text.size() < width) text.insert(0, width - text.size(), '0');
  }
  if (format.ZeroSuppression == 1) {
    size_t last = text.find_last_not_of('0');
    text = last == std::string::npos ? std::string(width, '0') : text.substr(0, last + 1);
  }
  return negative ? "-" + text : text;
}

std::string drillHitLine(double x, double y, const BoardFormat& format) {
  return "X" + writeDrillCoordinate(x, format) + "Y" + writeDrillCoordinate(y, format);
}

std::vector<std::optional<DrillPoint>> resolveDrillHits(const std::vector<std::string>& lines,
                                                        const BoardFormat& format) {
  std::vector<std::optional<DrillPoint>> points(lines.size());
  DrillPoint last;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (!isCoordinateLine(lines[i])) continue;
    last.X = readDrillCoordinate(lines[i], 'X', format).value_or(last.X);
    last.Y = readDrillCoordinate(lines[i], 'Y', format).value_or(last.Y);
    points[i] = last;
  }
  return points;
}

}  // namespace drumplot
