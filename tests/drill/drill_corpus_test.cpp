// SPDX-License-Identifier: MIT
// Every drill file of the shared corpus: what the reader finds in it (counts,
// and the first and last hit worked out by hand from the file's text), and a
// 2 x 2 panel of it read back by the same reader.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "drill/drill_file.h"
#include "drill/drill_panel.h"
#include "engine/data_format.h"
#include "engine/errors.h"
#include "support/test_support.h"

namespace drumplot {
namespace {

constexpr DrillPoint in(double x, double y) {
  return {x, y};
}
constexpr DrillPoint mm(double x, double y) {
  return {x / 25.4, y / 25.4};
}

struct CorpusDrill {
  const char* path;        // below the corpus folder
  const char* dataFormat;  // the operator's, for files that do not state theirs
  size_t hits, slots, routes;
  DrillPoint first, last;
  size_t refusedLine = 0;  // the line of the statement that cannot be read
};

#define GB "gerbonara/tests/resources/"
#define GV "gerbv/"
#define PG "pygerber/test/assets/gerberx3/"
#define TS "tracespace/packages/fixtures/"
// The data formats given: Allegro's from its nc_param.txt beside the files;
// the others from the numbers (leading zeros written or not, full width)
// and the hole sizes in the tool lines.
// clang-format off
const CorpusDrill kCorpus[] = {
    {GB "Target3001/IRNASIoTbank1.2.Drill", "", 436, 0, 0, mm(12.815, 47.095), mm(3.385, 3.18)},
    {GB "allegro-2/MinnowMax_RevA1_DRILL/MinnowMax_RevA1_NCDRILL.drl", "3.5,none,inch", 1991, 0, 0, in(1.305, 1.845), in(7.85, 3.1)},
    {GB "allegro-2/MinnowMax_RevA1_DRILL/MinnowMax_RevA1_NCROUTE.rou", "3.5,none,inch", 0, 0, 9, {}, {}},
    {GB "allegro/08_057494d.rou", "2.4,none,inch", 0, 0, 4, {}, {}},
    {GB "allegro/ncdrill-1-4.drl", "2.4,none,inch", 287, 0, 0, in(0.445, 0.02), in(2.05, 1.3)},
    {GB "altium-composite-drill/NC Drill/LimeSDR-QPCIe_1v2-RoundHoles.TXT", "", 4255, 0, 0, mm(23.65, 15.9755), mm(7.5, 94.75)},
    {GB "altium-composite-drill/NC Drill/LimeSDR-QPCIe_1v2-SlotHoles.TXT", "", 0, 0, 3, {}, {}},
    {GB "altium-old-composite-drill.txt", "", 12, 0, 0, in(10, 0), in(40, 20)},
    {GB "diptrace/keyboard.drl", "", 106, 0, 0, in(0.6937, 2.5687), in(2.3437, 0.5437)},
    {GB "diptrace/mainboard.drl", "", 168, 0, 0, in(2.6814, 1.1188), in(3.6187, 2.3562)},
    {GB "diptrace/panel.drl", "", 73, 0, 0, mm(43.98, 38.42), mm(75.63, 42.39)},
    {GB "eagle-newer/drills.xln", "", 39, 0, 0, mm(25.679, 9.449), mm(8.89, 19.05)},
    {GB "easyeda/Gerber_Drill_NPTH.DRL", "", 4, 0, 0, in(1.5607, 0.7), in(2.6307, 2.21)},
    {GB "easyeda/Gerber_Drill_PTH.DRL", "", 94, 0, 0, in(1.11, 1.9), in(3.1732, 0.8858)},
    {GB "fritzing/combined.txt", "", 482, 0, 0, mm(19.018, 3.481), mm(66.75, 12.141)},
    {GB "geda/controller.plated-drill.cnc", "", 267, 0, 0, in(1.1, 1.3), in(6.5, 0.2)},
    {GB "geda/controller.unplated-drill.cnc", "", 10, 0, 0, in(0.325, 2.675), in(6.325, 3.025)},
    {GB "geda/driver.plated-drill.cnc", "", 69, 0, 0, in(0.2, 2.2), in(1.6, 0.2)},
    {GB "geda/driver.unplated-drill.cnc", "", 2, 0, 0, in(0.725, 2.575), in(1.125, 2.925)},
    {GB "kicad-older/chibi_2024.drl", "", 342, 0, 0, in(2.1142, -3.2126), in(5.0984, -4.498)},
    {GB "kicad-x2-tests/nox2ap/Flashpads-NPTH.drl", "", 4, 0, 0, mm(23.07, -59.013), mm(30.27, -59.013)},
    {GB "kicad-x2-tests/nox2ap/Flashpads-PTH.drl", "", 60, 0, 16, mm(73.114, -67.536), mm(31.16, -66.213)},
    {GB "kicad-x2-tests/nox2noap/Flashpads-NPTH.drl", "", 4, 0, 0, mm(23.07, -59.013), mm(30.27, -59.013)},
    {GB "kicad-x2-tests/nox2noap/Flashpads-PTH.drl", "", 60, 0, 16, mm(73.114, -67.536), mm(31.16, -66.213)},
    {GB "kicad-x2-tests/x2ap/Flashpads-NPTH.drl", "", 4, 0, 0, mm(23.07, -59.013), mm(30.27, -59.013)},
    {GB "kicad-x2-tests/x2ap/Flashpads-PTH.drl", "", 60, 0, 16, mm(73.114, -67.536), mm(31.16, -66.213)},
    {GB "kicad-x2-tests/x2noap/Flashpads-NPTH.drl", "", 4, 0, 0, mm(23.07, -59.013), mm(30.27, -59.013)},
    {GB "kicad-x2-tests/x2noap/Flashpads-PTH.drl", "", 60, 0, 16, mm(73.114, -67.536), mm(31.16, -66.213)},
    {GB "orcad/arena_12-12_v6_L1-L6.drl", "", 859, 0, 0, mm(-108.128, -12.014), mm(13.383, -102.601)},
    {GB "p-cad/ZXINET.DRL", "", 353, 0, 0, mm(26, 438.4), mm(19.6, 452.2)},
    {GB "pads/Drill.drl", "2.4,trailing,inch", 606, 0, 0, in(1.095, 1.056), in(1.15, 4.9)},
    {GB "pcb-rnd/power-art.xln", "", 88, 0, 0, in(2.8031, 7.81), in(2.84, 8.9)},
    {GB "siemens-2/NCDrill/ContourPlated.ncd", "", 0, 0, 9, {}, {}},
    {GB "siemens-2/NCDrill/ThruHoleNonPlated.ncd", "", 9, 0, 0, mm(58.168, 64.541), mm(112.242, 44.285)},
    {GB "siemens-2/NCDrill/ThruHolePlated.ncd", "", 294, 0, 0, mm(19.827, 3.803), mm(109.192, 46.345)},
    {GB "siemens/80101_0125_F200_ContourPlated.ncd", "", 0, 0, 9, {}, {}},
    {GB "siemens/80101_0125_F200_ThruHoleNonPlated.ncd", "", 4, 0, 0, in(2.1449, 2.675), in(3.1215, 2.3715)},
    {GB "siemens/80101_0125_F200_ThruHolePlated.ncd", "", 1941, 0, 0, in(3.5319, 0.0615), in(3.75, 2.75)},
    {GB "test_syntax_error.exc", "2.4,leading,inch", 36, 0, 0, in(0.925, 0.4064), in(2.07, 1.2714)},
    {GB "upverter/design_export.drl", "", 63, 0, 0, mm(-33.975, 29.575), mm(-55.41, 6.705)},
    // INCH,LZ (2.4 by the standard) with 8-digit numbers: they do not fit.
    {GB "zuken-emulated/Drill/8seg_Driver__routed_Drill_thru_nplt.fdr", "", 0, 0, 0, {}, {}, 13},
    {GB "zuken-emulated/Drill/8seg_Driver__routed_Drill_thru_plt.fdr/8seg_Driver__routed_Drill_thru_plt.fdr", "", 0, 0, 0, {}, {}, 17},
    {GV "example/amacro-ref/jj1.drl", "", 0, 0, 3, {}, {}},
    {GV "example/ekf2/drill0.exc", "2.4,leading,inch", 2704, 0, 0, in(6.9724, 1.0689), in(5.8772, 1.6616)},
    {GV "example/ekf2/drill1.exc", "2.4,leading,inch", 16, 0, 0, in(2.3268, 1.7868), in(7.4252, 2.1024)},
    {GV "example/ekf2/drill20.exc", "2.4,leading,inch", 202, 0, 0, in(3.579, 2.607), in(3.765, 2.546)},
    {GV "example/ekf2/drill30.exc", "2.4,leading,inch", 73, 0, 0, in(2.021, 2.637), in(6.985, 3.443)},
    {GV "example/hellboard/hellboard.plated-drill.cnc", "", 360, 0, 0, in(0.0665, 2.35), in(3.2885, 0.15)},
    {GV "example/nollezappare/ThruHolePlated.ncd", "3.3,leading,mm", 94, 0, 0, mm(40.5, 6.27), mm(76.461, 73.5)},
    {GV "example/numpres/numpres.pcb.output_plated-drill.grb", "", 85, 0, 0, in(0.307, 0.201), in(0.351, 0.12)},
    {GV "example/numpres/numpres.pcb.output_unplated-drill.grb", "", 0, 0, 0, {}, {}},
    {GV "example/orcad/thruhole.tap", "2.4,leading,inch", 13, 0, 0, in(0.225, 0.23), in(1.0, 0.52)},
    {GV "example/protel-pnp/SE_SG_IF_V2.TXT", "", 427, 0, 0, in(1.52, 0.455), in(0.442, 2.744)},
    {GV "test/inputs/Altium_file_format_inch.drl", "", 2, 0, 0, in(1.875, 0.35), in(1.965, 0.46)},
    {GV "test/inputs/Altium_inch_file_format.drl", "", 2, 0, 0, in(1.875, 0.35), in(1.965, 0.46)},
    {GV "test/inputs/LimeSDR-QPCIe_1v2-RoundHoles.drl", "", 4255, 0, 0, mm(23.65, 15.9755), mm(7.5, 94.75)},
    {GV "test/inputs/empty.xnc", "", 0, 0, 0, {}, {}},
    {GV "test/inputs/test-drill-leading-zero-1.exc", "", 3, 0, 0, in(-0.1, 3), in(0.1, 3)},
    {GV "test/inputs/test-drill-repeat-1.exc", "", 37, 0, 0, in(0, 0), in(2.5, -0.75)},
    {GV "test/inputs/test-drill-slot-drilled-g85.exc", "", 0, 1, 0, {}, {}},
    {GV "test/inputs/test-drill-spaces.exc", "", 3, 0, 0, in(-0.1, 3), in(0.1, 3)},
    {GV "test/inputs/test-drill-trailing-zero-1.exc", "", 3, 0, 0, in(-0.1, 3), in(0.1, 3)},
    {GV "test/inputs/test-drill-trailing-zero-suppression.exc", "3.3,trailing,mm", 215, 0, 0, mm(126.467, 128.118), mm(197.62, 157.42)},
    {GV "test/inputs/test-out-of-bounds-drill-tool.exc", "", 0, 0, 0, {}, {}},
    {"pcb-tools/examples/gerbers/ncdrill.DRD", "2.4,leading,inch", 36, 0, 0, in(0.925, 0.4064), in(2.07, 1.2714)},
    {"pcb-tools/gerber/tests/resources/ncdrill.DRD", "2.4,leading,inch", 36, 0, 0, in(0.925, 0.4064), in(2.07, 1.2714)},
    {PG "A64_OLinuXino_rev_G/A64-OlinuXino_Rev_G-NPTH.drl", "", 17, 0, 0, in(7.3107, -2.1713), in(7.245, -3.065)},
    {PG "A64_OLinuXino_rev_G/A64-OlinuXino_Rev_G-PTH.drl", "", 1248, 0, 13, in(4.385, -2.83), in(6.8031, -3.8031)},
    {PG "ATMEGA328/ATMEGA328_Motor_Board.drl", "", 323, 0, 0, mm(110.98, -118.692), mm(182, -137)},
    {PG "pcb_tools_issues/127/manifold-slave-v1.TXT", "", 110, 0, 0, mm(54.6, 4.6), mm(21.4, 54.7)},
    {TS "boards/8bit-mixtape/mixtape.txt", "2.4,leading,inch", 85, 0, 0, in(0.7003, 0.2682), in(1.3813, 1.3865)},
    {TS "boards/arduino-uno/arduino-uno.drd", "", 169, 0, 0, in(1.691, 1.081), in(1.445, 2.97)},
    {TS "boards/bus-pirate/BusPirate-v3.6a-SSOP.drd", "", 107, 0, 0, in(0.7536, 0.4995), in(0.5961, 1.7593)},
    {TS "boards/clockblock/clockblock-NPTH.drl", "", 18, 0, 0, in(1.475, 3.65), in(3.85, 0.25)},
    {TS "boards/clockblock/clockblock.drl", "", 206, 0, 0, in(0.16, 2.18), in(2.375, 1.225)},
    {TS "boards/core/core.TXT", "", 92, 0, 0, in(0.1743, 0.1155), in(0.8743, 1.2755)},
    {TS "boards/freeduino/freeduino.drd", "", 176, 0, 0, in(0.3824, 0.7716), in(0.7261, 0.5374)},
    {TS "boards/mchck/mchck.drl", "", 73, 0, 0, mm(41.7, -51.7), mm(64.5, -51.7)},
    {TS "boards/usbvil/pic18f14k50.txt", "", 40, 0, 0, in(3.185, 2.8071), in(2.2598, 3.1102)},
    {TS "gerbers/drill/arc-route.drl", "", 0, 0, 2, {}, {}},
    {TS "gerbers/drill/hit.drl", "", 1, 0, 0, in(0, 0), in(0, 0)},
    {TS "gerbers/drill/linear-route.drl", "", 0, 0, 1, {}, {}},
    {TS "gerbers/drill/slot.drl", "", 0, 1, 0, {}, {}},
};
// clang-format on

std::optional<DataFormat> given(const char* format) {
  return *format ? std::optional(parseFormatSpec(format)) : std::nullopt;
}

class DrillCorpusTest : public testing::Test {
 protected:
  void SetUp() override {
    if (!std::filesystem::exists(test::corpusDir() / "MANIFEST.tsv"))
      GTEST_SKIP() << "corpus absent";
  }
  static std::string pathOf(const CorpusDrill& c) { return (test::corpusDir() / c.path).string(); }
};

TEST_F(DrillCorpusTest, TheListHoldsEveryDrillFileOfTheManifest) {
  std::set<std::string> listed, manifest;
  for (const CorpusDrill& c : kCorpus) listed.insert(c.path);
  for (const test::CorpusEntry& e : test::corpusEntries())
    if (e.kind == "drill") manifest.insert(e.localPath);
  EXPECT_EQ(listed, manifest);
}

TEST_F(DrillCorpusTest, ReadsTheCountsAndTheFirstAndLastHit) {
  for (const CorpusDrill& c : kCorpus) {
    SCOPED_TRACE(c.path);
    if (c.refusedLine) {
      test::expectError<FormatError>([&] { loadDrillFile(pathOf(c), given(c.dataFormat)); },
                                     ":" + std::to_string(c.refusedLine) + ": ");
      continue;
    }
    const DrillFile file = loadDrillFile(pathOf(c), given(c.dataFormat));
    EXPECT_EQ((std::tuple{file.hitCount, file.slotCount, file.routeCount}),
              (std::tuple{c.hits, c.slots, c.routes}));
    const std::vector<DrillPoint> hits = file.hitPoints();
    if (hits.empty()) continue;
    EXPECT_NEAR(hits.front().x, c.first.x, 1e-9);
    EXPECT_NEAR(hits.front().y, c.first.y, 1e-9);
    EXPECT_NEAR(hits.back().x, c.last.x, 1e-9);
    EXPECT_NEAR(hits.back().y, c.last.y, 1e-9);
  }
}

// Each of four boards holds every hit, slot and route moved by exactly its
// place on the panel; the written file says its own format, so it reads
// back without a data format.
TEST_F(DrillCorpusTest, TwoByTwoPanelsReadBackMovedByTheBoardPitch) {
  const double pitchX = 3.0, pitchY = 2.5;  // inches: whole in every written format
  Job job;
  for (int i = 0; i < 4; ++i) {  // row by row
    Board& b = job.boards.emplace_back();
    std::tie(b.PosX, b.PosY) = std::tuple(0.5 + (i % 2) * pitchX, 0.25 + (i / 2) * pitchY);
  }
  // Keys to a micro-inch: the written numbers are exact in every format.
  auto key = [](DrillPoint p) {
    return std::pair{std::llround(p.x * 1e6), std::llround(p.y * 1e6)};
  };
  for (const CorpusDrill& c : kCorpus) {
    SCOPED_TRACE(c.path);
    if (c.refusedLine) continue;
    DrillPanelSettings settings;
    settings.inputFile = pathOf(c);
    settings.outputFile = (test::tempDir() / "panel.drl").string();
    settings.dataFormat = given(c.dataFormat);
    const DrillPanelResult result = panelizeDrillFile(job, settings);
    if (c.hits + c.slots + c.routes == 0) {
      EXPECT_EQ(result.status, DrillPanelStatus::NoHits);
      continue;
    }
    ASSERT_EQ(result.status, DrillPanelStatus::Written);
    const DrillFile panel = loadDrillFile(settings.outputFile, std::nullopt);
    EXPECT_EQ((std::tuple{panel.hitCount, panel.slotCount, panel.routeCount}),
              (std::tuple{4 * c.hits, 4 * c.slots, 4 * c.routes}));
    std::vector<std::pair<long long, long long>> want, got;
    for (const DrillPoint& p : loadDrillFile(pathOf(c), given(c.dataFormat)).hitPoints()) {
      for (const Board& b : job.boards) want.push_back(key({p.x + b.PosX, p.y + b.PosY}));
    }
    for (const DrillPoint& p : panel.hitPoints()) got.push_back(key(p));
    std::sort(want.begin(), want.end());
    std::sort(got.begin(), got.end());
    EXPECT_EQ(got, want);
  }
}

}  // namespace
}  // namespace drumplot
