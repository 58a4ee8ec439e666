// SPDX-License-Identifier: MIT
// The job file: record bytes at every offset, round trips, short and empty
// files, captions of loaded boards, and saving through a temporary file.
#include "job/job_file.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <iterator>
#include <string>
#include <tuple>

#include "engine/errors.h"
#include "support/record_bytes.h"
#include "support/test_support.h"

namespace drumplot {
namespace {

using test::RecordBytes;

Board sampleBoard() {
  Board b;
  b.LayerGerber[0] = "top.gbr";
  b.LayerGerber[17] = std::string(260, 'g');  // cut to 250
  b.LayerAperture[2] = "a.Env";
  b.LayerAperture[17] = "last.Env";
  std::tie(b.PosX, b.PosY, b.DataWidth, b.DataHeight, b.DataMinX, b.DataMinY) =
      std::tuple(1.5, -2.25, 0.1, 3.0, -0.5, 0.25);
  b.Selected = true;
  b.format = {3, 4, ZeroSuppression::Trailing, true, false};
  b.IsMark = true;
  b.MarkName = std::string(70, 'm');  // cut to 64
  b.Locked = false;                   // not stored
  b.caption = "not stored";
  return b;
}

RecordBytes sampleRecord() {
  RecordBytes r;
  r.text(0, "top.gbr")
      .text(17 * 251, std::string(250, 'g'))
      .text(4518 + 2 * 251, "a.Env")
      .text(4518 + 17 * 251, "last.Env")
      .le64(9040, 0x3FF8000000000000)  // 1.5
      .le64(9048, 0xC002000000000000)  // -2.25
      .le64(9056, 0x3FB999999999999A)  // 0.1
      .le64(9064, 0x4008000000000000)  // 3.0
      .u8(9072, 1)                     // Selected
      .u8(9073, 3)
      .u8(9074, 4)
      .u8(9075, 1)
      .u8(9076, 0)
      .u8(9077, 0)
      .le64(9080, 0xBFE0000000000000)  // -0.5
      .le64(9088, 0x3FD0000000000000)  // 0.25
      .u8(9096, 1)
      .text(9097, std::string(64, 'm'));
  return r;
}

TEST(JobFileTest, RecordHasEveryFieldAtItsOffset) {
  test::expectSameBytes(encodeBoardRecord(sampleBoard()), sampleRecord().str());
}

// Every stored field reads back (the encoder is checked byte by byte above)
// but Selected: a read board is locked and unselected, and only the Selected
// byte of a board written again differs.
TEST(JobFileTest, DecodedRecordIsLockedUnselectedWithEveryField) {
  Board b = decodeBoardRecord(sampleRecord().str());
  EXPECT_EQ(std::tuple(b.Locked, b.Selected, b.caption), std::tuple(true, false, "top.gbr"));
  std::string first = encodeJob({sampleBoard(), b});
  std::string second = encodeJob(decodeJob(first));
  EXPECT_EQ(second[9072], 0);
  second[9072] = 1;
  EXPECT_EQ(second, first);
}

TEST(JobFileTest, BytesAfterTextsAreIgnoredAndLongLengthBytesStayInTheirField) {
  RecordBytes r = sampleRecord();
  r.text(251, "ab");
  r.u8(251 + 5, 'z');     // garbage after the text "ab"
  r.u8(9097, 255);        // MarkName claims 255 characters
  r.u8(4518 + 251, 251);  // aperture 2 claims one character more than its field
  Board b = decodeBoardRecord(r.str());
  EXPECT_EQ(b.LayerGerber[1], "ab");
  EXPECT_EQ(b.MarkName, std::string(64, 'm'));
  EXPECT_EQ(b.LayerAperture[1].size(), 250u);
  // The caption is the first layer name longer than four characters.
  r = RecordBytes().text(0, "a.gb").text(251, "").text(2 * 251, "b.gbr").text(3 * 251, "c.gbr");
  EXPECT_EQ(decodeBoardRecord(r.str()).caption, "b.gbr");
  EXPECT_EQ(decodeBoardRecord(RecordBytes().text(0, "abcd").str()).caption, "");
}

TEST(JobFileTest, ShortFilesKeepOnlyWholeRecords) {
  std::string two = encodeJob({sampleBoard(), sampleBoard()});
  EXPECT_EQ(decodeJob("").size(), 0u);
  EXPECT_EQ(decodeJob(two.substr(0, 9167)).size(), 0u);
  EXPECT_EQ(decodeJob(two.substr(0, 9168)).size(), 1u);
  EXPECT_EQ(decodeJob(two + std::string(9000, 'x')).size(), 2u);
  EXPECT_THROW(decodeBoardRecord(two.substr(0, 100)), std::invalid_argument);
}

// What is no job file is refused by Open and Save alike, naming the file and
// what is wrong, and the file is left as it was.
TEST(JobFileTest, AFileThatIsNoJobFileIsRefusedAndLeftAlone) {
  std::string gerber;
  while (gerber.size() < 2 * 9168) gerber += "X1000Y2000D01*\r\n";
  const std::string record = sampleRecord().str();
  struct Case {
    const char* name;
    std::string bytes;
    const char* problem;
  };
  const Case cases[] = {
      {"top.gbr", "%FSLAX24Y24*%\r\nX0Y0D02*\r\nM02*\r\n", "less than one board record"},
      {"big.gbr", gerber, "not a job file: in board record 1, layer 1's Gerber file \"1000Y"},
      {"noise.bin", std::string(9168, '\xff'), "layer 1's Gerber file is 255 characters long"},
      {"format.wpr", sampleRecord().u8(9075, 3).str(), "ZeroSuppression is 3 (at most 2)"},
      {"nan.wpr", sampleRecord().le64(9048, 0x7FF8000000000000).str(),
       "a damaged job file: in board record 1, PosY nan is not"},
      {"second.wpr", record + RecordBytes().u8(9096, 2).str(), "in board record 2, IsMark is 2"},
      {"tail.wpr", record + std::string(300, '\xfe'), "record 2, layer 1's Gerber file is 254"},
  };
  const std::filesystem::path dir = test::tempDir();
  for (const Case& c : cases) {
    const std::filesystem::path file = dir / c.name;
    test::writeFile(file, c.bytes);
    Job job;
    test::expectError<FormatError>([&] { openJob(job, file); }, file.string() + ": ");
    test::expectError<FormatError>([&] { saveJob(job, file); }, c.problem);
    EXPECT_EQ(test::readFile(file), c.bytes) << c.name;
  }
}

// The window's Save and every command write through saveJob: a value the
// reader would refuse, or one the record would cut, is named and nothing is
// written.
TEST(JobFileTest, SaveRefusesValuesTheReaderWouldRefuse) {
  const std::filesystem::path file = test::tempDir() / "a.wpr";
  Job job;
  job.boards.resize(2);
  saveJob(job, file);
  const std::string before = test::readFile(file);
  const std::pair<void (*)(Board&), const char*> cases[] = {
      {[](Board& b) { b.LayerAperture[4] = "x\x1b"; },
       "layer 5's aperture file \"x\\x1b\" holds a control character (byte 27)"},
      {[](Board& b) { b.MarkName = std::string(65, 'm'); },
       "MarkName is 65 characters long (at most 64)"},
      {[](Board& b) { b.DataMinY = -INFINITY; }, "DataMinY -inf is not a length"},
      {[](Board& b) { b.format.IntDigits = 12; }, "IntDigits is 12 (at most 9)"},
      {[](Board& b) { b.PosX = b.PosY = NAN; }, "PosX nan is not a length (and 1 more)"},
  };
  for (auto [spoil, text] : cases) {
    Job spoilt = job;
    spoil(spoilt.boards[1]);
    test::expectError<FormatError>([&] { saveJob(spoilt, file); }, std::string("board 2: ") + text);
    EXPECT_EQ(test::readFile(file), before) << text;
  }
}

TEST(JobFileTest, PartialLastRecordIsReportedAndWrittenOverOnlyWhenAllowed) {
  const std::filesystem::path file = test::tempDir() / "cut.wpr";
  const std::string bytes =
      encodeJob({sampleBoard(), sampleBoard()}) + sampleRecord().str().substr(0, 500);
  test::writeFile(file, bytes);
  Job job;
  EXPECT_EQ(openJob(job, file).partialBytes, 500u);
  EXPECT_EQ(job.boards.size(), 2u);
  test::expectError<FormatError>([&] { saveJob(job, file); },
                                 "ends in a partial record of 500 bytes");
  EXPECT_EQ(test::readFile(file), bytes);
  JobFileInfo written = saveJob(job, file, true);
  EXPECT_EQ(written.partialBytes, 0u);
  EXPECT_EQ(written.stamp, fileStamp(file));
  EXPECT_EQ(test::readFile(file).size(), 2 * 9168u);
}

TEST(JobFileTest, OpenReplacesBoardsLocksThemAndPlacesThemOnScreen) {
  auto dir = test::tempDir();
  Board b = sampleBoard();
  std::tie(b.PosX, b.PosY, b.DataWidth) = std::tuple(2.0, 1.0, 0.01);  // opened: no 5-pixel minimum
  test::writeFile(dir / "a.wpr", encodeJob({b, b}) + "partial");

  Job job;
  job.ScreenScale = 50.0;
  job.boards.resize(3);
  job.panel.gerber[0] = "kept";
  openJob(job, dir / "a.wpr");
  EXPECT_EQ(job.JobName, (dir / "a.wpr").string());
  ASSERT_EQ(job.boards.size(), 2u);
  EXPECT_TRUE(job.BoardSelectedOnce);
  EXPECT_EQ(job.panel.gerber[0], "kept");  // Open leaves the layer panel alone
  for (const Board& loaded : job.boards) {
    EXPECT_EQ(std::tuple(loaded.Locked, loaded.Selected, loaded.color()),
              std::tuple(true, false, kBoardColor));
    EXPECT_EQ(loaded.screen, (ScreenRect{100, 50, 0, 150}));
  }

  // An empty file opens as an empty job; a missing one changes nothing.
  test::writeFile(dir / "empty.wpr", "");
  job.BoardSelectedOnce = false;
  openJob(job, dir / "empty.wpr");
  EXPECT_TRUE(job.boards.empty());
  EXPECT_FALSE(job.BoardSelectedOnce);  // unchanged by an empty file

  job.boards.resize(2);
  test::expectError<IoError>([&] { openJob(job, dir / "missing.wpr"); }, "missing.wpr");
  EXPECT_EQ(job.boards.size(), 2u);
  EXPECT_EQ(job.JobName, (dir / "empty.wpr").string());
}

TEST(JobFileTest, FailedSaveKeepsTheOldFileAndLeavesNoTemporaryFile) {
  auto dir = test::tempDir();
  Job job;
  job.boards.resize(1);
  saveJob(job, dir / "a.wpr");
  std::string before = test::readFile(dir / "a.wpr");
  EXPECT_EQ(before.size(), 9168u);

  // The rename cannot replace a folder that has content: the save fails.
  std::filesystem::create_directories(dir / "busy.wpr" / "inside");
  EXPECT_THROW(saveJob(job, dir / "busy.wpr"), IoError);
  EXPECT_TRUE(std::filesystem::is_directory(dir / "busy.wpr" / "inside"));
  // A folder that does not exist cannot hold the temporary file.
  EXPECT_THROW(saveJob(job, dir / "no" / "such.wpr"), IoError);

  job.boards.resize(2);
  saveJob(job, dir / "a.wpr");
  EXPECT_EQ(test::readFile(dir / "a.wpr").size(), 2 * 9168u);
  // a.wpr and busy.wpr: no temporary files left behind.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), {}), 2);
}

TEST(JobFileTest, RelativeLayerPathsResolveAgainstTheJobFolder) {
  Job job;
  EXPECT_EQ(job.resolvePath("layers/top.gbr"), std::filesystem::path("layers/top.gbr"));
  job.JobName = "/jobs/panel/a.wpr";
  EXPECT_EQ(job.resolvePath("layers/top.gbr"), std::filesystem::path("/jobs/panel/layers/top.gbr"));
  EXPECT_EQ(job.resolvePath("../top.gbr"), std::filesystem::path("/jobs/panel/../top.gbr"));
  EXPECT_EQ(job.resolvePath("/abs/top.gbr"), std::filesystem::path("/abs/top.gbr"));
  EXPECT_EQ(job.resolvePath(""), std::filesystem::path());
}

}  // namespace
}  // namespace drumplot
