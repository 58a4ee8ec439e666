// SPDX-License-Identifier: MIT
// The check before plotting: each problem found in a hand-made job made to
// have it and nothing else, nothing in a clean job, and the film estimate
// against the export it estimates.
#include "output/preflight.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>

#include "output/export_test_support.h"
#include "output/plotter_export.h"

namespace drumplot {
namespace {

namespace fs = std::filesystem;

// A 2 x 1 inch frame drawn with `aperture`, from (1, 1), and a pad of D11;
// `tail` ends the file.
std::string layer(const std::string& aperture = "C,0.010", const std::string& tail = "M02*",
                  const std::string& definitions = "") {
  return "%FSLAX24Y24*%%MOIN*%" +
         (definitions.empty() ? "%ADD10" + aperture + "*%%ADD11C,0.060*%" : definitions) +
         "D10*X10000Y10000D02*X30000Y10000D01*X30000Y20000D01*X10000Y20000D01*X10000Y10000D01*"
         "D11*X20000Y15000D03*" +
         tail;
}

class PreflightTest : public testing::Test {
 public:
  // A board at (x, y) inches whose master is `gerber` (written as `name`),
  // on layer 1.
  Board& addBoard(const std::string& name, const std::string& gerber, double x = 1.0,
                  double y = 1.0) {
    test::writeFile(dir_ / name, gerber);
    job_.boards.push_back(test::boardFor(dir_ / name, x, y));
    return job_.boards.back();
  }
  // Another layer of the last board.
  void addLayer(int n, const std::string& name, const std::string& bytes) {
    if (!bytes.empty()) test::writeFile(dir_ / name, bytes);
    job_.boards.back().LayerGerber[static_cast<size_t>(n - 1)] =
        name.empty() ? "" : (dir_ / name).string();
  }

  PreflightReport check(int dpi = 2032) {
    PreflightSettings s;
    s.exportSettings.dpi = dpi;
    s.exportSettings.draw.layers = layersWithGerber(job_);
    s.exportSettings.draw.layers[1] = true;  // layer 2 also when it holds a drill file
    return checkJob(job_, s);
  }

  fs::path dir_ = test::tempDir();
  Job job_;
};

struct ProblemCase {
  const char* name;
  std::function<void(PreflightTest&)> make;
  CheckKind kind;
  CheckSeverity severity;
  const char* message;  // a part of the message
};

class PreflightProblemTest : public PreflightTest,
                             public testing::WithParamInterface<ProblemCase> {};

TEST_P(PreflightProblemTest, FoundAloneInAJobMadeToHaveIt) {
  const ProblemCase& c = GetParam();
  c.make(*this);
  const PreflightReport report = check();
  ASSERT_EQ(report.problems.size(), 1u) << reportText(job_, report);
  const CheckProblem& p = report.problems[0];
  EXPECT_EQ(kindKey(p.Kind), std::string(kindKey(c.kind)));
  EXPECT_EQ(p.severity, c.severity);
  EXPECT_NE(p.message.find(c.message), std::string::npos) << p.message;
  EXPECT_EQ(report.boardSeverity(0),
            c.kind == CheckKind::FilmImpossible ? std::nullopt : std::optional(c.severity));
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Problems, PreflightProblemTest, testing::Values(
    ProblemCase{"UndefinedDCode", [](PreflightTest& t) { t.addBoard("d.gbr", layer("", "M02*", "%ADD10C,0.010*%")); }, CheckKind::UndefinedDCode, CheckSeverity::Error, "d.gbr:1: D11 is used once but defined neither"},
    ProblemCase{"PenWidened", [](PreflightTest& t) { t.addBoard("thin.gbr", layer("C,0.0002")); }, CheckKind::PenWidened, CheckSeverity::Warning, "thin.gbr: 4 strokes of D10 (a pen of 0 pixels at 2032 dpi) are drawn 2 pixels (0.98 mil) wide"},
    ProblemCase{"OutsidePlotArea", [](PreflightTest& t) { t.addBoard("far.gbr", layer(), 12.0, 1.0); }, CheckKind::OutsidePlotArea, CheckSeverity::Error, "Board 1 reaches 0.622 inch beyond the plotting area (11.993, 0.993 to 14.007, 2.007 inch"},
    ProblemCase{"BoardOverlap", [](PreflightTest& t) { t.addBoard("a.gbr", layer(), 1.0, 1.0); t.addBoard("b.gbr", layer(), 2.5, 1.5); }, CheckKind::BoardOverlap, CheckSeverity::Warning, "Board 1 overlaps board 2 by 0.514 x 0.514 inch"},
    ProblemCase{"LayerMisaligned", [](PreflightTest& t) { t.addBoard("m.gbr", layer()); t.addLayer(2, "moved.gbr", "%FSLAX24Y24*%%MOIN*%%ADD10C,0.010*%D10*X10000Y10000D02*X40000Y10000D01*M02*"); }, CheckKind::LayerMisaligned, CheckSeverity::Warning, "moved.gbr: its data reach 1.000 inch beyond"},
    ProblemCase{"ReadWarning", [](PreflightTest& t) { t.addBoard("cut.gbr", layer("C,0.010", "")); }, CheckKind::ReadWarning, CheckSeverity::Warning, "cut.gbr: no M02 at the end"},
    ProblemCase{"UnreadableFile", [](PreflightTest& t) { t.addBoard("u.gbr", layer()); t.addLayer(2, "gone.gbr", ""); }, CheckKind::UnreadableFile, CheckSeverity::Error, "gone.gbr"},
    ProblemCase{"DrillFileOnLayer", [](PreflightTest& t) { t.addBoard("u.gbr", layer()); t.addLayer(2, "holes.drl", "M48\nINCH\nT1C0.03\n%\nT1\nX1Y1\nM30\n"); }, CheckKind::DrillFileOnLayer, CheckSeverity::Error, "holes.drl: an Excellon drill file on layer 2"},
    // The board's only layer file named nothing: no layer to plot.
    ProblemCase{"FilmImpossible", [](PreflightTest& t) { t.addBoard("u.gbr", layer()); t.addLayer(1, "", ""); }, CheckKind::FilmImpossible, CheckSeverity::Error, "no board has a Gerber file on a chosen layer"}),
    [](const testing::TestParamInfo<ProblemCase>& info) { return info.param.name; });
// clang-format on

TEST_F(PreflightTest, CleanJobHasNoProblemAndItsFilmIsEstimated) {
  // D11 comes from the layer's aperture file, as an RS-274-D layer's would.
  addBoard("clean.gbr", layer());
  addBoard("rs274d.gbr", "D10*X1000Y1000D02*X3000Y1000D01*X3000Y2000D01*D11*X2000Y1500D03*M02*",
           4.0, 1.0);
  test::writeFile(dir_ / "rs274d.Env",
                  "[<4\nrs274d.gbr\n2 3 11\n10 1 0.01000 0.01000\n11 1 0.06000 0.06000\n0\n");
  job_.boards.back().LayerAperture[0] = (dir_ / "rs274d.Env").string();

  const PreflightReport report = check(1016);
  EXPECT_TRUE(report.problems.empty()) << reportText(job_, report);
  EXPECT_EQ(report.layers, std::vector<int>({1, 2}));
  ASSERT_TRUE(report.film);
  PlotterExportSettings s;
  s.dpi = 1016;
  s.draw.layers = layersWithGerber(job_);
  s.file = dir_ / "clean.FPF";
  const PlotterExportSummary exported = exportPlotterFile(job_, s);
  EXPECT_EQ(report.film->width_px, exported.plan.width_px);
  EXPECT_EQ(report.film->height_px, exported.plan.height_px);
  EXPECT_EQ(report.film->bands, exported.plan.bands.bandCount);
  EXPECT_NEAR(static_cast<double>(report.film->fileBytes), static_cast<double>(exported.fileBytes),
              0.1 * static_cast<double>(exported.fileBytes));
  EXPECT_EQ(report.film->memoryBytes,
            static_cast<uint64_t>(exported.plan.width_px / 8 * exported.plan.height_px));
  EXPECT_GT(report.film->seconds, 0.0);
  EXPECT_EQ(reportText(job_, report).substr(0, 19), "Layers checked: 1 2");
}

TEST_F(PreflightTest, KeepsWithinTheMemorySettingOnJobsThatReachFar) {
  if (test::kSanitized) GTEST_SKIP() << "the sanitizers hold memory of their own";
  // An arc of radius 1000 inch (82 bytes), and a board moved to 3000, 3000 inch.
  const std::string arc =
      "%FSLAX25Y25*%\n%MOIN*%\n%ADD10C,0.01*%\nD10*\nX0Y0D02*\nG75*\nG03X0Y0I1000.0J0D01*\nM02*\n";
  for (const auto& [gerber, at] : {std::pair(arc, 0.3), std::pair(layer(), 3000.0)}) {
    job_.boards.clear();
    addBoard("far.gbr", gerber, at, at);
    PreflightSettings s;
    s.exportSettings.draw.layers = layersWithGerber(job_);
    s.exportSettings.run.budgetBytes = memoryBudgetBytes(64);
    const uint64_t peak = test::childPeakBytes([&] { return checkJob(job_, s).film.has_value(); });
    EXPECT_LT(peak, s.exportSettings.run.budgetBytes + (uint64_t{64} << 20)) << gerber;
  }
}

}  // namespace
}  // namespace drumplot
