// SPDX-License-Identifier: MIT
#include "engine/aperture.h"

#include <algorithm>
#include <optional>

#include "engine/aperture_macro.h"
#include "engine/errors.h"
#include "engine/statement_list.h"
#include "engine/text.h"

namespace drumplot {

const char* apertureShapeName(ApertureShape shape) {
  static const char* const kNames[] = {"None",   "Round",   "Square", "Rectangle", "Octagon",
                                       "Oblong", "Thermal", "Target", "Custom"};
  const auto at = static_cast<size_t>(shape);
  return at < std::size(kNames) ? kNames[at] : "Unknown";
}

// ApertureTable
// ============================================================================

Aperture& ApertureTable::define(int dCode) {
  auto& slot = records_.at(static_cast<size_t>(dCode));
  slot = std::make_unique<Aperture>();
  return *slot;
}

std::vector<int> ApertureTable::definedCodes() const {
  std::vector<int> codes;
  for (size_t d = 0; d < records_.size(); ++d) {
    if (records_[d] && records_[d]->Defined) codes.push_back(static_cast<int>(d));
  }
  return codes;
}

// Aperture definitions - %ADD statements
// ============================================================================

namespace {

bool isStandardShapeCode(std::string_view code) {
  return code == "C," || code == "R," || code == "O," || code == "P,";
}

}  // namespace

void parseParameters(Aperture& aperture, std::string_view text) {
  size_t next = 1;
  auto store = [&](std::string_view number) {
    std::string value(number);
    // A value written as ".5" (or "-.5") reads as 0.5.
    size_t digitsAt = (!value.empty() && (value[0] == '-' || value[0] == '+')) ? 1 : 0;
    if (value.size() > digitsAt && value[digitsAt] == '.') value.insert(digitsAt, "0");
    aperture.setParam(next++, decimalOrZero(value));
  };
  size_t start = 0;
  for (size_t i = 0; i <= text.size(); ++i) {
    if (i == text.size() || text[i] == 'X') {
      std::string_view number = text.substr(start, i - start);
      // Every separator stores what precedes it; the end stores only a non-empty rest.
      if (i < text.size() || !number.empty()) store(number);
      start = i + 1;
    }
  }
}

void parseDefinitions(const StatementList& statements, ApertureTable& apertures,
                      std::string_view fileName, const std::function<double(size_t)>& unitAt,
                      std::vector<DefinitionFault>* faults) {
  std::vector<MacroFaultAt> found;
  std::optional<MacroIndex> macros;  // built on the first macro aperture
  size_t macroLinesLeft = statements.limits().maxMacroLines;
  for (size_t i = 0; i < statements.size(); ++i) {
    std::string_view statement = statements[i];
    if (!startsWith(statement, "%ADD") && !startsWith(statement, "ADD")) continue;
    std::string text = removeChars(statement, " ");
    size_t pos = text[0] == '%' ? 4 : 3;
    size_t end = pos;
    while (end < text.size() && end - pos < 4 && isDigit(text[end])) ++end;
    if (end == pos) {
      throw FormatError(std::string(fileName) + ": line " + std::to_string(statements.line(i)) +
                        ": aperture definition '" + text + "' has no D code number");
    }
    int dCode = static_cast<int>(*parseInteger(std::string_view(text).substr(pos, end - pos)));
    std::string_view rest = std::string_view(text).substr(end);

    Aperture& aperture = apertures.define(dCode);
    aperture.Defined = 1;
    aperture.UnitScale = unitAt(i);
    if (isStandardShapeCode(rest.substr(0, 2))) {
      aperture.Kind = ApertureKind::Standard;
      aperture.Modifiers = removeChars(rest, "%*");
      continue;
    }
    aperture.Kind = ApertureKind::Macro;
    std::string macroText = removeChars(rest, "*");
    size_t comma = macroText.find(',');
    if (comma == std::string::npos) {
      aperture.MacroName = macroText;
    } else {
      aperture.MacroName = macroText.substr(0, comma);
      aperture.Modifiers = macroText.substr(comma + 1);
    }
    if (!aperture.Modifiers.empty()) parseParameters(aperture, aperture.Modifiers);
    if (!macros) macros.emplace(statements);
    found.clear();
    expandMacro(statements, *macros, aperture, aperture.MacroName, macroLinesLeft, &found);
    for (MacroFaultAt& f : found) {
      const bool tooDeep = f.fault.fault == ExpressionFault::TooDeep;
      auto same = [&](const DefinitionFault& d) {
        return d.line == f.line && d.field == f.fault.field && d.tooDeep == tooDeep;
      };
      if (!faults || std::any_of(faults->begin(), faults->end(), same)) continue;
      faults->push_back({dCode, aperture.MacroName, f.line, std::move(f.fault.field), tooDeep});
    }
  }
}

}  // namespace drumplot
