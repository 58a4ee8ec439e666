// SPDX-License-Identifier: MIT
// A board imported from a hand-made folder and from a zip of it: roles by
// X2 attribute before name, drill files by their header, what is left out
// and why, the board it makes, and the zip's refusals.
#include "job/board_import.h"

#include <gtest/gtest.h>
#include <zip.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "engine/errors.h"
#include "job/board_archive.h"
#include "support/test_support.h"

namespace drumplot {
namespace {

namespace fs = std::filesystem;

// A Gerber layer drawing a 2 x 1 inch rectangle from (1, 1), with an X2
// file function when one is given.
std::string gerber(const std::string& function = "") {
  std::string x2 = function.empty() ? "" : "%TF.FileFunction," + function + "*%\n";
  return x2 +
         "%FSLAX24Y24*%%MOIN*%%ADD10C,0.010*%\nD10*X10000Y10000D02*X30000Y10000D01*"
         "X30000Y20000D01*X10000Y20000D01*X10000Y10000D01*M02*\n";
}

// The plan with the default format and layer map.
BoardImportPlan planOf(const fs::path& source, const fs::path& unpackTo = {}) {
  return planBoardImport(source, DataFormat{}, LayerMap::defaults(), unpackTo);
}

const auto kPathText = [](const fs::path& f) { return f.string(); };

const std::string kDrill = "M48\nINCH\nT1C0.030\n%\nT1\nX015000Y015000\nM30\n";

using Files = std::vector<std::pair<std::string, std::string>>;

fs::path folderWith(const Files& files) {
  fs::path dir = test::tempDir() / "board";
  for (const auto& [name, bytes] : files) {
    fs::create_directories((dir / name).parent_path());
    test::writeFile(dir / name, bytes);
  }
  return dir;
}

void writeZip(const fs::path& zip, const Files& files) {
  int error = 0;
  zip_t* archive = zip_open(zip.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
  ASSERT_NE(archive, nullptr);
  for (const auto& [name, bytes] : files) {
    zip_source_t* source = zip_source_buffer(archive, bytes.data(), bytes.size(), 0);
    ASSERT_GE(zip_file_add(archive, name.c_str(), source, ZIP_FL_ENC_UTF_8), 0) << name;
  }
  ASSERT_EQ(zip_close(archive), 0);
}

const Files kBoard = {
    {"b-F_Cu.gbr", gerber("Copper,L1,Top")},
    {"b-B_Cu.gbr", gerber()},             // by its KiCad name
    {"b.gtl", gerber("Soldermask,Bot")},  // the X2 attribute wins over the name
    {"gerbers/b.GKO", gerber()},          // a subfolder; sizes the board
    {"b-In2_Cu.gbr", gerber("Copper,L3,Inr")},
    {"b-In9_Cu.gbr", gerber()},  // inner copper 9: no layer by default
    {"assembly.gbr", gerber("AssemblyDrawing,Top")},
    {"b-PTH.drl", kDrill},
    {"b-NPTH.drl", kDrill},
    {"README.txt", "Gerber files of board b\n"},
};

TEST(BoardImportTest, FolderRolesLayersAndBoard) {
  const fs::path dir = folderWith(kBoard);
  BoardImportPlan plan = planOf(dir);
  // Each file with its role and layer, or why it is not placed.
  EXPECT_EQ(
      importTable(plan),
      "File           Role                Layer\n"
      "b-B_Cu.gbr     bottom copper       2      KiCad name\n"
      "b-F_Cu.gbr     top copper          1      X2 file function Copper,L1,Top\n"
      "b-In2_Cu.gbr   inner copper 2      4      X2 file function Copper,L3,Inr\n"
      "b-PTH.drl      drill               18     Excellon M48 header\n"
      "b.gtl          bottom solder mask  12     X2 file function Soldermask,Bot\n"
      "gerbers/b.GKO  outline             17     Protel extension; sizes the board\n"
      "README.txt     -                   -      not placed: neither Gerber data nor a drill "
      "file with an M48 header\n"
      "assembly.gbr   -                   -      not placed: X2 file function "
      "AssemblyDrawing,Top has no layer role\n"
      "b-In9_Cu.gbr   inner copper 9      -      not placed: the layer map gives inner copper 9 "
      "no layer ([BoardLayers] InnerCopper9)\n"
      "b-NPTH.drl     drill               -      not placed: the board keeps one drill file, the "
      "one for plated-through holes: b-PTH.drl\n");

  Job job;
  job.boards.resize(1);  // a board already there stays first and unselected
  job.boards[0].Selected = true;
  const size_t index = addImportedBoard(job, plan, kPathText);
  ASSERT_EQ(index, 1u);
  const Board& b = job.boards[1];
  EXPECT_TRUE(b.Selected);
  EXPECT_FALSE(job.boards[0].Selected);
  EXPECT_EQ(b.caption, (dir / "gerbers/b.GKO").string());
  EXPECT_EQ(b.LayerGerber[0], (dir / "b-F_Cu.gbr").string());
  EXPECT_EQ(b.LayerGerber[17], (dir / "b-PTH.drl").string());
  EXPECT_TRUE(b.LayerGerber[2].empty());
  EXPECT_DOUBLE_EQ(b.DataWidth, 2.0);
  EXPECT_DOUBLE_EQ(b.DataHeight, 1.0);
  EXPECT_DOUBLE_EQ(b.DataMinX, 1.0);
  EXPECT_DOUBLE_EQ(b.PosX, job.settings.PlotWidth);
  EXPECT_EQ(job.panel.gerber, b.LayerGerber);
  // Panelize drill offers the drill file the board remembers.
  EXPECT_EQ(offeredDrillFile(job), (dir / "b-PTH.drl").string());

  // Files of two boards in one folder: nothing is added.
  test::writeFile(dir / "c-F_Cu.gbr", gerber());
  plan = planOf(dir);
  EXPECT_EQ(importProblem(plan),
            dir.string() +
                ": files of more than one board? top copper: b-F_Cu.gbr, c-F_Cu.gbr: "
                "nothing imported; import one board's files at a time");
  EXPECT_THROW(addImportedBoard(job, plan, kPathText), FormatError);
  EXPECT_EQ(job.boards.size(), 2u);
}

TEST(BoardImportTest, DrillFileKept) {
  auto kept = [](const Files& drills) {
    Files files = drills;
    files.emplace_back("x-F_Cu.gbr", gerber());
    BoardImportPlan plan = planOf(folderWith(files));
    return plan.layers[17].empty() ? std::string("none")
                                   : fs::path(plan.layers[17]).filename().string();
  };
  const std::string plated = "M48\n;TYPE=PLATED\nINCH\n%\nM30\n";
  const std::string x2Unplated = "M48\n; #@! TF.FileFunction,NonPlated,1,2,NPTH\n%\nM30\n";
  EXPECT_EQ(kept({{"x.drl", kDrill}}), "x.drl");
  EXPECT_EQ(kept({{"x.drl", kDrill}, {"x-NPTH.drl", kDrill}}), "x.drl");
  EXPECT_EQ(kept({{"a.txt", plated}, {"b.txt", kDrill}}), "a.txt");
  EXPECT_EQ(kept({{"a.txt", x2Unplated}, {"b.txt", kDrill}}), "b.txt");
  EXPECT_EQ(kept({{"ThruHolePlated.ncd", kDrill}, {"ThruHoleNonPlated.ncd", kDrill}}),
            "ThruHolePlated.ncd");
  EXPECT_EQ(kept({{"a.drl", kDrill}, {"b.drl", kDrill}}), "none");
  EXPECT_EQ(kept({{"a.txt", plated}, {"b.txt", plated}}), "none");
  // An Excellon file without M48 is not taken for a drill file.
  EXPECT_EQ(kept({{"x.drl", "T1C0.030\nX015000Y015000\nM30\n"}}), "none");
}

TEST(BoardImportTest, ZipUnpackedBesideItAndItsRefusals) {
  const fs::path dir = test::tempDir();
  const fs::path zip = dir / "board.zip";
  writeZip(zip, kBoard);
  EXPECT_TRUE(isZipFile(zip));
  BoardImportPlan plan = planOf(zip);
  EXPECT_EQ(plan.folder, dir / "board");
  EXPECT_EQ(plan.layers[16], (dir / "board/gerbers/b.GKO").string());
  EXPECT_EQ(test::readFile(dir / "board/b-F_Cu.gbr"), gerber("Copper,L1,Top"));
  EXPECT_EQ(plan.placedCount(), 6u);

  // Again: the files there are the zip's, so they serve.
  EXPECT_EQ(planOf(zip).placedCount(), 6u);
  // A file changed since: refused before anything is written.
  test::writeFile(dir / "board/b-B_Cu.gbr", "changed");
  fs::remove(dir / "board/b-F_Cu.gbr");
  EXPECT_THROW(planOf(zip), IoError);
  EXPECT_FALSE(fs::exists(dir / "board/b-F_Cu.gbr"));
  // Elsewhere, when asked.
  EXPECT_EQ(planOf(zip, dir / "other").placedCount(), 6u);

  // Names that would leave the folder, and what is neither zip nor folder.
  for (const char* name : {"../evil.gbr", "a/../../evil.gbr", "/etc/evil.gbr", "c:evil.gbr"}) {
    writeZip(dir / "evil.zip", {{name, "x"}});
    EXPECT_THROW(planOf(dir / "evil.zip"), FormatError) << name;
  }
  EXPECT_FALSE(fs::exists(dir / "evil.gbr"));
  EXPECT_THROW(planOf(dir / "board/README.txt"), IoError);
}

}  // namespace
}  // namespace drumplot
