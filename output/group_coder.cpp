// SPDX-License-Identifier: MIT
// Coding groups of four rows a word at a time.
#include "output/group_coder.h"

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
  // Eight column values as the nibbles of a word, the first column highest.
  void addNibbles(uint32_t nibbles) {
    uint32_t rest = nibbles;
    unsigned left = 8;
    for (;;) {
      const uint32_t diff = rest ^ (0x11111111u * v_);
      const unsigned same = diff == 0 ? 8u : static_cast<unsigned>(std::countl_zero(diff)) / 4;
      if (same >= left) {
        count_ += left;
        return;
      }
      count_ += same;
      left -= same;
      rest <<= 4 * same;
      start(static_cast<uint8_t>(rest >> 28), 0);
    }
  }
  void finish() {
    emit();
    out_.push_back(0xFF);
  }

 private:
  void emit() {
    if (count_ == 0) return;
    // The largest step first: whole steps of 128 in one insert, the rest as appendRun codes it.
    out_.insert(out_.end(), count_ >> 7, static_cast<uint8_t>(0xE0 + v_));
    appendRun(v_, count_ & 127, out_);
    count_ = 0;
  }

  std::vector<uint8_t>& out_;
  uint8_t v_ = 0;
  uint64_t count_ = 0;
};

// Whether the 32 bytes at p repeat the word w.
bool same32(const uint8_t* p, uint64_t w) {
  return ((load64(p) ^ w) | (load64(p + 8) ^ w) | (load64(p + 16) ^ w) | (load64(p + 24) ^ w)) == 0;
}

// A 64-bit word of one row that is all background or all exposure.
bool uniform(uint64_t w) { return w + 1 <= 1; }

}  // namespace

void encodeGroupWide(const RowGroup& g, std::vector<uint8_t>& out) {
  const uint8_t* r0 = g.rows[0];
  const uint8_t* r1 = g.rows[1];
  const uint8_t* r2 = g.rows[2];
  const uint8_t* r3 = g.rows[3];
  const size_t bytes = g.widthPx / 8;
  Runs runs(out);
  auto mixedByte = [&](size_t x) {
    runs.addNibbles(kSpread[r0[x]] | (kSpread[r1[x]] << 1) | (kSpread[r2[x]] << 2) |
                    (kSpread[r3[x]] << 3));
  };
  size_t x = 0;
  while (x + 8 <= bytes) {
    const uint64_t w0 = load64(r0 + x), w1 = load64(r1 + x);
    const uint64_t w2 = load64(r2 + x), w3 = load64(r3 + x);
    if (uniform(w0) && uniform(w1) && uniform(w2) && uniform(w3)) {
      const auto v = static_cast<uint8_t>((w0 & 1) | ((w1 & 1) << 1) | ((w2 & 1) << 2) | ((w3 & 1) << 3));
      // The same four words again: 256 columns at a time, then 64.
      uint64_t columns = 64;
      for (x += 8; x + 32 <= bytes && same32(r0 + x, w0) && same32(r1 + x, w1) &&
                   same32(r2 + x, w2) && same32(r3 + x, w3);
           x += 32) {
        columns += 256;
      }
      for (; x + 8 <= bytes && load64(r0 + x) == w0 && load64(r1 + x) == w1 &&
                   load64(r2 + x) == w2 && load64(r3 + x) == w3;
           x += 8) {
        columns += 64;
      }
      runs.add(v, columns);
      continue;
    }
    for (size_t end = x + 8; x < end; ++x) mixedByte(x);
  }
  for (; x < bytes; ++x) mixedByte(x);
  // Columns past the last whole byte.
  for (uint32_t c = static_cast<uint32_t>(bytes) * 8; c < g.widthPx; ++c) {
    auto bit = [&](const uint8_t* row) { return (row[c >> 3] >> (7 - (c & 7))) & 1u; };
    runs.add(static_cast<uint8_t>(bit(r0) | (bit(r1) << 1) | (bit(r2) << 2) | (bit(r3) << 3)), 1);
  }
  runs.finish();
}

}  // namespace drumplot
