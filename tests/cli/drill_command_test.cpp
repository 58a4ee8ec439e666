// SPDX-License-Identifier: MIT
// drumplot-cli drill: a panel written from a job file with offset, format,
// mark tools and overview, the command's refusals, and its peak memory.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <tuple>
#include <vector>

#include "engine/errors.h"
#include "job/job_file.h"
#include "output/mono_image.h"
#include "support/cli_runner.h"
#include "support/test_support.h"

namespace drumplot {
namespace {

namespace fs = std::filesystem;

std::string run(std::vector<std::string> args) {
  return test::runCommand(cli::addDrillCommand, std::move(args));
}

class DrillCommandTest : public testing::Test {
 protected:
  void SetUp() override {
    dir_ = test::tempDir();
    job_ = (dir_ / "panel.wpr").string();
    in_ = (dir_ / "board.drl").string();
    out_ = (dir_ / "out.drl").string();
    Job job;
    for (double x : {1.0, 3.0}) {  // 1.5 x 1 inch at (x, 1)
      Board& b = job.boards.emplace_back();
      std::tie(b.PosX, b.PosY, b.DataWidth, b.DataHeight) = std::tuple(x, 1.0, 1.5, 1.0);
    }
    Board& mark = job.boards.emplace_back();
    mark.IsMark = true;
    mark.MarkName = "Target";
    mark.PosX = mark.PosY = 0.2;
    saveJob(job, job_);
    test::writeFile(in_, "M48\nINCH,LZ\nT01C0.032\n%\nT01\nX003Y018\nX0055\nM30\n");
  }
  fs::path dir_;
  std::string job_, in_, out_;
};

TEST_F(DrillCommandTest, WritesThePanelTheMarksAndTheOverview) {
  std::string png = (dir_ / "overview.png").string();
  std::string printed =
      run({"drill", job_, "--in", in_, "--out", out_, "--offset", "12.7,-2.54", "--unit", "mm",
           "--format", "2.4,trailing,inch", "--mark-tool", "Target=T02F095S3", "--overview", png});
  // (0.3, 1.8) and (0.55, 1.8) on boards at x 1 and 3, moved by (0.5, -0.1).
  EXPECT_EQ(test::readFile(out_),
            "M48\r\n;FILE_FORMAT=2:4\r\nINCH,LZ\r\nT01C0.032\r\n%\r\nT01\r\nG90\r\n"
            "X018Y027\r\nX0205Y027\r\nX038Y027\r\nX0405Y027\r\n"
            "T02F095S3\r\nX002Y002\r\nM30\r\n");
  EXPECT_NE(printed.find("4 board hits, 0 slots, 0 routes, 1 mark hit, written in inch 2.4, "
                         "trailing zeros left out"),
            std::string::npos)
      << printed;
  MonoImage image = readPng(png);
  EXPECT_EQ(image.width, 810u + 1 + 8);  // the second board's right edge, 4.5 inches
  EXPECT_TRUE(image.exposed(324, 486));  // the first board hit, 1.8 x 2.7 inches
}

// The file's own format wins, and the command says so; the panel is written
// in the --format asked for. A file that states no format needs --format.
TEST_F(DrillCommandTest, ReadsTheFilesOwnFormatAndSaysWhenFormatDiffers) {
  test::writeFile(in_, "M48\nMETRIC\nT1C0.8\n%\nT1\nX25.4Y-12.7\nM30\n");
  std::string printed =
      run({"drill", job_, "--in", in_, "--out", out_, "--format", "2.4,leading,inch"});
  EXPECT_NE(printed.find("read in the file's own format (mm, decimal point), not in the given data "
                         "format (inch 2.4, leading zeros left out)"),
            std::string::npos)
      << printed;
  EXPECT_NE(test::readFile(out_).find("X20000Y5000\r\nX40000Y5000\r\n"), std::string::npos);

  test::writeFile(in_, "%\nT1\nX01Y02\nM30\n");
  EXPECT_THROW(run({"drill", job_, "--in", in_, "--out", out_ + "2"}), FormatError);
  EXPECT_FALSE(fs::exists(out_ + "2"));
}

TEST_F(DrillCommandTest, RefusesUnknownMarksShortNamesAndBadFormats) {
  for (const std::string& tool :
       {std::string("Cross=T02"), std::string("Target"), "Target=" + std::string(65, 'T')}) {
    EXPECT_THROW(run({"drill", job_, "--in", in_, "--out", out_, "--mark-tool", tool}),
                 std::invalid_argument)
        << tool;
  }
  try {
    run({"drill", job_, "--in", in_, "--out", "x"});
    FAIL() << "no error";
  } catch (const std::runtime_error& e) {
    EXPECT_STREQ(e.what(), "Output file is not specified");
  }
  EXPECT_THROW(run({"drill", job_, "--in", in_, "--out", out_, "--format", "2.9"}),
               CLI::ValidationError);
  EXPECT_FALSE(fs::exists(out_));
}

// Arcs whose points would pass what the overview keeps are drawn as chords
// past it, and the command says so.
TEST_F(DrillCommandTest, OverviewKeepsItsArcPointsBounded) {
  std::string text = "M48\nINCH,LZ\nT01C0.125\n%\nG90\nT01\nG00X010000Y005000\nM15\n";
  for (int i = 0; i < 20000; ++i) text += "G03X010000Y005000I-005000J000000\n";
  test::writeFile(in_, text + "M16\nM30\n");
  const std::string png = (dir_ / "overview.png").string();
  const std::string out = run({"drill", job_, "--in", in_, "--out", out_, "--overview", png});
  EXPECT_NE(out.find("2,000,000 points drawn as chords"), std::string::npos) << out;
}

// 50 boards of 979,903 hits from 1.6 KB are refused; 50 x 19,999 are streamed.
TEST_F(DrillCommandTest, LargePanelsStayWithinTheirMemory) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "peak memory is not measured under the sanitizers";
#endif
  Job job;
  job.boards.resize(50);
  saveJob(job, job_);
  for (int repeats : {98, 2}) {
    std::string text = "M48\nINCH,TZ\nT1C0.010\n%\nT1\nX0Y0\n";
    for (int i = 0; i < repeats; ++i) text += "R9999X0001Y0001\n";
    test::writeFile(in_, text);
    const pid_t pid = fork();
    if (pid == 0) {
      dup2(open("/dev/null", O_WRONLY), 1), dup2(1, 2);
      const char* program = DRUMPLOT_BINARY_DIR "/cli/drumplot-cli";
      execl(program, program, "drill", job_.c_str(), "--in", in_.c_str(), "--out", out_.c_str(),
            nullptr);
      _exit(127);
    }
    int status = 0;
    rusage usage{};
    ASSERT_EQ(::wait4(pid, &status, 0, &usage), pid);
    EXPECT_EQ(WEXITSTATUS(status), repeats == 2 ? 0 : 1);
    EXPECT_LT(usage.ru_maxrss / 1024, 64) << "MB for " << repeats << " repeats";
  }
}

}  // namespace
}  // namespace drumplot
