// SPDX-License-Identifier: MIT
// drumplot-cli: the engine for scripts and batch work.
#include <CLI/CLI.hpp>
#include <exception>
#include <iostream>

#include "cli/info_command.h"
#include "engine/data_format.h"

namespace {

// A CLI11 validator that accepts the data format text I.D[,leading|trailing|none][,abs|inc][,inch|mm].
struct FormatSpecValidator : CLI::Validator {
  FormatSpecValidator() {
    name_ = "FORMAT";
    func_ = [](const std::string& text) {
      try {
        drumplot::parseFormatSpec(text);
        return std::string();
      } catch (const std::exception& e) {
        return std::string(e.what());
      }
    };
  }
};

constexpr const char* kFormatHelp =
    "Data format for files without format statements: I.D[,leading|trailing|none][,abs|inc]"
    "[,inch|mm] (default 2.3,leading,abs,inch); the file's own %FS and %MO statements win";

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{
      "drumplot-cli: turns Gerber photoplot data into exposure bitmaps for a drum laser "
      "photoplotter.\nEvery command reads files and writes new ones; nothing is changed in "
      "place."};
  app.require_subcommand(1);
  app.set_version_flag("--version", "drumplot-cli 0.1.0");

  drumplot::InfoOptions info;
  std::string infoFormat = "2.3,leading,abs,inch";
  auto* infoCmd = app.add_subcommand(
      "info", "Load a Gerber file and print its data format, extents and apertures");
  infoCmd->add_option("GERBER", info.gerberFile, "Gerber file (RS-274X or RS-274-D)")
      ->required();
  infoCmd->add_option("--format", infoFormat, kFormatHelp)->check(FormatSpecValidator());
  infoCmd->add_flag("--json", info.json, "Print one JSON object instead of text");

  CLI11_PARSE(app, argc, argv);

  try {
    if (infoCmd->parsed()) {
      info.preset = drumplot::parseFormatSpec(infoFormat);
      drumplot::runInfo(info, std::cout);
    }
  } catch (const std::exception& e) {
    std::cerr << "drumplot-cli: " << e.what() << "\n";
    return 1;
  }
  return 0;
}
