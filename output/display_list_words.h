// SPDX-License-Identifier: MIT
// How a display list keeps one primitive in its stream; shared by the
// recording and replay, and by the search for covered draws.
#pragma once

#include <cstddef>
#include <cstdint>

namespace drumplot::list_words {

// Layout of one primitive in the stream, in 32-bit words. Every coordinate
// a canvas records is clamped to +-2^30, so each fits a word.
//   0  kind | white pen << 8 | white brush << 9 | white colour << 10
//   1  first row of its bounds     2  row after its bounds
//   3  origin x    4  origin y     5  pen width
//   6  first column of its bounds  7  column after its bounds
//   8  coordinates: 4 (boxes, lines), 8 (arcs), 2 (pixels),
//      2 and the stamp's number (stamps), the first point and the count (polygons)
inline constexpr size_t kHeaderWords = 8;
inline constexpr int32_t kWhitePen = 1 << 8, kWhiteBrush = 1 << 9, kWhiteColour = 1 << 10;

}  // namespace drumplot::list_words
