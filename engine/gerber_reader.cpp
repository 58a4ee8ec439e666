// SPDX-License-Identifier: MIT
#include "engine/gerber_reader.h"

#include <fstream>
#include <vector>

#include "engine/errors.h"
#include "engine/text.h"

namespace drumplot {

const char* toString(LoadStatus status) {
  switch (status) {
    case LoadStatus::Ok: return "loaded";
    case LoadStatus::NameTooShort: return "file name shorter than 3 characters";
    case LoadStatus::CannotOpen: return "cannot open the file";
    case LoadStatus::TooShort: return "file shorter than 5 bytes";
  }
  return "unknown";
}

GerberReader::GerberReader(DataFormat preset, StatementLimits limits)
    : Format(preset), UnitScale(preset.unitScale()), Statements(limits), limits_(limits) {}

// GerberReader - Load
// ============================================================================

void GerberReader::loadBytes(std::string_view bytes) {
  Statements = StatementList(limits_);
  std::string current;
  uint64_t percentCount = 0;
  for (char ch : bytes) {
    auto c = static_cast<unsigned char>(ch);
    if (c < 32) continue;  // line ends, tabs and other control bytes
    if (c == '%') {
      // Odd "%" opens a parameter block and stays on its first statement;
      // even "%" closes it and becomes a statement of its own.
      if (++percentCount % 2 == 1) {
        current.push_back('%');
      } else {
        if (!current.empty()) Statements.addStatement(current);
        current.clear();
        Statements.addStatement("%");
      }
    } else if (c == '*') {
      current.push_back('*');
      if (current != "*") Statements.addStatement(current);
      current.clear();
    } else {
      current.push_back(ch);
    }
  }
  Statements.finish();  // text after the last "*" is dropped
}

LoadStatus GerberReader::load() {
  Statements = StatementList(limits_);
  if (FileName.size() < 3) return LoadStatus::NameTooShort;
  std::ifstream in(FileName, std::ios::binary);
  if (!in) return LoadStatus::CannotOpen;
  std::string bytes;
  char block[1 << 16];
  while (in.read(block, sizeof block) || in.gcount() > 0) {
    bytes.append(block, static_cast<size_t>(in.gcount()));
  }
  if (in.bad()) return LoadStatus::CannotOpen;
  if (bytes.size() < 5) return LoadStatus::TooShort;
  loadBytes(bytes);
  return LoadStatus::Ok;
}

void GerberReader::prepare() {
  LoadStatus status = load();
  if (status == LoadStatus::CannotOpen || status == LoadStatus::NameTooShort) {
    throw IoError(FileName + ": " + toString(status));
  }
  computeExtents();
  parseDefinitions();
}

// GerberReader - Extents pass
// ============================================================================

std::string_view effectiveStatement(std::string_view s) {
  if (!startsWith(s, "G04")) return s;
  size_t percent = s.find('%');
  return percent == std::string_view::npos ? std::string_view{} : s.substr(percent);
}

namespace {

bool isCoordinateStatement(std::string_view s) {
  if (s.size() < 2) return false;
  char c = s[0];
  if (c != 'G' && c != 'I' && c != 'J' && c != 'X' && c != 'Y') return false;
  if (startsWith(s, "G04")) return false;
  return s[1] == '+' || s[1] == '-' || isDigit(s[1]);
}

struct AxisExtent {
  double min = 1e39;
  double max = -1e39;

  void add(double v, bool drawing) {
    // A coordinate of exactly 0 counts only while drawing.
    if (drawing && v == 0.0) v = 0.0000001;
    if (v == 0.0) return;
    if (v > max) max = v;
    if (v < min) min = v;
  }
  // No coordinate seen on the axis: 0 to 0.35 inch.
  void settle() {
    if (min > 10000.0) {
      min = 0.0;
      max = 0.35;
    }
  }
};

}  // namespace

void GerberReader::computeExtents() {
  Format.Absolute = 1;
  bool drawing = false;
  RepeatOffset repeat;  // inches
  IncrementalAxis incX, incY;
  AxisExtent x, y;
  CurrentAperture = 10;
  DarkPolarity = 1;
  UnitScale = Format.unitScale();

  for (size_t i = 0; i < Statements.size(); ++i) {
    std::string_view s = effectiveStatement(Statements[i]);
    if (s.size() < 2) continue;
    if (s.find("D01") != std::string_view::npos) drawing = true;
    if (s.find("D02") != std::string_view::npos) drawing = false;
    applyFormatStatement(s, Format);
    UnitScale = Format.unitScale();
    if (startsWith(s, "%SR_")) {
      RepeatOffset offset = parseRepeatStatement(s);
      repeat = {offset.x * UnitScale, offset.y * UnitScale};
    }
    if (!isCoordinateStatement(s)) continue;
    bool absolute = Format.Absolute != 0;
    if (size_t p = s.find('X'); p != std::string_view::npos) {
      double v = incX.resolve(parseCoordinate(s, p, Format, UnitScale), absolute);
      if (hasValue(v)) x.add(v + repeat.x, drawing);
    }
    if (size_t p = s.find('Y'); p != std::string_view::npos) {
      double v = incY.resolve(parseCoordinate(s, p, Format, UnitScale), absolute);
      if (hasValue(v)) y.add(v + repeat.y, drawing);
    }
  }
  x.settle();
  y.settle();
  MinX = x.min, MaxX = x.max, MinY = y.min, MaxY = y.max;
  Width = MaxX - MinX;
  Height = MaxY - MinY;
}

void GerberReader::parseDefinitions() { drumplot::parseDefinitions(Statements, Apertures, FileName); }

}  // namespace drumplot
