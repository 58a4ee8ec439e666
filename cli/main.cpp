// SPDX-License-Identifier: MIT
// drumplot-cli: the engine for scripts and batch work.
#include <exception>
#include <iostream>
#include <memory>
#include <new>
#include <stdexcept>
#include <string>

#include "cli/command_registry.h"
#include "cli/usage_hints.h"

namespace {

constexpr int kFailed = 1;
constexpr int kUsage = 2;

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{
      "drumplot-cli: turns Gerber photoplot data into exposure bitmaps for a drum laser "
      "photoplotter.\nCommands read files and write new ones; an error names the file and "
      "ends with exit status 1, a command line that cannot be used as given with exit status 2."};
  app.formatter(std::make_shared<drumplot::cli::WrappingFormatter>());
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
  drumplot::cli::addSettingsCommand(app, action);
  drumplot::cli::addVerifyCommand(app, action);
  drumplot::cli::addPlotCommand(app, action);
  drumplot::cli::addHelpExamples(app);

  try {
    app.parse(argc, argv);
  } catch (const CLI::Success& e) {
    return app.exit(e);  // --help, --version
  } catch (const CLI::ParseError& e) {
    // A mistyped command or option is said as such, with the nearest one.
    const std::string hint = drumplot::cli::unknownWordHint(app, {argv + 1, argv + argc});
    if (hint.empty()) {
      app.exit(e);
    } else {
      std::cerr << "drumplot-cli: " << hint << "\nRun with --help for more information.\n";
    }
    return kUsage;
  }

  try {
    if (action) action();
  } catch (const std::bad_alloc&) {
    std::cerr << "drumplot-cli: not enough memory to finish the command (for an output, a lower "
                 "resolution or --memory may fit)\n";
    return kFailed;
  } catch (const drumplot::cli::CommandStatus& e) {
    if (*e.what() != '\0') std::cerr << "drumplot-cli: " << e.what() << "\n";
    return e.status;
  } catch (const std::invalid_argument& e) {
    // An option whose value the command could not use.
    std::cerr << "drumplot-cli: " << e.what() << "\nRun with --help for more information.\n";
    return kUsage;
  } catch (const std::exception& e) {
    std::cerr << "drumplot-cli: " << e.what() << "\n";
    return kFailed;
  }
  return 0;
}
