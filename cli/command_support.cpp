// SPDX-License-Identifier: MIT
// What several commands share: the data format option and the settings.
#include <iostream>

#include "cli/command_registry.h"
#include "job/settings_file.h"

namespace drumplot::cli {

FormatSpecValidator::FormatSpecValidator() {
  name_ = "FORMAT";
  func_ = [](const std::string& text) {
    try {
      parseFormatSpec(text);
      return std::string();
    } catch (const std::exception& e) {
      return std::string(e.what());
    }
  };
}

void addSettingsOption(CLI::App& cmd, std::string& settingsFile) {
  cmd.add_option(
         "--settings", settingsFile,
         "Settings file GerbPrj.ini: plotting area, tech area, memory, marks (default: "
         "$DRUMPLOT_SETTINGS, else $XDG_CONFIG_HOME/drumplot/GerbPrj.ini); read, never written")
      ->check(CLI::ExistingFile);
}

JobSettings readCommandSettings(const std::string& settingsOption) {
  JobSettings settings = readSettings(
      settingsOption.empty() ? settingsFilePath() : std::filesystem::path(settingsOption));
  for (const std::string& note : settings.readNotes) printNote(note);
  return settings;
}

void printWarning(std::string_view text, std::ostream& err) {
  err << "drumplot-cli: warning: " << text << "\n";
}

void printNote(std::string_view text, std::ostream& err) {
  err << "drumplot-cli: note: " << text << "\n";
}

}  // namespace drumplot::cli
