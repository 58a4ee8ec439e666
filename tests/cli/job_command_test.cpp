// SPDX-License-Identifier: MIT
// drumplot-cli job: a job built through the command line, checked byte for
// byte against hand-built records, and the command's errors.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "engine/errors.h"
#include "support/cli_runner.h"
#include "support/record_bytes.h"
#include "support/test_support.h"

namespace drumplot {
namespace {

namespace fs = std::filesystem;

std::string run(std::vector<std::string> args) {
  return test::runCommand(cli::addJobCommand, std::move(args));
}

using test::expectSameBytes;
using test::RecordBytes;

class JobCommandTest : public testing::Test {
 protected:
  void SetUp() override {
    dir_ = test::tempDir();
    job_ = (dir_ / "panel.wpr").string();
    settings_ = (dir_ / "GerbPrj.ini").string();
    // The file's own format wins for reading: X1000Y2000 is (1, 2) inch and
    // the data spans 2 x 3 inch, whatever format the board is given.
    test::writeFile(dir_ / "master.gbr",
                    "%FSLAX33Y33*%%MOIN*%G01*X1000Y2000D02*X3000Y5000D01*M02*");
    test::writeFile(dir_ / "inner.gbr", "X0Y0D03*M02*");
    test::writeFile(dir_ / "inner.Env", "apertures");
    // Mark: 2.3 digits by default, (0.25, 0.5) to (0.75, 1.0).
    test::writeFile(dir_ / "mark.gbr", "X250Y500D02*X750Y1000D01*M02*");
    test::writeFile(settings_, "[Setup]\nNameM1=Cross\nPathM1=" + (dir_ / "mark.gbr").string() +
                                   "\nNameM2=Target\nPathM2=short.gbr\n");
  }
  std::string path(const char* name) const { return (dir_ / name).string(); }

  fs::path dir_;
  std::string job_;
  std::string settings_;
};

TEST_F(JobCommandTest, BuiltJobHasTheExactRecordLayout) {
  run({"job", "new", job_});
  EXPECT_EQ(test::readFile(job_), "");
  run({"job", "add", job_, path("master.gbr"), "--layer", "2", "--at", "1.5,0.25", "--format",
       "3.3,trailing,inc,mm", "--settings", settings_});
  run({"job", "layer", job_, "--board", "1", "--layer", "18", path("inner.gbr"), "--apertures",
       path("inner.Env"), "--settings", settings_});
  run({"job", "mark", job_, "--name", "Cross", "--at", "0.5,-2.25", "--settings", settings_});

  // Position, data size, selected, format (int, dec, trailing, inc, mm), data minimum.
  RecordBytes board;
  board.text(251, path("master.gbr"))
      .text(17 * 251, path("inner.gbr"))
      .text(4518 + 17 * 251, path("inner.Env"));
  board.le64(9040, 0x3FF8000000000000).le64(9048, 0x3FD0000000000000);  // (1.5, 0.25)
  board.le64(9056, 0x4000000000000000).le64(9064, 0x4008000000000000);  // 2 x 3
  board.u8(9072, 0).u8(9073, 3).u8(9074, 3).u8(9075, 1).u8(9076, 0).u8(9077, 0);
  board.le64(9080, 0x3FF0000000000000).le64(9088, 0x4000000000000000);  // (1, 2)
  RecordBytes mark;
  for (size_t n = 0; n < 18; ++n) mark.text(n * 251, path("mark.gbr"));
  mark.le64(9040, 0x3FE0000000000000).le64(9048, 0xC002000000000000);  // (0.5, -2.25)
  mark.le64(9056, 0x3FE0000000000000).le64(9064, 0x3FE0000000000000);  // 0.5 x 0.5
  mark.u8(9072, 1).u8(9073, 2).u8(9074, 3).u8(9075, 0).u8(9076, 1).u8(9077, 1);
  mark.le64(9080, 0x3FD0000000000000).le64(9088, 0x3FE0000000000000);  // (0.25, 0.5)
  mark.u8(9096, 1).text(9097, "Cross");
  expectSameBytes(test::readFile(job_), board.str() + mark.str());
}

TEST_F(JobCommandTest, RelativeNamesAreStoredRelativeToTheJobFolder) {
  run({"job", "new", job_});
  fs::path relative = fs::relative(dir_ / "master.gbr");
  ASSERT_TRUE(relative.is_relative());
  run({"job", "add", job_, relative.string(), "--settings", settings_});
  std::string list = run({"job", "list", job_, "--json", "--settings", settings_});
  EXPECT_NE(list.find("\"layer_gerber\":[\"master.gbr\","), std::string::npos) << list;
  // Added without --at: at the first free place, what it draws at the area's corner.
  EXPECT_NE(list.find("\"pos_x\":0.05"), std::string::npos) << list;
}

TEST_F(JobCommandTest, PanelizeDeleteMoveAndRelativeMove) {
  run({"job", "new", job_});
  run({"job", "add", job_, path("master.gbr"), "--at", "1,1", "--format", "3.3", "--settings",
       settings_});
  EXPECT_EQ(run({"job", "panelize", job_, "--board", "1", "--repeat", "1,1", "--gap", "25.4,25.4",
                 "--settings", settings_}),
            "Board 1: 3 copies added; 4 boards\n");
  run({"job", "delete", job_, "--board", "2", "--settings", settings_});
  run({"job", "move", job_, "--board", "3", "--to", "6,5", "--settings", settings_});
  run({"job", "relative-move", job_, "--by", "0.5,-1", "--settings", settings_});
  std::string list = run({"job", "list", job_, "--settings", settings_});
  // Copies (0,1), (1,0), (1,1) at pitch 3 x 4 inch; (0,1) deleted; the last
  // one moved to (6, 5); then all moved.
  EXPECT_NE(list.find("(3 boards)"), std::string::npos) << list;
  const char* positions[] = {"1.500000, 0.000000", "4.500000, 0.000000", "6.500000, 4.000000"};
  for (int n = 1; n <= 3; ++n) {
    EXPECT_NE(list.find("Board " + std::to_string(n) + ": " + path("master.gbr") +
                        "\n  Position:   " + positions[n - 1]),
              std::string::npos)
        << list;
  }
}

TEST_F(JobCommandTest, ErrorsNameTheFileAndWriteNothing) {
  auto expectError = [](const std::vector<std::string>& args, const std::string& text) {
    test::expectError<std::exception>([&] { run(args); }, text);
  };
  expectError({"job", "list", path("none.wpr"), "--settings", settings_}, "none.wpr");
  run({"job", "new", job_});
  // A file that draws nothing, or is not text, is not a board.
  test::writeFile(path("empty.ini"), "");
  test::writeFile(path("empty.gbr"), "");
  test::writeFile(path("nodraw.gbr"), "%FSLAX33Y33*%%MOIN*%%ADD10C,0.1*%M02*");
  test::writeFile(path("binary.gbr"), std::string("GIF89a\x01\x00\x02\x00\x80", 11));
  const std::pair<std::vector<std::string>, std::string> cases[] = {
      {{"new", job_}, "panel.wpr"},  // no silent replacing
      {{"add", job_, path("none.gbr"), "--settings", settings_}, "none.gbr"},
      {{"move", job_, "--board", "1", "--to", "1,1", "--settings", settings_}, "panel.wpr"},
      {{"mark", job_, "--name", "Target", "--settings", settings_}, "short.gbr"},
      {{"mark", job_, "--name", "Nope", "--settings", settings_}, "GerbPrj.ini"},
      {{"mark", job_, "--name", "Cross", "--settings", path("empty.ini")}, "empty.ini"},
      {{"add", job_, path("empty.gbr"), "--settings", settings_},
       "empty.gbr: file shorter than 5 bytes; nothing was added"},
      {{"add", job_, path("nodraw.gbr"), "--settings", settings_},
       "nodraw.gbr: no draw or flash statement"},
      {{"add", job_, path("binary.gbr"), "--settings", settings_}, "binary.gbr: not a Gerber file"},
  };
  for (auto [args, text] : cases) {
    args.insert(args.begin(), "job");
    expectError(args, text);
  }
  EXPECT_THROW(run({"job", "add", job_, path("master.gbr"), "--layer", "19"}),
               CLI::ValidationError);
  EXPECT_THROW(run({"job", "list", job_, "--settings", path("none.ini")}), CLI::ValidationError);
  EXPECT_EQ(test::readFile(job_), "");  // nothing was written by the failures

  // The arguments swapped: a Gerber file, short or long, is never the job, not even with --force.
  std::string big;
  while (big.size() < 3 * 9168) big += "X1000Y2000D01*\n";
  test::writeFile(dir_ / "big.gbr", big);
  for (const char* gerber : {"master.gbr", "big.gbr"}) {
    const std::string before = test::readFile(path(gerber));
    expectError({"job", "add", path(gerber), job_, "--force", "--settings", settings_},
                "the job comes first:\n  drumplot-cli job add " + job_ + " " + path(gerber));
    expectError({"job", "new", path(gerber), "--force"}, path(gerber) + ": not a job file");
    EXPECT_EQ(test::readFile(path(gerber)), before);
  }
}

TEST_F(JobCommandTest, ForceGoesOnWithAPartialRecordOrASizeThatCannotBeMeant) {
  run({"job", "new", job_});
  // Read as 2.3 digits: 100,000 inches wide, as a file read in the wrong format is.
  test::writeFile(dir_ / "huge.gbr", "X1000Y1000D02*X99999999Y1000D01*M02*");
  std::vector<std::string> add = {"job", "add", job_, path("huge.gbr"), "--settings", settings_};
  test::expectError<FormatError>([&] { run(add); }, "huge.gbr: the data measures 99998.999 x");
  EXPECT_EQ(test::readFile(job_), "");
  add.push_back("--force");
  EXPECT_NE(run(add).find("(99998.999000 x"), std::string::npos);

  // A cut-off record is written back only with --force, and then left out.
  test::writeFile(job_, test::readFile(job_) + std::string(100, '\0'));
  std::vector<std::string> move = {"job",  "move", job_,         "--board", "1",
                                   "--to", "1,1",  "--settings", settings_};
  test::expectError<FormatError>([&] { run(move); }, "use --force");
  EXPECT_EQ(test::readFile(job_).size(), 9168u + 100u);
  move.push_back("--force");
  run(move);
  EXPECT_EQ(test::readFile(job_).size(), 9168u);
}

// Names are UTF-8 in JSON; a name that is not keeps its bytes beside it.
TEST_F(JobCommandTest, JsonNamesAreUtf8AndRawBesideWhenTheyAreNot) {
  run({"job", "new", job_});
  run({"job", "add", job_, path("master.gbr"), "--settings", settings_});
  for (const char* name : {"caf\xC3\xA9.gbr", "caf\xE9.gbr"}) {
    test::writeFile(dir_ / name, "X0Y0D03*M02*");
  }
  run({"job", "layer", job_, "--board", "1", "--layer", "2", path("caf\xC3\xA9.gbr"), "--apertures",
       path("caf\xE9.gbr"), "--settings", settings_});
  const std::string list = run({"job", "list", job_, "--json", "--settings", settings_});
  for (const char* part : {"/caf\xC3\xA9.gbr\",\"\",", "/caf\xEF\xBF\xBD.gbr\",\"\",",
                           "\"layer_aperture_raw\":[\"\",\"", "/caf%E9.gbr\",\"\","}) {
    EXPECT_NE(list.find(part), std::string::npos) << part << "\n" << list;
  }
  EXPECT_EQ(list.find("layer_gerber_raw"), std::string::npos) << list;
}

// A job file its own reader would refuse is never written: each command is
// refused, naming the value, and the job stays as it was.
TEST_F(JobCommandTest, ValuesTheReaderRefusesAreNeverWritten) {
  run({"job", "new", job_});
  run({"job", "add", job_, path("master.gbr"), "--at", "1,1", "--settings", settings_});
  const std::string before = test::readFile(job_);
  for (const char* name : {"a\tb.gbr", "c\nd.gbr", "e\x7f.gbr"}) {
    test::writeFile(dir_ / name, test::readFile(path("master.gbr")));
  }
  // Drawing that %OF or %SF throws 20000 inch away, while the extents stay put.
  test::writeFile(dir_ / "offset.gbr",
                  "%FSLAX24Y24*%%MOIN*%%OFA20000B0*%%ADD10C,0.01*%D10*X10000Y10000D02*"
                  "X20000Y10000D01*M02*");
  test::writeFile(dir_ / "scaled.gbr",
                  "%FSLAX24Y24*%%MOIN*%%SFA20000B1*%%ADD10C,0.01*%D10*X10000Y10000D02*"
                  "X20000Y10000D01*M02*");
  const std::pair<std::vector<std::string>, std::string> cases[] = {
      {{"add", job_, path("a\tb.gbr")}, "a\\tb.gbr\" holds a control character (TAB)"},
      {{"add", job_, path("c\nd.gbr")}, "holds a control character (LF)"},
      {{"add", job_, path("e\x7f.gbr")}, "e\\x7f.gbr\" holds a control character (DEL)"},
      {{"add", job_, path("master.gbr"), "--at", "1000.5,0"}, "board 2: PosX 1000.5 is outside"},
      {{"move", job_, "--board", "1", "--to", "1e10,0"}, "board 1: PosX 1e+10 is not a length"},
      {{"relative-move", job_, "--by", "0,-2000"}, "board 1: PosY -1999 is outside -1000 .. 1000"},
      {{"mark", job_, "--name", "Cross", "--at", "0,5000"}, "board 2: PosY 5000 is outside"},
      {{"add", job_, path("offset.gbr")}, "lands from 20000.950, -0.050 to 20002.060, 0.060 inch"},
      {{"add", job_, path("scaled.gbr")}, "lands from 19999.950, -0.050 to 40000.060"},
  };
  for (auto [args, text] : cases) {
    args.insert(args.begin(), "job");
    args.insert(args.end(), {"--settings", settings_});
    test::expectError<FormatError>([&] { run(args); }, text);
    EXPECT_EQ(test::readFile(job_), before) << text;
  }
}

// A panel asked for as a whole is refused unless all of it fits, saying
// what fits; a panel that adds nothing says why; a mark goes by its target.
TEST_F(JobCommandTest, PanelsAndMarksSayWhatTheyDo) {
  run({"job", "new", job_});
  run({"job", "add", job_, path("master.gbr"), "--at", "1,1", "--settings", settings_});
  const std::pair<std::vector<std::string>, std::string> cases[] = {
      {{"panelize", job_, "--board", "1", "--panel", "6x1"}, "only 5x1 boards of board 1 fit"},
      {{"panelize", job_, "--board", "1", "--repeat", "0,0"}, "the panel is the board alone"},
      {{"panelize", job_, "--board", "1", "--panel", "2x2"}, "Board 1: 3 copies added; 4 boards"},
      {{"mark", job_, "--name", "Cross", "--target", "5,5"},
       "(0.500000 x 0.500000 inch at 4.750000, 4.750000), target at 5.000000, 5.000000"},
  };
  for (auto [args, text] : cases) {
    args.insert(args.begin(), "job");
    args.insert(args.end(), {"--settings", settings_});
    std::string out;
    try {
      out = run(args);
    } catch (const std::exception& e) {
      out = e.what();
    }
    EXPECT_NE(out.find(text), std::string::npos) << out;
  }
}

}  // namespace
}  // namespace drumplot
