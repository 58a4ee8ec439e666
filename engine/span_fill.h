// SPDX-License-Identifier: MIT
// Filling runs of pixels [x0, x1) of one 1-bit row, a 32-bit word at a time,
// and copying runs from one place to another.
#pragma once

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>

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

// Pixels [from, from + count) of the row bytes `source` onto pixels
// [to, to + count) of the row bytes `target`, which may be the same row
// where the two runs do not overlap: the target's whole bytes from the
// source's bits a byte at a time, its end bytes bit by bit. Only the
// source's pixels are read and only the target's written.
inline void copyPixels(const uint8_t* source, int64_t from, uint8_t* target, int64_t to,
                       int64_t count) {
  auto copyBit = [&] {
    const auto bit = static_cast<uint8_t>(0x80u >> (to & 7));
    const bool set = (source[from >> 3] >> (7 - (from & 7))) & 1u;
    uint8_t& byte = target[to >> 3];
    byte = static_cast<uint8_t>(set ? byte | bit : byte & ~bit);
    ++from, ++to, --count;
  };
  while (count > 0 && (to & 7) != 0) copyBit();
  const auto bytes = static_cast<size_t>(count >> 3);
  uint8_t* out = target + (to >> 3);
  const uint8_t* in = source + (from >> 3);
  if (const auto b = static_cast<unsigned>(from & 7); b == 0) {
    std::memcpy(out, in, bytes);
  } else {
    // Byte k takes the source's bits from + 8k .. from + 8k + 7, which lie
    // in its bytes k and k + 1: 16 bytes at a time as two 64-bit lanes
    // (each byte shifted within itself by masks), then one by one.
    size_t k = 0;
    if constexpr (std::endian::native == std::endian::little) {
      using Lanes = uint64_t __attribute__((vector_size(16)));
      constexpr uint64_t kEveryByte = 0x0101010101010101u;
      const uint64_t high = kEveryByte * ((0xFFu << b) & 0xFFu),
                     low = kEveryByte * (0xFFu >> (8 - b));
      for (; k + 16 <= bytes; k += 16) {
        Lanes here, next;
        std::memcpy(&here, in + k, sizeof here);
        std::memcpy(&next, in + k + 1, sizeof next);
        const Lanes merged = ((here << b) & high) | ((next >> (8 - b)) & low);
        std::memcpy(out + k, &merged, sizeof merged);
      }
    }
    for (; k < bytes; ++k) {
      out[k] = static_cast<uint8_t>((in[k] << b) | (in[k + 1] >> (8 - b)));
    }
  }
  from += static_cast<int64_t>(8 * bytes);
  to += static_cast<int64_t>(8 * bytes);
  count -= static_cast<int64_t>(8 * bytes);
  while (count > 0) copyBit();
}

}  // namespace drumplot
