// SPDX-License-Identifier: MIT
// Layer roles from X2 file functions and file names, and the layer map of
// the settings file.
#include "job/layer_roles.h"

#include <gtest/gtest.h>

#include <cctype>
#include <string>

#include "engine/errors.h"
#include "support/test_support.h"

namespace drumplot {
namespace {

// "none" for no role; roleName() otherwise.
std::string nameOf(const std::optional<BoardRole>& role) {
  return role ? roleName(*role) : "none";
}

struct NameCase {
  const char* file;
  const char* role;
  RoleSource source;
};

class FileNameRoleTest : public testing::TestWithParam<NameCase> {};

TEST_P(FileNameRoleTest, Role) {
  const NameCase& c = GetParam();
  std::optional<NamedRole> found = roleFromFileName(c.file);
  EXPECT_EQ(nameOf(found ? std::optional(found->Role) : std::nullopt), c.role);
  if (found) {
    EXPECT_EQ(found->Source, c.source) << toString(found->Source);
  }
}

constexpr auto kNone = RoleSource::DrillHeader;  // not looked at for "none"

// clang-format off
INSTANTIATE_TEST_SUITE_P(Conventions, FileNameRoleTest, testing::Values(
    NameCase{"clock-F_Cu.gbr",              "top copper",          RoleSource::KiCadName},
    NameCase{"dir/chibi-B.Mask.gbr",        "bottom solder mask",  RoleSource::KiCadName},
    NameCase{"a-b-In2_Cu.gbr",              "inner copper 2",      RoleSource::KiCadName},
    NameCase{"F_Silkscreen.gbr",            "top silkscreen",      RoleSource::KiCadName},
    NameCase{"x-Edge.Cuts.gm1",             "outline",             RoleSource::KiCadName},
    NameCase{"x-F_Fab.gbr",                 "none",                kNone},
    NameCase{"BOARD.GTL",                   "top copper",          RoleSource::ProtelName},
    NameCase{"board.gbs",                   "bottom solder mask",  RoleSource::ProtelName},
    NameCase{"board.G3",                    "inner copper 3",      RoleSource::ProtelName},
    NameCase{"board.GKO",                   "outline",             RoleSource::ProtelName},
    NameCase{"board.GP1",                   "none",                kNone},  // a plane: stack place unknown
    NameCase{"board.GM2",                   "none",                kNone},  // mechanical 2
    NameCase{"uno.cmp",                     "top copper",          RoleSource::EagleName},
    NameCase{"uno.sts",                     "bottom solder mask",  RoleSource::EagleName},
    NameCase{"uno.ly3",                     "inner copper 2",      RoleSource::EagleName},
    NameCase{"copper_inner_l3.gbr",         "inner copper 2",      RoleSource::EagleName},
    NameCase{"copper_bottom_l4.gbr",        "bottom copper",       RoleSource::EagleName},
    NameCase{"Profile.gbr",                 "outline",             RoleSource::EagleName},
    NameCase{"driver.top.gbr",              "top copper",          RoleSource::GedaName},
    NameCase{"driver.bottommask.gbr",       "bottom solder mask",  RoleSource::GedaName},
    NameCase{"driver.group3.gbr",           "none",                kNone},  // side unknown
    NameCase{"rs232.smt",                   "top solder mask",     RoleSource::OrcadName},
    NameCase{"rs232.ssb",                   "bottom silkscreen",   RoleSource::OrcadName},
    NameCase{"LAYER_2.art",                 "none",                kNone},
    NameCase{"Top.pho",                     "none",                kNone},
    NameCase{"README",                      "none",                kNone}),
    [](const testing::TestParamInfo<NameCase>& info) {
      std::string name = info.param.file;
      for (char& c : name) if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
      return name;
    });
// clang-format on

TEST(FileFunctionRoleTest, Roles) {
  auto role = [](const char* value) {
    std::optional<FileFunctionRole> f = roleFromFileFunction(value);
    return f ? nameOf(f->Role) : "no function";
  };
  EXPECT_EQ(role("Copper,L1,Top"), "top copper");
  EXPECT_EQ(role("Copper,L1,Top,Mixed"), "top copper");
  EXPECT_EQ(role("Copper,L4,Inr,Plane"), "inner copper 3");
  EXPECT_EQ(role("Copper,L6,Bot"), "bottom copper");
  EXPECT_EQ(role("Soldermask,Bot"), "bottom solder mask");
  EXPECT_EQ(role("Soldermask,Top,1"), "top solder mask");
  EXPECT_EQ(role("Soldermask,Top,2"), "none");  // a second mask has no layer of its own
  EXPECT_EQ(role("Legend,Bot"), "bottom silkscreen");
  EXPECT_EQ(role("Paste,Top"), "top paste");
  EXPECT_EQ(role("Profile,NP"), "outline");
  EXPECT_EQ(role("Plated,1,2,PTH"), "none");  // drill data drawn as Gerber
  EXPECT_EQ(role("AssemblyDrawing,Top"), "none");
  EXPECT_EQ(role(""), "no function");
}

TEST(LayerMapTest, DefaultsReadWriteAndRefusals) {
  const LayerMap defaults = LayerMap::defaults();
  std::string keys;
  for (size_t i = 0; i < LayerMap::kRoleCount; ++i) {
    const BoardRole r = LayerMap::roleAt(i);
    keys += LayerMap::keyOf(r) + "=" + std::to_string(defaults.layerOf(r)) + " ";
  }
  EXPECT_EQ(keys,
            "TopCopper=1 BottomCopper=2 InnerCopper1=3 InnerCopper2=4 InnerCopper3=5 "
            "InnerCopper4=6 InnerCopper5=7 InnerCopper6=8 InnerCopper7=9 InnerCopper8=10 "
            "InnerCopper9=0 InnerCopper10=0 InnerCopper11=0 InnerCopper12=0 InnerCopper13=0 "
            "InnerCopper14=0 InnerCopper15=0 InnerCopper16=0 TopMask=11 BottomMask=12 TopSilk=13 "
            "BottomSilk=14 TopPaste=15 BottomPaste=16 Outline=17 Drill=18 ");

  // Keys are read without regard to case; absent keys keep their defaults.
  LayerMap read = readLayerMap(
      IniDocument::parse("[boardlayers]\ntopmask=3\nInnerCopper1=0\nDrill = 0\n"), "s.ini");
  EXPECT_EQ(read.layerOf({LayerRole::TopMask, 0}), 3);
  EXPECT_EQ(read.layerOf({LayerRole::InnerCopper, 1}), 0);
  EXPECT_EQ(read.layerOf({LayerRole::Drill, 0}), 0);
  EXPECT_EQ(read.layerOf({LayerRole::Outline, 0}), 17);
  EXPECT_EQ(read.layerOf({LayerRole::InnerCopper, 17}), 0);  // beyond the map

  for (const char* bad : {"TopMask=19", "TopMask=x", "TopMask=-1", "TopMask=3"}) {
    try {
      readLayerMap(IniDocument::parse(std::string("[BoardLayers]\n") + bad + "\n"), "s.ini");
      ADD_FAILURE() << bad << " read";
    } catch (const FormatError& e) {
      EXPECT_NE(std::string(e.what()).find("s.ini: [BoardLayers] "), std::string::npos) << e.what();
    }
  }

  // The window writes the defaults into a settings file that has none, and
  // leaves a file that has the section as it is.
  const auto file = test::tempDir() / "GerbPrj.ini";
  test::writeFile(file, "[Setup]\nJednotka=mm\n");
  EXPECT_EQ(loadLayerMap(file), defaults);
  EXPECT_NE(test::readFile(file).find("[BoardLayers]\nTopCopper=1\n"), std::string::npos);
  test::writeFile(file, "[BoardLayers]\nOutline=0\n");
  EXPECT_EQ(loadLayerMap(file).layerOf({LayerRole::Outline, 0}), 0);
  EXPECT_EQ(test::readFile(file), "[BoardLayers]\nOutline=0\n");
}

}  // namespace
}  // namespace drumplot
