// SPDX-License-Identifier: MIT
// An Excellon drill file as read: its statements in file order, each with
// what it does (hits, a slot, a piece of a route, a tool, a format
// statement, or text kept as it stands), positions in inches.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "drill/drill_format.h"
#include "job/board.h"

namespace drumplot {

// What the reader accepts: positions within this many inches of the origin,
// and this many positions (hits, slot ends, route points) in one file.
inline constexpr double kMaxDrillInches = 10000.0;
inline constexpr size_t kMaxDrillPoints = 1000000;

struct DrillPoint {
  double x = 0.0;  // inches
  double y = 0.0;
};

enum class DrillStatementKind : uint8_t {
  Text,         // kept as it stands: comments, tool selections, machine codes
  HeaderStart,  // "M48"; the number format is stated right after it
  Format,       // unit, number format, absolute or incremental, origin: the
                // written file states its own instead
  Tool,         // a tool definition with a diameter (T..C..), header or body
  DrillMode,    // "G05": routing ends, drilling goes on
  Hits,         // hits in a row (a line each, or a repeat code): their first line
  Slot,         // a G85 slot from Points[0] to Points[1]
  RouteStart,   // the tool moved up to Points[0], where a route starts
  RouteCut,     // a line or an arc of a route from Start to Points[0]
  RouteText,    // a statement without coordinates inside a route (M15, G40, ...)
  RouteEnd,     // "M16" or "M17": the tool lifts, the route ends
  End,          // "M30" or "M00": the end of the program
};

enum class RouteMotion : uint8_t { Line, Clockwise, Counterclockwise };

struct DrillStatement {
  DrillStatementKind Kind = DrillStatementKind::Text;
  size_t line = 0;                 // in the file, from 1
  std::string text;                // as the file has it
  DrillUnit unit{};                // in force here
  bool routMode = false;           // rout mode (G00..G03, not yet G05 or a new tool) after it
  double diameter = 0.0;           // inches: Tool's, and the tool's of geometry (0: not given)
  std::vector<DrillPoint> points;  // absolute, inches
  // RouteCut:
  DrillPoint start;
  RouteMotion motion = RouteMotion::Line;
  std::optional<DrillPoint> centre;  // I, J: from Start to the arc's centre
  std::optional<double> radius;      // A
  // Tool: Text[SizeBegin, SizeEnd) is the diameter's number after "C".
  size_t sizeBegin = 0, sizeEnd = 0;

  bool isGeometry() const {
    return Kind >= DrillStatementKind::Hits && Kind <= DrillStatementKind::RouteEnd;
  }
};

struct DrillFile {
  std::string name;
  std::vector<DrillStatement> Statements;
  // How the coordinates are written (from the first one on); for Decimal,
  // the most decimals any of them has, at least the unit's standard.
  DrillNumberFormat format;
  // Set when the operator's data format was given and differs from what was
  // used: which format the file was read in, and that it was not the given one.
  std::string formatNote;
  size_t hitCount = 0;
  size_t slotCount = 0;
  size_t routeCount = 0;  // routes with at least one cut
  // "<name>:<line>: '<statement>': ..." for what was read with a doubt: an
  // undefined tool, a unit changed, a route closed that the file left cut.
  std::vector<std::string> warnings;

  bool hasDrilling() const { return hitCount + slotCount + routeCount > 0; }
  std::vector<DrillPoint> hitPoints() const;
};

// Reads an Excellon file's bytes. The file's own statements decide its
// unit, digits and zeros; `dataFormat`, the operator's format, fills in only
// what the file does not state (unit, digits, zeros, and absolute or
// incremental for a file without a header). A file that states a unit
// without digits has the standard's (inch 2.4, mm 3.3).
// Throws FormatError "<name>: not an Excellon file" for binary bytes, and
// "<name>:<line>: ..." for a statement with coordinates that cannot be read
// as they stand (unknown format, too many digits, unknown codes).
DrillFile readDrillFile(std::string_view bytes, const std::string& name,
                        const std::optional<DataFormat>& dataFormat);

// The named file read; IoError naming it when it cannot be read.
DrillFile loadDrillFile(const std::string& file, const std::optional<DataFormat>& dataFormat);

// The file's non-empty lines (CR, LF or CR LF end a line; the rest after the
// last end counts too). An empty or blank file has none.
bool hasDrillLines(std::string_view bytes);

}  // namespace drumplot
