// SPDX-License-Identifier: MIT
// The statement list of a Gerber file: statement texts cut at "*", parameter
// blocks split at "%", and step-and-repeat blocks expanded into "%SR_"
// statements followed by the block's buffered lines.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace drumplot {

// Bounds that keep hostile input from costing unbounded memory. The defaults
// are far beyond any real photoplot; fuzzing lowers them.
struct StatementLimits {
  size_t maxStatements = 64u * 1024u * 1024u;  // entries after step-and-repeat expansion
  // Macro body lines evaluated for all macro apertures of one file together;
  // apertures past it keep an empty table.
  size_t maxMacroLines = 16u * 1024u * 1024u;
};

// Statements are stored once, in one text arena; the list holds (offset,
// length) entries into it, so the lines of a step-and-repeat block repeated
// nx x ny times cost an entry each, not a copy.
class StatementList {
 public:
  explicit StatementList(StatementLimits limits = {}) : limits_(limits) {}

  // Adds one statement text, applying the step-and-repeat buffering rules.
  void addStatement(std::string_view text);

  // Expands a block still open at the end of the file.
  void finish();

  size_t size() const { return entries_.size(); }
  bool empty() const { return entries_.empty(); }
  std::string_view operator[](size_t i) const {
    const Entry& e = entries_[i];
    return std::string_view(arena_).substr(e.offset, e.length);
  }

  // True when the limit on expanded statements cut the list short.
  bool truncated() const { return truncated_; }

  const StatementLimits& limits() const { return limits_; }

  // Fields of the open step-and-repeat block.
  bool InRepeat = false;
  uint32_t RepeatLineCount = 0;
  std::string RepeatStatement;

 private:
  struct Entry {
    uint64_t offset;
    uint32_t length;
  };

  void addEntry(Entry e);
  Entry store(std::string_view text);
  void expandBlock();

  StatementLimits limits_;
  std::string arena_;
  std::vector<Entry> entries_;
  std::vector<Entry> repeatBuffer_;
  bool truncated_ = false;
};

// One "%SR_" statement: the offsets of a step-and-repeat copy in file units.
struct RepeatOffset {
  double x = 0.0;
  double y = 0.0;
};

// "%SR_" + x (10 wide, 6 decimals) + "=" + y (the same) + "/".
std::string makeRepeatStatement(double x, double y);

// Reads the offsets of a "%SR_" statement. The numbers sit at fixed places
// (characters 5 to 14 and 16 to 25) when they fit 10 characters; wider ones
// are read up to their separators so that no copy lands in a wrong place.
RepeatOffset parseRepeatStatement(std::string_view statement);

}  // namespace drumplot
