// SPDX-License-Identifier: MIT
// drumplot-cli: the engine for scripts and batch work.
#include <exception>
#include <iostream>

#include "cli/command_registry.h"

int main(int argc, char** argv) {
  CLI::App app{
      "drumplot-cli: turns Gerber photoplot data into exposure bitmaps for a drum laser "
      "photoplotter.\nCommands read files and write new ones; an error names the file and "
      "ends with exit status 1."};
  app.require_subcommand(1);
  app.set_version_flag("--version", "drumplot-cli 0.1.0");

  drumplot::cli::Action action;
  drumplot::cli::addInfoCommand(app, action);
  drumplot::cli::addRenderCommand(app, action);
  drumplot::cli::addJobCommand(app, action);
  drumplot::cli::addAperturesCommand(app, action);
  drumplot::cli::addDrillCommand(app, action);
  drumplot::cli::addExportCommand(app, action);
  drumplot::cli::addCheckCommand(app, action);

  CLI11_PARSE(app, argc, argv);

  try {
    if (action) action();
  } catch (const std::exception& e) {
    std::cerr << "drumplot-cli: " << e.what() << "\n";
    return 1;
  }
  return 0;
}
