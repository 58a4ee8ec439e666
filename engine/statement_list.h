// SPDX-License-Identifier: MIT
// The statement list of a Gerber file: statement texts cut at "*", parameter
// blocks split at "%", each with the line of the file it starts on.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace drumplot {

// Bounds that keep hostile input from costing unbounded memory. The defaults
// are far beyond any real photoplot; fuzzing lowers them.
struct StatementLimits {
  size_t maxStatements = 64u * 1024u * 1024u;  // statement texts kept from one file
  // Macro body lines evaluated for all macro apertures of one file together;
  // apertures past it keep an empty table.
  size_t maxMacroLines = 16u * 1024u * 1024u;
  // Copies of step-and-repeat blocks the extents pass walks one by one
  // (blocks with incremental coordinates); past it they are not measured.
  uint64_t maxRepeatCopies = uint64_t{1} << 24;
  // Flashes and draws one drawing of a layer makes, repeated ones counted
  // each time; past it the file is refused before it is drawn (--force
  // lifts it). The same figure as kMaxDrawnOperations.
  uint64_t maxOperations = uint64_t{1} << 30;
  // Bytes the statement texts and their entries may take (the memory
  // setting); past it the list stops growing and the file is refused.
  uint64_t maxTextBytes = UINT64_MAX;
};

// Statements are stored once, in one text arena; the list holds (offset,
// length, line) entries into it.
class StatementList {
 public:
  explicit StatementList(StatementLimits limits = {}) : limits_(limits) {}

  // Adds one statement text (leading spaces dropped; empty texts and
  // coordinate fragments that "*" did not close are not added). `line` is
  // the file line the statement starts on, from 1.
  void addStatement(std::string_view text, uint32_t line = 0);

  size_t size() const { return entries_.size(); }
  bool empty() const { return entries_.empty(); }
  std::string_view operator[](size_t i) const {
    const Entry& e = entries_[i];
    return std::string_view(arena_).substr(e.offset, e.length);
  }
  uint32_t line(size_t i) const { return entries_[i].line; }

  // True when the limit on statements cut the list short.
  bool truncated() const { return truncated_; }
  // True when the texts would pass maxTextBytes: the list stopped there.
  bool tooLarge() const { return tooLarge_; }
  uint64_t bytes() const { return arena_.size() + entries_.size() * sizeof(Entry); }

  const StatementLimits& limits() const { return limits_; }

 private:
  struct Entry {
    uint64_t offset;
    uint32_t length;
    uint32_t line;
  };

  StatementLimits limits_;
  std::string arena_;
  std::vector<Entry> entries_;
  bool truncated_ = false;
  bool tooLarge_ = false;
};

}  // namespace drumplot
