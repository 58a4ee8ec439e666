// SPDX-License-Identifier: MIT
// drumplot-cli export: the film format from --format or the name, and the
// options a format does not take refused.
#include <gtest/gtest.h>

#include <stdexcept>

#include "cli/command_registry.h"
#include "support/cli_runner.h"
#include "support/test_support.h"

namespace drumplot {
namespace {

TEST(ExportCommandTest, FormatFollowsTheNameOrFormatAndForeignOptionsAreRefused) {
  const auto dir = test::tempDir();
  const std::string job = (dir / "job.wpr").string(), settings = (dir / "GerbPrj.ini").string();
  test::writeFile(settings, "[Setup]\nJednotka=mm\n");
  test::writeFile(dir / "pad.gbr", "%FSLAX24Y24*%%MOIN*%%ADD10C,0.05*%D10*X1000Y1000D03*M02*");
  test::runCommand(cli::addJobCommand, {"job", "new", job, "--settings", settings});
  test::runCommand(cli::addJobCommand, {"job", "add", job, (dir / "pad.gbr").string(), "--at",
                                        "0.1,0.1", "--settings", settings});
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
  EXPECT_EQ(run("film.plt", {}).substr(0, 3), "QKS");
  EXPECT_EQ(run("film.bmp", {"--negative"}).substr(0, 2), "BM");
  EXPECT_THROW(run("refused.fpf", {"--compression", "none"}), std::invalid_argument);
  EXPECT_THROW(run("refused.bmp", {"--dpi", "4064"}), std::invalid_argument);
  EXPECT_FALSE(std::filesystem::exists(dir / "refused.fpf"));
}

}  // namespace
}  // namespace drumplot
