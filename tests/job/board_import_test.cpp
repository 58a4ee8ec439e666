// SPDX-License-Identifier: MIT
// A board imported from a hand-made folder and from a zip of it: roles by
// X2 attribute before name, drill files by their header, what is left out
// and why, the board it makes, and the zip's refusals.
#include "job/board_import.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <set>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "engine/errors.h"
#include "job/board_archive.h"
#include "support/board_zip.h"
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

using Files = test::ZipFiles;
using test::writeZip;

fs::path folderWith(const Files& files) {
  fs::path dir = test::tempDir() / "board";
  for (const auto& [name, bytes] : files) {
    fs::create_directories((dir / name).parent_path());
    test::writeFile(dir / name, bytes);
  }
  return dir;
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

  // Files of several boards in one folder: nothing is added; each file
  // names three of the others.
  for (const char* other : {"c-F_Cu.gbr", "d-F_Cu.gbr", "e-F_Cu.gbr", "f-F_Cu.gbr"})
    test::writeFile(dir / other, gerber());
  plan = planOf(dir);
  EXPECT_EQ(importProblem(plan), dir.string() +
                                     ": files of more than one board? top copper: b-F_Cu.gbr, "
                                     "c-F_Cu.gbr, d-F_Cu.gbr, e-F_Cu.gbr, f-F_Cu.gbr: "
                                     "nothing imported; import one board's files at a time");
  const auto c = std::find_if(plan.files.begin(), plan.files.end(),
                              [](const BoardFile& f) { return f.name == "c-F_Cu.gbr"; });
  EXPECT_EQ(placementNote(plan, static_cast<size_t>(c - plan.files.begin())),
            "not placed: top copper also claimed by b-F_Cu.gbr, d-F_Cu.gbr, e-F_Cu.gbr and 1 more");
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

// One file's role and how it was told, by its name, its X2 file function
// and the layer map's patterns: "role: note".
TEST(BoardImportTest, RoleByNameX2AndPattern) {
  const struct {
    const char* name;
    std::string bytes;
    std::vector<std::pair<const char*, const char*>> patterns;
    const char* expected;
  } cases[] = {
      {"b.gm1",
       gerber(),
       {},
       "-: not placed: Protel extension: a mechanical layer: the outline only when its X2 file "
       "function says Profile"},
      {"b.gm1", gerber("Profile,NP"), {}, "outline: X2 file function Profile,NP; sizes the board"},
      {"b.GP1",
       gerber(),
       {},
       "-: not placed: Protel extension: an internal plane: its place in the stack is not in the "
       "name"},
      {"b-job.gbrjob",
       "{\"Header\": {}}\n",
       {},
       "-: not placed: KiCad name: a job file (the board's stack-up), not a layer"},
      {"p - CADCAM Top Copper.TXT", gerber(), {}, "top copper: Proteus name; sizes the board"},
      {"Gerber_BoardOutlineLayer.GKO", gerber(), {}, "outline: EasyEDA name; sizes the board"},
      // The map's pattern wins over the X2 attribute and the name.
      {"b.gm1",
       gerber("Copper,L1,Top"),
       {{"*.GM1", "outline"}},
       "outline: layer map pattern *.GM1; sizes the board"},
      {"sub/b.gm2",
       gerber(),
       {{"x.gm2", "Outline"}, {"sub/*.gm?", "inner copper 3"}},
       "inner copper 3: layer map pattern sub/*.gm?; sizes the board"},
      {"b.drl", kDrill, {{"*.drl", "TopCopper"}}, "drill: Excellon M48 header"},
      {"b.drl", kDrill, {{"*.drl", "None"}}, "-: not placed: the layer map's *.drl leaves it out"},
      {"b.gbr",
       gerber(),
       {{"*", "Drill"}},
       "-: not placed: the layer map's * names it the drill file, but it has no M48 header"},
  };
  for (const auto& c : cases) {
    LayerMap map = LayerMap::defaults();
    for (const auto& [pattern, role] : c.patterns)
      map.patterns.push_back(parseNamePattern(pattern, role));
    const BoardImportPlan plan =
        planBoardImport(folderWith({{c.name, c.bytes}}), DataFormat{}, map);
    ASSERT_EQ(plan.files.size(), 1u);
    const BoardFile& f = plan.files[0];
    EXPECT_EQ((f.role ? roleName(*f.role) : "-") + ": " + placementNote(plan, 0), c.expected)
        << c.name;
  }
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
  EXPECT_EQ(test::readFile(dir / "board/b-B_Cu.gbr"), "changed");
  // Elsewhere, when asked.
  EXPECT_EQ(planOf(zip, dir / "other").placedCount(), 6u);
  // Without an extension: "-files" added.
  fs::copy_file(zip, dir / "plain");
  EXPECT_EQ(planOf(dir / "plain").folder, dir / "plain-files");

  // Names that would leave the folder, and what is neither zip nor folder.
  for (const char* name : {"../evil.gbr", "a/../../evil.gbr", "/etc/evil.gbr", "c:evil.gbr"}) {
    writeZip(dir / "evil.zip", {{name, "x"}});
    EXPECT_THROW(planOf(dir / "evil.zip"), FormatError) << name;
  }
  EXPECT_FALSE(fs::exists(dir / "evil.gbr"));
  EXPECT_THROW(planOf(dir / "board/README.txt"), IoError);
}

// Every path below `dir`, links not followed.
std::set<std::string> listing(const fs::path& dir) {
  std::set<std::string> paths;
  for (const auto& entry : fs::recursive_directory_iterator(dir))
    paths.insert(entry.path().lexically_relative(dir).generic_string());
  return paths;
}

// States `size` as the unpacked size of entry `name` where libzip reads it:
// in the central directory, whose entry's name comes last in the file.
void stateSize(const fs::path& zip, const std::string& name, uint32_t size) {
  std::string bytes = test::readFile(zip);
  const size_t at = bytes.rfind(name) - 22;
  for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<char>(size >> (8 * i));
  test::writeFile(zip, bytes);
}

struct HostileZip {
  const char* what;
  Files files;
  std::function<void(const fs::path& dir)> alter;  // the zip "h.zip", or beside it
  const char* expected;  // part of the refusal, or of the table when imported
  bool imported = false;
};

TEST(BoardImportTest, HostileZips) {
  Files many, controls = kBoard;
  for (int i = 0; i < 2001; ++i) many.emplace_back("f" + std::to_string(i), "x");
  controls.insert(controls.end(), {{"a\tb.gbr", gerber()}, {"new\nline", "x"}, {"del\x7F", "x"}});
  const HostileZip cases[] = {
      {"too many entries", many, nullptr,
       "h.zip: 2001 entries, more than the 2000 a board's zip may hold; nothing unpacked"},
      {"stated sizes beyond 1 GB", kBoard,
       [](const fs::path& dir) { stateSize(dir / "h.zip", "b-F_Cu.gbr", 0x7FFFFFFF); },
       "h.zip: its files unpack to 2147484611 bytes, more than the 1073741824 a board's zip may "
       "hold; nothing unpacked"},
      {"an entry holding more than it states, after others were written", kBoard,
       [](const fs::path& dir) {
         stateSize(dir / "h.zip", "README.txt", 3);
         fs::create_directory(dir / "h");  // what was there stays
         test::writeFile(dir / "h/notes.txt", "mine");
         test::writeFile(dir / "h/b.gtl", gerber("Soldermask,Bot"));  // as the zip holds it
       },
       "h.zip: entry \"README.txt\" holds more than the 3 bytes it states"},
      {"a link inside the unpack folder", kBoard,
       [](const fs::path& dir) {
         fs::create_directories(dir / "outside");
         fs::create_directories(dir / "h");
         fs::create_directory_symlink(dir / "outside", dir / "h/gerbers");
       },
       "h/gerbers: a symbolic link where the zip is unpacked; its files could land outside"},
      {"control characters in names", controls, nullptr,
       "a\\x09b.gbr     -                   -      not placed: its name holds a control "
       "character: not unpacked\n",
       true},
  };
  for (const HostileZip& c : cases) {
    SCOPED_TRACE(c.what);
    const fs::path dir = test::tempDir();
    writeZip(dir / "h.zip", c.files);
    if (c.alter) c.alter(dir);
    const std::set<std::string> before = listing(dir);
    if (c.imported) {
      const BoardImportPlan plan = planOf(dir / "h.zip");
      EXPECT_NE(importTable(plan).find(c.expected), std::string::npos) << importTable(plan);
      EXPECT_EQ(listing(dir / "h").size(), kBoard.size() + 1);  // and the folder "gerbers"
    } else {
      test::expectError<std::runtime_error>([&] { planOf(dir / "h.zip"); }, c.expected);
    }
    EXPECT_EQ(listing(dir), before);  // refused, or the plan dropped: all it made is gone
  }
}

// Two entries of 64 MB of zeros (64 KB each in the zip) unpack within
// 32 MB: they pass through a fixed buffer.
TEST(BoardImportTest, ZipEntriesStreamedToDisk) {
  if (test::kSanitized) GTEST_SKIP() << "memory is not measured under the sanitizers";
  const fs::path dir = test::tempDir();
  const size_t size = size_t{64} << 20;
  writeZip(dir / "big.zip",
           {{"a.gbr", std::string(size, '\0')}, {"b.gbr", std::string(size, '\0')}});
  const pid_t child = fork();
  if (child == 0) {
    try {
      unpackZip(dir / "big.zip", dir / "big").made.keep();
    } catch (...) {
      _exit(1);
    }
    _exit(0);
  }
  int status = 0;
  rusage usage{};
  ASSERT_EQ(wait4(child, &status, 0, &usage), child);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(fs::file_size(dir / "big/b.gbr"), size);
  EXPECT_LT(usage.ru_maxrss, 32 << 10) << "kilobytes";  // whole entries in memory: 128 MB
  fs::remove_all(dir);
}

}  // namespace
}  // namespace drumplot
