// SPDX-License-Identifier: MIT
// Aperture macros (%AM): finding a macro's body, substituting the aperture's
// variables and evaluating every field into the aperture's primitive table.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "engine/aperture.h"

namespace drumplot {

class StatementList;

// Why a macro field could not be evaluated (it then reads as 0).
enum class ExpressionFault : uint8_t {
  None,
  Unreadable,  // not an expression: "(0.1", "0.1)", "0.1xx2"
  TooDeep,     // signs and parentheses nested deeper than kMaxExpressionDepth
};
inline constexpr int kMaxExpressionDepth = 64;

// A field of a macro body that could not be evaluated: its body line (from
// 0, over all the definitions of the name), its text and why.
struct MacroFault {
  size_t row = 0;
  std::string field;
  ExpressionFault fault = ExpressionFault::None;
};

// Where each macro's definitions start in a statement list: name -> indexes
// of its "%AM" statements, in list order. Built once per file.
class MacroIndex {
 public:
  explicit MacroIndex(const StatementList& statements);
  const std::vector<size_t>* find(const std::string& name) const;

 private:
  std::unordered_map<std::string, std::vector<size_t>> starts_;
};

// Evaluates body lines into the aperture's MacroTable, applying assignments
// to its Params as they come.
// Fields that cannot be evaluated read as 0 and are noted in `faults`.
void evaluateMacroBody(const std::vector<std::string>& lines, Aperture& aperture,
                       std::vector<MacroFault>* faults = nullptr);

// Expands macro `name` into the aperture (MacroTable and Params). A name
// that is never defined leaves the table empty. `linesLeft` is the budget of
// body lines still to be evaluated for this file; an expansion that would
// exceed it leaves the table empty and reports false. The fields that cannot
// be evaluated go to `faults`, each with the file line of its body line.
struct MacroFaultAt {
  uint32_t line = 0;
  MacroFault fault;
};
bool expandMacro(const StatementList& statements, const MacroIndex& index, Aperture& aperture,
                 const std::string& name, size_t& linesLeft,
                 std::vector<MacroFaultAt>* faults = nullptr);

// One field's value: an expression of numbers, the aperture's variables
// ($n), "+", "-", "x" or "X", "/" and parentheses, with the usual
// precedence and unary signs. A text that is not an expression reads as 0
// (and `fault` says why, when given).
double evaluateValue(std::string_view field, const Aperture& aperture,
                     ExpressionFault* fault = nullptr);

// The expression evaluator; `variable(n)` gives $n. A zero divisor gives 0.
double evaluateExpression(std::string_view text, const std::function<double(size_t)>& variable,
                          ExpressionFault* fault = nullptr);
double evaluateExpression(std::string_view text);

}  // namespace drumplot
