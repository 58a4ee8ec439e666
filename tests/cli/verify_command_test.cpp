// SPDX-License-Identifier: MIT
// drumplot-cli verify and fpf diff: films exported with options verified
// with the same options (identical) or others (differing, and which turned
// setting they match with), a flipped pixel found with its row and box, a
// cut film and films of another size not compared.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "cli/command_registry.h"
#include "output/mono_image.h"
#include "support/cli_runner.h"
#include "support/test_support.h"

namespace drumplot {
namespace {

namespace fs = std::filesystem;

struct Outcome {
  int status = 0;
  std::string said;  // stdout, then the message of a status other than 0
};

// Runs a command as main() would: its report and exit status.
template <typename AddCommand>
Outcome run(AddCommand add, std::vector<std::string> args) {
  std::string printed;
  try {
    return {0, test::runCommand(add, std::move(args), &printed)};
  } catch (const cli::CommandStatus& e) {
    return {e.status, printed + e.what()};
  }
}

struct VerifyCase {
  const char* film;
  std::vector<std::string> exported;  // the export's options
  std::vector<std::string> verified;  // verify's
  int status;
  const char* says;
};

TEST(VerifyCommandTest, FilmsAgainstTheirJobWithTheSameAndOtherOptions) {
  const fs::path dir = test::tempDir();
  const std::string job = (dir / "job.wpr").string(), settings = (dir / "GerbPrj.ini").string();
  test::writeFile(settings, "[Setup]\nJednotka=mm\n");
  // A pad and a line above it: the mirror turns the film over.
  test::writeFile(dir / "top.gbr",
                  "%FSLAX24Y24*%%MOIN*%%ADD10C,0.05*%%ADD11C,0.01*%D10*X1000Y1000D03*D11*"
                  "X1000Y3000D02*X4000Y3000D01*M02*");
  test::runCommand(cli::addJobCommand, {"job", "new", job, "--settings", settings});
  test::runCommand(cli::addJobCommand, {"job", "add", job, (dir / "top.gbr").string(), "--at",
                                        "0.1,0.1", "--settings", settings});
  // clang-format off
  const VerifyCase cases[] = {
      {"a.fpf", {},                          {},                          0, "a.fpf: identical (plotter file"},
      {"b.fpf", {"--mirror", "--notes", "x"}, {"--mirror", "--notes", "x"}, 0, "identical"},
      {"c.tif", {"--negative"},              {"--negative"},              0, "identical (TIFF film"},
      {"d.tif", {"--mirror", "--compression", "none"},
                {"--mirror", "--compression", "none"},                    0, "identical"},
      {"e.bmp", {"--negative"},              {"--negative"},              0, "identical (BMP"},
      {"f.fpf", {"--mirror"},                {},                          1, "the film matches with --mirror\n"},
      {"g.tif", {"--negative"},              {"--mirror"},                1, "matches without --mirror and with --negative"},
      {"h.bmp", {},                          {"--negative"},              1, "matches without --negative"},
      {"i.fpf", {"--notes", "A"},            {"--notes", "B"},            1, "differs: notes: 'A' in the film, 'B' in the job"},
      {"j.fpf", {"--dpi", "4064"},           {},                          3, "j.fpf: cannot be compared: its width is"},
      {"k.tif", {},                          {"--compression", "packbits"}, 1, "compression: g4 in the film, packbits in the job"},
      {"l.fpf", {"--scale-ppm", "3000,-2000"}, {"--scale", "1.003,0.998"}, 0, "identical"},
      {"m.tif", {"--scale-ppm", "3000,-2000"}, {},                       1, "differ"},
  };
  // clang-format on
  for (const VerifyCase& c : cases) {
    const std::string film = (dir / c.film).string();
    std::vector<std::string> args{"export", job, "-o", film, "--settings", settings};
    args.insert(args.end(), c.exported.begin(), c.exported.end());
    test::runCommand(cli::addExportCommand, args);
    args = {"verify", job, film, "--settings", settings};
    args.insert(args.end(), c.verified.begin(), c.verified.end());
    const Outcome o = run(cli::addVerifyCommand, args);
    EXPECT_EQ(o.status, c.status) << c.film << ": " << o.said;
    EXPECT_NE(o.said.find(c.says), std::string::npos) << c.film << ": " << o.said;
  }

  // One pixel of the job bitmap turned over (row 1000, column 3000 of its
  // 8192 dpi): found in its row and its half-inch tile by verify; with one
  // more in the next tile, by fpf diff, which draws them in the reduced
  // picture.
  const fs::path bmp = dir / "e.bmp", flipped = dir / "flipped.bmp";
  std::string bytes = test::readFile(bmp);
  const auto le32 = [&bytes](size_t at) {
    uint32_t v = 0;
    for (size_t k = 4; k-- > 0;) v = v << 8 | static_cast<uint8_t>(bytes[at + k]);
    return v;
  };
  const uint32_t width = le32(18), height = le32(22);
  bytes[62 + 1000 * width / 8 + 3000 / 8] ^= static_cast<char>(0x80 >> (3000 % 8));
  test::writeFile(flipped, bytes);
  const std::string box = "  box 0.000,0.000 to 0.500,0.500 inch: 1 pixel\n";
  Outcome o = run(cli::addVerifyCommand,
                  {"verify", job, flipped.string(), "--negative", "--settings", settings});
  EXPECT_EQ(o.status, 1) << o.said;
  EXPECT_NE(o.said.find("1 of " + std::to_string(uint64_t{width} * height) +
                        " pixels differ\n  first differing rows: 1000 (1)\n" + box),
            std::string::npos)
      << o.said;
  // A second pixel in the next tile: one box over both.
  bytes[62 + 1200 * width / 8 + 5000 / 8] ^= static_cast<char>(0x80 >> (5000 % 8));
  test::writeFile(flipped, bytes);
  o = run(cli::addExportCommand, {"fpf", "diff", bmp.string(), flipped.string(), "--diff",
                                  (dir / "d.png").string(), "--diff-width", "512"});
  EXPECT_EQ(o.status, 1);
  char both[64];
  std::snprintf(both, sizeof both, "  box 0.000,0.000 to %.3f,0.500 inch: 2 pixels\n",
                std::min(width, 8192u) / 8192.0);
  EXPECT_NE(o.said.find(both), std::string::npos) << o.said;
  const MonoImage picture = readPng(dir / "d.png");
  EXPECT_EQ(picture.width, 512u);
  EXPECT_EQ(picture.height, (height - 1) * 512 / width + 1);

  // A film with itself; films of other sizes; a film cut short.
  EXPECT_EQ(run(cli::addExportCommand, {"fpf", "diff", bmp.string(), bmp.string()}).status, 0);
  o = run(cli::addExportCommand,
          {"fpf", "diff", (dir / "a.fpf").string(), (dir / "j.fpf").string()});
  EXPECT_EQ(o.status, 3);
  EXPECT_NE(o.said.find("cannot be compared: their width differs"), std::string::npos) << o.said;
  const std::string fpf = test::readFile(dir / "a.fpf");
  test::writeFile(dir / "cut.fpf", fpf.substr(0, fpf.size() - 40));
  o = run(cli::addVerifyCommand,
          {"verify", job, (dir / "cut.fpf").string(), "--settings", settings});
  EXPECT_EQ(o.status, 3);
  EXPECT_NE(o.said.find("cut.fpf: damaged plotter file: rows "), std::string::npos) << o.said;
}

}  // namespace
}  // namespace drumplot
