// SPDX-License-Identifier: MIT
// Reading and writing the settings file GerbPrj.ini.
#include "job/settings_file.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <optional>
#include <system_error>

#include "engine/rounding.h"
#include "engine/text.h"

namespace drumplot {

namespace {

constexpr const char* kSetup = "Setup";
constexpr const char* kLayers = "Layers";
constexpr const char* kFilm = "Film";
constexpr const char* kUnitKey = "Jednotka";
constexpr const char* kUnitAbsentMarker = "Neni";
constexpr size_t kMaxUnitChars = 10;

// The four layers with colours of their own (the others default to 0).
constexpr std::array<uint32_t, 4> kFirstLayerColors = {0xFF0000, 0x0000FF, 0, 0x008000};

std::string indexedKey(const char* prefix, int index) {
  return prefix + std::to_string(index);
}

}  // namespace

// Settings file - Location
// ============================================================================

std::filesystem::path settingsFilePath() {
  auto env = [](const char* name) -> std::string {
    const char* value = std::getenv(name);
    return value ? value : "";
  };
  if (std::string path = env("DRUMPLOT_SETTINGS"); !path.empty()) return path;
  std::filesystem::path config = env("XDG_CONFIG_HOME");
  if (config.empty() || !config.is_absolute()) {
    std::string home = env("HOME");
    if (home.empty()) return kSettingsFileName;
    config = std::filesystem::path(home) / ".config";
  }
  return config / "drumplot" / kSettingsFileName;
}

// Settings file - Value conversions
// ============================================================================

namespace {

// A 32-bit integer as decimal text, or hexadecimal after "$" or "0x".
std::optional<int32_t> parseInt32(std::string_view text) {
  auto hex = [](std::string_view digits) -> std::optional<int32_t> {
    if (digits.empty() || digits.size() > 8) return std::nullopt;
    uint32_t value = 0;
    for (char c : digits) {
      int digit = isDigit(c)               ? c - '0'
                  : (c >= 'a' && c <= 'f') ? c - 'a' + 10
                  : (c >= 'A' && c <= 'F') ? c - 'A' + 10
                                           : -1;
      if (digit < 0) return std::nullopt;
      value = value * 16 + static_cast<uint32_t>(digit);
    }
    return static_cast<int32_t>(value);  // $FFFFFFFF is -1
  };
  if (startsWith(text, "$")) return hex(text.substr(1));
  if (startsWith(text, "0x") || startsWith(text, "0X")) return hex(text.substr(2));
  auto value = parseInteger(text);
  if (!value || *value < std::numeric_limits<int32_t>::min() ||
      *value > std::numeric_limits<int32_t>::max()) {
    return std::nullopt;
  }
  return static_cast<int32_t>(*value);
}

struct SettingsReader {
  const IniDocument& ini;

  std::string text(const char* section, const std::string& key, const std::string& fallback) const {
    return ini.value(section, key).value_or(fallback);
  }
  // Absent keys and values that are not numbers read as the default.
  int32_t integer(const char* section, const std::string& key, int32_t fallback) const {
    auto value = ini.value(section, key);
    if (!value) return fallback;
    return parseInt32(*value).value_or(fallback);
  }
  uint32_t color(const std::string& key, uint32_t fallback) const {
    return static_cast<uint32_t>(integer(kLayers, key, static_cast<int32_t>(fallback)));
  }
};

// Tenths of micrometres to inches, never below the 4.0-inch minimum.
double plotSide(int32_t tenthMicrometres) {
  double inches = tenthMicrometres / 10000.0 / kMillimetresPerInch;
  return inches <= kMinPlotSide ? kMinPlotSide : inches;
}

int32_t toTenthMicrometres(double inches) {
  return roundToInt(kMillimetresPerInch * inches * 10000);
}

int32_t toMicrometres(double mm) {
  return roundToInt(mm * 1000);
}

}  // namespace

// Settings file - Film scale
// ============================================================================

std::optional<double> parseFilmScalePpm(std::string_view text) {
  const std::optional<double> ppm = parseDecimal(text);
  if (!ppm || std::fabs(*ppm) > kMaxFilmScalePpm) return std::nullopt;
  return *ppm;
}

double filmScalePpmOfFactor(double factor) {
  return std::round((factor - 1.0) * 1e9) / 1e3;
}

std::string formatFilmScalePpm(double ppm) {
  char text[32];
  std::snprintf(text, sizeof text, "%+.3f", ppm == 0.0 ? 0.0 : ppm);
  std::string s = text;
  while (s.back() == '0') s.pop_back();
  if (s.back() == '.') s.pop_back();
  return s;
}

std::string filmScaleText(const FilmScale& scale) {
  return formatFilmScalePpm(scale.xPpm) + "/" + formatFilmScalePpm(scale.yPpm) + " ppm";
}

// Settings file - Reading
// ============================================================================

namespace {

// [Film] ScaleXppm and ScaleYppm: a number of ppm within the bound, else
// the scale stays nominal and the error says why.
void readFilmScale(const IniDocument& ini, JobSettings& s) {
  for (auto [key, ppm] :
       {std::pair{"ScaleXppm", &s.filmScale.xPpm}, std::pair{"ScaleYppm", &s.filmScale.yPpm}}) {
    const std::optional<std::string> value = ini.value(kFilm, key);
    if (!value) continue;
    const std::optional<double> read = parseFilmScalePpm(*value);
    if (read) {
      *ppm = *read;
    } else if (s.filmScaleError.empty()) {
      s.filmScaleError = std::string("[") + kFilm + "] " + key + "=" + *value +
                         " is not a film scale: a number of ppm from -" +
                         formatFilmScalePpm(kMaxFilmScalePpm).substr(1) + " to " +
                         formatFilmScalePpm(kMaxFilmScalePpm) + " is expected";
    }
  }
  if (!s.filmScaleError.empty()) {
    s.filmScale = {};
    s.readNotes.push_back(s.filmScaleError + "; the exports refuse until it is corrected");
  }
}

}  // namespace

JobSettings readSettings(const IniDocument& ini, bool* unitKeyAbsent) {
  SettingsReader read{ini};
  JobSettings s;

  std::string unit = read.text(kSetup, kUnitKey, kUnitAbsentMarker);
  if (unitKeyAbsent) *unitKeyAbsent = unit == kUnitAbsentMarker;
  if (unit == kUnitAbsentMarker) unit = "Inch";
  s.setUnit(cutText(unit, kMaxUnitChars));

  s.memoryMegabytes = read.integer(kSetup, "memory", 64);
  if (s.memoryMegabytes < kMinMemory_MB || s.memoryMegabytes > kMaxMemory_MB) {
    int32_t used = std::clamp(s.memoryMegabytes, kMinMemory_MB, kMaxMemory_MB);
    s.readNotes.push_back("the memory setting of " + std::to_string(s.memoryMegabytes) +
                          " MB is outside 10 to 768 MB: " + std::to_string(used) + " MB is used");
    s.memoryMegabytes = used;
  }
  s.PlotWidth = plotSide(read.integer(kSetup, "Sirka", 3400000));
  s.PlotHeight = plotSide(read.integer(kSetup, "Vyska", 3700000));
  s.panelColor = static_cast<uint32_t>(read.integer(kSetup, "Color_Panel", 0x808080));

  s.tech.distance_mm = read.integer(kSetup, "Distance", 6350) / 1000.0;
  s.tech.left_mm = read.integer(kSetup, "Left", 0) / 1000.0;
  s.tech.right_mm = read.integer(kSetup, "Right", 0) / 1000.0;
  s.tech.top_mm = read.integer(kSetup, "Top", 0) / 1000.0;
  s.tech.bottom_mm = read.integer(kSetup, "Bottom", 0) / 1000.0;

  for (int i = 1; i <= kMarkCount; ++i) {
    MarkEntry& mark = s.marks[i - 1];
    mark.name = cutText(read.text(kSetup, indexedKey("NameM", i), ""), kMaxMarkChars);
    mark.path = read.text(kSetup, indexedKey("PathM", i), "");
  }

  // Every layer colour defaults to 0 at first; the first four are then read
  // once more with defaults of their own. Layer names are kept whole.
  for (int n = 1; n <= kLayerCount; ++n) {
    s.LayerColors[n - 1] = read.color(indexedKey("Color", n), 0);
    s.LayerNames[n - 1] = read.text(kLayers, indexedKey("Name", n), "Lay_" + std::to_string(n));
  }
  for (int n = 1; n <= 4; ++n) {
    s.LayerColors[n - 1] = read.color(indexedKey("Color", n), kFirstLayerColors[n - 1]);
  }
  readFilmScale(ini, s);
  return s;
}

namespace {

// The notes of reading `file`, each naming it, and a note when the file is
// the one DRUMPLOT_SETTINGS names and it does not exist.
void noteFile(JobSettings& s, const std::filesystem::path& file) {
  for (std::string& note : s.readNotes) note = file.string() + ": " + note;
  if (!s.filmScaleError.empty()) s.filmScaleError = file.string() + ": " + s.filmScaleError;
  const char* named = std::getenv("DRUMPLOT_SETTINGS");
  std::error_code ec;
  if (named && file == named && !std::filesystem::exists(file, ec)) {
    s.readNotes.push_back("DRUMPLOT_SETTINGS names " + file.string() +
                          ", which does not exist: the default settings are used");
  }
}

}  // namespace

JobSettings readSettings(const std::filesystem::path& file) {
  JobSettings s = readSettings(IniDocument::load(file));
  noteFile(s, file);
  return s;
}

std::string readUnitSetting(const std::filesystem::path& file) {
  IniDocument ini = IniDocument::load(file);
  return cutText(ini.value(kSetup, kUnitKey).value_or("mm"), kMaxUnitChars);
}

JobSettings loadSettings(const std::filesystem::path& file) {
  IniDocument ini = IniDocument::load(file);
  bool unitKeyAbsent = false;
  JobSettings settings = readSettings(ini, &unitKeyAbsent);
  noteFile(settings, file);
  if (unitKeyAbsent) {
    ini.set(kSetup, kUnitKey, "Inch");
    ini.save(file);
  }
  return settings;
}

// Settings file - Every key
// ============================================================================

namespace {

std::string colorText(uint32_t color) {
  char text[16];
  std::snprintf(text, sizeof text, "$%08X", static_cast<unsigned>(color));
  return text;
}

}  // namespace

std::vector<SettingsKey> settingsKeys(const JobSettings& s, const LayerMap& map) {
  std::vector<SettingsKey> keys;
  auto add = [&](const char* section, std::string key, std::string value, std::string meaning) {
    keys.push_back({section, std::move(key), std::move(value), std::move(meaning)});
  };
  add(kSetup, kUnitKey, s.unitText, "display unit of the window: mm or Inch");
  add(kSetup, "Memory", std::to_string(s.memoryMegabytes),
      "memory for rasterizing, MB (10 to 768): bands, stamps and recordings of an export");
  add(kSetup, "Sirka", std::to_string(toTenthMicrometres(s.PlotWidth)),
      "plotting area width (the drum circumference), 0.0001 mm: 3400000 is 340 mm");
  add(kSetup, "Vyska", std::to_string(toTenthMicrometres(s.PlotHeight)),
      "plotting area height (along the drum axis), 0.0001 mm");
  add(kSetup, "Color_Panel", colorText(s.panelColor), "colour of the plotting area, $00BBGGRR");
  add(kSetup, "Distance", std::to_string(toMicrometres(s.tech.distance_mm)),
      "tech area: distance from the boards, micrometres");
  add(kSetup, "Left", std::to_string(toMicrometres(s.tech.left_mm)),
      "tech area: width of the left strip, micrometres (0: none)");
  add(kSetup, "Right", std::to_string(toMicrometres(s.tech.right_mm)),
      "tech area: width of the right strip, micrometres");
  add(kSetup, "Top", std::to_string(toMicrometres(s.tech.top_mm)),
      "tech area: width of the top strip, micrometres");
  add(kSetup, "Bottom", std::to_string(toMicrometres(s.tech.bottom_mm)),
      "tech area: width of the bottom strip, micrometres");
  for (int i = 1; i <= kMarkCount; ++i) {
    const MarkEntry& mark = s.marks[i - 1];
    add(kSetup, indexedKey("NameM", i), mark.name,
        "mark " + std::to_string(i) + ": the name `drumplot-cli job mark --name NAME` takes");
    add(kSetup, indexedKey("PathM", i), mark.path,
        "mark " + std::to_string(i) +
            ": its Gerber file (a relative name is read from the job file's folder)");
  }
  for (int n = 1; n <= kLayerCount; ++n) {
    add(kLayers, indexedKey("Color", n), colorText(s.LayerColors[n - 1]),
        "layer " + std::to_string(n) + ": preview colour, $00BBGGRR");
    add(kLayers, indexedKey("Name", n), s.LayerNames[n - 1],
        "layer " + std::to_string(n) + ": its name in the window and in split films' names");
  }
  auto ppmText = [](double ppm) {  // "200", "-50": the sign only when negative
    const std::string text = formatFilmScalePpm(ppm);
    return text[0] == '+' ? text.substr(1) : text;
  };
  add(kFilm, "ScaleXppm", ppmText(s.filmScale.xPpm),
      "film scale across, ppm (-5000 to 5000): 200 plots 200 ppm larger for film that "
      "shrinks; export --scale overrides");
  add(kFilm, "ScaleYppm", ppmText(s.filmScale.yPpm), "film scale down, ppm");
  for (size_t i = 0; i < LayerMap::kRoleCount; ++i) {
    const BoardRole role = LayerMap::roleAt(i);
    add(kLayerMapSection, LayerMap::keyOf(role), std::to_string(map.layerOf(role)),
        "the layer job add-board puts the " + roleName(role) + " on (0: none)");
  }
  for (const NamePattern& p : map.patterns) {
    add(kNamePatternSection, p.pattern, p.role ? LayerMap::keyOf(*p.role) : "None",
        "job add-board gives files of this name this role");
  }
  return keys;
}

std::string defaultSettingsText() {
  std::string text =
      "; drumplot settings (GerbPrj.ini). Every key with its default; a comment stands on a\n"
      "; line of its own, since whatever follows \"=\" is the value.\n";
  std::string section;
  for (const SettingsKey& k : settingsKeys(JobSettings{}, LayerMap::defaults())) {
    if (k.section != section) {
      section = k.section;
      text += "\n[" + section + "]\n";
    }
    text += "; " + k.meaning + "\n" + k.key + "=" + k.value + "\n";
  }
  return text;
}

// Settings file - Writing each dialog's keys
// ============================================================================

namespace {

template <typename Update>
void updateFile(const std::filesystem::path& file, Update update) {
  IniDocument ini = IniDocument::load(file);
  update(ini);
  ini.save(file);
}

}  // namespace

void writeUnitSetting(const std::filesystem::path& file, const std::string& unitText) {
  updateFile(file, [&](IniDocument& ini) { ini.set(kSetup, kUnitKey, unitText); });
}

void writeMemorySetting(const std::filesystem::path& file, int32_t megabytes) {
  updateFile(file, [&](IniDocument& ini) { ini.set(kSetup, "Memory", std::to_string(megabytes)); });
}

void writePlotAreaSettings(const std::filesystem::path& file, double plotWidth, double plotHeight) {
  updateFile(file, [&](IniDocument& ini) {
    ini.set(kSetup, "Sirka", std::to_string(toTenthMicrometres(plotWidth)));
    ini.set(kSetup, "Vyska", std::to_string(toTenthMicrometres(plotHeight)));
  });
}

void writeTechAreaSettings(const std::filesystem::path& file, const TechArea& tech) {
  updateFile(file, [&](IniDocument& ini) {
    ini.set(kSetup, "Distance", std::to_string(toMicrometres(tech.distance_mm)));
    ini.set(kSetup, "Left", std::to_string(toMicrometres(tech.left_mm)));
    ini.set(kSetup, "Right", std::to_string(toMicrometres(tech.right_mm)));
    ini.set(kSetup, "Top", std::to_string(toMicrometres(tech.top_mm)));
    ini.set(kSetup, "Bottom", std::to_string(toMicrometres(tech.bottom_mm)));
  });
}

void writeMarkSettings(const std::filesystem::path& file, const MarkTable& marks) {
  updateFile(file, [&](IniDocument& ini) {
    for (int i = 1; i <= kMarkCount; ++i) {
      ini.set(kSetup, indexedKey("NameM", i), cutText(marks[i - 1].name, kMaxMarkChars));
      ini.set(kSetup, indexedKey("PathM", i), marks[i - 1].path);
    }
  });
}

void writeLayerSettings(const std::filesystem::path& file,
                        const std::array<std::string, kLayerCount>& names,
                        const std::array<uint32_t, kLayerCount>& colors) {
  updateFile(file, [&](IniDocument& ini) {
    for (int n = 1; n <= kLayerCount; ++n) {
      ini.set(kLayers, indexedKey("Color", n), std::to_string(static_cast<int32_t>(colors[n - 1])));
      ini.set(kLayers, indexedKey("Name", n), names[n - 1]);
    }
  });
}

}  // namespace drumplot
