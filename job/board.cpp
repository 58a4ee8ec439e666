// SPDX-License-Identifier: MIT
// Board data format conversions and the data-format text.
#include "job/board.h"

namespace drumplot {

// BoardFormat - Reader format
// ============================================================================

DataFormat BoardFormat::readerFormat() const {
  DataFormat format;
  format.IntDigits = IntDigits;
  format.DecDigits = DecDigits;
  format.ZeroSuppression = ZeroSuppression;
  format.Absolute = Absolute;
  format.Metric = InchUnits ? 0 : 1;
  return format;
}

BoardFormat BoardFormat::fromReaderFormat(const DataFormat& format) {
  BoardFormat board;
  board.IntDigits = format.IntDigits;
  board.DecDigits = format.DecDigits;
  board.ZeroSuppression = format.ZeroSuppression;
  board.Absolute = format.Absolute;
  board.InchUnits = format.Metric ? 0 : 1;
  return board;
}

// BoardFormat - Status-bar text
// ============================================================================

std::string formatText(const BoardFormat& format) {
  const char* zeros = format.ZeroSuppression == 0   ? "Leading"
                      : format.ZeroSuppression == 1 ? "Trailing"
                                                    : "None";
  return "F: RS274 X,D " + std::to_string(format.IntDigits) + ":" +
         std::to_string(format.DecDigits) + "," + (format.Absolute ? "Abs" : "Incr") + " " +
         (format.InchUnits ? "Inch" : "mm") + " " + zeros;
}

}  // namespace drumplot
