// SPDX-License-Identifier: MIT
// Layer roles from X2 file functions and file names, and the layer map of
// the settings file.
#include "job/layer_roles.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <utility>

#include "engine/errors.h"
#include "support/test_support.h"

namespace drumplot {
namespace {

// "none" for no role; roleName() otherwise.
std::string nameOf(const std::optional<BoardRole>& role) {
  return role ? roleName(*role) : "none";
}

TEST(FileNameRoleTest, Conventions) {
  constexpr auto kNone = RoleSource::DrillHeader;  // not looked at for "none"
  const struct {
    const char* file;
    const char* role;
    RoleSource source;
  } cases[] = {
      // clang-format off
      {"clock-F_Cu.gbr",            "top copper",         RoleSource::KiCadName},
      {"dir/chibi-B.Mask.gbr",      "bottom solder mask", RoleSource::KiCadName},
      {"a-b-In2_Cu.gbr",            "inner copper 2",     RoleSource::KiCadName},
      {"F_Silkscreen.gbr",          "top silkscreen",     RoleSource::KiCadName},
      {"x-Edge.Cuts.gm1",           "outline",            RoleSource::KiCadName},
      {"x-F_Fab.gbr",               "none",               kNone},
      {"BOARD.GTL",                 "top copper",         RoleSource::ProtelName},
      {"board.gbs",                 "bottom solder mask", RoleSource::ProtelName},
      {"board.G3",                  "inner copper 3",     RoleSource::ProtelName},
      {"board.GKO",                 "outline",            RoleSource::ProtelName},
      {"board.GP1",                 "none",               kNone},  // a plane: stack place unknown
      {"board.GM1",                 "none",               kNone},  // mechanical: X2 Profile tells
      {"board.gm16",                "none",               kNone},
      {"board.GL2",                 "none",               kNone},  // counted two ways
      {"board.GML",                 "outline",            RoleSource::EagleName},
      {"core.MIL",                  "outline",            RoleSource::EagleName},
      {"Gerber_TopLayer.GTL",       "top copper",         RoleSource::EasyEdaName},
      {"Gerber_InnerLayer2.G2",     "inner copper 2",     RoleSource::EasyEdaName},
      {"Gerber_BoardOutlineLayer.GKO", "outline",         RoleSource::EasyEdaName},
      {"Gerber_TopSilkscreenLayer.GTO", "top silkscreen", RoleSource::EasyEdaName},
      {"p - CADCAM Top Copper.TXT", "top copper",         RoleSource::ProteusName},
      {"p - CADCAM Inner  3.TXT",   "inner copper 3",     RoleSource::ProteusName},
      {"p - CADCAM Bottom Solder Resist.GBR", "bottom solder mask", RoleSource::ProteusName},
      {"p - CADCAM Mechanical 1.TXT", "none",             kNone},
      {"d - Top Copper (Resist).gbr", "top solder mask",  RoleSource::PulsonixName},
      {"d - Bottom Silkscreen.gbr", "bottom silkscreen",  RoleSource::PulsonixName},
      {"kb_BottomMask.gbr",         "bottom solder mask", RoleSource::DipTraceName},
      {"kb_BoardOutline.gbr",       "outline",            RoleSource::DipTraceName},
      {"x.PosiTop",                 "top silkscreen",     RoleSource::TargetName},
      {"EtchLayerTop.gdo",          "top copper",         RoleSource::MentorName},
      {"b.topsoldermask.ger",       "top solder mask",    RoleSource::EagleName},
      {"b.internalplane2.ger",      "inner copper 2",     RoleSource::EagleName},
      {"x-Inner1.Cu.gbr",           "inner copper 1",     RoleSource::KiCadName},
      {"x-job.gbrjob",              "none",               kNone},
      {"board.ly16",                "none",               kNone},  // route 16 is the bottom
      {"rs232.IN2",                 "inner copper 2",     RoleSource::OrcadName},
      {"uno.cmp",                   "top copper",         RoleSource::EagleName},
      {"uno.sts",                   "bottom solder mask", RoleSource::EagleName},
      {"uno.ly3",                   "inner copper 2",     RoleSource::EagleName},
      {"copper_inner_l3.gbr",       "inner copper 2",     RoleSource::EagleName},
      {"copper_bottom_l4.gbr",      "bottom copper",      RoleSource::EagleName},
      {"Profile.gbr",               "outline",            RoleSource::EagleName},
      {"driver.top.gbr",            "top copper",         RoleSource::GedaName},
      {"driver.bottommask.gbr",     "bottom solder mask", RoleSource::GedaName},
      {"driver.group3.gbr",         "none",               kNone},  // side unknown
      {"rs232.smt",                 "top solder mask",    RoleSource::OrcadName},
      {"rs232.ssb",                 "bottom silkscreen",  RoleSource::OrcadName},
      {"LAYER_2.art",               "none",               kNone},
      {"Top.pho",                   "none",               kNone},
      {"README",                    "none",               kNone},
      // clang-format on
  };
  for (const auto& c : cases) {
    std::optional<NamedRole> found = roleFromFileName(c.file);
    EXPECT_EQ(nameOf(found ? std::optional(found->role) : std::nullopt), c.role) << c.file;
    if (found) {
      EXPECT_EQ(found->source, c.source) << c.file << ": " << toString(found->source);
    }
  }
}

TEST(FileFunctionRoleTest, Roles) {
  auto role = [](const char* value) {
    std::optional<FileFunctionRole> f = roleFromFileFunction(value);
    return f ? nameOf(f->role) : "no function";
  };
  // clang-format off
  const std::pair<const char*, const char*> cases[] = {
      {"Copper,L1,Top", "top copper"},         {"Copper,L1,Top,Mixed", "top copper"},
      {"Copper,L4,Inr,Plane", "inner copper 3"}, {"Copper,L6,Bot", "bottom copper"},
      {"Soldermask,Bot", "bottom solder mask"}, {"Soldermask,Top,1", "top solder mask"},
      {"Soldermask,Top,2", "none"},  // a second mask has no layer of its own
      {"Legend,Bot", "bottom silkscreen"},      {"Paste,Top", "top paste"},
      {"Profile,NP", "outline"},                {"AssemblyDrawing,Top", "none"},
      {"Plated,1,2,PTH", "none"},  // drill data drawn as Gerber
      {"", "no function"}};
  // clang-format on
  for (const auto& [value, expected] : cases) EXPECT_EQ(role(value), expected) << value;
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
    const IniDocument ini = IniDocument::parse(std::string("[BoardLayers]\n") + bad + "\n");
    SCOPED_TRACE(bad);
    test::expectError<FormatError>([&] { readLayerMap(ini, "s.ini"); }, "s.ini: [BoardLayers] ");
  }

  // [LayerMap] lines name files' roles, in file order; a role that is none
  // of ours is refused with the list of them.
  read = readLayerMap(IniDocument::parse("[LayerMap]\n*.GM1 = outline\nx.g? = inner copper 3\n"
                                         "; a comment\nb.gko=None\n"),
                      "s.ini");
  ASSERT_EQ(read.patterns.size(), 3u);
  EXPECT_EQ(read.patternFor("dir/B.gm1")->role, BoardRole({LayerRole::Outline, 0}));
  EXPECT_EQ(read.patternFor("x.G2")->role, BoardRole({LayerRole::InnerCopper, 3}));
  EXPECT_EQ(read.patternFor("b.gko")->role, std::nullopt);
  EXPECT_EQ(read.patternFor("b.gm2"), nullptr);
  test::expectError<FormatError>(
      [] { readLayerMap(IniDocument::parse("[LayerMap]\n*.gm1=Outlines\n"), "s.ini"); },
      "s.ini: [LayerMap] *.gm1=Outlines: no role \"Outlines\" (the roles: TopCopper, "
      "BottomCopper, InnerCopper1..InnerCopper16, TopMask,");
  EXPECT_THROW(parseNamePattern(" ", "Outline"), std::invalid_argument);

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
