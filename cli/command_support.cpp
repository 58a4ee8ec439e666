// SPDX-License-Identifier: MIT
// What several commands share: the data format option and the settings.
#include <fstream>
#include <iostream>
#include <stdexcept>

#include "cli/command_registry.h"
#include "engine/gerber_reader.h"
#include "job/board_import.h"
#include "job/job_file.h"
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

// Command arguments - What a file is
// ============================================================================

namespace {

enum class FileKind { Missing, Folder, Job, Gerber, Drill, Other };

// What a named file holds, by its first bytes (and a job file by its name
// or its record size): enough to tell an operator which command takes it.
FileKind fileKind(const std::string& name) {
  namespace fs = std::filesystem;
  std::error_code ec;
  if (fs::is_directory(name, ec)) return FileKind::Folder;
  if (!fs::exists(name, ec)) return FileKind::Missing;
  std::string extension = fs::path(name).extension().string();
  for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (extension == ".wpr") return FileKind::Job;
  std::string head(4096, '\0');
  std::ifstream in(name, std::ios::binary);
  in.read(head.data(), static_cast<std::streamsize>(head.size()));
  head.resize(static_cast<size_t>(in.gcount()));
  if (looksBinary(head)) {
    const uintmax_t size = fs::file_size(name, ec);
    return !ec && size > 0 && size % kBoardRecordSize == 0 ? FileKind::Job : FileKind::Other;
  }
  // A drill file opens with M48, some after a "%" line.
  if (hasDrillHeader(head) || (head.find("M48") < 64 && head.find("%FS") == std::string::npos))
    return FileKind::Drill;
  for (const char* word : {"%FS", "%MO", "D01*", "D02*", "D03*", "D1*", "D2*", "D3*", "G04"}) {
    if (head.find(word) != std::string::npos) return FileKind::Gerber;
  }
  return FileKind::Other;
}

}  // namespace

void requireJobFile(const std::string& file, const std::string& command, const std::string& other) {
  const FileKind kind = fileKind(file);
  if (kind == FileKind::Job) return;
  const std::string use = "drumplot-cli " + command + " ";
  if (!other.empty() && fileKind(other) == FileKind::Job) {
    throw std::invalid_argument(other + " is the job and " + file +
                                " its data: the job comes first:\n  " + use + other + " " + file);
  }
  switch (kind) {
    case FileKind::Missing:
      throw std::invalid_argument(
          file + ": no such job file; create it with\n  drumplot-cli job new " + file);
    case FileKind::Folder:
      throw std::invalid_argument(file +
                                  " is a folder, not a job file (.wpr); a board's folder is "
                                  "imported with\n  drumplot-cli job add-board JOB " +
                                  file);
    case FileKind::Gerber:
      throw std::invalid_argument(file +
                                  " is a Gerber file, not a job file (.wpr): it becomes a "
                                  "board of a job with\n  drumplot-cli job add JOB " +
                                  file + "\n(`drumplot-cli info " + file +
                                  "` shows what it holds)");
    case FileKind::Drill:
      throw std::invalid_argument(file +
                                  " is an Excellon drill file, not a job file (.wpr): it is "
                                  "panelized over a job with\n  drumplot-cli drill JOB --in " +
                                  file + " --out PANEL.drl");
    default:
      return;  // the job file's reader says what is wrong with it
  }
}

void requireGerberFile(const std::string& file, const std::string& command) {
  if (fileKind(file) != FileKind::Job) return;
  throw std::invalid_argument(file + " is a job file, not a Gerber file: " + command +
                              " reads one layer's file. For the job: `drumplot-cli job list " +
                              file + "` shows its boards and files, `drumplot-cli check " + file +
                              "` checks it, `drumplot-cli export " + file +
                              " -o FILM.fpf` plots it");
}

void requireExtension(const char* option, const std::string& file,
                      std::initializer_list<const char*> extensions, const char* writes) {
  std::string extension = std::filesystem::path(file).extension().string();
  for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  for (const char* e : extensions) {
    if (extension == e) return;
  }
  throw std::invalid_argument(std::string(option) + " " + file + ": " + writes);
}

WholeNumberValidator::WholeNumberValidator(const char* what) {
  name_ = "WHOLE";
  func_ = [what](const std::string& text) {
    const bool whole = !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
    return whole ? std::string() : "'" + text + "' is not a whole number: " + what;
  };
}

void printWarning(std::string_view text, std::ostream& err) {
  err << "drumplot-cli: warning: " << text << "\n";
}

void printNote(std::string_view text, std::ostream& err) {
  err << "drumplot-cli: note: " << text << "\n";
}

}  // namespace drumplot::cli
