// SPDX-License-Identifier: MIT
// Excellon number formats and coordinate numbers written in them.
#include "drill/drill_format.h"

#include <cmath>
#include <cstdio>

#include "job/job_settings.h"

namespace drumplot {

double unitsPerInch(DrillUnit unit) {
  return unit == DrillUnit::Inch ? 1.0 : kMillimetresPerInch;
}

std::pair<uint8_t, uint8_t> standardDrillDigits(DrillUnit unit) {
  return unit == DrillUnit::Inch ? std::pair<uint8_t, uint8_t>{2, 4}
                                 : std::pair<uint8_t, uint8_t>{3, 3};
}

DrillNumberFormat drillFormatOf(const DataFormat& format) {
  const DrillZeros zeros = format.ZeroSuppression == ZeroSuppression::Leading ? DrillZeros::Leading
                           : format.ZeroSuppression == ZeroSuppression::Trailing
                               ? DrillZeros::Trailing
                               : DrillZeros::None;
  return {format.Metric ? DrillUnit::Millimetre : DrillUnit::Inch, zeros, format.IntDigits,
          format.DecDigits};
}

std::string describe(const DrillNumberFormat& format) {
  std::string text = format.unit == DrillUnit::Inch ? "inch" : "mm";
  if (format.zeros == DrillZeros::Decimal) return text + ", decimal point";
  text += " " + std::to_string(format.IntDigits) + "." + std::to_string(format.DecDigits) + ", ";
  switch (format.zeros) {
    case DrillZeros::Leading:
      return text + "leading zeros left out";
    case DrillZeros::Trailing:
      return text + "trailing zeros left out";
    default:
      return text + "no zeros left out";
  }
}

namespace {

// 10^n, exact up to 22.
double powerOfTen(int n) {
  double p = 1.0;
  for (int i = 0; i < n; ++i) p *= 10.0;
  return p;
}

}  // namespace

std::string writeDrillNumber(double value, const DrillNumberFormat& format) {
  char buffer[400];  // the digits of any finite double
  std::string text;
  if (format.zeros == DrillZeros::Decimal) {
    std::snprintf(buffer, sizeof buffer, "%.*f", int{format.DecDigits}, std::fabs(value));
    text = buffer;
  } else {
    // Not roundHalfEven: that one clamps to the pixel range. nearbyint
    // rounds halves to even.
    const double scaled = std::nearbyint(std::fabs(value) * powerOfTen(format.DecDigits));
    std::snprintf(buffer, sizeof buffer, "%.0f", scaled);
    text = buffer;
    const size_t width = size_t{format.IntDigits} + format.DecDigits;
    if (format.zeros != DrillZeros::Leading && text.size() < width) {
      text.insert(0, width - text.size(), '0');
    }
    if (format.zeros == DrillZeros::Trailing) {
      const size_t last = text.find_last_not_of('0');
      text = last == std::string::npos ? std::string(width, '0') : text.substr(0, last + 1);
    }
  }
  // A value that rounds to zero is written without a sign.
  const bool negative = value < 0.0 && text.find_first_not_of("0.") != std::string::npos;
  return negative ? "-" + text : text;
}

std::vector<std::string> drillFormatStatements(const DrillNumberFormat& format) {
  const char* zeros = format.zeros == DrillZeros::Trailing ? ",LZ" : ",TZ";
  return {
      ";FILE_FORMAT=" + std::to_string(format.IntDigits) + ":" + std::to_string(format.DecDigits),
      (format.unit == DrillUnit::Inch ? "INCH" : "METRIC") + std::string(zeros)};
}

}  // namespace drumplot
