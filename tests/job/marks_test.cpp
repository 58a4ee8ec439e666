// SPDX-License-Identifier: MIT
// Marks: the names offered, mark files too short or missing, and the board a
// mark becomes.
#include "job/marks.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "engine/errors.h"
#include "job/settings_file.h"
#include "support/test_support.h"

namespace drumplot {
namespace {

TEST(MarkChoicesTest, ListStopsAtTheFirstEmptyOrSpaceLedName) {
  MarkTable marks;
  marks[0].name = "Cross";
  marks[1].name = "Target";
  marks[3].name = "Hidden";
  EXPECT_EQ(markChoices(marks), (std::vector<std::string>{"Cross", "Target"}));
  marks[1].name = " Target";
  EXPECT_EQ(markChoices(marks), (std::vector<std::string>{"Cross"}));
  marks[0].name = "";
  EXPECT_TRUE(markChoices(marks).empty());
  for (int i = 0; i < kMarkCount; ++i) marks[i].name = "M" + std::to_string(i + 1);
  EXPECT_EQ(markChoices(marks).size(), 10u);
}

class InsertMarkTest : public testing::Test {
 protected:
  void SetUp() override {
    dir_ = test::tempDir();
    job_.JobName = (dir_ / "job.wpr").string();
    job_.settings.marks[0] = {"Ten", "ten.gbr"};
    job_.settings.marks[1] = {"Nine", "nine.gbr"};
    job_.settings.marks[2] = {"Missing", "missing.gbr"};
    job_.settings.marks[3] = {"Short", "x"};
    test::writeFile(dir_ / "ten.gbr", "X10Y10D03*");  // exactly 10 bytes
    test::writeFile(dir_ / "nine.gbr", "X1Y10D03*");  // 9 bytes
    test::writeFile(dir_ / "x", "X1000Y1000D03*X2000Y2000D03*");
  }
  std::filesystem::path dir_;
  Job job_;
};

TEST_F(InsertMarkTest, UnusableFilesInsertNothingAndAMarkBoardDrawsOnEveryLayer) {
  // 9 bytes, missing, a path under 2 characters; then rows not offered.
  for (int i : {1, 2, 3}) EXPECT_EQ(insertMark(job_, i), MarkInsertResult::FileUnusable) << i;
  for (int i : {-1, 4}) EXPECT_EQ(insertMark(job_, i), MarkInsertResult::NotOffered) << i;
  EXPECT_TRUE(job_.boards.empty());
  EXPECT_FALSE(job_.BoardSelectedOnce);
  Job empty;
  EXPECT_EQ(insertMark(empty, 0), MarkInsertResult::NoMarkDefined);

  // A usable mark becomes a board that draws it on every layer.
  job_.boards.resize(1);
  job_.boards[0].Selected = true;
  job_.boards[0].LayerAperture[0] = "kept.Env";
  job_.settings.PlotWidth = 8.0;
  job_.settings.PlotHeight = 9.0;
  size_t index = 99;
  ASSERT_EQ(insertMark(job_, 0, &index), MarkInsertResult::Inserted);
  ASSERT_EQ(index, 1u);
  const Board& mark = job_.boards[1];
  EXPECT_EQ(std::tuple(job_.boards[0].Selected, mark.Selected, job_.BoardSelectedOnce),
            std::tuple(false, true, true));
  EXPECT_EQ(std::tuple(mark.IsMark, mark.MarkName, mark.caption),
            std::tuple(true, "Ten", "ten.gbr"));
  EXPECT_EQ(std::tuple(mark.PosX, mark.PosY), std::tuple(8.0, 9.0));
  EXPECT_GE(mark.screen.Width, 5);
  EXPECT_EQ(mark.screen.top, 1);
  for (int n = 0; n < kLayerCount; ++n) {
    EXPECT_EQ(mark.LayerGerber[n], "ten.gbr");
    EXPECT_EQ(mark.LayerAperture[n], "");
    EXPECT_EQ(job_.panel.gerber[n], "ten.gbr");
    EXPECT_EQ(job_.panel.aperture[n], "");
  }
}

TEST_F(InsertMarkTest, LongMarkPathSurvivesTheSettingsFileAndIsInsertedWhole) {
  // A mark file whose path is exactly `length` characters.
  auto markFile = [&](size_t length) {
    std::filesystem::path folder = dir_ / std::string(100, 'd');
    const size_t rest = length - folder.string().size() - std::string("/.gbr").size();
    std::filesystem::path file = folder / (std::string(rest, 'm') + ".gbr");
    std::filesystem::create_directories(folder);
    test::writeFile(file, "X250Y500D02*X750Y1000D01*M02*");
    return file.string();
  };
  MarkTable marks;
  marks[0] = {"Long", markFile(200)};
  marks[1] = {"Too long", markFile(251)};
  std::filesystem::path settings = dir_ / "GerbPrj.ini";
  writeMarkSettings(settings, marks);
  job_.settings = readSettings(settings);
  EXPECT_EQ(job_.settings.marks, marks);

  size_t index = 0;
  ASSERT_EQ(insertMark(job_, 0, &index), MarkInsertResult::Inserted);
  EXPECT_EQ(job_.boards[index].LayerGerber[17], marks[0].path);
  EXPECT_DOUBLE_EQ(job_.boards[index].DataWidth, 0.5);
  // A path longer than a job file holds is refused, never cut.
  EXPECT_THROW(insertMark(job_, 1), FormatError);
  EXPECT_EQ(job_.boards.size(), 1u);
}

}  // namespace
}  // namespace drumplot
