// SPDX-License-Identifier: MIT
// The small 8-bit text files of subsystem 5 (aperture files and lists): the
// test for binary data, and cutting a text into lines.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace drumplot {

// Lines are handled as short strings: the rest of a longer line is dropped.
inline constexpr size_t kMaxLineLength = 255;

// The line (from 1) of the first byte that no text file holds, or 0 when
// there is none. Text is 8-bit: every byte from space up counts as text
// (national letters included), and so do TAB, CR, LF, the form feed of
// printed listings and the end-of-file mark of DOS editors (Ctrl-Z).
size_t firstBinaryLine(std::string_view text);

// The lines of a text, cut at CR LF, LF or a lone CR, each cut to
// kMaxLineLength. A last line without a line end counts; an empty text has none.
std::vector<std::string_view> textLines(std::string_view text);

// ASCII upper case, byte by byte (other bytes are left as they are).
std::string upperCase(std::string_view text);

}  // namespace drumplot
