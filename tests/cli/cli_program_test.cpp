// SPDX-License-Identifier: MIT
// drumplot-cli as a program: its exit statuses, what it says of a mistake,
// the signals that end an
// export, and job commands that run at the same time on one job file.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>

#include <csignal>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "cli/command_registry.h"
#include "cli/usage_hints.h"
#include "job/settings_file.h"
#include "support/record_bytes.h"
#include "support/test_support.h"

extern char** environ;

namespace drumplot {
namespace {

namespace fs = std::filesystem;

const char* const kProgram = DRUMPLOT_BINARY_DIR "/cli/drumplot-cli";

// Starts drumplot-cli with `args`; what it prints goes to `log`.
pid_t start(std::vector<std::string> args, const fs::path& log) {
  args.insert(args.begin(), kProgram);
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
  posix_spawn_file_actions_adddup2(&actions, 1, 2);
  pid_t pid = -1;
  EXPECT_EQ(posix_spawn(&pid, kProgram, &actions, nullptr, argv.data(), environ), 0);
  posix_spawn_file_actions_destroy(&actions);
  return pid;
}

// The exit status, or 128 + the signal that ended the program.
int finish(pid_t pid) {
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

class CliProgramTest : public testing::Test {
 protected:
  void SetUp() override {
    if (!fs::exists(kProgram)) GTEST_SKIP() << kProgram << " not built";
    dir_ = test::tempDir();
    log_ = dir_ / "log.txt";
    settings_ = (dir_ / "GerbPrj.ini").string();
    test::writeFile(settings_, "[Setup]\n");
  }
  int run(const std::vector<std::string>& args) { return finish(start(args, log_)); }
  std::string path(const char* name) const { return (dir_ / name).string(); }

  fs::path dir_;
  fs::path log_;
  std::string settings_;
};

TEST_F(CliProgramTest, UsageErrorsEndWithStatusTwoAndFailuresWithOne) {
  test::writeFile(dir_ / "a.gbr", "X0Y0D03*M02*");
  EXPECT_EQ(run({"--help"}), 0);
  EXPECT_EQ(run({"job", "add"}), 2);                              // JOB missing
  EXPECT_EQ(run({"info", path("a.gbr"), "--format", "2.6"}), 2);  // 6 decimals
  EXPECT_EQ(run({"render", path("a.gbr"), "-o", path("a.png"), "--dpi", "0"}), 2);
  EXPECT_EQ(run({"job", "new", path("j.wpr")}), 0);
  EXPECT_EQ(
      run({"job", "move", path("j.wpr"), "--board", "1", "--to", "x", "--settings", settings_}), 2);
  EXPECT_EQ(run({"info", path("missing.gbr")}), 1);
  EXPECT_EQ(run({"info", path("a.gbr"), "--format", "5.0"}), 0);
}

TEST_F(CliProgramTest, TwentyJobAddsAtOnceKeepTwentyBoards) {
  test::writeFile(dir_ / "board.gbr", "X1000Y1000D02*X2000Y1500D01*M02*");
  ASSERT_EQ(run({"job", "new", path("panel.wpr")}), 0);
  std::vector<pid_t> adds;
  for (int i = 0; i < 20; ++i) {
    adds.push_back(start({"job", "add", path("panel.wpr"), path("board.gbr"), "--at",
                          std::to_string(i) + ",0", "--settings", settings_},
                         log_));
  }
  for (pid_t pid : adds) EXPECT_EQ(finish(pid), 0) << test::readFile(log_);
  EXPECT_EQ(fs::file_size(dir_ / "panel.wpr"), 20u * 9168u);
}

// A signal in the middle of an export cancels it: neither the plotter file
// nor its temporary file is left. One killed outright (SIGKILL) leaves its
// temporary file, which the next export to the same file removes.
TEST_F(CliProgramTest, ASignalMidExportLeavesNoTemporaryFile) {
  // A 4 x 4 inch board at 65024 dpi: minutes of work, cut short.
  test::writeFile(dir_ / "big.gbr",
                  "%FSLAX24Y24*%%MOIN*%%ADD10C,0.0100*%D10*X0Y0D02*X40000Y40000D01*M02*");
  test::writeFile(dir_ / "small.gbr", "X0Y0D02*X100Y100D01*M02*");
  for (const char* board : {"big", "small"}) {
    const std::string job = path(board) + ".wpr";
    ASSERT_EQ(run({"job", "new", job}), 0);
    ASSERT_EQ(
        run({"job", "add", job, path(board) + ".gbr", "--at", "0,0", "--settings", settings_}), 0);
  }
  const std::vector<std::string> exportBig = {
      "export", path("big.wpr"), "-o",      path("out.fpf"), "--dpi", "65024", "--threads",
      "1",      "--settings",    settings_, "--force"};
  auto temporaryFiles = [&] {
    size_t count = 0;
    for (const auto& entry : fs::directory_iterator(dir_))
      count += entry.path().filename().string().rfind(".out.fpf.", 0) == 0;
    return count;
  };
  // The export, once it writes its temporary file (0 when it ended before).
  auto exportUntilItWrites = [&]() -> pid_t {
    pid_t pid = start(exportBig, log_);
    int status = 0;
    while (temporaryFiles() == 0) {
      if (::waitpid(pid, &status, WNOHANG) == pid) return 0;
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return pid;
  };
  for (int signal : {SIGTERM, SIGHUP, SIGINT}) {
    pid_t pid = exportUntilItWrites();
    ASSERT_GT(pid, 0) << test::readFile(log_);
    ::kill(pid, signal);
    EXPECT_EQ(finish(pid), 1) << strsignal(signal);
    EXPECT_EQ(temporaryFiles(), 0u) << strsignal(signal);
    EXPECT_FALSE(fs::exists(dir_ / "out.fpf")) << strsignal(signal);
  }
  pid_t killed = exportUntilItWrites();
  ASSERT_GT(killed, 0) << test::readFile(log_);
  ::kill(killed, SIGKILL);
  EXPECT_EQ(finish(killed), 128 + SIGKILL);
  EXPECT_EQ(temporaryFiles(), 1u);
  EXPECT_EQ(
      run({"export", path("small.wpr"), "-o", path("out.fpf"), "--settings", settings_, "--force"}),
      0);
  EXPECT_EQ(temporaryFiles(), 0u);
  EXPECT_TRUE(fs::exists(dir_ / "out.fpf"));
}

// A job that earlier versions wrote with values its reader refuses: job
// repair reports, then mends it keeping the old file, and the job reads again.
TEST_F(CliProgramTest, JobRepairMendsAJobAndKeepsTheOldFile) {
  const std::string job = path("old.wpr");
  const std::string good = test::RecordBytes().text(0, "good.gbr").str();
  test::RecordBytes tab;
  tab.text(0, "a\tb.gbr").text(251, "keep.gbr");
  tab.le64(9040, 0x4202A05F20000000);                                                 // PosX 1e10
  const std::string lost = test::RecordBytes().le64(9056, 0x7FF8000000000000).str();  // NaN
  const std::string before = good + tab.str() + lost + std::string(100, '\0');
  test::writeFile(job, before);

  EXPECT_EQ(run({"job", "list", job, "--json", "--settings", settings_}), 1);
  EXPECT_NE(test::readFile(log_).find(",\"line\":null,\"record\":2}}\n"), std::string::npos)
      << test::readFile(log_);
  EXPECT_EQ(run({"job", "repair", job}), 1);
  EXPECT_EQ(test::readFile(job), before);
  for (const char* finding :
       {"board record 2: layer 1's Gerber file \"a\\tb.gbr\" holds a control character (TAB): "
        "cleared\n",
        "board record 2: PosX 1e+10 is not a length: set to 0\n",
        "board record 3: DataWidth nan is not a length: the board is dropped\n",
        "partial record of 100 bytes", "4 faults to mend; nothing was written"}) {
    EXPECT_NE(test::readFile(log_).find(finding), std::string::npos) << finding;
  }

  EXPECT_EQ(run({"job", "repair", job, "--write"}), 0);
  EXPECT_EQ(test::readFile(job + ".bak"), before);
  test::expectSameBytes(test::readFile(job),
                        good + test::RecordBytes().text(251, "keep.gbr").str());
  EXPECT_EQ(run({"job", "repair", job, "--write"}), 0);  // nothing left to mend: nothing written
  EXPECT_EQ(test::readFile(job + ".bak"), before);
  EXPECT_EQ(run({"job", "list", job, "--settings", settings_}), 0);
}

// Each mistake an operator makes says what to do instead, with its status.
TEST_F(CliProgramTest, MistakesSayWhatToDo) {
  const std::string job = path("j.wpr"), gerber = path("a.gbr"), film = path("f.fpf");
  test::writeFile(gerber, "%FSLAX24Y24*%%MOIN*%%ADD10C,0.01*%D10*X100Y100D03*M02*");
  ASSERT_EQ(run({"job", "new", job}), 0);
  ASSERT_EQ(run({"job", "add", job, gerber, "--at", "0.5,0.5", "--settings", settings_}), 0);
  ASSERT_EQ(run({"settings", "init", path("init.ini")}), 0);
  ::setenv("DRUMPLOT_SETTINGS", path("missing.ini").c_str(), 1);
  const struct {
    std::vector<std::string> args;
    std::string says;
    int status;
  } cases[] = {
      {{"exprot", job},
       "no command 'exprot'; did you mean 'export'?\n  drumplot-cli export " + job,
       2},
      {{"job", "panelise", job}, "did you mean 'panelize'?", 2},
      {{"export", job, "-o", film, "--layer", "1"},
       "has no option --layer; did you mean --layers?\n  drumplot-cli export " + job + " -o " +
           film + " --layers 1",
       2},
      {{"job", "list", path("none.wpr")},
       "no such job file; create it with\n  drumplot-cli job new",
       2},
      {{"export", gerber, "-o", film}, "is a Gerber file, not a job file", 2},
      {{"job", "add", gerber, job}, "the job comes first:\n  drumplot-cli job add " + job, 2},
      {{"info", job}, "is a job file, not a Gerber file", 2},
      {{"export", job, "-o", path("f.pdf")}, "--format fpf|tiff|bmp", 2},
      {{"export", job, "-o", film, "--dpi", "2032.5"}, "'2032.5' is not a whole number", 2},
      {{"export", job, "-o", film, "--dpi", "2000"}, "none of the export dialog's resolutions", 0},
      {{"job", "mark", job, "--name", "Target"}, "missing.ini: no such settings file", 1},
      {{"job", "mark", job, "--name", "Target", "--settings", path("init.ini")}, "NameM1=NAME", 1},
      {{"settings", "init", path("init.ini")}, "already exists (use --force", 1},
      {{"job", "list", job}, "a.gbr  (the file states 2.4,leading,abs,inch)", 0},
      {{"job", "new", "/sys/drumplot.wpr"}, "cannot write into the folder /sys", 1},
  };
  for (const auto& c : cases) {
    fs::remove(log_);
    EXPECT_EQ(run(c.args), c.status) << c.args[0] << " " << c.args[1];
    EXPECT_NE(test::readFile(log_).find(c.says), std::string::npos) << test::readFile(log_);
  }
  ::unsetenv("DRUMPLOT_SETTINGS");
  // The file settings init writes reads back as every default, comments and all.
  const JobSettings read = readSettings(path("init.ini")), defaults;
  EXPECT_EQ(read.LayerNames, defaults.LayerNames);
  EXPECT_EQ(read.LayerColors, defaults.LayerColors);
  EXPECT_EQ(read.panelColor, defaults.panelColor);
  EXPECT_EQ(read.tech, defaults.tech);
  EXPECT_EQ(readLayerMap(IniDocument::load(path("init.ini")), "init.ini"), LayerMap::defaults());
}

// Every command's --help page shows examples; a new command without them fails.
TEST(CliHelpTest, EveryCommandHasExamples) {
  CLI::App app;
  cli::Action action;
  for (auto add : {cli::addInfoCommand, cli::addRenderCommand, cli::addJobCommand,
                   cli::addAperturesCommand, cli::addDrillCommand, cli::addExportCommand,
                   cli::addCheckCommand, cli::addSettingsCommand, cli::addPlotCommand})
    add(app, action);
  cli::addHelpExamples(app);
  std::vector<CLI::App*> commands = app.get_subcommands({});
  for (size_t i = 0; i < commands.size(); ++i) {
    EXPECT_NE(commands[i]->get_footer().find("Examples:\n  drumplot-cli"), std::string::npos)
        << commands[i]->get_name();
    for (CLI::App* sub : commands[i]->get_subcommands({})) commands.push_back(sub);
  }
}

}  // namespace
}  // namespace drumplot
