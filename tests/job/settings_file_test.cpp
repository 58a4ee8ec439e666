// SPDX-License-Identifier: MIT
// GerbPrj.ini: defaults, value rules, the first-start unit key, each dialog's
// writes, and what a write leaves alone.
#include "job/settings_file.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <tuple>

#include "engine/errors.h"
#include "support/test_support.h"

namespace drumplot {
namespace {

JobSettings fromText(const std::string& text) {
  return readSettings(IniDocument::parse(text));
}

TEST(SettingsFileTest, FirstStartWithoutFileUsesDefaultsAndWritesTheUnit) {
  auto file = test::tempDir() / "sub" / "GerbPrj.ini";
  JobSettings s = loadSettings(file);
  EXPECT_EQ(std::tuple(s.unitText, s.unitCode, s.memoryMegabytes), std::tuple("Inch", 1, 64));
  EXPECT_EQ(s.memoryBudgetBytes(), 64 * 1048576 + 1);
  EXPECT_FALSE(s.memoryWarningNeeded());
  EXPECT_DOUBLE_EQ(s.PlotWidth * 25.4, 340.0);
  EXPECT_DOUBLE_EQ(s.PlotHeight * 25.4, 370.0);
  EXPECT_EQ(s.panelColor, 0x808080u);
  EXPECT_EQ(s.tech, (TechArea{6.35, 0, 0, 0, 0}));
  for (const MarkEntry& m : s.marks) EXPECT_EQ(m, MarkEntry{});
  EXPECT_EQ(std::tuple(s.LayerNames[0], s.LayerNames[17]), std::tuple("Lay_1", "Lay_18"));
  const auto& c = s.LayerColors;
  EXPECT_EQ((std::array{c[0], c[1], c[2], c[3], c[4], c[17]}),
            (std::array<uint32_t, 6>{0xFF0000, 0x0000FF, 0, 0x008000, 0, 0}));
  EXPECT_EQ(test::readFile(file), "[Setup]\nJednotka=Inch\n");
  // A plain read with the same defaults never writes.
  auto other = test::tempDir() / "GerbPrj.ini";
  EXPECT_EQ(readSettings(other).unitText, "Inch");
  EXPECT_FALSE(std::filesystem::exists(other));
}

TEST(SettingsFileTest, ValueRules) {
  // Sirka: 100 mm = 3.94 inch, used as 4.0; Distance and Right (beyond 32
  // bits) keep their defaults.
  JobSettings s = fromText(
      "[setup]\nJEDNOTKA = mm\nMemory=32\nSirka=1000000\nvyska=-5\nColor_Panel=$FF\n"
      "Distance=abc\nLeft=1500\nRight=99999999999\nTop= 250 \nNameM1=" +
      std::string(70, 'n') + "\nPathM1=" + std::string(80, 'p') +
      "\n[LAYERS]\nname2=" + std::string(100, 'L') + "\nColor5=255\nColor2=\n");
  EXPECT_EQ(std::tuple(s.unitText, s.unitCode, s.memoryMegabytes), std::tuple("mm", 0, 32));
  EXPECT_TRUE(s.memoryWarningNeeded());
  EXPECT_EQ(std::tuple(s.PlotWidth, s.PlotHeight), std::tuple(4.0, 4.0));
  EXPECT_EQ(s.panelColor, 0xFFu);
  EXPECT_EQ(s.tech, (TechArea{6.35, 1.5, 0, 0.25, 0}));
  EXPECT_EQ(s.marks[0].name, std::string(64, 'n'));
  EXPECT_EQ(s.marks[0].path, std::string(80, 'p'));   // mark paths are kept whole
  EXPECT_EQ(s.LayerNames[1], std::string(100, 'L'));  // layer names are kept whole
  EXPECT_EQ(s.LayerNames[0], "Lay_1");
  EXPECT_EQ(s.LayerColors[4], 255u);
  EXPECT_EQ(s.LayerColors[1], 0x0000FFu);  // empty value: the layer's own default
  EXPECT_TRUE(s.readNotes.empty());
  // A memory value outside 10..768 MB is clamped and said so.
  for (auto [value, used] : {std::pair{"5", 10}, {"4000", 768}}) {
    JobSettings m = fromText(std::string("[Setup]\nmemory=") + value + "\n");
    EXPECT_EQ(m.memoryMegabytes, used) << value;
    ASSERT_EQ(m.readNotes.size(), 1u) << value;
    EXPECT_NE(m.readNotes[0].find(std::string("of ") + value + " MB is outside 10 to 768 MB: " +
                                  std::to_string(used) + " MB is used"),
              std::string::npos)
        << m.readNotes[0];
  }
  // The unit text is kept to ten characters; only "Inch" is code 1.
  EXPECT_EQ(fromText("[Setup]\nJednotka=inch\n").unitCode, 0);
  EXPECT_EQ(fromText("[Setup]\nJednotka=Inch\n").unitCode, 1);
  EXPECT_EQ(fromText("[Setup]\nJednotka=Centimetres\n").unitText, "Centimetre");
  // The absent-key marker itself reads as "Inch".
  EXPECT_EQ(fromText("[Setup]\nJednotka=Neni\n").unitText, "Inch");
  // Plot area sides at or below four inches become four.
  EXPECT_EQ(fromText("[Setup]\nSirka=0\n").PlotWidth, 4.0);
  EXPECT_EQ(fromText("[Setup]\nSirka=1016000\n").PlotWidth, 4.0);  // exactly 4.0 inch
  EXPECT_DOUBLE_EQ(fromText("[Setup]\nSirka=1016001\n").PlotWidth, 1016001 / 10000.0 / 25.4);
  // The film scale: ppm within 5000; anything else is kept as the error
  // the exports refuse with, the scale nominal and the other keys read.
  const JobSettings scaled = fromText("[Film]\nScaleXppm= 250.5 \nScaleYppm=-5000\n");
  EXPECT_EQ(scaled.filmScale, (FilmScale{250.5, -5000}));
  EXPECT_EQ(filmScaleText(scaled.filmScale), "+250.5/-5000 ppm");
  EXPECT_TRUE(scaled.filmScaleError.empty());
  for (const char* value : {"5001", "abc", "0.1%"}) {
    JobSettings bad = fromText(std::string("[Setup]\nMemory=32\n[Film]\nScaleXppm=") + value +
                               "\nScaleYppm=100\n");
    EXPECT_TRUE(bad.filmScale.nominal()) << value;
    EXPECT_EQ(bad.memoryMegabytes, 32) << value;
    EXPECT_NE(bad.filmScaleError.find(std::string("[Film] ScaleXppm=") + value), std::string::npos)
        << bad.filmScaleError;
    EXPECT_EQ(bad.readNotes.size(), 1u) << value;
  }
}

TEST(SettingsFileTest, UnitDialogReadsTheUnitAfreshWithItsOwnDefault) {
  std::filesystem::path file = test::tempDir() / "unit.ini";
  EXPECT_EQ(readUnitSetting(file), "mm");  // no file: the dialog's default, nothing written
  EXPECT_FALSE(std::filesystem::exists(file));
  test::writeFile(file, "[setup]\njednotka=Inch\n");
  EXPECT_EQ(readUnitSetting(file), "Inch");
  writeUnitSetting(file, "Centimetres");
  EXPECT_EQ(readUnitSetting(file), "Centimetre");
}

TEST(SettingsFileTest, EachDialogWritesItsKeysAndKeepsTheRest) {
  auto file = test::tempDir() / "GerbPrj.ini";
  test::writeFile(file,
                  "; written by hand\r\n[setup]\r\nmemory=16\r\nCustom=keep me\r\n\r\n"
                  "[Other]\r\nx=1\r\n");
  writeMemorySetting(file, 128);
  writePlotAreaSettings(file, 13.3858267716535, 4.0);
  writeTechAreaSettings(file, {0.25 * 25.4, 1.0005, 0, 2, 3});
  writeUnitSetting(file, "mm");
  MarkTable marks;
  marks[0] = {"Target", std::string(200, 'p')};
  writeMarkSettings(file, marks);
  std::array<std::string, kLayerCount> names = JobSettings::defaultLayerNames();
  names[0] = "Top copper";
  std::array<uint32_t, kLayerCount> colors{};
  colors[0] = 0xFF0000;
  writeLayerSettings(file, names, colors);

  std::string text = test::readFile(file);
  EXPECT_EQ(text.rfind("; written by hand\r\n[setup]\r\nMemory=128\r\nCustom=keep me\r\n"
                       "Sirka=3400000\r\nVyska=1016000\r\nDistance=6350\r\nLeft=1000\r\n",
                       0),
            0u)
      << text;
  EXPECT_NE(text.find("Left=1000\r\nRight=0\r\nTop=2000\r\nBottom=3000\r\nJednotka=mm\r\n"
                      "NameM1=Target\r\nPathM1=" +
                      std::string(200, 'p') + "\r\nNameM2=\r\n"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("PathM10=\r\n\r\n[Other]\r\nx=1\r\n[Layers]\r\nColor1=16711680\r\n"
                      "Name1=Top copper\r\nColor2=0\r\nName2=Lay_2\r\n"),
            std::string::npos)
      << text;

  JobSettings s = readSettings(file);
  EXPECT_EQ(std::tuple(s.memoryMegabytes, s.PlotHeight, s.unitText, s.LayerNames[0]),
            std::tuple(128, 4.0, "mm", "Top copper"));
  EXPECT_DOUBLE_EQ(s.PlotWidth * 25.4, 340.0);
  EXPECT_EQ(s.tech, (TechArea{6.35, 1.0, 0, 2, 3}));
  EXPECT_EQ(s.marks[0], marks[0]);  // the mark path whole
  EXPECT_EQ(s.LayerColors[1], 0u);  // written as 0: no longer the default
}

TEST(SettingsFileTest, UnreadableSettingsFileNamesIt) {
  auto dir = test::tempDir() / "GerbPrj.ini";
  std::filesystem::create_directories(dir);  // a folder where the file should be
  test::expectError<IoError>([&] { readSettings(dir); }, "GerbPrj.ini");
}

// Sets or clears an environment variable for one test and restores it after.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    set(value);
  }
  ~ScopedEnv() { set(old_ ? old_->c_str() : nullptr); }
  void set(const char* value) { value ? ::setenv(name_, value, 1) : ::unsetenv(name_); }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

TEST(SettingsFileTest, LocationFollowsTheEnvironment) {
  ScopedEnv settings("DRUMPLOT_SETTINGS", "/x/my.ini");
  ScopedEnv xdg("XDG_CONFIG_HOME", "/cfg");
  ScopedEnv home("HOME", "/home/u");
  EXPECT_EQ(settingsFilePath(), std::filesystem::path("/x/my.ini"));
  // A DRUMPLOT_SETTINGS that names a missing file: the defaults, and a note.
  JobSettings missing = readSettings(settingsFilePath());
  ASSERT_EQ(missing.readNotes.size(), 1u);
  EXPECT_EQ(
      missing.readNotes[0],
      "DRUMPLOT_SETTINGS names /x/my.ini, which does not exist: the default settings are used");
  EXPECT_EQ(missing.memoryMegabytes, 64);
  settings.set(nullptr);
  EXPECT_EQ(settingsFilePath(), std::filesystem::path("/cfg/drumplot/GerbPrj.ini"));
  xdg.set("relative");  // not absolute: ignored
  EXPECT_EQ(settingsFilePath(), std::filesystem::path("/home/u/.config/drumplot/GerbPrj.ini"));
  xdg.set(nullptr);
  home.set(nullptr);
  EXPECT_EQ(settingsFilePath(), std::filesystem::path("GerbPrj.ini"));
}

}  // namespace
}  // namespace drumplot
