// SPDX-License-Identifier: MIT
// The data-format text.
#include "job/board.h"

namespace drumplot {

// Data format - Status-bar text
// ============================================================================

std::string formatText(const DataFormat& format) {
  const char* zeros = format.ZeroSuppression == ZeroSuppression::Leading    ? "Leading"
                      : format.ZeroSuppression == ZeroSuppression::Trailing ? "Trailing"
                                                                            : "None";
  return "F: RS274 X,D " + std::to_string(format.IntDigits) + ":" +
         std::to_string(format.DecDigits) + "," + (format.Absolute ? "Abs" : "Incr") + " " +
         (format.Metric ? "mm" : "Inch") + " " + zeros;
}

}  // namespace drumplot
