// SPDX-License-Identifier: MIT
// Files that expand past what a drawing takes: every command that draws
// refuses them before drawing (unless forced), info reports them, and a
// drawing whose recordings would pass the memory setting keeps within it.
#include <gtest/gtest.h>

#include <string>

#include "cli/info_command.h"
#include "cli/render_command.h"
#include "engine/errors.h"
#include "job/board_import.h"
#include "job/gerber_import.h"
#include "job/job_file.h"
#include "support/cli_runner.h"
#include "support/test_support.h"

namespace drumplot {
namespace {

namespace fs = std::filesystem;

// A one-board job of `body` at (1, 1), with its settings file.
std::string jobOf(const fs::path& dir, const std::string& body) {
  test::writeFile(dir / "l.gbr", "%FSLAX24Y24*%\n%MOIN*%\n%ADD10C,0.01*%\n" + body + "M02*\n");
  test::writeFile(dir / "GerbPrj.ini", "[Setup]\nMemory=10\n");
  Job job;
  job.JobName = (dir / "j.wpr").string();
  job.createBoard("l.gbr", measureMasterGerber(dir / "l.gbr", DataFormat{}).extents);
  job.moveTo(0, 1.0, 1.0);
  saveJob(job, job.JobName);
  return job.JobName;
}

std::string failure(const std::function<std::string()>& run) {
  try {
    run();
  } catch (const std::exception& e) {
    return e.what();
  }
  return "";
}

TEST(ExpansionTest, RefusedByEveryDrawingReportedByInfo) {
  // clang-format off
  const struct { std::string body; const char* refused; const char* info; } cases[] = {
      {"D10*\n%SRX100000Y100000I0.0001J0.0001*%\nX0Y0D03*\n%SR*%\n",
       "l.gbr: line 5: step and repeat and aperture blocks expand the file to 10,000,000,000 operations",
       "Operations:  10,000,000,000"},
      {"%ABD11*%\nD12*\nX0Y0D03*\nX100Y0D03*\n%AB*%\n%ABD12*%\nD11*\nX0Y0D03*\nX0Y100D03*\n%AB*%\nD11*\nX0Y0D03*\n",
       "l.gbr: line 11: aperture block D11 flashes itself", "Blocks:      D11 flashes itself (line 11)"},
  };
  // clang-format on
  for (const auto& c : cases) {
    const fs::path dir = test::tempDir();
    const std::string job = jobOf(dir, c.body), ini = (dir / "GerbPrj.ini").string();
    const std::string gerber = (dir / "l.gbr").string();
    const std::string info = test::runCommand(cli::addInfoCommand, {"info", gerber});
    EXPECT_NE(info.find(c.info), std::string::npos) << info;
    EXPECT_NE(info.find("Reach:       not measured"), std::string::npos) << info;
    for (std::vector<std::string> args : {
             std::vector<std::string>{"render", gerber, "-o", (dir / "r.png").string()},
             std::vector<std::string>{"export", job, "-o", (dir / "f.fpf").string(), "--settings",
                                      ini},
             std::vector<std::string>{"export", job, "-o", (dir / "f.fpf").string(), "--reference",
                                      "--settings", ini},
         }) {
      const std::string why = failure([&] {
        return args[0] == "render" ? test::runCommand(cli::addRenderCommand, args)
                                   : test::runCommand(cli::addExportCommand, args);
      });
      EXPECT_NE(why.find(gerber + ": line "), std::string::npos) << why;
      EXPECT_NE(why.find(c.refused), std::string::npos) << args[0] << ": " << why;
    }
    EXPECT_FALSE(fs::exists(dir / "r.png") || fs::exists(dir / "f.fpf"));
    const std::string check = failure([&] {
      return test::runCommand(cli::addCheckCommand, {"check", job, "--settings", ini});
    });
    EXPECT_NE(check.find("the check found 1 error"), std::string::npos) << check;
  }
}

// A file whose statements alone pass the memory setting is refused before it
// is decoded, by every command that reads it, naming the file and the line;
// a board folder lists it with that reason.
TEST(ExpansionTest, StatementsPastTheMemorySettingAreRefused) {
  const fs::path dir = test::tempDir();
  std::string body;
  for (int i = 0; i < 500000; ++i) body += "X0Y0D03*\n";  // 12 MB of statements
  const std::string job = jobOf(dir, "D10*\n" + body), ini = (dir / "GerbPrj.ini").string();
  const std::string gerber = (dir / "l.gbr").string();
  const char* refused = "MB the memory setting holds; raise the memory setting (--memory)";
  for (std::vector<std::string> args : {
           std::vector<std::string>{"info", gerber, "--memory", "10"},
           std::vector<std::string>{"render", gerber, "-o", (dir / "r.png").string(), "--memory",
                                    "10"},
           std::vector<std::string>{"export", job, "-o", (dir / "f.fpf").string(), "--settings",
                                    ini},
       }) {
    const std::string why = failure([&] {
      return args[0] == "info"     ? test::runCommand(cli::addInfoCommand, args)
             : args[0] == "render" ? test::runCommand(cli::addRenderCommand, args)
                                   : test::runCommand(cli::addExportCommand, args);
    });
    EXPECT_NE(why.find(gerber + ": line "), std::string::npos) << why;
    EXPECT_NE(why.find(refused), std::string::npos) << args[0] << ": " << why;
  }
  EXPECT_FALSE(fs::exists(dir / "r.png") || fs::exists(dir / "f.fpf"));
  fs::create_directory(dir / "board");
  fs::rename(dir / "l.gbr", dir / "board" / "board-F_Cu.gbr");
  const BoardImportPlan plan =
      planBoardImport(dir / "board", DataFormat{}, LayerMap::defaults(), {}, uint64_t{10} << 20);
  ASSERT_EQ(plan.files.size(), 1u);
  EXPECT_NE(plan.files[0].reason.find(refused), std::string::npos) << plan.files[0].reason;
}

// Four million flashes on one spot: their recordings would take about
// 100 MB; the pieces that meet them are drawn from the file instead, within
// the 10 MB setting, and give the same bytes as the literal way.
TEST(ExpansionTest, RecordingsPastTheMemorySettingKeepWithinIt) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "memory figures mean nothing under the sanitizers";
#endif
  const fs::path dir = test::tempDir();
  const std::string job = jobOf(dir, "D10*\n%SRX2000Y2000I0.0001J0.0001*%\nX0Y0D03*\n%SR*%\n");
  const std::string ini = (dir / "GerbPrj.ini").string();
  const uint64_t peak = test::childPeakBytes([&] {
    test::runCommand(cli::addExportCommand,
                     {"export", job, "-o", (dir / "fast.fpf").string(), "--settings", ini});
    return true;
  });
  EXPECT_LT(peak, uint64_t{10 + 64} << 20);
  test::runCommand(cli::addExportCommand, {"export", job, "-o", (dir / "literal.fpf").string(),
                                           "--reference", "--settings", ini});
  EXPECT_EQ(test::readFile(dir / "fast.fpf"), test::readFile(dir / "literal.fpf"));
}

}  // namespace
}  // namespace drumplot
