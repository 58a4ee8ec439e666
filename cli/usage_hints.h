// SPDX-License-Identifier: MIT
// What a refused command line most likely meant: a mistyped command or
// option named with the nearest one the program knows.
#pragma once

#include <CLI/CLI.hpp>
#include <string>
#include <string_view>
#include <vector>

namespace drumplot::cli {

// Edits (insertions, deletions, substitutions, swaps of neighbours) that
// turn `a` into `b`.
size_t editDistance(std::string_view a, std::string_view b);

// The first command or option of `args` (without the program name) that
// `app` does not know, said with the nearest known one and the command line
// as it would read with that one; empty when every word is known.
std::string unknownWordHint(const CLI::App& app, const std::vector<std::string>& args);

}  // namespace drumplot::cli
