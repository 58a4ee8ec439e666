// SPDX-License-Identifier: MIT
// drumplot-cli plot: boards of several CAD programs to a folder of films by a
// template, the same bytes on a second run, nothing left by a failing run,
// and job template reproducing a job's panel.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "cli/command_registry.h"
#include "engine/errors.h"
#include "job/job_file.h"
#include "support/board_zip.h"
#include "support/cli_runner.h"
#include "support/test_support.h"

namespace drumplot {
namespace {

namespace fs = std::filesystem;

const fs::path kExample = fs::path(DRUMPLOT_SOURCE_DIR) / "examples";
const std::string kMark = (kExample / "demo" / "demo-mark.gbr").string();

std::string plot(const fs::path& board, const fs::path& tmpl, const fs::path& out,
                 const fs::path& settings, bool force = false) {
  std::vector<std::string> args = {
      "plot",       board.string(), "--template",      tmpl.string(), "--out",
      out.string(), "--settings",   settings.string(), "--threads",   "2"};
  if (force) args.push_back("--force");
  return test::runCommand(cli::addPlotCommand, args);
}

// Every file below a folder by its name there, report.txt without its times.
std::map<std::string, std::string> folderBytes(const fs::path& folder) {
  std::map<std::string, std::string> files;
  for (const auto& entry : fs::recursive_directory_iterator(folder)) {
    if (!entry.is_regular_file()) continue;
    std::string bytes = test::readFile(entry.path());
    if (entry.path().filename() == "report.txt") bytes.erase(bytes.find("\nTimes:"));
    files[entry.path().lexically_relative(folder).generic_string()] = bytes;
  }
  return files;
}

struct PlotCase {
  const char* name;
  const char* folder;  // below the corpus; empty: the bundled example
  bool zip;            // the folder's files handed over as a zip
  std::string templateText;
  const char* settingsText;
  size_t films;
  std::vector<std::string> drills;  // the drill files written
};

class PlotBoardTest : public testing::TestWithParam<PlotCase> {};

TEST_P(PlotBoardTest, ReportNamesEveryFileAndASecondRunWritesTheSameBytes) {
  const PlotCase& c = GetParam();
  fs::path source = kExample / "particle-core";
  if (*c.folder) {
    if (test::corpusDir().empty()) GTEST_SKIP() << "no corpus";
    source = test::corpusDir() / c.folder;
  }
  const fs::path dir = test::tempDir();
  std::vector<std::string> inputs;
  for (const auto& entry : fs::directory_iterator(source))
    inputs.push_back(entry.path().filename().string());
  if (c.zip) {
    test::ZipFiles files;
    for (const std::string& name : inputs) files.emplace_back(name, test::readFile(source / name));
    source = dir / (std::string(c.name) + ".zip");
    test::writeZip(source, files);
  }
  const std::string board = c.zip ? c.name : source.filename().string();
  test::writeFile(dir / "t.ini", c.templateText);
  test::writeFile(dir / "GerbPrj.ini", c.settingsText);
  const fs::path out = dir / "films";
  plot(source, dir / "t.ini", out, dir / "GerbPrj.ini");

  const std::map<std::string, std::string> first = folderBytes(out);
  const std::string& json = first.at("report.json");
  for (const std::string& name : inputs)
    EXPECT_NE(json.find("\"" + name + "\""), std::string::npos) << name;
  size_t films = 0;
  std::vector<std::string> drills;
  for (const auto& [name, bytes] : first) {
    if (name.starts_with("report.") || name.starts_with(board + "-files/")) continue;
    EXPECT_NE(json.find("\"" + name + "\""), std::string::npos) << name << " is not in the report";
    if (name.ends_with(".tif") || name.ends_with(".fpf") || name.ends_with(".bmp")) ++films;
    if (name.ends_with(".drl")) drills.push_back(name);
  }
  EXPECT_EQ(films, c.films);
  std::vector<std::string> expected;
  for (const std::string& d : c.drills) expected.push_back(board + d);
  EXPECT_EQ(drills, expected);
  EXPECT_TRUE(fs::exists(out / (board + ".wpr")));
  // The template's film scale wins over the settings' (unreadable there).
  if (c.templateText.find("ScaleXppm=200") != std::string::npos) {
    EXPECT_NE(first.at("report.txt").find("Films (+200/-100 ppm):"), std::string::npos);
  }

  plot(source, dir / "t.ini", out, dir / "GerbPrj.ini", true);
  EXPECT_EQ(folderBytes(out), first);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Boards, PlotBoardTest, testing::Values(
    PlotCase{"Example", "", false,
             "[Panel]\nGrid=2x2\n[Mark1]\nFile=" + kMark + "\nOffset=-6,-6\n[Mark2]\nFile=" + kMark +
             "\nCorner=right-bottom\nOffset=6,6\n[TechArea]\nUse=on\n[Film]\nDpi=1016\nScaleXppm=200\nScaleYppm=-100\n",
             "[Film]\nScaleXppm=9000\n", 5, {"-pth.drl"}},
    PlotCase{"KiCad", "gerbonara/tests/resources/kicad-x2-tests/x2ap", false,
             "[Panel]\nFirst=0.2,0.2\nGrid=2x1\n[Film]\nFormat=fpf\nDpi=1016\nLayers=1,2,17\n[Layer2]\nMirror=on\n",
             "", 3, {"-npth.drl", "-pth.drl"}},
    PlotCase{"Eagle", "gerbonara/tests/resources/eagle-newer", true,
             "[Panel]\nGrid=fit\nGap=2,2\n[TechArea]\nUse=on\nLeft=3\nDistance=2\n[Film]\nDpi=1016\nNegative=on\n",
             "[Setup]\nSirka=1016000\nVyska=1016000\n", 8, {"-pth.drl"}}),
    [](const testing::TestParamInfo<PlotCase>& info) { return info.param.name; });
// clang-format on

// What a failing run leaves: the output folder as it was, and nothing beside it.
struct FailingRun {
  const char* name;
  const char* before;  // the output folder's one file before the run; empty: no folder
  bool force;
  const char* templateText;
  const char* drill;  // the board's drill file
  const char* message;
  const char* settings = "";
  const char* beforeName = "keep.txt";  // the name of that file
};

class PlotFailureTest : public testing::TestWithParam<FailingRun> {};

TEST_P(PlotFailureTest, LeavesNoOutput) {
  const FailingRun& c = GetParam();
  const fs::path dir = test::tempDir();
  const fs::path board = dir / "board", out = dir / "out";
  fs::create_directories(board);
  fs::copy_file(kExample / "particle-core" / "core.GTL", board / "core.GTL");
  test::writeFile(board / "core.drl", c.drill);
  test::writeFile(dir / "t.ini", std::string(c.templateText) + "[Film]\nDpi=1016\n");
  test::writeFile(dir / "GerbPrj.ini", c.settings);
  if (*c.before) {
    fs::create_directories(out);
    test::writeFile(out / c.beforeName, c.before);
  }
  try {
    plot(board, dir / "t.ini", out, dir / "GerbPrj.ini", c.force);
    ADD_FAILURE() << "no error";
  } catch (const std::exception& e) {
    EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << e.what();
  }
  std::vector<std::string> left;
  for (const auto& entry : fs::recursive_directory_iterator(dir))
    left.push_back(entry.path().lexically_relative(dir).generic_string());
  std::sort(left.begin(), left.end());
  std::vector<std::string> expected = {"GerbPrj.ini", "board", "board/core.GTL", "board/core.drl",
                                       "t.ini"};
  if (*c.before) expected.insert(expected.begin() + 1, {"out", "out/" + std::string(c.beforeName)});
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(left, expected);
  if (*c.before) {
    EXPECT_EQ(test::readFile(out / c.beforeName), c.before);
  }
}

constexpr const char* kDrill = "M48\nINCH,TZ\nT1C0.035\n%\nT1\nX01Y01\nM30\n";
constexpr const char* kNoHits = "M48\nINCH,TZ\nT1C0.035\n%\nM30\n";

// clang-format off
INSTANTIATE_TEST_SUITE_P(Runs, PlotFailureTest, testing::Values(
    FailingRun{"MarkMissing",       "",     false, "[Mark1]\nFile=/no/such/mark.gbr\n", kDrill,   "mark file /no/such/mark.gbr"},
    FailingRun{"DrillAfterFilms",   "",     false, "",                                 kNoHits,  "Data file has no hits"},
    FailingRun{"ForcedOverOldRun",  "old",  true,  "",                                 kNoHits,  "Data file has no hits", "", "report.json"},
    FailingRun{"ForcedOverOther",   "old",  true,  "",                                 kDrill,   "no output folder of plot"},
    FailingRun{"NotEmpty",          "old",  false, "",                                 kDrill,   "not empty"},
    FailingRun{"PanelTooLarge",     "",     false, "[Panel]\nGrid=101x101\n",          kDrill,   "does not fit"},
    FailingRun{"MarkInOutput",      "old",  true,  "[Mark1]\nFile=out/keep.txt\n",     kDrill,   "lies in the output folder"},
    FailingRun{"SettingsScaleBad",  "",     false, "",                                 kDrill,   "[Film] ScaleXppm=9000", "[Film]\nScaleXppm=9000\n"}),
    [](const testing::TestParamInfo<FailingRun>& info) { return info.param.name; });
// clang-format on

TEST(PlotTemplateTest, JobTemplateReproducesTheJobsPanel) {
  const fs::path dir = test::tempDir();
  const std::string job = (dir / "j.wpr").string(), settings = (dir / "GerbPrj.ini").string();
  test::writeFile(settings, "[Setup]\nNameM1=Target\nPathM1=" + kMark + "\n");
  const std::string board = (kExample / "particle-core").string();
  auto run = [&](std::vector<std::string> args) {
    args.insert(args.end(), {"--settings", settings});
    return test::runCommand(cli::addJobCommand, args);
  };
  run({"job", "new", job});
  run({"job", "add-board", job, board, "--at", "0.5,0.6"});
  run({"job", "panelize", job, "--board", "1", "--panel", "3x2", "--gap", "4,6"});
  run({"job", "mark", job, "--name", "Target", "--target", "0.3,0.35"});
  run({"job", "mark", job, "--name", "Target", "--target", "4.9,3.1"});
  // A template written over the job (or a file it reads) would lose it.
  EXPECT_THROW(run({"job", "template", job, "-o", job}), std::invalid_argument);
  EXPECT_THROW(run({"job", "template", job, "-o", kMark}), std::invalid_argument);
  run({"job", "template", job, "-o", (dir / "t.ini").string(), "--dpi", "1016", "--layers", "1"});
  plot(board, dir / "t.ini", dir / "out", settings);

  Job made, plotted;
  openJob(made, job);
  openJob(plotted, dir / "out" / "particle-core.wpr");
  ASSERT_EQ(plotted.boards.size(), made.boards.size());
  for (size_t i = 0; i < made.boards.size(); ++i) {
    const Board &a = made.boards[i], &b = plotted.boards[i];
    EXPECT_EQ(a.IsMark, b.IsMark) << i;
    EXPECT_NEAR(a.PosX, b.PosX, 1e-9) << i;
    EXPECT_NEAR(a.PosY, b.PosY, 1e-9) << i;
    EXPECT_EQ(made.resolvePath(a.LayerGerber[0]),
              plotted.resolvePath(b.LayerGerber[0]).lexically_normal())
        << i;
  }
}

}  // namespace
}  // namespace drumplot
