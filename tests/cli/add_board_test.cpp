// SPDX-License-Identifier: MIT
// drumplot-cli job add-board on every multi-file board of the corpus: each
// file's layer against the table below (files not named there are listed,
// not placed), and the board the job file then holds.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <sstream>
#include <string>

#include "cli/command_registry.h"
#include "engine/errors.h"
#include "job/board_import.h"
#include "job/job_file.h"
#include "support/board_zip.h"
#include "support/cli_runner.h"
#include "support/test_support.h"

namespace drumplot {
namespace {

namespace fs = std::filesystem;

struct CorpusBoard {
  const char* name;
  const char* folder;    // below the corpus
  bool imports;          // false: refused (no layer to draw, or files of two boards)
  const char* placed;    // "file=layer ...", the files' names below the folder
  const char* map = "";  // "PATTERN=ROLE ...": --map patterns
};

std::map<std::string, int> placedFiles(const std::string& table) {
  std::map<std::string, int> placed;
  std::istringstream in(table);
  for (std::string item; in >> item;) {
    const size_t eq = item.rfind('=');
    placed[item.substr(0, eq)] = std::stoi(item.substr(eq + 1));
  }
  return placed;
}

class AddBoardCorpusTest : public testing::TestWithParam<CorpusBoard> {};

TEST_P(AddBoardCorpusTest, EachFileOnItsLayer) {
  const fs::path corpus = test::corpusDir();
  if (corpus.empty()) GTEST_SKIP() << "no corpus";
  const CorpusBoard& c = GetParam();
  const fs::path folder = corpus / c.folder;
  const std::map<std::string, int> expected = placedFiles(c.placed);

  // The plan: every file of the folder, on its layer or listed with a reason.
  LayerMap map = LayerMap::defaults();
  std::vector<std::string> mapArgs;
  std::istringstream patterns(c.map);
  for (std::string item; patterns >> item;) {
    const size_t eq = item.find('=');
    map.patterns.push_back(parseNamePattern(item.substr(0, eq), item.substr(eq + 1)));
    mapArgs.insert(mapArgs.end(), {"--map", item});
  }
  const BoardImportPlan plan = planBoardImport(folder, DataFormat{}, map);
  std::map<std::string, int> placed;
  for (const BoardFile& f : plan.files) {
    if (f.layer != 0) placed[f.name] = f.layer;
    EXPECT_NE(f.layer == 0, f.reason.empty()) << f.name;
  }
  EXPECT_EQ(placed, expected);

  // The command: the board in the job file, or nothing when it refuses.
  const fs::path dir = test::tempDir();
  const std::string job = (dir / "j.wpr").string(), settings = (dir / "GerbPrj.ini").string();
  test::writeFile(settings, "");
  auto run = [&](std::vector<std::string> args) {
    args.insert(args.end(), {"--settings", settings});
    if (args[1] == "add-board") args.insert(args.end(), mapArgs.begin(), mapArgs.end());
    return test::runCommand(cli::addJobCommand, args);
  };
  run({"job", "new", job});
  if (!mapArgs.empty()) {
    // A role that is none of ours is refused before anything is read.
    EXPECT_THROW(run({"job", "add-board", job, folder.string(), "--map", "*.gm1=Outlines"}),
                 std::invalid_argument);
  }
  if (!c.imports) {
    EXPECT_THROW(run({"job", "add-board", job, folder.string()}), FormatError);
    EXPECT_TRUE(decodeJob(test::readFile(job)).empty());
    return;
  }
  const std::string out = run({"job", "add-board", job, folder.string()});
  for (const BoardFile& f : plan.files)
    EXPECT_NE(out.find(f.name + " "), std::string::npos) << f.name;
  const std::vector<Board> boards = decodeJob(test::readFile(job));
  ASSERT_EQ(boards.size(), 1u);
  std::map<int, std::string> want, got;
  for (const auto& [name, layer] : expected) want[layer] = name;
  for (int n = 1; n <= kLayerCount; ++n) {
    const std::string& file = boards[0].LayerGerber[static_cast<size_t>(n - 1)];
    if (!file.empty()) got[n] = fs::path(file).lexically_relative(folder).generic_string();
  }
  EXPECT_EQ(got, want);
}

// A zip's unpacked files stay once the job file holds the board.
TEST(AddBoardTest, ZipFilesStayWithTheBoard) {
  const fs::path corpus = test::corpusDir();
  if (corpus.empty()) GTEST_SKIP() << "no corpus";
  test::ZipFiles files;
  for (const auto& entry :
       fs::directory_iterator(corpus / "tracespace/packages/fixtures/boards/core"))
    files.emplace_back(entry.path().filename().string(), test::readFile(entry.path()));
  const fs::path dir = test::tempDir();
  test::writeZip(dir / "core.zip", files);
  test::writeFile(dir / "s.ini", "");
  for (const char* command : {"new", "add-board"}) {
    std::vector<std::string> args = {"job", command, (dir / "j.wpr").string(), "--settings",
                                     (dir / "s.ini").string()};
    if (args[1] == "add-board") args.push_back((dir / "core.zip").string());
    test::runCommand(cli::addJobCommand, args);
  }
  EXPECT_EQ(std::distance(fs::directory_iterator(dir / "core"), fs::directory_iterator()),
            static_cast<std::ptrdiff_t>(files.size()));
}

// clang-format off
const CorpusBoard kBoards[] = {
    {"KiCadX2Apertures", "gerbonara/tests/resources/kicad-x2-tests/x2ap", true, "Flashpads-B_Cu.gbr=2 Flashpads-B_Mask.gbr=12 Flashpads-B_Silkscreen.gbr=14 Flashpads-Edge_Cuts.gbr=17 Flashpads-F_Cu.gbr=1 Flashpads-F_Mask.gbr=11 Flashpads-F_Silkscreen.gbr=13 Flashpads-PTH.drl=18"},
    {"KiCadX2NoApertures", "gerbonara/tests/resources/kicad-x2-tests/x2noap", true, "Flashpads-B_Cu.gbr=2 Flashpads-B_Paste.gbr=16 Flashpads-Edge_Cuts.gbr=17 Flashpads-F_Cu.gbr=1 Flashpads-F_Mask.gbr=11 Flashpads-F_Paste.gbr=15 Flashpads-F_Silkscreen.gbr=13 Flashpads-PTH.drl=18"},
    {"KiCadNoX2Apertures", "gerbonara/tests/resources/kicad-x2-tests/nox2ap", true, "Flashpads-B_Cu.gbr=2 Flashpads-B_Mask.gbr=12 Flashpads-B_Paste.gbr=16 Flashpads-B_Silkscreen.gbr=14 Flashpads-Edge_Cuts.gbr=17 Flashpads-F_Cu.gbr=1 Flashpads-F_Mask.gbr=11 Flashpads-F_Silkscreen.gbr=13 Flashpads-PTH.drl=18"},
    {"KiCadNoX2NoApertures", "gerbonara/tests/resources/kicad-x2-tests/nox2noap", true, "Flashpads-B_Mask.gbr=12 Flashpads-B_Paste.gbr=16 Flashpads-Edge_Cuts.gbr=17 Flashpads-F_Cu.gbr=1 Flashpads-F_Mask.gbr=11 Flashpads-F_Paste.gbr=15 Flashpads-F_Silkscreen.gbr=13 Flashpads-PTH.drl=18"},
    {"KiCadOlder", "gerbonara/tests/resources/kicad-older", true, "chibi_2024-B.Mask.gbr=12 chibi_2024-Edge.Cuts.gbr=17 chibi_2024.drl=18"},
    {"KiCadWorldClock", "gerbonara/tests/resources/world_clock_2", true, "wc2-B_Cu.gbr=2 wc2-B_Mask.gbr=12 wc2-B_Paste.gbr=16 wc2-B_SilkS.gbr=14 wc2-Edge_Cuts.gbr=17 wc2-F_Mask.gbr=11 wc2-F_Paste.gbr=15 wc2-F_SilkS.gbr=13"},
    {"KiCadZeroLengthLines", "gerbonara/tests/resources/zero-length-lines", true, "charliewatch-v2.panel-B_Mask.gbr=12 charliewatch-v2.panel-Edge_Cuts.gbr=17 charliewatch-v2.panel-F_Mask.gbr=11"},
    {"KiCadSimple2Layer", "pygerber/test/assets/gerberx3/KicadGerberX2", true, "simple_2layer-B_Mask.gbr=12 simple_2layer-Edge_Cuts.gbr=17 simple_2layer-F_Cu.gbr=1 simple_2layer-F_Paste.gbr=15"},
    {"KiCadAtmega328", "pygerber/test/assets/gerberx3/ATMEGA328", true, "ATMEGA328_Motor_Board-B.Paste.gbp=16 ATMEGA328_Motor_Board-Edge.Cuts.gm1=17 ATMEGA328_Motor_Board-F.Cu.gtl=1 ATMEGA328_Motor_Board-F.Paste.gtp=15 ATMEGA328_Motor_Board.drl=18"},
    {"KiCadOlinuxino", "pygerber/test/assets/gerberx3/A64_OLinuXino_rev_G", true, "A64-OlinuXino_Rev_G-In4_Cu.gbr=6 A64-OlinuXino_Rev_G-PTH.drl=18"},
    {"KiCadArduino", "pygerber/test/assets/gerberx3/kicad/arduino", true, "F_Cu.gbr=1 F_Mask.gbr=11 F_Silkscreen.gbr=13"},
    {"KiCadClockblock", "tracespace/packages/fixtures/boards/clockblock", true, "clockblock-B_Cu.gbr=2 clockblock-B_Mask.gbr=12 clockblock-B_SilkS.gbr=14 clockblock-Edge_Cuts.gbr=17 clockblock-F_Mask.gbr=11 clockblock-F_Paste.gbr=15 clockblock-F_SilkS.gbr=13 clockblock.drl=18"},
    {"KiCadMchck", "tracespace/packages/fixtures/boards/mchck", true, "mchck-B_SilkS.pho=14 mchck-Edge_Cuts.pho=17 mchck-F_Cu.pho=1 mchck-F_Mask.pho=11 mchck.drl=18"},
    {"AltiumCompositeDrill", "gerbonara/tests/resources/altium-composite-drill", true, "Gerber/LimeSDR-QPCIe_1v2.G1=3 Gerber/LimeSDR-QPCIe_1v2.GTL=1 Gerber/LimeSDR-QPCIe_1v2.GTS=11"},
    {"AltiumX2", "pygerber/test/assets/gerberx3/AltiumGerberX2", true, "PCB1_Copper_Signal_Top.gbr=1 PCB1_Legend_Top.gbr=13 PCB1_Paste_Top.gbr=15 PCB1_Profile.gbr=17"},
    {"ProtelPickAndPlace", "gerbv/example/protel-pnp", true, "SE_SG_IF_V2.GBL=2 SE_SG_IF_V2.TXT=18"},
    {"ProtelPcbTools", "pcb-tools/examples/gerbers", true, "bottom_copper.GBL=2 bottom_mask.GBS=12 copper.GTL=1 ncdrill.DRD=18 soldermask.GTS=11"},
    {"ProtelCore", "tracespace/packages/fixtures/boards/core", true, "core.GBL=2 core.GBS=12 core.GTL=1 core.GTO=13 core.GTP=15 core.GTS=11 core.MIL=17 core.TXT=18"},
    {"ProtelUsbvil", "tracespace/packages/fixtures/boards/usbvil", true, "pic18f14k50.gbl=2 pic18f14k50.gbo=14 pic18f14k50.gko=17 pic18f14k50.gtl=1 pic18f14k50.gto=13 pic18f14k50.gts=11 pic18f14k50.txt=18"},
    {"ProtelMixtape", "tracespace/packages/fixtures/boards/8bit-mixtape", true, "mixtape.gml=17 mixtape.gtl=1 mixtape.gto=13 mixtape.gtp=15 mixtape.gts=11 mixtape.txt=18"},
    {"EagleNewer", "gerbonara/tests/resources/eagle-newer", true, "copper_top.gbr=1 drills.xln=18 profile.gbr=17 silkscreen_bottom.gbr=14 silkscreen_top.gbr=13 soldermask_bottom.gbr=12 soldermask_top.gbr=11 solderpaste_bottom.gbr=16 solderpaste_top.gbr=15"},
    {"EagleFourLayer", "gerbonara/tests/resources/eagle_files", true, "copper_bottom_l4.gbr=2 copper_inner_l2.gbr=3 copper_inner_l3.gbr=4 copper_top_l1.gbr=1 profile.gbr=17 silkscreen_top.gbr=13 soldermask_bottom.gbr=12 soldermask_top.gbr=11"},
    {"EagleArduinoUno", "tracespace/packages/fixtures/boards/arduino-uno", true, "arduino-uno.cmp=1 arduino-uno.drd=18 arduino-uno.gko=17 arduino-uno.sol=2 arduino-uno.stc=11"},
    {"EagleBusPirate", "tracespace/packages/fixtures/boards/bus-pirate", true, "BusPirate-v3.6a-SSOP.gko=17 BusPirate-v3.6a-SSOP.plc=13 BusPirate-v3.6a-SSOP.pls=14 BusPirate-v3.6a-SSOP.sol=2 BusPirate-v3.6a-SSOP.sts=12"},
    {"EagleFreeduino", "tracespace/packages/fixtures/boards/freeduino", true, "freeduino.drd=18 freeduino.plc=13 freeduino.sol=2 freeduino.stc=11"},
    // Seeed's mill layer, a Fritzing mechanical layer beside the keep-out one,
    // EasyEDA, Mentor and TARGET 3001! names.
    {"EagleManifoldMill", "pygerber/test/assets/gerberx3/pcb_tools_issues/127", true, "manifold-slave-v1.GBO=14 manifold-slave-v1.GBP=16 manifold-slave-v1.GBS=12 manifold-slave-v1.GML=17 manifold-slave-v1.GTO=13 manifold-slave-v1.GTP=15 manifold-slave-v1.TXT=18"},
    {"FritzingMechanical", "gerbonara/tests/resources/fritzing", true, "combined.GKO=17 combined.gts=11 combined.txt=18"},
    {"EasyEda", "gerbonara/tests/resources/easyeda", true, "Gerber_BoardOutline.GKO=17 Gerber_BottomLayer.GBL=2 Gerber_Drill_PTH.DRL=18 Gerber_TopPasteMaskLayer.GTP=15 Gerber_TopSolderMaskLayer.GTS=11"},
    {"MentorEtchLayers", "gerbonara/tests/resources/siemens-2/Gerber", true, "EtchLayerBottom.gdo=2 EtchLayerTop.gdo=1 SolderPasteTop.gdo=15 SoldermaskBottom.gdo=12"},
    {"Target3001", "gerbonara/tests/resources/Target3001", true, "IRNASIoTbank1.2.Bot=2 IRNASIoTbank1.2.Drill=18 IRNASIoTbank1.2.Outline=17 IRNASIoTbank1.2.PasteBot=16 IRNASIoTbank1.2.PasteTop=15 IRNASIoTbank1.2.PosiBot=14 IRNASIoTbank1.2.PosiTop=13 IRNASIoTbank1.2.StopBot=12 IRNASIoTbank1.2.Top=1"},
    // The layer map names the mechanical layer the outline and leaves the keep-out layer out.
    {"FritzingMapped", "gerbonara/tests/resources/fritzing", true, "combined.gm1=17 combined.gts=11 combined.txt=18", "*.gm1=Outline combined.gko=None"},
    // Refused: two boards in one folder: both claim the copper, masks and silks.
    {"GedaTwoBoards", "gerbonara/tests/resources/geda", false, "driver.bottommask.gbr=12 driver.top.gbr=1"},
    // Refused: only the drill file has a role ("group1" is a copper group of either side).
    {"GedaHellboard", "gerbv/example/hellboard", false, "hellboard.plated-drill.cnc=18"},
    // Refused: only the drill file has a role (an older gEDA naming).
    {"GedaNumpres", "gerbv/example/numpres", false, "numpres.pcb.output_plated-drill.grb=18"},
    // Refused: artwork names chosen by the designer, no X2.
    {"AllegroArtwork", "gerbonara/tests/resources/allegro", false, ""},
    // Refused: artwork names chosen by the designer; drill files without M48.
    {"AllegroMinnowMax", "gerbonara/tests/resources/allegro-2", false, ""},
    // Refused: only the drill file has a role (designer's names: is "LAYER_2" inner?).
    {"OrcadArena", "gerbonara/tests/resources/orcad", false, "arena_12-12_v6_L1-L6.drl=18"},
    {"OrcadRs232", "gerbv/example/orcad", true, "rs232_cm.bot=2 rs232_cm.smt=11 rs232_cm.ssb=14"},
};
// clang-format on

INSTANTIATE_TEST_SUITE_P(Corpus, AddBoardCorpusTest, testing::ValuesIn(kBoards),
                         [](const testing::TestParamInfo<CorpusBoard>& info) {
                           return info.param.name;
                         });

// The operator's path on the bundled board: imported without a position,
// made a 2 x 2 panel with a mark, it passes the check and exports; its drill
// file stays on its layer and out of the films.
TEST(AddBoardTest, AFreshBoardPanelAndMarkPassTheCheck) {
  const fs::path dir = test::tempDir();
  const std::string job = (dir / "job.wpr").string(), ini = (dir / "GerbPrj.ini").string();
  test::writeFile(ini, std::string("[Setup]\nNameM1=Target\nPathM1=") + DRUMPLOT_SOURCE_DIR +
                           "/examples/demo/demo-mark.gbr\n");
  auto run = [&](void (*add)(CLI::App&, cli::Action&), std::vector<std::string> args) {
    args.insert(args.end(), {"--settings", ini});
    return test::runCommand(add, args);
  };
  run(cli::addJobCommand, {"job", "new", job});
  const std::string added = run(
      cli::addJobCommand, {"job", "add-board", job, DRUMPLOT_SOURCE_DIR "/examples/particle-core"});
  EXPECT_NE(added.find("Placed at the first free place"), std::string::npos) << added;
  EXPECT_NE(added.find("Not found: outline\n"), std::string::npos) << added;
  run(cli::addJobCommand, {"job", "panelize", job, "--board", "1", "--panel", "2x2"});
  run(cli::addJobCommand, {"job", "mark", job, "--name", "Target", "--target", "2.5,0.3"});
  EXPECT_NE(run(cli::addCheckCommand, {"check", job}).find("0 errors, 0 warnings"),
            std::string::npos);
  run(cli::addExportCommand, {"export", job, "-o", (dir / "f.tif").string(), "--split-layers"});
  EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 2 + 5);
}

}  // namespace
}  // namespace drumplot
