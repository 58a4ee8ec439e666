// SPDX-License-Identifier: MIT
// drumplot-cli check: the JSON report as the README documents it, the text
// report, and the exit status of a job with errors.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <regex>
#include <string>

#include "engine/errors.h"
#include "job/gerber_import.h"
#include "job/job_file.h"
#include "support/cli_runner.h"
#include "support/test_support.h"

namespace drumplot {
namespace {

namespace fs = std::filesystem;

const char* const kProgram = DRUMPLOT_BINARY_DIR "/cli/drumplot-cli";

struct ProgramRun {
  std::string out;  // standard output
  int status = -1;
};

// drumplot-cli itself, for its exit status and what it prints before it.
ProgramRun runProgram(const std::string& args) {
  ProgramRun run;
  FILE* pipe = ::popen((std::string(kProgram) + " " + args + " 2>/dev/null").c_str(), "r");
  if (!pipe) return run;
  char buffer[4096];
  for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) run.out.append(buffer, n);
  const int status = ::pclose(pipe);
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

// A job of two boards: the first sound, at (1, 1); the second with an
// undefined D code, waiting at the plotting area's far corner.
fs::path twoBoardJob(const fs::path& dir) {
  const std::string line =
      "%FSLAX24Y24*%%MOIN*%%ADD10C,0.010*%D10*X10000Y10000D02*X30000Y10000D01*";
  test::writeFile(dir / "good.gbr", line + "M02*");
  test::writeFile(dir / "bad.gbr", line + "D12*X20000Y10000D03*M02*");
  test::writeFile(dir / "GerbPrj.ini", "[Setup]\nMemory=64\n");
  Job job;
  job.JobName = (dir / "j.wpr").string();
  for (const char* name : {"good.gbr", "bad.gbr"}) {
    MasterMeasurement m = measureMasterGerber(dir / name, DataFormat{});
    job.createBoard(name, m.extents);
  }
  job.moveTo(0, 1.0, 1.0);
  saveJob(job, job.JobName);
  return job.JobName;
}

TEST(CheckCommandTest, JsonReportAndExitStatus) {
  if (!fs::exists(kProgram)) GTEST_SKIP() << kProgram << " not built";
  const fs::path dir = test::tempDir();
  const std::string job = twoBoardJob(dir).string();
  const ProgramRun run = runProgram("check " + job + " --json --dpi 1016 --settings " +
                                    (dir / "GerbPrj.ini").string());
  EXPECT_EQ(run.status, 1);
  const std::string out =
      std::regex_replace(run.out, std::regex("\"seconds\":[0-9.e+-]+"), "\"seconds\":S");
  const std::string d = dir.string();
  // The board's own problem first, then its layers'.
  EXPECT_EQ(
      out,
      "{\"job\":\"" + job +
          "\",\"dpi\":1016,\"layers\":[1],\"tolerance_in\":0.05,"
          "\"line_width_mils\":0,\"errors\":2,\"warnings\":0,\"problems\":["
          "{\"severity\":\"error\",\"kind\":\"outside-plot-area\",\"board\":2,\"layer\":null,"
          "\"file\":null,\"message\":\"Board 2 reaches 2.010 inch beyond the plotting area "
          "(13.377, 14.558 to 15.396, 14.577 inch; the area is 13.386 x 14.567 inch)\","
          "\"box\":{\"min_x\":13.37696850393701,\"min_y\":14.558070866141733,"
          "\"max_x\":15.395669291338585,\"max_y\":14.576771653543307},"
          "\"off_in\":2.0098425196850407},"
          "{\"severity\":\"error\",\"kind\":\"undefined-d-code\",\"board\":2,\"layer\":1,"
          "\"file\":\"" +
          d + "/bad.gbr\",\"message\":\"" + d +
          "/bad.gbr:1: D12 is used once but "
          "defined neither in the file nor in an aperture file: its flashes draw nothing and its "
          "lines are 1 pixel wide\",\"d_code\":12,\"count\":1,\"line\":1}],"
          "\"film\":{\"width_px\":16224,\"height_px\":15392,\"dpi\":1016,\"file_bytes\":581586,"
          "\"memory_bytes\":31214976,\"bands\":1,\"rows_per_band\":33088,\"seconds\":S}}\n");
}

TEST(CheckCommandTest, TextReportOfACleanJob) {
  const fs::path dir = test::tempDir();
  const std::string job = twoBoardJob(dir).string();
  const std::string settings = (dir / "GerbPrj.ini").string();
  test::runCommand(cli::addJobCommand,
                   {"job", "delete", job, "--board", "2", "--settings", settings});
  const std::string out = test::runCommand(cli::addCheckCommand,
                                           {"check", job, "--settings", settings, "--dpi", "1016"});
  EXPECT_EQ(
      std::regex_replace(out, std::regex("about [0-9.]+ s"), "about S s"),
      "Check of " + job +
          " at 1016 dpi\n"
          "Layers checked: 1\n"
          "Film: 3648 x 1600 pixels (3.591 x 1.575 inch) at 1016 dpi, about 0.1 MB, 0.7 MB of "
          "memory for 1 band of 1600 rows, about S s\n"
          "0 errors, 0 warnings\n");
  // Near the area's right edge the board fits, but not on a film 5000 ppm wider.
  test::runCommand(cli::addJobCommand,
                   {"job", "move", job, "--board", "1", "--to", "11.32,1", "--settings", settings});
  for (auto [scale, found] :
       {std::pair{"0,0", "\n0 errors"}, {"5000,0", "beyond the plotting area"}}) {
    std::string said;
    try {
      said = test::runCommand(cli::addCheckCommand,
                              {"check", job, "--settings", settings, "--scale-ppm", scale}, &said);
    } catch (const FormatError&) {
    }
    EXPECT_NE(said.find(found), std::string::npos) << said;
  }
}

}  // namespace
}  // namespace drumplot
