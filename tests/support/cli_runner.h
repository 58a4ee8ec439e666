// SPDX-License-Identifier: MIT
// Runs one drumplot-cli command as its command line would, for the CLI tests.
#pragma once

#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "cli/command_registry.h"

namespace drumplot::test {

// Parses `args` (without the program name) with the command that `add`
// registers, runs it and returns what it printed. Parse errors and the
// command's errors throw; what it printed before is kept in `printed`.
template <typename AddCommand>
std::string runCommand(AddCommand add, std::vector<std::string> args,
                       std::string* printed = nullptr) {
  CLI::App app;
  app.require_subcommand(1);
  cli::Action action;
  add(app, action);
  args.insert(args.begin(), "drumplot-cli");
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  app.parse(static_cast<int>(argv.size()), argv.data());
  std::ostringstream out;
  std::streambuf* old = std::cout.rdbuf(out.rdbuf());
  try {
    action();
  } catch (...) {
    std::cout.rdbuf(old);
    if (printed) *printed = out.str();
    throw;
  }
  std::cout.rdbuf(old);
  return out.str();
}

}  // namespace drumplot::test
