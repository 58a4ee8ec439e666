// SPDX-License-Identifier: MIT
// The one place where "round" is defined: nearest whole number, halves to even.
#pragma once

#include <cmath>
#include <cstdint>

namespace drumplot {

// Largest magnitude a rounded pixel coordinate may take. Coordinates far
// outside any image are clamped here so that later integer arithmetic
// (box corners, spans, differences) can never overflow.
inline constexpr double kMaxPixelCoordinate = 1.0e9;

// round(): to the nearest whole number, halves to even (2.5 -> 2, 3.5 -> 4).
// NaN reads as 0; values beyond +-kMaxPixelCoordinate are clamped.
inline int64_t roundHalfEven(double v) {
  if (std::isnan(v)) return 0;
  if (v > kMaxPixelCoordinate) v = kMaxPixelCoordinate;
  if (v < -kMaxPixelCoordinate) v = -kMaxPixelCoordinate;
  // rint and nearbyint agree (rint may also flag the inexact result, which
  // nobody reads); rint compiles to a few instructions instead of a call.
  return static_cast<int64_t>(std::rint(v));  // default FE_TONEAREST = halves to even
}

inline int32_t roundToInt(double v) {
  return static_cast<int32_t>(roundHalfEven(v));
}

}  // namespace drumplot
