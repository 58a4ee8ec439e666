// SPDX-License-Identifier: MIT
// Groups of four rows for the coder tests, built column by column.
#pragma once

#include <cstdint>
#include <vector>

#include "output/fpf_encoder.h"

namespace drumplot::test {

using Bytes = std::vector<uint8_t>;

// Four rows of `width` pixels from each column's value v (bit k: row k background).
struct Group {
  uint32_t width;
  std::vector<Bytes> rows;
  template <typename F>
  Group(uint32_t w, F column) : width(w), rows(4, Bytes((w + 7) / 8, 0)) {
    for (uint32_t x = 0; x < w; ++x) {
      const uint8_t v = column(x);
      for (int k = 0; k < 4; ++k) {
        if ((v >> k) & 1) rows[k][x >> 3] |= static_cast<uint8_t>(0x80u >> (x & 7));
      }
    }
  }
  Bytes encode(void (*coder)(const RowGroup&, Bytes&)) const {
    Bytes out;
    coder({{rows[0].data(), rows[1].data(), rows[2].data(), rows[3].data()}, width}, out);
    return out;
  }
};

}  // namespace drumplot::test
