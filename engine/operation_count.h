// SPDX-License-Identifier: MIT
// OperationCount: how many flashes and draws a Gerber file makes once its
// step-and-repeat blocks and aperture blocks are expanded, counted from the
// decoded program without expanding anything, and the aperture blocks that
// cannot be drawn (one that flashes itself, flashes nested too deep).
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "engine/gerber_program.h"

namespace drumplot {

// Blocks flashed inside blocks deeper than this draw nothing.
inline constexpr int kMaxBlockDepth = 32;

// Operations one drawing of a file may make unless the operator forces it:
// far beyond any real photoplot (the largest boards make a few million).
inline constexpr uint64_t kMaxDrawnOperations = uint64_t{1} << 30;

struct OperationCount {
  // Flashes and draws (region edges included) with every copy counted; a
  // flash of an aperture block counts the block's own. Saturates at
  // UINT64_MAX.
  uint64_t operations = 0;
  // Every statement a drawing walks (moves and selections too), each copy
  // counted: a file of copied moves costs time without drawing. Counted
  // against four times the limit.
  uint64_t statements = 0;
  // The line of the top-level statement (a %SR block, a flash) at which a
  // count first passes the limit it was counted against; 0: it does not.
  uint32_t passesLimitAt = 0;
  struct BlockFault {
    int dCode = 0;      // the block
    uint32_t line = 0;  // the flash statement
  };
  // A block that flashes itself, directly or through other blocks.
  std::optional<BlockFault> recursiveBlock;
  // A block flashed deeper than kMaxBlockDepth blocks: that flash draws nothing.
  std::optional<BlockFault> nestedTooDeep;

  // More operations than `limit`, or statements than four times it.
  bool exceeds(uint64_t limit) const { return operations > limit || statements / 4 > limit; }
};

// Counts in time that grows with the file's statements and blocks, not with
// the copies they make.
OperationCount countOperations(const GerberProgram& program, uint64_t limit = kMaxDrawnOperations);

// "1,073,741,824": a count as the messages write it.
std::string groupedCount(uint64_t n);

}  // namespace drumplot
