// SPDX-License-Identifier: MIT
// Filling runs of pixels [x0, x1) of one 1-bit row, a 32-bit word at a time.
#pragma once

#include <algorithm>
#include <bit>
#include <cstdint>

namespace drumplot {

// Pixel order inside the words of a 1-bit row: the most significant bit of
// each byte is the leftmost pixel. Masks are built MSB-first (pixel 0 of a
// word is bit 31) and brought into memory order with one byte swap on
// little-endian machines; whole words need no swap.
enum class BitOrder { kMSB };

inline uint32_t toMemoryOrder(uint32_t msbFirst) {
  if constexpr (std::endian::native == std::endian::little) {
    return __builtin_bswap32(msbFirst);
  } else {
    return msbFirst;
  }
}
inline uint32_t fromMemoryOrder(uint32_t word) {
  return toMemoryOrder(word);
}

// MSB-first bits of pixels [a, b) of one word, 0 <= a < b <= 32.
// Plain form: for (p = a; p < b; ++p) mask |= 0x80000000u >> p;
inline uint32_t spanMask(unsigned a, unsigned b) {
  uint32_t fromA = ~0u >> a;
  uint32_t fromB = b >= 32 ? 0u : ~0u >> b;
  return fromA & ~fromB;
}

// The two operations on 1-bit rows: exposure clears bits, background sets them.
struct ExposeOp {
  static constexpr uint32_t kFullWord = 0u;
  static void apply(uint32_t& word, uint32_t memoryMask) { word &= ~memoryMask; }
};
struct BackgroundOp {
  static constexpr uint32_t kFullWord = ~0u;
  static void apply(uint32_t& word, uint32_t memoryMask) { word |= memoryMask; }
};

// Pixels [x0, x1) of `row`: masked first word, whole words, masked last word.
template <class Op>
inline void fillSpan(uint32_t* row, int64_t x0, int64_t x1) {
  if (x0 >= x1) return;
  auto first = static_cast<size_t>(x0 >> 5);
  auto last = static_cast<size_t>((x1 - 1) >> 5);
  auto a = static_cast<unsigned>(x0 & 31);
  auto b = static_cast<unsigned>(((x1 - 1) & 31) + 1);
  if (first == last) {
    Op::apply(row[first], toMemoryOrder(spanMask(a, b)));
    return;
  }
  Op::apply(row[first], toMemoryOrder(spanMask(a, 32)));
  std::fill(row + first + 1, row + last, Op::kFullWord);
  Op::apply(row[last], toMemoryOrder(spanMask(0, b)));
}

// One pixel at a time, on the row's bytes: the reference for fillSpan.
template <class Op>
inline void fillSpanReference(uint8_t* rowBytes, int64_t x0, int64_t x1) {
  for (int64_t x = x0; x < x1; ++x) {
    auto bit = static_cast<uint8_t>(0x80u >> (x & 7));
    uint8_t& byte = rowBytes[x >> 3];
    if constexpr (Op::kFullWord == 0u) {
      byte = static_cast<uint8_t>(byte & ~bit);
    } else {
      byte = static_cast<uint8_t>(byte | bit);
    }
  }
}

}  // namespace drumplot
