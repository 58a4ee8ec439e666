// SPDX-License-Identifier: MIT
// Films: the TIFF read back through libtiff against the decoded plotter
// file, negative films, one film per layer, and a film past 4 GB; every
// format into a byte sink that fails, and the chain of output/'s headers;
// 1-bit image files and the geometry comparison.
#include "output/film_export.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdlib>
#include <map>
#include <set>
#include <sstream>

#include "engine/errors.h"
#include "engine/gerber_reader.h"
#include "io/byte_sink.h"
#include "io/io_error.h"
#include "output/export_test_support.h"
#include "output/fpf_file.h"
#include "output/image_compare.h"
#include "output/job_preview.h"
#include "output/mono_image.h"
#include "output/plotter_export.h"
#include "output/preflight.h"
#include "output/prepared_job.h"
#include "support/test_support.h"
#include "support/tiff_reader.h"

namespace drumplot {
namespace {

namespace fs = std::filesystem;

FilmSettings filmSettings(const fs::path& file, FilmFormat format, int dpi) {
  FilmSettings s;
  s.plotter.file = file;
  s.format = format;
  s.plotter.dpi = dpi;
  return s;
}

// A pad of 0.1 inch at data point (0.1, 0.1) and one at (0.1 + side,
// 0.1 + side); the board at (0, 0).
Job twoPadJob(double side) {
  const std::string far = std::to_string(std::lround((0.1 + side) * 10000));
  return test::oneBoardJob(
      "pads.gbr", "%ADD10R,0.1000X0.1000*%\nD10*\nX1000Y1000D03*\nX" + far + "Y" + far + "D03*\n",
      0.0, 0.0);
}

// Eight inches square of 45-degree strokes 4 pixels apart at 100 dpi:
// every row moves each edge by a pixel, which Group 4 codes in more bits
// than the pixels take.
Job hatchJob() {
  std::string body = "%ADD10C,0.0100*%\nD10*\n";
  for (int x = -80000; x <= 80000; x += 400) {
    body += "X" + std::to_string(std::max(x, 0)) + "Y" + std::to_string(std::max(-x, 0)) + "D02*\n";
    body += "X" + std::to_string(std::min(80000, 80000 + x)) + "Y" +
            std::to_string(std::min(80000, 80000 - x)) + "D01*\n";
  }
  return test::oneBoardJob("hatch.gbr", body, 0.0, 0.0);
}

using test::demoJob;

struct TiffCase {
  const char* name;
  Job (*job)();
  int dpi;
  bool mirror;
  bool techArea;
  TiffCompression compression;
  uint64_t budgetBytes;  // small: many bands and strips
  bool reference;        // the literal way
  double horizontal_mils;
  enum { Classic, BelowTheFilm, TheClassicFilmsSize } limit;  // of a classic TIFF
  bool bigTiff;
};

class TiffFilmTest : public testing::TestWithParam<TiffCase> {};

TEST_P(TiffFilmTest, ReadBackEqualsTheDecodedPlotterFile) {
  const TiffCase& c = GetParam();
  const fs::path dir = test::tempDir();
  const Job job = c.job();
  FilmSettings s = filmSettings(dir / "film.fpf", FilmFormat::Fpf, c.dpi);
  s.plotter.mirror = c.mirror;
  s.plotter.draw.techArea = c.techArea;
  s.plotter.run.budgetBytes = c.budgetBytes;
  s.plotter.run.reference = c.reference;
  s.plotter.horizontalLine_mils = c.horizontal_mils;
  s.tiff.compression = c.compression;
  s.plotter.notes = "film notes";
  const FilmExportSummary fpf = exportFilms(job, s);
  s.format = FilmFormat::Tiff;
  s.plotter.file = dir / "film.tif";
  if (c.limit == TiffCase::BelowTheFilm) s.tiff.classicLimitBytes = 1000;
  if (c.limit == TiffCase::TheClassicFilmsSize) {
    // Room for the film as estimated from its raw size, not for its strips.
    s.tiff.classicLimitBytes =
        std::get<TiffFilmSummary>(exportFilms(job, s).films.at(0).output).exported.fileBytes;
  }
  const FilmExportSummary tiff = exportFilms(job, s);
  const auto& film = std::get<TiffFilmSummary>(tiff.films.at(0).output);

  const FpfContents plotted = readFpf(dir / "film.fpf");
  test::TiffFacts facts;
  const MonoImage read = test::readTiff(s.plotter.file, &facts);
  ASSERT_EQ(read.width, plotted.image.width);
  ASSERT_EQ(read.height, plotted.image.height);
  EXPECT_TRUE(read.bits == plotted.image.bits)
      << "the TIFF's pixels differ from the plotter file's";
  EXPECT_GT(read.exposedCount(), 0u);
  EXPECT_EQ(std::tuple(facts.bigTiff, film.bigTiff), std::tuple(c.bigTiff, c.bigTiff));
  EXPECT_EQ(facts.photometric, PHOTOMETRIC_MINISWHITE);
  EXPECT_EQ(facts.compression, c.compression == TiffCompression::Group4     ? COMPRESSION_CCITTFAX4
                               : c.compression == TiffCompression::PackBits ? COMPRESSION_PACKBITS
                                                                            : COMPRESSION_NONE);
  EXPECT_EQ(facts.resolutionUnit, RESUNIT_INCH);
  EXPECT_FLOAT_EQ(facts.xResolution, static_cast<float>(c.dpi));
  EXPECT_FLOAT_EQ(facts.yResolution, static_cast<float>(c.dpi));
  EXPECT_EQ(facts.rowsPerStrip, static_cast<uint32_t>(film.stripRows));
  if (c.budgetBytes < (1u << 20)) {
    EXPECT_GT(facts.strips, 8u);
  }
  EXPECT_EQ(film.exported.overview.bits, fpf.films[0].overview().bits);
}

constexpr uint64_t kSmall = 256 * 1024;  // bands of a few hundred rows
constexpr uint64_t kLarge = 64 << 20;

INSTANTIATE_TEST_SUITE_P(
    Films, TiffFilmTest,
    testing::Values(
        // clang-format off
        TiffCase{"Group4MirrorOffTechArea",  demoJob,  1016, false, true,  TiffCompression::Group4,   kSmall, false, 0.0, TiffCase::Classic,         false},
        TiffCase{"Group4MirrorOnLiteral",    demoJob,  1016, true,  false, TiffCompression::Group4,   kSmall, true,  0.0, TiffCase::Classic,         false},
        TiffCase{"PackBitsMirrorOnTechArea", demoJob,  2032, true,  true,  TiffCompression::PackBits, kLarge, false, 0.0, TiffCase::Classic,         false},
        TiffCase{"NoneMirrorOffLineWidths",  demoJob,  1016, false, false, TiffCompression::None,     kSmall, false, 1.5, TiffCase::Classic,         false},
        TiffCase{"BigTiffPastTheLimit",      demoJob,  1016, false, true,  TiffCompression::Group4,   kSmall, false, 0.0, TiffCase::BelowTheFilm,    true},
        TiffCase{"BigTiffWhenGroup4Grows",   hatchJob, 100,  false, false, TiffCompression::Group4,   kSmall, false, 0.0, TiffCase::TheClassicFilmsSize, true}),
    // clang-format on
    [](const testing::TestParamInfo<TiffCase>& info) { return info.param.name; });

// A film past 4 GB: 195072 x 195072 pixels at 65024 dpi, uncompressed and
// in Group 4, both BigTIFF. Slow and large: run by `make bigtiff-test`.
TEST(TiffFilmBigTest, FilmPast4GBReadsBackAsThePlotterFile) {
  if (!std::getenv("DRUMPLOT_BIG_TESTS")) GTEST_SKIP() << "run by make bigtiff-test";
  const fs::path dir = test::tempDir();
  const Job job = twoPadJob(2.4);
  FilmSettings s = filmSettings(dir / "big.fpf", FilmFormat::Fpf, 65024);
  s.plotter.run.budgetBytes = 256 << 20;
  exportFilms(job, s);
  const FpfContents plotted = readFpf(s.plotter.file);
  ASSERT_EQ(plotted.image.width, 195072u);
  for (TiffCompression compression : {TiffCompression::None, TiffCompression::Group4}) {
    s.format = FilmFormat::Tiff;
    s.tiff.compression = compression;
    s.plotter.file = dir / "big.tif";
    exportFilms(job, s);
    uint64_t exposed = 0;
    const test::TiffFacts facts = test::readTiffStrips(
        s.plotter.file,
        [&](const test::TiffFacts&, uint32_t first, uint32_t count, const uint8_t* bits) {
          const size_t bytes = count * plotted.image.stride();
          ASSERT_TRUE(std::equal(bits, bits + bytes, plotted.image.row(first)))
              << "rows from " << first;
          for (size_t i = 0; i < bytes; ++i)
            exposed += static_cast<uint64_t>(8 - std::popcount(bits[i]));
        });
    EXPECT_TRUE(facts.bigTiff);
    EXPECT_EQ(facts.height, plotted.image.height);
    EXPECT_EQ(exposed, plotted.image.exposedCount());
    if (compression == TiffCompression::None) {
      EXPECT_GT(fs::file_size(s.plotter.file), uint64_t{1} << 32);
    }
  }
}

TEST(NegativeFilmTest, EveryPixelIsTurnedOverInEachFormat) {
  const fs::path dir = test::tempDir();
  const Job job = twoPadJob(0.3);
  auto both = [&](FilmFormat format, const char* extension) {
    std::pair<fs::path, fs::path> files{dir / (std::string("positive.") + extension),
                                        dir / (std::string("negative.") + extension)};
    FilmSettings s = filmSettings(files.first, format, 1000);
    s.plotter.horizontalLine_mils = 3.0;  // acts on the drawing, before it is turned over
    s.plotter.draw.techArea = true;
    exportFilms(job, s);
    s.plotter.file = files.second;
    s.plotter.negative = true;
    exportFilms(job, s);
    return files;
  };
  auto turnedOver = [](std::vector<uint8_t> bits) {
    for (uint8_t& b : bits) b = static_cast<uint8_t>(~b);
    return bits;
  };
  auto [fpfPositive, fpfNegative] = both(FilmFormat::Fpf, "fpf");
  const FpfContents p = readFpf(fpfPositive), n = readFpf(fpfNegative);
  EXPECT_GT(p.image.exposedCount(), 0u);
  EXPECT_TRUE(n.image.bits == turnedOver(p.image.bits));
  EXPECT_TRUE(n.preview.bits == turnedOver(p.preview.bits));

  auto [tiffPositive, tiffNegative] = both(FilmFormat::Tiff, "tif");
  EXPECT_TRUE(test::readTiff(tiffNegative).bits == turnedOver(p.image.bits));
  EXPECT_TRUE(test::readTiff(tiffPositive).bits == p.image.bits);

  auto [bmpPositive, bmpNegative] = both(FilmFormat::Bmp, "bmp");
  const std::string a = test::readFile(bmpPositive), b = test::readFile(bmpNegative);
  ASSERT_EQ(a.size(), b.size());
  EXPECT_EQ(a.substr(0, kJobBitmapHeaderBytes), b.substr(0, kJobBitmapHeaderBytes));
  const std::vector<uint8_t> rows(a.begin() + kJobBitmapHeaderBytes, a.end());
  EXPECT_TRUE(std::vector<uint8_t>(b.begin() + kJobBitmapHeaderBytes, b.end()) == turnedOver(rows));
}

TEST(SplitLayersTest, EachFilmIsItsLayersExportAndNoneIsWrittenUnlessAll) {
  EXPECT_EQ(layerFilmName("out/panel.tif", 3, "Bottom copper/2"),
            "out/panel-03-Bottom_copper_2.tif");
  EXPECT_EQ(layerFilmName("panel", 12, ""), "panel-12");
  // A film is named by the role its files' names tell, else by the settings' name.
  Job named;
  named.boards.resize(2);
  named.boards[0].LayerGerber[0] = named.boards[1].LayerGerber[0] = "cad/core.GTL";
  named.boards[0].LayerGerber[1] = "board-B_Cu.gbr";
  named.boards[1].LayerGerber[1] = "board-F_Cu.gbr";  // two roles on one layer
  named.boards[0].LayerGerber[2] = "silk.pho";
  EXPECT_EQ(filmLayerName(named, 1), "top-copper");
  EXPECT_EQ(filmLayerName(named, 2), "Lay_2");
  EXPECT_EQ(filmLayerName(named, 3), "Lay_3");

  const fs::path dir = test::tempDir();
  Job job = demoJob();
  job.settings.LayerNames[0] = "Top";
  FilmSettings s = filmSettings(dir / "demo.fpf", FilmFormat::Fpf, 1016);
  s.plotter.draw.layers = {};
  s.plotter.draw.layers[0] = s.plotter.draw.layers[1] = s.plotter.draw.layers[2] = true;
  s.splitLayers = true;
  s.plotter.mirror = true;
  const FilmExportSummary split = exportFilms(job, s);
  ASSERT_EQ(split.films.size(), 3u);
  const fs::path names[] = {"demo-01-Top.fpf", "demo-02-Lay_2.fpf", "demo-03-Lay_3.fpf"};
  for (int layer = 1; layer <= 3; ++layer) {
    EXPECT_EQ(split.films[layer - 1].file, dir / names[layer - 1]);
    EXPECT_EQ(split.films[layer - 1].layer, layer);
    PlotterExportSettings one = s.plotter;
    one.file = dir / "one.fpf";
    one.draw.layers = {};
    one.draw.layers[layer - 1] = true;
    exportPlotterFile(job, one);
    EXPECT_TRUE(test::readFile(dir / names[layer - 1]) == test::readFile(one.file))
        << "layer " << layer;
  }
  EXPECT_FALSE(fs::exists(dir / "demo.fpf"));

  // A layer file that cannot be read: no film is written, the older ones stay.
  const fs::path again = test::tempDir();
  test::writeFile(again / "demo-01-Top.fpf", "older film");
  job.boards[0].LayerGerber[2] = (again / "gone.gbr").string();
  s.plotter.file = again / "demo.fpf";
  EXPECT_THROW(exportFilms(job, s), IoError);
  EXPECT_EQ(test::readFile(again / "demo-01-Top.fpf"), "older film");
  EXPECT_EQ(std::distance(fs::directory_iterator(again), fs::directory_iterator()), 1);
}

// The check, the films of every layer, the job bitmap and the preview drawn
// from one prepared job read each layer file once; a file changed on disk
// is read again, and the film shows the change.
TEST(PreparedJobTest, EachFileIsReadOnceUntilItChanges) {
  Job job = test::twoBoardJob();
  const fs::path line =
      test::gerberFile("line.gbr", "%ADD11C,0.010*%\nD11*\nX0Y0D02*\nX5000Y0D01*\n");
  job.boards[0].LayerGerber[2] = line.string();
  const fs::path dir = test::tempDir();
  PreparedJob prepared(memoryBudgetBytes(10));
  FilmSettings s = filmSettings(dir / "panel.tif", FilmFormat::Tiff, 1016);
  s.splitLayers = true;
  s.plotter.run.budgetBytes = prepared.budgetBytes();
  s.plotter.run.prepared = &prepared;
  auto loadsSince = [](const std::map<std::string, int>& before) {
    std::map<std::string, int> loads;
    for (const auto& [file, n] : gerberFileLoads()) {
      if (const auto it = before.find(file); n > (it == before.end() ? 0 : it->second))
        loads[file] = n - (it == before.end() ? 0 : it->second);
    }
    return loads;
  };
  const std::map<std::string, int> once{{job.boards[0].LayerGerber[0], 1}, {line.string(), 1}};

  std::map<std::string, int> before = gerberFileLoads();
  checkJob(job, {s.plotter, 0.05});
  const FilmExportSummary films = exportFilms(job, s);
  EXPECT_EQ(films.films.size(), 3u);
  writeJobBitmap(job, {s.plotter.draw, s.plotter.run, dir / "clip.bmp", false});
  renderJobPreview(job, {}, 300, 200, nullptr, &prepared);
  EXPECT_EQ(loadsSince(before), once);

  const std::string film = test::readFile(films.films[2].file);
  test::writeFile(line,
                  "%FSLAX24Y24*%\n%MOIN*%\n%ADD11C,0.0200*%\nD11*\nX0Y0D02*\nX5000Y0D01*\nM02*\n");
  before = gerberFileLoads();
  exportFilms(job, s);
  EXPECT_EQ(loadsSince(before), (std::map<std::string, int>{{line.string(), 1}}));
  EXPECT_NE(test::readFile(films.films[2].file), film);
}

// The third film's temporary file goes while it is drawn, so its rename
// fails after the first two were committed: they are put back as they were.
TEST(SplitLayersTest, AFailedRenamePutsTheFilmsAlreadyCommittedBack) {
  const fs::path dir = test::tempDir();
  Job job = demoJob();
  FilmSettings s = filmSettings(dir / "demo.fpf", FilmFormat::Fpf, 1016);
  s.plotter.draw.layers = {};
  s.plotter.draw.layers[0] = s.plotter.draw.layers[1] = s.plotter.draw.layers[2] = true;
  s.splitLayers = true;
  test::writeFile(dir / "demo-01-Lay_1.fpf", "older film");
  Progress progress;
  progress.onChange = [&](const Progress&) {
    for (const auto& entry : fs::directory_iterator(dir)) {
      if (entry.path().filename().string().starts_with(".demo-03-")) fs::remove(entry.path());
    }
  };
  s.plotter.run.progress = &progress;
  test::expectError<IoError>([&] { exportFilms(job, s); },
                             "demo-03-Lay_3.fpf: cannot replace the file: No such file or "
                             "directory; nothing replaced: " +
                                 (dir / "demo-01-Lay_1.fpf").string() + " put back, " +
                                 (dir / "demo-02-Lay_2.fpf").string() + " removed again");
  EXPECT_EQ(test::readFile(dir / "demo-01-Lay_1.fpf"), "older film");
  EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);
}

MonoImage square(uint32_t size, uint32_t x0, uint32_t y0, uint32_t side) {
  MonoImage image(size, size);
  for (uint32_t y = y0; y < y0 + side; ++y)
    for (uint32_t x = x0; x < x0 + side; ++x) image.setExposed(x, y, true);
  return image;
}

TEST(MonoImageTest, PngRoundTripAndPbmBytes) {
  MonoImage image = square(13, 2, 3, 5);  // odd width: the last byte is partial
  EXPECT_EQ(image.exposedCount(), 25u);
  auto dir = test::tempDir();
  writeImage(dir / "a.png", image);
  MonoImage back = readPng(dir / "a.png");
  EXPECT_EQ(std::tuple(back.width, back.height), std::tuple(13u, 13u));
  EXPECT_EQ(back.bits, image.bits);

  writeImage(dir / "a.pbm", square(8, 0, 0, 1));
  std::string pbm = test::readFile(dir / "a.pbm");
  ASSERT_EQ(pbm.size(), 7u + 8u);  // "P4\n8 8\n" and one byte a row
  EXPECT_EQ(pbm.substr(0, 7), "P4\n8 8\n");
}

TEST(MonoImageTest, WritingNeverLeavesAPartialFile) {
  auto dir = test::tempDir();
  EXPECT_THROW(writeImage(dir / "missing" / "a.png", square(8, 0, 0, 1)), IoError);
  EXPECT_THROW(writeImage(dir / "a.gif", square(8, 0, 0, 1)), FormatError);
  test::expectError<FormatError>([&] { writeImage(dir / "a.png", MonoImage(kMaxPngSide + 1, 1)); },
                                 "larger than a PNG file may be (1000000 pixels a side); write it "
                                 "as a .pbm file");
  EXPECT_TRUE(std::filesystem::is_empty(dir));
}

TEST(ImageCompareTest, EdgeNoiseErodesAwayButMissingShapesRemain) {
  MonoImage reference = square(40, 10, 10, 20);
  // One pixel wider on two sides: only a thin XOR, which the erosion removes.
  MonoImage wider = square(40, 9, 9, 21);
  const ImageDifference edge = compareImages(wider, reference, 0, 0);
  EXPECT_EQ(std::tuple(edge.differing, edge.residual), std::tuple(41u, 0u));
  // The same square in a frame shifted by 5 pixels lines up when shifted back.
  MonoImage shifted = square(40, 5, 5, 20);
  EXPECT_EQ(compareImages(shifted, reference, 5, 5).differing, 0u);
  // A missing square leaves its inside.
  const ImageDifference missing = compareImages(MonoImage(40, 40), reference, 0, 0);
  EXPECT_EQ(std::tuple(missing.differing, missing.residual), std::tuple(400u, 16u * 16u));
}

// Film writers - Byte sinks and the header chain
// ============================================================================

// Takes `limit` bytes, then fails as a full disk does; counts the calls
// that reach it after that.
class FailingSink final : public ByteSink {
 public:
  explicit FailingSink(uint64_t limit) : limit_(limit) {}
  uint64_t bytesWritten() const override { return bytes_.size(); }
  const fs::path& name() const override { return name_; }
  int callsAfterFailure = 0;

 private:
  void append(std::span<const uint8_t> bytes) override {
    callsAfterFailure += failed_;
    failed_ = failed_ || bytes_.size() + bytes.size() > limit_;
    if (failed_) throw IoError("film: write error: No space left on device");
    bytes_.insert(bytes_.end(), bytes.begin(), bytes.end());
  }
  void overwrite(uint64_t offset, std::span<const uint8_t> bytes) override {
    callsAfterFailure += failed_;
    std::copy(bytes.begin(), bytes.end(), bytes_.begin() + static_cast<ptrdiff_t>(offset));
  }

  uint64_t limit_;
  bool failed_ = false;
  std::vector<uint8_t> bytes_;
  fs::path name_ = "film";
};

// The film of `s` drawn into `sink` as exportFilms draws it into its file.
void drawFilm(const Job& job, const FilmSettings& s, ByteSink& sink) {
  RasterScene scene;
  const PlotterExportSettings& p = s.plotter;
  if (s.format == FilmFormat::Bmp) {
    const JobBitmapSettings b{p.draw, p.run, p.file, p.negative};
    const JobBitmapPlan plan = planJobBitmapScene(job, b, scene);
    writeJobBitmapFile(scene, plan, b, sink);
    return;
  }
  const PlotterExportPlan plan = planPlotterScene(job, p, scene);
  if (s.format == FilmFormat::Tiff) {
    writeTiffFilm(scene, plan, p, s.tiff, sink);
  } else {
    writePlotterFile(scene, plan, p, sink);
  }
}

// Every format gives the file's bytes in memory, and stops at the first
// write that fails (in the header, among the bands, in the last block)
// with that write's error: nothing more reaches the sink.
TEST(FilmWriterTest, EveryFormatWritesItsFileIntoASinkAndStopsAtItsFailure) {
  const Job job = twoPadJob(0.2);
  for (FilmFormat format : {FilmFormat::Fpf, FilmFormat::Tiff, FilmFormat::Bmp}) {
    FilmSettings s = filmSettings(test::tempDir() / "film", format, 4064);
    s.plotter.run.budgetBytes = 64 * 1024;  // many bands
    exportFilms(job, s);
    std::vector<uint8_t> bytes;
    MemorySink memory(bytes, "film");
    drawFilm(job, s, memory);
    ASSERT_TRUE(std::string(bytes.begin(), bytes.end()) == test::readFile(s.plotter.file))
        << "format " << static_cast<int>(format);
    for (uint64_t limit : {uint64_t{0}, bytes.size() / 2, bytes.size() - 1}) {
      FailingSink failing(limit);
      test::expectError<IoError>([&] { drawFilm(job, s, failing); },
                                 "film: write error: No space left on device");
      EXPECT_EQ(failing.callsAfterFailure, 0) << "format " << static_cast<int>(format);
    }
  }
}

// The headers of output/ include each other one way (byte sink, film
// writer, formats, the films of one export); the file a film is written
// into is named only where the outputs are opened.
TEST(FilmWriterTest, OutputHeadersFormAChainWithoutCycles) {
  std::map<std::string, std::set<std::string>> includes;  // file -> what it includes
  std::map<std::string, std::string> headers;             // header -> its text
  for (const auto& entry : fs::directory_iterator(fs::path(DRUMPLOT_SOURCE_DIR) / "output")) {
    const std::string name = entry.path().filename().string(), text = test::readFile(entry.path());
    if (entry.path().extension() == ".h") headers[name] = text;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
      if (line.rfind("#include \"", 0) == 0)
        includes[name].insert(line.substr(10, line.size() - 11));
    }
  }
  for (const auto& [name, text] : headers) {
    EXPECT_EQ(text.find("ReplacingFile"), std::string::npos) << name;
  }
  for (const char* format : {"output/plotter_export.h", "output/tiff_film.h", "output/job_bitmap.h",
                             "output/film_export.h", "io/replacing_file.h"}) {
    EXPECT_EQ(includes["job_raster.h"].count(format), 0u) << format;
  }
  std::set<std::string> plotterFile;  // who writes or reads plotter files
  for (const auto& [name, included] : includes) {
    if (included.count("output/plotter_export.h")) plotterFile.insert(name);
  }
  EXPECT_EQ(plotterFile, (std::set<std::string>{"film_compare.cpp", "film_export.cpp",
                                                "plotter_export.cpp", "preflight.cpp"}));
  // Headers that include no header left are taken away until none is left:
  // any left over lie on a cycle.
  std::set<std::string> left;
  for (const auto& [name, text] : headers) left.insert(name);
  for (bool taken = true; taken;) {
    taken = false;
    for (auto it = left.begin(); it != left.end();) {
      const bool free =
          std::none_of(includes[*it].begin(), includes[*it].end(), [&](const std::string& i) {
            return i.rfind("output/", 0) == 0 && left.count(i.substr(7));
          });
      it = free ? left.erase(it) : std::next(it);
      taken = taken || free;
    }
  }
  EXPECT_TRUE(left.empty()) << "on a cycle or above one: " << *left.begin();
}

}  // namespace
}  // namespace drumplot
