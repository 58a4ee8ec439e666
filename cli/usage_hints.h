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

// `--help` pages whose descriptions are wrapped to the terminal's 80 columns.
class WrappingFormatter : public CLI::Formatter {
 public:
  WrappingFormatter();
  std::string make_description(const CLI::App* app) const override;
  std::string make_subcommand(const CLI::App* sub) const override;
  std::string make_option_desc(const CLI::Option* option) const override;
};

// `text` with its lines broken at spaces to at most `width` characters.
std::string wrapText(const std::string& text, size_t width);

// Gives every command's --help page examples of real use.
void addHelpExamples(CLI::App& app);

}  // namespace drumplot::cli
