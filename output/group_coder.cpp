// SPDX-License-Identifier: MIT
// Coding groups of four rows a word at a time.
#include "output/group_coder.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>

namespace drumplot {

namespace {

uint64_t load64(const uint8_t* p) {
  uint64_t w;
  std::memcpy(&w, p, sizeof w);
  return w;
}

// The run being built: `count` columns of value `v`.
class Runs {
 public:
  explicit Runs(std::vector<uint8_t>& out) : out_(out) {}

  void add(uint8_t v, uint64_t columns) {
    if (v == v_) {
      count_ += columns;
    } else {
      start(v, columns);
    }
  }
  void start(uint8_t v, uint64_t columns) {
    emit();
    v_ = v;
    count_ = columns;
  }
  // The first `columns` (1 to 64) columns of four rows, `rows[k]` holding
  // row k's next eight bytes as loaded: the run is cut only where some row
  // changes from one column to the next.
  void addColumns(const std::array<uint64_t, 4>& rows, unsigned columns = 64) {
    std::array<uint64_t, 4> w;  // the first column in the most significant bit
    uint64_t changes = 0;
    for (unsigned k = 0; k < 4; ++k) {
      w[k] = __builtin_bswap64(rows[k]);
      const uint64_t left =
          (w[k] >> 1) | (uint64_t{(v_ >> k) & 1u} << 63);  // each column's left neighbour
      changes |= w[k] ^ left;
    }
    changes &= ~uint64_t{0} << (64 - columns);
    unsigned done = 0;
    while (changes != 0) {
      const auto c = static_cast<unsigned>(std::countl_zero(changes));
      const unsigned shift = 63 - c;
      count_ += c - done;
      start(static_cast<uint8_t>(((w[0] >> shift) & 1) | (((w[1] >> shift) & 1) << 1) |
                                 (((w[2] >> shift) & 1) << 2) | (((w[3] >> shift) & 1) << 3)),
            0);
      done = c;
      changes &= ~(uint64_t{1} << shift);
    }
    count_ += columns - done;
  }
  void finish() {
    emit();
    out_.push_back(0xFF);
  }

 private:
  void emit() {
    if (count_ == 0) return;
    appendRun(v_, count_, out_);
    count_ = 0;
  }

  std::vector<uint8_t>& out_;
  uint8_t v_ = 0;
  uint64_t count_ = 0;
};

// The column value of four background rows.
constexpr uint8_t kBackground = 0xF;

// Whether the 32 bytes at p repeat the word w.
bool same32(const uint8_t* p, uint64_t w) {
  return ((load64(p) ^ w) | (load64(p + 8) ^ w) | (load64(p + 16) ^ w) | (load64(p + 24) ^ w)) == 0;
}

// A 64-bit word of one row that is all background or all exposure.
bool uniform(uint64_t w) {
  return w + 1 <= 1;
}

}  // namespace

void encodeGroupWide(const RowGroup& g, std::vector<uint8_t>& out) {
  const uint8_t* r0 = g.rows[0];
  const uint8_t* r1 = g.rows[1];
  const uint8_t* r2 = g.rows[2];
  const uint8_t* r3 = g.rows[3];
  const size_t bytes = g.widthPx / 8;
  Runs runs(out);
  const size_t rowBytes = (size_t{g.widthPx} + 7) / 8;
  if (std::min<size_t>(g.firstByte, rowBytes) >= std::min<size_t>(g.endByte, rowBytes)) {
    runs.add(kBackground, g.widthPx);  // nothing drawn
    runs.finish();
    return;
  }
  // The drawn bytes, widened to whole 64-bit words; background before them.
  size_t x = g.firstByte / 8 * 8;
  const size_t drawnEnd = std::min(bytes, (size_t{g.endByte} + 7) / 8 * 8);
  if (x > 0) runs.add(kBackground, 8 * x);
  while (x + 8 <= drawnEnd) {
    const uint64_t w0 = load64(r0 + x), w1 = load64(r1 + x);
    const uint64_t w2 = load64(r2 + x), w3 = load64(r3 + x);
    if (uniform(w0) && uniform(w1) && uniform(w2) && uniform(w3)) {
      const auto v =
          static_cast<uint8_t>((w0 & 1) | ((w1 & 1) << 1) | ((w2 & 1) << 2) | ((w3 & 1) << 3));
      // The same four words again: 256 columns at a time, then 64.
      uint64_t columns = 64;
      for (x += 8; x + 32 <= drawnEnd && same32(r0 + x, w0) && same32(r1 + x, w1) &&
                   same32(r2 + x, w2) && same32(r3 + x, w3);
           x += 32) {
        columns += 256;
      }
      for (; x + 8 <= drawnEnd && load64(r0 + x) == w0 && load64(r1 + x) == w1 &&
             load64(r2 + x) == w2 && load64(r3 + x) == w3;
           x += 8) {
        columns += 64;
      }
      runs.add(v, columns);
      continue;
    }
    runs.addColumns({w0, w1, w2, w3});
    x += 8;
  }
  if (drawnEnd < bytes) {
    runs.add(kBackground, g.widthPx - 8 * x);  // background after the drawn bytes
  } else if (const size_t left = g.widthPx - 8 * x; left > 0) {
    // The last columns, fewer than 64, through a zero-padded word.
    std::array<uint64_t, 4> tail{};
    for (unsigned k = 0; k < 4; ++k) std::memcpy(&tail[k], g.rows[k] + x, (left + 7) / 8);
    runs.addColumns(tail, static_cast<unsigned>(left));
  }
  runs.finish();
}

}  // namespace drumplot
