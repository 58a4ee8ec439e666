// SPDX-License-Identifier: MIT
// How drumplot-cli's commands are put together: each command file adds its
// subcommand to the application and sets the action that runs it.
#pragma once

#include <CLI/CLI.hpp>
#include <functional>
#include <string>

#include "engine/data_format.h"

namespace drumplot::cli {

// The action of the subcommand that was parsed; it may throw, main() reports.
using Action = std::function<void()>;

// Adds `name` to `app`; `action` is set to the command's work when it is the one parsed.
void addInfoCommand(CLI::App& app, Action& action);
void addRenderCommand(CLI::App& app, Action& action);
void addJobCommand(CLI::App& app, Action& action);
void addAperturesCommand(CLI::App& app, Action& action);
void addDrillCommand(CLI::App& app, Action& action);
// export, bmp and fpf.
void addExportCommand(CLI::App& app, Action& action);
void addCheckCommand(CLI::App& app, Action& action);

// Shared option help and check for the data format text.
inline constexpr const char* kFormatHelp =
    "Data format for files without format statements: I.D[,leading|trailing|none][,abs|inc]"
    "[,inch|mm] (default 2.3,leading,abs,inch); the file's own %FS and %MO statements win";

// A CLI11 validator for I.D[,leading|trailing|none][,abs|inc][,inch|mm].
struct FormatSpecValidator : CLI::Validator {
  FormatSpecValidator();
};

}  // namespace drumplot::cli
