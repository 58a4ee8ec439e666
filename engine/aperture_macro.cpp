// SPDX-License-Identifier: MIT
#include "engine/aperture_macro.h"

#include <cfloat>
#include <cmath>

#include "engine/statement_list.h"
#include "engine/text.h"

namespace drumplot {

// ApertureMacro - Finding bodies
// ============================================================================

MacroIndex::MacroIndex(const StatementList& statements) {
  for (size_t i = 0; i < statements.size(); ++i) {
    std::string_view s = statements[i];
    if (!startsWith(s, "%AM") && !startsWith(s, "AM")) continue;
    std::string_view name = s.substr(s[0] == '%' ? 3 : 2);
    // Definitions lose their spaces (%ADD statements are read without
    // them), so a macro name with spaces must match without them too.
    starts_[removeChars(name, "%* ")].push_back(i);
  }
}

const std::vector<size_t>* MacroIndex::find(const std::string& name) const {
  auto it = starts_.find(name);
  return it == starts_.end() ? nullptr : &it->second;
}

namespace {

// The body of the definition at `start`: the statements after it up to the
// first one that is exactly "%".
void appendBody(const StatementList& statements, size_t start, std::vector<std::string>& lines,
                size_t linesLeft) {
  for (size_t i = start + 1; i < statements.size() && statements[i] != "%"; ++i) {
    if (lines.size() > linesLeft) return;  // over budget: the caller gives up
    lines.push_back(removeChars(statements[i], "*"));
  }
}

}  // namespace

bool expandMacro(const StatementList& statements, const MacroIndex& index, Aperture& aperture,
                 const std::string& name, size_t& linesLeft) {
  aperture.MacroTable.clear();
  const auto* starts = index.find(name);
  if (!starts) return true;
  // Each definition of the name adds its lines, and the whole is evaluated again.
  std::vector<std::string> lines;
  for (size_t start : *starts) {
    appendBody(statements, start, lines, linesLeft);
    if (lines.size() > linesLeft) {
      aperture.MacroTable.clear();
      linesLeft = 0;
      return false;
    }
    linesLeft -= lines.size();
    evaluateMacroBody(lines, aperture);
  }
  return true;
}

// ApertureMacro - Evaluating the body
// ============================================================================

namespace {

std::vector<std::string_view> splitFields(std::string_view line) {
  std::vector<std::string_view> fields;
  size_t start = 0;
  while (true) {
    size_t comma = line.find(',', start);
    fields.push_back(line.substr(start, comma - start));
    if (comma == std::string_view::npos) break;
    start = comma + 1;
  }
  return fields;
}

// The variable number after a "$" at `dollar`: one digit, or two when the
// character after the first digit is a digit too. Sets `length` to the digit
// count (0 when no digit follows).
size_t variableNumber(std::string_view text, size_t dollar, size_t& length) {
  length = 0;
  if (dollar + 1 >= text.size() || !isDigit(text[dollar + 1])) return 0;
  size_t n = static_cast<size_t>(text[dollar + 1] - '0');
  length = 1;
  if (dollar + 2 < text.size() && isDigit(text[dollar + 2])) {
    n = n * 10 + static_cast<size_t>(text[dollar + 2] - '0');
    length = 2;
  }
  return n;
}

// A body line whose primitive code is 0 is a comment: its text is prose, not
// fields, and must neither draw nor assign variables.
bool isCommentLine(std::string_view line) {
  if (line.size() < 2 || line[0] != '0') return false;
  return !isDigit(line[1]) && line[1] != '.' && line[1] != ',';
}

float toSingle(double v) {
  if (v > FLT_MAX) return FLT_MAX;
  if (v < -FLT_MAX) return -FLT_MAX;
  return static_cast<float>(v);
}

}  // namespace

void evaluateMacroBody(const std::vector<std::string>& lines, Aperture& aperture) {
  aperture.MacroTable.assign(lines.size(), MacroRow{});
  for (size_t r = 0; r < lines.size(); ++r) {
    std::string_view line = lines[r];
    if (isCommentLine(line)) continue;
    if (!line.empty() && line.back() == ',') line.remove_suffix(1);
    auto fields = splitFields(line);
    MacroRow& row = aperture.MacroTable[r];
    for (size_t f = 0; f < fields.size(); ++f) {
      std::string field(fields[f]);
      if (!field.empty() && field[0] == '.') field.insert(0, "0");
      size_t equals = field.find('=');
      if (equals != std::string::npos) {
        size_t dollar = field.find('$');
        size_t length = 0;
        size_t n = dollar < equals ? variableNumber(field, dollar, length) : 0;
        if (length > 0) {
          aperture.setParam(n, evaluateValue(std::string_view(field).substr(equals + 1), aperture));
        }
        continue;
      }
      if (row.Values.size() != fields.size()) row.Values.assign(fields.size(), 0.0f);
      row.Values[f] = toSingle(evaluateValue(field, aperture));
      row.Count = static_cast<int32_t>(fields.size());
    }
  }
}

double evaluateValue(std::string_view field, const Aperture& aperture) {
  if (field.find('$') == std::string_view::npos) return decimalOrZero(field);
  std::string text(field);
  for (int k = 0; k < 3; ++k) {
    size_t dollar = text.find('$');
    if (dollar == std::string::npos) break;
    size_t length = 0;
    size_t n = variableNumber(text, dollar, length);
    text.replace(dollar, 1 + length, formatFixed(aperture.param(n), 12, 8));
  }
  if (text.find_first_of("-+xX/") != std::string::npos) return evaluateExpression(text);
  return decimalOrZero(text);
}

// ApertureMacro - Expression evaluator
// ============================================================================

namespace {

bool isOperator(char c) { return c == '+' || c == '-' || c == '/' || c == 'x' || c == 'X'; }

double apply(char op, double left, double right) {
  switch (op) {
    case '+': return left + right;
    case '-': return left - right;
    case '/': return right == 0.0 ? 0.0 : left / right;  // a zero divisor gives 0
    default: return left * right;                       // 'x' or 'X'
  }
}

}  // namespace

double evaluateExpression(std::string_view input) {
  std::string t = removeChars(input, " ");
  // An operator directly followed by "-": the second operand is negative.
  for (size_t p = 0; p + 1 < t.size(); ++p) {
    if (isOperator(t[p]) && t[p + 1] == '-') {
      double left = decimalOrZero(std::string_view(t).substr(0, p));
      double right = decimalOrZero(std::string_view(t).substr(p + 2));
      return apply(t[p], left, 0.0 - right);
    }
  }
  // Otherwise the last operator splits the text.
  for (size_t p = t.size(); p-- > 0;) {
    if (isOperator(t[p])) {
      double left = decimalOrZero(std::string_view(t).substr(0, p));
      double right = decimalOrZero(std::string_view(t).substr(p + 1));
      return apply(t[p], left, right);
    }
  }
  return decimalOrZero(t);
}

}  // namespace drumplot
