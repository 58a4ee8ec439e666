// SPDX-License-Identifier: MIT
// drumplot-cli settings: writes a settings file to fill in, and shows the
// settings in force with where each value comes from.
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <string>

#include "cli/command_registry.h"
#include "io/file_io.h"
#include "io/io_error.h"
#include "job/settings_file.h"

namespace drumplot::cli {

namespace {

namespace fs = std::filesystem;

// drumplot-cli settings init
// ============================================================================

void addInit(CLI::App& settings, Action& action) {
  struct Options {
    std::string file;
    bool force = false;
  };
  auto o = std::make_shared<Options>();
  auto* cmd = settings.add_subcommand(
      "init", "Write a settings file of every key with its default, each after a comment line");
  cmd->add_option("FILE", o->file,
                  "Settings file to write (default: where the commands look for it, see "
                  "settings show)");
  cmd->add_flag("--force", o->force, "Replace an existing file");
  cmd->callback([o, &action] {
    action = [o] {
      const fs::path file = o->file.empty() ? settingsFilePath() : fs::path(o->file);
      std::error_code ec;
      if (fs::exists(file, ec) && !o->force) {
        throw IoError(file.string() +
                      ": already exists (use --force to replace it; `drumplot-cli settings show "
                      "--settings " +
                      file.string() + "` shows what it holds)");
      }
      if (!file.parent_path().empty()) fs::create_directories(file.parent_path(), ec);
      writeFileAtomically(file, defaultSettingsText());
      std::cout << "Settings written to " << file.string()
                << "; define a mark with NameM1 and PathM1 in [Setup]\n";
    };
  });
}

// drumplot-cli settings show
// ============================================================================

void addShow(CLI::App& settings, Action& action) {
  auto file = std::make_shared<std::string>();
  auto* cmd = settings.add_subcommand(
      "show", "Print the settings in force: every key, its value and where it comes from");
  addSettingsOption(*cmd, *file);
  cmd->callback([file, &action] {
    action = [file] {
      const fs::path path = file->empty() ? settingsFilePath() : fs::path(*file);
      const char* named = std::getenv("DRUMPLOT_SETTINGS");
      const std::string origin = !file->empty()            ? "given with --settings"
                                 : named && *named != '\0' ? "named by DRUMPLOT_SETTINGS"
                                                           : "the usual place";
      std::error_code ec;
      const bool exists = fs::exists(path, ec);
      std::cout << "Settings file: " << path.string() << " (" << origin
                << (exists ? ")" : "; it does not exist: every value is the default)") << "\n";
      const IniDocument ini = IniDocument::load(path);
      JobSettings s = readSettings(path);
      const LayerMap map = readLayerMap(ini, path.string());
      std::printf("%-12s %-14s %-24s %s\n", "Section", "Key", "Value", "From");
      for (const SettingsKey& k : settingsKeys(s, map)) {
        std::printf("%-12s %-14s %-24s %s\n", k.section.c_str(), k.key.c_str(), k.value.c_str(),
                    ini.value(k.section, k.key) ? "file" : "default");
      }
      std::fflush(stdout);
      for (const std::string& note : s.readNotes) printNote(note);
    };
  });
}

}  // namespace

void addSettingsCommand(CLI::App& app, Action& action) {
  auto* settings = app.add_subcommand(
      "settings",
      "The settings file GerbPrj.ini: plotting area, memory, tech area, marks, layer names and "
      "the layer map");
  settings->require_subcommand(1);
  addInit(*settings, action);
  addShow(*settings, action);
}

}  // namespace drumplot::cli
