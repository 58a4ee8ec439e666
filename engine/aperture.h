// SPDX-License-Identifier: MIT
// Aperture records, one per D code 0 to 9999, and the %ADD definitions
// that fill them.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace drumplot {

class StatementList;

enum class ApertureKind : uint8_t {
  File = 0,      // defined by the layer's aperture file
  Standard = 1,  // %ADD with C, R, O or P
  Macro = 2,     // %ADD naming an aperture macro
  Block = 3,     // %AB aperture block (drawn from the file's own statements)
};

// Shapes of apertures defined by an aperture file (and of the aperture table).
enum class ApertureShape : uint8_t {
  None = 0,
  Round = 1,
  Square = 2,
  Rectangle = 3,
  Octagon = 4,
  Oblong = 5,
  Thermal = 6,
  Target = 7,
  Custom = 8,
};

const char* apertureShapeName(ApertureShape shape);

// One row of an evaluated macro: the fields of one body line.
struct MacroRow {
  int32_t Count = 0;          // fields of the line; 0 for a line that only assigns
  std::vector<float> Values;  // Values[f - 1] is field f; fields that assign stay 0

  // Field f (1-based); 0 for a field the row does not hold.
  double value(size_t f) const {
    return f >= 1 && f <= Values.size() ? static_cast<double>(Values[f - 1]) : 0.0;
  }
};

// The evaluated primitive table of a macro aperture: row r belongs to body line r + 1.
using MacroPrimitiveTable = std::vector<MacroRow>;

struct Aperture {
  uint8_t Defined = 0;
  ApertureKind Kind = ApertureKind::File;
  ApertureShape Shape = ApertureShape::None;  // kind 0 only
  double Aux = 0.0;
  double SizeY = 0.0;              // inches, kind 0
  double SizeX = 0.0;              // inches, kind 0
  MacroPrimitiveTable MacroTable;  // kind 2
  std::string MacroName;           // kind 2
  std::string Modifiers;           // kind 1: "C,0.0100"; kind 2: the parameters after the name
  std::vector<double> Params;      // kind 2: $n is Params[n]; grown on demand
  double UnitScale = 1.0;          // kinds 1 and 2: inches per file unit where it was defined

  double param(size_t n) const { return n < Params.size() ? Params[n] : 0.0; }
  void setParam(size_t n, double v) {
    if (n >= Params.size()) Params.resize(n + 1, 0.0);
    Params[n] = v;
  }
};

// The records indexed directly by D code. Undefined codes hold no record.
class ApertureTable {
 public:
  static constexpr int kMaxDCode = 9999;

  ApertureTable() : records_(kMaxDCode + 1) {}

  // The defined record of `dCode`, or null.
  const Aperture* find(long long dCode) const {
    if (dCode < 0 || dCode > kMaxDCode) return nullptr;
    const Aperture* a = records_[static_cast<size_t>(dCode)].get();
    return a && a->Defined ? a : nullptr;
  }

  // A fresh, zeroed record for `dCode` (0 to kMaxDCode), replacing any earlier one.
  Aperture& define(int dCode);

  void clear(int dCode) {
    if (dCode >= 0 && dCode <= kMaxDCode) records_[static_cast<size_t>(dCode)].reset();
  }

  // D codes with a defined record, ascending.
  std::vector<int> definedCodes() const;

 private:
  std::vector<std::unique_ptr<Aperture>> records_;
};

// Fills the records of every %ADD statement of the list, in list order; a
// later definition of a D code replaces the earlier one. Macro apertures are
// expanded from the list's %AM blocks. `unitAt` gives the unit (inches per
// file unit) in force at a statement, by its index. Throws FormatError
// (naming `fileName`) when the D code of a definition is not a number.
// Macro fields that cannot be evaluated go to `faults` (each once).
struct DefinitionFault {
  int dCode = 0;
  std::string macro;
  uint32_t line = 0;  // the macro's body line
  std::string field;
  bool tooDeep = false;  // nested past the limit; else unreadable
};
void parseDefinitions(
    const StatementList& statements, ApertureTable& apertures, std::string_view fileName,
    const std::function<double(size_t)>& unitAt = [](size_t) { return 1.0; },
    std::vector<DefinitionFault>* faults = nullptr);

// Splits a parameter text at each "X" and stores the numbers in Params[1..].
void parseParameters(Aperture& aperture, std::string_view parameterText);

}  // namespace drumplot
