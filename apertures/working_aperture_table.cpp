// SPDX-License-Identifier: MIT
// Building the working aperture table from a reader's aperture records.
#include "apertures/working_aperture_table.h"

#include <vector>

#include "engine/gerber_reader.h"

namespace drumplot {

namespace {

constexpr double kMilsPerInch = 1000.0;
constexpr size_t kMaxModifiers = 10;

std::string cutName(std::string_view text) {
  return std::string(text.substr(0, WorkingApertureTable::kMaxCustomName));
}

// The numbers of a definition text from its third character on, split at
// each "X" like macro parameters; at most kMaxModifiers of them.
std::vector<double> modifierList(std::string_view modifiers) {
  Aperture scratch;
  if (modifiers.size() > 2) parseParameters(scratch, modifiers.substr(2));
  std::vector<double> list;
  for (size_t n = 1; n < scratch.Params.size() && list.size() < kMaxModifiers; ++n) {
    list.push_back(scratch.Params[n]);
  }
  return list;
}

ApertureTableRow shapeRow(ApertureShape shape, double dlx, double dly, double angle) {
  ApertureTableRow row;
  row.Shape = shape;
  row.DLX = dlx;
  row.DLY = dly;
  row.Angle = angle;
  return row;
}

}  // namespace

// WorkingApertureTable - Standard apertures
// ============================================================================

// Letter and modifier count decide the shape:
//   C 1: Round M1          C 2 or more: Round M1, hole M2
//   P any: Octagon M1
//   R 1: Square M1         R 2: Rectangle M1 x M2 (Square when M1 = M2)
//   R 3 or more: Rectangle M1 x M2, hole M3
//   O 2: Oblong M1 x M2    O 3 or more: Oblong M1 x M2, hole M3
// Any other combination (no modifiers, O with one, an unknown letter) is None.
ApertureTableRow standardApertureRow(std::string_view modifiers, double unitScale) {
  std::vector<double> m = modifierList(modifiers);
  for (double& v : m) v *= kMilsPerInch * unitScale;
  size_t count = m.size();
  auto mod = [&](size_t n) { return n <= count ? m[n - 1] : 0.0; };
  char letter = modifiers.empty() ? '\0' : modifiers[0];

  ApertureTableRow row;
  switch (letter) {
    case 'C':
      if (count == 1) row = shapeRow(ApertureShape::Round, mod(1), 0.0, 0.0);
      if (count >= 2) row = shapeRow(ApertureShape::Round, mod(1), 0.0, mod(2));
      break;
    case 'P':
      row = shapeRow(ApertureShape::Octagon, mod(1), 0.0, 0.0);
      break;
    case 'R':
      if (count == 1) row = shapeRow(ApertureShape::Square, mod(1), 0.0, 0.0);
      if (count == 2) {
        row = shapeRow(mod(1) == mod(2) ? ApertureShape::Square : ApertureShape::Rectangle, mod(1),
                       mod(2), 0.0);
      }
      if (count >= 3) row = shapeRow(ApertureShape::Rectangle, mod(1), mod(2), mod(3));
      break;
    case 'O':
      if (count == 2) row = shapeRow(ApertureShape::Oblong, mod(1), mod(2), 0.0);
      if (count >= 3) row = shapeRow(ApertureShape::Oblong, mod(1), mod(2), mod(3));
      break;
    default:
      break;
  }
  row.Kind = ApertureKind::Standard;
  row.CustomName = cutName(modifiers);
  return row;
}

// WorkingApertureTable - Building from the reader
// ============================================================================

namespace {

ApertureTableRow rowOf(const Aperture& record) {
  switch (record.Kind) {
    case ApertureKind::File:
      return shapeRow(record.Shape, record.SizeX * kMilsPerInch, record.SizeY * kMilsPerInch,
                      record.Aux * kMilsPerInch);
    case ApertureKind::Standard:
      return standardApertureRow(record.Modifiers, record.UnitScale);
    case ApertureKind::Macro:
    case ApertureKind::Block: {
      ApertureTableRow row = shapeRow(ApertureShape::Custom, 0.0, 0.0, 0.0);
      row.Kind = record.Kind;
      row.CustomName = cutName(record.Kind == ApertureKind::Block ? "block" : record.MacroName);
      return row;
    }
  }
  return {};
}

}  // namespace

WorkingApertureTable buildApertureTable(const ApertureTable& apertures) {
  WorkingApertureTable table;
  for (int d = WorkingApertureTable::kFirstDCode; d <= WorkingApertureTable::kLastDCode; ++d) {
    if (const Aperture* record = apertures.find(d)) table.row(d) = rowOf(*record);
  }
  return table;
}

WorkingApertureTable buildApertureTable(const GerberReader& reader) {
  return buildApertureTable(reader.Apertures);
}

}  // namespace drumplot
