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

JobSettings readCommandSettings(const std::string& settingsOption) {
  JobSettings settings =
      readSettings(settingsOption.empty() ? settingsFilePath() : std::filesystem::path(settingsOption));
  for (const std::string& note : settings.ReadNotes) std::cerr << "drumplot-cli: note: " << note << "\n";
  return settings;
}

}  // namespace drumplot::cli
