// SPDX-License-Identifier: MIT
// The size of a layer's data, and the test for a size no plot can mean: data
// read in the wrong format (or damaged) measures thousands of inches, and
// drawing it would take minutes and gigabytes for nothing.
#pragma once

#include <string>

namespace drumplot {

class GerberReader;

// A box in data coordinates, inches.
struct DataBox {
  double MinX = 0.0;
  double MinY = 0.0;
  double MaxX = 0.0;
  double MaxY = 0.0;

  double width() const { return MaxX - MinX; }
  double height() const { return MaxY - MinY; }
};

// What the size checks measure of a layer the reader has read (its extents).
DataBox measuredDataBox(const GerberReader& reader);

// The largest side data can be meant to have on a plotting-area side of
// `plotSide` inches: 4 times the side, or 100 inches, whichever is larger.
double largestMeantSide(double plotSide);

// When the reader's data is larger than largestMeantSide() along either side
// of a plotting area `plotWidth` x `plotHeight` inches: a text that gives the
// size and the data format it was read in, and suggests checking that format
// ("the data measures 100000.000 x 2.000 inch (...) ... check the data
// format"). Empty otherwise.
std::string implausibleSizeText(const GerberReader& reader, double plotWidth, double plotHeight);

}  // namespace drumplot
