// SPDX-License-Identifier: MIT
#include "output/fpf_encoder.h"

#include <array>
#include <cstring>
#include <utility>

namespace drumplot {

// FpfEncoder - Runs
// ============================================================================

namespace {

// The steps of a run of 0 to 127 columns, largest first (64, 32, 16, 10,
// then 1 to 9): the high nibble of each step's byte, and how many there are.
struct RunSteps {
  uint8_t count = 0;
  std::array<uint8_t, 5> high{};
};
constexpr std::array<RunSteps, 128> kRunSteps = [] {
  std::array<RunSteps, 128> table{};
  for (unsigned columns = 0; columns < 128; ++columns) {
    RunSteps& s = table[columns];
    unsigned left = columns;
    for (const auto& [length, high] :
         {std::pair{64u, 0xD0u}, {32u, 0xC0u}, {16u, 0xB0u}, {10u, 0xA0u}}) {
      if (left >= length) {
        s.high[s.count++] = static_cast<uint8_t>(high);
        left -= length;
      }
    }
    if (left > 0) s.high[s.count++] = static_cast<uint8_t>(left * 16);
  }
  return table;
}();

}  // namespace

void appendRun(uint8_t v, uint64_t count, std::vector<uint8_t>& out) {
  out.insert(out.end(), count >> 7, static_cast<uint8_t>(0xE0 + v));  // steps of 128
  const RunSteps& steps = kRunSteps[count & 127];
  const size_t at = out.size();
  out.resize(at + steps.count);
  for (size_t k = 0; k < steps.count; ++k) out[at + k] = static_cast<uint8_t>(steps.high[k] + v);
}

namespace {

// kSpread[b]: the 8 pixels of byte b as bit 0 of 8 nibbles, the leftmost
// pixel (the byte's most significant bit) in the highest nibble: four rows
// become column values eight at a time.
//   b = 1 0 1 1 0 0 0 1  ->  0x10110001
constexpr std::array<uint32_t, 256> kSpread = [] {
  std::array<uint32_t, 256> table{};
  for (uint32_t b = 0; b < 256; ++b) {
    uint32_t v = 0;
    for (int bit = 0; bit < 8; ++bit) v |= ((b >> bit) & 1u) << (4 * bit);
    table[b] = v;
  }
  return table;
}();

// Collects runs of equal column values.
class RunBuilder {
 public:
  explicit RunBuilder(std::vector<uint8_t>& out) : out_(out) {}
  void add(uint8_t v, uint64_t count) {
    if (count_ > 0 && v == v_) {
      count_ += count;
      return;
    }
    if (count_ > 0) appendRun(v_, count_, out_);
    v_ = v;
    count_ = count;
  }
  void finish() {
    if (count_ > 0) appendRun(v_, count_, out_);
    out_.push_back(0xFF);
  }

 private:
  std::vector<uint8_t>& out_;
  uint8_t v_ = 0;
  uint64_t count_ = 0;
};

uint8_t bitAt(const uint8_t* row, uint32_t x) {
  return static_cast<uint8_t>((row[x >> 3] >> (7 - (x & 7))) & 1);
}

uint32_t loadWord(const uint8_t* row, uint32_t wordIndex) {
  const uint8_t* p = row + wordIndex * 4;
  return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}

}  // namespace

// FpfEncoder - Group coders
// ============================================================================

void encodeGroupPerPixel(const RowGroup& g, std::vector<uint8_t>& out) {
  RunBuilder runs(out);
  for (uint32_t x = 0; x < g.widthPx; ++x) {
    auto v = static_cast<uint8_t>(bitAt(g.rows[0], x) | (bitAt(g.rows[1], x) << 1) |
                                  (bitAt(g.rows[2], x) << 2) | (bitAt(g.rows[3], x) << 3));
    runs.add(v, 1);
  }
  runs.finish();
}

void encodeGroupWords(const RowGroup& g, std::vector<uint8_t>& out) {
  RunBuilder runs(out);
  const uint32_t words = g.widthPx / 32;
  for (uint32_t w = 0; w < words; ++w) {
    uint32_t r0 = loadWord(g.rows[0], w), r1 = loadWord(g.rows[1], w);
    uint32_t r2 = loadWord(g.rows[2], w), r3 = loadWord(g.rows[3], w);
    auto uniform = [](uint32_t r) { return r == 0u || r == 0xFFFFFFFFu; };
    if (uniform(r0) && uniform(r1) && uniform(r2) && uniform(r3)) {
      auto v = static_cast<uint8_t>((r0 & 1) | ((r1 & 1) << 1) | ((r2 & 1) << 2) | ((r3 & 1) << 3));
      runs.add(v, 32);
      continue;
    }
    // Four bytes at a time: eight column values as the nibbles of one word.
    for (int shift = 24; shift >= 0; shift -= 8) {
      uint32_t nibbles = kSpread[(r0 >> shift) & 0xFF] | (kSpread[(r1 >> shift) & 0xFF] << 1) |
                         (kSpread[(r2 >> shift) & 0xFF] << 2) |
                         (kSpread[(r3 >> shift) & 0xFF] << 3);
      for (int k = 7; k >= 0; --k) runs.add(static_cast<uint8_t>((nibbles >> (4 * k)) & 0xF), 1);
    }
  }
  // Columns past the last whole word (widths that are not a multiple of 32).
  for (uint32_t x = words * 32; x < g.widthPx; ++x) {
    auto v = static_cast<uint8_t>(bitAt(g.rows[0], x) | (bitAt(g.rows[1], x) << 1) |
                                  (bitAt(g.rows[2], x) << 2) | (bitAt(g.rows[3], x) << 3));
    runs.add(v, 1);
  }
  runs.finish();
}

// FpfEncoder - Horizontal line-width adjustment
// ============================================================================

void adjustHorizontalLines(uint8_t* row, uint32_t widthPx, int64_t d) {
  if (d == 0 || widthPx == 0) return;
  std::vector<uint8_t> exposed(widthPx);
  for (uint32_t x = 0; x < widthPx; ++x) exposed[x] = !bitAt(row, x);
  std::memset(row, 0xFF, (widthPx + 7) / 8);
  auto expose = [&](uint32_t x) { row[x >> 3] &= static_cast<uint8_t>(~(0x80u >> (x & 7))); };
  // Pixel 0 never starts a run: scanning starts at pixel 1.
  uint32_t x = 1;
  while (x < widthPx) {
    if (!exposed[x]) {
      ++x;
      continue;
    }
    uint32_t s = x;
    while (x < widthPx && exposed[x]) ++x;
    int64_t e = static_cast<int64_t>(x) - 1 + d;
    if (e < s) e = s;
    if (e >= widthPx) e = widthPx - 1;
    for (int64_t p = s; p <= e; ++p) expose(static_cast<uint32_t>(p));
  }
}

}  // namespace drumplot
