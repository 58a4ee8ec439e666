// SPDX-License-Identifier: MIT
// drumplot-cli fpf decode: the streamed image whole, by window (inches and
// pixels) and reduced, into PNG, PBM and TIFF, against the plotter file
// decoded whole; damaged files refused naming the rows.
#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>
#include <string>
#include <vector>

#include "cli/command_registry.h"
#include "engine/errors.h"
#include "output/export_test_support.h"
#include "output/fpf_file.h"
#include "output/fpf_reader.h"
#include "output/plotter_export.h"
#include "support/cli_runner.h"
#include "support/test_support.h"
#include "support/tiff_reader.h"

namespace drumplot {
namespace {

namespace fs = std::filesystem;
using test::windowOf;

// A picture file as a MonoImage, whatever its kind.
MonoImage readPicture(const fs::path& file) {
  const std::string ext = file.extension().string();
  if (ext == ".png") return readPng(file);
  MonoImage image;
  if (ext == ".tif") {
    test::readTiffStrips(
        file, [&](const test::TiffFacts& f, uint32_t first, uint32_t count, const uint8_t* bits) {
          if (image.width == 0) image = MonoImage(f.width, f.height);
          std::copy(bits, bits + count * image.stride(), image.row(first));
        });
    return image;
  }
  const std::string bytes = test::readFile(file);  // P4
  unsigned w = 0, h = 0;
  int header = 0;
  std::sscanf(bytes.c_str(), "P4 %u %u%n", &w, &h, &header);
  image = MonoImage(w, h);
  for (size_t i = 0; i < image.bits.size(); ++i)
    image.bits[i] = static_cast<uint8_t>(~bytes[static_cast<size_t>(header) + 1 + i]);
  return image;
}

struct DecodeCase {
  std::vector<std::string> options;
  FilmWindow window;  // {} for the whole film
  uint32_t reduce;
  const char* picture;
};

TEST(FpfDecodeTest, WindowsAndReductionsGiveTheWholeDecodesPixels) {
  const fs::path dir = test::tempDir();
  PlotterExportSettings s;
  s.file = dir / "film.fpf";
  s.dpi = 600;  // 1856 x 1248 pixels, the mirror off
  exportPlotterFile(test::twoBoardJob(), s);
  const MonoImage film = readFpf(s.file).image;
  const FilmWindow whole{0, 0, film.width, film.height};
  // clang-format off
  const DecodeCase cases[] = {
      {{},                                                  whole,                   1,  "a.pbm"},
      {{},                                                  whole,                   1,  "a.tif"},
      {{"--reduce", "7"},                                   whole,                   7,  "b.png"},
      // 0.1005 inch is pixel 60.3: down to 60; 1.0005 is 600.3: up to 601.
      {{"--window", "0.1005,1.0,1.0005,1.9"},               {60, 600, 601, 1140},    1,  "c.tif"},
      {{"--window", "13px,6px,1603px,1001px"},              {13, 6, 1603, 1001},     1,  "d.png"},
      {{"--window", "0.05, 0.3,2.5,1.9", "--reduce", "4"},  {30, 180, 1500, 1140},   4,  "e.pbm"},
      {{"--window", "0px,1101px,1856px,1108px", "--reduce", "3", "--memory", "1"},
                                                            {0, 1101, 1856, 1108},   3,  "f.tif"},
  };
  // clang-format on
  for (const DecodeCase& c : cases) {
    std::vector<std::string> args{"fpf", "decode", s.file.string(), "-o",
                                  (dir / c.picture).string()};
    args.insert(args.end(), c.options.begin(), c.options.end());
    test::runCommand(cli::addExportCommand, args);
    const MonoImage expected = windowOf(film, c.window, c.reduce);
    const MonoImage got = readPicture(dir / c.picture);
    ASSERT_EQ(got.width, expected.width) << c.picture;
    ASSERT_EQ(got.height, expected.height) << c.picture;
    EXPECT_TRUE(got.bits == expected.bits) << c.picture;
    EXPECT_GT(got.exposedCount(), 0u) << c.picture;
  }
  // The window's pixels in bands of any size.
  FpfReader reader(s.file);
  FpfPicture picture(reader, {5, 3, 1001, 990}, 2);
  MonoImage bands(picture.width(), picture.height());
  for (uint32_t y = 0; y < bands.height; y += 5)
    picture.readRows(bands.row(y), std::min(5u, bands.height - y));
  EXPECT_TRUE(bands.bits == windowOf(film, {5, 3, 1001, 990}, 2).bits);
  // One index serves windows in any order; a picture past the memory and a
  // cancelled one are not decoded, nor is a cancelled index kept.
  FpfReader indexed(s.file);
  Progress progress;
  progress.cancelled = true;
  EXPECT_FALSE(indexed.buildIndex(&progress));
  EXPECT_FALSE(indexed.indexed());
  ASSERT_TRUE(indexed.buildIndex());
  for (const auto& [window, n] : {std::pair{FilmWindow{60, 600, 601, 1140}, 1u},
                                  {whole, 7u},
                                  {FilmWindow{5, 3, 1001, 990}, 2u}}) {
    EXPECT_TRUE(decodeFpfRegion(indexed, window, n, UINT64_MAX)->bits ==
                windowOf(film, window, n).bits);
  }
  EXPECT_FALSE(decodeFpfRegion(indexed, whole, 1, UINT64_MAX, &progress));
  test::expectError<FormatError>([&] { decodeFpfRegion(indexed, whole, 1, 1 << 20); },
                                 "a picture of 1856 x 1248 pixels takes 2 MB, more than the "
                                 "memory setting of 1 MB holds");

  // What cannot be: a window past the film, a PNG larger than PNGs go.
  EXPECT_THROW(
      test::runCommand(cli::addExportCommand, {"fpf", "decode", s.file.string(), "-o",
                                               (dir / "x.pbm").string(), "--window", "0,0,4,1"}),
      FormatError);
  EXPECT_THROW(test::runCommand(cli::addExportCommand,
                                {"fpf", "decode", s.file.string(), "-o", (dir / "x.pbm").string(),
                                 "--window", "0px,0px,1,1"}),
               std::invalid_argument);
  EXPECT_FALSE(fs::exists(dir / "x.pbm"));
}

// A 32-pixel film of 12 rows: three records, pixels 0 to 15 exposed on
// rows 0 and 4 and 8 (bit 0), all else background.
std::string filmFile(const std::string& records) {
  FpfHeader h;
  h.width = 32;
  h.height = 12;
  h.dpi = 100;
  const std::vector<uint8_t> head = encodeFpfHeader(h);
  return std::string(head.begin(), head.end()) +
         std::string(kFpfThumbnailBytes + kFpfPreviewBytes, '\xFF') + records;
}

TEST(FpfDecodeTest, DamagedFilesAreRefusedNamingTheRows) {
  const std::string record = "\xBE\xBF\xFF";  // 16 columns of v = 14, 16 of 15
  struct Case {
    std::string records;
    const char* says;
  };
  // clang-format off
  const Case cases[] = {
      {record + record + record,                  nullptr},
      {record + record + "\xBE",                  "rows 8 to 11 (record 3 of 3): the file ends inside"},
      {record + record,                           "rows 8 to 11 (record 3 of 3): the file ends before"},
      {record + "\xBE\xCF\xFF" + record,          "rows 4 to 7 (record 2 of 3): a run from column 16 "
                                                  "reaches past the row's 32 pixels"},
      {record + "\xBE\x7F\xFF" + record,          "rows 4 to 7 (record 2 of 3): its runs make 23 of"},
      {"\xF3" + record + record,                  "rows 0 to 3 (record 1 of 3): code 0xF3"},
      {record + record + record + "\x1F",         "the image's last row (11) ends at byte 85086, and"},
  };
  // clang-format on
  const fs::path file = test::tempDir() / "damaged.fpf";
  for (const Case& c : cases) {
    test::writeFile(file, filmFile(c.records));
    for (const FilmWindow& window : {FilmWindow{0, 0, 32, 12}, FilmWindow{0, 4, 32, 8}}) {
      auto decode = [&] {
        FpfReader reader(file);
        FpfPicture picture(reader, window, 1);
        MonoImage image(picture.width(), picture.height());
        picture.readRows(image.bits.data(), image.height);
        return image;
      };
      if (!c.says) {
        EXPECT_EQ(decode().exposedCount(), window.y0 == 0 ? 48u : 16u);
        continue;
      }
      test::expectError<FormatError>(decode,
                                     "damaged.fpf: damaged plotter file: " + std::string(c.says));
    }
  }
}

}  // namespace
}  // namespace drumplot
