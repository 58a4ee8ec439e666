// SPDX-License-Identifier: MIT
// Counting a file's operations without expanding its blocks.
#include "engine/operation_count.h"

#include <map>
#include <set>
#include <span>
#include <utility>

namespace drumplot {

namespace {

uint64_t addSaturating(uint64_t a, uint64_t b) {
  return a > UINT64_MAX - b ? UINT64_MAX : a + b;
}

uint64_t multiplySaturating(uint64_t a, uint64_t b) {
  return a != 0 && b > UINT64_MAX / a ? UINT64_MAX : a * b;
}

// Operations, and every statement walked to make them (moves, selections,
// ...), each copy counted.
struct Tally {
  uint64_t operations = 0;
  uint64_t statements = 0;
  void add(const Tally& t) {
    operations = addSaturating(operations, t.operations);
    statements = addSaturating(statements, t.statements);
  }
  bool exceeds(uint64_t limit) const {
    return OperationCount{operations, statements, 0, {}, {}}.exceeds(limit);
  }
  Tally times(uint64_t n) const {
    return {multiplySaturating(operations, n), multiplySaturating(statements, n)};
  }
};

// OperationCount - The walk
// ============================================================================

// Follows the statements as the interpreter runs them, keeping only what
// decides whether an operation draws: the aperture (a block or not), the
// D code in force and the region mode.
class Counter {
 public:
  Counter(const GerberProgram& program, uint64_t limit, OperationCount& out)
      : program_(program), limit_(limit), out_(out) {}

  void run() {
    State s;
    Walk w = walk(program_.ops, s, 0, true);
    out_.operations = w.tally.operations;
    out_.statements = w.tally.statements;
  }

 private:
  struct State {
    int32_t aperture = 10;
    int8_t dMode = 0;
    bool region = false;
    bool operator==(const State&) const = default;
  };
  struct Walk {
    Tally tally;
    bool stopped = false;  // an M02 at the top level ends the whole drawing
  };

  // The operations of `ops` run from state `s` (left as they leave it), at
  // block depth `depth`; `top`: the file's own statements, whose running
  // count is checked against the limit.
  Walk walk(std::span<const GerberOp> ops, State& s, int depth, bool top) {
    Walk w;
    for (size_t i = 0; i < ops.size(); ++i) {
      const GerberOp& op = ops[i];
      Tally n{0, 1};
      switch (op.kind) {
        case GerberOp::Kind::RegionBegin:
          s.region = true;
          break;
        case GerberOp::Kind::RegionEnd:
          s.region = false;
          break;
        case GerberOp::Kind::Select:
          s.aperture = op.value;
          break;
        case GerberOp::Kind::DrawMode:
          s.dMode = static_cast<int8_t>(op.value);
          break;
        case GerberOp::Kind::Operate:
          n = operate(op, s, depth);
          n.statements = addSaturating(n.statements, 1);
          break;
        case GerberOp::Kind::RepeatBegin: {
          size_t end = i + 1;
          while (end < ops.size() && ops[end].kind != GerberOp::Kind::RepeatEnd) ++end;
          Walk r = repeat(ops.subspan(i + 1, end - i - 1),
                          program_.repeats[static_cast<size_t>(op.value)], s, depth);
          n = r.tally;
          w.stopped = r.stopped;
          i = end;
          break;
        }
        case GerberOp::Kind::Stop:
          w.stopped = depth == 0;
          return w;
        default:
          break;
      }
      const bool within = !w.tally.exceeds(limit_);
      w.tally.add(n);
      if (top && within && out_.passesLimitAt == 0 && w.tally.exceeds(limit_)) {
        out_.passesLimitAt = op.line;
      }
      if (w.stopped) return w;
    }
    return w;
  }

  Tally operate(const GerberOp& op, State& s, int depth) {
    if (op.dCode >= 0) s.dMode = op.dCode;
    const bool moves = op.has(GerberOp::kHasX) || op.has(GerberOp::kHasY);
    if (s.region && !(s.dMode == 3 && !moves)) return {s.dMode == 1 ? 1u : 0u, 0};  // an edge
    if (s.dMode == 1) return {1, 0};
    if (s.dMode != 3) return {};
    s.region = false;
    return flash(s.aperture, op.line, depth);
  }

  // A flash at block depth `depth`: one operation, or the block's.
  Tally flash(int32_t dCode, uint32_t line, int depth) {
    auto block = program_.blocks.find(dCode);
    if (block == program_.blocks.end()) return {1, 0};
    if (depth >= kMaxBlockDepth) {
      if (!out_.nestedTooDeep) out_.nestedTooDeep = OperationCount::BlockFault{dCode, line};
      return {};
    }
    if (open_.count(dCode) != 0) {
      if (!out_.recursiveBlock) out_.recursiveBlock = OperationCount::BlockFault{dCode, line};
    }
    const std::pair key{dCode, depth};
    if (auto known = counted_.find(key); known != counted_.end()) return known->second;
    open_.insert(dCode);
    State inside;  // a block starts afresh; its first statements set its modes
    const Tally n = walk(block->second, inside, depth + 1, false).tally;
    open_.erase(dCode);
    counted_.emplace(key, n);
    return n;
  }

  // The copies of a step-and-repeat block, in order, the state running on
  // from one copy to the next. A copy's count follows from the state it
  // starts in, and after a copy or two that state no longer changes (what
  // the body sets, it sets the same each time): the rest are multiplied.
  Walk repeat(std::span<const GerberOp> body, const RepeatBlock& block, State& s, int depth) {
    Walk w;
    if (block.nx < 1 || block.ny < 1) return w;
    const uint64_t copies =
        multiplySaturating(static_cast<uint64_t>(block.nx), static_cast<uint64_t>(block.ny));
    for (uint64_t done = 0; done < copies;) {
      const State start = s;
      Walk copy = walk(body, s, depth, false);
      ++copy.tally.statements;  // each copy costs a step, even of an empty body
      w.tally.add(copy.tally);
      ++done;
      if (copy.stopped) {
        w.stopped = true;
        return w;
      }
      // (Two copies always settle it; the bound only keeps the loop short.)
      if (s == start || done >= 4) {
        w.tally.add(copy.tally.times(copies - done));
        break;
      }
    }
    return w;
  }

  const GerberProgram& program_;
  uint64_t limit_;
  OperationCount& out_;
  std::set<int32_t> open_;                            // blocks being walked, outermost first
  std::map<std::pair<int32_t, int>, Tally> counted_;  // (block, depth) -> its tally
};

}  // namespace

OperationCount countOperations(const GerberProgram& program, uint64_t limit) {
  OperationCount count;
  Counter(program, limit, count).run();
  return count;
}

std::string groupedCount(uint64_t n) {
  std::string digits = std::to_string(n), out;
  for (size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
    out += digits[i];
  }
  return out;
}

}  // namespace drumplot
