// SPDX-License-Identifier: MIT
// How drumplot-cli's commands are put together: each command file adds its
// subcommand to the application and sets the action that runs it.
#pragma once

#include <CLI/CLI.hpp>
#include <functional>
#include <initializer_list>
#include <iostream>
#include <stdexcept>
#include <string>
#include <string_view>

#include "engine/data_format.h"
#include "job/job_settings.h"

namespace drumplot::cli {

// The action of the subcommand that was parsed; it may throw, main() reports.
using Action = std::function<void()>;

// Ends a command with a status of its own after it has printed its report
// (verify: 1 the film differs, 3 it cannot be compared); main() says the
// message on stderr unless it is empty, and exits with `status`.
struct CommandStatus : std::runtime_error {
  CommandStatus(int s, const std::string& message) : std::runtime_error(message), status(s) {}
  int status;
};

// Adds `name` to `app`; `action` is set to the command's work when it is the one parsed.
void addInfoCommand(CLI::App& app, Action& action);
void addRenderCommand(CLI::App& app, Action& action);
void addJobCommand(CLI::App& app, Action& action);
void addAperturesCommand(CLI::App& app, Action& action);
void addDrillCommand(CLI::App& app, Action& action);
// export, bmp and fpf.
void addExportCommand(CLI::App& app, Action& action);
void addCheckCommand(CLI::App& app, Action& action);
void addSettingsCommand(CLI::App& app, Action& action);
void addVerifyCommand(CLI::App& app, Action& action);
void addPlotCommand(CLI::App& app, Action& action);

// Shared option help and check for the data format text.
inline constexpr const char* kFormatHelp =
    "Data format for what the file does not state itself: I.D[,leading|trailing|none][,abs|inc]"
    "[,inch|mm] with 1 to 6 integer and 0 to 5 decimal digits (default 2.3,leading,abs,inch); "
    "the file's own %FS, %MO, G70/G71 and G90/G91 statements win";

// A CLI11 validator for I.D[,leading|trailing|none][,abs|inc][,inch|mm].
struct FormatSpecValidator : CLI::Validator {
  FormatSpecValidator();
};

// The --settings option of a command that reads the settings.
void addSettingsOption(CLI::App& cmd, std::string& settingsFile);

// The settings of a command: the file of its --settings option, or the usual
// one when that is empty (see settingsFilePath). What reading them noted (a
// value clamped, a missing DRUMPLOT_SETTINGS file) goes to stderr.
JobSettings readCommandSettings(const std::string& settingsOption);

// The JOB argument of `command` ("export", "job add"): a job file that
// exists. A missing one, a folder, or a Gerber or drill file in its place is
// refused (std::invalid_argument) saying what to run instead; when `other`,
// the command's next file argument, is the job, the two were swapped and the
// message shows them in their order.
void requireJobFile(const std::string& file, const std::string& command,
                    const std::string& other = "");
// The GERBER argument of `command`: a job file given in its place is
// refused, saying which commands take a job.
void requireGerberFile(const std::string& file, const std::string& command);

// An output name whose extension is none of `extensions` (".png"; matched
// without regard to case) is refused before any work; `writes` says what
// the option writes, under which names.
void requireExtension(const char* option, const std::string& file,
                      std::initializer_list<const char*> extensions, const char* writes);

// --dpi and the like: a whole number, said so when it is not.
struct WholeNumberValidator : CLI::Validator {
  explicit WholeNumberValidator(const char* what);
};

// "1 board", "3 boards": a count with its noun.
inline std::string counted(long long n, const std::string& noun) {
  return std::to_string(n) + " " + noun + (n == 1 ? "" : "s");
}

// What a command tells the operator beside its output: one line,
// "drumplot-cli: warning: TEXT" (something is not as it should be) or
// "drumplot-cli: note: TEXT" (how the command took what it was given).
void printWarning(std::string_view text, std::ostream& err = std::cerr);
void printNote(std::string_view text, std::ostream& err = std::cerr);

}  // namespace drumplot::cli
