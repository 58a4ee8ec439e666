// SPDX-License-Identifier: MIT
// The Excellon reader: lines, statements, the number format in force, and
// hits, slots and routes in inches.
#include "drill/drill_file.h"

#include <cmath>
#include <map>
#include <set>
#include <utility>

#include "engine/errors.h"
#include "engine/text.h"
#include "io/file_io.h"

namespace drumplot {

std::vector<DrillPoint> DrillFile::hitPoints() const {
  std::vector<DrillPoint> hits;
  for (const DrillStatement& s : Statements) {
    if (s.Kind == DrillStatementKind::Hits)
      hits.insert(hits.end(), s.points.begin(), s.points.end());
  }
  return hits;
}

namespace {

constexpr long long kMaxRepeat = 9999;

// DrillFile - Lines
// ============================================================================

bool isBlank(char c) {
  return c == ' ' || c == '\t' || c == '\f' || c == '\v';
}

std::string_view trim(std::string_view s) {
  while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && isBlank(s.back())) s.remove_suffix(1);
  return s;
}

// A line's statement without its blanks and without a comment after ";".
std::string compactStatement(std::string_view line) {
  std::string out;
  for (char c : line.substr(0, line.find(';'))) {
    if (!isBlank(c)) out.push_back(c);
  }
  return out;
}

// Text ends at a trailing run of Ctrl-Z (the old end-of-file mark); any
// other control byte but line ends and blanks means it is no text file.
std::string_view textOf(std::string_view bytes, const std::string& name) {
  while (!bytes.empty() && bytes.back() == '\x1a') bytes.remove_suffix(1);
  for (char c : bytes) {
    const auto u = static_cast<unsigned char>(c);
    if (u < 0x20 && c != '\n' && c != '\r' && !isBlank(c)) {
      throw FormatError(name + ": not an Excellon file");
    }
  }
  return bytes;
}

// f(line number from 1, line) for every line; CR, LF and CR LF end a line.
template <class F>
void forEachLine(std::string_view text, F&& f) {
  size_t number = 1, begin = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\n' && text[i] != '\r') continue;
    f(number++, text.substr(begin, i - begin));
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    begin = i + 1;
  }
  if (begin < text.size()) f(number, text.substr(begin));
}

// DrillFile - Codes
// ============================================================================

struct Token {
  char letter;
  std::string_view value;
};

bool isNumberChar(char c) {
  return isDigit(c) || c == '+' || c == '-' || c == '.';
}

// "G01X1.5Y-2" as letter and value pairs; nothing unless every letter has a value.
std::optional<std::vector<Token>> tokenize(std::string_view compact) {
  std::vector<Token> tokens;
  size_t i = 0;
  while (i < compact.size()) {
    const char letter = compact[i];
    if (letter < 'A' || letter > 'Z') return std::nullopt;
    const size_t begin = ++i;
    while (i < compact.size() && isNumberChar(compact[i])) ++i;
    if (i == begin) return std::nullopt;
    tokens.push_back({letter, compact.substr(begin, i - begin)});
  }
  return tokens;
}

bool isCoordinateLetter(char c) {
  return c == 'X' || c == 'Y' || c == 'I' || c == 'J' || c == 'A';
}

// A statement that starts with X or Y, or has X or Y followed by a number,
// means to give coordinates.
bool meansCoordinates(std::string_view compact) {
  if (compact.empty()) return false;
  if (compact[0] == 'X' || compact[0] == 'Y') return true;
  for (size_t i = 0; i + 1 < compact.size(); ++i) {
    if ((compact[i] == 'X' || compact[i] == 'Y') && isNumberChar(compact[i + 1])) return true;
  }
  return false;
}

// Optional sign, digits, optional point and digits; at least one digit.
bool isNumber(std::string_view v) {
  size_t i = 0, digits = 0;
  if (i < v.size() && (v[i] == '+' || v[i] == '-')) ++i;
  while (i < v.size() && isDigit(v[i])) ++i, ++digits;
  if (i < v.size() && v[i] == '.') {
    ++i;
    while (i < v.size() && isDigit(v[i])) ++i, ++digits;
  }
  return digits > 0 && i == v.size();
}

// A G, M, R or T code's number: digits only.
std::optional<long long> codeNumber(std::string_view v) {
  if (v.empty() || v.size() > 9) return std::nullopt;
  long long n = 0;
  for (char c : v) {
    if (!isDigit(c)) return std::nullopt;
    n = n * 10 + (c - '0');
  }
  return n;
}

// "2:4" or "4 : 4" as integer and decimal digits.
std::optional<std::pair<uint8_t, uint8_t>> digitPair(std::string_view text) {
  const size_t colon = text.find(':');
  if (colon == std::string_view::npos) return std::nullopt;
  std::optional<long long> i = codeNumber(trim(text.substr(0, colon)));
  std::optional<long long> d = codeNumber(trim(text.substr(colon + 1)));
  if (!i || !d || *i < 1 || *i + *d > kMaxDrillDigits) return std::nullopt;
  return std::pair{uint8_t(*i), uint8_t(*d)};
}

// "000.000" as 3 integer and 3 decimal digits.
std::optional<std::pair<uint8_t, uint8_t>> digitPattern(std::string_view text) {
  const size_t point = text.find('.');
  if (point == std::string_view::npos || text.find_first_not_of("0.") != std::string_view::npos ||
      text.find('.', point + 1) != std::string_view::npos) {
    return std::nullopt;
  }
  const size_t decimals = text.size() - point - 1;
  if (point < 1 || point + decimals > size_t{kMaxDrillDigits}) return std::nullopt;
  return std::pair{uint8_t(point), uint8_t(decimals)};
}

std::vector<std::string_view> splitAt(std::string_view text, char separator) {
  std::vector<std::string_view> parts;
  size_t begin = 0;
  for (size_t i = 0; i <= text.size(); ++i) {
    if (i == text.size() || text[i] == separator) {
      parts.push_back(trim(text.substr(begin, i - begin)));
      begin = i + 1;
    }
  }
  return parts;
}

// DrillFile - Reader
// ============================================================================

enum class Motion : uint8_t { Rapid, Line, Clockwise, Counterclockwise };

class DrillReader {
 public:
  DrillReader(std::string name, const std::optional<DataFormat>& dataFormat)
      : dataFormat_(dataFormat) {
    file_.name = std::move(name);
    if (dataFormat) {
      const DrillNumberFormat f = drillFormatOf(*dataFormat);
      unit_ = f.unit;
      zeros_ = f.zeros;
      digits_ = {f.IntDigits, f.DecDigits};
    }
  }

  DrillFile read(std::string_view bytes) {
    const std::string_view text = textOf(bytes, file_.name);
    bool hasHeader = false;
    forEachLine(text, [&](size_t, std::string_view line) {
      hasHeader = hasHeader || compactStatement(line) == "M48";
    });
    // Excellon coordinates are absolute unless the file says otherwise; the
    // operator's choice serves a file without a header.
    absolute_ = dataFormat_ && !hasHeader ? dataFormat_->Absolute : true;
    forEachLine(text, [&](size_t number, std::string_view line) { readLine(number, line); });
    finish();
    return std::move(file_);
  }

 private:
  // DrillReader - Statements
  // --------------------------------------------------------------------------

  void readLine(size_t number, std::string_view line) {
    text_ = trim(line);
    if (text_.empty()) return;
    line_ = number;
    if (text_[0] == ';') return comment(text_.substr(1));
    if (text_[0] == '(') {  // an NC comment "(...)"
      add(routeOpen_ ? DrillStatementKind::RouteText : DrillStatementKind::Text);
      return;
    }
    const std::string compact = compactStatement(text_);
    if (compact == "M48") {
      inHeader_ = true;
      add(DrillStatementKind::HeaderStart);
      return;
    }
    if (compact == "%" || compact == "M95") {
      inHeader_ = false;
      add(DrillStatementKind::Text);
      return;
    }
    if (wordStatement(compact)) return;
    std::optional<std::vector<Token>> tokens = tokenize(compact);
    if (!tokens) {
      if (meansCoordinates(compact)) fail("cannot be read as Excellon codes");
      add(routeOpen_ ? DrillStatementKind::RouteText : DrillStatementKind::Text);
      return;
    }
    codeStatement(*tokens);
  }

  void comment(std::string_view body) {
    body = trim(body);
    if (startsWith(body, "FILE_FORMAT")) {
      std::string_view rest = trim(body.substr(11));
      if (startsWith(rest, "=")) {
        if (auto digits = digitPair(rest.substr(1))) {
          setDigits(*digits);
          add(DrillStatementKind::Format);
          return;
        }
      }
    } else if (startsWith(body, "FORMAT={") && kicadFormat(body.substr(8))) {
      add(DrillStatementKind::Format);
      return;
    }
    add(routeOpen_ ? DrillStatementKind::RouteText : DrillStatementKind::Text);
  }

  // "{2:4/ absolute / inch / keep zeros}" or "{-:-/ absolute / metric / decimal}".
  bool kicadFormat(std::string_view body) {
    const size_t close = body.find('}');
    if (close == std::string_view::npos) return false;
    std::vector<std::string_view> parts = splitAt(body.substr(0, close), '/');
    if (parts.size() != 4) return false;
    std::optional<std::pair<uint8_t, uint8_t>> digits = digitPair(parts[0]);
    if (!digits && parts[0] != "-:-") return false;
    if (parts[1] != "absolute" && parts[1] != "incremental") return false;
    if (parts[2] != "inch" && parts[2] != "metric") return false;
    static const std::map<std::string_view, DrillZeros> kZeros = {
        {"decimal", DrillZeros::Decimal},
        {"keep zeros", DrillZeros::None},
        {"suppress leading zeros", DrillZeros::Leading},
        {"suppress trailing zeros", DrillZeros::Trailing}};
    auto zeros = kZeros.find(parts[3]);
    if (zeros == kZeros.end()) return false;
    absolute_ = parts[1] == "absolute";
    setUnit(parts[2] == "inch" ? DrillUnit::Inch : DrillUnit::Millimetre);
    if (digits) setDigits(*digits);
    setZeros(zeros->second);
    return true;
  }

  // "INCH,LZ", "METRIC,TZ,000.000", "M71,TZ", "ICI,ON", and words with a
  // comma (FMAT,2, VER,1, ...) kept as text. True when handled.
  bool wordStatement(const std::string& compact) {
    std::vector<std::string_view> parts = splitAt(compact, ',');
    const std::string_view word = parts[0];
    if (word == "INCH" || word == "METRIC" || word == "M71" || word == "M72") {
      setUnit(word == "INCH" || word == "M72" ? DrillUnit::Inch : DrillUnit::Millimetre);
      for (size_t i = 1; i < parts.size(); ++i) {
        if (parts[i] == "LZ") {
          setZeros(DrillZeros::Trailing);
        } else if (parts[i] == "TZ") {
          setZeros(DrillZeros::Leading);
        } else if (auto digits = digitPattern(parts[i])) {
          setDigits(*digits);
        } else {
          fail("'" + std::string(parts[i]) +
               "' is no zero mode (LZ, TZ) or digit pattern (000.000)");
        }
      }
      add(DrillStatementKind::Format);
      return true;
    }
    if (word == "ICI" && parts.size() <= 2) {
      if (parts.size() == 2 && parts[1] != "ON" && parts[1] != "OFF")
        fail("expected ICI,ON or ICI,OFF");
      absolute_ = parts.size() == 2 && parts[1] == "OFF";
      add(DrillStatementKind::Format);
      return true;
    }
    if (word == "M97" || word == "M98") fail("canned text is not supported");
    if (word == "FMAT" && parts.size() == 2 && (parts[1] == "1" || parts[1] == "2")) {
      format1_ = parts[1] == "1";
    }
    if (parts.size() == 1) return false;
    add(routeOpen_ ? DrillStatementKind::RouteText : DrillStatementKind::Text);
    return true;
  }

  void codeStatement(std::vector<Token> tokens) {
    bool hasCoordinates = false;
    for (const Token& t : tokens) hasCoordinates |= isCoordinateLetter(t.letter);
    // A statement with coordinates may end the program as well: "X1Y2M30".
    std::optional<std::string> endAfter;
    if (hasCoordinates && tokens.back().letter == 'M' &&
        (tokens.back().value == "30" || tokens.back().value == "00")) {
      endAfter = "M" + std::string(tokens.back().value);
      tokens.pop_back();
    }
    for (const Token& t : tokens) {
      if ((t.letter == 'G' || t.letter == 'M' || t.letter == 'T' || t.letter == 'R') &&
          !codeNumber(t.value)) {
        if (hasCoordinates)
          fail("'" + std::string(1, t.letter) + std::string(t.value) + "' is no code");
        add(routeOpen_ ? DrillStatementKind::RouteText : DrillStatementKind::Text);
        return;
      }
    }
    if (tokens.front().letter == 'T') {
      if (hasCoordinates) fail("a tool code with coordinates is not supported");
      tool(tokens);
    } else if (hasCoordinates) {
      coordinates(tokens);
    } else {
      codesWithoutCoordinates(tokens);
    }
    if (endAfter) {
      routing_ = false;
      add(DrillStatementKind::End).text = *endAfter;
    }
  }

  // "T01", "T1C0.8", "T01F095S3", "T1F00S00C0.300": a definition when it has
  // a diameter; in the body it also selects the tool.
  void tool(const std::vector<Token>& tokens) {
    const long long number = *codeNumber(tokens[0].value);
    const Token* size = nullptr;
    for (const Token& t : tokens) {
      if (t.letter == 'C') size = &t;
    }
    if (!inHeader_) routing_ = false;  // a new tool drills until a route starts
    if (!size) {
      if (!inHeader_) {
        diameter_ = toolDiameter(number);
        // T0 unloads the tool.
        if (number != 0 && !tools_.contains(number) && undefinedTools_.insert(number).second)
          warn("tool T" + std::to_string(number) + " is not defined");
      }
      add(DrillStatementKind::Text);
      return;
    }
    std::optional<double> value = parseDecimal(size->value);
    if (!isNumber(size->value) || !value || *value < 0.0)
      fail("the tool's diameter cannot be read");
    tools_[number] = {*value, unit_};
    DrillStatement& s = add(DrillStatementKind::Tool);
    s.text = compactStatement(text_);
    s.diameter = toolDiameter(number);
    if (!unit_) unitlessTools_.push_back(file_.Statements.size() - 1);
    s.sizeBegin = s.text.find('C') + 1;
    s.sizeEnd = s.sizeBegin;
    while (s.sizeEnd < s.text.size() && isNumberChar(s.text[s.sizeEnd])) ++s.sizeEnd;
    if (!inHeader_) diameter_ = s.diameter;
  }

  double toolDiameter(long long number) const {
    auto it = tools_.find(number);
    if (it == tools_.end()) return 0.0;
    const std::optional<DrillUnit> unit = it->second.second ? it->second.second : unit_;
    return unit ? it->second.first / unitsPerInch(*unit) : 0.0;
  }

  void codesWithoutCoordinates(const std::vector<Token>& tokens) {
    DrillStatementKind kind = DrillStatementKind::Format;
    bool format = false, other = false;
    for (const Token& t : tokens) {
      const DrillStatementKind k = code(t.letter, t.value);
      (k == DrillStatementKind::Format ? format : other) = true;
      // The strongest effect names the statement: End over RouteEnd over
      // DrillMode over text.
      if (kind == DrillStatementKind::Format || k > kind) kind = k;
    }
    if (format && other) fail("format codes together with other codes are not supported");
    add(kind);
  }

  // The effect of one code of a statement without coordinates.
  DrillStatementKind code(char letter, std::string_view value) {
    const long long n = letter == 'G' || letter == 'M' ? *codeNumber(value) : -1;
    const DrillStatementKind inside =
        routeOpen_ ? DrillStatementKind::RouteText : DrillStatementKind::Text;
    if (letter == 'G') {
      switch (n) {
        case 0:
        case 1:
        case 2:
        case 3:
          motion_ = static_cast<Motion>(n);
          routing_ = true;
          return inside;
        case 5:
          routing_ = false;
          return DrillStatementKind::DrillMode;
        case 90:
        case 91:
          absolute_ = n == 90;
          return DrillStatementKind::Format;
        case 93:
          return DrillStatementKind::Format;
        default:
          return inside;
      }
    }
    if (letter == 'M') {
      switch (n) {
        case 71:
        case 72:
          setUnit(n == 72 ? DrillUnit::Inch : DrillUnit::Millimetre);
          return DrillStatementKind::Format;
        case 15:
          toolDown_ = routeOpen_;
          return inside;
        case 16:
        case 17:
          if (!routeOpen_) return DrillStatementKind::Text;
          routeOpen_ = toolDown_ = false;
          return DrillStatementKind::RouteEnd;
        case 30:
        case 0:
          routing_ = false;
          return DrillStatementKind::End;
        case 70:
          // In format 1 "M70" alone is the inch mode; format 2 swaps the
          // axes with it in a pattern (M02X..Y..M70).
          if (!format1_) fail("M70 alone is the inch mode of a format 1 file (FMAT,1) only");
          setUnit(DrillUnit::Inch);
          return DrillStatementKind::Format;
        // Patterns, step and repeat; mirrored axes.
        case 1:
        case 2:
        case 8:
        case 25:
        case 80:
        case 90:
          fail("M" + std::string(value) + " moves the hits after it; it is not supported");
        default:
          return inside;
      }
    }
    if (letter == 'R') fail("a repeat code needs X or Y");
    return inside;
  }

  // DrillReader - Coordinates
  // --------------------------------------------------------------------------

  // The coordinate codes of one point: X, Y, and for arcs I, J or A.
  struct Axes {
    std::optional<std::string_view> x, y, i, j, a;
  };

  void coordinates(const std::vector<Token>& tokens) {
    std::optional<Motion> motion;
    bool slot = false, origin = false;
    std::optional<long long> repeat;
    bool drill = false;
    Axes first, second;
    for (size_t k = 0; k < tokens.size(); ++k) {
      const Token& t = tokens[k];
      Axes& axes = slot ? second : first;
      std::optional<std::string_view>* axis = t.letter == 'X'   ? &axes.x
                                              : t.letter == 'Y' ? &axes.y
                                              : t.letter == 'I' ? &axes.i
                                              : t.letter == 'J' ? &axes.j
                                              : t.letter == 'A' ? &axes.a
                                                                : nullptr;
      if (axis) {
        if (*axis) fail(std::string(1, t.letter) + " given twice");
        *axis = t.value;
        continue;
      }
      if (t.letter != 'G' && t.letter != 'R') {
        fail(std::string(1, t.letter) + " with coordinates is not supported");
      }
      const long long n = *codeNumber(t.value);
      if (t.letter == 'R' && k == 0) {
        if (n < 1 || n > kMaxRepeat) fail("a repeat count runs from 1 to 9999");
        repeat = n;
      } else if (t.letter == 'G' && n <= 3) {
        motion = static_cast<Motion>(n);
      } else if (t.letter == 'G' && n == 5) {
        drill = true;
      } else if (t.letter == 'G' && n == 85 && !slot) {
        slot = true;
      } else if (t.letter == 'G' && (n == 90 || n == 91)) {
        absolute_ = n == 90;
      } else if (t.letter == 'G' && n == 93) {
        origin = true;
      } else {
        fail(std::string(1, t.letter) + std::string(t.value) +
             " with coordinates is not supported");
      }
    }
    if (drill && motion) fail("G05 and a route code together");
    if (drill) routing_ = false;
    if (motion) {
      motion_ = *motion;
      routing_ = true;
    }
    if (repeat && routing_) fail("a repeat code belongs to drilling, not to a route");
    const bool arc =
        routing_ && (motion_ == Motion::Clockwise || motion_ == Motion::Counterclockwise);
    if (!arc && (first.i || first.j || first.a)) fail("I, J and A belong to arcs (G02, G03)");
    if (second.i || second.j || second.a) fail("I, J and A belong to arcs (G02, G03)");
    if (int(slot) + int(origin) + int(repeat.has_value()) + int(motion.has_value()) > 1) {
      fail("this combination of codes is not supported");
    }
    if (origin) {
      // G93: later absolute coordinates are measured from this point.
      origin_ = {first.x ? number(*first.x) : 0.0, first.y ? number(*first.y) : 0.0};
      add(DrillStatementKind::Format);
    } else if (slot) {
      slotStatement(first, second);
    } else if (routing_) {
      route(first, motion.has_value());
    } else {
      hits(first, repeat);
    }
  }

  void hits(const Axes& axes, std::optional<long long> repeat) {
    closeRoute();
    std::vector<DrillPoint> points;
    if (repeat) {
      // R: the hit before is repeated, each time moved by X and Y.
      const DrillPoint step{axes.x ? number(*axes.x) : 0.0, axes.y ? number(*axes.y) : 0.0};
      DrillPoint p = position_;
      for (long long k = 0; k < *repeat; ++k) {
        p = checked({p.x + step.x, p.y + step.y});
        points.push_back(p);
      }
    } else {
      points.push_back(moveTo(axes, position_));
    }
    position_ = points.back();
    file_.hitCount += points.size();
    geometry(DrillStatementKind::Hits, std::move(points));
  }

  // A slot is drilled: any route has ended, and drilling goes on after it.
  void slotStatement(const Axes& first, const Axes& second) {
    closeRoute();
    routing_ = false;
    const DrillPoint from = moveTo(first, position_);
    const DrillPoint to = moveTo(second, from);
    position_ = to;
    ++file_.slotCount;
    geometry(DrillStatementKind::Slot, {from, to});
  }

  void route(const Axes& axes, bool explicitMotion) {
    const DrillPoint start = position_;
    const DrillPoint end = moveTo(axes, start);
    position_ = end;
    // A coordinate after the tool lifted, without G01..G03, only moves it.
    if (motion_ == Motion::Rapid || (!routeOpen_ && !explicitMotion)) {
      if (axes.i || axes.j || axes.a) fail("I, J and A belong to arcs (G02, G03)");
      routeOpen_ = true;
      routeCuts_ = 0;
      geometry(DrillStatementKind::RouteStart, {end});
      return;
    }
    if (!routeOpen_) {
      routeOpen_ = true;  // a route from where the tool is
      routeCuts_ = 0;
    }
    if (routeCuts_++ == 0) ++file_.routeCount;
    toolDown_ = true;
    DrillStatement& s = geometry(DrillStatementKind::RouteCut, {end});
    s.start = start;
    s.motion = motion_ == Motion::Line        ? RouteMotion::Line
               : motion_ == Motion::Clockwise ? RouteMotion::Clockwise
                                              : RouteMotion::Counterclockwise;
    if (s.motion == RouteMotion::Line) return;
    if (axes.a) {
      if (axes.i || axes.j) fail("an arc has A or I and J, not both");
      s.radius = number(*axes.a);
    } else if (axes.i || axes.j) {
      s.centre = DrillPoint{axes.i ? number(*axes.i) : 0.0, axes.j ? number(*axes.j) : 0.0};
    } else {
      fail("an arc needs its radius (A) or its centre (I, J)");
    }
  }

  // The point the axes give, from `from` for a missing axis or incremental
  // coordinates.
  DrillPoint moveTo(const Axes& axes, DrillPoint from) {
    DrillPoint p = from;
    if (axes.x) p.x = (absolute_ ? origin_.x : from.x) + number(*axes.x);
    if (axes.y) p.y = (absolute_ ? origin_.y : from.y) + number(*axes.y);
    return checked(p);
  }

  DrillPoint checked(DrillPoint p) const {
    if (!(std::fabs(p.x) <= kMaxDrillInches && std::fabs(p.y) <= kMaxDrillInches)) {
      fail("a position beyond 10000 inches");
    }
    return p;
  }

  // A coordinate number in inches, read in the format in force.
  double number(std::string_view text) {
    if (!isNumber(text)) fail("'" + std::string(text) + "' is no number");
    const bool negative = text[0] == '-';
    if (text[0] == '+' || text[0] == '-') text.remove_prefix(1);
    // Zero in any unit and format.
    if (text.find_first_not_of("0.") == std::string_view::npos) return 0.0;
    double value = 0.0;
    const size_t point = text.find('.');
    if (point != std::string_view::npos) {
      value = *parseDecimal(text);
      maxDecimals_ = std::max(maxDecimals_, text.size() - point - 1);
      decimalSeen_ = true;
    } else {
      value = fixedNumber(text);
    }
    if (!unit_)
      fail("the file states no unit (INCH, METRIC, M71, M72) and no data format is given");
    value /= unitsPerInch(*unit_);
    if (!(std::fabs(value) <= kMaxDrillInches)) fail("a number beyond 10000 inches");
    return negative ? -value : value;
  }

  // Digits without a point, in the file's digits and zeros.
  double fixedNumber(std::string_view digits) {
    if (zeros_ == DrillZeros::Decimal) return *parseDecimal(digits);
    if (!digits_) {
      fail(
          "the file states no number format (INCH, METRIC or ;FILE_FORMAT) and no data format is "
          "given");
    }
    const int total = digits_->first + digits_->second;
    const int count = static_cast<int>(digits.size());
    if (count > total) {
      fail(std::to_string(count) + " digits, more than the " + std::to_string(digits_->first) +
           "." + std::to_string(digits_->second) + " format holds" +
           (digitsStated_ ? "" : " (the file states no digits: ;FILE_FORMAT=I:D would)"));
    }
    double value = 0.0;
    for (char c : digits) value = value * 10.0 + (c - '0');
    if (count < total) {
      if (!zeros_) {
        fail("fewer digits than the " + std::to_string(digits_->first) + "." +
             std::to_string(digits_->second) +
             " format holds, and neither the file (LZ, TZ) nor a data format says which zeros "
             "are left out");
      }
      if (*zeros_ == DrillZeros::None)
        fail("fewer digits than the format holds, with no zeros left out");
      // Trailing zeros left out: the digits start at the first integer place.
      if (*zeros_ == DrillZeros::Trailing) value *= std::pow(10.0, total - count);
    }
    return value / std::pow(10.0, digits_->second);
  }

  // DrillReader - Format in force
  // --------------------------------------------------------------------------

  // A unit without stated digits has the standard's.
  void setUnit(DrillUnit unit) {
    if (statedUnit_ && *statedUnit_ != unit) {
      warn(std::string("the unit changes to ") + (unit == DrillUnit::Inch ? "inch" : "mm") +
           " here; the numbers from here on are read in it");
    }
    statedUnit_ = unit;
    unit_ = unit;
    if (!digitsStated_) {
      digits_ = standardDrillDigits(unit);
    }
  }
  void setDigits(std::pair<uint8_t, uint8_t> digits) {
    digits_ = digits;
    digitsStated_ = true;
  }
  void setZeros(DrillZeros zeros) { zeros_ = zeros; }

  // The format in force at the first hit, slot or route is the file's.
  void noteFormat() {
    if (formatNoted_) return;
    formatNoted_ = true;
    usedUnit_ = unit_;
    usedZeros_ = zeros_;
    usedDigits_ = digits_;
  }

  // DrillReader - Results
  // --------------------------------------------------------------------------

  DrillStatement& add(DrillStatementKind kind) {
    // A route ends at any statement that is not part of it.
    if ((kind < DrillStatementKind::Hits || kind > DrillStatementKind::RouteEnd) &&
        kind != DrillStatementKind::Format) {
      closeRoute();
    }
    DrillStatement& s = file_.Statements.emplace_back();
    s.Kind = kind;
    s.line = line_;
    s.text = std::string(text_);
    s.unit = unit_.value_or(DrillUnit::Inch);
    s.routMode = routing_;
    s.diameter = diameter_;
    return s;
  }

  DrillStatement& geometry(DrillStatementKind kind, std::vector<DrillPoint> points) {
    points_ += points.size();
    if (points_ > kMaxDrillPoints) fail("more than a million positions in one file");
    noteFormat();
    // Hits in a row under the same tool and unit make one statement: a
    // file's hits cost their points, not a statement each.
    if (kind == DrillStatementKind::Hits && !file_.Statements.empty()) {
      DrillStatement& last = file_.Statements.back();
      if (last.Kind == kind && last.unit == unit_.value_or(DrillUnit::Inch) &&
          last.diameter == diameter_ && last.routMode == routing_) {
        last.points.insert(last.points.end(), points.begin(), points.end());
        return last;
      }
    }
    DrillStatement& s = add(kind);
    s.points = std::move(points);
    return s;
  }

  // A route whose tool is still down gets its "M16" here: the tool lifts
  // before what comes next (another tool, a hit, the next board's copy).
  void closeRoute(const char* where = "before this statement") {
    if (routeOpen_ && toolDown_) {
      warn(std::string("the route has no M16 or M17: it is closed (M16) ") + where);
      routeOpen_ = false;
      add(DrillStatementKind::RouteEnd).text = "M16";
    }
    routeOpen_ = toolDown_ = false;
  }

  void finish() {
    closeRoute("at the end of the file");
    DrillNumberFormat& f = file_.format;
    f.unit = usedUnit_ ? *usedUnit_ : unit_.value_or(DrillUnit::Inch);
    const std::pair<uint8_t, uint8_t> digits = usedDigits_.value_or(standardDrillDigits(f.unit));
    f.IntDigits = digits.first;
    f.DecDigits = digits.second;
    f.zeros = usedZeros_.value_or(DrillZeros::None);
    if (decimalSeen_ || f.zeros == DrillZeros::Decimal) {
      f.zeros = DrillZeros::Decimal;
      f.DecDigits = std::max(f.DecDigits, uint8_t(std::min<size_t>(maxDecimals_, 9)));
    }
    for (size_t i : unitlessTools_) {
      DrillStatement& s = file_.Statements[i];
      s.unit = f.unit;
      s.diameter =
          *parseDecimal(std::string_view(s.text).substr(s.sizeBegin, s.sizeEnd - s.sizeBegin)) /
          unitsPerInch(f.unit);
    }
    if (dataFormat_ && formatNoted_) {
      const DrillNumberFormat given = drillFormatOf(*dataFormat_);
      if (describe(f) != describe(given)) {
        file_.formatNote = file_.name + ": read in the file's own format (" + describe(f) +
                           "), not in the given data format (" + describe(given) + ")";
      }
    }
  }

  // "<name>:<line>: '<statement>': why".
  std::string atLine(const std::string& why) const {
    std::string shown(text_.substr(0, 80));
    if (text_.size() > 80) shown += "...";
    return file_.name + ":" + std::to_string(line_) + ": '" + shown + "': " + why;
  }
  [[noreturn]] void fail(const std::string& why) const { throw FormatError(atLine(why)); }
  void warn(const std::string& why) { file_.warnings.push_back(atLine(why)); }

  std::optional<DataFormat> dataFormat_;
  DrillFile file_;
  size_t line_ = 0;
  std::string_view text_;

  std::optional<DrillUnit> unit_;
  std::optional<DrillZeros> zeros_;
  std::optional<std::pair<uint8_t, uint8_t>> digits_;
  bool digitsStated_ = false;  // by ;FILE_FORMAT, a digit pattern or KiCad's format
  bool absolute_ = true;
  DrillPoint origin_;

  bool formatNoted_ = false;
  std::optional<DrillUnit> usedUnit_;
  std::optional<DrillZeros> usedZeros_;
  std::optional<std::pair<uint8_t, uint8_t>> usedDigits_;
  bool decimalSeen_ = false;
  size_t maxDecimals_ = 0;

  bool inHeader_ = false;
  bool format1_ = false;  // FMAT,1: the older command set
  std::optional<DrillUnit> statedUnit_;
  bool routing_ = false;    // rout mode (G00..G03) until G05 or a new tool
  bool routeOpen_ = false;  // a route started and the tool has not lifted
  bool toolDown_ = false;   // the open route has been cut (or M15)
  size_t routeCuts_ = 0;
  Motion motion_ = Motion::Rapid;
  DrillPoint position_;
  size_t points_ = 0;

  // Tool number to its diameter in the unit in force where it was defined.
  std::map<long long, std::pair<double, std::optional<DrillUnit>>> tools_;
  std::vector<size_t> unitlessTools_;
  std::set<long long> undefinedTools_;  // warned once each
  double diameter_ = 0.0;               // the selected tool's, inches
};

}  // namespace

DrillFile readDrillFile(std::string_view bytes, const std::string& name,
                        const std::optional<DataFormat>& dataFormat) {
  return DrillReader(name, dataFormat).read(bytes);
}

DrillFile loadDrillFile(const std::string& file, const std::optional<DataFormat>& dataFormat) {
  return readDrillFile(readFileBytes(file), file, dataFormat);
}

bool hasDrillLines(std::string_view bytes) {
  for (char c : bytes) {
    if (!isBlank(c) && c != '\n' && c != '\r' && c != '\x1a') return true;
  }
  return false;
}

}  // namespace drumplot
