// SPDX-License-Identifier: MIT
#include "engine/aperture_macro.h"

#include <cfloat>
#include <cmath>
#include <functional>
#include <optional>

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
                std::vector<uint32_t>& fileLines, size_t linesLeft) {
  for (size_t i = start + 1; i < statements.size() && statements[i] != "%"; ++i) {
    if (lines.size() > linesLeft) return;  // over budget: the caller gives up
    lines.push_back(removeChars(statements[i], "*"));
    fileLines.push_back(statements.line(i));
  }
}

}  // namespace

bool expandMacro(const StatementList& statements, const MacroIndex& index, Aperture& aperture,
                 const std::string& name, size_t& linesLeft, std::vector<MacroFaultAt>* faults) {
  aperture.MacroTable.clear();
  const auto* starts = index.find(name);
  if (!starts) return true;
  // Each definition of the name adds its lines, and the whole is evaluated
  // again; the faults of the last evaluation are the ones that stand.
  std::vector<std::string> lines;
  std::vector<uint32_t> fileLines;
  std::vector<MacroFault> found;
  for (size_t start : *starts) {
    appendBody(statements, start, lines, fileLines, linesLeft);
    if (lines.size() > linesLeft) {
      aperture.MacroTable.clear();
      linesLeft = 0;
      return false;
    }
    linesLeft -= lines.size();
    found.clear();
    evaluateMacroBody(lines, aperture, &found);
  }
  if (faults) {
    for (MacroFault& f : found) faults->push_back({fileLines[f.row], std::move(f)});
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

// The variable an assignment's left side names: "$" and its number.
std::optional<size_t> assignedVariable(std::string_view left) {
  left = trimSpaces(left);
  if (left.size() < 2 || left[0] != '$' || left.size() > 1 + 3) return std::nullopt;
  auto n = parseInteger(left.substr(1));
  if (!n || *n < 1 || left[1] == '+' || left[1] == '-') return std::nullopt;
  return static_cast<size_t>(*n);
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

void evaluateMacroBody(const std::vector<std::string>& lines, Aperture& aperture,
                       std::vector<MacroFault>* faults) {
  aperture.MacroTable.assign(lines.size(), MacroRow{});
  for (size_t r = 0; r < lines.size(); ++r) {
    std::string_view line = lines[r];
    if (isCommentLine(line)) continue;
    if (!line.empty() && line.back() == ',') line.remove_suffix(1);
    auto fields = splitFields(line);
    MacroRow& row = aperture.MacroTable[r];
    auto value = [&](std::string_view text) {
      ExpressionFault fault = ExpressionFault::None;
      const double v = evaluateValue(text, aperture, &fault);
      if (fault != ExpressionFault::None && faults) {
        faults->push_back({r, std::string(trimSpaces(text)), fault});
      }
      return v;
    };
    for (size_t f = 0; f < fields.size(); ++f) {
      std::string_view field = fields[f];
      if (size_t equals = field.find('='); equals != std::string_view::npos) {
        if (auto n = assignedVariable(field.substr(0, equals))) {
          aperture.setParam(*n, value(field.substr(equals + 1)));
        }
        continue;
      }
      if (row.Values.size() != fields.size()) row.Values.assign(fields.size(), 0.0f);
      row.Values[f] = toSingle(value(field));
      row.Count = static_cast<int32_t>(fields.size());
    }
  }
}

double evaluateValue(std::string_view field, const Aperture& aperture, ExpressionFault* fault) {
  return evaluateExpression(
      field, [&aperture](size_t n) { return aperture.param(n); }, fault);
}

// ApertureMacro - Expression evaluator
// ============================================================================

namespace {

// A recursive-descent reader of one macro expression:
//   expression = term { ("+" | "-") term }
//   term       = factor { ("x" | "X" | "/") factor }
//   factor     = ("+" | "-") factor | "(" expression ")" | number | "$" digits
// Spaces are skipped. Anything the grammar does not take makes the whole
// text unreadable.
class ExpressionReader {
 public:
  ExpressionReader(std::string_view text, const std::function<double(size_t)>& variable)
      : text_(text), variable_(variable) {}

  std::optional<double> read() {
    double v = expression(0);
    skipSpaces();
    if (failed_ || pos_ != text_.size()) return std::nullopt;
    return v;
  }
  bool tooDeep() const { return tooDeep_; }

 private:
  // Deeper nesting than this is not a macro anybody wrote; it only costs stack.
  static constexpr int kMaxDepth = kMaxExpressionDepth;

  void skipSpaces() {
    while (pos_ < text_.size() && text_[pos_] == ' ') ++pos_;
  }
  bool take(char c) {
    skipSpaces();
    if (pos_ < text_.size() && text_[pos_] == c) {
      ++pos_;
      return true;
    }
    return false;
  }

  double expression(int depth) {
    double v = term(depth);
    while (!failed_) {
      if (take('+'))
        v += term(depth);
      else if (take('-'))
        v -= term(depth);
      else
        break;
    }
    return v;
  }

  double term(int depth) {
    double v = factor(depth);
    while (!failed_) {
      if (take('x') || take('X')) {
        v *= factor(depth);
      } else if (take('/')) {
        double d = factor(depth);
        v = d == 0.0 ? 0.0 : v / d;  // a zero divisor gives 0
      } else {
        break;
      }
    }
    return v;
  }

  double factor(int depth) {
    if (depth > kMaxDepth) {
      tooDeep_ = true;
      return fail();
    }
    if (take('-')) return -factor(depth + 1);
    if (take('+')) return factor(depth + 1);
    if (take('(')) {
      double v = expression(depth + 1);
      return take(')') ? v : fail();
    }
    skipSpaces();
    if (pos_ == text_.size()) return 0.0;  // a missing last operand reads as 0
    if (text_[pos_] == '$') {
      size_t end = ++pos_;
      while (end < text_.size() && isDigit(text_[end])) ++end;
      if (end == pos_ || end - pos_ > 9) return fail();
      size_t n = static_cast<size_t>(*parseInteger(text_.substr(pos_, end - pos_)));
      pos_ = end;
      return variable_(n);
    }
    size_t end = pos_;
    while (end < text_.size() && (isDigit(text_[end]) || text_[end] == '.')) ++end;
    auto v = parseDecimal(text_.substr(pos_, end - pos_));
    if (!v) return fail();
    pos_ = end;
    return *v;
  }

  double fail() {
    failed_ = true;
    return 0.0;
  }

  std::string_view text_;
  const std::function<double(size_t)>& variable_;
  size_t pos_ = 0;
  bool failed_ = false;
  bool tooDeep_ = false;
};

}  // namespace

double evaluateExpression(std::string_view text, const std::function<double(size_t)>& variable,
                          ExpressionFault* fault) {
  ExpressionReader reader(text, variable);
  auto v = reader.read();
  if (!v && fault)
    *fault = reader.tooDeep() ? ExpressionFault::TooDeep : ExpressionFault::Unreadable;
  if (!v || !std::isfinite(*v)) return 0.0;
  return *v;
}

double evaluateExpression(std::string_view text) {
  return evaluateExpression(text, [](size_t) { return 0.0; });
}

}  // namespace drumplot
