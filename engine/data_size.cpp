// SPDX-License-Identifier: MIT
// Data sizes that no plot can mean.
#include "engine/data_size.h"

#include <algorithm>
#include <cstdio>

#include "engine/gerber_reader.h"

namespace drumplot {

namespace {

constexpr double kMeantAreaFactor = 4.0;
constexpr double kMeantSideFloor = 100.0;  // inches

}  // namespace

DataBox measuredDataBox(const GerberReader& reader) {
  return {reader.MinX, reader.MinY, reader.MaxX, reader.MaxY};
}

double largestMeantSide(double plotSide) {
  return std::max(kMeantAreaFactor * plotSide, kMeantSideFloor);
}

std::string implausibleSizeText(const GerberReader& reader, double plotWidth, double plotHeight) {
  const DataBox box = measuredDataBox(reader);
  if (!(box.width() > largestMeantSide(plotWidth) || box.height() > largestMeantSide(plotHeight))) {
    return {};
  }
  char text[320];
  std::snprintf(text, sizeof text,
                "the data measures %.3f x %.3f inch (%.1f x %.1f mm), far more than a plotting "
                "area of %.3f x %.3f inch can take; read as %s: check the data format",
                box.width(), box.height(), box.width() * 25.4, box.height() * 25.4, plotWidth,
                plotHeight, formatSpecText(reader.format).c_str());
  return text;
}

}  // namespace drumplot
