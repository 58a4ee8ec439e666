// SPDX-License-Identifier: MIT
// The settings file GerbPrj.ini: reading every key with its default, and the
// writes of each preference dialog (only its own keys).
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "job/ini_document.h"
#include "job/job_settings.h"
#include "job/layer_roles.h"

namespace drumplot {

inline constexpr const char* kSettingsFileName = "GerbPrj.ini";

// Where the settings live: $DRUMPLOT_SETTINGS, else
// $XDG_CONFIG_HOME/drumplot/GerbPrj.ini, else ~/.config/drumplot/GerbPrj.ini,
// else the bare name in the working folder.
std::filesystem::path settingsFilePath();

// Every key, with its defaults and rules, from a document. `unitKeyAbsent`
// (when given) tells whether "Jednotka" was missing, read as "Inch". A
// memory value outside 10..768 MB is clamped and noted in ReadNotes; mark
// paths are kept whole.
JobSettings readSettings(const IniDocument& ini, bool* unitKeyAbsent = nullptr);
// The same from a file; an absent file gives every default, noted when
// DRUMPLOT_SETTINGS names it. The notes name the file. Never writes.
JobSettings readSettings(const std::filesystem::path& file);
// The window's read when it is first shown: readSettings, and "Jednotka" =
// "Inch" written into the file when that key was absent.
JobSettings loadSettings(const std::filesystem::path& file);

// One key of the settings file as the settings hold it: its section, key,
// value as the file writes it, and what it means.
struct SettingsKey {
  std::string section;
  std::string key;
  std::string value;
  std::string meaning;
};
// Every key of the sections Setup, Layers and BoardLayers, in file order,
// with the values of `settings` and `map`.
std::vector<SettingsKey> settingsKeys(const JobSettings& settings, const LayerMap& map);
// A settings file of every key with its default, each after a comment line
// that says what it means (comments stand on lines of their own: the reader
// keeps whatever follows "=" as the value).
std::string defaultSettingsText();

// The unit dialog's preset: "Jednotka" read afresh, "mm" when absent.
std::string readUnitSetting(const std::filesystem::path& file);

// A film scale in ppm as text ("-12.5", " 500" with spaces): the number,
// or none when it is no number or lies beyond kMaxFilmScalePpm.
std::optional<double> parseFilmScalePpm(std::string_view text);
// A scale factor (1.0005) as ppm (500), kept to a thousandth of a ppm.
double filmScalePpmOfFactor(double factor);
// "+500", "-12.5", "+0": the ppm of one axis as the settings and notes say it.
std::string formatFilmScalePpm(double ppm);
// "+500/+0 ppm": across, then down.
std::string filmScaleText(const FilmScale& scale);

// The writes, each into the file's existing content.
void writeUnitSetting(const std::filesystem::path& file, const std::string& unitText);
void writeMemorySetting(const std::filesystem::path& file, int32_t megabytes);
void writePlotAreaSettings(const std::filesystem::path& file, double plotWidth,
                           double plotHeight);  // inches
void writeTechAreaSettings(const std::filesystem::path& file, const TechArea& tech);
void writeMarkSettings(const std::filesystem::path& file, const MarkTable& marks);
void writeLayerSettings(const std::filesystem::path& file,
                        const std::array<std::string, kLayerCount>& names,
                        const std::array<uint32_t, kLayerCount>& colors);

}  // namespace drumplot
