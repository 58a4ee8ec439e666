// SPDX-License-Identifier: MIT
// Panel templates: a full template read and written back the same, and
// every refusal naming the file and line.
#include "job/panel_template.h"

#include <gtest/gtest.h>

#include <string>

#include "engine/errors.h"
#include "support/test_support.h"

namespace drumplot {
namespace {

constexpr const char* kFull =
    "; a shop's panel\n"
    "[Panel]\nFirst=0.5,0.25\nGrid=3x2\nGap=4,6.5\n"
    "[mark2]\nfile=marks/ring.gbr\nCorner=right-bottom\nOffset=5,-2.5\n"
    "[Mark1]\nFile=/abs/cross.gbr\n"
    "[TechArea]\nUse=yes\nLeft=8\nDistance=5\n"
    "[Film]\nLayers=2,1,2\nFormat=FPF\nDpi=1016\nNegative=on\nScaleXppm=-150\n"
    "[Layer2]\nMirror=on\nFormat=tif\n"
    "[Drill]\nNonPlated=off\nOffset=0.01,-0.02\n";

TEST(PanelTemplateTest, ReadsEveryKeyAndWritesItBackTheSame) {
  const PanelTemplate t = parsePanelTemplate(kFull, "t.ini");
  EXPECT_EQ(t.firstAt, (std::pair(0.5, 0.25)));
  EXPECT_EQ(std::tuple(t.fit, t.columns, t.rows, t.gapX_mm, t.gapY_mm),
            std::tuple(false, 3, 2, 4.0, 6.5));
  ASSERT_EQ(t.marks.size(), 2u);  // by their numbers
  EXPECT_EQ(t.marks[0], (TemplateMark{"/abs/cross.gbr", PanelCorner::LeftTop, 0, 0}));
  EXPECT_EQ(t.marks[1], (TemplateMark{"marks/ring.gbr", PanelCorner::RightBottom, 5, -2.5}));
  EXPECT_TRUE(t.techAreaOn);
  EXPECT_EQ(t.techArea_mm[1], 8.0);
  EXPECT_FALSE(t.techArea_mm[2].has_value());  // the settings' Right
  EXPECT_EQ(t.layers, (std::vector{1, 2}));
  EXPECT_EQ(t.filmOf(1), (TemplateFilm{"fpf", 1016, false, true}));
  EXPECT_EQ(t.filmOf(2), (TemplateFilm{"tiff", 1016, true, true}));  // over [Film]'s
  EXPECT_EQ(std::tuple(t.filmScaleX_ppm, t.filmScaleY_ppm.has_value()), std::tuple(-150.0, false));
  EXPECT_EQ(std::tuple(t.platedDrill, t.nonPlatedDrill), std::tuple(true, false));

  JobSettings s;
  s.tech.right_mm = 3;
  s.filmScale.yPpm = 20;
  applyPanelTemplate(t, s);
  EXPECT_EQ(s.tech, (TechArea{5, 8, 3, 0, 0}));
  EXPECT_EQ(s.filmScale, (FilmScale{-150, 20}));

  const auto file = test::tempDir() / "t.ini";
  writePanelTemplate(file, t);
  EXPECT_EQ(readPanelTemplate(file), t);
  const PanelTemplate defaults = parsePanelTemplate("", "empty.ini");
  EXPECT_EQ(parsePanelTemplate(panelTemplateText(defaults), "t.ini"), defaults);
  EXPECT_FALSE(defaults.firstAt.has_value());
}

struct Refusal {
  const char* text;
  const char* message;
};

class PanelTemplateRefusalTest : public testing::TestWithParam<Refusal> {};

TEST_P(PanelTemplateRefusalTest, NamesFileLineAndKey) {
  test::expectError<FormatError>([] { parsePanelTemplate(GetParam().text, "t.ini"); },
                                 GetParam().message);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Lines, PanelTemplateRefusalTest, testing::Values(
    Refusal{"Grid=2x2\n",                          "t.ini:1: Grid: a key before the first [Section]"},
    Refusal{"[Panel]\n\n[Pannel]\n",               "t.ini:3: [Pannel]: no such section"},
    Refusal{"[Mark11]\nFile=a\n",                  "t.ini:1: [Mark11]: no such section"},
    Refusal{"[Layer0]\n",                          "t.ini:1: [Layer0]: no such section"},
    Refusal{"[Panel]\nGrid 2x2\n",                 "t.ini:2: 'Grid 2x2' is no [Section]"},
    Refusal{"[Panel]\nColumns=2\n",                "t.ini:2: Columns: no such key in [Panel]"},
    Refusal{"[Panel]\nGrid=2x2\n; c\ngrid=3x3\n",  "t.ini:4: grid: given twice in [Panel] (first on line 2)"},
    Refusal{"[Panel]\nGrid=0x2\n",                 "t.ini:2: Grid=0x2: expected fit or COLSxROWS"},
    Refusal{"[Panel]\nFirst=free\n",               "t.ini:2: First=free: expected first-free or X,Y"},
    Refusal{"[Panel]\nGap=-1,5\n",                 "t.ini:2: Gap=-1,5: expected DX,DY in millimetres"},
    Refusal{"[Mark1]\nCorner=top\n",               "t.ini:2: Corner=top: expected left-top"},
    Refusal{"[Mark1]\nCorner=left-top\n",          "t.ini:1: [Mark1] names no File"},
    Refusal{"[TechArea]\nUse=maybe\n",             "t.ini:2: Use=maybe: expected on or off"},
    Refusal{"[TechArea]\nLeft=8mm\n",              "t.ini:2: Left=8mm: expected millimetres"},
    Refusal{"[Film]\nDpi=99\n",                    "t.ini:2: Dpi=99: expected a whole number of dots per inch"},
    Refusal{"[Film]\nFormat=png\n",                "t.ini:2: Format=png: expected fpf, tiff or bmp"},
    Refusal{"[Film]\nLayers=1,19\n",               "t.ini:2: Layers=1,19: expected all, or layer numbers"},
    Refusal{"[Film]\nScaleYppm=6000\n",            "t.ini:2: ScaleYppm=6000: expected parts per million"},
    Refusal{"[Layer3]\nLayers=1\n",                "t.ini:2: Layers: no such key in [Layer3]"},
    Refusal{"[Drill]\nOffset=0\n",                 "t.ini:2: Offset=0: expected DX,DY in inches"}));
// clang-format on

}  // namespace
}  // namespace drumplot
