// SPDX-License-Identifier: MIT
// ColumnSet: sorted, disjoint column spans of one piece.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace drumplot {

// Columns of one piece that hold something on every row of the piece (all
// filled by fills drawn later, or all exposed), as sorted, disjoint,
// half-open spans [x0, x1).
class ColumnSet {
 public:
  struct Columns {
    int64_t x0, x1;
  };
  void clear() { columns_.clear(); }
  std::span<const Columns> columns() const { return columns_; }
  bool covers(int64_t x0, int64_t x1) const;
  // Adds sorted, disjoint spans.
  void add(std::span<const Columns> columns);
  // Appends the stretches of [x0, x1) that the set does not hold.
  void uncovered(int64_t x0, int64_t x1, std::vector<Columns>& out) const;
  void remove(int64_t x0, int64_t x1);

 private:
  void merge(std::span<const Columns> columns);
  // The first span that starts after x.
  std::vector<Columns>::const_iterator startingAfter(int64_t x) const;

  std::vector<Columns> columns_, merged_;
};

}  // namespace drumplot
