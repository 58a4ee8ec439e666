// SPDX-License-Identifier: MIT
// Excellon text as the drill panelization reads and writes it: the file as
// lines, and coordinate numbers in the job's current data format.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "job/board.h"

namespace drumplot {

// The drill file's lines: every byte below 31 ends a line (CR, LF and tab
// among them), empty lines are dropped, and text after the last line end is
// dropped too.
std::vector<std::string> splitDrillLines(std::string_view bytes);

// The lines of the named file. A name of fewer than 3 characters reads as no
// lines (no name given); a file that cannot be read throws IoError naming it.
std::vector<std::string> readDrillLines(const std::string& file);

// A coordinate line starts with "X" or "Y".
inline bool isCoordinateLine(std::string_view line) {
  return !line.empty() && (line[0] == 'X' || line[0] == 'Y');
}

// The number after the first `letter` ('X' or 'Y') of the line, in drill file
// units: the "-" and digit characters right after the letter as an integer,
// divided by 10^DecDigits; with trailing-zero suppression and m =
// IntDigits + DecDigits - (digits read) from 1 to 6, multiplied by 10^m.
// Nothing when the letter is missing or its text is not a number.
std::optional<double> readDrillCoordinate(std::string_view line, char letter,
                                          const BoardFormat& format);

// A value in drill file units as coordinate text: round(|v| x 10^DecDigits)
// in decimal (halves to even); Trailing pads with leading zeros to
// IntDigits + DecDigits characters and drops the trailing zeros (all zeros
// stay as IntDigits + DecDigits zeros); None pads only; Leading writes the
// number as it is. A negative value gets "-" in front.
std::string writeDrillCoordinate(double value, const BoardFormat& format);

// "X<x>Y<y>".
std::string drillHitLine(double x, double y, const BoardFormat& format);

// The position each coordinate line stands for, in drill file units. Files
// often give only the axis that changed: a missing or unreadable axis keeps
// its value from the hit before (0 before the first hit). Entry i belongs to
// lines[i]; lines that are not coordinate lines have none.
struct DrillPoint {
  double X = 0.0;
  double Y = 0.0;
};
std::vector<std::optional<DrillPoint>> resolveDrillHits(const std::vector<std::string>& lines,
                                                        const BoardFormat& format);

}  // namespace drumplot
