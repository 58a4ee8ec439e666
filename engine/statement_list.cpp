// SPDX-License-Identifier: MIT
#include "engine/statement_list.h"

#include <limits>

#include "engine/text.h"

namespace drumplot {

// StatementList - Adding statements
// ============================================================================

namespace {

bool startsWithAddressLetter(std::string_view s) {
  char c = s.empty() ? '\0' : s[0];
  return c == 'G' || c == 'I' || c == 'J' || c == 'X' || c == 'Y';
}

// Statements that end an open step-and-repeat block instead of being buffered.
bool closesRepeatBlock(std::string_view s) {
  return startsWith(s, "M") || startsWith(s, "%LN") || startsWith(s, "LN") ||
         startsWith(s, "%SR") || startsWith(s, "SR");
}

bool opensRepeatBlock(std::string_view s) { return startsWith(s, "%SRX") || startsWith(s, "SRX"); }

}  // namespace

StatementList::Entry StatementList::store(std::string_view text) {
  Entry e{arena_.size(), static_cast<uint32_t>(text.size())};
  arena_.append(text);
  return e;
}

void StatementList::addStatement(std::string_view text) {
  size_t lead = text.find_first_not_of(' ');
  if (lead == std::string_view::npos) return;
  text.remove_prefix(lead);
  if (text.size() > std::numeric_limits<uint32_t>::max()) return;
  // A coordinate-like text that was not closed by "*" is a fragment.
  if (startsWithAddressLetter(text) && text.back() != '*') return;
  if (InRepeat) {
    if (!closesRepeatBlock(text)) {
      repeatBuffer_.push_back(store(text));
      ++RepeatLineCount;
      return;
    }
    expandBlock();
    addEntry(store(text));  // a step-and-repeat statement that closes a block opens none
    return;
  }
  if (opensRepeatBlock(text)) {
    InRepeat = true;
    RepeatStatement = std::string(text);
    repeatBuffer_.clear();
    RepeatLineCount = 0;
    return;
  }
  addEntry(store(text));
}

void StatementList::addEntry(Entry e) {
  if (entries_.size() >= limits_.maxStatements) {
    truncated_ = true;
    return;
  }
  entries_.push_back(e);
}

void StatementList::finish() {
  if (InRepeat) expandBlock();
}

// StatementList - Step and repeat
// ============================================================================

namespace {

// The decimal digits right after the first `letter`; 1 when there are none.
long long repeatCount(std::string_view s, char letter) {
  size_t p = s.find(letter);
  if (p == std::string_view::npos) return 1;
  size_t end = p + 1;
  while (end < s.size() && isDigit(s[end])) ++end;
  if (end == p + 1) return 1;
  // Counts beyond any real panel saturate; the statement limit bounds the work.
  std::string_view digits = s.substr(p + 1, std::min<size_t>(end - p - 1, 12));
  return parseInteger(digits).value_or(0);
}

// The characters "+", "-", "." and digits right after the first `letter`.
double repeatStep(std::string_view s, char letter) {
  size_t p = s.find(letter);
  if (p == std::string_view::npos) return 0.0;
  size_t end = p + 1;
  while (end < s.size() && (s[end] == '+' || s[end] == '-' || s[end] == '.' || isDigit(s[end])))
    ++end;
  return decimalOrZero(s.substr(p + 1, end - p - 1));
}

}  // namespace

void StatementList::expandBlock() {
  std::string_view s = RepeatStatement;
  long long nx = repeatCount(s, 'X');
  long long ny = repeatCount(s, 'Y');
  double stepI = repeatStep(s, 'I');
  double stepJ = repeatStep(s, 'J');
  InRepeat = false;
  if (nx < 1 || ny < 1) return;
  for (long long i = 1; i <= nx && !truncated_; ++i) {
    for (long long j = 1; j <= ny && !truncated_; ++j) {
      addEntry(store(makeRepeatStatement(static_cast<double>(i - 1) * stepI,
                                         static_cast<double>(j - 1) * stepJ)));
      for (const Entry& line : repeatBuffer_) {
        if (line.length == 1 && arena_[line.offset] == '%') continue;
        addEntry(line);
      }
    }
  }
}

std::string makeRepeatStatement(double x, double y) {
  return "%SR_" + formatFixed(x, 10, 6) + "=" + formatFixed(y, 10, 6) + "/";
}

RepeatOffset parseRepeatStatement(std::string_view s) {
  // "%SR_" xxxxxxxxxx "=" yyyyyyyyyy "/"
  size_t equals = s.find('=', 4);
  if (equals == std::string_view::npos) return {};
  size_t slash = s.find('/', equals + 1);
  if (slash == std::string_view::npos) slash = s.size();
  return {decimalOrZero(s.substr(4, equals - 4)),
          decimalOrZero(s.substr(equals + 1, slash - equals - 1))};
}

}  // namespace drumplot
