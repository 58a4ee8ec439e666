// SPDX-License-Identifier: MIT
#include "engine/statement_list.h"

#include <limits>

namespace drumplot {

namespace {

bool startsWithAddressLetter(std::string_view s) {
  char c = s.empty() ? '\0' : s[0];
  return c == 'G' || c == 'I' || c == 'J' || c == 'X' || c == 'Y';
}

}  // namespace

void StatementList::addStatement(std::string_view text, uint32_t line) {
  size_t lead = text.find_first_not_of(' ');
  if (lead == std::string_view::npos) return;
  text.remove_prefix(lead);
  if (text.size() > std::numeric_limits<uint32_t>::max()) return;
  // A coordinate-like text that was not closed by "*" is a fragment.
  if (startsWithAddressLetter(text) && text.back() != '*') return;
  if (entries_.size() >= limits_.maxStatements) {
    truncated_ = true;
    return;
  }
  if (tooLarge_ || bytes() + text.size() + sizeof(Entry) > limits_.maxTextBytes) {
    tooLarge_ = true;
    return;
  }
  entries_.push_back({arena_.size(), static_cast<uint32_t>(text.size()), line});
  arena_.append(text);
}

}  // namespace drumplot
