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
void evaluateMacroBody(const std::vector<std::string>& lines, Aperture& aperture);

// Expands macro `name` into the aperture (MacroTable and Params). A name
// that is never defined leaves the table empty. `linesLeft` is the budget of
// body lines still to be evaluated for this file; an expansion that would
// exceed it leaves the table empty and reports false.
bool expandMacro(const StatementList& statements, const MacroIndex& index, Aperture& aperture,
                 const std::string& name, size_t& linesLeft);

// One field's value: an expression of numbers, the aperture's variables
// ($n), "+", "-", "x" or "X", "/" and parentheses, with the usual
// precedence and unary signs. A text that is not an expression reads as 0.
double evaluateValue(std::string_view field, const Aperture& aperture);

// The expression evaluator; `variable(n)` gives $n. A zero divisor gives 0.
double evaluateExpression(std::string_view text, const std::function<double(size_t)>& variable);
double evaluateExpression(std::string_view text);

}  // namespace drumplot
