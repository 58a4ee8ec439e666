// SPDX-License-Identifier: MIT
// drumplot-cli export: the film format from --format or the name, the
// options a format does not take refused, and two outputs of one command
// (export, bmp, drill), or an output and an input, that are one file refused
// before anything is written.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "cli/command_registry.h"
#include "engine/errors.h"
#include "engine/gerber_reader.h"
#include "output/fpf_file.h"
#include "support/cli_runner.h"
#include "support/test_support.h"

namespace drumplot {
namespace {

// A job of one pad at (0.1, 0.1) in `dir`: job.wpr, with its GerbPrj.ini.
void padJob(const std::filesystem::path& dir) {
  const std::string job = (dir / "job.wpr").string(), settings = (dir / "GerbPrj.ini").string();
  test::writeFile(settings, "[Setup]\nJednotka=mm\n");
  test::writeFile(dir / "pad.gbr", "%FSLAX24Y24*%%MOIN*%%ADD10C,0.05*%D10*X1000Y1000D03*M02*");
  test::runCommand(cli::addJobCommand, {"job", "new", job, "--settings", settings});
  test::runCommand(cli::addJobCommand, {"job", "add", job, (dir / "pad.gbr").string(), "--at",
                                        "0.1,0.1", "--settings", settings});
}

TEST(ExportCommandTest, FormatFollowsTheNameOrFormatAndForeignOptionsAreRefused) {
  const auto dir = test::tempDir();
  const std::string job = (dir / "job.wpr").string(), settings = (dir / "GerbPrj.ini").string();
  padJob(dir);
  auto run = [&](const std::string& out, std::vector<std::string> more) {
    std::vector<std::string> args{"export",     job,     "-o", (dir / out).string(),
                                  "--settings", settings};
    args.insert(args.end(), more.begin(), more.end());
    test::runCommand(cli::addExportCommand, args);
    return test::readFile(dir / out).substr(0, 4);
  };
  EXPECT_EQ(run("film.TIF", {}), std::string("II*\0", 4));
  EXPECT_EQ(run("film.fpf", {"--format", "tiff", "--compression", "packbits"}),
            std::string("II*\0", 4));
  EXPECT_EQ(run("film.plt", {"--format", "fpf"}).substr(0, 3), "QKS");
  EXPECT_THROW(run("film.plt", {}), std::invalid_argument);  // no format of that name
  EXPECT_EQ(run("film.bmp", {"--negative"}).substr(0, 2), "BM");
  EXPECT_THROW(run("refused.fpf", {"--compression", "none"}), std::invalid_argument);
  EXPECT_THROW(run("refused.bmp", {"--dpi", "4064"}), std::invalid_argument);
  // The film scale: a pair of numbers within 5000 ppm, one of the two
  // options, not for the job bitmap; the summary says it.
  EXPECT_THROW(run("refused.fpf", {"--scale", "1.0051,1"}), std::invalid_argument);
  EXPECT_THROW(run("refused.fpf", {"--scale-ppm", "0,-6000"}), std::invalid_argument);
  EXPECT_THROW(run("refused.fpf", {"--scale-ppm", "500"}), std::invalid_argument);
  EXPECT_THROW(run("refused.fpf", {"--scale", "1,1", "--scale-ppm", "0,0"}), CLI::ParseError);
  EXPECT_THROW(run("refused.bmp", {"--scale-ppm", "5,5"}), std::invalid_argument);
  EXPECT_FALSE(std::filesystem::exists(dir / "refused.fpf"));
  test::writeFile(settings, "[Setup]\nJednotka=mm\n[Film]\nScaleXppm=9000\n");
  EXPECT_THROW(run("refused.fpf", {}), FormatError);  // the settings' key as it stands
  test::runCommand(cli::addExportCommand, {"export", job, "-o", (dir / "scaled.fpf").string(),
                                           "--settings", settings, "--scale", "1.0005,0.9998"});
  EXPECT_EQ(readFpf(dir / "scaled.fpf", false).header.notes, "scale +500/-200 ppm");
}

// The check runs first: its errors stop the export (--force goes on); the
// layers asked for must hold a file; `all` leaves drill files out, and a
// layer named that holds one is the check's error.
TEST(ExportCommandTest, CheckAndAskedLayersDecideWhatIsWritten) {
  const auto dir = test::tempDir();
  const std::string job = (dir / "job.wpr").string(), settings = (dir / "GerbPrj.ini").string();
  const std::string film = (dir / "f.fpf").string();
  padJob(dir);
  test::writeFile(dir / "board.drl", "M48\nINCH,LZ\nT01C0.032\n%\nT01\nX003Y018\nM30\n");
  auto editJob = [&](std::vector<std::string> args) {
    args.insert(args.begin() + 2, job);
    args.insert(args.end(), {"--settings", settings});
    test::runCommand(cli::addJobCommand, args);
  };
  editJob({"job", "layer", "--board", "1", "--layer", "12", (dir / "board.drl").string()});
  // clang-format off
  const struct { std::vector<std::string> args; const char* result; } cases[] = {
      {{}, "written"},
      {{"--layers", "1,12"}, "board.drl: an Excellon drill file on layer 12: a film of it draws "
                             "nothing; leave the layer out and panelize the drill file with "
                             "drumplot-cli drill"},
      {{"--layers", "2"}, "no board has a file on layer 2 (Lay_2); nothing written"},
      {{"--split-layers"}, "written"},
      {{"--at", "20,20"}, "the check found 1 error; nothing written (--force exports all the "
                          "same):\n  Board 1 reaches"},
      {{"--force"}, "written"},
  };
  // clang-format on
  for (const auto& c : cases) {
    std::filesystem::remove(film);
    std::vector<std::string> args{"export", job, "-o", film, "--settings", settings};
    if (c.args.size() == 2 && c.args[0] == "--at") {
      editJob({"job", "move", "--board", "1", "--to", c.args[1]});
    } else {
      args.insert(args.end(), c.args.begin(), c.args.end());
    }
    std::string result = "written";
    std::map<std::string, int> loads = gerberFileLoads();
    try {
      test::runCommand(cli::addExportCommand, args);
    } catch (const std::exception& e) {
      result = e.what();
    }
    EXPECT_NE(result.find(c.result), std::string::npos) << args.back() << ": " << result;
    // The check and the export read the layer file once between them.
    int reads = 0;
    for (const auto& [file, n] : gerberFileLoads()) {
      if (file.starts_with(dir.string()) && file.ends_with("pad.gbr")) reads += n - loads[file];
    }
    EXPECT_EQ(reads, result == "written" ? 1 : std::min(reads, 1)) << args.back();
    EXPECT_EQ(std::filesystem::exists(film), result == "written" && args.back() != "--split-layers")
        << args.back();
  }
  EXPECT_TRUE(std::filesystem::exists(dir / "f-01-Lay_1.fpf"));
  EXPECT_FALSE(std::filesystem::exists(dir / "f-12-Lay_12.fpf"));
}

// Two outputs that are one file, or an output that is a file the command
// reads: by name, through a symbolic or a hard link, or by a path through
// another folder; the files that exist stay as they were.
TEST(ExportCommandTest, OutputsThatAreOneFileAreRefusedAndTheFilmStays) {
  namespace fs = std::filesystem;
  const fs::path dir = test::tempDir();
  const std::string job = (dir / "job.wpr").string(), settings = (dir / "GerbPrj.ini").string();
  padJob(dir);
  const std::string jobBytes = test::readFile(dir / "job.wpr");
  test::writeFile(dir / "board.drl", "M48\nINCH,LZ\nT01C0.032\n%\nT01\nX003Y018\nM30\n");
  for (const char* film : {"a.fpf", "a.bmp", "a-01-Lay_1.png", "x.png"})
    test::writeFile(dir / film, "older");
  fs::create_symlink("a.fpf", dir / "link.png");
  fs::create_hard_link(dir / "a.fpf", dir / "hard.png");
  fs::create_directory(dir / "sub");

  const std::string d = dir.string() + "/";
  const std::vector<std::string> cases[] = {
      // clang-format off
      {"-o", d + "a.fpf",    "--overview", d + "a.fpf"},
      {"-o", d + "a.fpf",    "--overview", d + "link.png"},
      {"-o", d + "link.png", "--overview", d + "hard.png"},
      {"-o", d + "a.png",    "--overview", d + "a.png", "--split-layers"},  // a-01-Lay_1.png twice
      {"-o", d + "a.bmp",    "--overview", d + "sub/../a.bmp"},
      {"-o", d + "new.fpf",  "--overview", d + "sub/../new.fpf"},  // neither exists
      {"-o", d + "job.wpr",  "--overview", d + "x.png"},
      {"-o", d + "a.fpf",    "--overview", d + "sub/../pad.gbr"},
      // clang-format on
  };
  for (const std::vector<std::string>& outputs : cases) {
    std::vector<std::string> args{"export", job, "--settings", settings};
    args.insert(args.end(), outputs.begin(), outputs.end());
    EXPECT_THROW(test::runCommand(cli::addExportCommand, args), std::invalid_argument)
        << outputs[1] << " " << outputs[3];
  }
  const std::vector<std::string> refused[] = {
      // clang-format off
      {"bmp", job, "--settings", settings, "-o", d + "a.bmp", "--overview", d + "a.bmp"},
      {"bmp", job, "--settings", settings, "-o", d + "sub/../job.wpr"},
      {"bmp", job, "--settings", settings, "-o", d + "pad.gbr"},
      {"fpf", "decode", d + "a.fpf", "-o", d + "link.png"},
      {"drill", job, "--in", d + "board.drl", "--out", d + "x.png", "--overview", d + "x.png"},
      {"drill", job, "--in", d + "board.drl", "--out", d + "board.drl"},
      {"drill", job, "--in", d + "board.drl", "--out", d + "x.drl", "--overview", d + "job.wpr"},
      {"render", d + "pad.gbr", "-o", d + "pad.gbr"},
      // clang-format on
  };
  for (const std::vector<std::string>& args : refused) {
    const auto command = args[0] == "drill"    ? cli::addDrillCommand
                         : args[0] == "render" ? cli::addRenderCommand
                                               : cli::addExportCommand;
    EXPECT_THROW(test::runCommand(command, args), std::invalid_argument) << args.back();
  }
  EXPECT_EQ(test::readFile(dir / "job.wpr"), jobBytes);
  EXPECT_EQ(test::readFile(dir / "board.drl").substr(0, 3), "M48");
  EXPECT_EQ(test::readFile(dir / "pad.gbr").substr(0, 5), "%FSLA");
  for (const char* film : {"a.fpf", "a.bmp", "a-01-Lay_1.png", "x.png"})
    EXPECT_EQ(test::readFile(dir / film), "older") << film;
  EXPECT_FALSE(fs::exists(dir / "new.fpf"));
  EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 11);
}

}  // namespace
}  // namespace drumplot
