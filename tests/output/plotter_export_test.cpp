// SPDX-License-Identifier: MIT
// The plotter export: image and preview sizes, header and image bytes, band
// and row order, previews, refusals, cancel, and the fast way against the
// literal way.
#include "output/plotter_export.h"

#include <gtest/gtest.h>

#include "engine/errors.h"
#include "engine/interpreter.h"
#include "output/band_image.h"
#include "output/export_geometry.h"
#include "output/export_test_support.h"
#include "output/film_reader.h"
#include "output/fpf_file.h"

namespace drumplot {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

// Two pads of 0.05 inch at data points (0.1, 0.1) and (0.3, 0.2); the board
// at (0.23, 0.1) reaches x = 0.43 and y = 0.2: at 1000 dpi an image of
// 1024 x 800 pixels with the pads centred on pixels (230, 100) and (430, 200).
Job twoPadJob() {
  return test::oneBoardJob("pads.gbr", "%ADD10C,0.0500*%\nD10*\nX1000Y1000D03*\nX3000Y2000D03*\n",
                           0.23, 0.1);
}

PlotterExportSettings settingsFor(const fs::path& file, int dpi) {
  PlotterExportSettings s;
  s.file = file;
  s.dpi = dpi;
  return s;
}

void expose(BandBitmap& band, int64_t x, int64_t y) {
  reinterpret_cast<uint8_t*>(band.rowWords(y))[x / 8] &= static_cast<uint8_t>(~(0x80u >> (x % 8)));
  band.markDrawn(y, y + 1, static_cast<size_t>(x / 32), static_cast<size_t>(x / 32 + 1));
}

Bytes fileBytes(const fs::path& file) {
  std::string s = test::readFile(file);
  return Bytes(s.begin(), s.end());
}

// Files in `dir` other than `keep`.
std::vector<std::string> strayFiles(const fs::path& dir, const fs::path& keep) {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(dir)) {
    if (e.path() != keep) names.push_back(e.path().filename().string());
  }
  return names;
}

TEST(PlotterExportTest, HeaderOfASmallJob) {
  const fs::path file = test::tempDir() / "small.fpf";
  PlotterExportSettings s = settingsFor(file, 1000);
  s.notes = std::string("0123456789") + std::string(53, 'n');  // 63 characters
  PlotterExportSummary r = exportPlotterFile(twoPadJob(), s);
  EXPECT_EQ(r.plan.preview, (PreviewSize{800, 625, 781.25}));
  const Bytes b = fileBytes(file);
  ASSERT_GT(b.size(), kFpfImageOffset);
  // 800 rows, 1024 columns, 1000 dpi, a preview of 625 x 800.
  Bytes want{'Q', 'K', 'S', 0x03, 0x20, 0x04, 0x00, 0x03, 0xE8, 0x02, 0x71, 0x03, 0x20, 50};
  EXPECT_EQ(Bytes(b.begin(), b.begin() + 14), want);
  EXPECT_EQ(std::string(b.begin() + 14, b.begin() + 64), s.notes.substr(0, 50));  // notes cut to 50
  EXPECT_EQ(Bytes(b.begin() + 64, b.begin() + 77), Bytes(13, 0));
  // The first record: the image's last four rows, background: 1024 columns of 15.
  EXPECT_EQ(Bytes(b.begin() + kFpfImageOffset, b.begin() + kFpfImageOffset + 9),
            (Bytes{0xEF, 0xEF, 0xEF, 0xEF, 0xEF, 0xEF, 0xEF, 0xEF, 0xFF}));
  EXPECT_EQ(r.fileBytes, b.size());
  const FpfHeader h = readFpf(file, false).header;
  EXPECT_EQ(std::tuple(h.width, h.height, h.notes), std::tuple(1024u, 800u, s.notes.substr(0, 50)));
}

TEST(PlotterExportTest, HeaderOfALargeJob) {
  // A board 10 inches wide at 6500 dpi: 68896 pixels a row, beyond 65000.
  const Job job = test::oneBoardJob(
      "wide.gbr", "%ADD10C,0.0100*%\nD10*\nX100Y100D03*\nX100100Y100D03*\n%KO*%\n", 0.0, 0.1);
  const fs::path file = test::tempDir() / "large.fpf";
  PlotterExportSummary r = exportPlotterFile(job, settingsFor(file, 6500));
  ASSERT_TRUE(r.plan.large);
  const Bytes b = fileBytes(file);
  EXPECT_EQ(Bytes(b.begin(), b.begin() + 7), (Bytes{'Q', 'K', '2', 0, 0, 0, 0}));
  EXPECT_EQ(Bytes(b.begin() + 7, b.begin() + 9), (Bytes{0x19, 0x64}));  // 6500 dpi
  // Row length first in the 24-bit fields: 68896 and 4544.
  EXPECT_EQ(Bytes(b.begin() + 64, b.begin() + 70), (Bytes{0x01, 0x0D, 0x20, 0x00, 0x11, 0xC0}));
  const FpfHeader h = readFpf(file, false).header;
  EXPECT_EQ(std::pair(h.width, h.height), std::pair(68896u, 4544u));
  // What the reader found to say reaches the caller, naming the file.
  ASSERT_EQ(r.raster.warnings.size(), 1u);
  EXPECT_NE(r.raster.warnings[0].find("wide.gbr: line 7: knockout"), std::string::npos);
}

TEST(PlotterExportTest, ResolutionItems) {
  EXPECT_EQ(resolutionOfItem(1, kOtherResolutionPreset), 1625);  // the item labelled 1626
  EXPECT_EQ(resolutionOfItem(kDefaultResolutionItem, kOtherResolutionPreset), 2032);
  EXPECT_EQ(resolutionOfItem(kOtherResolutionItem, 777), 777);
  const fs::path file = test::tempDir() / "r.fpf";
  exportPlotterFile(twoPadJob(), settingsFor(file, resolutionOfItem(1, 0)));
  EXPECT_EQ(readFpf(file, false).header.dpi, 1625u);
}

TEST(PlotterExportTest, MirrorOffWritesTheImageFromTheBottomUp) {
  const fs::path dir = test::tempDir();
  PlotterExportSettings on = settingsFor(dir / "on.fpf", 1000),
                        off = settingsFor(dir / "off.fpf", 1000);
  on.mirror = true;
  // bands of 96 rows: 9 bands, the last of 32
  on.run.budgetBytes = off.run.budgetBytes = 96 * 128 + 1;
  PlotterExportSummary r = exportPlotterFile(twoPadJob(), on);
  ASSERT_EQ(r.plan.bands.bandCount, 9);
  exportPlotterFile(twoPadJob(), off);
  FpfContents a = readFpf(on.file), b = readFpf(off.file);
  ASSERT_TRUE(a.complete && b.complete);
  ASSERT_EQ(a.records, 200u);
  // Mirror on: the file's rows are the image's rows; the pads are where they belong.
  EXPECT_TRUE(a.image.exposed(230, 100));
  EXPECT_TRUE(a.image.exposed(430, 200));
  EXPECT_FALSE(a.image.exposed(430, 100));
  for (uint32_t y = 0; y < 800; ++y) {
    ASSERT_TRUE(std::equal(a.image.row(y), a.image.row(y) + 128, b.image.row(799 - y)))
        << "row " << y;
  }
  // The preview follows the image data's order.
  ASSERT_EQ(a.preview.height, 625u);
  for (uint32_t k = 0; k < 625; ++k) {
    ASSERT_TRUE(std::equal(a.preview.row(k), a.preview.row(k) + 100, b.preview.row(624 - k))) << k;
  }
  EXPECT_GT(a.preview.exposedCount(), 0u);
}

TEST(PlotterExportTest, ThumbnailPreviewAndOverviewBlocks) {
  BandBitmap preview(16, 11);
  expose(preview, 9, 5);
  const Bytes thumb = thumbnailBlock(preview), block = previewBlock(preview);
  ASSERT_EQ(thumb.size(), kFpfThumbnailBytes);
  ASSERT_EQ(block.size(), kFpfPreviewBytes);
  // The 4 x 4 block holding pixel (9, 5) is thumbnail pixel (2, 1).
  EXPECT_EQ(thumb[25], 0xDF);
  EXPECT_EQ(std::count(thumb.begin(), thumb.end(), 0xFF), 4999);
  EXPECT_EQ(block[500], preview.rowBytes(5)[0]);
  EXPECT_EQ(block[501], preview.rowBytes(5)[1]);
  EXPECT_EQ(std::count(block.begin(), block.end(), 0xFF), 79999);

  // The overview's top part, down to two rows below the last exposure, turns over.
  MonoImage overview(400, 400);
  overview.setExposed(3, 0, true);
  overview.setExposed(5, 7, true);
  flipOverviewTop(overview);  // rows 0..8 turn
  EXPECT_TRUE(overview.exposed(3, 8));
  EXPECT_TRUE(overview.exposed(5, 1));
  EXPECT_EQ(overview.exposedCount(), 2u);
}

TEST(PlotterExportTest, RefusalsCancelAndFailureKeepTheOldFile) {
  const fs::path dir = test::tempDir();
  const fs::path file = dir / "old.fpf";
  test::writeFile(file, "old contents");
  Job job = twoPadJob();
  auto refused = [&](PlotterExportSettings s, const std::string& expected) {
    test::expectError<FormatError>([&] { exportPlotterFile(job, s); }, expected);
    EXPECT_EQ(test::readFile(file), "old contents");
    EXPECT_TRUE(strayFiles(dir, file).empty());
  };
  PlotterExportSettings s = settingsFor(file, 1000);
  s.draw.layers = {};
  s.draw.layers[4] = true;
  refused(s, "no board has a Gerber file on a chosen layer");
  s = settingsFor(file, 1000);
  s.run.budgetBytes = 31 * 128;
  refused(s, "fewer than 32 rows");
  refused(settingsFor(file, 65536), "65535 dpi");
  refused(settingsFor(file, 99), "100 to");
  job.boards[0].PosX = 300.0;  // 19.5 million pixels a row at 65024 dpi
  refused(settingsFor(file, 65024), "at most 16777215 pixels");

  // A layer file that went missing ends the export.
  Job missing = twoPadJob();
  missing.boards.push_back(missing.boards[0]);
  missing.boards[1].LayerGerber[0] = (dir / "gone.gbr").string();
  for (bool reference : {false, true}) {
    PlotterExportSettings t = settingsFor(file, 1000);
    t.run.reference = reference;
    EXPECT_THROW(exportPlotterFile(missing, t), IoError);
    EXPECT_EQ(test::readFile(file), "old contents");
    EXPECT_TRUE(strayFiles(dir, file).empty());
    t.run.budgetBytes = 96 * 128 + 1;
    Progress progress;
    progress.onChange = [&progress](const Progress& p) {
      if (p.phase == Progress::Phase::Drawing) progress.cancelled = true;
    };
    t.run.progress = &progress;
    EXPECT_TRUE(exportPlotterFile(twoPadJob(), t).cancelled);
    EXPECT_EQ(test::readFile(file), "old contents");
    EXPECT_TRUE(strayFiles(dir, file).empty());
  }
}

struct WayCase {
  const char* name;
  Job (*job)();
  int dpi;
  bool mirror;
  bool techArea;
  uint64_t budgetBytes;
  unsigned threads;
  bool extras;  // holes, a no-hole list, line-width and horizontal-line adjustments
  bool slow;    // skipped under sanitizers
  FilmScale scale;
};

// A board whose 2-inch pad reaches far beyond the data's extents: every band
// that the pad meets must draw it, not only those of the end points.
Job farReachingPadJob() {
  Job job = test::oneBoardJob("far.gbr",
                              "%ADD10C,2.0000*%\n%ADD11C,0.0200*%\nD11*\nX1000Y1000D03*\n"
                              "D10*\nX1000Y1000D03*\nD11*\nX6000Y1000D03*\n",
                              1.2, 2.0);
  job.settings.tech = {6.35, 2.0, 3.0, 4.0, 5.0};
  return job;
}

// One step-and-repeat block of 60 x 40 copies of ten flashes.
Job repeatedFlashesJob() {
  std::string file =
      "%FSLAX24Y24*%%MOIN*%%ADD10C,0.1000*%%ADD11C,0.1500X0.0500*%%SRX60Y40I0.05J0.05*%";
  for (int k = 0; k < 10; ++k) {
    file += "D1" + std::to_string(k % 2) + "*X" + std::to_string(100 + 40 * (k % 5)) + "Y" +
            std::to_string(100 + 200 * (k / 5)) + "D03*";
  }
  return test::oneBoardJob("repeated.gbr", file + "%SR*%M02*", 0.2, 0.2);
}

// Step-and-repeat copies of draws, an arc, a region and a clear flash, the
// aperture chosen inside; and a block whose copies go on from where the one
// before ended, which cannot be skipped.
Job repeatedShapesJob() {
  const std::string file =
      "%FSLAX24Y24*%%MOIN*%%ADD10C,0.0100*%%ADD11R,0.0500X0.0300*%%ADD12C,0.0800*%"
      "%SRX8Y30I0.4J0.1*%D10*X0Y0D02*X3000Y200D01*G75*G03X3000Y600I0J200D01*G01*"
      "G36*X3200Y0D02*X3800Y0D01*X3500Y500D01*X3200Y0D01*G37*%LPC*%D12*X500Y300D03*%LPD*%"
      "D11*X1000Y300D03*%SR*%"
      "%SRX1Y20I0J0.15*%D10*X100Y4000D01*%SR*%M02*";
  return test::oneBoardJob("shapes.gbr", file, 0.2, 0.2);
}

// One layer as six boards on a row: the second and the sixth copies of the
// first at odd columns, the third at a whole byte; the fourth overlaps the
// third (one tile of two, drawn) and the fifth lies a row lower (drawn).
Job tiledBoardsJob() {
  const fs::path f = test::gerberFile(
      "tile.gbr",
      "%FSLAX24Y24*%%MOIN*%%ADD10C,0.0100*%%ADD11R,0.0500X0.0300*%%ADD12C,0.0800*%"
      "%ADD13C,0.0330*%D13*X0Y0D02*X5000Y1000D01*D10*X0Y2000D02*X5000Y2000D01*G75*"
      "G03X5000Y4000I0J1000D01*G01*G36*X6000Y0D02*X7500Y0D01*X6800Y3000D01*X6000Y0D01*G37*"
      "D11*X2000Y3000D03*%LPC*%D12*X6800Y1000D03*%LPD*%M02*");
  Job job;
  for (auto [x, y] : {std::pair{0.2, 0.2},
                      {1.2123, 0.2},
                      {2.2311, 0.2},
                      {2.5, 0.25},
                      {3.4, 0.2005},
                      {4.3777, 0.2}}) {
    job.boards.push_back(test::boardFor(f, x, y));
  }
  return job;
}

using test::corpusPanelJob;
using test::demoJob;

constexpr uint64_t MB = 1 << 20;

class FastWayTest : public testing::TestWithParam<WayCase> {};

TEST_P(FastWayTest, GivesTheLiteralWaysBytes) {
  const WayCase& c = GetParam();
  if (c.slow && test::kSanitized) GTEST_SKIP() << "too slow under the sanitizers";
  Job job = c.job();
  if (job.boards.empty()) GTEST_SKIP() << "the corpus is absent";
  const fs::path dir = test::tempDir();
  PlotterExportSettings s = settingsFor(dir / "fast.fpf", c.dpi);
  s.mirror = c.mirror;
  s.draw.techArea = c.techArea;
  s.run.budgetBytes = c.budgetBytes;
  s.run.threads = c.threads;
  s.scale = c.scale;
  if (c.extras) {
    s.draw.holeDiameter_mils = 20;
    s.draw.noHoleDCodes = "10, 11,x,5";
    s.draw.lineWidth_mils = 1.5;
    s.horizontalLine_mils = -0.8;
  }
  const uint64_t skipped = repeatCopiesSkipped();
  PlotterExportSummary fast = exportPlotterFile(job, s);
  EXPECT_GE(fast.plan.bands.bandCount, 2);
  // A small budget for a large job records the layers group of pieces by
  // group, and each group leaves out the repeated copies that miss it.
  const bool repeated = c.job == repeatedFlashesJob || c.job == repeatedShapesJob;
  if ((c.job == corpusPanelJob || repeated) && c.budgetBytes <= 2 * MB) {
    EXPECT_GT(fast.raster.groups, 1);
    if (repeated) {
      EXPECT_GT(repeatCopiesSkipped(), skipped);
    }
  }
  // A panel's copies side by side are copied, not drawn.
  if (c.job == corpusPanelJob || c.job == tiledBoardsJob || c.job == demoJob) {
    EXPECT_GT(fast.raster.tilesCopied, 0u);
  }
  s.file = dir / "literal.fpf";
  s.run.reference = true;
  PlotterExportSummary literal = exportPlotterFile(job, s);
  const Bytes a = fileBytes(dir / "fast.fpf"), b = fileBytes(dir / "literal.fpf");
  ASSERT_EQ(a.size(), b.size());
  auto differ = std::mismatch(a.begin(), a.end(), b.begin());
  EXPECT_TRUE(differ.first == a.end()) << "first difference at byte " << (differ.first - a.begin());
  EXPECT_EQ(fast.overview.bits, literal.overview.bits);
  EXPECT_GT(literal.overview.exposedCount(), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Jobs, FastWayTest,
    testing::Values(
        // clang-format off
        WayCase{"DemoAt1016",              demoJob,            1016,  false, false, 1 * MB,   2, false, false, {}},
        WayCase{"DemoAt1016MirrorTech",    demoJob,            1016,  true,  true,  1 * MB,   3, false, false, {}},
        WayCase{"DemoAt4064Extras",        demoJob,            4064,  false, true,  8 * MB,   2, true,  false, {}},
        WayCase{"DemoAt4064Mirror",        demoJob,            4064,  true,  false, 4 * MB,   1, false, false, {}},
        WayCase{"FarReachingPad",          farReachingPadJob,  300,   false, true,  4096 + 1, 2, false, false, {}},
        WayCase{"FarReachingPadMirror",    farReachingPadJob,  300,   true,  false, 4096 + 1, 2, true,  false, {}},
        WayCase{"RepeatedFlashes",         repeatedFlashesJob, 1016,  false, false, 1 * MB,   2, true,  false, {}},
        WayCase{"RepeatedShapes",          repeatedShapesJob,  2032,  false, false, MB / 8,    2, false, false, {}},
        WayCase{"RepeatedShapesMirror",    repeatedShapesJob,  2032,  true,  true,  MB / 8,    2, true,  false, {}},
        WayCase{"TiledBoards",             tiledBoardsJob,     2032,  false, false, 1 * MB,   2, false, false, {}},
        WayCase{"TiledBoardsMirrorScaled", tiledBoardsJob,     2032,  true,  true,  1 * MB,   2, true,  false, {1500, 700}},
        WayCase{"CorpusPanelAt1016",       corpusPanelJob,     1016,  false, false, 2 * MB,   2, false, false, {}},
        WayCase{"CorpusPanelAt1016Mirror", corpusPanelJob,     1016,  true,  true,  2 * MB,   2, true,  false, {}},
        WayCase{"CorpusPanelAt1016Scaled", corpusPanelJob,     1016,  false, true,  2 * MB,   2, true,  false, {4000, -2500}},
        WayCase{"CorpusPanelAt4064Tech",   corpusPanelJob,     4064,  false, true,  32 * MB,  2, false, true,  {}},
        WayCase{"CorpusPanelAt4064Mirror", corpusPanelJob,     4064,  true,  false, 64 * MB,  2, false, true,  {}}),
    // clang-format on
    [](const testing::TestParamInfo<WayCase>& info) { return info.param.name; });

// The film's columns that some row exposes, as runs [x0, x1).
std::vector<std::pair<int64_t, int64_t>> exposedColumns(const fs::path& file) {
  std::unique_ptr<FilmReader> film = openFilm(file);
  const FilmFacts& f = film->facts();
  std::vector<uint8_t> any(f.rowBytes(), 0xFF), rows(f.rowBytes() * 256);
  for (uint32_t y = 0; y < f.height; y += 256) {
    const uint32_t count = std::min<uint32_t>(256, f.height - y);
    film->readRows(y, count, rows.data());
    for (size_t i = 0; i < count * f.rowBytes(); ++i) any[i % f.rowBytes()] &= rows[i];
  }
  std::vector<std::pair<int64_t, int64_t>> runs;
  for (int64_t x = 0; x < f.width; ++x) {
    if (any[static_cast<size_t>(x / 8)] & (0x80u >> (x % 8))) continue;
    if (runs.empty() || runs.back().second != x) runs.push_back({x, x});
    runs.back().second = x + 1;
  }
  return runs;
}

// A film scaled 1.0005 across: a pad at 10 inches lands 0.005 inch (41
// pixels at 8128 dpi) further out, the mark and both strips of the tech
// area move with it about the film's corner, and the image grows.
TEST(PlotterExportTest, FilmScaleStretchesTheWholeFilmAboutItsCorner) {
  Job job = test::oneBoardJob("far.gbr", "%ADD10C,0.0200*%\nD10*\nX0Y0D03*\n", 9.9, 0.05);
  Board mark =
      test::boardFor(test::gerberFile("mark.gbr", "%ADD10C,0.0400*%\nD10*\nX0Y0D03*\n"), 5.0, 0.05);
  mark.IsMark = true;
  job.boards.push_back(mark);
  job.settings.tech = {1.0, 0.5, 0.5, 0.0, 0.0};
  const fs::path dir = test::tempDir();
  PlotterExportSettings s = settingsFor(dir / "nominal.fpf", 8128);
  s.draw.techArea = true;
  const PlotterExportSummary nominal = exportPlotterFile(job, s);
  s.file = dir / "scaled.fpf";
  s.scale = {500, 0};
  const PlotterExportSummary scaled = exportPlotterFile(job, s);
  EXPECT_GT(scaled.plan.width_px, nominal.plan.width_px);
  EXPECT_EQ(scaled.plan.height_px, nominal.plan.height_px);
  const auto before = exposedColumns(dir / "nominal.fpf"),
             after = exposedColumns(dir / "scaled.fpf");
  ASSERT_EQ(before.size(), 4u);  // the left strip, the mark, the pad, the right strip
  ASSERT_EQ(after.size(), 4u);
  auto centre = [](std::pair<int64_t, int64_t> run) {
    return static_cast<double>(run.first + run.second) / 2.0;
  };
  for (size_t i = 0; i < 4; ++i) {
    EXPECT_NEAR(centre(after[i]), centre(before[i]) * 1.0005, 1.0) << "run " << i;
  }
  EXPECT_NEAR(centre(after[2]) - centre(before[2]), 41.0, 1.0);
  // The notes say the scale where the 50 characters stored leave room.
  const std::string full(40, 'n');
  for (auto [notes, scale, stored] :
       {std::tuple{"", FilmScale{500, 0}, "scale +500/+0 ppm"},
        {"batch 7", FilmScale{-12.5, 3}, "batch 7 scale -12.5/+3 ppm"},
        {full.c_str(), FilmScale{500, 0}, full.c_str()},
        {"batch 7", FilmScale{}, "batch 7"}}) {
    EXPECT_EQ(plotterFileNotes(notes, scale), stored);
  }
}

TEST(ExportGeometryTest, ImageAndPreviewSizes) {
  // 32 x floor((round(X dpi) + round(0.6 dpi)) / 32).
  EXPECT_EQ(plotterSide_px(10.0, 2032), 21536);  // (20320 + 1219) / 32 = 673.09
  EXPECT_EQ(plotterSide_px(0.43, 1000), 1024);
  EXPECT_EQ(plotterSide_px(0.1, 6500), 4544);
  EXPECT_EQ(plotterSide_px(-2.0, 1000), -1408);  // boards left of the area: refused later
  // Wider than high: 800 wide; otherwise 800 high and the width a multiple of 8.
  EXPECT_EQ(previewSize(1024, 800, 1000), (PreviewSize{800, 625, 781.25}));
  EXPECT_EQ(previewSize(800, 1024, 1000), (PreviewSize{624, 800, 781.25}));
  EXPECT_EQ(previewSize(1024, 1024, 2032), (PreviewSize{800, 800, 1587.5}));
  EXPECT_EQ(previewSize(409600, 256, 1000).height_px, 0);  // too flat for a row
}

TEST(ExportGeometryTest, BoardLayersInDrawingOrder) {
  Job job;
  job.boards.resize(3);
  job.boards[0].LayerGerber[2] = "/a/3.gbr";
  job.boards[0].LayerGerber[0] = "/a/1.gbr";
  job.boards[0].LayerAperture[0] = "/a/1.Env";
  job.boards[1].LayerGerber[0] = "/b/1.gbr";
  job.boards[1].PosX = 2.0;
  job.boards[1].PosY = 3.0;
  job.boards[1].DataMinX = -1.5;
  job.boards[2].LayerGerber[1] = "/c/2.gbr";
  OutputLayers layers{};
  layers[0] = layers[2] = true;
  std::vector<BoardLayer> out = outputBoardLayers(job, layers, 0.25, 0.5);
  ASSERT_EQ(out.size(), 3u);  // layer 1: boards 1 and 2; layer 3: board 1
  EXPECT_EQ(std::tuple(out[0].gerberFile, out[0].apertureFile), std::tuple("/a/1.gbr", "/a/1.Env"));
  EXPECT_EQ(std::tuple(out[1].board, out[1].x, out[1].y, out[1].dataMinX, out[1].apertureFile),
            std::tuple(1u, 2.25, 3.5, -1.5, ""));
  EXPECT_EQ(out[2].layer, 3);
}

TEST(ExportGeometryTest, FrameAndBandReach) {
  TechAreaFrame frame;
  frame.strips[0] = {0.0, 0.0, 0.1, 2.0};
  frame.strips[3] = {0.0, 1.9, 2.0, 2.0};
  std::array<PixelRect, 4> r = techFrameRects(frame, 1000);
  EXPECT_EQ(r[0], (PixelRect{0, 0, 100, 2000}));
  EXPECT_EQ(r[3], (PixelRect{0, 1900, 2000, 2000}));
  // A band of rows 1000..1999 at 1000 dpi: inches 1 to 2.
  const BandSpan band{1000, 1000};
  EXPECT_TRUE(boardReachesBand(2.5, 0.0, band, 1000));  // top half an inch below the band
  EXPECT_FALSE(boardReachesBand(2.51, 0.0, band, 1000));
  EXPECT_TRUE(boardReachesBand(0.2, 0.3, band, 1000));  // ends half an inch above it
  EXPECT_FALSE(boardReachesBand(0.2, 0.29, band, 1000));
}

}  // namespace
}  // namespace drumplot
